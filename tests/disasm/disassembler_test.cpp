// The disassembler: the forms it finds for each word, the image readers'
// refusals, and the round trip of programs (examples, case files, random
// images) through the disassembly and the assembler back to the same words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/project_generator.h"
#include "chip/chip_config.h"
#include "chip/chip_facts.h"
#include "disasm/memory_image.h"
#include "disasm/statement_forms.h"
#include "disassembler_support.h"
#include "outputs/intel_hex.h"
#include "project/project.h"

namespace korva {
namespace {

namespace fs = std::filesystem;
using testing::assembled_words;
using testing::has_no_form;
using testing::options_for_chip;
using testing::reassembled;

std::string hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
  return text;
}

// Every 14-bit word but the jumps and calls: the first form the decoder
// offers assembles to exactly that word, and a word gets no form only where
// the instruction set leaves it none. All words go through one assembly,
// each at its own address.
TEST(StatementForms, EveryWordWithAFormEncodesToItselfInItsFirstForm) {
  std::string source;
  std::vector<std::uint16_t> written;
  std::size_t without_form = 0;
  for (unsigned value = 0; value <= 0x3FFF; ++value) {
    const auto word = static_cast<std::uint16_t>(value);
    if ((word & 0x3000) == 0x2000) continue;
    const std::vector<std::string> forms = statement_forms(
        decode_word(word), {{"($" + hex4(word & 0x7F).substr(2) + ")", std::nullopt}});
    EXPECT_EQ(forms.empty(), has_no_form(word)) << hex4(word);
    if (forms.empty()) {
      ++without_form;
      continue;
    }
    source +=
        " ORG $" + hex4(static_cast<unsigned>(written.size())) + "\r\n " + forms.front() + "\r\n";
    written.push_back(word);
  }
  const std::optional<ImageContents> assembled = assembled_words({{"forms.as", source}});
  ASSERT_TRUE(assembled.has_value());
  const WordImage* words = &assembled->words;
  ASSERT_EQ(words->size(), written.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(words->at(static_cast<std::uint32_t>(i)), written[i])
        << "form of " << hex4(written[i]);
  }
  // 0x3000-0x3FFF: 7 canonical pages of 256 of the 16 pages; bank 00 and 01.
  EXPECT_EQ(without_form, std::size_t{9 * 256 + 0x7F + 0x80 - 5});
}

TEST(StatementForms, StandardMnemonicsForRemarks) {
  const struct {
    std::uint16_t word;
    const char* text;
  } cases[] = {
      {0x1683, "BSF 03h,5"},      {0x30FF, "MOVLW 0FFh"},     {0x0103, "CLRW"},
      {0x0786, "ADDWF 06h,F"},    {0x0085, "MOVWF 05h"},      {0x2805, "GOTO 005h"},
      {0x3B00, "no instruction"}, {0x4000, "no instruction"}, {0x0062, "OPTION"},
      {0x0066, "TRIS 06h"},       {0x0001, "no instruction"}, {0x0040, "NOP"},
  };
  for (const auto& c : cases) EXPECT_EQ(standard_mnemonic(c.word), c.text) << hex4(c.word);
}

// Each broken HEX is refused with a message that names the line.
TEST(ImageReader, RefusesBrokenIntelHex) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {":0200000000FF00\r\n:00000001FF\r\n", "line 1: wrong checksum"},
      {"0200000000FF\r\n", "line 1: not an Intel HEX record"},
      {":02000000003\r\n", "line 1: odd number"},
      {":0300000000FFFE\r\n", "line 1: the record holds 2 data bytes but its count says 3"},
      {":02000000GGFF00\r\n", "line 1: a character that is no hexadecimal digit"},
      {":0000000\r\n", "line 1: odd number"},
      {":00000003FD\r\n:00000001FF\r\n", "line 1: record type 03 is not read"},
      {":020000000102FB\r\n:020000000304F7\r\n:00000001FF\r\n",
       "line 2: byte address 0000 was already given on line 1"},
      {":0100010001FD\r\n:00000001FF\r\n", "line 1: byte address 0001 holds half a word"},
      {":020000040001F9\r\n:0200000000FFFF\r\n:00000001FF\r\n",
       "line 2: byte address 10000 (word 8000) lies beyond the memory"},
      {":020000000000FE\r\n", "no end-of-file record"},
      {":00000001FF\r\n:020000000000FE\r\n", "line 2: text after the end-of-file record"},
      {":020000000000FE\r\n\r\n:00000001FF\r\n", "line 2: empty line"},
      {"", "empty file"},
      {("\x7F"
        "ELF\x02\x01"),
       "line 1: not an Intel HEX record"},
      {":0100000100FE\r\n", "line 1: an end-of-file record holds no data"},
      {":0100000400FB\r\n:00000001FF\r\n", "line 1: an address record holds two bytes"},
  };
  for (const auto& c : cases) {
    const Expected<ImageContents> read = read_intel_hex(c.text, MemoryMap{});
    ASSERT_FALSE(read.has_value()) << c.text;
    EXPECT_NE(read.message().find(c.message), std::string::npos) << read.message();
  }
}

