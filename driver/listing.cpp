#include "driver/listing.h"

#include "codegen/hex_text.h"

namespace korva {

void format_listing_line(const LineRecord& record, std::string& line) {
  line.clear();
  if (record.statement.empty() && record.label.empty()) {
    line += record.remark;
    line += '\n';
    return;
  }
  for (const std::string_view column :
       {record.address.view(), record.code.view(), record.label.view(), record.statement.view(),
        record.remark.view()}) {
    line += column;
    line += '\t';
  }
  line += record.error;
  line += "\r\n";
}

void swap_word_bytes(std::string& code) {
  if (code.size() != 4) return;
  std::swap(code[0], code[2]);
  std::swap(code[1], code[3]);
}

void write_image_bytes(std::string& image, std::string_view code, std::size_t fill) {
  if (fill > 0) {
    image.append(fill, '\0');
    return;
  }
  const auto byte_at = [code](std::size_t at) {
    return static_cast<char>(hex_value(code.substr(at, 2)) & 0xFF);
  };
  // A single program word goes low byte first; longer and shorter codes
  // (data bytes, raw words) as written.
  if (code.size() == 4) {
    const char bytes[2] = {byte_at(2), byte_at(0)};
    image.append(bytes, 2);
    return;
  }
  for (std::size_t i = 0; i + 1 < code.size(); i += 2) image += byte_at(i);
}

}  // namespace korva
