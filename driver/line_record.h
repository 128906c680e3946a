// The line record: one statement on its way through the three passes, and the
// 342-byte layout in which it is stored in the intermediate (.obj) file.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace korva {

struct LineRecord {
  std::string statement;    // operation part: label and remark removed, blanks collapsed
  std::string label;        // with its one or two colons
  std::string remark;       // from its ";" to the end of the line
  std::string error;        // empty, or the error message
  std::string pattern_key;  // type letter, four opcode digits, four-character mnemonic
  std::string code;         // program words as hexadecimal text, four digits a word
  std::string operand1;
  std::string operand2;
  std::string operand3;
  std::string kind;     // kind tag: "normal", "bit", "branch", "rem", ...
  std::string address;  // program-word address as hexadecimal text
};

// Field sizes of the stored record, in storage order. Each stored text ends
// with a zero byte inside its field, so a field holds size - 1 characters.
inline constexpr std::size_t kStatementFieldSize = 50;
inline constexpr std::size_t kLabelFieldSize = 20;
inline constexpr std::size_t kRemarkFieldSize = 50;
inline constexpr std::size_t kErrorFieldSize = 30;
inline constexpr std::size_t kPatternKeyFieldSize = 12;
inline constexpr std::size_t kCodeFieldSize = 10;
inline constexpr std::size_t kOperandFieldSize = 50;
inline constexpr std::size_t kKindFieldSize = 10;
inline constexpr std::size_t kAddressFieldSize = 10;
inline constexpr std::size_t kRecordSize = 342;

// How many characters the splitter keeps of each text it stores.
inline constexpr std::size_t kStatementCapacity = 48;
inline constexpr std::size_t kLabelCapacity = 18;
inline constexpr std::size_t kRemarkCapacity = 48;

using RecordBytes = std::array<char, kRecordSize>;
// One stored record, inside a RecordBytes or a block of records.
using RecordSlot = std::span<char, kRecordSize>;
using RecordView = std::span<const char, kRecordSize>;

// Stores the record in its 342-byte layout. Every field is zero-filled behind
// its text; a text longer than its field keeps its first size - 1 bytes.
void encode_record(const LineRecord& record, RecordSlot bytes);

// Reads a record from its 342-byte layout. Each text ends at its first zero
// byte, or at the end of its field.
void decode_record(RecordView bytes, LineRecord& record);

// Whether the record's kind tag is `tag`. Compared as views, which look at
// the lengths first: most tags differ in length, and this runs for every
// record in several places.
inline bool has_kind(const LineRecord& record, std::string_view tag) {
  return std::string_view(record.kind) == tag;
}

// Keeps at most `capacity` characters of `text`.
inline void cut_to(std::string& text, std::size_t capacity) {
  if (text.size() > capacity) text.resize(capacity);
}

inline void assign_cut(std::string& field, std::string_view text, std::size_t capacity) {
  field.assign(text.substr(0, capacity));
}

}  // namespace korva
