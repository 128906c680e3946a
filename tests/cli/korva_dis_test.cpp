// korva-dis as a program: programs in standard mnemonics built by gpasm
// come back through it and korva-asm to the same words, and bad input is
// refused with a message naming the line, exit status 2 and no file
// written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "disassembler_support.h"

namespace korva {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::write_bytes;

int run_in(const testing::ScratchDir& dir, const std::string& command) {
  const std::string line =
      "cd '" + dir.path().string() + "' && " + command + " >stdout.txt 2>stderr.txt";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string korva_dis() {
  return std::string("'") + KORVA_DIS_PATH + "'";
}

std::string korva_asm() {
  return std::string("'") + KORVA_ASM_PATH + "'";
}

bool gpasm_found() {
  return std::system("gpasm --version >/dev/null 2>&1") == 0;
}

// The gpasm programs of tests/gpasm/, each for the chip its list line names.
TEST(KorvaDis, GpasmProgramsRoundTrip) {
  if (!gpasm_found()) GTEST_SKIP() << "gpasm (Debian gputils) is not installed";
  const struct {
    const char* file;
    const char* chip;
  } programs[] = {
      {"every_instruction_16f877a", "16F877A"},
      {"eeprom_16f84a", "16F84A"},
      {"timer_16f628a", "16F628A"},
      {"adc_12f675", "12F675"},
      {"two_configs_16f88", "16F88"},
      {"every_instruction_16f1827", "16F1827"},
  };
  std::size_t words = 0;
  std::size_t statements = 0;
  for (const auto& program : programs) {
    testing::ScratchDir dir(program.file);
    const fs::path source =
        fs::path(KORVA_TEST_DATA) / "gpasm" / (std::string(program.file) + ".asm");
    std::string chip_lower = program.chip;
    for (char& c : chip_lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_EQ(run_in(dir, "gpasm -p" + chip_lower + " -o built.hex '" + source.string() + "'"), 0)
        << read_bytes(dir.path() / "stdout.txt");
    const std::string hex = read_bytes(dir.path() / "built.hex");
    const DisassemblyOptions options = testing::options_for_chip(program.chip);
    const Expected<ImageContents> original = read_intel_hex(hex, options.chip->memory);
    ASSERT_TRUE(original.has_value()) << original.message();

    // Through the programs, as a user runs them.
    ASSERT_EQ(run_in(dir, korva_dis() + " --chip " + program.chip + " -o back built.hex"), 0)
        << read_bytes(dir.path() / "stderr.txt");
    ASSERT_EQ(run_in(dir, korva_asm() + " --hex --chip " + program.chip + " back.amk"), 0)
        << read_bytes(dir.path() / "stderr.txt");
    const Expected<ImageContents> back =
        read_intel_hex(read_bytes(dir.path() / "back.hex"), options.chip->memory);
    ASSERT_TRUE(back.has_value()) << back.message();
    EXPECT_EQ(*back, *original) << program.file;

    // The share of statements: every word that has a form is one.
    const Expected<Disassembly> made = disassemble(*original, options);
    ASSERT_TRUE(made.has_value());
    std::size_t without_form = 0;
    for (const auto& [address, word] : original->words) {
      const CoreFamily core = options.chip->facts->core;
      if (options.chip->memory.program.contains(address) && testing::has_no_form(word, core)) {
        ++without_form;
      }
    }
    EXPECT_EQ(made->counts.raw_words, without_form) << program.file;
    EXPECT_GT(made->counts.other_words, 0u) << program.file;
    EXPECT_EQ(made->counts.assemblies, 1u) << program.file;
    words += made->counts.program_words;
    statements += made->counts.statements;
  }
  std::cout << "[ figures  ] gpasm programs: " << words << " program words, " << statements
            << " statements\n";
}

// Broken input: exit status 2, a message naming the file and the line, and
// the old outputs left as they were.
TEST(KorvaDis, RefusesBadInputWithoutWriting) {
  const struct {
    const char* name;
    const char* bytes;
    const char* message;
  } cases[] = {
      {"sum.hex", ":020000000530C7\r\n:00000001FF\r\n", "sum.hex: line 1: wrong checksum"},
      {"text.hex", "hello\n", "text.hex: line 1: not an Intel HEX record"},
      {"big.hex", ":020000040001F9\r\n:020000000530C9\r\n:00000001FF\r\n",
       "lies beyond the memory"},
      {"high.hex", ":020000000530C9\r\n:0100030001FB\r\n:00000001FF\r\n",
       "high.hex: line 2: byte address 0003 holds half a word: byte 0002 is missing"},
  };
  for (const auto& c : cases) {
    testing::ScratchDir dir(c.name);
    write_bytes(dir.path() / c.name, c.bytes);
    write_bytes(dir.path() / "out.as", "old");
    EXPECT_EQ(run_in(dir, korva_dis() + " -o out " + c.name), 2) << c.name;
    const std::string error = read_bytes(dir.path() / "stderr.txt");
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(read_bytes(dir.path() / "out.as"), "old");
    EXPECT_FALSE(fs::exists(dir.path() / "out.amk"));
  }
}

TEST(KorvaDis, UsageAndChips) {
  testing::ScratchDir dir;
  write_bytes(dir.path() / "p.hex", ":020000000530C9\r\n:00000001FF\r\n");
  EXPECT_EQ(run_in(dir, korva_dis()), 64);
  EXPECT_EQ(run_in(dir, korva_dis() + " --bogus p.hex"), 64);
  EXPECT_EQ(run_in(dir, korva_dis() + " --chip 99X1 p.hex"), 64);
  EXPECT_FALSE(fs::exists(dir.path() / "p.as"));
  EXPECT_EQ(run_in(dir, korva_dis() + " --chip pic16f84a p.hex"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "p.amk"), "p.as\r\n");
  EXPECT_NE(read_bytes(dir.path() / "p.as").find("$05>W"), std::string::npos);
  // A .bin file written by korva-asm comes back to the same .bin.
  ASSERT_EQ(run_in(dir, korva_asm() + " --chip 16F84A -o first p.amk"), 0);
  ASSERT_EQ(run_in(dir, korva_dis() + " -o second first.bin"), 0);
  ASSERT_EQ(run_in(dir, korva_asm() + " second.amk"), 0);
  EXPECT_EQ(read_bytes(dir.path() / "second.bin"), read_bytes(dir.path() / "first.bin"));
}

}  // namespace
}  // namespace korva
