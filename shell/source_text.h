// A source file as the editor pane holds it: its lines as read, so that
// saving writes every line that was not changed as the very bytes it was
// read from (CP932, half-width katakana and bytes of no code page alike),
// and only changed lines are encoded anew.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

struct SourceText {
  std::vector<std::string> lines;  // each line's bytes without its end
  std::vector<std::string> ends;   // "\r\n" or "\n"; empty after the last line
};

// Cut at each LF (a CR in front of it belongs to the end). A text ending
// in a line end gives an empty last line, as an editor shows it.
SourceText split_source(std::string_view bytes);

// The lines as the editor shows them (decoded from CP932).
QStringList shown_lines(const SourceText& text);

// A character of an edited line that CP932 cannot hold (an emoji, "é").
struct UnwritableCharacter {
  qsizetype line = 0;  // from 0
  QString character;
};

struct SavedBytes {
  std::string bytes;
  // The first character the bytes hold as "?" in its place: a save must
  // refuse such bytes rather than write them.
  std::optional<UnwritableCharacter> unwritable;
};

// The bytes of the edited lines: a line that reads as one of the original
// lines (each taken once, in order) is written as that line's bytes with
// its end; any other line is encoded to CP932 and ends as most lines of
// the file did (CR LF for a new file). The last line gets no end.
SavedBytes saved_bytes(const SourceText& original, const QStringList& edited);

}  // namespace korva
