#include "disasm/memory_image.h"

#include <cstddef>
#include <optional>

namespace korva {

namespace {

// At least `width` digits, more where the value needs them.
std::string hex_digits(std::uint64_t value, int width) {
  for (std::uint64_t rest = value >> (4 * width); rest != 0; rest >>= 4) ++width;
  std::string text(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  }
  return text;
}

std::optional<unsigned> nibble(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return std::nullopt;
}

std::string at_line(std::size_t line, std::string_view text) {
  return "line " + std::to_string(line) + ": " + std::string(text);
}

// One record's bytes after the colon: count, address (2), type, data,
// checksum.
Expected<std::vector<unsigned>> record_bytes(std::string_view line, std::size_t number) {
  if (line.empty() || line.front() != ':') {
    return fail(at_line(number, "not an Intel HEX record (a record starts with ':')"));
  }
  line.remove_prefix(1);
  if (line.size() % 2 != 0) return fail(at_line(number, "odd number of hexadecimal digits"));
  std::vector<unsigned> bytes;
  bytes.reserve(line.size() / 2);
  for (std::size_t i = 0; i < line.size(); i += 2) {
    const std::optional<unsigned> high = nibble(line[i]);
    const std::optional<unsigned> low = nibble(line[i + 1]);
    if (!high || !low) {
      return fail(at_line(number, "a character that is no hexadecimal digit in the record"));
    }
    bytes.push_back(*high << 4 | *low);
  }
  if (bytes.size() < 5) return fail(at_line(number, "record too short"));
  if (bytes.size() != bytes[0] + 5u) {
    return fail(at_line(number, ("the record holds " + std::to_string(bytes.size() - 5) +
                                 " data bytes but its count says " + std::to_string(bytes[0]))
                                    .c_str()));
  }
  unsigned sum = 0;
  for (const unsigned byte : bytes) sum += byte;
  if ((sum & 0xFF) != 0) {
    const unsigned expected = (0x100 - ((sum - bytes.back()) & 0xFF)) & 0xFF;
    return fail(at_line(number, ("wrong checksum " + hex_digits(bytes.back(), 2) +
                                 " (the record's bytes need " + hex_digits(expected, 2) + ")")
                                    .c_str()));
  }
  return bytes;
}

// Where each byte came from, to name the lines of overlaps and half words.
struct PlacedByte {
  unsigned value = 0;
  std::size_t line = 0;
};

class HexReader {
 public:
  explicit HexReader(const MemoryMap& memory) : memory_(memory) {}

  Expected<ImageContents> read(std::string_view text) {
    std::size_t number = 0;
    while (!text.empty()) {
      ++number;
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (ended_) {
        if (line.empty()) continue;
        return fail(at_line(number, "text after the end-of-file record"));
      }
      if (line.empty()) return fail(at_line(number, "empty line inside the records"));
      Expected<void> taken = take(line, number);
      if (!taken) return taken.failure();
    }
    if (!ended_) {
      return fail(at_line(number == 0 ? 1 : number, number == 0
                                                        ? "empty file: no Intel HEX records"
                                                        : "no end-of-file record (:00000001FF)"));
    }
    return words();
  }

 private:
  Expected<void> take(std::string_view line, std::size_t number) {
    Expected<std::vector<unsigned>> bytes = record_bytes(line, number);
    if (!bytes) return bytes.failure();
    const std::vector<unsigned>& record = *bytes;
    const unsigned count = record[0];
    const unsigned offset = record[1] << 8 | record[2];
    switch (record[3]) {
      case 0x00:
        return take_data(record, offset, number);
      case 0x01:
        if (count != 0) return fail(at_line(number, "an end-of-file record holds no data"));
        ended_ = true;
        return {};
      case 0x02:
        if (count != 2) return fail(at_line(number, "an address record holds two bytes"));
        base_ = static_cast<std::uint64_t>(record[4] << 8 | record[5]) << 4;
        return {};
      case 0x04:
        if (count != 2) return fail(at_line(number, "an address record holds two bytes"));
        base_ = static_cast<std::uint64_t>(record[4] << 8 | record[5]) << 16;
        return {};
      default:
        return fail(at_line(number, ("record type " + hex_digits(record[3], 2) +
                                     " is not read (only 00, 01, 02 and 04)")
                                        .c_str()));
    }
  }

