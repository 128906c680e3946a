// The debug file (.cod) that gpsim loads for source-level simulation: the
// processor, the program words, the source file and line of every word, and
// the symbols. It is the block format that gputils' assembler writes and
// gputils' gpvc prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outputs/gpsim_processors.h"
#include "outputs/program_facts.h"

namespace korva {

// What the directory block says about the file itself.
struct DebugFileStamp {
  std::string file_name;  // the .cod file's own name, without its folder
  std::string version;    // of the assembler that wrote it
  int year = 2000;        // local date and time of writing
  int month = 1;          // 1 to 12
  int day = 1;
  int hour = 0;
  int minute = 0;
};

// The longest source name the file holds (its slots are 64 bytes).
inline constexpr std::size_t kMaxDebugFileName = 63;

struct DebugFile {
  std::string bytes;
  // Program words at or beyond the chip's program memory, which the file
  // leaves out (gpsim would refuse them).
  std::uint32_t words_left_out = 0;
  // Of an enhanced chip: the words from its configuration space (8000) on,
  // ID, configuration and EEPROM, beyond what the file's directory indexes.
  std::uint32_t special_words_left_out = 0;
  // Source names that do not fit the file's 63 characters and were cut.
  std::vector<std::string> names_cut;
};

// `source_names` holds, for each of facts.files, the name under which gpsim
// finds that file: relative names are taken from the folder of the .cod.
DebugFile debug_file(const GpsimProcessor& processor, const ProgramFacts& facts,
                     const std::vector<std::string>& source_names, const DebugFileStamp& stamp);

}  // namespace korva
