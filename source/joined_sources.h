// The project's sources joined, in list order, into the one source text
// that the passes read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "support/expected.h"

namespace korva {

struct JoinedSources {
  std::string text;                      // the joined sources
  std::vector<std::size_t> file_starts;  // where each entry's text begins in `text`
};

// Why the joining stopped.
enum class JoinFailure {
  not_found,   // there is no file of an entry's name
  unreadable,  // a file was refused, could not be opened or read, or held a zero byte
};

// Refuses a source holding a zero byte, which would end the text there:
// everything after it would be lost without a word. The message names the
// source by `shown_name` and the zero's line.
Expected<void, JoinFailure> check_no_zero_byte(std::string_view bytes, std::string_view shown_name);

}  // namespace korva
