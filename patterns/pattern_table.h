// The pattern table: the one definition of the statement notation. Each entry
// names what a statement of its form is (its type, the instruction words it
// is built from, a four-character mnemonic) and the form itself, a pattern
// text in which "@" marks an operand place. The matcher takes the first
// entry that fits, so the order is part of the language.
//
// A matched statement's record carries the entry by its place in the table;
// the .obj file holds the entry's 9-character pattern key (type letter, four
// opcode digits, mnemonic), which is derived from the entry by
// pattern_key_of; pattern_of_key leads back from a stored key to the entry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "patterns/instruction_set.h"
#include "support/line_record.h"

namespace korva {

// What an entry makes of a statement; `none` where no entry fitted.
enum class PatternType : unsigned char {
  none,
  raw_words,    // \@: program words written in hexadecimal
  register_op,  // register and literal operations
  bit_op,       // bit operations
  branch,       // the jump
  inherent,     // instructions without operands
  origin,       // ORG
  constant,     // EQU and =
  ram_start,    // RAM=
  reservation,  // [n]
  data_byte,    // DE
  subroutine,   // SUB
  macro_end,    // the end line of a macro expansion
};

inline constexpr std::size_t kPatternKeySize = 9;

// A stored pattern key: type letter, four opcode digits, mnemonic.
struct PatternKey {
  std::array<char, kPatternKeySize> characters{};
  constexpr std::string_view view() const { return {characters.data(), characters.size()}; }
};

struct PatternEntry {
  PatternType type = PatternType::none;
  // The instruction word the operands complete: for register operations the
  // register form's base (none where only a literal form exists), for bit
  // operations and the jump their base, for instructions without operands
  // the whole word.
  std::optional<std::uint16_t> word;
  // The base of a register operation's literal form, where it has one.
  std::optional<std::uint16_t> literal_word;
  std::string_view mnemonic;  // four characters
  std::string_view text;      // the pattern text

