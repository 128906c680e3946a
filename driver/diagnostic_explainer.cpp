#include "driver/diagnostic_explainer.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "codegen/hex_text.h"
#include "patterns/instruction_set.h"
#include "patterns/matcher.h"
#include "patterns/pattern_table.h"
#include "resources/system_texts.h"
#include "source/line_layout.h"
#include "support/text.h"
#include "symbols/macro_expander.h"

namespace korva {
namespace {

bool is_name_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         byte >= 0x80;
}

// A source line taken apart, with its statement collapsed as the record
// holds it.
struct PlacedLine {
  explicit PlacedLine(std::string_view line)
      : parts(layout_line(line)), statement(collapse_statement(line, parts)) {}
  // Where the label ends; 0 when there is none (or it is empty).
  std::size_t label_end() const { return parts.has_label() ? parts.label_end : 0; }

  LineLayout parts;
  CollapsedStatement statement;
};

ColumnSpan raw_span(std::size_t begin, std::size_t end) {
  return ColumnSpan{begin + 1, std::max<std::size_t>(end, begin + 1) - begin};
}

// The first occurrence of `text` in `within` from `from` on that stands as
// a name of its own, else the first occurrence at all.
std::size_t find_word(std::string_view within, std::string_view text, std::size_t from) {
  const std::size_t first = within.find(text, from);
  for (std::size_t at = first; at != std::string_view::npos; at = within.find(text, at + 1)) {
    const std::size_t after = at + text.size();
    const bool starts = at == 0 || !is_name_char(within[at - 1]) || !is_name_char(text.front());
    const bool ends =
        after == within.size() || !is_name_char(within[after]) || !is_name_char(text.back());
    if (starts && ends) return at;
  }
  return first;
}

std::optional<ColumnSpan> span_in_statement(const PlacedLine& line, std::size_t at,
                                            std::size_t size) {
  if (size == 0 || at + size > line.statement.text.size()) return std::nullopt;
  return raw_span(line.statement.line_begin(at), line.statement.line_end(at, size));
}

std::optional<ColumnSpan> whole_statement(std::string_view source_line) {
  const PlacedLine line(source_line);
  return span_in_statement(line, 0, line.statement.text.size());
}

// The record's operands as the statement writes them, before pass 3
// evaluated them.
struct Written {
  std::string operand1;
  std::string operand2;
};

Written written_operands(const LineRecord& record) {
  LineRecord fresh;
  fresh.statement = record.statement;
  match_statement(fresh);
  Written written{std::string(fresh.operand1), std::string(fresh.operand2)};
  collapse_blanks(written.operand1);
  collapse_blanks(written.operand2);
  return written;
}

// A text of the statement in quotes; in double quotes when it holds a
// single one.
std::string quoted(std::string_view text) {
  const char quote = text.find('\'') == std::string_view::npos ? '\'' : '"';
  std::string quoted_text;
  quoted_text.reserve(text.size() + 2);
  quoted_text += quote;
  quoted_text += text;
  quoted_text += quote;
  return quoted_text;
}

// The base words of the two forms of the record's register operation, as
// its pattern entry gives them: none for a form the operation lacks.
struct OperationForms {
  std::optional<std::uint16_t> register_word;
  std::optional<std::uint16_t> literal_word;
};
OperationForms operation_forms(const LineRecord& record) {
  const PatternEntry* entry = pattern_of_key(record.pattern_key.view());
  if (entry == nullptr) return {};
  return {entry->word, entry->literal_word};
}

// What a number written as other assemblers write it is here, with how to
// write it instead; none for any other text.
struct ForeignNumber {
  std::string explanation;
  std::string hint;
};
std::optional<ForeignNumber> foreign_number(std::string_view text) {
  const auto hex_digits = [](std::string_view digits) {
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
      return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
  };
  const std::string quoted_text = quoted(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      hex_digits(text.substr(2))) {
    const std::string digits(text.substr(2));
    return ForeignNumber{quoted_text +
                             " is no number here: the 0x form is not a notation of "
                             "this assembler",
                         "write $" + digits + " or " + digits + "h"};
  }
  if (text.size() >= 3 && (text[0] == 'B' || text[0] == 'b') && text[1] == '\'' &&
      text.back() == '\'') {
    return ForeignNumber{quoted_text +
                             " is no number here: binary numbers are not a notation "
                             "of this assembler",
                         "write the value in hexadecimal, $NN or NNh"};
  }
  if (text.size() == 3 && text[0] == '\'' && text[2] == '\'') {
    return ForeignNumber{quoted_text +
                             " is no number here: character literals are not a "
                             "notation of this assembler",
                         "write the character's code, $" + [c = text[1]] {
                           static constexpr char kDigits[] = "0123456789ABCDEF";
                           const auto byte = static_cast<unsigned char>(c);
                           return std::string{kDigits[byte >> 4], kDigits[byte & 0xF]};
                         }()};
  }
  return std::nullopt;
}

constexpr std::string_view kNoValue =
    "is defined but has no value: no assembled line gave it one (it stands in a macro body "
    "that is never expanded, or on the call of a macro that expands to nothing)";

bool has_value(const Symbol* symbol) {
  return symbol != nullptr && symbol->number.has_value();
}

// The first local label named `name` (with one colon), in any subroutine.
const Symbol* local_label(const ExplainContext& context, std::string_view name) {
  LocalLabels own;
  LocalLabels& labels = context.local_labels != nullptr ? *context.local_labels : own;
  return labels.find(context.symbols, name);
}

std::string scope_name(const Symbol& entry) {
  return entry.subroutine.empty() ? std::string("the code outside subroutines")
                                  : "subroutine " + entry.subroutine;
}

// "FILE:LINE" of the line that made a symbol, with its label's columns.
DiagnosticNote definition_note(const Symbol& entry, const ExplainContext& context,
                               std::string text) {
  DiagnosticNote note;
  note.text = std::move(text);
  if (entry.origin == 0) return note;
  note.where = context.map.locate(entry.origin - 1);
  const std::string_view line = line_at(context.source, entry.origin - 1);
  const PlacedLine layout(line);
  if (layout.label_end() > 0) {
    note.span = raw_span(line.find_first_not_of(" \t"), layout.label_end());
  } else {
    note.span = whole_statement(line);
  }
  return note;
}

// What keeps one operand from having a value, as the operand evaluation
// reads it: the first term that is neither a number nor a valued global
// symbol.
struct TermFault {
  std::string term;
  std::string explanation;
  std::string hint;
  bool undefined = false;
  const Symbol* symbol = nullptr;  // the entry the explanation is about
};

TermFault fault_of_term(std::string_view term, std::string_view operand,
                        const ExplainContext& context) {
  const SymbolTable& symbols = context.symbols;
  TermFault fault;
  fault.term = std::string(term);
  std::string trimmed(term);
  collapse_blanks(trimmed);
  if (trimmed.empty()) {
    fault.explanation = "an operator in " + quoted(operand) + " has no term after it";
    return fault;
  }
  if (trimmed != term && (number_value(trimmed) || has_value(symbols.find_global(trimmed)))) {
    fault.term = trimmed;
    fault.explanation = "the blank beside " + trimmed + " makes the term " + quoted(term) +
                        " unknown: an operand is evaluated without blanks";
    fault.hint = "write the operand without blanks around its operators";
    return fault;
  }
  fault.term = trimmed;
  if (const std::optional<ForeignNumber> foreign = foreign_number(trimmed)) {
    fault.explanation = foreign->explanation;
    fault.hint = foreign->hint;
    return fault;
  }
  if (trimmed == "W" || trimmed == "w" || trimmed == "F" || trimmed == "f") {
    fault.explanation = trimmed + " is a destination letter, not a register or a value";
    return fault;
  }
  if (const Symbol* global = symbols.find_global(trimmed)) {
    fault.symbol = global;
    fault.explanation = trimmed + " " + std::string(kNoValue);
    return fault;
  }
  if (const Symbol* local = local_label(context, trimmed)) {
    fault.symbol = local;
    fault.explanation = trimmed + " is a local label of " + scope_name(*local) +
                        "; an operand takes only global labels and constants";
    fault.hint = "write the label with two colons (" + trimmed + "::) to make it global";
    return fault;
  }
  if (symbols.find_subroutine(trimmed) != nullptr) {
    fault.explanation = trimmed + " is a subroutine, which has no value in an operand";
    return fault;
  }
  fault.undefined = true;
  fault.explanation = trimmed + " is not defined";
  return fault;
}

// The first term of `operand` that has no value, as evaluate_operand splits
// it; none when every term has one.
// The terms of an operand: inside its parentheses, if it opens with one
// (the character before the end is taken as the closing one).
std::string_view operand_terms(std::string_view operand) {
  if (operand.empty() || operand.front() != '(') return operand;
  return operand.substr(1, operand.size() >= 2 ? operand.size() - 2 : 0);
}

std::optional<TermFault> faulty_term(std::string_view operand, const ExplainContext& context) {
  const SymbolTable& symbols = context.symbols;
  const std::string_view inner = operand_terms(operand);
  std::size_t position = 0;
  while (position < inner.size()) {
    const std::size_t end = std::min(inner.find_first_of("+-*/", position), inner.size());
    const std::string_view term = inner.substr(position, end - position);
    if (!number_value(term) && !has_value(symbols.find_global(term))) {
      return fault_of_term(term, operand, context);
    }
    position = end + 1;
  }
  return std::nullopt;
}

// The value of an operand whose terms all have one, as evaluate_operand
// sums it (the term after * or / leaves the value as it is); the terms are
// those that faulty_term found each with a value.
std::optional<std::uint32_t> operand_value(std::string_view operand,
                                           const ExplainContext& context) {
  const SymbolTable& symbols = context.symbols;
  if (operand.empty() || faulty_term(operand, context)) return std::nullopt;
  const std::string_view terms = operand_terms(operand);
  std::uint32_t running = 0;
  char pending = '+';
  for (std::size_t position = 0; position < terms.size();) {
    const std::size_t end = std::min(terms.find_first_of("+-*/", position), terms.size());
    const std::string_view term = terms.substr(position, end - position);
    std::uint32_t value = 0;
    if (const std::optional<std::uint32_t> number = number_value(term)) {
      value = *number;
    } else if (const Symbol* symbol = symbols.find_global(term); has_value(symbol)) {
      value = *symbol->number;
    } else {
      return std::nullopt;
    }
    if (pending == '+') running += value;
    if (pending == '-') running -= value;
    if (end < terms.size()) pending = terms[end];
    position = end + 1;
  }
  return running & 0xFFFF;
}

class Explainer {
 public:
  Explainer(Diagnostic& diagnostic, const LineRecord& record, const ExplainContext& context)
      : d_(diagnostic), record_(record), context_(context), layout_(d_.source_line) {}

