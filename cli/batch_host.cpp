#include "cli/batch_host.h"

#include "driver/text_encoding.h"

namespace korva {

void BatchHost::show_message(std::string_view text, std::string_view caption) {
  messages_.push_back(cp932_to_utf8(caption) + ": " + cp932_to_utf8(text));
}

void BatchHost::add_error_entry(std::string_view listing_line) {
  error_entries_.emplace_back(listing_line);
}

}  // namespace korva
