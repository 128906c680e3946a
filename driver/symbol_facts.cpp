#include "driver/symbol_facts.h"

#include <algorithm>
#include <unordered_set>

#include "support/names.h"

namespace korva {

namespace {

bool starts_with_digit(std::string_view word) {
  return word[0] >= '0' && word[0] <= '9';
}

std::string_view name_of(const Symbol& symbol) {
  std::string_view name = symbol.is_subroutine ? symbol.subroutine : symbol.name;
  while (!name.empty() && name.back() == ':') name.remove_suffix(1);
  return name;
}

// The line of `text` holding `offset`: its start and its end (before the
// line feed).
std::pair<std::size_t, std::size_t> line_around(std::string_view text, std::size_t offset) {
  const std::size_t feed = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
  const std::size_t start = feed == std::string_view::npos ? 0 : feed + 1;
  const std::size_t end = std::min(text.find('\n', start), text.size());
  return {start, end};
}

SymbolSpan span_at(const SourceMap& map, std::size_t line_start, std::size_t at,
                   std::size_t length) {
  return SymbolSpan{map.locate(at), at - line_start + 1, length};
}

}  // namespace

SymbolFacts collect_symbol_facts(std::string_view text, const SourceMap& map,
                                 const SymbolTable& symbols) {
  SymbolFacts facts;
  std::unordered_set<std::string_view> names;
  std::unordered_set<std::size_t> defining_offsets;
  for (const Symbol& symbol : symbols.entries()) {
    const std::string_view name = name_of(symbol);
    if (name.empty()) continue;
    names.insert(name);
    // `origin` is the position after the defining line.
    const std::size_t origin = std::min(symbol.origin, text.size());
    const auto [start, end] = line_around(text, origin == 0 ? 0 : origin - 1);
    const std::size_t at = find_name(text.substr(start, end - start), name);
    if (at == std::string_view::npos) continue;
    defining_offsets.insert(start + at);
    facts.definitions.push_back(
        SymbolOccurrence{std::string(name), span_at(map, start, start + at, name.size())});
  }
  if (names.empty()) return facts;

  std::size_t line_start = 0;
  bool quoted = false;
  bool remark = false;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (c == '\n') {
      line_start = ++at;
      quoted = remark = false;
      continue;
    }
    if (remark || (!quoted && c == ';')) {
      remark = true;
      ++at;
      continue;
    }
    if (c == '\'' || c == '"') quoted = !quoted;
    if (quoted || !is_name_char_at(text, at)) {
      at += cp932_char_size(text, at);
      continue;
    }
    const std::size_t end = name_end(text, at);
    const std::string_view word = text.substr(at, end - at);
    if (!starts_with_digit(word) && names.count(word) > 0 && defining_offsets.count(at) == 0) {
      facts.references.push_back(
          SymbolOccurrence{std::string(word), span_at(map, line_start, at, word.size())});
    }
    at = end;
  }
  return facts;
}

}  // namespace korva
