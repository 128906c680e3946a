#include "driver/assembler.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "codegen/hex_text.h"
#include "driver/file_io.h"
#include "driver/listing.h"
#include "driver/record_blocks.h"
#include "driver/text_encoding.h"
#include "patterns/matcher.h"
#include "resources/system_texts.h"
#include "source/source_joiner.h"
#include "source/source_map.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"

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

// A warning's kind: the first word of its text ("jump", "literal", ...).
std::string warning_kind(std::string_view text) {
  return std::string(text.substr(0, text.find(' ')));
}

struct PendingWarning {
  std::size_t record;
  std::string text;
};

}  // namespace

// The three output files of one assembly and what pass 3 collects for them.
struct Assembler::Outputs {
  explicit Outputs(const std::string& base)
      : image_name(base + ".bin"),
        object(os_path(base + ".obj"), /*buffered=*/false),
        listing_file(os_path(base + ".out")),
        image_file(os_path(base + ".bin")) {}

  std::string image_name;  // CP932, for messages
  AtomicFile object;
  AtomicFile listing_file;
  AtomicFile image_file;
  std::size_t record_count = 0;
  std::size_t source_size = 0;
  std::string listing;
  std::string image;
  std::vector<std::string> error_entries;
  std::string error;                     // the first I/O failure
  std::vector<RecordSpot> spots;         // one per record
  std::vector<PendingWarning> warnings;  // found in pass 2, listed in pass 3
  // Source lines that start a UTF-8 file's first non-ASCII line, with the
  // warning for that file, in source order; pass 2 attaches each to its record.
  std::vector<std::pair<std::size_t, std::string>> utf8_lines;
  std::size_t next_utf8_line = 0;
  std::vector<Diagnostic> diagnostics;
  std::map<std::string, std::size_t> warnings_by_kind;
};

void Assembler::add_warning(Outputs& outputs, std::string text) {
  if (!text.empty()) outputs.warnings.push_back({outputs.record_count, std::move(text)});
}

