// What an assembly asks of the program around it: a message box, the error
// list and the listing view. The window implements it with its controls; the
// batch front end and the tests with plain text. All texts are CP932 bytes.
#pragma once

#include <string_view>

namespace korva {

class AssemblyHost {
 public:
  virtual ~AssemblyHost() = default;

  // A message box with one OK button; returns once it is closed.
  virtual void show_message(std::string_view text, std::string_view caption) = 0;
  virtual void clear_error_list() = 0;
  // One whole listing line, line end included.
  virtual void add_error_entry(std::string_view listing_line) = 0;
  // Puts the listing into the view, caret at the start, and focuses it.
  virtual void show_listing(std::string_view listing) = 0;
};

}  // namespace korva
