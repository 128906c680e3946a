// The enhanced core's forms against gputils' gpasm: one program in the
// notation and its twin in standard mnemonics, covering every instruction
// the enhanced core adds over its operand ranges (every FSR mode, offsets
// -32 to 31, BRA to both ends of its reach, every bank and PCLATH value,
// both destinations), give the same word at every address on each part.
// Runs where gpasm is installed and is skipped elsewhere.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "project_assembly.h"

namespace korva {
namespace {

int run_in(const testing::ScratchDir& dir, const std::string& command) {
  const std::string line = "cd '" + dir.path().string() + "' && " + command + " >out.txt 2>&1";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool gpasm_found() {
  return std::system("gpasm --version >/dev/null 2>&1") == 0;
}

std::string hex2(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string{kDigits[(value >> 4) & 15], kDigits[value & 15]};
}

// A number for gpasm, whose default radix is hexadecimal.
std::string decimal(int value) {
  return (value < 0 ? "-." : ".") + std::to_string(value < 0 ? -value : value);
}

std::string joined(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces) text += piece;
  return text;
}

// The two programs, line by line.
struct Twins {
  std::string korva;
  std::string mpasm;
  void add(const std::string& statement, const std::string& mnemonic) {
    korva += "        " + statement + "\r\n";
    mpasm += "        " + mnemonic + "\n";
  }
  void label(const std::string& name) {
    korva += name + "::\r\n";
    mpasm += name + "\n";
  }
  void origin(std::uint32_t address) {
    korva += "        ORG $" + hex2(address >> 8) + hex2(address) + "\r\n";
    mpasm += "        org 0x" + hex2(address >> 8) + hex2(address) + "\n";
  }
};

Twins every_enhanced_form() {
  Twins twins;
  for (const char* file : {"00h", "20h", "7Fh"}) {
    const std::string f = joined({"(", file, ")"});
    const std::string g = joined({"0x", std::string_view(file).substr(0, 2)});
    for (const char* d : {"W", "F"}) {
      const std::string to = joined({">", d});
      const std::string comma = joined({",", d});
      twins.add(joined({"W+", f, "+(C)", to}), joined({"addwfc ", g, comma}));
      twins.add(joined({f, "-W-(B)", to}), joined({"subwfb ", g, comma}));
      twins.add(joined({"<<", f, "<<0-", to}), joined({"lslf ", g, comma}));
      twins.add(joined({">>", f, ">>0-", to}), joined({"lsrf ", g, comma}));
      twins.add(joined({">>", f, ">>S-", to}), joined({"asrf ", g, comma}));
    }
    twins.add(joined({"<<", f, "<<0"}), joined({"lslf ", g, ",F"}));
    twins.add(joined({">>", f, ">>0"}), joined({"lsrf ", g, ",F"}));
    twins.add(joined({">>", f, ">>S"}), joined({"asrf ", g, ",F"}));
  }
  for (int bank = 0; bank <= 31; ++bank) {
    twins.add(joined({std::to_string(bank), ">BSR"}), joined({"movlb ", decimal(bank)}));
  }
  for (int page = 0; page <= 127; ++page) {
    twins.add(joined({std::to_string(page), ">PCLATH"}), joined({"movlp ", decimal(page)}));
  }
  for (const char* fsr : {"FSR0", "FSR1"}) {
    const std::string n = fsr;
    twins.add(joined({"++", n, ">W"}), joined({"moviw ++", n}));
    twins.add(joined({"--", n, ">W"}), joined({"moviw --", n}));
    twins.add(joined({n, "++>W"}), joined({"moviw ", n, "++"}));
    twins.add(joined({n, "-->W"}), joined({"moviw ", n, "--"}));
    twins.add(joined({"W>++", n}), joined({"movwi ++", n}));
    twins.add(joined({"W>--", n}), joined({"movwi --", n}));
    twins.add(joined({"W>", n, "++"}), joined({"movwi ", n, "++"}));
    twins.add(joined({"W>", n, "--"}), joined({"movwi ", n, "--"}));
    for (int k = -32; k <= 31; ++k) {
      const std::string written = std::to_string(k);
      twins.add(joined({n, "+=", written}), joined({"addfsr ", n, ",", decimal(k)}));
      twins.add(joined({written, "[", n, "]>W"}), joined({"moviw ", decimal(k), "[", n, "]"}));
      twins.add(joined({written, "[", n, "]<W"}), joined({"movwi ", decimal(k), "[", n, "]"}));
    }
  }
  twins.add("-->W", "brw");
  twins.add("CALL W", "callw");
  twins.add("RESET CHIP", "reset");
  // The classic forms whose words the enhanced core decodes more strictly.
  twins.add("5>W", "movlw .5");
  twins.add("RET 5>W", "retlw .5");
  twins.add("10-W>W", "sublw .10");
  twins.add("W+255>W", "addlw .255");
  twins.add("NOP", "nop");
  // BRA to both ends of its reach: 256 words back and 255 ahead of the
  // word after it.
  twins.origin(0x0400);
  twins.label("BACK");
  twins.origin(0x04FF);
  twins.add("-->BACK", "bra BACK");
  twins.add("-->AHEAD", "bra AHEAD");
  twins.add("-->HERE", "bra HERE");
  twins.label("HERE");
  twins.origin(0x0501 + 255);
  twins.label("AHEAD");
  twins.add("NOP", "nop");
  return twins;
}

// Program words by address from an Intel HEX text (below the configuration
// space); none where a record is malformed.
std::optional<std::map<std::uint32_t, std::uint32_t>> program_words(const std::string& hex) {
  std::map<std::uint32_t, std::uint32_t> words;
  std::uint32_t upper = 0;
  std::size_t at = 0;
  const auto byte = [&](std::size_t place) {
    return static_cast<std::uint32_t>(std::stoul(hex.substr(place, 2), nullptr, 16));
  };
  while ((at = hex.find(':', at)) != std::string::npos) {
    if (at + 11 > hex.size()) return std::nullopt;
    const std::uint32_t count = byte(at + 1);
    const std::uint32_t address = byte(at + 3) << 8 | byte(at + 5);
    const std::uint32_t type = byte(at + 7);
    if (type == 4) upper = byte(at + 9) << 8 | byte(at + 11);
    if (type == 0 && upper == 0) {
      for (std::uint32_t i = 0; i + 1 < count; i += 2) {
        const std::size_t data = at + 9 + std::size_t{2} * i;
        words[(address + i) / 2] = byte(data) | byte(data + 2) << 8;
      }
    }
    at += 11 + 2 * count;
  }
  return words;
}

std::map<std::uint32_t, std::uint32_t> image_words(const std::string& image) {
  std::map<std::uint32_t, std::uint32_t> words;
  for (std::size_t at = 0; at + 1 < image.size(); at += 2) {
    const auto low = static_cast<unsigned char>(image[at]);
    const auto high = static_cast<unsigned char>(image[at + 1]);
    words[static_cast<std::uint32_t>(at / 2)] = low | high << 8;
  }
  return words;
}

TEST(EnhancedGpasm, EveryFormGivesGpasmsWordOnEachPart) {
  if (!gpasm_found()) GTEST_SKIP() << "gpasm (Debian gputils) is not installed";
  const Twins twins = every_enhanced_form();
  const struct {
    const char* part;  // gpasm's name
    const char* chip;  // KORVA's
  } parts[] = {{"12f1822", "12F1822"}, {"16f1827", "16F1827"}, {"16f1847", "16F1847"}};
  for (const auto& [part, chip] : parts) {
    // Behind the chip's own definitions, as korva-asm --chip puts them.
    testing::ScratchDir korva_dir(chip);
    const std::string definitions = testing::read_bytes(std::filesystem::path(KORVA_CHIP_SOURCES) /
                                                        (std::string(chip) + ".inc"));
    const testing::Assembly assembly = testing::assemble(
        korva_dir, {{std::string(chip) + ".inc", definitions}, {"p.as", twins.korva}});
    ASSERT_EQ(assembly.result.error_count, 0u) << chip;
    std::map<std::uint32_t, std::uint32_t> korva = image_words(assembly.image_file);
    testing::ScratchDir dir(part);
    testing::write_bytes(dir.path() / "twin.asm", std::string("        list p=") + part +
                                                      "\n        #include <p" + part + ".inc>\n" +
                                                      twins.mpasm + "        end\n");
    ASSERT_EQ(run_in(dir, std::string("gpasm -p") + part + " -o twin.hex twin.asm"), 0)
        << testing::read_bytes(dir.path() / "out.txt");
    const auto gpasm = program_words(testing::read_bytes(dir.path() / "twin.hex"));
    ASSERT_TRUE(gpasm.has_value()) << part;
    std::size_t compared = 0;
    for (const auto& [address, word] : *gpasm) {
      ASSERT_EQ(korva.count(address), 1u) << part << ": no word at " << address;
      EXPECT_EQ(korva[address], word) << part << ": address " << address;
      ++compared;
    }
    EXPECT_GT(compared, 600u) << part;
  }
}

}  // namespace
}  // namespace korva
