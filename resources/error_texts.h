// The error texts that passes 2 and 3 write into a record's error field.
// They are part of the listing, the error list and the .obj file, so every
// text is kept here once and the stages and the diagnostics name it.
#pragma once

#include <string_view>

namespace korva::texts {

inline constexpr std::string_view kSyntaxError = "syntax error";    // no pattern fits
inline constexpr std::string_view kDataByteError = "DE Error";      // DE without a number
inline constexpr std::string_view kRawDataError = "byte error";     // \ without whole bytes
inline constexpr std::string_view kOriginError = "ORG Error";       // ORG without a number or back
inline constexpr std::string_view kConstantError = "EQU Error";     // EQU or = without a number
inline constexpr std::string_view kRamError = "RAM Error";          // RAM= without a number
inline constexpr std::string_view kReservationError = "Mem Error";  // [n] without a number
inline constexpr std::string_view kJumpError = "label err";         // target not a label in reach
inline constexpr std::string_view kCallError = "sub err";           // subroutine without address
inline constexpr std::string_view kOperationError = "normal err";   // no form of the operation
inline constexpr std::string_view kBitError = "bit err";            // bad bit number or register
inline constexpr std::string_view kMacroNestError = "Macro Nest Error";  // expansions too deep
inline constexpr std::string_view kMacroSizeError = "Macro Size Error";  // expansion too long

}  // namespace korva::texts
