#include "system/glossed_text.h"

#include "resources/system_texts.h"
#include "support/text.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

// The gloss whose text starts at `at`, if any. The first byte is compared
// on its own first: most places start no gloss, and a long run's warnings
// are glossed by the hundred.
const texts::Gloss* gloss_at(std::string_view text, std::size_t at) {
  for (const texts::Gloss& gloss : texts::kGlosses) {
    if (text[at] == gloss.text.front() && text.substr(at, gloss.text.size()) == gloss.text) {
      return &gloss;
    }
  }
  return nullptr;
}

}  // namespace

std::string glossed_utf8(std::string_view cp932_text) {
  std::string out;
  std::size_t copied = 0;
  // Only character starts are tried, so that the second byte of one
  // character and the first of the next never make a text.
  for (std::size_t at = 0; at < cp932_text.size();) {
    if (const texts::Gloss* gloss = gloss_at(cp932_text, at)) {
      at += gloss->text.size();
      out += cp932_to_utf8(cp932_text.substr(copied, at - copied));
      out += " (" + std::string(gloss->english) + ")";
      copied = at;
      continue;
    }
    at += is_cp932_lead_byte(static_cast<unsigned char>(cp932_text[at])) ? 2 : 1;
  }
  if (copied < cp932_text.size()) out += cp932_to_utf8(cp932_text.substr(copied));
  return out;
}

}  // namespace korva
