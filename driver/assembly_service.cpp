#include "driver/assembly_service.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chip/chip_checks.h"
#include "codegen/hex_text.h"
#include "driver/diagnostic_explainer.h"
#include "driver/listing.h"
#include "driver/utf8_sources.h"
#include "driver/warning_caps.h"
#include "outputs/intel_hex.h"
#include "outputs/map_file.h"
#include "patterns/matcher.h"
#include "resources/error_texts.h"
#include "source/source_map.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "support/diagnostic_kind.h"
#include "support/text.h"
#include "symbols/pass1_lines.h"

namespace korva {

Expected<void> SourceSet::add(std::string name, std::string_view bytes) {
  if (const Expected<void, JoinFailure> clean = check_no_zero_byte(bytes, name); !clean) {
    return fail(clean.message());
  }
  joined.file_starts.push_back(joined.text.size());
  joined.text += bytes;
  names.push_back(std::move(name));
  return {};
}

namespace {

// Program-word addresses are 16 bits; the location counter wraps beyond FFFF.
constexpr std::uint32_t kAddressMask = 0xFFFF;

// A warning of pass 2, listed with its record in pass 3.
struct PendingWarning {
  std::size_t record;
  DiagnosticKind kind;
  std::string text;
};

// What pass 3 counts over the program for its summary warnings.
struct Tally {
  std::size_t outside_bank0 = 0;
  // The summary of the registers above 7F, placed at the first of them; its
  // text is made when the count is known.
  Diagnostic first_outside_bank0;
  // Lines whose error left fewer words than pass 2 gave them addresses for.
  std::size_t unwritten_words = 0;
  SourceLocation first_unwritten;
  std::size_t first_unwritten_index = 0;
  // The first word beyond the chip's program memory.
  SourceLocation first_beyond;
  std::size_t first_beyond_index = 0;
};

// The chip whose definitions the sources hold: the first source with chip
// facts (put in front by --chip, or a definition file in the project).
std::optional<ChipFacts> chip_of_sources(const SourceSet& sources) {
  const std::string_view text = sources.joined.text;
  const std::vector<std::size_t>& starts = sources.joined.file_starts;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
    const std::string_view file = text.substr(starts[i], end - starts[i]);
    if (!has_chip_facts(file)) continue;
    Expected<std::optional<ChipFacts>> facts = read_chip_facts(file);
    if (facts && *facts) return std::move(**facts);
  }
  return std::nullopt;
}

// The zero fill in words that an ORG record asks for, and the location
// counter moved to its address; an ORG backwards gets "ORG Error".
std::int64_t org_gap(LineRecord& record, std::uint32_t& location_counter) {
  if (!has_kind(record, RecordKind::org)) return 0;
  const std::int32_t address = hex_value(record.address);
  std::int64_t gap = std::int64_t{address} - std::int64_t{location_counter};
  location_counter = static_cast<std::uint32_t>(address);
  if (gap < 0) {
    gap = 0;
    record.error = error_text(DiagnosticKind::origin_error);
  }
  return gap;
}

// Where an ORG record starts its run of image bytes: its address, a
// negative one (which only an ORG backwards can have) at 0.
std::uint32_t run_address(const LineRecord& record, std::uint32_t counter) {
  if (!has_kind(record, RecordKind::org)) return 0;
  return static_cast<std::int32_t>(counter) < 0 ? 0 : counter;
}

// A warning about the whole run, without a place in the source.
Diagnostic run_warning(DiagnosticKind kind, std::string text) {
  Diagnostic warning;
  warning.kind = kind;
  warning.severity = Severity::warning;
  warning.text = std::move(text);
  return warning;
}

// The warnings of a debug file: words it could not hold, names it had to cut.
void add_debug_file_warnings(const DebugFile& file, const GpsimProcessor& processor,
                             const std::vector<DebugSourceName>& names, const std::string& cod_name,
                             std::vector<Diagnostic>& diagnostics) {
  if (file.words_left_out > 0) {
    char first[16];
    std::snprintf(first, sizeof first, "%04X", static_cast<unsigned>(processor.program_words));
    diagnostics.push_back(run_warning(
        DiagnosticKind::debug_words_left_out,
        cod_name + " leaves out the " + std::to_string(file.words_left_out) +
            (file.words_left_out == 1 ? " program word from " : " program words from ") + first +
            " on, beyond the " + std::to_string(processor.program_words) + " words of the " +
            std::string(processor.chip) + "'s program memory"));
  }
  if (file.special_words_left_out > 0) {
    diagnostics.push_back(run_warning(
        DiagnosticKind::debug_words_left_out,
        cod_name + " leaves out the " + std::to_string(file.special_words_left_out) +
            (file.special_words_left_out == 1 ? " word" : " words") +
            " from 8000 on (ID locations, configuration words, EEPROM): a debug file indexes "
            "32768 words; the HEX file (--hex) holds them"));
  }
  for (const std::string& name : file.names_cut) {
    const auto named = std::find_if(names.begin(), names.end(), [&](const DebugSourceName& each) {
      return each.stored == name;
    });
    diagnostics.push_back(
        run_warning(DiagnosticKind::debug_name_cut,
                    cod_name + ": the source name " + (named == names.end() ? name : named->shown) +
                        " is longer than 63 characters and is cut; gpsim will not "
                        "find the file"));
  }
}

Diagnostic summary_warning(DiagnosticKind kind, std::string text, SourceLocation where = {},
                           std::optional<std::size_t> listing_index = std::nullopt) {
  Diagnostic summary;
  summary.kind = kind;
  summary.severity = Severity::warning;
  summary.where = std::move(where);
  summary.text = std::move(text);
  summary.listing_index = listing_index;
  return summary;
}

}  // namespace

