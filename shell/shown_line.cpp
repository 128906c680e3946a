#include "shell/shown_line.h"

#include <algorithm>

#include "support/column_map.h"
#include "system/text_encoding.h"

namespace korva {

ShownLine::ShownLine(const QString& text) : utf8(text.toStdString()), cp932(utf8_to_cp932(utf8)) {}

int ShownLine::position(std::size_t byte_column) const {
  return static_cast<int>(utf16_column(cp932, utf8, byte_column));
}

std::size_t ShownLine::column(int position) const {
  return byte_column(cp932, utf8, static_cast<std::size_t>(std::max(position, 0)));
}

std::vector<syntax::StyledSpan> ShownLine::shown_spans(const std::vector<syntax::StyledSpan>& spans,
                                                       std::size_t offset) const {
  std::vector<syntax::StyledSpan> shown;
  for (const syntax::StyledSpan& span : spans) {
    const int start = position(span.start);
    const int end = position(span.start + span.length);
    if (end <= start) continue;
    shown.push_back({offset + static_cast<std::size_t>(start),
                     static_cast<std::size_t>(end - start), span.style});
  }
  return shown;
}

}  // namespace korva
