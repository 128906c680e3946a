#include "shell/user_dialogs.h"

#include <gtest/gtest.h>

#include <ostream>

#include "shell/main_window.h"

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

TEST(ListingTabStops, AreTwipsInPixels) {
  const QList<qreal> at96 = listing_tab_stops(96);
  ASSERT_EQ(at96.size(), 4);
  EXPECT_DOUBLE_EQ(at96[0], 800 * 96 / 1440.0);
  EXPECT_DOUBLE_EQ(at96[3], 400.0);
  const QList<qreal> at144 = listing_tab_stops(144);
  EXPECT_DOUBLE_EQ(at144[1], 200.0);
  EXPECT_DOUBLE_EQ(at144[2], 400.0);
}

TEST(ResizedGeometry, KeepsNameAndProjectList) {
  const ClientGeometry created = creation_geometry();
  for (const QSize size : {QSize(600, 400), QSize(1280, 960)}) {
    const ClientGeometry resized = resized_geometry(size);
    EXPECT_EQ(resized.project_file_name, created.project_file_name);
    EXPECT_EQ(resized.project_list, created.project_list);
    EXPECT_EQ(resized.listing_view.right() + 1, size.width() - 10);
    EXPECT_EQ(resized.listing_view.bottom() + 1, size.height() - 10);
    EXPECT_EQ(resized.error_list.bottom() + 1, size.height() - 10);
  }
}

}  // namespace
}  // namespace korva
