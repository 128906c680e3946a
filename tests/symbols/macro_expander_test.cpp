// Pass 2's macro expansion, driven the way the assembler drives it: a body
// line from next_line where an expansion runs, else a source line; then the
// statement offered to expand_macro.
#include "symbols/macro_expander.h"

#include <gtest/gtest.h>

#include <array>
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

// A closing line as written in a body, and its statement after splitting.
struct Closing {
  std::string_view line;
  std::string_view statement;
};

// Three macros, each calling the next: OUTER (level 0), MID (1), INNER (2),
// each closed by the given line. The definitions are consumed; the call
// expands all three levels, each ended by its own mark.
void nested_expansion(const std::array<Closing, 3>& closings, std::string_view line_end) {
  std::string source;
  std::vector<std::string> steps;
  const auto define = [&](std::string_view name, std::string_view first, std::string_view second,
                          const Closing& closing) {
    for (const std::string_view line :
         {"MACRO " + std::string(name), " " + std::string(first), " " + std::string(second)}) {
      if (line.ends_with(' ')) continue;
      source += line;
      source += line_end;
    }
    source += closing.line;
    source += line_end;
    steps.push_back("src  MACRO " + std::string(name) + " => rem");
    steps.push_back("src  " + std::string(first) + " => macro");
    if (!second.empty()) steps.push_back("src  " + std::string(second) + " => macro");
    steps.push_back("src  " + std::string(closing.statement) + " => macro");
  };
  define("INNER", "NOP", "", closings[2]);
  define("MID", "INNER", "SLEEP", closings[1]);
  define("OUTER", "MID", "CLRWDT", closings[0]);
  source += " OUTER";
  source += line_end;
  source += " RET";
  source += line_end;
  for (const char* step :
       {"src  macro OUTER (0) => macro", "body macro MID (1) => macro",
        "body macro INNER (2) => macro", "body NOP -> passed", "body end macro (2) -> passed",
        "body SLEEP -> passed", "body end macro (1) -> passed", "body CLRWDT -> passed",
        "body end macro (0) -> passed", "src  RET -> passed", "src  end -> passed"}) {
    steps.emplace_back(step);
  }
  EXPECT_EQ(expand_source(source), steps);
}

// END MACRO closes the level it ends at any depth, in any letter case, in the
// first column or indented by blanks and tabs, with a remark or without.
TEST(MacroExpander, EndMacroClosesItsLevelInEveryForm) {
  const Closing plain{"END MACRO", "END MACRO"};
  const Closing forms[] = {
      {"END MACRO", "END MACRO"},
      {"end macro", "end macro"},
      {"End Macro", "End Macro"},
      {"eNd mAcRo", "eNd mAcRo"},
      {"END MACRO ; closes", "END MACRO"},
      {"end macro;x", "end macro"},
      {" end macro", "end macro"},
      {"\tend macro", "end macro"},
      {"    End Macro", "End Macro"},
      {" \t eND MACRO", "eND MACRO"},
      {"  end  macro", "end macro"},
      {"\tEND\tMACRO\t; done", "END MACRO"},
      {"        end macro ; closes MID", "end macro"},
  };
  for (const std::string_view line_end : {"\n", "\r\n"}) {
    for (const Closing& form : forms) {
      for (std::size_t level = 0; level < 3; ++level) {
        std::array<Closing, 3> closings{plain, plain, plain};
        closings[level] = form;
        SCOPED_TRACE("\"" + std::string(form.line) + "\" closing level " + std::to_string(level) +
                     (line_end.size() == 2 ? " (CR LF)" : " (LF)"));
        nested_expansion(closings, line_end);
      }
    }
  }
  // Every level closed in small letters, indented.
  const Closing small{"\tend macro", "end macro"};
  nested_expansion({small, small, small}, "\r\n");
}

// An indented line that merely begins with END MACRO is a body line at any
// depth: the level goes on to its real end.
TEST(MacroExpander, IndentedLongerWordsDoNotCloseALevel) {
  for (const std::string_view almost : {"END MACROX", "end macros", "End MacroS1"}) {
    for (const std::string_view indent : {" ", "\t", "    "}) {
      const std::string source = "MACRO IN\n NOP\n" + std::string(indent) + std::string(almost) +
                                 "\n SLEEP\nEND MACRO\nMACRO OUT\n IN\nend macro\n OUT\n";
      const std::vector<std::string> steps = expand_source(source);
      const std::vector<std::string> expansion(steps.end() - 8, steps.end());
      EXPECT_EQ(expansion, (std::vector<std::string>{
                               "src  macro OUT (0) => macro", "body macro IN (1) => macro",
                               "body NOP -> passed", "body " + std::string(almost) + " -> passed",
                               "body SLEEP -> passed", "body end macro (1) -> passed",
                               "body end macro (0) -> passed", "src  end -> passed"}))
          << '"' << indent << almost << '"';
    }
  }
}

}  // namespace
}  // namespace korva