// The chip's memory map bounds the words; its name is in the message.
TEST(ImageReader, ChipMemoryBoundsTheWords) {
  const DisassemblyOptions chip = options_for_chip("16F84A");
  const MemoryMap& memory = chip.chip->memory;
  const struct {
    std::uint32_t address;
    bool inside;
  } cases[] = {{0x03FF, true}, {0x0400, false}, {0x2000, true}, {0x2003, true}, {0x2004, false},
               {0x2007, true}, {0x2008, false}, {0x2100, true}, {0x213F, true}, {0x2140, false}};
  for (const auto& c : cases) {
    const std::string bytes(2, '\x01');
    const PlacedBytes run{2ull * c.address, bytes};
    const Expected<ImageContents> read = read_intel_hex(intel_hex_text({&run, 1}), memory);
    EXPECT_EQ(read.has_value(), c.inside) << hex4(c.address);
    if (!c.inside) {
      EXPECT_NE(read.message().find("16F84A"), std::string::npos);
    }
  }
}

// INHX8M without address records, segment and linear address records and
// lower-case digits all give the same words; so does korva-asm's writer.
TEST(ImageReader, ReadsEveryAddressRecord) {
  const WordImage expected{{0x0000, 0x3005}, {0x0001, 0x2800}, {0x2007, 0x3FF1}};
  const char* texts[] = {
      ":04000000053000289F\r\n:02400E00F13F80\r\n:00000001FF\r\n",
      ":04000000053000289f\n:020000020000FC\n:02400E00F13F80\n:00000001FF\n",
      (":020000040000FA\r\n:04000000053000289F\r\n:020000020400F8\r\n:02000E00F13FC0\r\n"
       ":00000001FF\r\n"),
  };
  for (const char* text : texts) {
    const Expected<ImageContents> read = read_intel_hex(text, MemoryMap{});
    ASSERT_TRUE(read.has_value()) << text << read.message();
    EXPECT_EQ(read->words, expected) << text;
    EXPECT_TRUE(read->lone_bytes.empty());
  }
  std::string code;
  for (const auto& [address, word] : expected) {
    code += static_cast<char>(word & 0xFF);
    code += static_cast<char>(word >> 8);
  }
  const PlacedBytes runs[] = {{0, std::string_view(code).substr(0, 4)},
                              {std::uint64_t{2} * 0x2007, std::string_view(code).substr(4)}};
  const Expected<ImageContents> written = read_intel_hex(intel_hex_text(runs), MemoryMap{});
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->words, expected);
}

