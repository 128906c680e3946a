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
      {"BTFSC", WordFlow::skip},   {"BTFSS", WordFlow::skip},
      {"DECFSZ", WordFlow::skip},  {"INCFSZ", WordFlow::skip},
      {"GOTO", WordFlow::jump},    {"CALL", WordFlow::call},
      {"RETURN", WordFlow::leave}, {"RETLW", WordFlow::leave},
      {"RETFIE", WordFlow::leave}, {"no instruction", WordFlow::no_form}};
  const auto found = kFlows.find(name);
  return found == kFlows.end() ? WordFlow::next : found->second;
}

TEST(InstructionSet, EveryWordReadsAlikeOnEveryPath) {
  std::map<std::string, std::set<unsigned>> words_of;
  for (unsigned word = 0; word <= 0x3FFF; ++word) {
    const std::string name(instruction_name(word));
    const DecodedWord decoded = decode_word(static_cast<std::uint16_t>(word));
    const std::string mnemonic = standard_mnemonic(static_cast<std::uint16_t>(word));
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
      EXPECT_EQ(*decoded.literal, word & 0xFF) << hex4(word);
    }
    EXPECT_EQ(decoded.sets_bit, name == "BSF") << hex4(word);
    EXPECT_EQ(decoded.clears_bit, name == "BCF") << hex4(word);
  }
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

// gpdasm names each word as the instruction set does, where it names one.
// It is stricter in two places: of the don't-care words below 0180 it
// knows only CLRW 0103, and it reads 0061 as HALT, which the mid-range
// chips do not have.
TEST(InstructionSet, NamesTheWordsAsGpdasmDoes) {
  if (std::system("command -v gpdasm > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "gpdasm is not installed";
  }
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
    ASSERT_EQ(std::system(("gpdasm -p16f877a '" + (dir.path() / "words.hex").string() + "' > '" +
                           listing + "'")
                              .c_str()),
              0);
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
  ASSERT_EQ(names.size(), 0x4000u);
  std::size_t differences = 0;
  for (const auto& [word, name] : names) {
    const std::string_view ours = instruction_name(word);
    if (ours == name) continue;
    ++differences;
    const bool known =
        (word == 0x0061 && name == "HALT") || (ours == "CLRW" && name == "no instruction");
    EXPECT_TRUE(known) << hex4(word) << ": gpdasm " << name << ", here " << ours;
  }
  EXPECT_EQ(differences, 1u + 0x7Fu);
}

}  // namespace
}  // namespace korva
