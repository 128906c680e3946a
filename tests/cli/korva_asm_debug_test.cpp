// korva-asm's --cod, --map and --chip: the files they add, and the usage
// they refuse before anything is written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace korva {
namespace {

using testing::read_bytes;
using testing::write_bytes;

int run_korva_asm(const testing::ScratchDir& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.path().string() + "' && '" KORVA_ASM_PATH "' " +
                              arguments + " >stdout.txt 2>stderr.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr const char* kProgram =
    "COUNT:: [1]\r\n"
    "START:: (COUNT)+1\r\n"
    "        ===->START\r\n";

TEST(KorvaAsmDebug, RefusesCodWithoutAChipGpsimSimulatesAndWritesNothing) {
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"--cod a.as", "korva-asm: --cod needs the chip the program is for: add --chip NAME"},
      {"--cod --chip 18F452 a.as", "korva-asm: unknown chip '18F452'; "},
      {"--cod --chip 16F87B a.as", "--list-chips lists them); nearest: 16F87 16F870 16F871"},
      {"--cod --chip=16F999 --map a.as", "korva-asm: unknown chip '16F999'"},
      {"--cod a.as --chip", "korva-asm: --chip needs a chip name"},
      {"--chip= a.as", "korva-asm: --chip needs a chip name"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    write_bytes(dir.path() / "a.as", kProgram);
    EXPECT_EQ(run_korva_asm(dir, c.arguments), 64) << c.arguments;
    EXPECT_NE(read_bytes(dir.path() / "stderr.txt").find(c.message), std::string::npos)
        << c.arguments << "\n"
        << read_bytes(dir.path() / "stderr.txt");
    for (const char* extension : {".obj", ".out", ".bin", ".cod", ".map"}) {
      EXPECT_FALSE(std::filesystem::exists(dir.path() / ("a" + std::string(extension))))
          << c.arguments << extension;
    }
  }
}

TEST(KorvaAsmDebug, ProgramBeyondTheChipIsAWarningThatFollowsItsOptions) {
  testing::ScratchDir dir;
  write_bytes(dir.path() / "a.as", "        ORG 400h\r\n        NOP\r\n");
  // The chip's own checks come first: the word beyond its memory, and the
  // missing configuration word.
  const std::string no_config =
      "korva-asm: warning: no configuration word: the 12F675 reads it at 2007 (korva-asm --chip "
      "12F675 --config FIELD=SETTING,... writes the lines)\n";
  const std::string warning =
      "a.as:2: warning: program memory of the 12F675 ends at 03FF: 1 word lies beyond it, the "
      "first at 0400\n" +
      no_config +
      "korva-asm: warning: a.cod leaves out the 1 program word from 0400 on, beyond the 1024 "
      "words of the 12F675's program memory\n";
  EXPECT_EQ(run_korva_asm(dir, "--cod --chip 12F675 a.as"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "stderr.txt"), warning);
  EXPECT_EQ(read_bytes(dir.path() / "a.cod").size() % 512, 0u);
  EXPECT_EQ(run_korva_asm(dir, "-w --cod --chip 12F675 a.as"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "stderr.txt"), "");
  EXPECT_EQ(run_korva_asm(dir, "-Werror --cod --chip 12F675 a.as"), 1);
  EXPECT_EQ(run_korva_asm(dir, "--cod --chip 16F877A a.as"), 0);
  std::string for_16f877a = no_config;
  for (std::size_t at; (at = for_16f877a.find("12F675")) != std::string::npos;) {
    for_16f877a.replace(at, 6, "16F877A");
  }
  EXPECT_EQ(read_bytes(dir.path() / "stderr.txt"), for_16f877a);
}

TEST(KorvaAsmDebug, CodNamesSourcesFromItsOwnFolder) {
  testing::ScratchDir dir;
  std::filesystem::create_directories(dir.path() / "src");
  write_bytes(dir.path() / "src" / "main.as", "        NOP\r\n");
  write_bytes(dir.path() / "lib.inc", "        SLEEP\r\n");
  // The outputs go next to the first source, src/main.*.
  ASSERT_EQ(run_korva_asm(dir, "--cod --chip 16F877A src/main.as lib.inc"), 0);
  const std::string cod = read_bytes(dir.path() / "src" / "main.cod");
  EXPECT_NE(cod.find("\x07main.as"), std::string::npos);
  EXPECT_NE(cod.find("\x0A../lib.inc"), std::string::npos);
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

// The map shown in docs/map-and-debug-files.md is the one korva-asm writes
// for examples/ticker.
TEST(KorvaAsmDebug, MapInTheDocumentationIsTheTickersMap) {
  const std::filesystem::path root = std::filesystem::path(KORVA_TEST_DATA) / "..";
  const std::string doc = read_bytes(root / "docs" / "map-and-debug-files.md");
  const std::size_t intro = doc.find("The map of `examples/ticker`:");
  ASSERT_NE(intro, std::string::npos);
  const std::size_t begin = doc.find("```\n", intro) + 4;
  const std::size_t end = doc.find("```\n", begin);
  std::string shown;
  for (std::size_t at = begin; at < end;) {
    const std::size_t line_end = doc.find('\n', at);
    shown += doc.substr(at, line_end - at) + "\r\n";
    at = line_end + 1;
  }
  testing::ScratchDir dir;
  for (const auto& file : std::filesystem::directory_iterator(root / "examples" / "ticker")) {
    std::filesystem::copy_file(file.path(), dir.path() / file.path().filename());
  }
  ASSERT_EQ(run_korva_asm(dir, "--map --chip 16F877A ticker.amk"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "ticker.map"), shown);
}

}  // namespace
}  // namespace korva
