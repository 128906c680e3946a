#include "outputs/debug_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <deque>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace korva {

namespace {

// The file is a sequence of 512-byte blocks. Block 0 is the directory: it
// indexes the code blocks (256 words each) and names the first and last
// block of every table. Numbers are little-endian, except symbol values,
// which are big-endian; texts are a length byte followed by the characters.
constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kWordsPerCodeBlock = kBlockSize / 2;
constexpr std::size_t kCodeBlockSlots = 128;  // the directory indexes 32768 words

// Directory offsets.
constexpr std::size_t kDirFileName = 0x100;  // 64 bytes
constexpr std::size_t kDirDate = 0x141;      // 7 characters, no length byte
constexpr std::size_t kDirTime = 0x148;      // hours * 100 + minutes
constexpr std::size_t kDirVersion = 0x14A;   // 20 bytes
constexpr std::size_t kDirCompiler = 0x15E;  // 12 bytes
constexpr std::size_t kDirNotice = 0x16A;    // 64 bytes
constexpr std::size_t kDirNameTable = 0x1AE;
constexpr std::size_t kDirLineTable = 0x1B2;
constexpr std::size_t kDirMemoryMap = 0x1BB;
constexpr std::size_t kDirFormat = 0x1C3;
constexpr std::size_t kDirProcessor = 0x1C5;  // 9 bytes
constexpr std::size_t kDirSymbolTable = 0x1CE;

// Source names: 64-byte slots, eight to a block.
constexpr std::size_t kNameSlot = 64;
constexpr std::size_t kMaxName = kMaxDebugFileName;
// Line entries: file index, flags, line, address; 84 to a block.
constexpr std::size_t kLineEntry = 6;
constexpr std::size_t kLinesPerBlock = 84;
constexpr std::uint8_t kLineHasCode = 0x80;
// gpsim reads the file index as a signed byte.
constexpr std::size_t kMaxFiles = 127;

// Symbol types as gpsim reads them: a register it renames to the symbol, a
// code address it labels, a constant it keeps out of its own symbols.
constexpr std::uint16_t kSymbolRegister = 2;
constexpr std::uint16_t kSymbolAddress = 46;
constexpr std::uint16_t kSymbolConstant = 47;

constexpr std::string_view kCompiler = "korva-asm";
constexpr std::string_view kNotice = "KORVA assembler";

using Block = std::array<char, kBlockSize>;

void put16(Block& block, std::size_t at, std::uint32_t value) {
  block[at] = static_cast<char>(value & 0xFF);
  block[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// A text with its length byte in front, cut to `capacity` characters.
void put_text(Block& block, std::size_t at, std::string_view text, std::size_t capacity) {
  text = text.substr(0, capacity);
  block[at] = static_cast<char>(text.size());
  std::copy(text.begin(), text.end(), block.begin() + static_cast<std::ptrdiff_t>(at + 1));
}

void put_range(Block& directory, std::size_t at, std::size_t first, std::size_t last) {
  put16(directory, at, static_cast<std::uint32_t>(first));
  put16(directory, at + 2, static_cast<std::uint32_t>(last));
}

std::string date_text(const DebugFileStamp& stamp) {
  static constexpr std::array<std::string_view, 12> kMonths{
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string_view month =
      kMonths[static_cast<std::size_t>(std::clamp(stamp.month, 1, 12) - 1)];
  char text[16];
  std::snprintf(text, sizeof text, "%02d%.3s%02d", std::clamp(stamp.day, 0, 99), month.data(),
                ((stamp.year % 100) + 100) % 100);
  return text;
}

struct SymbolEntry {
  std::string name;
  std::uint16_t type = 0;
  std::uint32_t value = 0;
};

std::uint16_t symbol_type(SymbolKind kind) {
  switch (kind) {
    case SymbolKind::constant:
      return kSymbolConstant;
    case SymbolKind::reservation:
      return kSymbolRegister;
    case SymbolKind::global_label:
    case SymbolKind::local_label:
    case SymbolKind::subroutine:
      break;
  }
  return kSymbolAddress;
}

// One name per symbol, as gpsim's commands spell it: a one-colon name of a
// subroutine is SUBROUTINE.NAME. Where two symbols come out alike, the first
// keeps the name (the one a global lookup finds) and the others are left out.
std::vector<SymbolEntry> debug_symbols(const std::vector<ProgramSymbol>& symbols) {
  std::vector<SymbolEntry> entries;
  std::unordered_set<std::string> taken;
  for (const ProgramSymbol& symbol : symbols) {
    if (!symbol.value || symbol.name.empty()) continue;
    std::string name = symbol.scope.empty() ? symbol.name : symbol.scope + "." + symbol.name;
    if (name.size() > 255) name.resize(255);
    if (!taken.insert(name).second) continue;
    entries.push_back({std::move(name), symbol_type(symbol.kind), *symbol.value});
  }
  return entries;
}

class BlockFile {
 public:
  BlockFile() : blocks_(1) {}  // the directory
  Block& directory() { return blocks_.front(); }
  std::size_t add() {
    blocks_.emplace_back();
    return blocks_.size() - 1;
  }
  Block& operator[](std::size_t index) { return blocks_[index]; }
  std::size_t next_index() const { return blocks_.size(); }
  std::string bytes() const {
    std::string out;
    out.reserve(blocks_.size() * kBlockSize);
    for (const Block& block : blocks_) out.append(block.data(), block.size());
    return out;
  }

 private:
  std::deque<Block> blocks_;  // a deque keeps references to earlier blocks valid
};

// Word addresses outside the program memory that a program may still write:
// the ID locations and configuration words (2000-200F) and the data EEPROM
// (2100-21FF, one byte a word). gpsim takes them from the debug file too.
constexpr std::size_t kConfigFirst = 0x2000;
constexpr std::size_t kConfigEnd = 0x2010;
constexpr std::size_t kEepromFirst = 0x2100;
constexpr std::size_t kEepromEnd = 0x2200;

struct WordRange {
  std::size_t first = 0;
  std::size_t end = 0;  // one past the last word
};

// What the file holds of the image, within the words its directory indexes:
// the program memory, zero fill included, and the words that lines wrote
// into the special memory.
struct HeldWords {
  std::vector<WordRange> held;         // in address order
  std::vector<WordPlaces::Run> used;   // the held words that lines wrote
  std::uint32_t left_out = 0;          // image words the file should hold but cannot
  std::uint32_t special_left_out = 0;  // of them, an enhanced chip's configuration space
};

HeldWords words_to_hold(const ProgramFacts& facts, std::size_t program_words) {
  const std::size_t image_words = (facts.image.size() + 1) / 2;
  const std::size_t held_end = std::min(image_words, kCodeBlockSlots * kWordsPerCodeBlock);
  const std::size_t program_end = std::min(program_words, held_end);
  HeldWords words;
  if (program_end > 0) words.held.push_back({0, program_end});
  words.used = facts.word_places.within(0, program_end);
  // Special memory counts only where a line wrote it, past the program memory.
  std::size_t special_used = 0;
  for (const auto [first, end] :
       {WordRange{kConfigFirst, kConfigEnd}, WordRange{kEepromFirst, kEepromEnd}}) {
    const std::size_t from = std::max(first, program_words);
    const std::size_t to = std::min(end, held_end);
    if (from >= to) continue;
    for (const WordPlaces::Run& run : facts.word_places.within(from, to)) {
      words.held.push_back({run.first, run.end});
      words.used.push_back(run);
      special_used += run.end - run.first;
    }
  }
  const std::size_t program_left_out = std::min(program_words, image_words) - program_end;
  const std::size_t written_beyond = facts.word_places.count_in(program_words, image_words);
  words.left_out = static_cast<std::uint32_t>(program_left_out + written_beyond - special_used);
  // The enhanced core's configuration space lies beyond the 32768 words the
  // directory indexes: the HEX file holds those words.
  if (facts.chip && facts.chip->core == CoreFamily::enhanced) {
    const std::size_t space = facts.chip->configuration_space();
    words.special_left_out =
        static_cast<std::uint32_t>(facts.word_places.count_in(space, std::max(space, image_words)));
    words.left_out -= words.special_left_out;
  }
  return words;
}

// The code blocks, each opened by the first held word in it, and the memory
// map: each run of words that lines wrote, as its first and last byte
// address; the zero fill of an ORG is no part of it.
void write_code(BlockFile& file, std::string_view image, const HeldWords& words) {
  std::optional<std::size_t> open_slot;
  std::size_t index = 0;
  const std::size_t whole_words = image.size() / 2;  // a last odd byte is no word
  for (const WordRange& range : words.held) {
    for (std::size_t address = range.first; address < range.end;) {
      const std::size_t slot = address / kWordsPerCodeBlock;
      const std::size_t block_first = slot * kWordsPerCodeBlock;
      const std::size_t end = std::min(range.end, block_first + kWordsPerCodeBlock);
      if (open_slot != slot) {
        open_slot = slot;
        index = file.add();
        put16(file.directory(), 2 * slot, static_cast<std::uint32_t>(index));
      }
      // The image holds each word low byte first, as the block does.
      const std::size_t copied = std::min(end, whole_words);
      if (copied > address) {
        std::copy(image.begin() + static_cast<std::ptrdiff_t>(2 * address),
                  image.begin() + static_cast<std::ptrdiff_t>(2 * copied),
                  file[index].begin() + static_cast<std::ptrdiff_t>(2 * (address - block_first)));
      }
      address = end;
    }
  }
  const std::size_t map = file.add();
  std::size_t at = 0;
  for (std::size_t i = 0; i < words.used.size() && at + 4 <= kBlockSize;) {
    std::size_t last = i;
    while (last + 1 < words.used.size() && words.used[last + 1].first == words.used[last].end) {
      ++last;
    }
    put16(file[map], at, static_cast<std::uint32_t>(2 * words.used[i].first));
    put16(file[map], at + 2, static_cast<std::uint32_t>(2 * words.used[last].end - 1));
    at += 4;
    i = last + 1;
  }
  put_range(file.directory(), kDirMemoryMap, map, map);
}

// Writes the distinct source names; returns, for each of `names`, its index
// in the file's list, or kMaxFiles for a name left out.
std::vector<std::size_t> write_names(BlockFile& file, const std::vector<std::string>& names,
                                     std::vector<std::string>& names_cut) {
  std::vector<std::size_t> index_of(names.size(), kMaxFiles);
  std::unordered_map<std::string, std::size_t> known;
  std::vector<std::string_view> distinct;
  for (std::size_t i = 0; i < names.size(); ++i) {
    // gpsim lists a name once, so a file named twice shares one index.
    const auto [found, added] = known.try_emplace(names[i], distinct.size());
    if (added) {
      if (distinct.size() == kMaxFiles) {
        known.erase(found);
        continue;
      }
      distinct.push_back(names[i]);
      if (names[i].size() > kMaxName) names_cut.push_back(names[i]);
    }
    index_of[i] = found->second;
  }
  if (distinct.empty()) return index_of;
  const std::size_t first = file.next_index();
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    if (i % (kBlockSize / kNameSlot) == 0) file.add();
    put_text(file[file.next_index() - 1], (i % (kBlockSize / kNameSlot)) * kNameSlot, distinct[i],
             kMaxName);
  }
  put_range(file.directory(), kDirNameTable, first, file.next_index() - 1);
  return index_of;
}

void write_lines(BlockFile& file, const std::vector<WordPlaces::Run>& used,
                 const std::vector<std::size_t>& file_index) {
  std::size_t written = 0;
  std::size_t first = 0;
  for (const WordPlaces::Run& run : used) {
    const SourcePlace& place = run.place;
    if (place.file >= file_index.size() || place.line > 0xFFFF) continue;
    const std::size_t index = file_index[place.file];
    if (index >= kMaxFiles) continue;
    for (std::size_t address = run.first; address < run.end; ++address) {
      if (written % kLinesPerBlock == 0) {
        const std::size_t block = file.add();
        if (written == 0) first = block;
      }
      Block& block = file[file.next_index() - 1];
      const std::size_t at = (written % kLinesPerBlock) * kLineEntry;
      block[at] = static_cast<char>(index);
      block[at + 1] = static_cast<char>(kLineHasCode);
      put16(block, at + 2, place.line);
      put16(block, at + 4, static_cast<std::uint32_t>(address));
      ++written;
    }
  }
  if (written > 0) put_range(file.directory(), kDirLineTable, first, file.next_index() - 1);
}

// Entries never cross a block: a reader stops at a block's end or at a
// length byte of zero.
void write_symbols(BlockFile& file, const std::vector<SymbolEntry>& symbols) {
  if (symbols.empty()) return;
  const std::size_t first = file.add();
  std::size_t at = 0;
  for (const SymbolEntry& symbol : symbols) {
    const std::size_t size = 1 + symbol.name.size() + 2 + 4;
    if (at + size > kBlockSize) {
      file.add();
      at = 0;
    }
    Block& block = file[file.next_index() - 1];
    put_text(block, at, symbol.name, 255);
    at += 1 + symbol.name.size();
    put16(block, at, symbol.type);
    for (int shift = 24, i = 2; shift >= 0; shift -= 8, ++i) {
      block[at + static_cast<std::size_t>(i)] = static_cast<char>((symbol.value >> shift) & 0xFF);
    }
    at += 6;
  }
  put_range(file.directory(), kDirSymbolTable, first, file.next_index() - 1);
}

}  // namespace

DebugFile debug_file(const GpsimProcessor& processor, const ProgramFacts& facts,
                     const std::vector<std::string>& source_names, const DebugFileStamp& stamp) {
  DebugFile result;
  const HeldWords held = words_to_hold(facts, processor.program_words);
  result.words_left_out = held.left_out;
  result.special_words_left_out = held.special_left_out;

  BlockFile file;
  Block& directory = file.directory();
  put_text(directory, kDirFileName, stamp.file_name, kMaxName);
  const std::string date = date_text(stamp);
  std::copy(date.begin(), date.end(), directory.begin() + kDirDate);
  put16(directory, kDirTime,
        static_cast<std::uint32_t>(std::clamp(stamp.hour, 0, 23) * 100 +
                                   std::clamp(stamp.minute, 0, 59)));
  put_text(directory, kDirVersion, stamp.version, 19);
  put_text(directory, kDirCompiler, kCompiler, 11);
  put_text(directory, kDirNotice, kNotice, kMaxName);
  directory[kDirFormat] = 1;
  put_text(directory, kDirProcessor, processor.gpsim_name, 8);

  write_code(file, facts.image, held);
  const std::vector<std::size_t> file_index = write_names(file, source_names, result.names_cut);
  write_lines(file, held.used, file_index);
  write_symbols(file, debug_symbols(facts.symbols));
  result.bytes = file.bytes();
  return result;
}

}  // namespace korva