// One assembly's passes 2 and 3 and what they collect.
class AssemblyService::Run {
 public:
  Run(AssemblyService& service, SourceSet& sources, const ServiceOptions& options,
      ServiceResult& result)
      : service_(service),
        sources_(sources),
        source_(sources.joined.text),
        map_(sources.joined.text, sources.names, sources.joined.file_starts),
        utf8_(sources.joined.text, sources.names, sources.joined.file_starts),
        options_(options),
        result_(result) {
    if (options.collect_facts || options.extra_outputs.debug_file || options.extra_outputs.map) {
      facts_ = std::make_unique<ProgramFactsCollector>();
    }
    if (std::optional<ChipFacts> chip = chip_of_sources(sources)) chip_.emplace(std::move(*chip));
  }

  // False when the program is too large for the record table.
  bool pass2();
  // After pass 2: the symbol facts, which read the text.
  void collect_symbol_facts_of_text();
  void pass3();
  void finish();
  // The base name without its folder, which titles the map file.
  std::string output_name() const {
    if (options_.output_name) return *options_.output_name;
    // After the last slash or backslash that is a character of its own: in
    // CP932 the second byte of a character may be 5C, the backslash.
    const std::string& base = options_.output_base;
    std::size_t start = 0;
    for (std::size_t i = 0; i < base.size(); ++i) {
      const auto byte = static_cast<unsigned char>(base[i]);
      if (is_cp932_lead_byte(byte)) {
        ++i;
      } else if (byte == '/' || byte == '\\') {
        start = i + 1;
      }
    }
    return base.substr(start);
  }

 private:
  void add_warning(DiagnosticKind kind, std::string text) {
    if (!text.empty()) warnings_.push_back({result_.records.size(), kind, std::move(text)});
  }
  void classify_line(std::optional<std::size_t> origin, std::uint32_t& counter);
  // Pass 3 on record `n`: its words, its listing line, its diagnostics.
  void list_record(std::size_t n, LineRecord& record, std::string& line);
  // The diagnostic added for record `record`; null for a warning beyond its
  // kind's share.
  Diagnostic* add_diagnostic(std::size_t record, const RecordSpot& spot, DiagnosticKind kind,
                             std::string_view text, std::string_view listing_line);
  // The same, once a warning is admitted or for an error.
  Diagnostic& add_admitted(std::size_t record, const RecordSpot& spot, DiagnosticKind kind,
                           std::string_view text, std::string_view listing_line);
  // A diagnostic about record `n`, at its source line, not yet added.
  Diagnostic placed(std::size_t record, const RecordSpot& spot, DiagnosticKind kind,
                    std::string_view text, std::string_view listing_line);
  // A warning of pass 3 about record `n`; its text, made by `make_text`, is
  // made only when its kind's share admits it.
  template <typename MakeText>
  void add_placed_warning(std::size_t n, const RecordSpot& spot, DiagnosticKind kind,
                          const LineRecord& record, std::string_view line, MakeText make_text) {
    if (!caps_.admit(kind)) return;
    place_warning(add_admitted(n, spot, kind, make_text(), line), record);
  }
  void diagnose_record(std::size_t n, const RecordSpot& spot, const LineRecord& record,
                       std::string_view line, std::size_t words_reserved);
  void check_words(std::size_t n, const RecordSpot& spot, const LineRecord& record,
                   std::string_view line);
  void add_summaries();

