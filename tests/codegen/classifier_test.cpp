// Pass 2's addresses as the records show them: the location counter and the
// RAM pointer are numbers inside the classifier, and their texts must stay
// those of the hexadecimal text rules (the writer's digits on the ORG and
// RAM= lines, four lower-case digits once a statement moves them on, 16-bit
// wrap-around).
#include "codegen/classifier.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codegen/hex_text.h"
#include "patterns/matcher.h"
#include "source/statement_splitter.h"
#include "symbols/symbol_table.h"

namespace korva {
namespace {

struct Classified {
  std::string address;   // of each line's record
  std::string operand1;  // after classification
};

bool operator==(const Classified& a, const Classified& b) {
  return a.address == b.address && a.operand1 == b.operand1;
}

std::ostream& operator<<(std::ostream& out, const Classified& c) {
  return out << c.address << '|' << c.operand1;
}

// Passes 1 and 2 over `lines` (no macros), the counter carried as a number
// or as the address text; the records and every symbol's value in table
// order.
std::vector<Classified> classify(const std::vector<std::string>& lines, bool counter_as_text,
                                 std::vector<std::string>& values) {
  SymbolTable symbols;
  symbols.reset();
  LineRecord record;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    split_statement(line, record);
    symbols.collect_symbols(record, i + 1);
  }
  Classifier classifier;
  classifier.reset();
  std::uint32_t counter = 0;
  std::string counter_text = "0000";
  std::vector<Classified> found;
  record = LineRecord{};
  record.address = "0000";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    split_statement(line, record);
    match_statement(record);
    if (counter_as_text) {
      classifier.classify_statement(record, counter_text, symbols, i + 1);
    } else {
      classifier.classify_statement(record, counter, symbols, i + 1);
    }
    found.push_back({std::string(record.address), std::string(record.operand1)});
    if (counter_as_text) {
      record.address = counter_text;
    } else {
      assign_hex(record.address, counter, 4);
    }
  }
  values.clear();
  for (const Symbol& entry : symbols.entries()) values.push_back(entry.value);
  return found;
}

TEST(Classifier, AddressesKeepTheirTextsWhileCountedAsNumbers) {
  const struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<Classified> records;
    std::vector<std::string> values;
  } cases[] = {
      {"ORG keeps the writer's digits on its own line",
       {"ORG 1aBh", "NOP", "L:: NOP"},
       {{"01aB", "01aB"}, {"01ab", ""}, {"01ac", ""}},
       {"01ac"}},
      {"ORG $XXXX stands for 0, its blank kept on its own line",
       {"ORG $XXXX", "L:: NOP"},
       {{" $XXXX", " $XXXX"}, {"0000", ""}},
       {"0000"}},
      {"the location counter wraps at FFFF",
       {"ORG 0FFFFh", "NOP", "L:: \\00000000"},
       {{"FFFF", "FFFF"}, {"ffff", ""}, {"0000", "00000000"}},
       {"0000"}},
      {"reservations start at 10h",
       {"A:: [3]", "B:: [1]"},
       {{"0010", "0010"}, {"0013", "0013"}},
       {"0010", "0013"}},
      {"the first reservation after RAM= shows its operand as written",
       {"RAM=$Ab", "A:: [2]", "B:: [1]", "RAM=20h", "C:: [1]"},
       {{"0000", "00Ab"}, {"00Ab", "00Ab"}, {"00ad", "00ad"}, {"0000", "0020"}, {"0020", "0020"}},
       {"00Ab", "00ad", "0020"}},
      {"the RAM pointer wraps at FFFF",
       {"RAM=0FFFFh", "A:: [2]", "B:: [1]"},
       {{"0000", "FFFF"}, {"FFFF", "FFFF"}, {"0001", "0001"}},
       {"FFFF", "0001"}},
      {"an EQU shows its value, not the counter",
       {"NOP", "K EQU 1Ch", "NOP"},
       {{"0000", ""}, {"001C", "001C"}, {"0001", ""}},
       {"001C"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool as_text : {false, true}) {
      std::vector<std::string> values;
      EXPECT_EQ(classify(c.lines, as_text, values), c.records) << "counter as text: " << as_text;
      EXPECT_EQ(values, c.values) << "counter as text: " << as_text;
    }
  }
}

TEST(Classifier, RamPointerTextAndAddressFollowRamAndReservations) {
  Classifier classifier;
  classifier.reset();
  EXPECT_EQ(classifier.ram_pointer(), "0010");
  EXPECT_EQ(classifier.ram_address(), 0x10u);
  SymbolTable symbols;
  symbols.reset();
  std::uint32_t counter = 0;
  const struct {
    const char* line;
    const char* pointer_after;
    std::uint32_t address_after;
  } steps[] = {{"RAM=$aB", "00aB", 0xAB},      {"[1]", "00ac", 0xAC},
               {"RAM=$XXXX", "$XXXX", 0},      {"[2]", "0002", 2},
               {"RAM=1FFFFh", "FFFF", 0xFFFF}, {"[3]", "0002", 2},
               {"RAM=70000", "1170", 0x1170},  {"[0]", "1170", 0x1170}};
  for (const auto& step : steps) {
    LineRecord record;
    std::string line = step.line;
    split_statement(line, record);
    match_statement(record);
    classifier.classify_statement(record, counter, symbols, std::nullopt);
    EXPECT_EQ(classifier.ram_pointer(), step.pointer_after) << step.line;
    EXPECT_EQ(classifier.ram_address(), step.address_after) << step.line;
  }
  classifier.reset();
  EXPECT_EQ(classifier.ram_pointer(), "0010");
  EXPECT_EQ(classifier.ram_address(), 0x10u);
}

}  // namespace
}  // namespace korva
