// korva-lsp: the language server of the notation, speaking the Language
// Server Protocol over standard input and output.
#include <cstdio>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <csignal>
#endif

#include "lsp/message_stream.h"
#include "lsp/server.h"
#include "project/chip_files.h"

namespace {

void send(const std::string& body) {
  const std::string message = korva::lsp::framed(body);
  std::fwrite(message.data(), 1, message.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const std::string_view arg = argv[1];
    if (arg == "--version") {
      std::printf("korva-lsp %s\n", KORVA_VERSION);
      return 0;
    }
    if (arg != "--stdio") {
      std::fprintf(stderr,
                   "usage: korva-lsp [--stdio]\n"
                   "The language server of KORVA: Language Server Protocol messages on\n"
                   "standard input and output. Editors start it; see the manual page.\n");
      return arg == "-h" || arg == "--help" ? 0 : 64;
    }
  }
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#else
  // A client that closes its end of the pipe ends the session, not the
  // process by a signal: the failed write is seen below.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  korva::lsp::ServerOptions options;
  if (const std::optional<std::filesystem::path> chips = korva::chip_directory(argv[0])) {
    options.chips_directory = *chips;
  }
  korva::lsp::Server server(std::move(options));
  korva::lsp::DescriptorSource input(0);
  korva::lsp::MessageReader reader(input);
  for (;;) {
    korva::Expected<std::string, korva::lsp::ReadFailure> body = reader.next();
    if (!body) {
      const korva::lsp::ReadFailure reason = body.reason();
      if (reason == korva::lsp::ReadFailure::end_of_input ||
          reason == korva::lsp::ReadFailure::truncated) {
        return 0;  // the client is gone
      }
      send(korva::lsp::Server::log_message(body.message()));
      std::fflush(stdout);
      continue;
    }
    for (const std::string& reply : server.handle(*body)) send(reply);
    if (server.exit_requested()) {
      std::fflush(stdout);
      return server.exit_status();
    }
    if (!reader.has_buffered()) {
      for (const std::string& reply : server.idle()) send(reply);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return 0;  // the client is gone
  }
}