  AssemblyService& service_;
  SourceSet& sources_;
  std::string_view source_;  // for the diagnostics' source lines and explanations
  SourceMap map_;
  Utf8SourceNotes utf8_;
  const ServiceOptions& options_;
  ServiceResult& result_;
  std::vector<PendingWarning> warnings_;          // found in pass 2, listed in pass 3
  std::unique_ptr<ProgramFactsCollector> facts_;  // only when the facts were asked for
  std::optional<ChipChecks> chip_;                // when the sources define a chip
  // The chip's core, which chooses the notation's table.
  CoreFamily core() const { return chip_ ? chip_->chip().core : CoreFamily::classic; }
  // Pass 3's state.
  std::uint32_t counter_ = 0;
  std::size_t pending_ = 0;  // the next pass-2 warning to list
  WarningCaps caps_;
  Tally tally_;
  LocalLabels local_labels_;
  MacroCallTrail macro_calls_;
};

Diagnostic* AssemblyService::Run::add_diagnostic(std::size_t record, const RecordSpot& spot,
                                                 DiagnosticKind kind, std::string_view text,
                                                 std::string_view listing_line) {
  if (severity_of(kind) == Severity::warning && !caps_.admit(kind)) return nullptr;
  return &add_admitted(record, spot, kind, text, listing_line);
}

Diagnostic& AssemblyService::Run::add_admitted(std::size_t record, const RecordSpot& spot,
                                               DiagnosticKind kind, std::string_view text,
                                               std::string_view listing_line) {
  return result_.diagnostics.emplace_back(placed(record, spot, kind, text, listing_line));
}

Diagnostic AssemblyService::Run::placed(std::size_t record, const RecordSpot& spot,
                                        DiagnosticKind kind, std::string_view text,
                                        std::string_view listing_line) {
  Diagnostic diagnostic;
  diagnostic.kind = kind;
  diagnostic.severity = severity_of(kind);
  diagnostic.where = map_.locate(spot.offset);
  diagnostic.source_line = line_at(source_, spot.offset);
  if (spot.call_offset != kNoCall && spot.call_offset != spot.offset) {
    diagnostic.call = map_.locate(spot.call_offset);
    macro_calls_.add_notes(diagnostic.notes, map_, source_);
  }
  diagnostic.text = text;
  diagnostic.listing_line = listing_line;
  diagnostic.listing_index = record;
  return diagnostic;
}

bool AssemblyService::Run::pass2() {
  AssemblyService& s = service_;
  s.expander_.reset(s.macros_, source_, options_.macro_line_limit);
  s.record_.address = "0000";
  std::uint32_t counter = 0;
  s.classifier_.reset();
  std::uint32_t call_offset = kNoCall;
  SourceReader reader;
  reader.reset(source_);
  do {
    s.line_.clear();
    std::optional<std::size_t> origin;
    RecordSpot spot;
    if (s.expander_.next_line(s.line_)) {
      origin = s.expander_.line_origin();
      spot = RecordSpot{spot_offset(s.expander_.produced_offset()), call_offset};
    } else {
      spot.offset = spot_offset(reader.position());
      call_offset = spot.offset;
      for (const Utf8SourceNotes::Note& note : utf8_.reached(reader.position())) {
        add_warning(DiagnosticKind::utf8_source, note.warning);
      }
      origin = reader.read_line(s.line_);
    }
    const SplitCuts cuts = split_statement(s.line_, s.record_);
    s.record_.error.clear();
    if (!s.expander_.expand_macro(s.record_.statement, s.record_, origin)) {
      classify_line(origin, counter);
    }
    if (cuts.label) add_warning(DiagnosticKind::label_cut, label_cut_warning(s.record_));
    if (cuts.statement) {
      add_warning(DiagnosticKind::statement_cut, statement_cut_warning(s.line_));
    }
    if (cuts.remark) add_warning(DiagnosticKind::remark_cut, remark_cut_warning(s.record_));
    if (!result_.records.add(s.record_, spot)) return false;
    assign_hex(s.record_.address, counter, 4);
  } while (s.line_ != "end");
  if (facts_) facts_->pass2_ended(counter);
  return true;
}