// A .bin image: whole words, low byte first; a long run of zero words
// before more words is an ORG's fill and holds no words, a short run or one
// at the end holds NOPs; an odd last byte is a lone byte.
TEST(ImageReader, ReadsBinaryImages) {
  std::string bytes = std::string("\x05\x30", 2) + std::string(std::size_t{40}, '\0') +
                      std::string("\x08\x00", 2) + std::string(std::size_t{6}, '\0') + "\x41";
  const Expected<ImageContents> read = read_binary_image(bytes, MemoryMap{});
  ASSERT_TRUE(read.has_value()) << read.message();
  const WordImage expected{{0, 0x3005}, {21, 0x0008}, {22, 0}, {23, 0}, {24, 0}};
  EXPECT_EQ(read->words, expected);
  EXPECT_EQ(read->lone_bytes, (std::map<std::uint32_t, std::uint8_t>{{25, 0x41}}));
  MemoryMap small;
  small.program = {0, 0x10};
  EXPECT_FALSE(read_binary_image(bytes, small).has_value());
  // ID locations, then the zero fill of an ORG up to the configuration word:
  // the three zero words between them lie outside the memory.
  std::string ids(std::size_t{0x400E}, '\0');
  ids[std::size_t{0x4000}] = 1;
  ids += std::string("\xF1\x3F", 2);
  const Expected<ImageContents> config = read_binary_image(ids, MemoryMap{});
  ASSERT_TRUE(config.has_value()) << config.message();
  EXPECT_EQ(config->words.size(), 5u);
  EXPECT_EQ(config->words.at(0x2007), 0x3FF1);
  EXPECT_EQ(image_format_of("a.BIN"), ImageFormat::binary);
  EXPECT_EQ(image_format_of("a.hex"), ImageFormat::intel_hex);
}

// The chip named in a source's remarks ("korva-asm --chip 16F877A"), or
// none.
std::string chip_named_in(const std::string& bytes) {
  const std::size_t at = bytes.find("--chip ");
  if (at == std::string::npos) return {};
  std::string chip;
  for (std::size_t i = at + 7;
       i < bytes.size() && std::isalnum(static_cast<unsigned char>(bytes[i])); ++i) {
    chip += bytes[i];
  }
  return chip;
}

struct Corpus {
  std::string name;
  std::string chip;
  std::vector<std::pair<std::string, std::string>> sources;
};

std::vector<Corpus> example_and_case_programs() {
  const fs::path root = fs::path(KORVA_TEST_DATA) / "..";
  std::vector<Corpus> programs;
  for (const auto& folder : fs::directory_iterator(root / "examples")) {
    const std::string name = folder.path().filename().string();
    const Expected<std::vector<std::string>> entries =
        load_project_file((folder.path() / (name + ".amk")).string());
    if (!entries) continue;
    Corpus program{"example " + name, {}, {}};
    for (const std::string& entry : *entries) {
      program.sources.emplace_back(entry, testing::read_bytes(folder.path() / entry));
      if (program.chip.empty()) program.chip = chip_named_in(program.sources.back().second);
    }
    programs.push_back(std::move(program));
  }
  for (const auto& file : fs::recursive_directory_iterator(root / "tests" / "cases")) {
    if (file.path().extension() != ".as") continue;
    programs.push_back(
        Corpus{"case " + file.path().filename().string(),
               {},
               {{file.path().filename().string(), testing::read_bytes(file.path())}}});
  }
  return programs;
}

