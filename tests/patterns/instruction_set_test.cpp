// The instruction set: every 14-bit word reads the same wherever a word is
// named or followed (the name, the decoder's flow and operands, the
// mnemonic of remarks and hovers), and the names are gpdasm's.
#include "patterns/instruction_set.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "patterns/pattern_table.h"
#include "test_support.h"

namespace korva {
namespace {

std::string hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
  return text;
}

// What the datasheet says of the flow, written here apart from the table.
WordFlow expected_flow(std::string_view name) {
  static const std::map<std::string_view, WordFlow> kFlows = {
      {"BTFSC", WordFlow::skip},        {"BTFSS", WordFlow::skip},
      {"DECFSZ", WordFlow::skip},       {"INCFSZ", WordFlow::skip},
      {"GOTO", WordFlow::jump},         {"CALL", WordFlow::call},
      {"RETURN", WordFlow::leave},      {"RETLW", WordFlow::leave},
      {"RETFIE", WordFlow::leave},      {"no instruction", WordFlow::no_form},
      {"BRA", WordFlow::relative_jump}, {"BRW", WordFlow::computed_jump},
      {"RESET", WordFlow::restart}};
  const auto found = kFlows.find(name);
  return found == kFlows.end() ? WordFlow::next : found->second;
}

// Every word of a family, by the name each path gives it.
std::map<std::string, std::set<unsigned>> words_by_name(CoreFamily family,
                                                        std::uint32_t banks = 0) {
  std::map<std::string, std::set<unsigned>> words_of;
  for (unsigned word = 0; word <= 0x3FFF; ++word) {
    const std::string name(instruction_name(word, family, banks));
    const DecodedWord decoded = decode_word(static_cast<std::uint16_t>(word), family, banks);
    const std::string mnemonic = standard_mnemonic(static_cast<std::uint16_t>(word), family, banks);
    words_of[name].insert(word);
    EXPECT_EQ(mnemonic.substr(0, name.size()), name) << hex4(word);
    EXPECT_EQ(decoded.instruction == nullptr, name == "no instruction") << hex4(word);
    EXPECT_EQ(decoded.flow, expected_flow(name)) << hex4(word);
    if (decoded.instruction) {
      EXPECT_EQ(decoded.instruction->mnemonic, name) << hex4(word);
    }
    // The operand fields sit where the datasheet puts them.
    if (decoded.file) {
      EXPECT_EQ(*decoded.file, word & 0x7F) << hex4(word);
    }
    if (decoded.bit) {
      EXPECT_EQ(*decoded.bit, (word >> 7) & 7) << hex4(word);
    }
    if (decoded.literal) {
      const unsigned bank_width = banks > 32 ? 0x3F : 0x1F;
      const unsigned width = name == "MOVLB" ? bank_width : name == "MOVLP" ? 0x7F : 0xFF;
      EXPECT_EQ(*decoded.literal, word & width) << hex4(word);
    }
    EXPECT_EQ(decoded.sets_bit, name == "BSF") << hex4(word);
    EXPECT_EQ(decoded.clears_bit, name == "BCF") << hex4(word);
  }
  return words_of;
}

TEST(InstructionSet, EveryWordReadsAlikeOnEveryPath) {
  std::map<std::string, std::set<unsigned>> words_of = words_by_name(CoreFamily::classic);
  EXPECT_EQ(words_of["NOP"], (std::set<unsigned>{0x0000, 0x0020, 0x0040, 0x0060}));
  EXPECT_EQ(words_of["OPTION"], std::set<unsigned>{0x0062});
  EXPECT_EQ(words_of["TRIS"], (std::set<unsigned>{0x0065, 0x0066, 0x0067}));
  EXPECT_EQ(words_of["CLRW"].size(), 0x80u);
  // Below 0080 the 116 words that are none of the 12 control words, and
  // 3B00 to 3BFF.
  EXPECT_EQ(words_of["no instruction"].size(), 116u + 256u);
  EXPECT_EQ(words_of.size(), kInstructionCount + 1);
  EXPECT_EQ(standard_mnemonic(0x0066), "TRIS 06h");
  EXPECT_EQ(standard_mnemonic(0x3F05), "ADDLW 05h");
  EXPECT_EQ(standard_mnemonic(0x2FFF), "GOTO 7FFh");
  EXPECT_EQ(standard_mnemonic(0x0B85), "DECFSZ 05h,F");
  EXPECT_EQ(instruction_name(0x4000), "no instruction");
}

TEST(InstructionSet, EnhancedWordsReadAlikeOnEveryPath) {
  std::map<std::string, std::set<unsigned>> words_of = words_by_name(CoreFamily::enhanced);
  EXPECT_EQ(words_of["NOP"], std::set<unsigned>{0x0000});
  EXPECT_EQ(words_of["CLRW"], (std::set<unsigned>{0x0100, 0x0101, 0x0102, 0x0103}));
  EXPECT_EQ(words_of["MOVLB"].size(), 32u);
  EXPECT_EQ(words_of["BRA"].size(), 512u);
  EXPECT_EQ(words_of["MOVIW"].size(), 8u + 128u);
  EXPECT_EQ(words_of["MOVWI"].size(), 8u + 128u);
  // 49 instructions, OPTION and TRIS, and the words that are none.
  EXPECT_EQ(words_of.size(), 49u + 2u + 1u);
  // 0002-0007, 000C-000F, 0040-005F, 0060-0061, 0068-007F, 0104-017F.
  EXPECT_EQ(words_of["no instruction"].size(), 6u + 4u + 32u + 2u + 24u + 124u);
  EXPECT_EQ(instruction_name(0x4000, CoreFamily::enhanced), "no instruction");
}

// The 64-bank parts' MOVLB has six bits at 0140 to 017F, which the
// narrower parts leave as no instruction; its old words 0020 to 003F are
// none there. The other instructions keep their words.
TEST(InstructionSet, SixtyFourBankPartsSelectBanksWithSixBits) {
  std::map<std::string, std::set<unsigned>> words_of = words_by_name(CoreFamily::enhanced, 64);
  std::set<unsigned> wide;
  for (unsigned word = 0x0140; word <= 0x017F; ++word) wide.insert(word);
  EXPECT_EQ(words_of["MOVLB"], wide);
  EXPECT_EQ(words_of.size(), 49u + 2u + 1u);
  // As on 32 banks, with 0020-003F in and 0140-017F out.
  EXPECT_EQ(words_of["no instruction"].size(), 6u + 4u + 32u + 32u + 2u + 24u + 60u);
  const std::map<std::string, std::set<unsigned>> narrow = words_by_name(CoreFamily::enhanced);
  for (const auto& [name, words] : narrow) {
    if (name != "MOVLB" && name != "no instruction") {
      EXPECT_EQ(words_of[name], words) << name;
    }
  }
  EXPECT_EQ(standard_mnemonic(0x0168, CoreFamily::enhanced, 64), "MOVLB 28h");
  EXPECT_EQ(standard_mnemonic(0x0168, CoreFamily::enhanced, 32), "no instruction");
  EXPECT_EQ(standard_mnemonic(0x0021, CoreFamily::enhanced, 64), "no instruction");
  EXPECT_TRUE(decodes_as(decode_word(0x017F, CoreFamily::enhanced, 64),
                         opcode_of("MOVLB", CoreFamily::enhanced)));
}

// Where the enhanced set reads a word as a classic instruction, the classic
// set reads it the same: the new instructions only take words the classic
// masks leave as "don't care" or unused, never a word of another meaning.
TEST(InstructionSet, TheEnhancedSetNarrowsTheClassicOne) {
  std::set<std::string_view> classic_names;
  for (const Instruction& instruction : kInstructionSet) classic_names.insert(instruction.mnemonic);
  std::size_t new_words = 0;
  for (unsigned word = 0; word <= 0x3FFF; ++word) {
    const std::string_view enhanced = instruction_name(word, CoreFamily::enhanced);
    if (classic_names.count(enhanced) != 0) {
      EXPECT_EQ(instruction_name(word), enhanced) << hex4(word);
    } else if (enhanced != "no instruction") {
      ++new_words;
      // LSLF, LSRF and the rest are never read as their classic neighbours.
      EXPECT_NE(standard_mnemonic(static_cast<std::uint16_t>(word), CoreFamily::enhanced),
                standard_mnemonic(static_cast<std::uint16_t>(word)))
          << hex4(word);
    }
  }
  // ADDWFC, SUBWFB, LSLF, LSRF, ASRF: 5 x 256; MOVLB 32, MOVLP 128, BRA 512,
  // ADDFSR 128, MOVIW/MOVWI 2 x 136, BRW, CALLW, RESET.
  EXPECT_EQ(new_words, 5u * 256 + 32 + 128 + 512 + 128 + 2 * 136 + 3);
}

// The encodings of gputils' enhanced test suite and of gpasm's listings,
// read back in MPASM's own words.
TEST(InstructionSet, EnhancedWordsAreNamedAsMpasmWritesThem) {
  const struct {
    std::uint16_t word;
    std::string_view mnemonic;
  } cases[] = {
      {0x0010, "MOVIW ++FSR0"},
      {0x0011, "MOVIW --FSR0"},
      {0x0012, "MOVIW FSR0++"},
      {0x0013, "MOVIW FSR0--"},
      {0x0014, "MOVIW ++FSR1"},
      {0x001F, "MOVWI FSR1--"},
      {0x001E, "MOVWI FSR1++"},
      {0x3F40, "MOVIW 0[FSR1]"},
      {0x3F5F, "MOVIW 31[FSR1]"},
      {0x3F7F, "MOVIW -1[FSR1]"},
      {0x3F3F, "MOVIW -1[FSR0]"},
      {0x3F85, "MOVWI 5[FSR0]"},
      {0x3FE0, "MOVWI -32[FSR1]"},
      {0x32FF, "BRA $+256"},
      {0x3300, "BRA $-255"},
      {0x33F8, "BRA $-7"},
      {0x3200, "BRA $+1"},
      {0x003F, "MOVLB 1Fh"},
      {0x0020, "MOVLB 00h"},
      {0x31FF, "MOVLP 7Fh"},
      {0x3180, "MOVLP 00h"},
      {0x000B, "BRW"},
      {0x000A, "CALLW"},
      {0x0001, "RESET"},
      {0x3500, "LSLF 00h,W"},
      {0x35FF, "LSLF 7Fh,F"},
      {0x3D80, "ADDWFC 00h,F"},
      {0x3B05, "SUBWFB 05h,W"},
      {0x3685, "LSRF 05h,F"},
      {0x3705, "ASRF 05h,W"},
      {0x311F, "ADDFSR FSR0,31"},
      {0x3160, "ADDFSR FSR1,-32"},
      {0x317F, "ADDFSR FSR1,-1"},
      {0x3005, "MOVLW 05h"},
      {0x3405, "RETLW 05h"},
      {0x3C05, "SUBLW 05h"},
      {0x3E05, "ADDLW 05h"},
      {0x0062, "OPTION"},
      {0x0066, "TRIS 06h"},
      {0x0103, "CLRW"},
      {0x0000, "NOP"},
      {0x0040, "no instruction"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(standard_mnemonic(c.word, CoreFamily::enhanced), c.mnemonic) << hex4(c.word);
  }
  const DecodedWord bra = decode_word(0x33F8, CoreFamily::enhanced);
  EXPECT_EQ(bra.offset, -8);
  const DecodedWord moviw = decode_word(0x0016, CoreFamily::enhanced);
  EXPECT_EQ(moviw.fsr, 1);
  EXPECT_EQ(moviw.mode, 2);
  // The classic set reads the same words as the classic instructions whose
  // "don't care" bits they fill.
  EXPECT_EQ(standard_mnemonic(0x3500), "RETLW 00h");
  EXPECT_EQ(standard_mnemonic(0x3F40), "ADDLW 40h");
}

// The pattern table's instruction words are the instructions they name:
// the mnemonic of each entry's word begins as the entry's own four letters.
TEST(InstructionSet, ThePatternTableWritesTheInstructionsItNames) {
  const std::map<std::string_view, std::set<std::string_view>> kNamesOf = {
      {"INC ", {"INCF", "INCFSZ", "DECF", "DECFSZ"}},
      {"ADD ", {"ADDWF", "ADDLW"}},
      {"AND ", {"ANDWF", "ANDLW"}},
      {"OR  ", {"IORWF", "IORLW"}},
      {"XOR ", {"XORWF", "XORLW"}},
      {"SUB ", {"SUBWF", "SUBLW"}},
      {"RETK", {"RETLW"}},
      {"RLF ", {"RLF"}},
      {"RRF ", {"RRF"}},
      {"COM ", {"COMF"}},
      {"CLR ", {"CLRW", "CLRF"}},
      {"BCF ", {"BCF"}},
      {"BSF ", {"BSF"}},
      {"BTF ", {"BTFSC", "BTFSS"}},
      {"RET ", {"RETURN"}},
      {"RETI", {"RETFIE"}},
      {"SLEP", {"SLEEP"}},
      {"CWDT", {"CLRWDT"}},
      {"NOP ", {"NOP"}},
      {"JP  ", {"GOTO"}},
      {"MOV ", {"MOVWF", "MOVF", "MOVLW"}},
      {"SWP ", {"SWAPF"}},
  };
  for (const PatternEntry& entry : pattern_entries()) {
    for (const auto& word : {entry.word, entry.literal_word}) {
      if (!word) continue;
      // A register operation's form with one operand place writes d = 1.
      const bool one_place = entry.text.find('@') == entry.text.rfind('@');
      const std::uint16_t written =
          entry.type == PatternType::register_op && word == entry.word && one_place
              ? static_cast<std::uint16_t>(*word | kDestinationBit)
              : *word;
      const auto names = kNamesOf.find(entry.mnemonic);
      ASSERT_NE(names, kNamesOf.end()) << entry.text;
      EXPECT_TRUE(names->second.count(instruction_name(written)))
          << entry.text << " writes " << hex4(written) << ", " << instruction_name(written);
    }
  }
}

// gpdasm's names of every word, `processor` reading them (in two halves of
// 8K words, which the largest program memories hold, so that every BRA
// target lies inside).
std::map<unsigned, std::string> gpdasm_names(const std::string& processor) {
  testing::ScratchDir dir;
  std::map<unsigned, std::string> names;
  for (unsigned half = 0; half < 2; ++half) {
    std::ofstream hex(dir.path() / "words.hex", std::ios::binary);
    for (unsigned address = 0; address < 0x2000; address += 8) {
      char line[64];
      unsigned sum = 16 + ((address * 2) >> 8) + ((address * 2) & 0xFF);
      int at = std::snprintf(line, sizeof line, ":10%04X00", (address * 2) & 0xFFFF);
      for (unsigned i = 0; i < 8; ++i) {
        const unsigned word = half * 0x2000 + address + i;
        at += std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "%02X%02X",
                            word & 0xFF, word >> 8);
        sum += (word & 0xFF) + (word >> 8);
      }
      std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "%02X\n",
                    (0x100 - (sum & 0xFF)) & 0xFF);
      hex << line;
    }
    hex << ":00000001FF\n";
    hex.close();
    const std::string listing = (dir.path() / "words.txt").string();
    std::string command = "gpdasm -p" + processor;
    command += " '" + (dir.path() / "words.hex").string();
    command += "' > '" + listing + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(listing);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string address;
      std::string word;
      std::string name;
      fields >> address >> word >> name;
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      names[static_cast<unsigned>(std::stoul(word, nullptr, 16))] =
          name == "DW" ? "no instruction" : name;
    }
  }
  return names;
}