// Matches and classifies the line split into the record, which moves the
// location counter on, with the warnings that come of it.
void AssemblyService::Run::classify_line(std::optional<std::size_t> origin,
                                         std::uint32_t& counter) {
  AssemblyService& s = service_;
  match_statement(s.record_, core());
  add_warning(DiagnosticKind::data_byte_cut, data_byte_warning(s.record_));
  add_warning(DiagnosticKind::unwritten_number, unwritten_number_warning(s.record_));
  const std::uint32_t before = counter;
  const std::uint32_t ram_before = s.classifier_.ram_address();
  s.classifier_.classify_statement(s.record_, counter, s.symbols_, origin);
  counter &= kAddressMask;
  if (facts_) {
    facts_->classified(s.record_, origin,
                       {before, counter, ram_before, s.classifier_.ram_address()});
  }
  if (chip_ && pattern_type_of(s.record_) == PatternType::reservation &&
      has_kind(s.record_, RecordKind::equ)) {
    const std::uint32_t bytes = (s.classifier_.ram_address() - ram_before) & kAddressMask;
    add_warning(DiagnosticKind::chip_reservation_outside_gpr,
                chip_->reservation(ram_before, bytes));
  }
  add_warning(DiagnosticKind::raw_word_not_hex, raw_word_warning(s.record_));
  add_warning(DiagnosticKind::counter_wrap, counter_wrap_warning(before, counter, s.record_));
  if (const auto& repeated_symbol = s.classifier_.repeated_symbol()) {
    add_warning(DiagnosticKind::repeated_symbol,
                repeated_symbol_warning(s.expander_.current_macro(), repeated_symbol->name,
                                        repeated_symbol->subroutine, repeated_symbol->value));
  }
}

// The errors and warnings of record n, whose listing line is `line`.
void AssemblyService::Run::diagnose_record(std::size_t n, const RecordSpot& spot,
                                           const LineRecord& record, std::string_view line,
                                           std::size_t words_reserved) {
  const CodeGenerator& generator = service_.generator_;
  Tally& tally = tally_;
  if (!record.error.empty()) {
    result_.error_entries.emplace_back(line);
    Diagnostic& error =
        *add_diagnostic(n, spot, error_kind(record.error).value_or(DiagnosticKind::grammar_error),
                        record.error, line);
    const std::optional<EncodingFault>& fault = generator.last_fault();
    explain_error(
        error, record,
        ExplainContext{service_.symbols_, map_, source_, &local_labels_, options_.macro_line_limit,
                       fault ? &*fault : nullptr, chip_ ? &chip_->chip() : nullptr});
  }
  for (; pending_ < warnings_.size() && warnings_[pending_].record == n; ++pending_) {
    const PendingWarning& pending = warnings_[pending_];
    if (Diagnostic* warning = add_diagnostic(n, spot, pending.kind, pending.text, line)) {
      place_warning(*warning, record);
    }
  }
  if (record.error.empty()) {
    for (const OperandNote& note : generator.operand_notes()) {
      const DiagnosticKind kind = note.kind == OperandNote::Kind::operator_ignored
                                      ? DiagnosticKind::operator_ignored
                                      : DiagnosticKind::unwritten_number;
      if (Diagnostic* warning = add_diagnostic(n, spot, kind, operand_note_warning(note), line)) {
        place_warning(*warning, record, note.term);
      }
    }
  } else if (record.code.size() / 4 < words_reserved && tally.unwritten_words++ == 0) {
    tally.first_unwritten = map_.locate(spot.offset);
    tally.first_unwritten_index = n;
  }
  const std::optional<OperandValue>& operand1 = generator.last_operand1();
  if (literal_too_wide(record, operand1)) {
    add_placed_warning(n, spot, DiagnosticKind::literal_too_wide, record, line,
                       [&] { return literal_warning(record, operand1); });
  }
  // Warned about from the address pass 2 gave the line.
  const std::uint32_t target = generator.last_target();
  if (const auto address = static_cast<std::uint32_t>(hex_value(record.address));
      target_in_other_page(record, target, address)) {
    add_placed_warning(n, spot,
                       has_kind(record, RecordKind::branch)
                           ? DiagnosticKind::jump_target_other_page
                           : DiagnosticKind::call_target_other_page,
                       record, line, [&] { return target_warning(record, target, address); });
  }
  if (register_outside_bank0(record, generator.last_operand1(), core(),
                             chip_ ? chip_->chip().banks : 0) &&
      tally.outside_bank0++ == 0) {
    tally.first_outside_bank0 = placed(n, spot, DiagnosticKind::registers_outside_bank0, {}, line);
    place_warning(tally.first_outside_bank0, record);
  }
}

