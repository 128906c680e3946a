#include "chip/chip_facts.h"

#include <algorithm>
#include <charconv>

#include "support/text.h"

namespace korva {

namespace {

constexpr std::string_view kMark = ";@";
constexpr std::string_view kChipLine = ";@chip ";

// The next blank-separated word of `rest`, taken off it.
std::string_view next_word(std::string_view& rest) {
  const std::size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  const std::size_t end = std::min(rest.find(' '), rest.size());
  const std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  return word;
}

std::optional<std::uint32_t> hex(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<AddressRange> range(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  const auto first = hex(text.substr(0, dash));
  const auto last = hex(text.substr(dash + 1));
  if (!first || !last || *last < *first) return std::nullopt;
  return AddressRange{*first, *last};
}

// Reads the ";@" lines one by one into the facts.
class FactsReader {
 public:
  // False when the line (without its ";@") cannot be read.
  bool take(std::string_view line) {
    const std::string_view key = next_word(line);
    const std::string_view first = next_word(line);
    const std::string_view second = next_word(line);
    if (key == "-") return add_description(line_rest_);
    if (key == "chip") return set(facts_.name, first);
    if (key == "core") return set_core(first);
    if (key == "program") return set_range(facts_.program, first);
    if (key == "banks") return set_count(facts_.banks, first);
    if (key == "gpr") return add_range(facts_.gpr, first);
    if (key == "linear") return set_optional_range(facts_.linear, first);
    if (key == "eeprom") return set_optional_range(facts_.eeprom, first);
    if (key == "id") return set_optional_range(facts_.id, first);
    if (key == "calibration") return set_optional_range(facts_.calibration, first);
    if (key == "word") return add_word(first, second, next_word(line));
    if (key == "field") return add_field(first, second);
    if (key == "set") return add_setting(first, second);
    // Keys of later files are left to later readers.
    return true;
  }
  // The text after "- ", for a description line.
  void set_line_rest(std::string_view rest) { line_rest_ = rest; }
  ChipFacts&& facts() && { return std::move(facts_); }

 private:
  static bool set(std::string& target, std::string_view value) {
    target = value;
    return !value.empty();
  }
  bool set_core(std::string_view name) {
    const std::optional<CoreFamily> family = core_family_named(name);
    if (family) facts_.core = *family;
    return family.has_value();
  }
  static bool set_range(AddressRange& target, std::string_view text) {
    const auto parsed = range(text);
    if (parsed) target = *parsed;
    return parsed.has_value();
  }
  static bool set_optional_range(std::optional<AddressRange>& target, std::string_view text) {
    target = range(text);
    return target.has_value();
  }
  static bool add_range(std::vector<AddressRange>& target, std::string_view text) {
    const auto parsed = range(text);
    if (parsed) target.push_back(*parsed);
    return parsed.has_value();
  }
  static bool set_count(std::uint32_t& target, std::string_view text) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), target);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
  }
  bool add_word(std::string_view name, std::string_view address, std::string_view blank) {
    const auto at = hex(address);
    const auto value = hex(blank);
    if (name.empty() || !at || !value) return false;
    facts_.config_words.push_back({std::string(name), *at, *value, {}});
    return true;
  }
  bool add_field(std::string_view name, std::string_view mask) {
    const auto bits = hex(mask);
    if (facts_.config_words.empty() || name.empty() || !bits) return false;
    facts_.config_words.back().fields.push_back({std::string(name), *bits, {}});
    return true;
  }
  bool add_setting(std::string_view name, std::string_view word) {
    const auto value = hex(word);
    if (facts_.config_words.empty() || facts_.config_words.back().fields.empty() || name.empty() ||
        !value) {
      return false;
    }
    facts_.config_words.back().fields.back().settings.push_back({std::string(name), *value, {}});
    return true;
  }
  bool add_description(std::string_view text) {
    if (facts_.config_words.empty() || facts_.config_words.back().fields.empty() ||
        facts_.config_words.back().fields.back().settings.empty()) {
      return false;
    }
    std::string& description = facts_.config_words.back().fields.back().settings.back().description;
    if (!description.empty()) description += ' ';
    description += text;
    return true;
  }

  ChipFacts facts_;
  std::string_view line_rest_;
};

}  // namespace

const ConfigSetting* ConfigField::find(std::string_view setting) const {
  for (const ConfigSetting& known : settings) {
    if (same_nocase(known.name, setting)) return &known;
  }
  return nullptr;
}

const ConfigSetting* ConfigField::selected(std::uint32_t value) const {
  for (const ConfigSetting& known : settings) {
    if ((known.word & mask) == (value & mask)) return &known;
  }
  return nullptr;
}

std::uint32_t ConfigWord::field_bits() const {
  std::uint32_t bits = 0;
  for (const ConfigField& field : fields) bits |= field.mask;
  return bits;
}

std::pair<const ConfigWord*, const ConfigField*> ChipFacts::find_field(
    std::string_view field) const {
  for (const ConfigWord& word : config_words) {
    for (const ConfigField& known : word.fields) {
      if (same_nocase(known.name, field)) return {&word, &known};
    }
  }
  return {nullptr, nullptr};
}

bool ChipFacts::is_gpr(std::uint32_t address) const {
  for (const AddressRange& range : gpr) {
    if (range.contains(address)) return true;
  }
  return linear && linear->contains(address);
}

bool has_chip_facts(std::string_view file_text) {
  return file_text.starts_with(kChipLine) ||
         file_text.find(std::string("\n") + std::string(kChipLine)) != std::string_view::npos;
}

Expected<std::optional<ChipFacts>> read_chip_facts(std::string_view file_text) {
  if (!has_chip_facts(file_text)) return std::optional<ChipFacts>{};
  FactsReader reader;
  std::size_t line_number = 0;
  for (std::size_t start = 0; start < file_text.size();) {
    const std::size_t end = std::min(file_text.find('\n', start), file_text.size());
    std::string_view line = file_text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.starts_with(kMark)) continue;
    line.remove_prefix(kMark.size());
    reader.set_line_rest(line.starts_with("- ") ? line.substr(2) : std::string_view{});
    if (!reader.take(line)) {
      return fail("line " + std::to_string(line_number) + " of the chip facts cannot be read: ;@" +
                  std::string(line));
    }
  }
  ChipFacts facts = std::move(reader).facts();
  if (facts.program.last == 0) return fail("the chip facts give no program memory (;@program)");
  return std::optional<ChipFacts>(std::move(facts));
}

}  // namespace korva
