// The source's lines as pass 2 reads them, read two lines ahead. Each line
// is hashed once it is read, and where a repeated line is kept is asked for
// while the lines before it are handled: the table of repeated lines is
// larger than what stays in the cache between two of its lines, and finding
// a line otherwise waits for memory twice, for its slot and then for the
// line kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/repeated_lines.h"
#include "source/source_reader.h"

namespace korva {

class LinesAhead {
 public:
  // The text must outlive the reads. Without `repeated`, nothing is hashed.
  LinesAhead(std::string_view text, const RepeatedLines* repeated);

  // As SourceReader::read_line, the lines and positions the same.
  std::size_t read_line(std::string& destination);
  // The start of the line that read_line() hands out next.
  std::size_t position() const { return ahead_[next_].start; }
  // The hash of the line last handed out (0 without a table of lines).
  std::uint64_t last_hash() const { return last_hash_; }

 private:
  struct Ahead {
    std::string line;
    std::size_t start = 0;
    std::size_t end = 0;
    std::uint64_t hash = 0;
  };
  void read_ahead(Ahead& ahead);

  SourceReader reader_;
  const RepeatedLines* repeated_;
  std::array<Ahead, 2> ahead_;
  std::size_t next_ = 0;
  std::uint64_t last_hash_ = 0;
};

}  // namespace korva
