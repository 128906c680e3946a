// korva-bench-lsp: how long the language server takes from a change in the
// editor to the diagnostics it publishes, for generated projects of 2,000
// and 10,000 source lines (defs.inc and main.as, main.as open in the
// editor; 10,000 lines are about a full 16F877A program), and the time of a hover
// right after a change.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "bench/project_generator.h"
#include "lsp/server.h"
#include "lsp/uri.h"
#include "system/text_encoding.h"

namespace {

using korva::lsp::Json;

// A server with the generated project's main.as open, and the change that
// types one character into a remark on its first line and takes it back.
class OpenProject {
 public:
  explicit OpenProject(std::size_t lines)
      : directory_(std::filesystem::temp_directory_path() /
                   ("korva-bench-lsp-" + std::to_string(::getpid()))),
        server_(korva::lsp::ServerOptions{}) {
    const korva::bench::GeneratedProject project = korva::bench::write_project(directory_, lines);
    main_ = directory_ / "main.as";
    std::ifstream in(main_, std::ios::binary);
    const std::string text =
        korva::cp932_to_utf8(std::string(std::istreambuf_iterator<char>(in), {}));
    uri_ = korva::lsp::uri_of_path(korva::lsp::normal_path(main_));
    server_.handle(Json{{"jsonrpc", "2.0"},
                        {"id", 1},
                        {"method", "initialize"},
                        {"params", Json{{"rootUri", korva::lsp::uri_of_path(directory_)}}}}
                       .dump());
    server_.handle(
        Json{{"jsonrpc", "2.0"},
             {"method", "textDocument/didOpen"},
             {"params",
              Json{{"textDocument",
                    Json{{"uri", uri_}, {"languageId", "korva"}, {"version", 1}, {"text", text}}}}}}
            .dump());
    server_.idle();
  }
  ~OpenProject() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  // One keystroke: a remark of one character at the start of main.as, or
  // its removal; returns the messages published for it.
  std::size_t type(bool insert) {
    const Json position{{"line", 0}, {"character", 0}};
    const Json end{{"line", 0}, {"character", insert ? 0 : 1}};
    const Json change{
        {"textDocument", Json{{"uri", uri_}, {"version", ++version_}}},
        {"contentChanges", Json::array({Json{{"range", Json{{"start", position}, {"end", end}}},
                                             {"text", insert ? ";" : ""}}})}};
    server_.handle(
        Json{{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"}, {"params", change}}.dump());
    return server_.idle().size();
  }

  std::size_t hover() {
    const Json params{{"textDocument", Json{{"uri", uri_}}},
                      {"position", Json{{"line", 10}, {"character", 10}}}};
    return server_
        .handle(Json{
            {"jsonrpc", "2.0"}, {"id", 2}, {"method", "textDocument/hover"}, {"params", params}}
                    .dump())
        .size();
  }

 private:
  std::filesystem::path directory_;
  std::filesystem::path main_;
  std::string uri_;
  korva::lsp::Server server_;
  int version_ = 1;
};

void change_to_diagnostics(benchmark::State& state) {
  const auto lines = static_cast<std::size_t>(state.range(0));
  OpenProject project(lines);
  bool insert = true;
  for (auto _ : state) {
    benchmark::DoNotOptimize(project.type(insert));
    insert = !insert;
  }
  state.SetLabel(std::to_string(lines) + " lines");
}
BENCHMARK(change_to_diagnostics)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The change with its diagnostics and a hover after it (answered from the
// same analysis).
void change_then_hover(benchmark::State& state) {
  OpenProject project(static_cast<std::size_t>(state.range(0)));
  bool insert = true;
  for (auto _ : state) {
    benchmark::DoNotOptimize(project.type(insert) + project.hover());
    insert = !insert;
  }
}
BENCHMARK(change_then_hover)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
