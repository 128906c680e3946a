#include "patterns/matcher.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "patterns/pattern_table.h"
#include "source/statement_splitter.h"

namespace korva {
namespace {

using Operands = std::array<std::string_view, 3>;

// The set of ASCII bytes that occur in a text. Pattern pieces are ASCII, so
// an entry whose pieces hold a byte that the statement (in capitals) lacks
// cannot fit, and skipping it leaves the first fit the same.
class ByteSet {
 public:
  explicit ByteSet(std::string_view text) {
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 128) bits_[byte / 64] |= std::uint64_t{1} << (byte % 64);
    }
  }
  ByteSet() = default;

  bool contains(const ByteSet& other) const {
    return (other.bits_[0] & ~bits_[0]) == 0 && (other.bits_[1] & ~bits_[1]) == 0;
  }

 private:
  std::array<std::uint64_t, 2> bits_{};
};

// For each table entry, the bytes that its two pieces need.
const std::array<ByteSet, kPatternCount>& needed_bytes() {
  static const std::array<ByteSet, kPatternCount> needed = [] {
    std::array<ByteSet, kPatternCount> sets;
    const std::span<const PatternEntry> entries = pattern_entries();
    for (std::size_t i = 0; i < kPatternCount; ++i) {
      std::string pieces(entries[i].first_piece);
      pieces += entries[i].second_piece;
      sets[i] = ByteSet(pieces);
    }
    return sets;
  }();
  return needed;
}

// Tries one entry on the statement (`upper` is the same statement in
// capitals). On a fit the operand texts are views into `statement`.
bool fits(const PatternEntry& entry, std::string_view statement, std::string_view upper,
          Operands& operands) {
  const std::size_t first = upper.find(entry.first_piece);
  if (first == std::string_view::npos) return false;
  operands[0] = statement.substr(0, first);
  operands[1] = statement.substr(first + entry.first_piece.size());
  operands[2] = {};
  if (!entry.second_piece.empty()) {
    const std::size_t offset = first + entry.first_piece.size();
    const std::size_t second = upper.substr(offset).find(entry.second_piece);
    if (second == std::string_view::npos) return false;
    operands[2] = operands[1].substr(second + entry.second_piece.size());
    operands[1] = operands[1].substr(0, second);
  }
  return operands[0].empty() != entry.leading && operands[1].empty() != entry.middle &&
         operands[2].empty() != entry.trailing;
}

void pack_left(Operands& operands) {
  if (operands[0].empty()) {
    operands = {operands[1], operands[2], {}};
    if (operands[0].empty()) operands = {operands[1], {}, {}};
  } else if (operands[1].empty()) {
    operands = {operands[0], operands[2], {}};
  }
}

}  // namespace

void match_statement(LineRecord& record) {
  record.error.clear();
  record.pattern_key.clear();
  record.kind.clear();
  if (record.statement.empty()) {
    record.kind = "rem";
    return;
  }
  const std::string upper = upper_cased(record.statement);
  const ByteSet present(upper);
  const std::array<ByteSet, kPatternCount>& needed = needed_bytes();
  const std::span<const PatternEntry> entries = pattern_entries();
  Operands operands;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!present.contains(needed[i])) continue;
    const PatternEntry& entry = entries[i];
    if (!fits(entry, record.statement, upper, operands)) continue;
    record.pattern_key = entry.key;
    pack_left(operands);
    record.operand1 = operands[0];
    record.operand2 = operands[1];
    record.operand3 = operands[2];
    return;
  }
  record.error = "syntax error";
}

}  // namespace korva