// Every example and case file, assembled, disassembled with and without its
// chip, and assembled again: the same words at the same addresses. Every
// word the source wrote in the notation comes back in the notation.
TEST(Disassembler, ExamplesAndCaseFilesRoundTrip) {
  std::size_t programs = 0;
  std::size_t words = 0;
  std::size_t statements = 0;
  for (Corpus& program : example_and_case_programs()) {
    for (const std::string& chip : {program.chip, std::string()}) {
      DisassemblyOptions options = options_for_chip(chip);
      auto sources = program.sources;
      if (!chip.empty())
        sources.insert(sources.begin(), {options.chip_file_name, options.chip_definitions});
      const std::optional<ImageContents> original = assembled_words(sources);
      if (!original) continue;  // a case file that shows errors
      const Expected<Disassembly> made = disassemble(*original, options);
      ASSERT_TRUE(made.has_value()) << program.name << ": " << made.message();
      EXPECT_EQ(reassembled(*made, options), original) << program.name << " chip " << chip;
      EXPECT_EQ(made->project, "program.as\r\n");
      // Every first form was right: one assembly proved the project.
      EXPECT_EQ(made->counts.assemblies, 1u) << program.name;
      ++programs;
      words += made->counts.program_words;
      statements += made->counts.statements;
      std::size_t without_form = 0;
      for (const auto& [address, word] : original->words) {
        if (address < 0x2000 && (has_no_form(word) || word > 0x3FFF)) ++without_form;
      }
      EXPECT_EQ(made->counts.raw_words, without_form) << program.name;
    }
  }
  EXPECT_GE(programs, 15u);
  std::cout << "[ figures  ] examples and case files: " << programs << " programs, " << words
            << " program words, " << statements << " statements\n";
}

// A random image: runs of words at random places of program memory (with
// gaps), words of every kind (jumps and calls into the program or beyond
// it, words without a form, 16-bit words), and at times configuration, ID
// and EEPROM words.
ImageContents random_image(std::mt19937& random, const MemoryMap& memory) {
  const auto below = [&random](std::uint32_t end) {
    return std::uniform_int_distribution<std::uint32_t>(0, end - 1)(random);
  };
  ImageContents contents;
  WordImage& image = contents.words;
  const std::uint32_t runs = 1 + below(6);
  for (std::uint32_t run = 0; run < runs; ++run) {
    const std::uint32_t start = below(memory.program.end);
    const std::uint32_t length = 1 + below(48);
    for (std::uint32_t address = start; address < start + length && address < memory.program.end;
         ++address) {
      std::uint32_t word = below(0x4000);
      switch (below(8)) {
        case 0:  // a jump or call near the run
          word = (below(2) == 0 ? 0x2000u : 0x2800u) | ((start + below(16)) & 0x7FFu);
          break;
        case 1:
          word = below(0x10000);
          break;
        case 2:  // a bit operation on STATUS, as bank switches are
          word = 0x1003u | below(4) << 10 | below(8) << 7;
          break;
        default:
          break;
      }
      image[address] = static_cast<std::uint16_t>(word);
    }
    // At times a DE byte at the end of the run.
    const std::uint32_t after = std::min(start + length, memory.program.end - 1);
    if (below(4) == 0 && !image.contains(after)) {
      contents.lone_bytes[after] = static_cast<std::uint8_t>(below(0x100));
    }
  }
  if (below(2) == 0) image[memory.config.begin] = static_cast<std::uint16_t>(below(0x4000));
  if (below(3) == 0) image[memory.id.begin + below(4)] = static_cast<std::uint16_t>(below(0x4000));
  if (below(2) == 0 && memory.eeprom.end > memory.eeprom.begin) {
    const std::uint32_t start =
        memory.eeprom.begin + below(memory.eeprom.end - memory.eeprom.begin);
    for (std::uint32_t address = start; address < start + 4 && address < memory.eeprom.end;
         ++address) {
      image[address] = static_cast<std::uint16_t>(below(0x100));
    }
  }
  for (const auto& [address, word] : image) contents.lone_bytes.erase(address);
  return contents;
}