  // Names `text` (a part of the collapsed statement, found from `from` on)
  // as the culprit and spans it.
  std::size_t blame(std::string_view text, std::size_t from = 0) {
    d_.name = std::string(text);
    const std::size_t at = find_word(layout_.statement.text, text, from);
    if (at == std::string::npos) {
      d_.span = span_in_statement(layout_, 0, layout_.statement.text.size());
      return from;
    }
    d_.span = span_in_statement(layout_, at, text.size());
    return at + text.size();
  }

  void blame_statement() {
    d_.name = std::string(record_.statement);
    d_.span = span_in_statement(layout_, 0, layout_.statement.text.size());
  }

  void blame_label() {
    d_.name = std::string(record_.label);
    if (layout_.label_end() == 0) return blame_statement();
    d_.span = raw_span(d_.source_line.find_first_not_of(" \t"), layout_.label_end());
  }

  void say(std::string explanation, std::string hint = {}) {
    d_.explanation = std::move(explanation);
    d_.hint = std::move(hint);
  }

  // An operand that has no value: its faulty term is the culprit.
  bool blame_term(std::string_view operand, std::size_t from) {
    const std::optional<TermFault> fault = faulty_term(operand, context_);
    if (!fault) return false;
    blame(fault->term, from);
    d_.name_undefined = fault->undefined;
    say(fault->explanation, fault->hint);
    if (fault->symbol != nullptr && !fault->undefined) {
      d_.notes.push_back(
          definition_note(*fault->symbol, context_, fault->term + " is defined here"));
    }
    return true;
  }

