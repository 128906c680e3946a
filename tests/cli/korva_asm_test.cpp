// Runs the korva-asm executable on small projects and compares its output
// files byte for byte with the bytes worked out by hand.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "project/chip_files.h"
#include "resources/system_texts.h"
#include "support/line_record.h"
#include "system/text_encoding.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::read_bytes;
using testing::write_bytes;

// Runs korva-asm with `arguments` inside `dir`; returns its exit status.
// `environment` is put in front of the command (NAME=VALUE ...).
int run_korva_asm(const testing::ScratchDir& dir, const std::string& arguments,
                  const std::string& environment = "") {
  const std::string command = "cd '" + dir.path().string() + "' && " + environment + " '" +
                              KORVA_ASM_PATH "' " + arguments + " >stdout.txt 2>stderr.txt";
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

// The records laid out by hand: each text in its field, zeros behind it.
std::string records(const std::vector<Fields>& list) {
  std::string bytes;
  for (const Fields& f : list) {
    const std::string_view texts[] = {f.statement, f.label, f.remark,   f.error,
                                      f.key,       f.code,  f.operand1, f.operand2,
                                      f.operand3,  f.kind,  f.address};
    const std::size_t sizes[] = {kStatementFieldSize, kLabelFieldSize,      kRemarkFieldSize,
                                 kErrorFieldSize,     kPatternKeyFieldSize, kCodeFieldSize,
                                 kOperandFieldSize,   kOperandFieldSize,    kOperandFieldSize,
                                 kKindFieldSize,      kAddressFieldSize};
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      std::string field(texts[i].substr(0, sizes[i] - 1));
      field.resize(sizes[i], '\0');
      bytes += field;
    }
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

// --chip puts the chip's definitions in front of the sources, whichever way
// the name is written; the outputs keep the name of the user's source.
TEST(KorvaAsm, ChipDefinitionsComeFirst) {
  const char* spellings[] = {"--chip 16F877A", "--chip 16f877a", "--chip=PIC16F877A"};
  for (const char* chip : spellings) {
    testing::ScratchDir dir;
    write_bytes(dir.path() / "a.as", "(PORTB)_BITRB7<1\r\n");
    ASSERT_EQ(run_korva_asm(dir, std::string(chip) + " a.as"), 0)
        << chip << ": " << read_bytes(dir.path() / "stderr.txt");
    EXPECT_EQ(read_bytes(dir.path() / "a.bin"), std::string("\x86\x17", 2)) << chip;
    const std::string listing = read_bytes(dir.path() / "a.out");
    EXPECT_NE(listing.find("0006\t\tPORTB::\tEQU $06\t\t\r\n"), std::string::npos) << chip;
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      files.insert(entry.path().filename().string());
    }
    EXPECT_EQ(files, (std::set<std::string>{"a.as", "a.bin", "a.obj", "a.out", "stderr.txt",
                                            "stdout.txt"}))
        << chip;
  }
}

TEST(KorvaAsm, ChipWithAProjectFileKeepsTheProjectsOutputNames) {
  testing::ScratchDir dir;
  std::filesystem::create_directories(dir.path() / "p");
  write_bytes(dir.path() / "p" / "blink.amk", "main.as\r\n");
  write_bytes(dir.path() / "p" / "main.as", "W>(GPIO)\r\n");
  ASSERT_EQ(run_korva_asm(dir, "--chip 12F675 p/blink.amk"), 0)
      << read_bytes(dir.path() / "stderr.txt");
  EXPECT_EQ(read_bytes(dir.path() / "p" / "blink.bin"), std::string("\x85\x00", 2));
}

// A project names its chip by the chip file's name alone: without such a
// file beside it, the chip folder's is read, wherever the project lies; with
// --chip of the same chip the definitions come once. A file of that name
// beside the project is the project's own; a name with a folder is a path.
TEST(KorvaAsm, ProjectNamesItsChipByTheFileName) {
  struct Case {
    const char* entry;
    const char* beside;  // a file written beside the project under the entry's name
    const char* arguments;
    int status;
    const char* bin;
  };
  const Case cases[] = {
      {"12F675.inc", nullptr, "p/blink.amk", 0, "\x85\x00"},
      {"pic12f675.INC", nullptr, "p/blink.amk", 0, "\x85\x00"},
      {"12F675.inc", nullptr, "--chip 12F675 p/blink.amk", 0, "\x85\x00"},
      {"12F675.inc", nullptr, "--chip=pic12f675 p/blink.amk", 0, "\x85\x00"},
      {"12F675.inc", "GPIO EQU $07\r\n", "p/blink.amk", 0, "\x87\x00"},
      {"chips/12F675.inc", nullptr, "p/blink.amk", 2, nullptr},
      {"12F999.inc", nullptr, "p/blink.amk", 2, nullptr},
  };
  for (const Case& c : cases) {
    testing::ScratchDir dir;
    std::filesystem::create_directories(dir.path() / "p");
    write_bytes(dir.path() / "p" / "blink.amk", std::string(c.entry) + "\r\nmain.as\r\n");
    write_bytes(dir.path() / "p" / "main.as", "W>(GPIO)\r\n");
    if (c.beside != nullptr) write_bytes(dir.path() / "p" / c.entry, c.beside);
    EXPECT_EQ(run_korva_asm(dir, c.arguments), c.status)
        << c.entry << " " << c.arguments << ": " << read_bytes(dir.path() / "stderr.txt");
    if (c.bin != nullptr) {
      EXPECT_EQ(read_bytes(dir.path() / "p" / "blink.bin"), std::string(c.bin, 2))
          << c.entry << " " << c.arguments;
    }
  }
}

// --config prints the lines of the chip's configuration words, lists the
// fields without choices, and names the valid names for a wrong one.
TEST(KorvaAsm, ConfigByNamePrintsTheLinesOrTheValidNames) {
  const struct {
    const char* arguments;
    int status;
    std::vector<const char*> stdout_has;
    const char* stderr_has;
  } cases[] = {
      {"--chip 16F877A --config FOSC=XT,WDTE=OFF,PWRTE=ON,LVP=OFF",
       0,
       {"; CONFIG at 2007 is ", ";   LVP=OFF\r\n", ";   CP=OFF (erased)\r\n",
        "        ORG $2007\r\n        \\"},
       ""},
      {"--chip=pic16f886 --config=WRT=HALF,FOSC=XT",
       0,
       {"; CONFIG2 at 2008 is ", ";   WRT=HALF\r\n", "        ORG $2007\r\n        \\"},
       ""},
      {"--chip 16F886 --config", 0, {"CONFIG1 at 2007", "CONFIG2 at 2008", "  FOSC", "    XT"}, ""},
      {"--chip 16F877A --config OSC=XT",
       64,
       {},
       "no configuration field 'OSC'; its fields: FOSC WDTE"},
      {"--chip 16F877A --config FOSC=XTAL", 64, {}, "its settings: LP XT HS EXTRC"},
      {"--chip 16F877A --config FOSC", 64, {}, "'FOSC' is no FIELD=SETTING"},
      {"--config FOSC=XT", 64, {}, "--config needs the chip"},
      {"--chip 16F877A --config FOSC=XT a.as", 64, {}, "--config prints the configuration lines"},
      {"--chip 16F999 --config", 64, {}, "unknown chip '16F999'"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    EXPECT_EQ(run_korva_asm(dir, c.arguments), c.status) << c.arguments;
    const std::string out = read_bytes(dir.path() / "stdout.txt");
    for (const char* part : c.stdout_has) {
      EXPECT_NE(out.find(part), std::string::npos) << c.arguments << ": " << part << "\n" << out;
    }
    EXPECT_NE(read_bytes(dir.path() / "stderr.txt").find(c.stderr_has), std::string::npos)
        << c.arguments << ": " << read_bytes(dir.path() / "stderr.txt");
  }
}

TEST(KorvaAsm, UnknownChipIsBadUsageAndListsTheKnownOnes) {
  const struct {
    const char* arguments;
    std::string stderr_has;
  } cases[] = {
      {"--chip 16F999 a.as",
       "unknown chip '16F999'; " + std::to_string(list_chips(KORVA_CHIP_SOURCES).size()) +
           " chips are known (--list-chips lists them); nearest: 16F913 16F914 "},
      {"--chip", "--chip needs a chip name"},
      {"--chip= a.as", "--chip needs a chip name"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    write_bytes(dir.path() / "a.as", "NOP\r\n");
    EXPECT_EQ(run_korva_asm(dir, c.arguments), 64) << c.arguments;
    EXPECT_NE(read_bytes(dir.path() / "stderr.txt").find(c.stderr_has), std::string::npos)
        << c.arguments << ": " << read_bytes(dir.path() / "stderr.txt");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.obj")) << c.arguments;
  }
}

TEST(KorvaAsm, ListChipsNamesEveryChipFile) {
  testing::ScratchDir dir;
  ASSERT_EQ(run_korva_asm(dir, "--list-chips"), 0);
  std::string expected;
  std::size_t enhanced = 0;
  for (const std::string& chip : list_chips(KORVA_CHIP_SOURCES)) {
    const std::string text =
        read_bytes(std::filesystem::path(KORVA_CHIP_SOURCES) / (chip + ".inc"));
    const bool marked = text.find("\n;@core enhanced\r\n") != std::string::npos;
    enhanced += marked ? 1 : 0;
    expected += chip + (marked ? " enhanced\n" : "\n");
  }
  EXPECT_EQ(read_bytes(dir.path() / "stdout.txt"), expected);
  EXPECT_GT(enhanced, 100u);
}

// The environment names another chip folder, which then replaces the
// program's own.
TEST(KorvaAsm, ChipFolderFromTheEnvironment) {
  testing::ScratchDir dir;
  std::filesystem::create_directories(dir.path() / "mine");
  write_bytes(dir.path() / "mine" / "TEST9.inc", "LED EQU 3\r\n");
  write_bytes(dir.path() / "a.as", "(LED)+1\r\n");
  const std::string environment = std::string(kChipDirectoryVariable) + "=mine";
  ASSERT_EQ(run_korva_asm(dir, "--list-chips", environment), 0);
  EXPECT_EQ(read_bytes(dir.path() / "stdout.txt"), "TEST9\n");
  ASSERT_EQ(run_korva_asm(dir, "--chip test9 a.as", environment), 0)
      << read_bytes(dir.path() / "stderr.txt");
  EXPECT_EQ(read_bytes(dir.path() / "a.bin"), std::string("\x83\x0A", 2));
  EXPECT_EQ(run_korva_asm(dir, "--chip 16F877A a.as", environment), 64);
  EXPECT_NE(read_bytes(dir.path() / "stderr.txt").find("known chips: TEST9"), std::string::npos);
}

// An undefined register name is shown in its source line, and the chip
// named in the file's name that defines it is suggested; with that chip
// the program assembles.
TEST(KorvaAsm, UndefinedNameShowsItsColumnAndTheChipThatDefinesIt) {
  testing::ScratchDir dir;
  write_bytes(dir.path() / "blink16f84a.as", "        00>(PORTB)\r\n");
  EXPECT_EQ(run_korva_asm(dir, "blink16f84a.as"), 1);
  EXPECT_EQ(read_bytes(dir.path() / "stderr.txt")
                .find("blink16f84a.as:1:13: error: normal err: PORTB is not defined\n"
                      "            00>(PORTB)\n"
                      "                ^~~~~\n"
                      "blink16f84a.as:1:13: note: --chip 16F84A defines PORTB\n"),
            0u)
      << read_bytes(dir.path() / "stderr.txt");
  // Without a configuration word, the chip's check says so (-w keeps it
  // quiet).
  EXPECT_EQ(run_korva_asm(dir, "--chip 16F84A blink16f84a.as"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "stderr.txt").find("korva-asm: warning: no configuration word"),
            0u);
  EXPECT_EQ(run_korva_asm(dir, "-w --chip 16F84A blink16f84a.as"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "stderr.txt"), "");
}

// The terminal gets an English gloss after each Japanese message; the
// listing keeps the system's text alone.
TEST(KorvaAsm, JapaneseMessagesAreGlossedOnTheTerminalOnly) {
  const struct {
    const char* source;
    const char* arguments;
    int status;
    const char* stderr_has;
  } cases[] = {
      {"foo\r\n", "a.as", 1,
       "a.as:1:1: error: 文法エラー (no pattern of the notation fits this "
       "statement): 'foo' fits no form"},
      {"NOP\r\n", "a.as gone.as", 2, "gone.as  ﾌｧｲﾙが見つかりません。 (file not found)\n"},
      {"X: NOP\r\nX: NOP\r\n", "a.as", 2,
       "a.as:2:1: error: X:NOP->同名のLabelがあります。 (a label of the same "
       "name exists): the label X: is defined twice"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    write_bytes(dir.path() / "a.as", c.source);
    EXPECT_EQ(run_korva_asm(dir, c.arguments), c.status) << c.source;
    EXPECT_NE(read_bytes(dir.path() / "stderr.txt").find(c.stderr_has), std::string::npos)
        << read_bytes(dir.path() / "stderr.txt");
  }
  testing::ScratchDir dir;
  write_bytes(dir.path() / "a.as", "foo\r\n");
  ASSERT_EQ(run_korva_asm(dir, "a.as"), 1);
  EXPECT_EQ(read_bytes(dir.path() / "a.out"),
            "0000\t\t\tfoo\t\t" + std::string(texts::kGrammarError) + "\r\n");
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

// Each kind of warning that korva-asm prints: -w silences it and -Werror
// makes it fail the run, while the files stay the same either way.
TEST(KorvaAsm, WarningsFollowTheirOptions) {
  struct Case {
    const char* source;
    const char* printed;
  };
  const Case cases[] = {
      {"5/2>W\r\n", "warning: operator / is not evaluated"},
      {"RET 'H'>W\r\n", "warning: term 'H' is neither a number"},
      {"NOP ;"
       "12345678901234567890123456789012345678901234567890\r\n",
       "warning: remark cut to 48 characters"},
      {"MACRO M\r\nL: NOP\r\nEND MACRO\r\nM\r\nM\r\n", "warning: repeated expansion of macro M"},
      {"NOP ; \xE3\x81\x82\r\n", "warning: UTF-8 text in a.as"},
  };
  for (const Case& c : cases) {
    testing::ScratchDir dir;
    write_bytes(dir.path() / "a.as", c.source);
    EXPECT_EQ(run_korva_asm(dir, "a.as"), 0) << c.source;
    const std::string image = read_bytes(dir.path() / "a.bin");
    EXPECT_NE(read_bytes(dir.path() / "stderr.txt").find(c.printed), std::string::npos)
        << c.source << read_bytes(dir.path() / "stderr.txt");
    EXPECT_EQ(run_korva_asm(dir, "-w a.as"), 0) << c.source;
    EXPECT_EQ(read_bytes(dir.path() / "stderr.txt"), "") << c.source;
    EXPECT_EQ(run_korva_asm(dir, "-Werror a.as"), 1) << c.source;
    EXPECT_EQ(read_bytes(dir.path() / "a.bin"), image) << c.source;
  }
}

TEST(KorvaAsm, RunWithWordlessErrorLinesSaysTheImageDrifts) {
  testing::ScratchDir dir;
  write_bytes(dir.path() / "a.as", "W+5>F\r\nNOP\r\n");
  EXPECT_EQ(run_korva_asm(dir, "a.as"), 1);
  EXPECT_NE(read_bytes(dir.path() / "stderr.txt")
                .find("a.as:1: warning: 1 lines with errors wrote no word: a.bin does not match "
                      "the listing's addresses"),
            std::string::npos)
      << read_bytes(dir.path() / "stderr.txt");
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

// Arguments that begin with "-": options before "--", file names after it or
// written with their folder. A lone "-" is not taken for standard input, and
// a file whose name looks like an option is never taken for one.
TEST(KorvaAsm, NamesThatLookLikeOptions) {
  const struct {
    const char* arguments;
    int status;
    const char* message;  // in the error output; empty for none
    const char* base;     // of the outputs written; empty for none
  } cases[] = {
      {"-", 64, "'-' (standard input) is not read", ""},
      {"a.as -", 64, "write ./- or put it after --", ""},
      {"-- -", 0, "", "-"},
      {"./-", 0, "", "-"},
      {"-l.as", 64, "unknown option '-l.as'; to assemble a file named '-l.as', write ./-l.as", ""},
      {"--hex.as", 64, "unknown option '--hex.as'; to assemble a file named", ""},
      {"-w.as", 64, "unknown option '-w.as'", ""},
      {"-- -l.as", 0, "", "-l"},
      {"-- --hex.as", 0, "", "--hex"},
      {"-- -w.as", 0, "", "-w"},
      {"-- --", 0, "", "--"},
      {"./--hex.as", 0, "", "--hex"},
      {"--map -- -l.as", 0, "", "-l"},
      {"a.as -- -l.as --hex.as", 0, "", "a"},
      {"-o -w -- -l.as", 0, "", "-w"},
      {"-x", 64, "unknown option '-x'", ""},
      {"-p.amk", 64, "to assemble a file named '-p.amk'", ""},
      {"-- -p.amk", 0, "", "-p"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    // Every file a case may name holds one NOP.
    for (const char* name : {"-", "-l.as", "--hex.as", "-w.as", "--", "a.as"}) {
      write_bytes(dir.path() / name, "NOP\r\n");
    }
    write_bytes(dir.path() / "-p.amk", "a.as\r\n");
    EXPECT_EQ(run_korva_asm(dir, c.arguments), c.status)
        << c.arguments << ": " << read_bytes(dir.path() / "stderr.txt");
    const std::string errors = read_bytes(dir.path() / "stderr.txt");
    if (*c.message != '\0') {
      EXPECT_NE(errors.find(c.message), std::string::npos) << c.arguments << ": " << errors;
    } else {
      EXPECT_EQ(errors, "") << c.arguments;
    }
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".obj") || name.ends_with(".out") || name.ends_with(".bin") ||
          name.ends_with(".hex") || name.ends_with(".map")) {
        written.insert(name);
      }
    }
    std::set<std::string> expected;
    const std::string base = c.base;
    if (!base.empty()) expected = {base + ".obj", base + ".out", base + ".bin"};
    if (std::string_view(c.arguments).starts_with("--map")) expected.insert(base + ".map");
    EXPECT_EQ(written, expected) << c.arguments;
    // "-l" after "--" names a file; before it, it prints the listing.
    EXPECT_EQ(read_bytes(dir.path() / "stdout.txt"), "") << c.arguments;
  }
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
