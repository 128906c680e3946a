#include "lsp/server.h"

#include <algorithm>
#include <iterator>

#include "lsp/uri.h"
#include "project/chip_files.h"
#include "project/project.h"
#include "project/source_files.h"
#include "support/column_map.h"
#include "support/utf8_text.h"
#include "system/file_io.h"
#include "system/glossed_text.h"
#include "system/text_encoding.h"

namespace korva::lsp {
namespace {

constexpr int kSeverityError = 1;
constexpr int kSeverityWarning = 2;
constexpr int kMessageTypeWarning = 2;
constexpr int kMessageTypeLog = 4;
// An editor lists no more than this many diagnostics of a file usefully;
// the rest are counted in one more.
constexpr std::size_t kDiagnosticsPerFile = 1000;

std::string dumped(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json response(const Json& id, Json result) {
  return Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

Json error_response(const Json& id, int code, std::string_view message) {
  return Json{{"jsonrpc", "2.0"},
              {"id", id},
              {"error", Json{{"code", code}, {"message", std::string(message)}}}};
}

Json notification(std::string_view method, Json params) {
  return Json{{"jsonrpc", "2.0"}, {"method", std::string(method)}, {"params", std::move(params)}};
}

// Text for the client: CP932 made UTF-8 (ASCII stays as it is).
std::string shown(std::string_view cp932) {
  const bool ascii = std::all_of(cp932.begin(), cp932.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? std::string(cp932) : cp932_to_utf8(cp932);
}

const Json* member(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> string_member(const Json& object, std::string_view key) {
  const Json* value = member(object, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<std::int64_t> integer_member(const Json& object, std::string_view key) {
  const Json* value = member(object, key);
  if (value == nullptr || !value->is_number_integer()) return std::nullopt;
  return value->get<std::int64_t>();
}

// A position member as a line and a column, each clamped to what fits.
std::optional<Position> position_member(const Json& object, std::string_view key) {
  const Json* value = member(object, key);
  if (value == nullptr) return std::nullopt;
  const std::optional<std::int64_t> line = integer_member(*value, "line");
  const std::optional<std::int64_t> character = integer_member(*value, "character");
  if (!line || !character || *line < 0 || *character < 0) return std::nullopt;
  return Position{static_cast<std::size_t>(*line), static_cast<std::size_t>(*character)};
}

// The byte offset of a position in a UTF-8 text; the end for one beyond it.
std::size_t offset_of(std::string_view text, const LineStarts& lines, const Position& position) {
  if (position.line >= lines.count()) return text.size();
  const std::size_t start = lines.start(position.line);
  return start + utf8_offset(lines.line(text, position.line), position.character);
}

Json diagnostic_json(const Diagnostic& diagnostic, const Json& range, const Json& related) {
  std::string message = glossed_utf8(diagnostic_message(diagnostic, WithHint::yes));
  Json json{
      {"range", range},
      {"severity", diagnostic.severity == Severity::error ? kSeverityError : kSeverityWarning},
      {"source", "korva"},
      {"message", message}};
  if (!related.empty()) json["relatedInformation"] = related;
  return json;
}

}  // namespace

const syntax::Notation& notation_of_table(CoreFamily family) {
  static const syntax::Notation kNone;
  const std::optional<syntax::Notation>& notation = syntax::table_notation(family);
  return notation ? *notation : kNone;
}

namespace {}  // namespace

Server::Server(ServerOptions options) : options_(std::move(options)) {
  chip_.chips_directory = options_.chips_directory;
  if (!chip_.chips_directory.empty()) chip_.chips = list_chips(chip_.chips_directory);
}

std::string Server::log_message(std::string_view text) {
  return dumped(notification("window/logMessage",
                             Json{{"type", kMessageTypeLog}, {"message", std::string(text)}}));
}

namespace {

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of a "\uXXXX" escape at `at`, if one stands there.
std::optional<unsigned> unicode_escape(std::string_view body, std::size_t at) {
  if (at + 6 > body.size() || body[at] != '\\' || body[at + 1] != 'u') return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    if (!is_hex_digit(body[i])) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(body[i] <= '9'   ? body[i] - '0'
                                               : body[i] <= 'F' ? body[i] - 'A' + 10
                                                                : body[i] - 'a' + 10);
  }
  return value;
}

// The body with U+FFFD for every byte that is no UTF-8 and every escaped
// surrogate without its other half, which JSON parsers refuse whole.
std::string mended_json(std::string_view body) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string mended;
  mended.reserve(body.size());
  for (std::size_t at = 0; at < body.size();) {
    if (const std::optional<unsigned> value = unicode_escape(body, at)) {
      const std::optional<unsigned> next = unicode_escape(body, at + 6);
      if (*value >= 0xD800 && *value <= 0xDBFF && next && *next >= 0xDC00 && *next <= 0xDFFF) {
        mended.append(body.substr(at, 12));
        at += 12;
      } else {
        mended += (*value >= 0xD800 && *value <= 0xDFFF) ? std::string_view("\\uFFFD")
                                                         : body.substr(at, 6);
        at += 6;
      }
    } else if (body[at] == '\\' && at + 1 < body.size()) {
      mended.append(body.substr(at, 2));  // another escape, "\\" among them
      at += 2;
    } else if (static_cast<unsigned char>(body[at]) >= 0x80) {
      const std::size_t length = utf8_length(body, at);
      if (length == 0) {
        mended += kReplacement;
        ++at;
      } else {
        mended.append(body.substr(at, length));
        at += length;
      }
    } else {
      mended += body[at++];
    }
  }
  return mended;
}

}  // namespace

std::vector<std::string> Server::handle(std::string_view body) {
  Json message = Json::parse(body, nullptr, false);
  std::vector<std::string> notes;
  if (message.is_discarded()) {
    // Text that is no UTF-8 is kept with U+FFFD in its place, so that the
    // server's copy of a document does not fall behind the editor's.
    message = Json::parse(mended_json(body), nullptr, false);
    if (message.is_discarded()) {
      return {dumped(error_response(nullptr, error_codes::kParseError, "the message is no JSON"))};
    }
    notes.push_back(dumped(
        notification("window/showMessage",
                     Json{{"type", kMessageTypeWarning},
                          {"message",
                           "the editor sent text that is no UTF-8 (or half of a UTF-16 pair); "
                           "it is kept with U+FFFD in its place"}})));
  }
  std::vector<std::string> out = handle_message(message);
  std::move(notes.begin(), notes.end(), std::back_inserter(out));
  return out;
}

std::vector<std::string> Server::handle_message(const Json& message) {
  const Json* id = member(message, "id");
  const std::optional<std::string> method = string_member(message, "method");
  const bool valid_id = id != nullptr && (id->is_string() || id->is_number_integer());
  if (!method) {
    // A response to a request of ours, which asks nothing; anything else is
    // no message at all.
    if (valid_id && (member(message, "result") != nullptr || member(message, "error") != nullptr)) {
      return {};
    }
    return {dumped(error_response(valid_id ? *id : Json(nullptr), error_codes::kInvalidRequest,
                                  "a message needs a method"))};
  }
  if (id != nullptr && !valid_id) {
    return {dumped(error_response(nullptr, error_codes::kInvalidRequest,
                                  "a request id is a number or a string"))};
  }
  const Json* params_member = member(message, "params");
  const Json params = params_member != nullptr ? *params_member : Json::object();
  const bool request = id != nullptr;

  if (*method == "exit") {
    exit_requested_ = true;
    return {};
  }
  if (!initialized_ && *method != "initialize") {
    if (!request) return {};
    return {dumped(
        error_response(*id, error_codes::kServerNotInitialized, "the server is not initialized"))};
  }
  if (shutdown_) {
    // After shutdown only exit counts: notifications change nothing.
    if (!request) return {};
    return {dumped(error_response(*id, error_codes::kInvalidRequest, "the server is shut down"))};
  }

  Answer answer = fail(error_codes::kInternalError, std::string("not answered"));
  try {
    answer = dispatch(*method, params);
  } catch (const Json::exception& error) {
    answer = fail(error_codes::kInvalidParams, std::string("bad parameters: ") + error.what());
  }
  std::vector<std::string> out;
  if (request) {
    out.push_back(dumped(answer ? response(*id, std::move(*answer))
                                : error_response(*id, answer.reason(), answer.message())));
    // Messages for the user, after the answer that the client waits for.
    std::move(notices_.begin(), notices_.end(), std::back_inserter(out));
    notices_.clear();
  } else if (!answer && answer.reason() != error_codes::kMethodNotFound) {
    out.push_back(log_message(*method + ": " + answer.message()));
  }
  return out;
}

Server::Answer Server::dispatch(const std::string& method, const Json& params) {
  if (method == "initialize") {
    if (initialized_) return fail(error_codes::kInvalidRequest, std::string("already initialized"));
    return initialize(params);
  }
  if (method == "initialized" || method == "workspace/didChangeConfiguration" ||
      method == "textDocument/didSave" || method == "workspace/didChangeWatchedFiles") {
    if (method == "textDocument/didSave" || method == "workspace/didChangeWatchedFiles") {
      // A project file may have been written: the lists are read again, and
      // the saved document's project is published anew.
      ++generation_;
      project_files_ = project_files(roots_, {});
      const Json* document = member(params, "textDocument");
      const std::optional<std::string> uri =
          document != nullptr ? string_member(*document, "uri") : std::nullopt;
      if (const std::optional<std::filesystem::path> path =
              uri ? path_of_uri(*uri) : std::nullopt) {
        changed_.insert(normal_path(*path));
      }
    }
    return Json(nullptr);
  }
  if (method == "shutdown") {
    shutdown_ = true;
    return Json(nullptr);
  }
  if (method == "textDocument/didOpen") {
    did_open(params);
    return Json(nullptr);
  }
  if (method == "textDocument/didChange") {
    did_change(params);
    return Json(nullptr);
  }
  if (method == "textDocument/didClose") {
    did_close(params);
    return Json(nullptr);
  }
  if (method == "textDocument/hover") return hover(params);
  if (method == "textDocument/definition") return definition(params);
  if (method == "textDocument/references") return references(params);
  if (method == "textDocument/documentHighlight") return highlight(params);
  if (method == "textDocument/prepareRename") return prepare_rename(params);
  if (method == "textDocument/rename") return rename(params);
  if (method == "textDocument/completion") return completion(params);
  if (method == "textDocument/documentSymbol") return document_symbols(params);
  if (method == "workspace/symbol") return workspace_symbols(params);
  if (method == "textDocument/foldingRange") return folding_ranges(params);
  if (method == "textDocument/semanticTokens/full") return semantic_tokens(params);
  return fail(error_codes::kMethodNotFound, "unknown method " + method);
}

Json Server::initialize(const Json& params) {
  initialized_ = true;
  if (const Json* folders = member(params, "workspaceFolders"); folders && folders->is_array()) {
    for (const Json& folder : *folders) {
      const std::optional<std::string> uri = string_member(folder, "uri");
      if (!uri) continue;
      if (std::optional<std::filesystem::path> path = path_of_uri(*uri)) {
        roots_.push_back(normal_path(*path));
      }
    }
  }
  if (roots_.empty()) {
    if (const std::optional<std::string> uri = string_member(params, "rootUri")) {
      if (std::optional<std::filesystem::path> path = path_of_uri(*uri)) {
        roots_.push_back(normal_path(*path));
      }
    }
  }
  if (const Json* settings = member(params, "initializationOptions")) {
    if (const std::optional<std::string> chip = string_member(*settings, "chip")) {
      chip_.chip = *chip;
    }
    if (const std::optional<std::string> folder = string_member(*settings, "chipsDirectory")) {
      chip_.chips_directory = std::filesystem::path(std::u8string(folder->begin(), folder->end()));
      chip_.chips = list_chips(chip_.chips_directory);
    }
  }
  if (!chip_.chip.empty() && !chip_.chips_directory.empty() &&
      !find_chip(chip_.chips_directory, chip_.chips, chip_.chip)) {
    notices_.push_back(dumped(notification(
        "window/showMessage", Json{{"type", kMessageTypeWarning},
                                   {"message", unknown_chip_text(chip_.chip, chip_.chips)}})));
    chip_.chip.clear();
  }
  project_files_ = project_files(roots_, {});

  Json token_types = Json::array();
  for (const syntax::StyleNames& style : syntax::all_styles()) {
    std::string name;
    bool upper = false;
    for (const char c : style.kate_item) {
      if (c == ' ') {
        upper = true;
      } else {
        const bool first = name.empty();
        name += static_cast<char>(upper ? c : (first && c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
        upper = false;
      }
    }
    token_types.push_back(name);
  }
  const Json capabilities{
      {"positionEncoding", "utf-16"},
      {"textDocumentSync",
       Json{{"openClose", true}, {"change", 2}, {"save", Json{{"includeText", false}}}}},
      {"hoverProvider", true},
      {"definitionProvider", true},
      {"referencesProvider", true},
      {"documentHighlightProvider", true},
      {"renameProvider", Json{{"prepareProvider", true}}},
      {"completionProvider", Json{{"triggerCharacters", Json::array({"(", ">", "_"})}}},
      {"documentSymbolProvider", true},
      {"workspaceSymbolProvider", true},
      {"foldingRangeProvider", true},
      {"semanticTokensProvider",
       Json{{"legend", Json{{"tokenTypes", token_types}, {"tokenModifiers", Json::array()}}},
            {"full", true}}}};
  return Json{{"capabilities", capabilities},
              {"serverInfo", Json{{"name", "korva-lsp"}, {"version", KORVA_VERSION}}}};
}

void Server::did_open(const Json& params) {
  const Json* document = member(params, "textDocument");
  if (document == nullptr) return;
  const std::optional<std::string> uri = string_member(*document, "uri");
  const std::optional<std::string> text = string_member(*document, "text");
  if (!uri || !text) return;
  const std::optional<std::filesystem::path> path = path_of_uri(*uri);
  if (!path) return;
  const std::filesystem::path key = normal_path(*path);
  Document& open = documents_[key];
  open = Document{*uri, integer_member(*document, "version").value_or(0), *text, std::nullopt};
  if (FileContents bytes = read_whole_file(key); bytes && cp932_to_utf8(*bytes) == *text) {
    open.file_bytes = std::move(*bytes);
  }
  ++generation_;
  changed_.insert(key);
}

void Server::did_change(const Json& params) {
  const Json* document = member(params, "textDocument");
  const Json* changes = member(params, "contentChanges");
  if (document == nullptr || changes == nullptr || !changes->is_array()) return;
  const std::optional<std::string> uri = string_member(*document, "uri");
  const std::optional<std::filesystem::path> path = uri ? path_of_uri(*uri) : std::nullopt;
  if (!path) return;
  const auto found = documents_.find(normal_path(*path));
  if (found == documents_.end()) return;  // never opened: nothing to change
  Document& open = found->second;
  open.file_bytes.reset();
  for (const Json& change : *changes) {
    const std::optional<std::string> text = string_member(change, "text");
    if (!text) continue;
    const Json* range = member(change, "range");
    if (range == nullptr) {
      open.text = *text;
      continue;
    }
    const std::optional<Position> start = position_member(*range, "start");
    const std::optional<Position> end = position_member(*range, "end");
    if (!start || !end) continue;
    const LineStarts lines(open.text, LineEnds::protocol);
    const std::size_t from = offset_of(open.text, lines, *start);
    const std::size_t to = std::max(from, offset_of(open.text, lines, *end));
    open.text.replace(from, to - from, *text);
  }
  open.version = integer_member(*document, "version").value_or(open.version);
  ++generation_;
  changed_.insert(found->first);
}

void Server::did_close(const Json& params) {
  const Json* document = member(params, "textDocument");
  const std::optional<std::string> uri = document ? string_member(*document, "uri") : std::nullopt;
  const std::optional<std::filesystem::path> path = uri ? path_of_uri(*uri) : std::nullopt;
  if (!path) return;
  const std::filesystem::path key = normal_path(*path);
  if (documents_.erase(key) > 0) {
    ++generation_;
    changed_.insert(key);  // analysed again from the file on disk
  }
}

namespace {

// The open documents as the assembly takes them: the file's bytes while the
// editor shows them unchanged, else the editor's text in CP932.
class OpenDocuments : public SourceProvider {
 public:
  explicit OpenDocuments(const std::optional<std::string>& bytes) : bytes_(bytes) {}
  std::optional<std::string> open_buffer(const SystemPath&) const override { return bytes_; }

 private:
  const std::optional<std::string>& bytes_;
};

}  // namespace

Expected<SourceText> Server::source_text(const std::filesystem::path& path,
                                         const std::string& entry) {
  const auto open = documents_.find(path);
  std::optional<std::string> buffer;
  if (open != documents_.end()) {
    buffer = open->second.file_bytes ? *open->second.file_bytes : utf8_to_cp932(open->second.text);
  }
  Expected<std::string, JoinFailure> bytes =
      read_source(SourceFile{SystemPath(path), entry}, OpenDocuments(buffer));
  if (!bytes) return fail(bytes.message());
  // An edited buffer keeps the editor's UTF-8, which its positions count in.
  if (open != documents_.end() && !open->second.file_bytes) {
    return SourceText::from_editor(open->second.text);
  }
  return SourceText::from_file(std::move(*bytes));
}

ProjectPlan Server::plan_of(const std::filesystem::path& path) {
  // The workspace's project files as last scanned, and those of the file's
  // own folder, which may lie outside the workspace.
  std::vector<std::filesystem::path> candidates = project_files({}, path.parent_path());
  candidates.insert(candidates.end(), project_files_.begin(), project_files_.end());
  return plan_for(path, candidates, chip_);
}

std::shared_ptr<const ProjectAnalysis> Server::analysis_for(std::string_view uri) {
  const std::optional<std::filesystem::path> path = path_of_uri(uri);
  if (!path) return nullptr;
  ProjectPlan plan = plan_of(normal_path(*path));
  const std::filesystem::path key =
      plan.project_file.empty() ? plan.paths.back() : plan.project_file;
  CachedAnalysis& cached = analyses_[key];
  if (cached.analysis && cached.generation == generation_ &&
      cached.analysis->plan().paths == plan.paths) {
    return cached.analysis;
  }
  std::vector<SourceText> texts;
  std::string unreadable;
  for (std::size_t i = 0; i < plan.paths.size() && unreadable.empty(); ++i) {
    Expected<SourceText> text = source_text(plan.paths[i], plan.entries[i]);
    if (text) {
      texts.push_back(std::move(*text));
    } else {
      unreadable = text.message();
    }
  }
  if (!unreadable.empty()) {
    // The project cannot be assembled, as korva-asm stops on it; the file is
    // checked alone meanwhile, and says so with korva-asm's message.
    plan = plan_for(normal_path(*path), {}, chip_);
    texts.clear();
    for (std::size_t i = 0; i < plan.paths.size(); ++i) {
      Expected<SourceText> text = source_text(plan.paths[i], plan.entries[i]);
      if (!text) return nullptr;
      texts.push_back(std::move(*text));
    }
    cached.analysis = std::make_shared<const ProjectAnalysis>(
        std::move(plan), std::move(texts),
        unreadable + " (the project cannot be assembled; this file is checked alone)");
  } else {
    if (texts.empty()) return nullptr;
    cached.analysis = std::make_shared<const ProjectAnalysis>(std::move(plan), std::move(texts));
  }
  cached.generation = generation_;
  return cached.analysis;
}

std::vector<std::string> Server::idle() {
  std::vector<std::string> out;
  std::set<std::filesystem::path> done;
  std::set<std::filesystem::path> changed = std::move(changed_);
  changed_.clear();
  // A changed project file can change the analysis of every open source.
  for (const std::filesystem::path& path : std::set(changed)) {
    if (!is_project_file(path)) continue;
    out.push_back(publish_project_file(path));
    changed.erase(path);
    for (const auto& [open, document] : documents_) {
      if (!is_project_file(open)) changed.insert(open);
    }
  }
  for (const std::filesystem::path& path : changed) {
    if (done.count(path) > 0) continue;
    const std::shared_ptr<const ProjectAnalysis> analysis = analysis_for(uri_of_path(path));
    if (!analysis) {
      // Neither open nor on disk any more (an unsaved document closed): what
      // was published for it no longer holds.
      out.push_back(
          dumped(notification("textDocument/publishDiagnostics",
                              Json{{"uri", uri_of_path(path)}, {"diagnostics", Json::array()}})));
      continue;
    }
    for (const std::filesystem::path& source : analysis->plan().paths) done.insert(source);
    std::vector<std::string> published = publish(*analysis);
    std::move(published.begin(), published.end(), std::back_inserter(out));
  }
  return out;
}

std::string Server::publish_project_file(const std::filesystem::path& path) {
  const auto open = documents_.find(path);
  Json diagnostics = Json::array();
  if (open != documents_.end()) {
    const SourceText text = SourceText::from_editor(open->second.text);
    for (std::size_t line = 0; line < text.line_count(); ++line) {
      const std::vector<std::string> entries = project_entries(text.cp932_line(line));
      if (entries.size() != 1) continue;
      const std::filesystem::path source =
          normal_path(path.parent_path() / os_path(entries.front()));
      const Expected<SourceText> read = source_text(source, entries.front());
      if (read) continue;
      diagnostics.push_back(Json{{"range", range_json(text.lines(line, line))},
                                 {"severity", kSeverityError},
                                 {"source", "korva"},
                                 {"message", glossed_utf8(read.message())}});
    }
  }
  Json params{{"uri", open != documents_.end() ? open->second.uri : uri_of_path(path)},
              {"diagnostics", std::move(diagnostics)}};
  if (open != documents_.end()) params["version"] = open->second.version;
  return dumped(notification("textDocument/publishDiagnostics", std::move(params)));
}

std::string Server::uri_of(const ProjectAnalysis& analysis, std::size_t file) const {
  const std::filesystem::path& path = analysis.plan().paths[file];
  const auto open = documents_.find(path);
  return open != documents_.end() ? open->second.uri : uri_of_path(path);
}

Json Server::range_json(const Range& range) {
  return Json{{"start", Json{{"line", range.start.line}, {"character", range.start.character}}},
              {"end", Json{{"line", range.end.line}, {"character", range.end.character}}}};
}

Json Server::range_of(const ProjectAnalysis& analysis, const Place& place) const {
  const SourceText& text = analysis.texts()[place.file];
  return range_json(Range{text.position(place.line, place.column),
                          text.position(place.line, place.column + place.length)});
}

Json Server::location_of(const ProjectAnalysis& analysis, const Place& place) const {
  return Json{{"uri", uri_of(analysis, place.file)}, {"range", range_of(analysis, place)}};
}

std::vector<std::string> Server::publish(const ProjectAnalysis& analysis) {
  const ProjectPlan& plan = analysis.plan();
  std::map<std::size_t, Json> by_file;
  for (std::size_t file = 0; file < plan.paths.size(); ++file) by_file[file] = Json::array();
  // The place of a diagnostic or a note: the whole line without columns; a
  // diagnostic of the whole run, at the start of the project's first source.
  const auto place_of = [&](const SourceLocation& where, const std::optional<ColumnSpan>& span) {
    if (where.line == 0) {
      return Place{std::min(plan.definition_files, plan.paths.size() - 1), 0, 0, 0};
    }
    const std::size_t file = analysis.file_of(where);
    const std::size_t line = where.line - 1;
    if (span) return Place{file, line, span->column - 1, span->length};
    return Place{file, line, 0, analysis.texts()[file].cp932_line(line).size()};
  };
  std::map<std::size_t, std::size_t> left_out;
  for (const Diagnostic& diagnostic : analysis.result().diagnostics) {
    const Place place = place_of(diagnostic.where, diagnostic.span);
    if (by_file[place.file].size() >= kDiagnosticsPerFile) {
      ++left_out[place.file];
      continue;
    }
    Json related = Json::array();
    for (const DiagnosticNote& note : diagnostic.notes) {
      if (note.where.line == 0) continue;
      related.push_back(Json{{"location", location_of(analysis, place_of(note.where, note.span))},
                             {"message", shown(note.text)}});
    }
    by_file[place.file].push_back(diagnostic_json(diagnostic, range_of(analysis, place), related));
  }
  for (const auto& [file, count] : left_out) {
    by_file[file].push_back(
        Json{{"range", range_of(analysis, Place{file, 0, 0, 0})},
             {"severity", kSeverityWarning},
             {"source", "korva"},
             {"message", std::to_string(count) + " more diagnostics of this file are not shown"}});
  }
  const std::filesystem::path key =
      plan.project_file.empty() ? plan.paths.back() : plan.project_file;
  std::set<std::string>& before = published_[key];
  std::set<std::string> now;
  std::vector<std::string> out;
  for (auto& [file, diagnostics] : by_file) {
    const std::string uri = uri_of(analysis, file);
    now.insert(uri);
    Json params{{"uri", uri}, {"diagnostics", std::move(diagnostics)}};
    const auto open = documents_.find(plan.paths[file]);
    if (open != documents_.end()) params["version"] = open->second.version;
    out.push_back(dumped(notification("textDocument/publishDiagnostics", std::move(params))));
  }
  for (const std::string& uri : before) {
    if (now.count(uri) == 0) {
      out.push_back(dumped(notification("textDocument/publishDiagnostics",
                                        Json{{"uri", uri}, {"diagnostics", Json::array()}})));
    }
  }
  before = std::move(now);
  return out;
}

Expected<Server::Located, int> Server::locate(const Json& params) {
  const Json* document = member(params, "textDocument");
  const std::optional<std::string> uri = document ? string_member(*document, "uri") : std::nullopt;
  if (!uri) return fail(error_codes::kInvalidParams, std::string("no textDocument.uri"));
  const std::optional<std::filesystem::path> path = path_of_uri(*uri);
  if (!path) return fail(error_codes::kInvalidParams, "not a file URI: " + *uri);
  const std::optional<Position> position = position_member(params, "position");
  if (!position && member(params, "position") != nullptr) {
    return fail(error_codes::kInvalidParams, std::string("a position has a line and a character"));
  }
  Located located;
  located.analysis = analysis_for(*uri);
  if (!located.analysis) {
    return fail(error_codes::kRequestFailed, "the document is neither open nor readable: " + *uri);
  }
  const std::optional<std::size_t> file = located.analysis->plan().index_of(normal_path(*path));
  if (!file) return fail(error_codes::kRequestFailed, "the document is not in its project");
  located.file = *file;
  if (position) {
    const SourceText& text = located.analysis->texts()[*file];
    const LineColumn place = text.place(*position);
    located.line = place.line;
    located.column = place.column;
  }
  return located;
}

}  // namespace korva::lsp
