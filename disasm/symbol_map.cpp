#include "disasm/symbol_map.h"

#include <cstddef>
#include <optional>
#include <vector>

#include "chip/chip_equates.h"

namespace korva {

namespace {

std::vector<std::string_view> cells_of(std::string_view line) {
  std::vector<std::string_view> cells;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    const std::size_t end = line.find(' ', at);
    if (at < line.size()) cells.push_back(line.substr(at, end - at));
    at = end == std::string_view::npos ? line.size() : end;
  }
  return cells;
}

std::optional<std::uint32_t> four_hex_digits(std::string_view text) {
  if (text.size() != 4 || text.find_first_not_of("0123456789ABCDEF") != std::string_view::npos) {
    return std::nullopt;
  }
  return leading_hex(text);
}

}  // namespace

SymbolNames read_symbol_map(std::string_view map_text) {
  SymbolNames names;
  // A global label names its address before a local one does.
  std::map<std::uint32_t, std::string> locals;
  bool inside = false;
  bool header_seen = false;
  while (!map_text.empty()) {
    const std::size_t end = map_text.find('\n');
    std::string_view line = map_text.substr(0, end);
    map_text.remove_prefix(end == std::string_view::npos ? map_text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!inside) {
      inside = line == "Symbols by name";
      continue;
    }
    if (line.empty()) break;
    if (!header_seen) {
      header_seen = true;
      continue;
    }
    const std::vector<std::string_view> cells = cells_of(line);
    if (cells.size() < 4) continue;
    const std::optional<std::uint32_t> value = four_hex_digits(cells[3]);
    if (!value) continue;
    const std::string name(cells[0]);
    if (cells[1] == "subroutine") {
      names.subroutines.try_emplace(*value, name);
    } else if (cells[1] == "global-label") {
      names.labels.try_emplace(*value, name);
    } else if (cells[1] == "local-label") {
      locals.try_emplace(*value, name);
    } else if (cells[1] == "reservation") {
      names.reservations.try_emplace(*value, name);
    }
  }
  names.labels.merge(locals);
  return names;
}

}  // namespace korva
