// The requests about the program's names and statements: hover, the
// definition and the uses of a name, rename, completion, the outline,
// folding and semantic tokens.
#include <algorithm>
#include <cstdio>
#include <tuple>

#include "lsp/server.h"
#include "lsp/uri.h"
#include "patterns/instruction_set.h"
#include "patterns/pattern_table.h"
#include "support/line_record.h"
#include "support/names.h"
#include "support/text.h"
#include "symbols/macro_table.h"
#include "symbols/symbol_table.h"
#include "syntax/line_styles.h"
#include "system/text_encoding.h"

namespace korva::lsp {
namespace {

// The longest names that the record and the tables keep whole: a label of
// kLabelCapacity characters with its colons, a subroutine name of 30, a
// macro name of 28.
constexpr std::size_t kLabelCharacters = kLabelCapacity;

std::string shown(std::string_view cp932) {
  return cp932_to_utf8(cp932);
}

// The core of the project's chip, which chooses the forms and reads the words.
CoreFamily core_of(const ProjectAnalysis& analysis) {
  const std::optional<ChipFile>& chip = analysis.chip();
  return chip && chip->facts ? chip->facts->core : CoreFamily::classic;
}

// The chip's banks, which decide the enhanced core's MOVLB.
std::uint32_t banks_of(const ProjectAnalysis& analysis) {
  const std::optional<ChipFile>& chip = analysis.chip();
  return chip && chip->facts ? chip->facts->banks : 0;
}

// Where program memory ends for the words' mnemonics.
std::uint32_t configuration_space(const ProjectAnalysis& analysis) {
  const std::optional<ChipFile>& chip = analysis.chip();
  return chip && chip->facts ? chip->facts->configuration_space() : 0x2000;
}

std::string hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

int completion_kind(NameKind kind) {
  switch (kind) {
    case NameKind::subroutine:
      return 3;  // Function
    case NameKind::macro:
      return 15;  // Snippet: a call stands for the lines of its body
    case NameKind::constant:
      return 21;  // Constant
    case NameKind::reservation:
      return 6;  // Variable
    case NameKind::global_label:
    case NameKind::local_label:
      return 18;  // Reference
  }
  return 1;
}

int symbol_kind(NameKind kind) {
  switch (kind) {
    case NameKind::subroutine:
      return 12;  // Function
    case NameKind::macro:
      return 2;  // Module
    case NameKind::constant:
      return 14;  // Constant
    case NameKind::reservation:
      return 13;  // Variable
    case NameKind::global_label:
    case NameKind::local_label:
      return 20;  // Key
  }
  return 13;
}

// A pattern text as a snippet: each "@" a tab stop.
std::string snippet_of(std::string_view pattern) {
  std::string snippet;
  int stop = 0;
  for (const char c : pattern) {
    if (c == '@') {
      snippet += "${" + std::to_string(++stop) + "}";
    } else {
      if (c == '$' || c == '}' || c == '\\') snippet += '\\';
      snippet += c;
    }
  }
  return snippet;
}

std::string upper(std::string_view text) {
  std::string result(text);
  upper_case(result);
  return result;
}

bool valid_name(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  return is_name(name);
}

// Words that a statement reads as notation, never as a name: the word each
// form of the pattern table begins with (NOP, RET, SLEEP, SWAP, EQU, ORG,
// SUB, END ...), the destinations W and F, M, and MACRO. A subroutine named
// NOP would have its calls read as the instruction.
bool reserved(std::string_view name) {
  const std::string upper_name = upper(name);
  if (upper_name == "W" || upper_name == "F" || upper_name == "M" || upper_name == "MACRO") {
    return true;
  }
  for (const PatternEntry& entry : table_entries()) {
    const std::string_view form = entry.text;
    const std::size_t word_end = name_end(form, 0);
    // Operations begin with W (W+@>@, WV@>@) or a register; their words
    // of three letters and more (RET, SWAP) are notation.
    const bool operation =
        entry.type == PatternType::register_op || entry.type == PatternType::bit_op;
    if (word_end == 0 || (operation && word_end < 3)) continue;
    if (form.substr(0, word_end) == upper_name) return true;
  }
  return false;
}

std::size_t longest_name(NameKind kind) {
  switch (kind) {
    case NameKind::subroutine:
      return SymbolTable::kSubroutineNameCapacity;
    case NameKind::macro:
      return MacroTable::kNameCapacity;
    case NameKind::local_label:
      return kLabelCharacters - 1;
    case NameKind::global_label:
    case NameKind::constant:
    case NameKind::reservation:
      return kLabelCharacters - 2;
  }
  return 0;
}

}  // namespace

Server::Answer Server::hover(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::size_t file = located->file;
  const std::size_t line = located->line;
  std::string text;
  const std::optional<NameUse> name = analysis.name_at(file, line, located->column);
  const NameDefinition* definition = name ? analysis.resolve(name->name, file, line) : nullptr;
  std::optional<Place> range;
  if (definition != nullptr) {
    range = name->at;
    const bool from_chip = analysis.is_definition_file(definition->at.file);
    std::optional<std::string> bit_of;
    if (from_chip && analysis.chip()) {
      const auto bit = analysis.chip()->bit_registers.find(definition->name);
      if (bit != analysis.chip()->bit_registers.end()) bit_of = bit->second;
    }
    text = "**" + shown(definition->name) + "**: ";
    if (from_chip && definition->value && bit_of) {
      text += "bit " + std::to_string(*definition->value) + " of register " + *bit_of;
    } else if (from_chip && definition->value && analysis.chip() &&
               is_register_address(*analysis.chip(), *definition->value)) {
      text += "register at 0x" + hex(*definition->value, 3) + ", bank " +
              std::to_string(*definition->value >> 7) + " (0x" + hex(*definition->value & 0x7F, 2) +
              " in the bank)";
    } else {
      text += std::string(kind_text(definition->kind));
      if (definition->value) {
        text += ", value 0x" + hex(*definition->value, 2);
        if (definition->kind == NameKind::constant) {
          text += " (" + std::to_string(*definition->value) + ")";
        }
      }
      if (definition->size) {
        text += ", " + std::to_string(*definition->size) +
                (definition->kind == NameKind::reservation ? " byte(s)" : " word(s)");
      }
    }
    text += "\n\nDefined at " + shown(analysis.plan().entries[definition->at.file]) + ":" +
            std::to_string(definition->at.line + 1);
    if (from_chip && analysis.chip()) text += " (" + analysis.chip()->title + ")";
  } else {
    // The statement: its words and what they are.
    const std::vector<PlacedWord> words = analysis.words_at(file, line);
    for (const PlacedWord& word : words) {
      text += text.empty() ? "" : "\n";
      text += "`" + hex(word.address, 4) + "` `" + hex(word.word, 4) + "` ";
      const ConfigWord* config =
          analysis.chip() ? analysis.chip()->config_at(word.address) : nullptr;
      if (config != nullptr) {
        text += "configuration word";
        for (const std::string& setting : describe_config(*config, word.word)) {
          text += "\n- " + setting;
        }
      } else if (word.address < configuration_space(analysis)) {
        text += standard_mnemonic(static_cast<std::uint16_t>(word.word), core_of(analysis),
                                  banks_of(analysis));
      } else {
        text += "data";
      }
    }
    if (!words.empty()) text = "```\n" + text + "\n```";
  }
  for (const Diagnostic& diagnostic : analysis.result().diagnostics) {
    if (diagnostic.where.line == line + 1 && analysis.file_of(diagnostic.where) == file &&
        diagnostic.where.line != 0) {
      text += text.empty() ? "" : "\n\n";
      text += diagnostic.severity == Severity::error ? "error: " : "warning: ";
      text += shown(diagnostic_message(diagnostic));
    }
  }
  if (text.empty()) return Json(nullptr);
  Json hover{{"contents", Json{{"kind", "markdown"}, {"value", text}}}};
  if (range) hover["range"] = range_of(analysis, *range);
  return hover;
}

std::optional<Server::DefinedName> Server::Located::defined_name() const {
  const std::optional<NameUse> use = analysis->name_at(file, line, column);
  if (!use) return std::nullopt;
  const NameDefinition* definition = analysis->resolve(use->name, file, line);
  if (definition == nullptr) return std::nullopt;
  return DefinedName{*use, *definition};
}

Server::Answer Server::definition(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::optional<DefinedName> name = located->defined_name();
  if (!name) return Json(nullptr);
  const NameDefinition& definition = name->definition;
  return location_of(analysis, definition.at);
}

Server::Answer Server::references(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::optional<DefinedName> name = located->defined_name();
  if (!name) return Json(nullptr);
  const NameDefinition& definition = name->definition;
  bool with_definition = true;
  if (const Json* context = params.is_object() ? &params : nullptr) {
    const auto found = context->find("context");
    if (found != context->end() && found->is_object() && found->contains("includeDeclaration") &&
        (*found)["includeDeclaration"].is_boolean()) {
      with_definition = (*found)["includeDeclaration"].get<bool>();
    }
  }
  Json locations = Json::array();
  for (const Place& place : analysis.occurrences(definition)) {
    if (!with_definition && place == definition.at) continue;
    locations.push_back(location_of(analysis, place));
  }
  return locations;
}

Server::Answer Server::highlight(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::optional<DefinedName> name = located->defined_name();
  if (!name) return Json(nullptr);
  const NameDefinition& definition = name->definition;
  Json highlights = Json::array();
  for (const Place& place : analysis.occurrences(definition)) {
    if (place.file != located->file) continue;
    highlights.push_back(
        Json{{"range", range_of(analysis, place)}, {"kind", place == definition.at ? 3 : 2}});
  }
  return highlights;
}

Server::Answer Server::prepare_rename(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::optional<DefinedName> name = located->defined_name();
  if (!name) return Json(nullptr);
  const NameDefinition& definition = name->definition;
  if (analysis.is_definition_file(definition.at.file)) {
    return fail(error_codes::kRequestFailed,
                shown(definition.name) + " is a name of the chip's definitions");
  }
  return Json{{"range", range_of(analysis, name->use.at)}, {"placeholder", shown(name->use.name)}};
}

namespace {

// The project's texts with `name` written at every place, in CP932.
std::vector<SourceText> renamed_texts(const ProjectAnalysis& analysis, std::vector<Place> places,
                                      std::string_view name) {
  // From the last place back, so that the earlier places keep their offsets.
  std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
    return std::tie(a.file, a.line, a.column) > std::tie(b.file, b.line, b.column);
  });
  std::vector<std::string> bytes;
  bytes.reserve(analysis.texts().size());
  for (const SourceText& text : analysis.texts()) bytes.push_back(text.cp932());
  for (const Place& place : places) {
    const SourceText& text = analysis.texts()[place.file];
    const auto offset = text.offset_of_line(place.line) + place.column;
    bytes[place.file].replace(offset, place.length, name);
  }
  std::vector<SourceText> texts;
  texts.reserve(bytes.size());
  for (std::string& text : bytes) texts.push_back(SourceText::from_file(std::move(text)));
  return texts;
}