  // Derived when the table is built: the stored key, and the text cut into its
  // literal pieces and operand places.
  PatternKey key;
  bool leading = false;   // an operand place before the first piece
  bool middle = false;    // an operand place after the first piece
  bool trailing = false;  // an operand place after the second piece
  std::string_view first_piece;
  std::string_view second_piece;
};

// The letter that stands for a type in a stored key.
constexpr char type_letter(PatternType type) {
  switch (type) {
    case PatternType::raw_words:
      return '\\';
    case PatternType::register_op:
      return 'N';
    case PatternType::bit_op:
      return 'b';
    case PatternType::branch:
      return 'B';
    case PatternType::inherent:
      return 'I';
    case PatternType::origin:
      return 'O';
    case PatternType::constant:
      return 'E';
    case PatternType::ram_start:
      return 'r';
    case PatternType::reservation:
      return 'M';
    case PatternType::data_byte:
      return 'D';
    case PatternType::subroutine:
      return 'S';
    case PatternType::macro_end:
      return 'R';
    case PatternType::none:
      break;
  }
  return '?';
}

// The four opcode digits of a key, as one number: an instruction without
// operands keeps its whole word; any other entry the high byte of its word
// (FF when a register operation has only a literal form) followed by the
// high byte of its literal form's word (00 without one).
constexpr std::uint16_t key_digits(const PatternEntry& entry) {
  if (entry.type == PatternType::inherent) return entry.word.value_or(0);
  const unsigned high = entry.word ? *entry.word >> 8 : entry.literal_word ? 0xFFu : 0u;
  const unsigned low = entry.literal_word ? *entry.literal_word >> 8 : 0u;
  return static_cast<std::uint16_t>(high << 8 | low);
}

// The key an entry is stored under.
constexpr PatternKey pattern_key_of(const PatternEntry& entry) {
  PatternKey key;
  key.characters[0] = type_letter(entry.type);
  const std::uint16_t digits = key_digits(entry);
  for (std::size_t i = 0; i < 4; ++i) {
    key.characters[4 - i] = "0123456789ABCDEF"[(digits >> (4 * i)) & 0xF];
  }
  for (std::size_t i = 0; i < 4; ++i) {
    key.characters[5 + i] = i < entry.mnemonic.size() ? entry.mnemonic[i] : ' ';
  }
  return key;
}

// Fills in what an entry's declared fields give: its key, and its text cut
// into pieces and operand places.
constexpr PatternEntry completed(PatternEntry entry) {
  entry.key = pattern_key_of(entry);
  std::string_view pattern = entry.text;
  entry.leading = !pattern.empty() && pattern.front() == '@';
  if (entry.leading) pattern.remove_prefix(1);
  const std::size_t place = pattern.find('@');
  entry.middle = place != std::string_view::npos;
  if (!entry.middle) {
    entry.first_piece = pattern;
    return entry;
  }
  entry.first_piece = pattern.substr(0, place);
  std::string_view rest = pattern.substr(place + 1);
  entry.trailing = !rest.empty() && rest.back() == '@';
  if (entry.trailing) rest.remove_suffix(1);
  entry.second_piece = rest;
  return entry;
}

namespace pattern_forms {

constexpr PatternEntry entry(PatternType type, std::optional<std::uint16_t> word,
                             std::optional<std::uint16_t> literal_word, std::string_view mnemonic,
                             std::string_view text) {
  PatternEntry made;
  made.type = type;
  made.word = word;
  made.literal_word = literal_word;
  made.mnemonic = mnemonic;
  made.text = text;
  return completed(made);
}
// A register operation, with the base words of its register and literal forms.
constexpr PatternEntry register_operation(std::optional<std::uint16_t> word,
                                          std::optional<std::uint16_t> literal_word,
                                          std::string_view mnemonic, std::string_view text) {
  return entry(PatternType::register_op, word, literal_word, mnemonic, text);
}
// A bit operation, the jump or an instruction without operands, with its word.
constexpr PatternEntry instruction(PatternType type, std::uint16_t word, std::string_view mnemonic,
                                   std::string_view text) {
  return entry(type, word, std::nullopt, mnemonic, text);
}
constexpr PatternEntry directive(PatternType type, std::string_view mnemonic,
                                 std::string_view text) {
  return entry(type, std::nullopt, std::nullopt, mnemonic, text);
}

}  // namespace pattern_forms

inline constexpr std::size_t kPatternCount = 45;

// The 45 entries in table order.
inline constexpr std::array<PatternEntry, kPatternCount> kPatterns = [] {
  using enum PatternType;
  using pattern_forms::directive;
  using pattern_forms::instruction;
  constexpr auto operation = pattern_forms::register_operation;
  constexpr std::nullopt_t no = std::nullopt;
  constexpr auto op = [](std::string_view mnemonic) consteval {
    return opcode_of(mnemonic);
  };
  // MOVWF and CLRF are the d = 1 halves of their opcodes; a register
  // operation's entry keeps the d = 0 base, which its destination completes.
  constexpr auto d0 = [](std::string_view mnemonic) consteval {
    return static_cast<std::uint16_t>(opcode_of(mnemonic) & ~kDestinationBit);
  };
  return std::array<PatternEntry, kPatternCount>{
      directive(raw_words, "    ", "\\@"),
      operation(op("INCFSZ"), no, "INC ", "@+1>@(Z)->"),
      operation(op("INCF"), no, "INC ", "@+1>@"),
      operation(op("DECFSZ"), no, "INC ", "@-1>@(Z)->"),
      operation(op("DECF"), no, "INC ", "@-1>@"),
      operation(op("INCFSZ"), no, "INC ", "@+1(Z)->"),
      operation(op("INCF"), no, "INC ", "@+1"),
      operation(op("DECFSZ"), no, "INC ", "@-1(Z)->"),
      operation(op("DECF"), no, "INC ", "@-1"),
      operation(op("ADDWF"), op("ADDLW"), "ADD ", "W+@>@"),
      operation(op("ANDWF"), op("ANDLW"), "AND ", "W^@>@"),
      operation(op("IORWF"), op("IORLW"), "OR  ", "WV@>@"),
      operation(op("XORWF"), op("XORLW"), "XOR ", "W\\@>@"),
      operation(op("SUBWF"), op("SUBLW"), "SUB ", "@-W>@"),
      operation(no, op("RETLW"), "RETK", "RET @>@"),
      operation(op("RLF"), no, "RLF ", "<<@<<->@"),
      operation(op("RLF"), no, "RLF ", "<<@<<"),
      operation(op("RRF"), no, "RRF ", ">>@>>->@"),
      operation(op("RRF"), no, "RRF ", ">>@>>"),
      operation(op("COMF"), no, "COM ", "/@>@"),
      instruction(inherent, op("CLRW"), "CLR ", "00>W"),
      operation(d0("CLRF"), no, "CLR ", "00>@"),
      instruction(bit_op, op("BCF"), "BCF ", "@_BIT@<0"),
      instruction(bit_op, op("BSF"), "BSF ", "@_BIT@<1"),
      instruction(bit_op, op("BTFSC"), "BTF ", "@_BIT@=0->"),
      instruction(bit_op, op("BTFSS"), "BTF ", "@_BIT@=1->"),
      instruction(inherent, op("RETURN"), "RET ", "RET"),
      instruction(inherent, op("RETFIE"), "RETI", "RETI"),
      instruction(inherent, op("SLEEP"), "SLEP", "SLEEP"),
      instruction(inherent, op("CLRWDT"), "CWDT", "CLRWDT"),
      instruction(inherent, op("NOP"), "NOP ", "NOP"),
      instruction(branch, op("GOTO"), "JP  ", "===->@"),
      directive(constant, "EQU ", "EQU@"),
      directive(data_byte, "DE  ", "DE @"),
      operation(d0("MOVWF"), no, "MOV ", "W>@"),
      directive(origin, "ORG ", "ORG@"),
      operation(op("SWAPF"), no, "SWP ", "SWAP@>@"),
      operation(op("SWAPF"), no, "SWP ", "SWAP@"),
      directive(reservation, "MEM ", "[@]"),
      directive(ram_start, "RAM ", "RAM=@"),
      directive(subroutine, "    ", "SUB @"),
      operation(op("MOVF"), op("MOVLW"), "MOV ", "@>@"),
      directive(constant, "    ", "=@"),
      directive(macro_end, "    ", "END MACRO@"),
      instruction(inherent, op("RETURN"), "RET ", "END SUB"),
  };
}();
static_assert(kPatterns[31].first_piece == "===->" && kPatterns[44].first_piece == "END SUB");
static_assert(kPatterns[14].key.view() == "NFF34RETK" && kPatterns[29].key.view() == "I0064CWDT");

inline std::span<const PatternEntry> pattern_entries() {
  return kPatterns;
}

// An entry's place in the table, as a record holds it.
inline std::uint8_t pattern_number(const PatternEntry& entry) {
  return static_cast<std::uint8_t>(&entry - kPatterns.data());
}

// The entry a record's statement fitted, or none.
inline const PatternEntry* pattern_of(const LineRecord& record) {
  return record.pattern ? &kPatterns[*record.pattern] : nullptr;
}

inline PatternType pattern_type_of(const LineRecord& record) {
  return record.pattern ? kPatterns[*record.pattern].type : PatternType::none;
}

// The entry a stored key stands for: the first entry with that key (entries
// that share a key differ in their text only), or none for an empty or
// unknown key.
const PatternEntry* pattern_of_key(std::string_view key);

}  // namespace korva
