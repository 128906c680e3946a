// Runs the korva-asm executable on small projects and compares its output
// files byte for byte with the bytes worked out by hand.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "driver/line_record.h"
#include "resources/system_texts.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::read_bytes;
using testing::write_bytes;

// Runs korva-asm with `arguments` inside `dir`; returns its exit status.
int run_korva_asm(const testing::ScratchDir& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.path().string() + "' && '" KORVA_ASM_PATH "' " +
                              arguments + " >stdout.txt 2>stderr.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Fields {
  const char* statement;
  const char* label;
  const char* remark;
  std::string error;
  const char* key;
  const char* code;
  const char* operand1;
  const char* operand2;
  const char* operand3;
  const char* kind;
  const char* address;
};

std::string records(const std::vector<Fields>& list) {
  std::string bytes;
  for (const Fields& f : list) {
    const LineRecord record{f.statement, f.label,    f.remark,   f.error, f.key,    f.code,
                            f.operand1,  f.operand2, f.operand3, f.kind,  f.address};
    RecordBytes stored;
    encode_record(record, stored);
    bytes.append(stored.data(), stored.size());
  }
  return bytes;
}

TEST(KorvaAsm, CleanProjectWritesTheThreeFiles) {
  testing::ScratchDir dir;
  write_bytes(dir.path() / "main.as",
              "; demo\r\n"
              "COUNT EQU 26\r\n"
              "START:: W+(COUNT)>F ; add\r\n"
              "\r\n"
              "        ORG 3\r\n"
              "        DE 300\r\n"
              "        \\1234\r\n"
              "        \\123456\r\n"
              "        ===->START\r\n");
  ASSERT_EQ(run_korva_asm(dir, "main.as"), 0) << read_bytes(dir.path() / "stderr.txt");

  const std::string grammar(texts::kGrammarError);
  // Operands stay from the last statement that matched a pattern.
  EXPECT_EQ(
      read_bytes(dir.path() / "main.obj"),
      records({
          {"", "", "; demo", "", "", "", "", "", "", "rem", "0000"},
          {"EQU 26", "COUNT::", "", "", "E0000EQU ", "", "001a", "", "", "equ", "001a"},
          {"W+(COUNT)>F", "START::", "; add", "", "N073EADD ", "XXXX", "(COUNT)", "F", "", "normal",
           "0000"},
          {"", "", "", "", "", "", "(COUNT)", "F", "", "rem", "0001"},
          {"ORG 3", "", "", "", "O0000ORG ", "", "0003", "", "", "org", "0003"},
          {"DE 300", "", "", "", "D0000DE  ", "2c", "2c", "", "", "data", "0003"},
          {"\\1234", "", "", "", "\\0000    ", "1234", "1234", "", "", "data", "0003"},
          {"\\123456", "", "", "", "\\0000    ", "123456", "123456", "", "", "data", "0004"},
          {"===->START", "", "", "", "B2800JP  ", "28XX", "START", "", "START", "branch", "0005"},
          {"end", "", "", grammar, "", "", "START", "", "START", "", "0006"},
      }));
  EXPECT_EQ(read_bytes(dir.path() / "main.out"),
            "; demo\n"
            "001A\t\tCOUNT::\tEQU 26\t\t\r\n"
            "0000\t079A\tSTART::\tW+(COUNT)>F\t; add\t\r\n"
            "\n"
            "0003\t\t\tORG 3\t\t\r\n"
            "0003\t2C\t\tDE 300\t\t\r\n"
            "0003\t1234\t\t\\1234\t\t\r\n"
            "0004\t123456\t\t\\123456\t\t\r\n"
            "0005\t2800\t\t===->START\t\t\r\n");
  EXPECT_EQ(read_bytes(dir.path() / "main.bin"),
            std::string("\x9A\x07\0\0\0\0\x2C\x34\x12\x12\x34\x56\0\x28", 14));
}

TEST(KorvaAsm, ListedErrorsGiveStatusOne) {
  testing::ScratchDir dir;
  write_bytes(dir.path() / "a.as", "W+5>F\r\nNOP\r\n");
  EXPECT_EQ(run_korva_asm(dir, "a.as"), 1);
  EXPECT_EQ(read_bytes(dir.path() / "a.out"),
            "0000\t\t\tW+5>F\t\tnormal err\r\n0001\t0000\t\tNOP\t\t\r\n");
  EXPECT_EQ(read_bytes(dir.path() / "a.bin"), std::string(2, '\0'));
  EXPECT_NE(read_bytes(dir.path() / "stderr.txt").find("normal err"), std::string::npos);
}

TEST(KorvaAsm, StoppedAssemblyCreatesOrChangesNoFile) {
  const struct {
    const char* name;
    const char* arguments;
  } cases[] = {{"duplicate label", "a.as"}, {"missing file", "a.as gone.as"}};
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    write_bytes(dir.path() / "a.as", "X: NOP\r\nX: NOP\r\n");
    EXPECT_EQ(run_korva_asm(dir, c.arguments), 2) << c.name;
    for (const char* extension : {".obj", ".out", ".bin"}) {
      EXPECT_FALSE(std::filesystem::exists(dir.path() / ("a" + std::string(extension)))) << c.name;
      write_bytes(dir.path() / ("a" + std::string(extension)), "old");
    }
    EXPECT_EQ(run_korva_asm(dir, c.arguments), 2) << c.name;
    for (const char* extension : {".obj", ".out", ".bin"}) {
      EXPECT_EQ(read_bytes(dir.path() / ("a" + std::string(extension))), "old") << c.name;
    }
  }
}

