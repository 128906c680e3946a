#include "driver/assembler.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "codegen/hex_text.h"
#include "driver/debug_file.h"
#include "driver/diagnostic_explainer.h"
#include "driver/intel_hex.h"
#include "driver/listing.h"
#include "driver/map_file.h"
#include "driver/program_image.h"
#include "driver/record_blocks.h"
#include "patterns/matcher.h"
#include "resources/system_texts.h"
#include "source/source_joiner.h"
#include "source/source_map.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "support/file_io.h"
#include "support/output_set.h"
#include "support/text_encoding.h"

namespace korva {

namespace {

constexpr std::uint32_t kNoCall = 0xFFFFFFFF;

// Where a record's line stands in the source: its own line, and for a line
// of a macro expansion the call in the source that started it.
struct RecordSpot {
  std::uint32_t offset = 0;
  std::uint32_t call_offset = kNoCall;
};

// Offsets are kept in 32 bits (one spot per record adds up); sources beyond
// 4 GiB only lose the exact line of their diagnostics.
std::uint32_t spot_offset(std::size_t offset) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(offset, kNoCall - 1));
}

// Warnings of one kind beyond this many are counted, not listed: a long
// program outgrowing a code page would otherwise bury everything else.
constexpr std::size_t kWarningsShownPerKind = 100;

struct PendingWarning {
  std::size_t record;
  DiagnosticKind kind;
  std::string text;
};

// The output files in the order in which they are put in place.
// Where each extra output stands in the set, after .obj, .out and .bin.
struct ExtraIndices {
  std::optional<std::size_t> hex;
  std::optional<std::size_t> cod;
  std::optional<std::size_t> map;
};

ExtraIndices extra_indices(const ExtraOutputs& extra) {
  ExtraIndices at;
  std::size_t next = 3;
  if (extra.intel_hex) at.hex = next++;
  if (extra.debug_file) at.cod = next++;
  if (extra.map) at.map = next++;
  return at;
}

std::vector<std::filesystem::path> output_targets(const std::string& base,
                                                  const ExtraOutputs& extra) {
  std::vector<std::filesystem::path> targets = {os_path(base + ".obj"), os_path(base + ".out"),
                                                os_path(base + ".bin")};
  const ExtraIndices at = extra_indices(extra);
  if (at.hex) targets.push_back(os_path(base + ".hex"));
  if (at.cod) targets.push_back(os_path(base + ".cod"));
  if (at.map) targets.push_back(os_path(base + ".map"));
  return targets;
}

// The date, time and name that the debug file's directory records.
DebugFileStamp debug_stamp(const std::filesystem::path& cod_path) {
  DebugFileStamp stamp;
  stamp.file_name = narrow_os_name(cod_path.filename());
  stamp.version = KORVA_VERSION;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  const bool known = localtime_s(&local, &now) == 0;
#else
  const bool known = localtime_r(&now, &local) != nullptr;
#endif
  if (known) {
    stamp.year = local.tm_year + 1900;
    stamp.month = local.tm_mon + 1;
    stamp.day = local.tm_mday;
    stamp.hour = local.tm_hour;
    stamp.minute = local.tm_min;
  }
  return stamp;
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
                             const std::string& cod_name, std::vector<Diagnostic>& diagnostics) {
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
  for (const std::string& name : file.names_cut) {
    diagnostics.push_back(run_warning(DiagnosticKind::debug_name_cut,
                                      cod_name + ": the source name " + cp932_from_os_name(name) +
                                          " is longer than 63 characters and is cut; gpsim will "
                                          "not find the file"));
  }
}

// The file whose advisory lock makes two assemblies of one project take
// turns: the project file, or without one the first source. Both exist
// anyway, so the lock leaves no file behind.
FileLock lock_project(const ProjectState& project) {
  if (!project.project_file_path.empty()) {
    FileLock lock = FileLock::acquire(os_path(project.project_file_path));
    if (lock.held()) return lock;
  }
  // The project's own first source: definitions put in front of it are
  // shared by every project for that chip.
  const std::filesystem::path first =
      os_path(project.entries[std::min(project.leading_entries, project.entries.size() - 1)]);
  return FileLock::acquire(project.entry_directory.empty() ? first
                                                           : project.entry_directory / first);
}

}  // namespace

