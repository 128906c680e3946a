#include "syntax/syntax_model.h"

#include <algorithm>
#include <array>
#include <set>

namespace korva::syntax {
namespace {

constexpr std::array kStyles{
    StyleNames{Style::normal, "Normal Text", "dsNormal", false, "", std::nullopt},
    StyleNames{Style::remark, "Remark", "dsComment", false, "comment.line.semicolon.korva",
               0x707070},
    StyleNames{Style::global_label, "Global Label", "dsFunction", true,
               "entity.name.label.global.korva", 0x644a9b},
    StyleNames{Style::local_label, "Local Label", "dsFunction", false,
               "entity.name.label.local.korva", 0x644a9b},
    StyleNames{Style::directive, "Directive", "dsPreprocessor", false,
               "keyword.control.directive.korva", 0x006e28},
    StyleNames{Style::defined_name, "Defined Name", "dsFunction", false,
               "entity.name.function.korva", 0x644a9b},
    StyleNames{Style::instruction, "Instruction", "dsKeyword", false,
               "keyword.other.instruction.korva", 0x000080},
    StyleNames{Style::operation, "Operation", "dsOperator", false, "keyword.operator.korva",
               0xca60ca},
    StyleNames{Style::skip, "Skip", "dsControlFlow", false, "keyword.control.skip.korva", 0xd04a00},
    StyleNames{Style::jump, "Jump", "dsControlFlow", false, "keyword.control.jump.korva", 0xd04a00},
    StyleNames{Style::call, "Call", "dsControlFlow", false, "entity.name.function.call.korva",
               0xd04a00},
    StyleNames{Style::file_register, "File Register", "dsVariable", false,
               "variable.other.register.korva", 0x0057ae},
    StyleNames{Style::working_register, "Working Register", "dsVariable", true,
               "variable.language.w.korva", 0x0057ae},
    StyleNames{Style::destination, "Destination", "dsVariable", true,
               "variable.language.destination.korva", 0x0057ae},
    StyleNames{Style::bit, "Bit", "dsKeyword", false, "keyword.other.bit.korva", 0x000080},
    StyleNames{Style::decimal, "Decimal", "dsDecVal", false, "constant.numeric.decimal.korva",
               0xb08000},
    StyleNames{Style::hexadecimal, "Hexadecimal", "dsBaseN", false, "constant.numeric.hex.korva",
               0xb08000},
    StyleNames{Style::symbol, "Symbol", "dsConstant", false, "variable.other.symbol.korva",
               0xaa5500},
    StyleNames{Style::raw_words, "Raw Words", "dsVerbatimString", false,
               "string.unquoted.raw-words.korva", 0xbf0303},
    StyleNames{Style::error, "Error", "dsError", false, "invalid.illegal.korva", 0xbf0303},
    StyleNames{Style::not_assembled, "Not Assembled", "dsComment", false,
               "comment.block.not-assembled.korva", std::nullopt},
};

// A term of an operand runs up to a blank, a parenthesis, an operator or the
// remark (the terms that the operand evaluation splits at + - * /).
constexpr std::string_view kTermChar = "[^ \\t\\n;()+*/-]";
constexpr std::string_view kRegexSigns = "\\^$.|?*+()[]{}";
// The signs that stand for operations in the pieces of instructions.
// The enhanced core's forms add =, [ and ] (FSR0+=k, k[FSR1]>W).
constexpr std::string_view kOperationSigns = "+-<>/^\\V0123456789=[]";

bool is_upper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool is_lower(char c) {
  return c >= 'a' && c <= 'z';
}

std::string group(std::string_view regex) {
  std::string grouped;
  grouped.reserve(regex.size() + 2);
  grouped += '(';
  grouped += regex;
  grouped += ')';
  return grouped;
}

// ---- From table entries to forms.

bool is_directive_type(PatternType type) {
  switch (type) {
    case PatternType::constant:
    case PatternType::data_byte:
    case PatternType::origin:
    case PatternType::reservation:
    case PatternType::ram_start:
    case PatternType::subroutine:
    case PatternType::macro_end:
      return true;
    default:
      return false;
  }
}

// The operands that an entry of each type has, in place order.
std::optional<std::vector<Operand>> operands_of_type(PatternType type) {
  switch (type) {
    case PatternType::register_op:
      return std::vector{Operand::subject, Operand::destination};
    case PatternType::bit_op:
    case PatternType::fsr_op:
      return std::vector{Operand::subject, Operand::value};
    case PatternType::branch:
    case PatternType::relative_branch:
    case PatternType::select_op:
    case PatternType::selection:
    case PatternType::constant:
    case PatternType::data_byte:
    case PatternType::origin:
    case PatternType::reservation:
    case PatternType::ram_start:
      return std::vector{Operand::value};
    case PatternType::inherent:
      return std::vector<Operand>{};
    case PatternType::subroutine:
      return std::vector{Operand::name};
    case PatternType::macro_end:
      return std::vector{Operand::text};
    case PatternType::raw_words:
      return std::vector{Operand::raw_digits};
    case PatternType::none:
      break;
  }
  return std::nullopt;
}

// Runs of two or more capitals in the pieces of the directive entries: the
// words that make a piece a directive wherever they stand (END SUB).
std::set<std::string, std::less<>> directive_words(std::span<const PatternEntry> entries) {
  std::set<std::string, std::less<>> words;
  for (const PatternEntry& entry : entries) {
    if (!is_directive_type(entry.type)) continue;
    for (const std::string_view piece : {entry.first_piece, entry.second_piece}) {
      for (std::size_t i = 0; i < piece.size();) {
        std::size_t end = i;
        while (end < piece.size() && is_upper(piece[end])) ++end;
        if (end - i >= 2) words.emplace(piece.substr(i, end - i));
        i = std::max(end, i + 1);
      }
    }
  }
  return words;
}

std::size_t word_run(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && is_upper(text[end])) ++end;
  return end - at;
}

// Words of three or more capitals, blank-separated: "RET", "END SUB".
std::size_t words_at(std::string_view piece, std::size_t at) {
  std::size_t end = at + word_run(piece, at);
  if (end - at < 3) return 0;
  while (end + 1 < piece.size() && piece[end] == ' ' && word_run(piece, end + 1) >= 3) {
    end += 1 + word_run(piece, end + 1);
  }
  return end - at;
}

bool all_directive_words(std::string_view words,
                         const std::set<std::string, std::less<>>& vocabulary) {
  std::size_t start = 0;
  while (start < words.size()) {
    std::size_t blank = words.find(' ', start);
    if (blank == std::string_view::npos) blank = words.size();
    if (!vocabulary.contains(words.substr(start, blank - start))) return false;
    start = blank + 1;
  }
  return true;
}

void append(std::vector<Token>& tokens, std::string_view text, Style style) {
  if (!tokens.empty() && tokens.back().style == style && style == Style::operation) {
    tokens.back().text += text;
  } else {
    tokens.push_back(Token{std::string(text), style});
  }
}

// The tokens of an instruction piece, by the notation's lexicon; nullopt
// when the piece holds a sign that the lexicon does not know.
std::optional<std::vector<Token>> instruction_tokens(
    std::string_view piece, const std::set<std::string, std::less<>>& vocabulary) {
  struct Fixed {
    std::string_view text;
    Style style;
  };
  static constexpr std::array kFixed{
      Fixed{"(Z)->", Style::skip},    Fixed{"=0->", Style::skip},
      Fixed{"=1->", Style::skip},     Fixed{"===->", Style::jump},
      Fixed{"_BIT", Style::bit},      Fixed{"(C)", Style::operation},
      Fixed{"(B)", Style::operation}, Fixed{">>S", Style::operation},
  };
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < piece.size()) {
    const std::string_view rest = piece.substr(i);
    const auto fixed = std::find_if(kFixed.begin(), kFixed.end(),
                                    [&](const Fixed& f) { return rest.starts_with(f.text); });
    if (fixed != kFixed.end()) {
      append(tokens, fixed->text, fixed->style);
      i += fixed->text.size();
    } else if (const std::size_t length = words_at(piece, i); length > 0) {
      const std::string_view words = piece.substr(i, length);
      append(tokens, words,
             all_directive_words(words, vocabulary) ? Style::directive : Style::instruction);
      i += length;
    } else if (rest.front() == 'W') {
      append(tokens, "W", Style::working_register);
      ++i;
    } else if (rest.front() == ' ') {
      append(tokens, " ", Style::normal);
      ++i;
    } else if (kOperationSigns.find(rest.front()) != std::string_view::npos) {
      append(tokens, rest.substr(0, 1), Style::operation);
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

// A directive piece is its text, shown as a directive, and the blank after it.
std::vector<Token> directive_tokens(std::string_view piece) {
  std::vector<Token> tokens;
  const std::size_t end = piece.find_last_not_of(' ');
  if (end != std::string_view::npos)
    tokens.push_back(Token{std::string(piece.substr(0, end + 1)), Style::directive});
  if (end + 1 < piece.size()) tokens.push_back(Token{" ", Style::normal});
  return tokens;
}

std::optional<std::vector<Token>> piece_tokens(
    std::string_view piece, PatternType type,
    const std::set<std::string, std::less<>>& vocabulary) {
  if (type == PatternType::raw_words)
    return std::vector{Token{std::string(piece), Style::raw_words}};
  if (is_directive_type(type)) return directive_tokens(piece);
  return instruction_tokens(piece, vocabulary);
}

std::string describe(std::size_t index, const PatternEntry& entry) {
  std::string pattern;
  if (entry.leading) pattern += '@';
  pattern += entry.first_piece;
  if (entry.middle) pattern += '@';
  pattern += entry.second_piece;
  if (entry.trailing) pattern += '@';
  return std::to_string(index) + " " + pattern;
}

std::optional<Form> form_of(std::size_t index, const PatternEntry& entry,
                            const std::set<std::string, std::less<>>& vocabulary,
                            std::string& error) {
  const std::string label = describe(index, entry);
  const PatternType type = entry.type;
  const std::optional<std::vector<Operand>> operands = operands_of_type(type);
  if (!operands) {
    error = "entry " + label + ": no type";
    return std::nullopt;
  }
  if (entry.first_piece.empty()) {
    error = "entry " + label + ": no literal piece";
    return std::nullopt;
  }
  Form form{label, {}};
  std::size_t next_operand = 0;
  bool fits = true;
  const auto add_operand = [&](std::string_view next_piece) {
    if (next_operand == operands->size()) {
      fits = false;
      return;
    }
    Unit unit;
    unit.operand = (*operands)[next_operand++];
    unit.next_piece = next_piece;
    form.units.push_back(std::move(unit));
  };
  const auto add_piece = [&](std::string_view piece) {
    const std::optional<std::vector<Token>> tokens = piece_tokens(piece, type, vocabulary);
    if (!tokens) {
      error = "entry " + label + ": the piece \"" + std::string(piece) +
              "\" holds a sign without a style";
      return false;
    }
    for (const Token& token : *tokens) form.units.push_back(Unit{std::nullopt, token, {}});
    return true;
  };
  if (entry.leading) add_operand(entry.first_piece);
  if (!add_piece(entry.first_piece)) return std::nullopt;
  if (entry.middle) add_operand(entry.second_piece);
  if (!entry.second_piece.empty() && !add_piece(entry.second_piece)) return std::nullopt;
  if (entry.trailing) add_operand({});
  if (!fits) {
    error = "entry " + label + ": more operand places than its type has operands";
    return std::nullopt;
  }
  return form;
}

Form piece_and_name_form(std::string label, std::string_view piece) {
  Form form{std::move(label), {}};
  for (const Token& token : directive_tokens(piece))
    form.units.push_back(Unit{std::nullopt, token, {}});
  return form;
}

std::string not_followed_by(std::string_view end_piece) {
  return end_piece.empty() ? std::string() : "(?!" + std::string(end_piece) + ")";
}

}  // namespace

std::span<const StyleNames> all_styles() {
  return kStyles;
}

const StyleNames& names_of(Style style) {
  return *std::find_if(kStyles.begin(), kStyles.end(),
                       [style](const StyleNames& names) { return names.style == style; });
}

NotationResult notation_from(std::span<const PatternEntry> entries) {
  const std::set<std::string, std::less<>> vocabulary = directive_words(entries);
  Notation notation;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::string error;
    std::optional<Form> form = form_of(i, entries[i], vocabulary, error);
    if (!form) return NotationResult{std::nullopt, error};
    notation.forms.push_back(std::move(*form));
  }
  // A macro definition's lines are taken by the macro expander before any
  // entry is tried: "MACRO " and a name, and END MACRO alone.
  notation.macro_header = piece_and_name_form("MACRO name", "MACRO ");
  notation.macro_header.units.push_back(Unit{Operand::name, {}, {}});
  notation.macro_end = piece_and_name_form("END MACRO", "END MACRO");
  return NotationResult{std::move(notation), {}};
}

const std::optional<Notation>& table_notation(CoreFamily family) {
  static const std::optional<Notation> classic =
      notation_from(table_entries(CoreFamily::classic)).notation;
  static const std::optional<Notation> enhanced =
      notation_from(table_entries(CoreFamily::enhanced)).notation;
  return family == CoreFamily::enhanced ? enhanced : classic;
}

std::string literal_regex(std::string_view text) {
  std::string regex;
  for (const char c : text) {
    if (is_upper(c) || is_lower(c)) {
      regex += '[';
      regex += static_cast<char>(is_lower(c) ? c - 'a' + 'A' : c);
      regex += static_cast<char>(is_upper(c) ? c - 'A' + 'a' : c);
      regex += ']';
    } else if (c == ' ') {
      regex += "[ \\t]+";
    } else {
      if (kRegexSigns.find(c) != std::string_view::npos) regex += '\\';
      regex += c;
    }
  }
  return regex;
}

std::string_view statement_end_regex() {
  return "(?=[ \\t]*(?:;|$))";
}

std::string unit_regex(const Unit& unit) {
  if (!unit.operand) return group(literal_regex(unit.token.text));
  if (unit.next_piece.empty()) return group("[^;\\n]*[^ \\t\\n;]");
  return group("(?:" + not_followed_by(literal_regex(unit.next_piece)) + "[^;\\n])+");
}

std::string form_regex(const Form& form) {
  // The statement starts at its first non-blank, even where a form's first
  // operand could take blanks.
  std::string regex = "(?=[^ \\t\\n])";
  for (const Unit& unit : form.units) regex += unit_regex(unit);
  return regex + std::string(statement_end_regex());
}

std::string_view global_label_regex() {
  return "(?:[^;: \\t\\n][^;:\\n]*)?::";
}
std::string_view local_label_regex() {
  return "(?:[^;: \\t\\n][^;:\\n]*)?:(?!:)";
}
std::string_view no_colon_regex() {
  return "(?=[^;:\\n]*(?:;|$))";
}

std::string equ_name_regex() {
  const std::string equ = literal_regex("EQU");
  return "(?!" + equ + ")[^ \\t\\n;:](?:(?!" + equ + ")[^;:\\n])*?(?=[ \\t]+" + equ + ")";
}

std::string_view end_line_regex() {
  return "(end)(?=[ \\t]*(?:;|$))";
}

std::string call_regex() {
  // A name: no blank, sign of an operation or digit at its start.
  constexpr std::string_view kNot = " \\t\\n;:()+*/<>=\\[\\]\\\\^'\"$";
  return "([^" + std::string(kNot) + "0-9-][^" + std::string(kNot) + "-]*)" +
         std::string(statement_end_regex());
}

std::string error_regex() {
  return "([^;\\n]*[^ \\t\\n;])" + std::string(statement_end_regex());
}

std::vector<TermRule> term_rules(Operand operand, std::string_view end_piece) {
  const std::string stop = not_followed_by(end_piece);
  const std::string term_end = end_piece.empty() ? "(?!" + std::string(kTermChar) + ")"
                                                 : "(?:(?=" + std::string(end_piece) + ")|(?!" +
                                                       std::string(kTermChar) + "))";
  // A character class that stops where the end piece starts.
  const auto until_end = [&stop](std::string_view char_class) {
    return stop.empty() ? std::string(char_class) : "(?:" + stop + std::string(char_class) + ")";
  };
  const std::string hex_digit = until_end("[0-9A-Fa-f]");
  const std::vector<TermRule> numbers{
      {"[Hh]'" + hex_digit + "*'" + term_end, Style::hexadecimal},
      {"\\$" + hex_digit + "+" + term_end, Style::hexadecimal},
      {hex_digit + "+[Hh]" + term_end, Style::hexadecimal},
      {until_end("[0-9]") + "+" + term_end, Style::decimal},
  };
  std::vector<TermRule> rules;
  switch (operand) {
    case Operand::subject:
      rules.push_back({"\\((?:" + stop + "[^;)\\n])*\\)?", Style::file_register});
      rules.insert(rules.end(), numbers.begin(), numbers.end());
      rules.push_back({"[Ww]" + term_end, Style::working_register});
      rules.push_back({until_end(kTermChar) + "+", Style::symbol});
      rules.push_back({"[-+*/]", Style::operation});
      break;
    case Operand::value:
      rules = numbers;
      rules.push_back({until_end(kTermChar) + "+", Style::symbol});
      break;
    case Operand::destination:
      rules.push_back({"[Ww]" + term_end, Style::working_register});
      rules.push_back({"[FfMm]" + term_end, Style::destination});
      rules.push_back({until_end("[^ \\t\\n;]") + "+", Style::error});
      break;
    case Operand::name:
    case Operand::raw_digits:
    case Operand::text:
      break;
  }
  return rules;
}

std::optional<Style> whole_operand_style(Operand operand) {
  switch (operand) {
    case Operand::name:
      return Style::defined_name;
    case Operand::raw_digits:
      return Style::raw_words;
    case Operand::text:
      return Style::normal;
    default:
      return std::nullopt;
  }
}

}  // namespace korva::syntax
