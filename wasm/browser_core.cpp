// The core as a WebAssembly module for the browser: one entry point that
// assembles sources held in memory and answers with every output as bytes.
// The page (playground/korva_core.mjs) writes a request into memory the
// module gives it and calls korva_assemble, which answers with a buffer of
// its own. Nothing here touches a file, a clock or the console, so the
// module needs no system beneath it.
//
// Request, little-endian, a byte string being a u32 length and the bytes:
//   "KVQ1", u32 flags (1: Intel HEX, 2: symbol facts), u32 definition files (the chip's file
//   first), the outputs' base name (for the messages that name them), u32
//   source count, then per source its name and its text (CP932).
// Answer:
//   "KVA1", u8 outcome (0 completed, 1 stopped, 2 refused request),
//   the message, the .obj, the listing, the .bin and the HEX (byte strings),
//   u32 diagnostic count, then per diagnostic: u8 severity (0 error,
//   1 warning), u8 scope (0 a line, 1 the whole program: its place is that
//   of the first line it counts), u32 file index, u32 line (from 1; 0 for a summary), u32 span
//   column (from 1; 0 without a span), u32 span length, u32 listing line
//   (from 0; FFFFFFFF without one) and the message (CP932); then the
//   program's words as the listing counts them and the chip's program
//   memory in words (0 without a chip); then, when asked for,
//   u32 definition count and per definition the name (CP932), u32 file
//   index, u32 line, u32 column (from 1) and u32 length, and the references
//   the same way; then the words each line wrote: u32 run count, per run
//   u32 file index, u32 line, u32 first address and u32 word count, and
//   per word u32 word and its standard mnemonic (empty for data and
//   configuration words).
//
// korva_styles takes u8 core (0 classic, 1 enhanced: the chip's, whose
// table colours the statements) and one file's text (CP932), and answers
// with the styles the window and the language server give its lines:
//   "KVS1", u32 style count, per style its u8 number, its TextMate scope
//   (as the editors' grammar names it) and its u32 colour (0xRRGGBB, as the
//   window draws it; FFFFFFFF for none), u32 line count, then per line u32
//   span count and per span u32 start, u32 length (bytes of the line, from
//   0) and u8 style number.
//
// korva_forms takes u32 core and answers with that table's forms for
// completion: "KVF1", u32 count, per form its pattern text and mnemonic.
//
// korva_chip takes a chip file's text and answers with what the page's chip
// panel shows: "KVC1", u8 core, u32 banks, u32 program words (0 without
// facts), the facts' error (empty when they could be read), u32
// configuration word count, per word its name, u32 address, u32 erased
// value and u32 field count, per field its name, u32 erased setting
// (FFFFFFFF where no setting names the erased bits) and u32 setting count,
// per setting its name and description; then u32 register count, per
// register u32 data address, its name and the names of its bits 0 to 7
// (empty where a bit has none).
//
// korva_config takes "KVK1", a chip file's text and the choices
// ("FOSC=XT,WDTE=OFF") and answers "KVL1", u8 0 and the lines that put the
// configuration words in a program (korva-asm --config's), or u8 1 and why
// the choices were refused.
//
// korva_texts answers with the system's texts the page shows, so that they
// stay where every front end takes them from: "KVT1", u32 count, then per
// text its key and its CP932 bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "chip/chip_config.h"
#include "chip/chip_file.h"
#include "driver/assembly_service.h"
#include "driver/diagnostics.h"
#include "driver/listing.h"
#include "driver/symbol_facts.h"
#include "outputs/program_facts.h"
#include "patterns/instruction_set.h"
#include "patterns/pattern_table.h"
#include "resources/system_texts.h"
#include "support/diagnostic_kind.h"
#include "syntax/line_styles.h"
#include "syntax/syntax_model.h"

