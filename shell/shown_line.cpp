#include "shell/shown_line.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

#include "support/column_map.h"
#include "system/text_encoding.h"

namespace korva {

namespace {

// Japanese fonts whose half-width characters all have one width and whose
// full-width ones two (the font list calls some of them "dual" rather than
// fixed), first the ones a Japanese desktop is known to carry. One stands
// second to the system's fixed font: the first keeps the line height (a
// wavy underline fits below the text), the second draws every Japanese
// character.
constexpr const char* kJapaneseFixedFamilies[] = {
    "MS Gothic", "IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic", "TakaoGothic", "Osaka-Mono",
};

}  // namespace

QFont code_font() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
  for (const char* family : kJapaneseFixedFamilies) {
    if (japanese.contains(QLatin1String(family), Qt::CaseInsensitive)) {
      font.setFamilies({font.family(), QLatin1String(family)});
      return font;
    }
  }
  for (const QString& family : japanese) {
    if (QFontDatabase::isFixedPitch(family)) {
      font.setFamilies({font.family(), family});
      return font;
    }
  }
  return font;
}

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
