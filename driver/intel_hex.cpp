#include "driver/intel_hex.h"

#include <algorithm>
#include <vector>

namespace korva {
namespace {

constexpr std::uint64_t kBytesPerRecord = 16;

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

// The placed bytes laid out over the addresses they span, with a mark for
// each address that a run wrote.
struct Memory {
  std::uint64_t start = 0;
  std::string bytes;
  std::vector<bool> written;
};

Memory lay_out(std::span<const PlacedBytes> runs) {
  Memory memory;
  std::uint64_t end = 0;
  bool any = false;
  for (const PlacedBytes& run : runs) {
    if (run.bytes.empty()) continue;
    memory.start = any ? std::min(memory.start, run.address) : run.address;
    end = std::max(end, run.address + run.bytes.size());
    any = true;
  }
  if (!any) return memory;
  memory.bytes.assign(end - memory.start, '\0');
  memory.written.assign(end - memory.start, false);
  for (const PlacedBytes& run : runs) {
    const std::size_t offset = run.address - memory.start;
    const auto at = static_cast<std::ptrdiff_t>(offset);
    std::copy(run.bytes.begin(), run.bytes.end(), memory.bytes.begin() + at);
    std::fill_n(memory.written.begin() + at, run.bytes.size(), true);
  }
  return memory;
}

}  // namespace

std::string intel_hex_text(std::span<const PlacedBytes> runs) {
  const Memory memory = lay_out(runs);
  std::string text;
  text.reserve(memory.bytes.size() * 3 + memory.bytes.size() / 16 * 13 + 16);
  std::uint64_t segment = 0;
  std::size_t i = 0;
  while (i < memory.bytes.size()) {
    if (!memory.written[i]) {
      ++i;
      continue;
    }
    const std::uint64_t address = memory.start + i;
    const std::uint64_t record_end = (address / kBytesPerRecord + 1) * kBytesPerRecord;
    std::size_t count = 0;
    while (i + count < memory.bytes.size() && memory.written[i + count] &&
           address + count < record_end) {
      ++count;
    }
    if ((address >> 16) != segment) {
      segment = address >> 16;
      const char upper[2] = {static_cast<char>((segment >> 8) & 0xFF),
                             static_cast<char>(segment & 0xFF)};
      append_record(text, 0x04, 0, std::string_view(upper, 2));
    }
    append_record(text, 0x00, static_cast<std::uint16_t>(address & 0xFFFF),
                  std::string_view(memory.bytes).substr(i, count));
    i += count;
  }
  append_record(text, 0x01, 0, {});
  return text;
}

std::string intel_hex_text(std::string_view image) {
  const PlacedBytes whole{0, image};
  return intel_hex_text(std::span<const PlacedBytes>(&whole, 1));
}

}  // namespace korva
