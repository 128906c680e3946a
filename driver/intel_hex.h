// The program image in Intel HEX (INHX32), the form PIC programmers and
// simulators read: byte address = 2 × word address, 16 data bytes a record.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// The image bytes as Intel HEX text with CR LF line ends, ending with the
// end-of-file record. An extended linear address record precedes the data
// of every 64 KiB segment after the first.
std::string intel_hex_text(std::string_view image);

}  // namespace korva
