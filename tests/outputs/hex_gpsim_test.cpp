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

}  // namespace
}  // namespace korva