  Expected<void> take_data(const std::vector<unsigned>& record, unsigned offset,
                           std::size_t number) {
    for (std::size_t i = 0; i < record[0]; ++i) {
      const std::uint64_t address = base_ + offset + i;
      const std::uint64_t word = address / 2;
      if (word > 0xFFFFFFFFu || !memory_.contains(static_cast<std::uint32_t>(word))) {
        return fail(at_line(number, ("byte address " + hex_digits(address, 4) + " (word " +
                                     hex_digits(word, 4) + ") lies beyond the memory of " +
                                     (memory_.chip.empty() ? "a mid-range chip" : memory_.chip))
                                        .c_str()));
      }
      const auto [where, added] = bytes_.try_emplace(address, PlacedByte{record[4 + i], number});
      if (!added) {
        return fail(
            at_line(number, ("byte address " + hex_digits(address, 4) +
                             " was already given on line " + std::to_string(where->second.line))
                                .c_str()));
      }
    }
    return {};
  }

  Expected<ImageContents> words() const {
    ImageContents image;
    for (const auto& [address, byte] : bytes_) {
      const std::uint64_t partner = address ^ 1;
      const auto other = bytes_.find(partner);
      const auto word = static_cast<std::uint32_t>(address / 2);
      if (other == bytes_.end() && address % 2 == 0) {
        image.lone_bytes[word] = static_cast<std::uint8_t>(byte.value);
        continue;
      }
      if (other == bytes_.end()) {
        return fail(at_line(byte.line, "byte address " + hex_digits(address, 4) +
                                           " holds half a word: byte " + hex_digits(partner, 4) +
                                           " is missing"));
      }
      if (address % 2 != 0) continue;
      image.words[word] = static_cast<std::uint16_t>(other->second.value << 8 | byte.value);
    }
    return image;
  }

  const MemoryMap& memory_;
  std::uint64_t base_ = 0;
  bool ended_ = false;
  std::map<std::uint64_t, PlacedByte> bytes_;
};

// A .bin file's zero fill: runs of this many zero words or more, followed by
// a word that is not zero, are the gap of an ORG and hold no words (and so
// are zero words outside the memory that more words follow).
constexpr std::size_t kZeroFillRun = 16;

}  // namespace

ImageFormat image_format_of(std::string_view file_name) {
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos) return ImageFormat::intel_hex;
  std::string extension(file_name.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == "bin" ? ImageFormat::binary : ImageFormat::intel_hex;
}

Expected<ImageContents> read_intel_hex(std::string_view text, const MemoryMap& memory) {
  return HexReader(memory).read(text);
}

Expected<ImageContents> read_binary_image(std::string_view bytes, const MemoryMap& memory) {
  const std::size_t count = bytes.size() / 2;
  std::vector<std::uint16_t> all(count);
  for (std::size_t i = 0; i < count; ++i) {
    all[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i + 1]) << 8 |
                                        static_cast<unsigned char>(bytes[2 * i]));
  }
  ImageContents contents;
  WordImage& image = contents.words;
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = i;
    while (run < count && all[run] == 0) ++run;
    const bool fill = run - i >= kZeroFillRun && run < count;
    // Each word is checked before it is kept, so that a huge file of
    // zeros is refused at its first word beyond the memory.
    const auto keep = [&](std::size_t at) -> Expected<void> {
      if (at > 0xFFFFFFFFu || !memory.contains(static_cast<std::uint32_t>(at))) {
        return fail("byte offset " + hex_digits(2 * at, 4) + " (word " + hex_digits(at, 4) +
                    ") lies beyond the memory of " +
                    (memory.chip.empty() ? std::string("a mid-range chip") : memory.chip));
      }
      image[static_cast<std::uint32_t>(at)] = all[at];
      return {};
    };
    for (std::size_t j = i; j < run && !fill; ++j) {
      // A zero word outside the memory before more words is fill too.
      if (run < count && !memory.contains(static_cast<std::uint32_t>(j))) continue;
      if (Expected<void> kept = keep(j); !kept) return kept.failure();
    }
    if (run < count) {
      if (Expected<void> kept = keep(run); !kept) return kept.failure();
    }
    i = run + 1;
  }
  if (bytes.size() % 2 != 0) {
    contents.lone_bytes[static_cast<std::uint32_t>(count)] =
        static_cast<std::uint8_t>(bytes.back());
  }
  for (const auto& [address, byte] : contents.lone_bytes) {
    if (!memory.contains(address)) {
      return fail("byte offset " + hex_digits(2ull * address, 4) + " (word " +
                  hex_digits(address, 4) + ") lies beyond the memory of " +
                  (memory.chip.empty() ? std::string("a mid-range chip") : memory.chip));
    }
  }
  return contents;
}

Expected<ImageContents> read_image(std::string_view bytes, ImageFormat format,
                                   const MemoryMap& memory) {
  return format == ImageFormat::binary ? read_binary_image(bytes, memory)
                                       : read_intel_hex(bytes, memory);
}

}  // namespace korva
