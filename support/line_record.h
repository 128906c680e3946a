// The line record: one statement on its way through the three passes, and the
// 342-byte layout in which it is stored in the intermediate (.obj) file.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
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
  // The pattern table's entry that the statement fitted, by its place in
  // the table; none where no entry fitted. The stored record holds the
  // entry's key (type letter, four opcode digits, mnemonic) in its place.
  std::optional<std::uint8_t> pattern;
  FieldText<kCodeFieldSize> code;  // program words as hexadecimal text, four digits a word
  FieldText<kOperandFieldSize> operand1;
  FieldText<kOperandFieldSize> operand2;
  FieldText<kOperandFieldSize> operand3;
  FieldText<kKindFieldSize> kind;        // kind tag: the text of a RecordKind (below)
  FieldText<kAddressFieldSize> address;  // program-word address as hexadecimal text
};

// How many characters the splitter keeps of each text it stores.
inline constexpr std::size_t kStatementCapacity = 48;
inline constexpr std::size_t kLabelCapacity = 18;
inline constexpr std::size_t kRemarkCapacity = 48;

// The kind tags that pass 2 gives a record and pass 3 acts on. In the record
// and the .obj file the tag stays text; the modules set and test it through
// this enum, so that a misspelt tag cannot compile.
enum class RecordKind : unsigned char {
  none,      // not classified (yet)
  rem,       // no code: an empty statement, a macro definition's header, RAM=,
             // the end mark of an expansion
  macro,     // a macro definition's lines, its end and a call
  normal,    // register and literal operations
  bit,       // bit operations
  branch,    // the jump
  inherent,  // instructions without operands
  call_sub,  // a subroutine call
  data,      // DE bytes and \@ words
  error,     // a statement whose code could not be formed
  org,       // ORG
  equ,       // EQU, = and [n]
  sub,       // SUB
};

// Each kind's tag, indexed by the enum, exactly as it is stored.
inline constexpr std::array<std::string_view, 13> kRecordKindTexts = {
    "",         "rem",  "macro", "normal", "bit", "branch", "inherent",
    "call sub", "data", "error", "org",    "equ", "sub"};
static_assert(kRecordKindTexts.size() == static_cast<std::size_t>(RecordKind::sub) + 1,
              "one tag for every kind");

constexpr std::string_view kind_text(RecordKind kind) {
  return kRecordKindTexts[static_cast<std::size_t>(kind)];
}

// Every tag keeps its last byte for the zero that ends it in the .obj field.
static_assert(std::all_of(kRecordKindTexts.begin(), kRecordKindTexts.end(),
                          [](std::string_view text) { return text.size() < kKindFieldSize; }),
              "every kind tag fits the stored kind field");

inline void set_kind(LineRecord& record, RecordKind kind) {
  record.kind = kind_text(kind);
}

// Whether the record's kind tag is that of `kind`. Compared as views, which
// look at the lengths first: most tags differ in length, and this runs for
// every record in several places.
inline bool has_kind(const LineRecord& record, RecordKind kind) {
  return std::string_view(record.kind) == kind_text(kind);
}

template <typename Text>
void assign_cut(Text& field, std::string_view text, std::size_t capacity) {
  field.assign(text.substr(0, capacity));
}

}  // namespace korva
