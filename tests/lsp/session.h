// A client's side of the protocol for the tests: sends messages to a
// server in memory and keeps what comes back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lsp/server.h"
#include "lsp/uri.h"
#include "system/text_encoding.h"

namespace korva::lsp::testing {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Session {
 public:
  explicit Session(const std::filesystem::path& root, Json options = Json::object())
      : server_(ServerOptions{KORVA_CHIP_SOURCES}) {
    request("initialize", Json{{"rootUri", uri_of_path(root)},
                               {"capabilities", Json::object()},
                               {"initializationOptions", options}});
    notify("initialized", Json::object());
  }

  // Sends a request; its response (the last reply with its id).
  Json request(const std::string& method, Json params) {
    const int id = ++last_id_;
    send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
    for (auto it = replies_.rbegin(); it != replies_.rend(); ++it) {
      if (it->contains("id") && (*it)["id"] == id) return *it;
    }
    ADD_FAILURE() << "no response to " << method;
    return Json();
  }
  void notify(const std::string& method, Json params) {
    send(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
  }
  // Sends raw bytes as a message body; the replies to it.
  std::vector<Json> send_body(std::string_view body) {
    std::vector<Json> replies;
    for (const std::string& reply : server_.handle(body)) replies.push_back(Json::parse(reply));
    for (const std::string& reply : server_.idle()) replies.push_back(Json::parse(reply));
    replies_.insert(replies_.end(), replies.begin(), replies.end());
    return replies;
  }

  void open(const std::filesystem::path& path, const std::string& utf8_text) {
    notify("textDocument/didOpen", Json{{"textDocument", Json{{"uri", uri_of_path(path)},
                                                              {"languageId", "korva"},
                                                              {"version", ++version_},
                                                              {"text", utf8_text}}}});
  }
  // Opens a file as the editor shows it: its CP932 bytes as UTF-8.
  void open_file(const std::filesystem::path& path) { open(path, cp932_to_utf8(read_file(path))); }

  // The diagnostics last published for a file.
  Json diagnostics(const std::filesystem::path& path) const {
    const std::string uri = uri_of_path(path);
    for (auto it = replies_.rbegin(); it != replies_.rend(); ++it) {
      if (it->value("method", "") == "textDocument/publishDiagnostics" &&
          (*it)["params"]["uri"] == uri) {
        return (*it)["params"]["diagnostics"];
      }
    }
    return Json();
  }

  static Json at(const std::filesystem::path& path, int line, int character) {
    return Json{{"textDocument", Json{{"uri", uri_of_path(path)}}},
                {"position", Json{{"line", line}, {"character", character}}}};
  }

  Server& server() { return server_; }
  const std::vector<Json>& replies() const { return replies_; }

 private:
  void send(const Json& message) { send_body(message.dump()); }

  Server server_;
  std::vector<Json> replies_;
  int last_id_ = 0;
  int version_ = 0;
};

}  // namespace korva::lsp::testing
