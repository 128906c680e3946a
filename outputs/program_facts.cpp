#include "outputs/program_facts.h"

#include <algorithm>
#include <iterator>

#include "source/statement_splitter.h"
#include "support/hex_value.h"

namespace korva {

namespace {

std::string without_colons(std::string_view label) {
  while (!label.empty() && label.back() == ':') label.remove_suffix(1);
  return std::string(label);
}

}  // namespace

void WordPlaces::add(std::size_t first, std::size_t end, SourcePlace place) {
  if (!runs_.empty()) first = std::max(first, runs_.back().end);
  if (end <= first) return;
  if (!runs_.empty() && runs_.back().end == first && runs_.back().place == place) {
    runs_.back().end = end;
    return;
  }
  runs_.push_back(Run{first, end, place});
}

namespace {

using Runs = std::vector<WordPlaces::Run>;

// The first run that ends after `word`.
Runs::const_iterator run_ending_after(const Runs& runs, std::size_t word) {
  return std::upper_bound(runs.begin(), runs.end(), word,
                          [](std::size_t at, const WordPlaces::Run& run) { return at < run.end; });
}

}  // namespace

std::optional<SourcePlace> WordPlaces::at(std::size_t word) const {
  const auto run = run_ending_after(runs_, word);
  if (run == runs_.end() || run->first > word) return std::nullopt;
  return run->place;
}

std::size_t WordPlaces::count_in(std::size_t first, std::size_t end) const {
  std::size_t count = 0;
  if (first >= end) return count;
  for (auto run = run_ending_after(runs_, first); run != runs_.end() && run->first < end; ++run) {
    count += std::min(run->end, end) - std::max(run->first, first);
  }
  return count;
}

std::vector<WordPlaces::Run> WordPlaces::within(std::size_t first, std::size_t end) const {
  std::vector<Run> cut;
  if (first >= end) return cut;
  for (auto run = run_ending_after(runs_, first); run != runs_.end() && run->first < end; ++run) {
    cut.push_back(Run{std::max(run->first, first), std::min(run->end, end), run->place});
  }
  return cut;
}

std::optional<std::size_t> WordPlaces::last_below(std::size_t end) const {
  if (end == 0) return std::nullopt;
  const auto run = run_ending_after(runs_, end - 1);
  // The run holding `end - 1`, or else the last run before it.
  if (run != runs_.end() && run->first < end) return end - 1;
  if (run == runs_.begin()) return std::nullopt;
  return std::prev(run)->end - 1;
}

void ProgramFactsCollector::close_subroutine(std::uint32_t end) {
  if (!open_subroutine_) return;
  subroutines_by_origin_[*open_subroutine_].end = end;
  open_subroutine_.reset();
}

void ProgramFactsCollector::classified(const LineRecord& record, std::optional<std::size_t> origin,
                                       const Step& step) {
  const PatternType type = pattern_type_of(record);
  if (origin && !record.label.empty()) types_by_origin_.try_emplace(*origin, type);

  if (type == PatternType::reservation && has_kind(record, RecordKind::equ)) {
    const std::uint32_t bytes = (step.ram_after - step.ram_before) & 0xFFFF;
    reservations_.push_back({step.ram_before, bytes});
    if (origin && !record.label.empty()) reserved_by_origin_.try_emplace(*origin, bytes);
  } else if (type == PatternType::subroutine && has_kind(record, RecordKind::sub)) {
    // A SUB inside an open subroutine ends it where the new one starts.
    const std::uint32_t start = step.counter_before;
    close_subroutine(start);
    // A SUB of a macro body counts from its first expansion only.
    if (origin && subroutines_by_origin_.try_emplace(*origin, Extent{start, start}).second) {
      open_subroutine_ = origin;
    }
  } else if (type == PatternType::inherent && equals_nocase(record.statement, "END SUB")) {
    close_subroutine(step.counter_after);
  }
}

void ProgramFactsCollector::pass2_ended(std::uint32_t counter) {
  close_subroutine(counter);
}

void ProgramFactsCollector::wrote(std::size_t begin, std::size_t end, SourcePlace where) {
  if (end <= begin) return;
  word_places_.add(begin / 2, (end + 1) / 2, where);
}

ProgramFacts ProgramFactsCollector::finish(const SymbolTable& symbols, const SourceMap& map,
                                           std::vector<std::string> files, std::string image) {
  ProgramFacts facts;
  facts.files = std::move(files);
  facts.image = std::move(image);
  facts.word_places = std::move(word_places_);
  facts.reservations = std::move(reservations_);

  for (const Symbol& entry : symbols.entries()) {
    ProgramSymbol symbol;
    symbol.value = entry.plain_number();
    if (entry.origin > 0) {
      // The origin is where the line after the defining one starts.
      const SourceMap::Line where = map.line_of(entry.origin - 1);
      symbol.place = SourcePlace{static_cast<std::uint32_t>(where.file_index),
                                 static_cast<std::uint32_t>(where.line)};
    }
    if (entry.is_subroutine) {
      symbol.name = entry.subroutine;
      symbol.kind = SymbolKind::subroutine;
      const auto extent = subroutines_by_origin_.find(entry.origin);
      if (extent != subroutines_by_origin_.end()) {
        const Extent& words = extent->second;
        symbol.size = words.end >= words.start ? words.end - words.start : 0;
      }
      facts.symbols.push_back(std::move(symbol));
      continue;
    }
    symbol.name = without_colons(entry.name);
    symbol.global = entry.name.ends_with("::");
    if (!symbol.global) symbol.scope = entry.subroutine;
    const auto type = types_by_origin_.find(entry.origin);
    const PatternType line_type = type == types_by_origin_.end() ? PatternType::none : type->second;
    if (line_type == PatternType::constant) {
      symbol.kind = SymbolKind::constant;
    } else if (line_type == PatternType::reservation) {
      symbol.kind = SymbolKind::reservation;
      const auto reserved = reserved_by_origin_.find(entry.origin);
      if (reserved != reserved_by_origin_.end()) symbol.size = reserved->second;
    } else {
      symbol.kind = symbol.global ? SymbolKind::global_label : SymbolKind::local_label;
    }
    facts.symbols.push_back(std::move(symbol));
  }
  return facts;
}

}  // namespace korva
