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
  for (const std::string* column :
       {&record.address, &record.code, &record.label, &record.statement, &record.remark}) {
    line += *column;
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
  std::string ordered(code);
  swap_word_bytes(ordered);
  for (std::size_t i = 0; i + 1 < ordered.size(); i += 2) {
    image += static_cast<char>(hex_value(ordered.substr(i, 2)) & 0xFF);
  }
}

}  // namespace korva
