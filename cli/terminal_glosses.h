// English glosses that korva-asm prints after the system's Japanese texts,
// so that a reader without Japanese knows what went wrong. The files and the
// window keep the texts exactly as they are; only the terminal gets these.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace korva {

struct Gloss {
  std::string_view text;     // the system's text, CP932 bytes
  std::string_view english;  // printed in parentheses after it
};

// Every Japanese message that korva-asm can print, with its gloss. (The
// window's captions and menus never reach the terminal.)
std::span<const Gloss> terminal_glosses();

// The gloss of exactly this text (CP932), or an empty view.
std::string_view gloss_of(std::string_view cp932_text);

// The CP932 text decoded for the terminal, with " (gloss)" after every
// Japanese text of the system that it contains.
std::string glossed_for_terminal(std::string_view cp932_text);

}  // namespace korva