// Where a rename would change the program, said as the statement it
// changes; none when the renamed project gives the same words at every
// address and the same diagnostics, line for line.
std::optional<std::string> rename_changes_program(const ProjectAnalysis& before,
                                                  const ProjectAnalysis& after) {
  const ServiceResult& was = before.result();
  const ServiceResult& is = after.result();
  const auto place_text = [&](std::size_t file, std::size_t line) {
    return shown(before.plan().entries[file]) + ":" + std::to_string(line);
  };
  if (was.facts && is.facts && was.facts->image != is.facts->image) {
    const std::string& a = was.facts->image;
    const std::string& b = is.facts->image;
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const std::size_t word = at / 2;
    std::string text = "the word at " + hex(static_cast<std::uint32_t>(word), 4) + " would change";
    if (const std::optional<SourcePlace> place = was.facts->word_places.at(word)) {
      text += " (" + place_text(place->file, place->line) + ")";
    }
    return text;
  }
  if (was.outcome != is.outcome) return std::string("the assembly would stop in pass 1");
  const std::size_t shared = std::min(was.diagnostics.size(), is.diagnostics.size());
  for (std::size_t i = 0; i <= shared; ++i) {
    if (i == shared) {
      if (was.diagnostics.size() == is.diagnostics.size()) return std::nullopt;
      const Diagnostic& first = i < is.diagnostics.size() ? is.diagnostics[i] : was.diagnostics[i];
      return "the diagnostics would change (" +
             place_text(first.where.file_index, first.where.line) + ")";
    }
    const Diagnostic& a = was.diagnostics[i];
    const Diagnostic& b = is.diagnostics[i];
    if (a.kind != b.kind || a.severity != b.severity || a.where.file_index != b.where.file_index ||
        a.where.line != b.where.line) {
      return "the diagnostics would change (" + place_text(b.where.file_index, b.where.line) + ")";
    }
  }
  return std::nullopt;
}

}  // namespace

