#include "outputs/intel_hex.h"

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

// The placed bytes laid out over the addresses they span, a later run over
// an earlier one, with the stretches of addresses that runs wrote.
struct Memory {
  struct Stretch {
    std::size_t begin = 0;  // offsets in bytes
    std::size_t end = 0;
  };
  std::uint64_t start = 0;
  std::string bytes;
  std::vector<Stretch> written;  // in address order, apart from each other
};

std::vector<Memory::Stretch> stretches_written(std::span<const PlacedBytes> runs,
                                               std::uint64_t start) {
  std::vector<Memory::Stretch> stretches;
  for (const PlacedBytes& run : runs) {
    if (run.bytes.empty()) continue;
    // Byte addresses of a program stay far below 32 bits.
    const auto begin = static_cast<std::size_t>(run.address - start);
    stretches.push_back({begin, begin + run.bytes.size()});
  }
  std::sort(stretches.begin(), stretches.end(),
            [](const Memory::Stretch& a, const Memory::Stretch& b) { return a.begin < b.begin; });
  // Stretches that overlap or touch are one.
  std::vector<Memory::Stretch> joined;
  for (const Memory::Stretch& stretch : stretches) {
    if (!joined.empty() && stretch.begin <= joined.back().end) {
      joined.back().end = std::max(joined.back().end, stretch.end);
    } else {
      joined.push_back(stretch);
    }
  }
  return joined;
}

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
  memory.bytes.assign(static_cast<std::size_t>(end - memory.start), '\0');
  for (const PlacedBytes& run : runs) {
    std::copy(run.bytes.begin(), run.bytes.end(),
              memory.bytes.begin() + static_cast<std::ptrdiff_t>(run.address - memory.start));
  }
  memory.written = stretches_written(runs, memory.start);
  return memory;
}

}  // namespace

std::string intel_hex_text(std::span<const PlacedBytes> runs) {
  const Memory memory = lay_out(runs);
  std::string text;
  std::size_t written = 0;
  for (const Memory::Stretch& stretch : memory.written) written += stretch.end - stretch.begin;
  text.reserve(written * 3 + written / 16 * 13 + 16);
  std::uint64_t segment = 0;
  for (const Memory::Stretch& stretch : memory.written) {
    for (std::size_t i = stretch.begin; i < stretch.end;) {
      // A record ends at the stretch's end or at the next 16-byte boundary.
      const std::uint64_t address = memory.start + i;
      const std::uint64_t record_end = (address / kBytesPerRecord + 1) * kBytesPerRecord;
      const std::size_t count =
          static_cast<std::size_t>(std::min<std::uint64_t>(stretch.end - i, record_end - address));
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
  }
  append_record(text, 0x01, 0, {});
  return text;
}

std::string intel_hex_text(std::string_view image) {
  const PlacedBytes whole{0, image};
  return intel_hex_text(std::span<const PlacedBytes>(&whole, 1));
}

}  // namespace korva
