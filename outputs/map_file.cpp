#include "outputs/map_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "support/text.h"

namespace korva {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNone = "-";

std::string range_text(std::uint32_t first, std::uint32_t last) {
  return hex4(first) + "-" + hex4(last);
}

// Columns separated by two blanks; the cells of a right-aligned column end
// under each other. Trailing blanks are left off.
class Table {
 public:
  explicit Table(std::vector<bool> right_aligned) : right_(std::move(right_aligned)) {}
  void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }

  void append_to(std::string& out) const {
    std::vector<std::size_t> widths(right_.size(), 0);
    for (const auto& row : rows_) {
      for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : rows_) {
      // The line is made at the end of `out`, padded in place.
      const std::size_t start = out.size();
      out += "  ";
      for (std::size_t i = 0; i < row.size(); ++i) {
        const std::size_t padding = widths[i] - row[i].size();
        if (right_[i]) out.append(padding, ' ');
        out += row[i];
        if (!right_[i]) out.append(padding, ' ');
        if (i + 1 < row.size()) out += "  ";
      }
      while (out.size() > start && out.back() == ' ') out.pop_back();
      out += kLineEnd;
    }
  }

 private:
  std::vector<bool> right_;
  std::vector<std::vector<std::string>> rows_;
};

std::string_view kind_text(SymbolKind kind) {
  switch (kind) {
    case SymbolKind::global_label:
      return "global-label";
    case SymbolKind::local_label:
      return "local-label";
    case SymbolKind::subroutine:
      return "subroutine";
    case SymbolKind::constant:
      return "constant";
    case SymbolKind::reservation:
      return "reservation";
  }
  return kNone;
}

// The subroutine a one-colon name belongs to, "(none)" for one outside every
// subroutine; "-" for a two-colon name or a subroutine.
std::string scope_text(const ProgramSymbol& symbol) {
  if (symbol.global || symbol.kind == SymbolKind::subroutine) return std::string(kNone);
  return symbol.scope.empty() ? "(none)" : symbol.scope;
}

std::string place_text(const ProgramFacts& facts, const std::optional<SourcePlace>& place) {
  if (!place || place->file >= facts.files.size()) return std::string(kNone);
  return facts.files[place->file] + ":" + std::to_string(place->line);
}

void append_heading(std::string& out, std::string_view heading) {
  out += kLineEnd;
  out += heading;
  out += kLineEnd;
}

void append_symbols(std::string& out, const ProgramFacts& facts,
                    const std::vector<const ProgramSymbol*>& order) {
  Table table({false, false, false, false, true, false});
  table.add({"name", "kind", "scope", "value", "size", "defined at"});
  for (const ProgramSymbol* symbol : order) {
    table.add({symbol->name, std::string(kind_text(symbol->kind)), scope_text(*symbol),
               symbol->value ? hex4(*symbol->value) : std::string(kNone),
               symbol->size ? std::to_string(*symbol->size) : std::string(kNone),
               place_text(facts, symbol->place)});
  }
  table.append_to(out);
}

// Whether the symbol comes from the definitions put in front of the sources:
// a chip's hundreds of register and bit names would bury the program's own.
bool from_definitions(const ProgramFacts& facts, const ProgramSymbol& symbol) {
  return symbol.place && symbol.place->file < facts.definition_files;
}

void append_symbol_lists(std::string& out, const ProgramFacts& facts) {
  std::vector<const ProgramSymbol*> order;
  for (const ProgramSymbol& symbol : facts.symbols) {
    if (!from_definitions(facts, symbol)) order.push_back(&symbol);
  }
  // Stable sorts: by name, one name by scope and then in source order; by
  // value, equal values in the order by name.
  std::stable_sort(order.begin(), order.end(), [](const ProgramSymbol* a, const ProgramSymbol* b) {
    return std::tie(a->name, a->scope) < std::tie(b->name, b->scope);
  });
  append_heading(out, "Symbols by name");
  append_symbols(out, facts, order);
  // Symbols without a value come last.
  std::stable_sort(order.begin(), order.end(), [](const ProgramSymbol* a, const ProgramSymbol* b) {
    const auto key = [](const ProgramSymbol* s) {
      return std::make_pair(!s->value.has_value(), s->value.value_or(0));
    };
    return key(a) < key(b);
  });
  append_heading(out, "Symbols by value");
  append_symbols(out, facts, order);
}

// The highest word below `end` that a line wrote.
std::optional<std::uint32_t> highest_written(const WordPlaces& places, std::size_t end) {
  const std::optional<std::size_t> word = places.last_below(end);
  if (!word) return std::nullopt;
  return static_cast<std::uint32_t>(*word);
}

