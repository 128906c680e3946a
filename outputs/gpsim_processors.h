// The processors the gpsim simulator offers for the chips KORVA assembles
// for, and the program memory of each chip.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace korva {

struct GpsimProcessor {
  std::string_view chip;            // the chip's name, as "16F877A"
  std::string_view gpsim_name;      // the processor name a debug file gives gpsim
  std::uint32_t program_words = 0;  // size of the program memory, in words
};

// The processor for a chip named like "16F877A", "PIC16F877A" or
// "pic16f877a"; none for a chip that gpsim does not simulate. The list
// holds the mid-range chips (14-bit words) that gpsim 0.31 offers.
std::optional<GpsimProcessor> gpsim_processor(std::string_view chip);

// Every chip that has a processor, in the order of the list above.
std::span<const GpsimProcessor> gpsim_processors();

}  // namespace korva
