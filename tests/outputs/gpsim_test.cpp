// Source-level simulation of a KORVA program in gpsim through the .cod file
// that korva-asm --cod writes. Skipped where gpsim is not installed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "chip/chip_config.h"
#include "chip/chip_facts.h"
#include "outputs/gpsim_processors.h"
#include "outputs/intel_hex.h"
#include "system/text_encoding.h"
#include "test_support.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

bool have_tool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int korva_asm(const testing::ScratchDir& dir, const std::string& arguments) {
  return run("cd '" + dir.path().string() + "' && '" KORVA_ASM_PATH "' " + arguments +
             " >stdout.txt 2>stderr.txt");
}

// Runs gpsim on `cod` from the root folder (so that it has to find the
// sources from the .cod's own folder), feeding it `commands`; returns what
// it printed.
std::string gpsim_session(const testing::ScratchDir& dir, const std::string& cod,
                          const std::string& commands) {
  testing::write_bytes(dir.path() / "commands.txt", commands);
  const std::string transcript = (dir.path() / "transcript.txt").string();
  run("cd / && timeout 60 gpsim -i -s '" + (dir.path() / cod).string() + "' < '" +
      (dir.path() / "commands.txt").string() + "' > '" + transcript + "' 2>&1");
  return testing::read_bytes(transcript);
}

void copy_example(const testing::ScratchDir& dir, const char* name) {
  for (const auto& file :
       fs::directory_iterator(fs::path(KORVA_TEST_DATA) / "../examples" / name)) {
    fs::copy_file(file.path(), dir.path() / file.path().filename());
  }
}

// The source lines gpsim prints as "LINE: TEXT" while it steps, in order.
std::vector<std::string> stepped_lines(const std::string& transcript) {
  std::vector<std::string> found;
  const std::regex line(R"(^(\d+): *(.*?)\r?$)");
  std::istringstream text(transcript);
  for (std::string each; std::getline(text, each);) {
    std::smatch match;
    if (std::regex_match(each, match, line))
      found.push_back(match[1].str() + ": " + match[2].str());
  }
  return found;
}

TEST(Gpsim, StopsAtALabelListsTheSourceStepsThroughAMacroAndNamesTheCells) {
  if (!have_tool("gpsim")) GTEST_SKIP() << "gpsim is not installed: the .cod file is not simulated";
  testing::ScratchDir dir;
  copy_example(dir, "ticker");
  ASSERT_EQ(korva_asm(dir, "--cod --hex --chip 16F877A ticker.amk"), 0)
      << testing::read_bytes(dir.path() / "stderr.txt");

  const std::string transcript = gpsim_session(dir, "ticker.cod",
                                               "break e MAIN\n"
                                               "run\n"
                                               "list\n"
                                               "step\n"
                                               "step\n"
                                               "list\n"
                                               "step\n"
                                               "x TICKS\n"
                                               "TICKS\n"
                                               "quit\n");
  SCOPED_TRACE(transcript);
  // Stopped at MAIN, in main.as, the marker on the label's line.
  EXPECT_NE(transcript.find("listing " + (dir.path() / "main.as").string()), std::string::npos);
  EXPECT_NE(transcript.find("==>MAIN::  (TICKS)+1"), std::string::npos);
  // The steps go from MAIN's line into the body of the macro SHOW, whose
  // lines stand in macros.inc, and the listing follows them there.
  const std::vector<std::string> steps = stepped_lines(transcript);
  const std::vector<std::string> expected = {"7: MAIN::  (TICKS)+1       ; one more pass",
                                             "10: (TICKS)>W", "11: W>(PORTB)"};
  ASSERT_GE(steps.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(steps.end() - 3, steps.end()), expected);
  EXPECT_NE(transcript.find("listing " + (dir.path() / "macros.inc").string()), std::string::npos);
  EXPECT_NE(transcript.find("==>        W>(PORTB)"), std::string::npos);
  // The reserved cell goes by its name: in the trace of the steps, and when
  // asked for (gpsim 0.31 prints nothing for the deprecated "x NAME" and
  // shows the cell for the bare name instead).
  EXPECT_NE(transcript.find("Wrote: 0x0001 to TICKS(0x0020)"), std::string::npos);
  EXPECT_TRUE(std::regex_search(transcript, std::regex(R"(TICKS(\[0x20\])? = 0x0?1\b)")));
  EXPECT_EQ(transcript.find("ERROR"), std::string::npos);
}