// gpdasm names each word as the instruction set does, where it names one.
// It is stricter in one place: of the don't-care words of CLRW it knows
// only 0103. It reads 0061 as HALT, which the mid-range chips do not have,
// and, for the enhanced chips, 0040 and 0060 as NOP, as the classic masks
// do (gputils' own enhanced table has NOP as 0000 alone).
TEST(InstructionSet, NamesTheWordsAsGpdasmDoes) {
  if (std::system("command -v gpdasm > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "gpdasm is not installed";
  }
  const struct {
    CoreFamily family;
    const char* processor;
    std::size_t known_differences;
  } families[] = {{CoreFamily::classic, "16f877a", 1 + 0x7F},
                  {CoreFamily::enhanced, "16f1847", 1 + 3 + 2}};
  for (const auto& f : families) {
    const std::map<unsigned, std::string> names = gpdasm_names(f.processor);
    ASSERT_EQ(names.size(), 0x4000u) << f.processor;
    std::size_t differences = 0;
    for (const auto& [word, name] : names) {
      const std::string_view ours = instruction_name(word, f.family);
      if (ours == name) continue;
      ++differences;
      const bool known =
          (word == 0x0061 && name == "HALT") || (ours == "CLRW" && name == "no instruction") ||
          (f.family == CoreFamily::enhanced && (word == 0x0040 || word == 0x0060) && name == "NOP");
      EXPECT_TRUE(known) << f.processor << " " << hex4(word) << ": gpdasm " << name << ", here "
                         << ours;
    }
    EXPECT_EQ(differences, f.known_differences) << f.processor;
  }
}

}  // namespace
}  // namespace korva