Server::Answer Server::rename(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::optional<std::string> new_name_utf8 =
      params.is_object() && params.contains("newName") && params["newName"].is_string()
          ? std::optional<std::string>(params["newName"].get<std::string>())
          : std::nullopt;
  if (!new_name_utf8) return fail(error_codes::kInvalidParams, std::string("no newName"));
  const std::optional<DefinedName> name = located->defined_name();
  if (!name) return fail(error_codes::kRequestFailed, std::string("there is no defined name here"));
  const NameDefinition& definition = name->definition;
  if (analysis.is_definition_file(definition.at.file)) {
    return fail(error_codes::kRequestFailed,
                shown(definition.name) + " is a name of the chip's definitions");
  }
  const std::string new_name = utf8_to_cp932(*new_name_utf8);
  if (reserved(new_name)) {
    return fail(error_codes::kRequestFailed,
                "'" + *new_name_utf8 +
                    "' is a word of the notation (an instruction or a directive), not a name");
  }
  if (!valid_name(new_name) || cp932_to_utf8(new_name) != *new_name_utf8) {
    return fail(
        error_codes::kRequestFailed,
        "'" + *new_name_utf8 + "' is not a name: letters, digits and _ (not first a digit)");
  }
  const std::size_t limit = longest_name(definition.kind);
  if (new_name.size() > limit) {
    return fail(error_codes::kRequestFailed, "'" + *new_name_utf8 + "' is longer than a " +
                                                 std::string(kind_text(definition.kind)) +
                                                 " name may be (" + std::to_string(limit) +
                                                 " bytes)");
  }
  for (const NameDefinition& other : analysis.definitions()) {
    if (other.name != new_name || &other == &definition) continue;
    const bool both_local =
        other.kind == NameKind::local_label && definition.kind == NameKind::local_label;
    if (both_local && other.scope != definition.scope) continue;
    return fail(error_codes::kRequestFailed, "'" + *new_name_utf8 + "' is already the name of a " +
                                                 std::string(kind_text(other.kind)) + " (" +
                                                 shown(analysis.plan().entries[other.at.file]) +
                                                 ":" + std::to_string(other.at.line + 1) + ")");
  }
  // The renamed project must assemble to the same program: a name that
  // another statement reads differently after it would change words.
  const std::vector<Place> places = analysis.occurrences(definition);
  const ProjectAnalysis renamed(analysis.plan(), renamed_texts(analysis, places, new_name));
  if (const std::optional<std::string> change = rename_changes_program(analysis, renamed)) {
    return fail(error_codes::kRequestFailed,
                "renaming to '" + *new_name_utf8 + "' would change the program: " + *change);
  }
  Json changes = Json::object();
  for (const Place& place : places) {
    const std::string uri = uri_of(analysis, place.file);
    if (!changes.contains(uri)) changes[uri] = Json::array();
    changes[uri].push_back(Json{{"range", range_of(analysis, place)}, {"newText", *new_name_utf8}});
  }
  return Json{{"changes", changes}};
}

