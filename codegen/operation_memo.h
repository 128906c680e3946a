// Register, literal and bit operations as pass 3 encoded them. Within one
// pass 3 the outcome depends on the pattern key and the two operands alone
// (the symbols have their final values), and programs repeat their
// operations: a program of 200 000 lines holds about ten thousand distinct
// ones. Each is kept once, its texts packed one after another, and found
// through a table of hashes large enough for all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/operand_encoding.h"
#include "support/line_record.h"

namespace korva {

class OperationMemo {
 public:
  // Forgets every operation: a new pass 3, or the symbols changed.
  void forget();

  // The hash by which an operation is looked up: its kind and its key texts.
  static std::uint64_t hash_of(const LineRecord& record, bool bit);

  // Gives the record the outcome remembered for its key (the record's
  // pattern key and operands), with operand 1's value; false if the
  // operation is not remembered.
  bool recall(std::uint64_t hash, bool bit, LineRecord& record,
              std::optional<OperandValue>& value1) const;

  // Notes the record's key before it is encoded, for remember().
  void note_key(bool bit, const LineRecord& record);
  // Keeps the outcome the record was encoded to under the key noted last.
  void remember(std::uint64_t hash, const LineRecord& record,
                const std::optional<OperandValue>& value1);

  // Bytes the packed operations may take before all are forgotten (a
  // program of that many distinct operations is rare; a later one is
  // encoded again).
  static constexpr std::size_t kMostBytes = std::size_t{64} << 10;

 private:
  // 4 096 slots of 16 bytes: pass 3 encodes a repeated record once (its
  // repeats are listed without it), so what is looked up here is mostly a
  // record met for the first time.
  static constexpr unsigned kSlotBits = 12;
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t at = 0;  // where the operation is packed
    std::uint32_t generation = 0;
  };
  const Slot* slot_of(std::uint64_t hash) const { return &slots_[hash >> (64 - kSlotBits)]; }

  std::vector<Slot> slots_;
  // Each operation: its key (kind, then the pattern key and the operands,
  // each after its length) and its outcome (the evaluated operands, code,
  // error and kind, each after its length, then operand 1's value).
  std::string packed_;
  std::size_t key_at_ = 0;
  std::size_t kept_end_ = 0;  // behind the last operation kept
  std::uint32_t generation_ = 1;
};

}  // namespace korva