TEST(KorvaAsm, BadUsageGivesStatus64) {
  testing::ScratchDir dir;
  EXPECT_EQ(run_korva_asm(dir, ""), 64);
  EXPECT_EQ(run_korva_asm(dir, "--no-such-option a.as"), 64);
}

TEST(KorvaAsm, ProjectFileNamesTheOutputsAndFindsItsEntries) {
  testing::ScratchDir dir;
  std::filesystem::create_directories(dir.path() / "sub");
  write_bytes(dir.path() / "sub" / "proj.amk", "one.as\r\ntwo.inc\r\n");
  write_bytes(dir.path() / "sub" / "one.as", "SUB S\r\nEND SUB\r\n");
  write_bytes(dir.path() / "sub" / "two.inc", "S\r\n");
  ASSERT_EQ(run_korva_asm(dir, "sub/proj.amk"), 0) << read_bytes(dir.path() / "stderr.txt");
  EXPECT_EQ(read_bytes(dir.path() / "sub" / "proj.out"),
            "0000\t\t\tSUB S\t\t\r\n0000\t0008\t\tEND SUB\t\t\r\n0001\t2000\t\tS\t\t\r\n");
  EXPECT_EQ(read_bytes(dir.path() / "sub" / "proj.bin"), std::string("\x08\0\0\x20", 4));
  EXPECT_EQ(read_bytes(dir.path() / "sub" / "proj.obj").size(), 4 * kRecordSize);
}

TEST(KorvaAsm, OutputBaseFromTheCommandLineAndTheExtensionRule) {
  const struct {
    const char* source;     // written in the folder, holding one NOP
    const char* arguments;  // given before the source
    const char* base;       // where the outputs must be
  } cases[] = {
      {"prog.as", "", "prog"},
      {"prog.amk", "", "prog"},
      {"prog.asm", "", "prog"},
      {"prog.s", "", "prog"},
      {"ab", "", "ab"},
      {"lib.inc", "", "lib"},
      {"prog.", "", "prog"},
      {"prog..s", "", "prog"},
      {".hidden", "", ".hidden"},
      {"sub.d/prog", "", "sub.d/prog"},
      {"prog.as", "-o out/first", "out/first"},
      {"prog.asm", "-o x.y", "x.y"},
      {"prog.amk", "-o built", "built"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    std::filesystem::create_directories(dir.path() / "sub.d");
    std::filesystem::create_directories(dir.path() / "out");
    const std::string source = c.source;
    if (source.ends_with(".amk")) {
      write_bytes(dir.path() / source, "prog.as\r\n");
      write_bytes(dir.path() / "prog.as", "NOP\r\n");
    } else {
      write_bytes(dir.path() / source, "NOP\r\n");
    }
    const std::set<std::string> before = [&] {
      std::set<std::string> names;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        names.insert(entry.path().string());
      }
      return names;
    }();
    ASSERT_EQ(run_korva_asm(dir, std::string(c.arguments) + " -- '" + source + "'"), 0)
        << c.source << read_bytes(dir.path() / "stderr.txt");
    std::set<std::string> expected = before;
    for (const char* extension : {".obj", ".out", ".bin"}) {
      expected.insert((dir.path() / (std::string(c.base) + extension)).string());
    }
    expected.insert((dir.path() / "stdout.txt").string());
    expected.insert((dir.path() / "stderr.txt").string());
    std::set<std::string> after;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
      after.insert(entry.path().string());
    }
    EXPECT_EQ(after, expected) << c.source << " " << c.arguments;
    EXPECT_EQ(read_bytes(dir.path() / (std::string(c.base) + ".bin")), std::string(2, '\0'))
        << c.source;
  }
  testing::ScratchDir dir;
  EXPECT_EQ(run_korva_asm(dir, "prog.as -o"), 64);
}

TEST(KorvaAsm, HexOnlyOnRequestWithGapsLeftOut) {
  testing::ScratchDir dir;
  write_bytes(dir.path() / "chip.as", "NOP\r\nORG $2007\r\n\\3F39\r\n");
  write_bytes(dir.path() / "chip.hex", "old");
  ASSERT_EQ(run_korva_asm(dir, "chip.as"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "chip.hex"), "old");
  const std::string image = read_bytes(dir.path() / "chip.bin");
  ASSERT_EQ(run_korva_asm(dir, "--hex chip.as"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "chip.bin"), image) << "the image is the same with --hex";
  EXPECT_EQ(read_bytes(dir.path() / "chip.hex"),
            ":020000000000FE\r\n:02400E00393F38\r\n:00000001FF\r\n");
}

}  // namespace
}  // namespace korva
