#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "codegen/code_generator.h"
#include "codegen/hex_text.h"
#include "codegen/operand_encoding.h"
#include "patterns/pattern_table.h"
#include "source/statement_splitter.h"
#include "symbols/symbol_table.h"

namespace korva {
namespace {

// The entry of the notation's form `pattern`, as the matcher gives it.
std::optional<std::uint8_t> entry_of(std::string_view pattern) {
  for (const PatternEntry& entry : kPatterns) {
    if (entry.text == pattern) return pattern_number(entry);
  }
  ADD_FAILURE() << "no form " << pattern;
  return std::nullopt;
}

// COUNT:: is a global constant of value 0014 (written COUNT EQU 20),
// LOCAL: a label local to the code outside subroutines.
SymbolTable sample_symbols(bool with_m, std::string_view count = "0014") {
  SymbolTable table;
  table.reset();
  LineRecord record;
  std::size_t origin = 0;
  for (std::string line : {"COUNT EQU 20", "LOCAL: NOP", with_m ? "M EQU 1" : "NOP"}) {
    split_statement(line, record);
    table.collect_symbols(record, ++origin);
  }
  table.give_value(1, false, count);
  table.give_value(2, false, "0001");
  if (with_m) table.give_value(3, false, "0001");
  return table;
}

TEST(EvaluateOperand, NumbersAndGlobalSymbolsJoinedLeftToRight) {
  const SymbolTable symbols = sample_symbols(false);
  const struct {
    const char* operand;
    const char* result;
  } cases[] = {
      {"(COUNT+1)", "($0015)"},
      {"(COUNT+1+1)", "($0016)"},
      {"COUNT-1", "$0013"},
      {"(20)", "($0014)"},
      {"($86)", "($0086)"},
      {"2-3", "$ffff"},
      {"5*3", "$0005"},
      {"5/3", "$0005"},
      {"W", "W"},
      {"w", "w"},
      {"F", "F"},
      {"f", "f"},
      {"M", "M"},
      {"COUNT + 1", "COUNT + 1"},
      {"COUNT+ 1", "$0015"},
      {"()", "($0000)"},
      {"(20", "($0002)"},
      {"(LOCAL)", "(LOCAL)"},
      {"(NOWHERE)", "(NOWHERE)"},
      {"count", "count"},
      {"  (20)  ", "($0014)"},
      {"5+", "$0005"},
      {"", ""},
      {"(1Fh+H'01')", "($0020)"},
  };
  for (const auto& c : cases) {
    std::string operand = c.operand;
    evaluate_operand(operand, symbols);
    EXPECT_EQ(operand, c.result) << '"' << c.operand << '"';
  }
}

TEST(EvaluateOperand, MIsASymbolWhenOneIsDefined) {
  const SymbolTable symbols = sample_symbols(true);
  std::string operand = "M";
  evaluate_operand(operand, symbols);
  EXPECT_EQ(operand, "$0001");
}

TEST(OperandValue, IsTheNumberTheOperandTextIsRewrittenAs) {
  const SymbolTable symbols = sample_symbols(false);
  const struct {
    const char* operand;
    std::optional<std::uint32_t> value;  // none: not evaluated
    bool file_register;
  } cases[] = {
      {"(COUNT+1)", 0x15, true},
      {"COUNT-1", 0x13, false},
      {"2-3", 0xFFFF, false},
      {"()", 0, true},
      {"(20", 2, true},
      {"$12345", 0x2345, false},
      {"W", std::nullopt, false},
      {"", std::nullopt, false},
      {"LOCAL", std::nullopt, false},
      {"COUNT + 1", std::nullopt, false},
  };
  for (const auto& c : cases) {
    std::string operand = c.operand;
    const std::optional<OperandValue> value = evaluate_operand(operand, symbols);
    ASSERT_EQ(value.has_value(), c.value.has_value()) << c.operand;
    if (!value) continue;
    EXPECT_EQ(value->value, *c.value) << c.operand;
    EXPECT_EQ(value->file_register, c.file_register) << c.operand;
    // The text written is the value's, and reads back as it.
    std::string digits;
    assign_hex(digits, value->value, 4);
    const std::string expected = c.file_register ? "($" + digits + ")" : "$" + digits;
    EXPECT_EQ(operand, expected) << c.operand;
  }
}

TEST(EncodeOperation, ValuesGiveTheWordsTheirTextsGive) {
  // Encoding from the evaluated values and encoding from the texts that
  // evaluation wrote must agree, including the failures.
  const SymbolTable symbols = sample_symbols(true);
  const struct {
    std::optional<std::uint8_t> pattern;
    const char* kind;
    const char* operand1;
    const char* operand2;
  } operations[] = {
      {entry_of("W+@>@"), "normal", "(COUNT)", "W"},
      {entry_of("W+@>@"), "normal", "($86)", "F"},
      {entry_of("W+@>@"), "normal", "COUNT", "W"},
      {entry_of("W+@>@"), "normal", "2-3", "W"},
      {entry_of("W+@>@"), "normal", "100h", "W"},
      {entry_of("W+@>@"), "normal", "COUNT", "F"},
      {entry_of("W+@>@"), "normal", "(COUNT)", "M"},
      {entry_of("W+@>@"), "normal", "(X+($5))", "W"},
      {entry_of("W+@>@"), "normal", "(COUNT)", "(5)"},
      {entry_of("00>@"), "normal", "5", "W"},
      {entry_of("RET @>@"), "normal", "(20)", "W"},
      {entry_of("@_BIT@<1"), "bit", "(3)", "5"},
      {entry_of("@_BIT@<1"), "bit", "(3)", "7"},
      {entry_of("@_BIT@<1"), "bit", "(3)", "8"},
      {entry_of("@_BIT@<1"), "bit", "(3)", "10h"},
      {entry_of("@_BIT@<1"), "bit", "(3)", "(5)"},
      {entry_of("@_BIT@<1"), "bit", "(3)", "W"},
      {entry_of("@_BIT@<1"), "bit", "3", "1"},
      {entry_of("@_BIT@<1"), "bit", "(0A6h)", "2-1"},
      {entry_of("@_BIT@<1"), "bit", "(NOWHERE)", "1"},
  };
  for (const auto& o : operations) {
    LineRecord by_value;
    by_value.pattern = o.pattern;
    by_value.kind = o.kind;
    by_value.operand1 = o.operand1;
    by_value.operand2 = o.operand2;
    by_value.code = "XXXX";
    LineRecord by_text = by_value;
    const bool bit = std::string_view(o.kind) == "bit";
    const auto value1 = evaluate_operand(by_value.operand1, symbols);
    const auto value2 = evaluate_operand(by_value.operand2, symbols);
    evaluate_operand(by_text.operand1, symbols);
    evaluate_operand(by_text.operand2, symbols);
    if (bit) {
      encode_bit(by_value, value1, value2);
      encode_bit(by_text);
    } else {
      encode_normal(by_value, value1);
      encode_normal(by_text);
    }
    const std::string what = std::string(o.operand1) + ',' + o.operand2;
    EXPECT_EQ(by_value.code, by_text.code) << what;
    EXPECT_EQ(by_value.error, by_text.error) << what;
    EXPECT_EQ(by_value.kind, by_text.kind) << what;
    EXPECT_EQ(by_value.operand1, by_text.operand1) << what;
    EXPECT_EQ(by_value.operand2, by_text.operand2) << what;
  }
}

// The generator remembers encoded operations within a pass 3; repeating one
// must give the same words, the same operand notes, and after a reset the
// symbols' new values.
TEST(CodeGenerator, RepeatedOperationsEncodeAlikeWithinAPassOnly) {
  SymbolTable symbols = sample_symbols(false);
  const struct {
    std::optional<std::uint8_t> pattern;
    const char* kind;
    const char* operand1;
    const char* operand2;
    const char* code;
    const char* error;
    std::size_t notes;
    std::uint32_t value1;  // operand 1's value, kept for the warnings
    bool file_register;
  } operations[] = {
      {entry_of("W+@>@"), "normal", "(COUNT)", "W", "0714", "", 0, 0x14, true},
      {entry_of("W+@>@"), "normal", "(COUNT)", "F", "0794", "", 0, 0x14, true},
      {entry_of("W+@>@"), "normal", "COUNT", "W", "3e14", "", 0, 0x14, false},
      {entry_of("W+@>@"), "normal", "COUNT", "F", "", "normal err", 0, 0x14, false},
      {entry_of("W+@>@"), "normal", "5*3", "W", "3e05", "", 1, 5, false},
      {entry_of("@_BIT@<1"), "bit", "(3)", "5", "1683", "", 0, 3, true},
      {entry_of("@_BIT@<1"), "bit", "(3)", "9", "", "bit err", 0, 3, true},
  };
  CodeGenerator generator;
  for (int pass = 0; pass < 2; ++pass) {
    generator.reset();
    // A new assembly with another value for COUNT.
    if (pass == 1) symbols = sample_symbols(false, "0015");
    for (int round = 0; round < 2; ++round) {
      for (const auto& o : operations) {
        LineRecord record;
        record.pattern = o.pattern;
        record.kind = o.kind;
        record.operand1 = o.operand1;
        record.operand2 = o.operand2;
        record.code = "XXXX";
        generator.generate_code(record, symbols);
        std::string code = o.code;
        if (pass == 1 && code.size() == 4 &&
            std::string_view(o.operand1).find("COUNT") != std::string_view::npos) {
          code[3] = '5';  // COUNT is 0015 now
        }
        EXPECT_EQ(record.code, code) << o.operand1 << ',' << o.operand2 << " pass " << pass;
        EXPECT_EQ(record.error, o.error) << o.operand1 << ',' << o.operand2;
        EXPECT_EQ(generator.operand_notes().size(), o.notes) << o.operand1 << ',' << o.operand2;
        const std::uint32_t value1 =
            pass == 1 && std::string_view(o.operand1).find("COUNT") != std::string_view::npos
                ? 0x15
                : o.value1;
        ASSERT_TRUE(generator.last_operand1()) << o.operand1 << ',' << o.operand2;
        EXPECT_EQ(generator.last_operand1()->value, value1) << o.operand1 << " pass " << pass;
        EXPECT_EQ(generator.last_operand1()->file_register, o.file_register) << o.operand1;
      }
      LineRecord remark;
      set_kind(remark, RecordKind::rem);
      generator.generate_code(remark, symbols);
      EXPECT_FALSE(generator.last_operand1());
    }
  }
}

// More distinct operations than the generator's table has slots, and more
// than its packed texts may hold at once: each repeat, whether it is still
// remembered, was pushed out by another, or was forgotten with all the
// others, encodes as a generator that remembers nothing encodes it.
TEST(CodeGenerator, ManyOperationsRepeatedEncodeAsFirstEncoded) {
  const SymbolTable symbols = sample_symbols(false);
  const auto operation = [](std::size_t i) {
    LineRecord record;
    const bool bit = i % 3 == 0;
    record.pattern = bit ? entry_of("@_BIT@<1") : entry_of("W+@>@");
    record.kind = bit ? "bit" : "normal";
    // Registers and literals in turn, some with symbols, some failing.
    record.operand1 = (i % 2 ? "(" : "") + std::string(i % 5 == 0 ? "COUNT+" : "") +
                      std::to_string(i % 700) + (i % 2 ? ")" : "") +
                      std::string(i % 11 == 0 ? " ; remark-like tail to lengthen the key" : "");
    record.operand2 = bit ? std::to_string(i % 9) : (i % 4 ? "W" : "F");
    record.code = "XXXX";
    return record;
  };
  CodeGenerator remembering;
  CodeGenerator fresh;
  remembering.reset();
  std::size_t encoded = 0;
  for (int round = 0; round < 3; ++round) {
    for (std::size_t i = 0; i < 30000; i += 1 + round) {
      LineRecord expected = operation(i);
      fresh.reset();  // nothing remembered
      fresh.generate_code(expected, symbols);
      LineRecord record = operation(i);
      remembering.generate_code(record, symbols);
      ASSERT_EQ(record.code, expected.code) << record.operand1 << ',' << record.operand2;
      ASSERT_EQ(record.error, expected.error) << i;
      ASSERT_EQ(record.kind, expected.kind) << i;
      ASSERT_EQ(record.operand1, expected.operand1) << i;
      ASSERT_EQ(record.operand2, expected.operand2) << i;
      ASSERT_EQ(remembering.last_operand1().has_value(), fresh.last_operand1().has_value()) << i;
      if (fresh.last_operand1()) {
        EXPECT_EQ(remembering.last_operand1()->value, fresh.last_operand1()->value) << i;
        EXPECT_EQ(remembering.last_operand1()->file_register, fresh.last_operand1()->file_register)
            << i;
      }
      EXPECT_EQ(remembering.operand_notes().size(), fresh.operand_notes().size()) << i;
      ++encoded;
    }
  }
  EXPECT_GT(encoded, 50000u);
}

TEST(EncodeBit, BitNumberMustBeZeroToSevenAfterEvaluation) {
  const struct {
    const char* operand1;
    const char* operand2;
    const char* code;
    const char* error;
  } cases[] = {
      {"($0003)", "$0005", "1683", ""},      {"($0003)", "$0008", "", "bit err"},
      {"($0003)", "$000a", "", "bit err"},   {"($0003)", "F", "", "bit err"},
      {"$0005", "$0003", "1580", "bit err"}, {"($0003)", "", "", "bit err"},
      {"($00a6)", "$0007", "17a6", ""},
  };
  for (const auto& c : cases) {
    LineRecord record;
    record.pattern = entry_of("@_BIT@<1");
    record.kind = "bit";
    record.operand1 = c.operand1;
    record.operand2 = c.operand2;
    encode_bit(record);
    EXPECT_EQ(record.code, c.code) << c.operand1 << ',' << c.operand2;
    EXPECT_EQ(record.error, c.error) << c.operand1 << ',' << c.operand2;
    EXPECT_EQ(record.kind, "bit");
  }
}

// An operation without a word says why: the cause, the operand at fault as
// written, and the first term without a value.
TEST(EncodeOperation, FaultsNameTheirCauseAndOperand) {
  using enum OperationFault;
  const SymbolTable symbols = sample_symbols(true);  // M is a symbol
  const struct {
    const char* pattern;
    const char* operand1;
    const char* operand2;
    OperationFault cause;
    int operand;
    const char* term;  // empty: no term
  } cases[] = {
      {"W+@>@", "(20)", "(5)", destination_not_letter, 2, ""},
      {"W+@>@", "(20)", "M", destination_not_letter, 2, ""},
      {"W+@>@", "(20)", "X", destination_not_letter, 2, ""},
      {"W+@>@", "5", "F", literal_not_into_w, 2, ""},
      {"SWAP@>@", "5", "W", literal_without_form, 1, ""},
      {"RET @>@", "(20)", "W", register_without_form, 1, ""},
      {"W+@>@", "(COUNT+ZZ-1)", "W", term_without_value, 1, "ZZ"},
      {"W+@>@", "(LOCAL)", "W", term_without_value, 1, "LOCAL"},
      {"W+@>@", "W", "W", term_without_value, 1, "W"},
      {"@_BIT@<1", "(3)", "(5)", bit_number_register, 2, ""},
      {"@_BIT@<1", "(3)", "8", bit_number_out_of_range, 2, ""},
      {"@_BIT@<1", "(3)", "COUNT", bit_number_out_of_range, 2, ""},
      {"@_BIT@<1", "(3)", "QQ", term_without_value, 2, "QQ"},
      {"@_BIT@<1", "3", "1", operand_not_register, 1, ""},
      {"@_BIT@<1", "(NOWHERE)", "1", term_without_value, 1, "NOWHERE"},
  };
  CodeGenerator generator;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " " + c.operand1 + "," + c.operand2);
    LineRecord record;
    const bool bit = std::string_view(c.pattern).find("_BIT") != std::string_view::npos;
    set_kind(record, bit ? RecordKind::bit : RecordKind::normal);
    record.pattern = entry_of(c.pattern);
    record.operand1 = c.operand1;
    record.operand2 = c.operand2;
    generator.generate_code(record, symbols);
    const std::optional<EncodingFault>& fault = generator.last_fault();
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(fault->cause, c.cause);
    EXPECT_EQ(fault->operand, c.operand);
    EXPECT_EQ(fault->written(), c.operand == 1 ? c.operand1 : c.operand2);
    const std::string term = fault->term
                                 ? fault->written().substr(fault->term->offset, fault->term->size)
                                 : std::string();
    EXPECT_EQ(term, c.term);
    EXPECT_EQ(record.error, bit ? "bit err" : "normal err");
  }
  // A word written leaves no fault behind.
  LineRecord fine;
  set_kind(fine, RecordKind::normal);
  fine.pattern = entry_of("W+@>@");
  fine.operand1 = "(COUNT)";
  fine.operand2 = "W";
  generator.generate_code(fine, symbols);
  EXPECT_FALSE(generator.last_fault().has_value());
  EXPECT_EQ(fine.code, "0714");
}

}  // namespace
}  // namespace korva
