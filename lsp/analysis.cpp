#include "lsp/analysis.h"

#include <algorithm>
#include <set>

#include "source/line_layout.h"
#include "support/names.h"
#include "support/text.h"

namespace korva::lsp {
namespace {

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && find_nocase(text.substr(0, prefix.size()), prefix) == 0;
}

NameKind kind_of(SymbolKind kind) {
  switch (kind) {
    case SymbolKind::global_label:
      return NameKind::global_label;
    case SymbolKind::local_label:
      return NameKind::local_label;
    case SymbolKind::subroutine:
      return NameKind::subroutine;
    case SymbolKind::constant:
      return NameKind::constant;
    case SymbolKind::reservation:
      return NameKind::reservation;
  }
  return NameKind::global_label;
}

// The kind of a definition read from its line, where the assembly stopped
// before it had the facts.
NameKind kind_from_line(std::string_view line) {
  const LineLayout parts = layout_line(line);
  const std::string statement = collapse_statement(line, parts).text;
  if (starts_with_nocase(statement, "SUB ")) return NameKind::subroutine;
  if (!parts.has_label()) return NameKind::global_label;
  if (starts_with_nocase(statement, "EQU") || statement.starts_with('=')) {
    return NameKind::constant;
  }
  if (statement.starts_with('[')) return NameKind::reservation;
  const std::string_view label = line.substr(0, parts.label_end);
  return label.ends_with("::") ? NameKind::global_label : NameKind::local_label;
}

}  // namespace

std::string_view kind_text(NameKind kind) {
  switch (kind) {
    case NameKind::global_label:
      return "global label";
    case NameKind::local_label:
      return "local label";
    case NameKind::subroutine:
      return "subroutine";
    case NameKind::constant:
      return "constant";
    case NameKind::reservation:
      return "reservation";
    case NameKind::macro:
      return "macro";
  }
  return "name";
}

ProjectAnalysis::ProjectAnalysis(ProjectPlan plan, std::vector<SourceText> texts)
    : plan_(std::move(plan)), texts_(std::move(texts)) {
  SourceSet sources;
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    const Expected<void> added = sources.add(plan_.entries[i], texts_[i].cp932());
    if (!added) {
      result_.outcome = ServiceOutcome::stopped;
      Diagnostic diagnostic;
      diagnostic.where = SourceLocation{plan_.entries[i], 1, i};
      diagnostic.text = added.message();
      result_.diagnostics.push_back(std::move(diagnostic));
      return;
    }
  }
  const JoinedSources joined = sources.joined;
  ServiceOptions options;
  options.collect_facts = true;
  options.collect_symbol_facts = true;
  options.definition_files = plan_.definition_files;
  options.output_base = plan_.output_base;
  AssemblyService service;
  result_ = service.assemble(std::move(sources), options);
  const SourceMap map(joined.text, plan_.entries, joined.file_starts);

  collect_blocks_and_calls();
  collect_definitions();
  for (const MacroDefinition& macro : service.macros().entries()) {
    if (!macro.body_end || macro.body_start == 0 || macro.name.empty()) continue;
    const SourceLocation header = map.locate(macro.body_start - 1);
    const std::size_t line = header.line - 1;
    const std::string_view text = texts_[header.file_index].cp932_line(line);
    const std::size_t after_keyword = find_nocase(text, "MACRO");
    const std::size_t column =
        text.find(macro.name, after_keyword == std::string_view::npos ? 0 : after_keyword + 5);
    definitions_.push_back(
        NameDefinition{macro.name,
                       NameKind::macro,
                       {},
                       Place{header.file_index, line, column == std::string_view::npos ? 0 : column,
                             macro.name.size()},
                       std::nullopt,
                       std::nullopt});
  }
  collect_bit_uses();
  if (plan_.definition_files > 0) chip_ = read_chip_file(texts_.front().cp932());
}

ProjectAnalysis::ProjectAnalysis(ProjectPlan plan, std::vector<SourceText> texts,
                                 std::string problem)
    : ProjectAnalysis(std::move(plan), std::move(texts)) {
  Diagnostic diagnostic;
  diagnostic.severity = Severity::error;
  const std::size_t last = plan_.paths.size() - 1;
  diagnostic.where = SourceLocation{plan_.entries[last], 1, last};
  diagnostic.text = std::move(problem);
  result_.diagnostics.insert(result_.diagnostics.begin(), std::move(diagnostic));
}

