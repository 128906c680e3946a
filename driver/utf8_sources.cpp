#include "driver/utf8_sources.h"

#include <algorithm>

#include "driver/diagnostics.h"
#include "support/utf8_text.h"

namespace korva {

Utf8SourceNotes::Utf8SourceNotes(std::string_view text, const std::vector<std::string>& names,
                                 const std::vector<std::size_t>& file_starts) {
  for (std::size_t i = 0; i < file_starts.size() && i < names.size(); ++i) {
    const std::size_t start = file_starts[i];
    const std::size_t end = i + 1 < file_starts.size() ? file_starts[i + 1] : text.size();
    const std::string_view file = text.substr(start, end - start);
    if (!reads_as_utf8_not_cp932(file)) continue;
    const auto beyond_ascii = std::find_if(
        file.begin(), file.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const std::size_t first = start + static_cast<std::size_t>(beyond_ascii - file.begin());
    const std::size_t line_feed = text.rfind('\n', first);
    const std::size_t line_start = line_feed == std::string_view::npos ? 0 : line_feed + 1;
    notes_.push_back(Note{line_start, utf8_source_warning(names[i])});
  }
}

std::span<const Utf8SourceNotes::Note> Utf8SourceNotes::reached(std::size_t line_start) {
  const std::size_t first = next_;
  while (next_ < notes_.size() && notes_[next_].line_start <= line_start) ++next_;
  return std::span<const Note>(notes_).subspan(first, next_ - first);
}

}  // namespace korva
