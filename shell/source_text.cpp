#include "shell/source_text.h"

#include <QHash>
#include <cstddef>
#include <deque>

#include "system/text_encoding.h"

namespace korva {
namespace {

QString display(std::string_view bytes) {
  return QString::fromStdString(cp932_to_utf8(bytes));
}

std::string usual_end(const SourceText& text) {
  std::size_t lf_only = 0;
  std::size_t cr_lf = 0;
  for (const std::string& end : text.ends) {
    if (end == "\n") ++lf_only;
    if (end == "\r\n") ++cr_lf;
  }
  return lf_only > cr_lf ? "\n" : "\r\n";
}

// The first character of the line that CP932 cannot hold: the encoder
// writes it as "?", which only "?" itself may become.
std::optional<QString> unwritable_character(const QString& line) {
  for (qsizetype at = 0; at < line.size();) {
    const qsizetype size = line[at].isHighSurrogate() && at + 1 < line.size() ? 2 : 1;
    const QString character = line.mid(at, size);
    if (character != QStringLiteral("?") && utf8_to_cp932(character.toStdString()) == "?") {
      return character;
    }
    at += size;
  }
  return std::nullopt;
}

}  // namespace

SourceText split_source(std::string_view bytes) {
  SourceText text;
  for (;;) {
    const std::size_t lf = bytes.find('\n');
    if (lf == std::string_view::npos) {
      text.lines.emplace_back(bytes);
      text.ends.emplace_back();
      return text;
    }
    const bool cr = lf > 0 && bytes[lf - 1] == '\r';
    text.lines.emplace_back(bytes.substr(0, cr ? lf - 1 : lf));
    text.ends.emplace_back(cr ? "\r\n" : "\n");
    bytes.remove_prefix(lf + 1);
  }
}

QStringList shown_lines(const SourceText& text) {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(text.lines.size()));
  for (const std::string& line : text.lines) lines << display(line);
  return lines;
}

SavedBytes saved_bytes(const SourceText& original, const QStringList& edited) {
  QHash<QString, std::deque<std::size_t>> by_text;
  for (std::size_t i = 0; i < original.lines.size(); ++i) {
    by_text[display(original.lines[i])].push_back(i);
  }
  const std::string end_of_new = usual_end(original);
  SavedBytes saved;
  std::string& bytes = saved.bytes;
  for (qsizetype i = 0; i < edited.size(); ++i) {
    const bool last = i + 1 == edited.size();
    std::string end = last ? std::string() : end_of_new;
    auto found = by_text.find(edited[i]);
    if (found != by_text.end() && !found->empty()) {
      const std::size_t index = found->front();
      found->pop_front();
      bytes += original.lines[index];
      if (!last && !original.ends[index].empty()) end = original.ends[index];
    } else {
      const std::string encoded = utf8_to_cp932(edited[i].toStdString());
      if (!saved.unwritable && encoded.find('?') != std::string::npos) {
        if (std::optional<QString> character = unwritable_character(edited[i])) {
          saved.unwritable = UnwritableCharacter{i, *character};
        }
      }
      bytes += encoded;
    }
    bytes += end;
  }
  return saved;
}

}  // namespace korva
