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
  // The enhanced core's:
  fsr_op,           // ADDFSR, MOVIW and MOVWI: an FSR and an offset or a mode
  select_op,        // MOVLB and MOVLP: a bank or page number into BSR or PCLATH
  relative_branch,  // BRA: a label within reach of the next word
  // Both cores':
  selection,  // the bank of a register or the page of a label, selected by name
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
  // The core whose words the entry writes: the enhanced one for its own
  // forms and its MOVLB and MOVLP selections.
  CoreFamily core = CoreFamily::classic;

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
    case PatternType::fsr_op:
      return 'F';
    case PatternType::select_op:
      return 'L';
    case PatternType::relative_branch:
      return 'J';
    case PatternType::selection:
      return 'K';
    case PatternType::none:
      break;
  }
  return '?';
}

// The four opcode digits of a key, as one number: an instruction without
// operands and the enhanced core's operations keep their whole word (the
// MOVIW modes differ in the low bits); any other entry the high byte of its
// word (FF when a register operation has only a literal form) followed by the
// high byte of its literal form's word (00 without one).
constexpr std::uint16_t key_digits(const PatternEntry& entry) {
  switch (entry.type) {
    case PatternType::inherent:
    case PatternType::fsr_op:
    case PatternType::select_op:
    case PatternType::relative_branch:
    case PatternType::selection:
      return entry.word.value_or(0);
    default:
      break;
  }
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

// The classic table's 45 entries in table order.
inline constexpr std::array<PatternEntry, kPatternCount> kClassicPatterns = [] {
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
// The forms the enhanced core adds, in the order they are tried among
// themselves. Each is written so that no statement the classic forms accept
// fits it: the classic forms keep their meaning on an enhanced chip.
inline constexpr std::size_t kEnhancedFormCount = 25;
// An entry of the enhanced core.
constexpr PatternEntry enhanced_core(PatternEntry entry) {
  entry.core = CoreFamily::enhanced;
  return entry;
}

inline constexpr std::array<PatternEntry, kEnhancedFormCount> kEnhancedForms = [] {
  using enum PatternType;
  using pattern_forms::instruction;
  constexpr auto operation = pattern_forms::register_operation;
  constexpr std::nullopt_t no = std::nullopt;
  constexpr auto op = [](std::string_view mnemonic) consteval {
    return opcode_of(mnemonic, CoreFamily::enhanced);
  };
  // The MOVIW and MOVWI forms: the mode in the low two bits, FSRn in bit 2.
  constexpr auto mode = [](std::string_view mnemonic, std::uint16_t mm) consteval {
    return static_cast<std::uint16_t>(opcode_of(mnemonic, CoreFamily::enhanced) | mm);
  };
  // The indexed forms k[n] share the mnemonic's name with the mode forms.
  constexpr std::uint16_t moviw_indexed = opcode_of_form("MOVIW", OperandKind::fsr_offset);
  constexpr std::uint16_t movwi_indexed = opcode_of_form("MOVWI", OperandKind::fsr_offset);
  std::array<PatternEntry, kEnhancedFormCount> forms{
      instruction(fsr_op, op("ADDFSR"), "FSR ", "@+=@"),
      instruction(fsr_op, mode("MOVIW", 0), "MOVI", "++@>W"),
      instruction(fsr_op, mode("MOVIW", 1), "MOVI", "--@>W"),
      instruction(fsr_op, mode("MOVIW", 2), "MOVI", "@++>W"),
      instruction(fsr_op, mode("MOVIW", 3), "MOVI", "@-->W"),
      instruction(fsr_op, moviw_indexed, "MOVI", "@[@]>W"),
      instruction(fsr_op, mode("MOVWI", 0), "MOVW", "W>++@"),
      instruction(fsr_op, mode("MOVWI", 1), "MOVW", "W>--@"),
      instruction(fsr_op, mode("MOVWI", 2), "MOVW", "W>@++"),
      instruction(fsr_op, mode("MOVWI", 3), "MOVW", "W>@--"),
      instruction(fsr_op, movwi_indexed, "MOVW", "@[@]<W"),
      operation(op("ADDWFC"), no, "ADDC", "W+@+(C)>@"),
      operation(op("SUBWFB"), no, "SUBB", "@-W-(B)>@"),
      operation(op("LSLF"), no, "LSL ", "<<@<<0->@"),
      operation(op("LSLF"), no, "LSL ", "<<@<<0"),
      operation(op("LSRF"), no, "LSR ", ">>@>>0->@"),
      operation(op("LSRF"), no, "LSR ", ">>@>>0"),
      operation(op("ASRF"), no, "ASR ", ">>@>>S->@"),
      operation(op("ASRF"), no, "ASR ", ">>@>>S"),
      instruction(inherent, op("BRW"), "BRW ", "-->W"),
      instruction(relative_branch, op("BRA"), "BRA ", "-->@"),
      instruction(inherent, op("CALLW"), "CALW", "CALL W"),
      instruction(inherent, op("RESET"), "RST ", "RESET CHIP"),
      instruction(select_op, op("MOVLB"), "BANK", "@>BSR"),
      instruction(select_op, op("MOVLP"), "PAGE", "@>PCLATH"),
  };
  for (PatternEntry& entry : forms) entry = enhanced_core(entry);
  return forms;
}();

// Selecting the bank of a register and the page of a label by name, on
// either core: the classic one writes the bank bits of STATUS (RP0, RP1) or
// the page bits of PCLATH (3, 4) with two BCF or BSF words, which suit a
// chip of any size; the enhanced one MOVLB or MOVLP. The word names the
// encoding: BCF's for the classic core.
// HIGH k>W and LOW k>W load W with the high or the low byte of an address
// (k>W takes the low byte too, with a warning when k is wider): for PCLATH,
// or FSRnH and FSRnL, whose addresses from 8000 read program memory and
// from 2000 the enhanced core's linear data memory.
inline constexpr std::size_t kSelectionFormCount = 6;
inline constexpr std::array<PatternEntry, kSelectionFormCount> kSelectionForms = [] {
  using enum PatternType;
  using pattern_forms::instruction;
  constexpr std::uint16_t bcf = opcode_of("BCF");
  return std::array<PatternEntry, kSelectionFormCount>{
      instruction(selection, bcf, "BANK", "@>BANK"),
      instruction(selection, bcf, "PAGE", "@>PAGE"),
      enhanced_core(
          instruction(selection, opcode_of("MOVLB", CoreFamily::enhanced), "BANK", "@>BANK")),
      enhanced_core(
          instruction(selection, opcode_of("MOVLP", CoreFamily::enhanced), "PAGE", "@>PAGE")),
      instruction(selection, opcode_of("MOVLW"), "HIGH", "HIGH @>W"),
      instruction(selection, opcode_of("MOVLW"), "LOW ", "LOW @>W"),
  };
}();

inline constexpr std::size_t kStoredPatternCount =
    kPatternCount + kEnhancedFormCount + kSelectionFormCount;

// Every entry of both tables, each once: the classic entries first, so that
// a record's entry number is the same in both, then the enhanced forms,
// then the selections.
inline constexpr std::array<PatternEntry, kStoredPatternCount> kPatternStore = [] {
  std::array<PatternEntry, kStoredPatternCount> store{};
  std::size_t at = 0;
  for (const PatternEntry& entry : kClassicPatterns) store[at++] = entry;
  for (const PatternEntry& entry : kEnhancedForms) store[at++] = entry;
  for (const PatternEntry& entry : kSelectionForms) store[at++] = entry;
  return store;
}();

// The classic table: the notation of every chip but the enhanced ones, and
// of a project without a chip.
inline constexpr std::span<const PatternEntry, kPatternCount> kPatterns{kPatternStore.data(),
                                                                        kPatternCount};
static_assert(kPatterns[31].first_piece == "===->" && kPatterns[44].first_piece == "END SUB");
static_assert(kPatterns[14].key.view() == "NFF34RETK" && kPatterns[29].key.view() == "I0064CWDT");

// The tables, by entry number in the order they are tried. A new form
// stands before every classic form that would take its statements (the FSR
// forms before the -1 of DECF, ADDWFC before W+x>d, x>BANK before x>d) and
// after every classic form whose statements it would take (MOVLB's x>BSR
// after MOVWF's W>f).
inline constexpr std::size_t kClassicPatternCount = kPatternCount + 4;
inline constexpr std::array<std::uint8_t, kClassicPatternCount> kClassicOrder = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
    17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33,
    34, 35, 36, 37, 38, 39, 40, 70, 71, 74, 75, 41, 42, 43, 44,  // the selections, HIGH and LOW
                                                                 // before x>d
};
inline constexpr std::size_t kEnhancedPatternCount = kPatternCount + kEnhancedFormCount + 4;
inline constexpr std::array<std::uint8_t, kEnhancedPatternCount> kEnhancedOrder = {
    0,                                               // \hex
    45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55,      // ADDFSR, MOVIW, MOVWI
    1,  2,  3,  4,  5,  6,  7,  8,                   // INCFSZ ... DECF
    56, 9,  10, 11, 12, 57, 13, 14,                  // ADDWFC, ADDWF ... SUBWFB, SUBWF, RETLW
    58, 59, 15, 16, 60, 61, 62, 63, 17, 18,          // LSLF, RLF, LSRF, ASRF, RRF
    19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,  // COMF ... NOP
    66, 67, 31, 64, 65, 32, 33, 34,                  // CALLW, RESET, GOTO, BRW, BRA ... MOVWF
    68, 69, 35, 36, 37, 38, 39, 40, 72, 73,          // MOVLB, MOVLP, ORG ... the selections
    74, 75, 41, 42, 43, 44,                          // HIGH, LOW, MOVF ... END SUB
};

// Whether an order names each entry at most once.
constexpr bool is_each_entry_once(std::span<const std::uint8_t> order) {
  std::array<bool, kStoredPatternCount> seen{};
  for (const std::uint8_t number : order) {
    if (number >= seen.size() || seen[number]) return false;
    seen[number] = true;
  }
  return true;
}
static_assert(is_each_entry_once(kClassicOrder) && is_each_entry_once(kEnhancedOrder));

// The order in which a table tries its entries, as entry numbers.
struct PatternTable {
  CoreFamily family = CoreFamily::classic;
  std::span<const std::uint8_t> order;

  const PatternEntry& operator[](std::size_t place) const { return kPatternStore[order[place]]; }
  std::size_t size() const { return order.size(); }
};

constexpr PatternTable pattern_table(CoreFamily family) {
  if (family == CoreFamily::enhanced) return {family, kEnhancedOrder};
  return {family, kClassicOrder};
}

// A table's entries in its order, as copies: for the editors and the
// language server, which walk a table's forms in order. A record names its
// entry in the store, never in these.
template <std::size_t Count>
constexpr std::array<PatternEntry, Count> entries_in_order(
    const std::array<std::uint8_t, Count>& order) {
  std::array<PatternEntry, Count> entries{};
  for (std::size_t i = 0; i < Count; ++i) entries[i] = kPatternStore[order[i]];
  return entries;
}
inline constexpr std::array<PatternEntry, kClassicPatternCount> kClassicTableEntries =
    entries_in_order(kClassicOrder);
inline constexpr std::array<PatternEntry, kEnhancedPatternCount> kEnhancedTableEntries =
    entries_in_order(kEnhancedOrder);

// A table's entries in table order (copies, see above).
inline std::span<const PatternEntry> table_entries(CoreFamily family = CoreFamily::classic) {
  if (family == CoreFamily::enhanced) return kEnhancedTableEntries;
  return kClassicTableEntries;
}

// The 45 entries of the notation's first table, in order: the forms every
// chip has, which the store's numbers 0 to 44 name.
inline std::span<const PatternEntry> pattern_entries() {
  return kPatterns;
}

// An entry's number, as a record holds it.
inline std::uint8_t pattern_number(const PatternEntry& entry) {
  return static_cast<std::uint8_t>(&entry - kPatternStore.data());
}

// The entry a record's statement fitted, or none.
inline const PatternEntry* pattern_of(const LineRecord& record) {
  return record.pattern ? &kPatternStore[*record.pattern] : nullptr;
}

inline PatternType pattern_type_of(const LineRecord& record) {
  return record.pattern ? kPatternStore[*record.pattern].type : PatternType::none;
}

// Whether an entry is one of the forms only the enhanced core has (the
// selections are forms of both cores).
constexpr bool is_enhanced_form(const PatternEntry& entry) {
  return entry.core == CoreFamily::enhanced && entry.type != PatternType::selection;
}

// The entry a stored key stands for: the first entry with that key (entries
// that share a key differ in their text only), or none for an empty or
// unknown key.
const PatternEntry* pattern_of_key(std::string_view key);

}  // namespace korva