// What a form of the notation writes, in the standard mnemonics:
// "DECF f,d", "ADDWF f,d / ADDLW k", "BSF f,b", "directive ORG".
std::string form_detail(const PatternEntry& entry) {
  const auto places =
      static_cast<std::size_t>(std::count(entry.text.begin(), entry.text.end(), '@'));
  if (is_enhanced_form(entry) && entry.type != PatternType::register_op) {
    // The enhanced core's own operands, as its mnemonics write them.
    const std::uint16_t word = entry.word.value_or(0);
    std::string name(instruction_name(word, CoreFamily::enhanced));
    switch (entry.type) {
      case PatternType::fsr_op:
        if (places == 1) {
          // The mode forms: "MOVIW ++FSR0" as "MOVIW ++n".
          std::string mnemonic = standard_mnemonic(word, CoreFamily::enhanced);
          const std::size_t fsr = mnemonic.find("FSR0");
          return fsr == std::string::npos ? mnemonic : mnemonic.replace(fsr, 4, "n");
        }
        return name + (entry.second_piece.empty() ? " n,k" : " k[n]");
      case PatternType::select_op:
      case PatternType::relative_branch:
        return name + " k";
      default:
        return name;
    }
  }
  switch (entry.type) {
    case PatternType::register_op: {
      std::string detail;
      if (entry.word) {
        // A form with one operand place writes the result to the register.
        const std::uint16_t word =
            places == 1 ? static_cast<std::uint16_t>(*entry.word | kDestinationBit) : *entry.word;
        const CoreFamily family =
            is_enhanced_form(entry) ? CoreFamily::enhanced : CoreFamily::classic;
        const Instruction* instruction = find_instruction(word, family);
        detail = std::string(instruction_name(word, family)) +
                 (instruction != nullptr &&
                          instruction->operands == OperandKind::file_destination && places > 1
                      ? " f,d"
                      : " f");
      }
      if (entry.literal_word) {
        if (!detail.empty()) detail += " / ";
        detail += std::string(instruction_name(*entry.literal_word)) + " k";
      }
      return detail;
    }
    case PatternType::bit_op:
      return std::string(instruction_name(entry.word.value_or(0))) + " f,b";
    case PatternType::branch:
      return std::string(instruction_name(entry.word.value_or(0))) + " k";
    case PatternType::inherent:
      return std::string(instruction_name(entry.word.value_or(0)));
    case PatternType::raw_words:
      return "program words in hexadecimal";
    case PatternType::selection:
      if (entry.mnemonic == "BANK") return "the bank of register f: MOVLB, or RP0 and RP1";
      if (entry.mnemonic == "PAGE") return "the page of address a: MOVLP, or PCLATH's bits 3, 4";
      return "MOVLW with the " + std::string(entry.mnemonic == "HIGH" ? "high" : "low") +
             " byte of k";
    default: {
      // The operand place as "n": "ORG n", "[n]", "RAM=n".
      std::string form;
      for (const char c : entry.text) {
        if (c == '@' && !form.empty() && form.back() >= 'A' && form.back() <= 'Z') form += ' ';
        form += c == '@' ? 'n' : c;
      }
      return "directive " + form;
    }
  }
}