  void explain();
  void explain_pass1(const MacroTable& macros);

 private:
  void explain_grammar();
  void explain_number_directive(std::string_view directive);
  void explain_origin();
  void explain_jump();
  void explain_operation();
  void explain_literal_operation(const Written& written, std::size_t operand2_from);
  void explain_bit();
  void explain_duplicate(bool subroutine);

  Diagnostic& d_;
  const LineRecord& record_;
  const ExplainContext& context_;
  PlacedLine layout_;
};

void Explainer::explain_grammar() {
  blame_statement();
  const std::string_view statement = record_.statement;
  const std::string upper = upper_cased(statement.substr(0, statement.find(' ')));
  say(quoted(statement) + " fits no form of the notation, and no subroutine has that name");
  if (upper.empty()) return;
  for (const Symbol& entry : context_.symbols.entries()) {
    if (entry.is_subroutine && entry.subroutine.size() == upper.size() &&
        equals_nocase(entry.subroutine, upper)) {
      d_.hint = "the subroutine is named " + entry.subroutine + " (letter case counts)";
      return;
    }
  }
}

void Explainer::explain_number_directive(std::string_view directive) {
  const Written written = written_operands(record_);
  if (written.operand1.empty()) {
    blame_statement();
    say(std::string(directive) + " needs a number");
    return;
  }
  blame(written.operand1);
  if (const std::optional<ForeignNumber> foreign = foreign_number(written.operand1)) {
    say(foreign->explanation, foreign->hint);
    return;
  }
  if (has_value(context_.symbols.find_global(written.operand1))) {
    say(std::string(directive) + " takes a number: " + written.operand1 +
        " is a symbol, and symbols are not evaluated here");
    return;
  }
  say(quoted(written.operand1) +
      " is not a number in any notation (decimal 31, $1F, 1Fh or H'1F')");
}

void Explainer::explain_origin() {
  if (!has_kind(record_, RecordKind::org)) return explain_number_directive("ORG");
  const Written written = written_operands(record_);
  blame(written.operand1);
  say("ORG " + written.operand1 + " (" + std::string(record_.address) +
      ") lies below the address the program has already reached: the location counter "
      "cannot go back");
}

void Explainer::explain_jump() {
  const std::string target = written_operands(record_).operand1;
  blame(target, layout_.statement.text.rfind(target));
  const SymbolTable& symbols = context_.symbols;
  if (const Symbol* global = symbols.find_global(target)) {
    say("the jump target " + target + " " + std::string(kNoValue));
    d_.notes.push_back(definition_note(*global, context_, target + " is defined here"));
  } else if (const Symbol* local = local_label(context_, target)) {
    say("the jump target " + target + " is a local label of " + scope_name(*local) +
            ", out of reach here",
        "write the label with two colons (" + target + "::) to make it global");
    d_.notes.push_back(definition_note(*local, context_, target + " is defined here"));
  } else if (const Symbol* sub = symbols.find_subroutine(target)) {
    say("the jump target " + target + " is a subroutine, not a label",
        "call the subroutine by writing its name as the statement");
    d_.notes.push_back(definition_note(*sub, context_, target + " is defined here"));
  } else {
    d_.name_undefined = true;
    say("the jump target " + target + " is not defined");
  }
}

void Explainer::explain_literal_operation(const Written& written, std::size_t operand2_from) {
  const OperationForms forms = operation_forms(record_);
  if (!forms.literal_word) {
    blame(written.operand1);
    say(std::string(instruction_name(forms.register_word.value_or(0) | 0x80)) +
            " takes a register, and " + quoted(written.operand1) + " is a literal",
        "write the register in parentheses: (" + written.operand1 + ")");
    return;
  }
  if (written.operand2.empty()) {
    blame_statement();
  } else {
    blame(written.operand2, operand2_from);
  }
  say(std::string(instruction_name(*forms.literal_word)) +
          " puts its result in W only, and the destination is " +
          (written.operand2.empty() ? std::string("the register") : quoted(written.operand2)),
      "write W as the destination");
}

void Explainer::explain_operation() {
  const Written written = written_operands(record_);
  const std::size_t after1 =
      written.operand1.empty() ? 0 : find_word(layout_.statement.text, written.operand1, 0);
  const std::size_t operand2_from =
      after1 == std::string::npos ? 0 : after1 + written.operand1.size();
  const std::string_view destination = record_.operand2;
  const auto destination_fault = [&] {
    blame(written.operand2, operand2_from);
    if (written.operand2 == "M" || written.operand2 == "m") {
      say("M is defined as a symbol, so it no longer reads as the destination letter",
          "write F as the destination");
      return;
    }
    say("the destination " + quoted(written.operand2) + " is not W, F or M");
  };
  if (destination.size() >= 2) return destination_fault();
  if (number_value(record_.operand1)) return explain_literal_operation(written, operand2_from);
  if (const OperationForms forms = operation_forms(record_);
      !forms.register_word && forms.literal_word) {
    blame(written.operand1);
    say(std::string(instruction_name(*forms.literal_word)) + " takes a literal, and " +
            quoted(written.operand1) + " is a register",
        "write the value without parentheses");
    return;
  }
  if (!destination.empty() && destination != "W" && destination != "w" && destination != "F" &&
      destination != "f" && destination != "M" && destination != "m") {
    return destination_fault();
  }
  if (blame_term(written.operand1, 0)) return;
  blame(written.operand1);
  say(quoted(written.operand1) + " is neither a number nor a register");
}

void Explainer::explain_bit() {
  const Written written = written_operands(record_);
  const std::size_t after1 = find_word(layout_.statement.text, written.operand1, 0);
  const std::size_t bit_from = after1 == std::string::npos ? 0 : after1 + written.operand1.size();
  if (faulty_term(written.operand2, context_)) {
    blame_term(written.operand2, bit_from);
    return;
  }
  const std::optional<std::uint32_t> bit = operand_value(written.operand2, context_);
  if (!bit || *bit > 7) {
    blame(written.operand2, bit_from);
    const std::string value = bit ? std::to_string(*bit) : std::string("not a number");
    say(value == written.operand2
            ? "the bit number " + value + " is not 0 to 7"
            : "the bit number " + quoted(written.operand2) + " is " + value + ", not 0 to 7");
    return;
  }
  if (written.operand1.empty() || written.operand1.front() != '(') {
    blame(written.operand1);
    say(quoted(written.operand1) + " is not a register",
        "write the register in parentheses: (" + written.operand1 + ")");
    return;
  }
  if (blame_term(written.operand1, 0)) return;
  blame(written.operand1);
  say(quoted(written.operand1) + " is not a register");
}

void Explainer::explain() {
  switch (d_.kind) {
    case DiagnosticKind::grammar_error:
    case DiagnosticKind::unmatched:
      return explain_grammar();
    case DiagnosticKind::macro_unended:
      blame_statement();
      return say("the macro's definition runs to the end of the source without END MACRO",
                 "close the definition with END MACRO");
    case DiagnosticKind::data_byte_error:
      return explain_number_directive("DE");
    case DiagnosticKind::raw_data_error: {
      const std::string data = written_operands(record_).operand1;
      blame(data);
      return say("a data line holds 2, 4, 6 or 8 hexadecimal digits, and " + quoted(data) +
                 " has " + std::to_string(data.size()));
    }
    case DiagnosticKind::origin_error:
      return explain_origin();
    case DiagnosticKind::constant_error:
      return explain_number_directive("EQU");
    case DiagnosticKind::ram_error:
      return explain_number_directive("RAM=");
    case DiagnosticKind::reservation_error:
      return explain_number_directive("[n]");
    case DiagnosticKind::jump_error:
      return explain_jump();
    case DiagnosticKind::call_error:
      blame_statement();
      return say("the subroutine " + std::string(record_.statement) +
                 " has no address: no assembled line gave it one (it stands in a macro body "
                 "that is never expanded)");
    case DiagnosticKind::operation_error:
      return explain_operation();
    case DiagnosticKind::bit_error:
      return explain_bit();
    case DiagnosticKind::macro_nest_error:
    case DiagnosticKind::macro_size_error: {
      d_.span = whole_statement(d_.source_line);
      // The record's statement reads "macro NAME (DEPTH)".
      std::string_view name = record_.statement.view();
      name.remove_prefix(std::min<std::size_t>(6, name.size()));
      d_.name = std::string(name.substr(0, name.rfind(" (")));
      return say(d_.kind == DiagnosticKind::macro_nest_error
                     ? "the call of macro " + d_.name + " nests deeper than " +
                           std::to_string(MacroExpander::kMaxDepth) +
                           " macro calls (does it call itself?)"
                     : "the call of macro " + d_.name + " would expand the program beyond " +
                           std::to_string(context_.macro_line_limit) + " lines");
    }
    default:
      return;
  }
}

void Explainer::explain_duplicate(bool subroutine) {
  const auto& entries = context_.symbols.entries();
  if (entries.empty()) return;
  const Symbol& added = entries.back();
  const Symbol* first = nullptr;
  for (std::size_t i = 0; i + 1 < entries.size() && first == nullptr; ++i) {
    const Symbol& entry = entries[i];
    const bool same = subroutine ? entry.subroutine == added.subroutine
                                 : entry.name == added.name && entry.subroutine == added.subroutine;
    if (same) first = &entry;
  }
  if (subroutine) {
    blame(added.subroutine);
    say("the subroutine " + added.subroutine + " is defined twice");
  } else {
    blame_label();
    say("the label " + added.name + " is defined twice in " + scope_name(added));
  }
  if (first != nullptr) {
    d_.notes.push_back(definition_note(*first, context_, "first defined here"));
  }
}

void Explainer::explain_pass1(const MacroTable& macros) {
  switch (d_.kind) {
    case DiagnosticKind::duplicate_label:
      return explain_duplicate(false);
    case DiagnosticKind::duplicate_subroutine:
      return explain_duplicate(true);
    case DiagnosticKind::too_many_symbols:
      if (record_.label.empty()) {
        blame_statement();
      } else {
        blame_label();
      }
      return say("the program defines more than " + std::to_string(SymbolTable::kCapacity) +
                 " labels, constants and subroutines");
    case DiagnosticKind::macro_name_too_long: {
      const std::string_view statement = record_.statement;
      const std::size_t header = find_nocase(statement, "MACRO ");
      const std::string name(statement.substr(header == std::string_view::npos ? 0 : header + 6));
      blame(name);
      return say("the macro name " + name + " has " + std::to_string(name.size()) +
                 " characters; at most " + std::to_string(MacroTable::kLongestAcceptedName) +
                 " are allowed");
    }
    case DiagnosticKind::too_many_macros:
      // Reported at the END MACRO line that closes one definition too many.
      blame_statement();
      if (!macros.entries().empty()) d_.name = macros.entries().back().name;
      return say("the program defines more than " + std::to_string(MacroTable::kCapacity) +
                 " macros; " + d_.name + " is one too many");
    default:
      return;
  }
}

}  // namespace