// The module's exports; the native build compiles the same file without
// them, for the checks.
#if defined(__wasm__)
#define KORVA_EXPORT(name) __attribute__((export_name(name)))
#else
#define KORVA_EXPORT(name)
#endif

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint32_t kHexFlag = 1;
constexpr std::uint32_t kSymbolFactsFlag = 2;

// Reads a request, refusing anything that runs past its end.
class RequestReader {
 public:
  explicit RequestReader(std::string_view bytes) : bytes_(bytes) {}

  std::optional<std::uint32_t> number() {
    if (bytes_.size() - at_ < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
      value = value << 8 | static_cast<unsigned char>(bytes_[at_ + static_cast<std::size_t>(i)]);
    }
    at_ += 4;
    return value;
  }
  std::optional<std::string_view> text() {
    const std::optional<std::uint32_t> size = number();
    if (!size || bytes_.size() - at_ < *size) return std::nullopt;
    const std::string_view read = bytes_.substr(at_, *size);
    at_ += *size;
    return read;
  }
  bool tag(std::string_view expected) {
    if (bytes_.substr(at_, expected.size()) != expected) return false;
    at_ += expected.size();
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

class AnswerWriter {
 public:
  void byte(std::uint8_t value) { bytes_ += static_cast<char>(value); }
  void number(std::size_t value) {
    const auto narrow = value > kNone ? kNone : static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes_ += static_cast<char>(narrow >> (8 * i) & 0xFF);
  }
  void text(std::string_view bytes) {
    number(bytes.size());
    bytes_ += bytes;
  }
  void raw(std::string_view bytes) { bytes_ += bytes; }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

struct Request {
  korva::SourceSet sources;
  korva::ServiceOptions options;
};

// The request's sources and options, or the reason it cannot be read.
std::optional<Request> read_request(std::string_view bytes, std::string& problem) {
  RequestReader reader(bytes);
  Request request;
  const std::optional<std::uint32_t> flags = reader.tag("KVQ1") ? reader.number() : std::nullopt;
  const std::optional<std::uint32_t> definitions = reader.number();
  const std::optional<std::string_view> base = reader.text();
  const std::optional<std::uint32_t> count = reader.number();
  if (!flags || !definitions || !base || !count) {
    problem = "the request is not a KORVA request";
    return std::nullopt;
  }
  for (std::uint32_t i = 0; i < *count; ++i) {
    const std::optional<std::string_view> name = reader.text();
    const std::optional<std::string_view> text = name ? reader.text() : std::nullopt;
    if (!text) {
      problem = "the request ends inside source " + std::to_string(i + 1);
      return std::nullopt;
    }
    if (const korva::Expected<void> added = request.sources.add(std::string(*name), *text);
        !added) {
      problem = added.message();
      return std::nullopt;
    }
  }
  request.options.extra_outputs.intel_hex = (*flags & kHexFlag) != 0;
  request.options.collect_symbol_facts = (*flags & kSymbolFactsFlag) != 0;
  request.options.collect_facts = request.options.collect_symbol_facts;
  request.options.definition_files = *definitions;
  request.options.output_base = std::string(*base);
  return request;
}

void write_diagnostic(AnswerWriter& answer, const korva::Diagnostic& diagnostic) {
  answer.byte(diagnostic.severity == korva::Severity::warning ? 1 : 0);
  answer.byte(diagnostic.kind == korva::DiagnosticKind::unwritten_words ? 1 : 0);
  answer.number(diagnostic.where.file_index);
  answer.number(diagnostic.where.line);
  answer.number(diagnostic.span ? diagnostic.span->column : 0);
  answer.number(diagnostic.span ? diagnostic.span->length : 0);
  answer.number(diagnostic.listing_index.value_or(kNone));
  answer.text(korva::diagnostic_message(diagnostic));
}

// The words each line wrote, as the hover of a statement shows them.
void write_words(AnswerWriter& answer, const korva::ProgramFacts& facts) {
  const auto& runs = facts.word_places.runs();
  // Program memory read by the chip's core; the configuration space is data.
  const korva::CoreFamily core = facts.chip ? facts.chip->core : korva::CoreFamily::classic;
  const std::uint32_t program_end = facts.chip ? facts.chip->configuration_space() : 0x2000;
  const std::uint32_t banks = facts.chip ? facts.chip->banks : 0;
  answer.number(runs.size());
  for (const auto& run : runs) {
    const std::size_t end = std::min(run.end, facts.image.size() / 2);
    const std::size_t first = std::min(run.first, end);
    answer.number(run.place.file);
    answer.number(run.place.line);
    answer.number(first);
    answer.number(end - first);
    for (std::size_t address = first; address < end; ++address) {
      const auto low = static_cast<unsigned char>(facts.image[2 * address]);
      const auto high = static_cast<unsigned char>(facts.image[2 * address + 1]);
      const auto word = static_cast<std::uint16_t>(high << 8 | low);
      answer.number(word);
      answer.text(address < program_end ? korva::standard_mnemonic(word, core, banks)
                                        : std::string());
    }
  }
}

std::string answer_to(std::string_view request_bytes) {
  AnswerWriter answer;
  answer.raw("KVA1");
  std::string problem;
  std::optional<Request> request = read_request(request_bytes, problem);
  if (!request) {
    answer.byte(2);
    answer.text(problem);
    for (int i = 0; i < 4; ++i) answer.text({});
    answer.number(0);  // diagnostics
    answer.number(0);  // words
    answer.number(0);  // program memory
    return std::move(answer.bytes());
  }
  korva::AssemblyService service;
  const korva::ServiceResult result =
      service.assemble(std::move(request->sources), request->options);
  const bool stopped = result.outcome == korva::ServiceOutcome::stopped;
  answer.byte(stopped ? 1 : 0);
  answer.text(result.message);
  answer.text(stopped ? std::string() : result.object_bytes());
  answer.text(result.listing);
  answer.text(result.image.bytes());
  answer.text(result.intel_hex);
  answer.number(result.diagnostics.size());
  for (const korva::Diagnostic& diagnostic : result.diagnostics) {
    write_diagnostic(answer, diagnostic);
  }
  answer.number(korva::count_program_words(result.listing));
  answer.number(result.chip ? result.chip->program.last - result.chip->program.first + 1 : 0);
  if (result.symbol_facts) {
    for (const auto* occurrences :
         {&result.symbol_facts->definitions, &result.symbol_facts->references}) {
      answer.number(occurrences->size());
      for (const korva::SymbolOccurrence& occurrence : *occurrences) {
        answer.text(occurrence.name);
        answer.number(occurrence.span.where.file_index);
        answer.number(occurrence.span.where.line);
        answer.number(occurrence.span.column);
        answer.number(occurrence.span.length);
      }
    }
  }
  if (result.symbol_facts && result.facts) write_words(answer, *result.facts);
  return std::move(answer.bytes());
}

korva::CoreFamily core_numbered(std::uint32_t number) {
  return number == 1 ? korva::CoreFamily::enhanced : korva::CoreFamily::classic;
}

std::string styles_of(std::string_view request) {
  const korva::CoreFamily core =
      core_numbered(request.empty() ? 0 : static_cast<unsigned char>(request.front()));
  const std::string_view text = request.empty() ? request : request.substr(1);
  AnswerWriter answer;
  answer.raw("KVS1");
  answer.number(korva::syntax::all_styles().size());
  for (const korva::syntax::StyleNames& style : korva::syntax::all_styles()) {
    answer.byte(static_cast<std::uint8_t>(style.style));
    answer.text(style.scope);
    answer.number(style.colour.value_or(kNone));
  }
  const std::optional<korva::syntax::Notation>& notation = korva::syntax::table_notation(core);
  const std::span<const korva::PatternEntry> entries = korva::table_entries(core);
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  answer.number(lines);
  std::size_t budget = korva::syntax::kStyledBytesBudget;
  std::size_t start = 0;
  for (std::size_t line = 0; line < lines; ++line) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view bytes = text.substr(start, end - start);
    if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
    start = end + 1;
    if (!notation) {
      answer.number(0);
      continue;
    }
    const std::vector<korva::syntax::StyledSpan> spans =
        korva::syntax::line_styles(*notation, entries, bytes, budget);
    answer.number(spans.size());
    for (const korva::syntax::StyledSpan& span : spans) {
      answer.number(span.start);
      answer.number(span.length);
      answer.byte(static_cast<std::uint8_t>(span.style));
    }
  }
  return std::move(answer.bytes());
}

// The forms of the core's table, in table order: pattern text and mnemonic.
std::string notation_forms(korva::CoreFamily core) {
  AnswerWriter answer;
  answer.raw("KVF1");
  const std::span<const korva::PatternEntry> entries = korva::table_entries(core);
  answer.number(entries.size());
  for (const korva::PatternEntry& entry : entries) {
    answer.text(entry.text);
    answer.text(entry.mnemonic);
  }
  return std::move(answer.bytes());
}

void write_config_words(AnswerWriter& answer, const korva::ChipFacts& facts) {
  answer.number(facts.config_words.size());
  for (const korva::ConfigWord& word : facts.config_words) {
    answer.text(word.name);
    answer.number(word.address);
    answer.number(word.blank);
    answer.number(word.fields.size());
    for (const korva::ConfigField& field : word.fields) {
      answer.text(field.name);
      const korva::ConfigSetting* erased = field.erased(word.blank);
      answer.number(erased != nullptr ? static_cast<std::size_t>(erased - field.settings.data())
                                      : std::size_t{kNone});
      answer.number(field.settings.size());
      for (const korva::ConfigSetting& setting : field.settings) {
        answer.text(setting.name);
        answer.text(setting.description);
      }
    }
  }
}

std::string chip_panel(std::string_view text) {
  const korva::ChipFile chip = korva::read_chip_file(text);
  AnswerWriter answer;
  answer.raw("KVC1");
  const korva::ChipFacts* facts = chip.facts ? &*chip.facts : nullptr;
  answer.byte(facts != nullptr && facts->core == korva::CoreFamily::enhanced ? 1 : 0);
  answer.number(facts != nullptr ? facts->banks : 0);
  answer.number(facts != nullptr ? facts->program.last - facts->program.first + 1 : 0);
  answer.text(chip.facts_error);
  if (facts != nullptr) {
    write_config_words(answer, *facts);
  } else {
    answer.number(0);
  }
  answer.number(chip.registers.size());
  for (const auto& [address, name] : chip.registers) {
    answer.number(address);
    answer.text(name);
    const auto bits = chip.bits.find(address);
    for (std::size_t bit = 0; bit < 8; ++bit) {
      answer.text(bits != chip.bits.end() ? std::string_view(bits->second[bit]) : "");
    }
  }
  return std::move(answer.bytes());
}

std::string config_lines(std::string_view request) {
  RequestReader reader(request);
  AnswerWriter answer;
  answer.raw("KVL1");
  const std::optional<std::string_view> text = reader.tag("KVK1") ? reader.text() : std::nullopt;
  const std::optional<std::string_view> choices = text ? reader.text() : std::nullopt;
  const korva::ChipFile chip = korva::read_chip_file(text.value_or(""));
  const auto refuse = [&answer](std::string_view why) {
    answer.byte(1);
    answer.text(why);
    return std::move(answer.bytes());
  };
  if (!choices) return refuse("the request is not a configuration request");
  if (!chip.facts) {
    return refuse(chip.facts_error.empty() ? "the chip file has no configuration words"
                                           : chip.facts_error);
  }
  // No choice at all is the erased words, as the panel first shows them.
  const korva::Expected<std::vector<korva::ConfigChoice>> parsed =
      choices->empty()
          ? korva::Expected<std::vector<korva::ConfigChoice>>(std::vector<korva::ConfigChoice>{})
          : korva::parse_config_choices(*choices);
  if (!parsed) return refuse(parsed.message());
  const korva::Expected<std::vector<korva::ConfiguredWord>> words =
      korva::configure_chip(*chip.facts, *parsed);
  if (!words) return refuse(words.message());
  answer.byte(0);
  answer.text(korva::format_config_lines(*chip.facts, *words));
  return std::move(answer.bytes());
}

std::string page_texts() {
  struct Keyed {
    std::string_view key;
    std::string_view text;
  };
  constexpr Keyed kTexts[] = {
      {"address", korva::texts::kColumnAddress}, {"code", korva::texts::kColumnCode},
      {"label", korva::texts::kColumnLabel},     {"statement", korva::texts::kColumnStatement},
      {"remark", korva::texts::kColumnRemark},   {"error", korva::texts::kColumnError},
      {"warnings", korva::texts::kWarningList},
  };
  AnswerWriter answer;
  answer.raw("KVT1");
  answer.number(std::size(kTexts));
  for (const Keyed& text : kTexts) {
    answer.text(text.key);
    answer.text(text.text);
  }
  return std::move(answer.bytes());
}

}  // namespace

// The module's interface: the page takes a buffer for its request, writes
// it, and hands it over; the answer it gets back is its own until it frees
// it. No state stays in the module between calls.
extern "C" {

KORVA_EXPORT("korva_alloc") char* korva_alloc(std::uint32_t size) {
  return static_cast<char*>(std::malloc(size == 0 ? 1 : size));
}

KORVA_EXPORT("korva_free") void korva_free(char* bytes) {
  std::free(bytes);
}

// Assembles the request of `size` bytes at `bytes` (and frees them).
KORVA_EXPORT("korva_assemble") std::string* korva_assemble(char* bytes, std::uint32_t size) {
  auto* answer = new std::string(answer_to(std::string_view(bytes, size)));
  std::free(bytes);
  return answer;
}

// The styles of the lines of the text of `size` bytes at `bytes` (and frees them).
KORVA_EXPORT("korva_styles") std::string* korva_styles(char* bytes, std::uint32_t size) {
  auto* answer = new std::string(styles_of(std::string_view(bytes, size)));
  std::free(bytes);
  return answer;
}

// The forms of the core's table (0 classic, 1 enhanced), for completion.
KORVA_EXPORT("korva_forms") std::string* korva_forms(std::uint32_t core) {
  return new std::string(notation_forms(core_numbered(core)));
}

// What the chip file of `size` bytes at `bytes` holds (and frees them).
KORVA_EXPORT("korva_chip") std::string* korva_chip(char* bytes, std::uint32_t size) {
  auto* answer = new std::string(chip_panel(std::string_view(bytes, size)));
  std::free(bytes);
  return answer;
}

// The configuration lines of the request of `size` bytes at `bytes` (and frees them).
KORVA_EXPORT("korva_config") std::string* korva_config(char* bytes, std::uint32_t size) {
  auto* answer = new std::string(config_lines(std::string_view(bytes, size)));
  std::free(bytes);
  return answer;
}

// The system's texts the page shows.
KORVA_EXPORT("korva_texts") std::string* korva_texts() {
  return new std::string(page_texts());
}

KORVA_EXPORT("korva_answer_data") const char* korva_answer_data(const std::string* answer) {
  return answer->data();
}

KORVA_EXPORT("korva_answer_size") std::uint32_t korva_answer_size(const std::string* answer) {
  return static_cast<std::uint32_t>(answer->size());
}

KORVA_EXPORT("korva_answer_free") void korva_answer_free(std::string* answer) {
  delete answer;
}

}  // extern "C"