Server::Answer Server::completion(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::string scope = analysis.scope_at(located->file, located->line);
  Json items = Json::array();
  std::set<std::string> seen;
  for (const NameDefinition& definition : analysis.definitions()) {
    if (definition.kind == NameKind::local_label && definition.scope != scope) continue;
    if (!seen.insert(definition.name).second) continue;
    std::string detail(kind_text(definition.kind));
    if (definition.value) detail += " 0x" + hex(*definition.value, 2);
    if (analysis.is_definition_file(definition.at.file)) detail += " (chip)";
    items.push_back(Json{{"label", shown(definition.name)},
                         {"kind", completion_kind(definition.kind)},
                         {"detail", detail}});
  }
  const CoreFamily core = core_of(analysis);
  for (const PatternEntry& entry : table_entries(core)) {
    if (entry.type == PatternType::macro_end) continue;
    items.push_back(Json{{"label", std::string(entry.text)},
                         {"kind", 15},
                         {"detail", form_detail(entry)},
                         {"insertText", snippet_of(entry.text)},
                         {"insertTextFormat", 2}});
  }
  for (const auto& [label, body] :
       {std::pair{"SUB … END SUB", "SUB ${1:NAME}\n\t$0\nEND SUB"},
        std::pair{"MACRO … END MACRO", "MACRO ${1:NAME}\n\t$0\nEND MACRO"}}) {
    items.push_back(
        Json{{"label", label}, {"kind", 15}, {"insertText", body}, {"insertTextFormat", 2}});
  }
  return Json{{"isIncomplete", false}, {"items", items}};
}

Server::Answer Server::document_symbols(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const ProjectAnalysis& analysis = *located->analysis;
  const std::size_t file = located->file;
  const SourceText& text = analysis.texts()[file];
  Json symbols = Json::array();
  for (const Block& block : analysis.blocks()) {
    if (block.file != file) continue;
    Json children = Json::array();
    for (const NameDefinition& definition : analysis.definitions()) {
      if (definition.at.file == file && definition.kind == NameKind::local_label &&
          block.kind == NameKind::subroutine && definition.at.line > block.first_line &&
          definition.at.line <= block.last_line) {
        const Json range = range_of(analysis, definition.at);
        children.push_back(Json{{"name", shown(definition.name)},
                                {"kind", symbol_kind(definition.kind)},
                                {"range", range},
                                {"selectionRange", range}});
      }
    }
    const std::string_view first_line = text.cp932_line(block.first_line);
    const std::size_t at = first_line.find(block.name);
    const Place name_place{file, block.first_line, at == std::string_view::npos ? 0 : at,
                           block.name.size()};
    symbols.push_back(Json{{"name", shown(block.name)},
                           {"detail", std::string(kind_text(block.kind))},
                           {"kind", symbol_kind(block.kind)},
                           {"range", range_json(text.lines(block.first_line, block.last_line))},
                           {"selectionRange", range_of(analysis, name_place)},
                           {"children", children}});
  }
  for (const NameDefinition& definition : analysis.definitions()) {
    if (definition.at.file != file || definition.kind == NameKind::local_label ||
        definition.kind == NameKind::subroutine || definition.kind == NameKind::macro) {
      continue;
    }
    const Json range = range_of(analysis, definition.at);
    symbols.push_back(Json{{"name", shown(definition.name)},
                           {"detail", std::string(kind_text(definition.kind))},
                           {"kind", symbol_kind(definition.kind)},
                           {"range", range},
                           {"selectionRange", range}});
  }
  return symbols;
}

