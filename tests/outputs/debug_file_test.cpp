// The .cod debug file, read back by gputils' gpvc (skipped where gpvc is not
// installed), plus the limits of its blocks that a reader relies on.
#include "outputs/debug_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "project/output_files.h"
#include "test_support.h"
#include "word_places_support.h"

namespace korva {
namespace {

bool have_tool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

#define SKIP_WITHOUT_GPVC()                               \
  if (!have_tool("gpvc"))                                 \
  GTEST_SKIP() << "gpvc (Debian package gputils) is not " \
                  "installed: the .cod file is not read back"

// What gpvc prints of a .cod file, cut into its sections.
struct GpvcView {
  std::string text;  // all of it
  std::string processor;
  std::string rom_usage;               // "using ROM 000000 to 000011", one such line per range
  std::map<unsigned, unsigned> words;  // the code dump (gpvc leaves out rows of zeros)
  std::vector<std::string> symbols;    // "NAME = 1f, type = address"
  std::vector<std::string> files;
  struct Line {
    unsigned source_line;
    unsigned address;
    std::string file;
  };
  std::vector<Line> lines;
};

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

GpvcView read_with_gpvc(const std::string& bytes, const testing::ScratchDir& dir) {
  const std::filesystem::path cod = dir.path() / "t.cod";
  testing::write_bytes(cod, bytes);
  const std::filesystem::path out = dir.path() / "gpvc.txt";
  const std::string command = "cd '" + dir.path().string() + "' && gpvc -a t.cod > gpvc.txt 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << testing::read_bytes(out);
  GpvcView view;
  view.text = testing::read_bytes(out);
  std::istringstream text(view.text);
  const std::regex processor(R"(- Processor: +(\S+))");
  const std::regex code_row(R"(^([0-9a-fA-F]{6}): +(.*))");
  const std::regex symbol(R"(^\S+ = [0-9a-fA-F]+, type = \S+$)");
  const std::regex line_row(R"(^ *\d+ +(\d+) +([0-9A-Fa-f]{6}) +[0-9a-fA-F]{2} +\S+ +(\S+)$)");
  std::string line, section;
  std::smatch match;
  while (std::getline(text, line)) {
    line = trimmed(line);
    if (line.starts_with("Source File Information") || line.starts_with("Line Number")) {
      section = line;
    } else if (std::regex_search(line, match, processor)) {
      view.processor = match[1];
    } else if (line.starts_with("using ROM")) {
      view.rom_usage += (view.rom_usage.empty() ? "" : "; ") + line;
    } else if (std::regex_match(line, match, code_row)) {
      std::istringstream row(match[2].str());
      unsigned address = static_cast<unsigned>(std::stoul(match[1].str(), nullptr, 16));
      for (unsigned word = 0; row >> std::hex >> word;) view.words[address++] = word;
    } else if (std::regex_match(line, symbol)) {
      view.symbols.push_back(line);
    } else if (std::regex_match(line, match, line_row)) {
      view.lines.push_back({static_cast<unsigned>(std::stoul(match[1].str())),
                            static_cast<unsigned>(std::stoul(match[2].str(), nullptr, 16)),
                            match[3].str()});
    } else if (section.starts_with("Source File")) {
      if (line.empty()) {
        section.clear();
      } else if (!line.starts_with("---")) {
        view.files.push_back(line);
      }
    }
  }
  return view;
}

// Words 0 to count - 1 of the dump; the rows gpvc leaves out are zeros.
std::vector<unsigned> first_words(const GpvcView& view, unsigned count) {
  std::vector<unsigned> words(count, 0);
  for (const auto& [address, word] : view.words) {
    if (address < count) words[address] = word;
  }
  return words;
}

const GpsimProcessor k877{"16F877A", "16f877a", 8192};

DebugFileStamp stamp() {
  DebugFileStamp s;
  s.file_name = "t.cod";
  s.version = "9.8.7";
  s.year = 2024;
  s.month = 3;
  s.day = 9;
  s.hour = 14;
  s.minute = 5;
  return s;
}

ProgramSymbol named(std::string name, SymbolKind kind, std::optional<std::uint32_t> value,
                    std::string scope = {}) {
  ProgramSymbol s;
  s.name = std::move(name);
  s.kind = kind;
  s.scope = std::move(scope);
  s.value = value;
  return s;
}

TEST(DebugFile, GpvcReadsProcessorWordsSymbolsFilesAndLines) {
  SKIP_WITHOUT_GPVC();
  testing::ScratchDir dir;
  ProgramFacts facts;
  facts.files = {"main.as", "macros.inc"};
  // 0000: 3005 (MOVLW 5), 0001: 00A0, 0002-0003: ORG fill, 0004: 0008.
  facts.image = std::string("\x05\x30\xA0\x00\x00\x00\x00\x00\x08\x00", 10);
  facts.word_places = testing::word_places_of(
      {SourcePlace{0, 3}, SourcePlace{1, 7}, std::nullopt, std::nullopt, SourcePlace{0, 12}});
  facts.symbols = {
      named("START", SymbolKind::global_label, 0),
      named("LIMIT", SymbolKind::constant, 0x64),
      named("COUNT", SymbolKind::reservation, 0x20),
      named("WAIT", SymbolKind::subroutine, 4),
      named("LOOP", SymbolKind::local_label, 4, "WAIT"),
      named("TOP", SymbolKind::local_label, 1),                // outside every subroutine
      named("START", SymbolKind::global_label, 1),             // a second START: left out
      named("NEVER", SymbolKind::global_label, std::nullopt),  // no value: left out
  };
  const DebugFile file = debug_file(k877, facts, {"main.as", "macros.inc"}, stamp());
  EXPECT_EQ(file.words_left_out, 0u);
  EXPECT_TRUE(file.names_cut.empty());
  EXPECT_EQ(file.bytes.size() % 512, 0u);

  const GpvcView view = read_with_gpvc(file.bytes, dir);
  for (const char* header : {"Source file: +t.cod", "Date: +09Mar24", "Time: +14:05",
                             "Compiler version: +9.8.7", "Compiler: +korva-asm"}) {
    EXPECT_TRUE(std::regex_search(view.text, std::regex(header))) << header << "\n" << view.text;
  }
  EXPECT_EQ(view.processor, "16f877a");
  // The ROM use is what statements wrote; the ORG fill between is no part of it.
  EXPECT_EQ(view.rom_usage, "using ROM 000000 to 000001; using ROM 000004 to 000004");
  EXPECT_EQ(first_words(view, 5), (std::vector<unsigned>{0x3005, 0x00A0, 0, 0, 0x0008}));
  EXPECT_EQ(view.symbols, (std::vector<std::string>{
                              "START = 0, type = address",
                              "LIMIT = 64, type = constant",
                              "COUNT = 20, type = c_short",
                              "WAIT = 4, type = address",
                              "WAIT.LOOP = 4, type = address",
                              "TOP = 1, type = address",
                          }));
  EXPECT_EQ(view.files, (std::vector<std::string>{"main.as", "macros.inc"}));
  ASSERT_EQ(view.lines.size(), 3u);
  EXPECT_EQ(view.lines[0].source_line, 3u);
  EXPECT_EQ(view.lines[0].file, "main.as");
  EXPECT_EQ(view.lines[1].source_line, 7u);
  EXPECT_EQ(view.lines[1].address, 1u);
  EXPECT_EQ(view.lines[1].file, "macros.inc");
  EXPECT_EQ(view.lines[2].source_line, 12u);
  EXPECT_EQ(view.lines[2].address, 4u);
}

// Offsets a reader finds in the directory block.
unsigned word_at(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

TEST(DebugFile, LargeTablesSpreadOverBlocksThatEachStandAlone) {
  testing::ScratchDir dir;
  ProgramFacts facts;
  std::vector<std::string> names;
  for (int i = 0; i < 10; ++i) {
    facts.files.push_back("f" + std::to_string(i) + ".as");
    names.push_back(facts.files.back());
  }
  names[9] = names[2];  // one file listed twice: gpsim would see one name
  const std::size_t words = 600;
  facts.image.assign(2 * words, '\0');
  for (std::size_t a = 0; a < words; ++a) {
    facts.image[2 * a] = static_cast<char>(a & 0xFF);
    facts.word_places.add(
        a, a + 1,
        SourcePlace{static_cast<std::uint32_t>(a % 10), static_cast<std::uint32_t>(a + 1)});
  }
  for (int i = 0; i < 100; ++i) {
    facts.symbols.push_back(named("SYMBOL_WITH_A_RATHER_LONG_NAME_" + std::to_string(i),
                                  SymbolKind::global_label, static_cast<std::uint32_t>(i)));
  }
  const DebugFile file = debug_file(k877, facts, names, stamp());
  const std::string& bytes = file.bytes;

  // Symbol entries never run over the end of their block.
  const unsigned first = word_at(bytes, 0x1CE), last = word_at(bytes, 0x1D0);
  ASSERT_GT(last, first);
  std::size_t symbols = 0;
  for (std::size_t block = first; block <= last; ++block) {
    for (std::size_t at = 0; at < 512 && bytes[block * 512 + at] != 0;) {
      const std::size_t size = 1 + static_cast<unsigned char>(bytes[block * 512 + at]) + 6;
      ASSERT_LE(at + size, 512u) << "block " << block;
      at += size;
      ++symbols;
    }
  }
  EXPECT_EQ(symbols, 100u);

  if (!have_tool("gpvc"))
    GTEST_SKIP()
        << "gpvc (Debian package gputils) is not installed: the .cod file is not read back";
  const GpvcView view = read_with_gpvc(bytes, dir);
  EXPECT_EQ(view.files.size(), 9u);
  EXPECT_EQ(view.symbols.size(), 100u);
  ASSERT_EQ(view.lines.size(), words);
  for (std::size_t a = 0; a < words; ++a) {
    ASSERT_EQ(view.lines[a].address, a);
    ASSERT_EQ(view.lines[a].source_line, a + 1);
    // The word of f9.as is listed under the one name it shares with f2.as.
    ASSERT_EQ(view.lines[a].file, a % 10 == 9 ? "f2.as" : facts.files[a % 10]);
  }
  const std::vector<unsigned> dumped = first_words(view, words);
  for (std::size_t a = 0; a < words; ++a) ASSERT_EQ(dumped[a], a & 0xFF) << a;
}

TEST(DebugFile, WordsBeyondTheProgramMemoryAndOverlongNamesAreReported) {
  const GpsimProcessor small{"12F675", "12f675", 1024};
  ProgramFacts facts;
  facts.files = {"a.as"};
  facts.image.assign(std::size_t{2} * 1030, '\x01');
  facts.word_places.add(0, 1030, SourcePlace{0, 1});
  const std::string long_name(70, 'x');
  const DebugFile file = debug_file(small, facts, {long_name}, stamp());
  EXPECT_EQ(file.words_left_out, 6u);
  EXPECT_EQ(file.names_cut, std::vector<std::string>{long_name});
  // The memory map covers the 1024 words and no more: bytes 0 to 7FF.
  const std::size_t map = word_at(file.bytes, 0x1BB);
  EXPECT_EQ(word_at(file.bytes, map * 512), 0u);
  EXPECT_EQ(word_at(file.bytes, map * 512 + 2), 0x7FFu);

  if (!have_tool("gpvc"))
    GTEST_SKIP()
        << "gpvc (Debian package gputils) is not installed: the .cod file is not read back";
  testing::ScratchDir dir;
  const GpvcView view = read_with_gpvc(file.bytes, dir);
  EXPECT_EQ(view.rom_usage, "using ROM 000000 to 0003ff");
  EXPECT_EQ(view.files, std::vector<std::string>{long_name.substr(0, 63)});
  EXPECT_EQ(view.lines.size(), 1024u);
}

// An image that ORGs stretch far: the file holds the program memory and the
// configuration and EEPROM words, and counts every other written word as
// left out, however far the image reaches.
TEST(DebugFile, FarWordsAreHeldOnlyInTheSpecialMemory) {
  const GpsimProcessor small{"12F675", "12f675", 1024};
  ProgramFacts facts;
  facts.files = {"a.as"};
  const struct {
    std::size_t address;
    std::uint16_t word;
  } written[] = {{0, 0x3005},      {1, 0x2800},      {0x1000, 0x0008}, {0x2007, 0x3FF1},
                 {0x2100, 0x0012}, {0x2101, 0x0034}, {0x9000, 0x0064}};
  facts.image.assign(std::size_t{2} * 0x9001, '\0');
  for (const auto& [address, word] : written) {
    facts.image[2 * address] = static_cast<char>(word & 0xFF);
    facts.image[2 * address + 1] = static_cast<char>(word >> 8);
    facts.word_places.add(address, address + 1,
                          SourcePlace{0, static_cast<std::uint32_t>(address % 1000 + 1)});
  }
  const DebugFile file = debug_file(small, facts, {"a.as"}, stamp());
  EXPECT_EQ(file.words_left_out, 2u);  // 1000 and 9000
  // The memory map: words 0-1, 2007 and 2100-2101, as byte addresses.
  const std::size_t map = std::size_t{word_at(file.bytes, 0x1BB)} * 512;
  const std::vector<unsigned> ranges = {0, 3, 0x400E, 0x400F, 0x4200, 0x4203, 0};
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    EXPECT_EQ(word_at(file.bytes, map + 2 * i), ranges[i]) << i;
  }

  SKIP_WITHOUT_GPVC();
  testing::ScratchDir dir;
  const GpvcView view = read_with_gpvc(file.bytes, dir);
  ASSERT_EQ(view.lines.size(), 5u);
  const unsigned addresses[] = {0, 1, 0x2007, 0x2100, 0x2101};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(view.lines[i].address, addresses[i]);
    EXPECT_EQ(view.words.at(addresses[i]), written[i < 2 ? i : i + 1].word) << i;
  }
  EXPECT_FALSE(view.words.contains(0x1000));
  EXPECT_FALSE(view.words.contains(0x9000));
}

TEST(DebugFile, EmptyProgramStillHasEveryTableAReaderNeeds) {
  SKIP_WITHOUT_GPVC();
  testing::ScratchDir dir;
  ProgramFacts facts;
  facts.files = {"a.as"};
  const DebugFile file = debug_file(k877, facts, {"a.as"}, stamp());
  EXPECT_NE(word_at(file.bytes, 0x1BB), 0u);  // a reader refuses a file without memory map
  const GpvcView view = read_with_gpvc(file.bytes, dir);
  EXPECT_EQ(view.processor, "16f877a");
  EXPECT_EQ(view.files, std::vector<std::string>{"a.as"});
  EXPECT_TRUE(view.lines.empty());
}

TEST(DebugFile, SourceNamesAreTakenFromTheFolderOfTheCodFile) {
  const std::filesystem::path folder = "/work/project";
  const std::string deep = "/" + std::string(70, 'd') + "/x.as";
  struct Case {
    std::filesystem::path source;
    std::string name;
  } cases[] = {
      {"/work/project/main.as", "main.as"},
      {"/work/project/lib/../lib/io.inc", "lib/io.inc"},
      {"/work/shared/defs.inc", "../shared/defs.inc"},
      {deep, deep},  // too long when relative: absolute (and too long still)
  };
  for (const Case& c : cases) {
    // Spelled with the system's separator: "\" on Windows.
    const std::string name = std::filesystem::path(c.name).make_preferred().string();
    EXPECT_EQ(debug_source_name(c.source, folder), name) << c.source;
  }
}

TEST(GpsimProcessors, ChipNamesInAnySpellingFindGpsimsProcessor) {
  struct Case {
    const char* chip;
    const char* gpsim;
    std::uint32_t words;
  } found[] = {{"16F877A", "16f877a", 8192}, {"pic16f877a", "16f877a", 8192},
               {"PIC16F84A", "16f84", 1024}, {"16f628a", "16f628a", 2048},
               {"16F88", "16f88", 4096},     {"16F887", "16f887", 8192},
               {"16F690", "16f690", 4096},   {"12F675", "12f675", 1024}};
  for (const Case& c : found) {
    const auto processor = gpsim_processor(c.chip);
    ASSERT_TRUE(processor.has_value()) << c.chip;
    EXPECT_EQ(processor->gpsim_name, c.gpsim) << c.chip;
    EXPECT_EQ(processor->program_words, c.words) << c.chip;
  }
  for (const char* chip : {"16F1827", "PIC", "", "16F877AX", "18F452"}) {
    EXPECT_FALSE(gpsim_processor(chip).has_value()) << chip;
  }
}

}  // namespace
}  // namespace korva