// A program in pages 0 and 1 of a 16F877A: page 1 is reached by setting
// PCLATH before a GOTO, holds a CALL and a GOTO of its own, and the program
// returns to page 0 the same way. Every step leaves a bit in TRACE; the one
// that a wrong target would reach (bit 7) must stay clear.
TEST(Gpsim, RunsCodeInTwoProgramPagesThroughPclath) {
  if (!have_tool("gpsim")) GTEST_SKIP() << "gpsim is not installed: the .cod file is not simulated";
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "pages.as",
                       "        RAM=20h\r\n"
                       "TRACE:: [1]\r\n"
                       "TWICE:: [1]\r\n"
                       "START:: 00>(TRACE)\r\n"
                       "        00>(TWICE)\r\n"
                       "        08h>W\r\n"
                       "        W>(PCLATH)      ; page 1\r\n"
                       "        ===->HIGH\r\n"
                       "BACK::  (TRACE)_BIT3<1\r\n"
                       "        LOW\r\n"
                       "DONE::  ===->DONE\r\n"
                       "        SUB LOW\r\n"
                       "        (TRACE)_BIT4<1\r\n"
                       "        END SUB\r\n"
                       "        ORG 800h\r\n"
                       "HIGH::  (TRACE)_BIT0<1\r\n"
                       "        UP\r\n"
                       "        ===->ON\r\n"
                       "        (TRACE)_BIT7<1\r\n"
                       "ON::    (TRACE)_BIT2<1\r\n"
                       "        0>W\r\n"
                       "        W>(PCLATH)      ; page 0\r\n"
                       "        ===->BACK\r\n"
                       "        SUB UP\r\n"
                       "        (TWICE)+1\r\n"
                       "        (TWICE)+1\r\n"
                       "        (TRACE)_BIT1<1\r\n"
                       "        END SUB\r\n");
  ASSERT_EQ(korva_asm(dir, "--cod --chip 16F877A pages.as"), 0)
      << testing::read_bytes(dir.path() / "stderr.txt");
  // The two jumps between the pages are warned about; the CALL and GOTO
  // inside page 1 are not.
  const std::string warnings = testing::read_bytes(dir.path() / "stderr.txt");
  EXPECT_NE(warnings.find("jump target 0800 is in page 1, the GOTO at 0004 in page 0"),
            std::string::npos)
      << warnings;
  EXPECT_NE(warnings.find("jump target 0005 is in page 0, the GOTO at 0807 in page 1"),
            std::string::npos)
      << warnings;
  EXPECT_EQ(warnings.find("call target"), std::string::npos) << warnings;
  EXPECT_EQ(warnings.find("target 0804"), std::string::npos) << warnings;

  const std::string transcript = gpsim_session(dir, "pages.cod",
                                               "break e DONE\n"
                                               "break c 5000\n"
                                               "run\n"
                                               "TRACE\n"
                                               "TWICE\n"
                                               "pc\n"
                                               "quit\n");
  SCOPED_TRACE(transcript);
  EXPECT_TRUE(std::regex_search(transcript, std::regex(R"(TRACE(\[0x20\])? = 0x1[fF]\b)")));
  EXPECT_TRUE(std::regex_search(transcript, std::regex(R"(TWICE(\[0x21\])? = 0x0?2\b)")));
  EXPECT_NE(transcript.find("pc = 0x7\n"), std::string::npos);
  EXPECT_EQ(transcript.find("ERROR"), std::string::npos);
}

