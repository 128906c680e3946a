// The notation as editors see it, derived from the pattern table: each entry
// becomes a form, a run of units (operand places and the tokens of its literal
// pieces), and every unit knows how it is shown. Both editor definitions
// (korva.xml for KSyntaxHighlighting, korva.tmLanguage.json for TextMate
// grammars) are written from this one model, with the regular expressions
// built here, so neither can drift from the table or from the other.
//
// The expressions keep to the syntax that PCRE2 (Qt), Oniguruma (TextMate
// engines), ECMAScript and Python read alike: no inline flags (letters are
// matched as [Xx] pairs), no look-behind. Negated classes leave out the line
// feed, which TextMate engines keep at the end of each line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "patterns/pattern_table.h"

namespace korva::syntax {

// How a stretch of source text is shown.
enum class Style {
  normal,
  remark,
  global_label,
  local_label,
  directive,
  defined_name,   // the name after SUB or MACRO
  instruction,    // instruction words: RET, NOP, SWAP ...
  operation,      // the operator signs of a form: +1>, <<, /, 00> ...
  skip,           // (Z)->, =0->, =1->: skip the next instruction
  jump,           // ===->
  call,           // a statement that is a bare subroutine or macro name
  file_register,  // an operand in parentheses
  working_register,
  destination,  // F or M after a form's >
  bit,          // _BIT
  decimal,
  hexadecimal,    // $1F, 1Fh, H'1F'
  symbol,         // a name used as an operand or jump target
  raw_words,      // \3FFF
  error,          // a statement that fits no form, a destination that is none
  not_assembled,  // everything after the line "end"
};

// What a style is called in each editor definition.
struct StyleNames {
  Style style;
  std::string_view kate_item;     // itemData name
  std::string_view kate_default;  // defStyleNum
  bool bold;
  std::string_view scope;  // TextMate scope; empty for normal text
  // The colour the window and the playground draw it in, 0xRRGGBB; none
  // for the text's own.
  std::optional<std::uint32_t> colour;
};

std::span<const StyleNames> all_styles();
const StyleNames& names_of(Style style);

// What an operand place holds, which decides how its terms are shown.
enum class Operand {
  subject,      // register or literal: (X), numbers, W, names, + - * /
  destination,  // W, F or M
  value,        // a number or a name: directive values, bit numbers, jump targets
  name,         // SUB's name: the rest of the statement
  raw_digits,   // the digits after a backslash
  text,         // the rest of an expansion-end line, shown plain
};

// A token of a literal piece: the piece text it matches (letters in
// capitals, blank for a run of blanks) and how it is shown.
struct Token {
  std::string text;
  Style style = Style::normal;
};

// One stretch of a form, in order: an operand place, or a token of a piece.
struct Unit {
  std::optional<Operand> operand;
  Token token;             // when not an operand
  std::string next_piece;  // for an operand: the whole piece that ends it; empty at the end
};

struct Form {
  std::string label;  // for people: "9 W+@>@"
  std::vector<Unit> units;
};

struct Notation {
  std::vector<Form> forms;  // the table's entries, in table order
  Form macro_header;        // MACRO name
  Form macro_end;           // END MACRO
};

// The notation of the given table entries, or an error text naming the entry
// that could not be turned into a form (no type, more operand places than
// its type has operands, no literal piece, a piece with a sign
// that the token lexicon does not know).
struct NotationResult {
  std::optional<Notation> notation;
  std::string error;
};
NotationResult notation_from(std::span<const PatternEntry> entries);
// The notation of the assembler's own pattern table of a core, made once
// and shared; none if the table could not be turned into one.
const std::optional<Notation>& table_notation(CoreFamily family = CoreFamily::classic);

// ---- Regular expressions shared by both editor definitions.

// A literal text: letters match either case, a blank matches a run of blanks
// or tabs, signs are escaped.
std::string literal_regex(std::string_view text);

// Asserts that the statement ends here: blanks, then a remark or the line end.
std::string_view statement_end_regex();

// The regex of one unit, as one capture group. An operand takes text up to the
// first occurrence of its next piece, or up to the last non-blank of the
// statement.
std::string unit_regex(const Unit& unit);

// The whole statement of a form (one capture group per unit, in unit order),
// followed by the statement end.
std::string form_regex(const Form& form);

// The label at the start of a line, found from its first non-blank: two
// colons (global), one colon (local), or the name before EQU on a line
// without a colon (a constant, global).
std::string_view global_label_regex();
std::string_view local_label_regex();
std::string equ_name_regex();
// True where the rest of the line, up to its remark, holds no colon.
std::string_view no_colon_regex();

// Statements that no table entry describes, tried as the assembler does:
// the end line before the forms, a call and an error after them.
std::string_view end_line_regex();  // "end" in small letters
std::string call_regex();           // a bare name (a subroutine or macro call)
std::string error_regex();          // any other statement

// A rule that shows a term inside an operand. `regex` matches at the term's
// start; `end_piece` is the regex of the piece that ends the operand (empty
// when the operand's text is already cut out, as in a capture).
struct TermRule {
  std::string regex;
  Style style;
};
std::vector<TermRule> term_rules(Operand operand, std::string_view end_piece);

// How the text of an operand as a whole is shown (raw digits, names), when it
// is not shown term by term.
std::optional<Style> whole_operand_style(Operand operand);

}  // namespace korva::syntax
