#include "driver/assembly_service.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "codegen/hex_text.h"
#include "driver/chip_checks.h"
#include "driver/diagnostic_explainer.h"
#include "driver/intel_hex.h"
#include "driver/lines_ahead.h"
#include "driver/listing.h"
#include "driver/map_file.h"
#include "driver/pass3_stretch.h"
#include "driver/plain_records.h"
#include "driver/repeated_lines.h"
#include "driver/utf8_sources.h"
#include "driver/warning_caps.h"
#include "resources/error_texts.h"
#include "source/source_map.h"
#include "source/statement_splitter.h"
#include "support/cache_hints.h"
#include "support/hash_bytes.h"
#include "support/text_encoding.h"
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

// The listing is handed to its sink in pieces of at least this many bytes,
// cut at whole pages of the file; a buffer of the listing that is not kept
// grows to at most kMostBufferedListing while the worker is busy.
constexpr std::size_t kPage = 4096;
constexpr std::size_t kListingPiece = 32 * kPage;
constexpr std::size_t kMostBufferedListing = 4 * kListingPiece;
constexpr std::size_t kListingWriteAhead = 256;

// Appends a listing line to a buffer that the worker read last, asking for
// the bytes a few lines ahead for writing, so that taking them back from the
// worker's processor overlaps the work.
void append_writing_ahead(std::string& listing, std::string_view line) {
  listing += line;
  if (listing.size() + kListingWriteAhead < listing.capacity()) {
    prefetch_for_write(listing.data() + listing.size() + kListingWriteAhead);
  }
}

// Pass 2 hands its records on to the worker in batches of whole .obj blocks;
// waking the worker costs, so a batch holds a few blocks at least. Memory
// touched for the first time costs too: rather than let a full batch grow
// while the worker is busy, pass 2 waits for the worker.
constexpr std::size_t kBatchRecords = 2 * RecordStore::kObjectBlockRecords;
// The room a batch starts with where the program is large enough: a full
// batch of records of the usual size.
constexpr std::size_t kBatchBytes = 64 * kBatchRecords;

struct PendingWarning {
  std::size_t record;
  DiagnosticKind kind;
  std::string text;
};

// Pass 3 lists a program of at least this many records on two threads at
// once, cut into pieces: below it, what the worker's start costs outweighs
// what it spares.
constexpr std::size_t kTwoThreadRecords = 4 * RecordStore::kCheckpointRecords;
// A piece holds at least this many records, and a program is cut into at
// most kMostPieces: what a piece costs to start and join stays small, and
// the thread that finishes first waits at most about a piece for the other.
constexpr std::size_t kLeastPieceRecords = 2 * RecordStore::kCheckpointRecords;
constexpr std::size_t kMostPieces = 64;
// The fewest source bytes a record comes from, short of macro expansion.
constexpr std::size_t kLeastRecordBytes = 8;

// The records pass 3 reads: those in the store, then those of the last
// batch, which the worker may still be adding to the store.
// The records in the store, then those of the last batch: read from the
// store as well once the worker has added them by the time they are
// reached (the store's repeats are listed plain), otherwise from the batch.
struct RecordsInTurn {
  RecordStore::Reader stored;
  RecordStore::Batch::Reader last_batch;
  // Set once the last batch is in the store, which then holds `all` records.
  const std::atomic<bool>* last_stored = nullptr;
  std::size_t all = 0;
  bool next(LineRecord& record, RecordSpot& spot) {
    return stored.next(record, spot) || last_batch.next(record, spot);
  }
};

// A piece of pass 3 that the caller's thread listed, as a stretch of its
// own, from the state pass 2 foresaw at its start.
struct LaterPiece {
  LaterPiece(CodeGenerator& generator, const std::optional<ChipChecks>& chip_before, std::size_t at)
      : chip(chip_before), stretch(generator, chip ? &*chip : nullptr), index(at) {}
  std::optional<ChipChecks> chip;  // the chip's checks as they were before pass 3
  Pass3Stretch stretch;
  std::size_t index;
  // Its lines in the later listing, and the subroutine it ended in.
  std::size_t listing_begin = 0;
  std::size_t listing_end = 0;
  std::string subroutine;
};

// Hands `parts`, one after another, to `sink`: whole pages of what they
// make together, then the rest with `last`. A page that spans two parts is
// put together apart, so that nothing else is copied.
void hand_on_in_pages(std::span<const std::string_view> parts,
                      const std::function<void(std::string_view, bool)>& sink) {
  std::string page;  // the start of a page whose end is in a later part
  for (std::string_view part : parts) {
    if (!page.empty()) {
      const std::size_t taken = std::min(kPage - page.size(), part.size());
      page.append(part.substr(0, taken));
      part.remove_prefix(taken);
      if (page.size() < kPage) continue;
      sink(page, false);
      page.clear();
    }
    const std::size_t whole = part.size() / kPage * kPage;
    if (whole > 0) sink(part.substr(0, whole), false);
    page.assign(part.substr(whole));
  }
  sink(page, true);
}

// The next record: left in the store, whose reader it names, or read into
// `record`.
struct NextRecord {
  bool found = false;
  const RecordStore::Reader* stored = nullptr;
};
NextRecord next_record(RecordStore::Reader& records, LineRecord&, RecordSpot& spot) {
  return {records.next_entry(spot), &records};
}
NextRecord next_record(RecordsInTurn& records, LineRecord& record, RecordSpot& spot) {
  if (records.stored.next_entry(spot)) return {true, &records.stored};
  if (records.last_stored != nullptr) {
    // Where the store's records end, once: on in the store, or in the batch.
    const bool stored = records.last_stored->load(std::memory_order_acquire);
    records.last_stored = nullptr;
    if (stored) {
      records.stored.extend(records.all);
      if (records.stored.next_entry(spot)) return {true, &records.stored};
    }
  }
  return {records.last_batch.next(record, spot), nullptr};
}

// The first three stored fields, statement, label and remark, as the store
// keeps them: each after its length byte.
struct ListedTexts {
  std::string_view statement;
  std::string_view label;
  std::string_view remark;
};
ListedTexts listed_texts(std::string_view shared) {
  const auto take = [&shared] {
    const auto size = static_cast<unsigned char>(shared[0]);
    const std::string_view text = shared.substr(1, size);
    shared.remove_prefix(1 + size);
    return text;
  };
  ListedTexts texts;
  texts.statement = take();
  texts.label = take();
  texts.remark = take();
  return texts;
}

