// Pass 2's macro expansion, driven the way the assembler drives it: a body
// line from next_line where an expansion runs, else a source line; then the
// statement offered to expand_macro.
#include "symbols/macro_expander.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "symbols/macro_table.h"

namespace korva {
namespace {

// One line of pass 2: where it came from, its label and statement after the
// expander saw it, and whether the expander took it (with the kind tag it
// set) or passed it on with the record's kind tag untouched.
std::string step_text(bool body, const LineRecord& record, bool taken) {
  std::string text = body ? "body " : "src  ";
  if (!record.label.empty()) text += std::string(record.label) + ' ';
  text += record.statement;
  text += taken ? " => " + std::string(record.kind) : " -> passed";
  if (!taken && !has_kind(record, RecordKind::none)) text += " (kind changed)";
  if (!record.error.empty()) text += " !" + std::string(record.error);
  return text;
}

std::vector<std::string> expand_source(std::string_view source) {
  MacroTable table;
  SourceReader reader;
  LineRecord record;
  std::string line;
  reader.reset(source);
  table.reset();
  do {
    line.clear();
    const std::size_t position = reader.read_line(line);
    split_statement(line, record);
    record.error.clear();
    table.collect_macro(record, position);
  } while (line != "end");

  MacroExpander expander;
  expander.reset(table, source);
  reader.reset(source);
  std::vector<std::string> steps;
  do {
    line.clear();
    const bool body = expander.next_line(line);
    if (!body) reader.read_line(line);
    split_statement(line, record);
    record.error.clear();
    set_kind(record, RecordKind::none);
    const bool taken = expander.expand_macro(record.statement, record);
    steps.push_back(step_text(body, record, taken));
  } while (line != "end" && steps.size() < 100);
  return steps;
}

TEST(MacroExpander, TakesDefinitionsAndCallsAndHandsOutBodyLines) {
  const struct {
    const char* name;
    const char* source;
    std::vector<std::string> steps;
  } cases[] = {
      {"a definition, then a call",
       "MACRO TWO\n        NOP\nL1:     SLEEP\nEND MACRO\n        TWO\n        RET\n",
       {"src  MACRO TWO => rem", "src  NOP => macro", "src  L1: SLEEP => macro",
        "src  END MACRO => macro", "src  macro TWO (0) => macro", "body NOP -> passed",
        "body L1: SLEEP -> passed", "body end macro (0) -> passed", "src  RET -> passed",
        "src  end -> passed"}},
      {"a nested call carries the outer call's label to the first body line",
       "MACRO IN\n NOP\nEND MACRO\nMACRO OUT\n IN\n CLRWDT\nEND MACRO\nGO: OUT\n",
       {"src  MACRO IN => rem", "src  NOP => macro", "src  END MACRO => macro",
        "src  MACRO OUT => rem", "src  IN => macro", "src  CLRWDT => macro",
        "src  END MACRO => macro", "src  GO: macro OUT (0) => macro",
        "body GO: macro IN (1) => macro", "body GO: NOP -> passed", "body end macro (1) -> passed",
        "body CLRWDT -> passed", "body end macro (0) -> passed", "src  end -> passed"}},
      {"a blank body line passes; a name in other letter case is no call",
       "MACRO GAP\n NOP\n\nEND MACRO\n GAP\n gap\n",
       {"src  MACRO GAP => rem", "src  NOP => macro", "src   => macro", "src  END MACRO => macro",
        "src  macro GAP (0) => macro", "body NOP -> passed", "body  -> passed",
        "body end macro (0) -> passed", "src  gap -> passed", "src  end -> passed"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(expand_source(c.source), c.steps) << c.name;
  }
}

TEST(MacroExpander, ARecursiveMacroStopsAtTheNestingLimit) {
  std::vector<std::string> expected = {"src  MACRO DEEP => rem", "src  DEEP => macro",
                                       "src  END MACRO => macro", "src  macro DEEP (0) => macro"};
  for (std::size_t depth = 1; depth < MacroExpander::kMaxDepth; ++depth) {
    expected.push_back("body macro DEEP (" + std::to_string(depth) + ") => macro");
  }
  expected.push_back("body macro DEEP (" + std::to_string(MacroExpander::kMaxDepth) +
                     ") => macro !Macro Nest Error");
  // No expansion runs after the error: the next line is the source's.
  expected.emplace_back("src  NOP -> passed");
  expected.emplace_back("src  end -> passed");
  EXPECT_EQ(expand_source("MACRO DEEP\n DEEP\nEND MACRO\n DEEP\n NOP\n"), expected);
}

TEST(MacroExpander, HandsOutNoLineOutsideAnExpansion) {
  const std::string source = "MACRO M\n NOP\nEND MACRO\n";
  MacroTable table;
  LineRecord record;
  std::string line = "MACRO M";
  split_statement(line, record);
  table.collect_macro(record, 8);
  line = "END MACRO";
  split_statement(line, record);
  table.collect_macro(record, 23);

  MacroExpander expander;
  expander.reset(table, source);
  line = "untouched";
  EXPECT_FALSE(expander.next_line(line));
  EXPECT_TRUE(expander.expand_macro("MACRO OTHER", record));
  // Inside a definition the lines still come from the source.
  EXPECT_FALSE(expander.next_line(line));
  EXPECT_EQ(line, "untouched");
  EXPECT_TRUE(expander.expand_macro("END MACRO", record));
  EXPECT_TRUE(expander.expand_macro("M", record));
  EXPECT_TRUE(expander.next_line(line));
  EXPECT_EQ(line, "NOP");
  EXPECT_TRUE(expander.next_line(line));
  EXPECT_EQ(line, "end macro (0)");
  EXPECT_FALSE(expander.next_line(line));
  EXPECT_EQ(line, "end macro (0)");
  // A reset ends a running expansion.
  EXPECT_TRUE(expander.expand_macro("M", record));
  expander.reset(table, source);
  EXPECT_FALSE(expander.next_line(line));
}

}  // namespace
}  // namespace korva
