// Helpers of the disassembler tests: assembling sources in memory to the
// words at their addresses, and reading a chip's definitions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "disasm/chip_description.h"
#include "disasm/disassembler.h"
#include "driver/assembly_service.h"
#include "test_support.h"

namespace korva::testing {

// The words and lone bytes that assembled sources put at their addresses,
// or none when the assembly stopped or a line has an error.
inline std::optional<ImageContents> assembled_words(
    const std::vector<std::pair<std::string, std::string>>& sources) {
  SourceSet set;
  for (const auto& [name, bytes] : sources) {
    if (!set.add(name, bytes)) return std::nullopt;
  }
  AssemblyService service;
  const ServiceResult result = service.assemble(std::move(set));
  if (result.outcome == ServiceOutcome::stopped || !result.error_entries.empty()) {
    return std::nullopt;
  }
  std::map<std::uint64_t, unsigned char> bytes;
  for (const PlacedBytes& run : result.image.placed()) {
    for (std::size_t at = 0; at < run.bytes.size(); ++at) {
      bytes[run.address + at] = static_cast<unsigned char>(run.bytes[at]);
    }
  }
  ImageContents contents;
  for (const auto& [address, low] : bytes) {
    if (address % 2 != 0) continue;
    const auto word = static_cast<std::uint32_t>(address / 2);
    const auto high = bytes.find(address + 1);
    if (high == bytes.end()) {
      contents.lone_bytes[word] = low;
    } else {
      contents.words[word] = static_cast<std::uint16_t>(high->second << 8 | low);
    }
  }
  return contents;
}

// The words of the instruction set that no statement form writes: literal
// operations with their don't-care bits set, CLRW and NOP other than 0100
// and 0000, and the words of bank 00 that are no instruction of the set
// (OPTION and TRIS included). Worked out from the instruction set, not from
// the table.
inline bool has_no_form(std::uint16_t word, CoreFamily family = CoreFamily::classic) {
  const unsigned high = word >> 8;
  if (family == CoreFamily::enhanced) {
    // Every word from 3000 on is an instruction with a form on this core;
    // below 0080 the control words, the FSR moves and MOVLB.
    if (high >= 0x30) return false;
    if (word < 0x0080) {
      const bool control = word == 0x0000 || word == 0x0001 || (word >= 0x0008 && word <= 0x000B) ||
                           word == 0x0063 || word == 0x0064;
      return !control && !(word >= 0x0010 && word <= 0x003F);
    }
  }
  if (high >= 0x30) {
    const bool canonical = high == 0x30 || high == 0x34 || high == 0x38 || high == 0x39 ||
                           high == 0x3A || high == 0x3C || high == 0x3E;
    return !canonical;
  }
  if (high == 0x01) return word != 0x0100 && word < 0x0180;
  if (high == 0x00) {
    if (word >= 0x0080) return false;
    return word != 0x0000 && word != 0x0008 && word != 0x0009 && word != 0x0063 && word != 0x0064;
  }
  return false;
}

// The options that put the named chip's definitions in front, as
// `korva-asm --chip NAME` does; no chip for an empty name.
inline DisassemblyOptions options_for_chip(std::string_view chip) {
  DisassemblyOptions options;
  if (chip.empty()) return options;
  const std::filesystem::path file =
      std::filesystem::path(KORVA_CHIP_SOURCES) / (std::string(chip) + ".inc");
  options.chip_file_name = file.filename().string();
  options.chip_definitions = read_bytes(file);
  Expected<ChipDescription> description = read_chip_description(chip, options.chip_definitions);
  if (description) {
    options.chip = std::move(*description);
  } else {
    ADD_FAILURE() << file << ": " << description.message();
  }
  return options;
}

// The disassembly's own words, assembled again behind the same chip.
inline std::optional<ImageContents> reassembled(const Disassembly& made,
                                                const DisassemblyOptions& options) {
  std::vector<std::pair<std::string, std::string>> sources;
  if (!options.chip_definitions.empty()) {
    sources.emplace_back(options.chip_file_name, options.chip_definitions);
  }
  sources.emplace_back(options.base_name + ".as", made.source);
  return assembled_words(sources);
}

}  // namespace korva::testing
