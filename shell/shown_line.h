// A line as the window shows it (UTF-16) beside its CP932 bytes, to put the
// core's byte columns on the characters shown, through the core's one
// column map (support/column_map.h).
#pragma once

#include <QFont>
#include <QString>
#include <cstddef>
#include <string>
#include <vector>

#include "syntax/statement_styles.h"

namespace korva {

struct ShownLine {
  explicit ShownLine(const QString& text);
  // The position in the shown text (from 0) of a byte column (from 0).
  int position(std::size_t byte_column) const;
  // The byte column of the character at a position.
  std::size_t column(int position) const;
  // Styled byte spans of the line as spans of positions, moved on by
  // `offset` positions; spans that cover no character are dropped.
  std::vector<syntax::StyledSpan> shown_spans(const std::vector<syntax::StyledSpan>& spans,
                                              std::size_t offset = 0) const;

  std::string utf8;
  std::string cp932;
};

// The fixed-width font that listings and sources are shown in, with a
// Japanese font named for the characters it lacks: a row with kana drawn
// partly in whatever fallback font comes first would change its height and
// the width of its columns.
QFont code_font();

}  // namespace korva
