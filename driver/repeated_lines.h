// Lines that pass 2 has matched and classified before. Programs repeat their
// lines (a line of a macro's body at every call, the same operation with the
// same remark), and what pass 2 makes of a line without a label, which no
// directive moves the counter or the RAM pointer on and which no warning
// was given for, depends on the line's text alone; a line that fits no
// pattern entry (a call, a remark) leaves the operands of the record as
// they came. Such lines are kept once they come a second time (most lines
// that come once never come again), each with its record's fields as the
// batches of the record store hold them, packed one after another, and
// found again through a table of hashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/line_record.h"

namespace korva {

class RepeatedLines {
 public:
  // Room for a program of about `lines` lines.
  explicit RepeatedLines(std::size_t lines);

  // A line kept: where, the words it takes, the number that the records
  // with its fields share (0 for a line whose record keeps the operands it
  // came in with, as those vary), and whether it ends a subroutine.
  struct Found {
    std::uint32_t at = 0;
    std::uint32_t words = 0;
    std::uint32_t same_as = 0;
    bool keeps_operands = false;
    bool ends_subroutine = false;
  };
  // `line` as read, before it is split, if it is kept; `hash` is
  // hash_bytes(line).
  std::optional<Found> find(std::string_view line) const;
  std::optional<Found> find(std::string_view line, std::uint64_t hash) const;
  // Asks for the slot of the line of hash `hash`, and once that is at hand,
  // for the line kept there, ahead of find().
  void prefetch_slot(std::uint64_t hash) const;
  void prefetch_line(std::uint64_t hash) const;
  // The fields of the record made of the line found at `at`, each after its
  // length byte, in storage order (the operands of a line that keeps them
  // are those of the line's first record).
  std::string_view shared_fields(std::uint32_t at) const;
  // Gives the record those fields but the operands, or the operands alone.
  void restore_fields(std::uint32_t at, LineRecord& record) const;
  void restore_operands(std::uint32_t at, LineRecord& record) const;

  // Notes a line that is not kept, as read, for remember().
  void note(std::string_view line);
  void note(std::string_view line, std::uint64_t hash);
  // Keeps what pass 2 made of the noted line: the record's fields as
  // `shared` holds them (each after its length byte, in storage order, the
  // whole of each text), and the words it takes. `keeps_operands`: the line
  // fits no entry, so that its record kept the operands it came in with, as
  // it will the next time. Returns the number of the record's fields, 0 for
  // none.
  std::uint32_t remember(std::string_view shared, std::uint32_t words, bool keeps_operands,
                         bool ends_subroutine);

 private:
  struct Slot {
    std::uint32_t hash = 0;  // of the line kept
    std::uint32_t at = 0;    // where it is packed, plus one; 0: none
    std::uint32_t generation = 0;
    std::uint32_t seen = 0;  // the hash of the last line met here and not kept
  };
  std::size_t index_of(std::uint64_t hash) const { return hash >> shift_; }
  // Forgets every line kept, when the packed lines have grown too large.
  void forget();

  std::vector<Slot> slots_;
  unsigned shift_ = 0;
  // Each line: the number of its fields in four bytes, a flag byte, the
  // words it takes, the line after its length in two bytes, and the fields
  // after their length in two bytes.
  std::string packed_;
  std::size_t most_bytes_ = 0;  // before all lines are forgotten
  std::uint32_t generation_ = 1;
  std::uint32_t last_number_ = 0;

  std::string noted_line_;
  std::uint64_t noted_hash_ = 0;
};

}  // namespace korva