const Symbol* LocalLabels::find(const SymbolTable& symbols, std::string_view name) {
  if (!built_) {
    for (const Symbol& entry : symbols.entries()) {
      const std::string_view label = entry.name;
      if (label.size() < 2 || label.back() != ':' || label[label.size() - 2] == ':') continue;
      first_.try_emplace(label.substr(0, label.size() - 1), &entry);
    }
    built_ = true;
  }
  const auto found = first_.find(name);
  return found == first_.end() ? nullptr : found->second;
}

std::string_view line_at(std::string_view source, std::size_t offset) {
  offset = std::min(offset, source.size());
  const std::size_t feed_before =
      offset == 0 ? std::string_view::npos : source.rfind('\n', offset - 1);
  const std::size_t begin = feed_before == std::string_view::npos ? 0 : feed_before + 1;
  std::size_t end = std::min(source.find('\n', offset), source.size());
  if (end > begin && source[end - 1] == '\r') --end;
  return source.substr(begin, end - begin);
}

std::optional<ColumnSpan> statement_span(std::string_view source_line, std::string_view text,
                                         std::size_t from) {
  const PlacedLine layout(source_line);
  const std::size_t at = find_word(layout.statement.text, text, from);
  if (at == std::string::npos) return std::nullopt;
  return span_in_statement(layout, at, text.size());
}

