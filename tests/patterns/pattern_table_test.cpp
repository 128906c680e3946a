#include "patterns/pattern_table.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace korva {
namespace {

// The table as the notation defines it: each entry's 9-character key followed
// by its pattern text, a comma after each. The stored keys go into the .obj
// file, so they must not change when the entries do.
constexpr std::string_view kDefinedTable =
    "\\0000    \\@,N0F00INC @+1>@(Z)->,N0A00INC @+1>@,N0B00INC @-1>@(Z)->,"
    "N0300INC @-1>@,N0F00INC @+1(Z)->,N0A00INC @+1,N0B00INC @-1(Z)->,N0300INC @-1,"
    "N073EADD W+@>@,N0539AND W^@>@,N0438OR  WV@>@,N063AXOR W\\@>@,N023CSUB @-W>@,"
    "NFF34RETKRET @>@,N0D00RLF <<@<<->@,N0D00RLF <<@<<,N0C00RRF >>@>>->@,"
    "N0C00RRF >>@>>,N0900COM /@>@,I0100CLR 00>W,N0100CLR 00>@,b1000BCF @_BIT@<0,"
    "b1400BSF @_BIT@<1,b1800BTF @_BIT@=0->,b1C00BTF @_BIT@=1->,I0008RET RET,"
    "I0009RETIRETI,I0063SLEPSLEEP,I0064CWDTCLRWDT,I0000NOP NOP,B2800JP  ===->@,"
    "E0000EQU EQU@,D0000DE  DE @,N0000MOV W>@,O0000ORG ORG@,N0E00SWP SWAP@>@,"
    "N0E00SWP SWAP@,M0000MEM [@],r0000RAM RAM=@,S0000    SUB @,N0830MOV @>@,"
    "E0000    =@,R0000    END MACRO@,I0008RET END SUB,";

TEST(PatternTable, KeysAndTextsSpellTheDefinedTable) {
  std::string spelt;
  for (const PatternEntry& entry : pattern_entries()) {
    spelt += entry.key.view();
    spelt += entry.text;
    spelt += ',';
  }
  EXPECT_EQ(spelt, kDefinedTable);
  EXPECT_EQ(kDefinedTable.size(), 699u);
}

TEST(PatternTable, EntriesAreCutAtTheirOperandPlaces) {
  const PatternEntry& inc = pattern_entries()[1];  // "@+1>@(Z)->"
  EXPECT_TRUE(inc.leading && inc.middle && !inc.trailing);
  EXPECT_EQ(inc.first_piece, "+1>");
  EXPECT_EQ(inc.second_piece, "(Z)->");
  const PatternEntry& add = pattern_entries()[9];  // "W+@>@"
  EXPECT_TRUE(!add.leading && add.middle && add.trailing);
  EXPECT_EQ(add.second_piece, ">");
  const PatternEntry& nop = pattern_entries()[30];
  EXPECT_TRUE(!nop.leading && !nop.middle && !nop.trailing);
  EXPECT_EQ(nop.first_piece, "NOP");
  EXPECT_EQ(pattern_entries()[40].first_piece, "SUB ");
  EXPECT_EQ(pattern_entries()[44].first_piece, "END SUB");
}

// What the code generator builds from an entry: the words of both forms of a
// register operation, the base of a bit operation and the jump, the word of
// an instruction without operands.
TEST(PatternTable, EntriesCarryTheirInstructionWords) {
  struct Words {
    std::size_t entry;
    PatternType type;
    std::optional<std::uint16_t> word;
    std::optional<std::uint16_t> literal_word;
  };
  const Words cases[] = {
      {9, PatternType::register_op, 0x0700, 0x3E00},         // ADDWF, ADDLW
      {13, PatternType::register_op, 0x0200, 0x3C00},        // SUBWF, SUBLW
      {14, PatternType::register_op, std::nullopt, 0x3400},  // RETLW only
      {17, PatternType::register_op, 0x0C00, std::nullopt},  // RRF only
      {34, PatternType::register_op, 0x0000, std::nullopt},  // MOVWF
      {41, PatternType::register_op, 0x0800, 0x3000},        // MOVF, MOVLW
      {25, PatternType::bit_op, 0x1C00, std::nullopt},       // BTFSS
      {31, PatternType::branch, 0x2800, std::nullopt},       // GOTO
      {20, PatternType::inherent, 0x0100, std::nullopt},     // CLRW
      {29, PatternType::inherent, 0x0064, std::nullopt},     // CLRWDT
      {35, PatternType::origin, std::nullopt, std::nullopt},
  };
  for (const Words& c : cases) {
    const PatternEntry& entry = pattern_entries()[c.entry];
    EXPECT_EQ(entry.type, c.type) << c.entry;
    EXPECT_EQ(entry.word, c.word) << c.entry;
    EXPECT_EQ(entry.literal_word, c.literal_word) << c.entry;
  }
}

// A stored key leads back to the first entry stored under it; entries that
// share a key agree in everything but their text.
TEST(PatternTable, EveryKeyLeadsBackToItsFirstEntry) {
  // Both tables' entries: an enhanced record's key leads back as well.
  const std::span<const PatternEntry> entries = kPatternStore;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PatternEntry* found = pattern_of_key(entries[i].key.view());
    ASSERT_NE(found, nullptr) << i;
    const auto first = static_cast<std::size_t>(found - entries.data());
    EXPECT_LE(first, i);
    for (std::size_t j = 0; j < first; ++j) EXPECT_NE(entries[j].key.view(), entries[i].key.view());
    EXPECT_EQ(found->key.view(), entries[i].key.view());
    EXPECT_EQ(found->type, entries[i].type) << i;
    EXPECT_EQ(found->word, entries[i].word) << i;
    EXPECT_EQ(found->literal_word, entries[i].literal_word) << i;
    EXPECT_EQ(found->mnemonic, entries[i].mnemonic) << i;
    EXPECT_EQ(pattern_number(entries[i]), i);
  }
  for (const std::string_view key : {std::string_view(), std::string_view("N0F00INC"),
                                     std::string_view("n0f00inc "), std::string_view("N0F00INC  "),
                                     std::string_view("X0000    "), std::string_view("N0F01INC "),
                                     std::string_view("\xFF"
                                                      "0000    ")}) {
    EXPECT_EQ(pattern_of_key(key), nullptr) << '"' << key << '"';
  }
}

}  // namespace
}  // namespace korva
