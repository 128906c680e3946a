// The assembly host of the batch front end: messages and error-list entries
// go to standard error, decoded for the terminal; the listing is kept.
#pragma once

#include <string>
#include <string_view>

#include "driver/platform.h"

namespace korva {

class BatchHost : public AssemblyHost {
 public:
  void show_message(std::string_view text, std::string_view caption) override;
  void clear_error_list() override {}
  void add_error_entry(std::string_view listing_line) override;
  void show_listing(std::string_view listing) override { listing_ = listing; }

  const std::string& listing() const { return listing_; }

 private:
  std::string listing_;
};

}  // namespace korva
