// The English glosses that korva-asm and the language server print after
// the system's Japanese texts.
#include "system/glossed_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/system_texts.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

TEST(TerminalGlosses, FollowTheJapaneseTextWhereverItStands) {
  const struct {
    std::string cp932;
    const char* shown;
  } cases[] = {
      {std::string(texts::kGrammarError),
       "文法エラー (no pattern of the notation fits this statement)"},
      {"gone.as" + std::string(texts::kFileNotFound),
       "gone.as  ﾌｧｲﾙが見つかりません。 (file not found)"},
      {"A::NOP->" + std::string(texts::kDuplicateLabel),
       "A::NOP->同名のLabelがあります。 (a label of the same name exists)"},
      {"SUB X->" + std::string(texts::kDuplicateSub) + " / " + std::string(texts::kGrammarError),
       "SUB X->同名のSUBがあります。 (a subroutine of the same name exists) / 文法エラー (no "
       "pattern of the notation fits this statement)"},
      // A caption of the window is no message of the terminal.
      {std::string(texts::kErrorMessageCaption), "エラーメッセージ"},
      {"normal err", "normal err"},
      {"", ""},
      // Japanese that is not one of the system's messages stays as it is.
      {utf8_to_cp932("ﾌｧｲﾙ.as"), "ﾌｧｲﾙ.as"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(glossed_utf8(c.cp932), c.shown) << c.shown;
  }
}

// A two-byte character whose second byte and the next character's bytes
// spell the start of a message must not be taken for the message.
TEST(TerminalGlosses, MatchOnlyAtCharacterStarts) {
  const std::string grammar(texts::kGrammarError);  // starts with the bytes 95 B6
  const std::string straddling = std::string("\x81\x95") + "\xB6\x96@\x83G\x83\x89\x81[";
  EXPECT_EQ(glossed_utf8(straddling).find('('), std::string::npos);
  EXPECT_NE(glossed_utf8("x" + grammar).find("(no pattern"), std::string::npos);
}

TEST(TerminalGlosses, EveryGlossIsShortPlainEnglishForADistinctText) {
  std::set<std::string_view> texts;
  for (const texts::Gloss& gloss : texts::kGlosses) {
    EXPECT_TRUE(texts.insert(gloss.text).second) << gloss.english;
    EXPECT_EQ(texts::gloss_of(gloss.text), gloss.english);
    EXPECT_LE(gloss.english.size(), 60u) << gloss.english;
    for (char c : gloss.english) EXPECT_TRUE(c >= ' ' && c <= '~') << gloss.english;
  }
  EXPECT_TRUE(texts::gloss_of("normal err").empty());
}

}  // namespace
}  // namespace korva