void Assembler::note_utf8_files(Outputs& outputs, std::size_t line_start) {
  auto& lines = outputs.utf8_lines;
  for (; outputs.next_utf8_line < lines.size() && lines[outputs.next_utf8_line].first <= line_start;
       ++outputs.next_utf8_line) {
    add_warning(outputs, lines[outputs.next_utf8_line].second);
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

void Assembler::add_diagnostic(Outputs& outputs, const SourceMap& map, std::size_t record,
                               Severity severity, std::string_view text,
                               std::string_view listing_line) {
  if (severity == Severity::warning &&
      ++outputs.warnings_by_kind[warning_kind(text)] > kWarningsShownPerKind) {
    return;
  }
  const RecordSpot& spot = outputs.spots[record];
  Diagnostic diagnostic;
  diagnostic.severity = severity;
  diagnostic.where = map.locate(spot.offset);
  if (spot.call_offset != kNoCall && spot.call_offset != spot.offset) {
    diagnostic.call = map.locate(spot.call_offset);
  }
  diagnostic.text = text;
  diagnostic.listing_line = listing_line;
  diagnostic.listing_index = record;
  outputs.diagnostics.push_back(std::move(diagnostic));
}

bool Assembler::run_pass1(std::string_view source, std::string& message, std::size_t& line_offset) {
  SourceReader reader;
  reader.reset(source);
  symbols_.reset();
  macros_.reset();
  do {
    line_.clear();
    line_offset = reader.position();
    const std::size_t position = reader.read_line(line_);
    split_statement(line_, record_);
    symbols_.collect_symbols(record_, position);
    macros_.collect_macro(record_, position);
    if (!record_.error.empty()) {
      message = record_.label + record_.statement + "->" + record_.error;
      return false;
    }
  } while (line_ != "end");
  return true;
}

bool Assembler::run_pass2(std::string_view source, Outputs& outputs) {
  SourceReader reader;
  reader.reset(source);
  expander_.reset(macros_, source);
  record_.address = "0000";
  location_counter_ = "0000";
  classifier_.reset();
  if (!outputs.object.open()) return false;

  RecordBlockWriter object(outputs.object);
  std::uint32_t call_offset = kNoCall;
  do {
    line_.clear();
    std::optional<std::size_t> origin;
    RecordSpot spot;
    if (expander_.expand_macro(line_, record_, MacroExpander::Request::line) ==
        ExpandResult::body_line) {
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
    if (expander_.consume_statement(record_.statement, record_, origin) != ExpandResult::consumed) {
      matcher_.match(record_);
      add_warning(outputs, data_byte_warning(record_));
      add_warning(outputs, unwritten_number_warning(record_));
      const std::string before = location_counter_;
      classifier_.classify_statement(record_, location_counter_, symbols_, origin);
      add_warning(outputs, counter_wrap_warning(before, location_counter_, record_));
      if (const auto& repeated = classifier_.repeated_symbol()) {
        add_warning(outputs, repeated_symbol_warning(expander_.current_macro(), repeated->name,
                                                     repeated->subroutine, repeated->value));
      }
    }
    if (cuts.label) add_warning(outputs, label_cut_warning(record_));
    if (cuts.statement) add_warning(outputs, statement_cut_warning(line_));
    if (cuts.remark) add_warning(outputs, remark_cut_warning(record_));
    if (!object.write(record_)) return false;
    outputs.spots.push_back(spot);
    record_.address = location_counter_;
    ++outputs.record_count;
  } while (line_ != "end");
  return object.flush() && outputs.object.close();
}

bool Assembler::run_pass3(Outputs& outputs, const SourceMap& map) {
  std::FILE* object = std::fopen(outputs.object.temporary().string().c_str(), "rb");
  if (object == nullptr) {
    outputs.error = cp932_from_os_path(outputs.object.target()) + ": cannot be read back";
    return false;
  }
  std::setvbuf(object, nullptr, _IONBF, 0);
  // The last record, the source's "end", is not listed.
  RecordBlockReader records(object, outputs.record_count - 1);
  // A listing line is at most its source line plus address, code and tabs;
  // sizing it ahead spares the listing a doubling of its capacity.
  outputs.listing.reserve(outputs.source_size + outputs.record_count * 24);
  generator_.reset();
  location_counter_ = "0000";
  std::string line;
  std::size_t pending = 0;
  std::size_t outside_bank0 = 0;
  SourceLocation first_outside_bank0;
  std::size_t first_outside_bank0_index = 0;
  // Lines whose error left fewer words than pass 2 gave them addresses for.
  std::size_t unwritten_words = 0;
  std::size_t first_unwritten = 0;
  std::size_t n = 0;
  for (LineRecord* next = records.next(); next != nullptr; next = records.next(), ++n) {
    LineRecord& record = *next;
    const std::size_t words_reserved = record.code.size() / 4;
    generator_.generate_code(record, symbols_);
    upper_case(record.address);
    upper_case(record.code);
    std::int64_t gap = 0;
    if (has_kind(record, "org")) {
      gap = hex_difference(record.address, location_counter_);
      location_counter_ = record.address;
      if (gap < 0) {
        gap = 0;
        record.error = "ORG Error";
      }
    }
    format_listing_line(record, line);
    outputs.listing += line;
    write_image_bytes(outputs.image, record.code, static_cast<std::size_t>(2 * gap));
    if (!record.error.empty()) {
      outputs.error_entries.push_back(line);
      add_diagnostic(outputs, map, n, Severity::error, record.error, line);
    }
    for (; pending < outputs.warnings.size() && outputs.warnings[pending].record == n; ++pending) {
      add_diagnostic(outputs, map, n, Severity::warning, outputs.warnings[pending].text, line);
    }
    if (record.error.empty()) {
      for (const OperandNote& note : generator_.operand_notes()) {
        add_diagnostic(outputs, map, n, Severity::warning, operand_note_warning(note), line);
      }
    } else if (record.code.size() / 4 < words_reserved && unwritten_words++ == 0) {
      first_unwritten = n;
    }
    for (const std::string& text :
         {literal_warning(record), target_warning(record, generator_.last_target())}) {
      if (!text.empty()) add_diagnostic(outputs, map, n, Severity::warning, text, line);
    }
    if (register_outside_bank0(record) && outside_bank0++ == 0) {
      first_outside_bank0 = map.locate(outputs.spots[n].offset);
      first_outside_bank0_index = n;
    }
    advance_address(location_counter_, record.code);
  }
  if (records.failed()) {
    outputs.error = cp932_from_os_path(outputs.object.target()) + ": cannot be read back";
    return false;
  }
  for (const auto& [kind, count] : outputs.warnings_by_kind) {
    if (count <= kWarningsShownPerKind) continue;
    Diagnostic summary;
    summary.severity = Severity::warning;
    summary.text = std::to_string(count - kWarningsShownPerKind) + " more warnings beginning \"" +
                   kind + "\" are not shown";
    outputs.diagnostics.push_back(std::move(summary));
  }
  if (unwritten_words > 0) {
    Diagnostic summary;
    summary.severity = Severity::warning;
    summary.where = map.locate(outputs.spots[first_unwritten].offset);
    summary.text = unwritten_words_summary(unwritten_words, outputs.image_name);
    summary.listing_index = first_unwritten;
    outputs.diagnostics.push_back(std::move(summary));
  }
  for (std::size_t i = outputs.next_utf8_line; i < outputs.utf8_lines.size(); ++i) {
    // The file's text lies after the line that ended the passes.
    Diagnostic summary;
    summary.severity = Severity::warning;
    summary.where = map.locate(outputs.utf8_lines[i].first);
    summary.text = outputs.utf8_lines[i].second;
    outputs.diagnostics.push_back(std::move(summary));
  }
  if (outside_bank0 > 0) {
    Diagnostic summary;
    summary.severity = Severity::warning;
    summary.where = first_outside_bank0;
    summary.text = register_bank_summary(outside_bank0, first_outside_bank0);
    summary.listing_index = first_outside_bank0_index;
    outputs.diagnostics.push_back(std::move(summary));
  }
  return true;
}

// The old outputs that the commits replaced are closed on the releasing
// thread: freeing the contents of a large old intermediate file takes about
// as long as a pass, and nothing here needs to wait for it.
void Assembler::release_replaced_outputs(Outputs& outputs) {
  auto replaced = std::make_shared<std::vector<ReplacedFile>>();
  for (AtomicFile* file : {&outputs.object, &outputs.listing_file, &outputs.image_file}) {
    ReplacedFile old = file->take_replaced();
    if (old.holds_file()) replaced->push_back(std::move(old));
  }
  if (!replaced->empty()) releaser_.start([replaced] { replaced->clear(); });
}

AssemblyResult Assembler::assemble_project(ProjectState& project, AssemblyHost& host) {
  AssemblyResult result;
  host.clear_error_list();
  if (project.entries.empty()) return result;

  if (project.project_file_path.empty()) {
    const std::string& first = project.entries.front();
    project.output_base_name = first.substr(0, first.size() >= 3 ? first.size() - 3 : 0);
    project.last_directory = project.output_base_name;
    cut_to_directory(project.last_directory);
  }

  const JoinedSources sources = join_sources(project.entries, project.entry_directory);
  if (!sources.ok) {
    result.outcome = AssemblyOutcome::stopped;
    result.message = sources.not_found ? sources.failed_entry + std::string(texts::kFileNotFound)
                                       : sources.error;
    host.show_message(result.message, texts::kFileErrorCaption);
    return result;
  }

  const SourceMap map(sources.text, project.entries, sources.file_starts);
  record_ = LineRecord{};
  std::size_t error_offset = 0;
  if (!run_pass1(sources.text, result.message, error_offset)) {
    result.outcome = AssemblyOutcome::stopped;
    result.diagnostics.push_back(Diagnostic{
        Severity::error, map.locate(error_offset), std::nullopt, result.message, {}, std::nullopt});
    host.show_message(result.message, texts::kErrorMessageCaption);
    return result;
  }

  Outputs outputs(project.output_base_name);
  outputs.source_size = sources.text.size();
  find_utf8_files(outputs, sources.text, project.entries, sources.file_starts);
  const bool written = run_pass2(sources.text, outputs) && run_pass3(outputs, map) &&
                       outputs.listing_file.open() && outputs.listing_file.write(outputs.listing) &&
                       outputs.image_file.open() && outputs.image_file.write(outputs.image) &&
                       outputs.object.commit() && outputs.listing_file.commit() &&
                       outputs.image_file.commit();
  result.record_count = outputs.record_count;
  if (!written) {
    result.outcome = AssemblyOutcome::output_failed;
    for (const AtomicFile* file : {&outputs.object, &outputs.listing_file, &outputs.image_file}) {
      if (result.message.empty()) result.message = file->error();
    }
    if (result.message.empty()) result.message = outputs.error;
    host.show_message(result.message, texts::kFileErrorCaption);
    return result;
  }

  release_replaced_outputs(outputs);
  for (const std::string& entry : outputs.error_entries) host.add_error_entry(entry);
  result.error_count = outputs.error_entries.size();
  result.diagnostics = std::move(outputs.diagnostics);
  result.outcome = AssemblyOutcome::completed;
  host.show_listing(outputs.listing);
  return result;
}

}  // namespace korva