void ProjectAnalysis::collect_definitions() {
  if (!result_.symbol_facts) return;
  // The facts' kinds and values by the defining line and name.
  std::map<std::tuple<std::size_t, std::size_t, std::string>, const ProgramSymbol*> by_line;
  if (result_.facts) {
    for (const ProgramSymbol& symbol : result_.facts->symbols) {
      if (symbol.place) {
        by_line.emplace(std::tuple{std::size_t{symbol.place->file}, std::size_t{symbol.place->line},
                                   symbol.name},
                        &symbol);
      }
    }
  }
  for (const SymbolOccurrence& occurrence : result_.symbol_facts->definitions) {
    const SymbolSpan& span = occurrence.span;
    const Place at{span.where.file_index, span.where.line - 1, span.column - 1, span.length};
    NameDefinition definition{occurrence.name, NameKind::global_label, {}, at, {}, {}};
    const auto found =
        by_line.find(std::tuple{span.where.file_index, span.where.line, occurrence.name});
    if (found != by_line.end()) {
      definition.kind = kind_of(found->second->kind);
      definition.scope = found->second->scope;
      definition.value = found->second->value;
      definition.size = found->second->size;
    } else {
      definition.kind = kind_from_line(texts_[at.file].cp932_line(at.line));
      if (definition.kind == NameKind::local_label) {
        definition.scope = scope_at(at.file, at.line);
      }
    }
    definitions_.push_back(std::move(definition));
  }
  for (const SymbolOccurrence& occurrence : result_.symbol_facts->references) {
    const SymbolSpan& span = occurrence.span;
    uses_.push_back(NameUse{occurrence.name, Place{span.where.file_index, span.where.line - 1,
                                                   span.column - 1, span.length}});
  }
}

void ProjectAnalysis::collect_blocks_and_calls() {
  std::vector<std::pair<std::size_t, std::size_t>> calls;  // file, line of one-word statements
  for (std::size_t file = 0; file < texts_.size(); ++file) {
    std::optional<Block> subroutine;
    std::optional<Block> macro;
    const SourceText& text = texts_[file];
    for (std::size_t line = 0; line < text.line_count(); ++line) {
      const std::string_view source = text.cp932_line(line);
      const CollapsedStatement statement = collapse_statement(source, layout_line(source));
      const std::string& s = statement.text;
      if (starts_with_nocase(s, "END SUB") && subroutine) {
        subroutine->last_line = line;
        blocks_.push_back(std::move(*subroutine));
        subroutine.reset();
      } else if (starts_with_nocase(s, "END MACRO") && macro) {
        macro->last_line = line;
        blocks_.push_back(std::move(*macro));
        macro.reset();
      } else if (starts_with_nocase(s, "SUB ") && !macro) {
        if (subroutine) blocks_.push_back(*subroutine);
        subroutine = Block{NameKind::subroutine, s.substr(4), file, line, line};
      } else if (starts_with_nocase(s, "MACRO ")) {
        macro = Block{NameKind::macro, s.substr(6), file, line, line};
      } else if (is_name(s)) {
        calls.emplace_back(file, line);
      }
    }
    for (std::optional<Block>* open : {&subroutine, &macro}) {
      if (*open) {
        (*open)->last_line = text.line_count() - 1;
        blocks_.push_back(std::move(**open));
      }
    }
  }
  std::set<std::string, std::less<>> macro_names;
  for (const Block& block : blocks_) {
    if (block.kind == NameKind::macro) macro_names.insert(block.name);
  }
  for (const auto& [file, line] : calls) {
    const std::string_view source = texts_[file].cp932_line(line);
    const CollapsedStatement statement = collapse_statement(source, layout_line(source));
    if (macro_names.count(statement.text) > 0) {
      uses_.push_back(NameUse{statement.text,
                              Place{file, line, statement.columns.front(), statement.text.size()}});
    }
  }
}

