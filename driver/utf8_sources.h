// Source files that read as UTF-8 rather than CP932. Each gets one warning,
// attached to the line that holds its first byte beyond ASCII.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

class Utf8SourceNotes {
 public:
  struct Note {
    std::size_t line_start = 0;  // in the joined text
    std::string warning;
  };

  // `file_starts` tells where each of `names` begins in the joined `text`.
  Utf8SourceNotes(std::string_view text, const std::vector<std::string>& names,
                  const std::vector<std::size_t>& file_starts);

  // The notes on the lines up to the one starting at `line_start`, not
  // handed out before, in source order.
  std::span<const Note> reached(std::size_t line_start);
  // The notes never reached: their files lie after the line that ended
  // the passes.
  std::span<const Note> unreached() const { return std::span<const Note>(notes_).subspan(next_); }

 private:
  std::vector<Note> notes_;
  std::size_t next_ = 0;
};

}  // namespace korva
