// Maps a position in the joined source text back to the project file and the
// line it came from, for diagnostics that editors can jump to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

struct SourceLocation {
  std::string file;            // the project entry, as the project list holds it
  std::size_t line = 0;        // counted from 1
  std::size_t file_index = 0;  // the entry's position in the project list
};

class SourceMap {
 public:
  SourceMap(std::string_view text, const std::vector<std::string>& entries,
            const std::vector<std::size_t>& file_starts);

  // The file and line of the character at `offset`.
  SourceLocation locate(std::size_t offset) const;

  // The same without the file's name, for the many places that keep only
  // the entry's number (the words of the program facts).
  struct Line {
    std::size_t file_index = 0;
    std::size_t line = 0;
  };
  Line line_of(std::size_t offset) const;

 private:
  const std::vector<std::string>& entries_;
  const std::vector<std::size_t>& file_starts_;
  std::vector<std::uint32_t> line_feeds_;  // positions of every LF, in order
};

}  // namespace korva
