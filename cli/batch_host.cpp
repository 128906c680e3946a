#include "cli/batch_host.h"

#include "cli/terminal_glosses.h"

namespace korva {

void BatchHost::show_message(std::string_view text, std::string_view caption) {
  messages_.push_back(glossed_for_terminal(caption) + ": " + glossed_for_terminal(text));
}

void BatchHost::add_error_entry(std::string_view listing_line) {
  error_entries_.emplace_back(listing_line);
}

}  // namespace korva
