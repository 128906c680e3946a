// The listing line and the program-image bytes of one record.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/line_record.h"

namespace korva {

// A statement or label line: six tab-separated columns (address, code, label,
// statement, remark, error) ending in CR LF. A line with neither: the remark
// alone, ending in a bare LF.
void format_listing_line(const LineRecord& record, std::string& line);

// Appends the image bytes of one record to `image`: `fill` zero bytes when
// fill is above 0 (an ORG gap), otherwise the bytes of `code`, two
// characters a byte, with a single program word stored low byte first.
void write_image_bytes(std::string& image, std::string_view code, std::size_t fill);

// The program words of a listing: a quarter of the code column's length on
// every statement line, as the location counter counts them.
std::size_t count_program_words(std::string_view listing);

// Exchanges the first two and the last two characters of a four-character code.
void swap_word_bytes(std::string& code);

}  // namespace korva
