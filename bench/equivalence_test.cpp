// The generated program in the KORVA notation and in Microchip mnemonics is
// the same program: KORVA's image (.bin) holds the same program words as the
// Intel HEX file that gputils' gpasm makes of the mnemonic program. Runs
// where gpasm is installed and is skipped elsewhere. The projects stay below
// 0x800 words: beyond that, jump and call targets alter the KORVA opcode
// (with a warning), while gpasm keeps the low 11 bits.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "bench/bench_projects.h"
#include "project/assembler.h"

namespace korva::bench {
namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool gpasm_installed() {
  return run("gpasm --version > /dev/null 2>&1") == 0;
}

std::optional<std::uint32_t> hex_field(const std::string& line, std::size_t at, std::size_t size) {
  if (at + size > line.size()) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = at; i < at + size; ++i) {
    const char c = line[i];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

// The bytes of an Intel HEX file (data and extended linear address records)
// by byte address, checksums checked; none when the file is malformed.
std::optional<std::map<std::uint32_t, std::uint8_t>> read_intel_hex(const std::string& text) {
  std::map<std::uint32_t, std::uint8_t> bytes;
  std::uint32_t base = 0;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const auto count = hex_field(line, 1, 2);
    const auto address = hex_field(line, 3, 4);
    const auto type = hex_field(line, 7, 2);
    if (line[0] != ':' || !count || !address || !type || line.size() != 11 + 2 * *count) {
      return std::nullopt;
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) sum += *hex_field(line, i, 2);
    if (sum % 256 != 0) return std::nullopt;
    if (*type == 4) base = *hex_field(line, 9, 4) << 16;
    if (*type != 0) continue;
    for (std::uint32_t i = 0; i < *count; ++i) {
      bytes[base + *address + i] = static_cast<std::uint8_t>(*hex_field(line, 9 + 2 * i, 2));
    }
  }
  return bytes;
}

// The image as KORVA writes it: every address from 0 to the last one, low
// byte first, and zero where nothing was placed (the fill of an ORG).
std::string dense_image(const std::map<std::uint32_t, std::uint8_t>& bytes) {
  std::string image(bytes.empty() ? 0 : bytes.rbegin()->first + 1, '\0');
  for (const auto& [address, byte] : bytes) image[address] = static_cast<char>(byte);
  return image;
}

// The word at byte `at` of an image as four hexadecimal digits, "none" past
// its end. CLRW ignores its low seven bits: KORVA writes 0100, gpasm 0103,
// and both read here as 0100.
std::string word_at(const std::string& image, std::size_t at) {
  if (at + 1 >= image.size()) return "none";
  unsigned word = static_cast<unsigned>(static_cast<std::uint8_t>(image[at + 1])) << 8 |
                  static_cast<std::uint8_t>(image[at]);
  if ((word & 0x3F80) == 0x0100) word = 0x0100;
  char text[16];
  std::snprintf(text, sizeof text, "%04X", word);
  return text;
}

// The first word at which the two images differ, as text, or "" when none.
std::string first_difference(const std::string& korva, const std::string& gpasm) {
  for (std::size_t at = 0; at < std::max(korva.size(), gpasm.size()); at += 2) {
    if (word_at(korva, at) != word_at(gpasm, at)) {
      char address[24];
      std::snprintf(address, sizeof address, "%04zX", at / 2);
      return std::string("address ") + address + ": KORVA " + word_at(korva, at) + ", gpasm " +
             word_at(gpasm, at);
    }
  }
  return "";
}

class MnemonicEquivalence : public ::testing::TestWithParam<std::size_t> {
 protected:
  void SetUp() override {
    if (!gpasm_installed()) GTEST_SKIP() << "gpasm (gputils) is not installed: not compared";
    dir_ = std::filesystem::temp_directory_path() /
           ("korva-equivalence-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam()));
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

  std::filesystem::path dir_;
};

TEST_P(MnemonicEquivalence, SameProgramWords) {
  const std::size_t lines = GetParam();
  const GeneratedProject project = write_project(dir_ / "korva", lines, /*data_bytes=*/false);
  BenchProject bench;
  bench.files = project;
  ProjectState state = project_state(bench);
  SilentHost host;
  Assembler assembler;
  const AssemblyResult result = assembler.assemble_project(state, host);
  ASSERT_EQ(result.outcome, AssemblyOutcome::completed) << host.message();
  ASSERT_EQ(result.error_count, 0u);
  const std::string korva_image = read_file(project.output_base.string() + ".bin");
  ASSERT_GT(korva_image.size(), 2000u);
  ASSERT_LT(korva_image.size(), 2u * 0x800);

  const std::filesystem::path source =
      write_mpasm_program(dir_ / "mpasm", lines, /*data_bytes=*/false);
  ASSERT_EQ(run("cd '" + source.parent_path().string() + "' && gpasm -q bench.asm"), 0)
      << "gpasm did not assemble " << source;
  const auto gpasm_bytes = read_intel_hex(read_file(source.parent_path() / "bench.hex"));
  ASSERT_TRUE(gpasm_bytes.has_value()) << "bench.hex is not Intel HEX";
  const std::string gpasm_image = dense_image(*gpasm_bytes);

  EXPECT_EQ(first_difference(korva_image, gpasm_image), "");
  EXPECT_EQ(korva_image.size(), gpasm_image.size());
}

// The smallest project the generator writes, and a longer one of different
// statements, both within the first code page.
INSTANTIATE_TEST_SUITE_P(GeneratedProjects, MnemonicEquivalence, ::testing::Values(100, 2400));

}  // namespace
}  // namespace korva::bench
