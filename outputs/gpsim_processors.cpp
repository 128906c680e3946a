#include "outputs/gpsim_processors.h"

#include <array>

#include "support/text.h"

namespace korva {

namespace {

// Mid-range chips (14-bit words) that gpsim simulates. gpsim
// has no 16F84A of its own; its 16F84 is the same part at a lower clock.
constexpr std::array kProcessors{
    GpsimProcessor{"12F629", "12f629", 1024},
    GpsimProcessor{"12F675", "12f675", 1024},
    GpsimProcessor{"12F683", "12f683", 2048},
    GpsimProcessor{"16F630", "16f630", 1024},
    GpsimProcessor{"16F676", "16f676", 1024},
    GpsimProcessor{"16F684", "16f684", 2048},
    GpsimProcessor{"16F627", "16f627", 1024},
    GpsimProcessor{"16F628", "16f628", 2048},
    GpsimProcessor{"16F627A", "16f627a", 1024},
    GpsimProcessor{"16F628A", "16f628a", 2048},
    GpsimProcessor{"16F648A", "16f648a", 4096},
    GpsimProcessor{"16F84", "16f84", 1024},
    GpsimProcessor{"16F84A", "16f84", 1024},
    GpsimProcessor{"16F87", "16f87", 4096},
    GpsimProcessor{"16F88", "16f88", 4096},
    GpsimProcessor{"16F818", "16f818", 1024},
    GpsimProcessor{"16F819", "16f819", 2048},
    GpsimProcessor{"16F873", "16f873", 4096},
    GpsimProcessor{"16F874", "16f874", 4096},
    GpsimProcessor{"16F876", "16f876", 8192},
    GpsimProcessor{"16F877", "16f877", 8192},
    GpsimProcessor{"16F873A", "16f873a", 4096},
    GpsimProcessor{"16F874A", "16f874a", 4096},
    GpsimProcessor{"16F876A", "16f876a", 8192},
    GpsimProcessor{"16F877A", "16f877a", 8192},
    GpsimProcessor{"16F882", "16f882", 2048},
    GpsimProcessor{"16F883", "16f883", 4096},
    GpsimProcessor{"16F884", "16f884", 4096},
    GpsimProcessor{"16F886", "16f886", 8192},
    GpsimProcessor{"16F887", "16f887", 8192},
    GpsimProcessor{"16F631", "16f631", 1024},
    GpsimProcessor{"16F677", "16f677", 2048},
    GpsimProcessor{"16F685", "16f685", 4096},
    GpsimProcessor{"16F687", "16f687", 2048},
    GpsimProcessor{"16F689", "16f689", 4096},
    GpsimProcessor{"16F690", "16f690", 4096},
    GpsimProcessor{"16F913", "16f913", 4096},
    GpsimProcessor{"16F914", "16f914", 4096},
    GpsimProcessor{"16F916", "16f916", 8192},
    GpsimProcessor{"16F917", "16f917", 8192},
    // The older and smaller parts gpsim also simulates.
    GpsimProcessor{"10F320", "10f320", 256},
    GpsimProcessor{"10F322", "10f322", 512},
    GpsimProcessor{"10LF320", "10lf320", 256},
    GpsimProcessor{"10LF322", "10lf322", 512},
    GpsimProcessor{"16C61", "16c61", 1024},
    GpsimProcessor{"16C62", "16c62", 2048},
    GpsimProcessor{"16C62A", "16c62a", 2048},
    GpsimProcessor{"16C63", "16c63", 4096},
    GpsimProcessor{"16C64", "16c64", 2048},
    GpsimProcessor{"16C65", "16c65", 4096},
    GpsimProcessor{"16C65A", "16c65a", 4096},
    GpsimProcessor{"16C71", "16c71", 1024},
    GpsimProcessor{"16C712", "16c712", 1024},
    GpsimProcessor{"16C716", "16c716", 2048},
    GpsimProcessor{"16C72", "16c72", 2048},
    GpsimProcessor{"16C73", "16c73", 4096},
    GpsimProcessor{"16C74", "16c74", 4096},
    GpsimProcessor{"16C84", "16c84", 1024},
    GpsimProcessor{"16CR62", "16cr62", 2048},
    GpsimProcessor{"16CR83", "16cr83", 512},
    GpsimProcessor{"16CR84", "16cr84", 1024},
    GpsimProcessor{"16F716", "16f716", 2048},
    GpsimProcessor{"16F73", "16f73", 4096},
    GpsimProcessor{"16F74", "16f74", 4096},
    GpsimProcessor{"16F83", "16f83", 512},
    GpsimProcessor{"16F871", "16f871", 2048},
    // The enhanced mid-range parts gpsim simulates.
    GpsimProcessor{"12F1822", "12f1822", 2048},
    GpsimProcessor{"12F1840", "12f1840", 4096},
    GpsimProcessor{"12LF1822", "12lf1822", 2048},
    GpsimProcessor{"12LF1840", "12lf1840", 4096},
    GpsimProcessor{"16F1503", "16f1503", 2048},
    GpsimProcessor{"16F1705", "16f1705", 8192},
    GpsimProcessor{"16F1709", "16f1709", 8192},
    GpsimProcessor{"16F1788", "16f1788", 16384},
    GpsimProcessor{"16F1823", "16f1823", 2048},
    GpsimProcessor{"16F1825", "16f1825", 8192},
    GpsimProcessor{"16LF1503", "16lf1503", 2048},
    GpsimProcessor{"16LF1705", "16lf1705", 8192},
    GpsimProcessor{"16LF1709", "16lf1709", 8192},
    GpsimProcessor{"16LF1788", "16lf1788", 16384},
    GpsimProcessor{"16LF1823", "16lf1823", 2048},
    GpsimProcessor{"16LF1825", "16lf1825", 8192},
};

}  // namespace

std::optional<GpsimProcessor> gpsim_processor(std::string_view chip) {
  if (chip.size() > 3 && same_nocase(chip.substr(0, 3), "PIC")) chip.remove_prefix(3);
  for (const GpsimProcessor& processor : kProcessors) {
    if (same_nocase(chip, processor.chip)) return processor;
  }
  return std::nullopt;
}

std::span<const GpsimProcessor> gpsim_processors() {
  return kProcessors;
}

}  // namespace korva