// The output files of one assembly and what pass 3 collects for them.
struct Assembler::Outputs {
  Outputs(const std::string& base, const AssemblyOptions& options)
      : image_name(base + ".bin"),
        set(output_targets(base, options.extra_outputs), options.files),
        object(set.file(0)),
        listing_file(set.file(1)),
        image_file(set.file(2)),
        hex_file(extra_file(options.extra_outputs, &ExtraIndices::hex)),
        cod_file(extra_file(options.extra_outputs, &ExtraIndices::cod)),
        map_file(extra_file(options.extra_outputs, &ExtraIndices::map)),
        base_name(base),
        processor(options.extra_outputs.debug_file) {}

  AtomicFile* extra_file(const ExtraOutputs& extra,
                         std::optional<std::size_t> ExtraIndices::*which) {
    const std::optional<std::size_t> index = extra_indices(extra).*which;
    return index ? &set.file(*index) : nullptr;
  }

  std::string image_name;  // CP932, for messages
  OutputSet set;
  AtomicFile& object;
  AtomicFile& listing_file;
  AtomicFile& image_file;
  AtomicFile* hex_file;
  AtomicFile* cod_file;
  AtomicFile* map_file;
  std::string base_name;  // CP932
  std::optional<GpsimProcessor> processor;
  // What the debug and map files are written from, once pass 3 is over, and
  // the sources' names as gpsim finds them from the debug file's folder.
  std::optional<ProgramFacts> finished_facts;
  std::vector<std::string> debug_source_names;
  std::size_t record_count = 0;
  std::size_t source_size = 0;
  std::string listing;
  ProgramImage image;
  std::vector<std::string> error_entries;
  std::vector<RecordSpot> spots;         // one per record
  std::vector<PendingWarning> warnings;  // found in pass 2, listed in pass 3
  // Source lines that start a UTF-8 file's first non-ASCII line, with the
  // warning for that file, in source order; pass 2 attaches each to its record.
  std::vector<std::pair<std::size_t, std::string>> utf8_lines;
  std::size_t next_utf8_line = 0;
  std::vector<Diagnostic> diagnostics;
  std::map<DiagnosticKind, std::size_t> warnings_by_kind;
  std::string_view source;                       // the joined sources, for the diagnostics' lines
  LocalLabels local_labels;                      // for the explanations of the errors
  MacroCallTrail macro_calls;                    // around the record that pass 3 is at
  std::unique_ptr<ProgramFactsCollector> facts;  // only when the facts were asked for
};

void Assembler::add_warning(Outputs& outputs, DiagnosticKind kind, std::string text) {
  if (!text.empty()) outputs.warnings.push_back({outputs.record_count, kind, std::move(text)});
}

void Assembler::note_utf8_files(Outputs& outputs, std::size_t line_start) {
  auto& lines = outputs.utf8_lines;
  for (; outputs.next_utf8_line < lines.size() && lines[outputs.next_utf8_line].first <= line_start;
       ++outputs.next_utf8_line) {
    add_warning(outputs, DiagnosticKind::utf8_source, lines[outputs.next_utf8_line].second);
  }
}