Json Server::workspace_symbols(const Json& params) {
  const std::string query =
      params.is_object() && params.contains("query") && params["query"].is_string()
          ? upper(utf8_to_cp932(params["query"].get<std::string>()))
          : std::string();
  // Every open document's project, analysed as it stands.
  std::set<std::filesystem::path> done;
  Json symbols = Json::array();
  std::vector<std::string> uris;
  for (const auto& [path, document] : documents_) uris.push_back(document.uri);
  for (const std::string& uri : uris) {
    const std::shared_ptr<const ProjectAnalysis> analysis = analysis_for(uri);
    if (!analysis) continue;
    const ProjectPlan& plan = analysis->plan();
    const std::filesystem::path key =
        plan.project_file.empty() ? plan.paths.back() : plan.project_file;
    if (!done.insert(key).second) continue;
    for (const NameDefinition& definition : analysis->definitions()) {
      if (analysis->is_definition_file(definition.at.file)) continue;
      if (!query.empty() && upper(definition.name).find(query) == std::string::npos) continue;
      symbols.push_back(Json{{"name", shown(definition.name)},
                             {"kind", symbol_kind(definition.kind)},
                             {"location", location_of(*analysis, definition.at)}});
    }
  }
  return symbols;
}

Server::Answer Server::folding_ranges(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  Json ranges = Json::array();
  for (const Block& block : located->analysis->blocks()) {
    if (block.file != located->file || block.last_line <= block.first_line) continue;
    ranges.push_back(Json{{"startLine", block.first_line}, {"endLine", block.last_line}});
  }
  return ranges;
}

Server::Answer Server::semantic_tokens(const Json& params) {
  Expected<Located, int> located = locate(params);
  if (!located) return std::move(located).failure();
  const SourceText& text = located->analysis->texts()[located->file];
  std::vector<std::uint32_t> data;
  std::size_t last_line = 0;
  std::size_t last_start = 0;
  const auto style_index = [](syntax::Style style) {
    const auto styles = syntax::all_styles();
    for (std::size_t i = 0; i < styles.size(); ++i) {
      if (styles[i].style == style) return i;
    }
    return std::size_t{0};
  };
  const auto add = [&](std::size_t line, std::size_t begin, std::size_t end, syntax::Style style) {
    if (style == syntax::Style::normal || end <= begin) return;
    // A token across an editor's line end (a lone CR, which the assembler
    // reads inside its line) is left out: a token holds one line.
    const Position start = text.position(line, begin);
    const Position stop = text.position(line, end);
    if (stop.line != start.line || stop.character == start.character) return;
    const std::size_t length = stop.character - start.character;
    data.push_back(static_cast<std::uint32_t>(start.line - last_line));
    data.push_back(static_cast<std::uint32_t>(start.line == last_line ? start.character - last_start
                                                                      : start.character));
    data.push_back(static_cast<std::uint32_t>(length));
    data.push_back(static_cast<std::uint32_t>(style_index(style)));
    data.push_back(0);
    last_line = start.line;
    last_start = start.character;
  };
  std::size_t budget = syntax::kStyledBytesBudget;
  const CoreFamily core = core_of(*located->analysis);
  for (std::size_t line = 0; line < text.line_count(); ++line) {
    for (const syntax::StyledSpan& span : syntax::line_styles(
             notation_of_table(core), table_entries(core), text.cp932_line(line), budget)) {
      add(line, span.start, span.start + span.length, span.style);
    }
  }
  return Json{{"data", data}};
}

}  // namespace korva::lsp
