// Reads arbitrary bytes as Intel HEX (and as a .bin image): every input is
// read or refused with a message, never more. An image that is read is
// disassembled, and the disassembly must prove itself: a program that the
// reader accepts always comes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "disasm/disassembler.h"
#include "disasm/memory_image.h"

namespace {

// Small images only, so that each run stays quick.
constexpr std::size_t kLargestDisassembled = 16;

void check(const korva::Expected<korva::ImageContents>& read) {
  if (!read) {
    if (read.message().empty()) std::abort();
    return;
  }
  const std::size_t size = read->words.size() + read->lone_bytes.size();
  if (size > kLargestDisassembled) return;
  const korva::Expected<korva::Disassembly> made = korva::disassemble(*read, {});
  if (!made ||
      made->counts.program_words + made->counts.other_words + made->counts.data_bytes != size) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check(korva::read_intel_hex(bytes, korva::MemoryMap{}));
  check(korva::read_binary_image(bytes, korva::MemoryMap{}));
  return 0;
}
