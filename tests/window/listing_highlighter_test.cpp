// The listing view's statement column in the notation's styles: which
// characters of a listing line get which style, and that only the lines in
// view are styled, when they are painted.
#include "shell/listing_highlighter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QTextBlock>
#include <utility>
#include <vector>

namespace korva {
namespace {

using syntax::Style;

// The styled stretches of a line: their text and style.
std::vector<std::pair<QString, Style>> styled(const QString& line,
                                              CoreFamily core = CoreFamily::classic) {
  std::vector<std::pair<QString, Style>> found;
  for (const syntax::StyledSpan& span : ListingHighlighter::line_styles(line, core)) {
    found.emplace_back(
        line.mid(static_cast<qsizetype>(span.start), static_cast<qsizetype>(span.length)),
        span.style);
  }
  return found;
}

struct LineCase {
  QString line;
  std::vector<std::pair<QString, Style>> expected;
};

// An enhanced chip's listing is read by the enhanced table: W>FSR0++ is
// MOVWI, whose FSR0 is no register in parentheses and whose ++ a sign.
TEST(ListingHighlighter, AnEnhancedChipsListingByItsTable) {
  const QString line = QStringLiteral("0000\t001A\t\tW>FSR0++\t\t");
  const auto enhanced = styled(line, CoreFamily::enhanced);
  EXPECT_NE(enhanced, styled(line));
  ASSERT_FALSE(enhanced.empty());
  EXPECT_EQ(enhanced.back(), (std::pair<QString, Style>{QStringLiteral("++"), Style::operation}));
}

TEST(ListingHighlighter, StylesTheStatementColumnOnly) {
  const LineCase cases[] = {
      {"0000\t3E05\t\tW+5>W\t; = 3E05 W+5>W\t",
       {{"W", Style::working_register},
        {"+", Style::operation},
        {"5", Style::decimal},
        {">", Style::operation},
        {"W", Style::working_register}}},
      {"0001\t2800\tLOOP::\t===->LOOP\t\t", {{"===->", Style::jump}, {"LOOP", Style::symbol}}},
      {"0020\t\tCOUNT::\tEQU 20h\t\t", {{"EQU", Style::directive}, {"20h", Style::hexadecimal}}},
      {"0000\t11A0\t\t(COUNT)_BIT3<0\t\t",
       {{"(COUNT)", Style::file_register},
        {"_BIT", Style::bit},
        {"3", Style::decimal},
        {"<0", Style::operation}}},
      {"0004\t0F20\t\t(COUNT)+1>F(Z)->\t\t",
       {{"(COUNT)", Style::file_register},
        {"+1>", Style::operation},
        {"F", Style::destination},
        {"(Z)->", Style::skip}}},
      {"\t\t\tSUB TWICE\t\t", {{"SUB", Style::directive}, {"TWICE", Style::defined_name}}},
      {"0002\t2003\t\tCLEAR\t\t", {{"CLEAR", Style::call}}},
      {"0000\t3FFF\t\t\\3FFF\t\t", {{"\\", Style::raw_words}, {"3FFF", Style::raw_words}}},
      {"\t\t\tRET 5\t\t文法エラー", {{"RET 5", Style::error}}},
      // A character outside ASCII keeps the positions of those after it.
      {"0003\t\t\tＡＢ>W\t; ｘ\t",
       {{"ＡＢ", Style::symbol}, {">", Style::operation}, {"W", Style::working_register}}},
      {"; A counter", {}},
      {"\t\tLABEL:\t\t\t", {}},
      {"0000\t0000\t\tNOP", {{"NOP", Style::instruction}}},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(styled(c.line), c.expected) << c.line.toStdString();
    const QList<QTextLayout::FormatRange> formats = ListingHighlighter::line_formats(c.line);
    ASSERT_EQ(formats.size(), static_cast<qsizetype>(c.expected.size()));
    for (qsizetype i = 0; i < formats.size(); ++i) {
      EXPECT_EQ(formats[i].format,
                ListingHighlighter::format_of(c.expected[static_cast<std::size_t>(i)].second));
    }
  }
}

// Lines that are never seen are never styled; scrolling styles the lines
// that come into view.
TEST(ListingHighlighter, StylesTheLinesInViewWhenTheyArePainted) {
  QPlainTextEdit view;
  view.setLineWrapMode(QPlainTextEdit::NoWrap);
  view.resize(400, 200);
  QStringList lines;
  for (int i = 0; i < 3000; ++i) lines << QStringLiteral("0000\t3E05\t\tW+5>W\t\t");
  view.setPlainText(lines.join(u'\n'));
  new ListingHighlighter(&view);
  view.show();
  // Paints what is due, as the event loop does.
  const auto paint = [&view] {
    view.viewport()->update();
    QApplication::processEvents();
  };
  paint();

  const auto formatted = [&view](int line) {
    return !view.document()->findBlockByNumber(line).layout()->formats().isEmpty();
  };
  EXPECT_TRUE(formatted(0));
  EXPECT_FALSE(formatted(1500));
  EXPECT_FALSE(formatted(2999));

  view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
  paint();
  EXPECT_TRUE(formatted(2999));
  EXPECT_FALSE(formatted(1500));

  // A new listing starts unstyled and is styled as it is painted.
  view.setPlainText(lines.join(u'\n'));
  EXPECT_FALSE(formatted(0));
  paint();
  EXPECT_TRUE(formatted(0));
}

}  // namespace
}  // namespace korva

int main(int argc, char** argv) {
  // Listing the tests happens without the test's environment, and needs no
  // display either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
