// The table of explanations and hints: every entry in its place, and the
// values filled in where the texts name them.
#include "driver/explanations.h"

#include <gtest/gtest.h>

#include <string>

namespace korva {
namespace {

TEST(Explanations, EveryEntryHasItsText) {
  for (auto e = static_cast<unsigned>(Explanation::unknown_statement);
       e <= static_cast<unsigned>(Explanation::expanded_from_call); ++e) {
    EXPECT_FALSE(explanation_pattern(static_cast<Explanation>(e)).empty()) << "explanation " << e;
  }
  EXPECT_TRUE(hint_pattern(Hint::none).empty());
  for (auto h = static_cast<unsigned>(Hint::subroutine_letter_case);
       h <= static_cast<unsigned>(Hint::operand_without_blanks); ++h) {
    EXPECT_FALSE(hint_pattern(static_cast<Hint>(h)).empty()) << "hint " << h;
  }
}

TEST(Explanations, ValuesFillTheirPlaces) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {explanation_text(Explanation::label_twice, {"X:", "subroutine A"}),
       "the label X: is defined twice in subroutine A"},
      // A place without its value stays empty; values the text does not
      // name are left out.
      {explanation_text(Explanation::label_twice, {"X:"}), "the label X: is defined twice in "},
      {explanation_text(Explanation::first_defined_here, {"unused"}), "first defined here"},
      // A value is copied as it stands, braces and all.
      {explanation_text(Explanation::term_undefined, {"{2}"}), "{2} is not defined"},
      {explanation_text(Explanation::term_without_value, {"Q"}),
       "Q is defined but has no value: no assembled line gave it one (it stands in a macro body "
       "that is never expanded, or on the call of a macro that expands to nothing)"},
      {hint_text(Hint::write_hex_digits, {"1F"}), "write $1F or 1Fh"},
      {hint_text(Hint::make_label_global, {"IN"}),
       "write the label with two colons (IN::) to make it global"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.expected);
}

}  // namespace
}  // namespace korva
