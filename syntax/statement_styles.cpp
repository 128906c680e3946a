#include "syntax/statement_styles.h"

#include <array>
#include <optional>
#include <string>

#include "source/statement_splitter.h"
#include "support/names.h"

namespace korva::syntax {
namespace {

// The parts of a statement that fits an entry, in order: operand places
// (present ones only) and pieces.
struct Part {
  std::size_t start;
  std::size_t length;
  bool piece;
};

// Where the entry's places and pieces lie when the statement fits it, by the
// matcher's rules: first occurrences, and text in exactly the places the
// entry has.
std::optional<std::vector<Part>> fit(const PatternEntry& entry, std::string_view upper) {
  const std::size_t first = upper.find(entry.first_piece);
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t after_first = first + entry.first_piece.size();
  std::size_t second = upper.size();
  std::size_t after_second = upper.size();
  if (!entry.second_piece.empty()) {
    second = upper.find(entry.second_piece, after_first);
    if (second == std::string_view::npos) return std::nullopt;
    after_second = second + entry.second_piece.size();
  }
  const std::array<Part, 3> places{Part{0, first, false},
                                   Part{after_first, second - after_first, false},
                                   Part{after_second, upper.size() - after_second, false}};
  if ((places[0].length > 0) != entry.leading || (places[1].length > 0) != entry.middle ||
      (places[2].length > 0) != entry.trailing) {
    return std::nullopt;
  }
  std::vector<Part> parts;
  if (entry.leading) parts.push_back(places[0]);
  parts.push_back(Part{first, entry.first_piece.size(), true});
  if (entry.middle) parts.push_back(places[1]);
  if (!entry.second_piece.empty()) parts.push_back(Part{second, entry.second_piece.size(), true});
  if (entry.trailing) parts.push_back(places[2]);
  return parts;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// A term runs up to a blank, a parenthesis or an operator.
bool is_term_char(char c) {
  return std::string_view(" \t;()+*/-").find(c) == std::string_view::npos;
}

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool all_of(std::string_view text, bool (*test)(char)) {
  for (const char c : text) {
    if (!test(c)) return false;
  }
  return true;
}

bool is_decimal_digit(char c) {
  return c >= '0' && c <= '9';
}

Style term_style(std::string_view term, Operand operand) {
  const bool quoted_hex = term.size() >= 3 && (term[0] == 'H' || term[0] == 'h') &&
                          term[1] == '\'' && term.back() == '\'' &&
                          all_of(term.substr(2, term.size() - 3), is_hex_digit);
  const bool dollar_hex =
      term.size() >= 2 && term[0] == '$' && all_of(term.substr(1), is_hex_digit);
  const bool suffix_hex = term.size() >= 2 && (term.back() == 'h' || term.back() == 'H') &&
                          all_of(term.substr(0, term.size() - 1), is_hex_digit);
  if (quoted_hex || dollar_hex || suffix_hex) return Style::hexadecimal;
  if (all_of(term, is_decimal_digit)) return Style::decimal;
  if (operand == Operand::subject && (term == "W" || term == "w")) return Style::working_register;
  return Style::symbol;
}

void add(std::vector<StyledSpan>& spans, std::size_t start, std::size_t length, Style style) {
  if (length > 0 && style != Style::normal) spans.push_back(StyledSpan{start, length, style});
}

Style destination_style(std::string_view text, std::size_t at) {
  const char c = text[at];
  const bool alone = at + 1 == text.size() || !is_term_char(text[at + 1]);
  if (alone && (c == 'W' || c == 'w')) return Style::working_register;
  if (alone && (c == 'F' || c == 'f' || c == 'M' || c == 'm')) return Style::destination;
  return Style::error;
}

// The terms of an operand's text, which starts at `offset` in the statement.
void style_operand(Operand operand, std::string_view text, std::size_t offset,
                   std::vector<StyledSpan>& spans) {
  if (const std::optional<Style> whole = whole_operand_style(operand)) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    if (first != std::string_view::npos) add(spans, offset + first, last + 1 - first, *whole);
    return;
  }
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    std::size_t end = i + 1;
    Style style = Style::normal;
    if (is_blank(c)) {
      // shown plain
    } else if (operand == Operand::destination) {
      style = destination_style(text, i);
      if (style == Style::error) {
        while (end < text.size() && !is_blank(text[end])) ++end;
      }
    } else if (operand == Operand::subject && c == '(') {
      const std::size_t close = text.find(')', i);
      end = close == std::string_view::npos ? text.size() : close + 1;
      style = Style::file_register;
    } else if (operand == Operand::subject &&
               std::string_view("+-*/").find(c) != std::string_view::npos) {
      style = Style::operation;
    } else if (is_term_char(c)) {
      while (end < text.size() && is_term_char(text[end])) ++end;
      style = term_style(text.substr(i, end - i), operand);
    }
    add(spans, offset + i, end - i, style);
    i = end;
  }
}

// The spans of a statement whose parts are `parts`, shown as `form`: each
// operand unit takes the next place, each token the next characters of the
// piece it belongs to.
std::vector<StyledSpan> form_spans(const Form& form, const std::vector<Part>& parts,
                                   std::string_view statement) {
  std::vector<StyledSpan> spans;
  std::size_t part = 0;
  std::size_t used = 0;  // characters of the current piece given to tokens
  for (const Unit& unit : form.units) {
    if (part == parts.size()) break;
    const Part& current = parts[part];
    if (unit.operand) {
      style_operand(*unit.operand, statement.substr(current.start, current.length), current.start,
                    spans);
      ++part;
    } else {
      add(spans, current.start + used, unit.token.text.size(), unit.token.style);
      used += unit.token.text.size();
      if (used >= current.length) {
        ++part;
        used = 0;
      }
    }
  }
  return spans;
}

// A statement that fits no form calls the subroutine or macro it names. The
// second byte of a two-byte character ("ー" is 81 5B) is part of the
// character, never punctuation.
bool is_call_name(std::string_view statement) {
  constexpr std::string_view kNotInName = " \t;:()+*/<>=[]\\^'\"$-";
  if (statement.empty() || is_decimal_digit(statement.front())) return false;
  for (std::size_t at = 0; at < statement.size(); at += cp932_char_size(statement, at)) {
    if (cp932_char_size(statement, at) == 1 &&
        kNotInName.find(statement[at]) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<StyledSpan> statement_styles(const Notation& notation,
                                         std::span<const PatternEntry> entries,
                                         std::string_view statement) {
  if (statement.empty()) return {};
  if (statement == "end") return {StyledSpan{0, statement.size(), Style::directive}};
  const std::string upper = upper_cased(statement);
  // A macro definition's lines, which the macro expander takes first.
  static constexpr PatternEntry kMacroHeader =
      pattern_forms::directive(PatternType::none, {}, "MACRO @");
  static constexpr PatternEntry kMacroEnd =
      pattern_forms::directive(PatternType::none, {}, "END MACRO");
  if (const auto parts = fit(kMacroHeader, upper))
    return form_spans(notation.macro_header, *parts, statement);
  if (const auto parts = fit(kMacroEnd, upper))
    return form_spans(notation.macro_end, *parts, statement);
  for (std::size_t i = 0; i < entries.size() && i < notation.forms.size(); ++i) {
    if (const auto parts = fit(entries[i], upper))
      return form_spans(notation.forms[i], *parts, statement);
  }
  return {StyledSpan{0, statement.size(), is_call_name(statement) ? Style::call : Style::error}};
}

}  // namespace korva::syntax