// Two hundred random images, thousands of random words in all, each written
// as HEX, read back, disassembled and assembled again: the same words.
// Seeded, so a failure comes back.
TEST(Disassembler, RandomImagesRoundTrip) {
  std::mt19937 random(20261207);
  std::size_t words = 0;
  // Behind a chip's definitions an assembly takes longer: fewer rounds.
  const std::pair<std::string, int> chips[] = {
      {"", 120}, {"16F84A", 20}, {"16F877A", 20}, {"16F88", 20}, {"12F675", 20}};
  for (const auto& [chip, rounds] : chips) {
    const DisassemblyOptions options = options_for_chip(chip);
    const MemoryMap memory = options.chip ? options.chip->memory : MemoryMap{};
    for (int round = 0; round < rounds; ++round) {
      const ImageContents image = random_image(random, memory);
      words += image.words.size();
      std::vector<std::string> bytes;
      std::vector<PlacedBytes> runs;
      bytes.reserve(image.words.size() + image.lone_bytes.size());
      for (const auto& [address, word] : image.words) {
        bytes.push_back({static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)});
        runs.push_back(PlacedBytes{2ull * address, bytes.back()});
      }
      for (const auto& [address, byte] : image.lone_bytes) {
        bytes.push_back({static_cast<char>(byte)});
        runs.push_back(PlacedBytes{2ull * address, bytes.back()});
      }
      const std::string hex = intel_hex_text(runs);
      const Expected<Disassembly> made = disassemble(hex, ImageFormat::intel_hex, options);
      ASSERT_TRUE(made.has_value()) << chip << " round " << round << ": " << made.message();
      // The disassembly proved itself; every other one is assembled again here.
      if (round % 2 != 0) continue;
      ASSERT_EQ(reassembled(*made, options), image) << chip << " round " << round << "\n"
                                                    << made->source;
    }
  }
  std::cout << "[ figures  ] random images: " << words << " words\n";
}

// With the map of the program (korva-asm --map), subroutines, labels and
// reservations come back under their names, and the words stay the same.
TEST(Disassembler, MapNamesComeBack) {
  for (Corpus& program : example_and_case_programs()) {
    if (program.name.rfind("example", 0) != 0) continue;
    DisassemblyOptions options = options_for_chip(program.chip);
    SourceSet sources;
    if (!program.chip.empty()) {
      ASSERT_TRUE(sources.add(options.chip_file_name, options.chip_definitions));
    }
    for (const auto& [name, bytes] : program.sources) ASSERT_TRUE(sources.add(name, bytes));
    ServiceOptions service_options;
    service_options.extra_outputs.map = true;
    service_options.definition_files = program.chip.empty() ? 0 : 1;
    AssemblyService service;
    const ServiceResult result = service.assemble(std::move(sources), service_options);
    auto all = program.sources;
    if (!program.chip.empty()) {
      all.insert(all.begin(), {options.chip_file_name, options.chip_definitions});
    }
    const std::optional<ImageContents> original = assembled_words(all);
    ASSERT_TRUE(original.has_value()) << program.name;
    options.symbols = read_symbol_map(result.map_file);
    const Expected<Disassembly> made = disassemble(*original, options);
    ASSERT_TRUE(made.has_value()) << program.name << ": " << made.message();
    EXPECT_EQ(reassembled(*made, options), original) << program.name;
    for (const auto& [address, name] : options.symbols->subroutines) {
      if (original->words.contains(address)) {
        EXPECT_NE(made->source.find("SUB " + name + "\r\n"), std::string::npos)
            << program.name << " " << name;
      }
    }
    for (const auto& [address, name] : options.symbols->reservations) {
      EXPECT_NE(made->source.find(name + " "), std::string::npos) << program.name << " " << name;
    }
  }
}

// More jump targets than the symbol table holds: the targets past its room
// become raw words with a remark, and the words still come back.
TEST(Disassembler, TargetsBeyondTheSymbolTable) {
  WordImage image;
  constexpr std::uint32_t kJumps = 1200;
  for (std::uint32_t address = 0; address < kJumps; ++address) {
    image[address] = static_cast<std::uint16_t>(0x2800 | (address + 1));
  }
  const DisassemblyOptions options;
  const Expected<Disassembly> made = disassemble(image, options);
  ASSERT_TRUE(made.has_value()) << made.message();
  EXPECT_EQ(reassembled(*made, options), (ImageContents{image, {}}));
  EXPECT_GT(made->counts.raw_words, 0u);
  EXPECT_LT(made->counts.raw_words, kJumps - 900);
  EXPECT_NE(made->source.find("; GOTO 04B0h: no room for a name"), std::string::npos);
}

