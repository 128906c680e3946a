// Number notations of the source language and the hexadecimal texts in which
// numbers travel through the assembler (addresses, values, program words).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korva {

struct IntegerReading {
  std::int32_t value = 0;
  std::size_t consumed = 0;  // characters read; 0 when no digit was found
};

// Reads an integer the way the C library's strtol does on a 32-bit system:
// leading white space, an optional sign, for base 16 an optional 0x prefix,
// then digits as far as they go. Values beyond 32 bits are clamped.
IntegerReading read_integer(std::string_view text, int base);

// The hex value rule: the text read in base 16; text without digits is 0.
std::int32_t hex_value(std::string_view text);

// Validates an operand written in any number notation ($1F, 1Fh, H'1F', 31)
// and rewrites it as four hexadecimal digits. Returns false, leaving the
// operand untouched, when it is not a number. "$XXXX" is a number and stays.
bool check_number(std::string& operand);

// Whether the operand is written in one of the number notations: "$" and
// hexadecimal digits, hexadecimal digits and "h", "H'" with hexadecimal digits
// and a closing quote, or decimal digits (with an optional sign). check_number
// also accepts texts such as 'H', $ and H'' and reads them as 0; those are
// numbers nobody wrote.
bool is_written_number(std::string_view operand);

// Brings a hexadecimal text to `width` characters: zero-padded on the left,
// or cut to its last (low-order) `width` characters.
void pad_hex(std::string& text, std::size_t width);

// a := a + b in lower-case hexadecimal, brought to `width`.
void add_hex(std::string& a, std::string_view b, std::size_t width);

// a - b, both read by the hex value rule.
std::int64_t hex_difference(std::string_view a, std::string_view b);

// Moves an address on by one program word for every four characters of code.
void advance_address(std::string& address, std::string_view code);

// Lower-case hexadecimal digits of a 32-bit value, without leading zeros.
std::string to_hex(std::uint32_t value);

}  // namespace korva