// The record's words against the chip's memory and configuration words.
void AssemblyService::Run::check_words(std::size_t n, const RecordSpot& spot,
                                       const LineRecord& record, std::string_view line) {
  const ChipChecks::WordsFound found = chip_->words(counter_, record.code.view());
  if (found.first_beyond) {
    tally_.first_beyond = map_.locate(spot.offset);
    tally_.first_beyond_index = n;
  }
  if (!found.config_warning.empty()) {
    if (Diagnostic* warning = add_diagnostic(n, spot, DiagnosticKind::chip_config_bits_unset,
                                             found.config_warning, line)) {
      place_warning(*warning, record);
    }
  }
}

// The warnings about the whole program, after its last line.
void AssemblyService::Run::add_summaries() {
  const Tally& tally = tally_;
  for (std::string& summary : caps_.summaries()) {
    result_.diagnostics.push_back(
        summary_warning(DiagnosticKind::warnings_not_shown, std::move(summary)));
  }
  if (tally.unwritten_words > 0) {
    result_.diagnostics.push_back(summary_warning(
        DiagnosticKind::unwritten_words,
        unwritten_words_summary(tally.unwritten_words, options_.output_base + ".bin"),
        tally.first_unwritten, tally.first_unwritten_index));
  }
  for (const Utf8SourceNotes::Note& note : utf8_.unreached()) {
    // The file's text lies after the line that ended the passes.
    result_.diagnostics.push_back(
        summary_warning(DiagnosticKind::utf8_source, note.warning, map_.locate(note.line_start)));
  }
  if (tally.outside_bank0 > 0) {
    Diagnostic& summary = result_.diagnostics.emplace_back(tally.first_outside_bank0);
    summary.text = register_bank_summary(tally.outside_bank0, summary.where);
  }
  if (!chip_) return;
  if (std::string beyond = chip_->beyond_summary(); !beyond.empty()) {
    result_.diagnostics.push_back(summary_warning(DiagnosticKind::chip_words_beyond_memory,
                                                  std::move(beyond), tally.first_beyond,
                                                  tally.first_beyond_index));
  }
  if (std::string missing = chip_->missing_config(); !missing.empty()) {
    result_.diagnostics.push_back(
        summary_warning(DiagnosticKind::chip_config_missing, std::move(missing)));
  }
  result_.chip = chip_->chip();
}

void AssemblyService::Run::pass3() {
  // The last record, the source's "end", is not listed.
  const std::size_t listed = result_.records.size() - 1;
  // A listing line is at most its source line plus address, code and tabs.
  result_.listing.reserve(source_.size() + listed * 24);
  service_.generator_.reset(chip_ ? chip_->chip().banks : 0);
  LineRecord record;
  std::string line;
  for (std::size_t n = 0; n < listed; ++n) list_record(n, record, line);
  add_summaries();
}

void AssemblyService::Run::list_record(std::size_t n, LineRecord& record, std::string& line) {
  result_.records.read(n, record);
  const RecordSpot spot = result_.records.spot(n);
  const std::size_t words_reserved = record.code.size() / 4;
  service_.generator_.generate_code(record, service_.symbols_);
  upper_case(record.address);
  upper_case(record.code);
  const std::int64_t gap = org_gap(record, counter_);
  format_listing_line(record, line);
  result_.listing += line;
  ProgramImage& image = result_.image;
  const std::size_t image_before = image.bytes().size();
  image.add(record, static_cast<std::size_t>(2 * gap), run_address(record, counter_));
  if (facts_ && gap == 0) {
    const SourceMap::Line where = map_.line_of(spot.offset);
    facts_->wrote(image_before, image.bytes().size(),
                  SourcePlace{static_cast<std::uint32_t>(where.file_index),
                              static_cast<std::uint32_t>(where.line)});
  }
  diagnose_record(n, spot, record, line, words_reserved);
  if (chip_) check_words(n, spot, record, line);
  macro_calls_.follow(record, spot.offset, spot.call_offset == spot.offset);
  counter_ = (counter_ + static_cast<std::uint32_t>(record.code.size() / 4)) & kAddressMask;
}