// Bit names written after _BIT ("(PORTB)_BITLED<1"), which the symbol facts
// read as one word.
void ProjectAnalysis::collect_bit_uses() {
  std::set<std::string, std::less<>> names;
  for (const NameDefinition& definition : definitions_) names.insert(definition.name);
  for (std::size_t file = plan_.definition_files; file < texts_.size(); ++file) {
    const SourceText& text = texts_[file];
    for (std::size_t line = 0; line < text.line_count(); ++line) {
      const std::string_view source = text.cp932_line(line);
      const LineLayout parts = layout_line(source);
      const std::string_view statement = source.substr(0, parts.statement_end);
      for (std::size_t at = find_nocase(statement, "_BIT"); at != std::string_view::npos;
           at = find_nocase(statement.substr(at + 1), "_BIT") == std::string_view::npos
                    ? std::string_view::npos
                    : at + 1 + find_nocase(statement.substr(at + 1), "_BIT")) {
        // "_BIT" starts a name of its own, and the bit's name follows it.
        const std::optional<NameSpan> word = korva::name_at(statement, at);
        if (!word || word->begin != at) continue;
        const std::string_view name = statement.substr(at + 4, word->end - at - 4);
        if (!name.empty() && names.count(name) > 0) {
          uses_.push_back(NameUse{std::string(name), Place{file, line, at + 4, name.size()}});
        }
      }
    }
  }
}

std::size_t ProjectAnalysis::file_of(const SourceLocation& where) const {
  return std::min(where.file_index, texts_.empty() ? 0 : texts_.size() - 1);
}

std::optional<NameUse> ProjectAnalysis::name_at(std::size_t file, std::size_t line,
                                                std::size_t column) const {
  if (file >= texts_.size()) return std::nullopt;
  const std::string_view text = texts_[file].cp932_line(line);
  const LineLayout parts = layout_line(text);
  const std::size_t end = std::min(parts.remark_begin, text.size());
  if (column > end) return std::nullopt;
  const std::optional<NameSpan> word = korva::name_at(text.substr(0, end), column);
  if (!word) return std::nullopt;
  std::size_t begin = word->begin;
  const std::size_t stop = word->end;
  // "_BITNAME": the bit NAME after the notation's _BIT.
  if (stop - begin > 4 && find_nocase(text.substr(begin, 4), "_BIT") == 0) begin += 4;
  if (text[begin] >= '0' && text[begin] <= '9') return std::nullopt;
  return NameUse{std::string(text.substr(begin, stop - begin)),
                 Place{file, line, begin, stop - begin}};
}

std::string ProjectAnalysis::scope_at(std::size_t file, std::size_t line) const {
  for (const Block& block : blocks_) {
    if (block.kind == NameKind::subroutine && block.file == file && block.first_line <= line &&
        line <= block.last_line) {
      return block.name;
    }
  }
  return {};
}

const NameDefinition* ProjectAnalysis::resolve(std::string_view name, std::size_t file,
                                               std::size_t line) const {
  const std::string scope = scope_at(file, line);
  const NameDefinition* global = nullptr;
  const NameDefinition* local_elsewhere = nullptr;
  for (const NameDefinition& definition : definitions_) {
    if (definition.name != name) continue;
    if (definition.kind == NameKind::local_label) {
      if (definition.scope == scope) return &definition;
      if (definition.at.file == file && definition.at.line == line) return &definition;
      if (local_elsewhere == nullptr) local_elsewhere = &definition;
    } else if (global == nullptr) {
      global = &definition;
    }
  }
  return global != nullptr ? global : local_elsewhere;
}

std::vector<Place> ProjectAnalysis::occurrences(const NameDefinition& definition) const {
  std::vector<Place> places;
  for (const NameDefinition& other : definitions_) {
    if (other.name == definition.name &&
        resolve(other.name, other.at.file, other.at.line) == &definition) {
      places.push_back(other.at);
    }
  }
  for (const NameUse& use : uses_) {
    if (use.name == definition.name && resolve(use.name, use.at.file, use.at.line) == &definition) {
      places.push_back(use.at);
    }
  }
  return places;
}

// Read from the program facts when asked (a hover), not made for every
// line at each change.
std::vector<PlacedWord> ProjectAnalysis::words_at(std::size_t file, std::size_t line) const {
  std::vector<PlacedWord> words;
  if (!result_.facts) return words;
  const ProgramFacts& facts = *result_.facts;
  for (const WordPlaces::Run& run : facts.word_places.runs()) {
    if (run.place.line != line + 1 || run.place.file != file) continue;
    for (std::size_t address = run.first; address < run.end; ++address) {
      if (2 * address + 1 >= facts.image.size()) break;
      const auto low = static_cast<unsigned char>(facts.image[2 * address]);
      const auto high = static_cast<unsigned char>(facts.image[2 * address + 1]);
      words.push_back(PlacedWord{static_cast<std::uint32_t>(address),
                                 static_cast<std::uint32_t>(high << 8 | low)});
    }
  }
  return words;
}

}  // namespace korva::lsp