// The chip's program memory by page, then its configuration, ID and EEPROM
// words in sections of their own.
void append_chip_program_memory(std::string& out, const ProgramFacts& facts,
                                const ChipFacts& chip) {
  const WordPlaces& places = facts.word_places;
  const auto used_in = [&](std::uint32_t first, std::uint32_t last) {
    return static_cast<std::uint32_t>(places.count_in(first, std::size_t{last} + 1));
  };
  const std::optional<std::uint32_t> highest =
      highest_written(places, std::size_t{chip.program.last} + 1);
  append_heading(out, "Program memory of the " + chip.name + " (words)");
  Table table({true, false, true, true});
  table.add({"page", "addresses", "size", "used"});
  std::uint32_t all = 0;
  for (std::uint32_t first = 0, page = 0; first <= chip.program.last;
       first += kProgramPageWords, ++page) {
    const std::uint32_t last = std::min(first + kProgramPageWords - 1, chip.program.last);
    const std::uint32_t used = used_in(first, last);
    all += used;
    table.add({std::to_string(page), range_text(first, last), std::to_string(last - first + 1),
               std::to_string(used)});
  }
  table.add({"all", "", std::to_string(chip.program.last + 1), std::to_string(all)});
  const std::uint32_t beyond = used_in(chip.program.last + 1, 0x1FFF);
  if (beyond > 0)
    table.add({"beyond", range_text(chip.program.last + 1, 0x1FFF), "0", std::to_string(beyond)});
  table.append_to(out);
  out += "  highest address  " + (highest ? hex4(*highest) : std::string(kNone));
  out += kLineEnd;

  append_heading(out, "Configuration, ID and EEPROM words");
  Table words({false, false, true, false});
  words.add({"words", "addresses", "used", "values"});
  const auto values = [&](std::uint32_t first, std::uint32_t last) {
    std::string text;
    for (std::uint32_t address = first; address <= last; ++address) {
      if (!places.at(address)) continue;
      const std::size_t at = 2 * std::size_t{address};
      const auto low = static_cast<unsigned char>(facts.image[at]);
      const auto high = static_cast<unsigned char>(facts.image[at + 1]);
      if (!text.empty()) text += ',';
      text += hex4(static_cast<std::uint32_t>(high << 8 | low));
    }
    return text.empty() ? std::string(kNone) : text;
  };
  for (const ConfigWord& word : chip.config_words) {
    words.add({word.name, range_text(word.address, word.address),
               std::to_string(used_in(word.address, word.address)),
               values(word.address, word.address)});
  }
  for (const auto& [name, range] : {std::pair{"ID", chip.id}, std::pair{"EEPROM", chip.eeprom}}) {
    if (!range) continue;
    // The EEPROM's values would fill a line; its count says enough.
    words.add(
        {name, range_text(range->first, range->last),
         std::to_string(used_in(range->first, range->last)),
         std::string_view(name) == "ID" ? values(range->first, range->last) : std::string(kNone)});
  }
  words.append_to(out);
}

// The chip's data memory by bank, with its general purpose registers, and
// the enhanced core's linear data memory on a line of its own.
void append_chip_data_memory(std::string& out, const ProgramFacts& facts, const ChipFacts& chip) {
  std::map<std::uint32_t, std::uint32_t> reserved_by_bank;
  std::uint32_t reserved_linear = 0;
  std::uint32_t all = 0;
  for (const Reservation& reservation : facts.reservations) {
    for (std::uint32_t at = reservation.start; at < reservation.start + reservation.bytes; ++at) {
      if (chip.linear && chip.linear->contains(at)) {
        ++reserved_linear;
      } else {
        ++reserved_by_bank[at / kDataBankBytes];
      }
      ++all;
    }
  }
  append_heading(out, "Data memory of the " + chip.name + " (bytes)");
  Table table({true, false, false, true});
  table.add({"bank", "addresses", "general-purpose", "reserved"});
  const std::uint32_t banks =
      std::max(chip.banks, reserved_by_bank.empty() ? 0 : reserved_by_bank.rbegin()->first + 1);
  for (std::uint32_t bank = 0; bank < banks; ++bank) {
    std::string gpr;
    for (const AddressRange& range : chip.gpr) {
      if (range.first / kDataBankBytes != bank) continue;
      if (!gpr.empty()) gpr += ',';
      gpr += range_text(range.first, range.last);
    }
    table.add({std::to_string(bank),
               range_text(bank * kDataBankBytes, (bank + 1) * kDataBankBytes - 1),
               gpr.empty() ? std::string(kNone) : gpr,
               std::to_string(reserved_by_bank.contains(bank) ? reserved_by_bank[bank] : 0)});
  }
  if (chip.linear) {
    const std::string linear = range_text(chip.linear->first, chip.linear->last);
    table.add({"linear", linear, linear, std::to_string(reserved_linear)});
  }
  table.add({"all", "", "", std::to_string(all)});
  table.append_to(out);
}