void AssemblyService::Run::collect_symbol_facts_of_text() {
  if (options_.collect_symbol_facts) {
    result_.symbol_facts = collect_symbol_facts(source_, map_, service_.symbols_);
  }
}

void AssemblyService::Run::finish() {
  const ExtraOutputs& extra = options_.extra_outputs;
  // From the words at their addresses, never from the .bin bytes: an ORG
  // gap stays a gap.
  if (extra.intel_hex) result_.intel_hex = intel_hex_text(result_.image.placed());
  if (!facts_) return;
  result_.facts = facts_->finish(service_.symbols_, map_, sources_.names, result_.image.bytes());
  result_.facts->definition_files = std::min(options_.definition_files, sources_.names.size());
  if (chip_) result_.facts->chip = chip_->chip();
  if (extra.debug_file) {
    std::vector<DebugSourceName> names = options_.debug_source_names;
    if (names.empty()) {
      for (const std::string& name : sources_.names) names.push_back({name, name});
    }
    std::vector<std::string> stored;
    stored.reserve(names.size());
    for (const DebugSourceName& name : names) stored.push_back(name.stored);
    DebugFile file = debug_file(*extra.debug_file, *result_.facts, stored, options_.debug_stamp);
    add_debug_file_warnings(file, *extra.debug_file, names, options_.output_base + ".cod",
                            result_.diagnostics);
    result_.debug_file = std::move(file.bytes);
  }
  if (extra.map) {
    result_.map_file = map_file_text(*result_.facts, output_name());
  }
}

// The failure's message is the pass-1 message box text.
Expected<void, AssemblyService::Pass1Stop> AssemblyService::run_pass1(std::string_view source) {
  symbols_.reset();
  macros_.reset();
  // The lines pass 1 would find nothing in are passed over unread.
  Pass1Lines lines(source);
  for (;;) {
    std::size_t line_offset = source.size();
    std::size_t position = source.size();
    if (const std::optional<RawLine> line = lines.next()) {
      line_offset = line->start;
      position = line->next;
      line_.clear();
      append_collapsed(line_, line->bytes);
    } else {
      line_ = "end";  // as the reader hands out at the end of the text
    }
    split_statement(line_, record_);
    symbols_.collect_symbols(record_, position);
    macros_.collect_macro(record_, position);
    if (!record_.error.empty()) {
      return fail(Pass1Stop{line_offset}, record_.label + record_.statement + "->" + record_.error);
    }
    if (line_ == "end") return {};
  }
}

ServiceResult AssemblyService::assemble(SourceSet sources, const ServiceOptions& options,
                                        RecordsReady* ready) {
  ServiceResult result;
  record_ = LineRecord{};
  Run run(*this, sources, options, result);
  if (const Expected<void, Pass1Stop> pass1 = run_pass1(sources.joined.text); !pass1) {
    const SourceMap map(sources.joined.text, sources.names, sources.joined.file_starts);
    result.outcome = ServiceOutcome::stopped;
    result.message = pass1.message();
    Diagnostic& stop = result.diagnostics.emplace_back();
    stop.kind = error_kind(record_.error).value_or(DiagnosticKind::grammar_error);
    stop.where = map.locate(pass1.reason().line_offset);
    stop.text = result.message;
    stop.source_line = line_at(sources.joined.text, pass1.reason().line_offset);
    explain_pass1_stop(stop, record_, macros_,
                       ExplainContext{symbols_, map, sources.joined.text, nullptr});
    return result;
  }
  if (!run.pass2()) {
    result = ServiceResult{};
    result.outcome = ServiceOutcome::stopped;
    result.message = "the program is too large to hold in memory";
    return result;
  }
  result.records.release_indexes();
  if (ready) ready->filled(result.records);
  run.collect_symbol_facts_of_text();
  run.pass3();
  if (ready) ready->ended();
  run.finish();
  return result;
}

}  // namespace korva
