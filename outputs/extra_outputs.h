// The outputs an assembly makes besides the .obj, the listing and the image.
#pragma once

#include <optional>

#include "outputs/gpsim_processors.h"

namespace korva {

struct ExtraOutputs {
  bool intel_hex = false;  // BASE.hex, the program in Intel HEX
  // BASE.cod, the debug file for gpsim, for this processor.
  std::optional<GpsimProcessor> debug_file;
  bool map = false;  // BASE.map, the symbols and the memory used
};

}  // namespace korva