// The words that gpvc dumps from a .cod file, low byte first, as HEX text:
// each range of the file's ROM use placed at twice its word address. gpvc
// leaves out rows of zero words.
std::string hex_from_cod(const testing::ScratchDir& dir, const std::string& cod) {
  const std::string dump = (dir.path() / "rom.txt").string();
  run("gpvc -r '" + (dir.path() / cod).string() + "' > '" + dump + "'");
  std::istringstream text(testing::read_bytes(dump));
  std::vector<std::pair<std::size_t, std::size_t>> ranges;  // first and last word
  std::map<std::size_t, unsigned> words;
  std::smatch match;
  const std::regex usage(R"(using ROM ([0-9a-fA-F]+) to ([0-9a-fA-F]+))");
  const std::regex row(R"(^([0-9a-fA-F]{6}): +(.*))");
  for (std::string line; std::getline(text, line);) {
    if (std::regex_search(line, match, usage)) {
      ranges.emplace_back(std::stoul(match[1].str(), nullptr, 16),
                          std::stoul(match[2].str(), nullptr, 16));
    } else if (std::regex_match(line, match, row)) {
      std::size_t address = std::stoul(match[1].str(), nullptr, 16);
      std::istringstream each(match[2].str());
      for (unsigned word = 0; each >> std::hex >> word; ++address) words[address] = word;
    }
  }
  std::vector<std::string> bytes;
  std::vector<PlacedBytes> placed;
  bytes.reserve(ranges.size());
  for (const auto& [first, last] : ranges) {
    std::string run;
    for (std::size_t address = first; address <= last; ++address) {
      const unsigned word = words.count(address) ? words[address] : 0;
      run += static_cast<char>(word & 0xFF);
      run += static_cast<char>(word >> 8);
    }
    bytes.push_back(std::move(run));
    placed.push_back({2 * first, bytes.back()});
  }
  return intel_hex_text(placed);
}

TEST(Gpsim, TheCodHoldsTheWordsOfTheHexFile) {
  if (!have_tool("gpvc"))
    GTEST_SKIP()
        << "gpvc (Debian package gputils) is not installed: the .cod file is not read back";
  const auto check = [](const testing::ScratchDir& dir, const std::string& base,
                        const std::string& sources, const std::string& chip) {
    ASSERT_EQ(korva_asm(dir, "--cod --hex --chip " + chip + " " + sources), 0)
        << testing::read_bytes(dir.path() / "stderr.txt");
    EXPECT_EQ(hex_from_cod(dir, base + ".cod"), testing::read_bytes(dir.path() / (base + ".hex")));
  };
  const std::pair<const char*, const char*> examples[] = {
      {"ticker", "16F877A"},
      {"blink16f877a", "16F877A"},
      {"walk16f887", "16F887"},
      {"counter16f628a", "16F628A"},
  };
  for (const auto& [example, chip] : examples) {
    SCOPED_TRACE(example);
    testing::ScratchDir dir;
    copy_example(dir, example);
    check(dir, example, std::string(example) + ".amk", chip);
  }
  // Zero fill of an ORG and a program that runs past a 256-word block.
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "gap.as",
                       "        SLEEP\r\n        ORG 120h\r\n        CLRWDT\r\n        \\3FFF\r\n");
  check(dir, "gap", "gap.as", "16F877A");
}

