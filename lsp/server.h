// The language server: takes the body of each message the client sends and
// gives back the bodies to send in return (responses, notifications).
// Documents live in memory as the editor sends them; each project is
// assembled in memory by the assembly service, never from the files on disk
// in place of an open document, and nothing is written to disk.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/analysis.h"
#include "lsp/project_model.h"
#include "lsp/source_text.h"
#include "support/expected.h"
#include "syntax/syntax_model.h"

namespace korva::lsp {

using Json = nlohmann::json;

// A request's failure: the protocol's error code and a message.
struct RequestError {
  int code = 0;
  std::string message;
};

// The editors' notation of a core's table, made once.
const syntax::Notation& notation_of_table(CoreFamily family);

namespace error_codes {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
inline constexpr int kServerNotInitialized = -32002;
inline constexpr int kRequestFailed = -32803;
}  // namespace error_codes

struct ServerOptions {
  // The chip folder when the client names none (the program's own).
  std::filesystem::path chips_directory;
};

class Server {
 public:
  explicit Server(ServerOptions options);

  // The bodies to send for one message from the client.
  std::vector<std::string> handle(std::string_view body);
  // What to send once the client has nothing more queued: the diagnostics
  // of the projects changed since.
  std::vector<std::string> idle();
  // A message for the client's log (a header the reader skipped, ...).
  static std::string log_message(std::string_view text);

  bool exit_requested() const { return exit_requested_; }
  // The exit status: 0 after shutdown, 1 for an exit without it.
  int exit_status() const { return shutdown_ ? 0 : 1; }

  // The analysis of the project that `uri` belongs to, made afresh when a
  // document has changed since (for tests and the benchmark).
  std::shared_ptr<const ProjectAnalysis> analysis_for(std::string_view uri);

 private:
  struct Document {
    std::string uri;
    std::int64_t version = 0;
    std::string text;  // UTF-8, as the editor has it
    // The file's bytes while the buffer shows them unchanged: then they are
    // assembled as they are, as korva-asm reads them.
    std::optional<std::string> file_bytes;
  };
  struct CachedAnalysis {
    std::uint64_t generation = 0;
    std::shared_ptr<const ProjectAnalysis> analysis;
  };

  // A request's result, or its error code and message.
  using Answer = Expected<Json, int>;
  Answer dispatch(const std::string& method, const Json& params);

  std::vector<std::string> handle_message(const Json& message);
  Json initialize(const Json& params);
  void did_open(const Json& params);
  void did_change(const Json& params);
  void did_close(const Json& params);

  Answer hover(const Json& params);
  Answer definition(const Json& params);
  Answer references(const Json& params);
  Answer highlight(const Json& params);
  Answer prepare_rename(const Json& params);
  Answer rename(const Json& params);
  Answer completion(const Json& params);
  Answer document_symbols(const Json& params);
  Json workspace_symbols(const Json& params);
  Answer folding_ranges(const Json& params);
  Answer semantic_tokens(const Json& params);

  // A source's text as the assembly takes it (project/source_files.h):
  // the open buffer over its file, else the file; `entry` names it in the
  // message of a file that cannot be read.
  Expected<SourceText> source_text(const std::filesystem::path& path, const std::string& entry);
  ProjectPlan plan_of(const std::filesystem::path& path);
  std::vector<std::string> publish(const ProjectAnalysis& analysis);
  // The diagnostics of a project file: each entry that cannot be read, on
  // its line; none once the file is closed.
  std::string publish_project_file(const std::filesystem::path& path);

  // The analysis and the place of `uri` in it, or the error to answer.
  struct DefinedName {
    NameUse use;
    const NameDefinition& definition;
  };
  struct Located {
    std::shared_ptr<const ProjectAnalysis> analysis;
    std::size_t file = 0;
    std::size_t line = 0;
    std::size_t column = 0;  // CP932 bytes

    // The name at the place and where it is defined, if it is a defined name.
    std::optional<DefinedName> defined_name() const;
  };
  Expected<Located, int> locate(const Json& params);
  Json range_of(const ProjectAnalysis& analysis, const Place& place) const;
  static Json range_json(const Range& range);
  Json location_of(const ProjectAnalysis& analysis, const Place& place) const;
  std::string uri_of(const ProjectAnalysis& analysis, std::size_t file) const;

  ServerOptions options_;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exit_requested_ = false;
  std::vector<std::filesystem::path> roots_;
  std::vector<std::filesystem::path> project_files_;
  ChipSetting chip_;
  std::map<std::filesystem::path, Document> documents_;
  std::uint64_t generation_ = 0;
  std::map<std::filesystem::path, CachedAnalysis> analyses_;  // by the plan's key
  std::vector<std::string> notices_;         // messages for the user, sent after the next answer
  std::set<std::filesystem::path> changed_;  // documents changed since idle()
  std::map<std::filesystem::path, std::set<std::string>> published_;  // uris per plan
  // The pattern table's notation, shared by every server.
};

}  // namespace korva::lsp