void explain_error(Diagnostic& diagnostic, const LineRecord& record,
                   const ExplainContext& context) {
  if (diagnostic.kind == DiagnosticKind::grammar_error &&
      record.statement.view() == texts::kMacroAbnormalEnd) {
    diagnostic.kind = DiagnosticKind::macro_unended;
  }
  Explainer(diagnostic, record, context).explain();
}

void explain_pass1_stop(Diagnostic& diagnostic, const LineRecord& record, const MacroTable& macros,
                        const ExplainContext& context) {
  Explainer(diagnostic, record, context).explain_pass1(macros);
}

void place_warning(Diagnostic& diagnostic, const LineRecord& record, std::string_view term) {
  const std::string_view line = diagnostic.source_line;
  const PlacedLine layout(line);
  switch (diagnostic.kind) {
    case DiagnosticKind::label_cut:
      if (layout.label_end() > kLabelCapacity) {
        diagnostic.span = raw_span(kLabelCapacity, layout.label_end());
      }
      diagnostic.name = std::string(record.label);
      return;
    case DiagnosticKind::remark_cut:
      if (layout.parts.has_remark()) {
        diagnostic.span = raw_span(layout.parts.remark_begin + kRemarkCapacity, line.size());
      }
      return;
    case DiagnosticKind::statement_cut:
      if (layout.statement.text.size() > kStatementCapacity) {
        diagnostic.span = span_in_statement(layout, kStatementCapacity,
                                            layout.statement.text.size() - kStatementCapacity);
      }
      return;
    case DiagnosticKind::utf8_source: {
      const auto beyond = std::find_if(
          line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
      if (beyond == line.end()) return;
      const auto begin = static_cast<std::size_t>(beyond - line.begin());
      std::size_t end = begin + 1;
      while (end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) ++end;
      diagnostic.span = raw_span(begin, end);
      return;
    }
    case DiagnosticKind::unwritten_number:
    case DiagnosticKind::operator_ignored:
      if (!term.empty()) {
        diagnostic.name = std::string(term);
        diagnostic.span = statement_span(line, term);
        return;
      }
      break;
    case DiagnosticKind::repeated_symbol:
      if (!record.label.empty() && layout.label_end() > 0) {
        diagnostic.name = std::string(record.label);
        diagnostic.span = raw_span(line.find_first_not_of(" \t"), layout.label_end());
        return;
      }
      break;
    case DiagnosticKind::registers_outside_bank0: {
      // The register within its parentheses.
      std::string operand = written_operands(record).operand1;
      if (operand.size() > 2 && operand.front() == '(' && operand.back() == ')') {
        operand = operand.substr(1, operand.size() - 2);
      }
      if (!operand.empty()) {
        diagnostic.name = operand;
        diagnostic.span = statement_span(line, operand);
        return;
      }
      break;
    }
    case DiagnosticKind::data_byte_cut:
    case DiagnosticKind::raw_word_not_hex:
    case DiagnosticKind::literal_too_wide:
    case DiagnosticKind::jump_target_other_page: {
      const std::string operand = written_operands(record).operand1;
      if (!operand.empty()) {
        diagnostic.name = operand;
        diagnostic.span = statement_span(line, operand);
        return;
      }
      break;
    }
    default:
      break;
  }
  diagnostic.span = span_in_statement(layout, 0, layout.statement.text.size());
}

DiagnosticNote macro_call_note(const SourceLocation& call, std::string_view call_line) {
  const PlacedLine layout(call_line);
  const std::string_view statement = layout.statement.text;
  const std::string_view macro = statement.substr(0, statement.find(' '));
  DiagnosticNote note;
  note.where = call;
  note.span = span_in_statement(layout, 0, macro.size());
  note.text = "in the expansion of the macro " + std::string(macro) + " called here";
  return note;
}

}  // namespace korva

