// Feeds arbitrary bytes to the language server's message reader, and each
// body it reads to a server: every reply must be JSON, and the reader must
// come to an end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "lsp/message_stream.h"
#include "lsp/server.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  korva::lsp::MemorySource source(input);
  // A small limit, so that the skipping of large bodies is reached too.
  korva::lsp::MessageReader reader(source, 2048);
  korva::lsp::Server server(korva::lsp::ServerOptions{});
  server.handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})");
  // Each message takes at least one byte of the input.
  for (std::size_t messages = 0; messages <= size; ++messages) {
    korva::Expected<std::string, korva::lsp::ReadFailure> body = reader.next();
    if (!body) {
      if (body.reason() == korva::lsp::ReadFailure::end_of_input ||
          body.reason() == korva::lsp::ReadFailure::truncated) {
        return 0;
      }
      continue;
    }
    for (const std::string& reply : server.handle(*body)) {
      if (nlohmann::json::parse(reply, nullptr, false).is_discarded()) std::abort();
    }
    for (const std::string& reply : server.idle()) {
      if (nlohmann::json::parse(reply, nullptr, false).is_discarded()) std::abort();
    }
    if (server.exit_requested()) return 0;
  }
  std::abort();  // the reader gave more messages than the input has bytes
}
