#include "driver/intel_hex.h"

#include <algorithm>
#include <cstdint>

namespace korva {
namespace {

constexpr std::size_t kBytesPerRecord = 16;

void append_hex_byte(std::string& text, std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  text += kDigits[byte >> 4];
  text += kDigits[byte & 0xF];
}

void append_record(std::string& text, std::uint8_t type, std::uint16_t address,
                   std::string_view data) {
  std::uint8_t sum = 0;
  const auto put = [&](std::uint8_t byte) {
    append_hex_byte(text, byte);
    sum = static_cast<std::uint8_t>(sum + byte);
  };
  text += ':';
  put(static_cast<std::uint8_t>(data.size()));
  put(static_cast<std::uint8_t>(address >> 8));
  put(static_cast<std::uint8_t>(address & 0xFF));
  put(type);
  for (char c : data) put(static_cast<std::uint8_t>(c));
  append_hex_byte(text, static_cast<std::uint8_t>(0x100 - sum));
  text += "\r\n";
}

}  // namespace

std::string intel_hex_text(std::string_view image) {
  std::string text;
  std::size_t segment = 0;
  for (std::size_t offset = 0; offset < image.size(); offset += kBytesPerRecord) {
    if ((offset >> 16) != segment) {
      segment = offset >> 16;
      const char upper[2] = {static_cast<char>((segment >> 8) & 0xFF),
                             static_cast<char>(segment & 0xFF)};
      append_record(text, 0x04, 0, std::string_view(upper, 2));
    }
    const std::size_t count = std::min(kBytesPerRecord, image.size() - offset);
    append_record(text, 0x00, static_cast<std::uint16_t>(offset & 0xFFFF),
                  image.substr(offset, count));
  }
  append_record(text, 0x01, 0, {});
  return text;
}

}  // namespace korva
