// The output files of one assembly: which are written, their names after the
// output base, and the all-or-nothing set that puts them in place.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "outputs/debug_file.h"
#include "outputs/extra_outputs.h"
#include "system/file_io.h"
#include "system/output_set.h"
#include "system/system_path.h"

namespace korva {

// Every output, in the order in which the set puts them in place.
enum class OutputFile { object, listing, image, intel_hex, debug_file, map };
inline constexpr std::size_t kOutputFileCount = 6;

// BASE plus the output's extension.
SystemPath output_name(const SystemPath& base, OutputFile which);

class OutputFiles {
 public:
  // A relative `base` is taken from `directory`, the current one when empty.
  OutputFiles(const SystemPath& base, const SystemPath& directory, const ExtraOutputs& extra,
              FileWriteOptions options);

  // The file of an output; null for an extra output that was not asked for.
  AtomicFile* file(OutputFile which);
  OutputSet& set() { return set_; }

 private:
  std::array<std::optional<std::size_t>, kOutputFileCount> index_{};
  OutputSet set_;
};

// The stamp of a debug file named `file_name`, written now by this version.
DebugFileStamp debug_file_stamp(std::string file_name);

// The name to store for `source` (an absolute path) in a .cod file in
// `cod_folder` (absolute): relative to that folder when the relative name
// fits the file's 63 characters, else the absolute name. Bytes as the system
// spells the path.
std::string debug_source_name(const std::filesystem::path& source,
                              const std::filesystem::path& cod_folder);

}  // namespace korva
