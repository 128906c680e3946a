#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

namespace korva {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korva_settings_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string start() const { return dir_.string(); }
  fs::path file() const { return dir_ / "asm.ini"; }
  void put(const std::string& bytes) const { std::ofstream(file(), std::ios::binary) << bytes; }
  std::string content() const {
    std::ifstream in(file(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

struct PathCase {
  const char* start;
  const char* path;
};

void PrintTo(const PathCase& c, std::ostream* out) {
  *out << '"' << c.start << '"';
}

class SettingsPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPath, IsTheStartDirectoryAndTheName) {
  EXPECT_EQ(settings_file_path(GetParam().start), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Starts, SettingsPath,
                         ::testing::Values(PathCase{"/home/user/work", "/home/user/work/asm.ini"},
                                           PathCase{"/home/user/work/", "/home/user/work/asm.ini"},
                                           PathCase{"/", "/asm.ini"}, PathCase{"", "asm.ini"}));

TEST_F(SettingsFile, MissingFileGivesEmptyLastDirectory) {
  const SettingsRead read = read_settings(start());
  EXPECT_FALSE(read.found);
  EXPECT_EQ(read.last_directory, "");
}

TEST_F(SettingsFile, RoundTripIsByteForByte) {
  // Line ends, blanks, CP932 and a zero byte are all kept as they are.
  const std::string contents[] = {"", "/work/prog/", "/a b/c\r\n",
                                  std::string("/\x83\x81\x83\x82/\0x/", 9)};
  for (const std::string& last : contents) {
    ASSERT_EQ(write_settings(start(), last), "");
    EXPECT_EQ(content(), last);
    const SettingsRead read = read_settings(start());
    EXPECT_TRUE(read.found);
    EXPECT_EQ(read.last_directory, last);
  }
}

TEST_F(SettingsFile, UnusableFilesGiveEmptyLastDirectory) {
  put(std::string(kSettingsSizeLimit + 1, 'x'));
  EXPECT_EQ(read_settings(start()).last_directory, "");
  fs::remove(file());
  fs::create_directory(file());
  EXPECT_EQ(read_settings(start()).last_directory, "");
}

TEST_F(SettingsFile, WriteFailureIsReported) {
  fs::create_directory(file());
  EXPECT_NE(write_settings(start(), "/x/"), "");
  EXPECT_NE(write_settings((dir_ / "no" / "such").string(), "/x/"), "");
}

}  // namespace
}  // namespace korva
