#include "shell/user_dialogs.h"

#include <gtest/gtest.h>

#include <ostream>

namespace korva {
namespace {

struct InitialCase {
  const char* text;
  const char* directory;
  QStringList patterns;
};

void PrintTo(const InitialCase& c, std::ostream* out) {
  *out << '"' << c.text << '"';
}

class SplitInitialText : public ::testing::TestWithParam<InitialCase> {};

TEST_P(SplitInitialText, GivesDirectoryAndPatterns) {
  const InitialText split = split_initial_text(QString::fromUtf8(GetParam().text));
  EXPECT_EQ(split.directory.toStdString(), GetParam().directory);
  EXPECT_EQ(split.patterns, GetParam().patterns);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitInitialText,
    ::testing::Values(InitialCase{"*.amk", "", {"*.amk"}},
                      InitialCase{"*.as;*.inc", "", {"*.as", "*.inc"}},
                      InitialCase{"/work/prog/*.amk", "/work/prog/", {"*.amk"}},
                      InitialCase{"/*.amk", "/", {"*.amk"}}, InitialCase{"/work/", "/work/", {}}));

}  // namespace
}  // namespace korva
