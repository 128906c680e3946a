// The system's texts decoded for a reader: the terminal and the language
// server show the English gloss (resources/system_texts.h) after each
// Japanese text of the system.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// The CP932 text decoded to UTF-8, with " (gloss)" after every Japanese text
// of the system that it contains.
std::string glossed_utf8(std::string_view cp932_text);

}  // namespace korva
