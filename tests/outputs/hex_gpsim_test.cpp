// The HEX file in a real simulator: gpsim loads the HEX of a PIC16F877A
// program with its configuration word, reports the watchdog setting that
// the word asks for, and runs the program. Skipped where gpsim is missing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "test_support.h"

namespace korva {
namespace {

using testing::read_bytes;
using testing::write_bytes;

bool gpsim_installed() {
  return std::system("command -v gpsim >/dev/null 2>&1") == 0;
}

// Runs `command` through the shell; its standard output and error.
std::string output_of(const std::string& command) {
  std::string output;
  std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char chunk[4096];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, count);
  ::pclose(pipe);
  return output;
}

// Sets PORTB's pins as outputs (bank 1), then counts on PORTB for ever.
std::string counter_program(const char* configuration_word) {
  return std::string(
             "STATUS  EQU 3\r\n"
             "PORTB   EQU 6\r\n"
             "TRISB   EQU 86h\r\n"
             "START:: (STATUS)_BIT5<1 ; bank 1\r\n"
             "        00>(TRISB)      ; PORTB all outputs\r\n"
             "        (STATUS)_BIT5<0 ; bank 0\r\n"
             "COUNT:: (PORTB)+1\r\n"
             "        ===->COUNT\r\n"
             "        ORG $2007\r\n"
             "        \\") +
         configuration_word + "\r\n";
}

TEST(Gpsim, LoadsTheHexWithItsConfigurationWordAndRunsIt) {
  if (!gpsim_installed()) {
    GTEST_SKIP() << "gpsim is not installed (scripts/deps.sh installs it): the HEX file is not "
                    "checked in a simulator";
  }
  const struct {
    const char* word;
    const char* watchdog;  // what gpsim reports for the word
  } cases[] = {
      {"3F39", "WDTEN=0 - WDT is disabled"},  // XT oscillator, watchdog off
      {"3F3D", "WDTEN=1 - WDT is enabled"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir;
    write_bytes(dir.path() / "count.as", counter_program(c.word));
    const std::string assemble =
        "cd '" + dir.path().string() + "' && '" KORVA_ASM_PATH "' -w --hex count.as";
    ASSERT_EQ(std::system(assemble.c_str()), 0) << c.word;
    // Only the program and the configuration word: no zero fill in between.
    const std::string hex = read_bytes(dir.path() / "count.hex");
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\n'), 3) << hex;

    write_bytes(dir.path() / "run.stc",
                "p16f877a.CONFIG\n"
                "break c 1000\n"
                "run\n"
                "trisb\n"
                "portb\n"
                "quit\n");
    const std::string output = output_of(
        "cd '" + dir.path().string() + "' && timeout 60 gpsim -i -p p16f877a count.hex < run.stc");
    EXPECT_NE(output.find(c.watchdog), std::string::npos) << output;
    EXPECT_NE(output.find("cycle break"), std::string::npos) << output;
    EXPECT_NE(output.find("trisb = 0x0"), std::string::npos) << output;
    // Three one-cycle instructions, then the count: an increment every
    // three cycles (INCF, then GOTO's two), the first at cycle 3. By the
    // break at cycle 1000 the increments at cycles 3, 6, ... 999 are done.
    const int increments = (999 - 3) / 3 + 1;
    char expected[32];
    std::snprintf(expected, sizeof expected, "portb = 0x%x", increments % 256);
    EXPECT_NE(output.find(expected), std::string::npos) << output;
    std::cout << "[ gpsim    ] " << c.word << ": " << c.watchdog << ", " << expected << "\n";
  }
}

// A program of the enhanced core's instructions: shifts, FSR moves with
// every kind of operand, ADDFSR, ADDWFC and SUBWFB through the carry, a BRW
// table, MOVLB, a program-memory read through FSR1, and BRA. Its results
// stand in common RAM (70-79), seen from every bank.
constexpr const char* kEnhancedProgram =
    "A       EQU 70h\r\n"
    "START:: 12h>W\r\n"
    "        W>(A)\r\n"
    "        <<(A)<<0         ; LSLF: 24\r\n"
    "        >>(A)>>0->W      ; LSRF to W: 12\r\n"
    "        W>(A+1)\r\n"
    "        80h>W\r\n"
    "        W>(A+2)\r\n"
    "        >>(A+2)>>S       ; ASRF: C0\r\n"
    "        20h>W\r\n"
    "        W>(FSR0L)\r\n"
    "        00>(FSR0H)\r\n"
    "        55h>W\r\n"
    "        W>FSR0++         ; 20: 55\r\n"
    "        66h>W\r\n"
    "        W>FSR0++         ; 21: 66\r\n"
    "        --FSR0>W         ; FSR0 21, W 66\r\n"
    "        W>(A+3)\r\n"
    "        -1[FSR0]>W       ; W 55\r\n"
    "        W>(A+4)\r\n"
    "        FSR0+=5          ; FSR0 26\r\n"
    "        0FFh>W\r\n"
    "        W>(A+5)\r\n"
    "        W+(A+5)>F        ; FE, carry\r\n"
    "        00>(A+6)\r\n"
    "        0>W\r\n"
    "        W+(A+6)+(C)>F    ; 01, no carry\r\n"
    "        10h>W\r\n"
    "        W>(A+9)\r\n"
    "        1>W\r\n"
    "        (A+9)-W-(B)>F    ; 10-1-1: 0E\r\n"
    "        2>W\r\n"
    "        TABLE\r\n"
    "        W>(A+7)          ; the third entry: 1E\r\n"
    "        81h>W\r\n"
    "        W>(FSR1H)\r\n"
    "        00>(FSR1L)\r\n"
    "        0[FSR1]>W        ; the low byte of the word at 100\r\n"
    "        W>(A+8)\r\n"
    "        1>BSR\r\n"
    "FOREVER:: -->FOREVER\r\n"
    "SUB TABLE\r\n"
    "        -->W\r\n"
    "        RET 10>W\r\n"
    "        RET 20>W\r\n"
    "        RET 30>W\r\n"
    "END SUB\r\n"
    "        ORG 100h\r\n"
    "        RET 77h>W\r\n";

// The bytes of one row ("0070:  24 12 ...") of gpsim's register dump.
std::string dump_row(const std::string& output, const std::string& row) {
  const std::size_t at = output.find("\n" + row + ":");
  if (at == std::string::npos) return {};
  const std::size_t end = output.find('\n', at + 1);
  return output.substr(at + row.size() + 4, std::min<std::size_t>(47, end - at));
}

TEST(Gpsim, RunsTheEnhancedCoresInstructions) {
  if (!gpsim_installed()) GTEST_SKIP() << "gpsim is not installed: not run in a simulator";
  // The enhanced parts gpsim 0.31 simulates.
  for (const char* chip : {"16F1823", "12F1822", "16F1825", "16F1788"}) {
    testing::ScratchDir dir(chip);
    write_bytes(dir.path() / "e.as", kEnhancedProgram);
    const std::string in_dir = "cd '" + dir.path().string() + "' && '" KORVA_ASM_PATH "'";
    ASSERT_EQ(std::system((in_dir + " --chip " + chip + " --config WDTE=OFF > cfg.as").c_str()), 0);
    ASSERT_EQ(std::system((in_dir + " -w --hex --chip " + chip + " e.as cfg.as").c_str()), 0)
        << chip;
    write_bytes(dir.path() / "run.stc", "break c 400\nrun\ndump r\nquit\n");
    std::string processor = std::string("p") + chip;
    std::transform(processor.begin(), processor.end(), processor.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string output =
        output_of("cd '" + dir.path().string() + "' && timeout 60 gpsim -i -p " + processor +
                  " e.hex < run.stc");
    EXPECT_EQ(dump_row(output, "0070"), "24 12 c0 66 55 fe 01 1e 77 0e 00 00 00 00 00 00")
        << chip << "\n"
        << output;
    // FSR0L 26 and BSR 1 among the core registers.
    const std::string core = dump_row(output, "0000");
    EXPECT_EQ(core.substr(12, 2), "26") << chip << ": " << core;
    EXPECT_EQ(core.substr(24, 2), "01") << chip << ": " << core;
    std::cout << "[ gpsim    ] " << chip << ": enhanced instructions give their results\n";
  }
}

}  // namespace
}  // namespace korva
