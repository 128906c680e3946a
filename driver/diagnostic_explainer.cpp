#include "driver/diagnostic_explainer.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "codegen/hex_text.h"
#include "driver/explanations.h"
#include "patterns/instruction_set.h"
#include "patterns/matcher.h"
#include "patterns/pattern_table.h"
#include "resources/system_texts.h"
#include "source/line_layout.h"
#include "support/names.h"
#include "support/text.h"
#include "symbols/macro_expander.h"

namespace korva {
namespace {

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
    if (stands_apart(within, at, at + text.size())) return at;
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

// The record's operands as its statement writes them: the passes rewrite
// the record's own (numbers as hexadecimal, terms as values).
struct Written {
  std::string operand1;
  std::string operand2;
};

Written written_operands(const LineRecord& record) {
  const PatternEntry* entry = pattern_of(record);
  if (entry == nullptr) return {};
  const std::array<std::string_view, 3> operands =
      korva::written_operands(*entry, record.statement);
  Written written{std::string(operands[0]), std::string(operands[1])};
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

// A number written as other assemblers write it, with how to write it
// here; none for any other text.
struct Said {
  std::string explanation;
  std::string hint;
};
std::optional<Said> foreign_number(std::string_view text) {
  const auto hex_digits = [](std::string_view digits) {
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
      return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
  };
  const std::string quoted_text = quoted(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      hex_digits(text.substr(2))) {
    return Said{explanation_text(Explanation::foreign_hex, {quoted_text}),
                hint_text(Hint::write_hex_digits, {text.substr(2)})};
  }
  if (text.size() >= 3 && (text[0] == 'B' || text[0] == 'b') && text[1] == '\'' &&
      text.back() == '\'') {
    return Said{explanation_text(Explanation::foreign_binary, {quoted_text}),
                hint_text(Hint::write_binary_in_hex)};
  }
  if (text.size() == 3 && text[0] == '\'' && text[2] == '\'') {
    return Said{explanation_text(Explanation::foreign_character, {quoted_text}),
                hint_text(Hint::write_character_code,
                          {hex4(static_cast<unsigned char>(text[1])).substr(2)})};
  }
  return std::nullopt;
}

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

// Why a term that the evaluation stopped at has no value.
struct TermFault {
  std::string term;  // as the culprit, without blanks around it
  Said said;
  bool undefined = false;
  const Symbol* symbol = nullptr;  // the entry the explanation is about
};

TermFault fault_of_term(std::string_view term, std::string_view operand,
                        const ExplainContext& context) {
  const SymbolTable& symbols = context.symbols;
  TermFault fault;
  std::string trimmed(term);
  collapse_blanks(trimmed);
  fault.term = trimmed;
  const auto say = [&](Explanation explanation, std::string_view value2 = {},
                       Hint hint = Hint::none) {
    fault.said = Said{explanation_text(explanation, {trimmed, value2}), hint_text(hint, {trimmed})};
    return fault;
  };
  if (trimmed.empty()) {
    fault.said.explanation = explanation_text(Explanation::term_missing, {quoted(operand)});
    return fault;
  }
  if (trimmed != term && (number_value(trimmed) || has_value(symbols.find_global(trimmed)))) {
    return say(Explanation::term_with_blank, quoted(term), Hint::operand_without_blanks);
  }
  if (std::optional<Said> foreign = foreign_number(trimmed)) {
    fault.said = std::move(*foreign);
    return fault;
  }
  if (trimmed == "W" || trimmed == "w" || trimmed == "F" || trimmed == "f") {
    return say(Explanation::term_destination_letter);
  }
  if (const Symbol* global = symbols.find_global(trimmed)) {
    fault.symbol = global;
    return say(Explanation::term_without_value);
  }
  if (const Symbol* local = local_label(context, trimmed)) {
    fault.symbol = local;
    return say(Explanation::term_local_label, scope_name(*local), Hint::make_label_global);
  }
  if (symbols.find_subroutine(trimmed) != nullptr) return say(Explanation::term_subroutine);
  fault.undefined = true;
  return say(Explanation::term_undefined);
}

class Explainer {
 public:
  Explainer(Diagnostic& diagnostic, const LineRecord& record, const ExplainContext& context)
      : d_(diagnostic), record_(record), context_(context), layout_(d_.source_line) {}

  // Names `text` (a part of the collapsed statement, found from `from` on)
  // as the culprit and spans it; returns where it ends.
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

  void say(Explanation explanation, std::initializer_list<std::string_view> values = {},
           Hint hint = Hint::none) {
    d_.explanation = explanation_text(explanation, values);
    d_.hint = hint_text(hint, values);
  }
  void say(Said said) {
    d_.explanation = std::move(said.explanation);
    d_.hint = std::move(said.hint);
  }

  void explain();
  void explain_pass1(const MacroTable& macros);

 private:
  void explain_grammar();
  bool explain_enhanced_form();
  void explain_enhanced_operand(const EncodingFault& fault, const std::string& name,
                                const std::string& written);
  void explain_number_directive(std::string_view directive);
  void explain_origin();
  void explain_jump();
  void explain_encoding(const EncodingFault& fault);
  void blame_term(const EncodingFault& fault, std::size_t operand_at);
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
  say(Explanation::unknown_statement, {quoted(statement)});
  if (upper.empty()) return;
  for (const Symbol& entry : context_.symbols.entries()) {
    if (entry.is_subroutine && entry.subroutine.size() == upper.size() &&
        equals_nocase(entry.subroutine, upper)) {
      d_.hint = hint_text(Hint::subroutine_letter_case, {entry.subroutine});
      return;
    }
  }
}

void Explainer::explain_number_directive(std::string_view directive) {
  const Written written = written_operands(record_);
  if (written.operand1.empty()) {
    blame_statement();
    say(Explanation::number_missing, {directive});
    return;
  }
  blame(written.operand1);
  if (std::optional<Said> foreign = foreign_number(written.operand1)) {
    say(std::move(*foreign));
    return;
  }
  if (has_value(context_.symbols.find_global(written.operand1))) {
    say(Explanation::symbol_not_number, {directive, written.operand1});
    return;
  }
  say(Explanation::not_a_number, {quoted(written.operand1)});
}

void Explainer::explain_origin() {
  if (!has_kind(record_, RecordKind::org)) return explain_number_directive("ORG");
  const Written written = written_operands(record_);
  blame(written.operand1);
  say(Explanation::origin_behind, {written.operand1, record_.address});
}

void Explainer::explain_jump() {
  const std::string target = written_operands(record_).operand1;
  blame(target, layout_.statement.text.rfind(target));
  if (context_.fault != nullptr && context_.fault->cause == OperationFault::value_out_of_range) {
    const std::int32_t offset = context_.fault->signed_value;
    return say(Explanation::branch_out_of_reach,
               {target, (offset > 0 ? "+" : "") + std::to_string(offset)});
  }
  const SymbolTable& symbols = context_.symbols;
  const Symbol* defined = nullptr;
  if (const Symbol* global = symbols.find_global(target)) {
    defined = global;
    say(Explanation::jump_target_without_value, {target});
  } else if (const Symbol* local = local_label(context_, target)) {
    defined = local;
    say(Explanation::jump_target_local, {target, scope_name(*local)}, Hint::make_label_global);
  } else if (const Symbol* sub = symbols.find_subroutine(target)) {
    defined = sub;
    say(Explanation::jump_target_subroutine, {target}, Hint::call_by_name);
  } else {
    d_.name_undefined = true;
    say(Explanation::jump_target_undefined, {target});
  }
  if (defined != nullptr) {
    d_.notes.push_back(
        definition_note(*defined, context_, explanation_text(Explanation::defined_here, {target})));
  }
}

// The operand's term that the evaluation stopped at is the culprit.
void Explainer::blame_term(const EncodingFault& fault, std::size_t operand_at) {
  const std::string_view written = fault.written();
  const TermPlace place = fault.term.value_or(TermPlace{0, written.size()});
  const std::string_view term = written.substr(std::min(place.offset, written.size()), place.size);
  TermFault found = fault_of_term(term, written, context_);
  // The term within the operand: blanks before it move it on.
  const std::size_t leading = term.find_first_not_of(' ');
  if (found.term.empty()) {
    blame(written, operand_at);  // an operator without its term: the operand as a whole
  } else {
    blame(found.term,
          operand_at + place.offset + (leading == std::string_view::npos ? 0 : leading));
  }
  d_.name_undefined = found.undefined;
  if (found.symbol != nullptr && !found.undefined) {
    d_.notes.push_back(definition_note(*found.symbol, context_,
                                       explanation_text(Explanation::defined_here, {found.term})));
  }
  say(std::move(found.said));
}

// The instruction a record's operation makes, in standard mnemonics, its
// literal form's or its register form's; a selection by its form.
std::string operation_name(const LineRecord& record, bool literal) {
  const PatternEntry* entry = pattern_of(record);
  if (entry != nullptr && entry->type == PatternType::selection) {
    return "x>" + std::string(entry->mnemonic);
  }
  if (entry != nullptr && is_enhanced_form(*entry)) {
    return std::string(instruction_name(entry->word.value_or(0), CoreFamily::enhanced));
  }
  const std::optional<std::uint16_t> word = entry == nullptr ? std::nullopt
                                            : literal        ? entry->literal_word
                                                             : entry->word;
  return std::string(literal ? instruction_name(word.value_or(0))
                             : instruction_name(word.value_or(0) | 0x80));
}

void Explainer::explain_encoding(const EncodingFault& fault) {
  const std::string_view statement = layout_.statement.text;
  const std::string& operand = fault.written();
  // Operand 2 stands after operand 1.
  std::size_t from = 0;
  if (fault.operand == 2 && !fault.operands[0].empty()) {
    const std::size_t first = find_word(statement, fault.operands[0], 0);
    if (first != std::string_view::npos) from = first + fault.operands[0].size();
  }
  const std::size_t found =
      operand.empty() ? std::string_view::npos : find_word(statement, operand, from);
  const std::size_t at = found == std::string_view::npos ? from : found;
  const auto instruction = [&](bool literal) { return operation_name(record_, literal); };
  const std::string written = quoted(operand);
  switch (fault.cause) {
    case OperationFault::destination_not_letter:
      blame(operand, from);
      if (operand == "M" || operand == "m") {
        return say(Explanation::destination_m_is_symbol, {}, Hint::destination_f);
      }
      return say(Explanation::destination_not_letter, {written});
    case OperationFault::literal_without_form:
      blame(operand, from);
      d_.explanation = explanation_text(Explanation::register_only, {instruction(false), written});
      d_.hint = hint_text(Hint::register_in_parentheses, {operand});
      return;
    case OperationFault::literal_not_into_w:
      if (operand.empty()) {
        blame_statement();
      } else {
        blame(operand, from);
      }
      return say(Explanation::result_in_w_only,
                 {instruction(true), operand.empty() ? "the register" : written},
                 Hint::destination_w);
    case OperationFault::register_without_form:
      blame(operand, from);
      return say(Explanation::literal_only, {instruction(true), written},
                 Hint::value_without_parentheses);
    case OperationFault::term_without_value:
      return blame_term(fault, at);
    case OperationFault::operand_not_register:
      blame(operand, from);
      if (has_kind(record_, RecordKind::bit) && !operand.starts_with('(')) {
        d_.explanation = explanation_text(Explanation::not_a_register, {written});
        d_.hint = hint_text(Hint::register_in_parentheses, {operand});
        return;
      }
      return say(has_kind(record_, RecordKind::bit) ? Explanation::not_a_register
                                                    : Explanation::neither_number_nor_register,
                 {written});
    case OperationFault::bit_number_register:
      if (fault.value.value_or(0) <= 7) {
        blame(operand, from);
        return say(Explanation::bit_number_register, {written},
                   Hint::bit_number_without_parentheses);
      }
      [[fallthrough]];  // out of range as well, which says more
    case OperationFault::bit_number_out_of_range: {
      blame(operand, from);
      const std::string value = std::to_string(fault.value.value_or(0));
      if (value == operand) return say(Explanation::bit_number_out_of_range, {value});
      return say(Explanation::bit_number_value_out_of_range, {written, value});
    }
    case OperationFault::fsr_not_named:
    case OperationFault::value_out_of_range:
      blame(operand, from);
      return explain_enhanced_operand(fault, instruction(false), written);
  }
}

// An operand of the enhanced core's FSR, bank and page operations.
void Explainer::explain_enhanced_operand(const EncodingFault& fault, const std::string& name,
                                         const std::string& written) {
  if (fault.cause == OperationFault::fsr_not_named) {
    return say(Explanation::fsr_not_named, {name, written});
  }
  const std::string_view what = name == "MOVLB"          ? "a bank"
                                : name == "MOVLP"        ? "a PCLATH value"
                                : name.starts_with("x>") ? "an address"
                                                         : "an offset";
  const std::string value = std::to_string(fault.signed_value);
  const std::string low = std::to_string(fault.range.low);
  const std::string high = std::to_string(fault.range.high);
  if (value == fault.written()) {
    return say(Explanation::number_out_of_range, {name, what, low, high, value});
  }
  say(Explanation::value_out_of_range, {name, what, low, high, written, value});
}

// A statement of a classic chip, or of no chip, that the enhanced table
// takes for one of its own forms: whatever the classic forms made of it,
// the diagnostic says which core has the instruction.
bool Explainer::explain_enhanced_form() {
  if (context_.chip != nullptr && context_.chip->core == CoreFamily::enhanced) return false;
  const std::string_view statement = record_.statement;
  const PatternEntry* enhanced = fitting_entry(statement, CoreFamily::enhanced);
  if (enhanced == nullptr || !is_enhanced_form(*enhanced)) return false;
  blame_statement();
  const std::string mnemonic(instruction_name(enhanced->word.value_or(0), CoreFamily::enhanced));
  if (context_.chip != nullptr) {
    say(Explanation::enhanced_form_on_classic_chip,
        {quoted(statement), mnemonic, context_.chip->name}, Hint::name_enhanced_chip);
  } else {
    say(Explanation::enhanced_form_without_chip, {quoted(statement), mnemonic},
        Hint::name_enhanced_chip);
  }
  return true;
}

void Explainer::explain() {
  switch (d_.kind) {
    case DiagnosticKind::grammar_error:
    case DiagnosticKind::unmatched:
    case DiagnosticKind::jump_error:
    case DiagnosticKind::call_error:
    case DiagnosticKind::operation_error:
    case DiagnosticKind::bit_error:
      if (explain_enhanced_form()) return;
      break;
    default:
      break;
  }
  switch (d_.kind) {
    case DiagnosticKind::grammar_error:
    case DiagnosticKind::unmatched:
      return explain_grammar();
    case DiagnosticKind::macro_unended:
      blame_statement();
      return say(Explanation::macro_unended, {}, Hint::close_macro);
    case DiagnosticKind::data_byte_error:
      return explain_number_directive("DE");
    case DiagnosticKind::raw_data_error: {
      const std::string data = written_operands(record_).operand1;
      blame(data);
      return say(Explanation::raw_data_size, {quoted(data), std::to_string(data.size())});
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
      return say(Explanation::subroutine_without_address, {record_.statement});
    case DiagnosticKind::operation_error:
    case DiagnosticKind::bit_error:
      if (context_.fault != nullptr) return explain_encoding(*context_.fault);
      return blame_statement();
    case DiagnosticKind::macro_nest_error:
    case DiagnosticKind::macro_size_error: {
      d_.span = whole_statement(d_.source_line);
      // The record's statement reads "macro NAME (DEPTH)".
      std::string_view name = record_.statement.view();
      name.remove_prefix(std::min<std::size_t>(6, name.size()));
      d_.name = std::string(name.substr(0, name.rfind(" (")));
      if (d_.kind == DiagnosticKind::macro_nest_error) {
        return say(Explanation::macro_nests_too_deep,
                   {d_.name, std::to_string(MacroExpander::kMaxDepth)});
      }
      return say(Explanation::macro_expands_too_far,
                 {d_.name, std::to_string(context_.macro_line_limit)});
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
    say(Explanation::subroutine_twice, {added.subroutine});
  } else {
    blame_label();
    say(Explanation::label_twice, {added.name, scope_name(added)});
  }
  if (first != nullptr) {
    d_.notes.push_back(
        definition_note(*first, context_, explanation_text(Explanation::first_defined_here)));
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
      return say(Explanation::too_many_symbols, {std::to_string(SymbolTable::kCapacity)});
    case DiagnosticKind::macro_name_too_long: {
      const std::string_view statement = record_.statement;
      const std::size_t header = find_nocase(statement, "MACRO ");
      const std::string name(statement.substr(header == std::string_view::npos ? 0 : header + 6));
      blame(name);
      return say(
          Explanation::macro_name_too_long,
          {name, std::to_string(name.size()), std::to_string(MacroTable::kLongestAcceptedName)});
    }
    case DiagnosticKind::too_many_macros:
      // Reported at the END MACRO line that closes one definition too many.
      blame_statement();
      if (!macros.entries().empty()) d_.name = macros.entries().back().name;
      return say(Explanation::too_many_macros, {std::to_string(MacroTable::kCapacity), d_.name});
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
  note.text = explanation_text(Explanation::expanded_from_call, {macro});
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