char* put_text(char* out, std::string_view text) {
  if (!text.empty()) std::memcpy(out, text.data(), text.size());  // an empty text may be null
  return out + text.size();
}

// The listing line of a plain record: as format_listing_line() makes it
// from the record that pass 3 would have read and encoded. `line` has room
// for the longest.
std::string_view plain_listing_line(const ListedTexts& texts, std::string_view address,
                                    const PlainRecords::Plain& plain, char* line) {
  char* out = line;
  if (plain.remark_only) {
    out = put_text(out, texts.remark);
    *out++ = '\n';
    return std::string_view(line, static_cast<std::size_t>(out - line));
  }
  if (!plain.addressless) {
    for (const char c : address) *out++ = upper_char(c);
  }
  *out++ = '\t';
  out = put_text(out, plain.code);
  *out++ = '\t';
  out = put_text(out, texts.label);
  *out++ = '\t';
  out = put_text(out, texts.statement);
  *out++ = '\t';
  out = put_text(out, texts.remark);
  *out++ = '\t';
  *out++ = '\r';
  *out++ = '\n';
  return std::string_view(line, static_cast<std::size_t>(out - line));
}

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
    record.error = texts::kOriginError;
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
    diagnostics.push_back(
        run_warning(DiagnosticKind::debug_name_cut,
                    cod_name + ": the source name " + cp932_from_os_name(name) +
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
        options_(options),
        result_(result) {
    if (options.collect_facts || options.extra_outputs.debug_file || options.extra_outputs.map) {
      facts_ = std::make_unique<ProgramFactsCollector>();
    }
    if (options.object_sink) object_writer_.emplace(*result.records);
    // A batch takes a few bytes more than its lines' text: room for a full
    // batch of a large program, or for the whole of a small one.
    for (RecordStore::Batch& batch : batches_) {
      batch.reserve(std::min(kBatchBytes, 2 * source_.size() + kPage));
    }
    // What the later passes need to know of the text as a whole is read on
    // the worker while pass 1 runs.
    if (options.worker != nullptr) {
      options.worker->start([this] { study_text(); });
    } else {
      study_text();
    }
  }
  // The worker reads the records until its last job ends, however the
  // passes are left.
  ~Run() {
    if (options_.worker != nullptr) options_.worker->wait();
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // The lines, the UTF-8 notes and the chip of the text.
  void study_text();
  void pass2();
  // After pass 2: the symbol facts, which read the text.
  void collect_symbol_facts_of_text();
  void pass3();
  void finish();

 private:
  void add_warning(DiagnosticKind kind, std::string text) {
    if (!text.empty()) warnings_.push_back({kept_, kind, std::move(text)});
  }
  // The diagnostic added for record `record`; null for a warning beyond its
  // kind's share.
  Diagnostic* add_diagnostic(Pass3Stretch& stretch, std::size_t record, const RecordSpot& spot,
                             DiagnosticKind kind, std::string_view text,
                             std::string_view listing_line);
  // The same, once a warning is admitted or for an error.
  Diagnostic& add_admitted(Pass3Stretch& stretch, std::size_t record, const RecordSpot& spot,
                           DiagnosticKind kind, std::string_view text,
                           std::string_view listing_line);
  // A warning of pass 3 about record `record`; its text, made by
  // `make_text`, is made only when its kind's share admits it.
  template <typename MakeText>
  void add_placed_warning(Pass3Stretch& stretch, std::size_t n, const RecordSpot& spot,
                          DiagnosticKind kind, const LineRecord& record, std::string_view line,
                          MakeText make_text) {
    if (!stretch.caps.admit(kind)) return;
    place_warning(add_admitted(stretch, n, spot, kind, make_text(), line), record);
  }
  void diagnose_record(Pass3Stretch& stretch, std::size_t n, const RecordSpot& spot,
                       const LineRecord& record, std::string_view line, std::size_t words_reserved);
  void check_words(Pass3Stretch& stretch, std::size_t n, const RecordSpot& spot,
                   const LineRecord& record, std::string_view line);
  void add_summaries(const Pass3Stretch& stretch);
  // Puts the record in the batch being filled; a full batch goes on to the
  // store and to be laid out for the .obj file at the first block end that
  // finds the worker free. `counter`: the location counter before it.
  // `same_as`: the number its fields share with other records', 0 for none.
  void keep(const LineRecord& record, RecordSpot spot, std::uint32_t counter,
            std::uint32_t same_as = 0);
  // The same for a line kept, whose fields `shared` holds as the batch
  // keeps them; the record's address is the line's.
  void keep_shared(std::string_view shared, bool ends_subroutine, RecordSpot spot,
                   std::uint32_t counter, std::uint32_t same_as);
  // A stretch of pass 3 may start at a record of the source's own, the first
  // after each block of records.
  void start_stretch_at(RecordSpot spot, std::uint32_t counter);
  // Counts the record kept, and hands a full batch on.
  void kept_one();
  // The line kept whose fields the record was not given yet, and the one
  // whose operands it was not (a line that keeps them leaves them).
  struct Unsettled {
    std::optional<std::uint32_t> fields;
    std::optional<std::uint32_t> operands;
  };
  // Gives the record those fields.
  void settle(const RepeatedLines& repeated, Unsettled& unsettled);
  // Keeps the record of a line found kept, and moves the counter on.
  void keep_repeat(RepeatedLines& repeated, const RepeatedLines::Found& found, Unsettled& unsettled,
                   RecordSpot spot, std::uint32_t& counter);
  void classify_line(std::optional<std::size_t> origin, std::uint32_t& counter);
  // Keeps the record made of the line noted, and the line too if it is the
  // same wherever it stands: one without a label or an error, of an
  // operation, data, a call or a remark, which moves only the location
  // counter, by its words.
  void keep_and_remember(RepeatedLines& repeated, RecordSpot spot, std::uint32_t counter);
  // Hands the records kept since the last time on to the store and to be
  // laid out: on the worker, or here without one.
  void hand_on();
  // The same for the last batch, at the start of pass 3, and `then` after
  // it on the worker.
  void hand_on_last(std::function<void()> then);
  // Where the pieces of pass 3 start, the first at the first record; more
  // than one when the program is listed on two threads at once.
  std::vector<StretchStart> pass3_pieces(std::size_t listed) const;
  // The table of plain records for a thread that lists stretches like
  // `stretch`: empty where repeats are not listed plain.
  PlainRecords plain_records_for(const Pass3Stretch& stretch) const;
  bool repeats_listed_plain(const Pass3Stretch& stretch) const;
  // Lists records [first, end) that `records` reads into `stretch`, each
  // listing line handed to `list`; `plain` holds the records found plain by
  // this thread so far.
  template <typename Records, typename List>
  void list_records(Pass3Stretch& stretch, Records& records, std::size_t first, std::size_t end,
                    PlainRecords& plain, List list);
  // Whether a warning of pass 2 waits to be listed at record `n`.
  bool warning_pending(const Pass3Stretch& stretch, std::size_t n) const;
  // What listing a repeat of the record just encoded takes, if it is plain.
  std::optional<PlainRecords::Plain> plain_outcome(const Pass3Stretch& stretch,
                                                   const LineRecord& encoded) const;
  template <typename List>
  void list_plain(Pass3Stretch& stretch, const RecordStore::Reader& stored, std::size_t n,
                  const RecordSpot& spot, const PlainRecords::Plain& plain, List& list);
  // Lists the records in one stretch, or in pieces on two threads at once,
  // and hands the listing on.
  void list_in_one(Pass3Stretch& stretch, std::size_t listed);
  void list_in_pieces(Pass3Stretch& earlier, const std::vector<StretchStart>& pieces,
                      std::size_t listed);
  // The records from `start` on, read from the store from `checkpoint`, the
  // one before it, then from the last batch.
  RecordsInTurn records_from(const StretchStart& start, const RecordStore::Checkpoint& checkpoint);
  // Lists piece `piece` (records [start.record, end)) on this thread, its
  // lines behind the later listing's.
  void list_later_piece(LaterPiece& piece, const StretchStart& start,
                        const RecordStore::Checkpoint& checkpoint, std::size_t end,
                        PlainRecords& plain);
  // A listing line of this thread's pieces, behind the later listing's
  // lines; its room was touched on the worker while pass 1 ran.
  void list_later(std::string_view line) { append_writing_ahead(later_listing_, line); }
  // A listing line of the worker's stretch: as the worker is the thread
  // that calls the sink, it hands the lines on in pieces of
  // whole pages as they come.
  void list_on_worker(std::string_view line);
  // After the last line: what the stretch collected goes into the result.
  void finish_pass3(Pass3Stretch& stretch);
  // Lays out records of a batch for the .obj file, when it is asked for.
  void lay_out(RecordStore::Batch::Part records, bool last);
  // Adds a line to the listing; every piece of it is handed on to
  // `listing_sink`, unless the worker is still at the one before.
  void list(std::string_view line);
  // Hands the listing's bytes since the last piece on: whole pages, or
  // with `last` all of them.
  void hand_on_listing(bool last);
  // Runs `job` on the worker, or here without one.
  void on_worker(std::function<void()> job);
  // Whether a job handed on now would start at once: no worker, or an idle one.
  bool worker_free() { return options_.worker == nullptr || !options_.worker->busy(); }

  AssemblyService& service_;
  SourceSet& sources_;
  std::string_view source_;       // for the diagnostics' source lines and explanations
  std::optional<SourceMap> map_;  // from study_text()
  const ServiceOptions& options_;
  ServiceResult& result_;
  // Whether the result keeps the listing's lines. Read for every line the
  // worker lists, so it lies away from what this thread writes then.
  const bool keep_listing_ = options_.keep_listing || !options_.listing_sink;
  std::optional<Utf8SourceNotes> utf8_;           // from study_text()
  std::vector<PendingWarning> warnings_;          // found in pass 2, listed in pass 3
  std::unique_ptr<ProgramFactsCollector> facts_;  // only when the facts were asked for
  // Lays the .obj bytes out from the records, when they are asked for.
  std::optional<RecordStore::ObjectWriter> object_writer_;
  // Pass 2 puts its records in one batch while the worker adds the other
  // to the store (finding the repeated ones takes time) and lays it out for
  // the .obj file, so that the store is the worker's alone until pass 2
  // ends and the layout reads the records in order.
  std::array<RecordStore::Batch, 2> batches_;
  std::size_t batch_filling_ = 0;
  std::size_t kept_ = 0;                  // records kept by pass 2
  std::size_t stored_before_last_ = 0;    // in the store before the last batch
  std::size_t distinct_before_last_ = 0;  // distinct records in the store then
  std::atomic<bool> last_batch_stored_{false};
  std::optional<ChipChecks> chip_;  // when the sources define a chip
  // Where a piece of pass 3 could start: the first line of the
  // source's own after each checkpoint of the store, with what pass 2 knew
  // there; the subroutine that pass 2 is in, as pass 3 will see it.
  std::vector<StretchStart> starts_;
  bool seeking_start_ = false;
  std::string subroutine_;
  // The listing lines of this thread's pieces of pass 3, each piece's
  // behind those of the piece listed before it, until the worker's are out.
  // This thread writes them while the worker writes the buffers below: each
  // on cache lines of its own.
  alignas(kCacheLine) std::string later_listing_;
  // When the result does not keep the listing, its lines go to two buffers
  // in turn, one filled while the worker hands the other to the sink.
  alignas(kCacheLine) std::array<std::string, 2> pieces_;
  std::size_t filling_ = 0;
  std::size_t listing_handed_ = 0;  // of the kept listing, the bytes handed to its sink
};

Diagnostic* AssemblyService::Run::add_diagnostic(Pass3Stretch& stretch, std::size_t record,
                                                 const RecordSpot& spot, DiagnosticKind kind,
                                                 std::string_view text,
                                                 std::string_view listing_line) {
  if (severity_of(kind) == Severity::warning && !stretch.caps.admit(kind)) return nullptr;
  return &add_admitted(stretch, record, spot, kind, text, listing_line);
}

Diagnostic& AssemblyService::Run::add_admitted(Pass3Stretch& stretch, std::size_t record,
                                               const RecordSpot& spot, DiagnosticKind kind,
                                               std::string_view text,
                                               std::string_view listing_line) {
  Diagnostic& diagnostic = stretch.diagnostics.emplace_back();
  diagnostic.kind = kind;
  diagnostic.severity = severity_of(kind);
  diagnostic.where = map_->locate(spot.offset);
  diagnostic.source_line = line_at(source_, spot.offset);
  if (spot.call_offset != kNoCall && spot.call_offset != spot.offset) {
    diagnostic.call = map_->locate(spot.call_offset);
    stretch.macro_calls.add_notes(diagnostic.notes, *map_, source_);
  }
  diagnostic.text = text;
  diagnostic.listing_line = listing_line;
  diagnostic.listing_index = record;
  return diagnostic;
}

void AssemblyService::Run::study_text() {
  const JoinedSources& joined = sources_.joined;
  map_.emplace(joined.text, sources_.names, joined.file_starts);
  utf8_.emplace(joined.text, sources_.names, joined.file_starts);
  if (std::optional<ChipFacts> chip = chip_of_sources(sources_)) chip_.emplace(std::move(*chip));
  // Memory touched for the first time is dear, and this thread is idle while
  // pass 1 runs: the batches' room is touched here, and so is the room of
  // the later listing, about as large as the source, once the program may
  // be large enough to be listed on two threads.
  if (options_.worker == nullptr) return;
  for (RecordStore::Batch& batch : batches_) batch.touch_room();
  if (source_.size() >= kTwoThreadRecords * kLeastRecordBytes) {
    later_listing_.resize(source_.size() + source_.size() / 4);
    later_listing_.clear();
  }
}

void AssemblyService::Run::pass2() {
  if (options_.worker != nullptr) options_.worker->wait();  // for study_text()
  AssemblyService& s = service_;
  s.expander_.reset(s.macros_, source_, options_.macro_line_limit);
  // A line takes about 17 bytes in the programs people write.
  s.matcher_.expect(source_.size() / 17);
  s.record_.address = "0000";
  std::uint32_t counter = 0;
  s.classifier_.reset();
  std::uint32_t call_offset = kNoCall;
  // The facts follow every line through the classifier.
  std::optional<RepeatedLines> repeated;
  if (!facts_) repeated.emplace(source_.size() / 17);
  LinesAhead reader(source_, repeated ? &*repeated : nullptr);
  Unsettled unsettled;
  do {
    s.line_.clear();
    const std::uint32_t entering = counter;
    std::optional<std::size_t> origin;
    RecordSpot spot;
    std::uint64_t hash = 0;
    if (s.expander_.next_line(s.line_)) {
      origin = s.expander_.line_origin();
      spot = RecordSpot{spot_offset(s.expander_.produced_offset()), call_offset};
      if (repeated) hash = hash_bytes(s.line_);
    } else {
      spot.offset = spot_offset(reader.position());
      call_offset = spot.offset;
      for (const Utf8SourceNotes::Note& note : utf8_->reached(reader.position())) {
        add_warning(DiagnosticKind::utf8_source, note.warning);
      }
      origin = reader.read_line(s.line_);
      hash = reader.last_hash();
    }
    const bool noted = repeated && !s.expander_.defining();
    if (noted) {
      if (const std::optional<RepeatedLines::Found> found = repeated->find(s.line_, hash)) {
        keep_repeat(*repeated, *found, unsettled, spot, counter);
        continue;  // a line kept is never the last, "end"
      }
      repeated->note(s.line_, hash);
    }
    if (repeated) settle(*repeated, unsettled);
    const std::size_t warnings_before = warnings_.size();
    const SplitCuts cuts = split_statement(s.line_, s.record_);
    s.record_.error.clear();
    const bool matched = !s.expander_.expand_macro(s.record_.statement, s.record_, origin);
    if (matched) classify_line(origin, counter);
    if (cuts.label) add_warning(DiagnosticKind::label_cut, label_cut_warning(s.record_));
    if (cuts.statement) {
      add_warning(DiagnosticKind::statement_cut, statement_cut_warning(s.line_));
    }
    if (cuts.remark) add_warning(DiagnosticKind::remark_cut, remark_cut_warning(s.record_));
    if (noted && matched && warnings_.size() == warnings_before && s.line_ != "end") {
      keep_and_remember(*repeated, spot, entering);
    } else {
      keep(s.record_, spot, entering);
    }
    assign_hex(s.record_.address, counter, 4);
  } while (s.line_ != "end");
  if (facts_) facts_->pass2_ended(counter);
}

// The record is given a kept line's fields only when something reads them:
// a line that is not kept, a line that keeps the operands, a warning.
void AssemblyService::Run::keep_repeat(RepeatedLines& repeated, const RepeatedLines::Found& found,
                                       Unsettled& unsettled, RecordSpot spot,
                                       std::uint32_t& counter) {
  LineRecord& record = service_.record_;
  unsettled.fields = found.at;
  if (found.keeps_operands) {
    settle(repeated, unsettled);
  } else {
    unsettled.operands = found.at;
  }
  const std::uint32_t entering = counter;
  counter = (counter + found.words) & kAddressMask;
  if (counter < entering) {
    settle(repeated, unsettled);
    add_warning(DiagnosticKind::counter_wrap, counter_wrap_warning(entering, counter, record));
  }
  if (unsettled.fields) {
    keep_shared(repeated.shared_fields(found.at), found.ends_subroutine, spot, entering,
                found.same_as);
  } else {
    keep(record, spot, entering);
  }
  assign_hex(record.address, counter, 4);
}

// Matches and classifies the line split into the record, which moves the
// location counter on, with the warnings that come of it.
void AssemblyService::Run::classify_line(std::optional<std::size_t> origin,
                                         std::uint32_t& counter) {
  AssemblyService& s = service_;
  s.matcher_.match(s.record_);
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
  if (chip_ && pattern_type_of_key(s.record_.pattern_key.view()) == PatternType::reservation &&
      has_kind(s.record_, RecordKind::equ)) {
    const std::uint32_t bytes = (s.classifier_.ram_address() - ram_before) & kAddressMask;
    add_warning(DiagnosticKind::chip_reservation_outside_gpr,
                chip_->reservation(ram_before, bytes));
  }
  add_warning(DiagnosticKind::counter_wrap, counter_wrap_warning(before, counter, s.record_));
  if (const auto& repeated_symbol = s.classifier_.repeated_symbol()) {
    add_warning(DiagnosticKind::repeated_symbol,
                repeated_symbol_warning(s.expander_.current_macro(), repeated_symbol->name,
                                        repeated_symbol->subroutine, repeated_symbol->value));
  }
}

void AssemblyService::Run::settle(const RepeatedLines& repeated, Unsettled& unsettled) {
  if (unsettled.fields) repeated.restore_fields(*unsettled.fields, service_.record_);
  if (unsettled.operands) repeated.restore_operands(*unsettled.operands, service_.record_);
  unsettled = Unsettled{};
}

void AssemblyService::Run::keep_and_remember(RepeatedLines& repeated, RecordSpot spot,
                                             std::uint32_t counter) {
  const LineRecord& record = service_.record_;
  if (!record.label.empty() || !record.error.empty()) {
    keep(record, spot, counter);
    return;
  }
  const PatternType type = pattern_type_of_key(record.pattern_key.view());
  switch (type) {
    case PatternType::register_op:
    case PatternType::bit_op:
    case PatternType::branch:
    case PatternType::inherent:
    case PatternType::data_byte:
    case PatternType::raw_words:
    case PatternType::macro_end:
    case PatternType::none:
      break;
    default:
      keep(record, spot, counter);
      return;
  }
  char shared[RecordStore::kMostFieldBytes];
  const std::size_t size = RecordStore::shared_fields(record, shared);
  // Only fields that the store keeps whole: the record can be made again
  // from what the store keeps.
  const std::size_t whole = 10 + record.statement.size() + record.label.size() +
                            record.remark.size() + record.error.size() + record.pattern_key.size() +
                            record.code.size() + record.operand1.size() + record.operand2.size() +
                            record.operand3.size() + record.kind.size();
  const bool ends = ends_subroutine(record);
  const std::uint32_t same_as =
      size != whole ? 0
                    : repeated.remember(std::string_view(shared, size),
                                        static_cast<std::uint32_t>(record.code.size() / 4),
                                        type == PatternType::none, ends);
  keep_shared(std::string_view(shared, size), ends, spot, counter, same_as);
}

void AssemblyService::Run::keep(const LineRecord& record, RecordSpot spot, std::uint32_t counter,
                                std::uint32_t same_as) {
  start_stretch_at(spot, counter);
  follow_subroutine(record, subroutine_);
  batches_[batch_filling_].add(record, spot, same_as);
  kept_one();
}

void AssemblyService::Run::keep_shared(std::string_view shared, bool ends_subroutine,
                                       RecordSpot spot, std::uint32_t counter,
                                       std::uint32_t same_as) {
  start_stretch_at(spot, counter);
  if (ends_subroutine) subroutine_.clear();
  batches_[batch_filling_].add_shared(shared, service_.record_.address, spot, same_as);
  kept_one();
}

void AssemblyService::Run::start_stretch_at(RecordSpot spot, std::uint32_t counter) {
  if (seeking_start_ && spot.call_offset == kNoCall) {
    starts_.push_back(StretchStart{kept_, counter, subroutine_});
    seeking_start_ = false;
  }
}

void AssemblyService::Run::kept_one() {
  if (++kept_ % RecordStore::kObjectBlockRecords != 0) return;
  static_assert(RecordStore::kObjectBlockRecords % RecordStore::kCheckpointRecords == 0);
  seeking_start_ = true;
  // A full batch goes on once the worker has done with the one before.
  if (batches_[batch_filling_].size() >= kBatchRecords) hand_on();
}

void AssemblyService::Run::hand_on_last(std::function<void()> then) {
  const RecordStore::Batch& batch = batches_[batch_filling_];
  on_worker([this, &batch, then = std::move(then)] {
    // Whole before it is laid out: the caller's thread reads the last
    // batch's records from the store once all are in.
    result_.records->add(batch);
    result_.records->stop_adding();
    last_batch_stored_.store(true, std::memory_order_release);
    lay_out(batch.whole(), true);
    if (then) then();
  });
  // The worker is done with the other batch; pass 3's buffers reuse its
  // room.
  batches_[1 - batch_filling_] = RecordStore::Batch();
}

void AssemblyService::Run::hand_on() {
  const RecordStore::Batch& batch = batches_[batch_filling_];
  on_worker([this, &batch] {
    // A block at a time, laid out while what the store read of it is still
    // in the cache: a batch may be larger than the cache holds.
    RecordStore::Batch::Part rest = batch.whole();
    while (rest.count > 0) {
      const RecordStore::Batch::Part block = rest;
      rest = result_.records->add(rest, RecordStore::kObjectBlockRecords);
      lay_out(RecordStore::Batch::Part{block.begin, block.count - rest.count}, false);
    }
  });
  // The worker is done with the other batch: a job starts only once the one
  // before has ended.
  batch_filling_ = 1 - batch_filling_;
  batches_[batch_filling_].clear();
}

void AssemblyService::Run::lay_out(RecordStore::Batch::Part records, bool last) {
  if (!object_writer_) return;
  static_cast<void>(object_writer_->write_batch(records, [this](std::string_view block) {
    options_.object_sink(block, false);
    return Expected<void>{};
  }));
  if (last) options_.object_sink({}, true);
}

void AssemblyService::Run::on_worker(std::function<void()> job) {
  if (options_.worker != nullptr) {
    options_.worker->start(std::move(job));
  } else {
    job();
  }
}

void AssemblyService::Run::list(std::string_view line) {
  if (!options_.listing_sink) {
    result_.listing += line;
    return;
  }
  std::string& listing = keep_listing_ ? result_.listing : pieces_[filling_];
  // Growing the kept listing beyond its room moves the bytes that the
  // worker may be writing.
  if (keep_listing_ && listing.size() + line.size() > listing.capacity() &&
      options_.worker != nullptr) {
    options_.worker->wait();
  }
  append_writing_ahead(listing, line);
  if (listing.size() - listing_handed_ < kListingPiece) return;
  // A buffer waits for the worker rather than grow much beyond a piece.
  if (worker_free() || (!keep_listing_ && listing.size() >= kMostBufferedListing)) {
    hand_on_listing(false);
  }
}

void AssemblyService::Run::hand_on_listing(bool last) {
  const std::string& listing = keep_listing_ ? result_.listing : pieces_[filling_];
  const std::size_t end = last ? listing.size() : listing.size() / kPage * kPage;
  // These bytes stay where they are until the sink has them: the kept
  // listing waits for the worker before it outgrows its room, and a buffer
  // is filled again only once the worker has taken the other.
  const std::string_view piece(listing.data() + listing_handed_, end - listing_handed_);
  if (keep_listing_) {
    listing_handed_ = end;
  } else if (!last) {
    // The lines go on in the other buffer once the worker is done with it,
    // after the part of a page not handed on.
    if (options_.worker != nullptr) options_.worker->wait();
    filling_ = 1 - filling_;
    pieces_[filling_].assign(listing, end);
  }
  on_worker([this, piece, last] { options_.listing_sink(piece, last); });
}

// The errors and warnings of record n, whose listing line is `line`.
void AssemblyService::Run::diagnose_record(Pass3Stretch& stretch, std::size_t n,
                                           const RecordSpot& spot, const LineRecord& record,
                                           std::string_view line, std::size_t words_reserved) {
  const CodeGenerator& generator = *stretch.generator;
  Tally& tally = stretch.tally;
  if (!record.error.empty()) {
    stretch.error_entries.emplace_back(line);
    Diagnostic& error = *add_diagnostic(
        stretch, n, spot, error_kind(record.error).value_or(DiagnosticKind::grammar_error),
        record.error, line);
    explain_error(error, record,
                  ExplainContext{service_.symbols_, *map_, source_, &stretch.local_labels,
                                 options_.macro_line_limit});
  }
  for (; stretch.pending < warnings_.size() && warnings_[stretch.pending].record == n;
       ++stretch.pending) {
    const PendingWarning& pending = warnings_[stretch.pending];
    if (Diagnostic* warning = add_diagnostic(stretch, n, spot, pending.kind, pending.text, line)) {
      place_warning(*warning, record);
    }
  }
  if (record.error.empty()) {
    for (const OperandNote& note : generator.operand_notes()) {
      const DiagnosticKind kind = note.kind == OperandNote::Kind::operator_ignored
                                      ? DiagnosticKind::operator_ignored
                                      : DiagnosticKind::unwritten_number;
      if (Diagnostic* warning =
              add_diagnostic(stretch, n, spot, kind, operand_note_warning(note), line)) {
        place_warning(*warning, record, note.term);
      }
    }
  } else if (record.code.size() / 4 < words_reserved && tally.unwritten_words++ == 0) {
    tally.first_unwritten = map_->locate(spot.offset);
    tally.first_unwritten_index = n;
  }
  const std::optional<OperandValue>& operand1 = generator.last_operand1();
  if (literal_too_wide(record, operand1)) {
    add_placed_warning(stretch, n, spot, DiagnosticKind::literal_too_wide, record, line,
                       [&] { return literal_warning(record, operand1); });
  }
  // Warned about from the address pass 2 gave the line.
  const std::uint32_t target = generator.last_target();
  if (const auto address = static_cast<std::uint32_t>(hex_value(record.address));
      target_in_other_page(record, target, address)) {
    add_placed_warning(stretch, n, spot,
                       has_kind(record, RecordKind::branch)
                           ? DiagnosticKind::jump_target_other_page
                           : DiagnosticKind::call_target_other_page,
                       record, line, [&] { return target_warning(record, target, address); });
  }
  if (register_outside_bank0(record, generator.last_operand1()) && tally.outside_bank0++ == 0) {
    tally.first_outside_bank0 = map_->locate(spot.offset);
    tally.first_outside_bank0_index = n;
  }
}

// The record's words against the chip's memory and configuration words.
void AssemblyService::Run::check_words(Pass3Stretch& stretch, std::size_t n, const RecordSpot& spot,
                                       const LineRecord& record, std::string_view line) {
  const ChipChecks::WordsFound found = stretch.chip->words(stretch.counter, record.code.view());
  if (found.first_beyond) {
    stretch.tally.first_beyond = map_->locate(spot.offset);
    stretch.tally.first_beyond_index = n;
  }
  if (!found.config_warning.empty()) {
    if (Diagnostic* warning = add_diagnostic(
            stretch, n, spot, DiagnosticKind::chip_config_bits_unset, found.config_warning, line)) {
      place_warning(*warning, record);
    }
  }
}

// The warnings about the whole program, after its last line.
void AssemblyService::Run::add_summaries(const Pass3Stretch& stretch) {
  const Tally& tally = stretch.tally;
  for (std::string& summary : stretch.caps.summaries()) {
    result_.diagnostics.push_back(
        summary_warning(DiagnosticKind::warnings_not_shown, std::move(summary)));
  }
  if (tally.unwritten_words > 0) {
    result_.diagnostics.push_back(summary_warning(
        DiagnosticKind::unwritten_words,
        unwritten_words_summary(tally.unwritten_words, options_.output_base + ".bin"),
        tally.first_unwritten, tally.first_unwritten_index));
  }
  for (const Utf8SourceNotes::Note& note : utf8_->unreached()) {
    // The file's text lies after the line that ended the passes.
    result_.diagnostics.push_back(
        summary_warning(DiagnosticKind::utf8_source, note.warning, map_->locate(note.line_start)));
  }
  if (tally.outside_bank0 > 0) {
    result_.diagnostics.push_back(
        summary_warning(DiagnosticKind::registers_outside_bank0,
                        register_bank_summary(tally.outside_bank0, tally.first_outside_bank0),
                        tally.first_outside_bank0, tally.first_outside_bank0_index));
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
  const std::size_t listed = kept_ - 1;
  // A listing line is at most its source line plus address, code and tabs;
  // sizing it ahead spares the listing a doubling of its capacity.
  if (keep_listing_) {
    result_.listing.reserve(source_.size() + kept_ * 24);
  } else {
    for (std::string& piece : pieces_) piece.reserve(kListingPiece + kPage);
  }
  // Pass 3 reads the records of the last batch from the batch itself, so it
  // need not wait for them to be in the store; the store is the worker's
  // until the batch before has gone in.
  if (options_.worker != nullptr) options_.worker->wait();
  stored_before_last_ = kept_ - batches_[batch_filling_].size();
  // Read now: the worker adds the last batch while both threads list.
  distinct_before_last_ = result_.records->distinct();
  const std::vector<StretchStart> pieces = pass3_pieces(listed);
  const bool in_pieces = pieces.size() > 1;
  if (!in_pieces) later_listing_ = std::string();
  Pass3Stretch stretch(in_pieces ? service_.worker_generator_ : service_.generator_,
                       chip_ ? &*chip_ : nullptr);
  stretch.generator->reset();
  if (in_pieces) {
    list_in_pieces(stretch, pieces, listed);
  } else {
    list_in_one(stretch, listed);
  }
  finish_pass3(stretch);
}

std::vector<StretchStart> AssemblyService::Run::pass3_pieces(std::size_t listed) const {
  std::vector<StretchStart> pieces(1);
  // The facts follow the image in order, a record at a time.
  if (options_.worker == nullptr || facts_ || listed < kTwoThreadRecords) return pieces;
  const std::size_t least = options_.pass3_piece_records != 0
                                ? options_.pass3_piece_records
                                : std::max(kLeastPieceRecords, listed / kMostPieces);
  // A piece after the first starts in the store, so that its reader can
  // start at a checkpoint; the last runs on into the last batch.
  for (const StretchStart& start : starts_) {
    if (start.record >= stored_before_last_ || listed - start.record < least) break;
    if (start.record - pieces.back().record >= least) pieces.push_back(start);
  }
  return pieces;
}

// Repeats are listed from the store without being encoded again, where
// nothing else is asked of a record: no chip to check its words against, no
// facts to collect.
bool AssemblyService::Run::repeats_listed_plain(const Pass3Stretch& stretch) const {
  return facts_ == nullptr && stretch.chip == nullptr;
}

PlainRecords AssemblyService::Run::plain_records_for(const Pass3Stretch& stretch) const {
  return PlainRecords(repeats_listed_plain(stretch) ? distinct_before_last_ : 0);
}

template <typename Records, typename List>
void AssemblyService::Run::list_records(Pass3Stretch& stretch, Records& records, std::size_t first,
                                        std::size_t end, PlainRecords& plain, List list) {
  LineRecord record;
  RecordSpot spot;
  std::string line;
  const bool plain_repeats = repeats_listed_plain(stretch);
  for (std::size_t n = first; n < end; ++n) {
    const NextRecord next = next_record(records, record, spot);
    if (!next.found) break;
    if (next.stored != nullptr) {
      if (plain_repeats && !warning_pending(stretch, n)) {
        if (const std::optional<PlainRecords::Plain> repeat =
                plain.find(next.stored->last_start())) {
          list_plain(stretch, *next.stored, n, spot, *repeat, list);
          continue;
        }
      }
      next.stored->last_record(record);
    }
    const std::size_t words_reserved = record.code.size() / 4;
    stretch.generator->generate_code(record, service_.symbols_);
    upper_case(record.address);
    upper_case(record.code);
    const std::int64_t gap = org_gap(record, stretch.counter);
    format_listing_line(record, line);
    list(std::string_view(line));
    const std::size_t image_before = stretch.image.bytes().size();
    stretch.image.add(record, static_cast<std::size_t>(2 * gap),
                      run_address(record, stretch.counter));
    if (facts_ && gap == 0) {
      facts_->wrote(image_before, stretch.image.bytes().size(), map_->locate(spot.offset));
    }
    diagnose_record(stretch, n, spot, record, line, words_reserved);
    if (stretch.chip != nullptr) check_words(stretch, n, spot, record, line);
    stretch.macro_calls.follow(record, spot.offset, spot.call_offset == spot.offset);
    stretch.counter =
        (stretch.counter + static_cast<std::uint32_t>(record.code.size() / 4)) & kAddressMask;
    if (next.stored != nullptr && plain_repeats) {
      if (const std::optional<PlainRecords::Plain> found = plain_outcome(stretch, record)) {
        plain.keep(next.stored->last_start(), *found);
      }
    }
  }
}

bool AssemblyService::Run::warning_pending(const Pass3Stretch& stretch, std::size_t n) const {
  return stretch.pending < warnings_.size() && warnings_[stretch.pending].record == n;
}

// A register or bit operation encoded without an error, an operand note or
// a warning of its own, a remark or a macro's mark: its repeats are listed
// alike.
std::optional<PlainRecords::Plain> AssemblyService::Run::plain_outcome(
    const Pass3Stretch& stretch, const LineRecord& encoded) const {
  if (!encoded.error.empty()) return std::nullopt;
  // Pass 3 takes a remark's or a mark's address away.
  if (has_kind(encoded, RecordKind::rem) || has_kind(encoded, RecordKind::macro)) {
    return PlainRecords::Plain{encoded.code.view(),
                               encoded.statement.empty() && encoded.label.empty(), true, false,
                               MacroCallTrail::mark_of(encoded)};
  }
  if (!has_kind(encoded, RecordKind::normal) && !has_kind(encoded, RecordKind::bit)) {
    return std::nullopt;
  }
  const CodeGenerator& generator = *stretch.generator;
  if (!generator.operand_notes().empty() || literal_too_wide(encoded, generator.last_operand1())) {
    return std::nullopt;
  }
  return PlainRecords::Plain{encoded.code.view(), false, false,
                             register_outside_bank0(encoded, generator.last_operand1()),
                             std::nullopt};
}

// Lists a repeat of a plain record as the loop above would have listed it.
template <typename List>
void AssemblyService::Run::list_plain(Pass3Stretch& stretch, const RecordStore::Reader& stored,
                                      std::size_t n, const RecordSpot& spot,
                                      const PlainRecords::Plain& plain, List& list) {
  char line[kRecordSize + 16];
  list(plain_listing_line(listed_texts(stored.last_shared()), stored.last_address(), plain, line));
  stretch.image.add_code(plain.code);
  Tally& tally = stretch.tally;
  if (plain.outside_bank0 && tally.outside_bank0++ == 0) {
    tally.first_outside_bank0 = map_->locate(spot.offset);
    tally.first_outside_bank0_index = n;
  }
  stretch.macro_calls.follow_mark(plain.mark, spot.offset, spot.call_offset == spot.offset);
  stretch.counter =
      (stretch.counter + static_cast<std::uint32_t>(plain.code.size() / 4)) & kAddressMask;
}

void AssemblyService::Run::list_in_one(Pass3Stretch& stretch, std::size_t listed) {
  hand_on_last(nullptr);
  RecordsInTurn records{RecordStore::Reader(*result_.records, stored_before_last_),
                        RecordStore::Batch::Reader(batches_[batch_filling_]), &last_batch_stored_,
                        kept_};
  PlainRecords plain = plain_records_for(stretch);
  list_records(stretch, records, 0, listed, plain, [this](std::string_view line) { list(line); });
  if (options_.listing_sink) hand_on_listing(true);
}

// The worker lists the first piece and those after it, in order, from the
// store once the last batch is in, handing its lines to the sink as it goes;
// meanwhile this thread lists pieces from the last one back, each from where
// pass 2 foresaw its state, keeping their lines. They stop where they meet.
// The pieces are then joined in order; should a piece end in another state
// than the next was foreseen to start in, the records from there on are
// listed again after it.
void AssemblyService::Run::list_in_pieces(Pass3Stretch& earlier,
                                          const std::vector<StretchStart>& pieces,
                                          std::size_t listed) {
  const auto piece_end = [&pieces, listed](std::size_t piece) {
    return piece + 1 < pieces.size() ? pieces[piece + 1].record : listed;
  };
  PieceClaims claims(pieces.size());
  std::size_t worker_pieces = 0;  // read once the worker is done
  // Each of this thread's pieces checks the words against the chip's checks
  // as they were before pass 3, which the worker's stretch goes on in.
  const std::optional<ChipChecks> chip_before = chip_;
  // Where the store's reader starts for each piece, found before the worker
  // adds the last batch (and checkpoints with it).
  std::vector<RecordStore::Checkpoint> checkpoints;
  checkpoints.reserve(pieces.size());
  for (const StretchStart& start : pieces) {
    checkpoints.push_back(result_.records->checkpoint_before(start.record));
  }
  hand_on_last([this, &earlier, &pieces, &claims, &worker_pieces, piece_end] {
    RecordStore::Reader records(*result_.records);
    PlainRecords plain = plain_records_for(earlier);
    for (std::optional<std::size_t> piece = 0; piece; piece = claims.take_front()) {
      list_records(earlier, records, pieces[*piece].record, piece_end(*piece), plain,
                   [this](std::string_view line) { list_on_worker(line); });
      worker_pieces = *piece + 1;
    }
  });

  // This thread's pieces, the last first.
  std::deque<LaterPiece> later;
  PlainRecords plain = plain_records_for(earlier);
  service_.generator_.reset();
  while (const std::optional<std::size_t> index = claims.take_back()) {
    LaterPiece& piece = later.emplace_back(service_.generator_, chip_before, *index);
    list_later_piece(piece, pieces[*index], checkpoints[*index], piece_end(*index), plain);
  }
  options_.worker->wait();

  // The lines of the pieces after the worker's, in order, in the later listing.
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::string subroutine = earlier.generator->subroutine();
  std::size_t next = worker_pieces;
  for (auto piece = later.rbegin(); piece != later.rend(); ++piece, ++next) {
    const StretchStart& start = pieces[piece->index];
    if (earlier.counter != start.counter || subroutine != start.subroutine) break;
    earlier.join(std::move(piece->stretch));
    subroutine = std::move(piece->subroutine);
    spans.emplace_back(piece->listing_begin, piece->listing_end);
  }
  if (next < pieces.size()) {
    earlier.generator->set_subroutine(subroutine);
    const std::size_t begin = later_listing_.size();
    RecordsInTurn again = records_from(pieces[next], checkpoints[next]);
    list_records(earlier, again, pieces[next].record, listed, plain,
                 [this](std::string_view line) { list_later(line); });
    spans.emplace_back(begin, later_listing_.size());
  }

  std::vector<std::string_view> parts;
  if (!keep_listing_) parts.push_back(pieces_[filling_]);
  for (const auto& [begin, end] : spans) {
    parts.push_back(std::string_view(later_listing_).substr(begin, end - begin));
  }
  if (keep_listing_) {
    for (const std::string_view part : parts) result_.listing += part;
    later_listing_ = std::string();
    if (options_.listing_sink) hand_on_listing(true);
    return;
  }
  // The sink takes whole pages until the last piece.
  on_worker([this, parts = std::move(parts)] { hand_on_in_pages(parts, options_.listing_sink); });
}

RecordsInTurn AssemblyService::Run::records_from(const StretchStart& start,
                                                 const RecordStore::Checkpoint& checkpoint) {
  RecordsInTurn records{RecordStore::Reader(*result_.records, checkpoint, stored_before_last_),
                        RecordStore::Batch::Reader(batches_[batch_filling_]), &last_batch_stored_,
                        kept_};
  records.stored.skip_to(start.record);
  return records;
}

void AssemblyService::Run::list_later_piece(LaterPiece& piece, const StretchStart& start,
                                            const RecordStore::Checkpoint& checkpoint,
                                            std::size_t end, PlainRecords& plain) {
  Pass3Stretch& stretch = piece.stretch;
  stretch.generator->set_subroutine(start.subroutine);
  stretch.counter = start.counter;
  stretch.pending =
      static_cast<std::size_t>(std::partition_point(warnings_.begin(), warnings_.end(),
                                                    [&](const PendingWarning& pending) {
                                                      return pending.record < start.record;
                                                    }) -
                               warnings_.begin());
  RecordsInTurn records = records_from(start, checkpoint);
  piece.listing_begin = later_listing_.size();
  list_records(stretch, records, start.record, end, plain,
               [this](std::string_view line) { list_later(line); });
  piece.listing_end = later_listing_.size();
  piece.subroutine = stretch.generator->subroutine();
}

void AssemblyService::Run::list_on_worker(std::string_view line) {
  std::string& listing = keep_listing_ ? result_.listing : pieces_[filling_];
  listing += line;
  if (!options_.listing_sink || listing.size() - listing_handed_ < kListingPiece) return;
  const std::size_t end = listing.size() / kPage * kPage;
  options_.listing_sink(std::string_view(listing).substr(listing_handed_, end - listing_handed_),
                        false);
  if (keep_listing_) {
    listing_handed_ = end;
  } else {
    listing.erase(0, end);
  }
}

void AssemblyService::Run::finish_pass3(Pass3Stretch& stretch) {
  result_.image = std::move(stretch.image);
  result_.error_entries = std::move(stretch.error_entries);
  for (Diagnostic& diagnostic : stretch.diagnostics) {
    result_.diagnostics.push_back(std::move(diagnostic));
  }
  add_summaries(stretch);
}

void AssemblyService::Run::collect_symbol_facts_of_text() {
  if (options_.collect_symbol_facts) {
    result_.symbol_facts = collect_symbol_facts(source_, *map_, service_.symbols_);
  }
}

void AssemblyService::Run::finish() {
  const ExtraOutputs& extra = options_.extra_outputs;
  // From the words at their addresses, never from the .bin bytes: an ORG
  // gap stays a gap.
  if (extra.intel_hex) result_.intel_hex = intel_hex_text(result_.image.placed());
  if (!facts_) return;
  result_.facts = facts_->finish(service_.symbols_, *map_, sources_.names, result_.image.bytes());
  result_.facts->definition_files = std::min(options_.definition_files, sources_.names.size());
  if (chip_) result_.facts->chip = chip_->chip();
  if (extra.debug_file) {
    DebugFile file = debug_file(
        *extra.debug_file, *result_.facts,
        options_.debug_source_names.empty() ? sources_.names : options_.debug_source_names,
        options_.debug_stamp);
    add_debug_file_warnings(file, *extra.debug_file, options_.output_base + ".cod",
                            result_.diagnostics);
    result_.debug_file = std::move(file.bytes);
  }
  if (extra.map) {
    // Titled with the base name without its folder.
    result_.map_file =
        map_file_text(*result_.facts, cp932_from_os_path(os_path(options_.output_base).filename()));
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

ServiceResult AssemblyService::assemble(SourceSet sources, const ServiceOptions& options) {
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
  run.pass2();
  run.collect_symbol_facts_of_text();
  run.pass3();
  run.finish();
  return result;
}

}  // namespace korva
