// One line layout for every reader of a line: the spans of label, statement
// and remark, the collapsed statement with its columns, and the record the
// assembler fills from the same layout.
#include "source/line_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "source/statement_splitter.h"
#include "support/line_record.h"

namespace korva {
namespace {

constexpr std::size_t npos = LineLayout::npos;

TEST(LineLayout, FindsLabelStatementAndRemark) {
  struct Case {
    const char* line;
    std::size_t label_end;
    bool before_equ;
    std::size_t statement_begin;
    std::size_t statement_end;
    std::size_t remark_begin;
  };
  const Case cases[] = {
      {"START:: 0>W ; set", 7, false, 7, 12, 12},
      {"LOOP: W-1>W", 5, false, 5, 11, npos},
      {"    X: NOP", 6, false, 6, 10, npos},  // an indented label is a label
      {"A:NOP", 2, false, 2, 5, npos},
      {"TICKS EQU 5", 5, true, 6, 11, npos},
      {"TICKS\tequ 5 ;n", 5, true, 6, 12, 12},
      {"EQU 5", npos, false, 0, 5, npos},  // no name before EQU
      {"        NOP", npos, false, 0, 11, npos},
      {"; only a remark", npos, false, 0, 0, 0},
      {"  'a;b'>W", npos, false, 0, 4, 4},  // quotes do not hide a ";"
      {"X ;a:b", npos, false, 0, 2, 2},     // a ":" in the remark is no label
      {"A:::NOP", 3, false, 3, 7, npos},    // two colons at most
      {"", npos, false, 0, 0, npos},
  };
  for (const Case& c : cases) {
    const LineLayout layout = layout_line(c.line);
    EXPECT_EQ(layout.label_end, c.label_end) << c.line;
    EXPECT_EQ(layout.label_before_equ, c.before_equ) << c.line;
    EXPECT_EQ(layout.statement_begin, c.statement_begin) << c.line;
    EXPECT_EQ(layout.statement_end, c.statement_end) << c.line;
    EXPECT_EQ(layout.remark_begin, c.remark_begin) << c.line;
  }
}

TEST(LineLayout, CollapsedStatementIsTheRecordsAndKnowsItsColumns) {
  struct Case {
    const char* line;
    const char* statement;
    const char* label;  // as the record stores it
  };
  const Case cases[] = {
      {"START::   0>W   ; set", "0>W", "START::"},
      {"  W  +  @ > @ ", "W + @ > @", ""},
      {"TICKS EQU 5", "EQU 5", "TICKS::"},
      {"\x8A\xBF:  (UNDEF1)+1", "(UNDEF1)+1", "\x8A\xBF:"},
      {"   ", "", ""},
  };
  for (const Case& c : cases) {
    const std::string line = c.line;
    const CollapsedStatement statement = collapse_statement(line, layout_line(line));
    EXPECT_EQ(statement.text, c.statement) << c.line;
    ASSERT_EQ(statement.columns.size(), statement.text.size()) << c.line;
    for (std::size_t i = 0; i < statement.text.size(); ++i) {
      // A byte of the text is the line's byte at its column (a collapsed
      // blank: the first of its run).
      EXPECT_EQ(line[statement.columns[i]], statement.text[i]) << c.line << " at " << i;
      if (i > 0) {
        EXPECT_GT(statement.columns[i], statement.columns[i - 1]) << c.line;
      }
    }
    std::string split = line;
    LineRecord record;
    split_statement(split, record);
    EXPECT_EQ(split, statement.text) << c.line;
    EXPECT_EQ(std::string(record.label.view()), c.label) << c.line;
  }
}

TEST(LineLayout, SpansOfTheTextMapBackToTheLine) {
  const std::string line = "L:  W +   @>@ ;x";
  const CollapsedStatement statement = collapse_statement(line, layout_line(line));
  ASSERT_EQ(statement.text, "W + @>@");
  EXPECT_EQ(statement.line_begin(2), 6u);    // "+"
  EXPECT_EQ(statement.line_end(4, 3), 13u);  // "@>@" ends before the blank
  EXPECT_EQ(statement.line_begin(3), 7u);    // the blank after "+": the first of its run
}

}  // namespace
}  // namespace korva
