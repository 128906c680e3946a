#include "cli/batch_host.h"

#include <cstdio>

#include "shell/display_text.h"

namespace korva {

void BatchHost::show_message(std::string_view text, std::string_view caption) {
  const std::string shown = cp932_to_utf8(caption) + ": " + cp932_to_utf8(text);
  std::fprintf(stderr, "korva-asm: %s\n", shown.c_str());
}

void BatchHost::add_error_entry(std::string_view listing_line) {
  // The entry ends in its own line end (CR LF); the terminal gets a plain LF.
  std::string shown = cp932_to_utf8(listing_line);
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
  std::fprintf(stderr, "%s\n", shown.c_str());
}

}  // namespace korva