void append_program_memory(std::string& out, const ProgramFacts& facts) {
  const std::optional<std::uint32_t> highest = highest_written(facts.word_places, SIZE_MAX);
  append_heading(out, "Program memory (words)");
  Table table({true, false, true});
  table.add({"page", "addresses", "used"});
  std::uint32_t all = 0;
  const std::uint32_t last_page = highest ? *highest / kProgramPageWords : 0;
  for (std::uint32_t page = 0; page <= last_page; ++page) {
    const auto used = static_cast<std::uint32_t>(facts.word_places.count_in(
        std::size_t{page} * kProgramPageWords, (std::size_t{page} + 1) * kProgramPageWords));
    all += used;
    table.add({std::to_string(page),
               range_text(page * kProgramPageWords, (page + 1) * kProgramPageWords - 1),
               std::to_string(used)});
  }
  table.add({"all", "", std::to_string(all)});
  table.append_to(out);
  out += "  highest address  " + (highest ? hex4(*highest) : std::string(kNone));
  out += kLineEnd;
}

void append_data_memory(std::string& out, const ProgramFacts& facts) {
  std::map<std::uint32_t, std::uint32_t> reserved_by_bank;
  std::uint32_t all = 0;
  for (const Reservation& reservation : facts.reservations) {
    for (std::uint32_t at = reservation.start, left = reservation.bytes; left > 0;) {
      const std::uint32_t bank = at / kDataBankBytes;
      const std::uint32_t in_bank = std::min(left, (bank + 1) * kDataBankBytes - at);
      reserved_by_bank[bank] += in_bank;
      all += in_bank;
      at += in_bank;
      left -= in_bank;
    }
  }
  append_heading(out, "Data memory reserved (bytes)");
  Table table({true, false, true});
  table.add({"bank", "addresses", "reserved"});
  const std::uint32_t last_bank = reserved_by_bank.empty() ? 0 : reserved_by_bank.rbegin()->first;
  for (std::uint32_t bank = 0; bank <= last_bank; ++bank) {
    const std::uint32_t reserved = reserved_by_bank.contains(bank) ? reserved_by_bank[bank] : 0;
    table.add({std::to_string(bank),
               range_text(bank * kDataBankBytes, (bank + 1) * kDataBankBytes - 1),
               std::to_string(reserved)});
  }
  table.add({"all", "", std::to_string(all)});
  table.append_to(out);
}

void append_subroutines(std::string& out, const ProgramFacts& facts) {
  const ProgramSymbol* largest = nullptr;
  const ProgramSymbol* smallest = nullptr;
  for (const ProgramSymbol& symbol : facts.symbols) {
    if (symbol.kind != SymbolKind::subroutine || !symbol.size) continue;
    if (largest == nullptr || *symbol.size > *largest->size) largest = &symbol;
    if (smallest == nullptr || *symbol.size < *smallest->size) smallest = &symbol;
  }
  append_heading(out, "Subroutines (words)");
  if (largest == nullptr) {
    out += "  none";
    out += kLineEnd;
    return;
  }
  Table table({false, false, false, true, false});
  table.add({"", "name", "start", "size", "defined at"});
  for (const auto& [label, symbol] :
       {std::pair{"largest", largest}, std::pair{"smallest", smallest}}) {
    table.add({label, symbol->name, symbol->value ? hex4(*symbol->value) : std::string(kNone),
               std::to_string(*symbol->size), place_text(facts, symbol->place)});
  }
  table.append_to(out);
}

}  // namespace

std::string map_file_text(const ProgramFacts& facts, std::string_view program) {
  std::string out = "KORVA map of ";
  out += program;
  out += kLineEnd;
  append_heading(out, "Sources");
  Table sources({true, false});
  for (std::size_t i = 0; i < facts.files.size(); ++i) {
    std::string file = facts.files[i];
    if (i < facts.definition_files) {
      // Definitions come from the installation: their folder says nothing
      // about the program, and would make the map differ between machines.
      file.erase(0, file.find_last_of("/\\") + 1);
      const auto names =
          std::count_if(facts.symbols.begin(), facts.symbols.end(),
                        [&](const ProgramSymbol& s) { return s.place && s.place->file == i; });
      file += "  (definitions: " + std::to_string(names) + " names, not listed below)";
    }
    sources.add({std::to_string(i + 1), file});
  }
  sources.append_to(out);
  append_symbol_lists(out, facts);
  if (facts.chip) {
    append_chip_program_memory(out, facts, *facts.chip);
    append_chip_data_memory(out, facts, *facts.chip);
  } else {
    append_program_memory(out, facts);
    append_data_memory(out, facts);
  }
  append_subroutines(out, facts);
  return out;
}

}  // namespace korva
