#include "shell/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace korva {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korva_settings_" + std::to_string(::getpid()) + "_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string start() const { return dir_.string(); }
  fs::path file() const { return dir_ / "asm.ini"; }
  void put(const std::string& bytes) const { std::ofstream(file(), std::ios::binary) << bytes; }

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

TEST_F(SettingsFile, UnusableFilesGiveEmptyLastDirectory) {
  put(std::string(kSettingsSizeLimit, 'x'));
  EXPECT_EQ(read_settings(start()).last_directory.size(), kSettingsSizeLimit);
  put(std::string(kSettingsSizeLimit + 1, 'x'));
  EXPECT_EQ(read_settings(start()).last_directory, "");
  fs::remove(file());
  fs::create_directory(file());
  EXPECT_EQ(read_settings(start()).last_directory, "");
}

}  // namespace
}  // namespace korva