// For every source file that reads as UTF-8: the start of the line holding
// its first byte beyond ASCII, and the warning for it.
void Assembler::find_utf8_files(Outputs& outputs, const std::string& text,
                                const std::vector<std::string>& entries,
                                const std::vector<std::size_t>& file_starts) {
  for (std::size_t i = 0; i < file_starts.size() && i < entries.size(); ++i) {
    const std::size_t start = file_starts[i];
    const std::size_t end = i + 1 < file_starts.size() ? file_starts[i + 1] : text.size();
    const std::string_view file = std::string_view(text).substr(start, end - start);
    if (!reads_as_utf8_not_cp932(file)) continue;
    const auto beyond_ascii = std::find_if(
        file.begin(), file.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const std::size_t first = start + static_cast<std::size_t>(beyond_ascii - file.begin());
    const std::size_t line_feed = text.rfind('\n', first);
    const std::size_t line_start = line_feed == std::string::npos ? 0 : line_feed + 1;
    outputs.utf8_lines.emplace_back(line_start, utf8_source_warning(entries[i]));
  }
}

Diagnostic* Assembler::add_diagnostic(Outputs& outputs, const SourceMap& map, std::size_t record,
                                      DiagnosticKind kind, std::string_view text,
                                      std::string_view listing_line) {
  const Severity severity = severity_of(kind);
  if (severity == Severity::warning && ++outputs.warnings_by_kind[kind] > kWarningsShownPerKind) {
    return nullptr;
  }
  const RecordSpot& spot = outputs.spots[record];
  Diagnostic& diagnostic = outputs.diagnostics.emplace_back();
  diagnostic.kind = kind;
  diagnostic.severity = severity;
  diagnostic.where = map.locate(spot.offset);
  diagnostic.source_line = line_at(outputs.source, spot.offset);
  if (spot.call_offset != kNoCall && spot.call_offset != spot.offset) {
    diagnostic.call = map.locate(spot.call_offset);
    // The innermost call first, as compilers list them.
    const std::vector<std::size_t>& calls = outputs.macro_calls.calls();
    for (auto call = calls.rbegin(); call != calls.rend(); ++call) {
      diagnostic.notes.push_back(
          macro_call_note(map.locate(*call), line_at(outputs.source, *call)));
    }
  }
  diagnostic.text = text;
  diagnostic.listing_line = listing_line;
  diagnostic.listing_index = record;
  return &diagnostic;
}

// The failure's message is the pass-1 message box text.
Expected<void, Assembler::Pass1Stop> Assembler::run_pass1(std::string_view source) {
  SourceReader reader;
  reader.reset(source);
  symbols_.reset();
  macros_.reset();
  do {
    line_.clear();
    const std::size_t line_offset = reader.position();
    const std::size_t position = reader.read_line(line_);
    split_statement(line_, record_);
    symbols_.collect_symbols(record_, position);
    macros_.collect_macro(record_, position);
    if (!record_.error.empty()) {
      return fail(Pass1Stop{line_offset}, record_.label + record_.statement + "->" + record_.error);
    }
  } while (line_ != "end");
  return {};
}

Expected<void> Assembler::run_pass2(std::string_view source, Outputs& outputs) {
  SourceReader reader;
  reader.reset(source);
  expander_.reset(macros_, source);
  record_.address = "0000";
  location_counter_ = "0000";
  classifier_.reset();
  if (Expected<void> opened = outputs.object.open(); !opened) return opened;

  RecordBlockWriter object(outputs.object);
  std::uint32_t call_offset = kNoCall;
  do {
    line_.clear();
    std::optional<std::size_t> origin;
    RecordSpot spot;
    if (expander_.next_line(line_)) {
      origin = expander_.line_origin();
      spot = RecordSpot{spot_offset(expander_.produced_offset()), call_offset};
    } else {
      spot.offset = spot_offset(reader.position());
      call_offset = spot.offset;
      note_utf8_files(outputs, reader.position());
      origin = reader.read_line(line_);
    }
    const SplitCuts cuts = split_statement(line_, record_);
    record_.error.clear();
    if (!expander_.expand_macro(record_.statement, record_, origin)) {
      matcher_.match(record_);
      add_warning(outputs, DiagnosticKind::data_byte_cut, data_byte_warning(record_));
      add_warning(outputs, DiagnosticKind::unwritten_number, unwritten_number_warning(record_));
      const std::string before = location_counter_;
      const std::string ram_before = outputs.facts ? classifier_.ram_pointer() : std::string();
      classifier_.classify_statement(record_, location_counter_, symbols_, origin);
      if (outputs.facts) {
        outputs.facts->classified(record_, origin, ram_before, classifier_.ram_pointer(),
                                  location_counter_);
      }
      add_warning(outputs, DiagnosticKind::counter_wrap,
                  counter_wrap_warning(before, location_counter_, record_));
      if (const auto& repeated = classifier_.repeated_symbol()) {
        add_warning(outputs, DiagnosticKind::repeated_symbol,
                    repeated_symbol_warning(expander_.current_macro(), repeated->name,
                                            repeated->subroutine, repeated->value));
      }
    }
    if (cuts.label) add_warning(outputs, DiagnosticKind::label_cut, label_cut_warning(record_));
    if (cuts.statement) {
      add_warning(outputs, DiagnosticKind::statement_cut, statement_cut_warning(line_));
    }
    if (cuts.remark) add_warning(outputs, DiagnosticKind::remark_cut, remark_cut_warning(record_));
    if (!object.write(record_)) return fail(outputs.object.error());
    outputs.spots.push_back(spot);
    record_.address = location_counter_;
    ++outputs.record_count;
  } while (line_ != "end");
  if (outputs.facts) outputs.facts->pass2_ended(location_counter_);
  if (!object.flush()) return fail(outputs.object.error());
  return outputs.object.close();
}

// What pass 3 counts over the whole program for its summary warnings.
struct Assembler::Pass3Tally {
  std::size_t pending = 0;  // the next pass-2 warning to list
  std::size_t outside_bank0 = 0;
  SourceLocation first_outside_bank0;
  std::size_t first_outside_bank0_index = 0;
  // Lines whose error left fewer words than pass 2 gave them addresses for.
  std::size_t unwritten_words = 0;
  std::size_t first_unwritten = 0;
};

namespace {

// The zero fill in words that an ORG record asks for, and the location
// counter moved to its address; an ORG backwards gets "ORG Error".
std::int64_t org_gap(LineRecord& record, std::string& location_counter) {
  if (!has_kind(record, RecordKind::org)) return 0;
  std::int64_t gap = hex_difference(record.address, location_counter);
  location_counter = record.address;
  if (gap < 0) {
    gap = 0;
    record.error = "ORG Error";
  }
  return gap;
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

// The errors and warnings of record n, whose listing line is `line`.
void Assembler::diagnose_record(Outputs& outputs, const SourceMap& map, std::size_t n,
                                const LineRecord& record, std::string_view line,
                                std::size_t words_reserved, Pass3Tally& tally) {
  if (!record.error.empty()) {
    outputs.error_entries.emplace_back(line);
    Diagnostic& error = *add_diagnostic(
        outputs, map, n, error_kind(record.error).value_or(DiagnosticKind::grammar_error),
        record.error, line);
    explain_error(error, record,
                  ExplainContext{symbols_, map, outputs.source, &outputs.local_labels});
  }
  for (; tally.pending < outputs.warnings.size() && outputs.warnings[tally.pending].record == n;
       ++tally.pending) {
    const PendingWarning& pending = outputs.warnings[tally.pending];
    if (Diagnostic* warning = add_diagnostic(outputs, map, n, pending.kind, pending.text, line)) {
      place_warning(*warning, record);
    }
  }
  if (record.error.empty()) {
    for (const OperandNote& note : generator_.operand_notes()) {
      const DiagnosticKind kind = note.kind == OperandNote::Kind::operator_ignored
                                      ? DiagnosticKind::operator_ignored
                                      : DiagnosticKind::unwritten_number;
      if (Diagnostic* warning =
              add_diagnostic(outputs, map, n, kind, operand_note_warning(note), line)) {
        place_warning(*warning, record, note.term);
      }
    }
  } else if (record.code.size() / 4 < words_reserved && tally.unwritten_words++ == 0) {
    tally.first_unwritten = n;
  }
  const bool jump = has_kind(record, RecordKind::branch);
  for (const auto& [kind, text] :
       {std::pair{DiagnosticKind::literal_too_wide, literal_warning(record)},
        std::pair{
            jump ? DiagnosticKind::jump_target_other_page : DiagnosticKind::call_target_other_page,
            target_warning(record, generator_.last_target())}}) {
    if (text.empty()) continue;
    if (Diagnostic* warning = add_diagnostic(outputs, map, n, kind, text, line)) {
      place_warning(*warning, record);
    }
  }
  if (register_outside_bank0(record) && tally.outside_bank0++ == 0) {
    tally.first_outside_bank0 = map.locate(outputs.spots[n].offset);
    tally.first_outside_bank0_index = n;
  }
}

// The warnings about the whole program, after its last line.
void Assembler::add_summaries(Outputs& outputs, const SourceMap& map, const Pass3Tally& tally) {
  for (const auto& [kind, count] : outputs.warnings_by_kind) {
    if (count <= kWarningsShownPerKind) continue;
    outputs.diagnostics.push_back(summary_warning(
        DiagnosticKind::warnings_not_shown,
        std::to_string(count - kWarningsShownPerKind) + " more warnings beginning \"" +
            std::string(warning_word(kind)) + "\" are not shown"));
  }
  if (tally.unwritten_words > 0) {
    outputs.diagnostics.push_back(summary_warning(
        DiagnosticKind::unwritten_words,
        unwritten_words_summary(tally.unwritten_words, outputs.image_name),
        map.locate(outputs.spots[tally.first_unwritten].offset), tally.first_unwritten));
  }
  for (std::size_t i = outputs.next_utf8_line; i < outputs.utf8_lines.size(); ++i) {
    // The file's text lies after the line that ended the passes.
    outputs.diagnostics.push_back(summary_warning(DiagnosticKind::utf8_source,
                                                  outputs.utf8_lines[i].second,
                                                  map.locate(outputs.utf8_lines[i].first)));
  }
  if (tally.outside_bank0 > 0) {
    outputs.diagnostics.push_back(
        summary_warning(DiagnosticKind::registers_outside_bank0,
                        register_bank_summary(tally.outside_bank0, tally.first_outside_bank0),
                        tally.first_outside_bank0, tally.first_outside_bank0_index));
  }
}

// The failure's message is the read-back failure of the intermediate file.
Expected<void> Assembler::run_pass3(Outputs& outputs, const SourceMap& map) {
  FileHandle object = outputs.object.read_back();
  if (!object) return fail(cp932_from_os_path(outputs.object.target()) + ": cannot be read back");
  std::setvbuf(object.get(), nullptr, _IONBF, 0);
  // The last record, the source's "end", is not listed.
  RecordBlockReader records(std::move(object), outputs.record_count - 1);
  // A listing line is at most its source line plus address, code and tabs;
  // sizing it ahead spares the listing a doubling of its capacity.
  outputs.listing.reserve(outputs.source_size + outputs.record_count * 24);
  generator_.reset();
  location_counter_ = "0000";
  std::string line;
  Pass3Tally tally;
  std::size_t n = 0;
  for (LineRecord* next = records.next(); next != nullptr; next = records.next(), ++n) {
    LineRecord& record = *next;
    const std::size_t words_reserved = record.code.size() / 4;
    generator_.generate_code(record, symbols_);
    upper_case(record.address);
    upper_case(record.code);
    const std::int64_t gap = org_gap(record, location_counter_);
    format_listing_line(record, line);
    outputs.listing += line;
    const std::size_t image_before = outputs.image.bytes().size();
    outputs.image.add(record, static_cast<std::size_t>(2 * gap));
    if (outputs.facts && gap == 0) {
      outputs.facts->wrote(image_before, outputs.image.bytes().size(),
                           map.locate(outputs.spots[n].offset));
    }
    diagnose_record(outputs, map, n, record, line, words_reserved, tally);
    outputs.macro_calls.follow(record, outputs.spots[n].offset,
                               outputs.spots[n].call_offset == outputs.spots[n].offset);
    advance_address(location_counter_, record.code);
  }
  if (records.failed()) {
    return fail(cp932_from_os_path(outputs.object.target()) + ": cannot be read back");
  }
  add_summaries(outputs, map, tally);
  return {};
}

// Writes the files that pass 3 collected, each whole to its temporary
// file; the set then puts all of them in place.
Expected<void> Assembler::write_outputs(Outputs& outputs) {
  const auto write = [](AtomicFile& file, std::string_view bytes) -> Expected<void> {
    if (Expected<void> opened = file.open(); !opened) return opened;
    if (Expected<void> written = file.write(bytes); !written) return written;
    return file.close();
  };
  if (Expected<void> listing = write(outputs.listing_file, outputs.listing); !listing) {
    return listing;
  }
  if (Expected<void> image = write(outputs.image_file, outputs.image.bytes()); !image) return image;
  // From the words at their addresses, never from the .bin file: an ORG
  // gap stays a gap.
  if (outputs.hex_file != nullptr) {
    if (Expected<void> hex = write(*outputs.hex_file, intel_hex_text(outputs.image.placed()));
        !hex) {
      return hex;
    }
  }
  if (outputs.cod_file != nullptr && outputs.processor && outputs.finished_facts) {
    const DebugFile file =
        debug_file(*outputs.processor, *outputs.finished_facts, outputs.debug_source_names,
                   debug_stamp(outputs.cod_file->target()));
    add_debug_file_warnings(file, *outputs.processor, outputs.base_name + ".cod",
                            outputs.diagnostics);
    if (Expected<void> cod = write(*outputs.cod_file, file.bytes); !cod) return cod;
  }
  if (outputs.map_file != nullptr && outputs.finished_facts) {
    // Titled with the base name without its folder.
    const std::string program = cp932_from_os_path(os_path(outputs.base_name).filename());
    return write(*outputs.map_file, map_file_text(*outputs.finished_facts, program));
  }
  return {};
}

void Assembler::finish_facts(Outputs& outputs, const SourceMap& map, const ProjectState& project) {
  if (!outputs.facts) return;
  outputs.finished_facts =
      outputs.facts->finish(symbols_, map, project.entries, outputs.image.bytes());
  outputs.finished_facts->definition_files =
      std::min(project.leading_entries, project.entries.size());
  if (!outputs.cod_file) return;
  std::error_code ignored;
  const std::filesystem::path cod_folder =
      std::filesystem::absolute(outputs.cod_file->target(), ignored).parent_path();
  for (const std::string& entry : project.entries) {
    const std::filesystem::path source = std::filesystem::absolute(
        project.entry_directory.empty() ? os_path(entry) : project.entry_directory / os_path(entry),
        ignored);
    outputs.debug_source_names.push_back(debug_source_name(source, cod_folder));
  }
}

// The old outputs that the commits replaced are closed on the releasing
// thread: freeing the contents of a large old intermediate file takes about
// as long as a pass, and nothing here needs to wait for it.
void Assembler::release_replaced_outputs(Outputs& outputs) {
  auto replaced = std::make_shared<std::vector<ReplacedFile>>();
  for (std::size_t i = 0; i < outputs.set.size(); ++i) {
    ReplacedFile old = outputs.set.file(i).take_replaced();
    if (old.holds_file()) replaced->push_back(std::move(old));
  }
  if (!replaced->empty()) releaser_.start([replaced] { replaced->clear(); });
}

// Passes 2 and 3, then every output written and put in place. The
// failure's message is the first failure of an output file, or else the
// intermediate file's that pass 3 could not read back.
Expected<void> Assembler::produce_outputs(Outputs& outputs, std::string_view source,
                                          const SourceMap& map, const ProjectState& project) {
  if (Expected<void> prepared = outputs.set.prepare(); !prepared) return prepared;
  if (Expected<void> pass2 = run_pass2(source, outputs); !pass2) return pass2;
  if (Expected<void> pass3 = run_pass3(outputs, map); !pass3) {
    // A failure of an output file comes first: the intermediate file that
    // pass 3 could not read back may be why.
    const std::string file_failure = outputs.set.error();
    return file_failure.empty() ? pass3 : fail(file_failure);
  }
  finish_facts(outputs, map, project);
  if (Expected<void> written = write_outputs(outputs); !written) return written;
  return outputs.set.commit();
}

AssemblyResult Assembler::assemble(const ProjectState& project, const AssemblyOptions& options) {
  AssemblyResult result;
  if (project.entries.empty()) return result;

  const std::string base =
      output_base_for_run(project, options.output_base_name, options.source_base_rule);
  result.output_base_name = base;
  if (!options.output_base_name && project.project_file_path.empty()) {
    result.last_directory = base;
    cut_to_directory(*result.last_directory);
  }

  const FileLock project_lock = lock_project(project);
  const Expected<JoinedSources, JoinFailure> sources =
      join_sources(project.entries, project.entry_directory);
  if (!sources) {
    result.outcome = AssemblyOutcome::stopped;
    result.message = sources.message();
    result.caption = texts::kFileErrorCaption;
    return result;
  }

  const SourceMap map(sources->text, project.entries, sources->file_starts);
  record_ = LineRecord{};
  if (const Expected<void, Pass1Stop> pass1 = run_pass1(sources->text); !pass1) {
    result.outcome = AssemblyOutcome::stopped;
    result.message = pass1.message();
    result.caption = texts::kErrorMessageCaption;
    Diagnostic& stop = result.diagnostics.emplace_back();
    stop.kind = error_kind(record_.error).value_or(DiagnosticKind::grammar_error);
    stop.where = map.locate(pass1.reason().line_offset);
    stop.text = result.message;
    stop.source_line = line_at(sources->text, pass1.reason().line_offset);
    explain_pass1_stop(stop, record_, macros_, ExplainContext{symbols_, map, sources->text});
    return result;
  }

  Outputs outputs(base, options);
  outputs.source_size = sources->text.size();
  outputs.source = sources->text;
  if (collect_facts_ || options.extra_outputs.debug_file || options.extra_outputs.map) {
    outputs.facts = std::make_unique<ProgramFactsCollector>();
  }
  find_utf8_files(outputs, sources->text, project.entries, sources->file_starts);
  const Expected<void> written = produce_outputs(outputs, sources->text, map, project);
  result.record_count = outputs.record_count;
  if (!written) {
    outputs.set.discard();
    result.outcome = AssemblyOutcome::output_failed;
    result.message = written.message();
    result.caption = texts::kFileErrorCaption;
    return result;
  }

  release_replaced_outputs(outputs);
  result.error_count = outputs.error_entries.size();
  result.error_entries = std::move(outputs.error_entries);
  result.diagnostics = std::move(outputs.diagnostics);
  result.facts = std::move(outputs.finished_facts);
  result.listing = std::move(outputs.listing);
  result.outcome = AssemblyOutcome::completed;
  return result;
}

AssemblyResult Assembler::assemble_project(const ProjectState& project, AssemblyHost& host,
                                           const AssemblyOptions& options) {
  AssemblyResult result = assemble(project, options);
  present_assembly(result, host);
  return result;
}

void present_assembly(const AssemblyResult& result, AssemblyHost& host) {
  host.clear_error_list();
  switch (result.outcome) {
    case AssemblyOutcome::nothing_to_do:
      return;
    case AssemblyOutcome::stopped:
    case AssemblyOutcome::output_failed:
      host.show_message(result.message, result.caption);
      return;
    case AssemblyOutcome::completed:
      for (const std::string& entry : result.error_entries) host.add_error_entry(entry);
      host.show_listing(result.listing);
      return;
  }
}

}  // namespace korva
