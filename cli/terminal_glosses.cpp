#include "cli/terminal_glosses.h"

#include <array>

#include "resources/system_texts.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

constexpr std::array kGlosses{
    Gloss{texts::kGrammarError, "no pattern of the notation fits this statement"},
    // The message follows the file name after two blanks; the text is
    // what comes after them.
    Gloss{texts::kFileNotFound.substr(2), "file not found"},
    Gloss{texts::kDuplicateLabel, "a label of the same name exists"},
    Gloss{texts::kDuplicateSub, "a subroutine of the same name exists"},
    Gloss{texts::kTooManySymbols, "more than 1000 labels, constants and subroutines"},
    Gloss{texts::kMacroNameTooLong, "a macro name longer than 29 characters"},
    Gloss{texts::kTooManyMacros, "more than 1000 macro definitions"},
    Gloss{texts::kMacroAbnormalEnd, "a macro ran past its end without END MACRO"},
};

// Bytes that start a two-byte CP932 character.
bool is_lead_byte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The gloss whose text starts at `at`, if any. The first byte is compared
// on its own first: most places start no gloss, and a long run's warnings
// are glossed by the hundred.
const Gloss* gloss_at(std::string_view text, std::size_t at) {
  for (const Gloss& gloss : kGlosses) {
    if (text[at] == gloss.text.front() && text.substr(at, gloss.text.size()) == gloss.text) {
      return &gloss;
    }
  }
  return nullptr;
}

}  // namespace

std::span<const Gloss> terminal_glosses() {
  return kGlosses;
}

std::string_view gloss_of(std::string_view cp932_text) {
  for (const Gloss& gloss : kGlosses) {
    if (gloss.text == cp932_text) return gloss.english;
  }
  return {};
}

std::string glossed_for_terminal(std::string_view cp932_text) {
  std::string out;
  std::size_t copied = 0;
  // Only character starts are tried, so that the second byte of one
  // character and the first of the next never make a text.
  for (std::size_t at = 0; at < cp932_text.size();) {
    if (const Gloss* gloss = gloss_at(cp932_text, at)) {
      at += gloss->text.size();
      out += cp932_to_utf8(cp932_text.substr(copied, at - copied));
      out += " (" + std::string(gloss->english) + ")";
      copied = at;
      continue;
    }
    at += is_lead_byte(static_cast<unsigned char>(cp932_text[at])) ? 2 : 1;
  }
  if (copied < cp932_text.size()) out += cp932_to_utf8(cp932_text.substr(copied));
  return out;
}

}  // namespace korva