TEST(Gpsim, LoadsTheDebugFileOfEveryChipOfTheFamily) {
  if (!have_tool("gpsim")) GTEST_SKIP() << "gpsim is not installed: the .cod file is not simulated";
  struct Case {
    const char* chip;
    const char* processor;  // as gpsim names it
  } cases[] = {{"16F84A", "p16f84"},    {"16F628A", "p16f628a"}, {"16F88", "p16f88"},
               {"16F877A", "p16f877a"}, {"16F887", "p16f887"},   {"16F690", "p16f690"},
               {"12F675", "p12f675"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chip);
    testing::ScratchDir dir;
    testing::write_bytes(dir.path() / "p.as", "HERE::  NOP\r\n        ===->HERE\r\n");
    ASSERT_EQ(korva_asm(dir, std::string("--cod --chip ") + c.chip + " p.as"), 0)
        << testing::read_bytes(dir.path() / "stderr.txt");
    const std::string transcript = gpsim_session(dir, "p.cod", "processor\nstep\nquit\n");
    EXPECT_NE(transcript.find(std::string("\n") + c.processor + "\n"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("1: HERE::  NOP"), std::string::npos) << transcript;
  }
}

// gpsim finds the sources of a project in a folder that CP932 cannot name,
// by an entry that CP932 writes: the debug file names them in the system's
// own bytes.
TEST(Gpsim, FindsTheSourcesOfAProjectInAFolderOutsideCp932) {
  if (!have_tool("gpsim")) GTEST_SKIP() << "gpsim is not installed: the .cod file is not simulated";
  testing::ScratchDir dir;
  const fs::path folder = dir.path() / "café";
  fs::create_directory(folder);
  testing::write_bytes(folder / "点滅.as", "        NOP\r\nMAIN::  ===->MAIN\r\n");
  testing::write_bytes(folder / "p.amk", utf8_to_cp932("点滅.as") + "\r\n");
  ASSERT_EQ(korva_asm(dir, "--cod --chip 16F84A café/p.amk"), 0)
      << testing::read_bytes(dir.path() / "stderr.txt");

  const std::string transcript =
      gpsim_session(dir, "café/p.cod", "break e MAIN\nrun\nlist\nquit\n");
  SCOPED_TRACE(transcript);
  EXPECT_NE(transcript.find("listing " + (folder / "点滅.as").string()), std::string::npos);
  EXPECT_NE(transcript.find("==>MAIN::"), std::string::npos);
}

// One chip of each family runs in gpsim: its definitions in front of a
// counting loop on its first general purpose register, its configuration
// word written by --config with the watchdog off. Assembled with -Werror:
// the chip's checks find nothing to say.
TEST(Gpsim, RunsOneChipOfEachFamily) {
  if (!have_tool("gpsim")) GTEST_SKIP() << "gpsim is not installed: the chips are not simulated";
  const char* const families[][2] = {
      {"10F32x", "10F320"},
      {"12F6xx", "12F683"},
      {"16C6x/7x EPROM", "16C74"},
      {"16C8x/16F8x", "16F84"},
      {"16F62x/648A", "16F628A"},
      {"16F63x-69x", "16F684"},
      {"16F7x", "16F73"},
      {"16F71x", "16F716"},
      {"16F81x/87/88", "16F819"},
      {"16F87x(A)", "16F877A"},
      {"16F88x (two words)", "16F886"},
      {"16F91x LCD", "16F917"},
  };
  const fs::path chips(KORVA_CHIP_SOURCES);
  for (const auto& [family, chip] : families) {
    SCOPED_TRACE(std::string(family) + ": " + chip);
    ASSERT_TRUE(gpsim_processor(chip));
    const auto facts = read_chip_facts(testing::read_bytes(chips / (std::string(chip) + ".inc")));
    ASSERT_TRUE(facts && *facts);
    const std::uint32_t cell = (*facts)->gpr.front().first;
    std::string watchdog;
    for (const char* name : {"WDTE", "WDT", "WDTEN"}) {
      if ((*facts)->find_field(name).second != nullptr) watchdog = name;
    }
    ASSERT_FALSE(watchdog.empty());

    testing::ScratchDir dir;
    const std::string env = "KORVA_CHIPS_DIR='" + chips.string() + "' ";
    std::string command = "cd '" + dir.path().string() + "' && " + env;
    command.append("'" KORVA_ASM_PATH "' --chip ").append(chip);
    command.append(" --config ").append(watchdog).append("=OFF > config.as");
    ASSERT_EQ(run(command), 0);
    char program[128];
    std::snprintf(program, sizeof program,
                  "TALLY   EQU $%02X\r\nCOUNT:: (TALLY)+1\r\n        ===->COUNT\r\n", cell);
    testing::write_bytes(dir.path() / "count.as",
                         program + testing::read_bytes(dir.path() / "config.as"));
    ASSERT_EQ(run("cd '" + dir.path().string() + "' && " + env +
                  "'" KORVA_ASM_PATH "' -Werror --hex --chip " + chip + " count.as > out.txt 2>&1"),
              0)
        << testing::read_bytes(dir.path() / "out.txt");

    testing::write_bytes(dir.path() / "run.stc",
                         "break c 1000\nrun\nreg(" + std::to_string(cell) + ")\nquit\n");
    run("cd '" + dir.path().string() + "' && timeout 60 gpsim -i -p p" +
        std::string(gpsim_processor(chip)->gpsim_name) + " count.hex < run.stc > gpsim.txt 2>&1");
    const std::string transcript = testing::read_bytes(dir.path() / "gpsim.txt");
    // An increment every three cycles (INCF, then GOTO's two): those of
    // cycles 0, 3, ... 999 are done by the break at cycle 1000.
    char expected[32];
    std::snprintf(expected, sizeof expected, "] = $%02x", (999 / 3 + 1) % 256);
    EXPECT_NE(transcript.find(expected), std::string::npos) << transcript;
  }
}

}  // namespace
}  // namespace korva
