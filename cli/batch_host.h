// The assembly host of the batch front end: it keeps the messages (decoded
// for the terminal, with English glosses), the error list and the listing
// for the caller to print.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "driver/assembly_host.h"

namespace korva {

class BatchHost : public AssemblyHost {
 public:
  explicit BatchHost(bool keep_listing) : keep_listing_(keep_listing) {}

  void show_message(std::string_view text, std::string_view caption) override;
  void clear_error_list() override {}
  void add_error_entry(std::string_view listing_line) override;
  void show_listing(std::string_view listing) override {
    if (keep_listing_) listing_ = listing;
  }

  const std::string& listing() const { return listing_; }
  const std::vector<std::string>& error_entries() const { return error_entries_; }
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  bool keep_listing_;
  std::string listing_;
  std::vector<std::string> error_entries_;
  std::vector<std::string> messages_;
};

}  // namespace korva