// The disassembler sees the chip as the assembler does: the memory map and
// banks of the chip facts, and a configuration word built from named
// settings comes back as those names in its remark, the word unchanged.
TEST(Disassembler, ChipLayoutAndConfigurationFollowTheChipFacts) {
  for (const char* chip : {"16F84A", "16F877A", "16F707", "12F675", "10F322"}) {
    SCOPED_TRACE(chip);
    const DisassemblyOptions options = options_for_chip(chip);
    ASSERT_TRUE(options.chip.has_value());
    const Expected<std::optional<ChipFacts>> read = read_chip_facts(options.chip_definitions);
    ASSERT_TRUE(read && *read);
    const ChipFacts& facts = **read;
    const MemoryMap& memory = options.chip->memory;
    EXPECT_EQ(memory.program.begin, facts.program.first);
    EXPECT_EQ(memory.program.end, facts.program.last + 1);
    EXPECT_EQ(memory.eeprom.begin < memory.eeprom.end, facts.eeprom.has_value());
    if (facts.eeprom) {
      EXPECT_EQ(memory.eeprom.end, facts.eeprom->last + 1);
    }
    EXPECT_EQ(options.chip->banks, facts.banks);

    // Every field set to its first setting, every word at once.
    std::vector<ConfigChoice> choices;
    for (const ConfigWord& word : facts.config_words) {
      for (const ConfigField& field : word.fields) {
        choices.push_back({field.name, field.settings.front().name});
      }
    }
    const Expected<std::vector<ConfiguredWord>> configured = configure_chip(facts, choices);
    ASSERT_TRUE(configured) << configured.message();
    WordImage image{{0, 0x0000}};
    for (const ConfiguredWord& word : *configured) {
      ASSERT_TRUE(memory.config.contains(word.word->address));
      std::vector<std::string> chosen;
      std::vector<std::string> erased;
      for (const ConfigField& field : word.word->fields) {
        chosen.push_back(field.name + "=" + field.settings.front().name);
        if (const ConfigSetting* setting = field.erased(word.word->blank)) {
          erased.push_back(field.name + "=" + setting->name);
        }
      }
      const auto value = static_cast<std::uint16_t>(word.value);
      EXPECT_EQ(options.chip->config_settings(word.word->address, value), chosen);
      EXPECT_EQ(options.chip->config_settings(word.word->address,
                                              static_cast<std::uint16_t>(word.word->blank)),
                erased);
      image[word.word->address] = value;
    }
    const Expected<Disassembly> made = disassemble(image, options);
    ASSERT_TRUE(made.has_value()) << made.message();
    EXPECT_EQ(reassembled(*made, options), (ImageContents{image, {}})) << made->source;
    for (const ConfigChoice& choice : choices) {
      const std::string named = choice.field + "=" + choice.setting;
      EXPECT_NE(made->source.find(named), std::string::npos) << named;
    }
  }
}

