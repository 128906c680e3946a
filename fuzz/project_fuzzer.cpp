// Reads arbitrary bytes as a project file and writes the list out again;
// reading the written bytes must give the same list back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "project/project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> entries = korva::project_entries(input);
  if (entries.empty()) return 0;  // an empty list is never saved

  // A saved list reads back unchanged, up to an entry that reads "end",
  // which ends the reading.
  const std::vector<std::string> reloaded =
      korva::project_entries(korva::project_file_text(entries));
  std::vector<std::string> expected;
  for (const std::string& entry : entries) {
    if (entry == "end") break;
    expected.push_back(entry);
  }
  if (reloaded.size() < expected.size() ||
      !std::equal(expected.begin(), expected.end(), reloaded.begin())) {
    std::abort();
  }
  return 0;
}
