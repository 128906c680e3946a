// The line record: one statement on its way through the three passes, and the
// 342-byte layout in which it is stored in the intermediate (.obj) file.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "support/field_text.h"

namespace korva {

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

// A field holds as many characters in memory as its stored form has bytes;
// storing it keeps one byte fewer, for the zero that ends the text. (Only
// the messages of pass 1 use the last byte: they are up to 30 bytes long and
// stop the assembly before anything is stored.)
struct LineRecord {
  // operation part: label and remark removed, blanks collapsed
  FieldText<kStatementFieldSize> statement;
  FieldText<kLabelFieldSize> label;    // with its one or two colons
  FieldText<kRemarkFieldSize> remark;  // from its ";" to the end of the line
  FieldText<kErrorFieldSize> error;    // empty, or the error message
  // type letter, four opcode digits, four-character mnemonic
  FieldText<kPatternKeyFieldSize> pattern_key;
  FieldText<kCodeFieldSize> code;  // program words as hexadecimal text, four digits a word
  FieldText<kOperandFieldSize> operand1;
  FieldText<kOperandFieldSize> operand2;
  FieldText<kOperandFieldSize> operand3;
  FieldText<kKindFieldSize> kind;        // kind tag: "normal", "bit", "branch", "rem", ...
  FieldText<kAddressFieldSize> address;  // program-word address as hexadecimal text
};

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
template <typename Text>
void cut_to(Text& text, std::size_t capacity) {
  if (text.size() > capacity) text.resize(capacity);
}

template <typename Text>
void assign_cut(Text& field, std::string_view text, std::size_t capacity) {
  field.assign(text.substr(0, capacity));
}

}  // namespace korva