namespace korva {
namespace {

// The level n of a mark "PREFIX(n)", if the statement is one.
std::optional<std::size_t> mark_level(std::string_view statement, std::string_view prefix) {
  if (!statement.starts_with(prefix) || !statement.ends_with(")")) return std::nullopt;
  const std::size_t open = statement.rfind(" (");
  if (open == std::string_view::npos || open + 3 > statement.size()) return std::nullopt;
  std::size_t level = 0;
  for (const char c : statement.substr(open + 2, statement.size() - open - 3)) {
    if (c < '0' || c > '9') return std::nullopt;
    level = level * 10 + static_cast<std::size_t>(c - '0');
  }
  return level;
}

}  // namespace

std::optional<MacroCallTrail::Mark> MacroCallTrail::mark_of(const LineRecord& record) {
  const std::string_view statement = record.statement;
  if (has_kind(record, RecordKind::macro)) {
    if (const std::optional<std::size_t> level = mark_level(statement, "macro ")) {
      return Mark{true, *level};
    }
  } else if (has_kind(record, RecordKind::rem)) {
    if (const std::optional<std::size_t> level = mark_level(statement, "end macro ")) {
      return Mark{false, *level};
    }
  }
  return std::nullopt;
}

void MacroCallTrail::follow_mark(const std::optional<Mark>& mark, std::size_t offset,
                                 bool source_line) {
  if (source_line) calls_.clear();
  if (!mark) return;
  calls_.resize(std::min(mark->level, calls_.size()));
  if (mark->opens) calls_.push_back(offset);
}

void MacroCallTrail::add_notes(std::vector<DiagnosticNote>& notes, const SourceMap& map,
                               std::string_view source) {
  if (made_.size() > calls_.size()) made_.resize(calls_.size());
  for (std::size_t level = 0; level < calls_.size(); ++level) {
    const std::size_t call = calls_[level];
    if (level == made_.size()) {
      made_.push_back({call, macro_call_note(map.locate(call), line_at(source, call))});
    } else if (made_[level].call != call) {
      made_[level] = {call, macro_call_note(map.locate(call), line_at(source, call))};
    }
  }
  notes.reserve(notes.size() + made_.size());
  for (auto made = made_.rbegin(); made != made_.rend(); ++made) notes.push_back(made->note);
}

}  // namespace korva