// A chip file without ";@" lines keeps the largest chip's map and still
// gives its names; one whose ";@" lines cannot be read is refused.
TEST(Disassembler, ChipFilesWithoutOrWithBrokenFacts) {
  const std::string names =
      ";----- Registers, bank 0 -----\nPORTB EQU $06\n"
      ";----- PORTB bits (PORTB EQU $06) -----\nRB7 EQU 7\n";
  const Expected<ChipDescription> plain = read_chip_description("MINE", names);
  ASSERT_TRUE(plain) << plain.message();
  EXPECT_EQ(plain->memory.program.end, MemoryMap{}.program.end);
  EXPECT_EQ(plain->memory.chip, "MINE");
  EXPECT_EQ(plain->registers.at(0x06), "PORTB");
  EXPECT_EQ(plain->bits.at(0x06)[7], "RB7");
  EXPECT_TRUE(plain->config_settings(0x2007, 0x3FFF).empty());

  const struct {
    const char* facts;
    const char* message;
  } broken[] = {
      {";@chip MINE\n;@program 0000-zz\n", "line 2"},
      {";@chip MINE\n", "no program memory"},
  };
  for (const auto& c : broken) {
    const Expected<ChipDescription> read = read_chip_description("MINE", c.facts + names);
    ASSERT_FALSE(read) << c.facts;
    EXPECT_NE(read.message().find(c.message), std::string::npos) << read.message();
  }
}

// MOVLB is read by the chip's bank count: six bits at 0140 on a part of 64
// banks, five at 0020 on one of 32; the other's words stay raw. Either way
// the disassembly assembles back to the same words.
TEST(Disassembler, BankSelectsFollowTheChipsBanks) {
  const WordImage image{{0, 0x0168}, {1, 0x017F}, {2, 0x0021}, {3, 0x0000}};
  const struct {
    const char* banks;
    std::vector<const char*> present;
  } cases[] = {
      {"64", {"40>BSR", "63>BSR", "\\0021"}},
      {"32", {"\\0168", "\\017F", "1>BSR"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.banks);
    DisassemblyOptions options;
    options.chip_file_name = "E.inc";
    options.chip_definitions = std::string(";@chip E\n;@core enhanced\n;@program 0000-7FFF\n") +
                               ";@banks " + c.banks + "\n";
    Expected<ChipDescription> chip = read_chip_description("E", options.chip_definitions);
    ASSERT_TRUE(chip) << chip.message();
    options.chip = std::move(*chip);
    const Expected<Disassembly> made = disassemble(image, options);
    ASSERT_TRUE(made) << made.message();
    for (const char* statement : c.present) {
      EXPECT_NE(made->source.find(statement), std::string::npos) << statement << "\n"
                                                                 << made->source;
    }
    EXPECT_EQ(reassembled(*made, options), (ImageContents{image, {}})) << made->source;
  }
}

// The generated benchmark projects below 8K words, with and without data
// bytes (a DE byte shifts the bytes after it, so those words read back as
// other words, often raw; a trailing one is a lone byte).
TEST(Disassembler, GeneratedProjectsRoundTrip) {
  const std::pair<std::size_t, bool> projects[] = {{2000, true}, {5000, false}};
  for (const auto& [lines, data_bytes] : projects) {
    {
      bench::GeneratorOptions generator;
      generator.data_bytes = data_bytes;
      const bench::GeneratedSource generated = bench::generate_source(lines, generator);
      const std::optional<ImageContents> original =
          assembled_words({{"defs.inc", generated.definitions}, {"main.as", generated.program}});
      ASSERT_TRUE(original.has_value()) << lines;
      ASSERT_LT(original->words.rbegin()->first, 0x2000u);
      const DisassemblyOptions options;
      const Expected<Disassembly> made = disassemble(*original, options);
      ASSERT_TRUE(made.has_value()) << lines << ": " << made.message();
      EXPECT_EQ(reassembled(*made, options), original) << lines << " " << data_bytes;
      if (!data_bytes) {
        std::size_t without_form = 0;
        for (const auto& [address, word] : original->words) {
          without_form += has_no_form(word) || word > 0x3FFF ? 1 : 0;
        }
        EXPECT_EQ(made->counts.raw_words, without_form) << lines;
      }
      std::cout << "[ figures  ] generated " << lines << " lines" << (data_bytes ? " with DE" : "")
                << ": " << made->counts.program_words << " program words, "
                << made->counts.statements << " statements, " << made->counts.data_bytes
                << " lone bytes\n";
    }
  }
}

}  // namespace
}  // namespace korva
