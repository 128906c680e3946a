#include "cli/process_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// glibc on Linux without a sanitizer's allocator is where the heap must be
// prepared; elsewhere the call may leave it alone.
constexpr bool kHeapMustBePrepared =
#if defined(__GLIBC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && \
    !defined(__SANITIZE_THREAD__)
    true;
#else
    false;
#endif

// The kernel's flags of the mapping that holds the address ("rd wr mr ... hg"
// when large pages are advised), or empty when no mapping holds it.
std::string vm_flags_of(const void* address) {
  const auto where = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    unsigned long begin = 0, end = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &begin, &end) == 2) {
      inside = begin <= where && where < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line.substr(8) + " ";
    }
  }
  return {};
}

TEST(ProcessHeap, BuffersOfAnAssemblyComeFromMemoryAdvisedForLargePages) {
  const bool prepared = korva::prepare_process_heap();
  if (!kHeapMustBePrepared && !prepared) GTEST_SKIP() << "this allocator keeps its own ways";
  ASSERT_TRUE(prepared);
  // Buffers the C library would otherwise map one by one (above 128 KiB),
  // up to the largest kept on the heap.
  for (const std::size_t size : {std::size_t{1} << 20, std::size_t{24} << 20}) {
    SCOPED_TRACE(size);
    std::vector<char> buffer(size);
    for (const char* at : {buffer.data(), buffer.data() + size - 1}) {
      EXPECT_NE(vm_flags_of(at).find(" hg "), std::string::npos) << vm_flags_of(at);
    }
  }
}

}  // namespace
