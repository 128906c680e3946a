// Builds a run of badly framed messages from the input (lengths counted
// short or long, headers without a usable length, bodies above the limit,
// bodies that are no JSON), then one well-formed request: the server must
// answer that request, whatever came before it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "lsp/message_stream.h"
#include "lsp/server.h"

namespace {

constexpr std::size_t kBodyLimit = 2048;
constexpr std::string_view kProbe =
    R"({"jsonrpc":"2.0","id":"probe","method":"workspace/symbol","params":{"query":""}})";

// A request or notification the server answers quickly; never "exit".
std::string request_body(FuzzedDataProvider& data) {
  static constexpr const char* kMethods[] = {"textDocument/hover", "workspace/symbol", "$/unknown",
                                             "shutdown", "textDocument/definition"};
  const char* method = data.PickValueInArray(kMethods);
  std::string body = R"({"jsonrpc":"2.0",)";
  if (data.ConsumeBool()) body += R"("id":)" + std::to_string(data.ConsumeIntegral<int>()) + ",";
  body += R"("method":")" + std::string(method) + R"(","params":{"s":")";
  body += data.ConsumeRandomLengthString(64).size() % 2 == 0 ? "" : "\xE6\x97\xA5\xE6\x9C\xAC";
  return body + R"("}})";
}

// Bytes that are no message. Without ':' they can never be a request, and
// without '-' never a header.
std::string noise_body(FuzzedDataProvider& data) {
  static constexpr std::string_view kAlphabet = "abcxyz019 {}[]\",\xE6\x97\xA5";
  std::string body;
  const std::size_t length = data.ConsumeIntegralInRange<std::size_t>(0, 80);
  for (std::size_t i = 0; i < length; ++i) {
    body += kAlphabet[data.ConsumeIntegralInRange<std::size_t>(0, kAlphabet.size() - 1)];
  }
  return body;
}

enum class Framing {
  exact,
  short_length,
  long_length,
  no_length,
  bad_length,
  above_limit,
  line_feeds_only,
  extra_fields,
  line_without_colon,
  kMaxValue = line_without_colon
};

std::string frame(FuzzedDataProvider& data) {
  const bool request = data.ConsumeBool();
  const std::string body = request ? request_body(data) : noise_body(data);
  Framing framing = data.ConsumeEnum<Framing>();
  // A length counted long swallows the next header when the body is no
  // JSON: the reader has nothing to find the body's end by.
  if (!request && (framing == Framing::long_length || framing == Framing::above_limit)) {
    framing = Framing::exact;
  }
  const std::size_t off = data.ConsumeIntegralInRange<std::size_t>(1, 40);
  const auto header = [&](std::size_t length) {
    return "Content-Length: " + std::to_string(length) + "\r\n\r\n";
  };
  switch (framing) {
    case Framing::exact:
      return header(body.size()) + body;
    case Framing::short_length:
      return header(body.size() - std::min(off, body.size())) + body;
    case Framing::long_length:
      return header(body.size() + off) + body;
    case Framing::no_length:
      return "Content-Type: x\r\n\r\n" + body;
    case Framing::bad_length:
      return "Content-Length: 1x" + std::to_string(off) + "\r\n\r\n" + body;
    case Framing::above_limit:
      return header(kBodyLimit + off) + body;
    case Framing::line_feeds_only:
      return "content-length: " + std::to_string(body.size()) + "\n\n" + body;
    case Framing::extra_fields:
      return "Content-Type: application/vscode-jsonrpc\r\n" + header(body.size()) + body;
    case Framing::line_without_colon:
      return "garbage\r\n" + header(body.size()) + body;
  }
  return body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  std::string input;
  for (int frames = 0; frames < 24 && data.remaining_bytes() > 0; ++frames) input += frame(data);
  input += korva::lsp::framed(kProbe);

  korva::lsp::MemorySource source(input);
  korva::lsp::MessageReader reader(source, kBodyLimit);
  korva::lsp::Server server(korva::lsp::ServerOptions{});
  server.handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})");
  bool answered = false;
  for (std::size_t messages = 0; messages <= input.size(); ++messages) {
    korva::Expected<std::string, korva::lsp::ReadFailure> body = reader.next();
    if (!body) {
      if (body.reason() == korva::lsp::ReadFailure::end_of_input ||
          body.reason() == korva::lsp::ReadFailure::truncated) {
        break;
      }
      continue;
    }
    for (const std::string& reply : server.handle(*body)) {
      const nlohmann::json json = nlohmann::json::parse(reply, nullptr, false);
      if (json.is_discarded()) std::abort();
      if (json.contains("id") && json["id"] == "probe") answered = true;
    }
  }
  if (!answered) std::abort();  // the well-formed request after the noise was lost
  return 0;
}
