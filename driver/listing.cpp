#include "driver/listing.h"

#include <cstring>

#include "codegen/hex_text.h"

namespace korva {

namespace {

// Copies a field's text to `out` as its whole padded buffer, and returns
// where the text ends. `out` needs room for the padding.
template <std::size_t Capacity>
char* put(char* out, const FieldText<Capacity>& text) {
  std::memcpy(out, text.data(), FieldText<Capacity>::padded_size());
  return out + text.size();
}

}  // namespace

void format_listing_line(const LineRecord& record, std::string& line) {
  if (record.statement.empty() && record.label.empty()) {
    line.assign(record.remark);
    line += '\n';
    return;
  }
  // The columns go into a buffer on the stack with room for every field's
  // padding, and into the line in one copy.
  char buffer[512];
  char* out = buffer;
  out = put(out, record.address);
  *out++ = '\t';
  out = put(out, record.code);
  *out++ = '\t';
  out = put(out, record.label);
  *out++ = '\t';
  out = put(out, record.statement);
  *out++ = '\t';
  out = put(out, record.remark);
  *out++ = '\t';
  out = put(out, record.error);
  *out++ = '\r';
  *out++ = '\n';
  line.assign(buffer, static_cast<std::size_t>(out - buffer));
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

std::size_t count_program_words(std::string_view listing) {
  std::size_t words = 0;
  while (!listing.empty()) {
    const std::size_t end = listing.find('\n');
    const std::string_view line = listing.substr(0, end);
    listing.remove_prefix(end == std::string_view::npos ? listing.size() : end + 1);
    // Remark-only lines have no columns; statement lines start with the
    // address and the code.
    const std::size_t code_start = line.find('\t');
    if (code_start == std::string_view::npos) continue;
    const std::size_t code_end = line.find('\t', code_start + 1);
    if (code_end == std::string_view::npos) continue;
    words += (code_end - code_start - 1) / 4;
  }
  return words;
}

}  // namespace korva
