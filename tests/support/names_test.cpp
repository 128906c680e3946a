// Names in CP932 text: a two-byte character stays whole inside a name, a
// second byte that reads as ASCII punctuation included.
#include "support/names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korva {
namespace {

std::vector<std::string> names_of(std::string_view text) {
  std::vector<std::string> names;
  for_each_name(text, [&](NameSpan span) {
    names.emplace_back(text.substr(span.begin, span.end - span.begin));
  });
  return names;
}

// Every two-byte character, in a name and beside operators, reads as one
// character of the name: the label, the operand and the call stay whole.
TEST(Names, EveryTwoByteCharacterStaysInItsName) {
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!is_cp932_lead_byte(static_cast<unsigned char>(lead))) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string character{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string name = "A" + character + "B";
      std::string line = name;
      line += ":: W+(";
      line += name;
      line += ")>W";
      ASSERT_EQ(names_of(line), (std::vector<std::string>{name, "W", name, "W"}))
          << std::hex << lead << " " << trail;
      EXPECT_TRUE(is_name(character + character));
      // The cursor on the second byte finds the whole name.
      EXPECT_EQ(name_at(line, 2), (NameSpan{0, 4}));
      EXPECT_EQ(find_name(line, name, 1), 10u);
      EXPECT_TRUE(stands_apart(line, 10, 14));
      EXPECT_FALSE(stands_apart(line, 11, 14));  // inside the name
      EXPECT_FALSE(stands_apart(line, 10, 13));  // "B" joins the end
      EXPECT_FALSE(stands_apart(line, 10, 12));  // the end splits a character
    }
  }
}

TEST(Names, NamesEndAtWhatIsNoNameCharacter) {
  const struct {
    std::string_view text;
    std::vector<std::string> names;
  } cases[] = {
      {"\x83\x8B\x81\x5B\x83\x76:  (UNDEF1)+1", {"\x83\x8B\x81\x5B\x83\x76", "UNDEF1", "1"}},
      {"\x95\x5C\x8E\xA6", {"\x95\x5C\x8E\xA6"}},         // 表示: 5C second
      {"(PORTB)_BITLED<1", {"PORTB", "_BITLED", "1"}},    // _BIT joins its name
      {"\xB6\xB3\xDD\xC0-1", {"\xB6\xB3\xDD\xC0", "1"}},  // half-width katakana
      {"X\x81", {"X\x81"}},                               // a lead byte at the end
      {"a+b*c_d", {"a", "b", "c_d"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(names_of(c.text), c.names) << c.text;
  EXPECT_FALSE(is_name(""));
  EXPECT_FALSE(is_name("A B"));
  EXPECT_FALSE(is_name("A["));
  EXPECT_EQ(name_at("AB+CD", 2), (NameSpan{0, 2}));  // just behind a name
  EXPECT_EQ(name_at("+ +", 1), std::nullopt);
  EXPECT_EQ(find_name("XY X", "X"), 3u);
  EXPECT_EQ(find_name("XY", "X"), std::string_view::npos);
  EXPECT_EQ(name_end("\x81\x5B\x81\x5B+", 0), 4u);
}

}  // namespace
}  // namespace korva
