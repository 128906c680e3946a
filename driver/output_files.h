// The output files of one assembly: which are written, their names after the
// output base, and the all-or-nothing set that puts them in place.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "driver/extra_outputs.h"
#include "support/file_io.h"
#include "support/output_set.h"
#include "support/system_path.h"

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

}  // namespace korva
