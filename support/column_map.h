// Columns of one line in its two forms: the CP932 bytes that the assembler
// reads, and the same line as the Unicode text that an editor shows, where
// positions count UTF-16 code units (as the language server's protocol and
// Qt count them). Each Unicode character of the line stands for one CP932
// character: two bytes when it starts with a lead byte, else one. This holds
// both ways the two forms are made: a byte that is no CP932 character reads
// as one U+FFFD, and a character that CP932 cannot hold is written as one
// "?".
#pragma once

#include <cstddef>
#include <string_view>

namespace korva {

// The UTF-16 code units of a UTF-8 text; a byte that starts no character
// counts one.
std::size_t utf16_length(std::string_view utf8);

// The byte offset in `utf8` of a UTF-16 column: the text's end for a
// column beyond it, the character's start for one inside a surrogate pair.
std::size_t utf8_offset(std::string_view utf8, std::size_t utf16_column);

// A byte column of the CP932 line (from 0) in UTF-16 units of the same line
// in UTF-8; a column beyond the line's end gives its end.
std::size_t utf16_column(std::string_view cp932, std::string_view utf8, std::size_t byte_column);

// The reverse: the start of the CP932 character that a UTF-16 column
// belongs to; the line's end for a column beyond it.
std::size_t byte_column(std::string_view cp932, std::string_view utf8, std::size_t utf16_column);

}  // namespace korva
