#include "cli/process_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
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

// A field of the kernel's account of the mapping that holds the address
// ("VmFlags", "AnonHugePages" ...): the text after its name, or nothing when
// no mapping holds the address or the mapping has no such field.
std::optional<std::string> smaps_field(const void* address, const std::string& field) {
  const auto where = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    unsigned long begin = 0, end = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &begin, &end) == 2) {
      inside = begin <= where && where < end;
    } else if (inside && line.rfind(field + ":", 0) == 0) {
      return line.substr(field.size() + 1);
    }
  }
  return std::nullopt;
}

// The kernel's flags of the mapping that holds the address ("rd wr mr ... hg"
// when large pages are advised), or empty when no mapping holds it.
std::string vm_flags_of(const void* address) {
  const std::optional<std::string> flags = smaps_field(address, "VmFlags");
  return flags ? *flags + " " : std::string();
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

// A size in the kernel's account of the mapping that holds the address, in
// KiB, or -1 when there is none.
long smaps_kib(const void* address, const std::string& field) {
  const std::optional<std::string> size = smaps_field(address, field);
  return size ? std::stol(*size) : -1;
}

// How often the kernel has had to give a fault 4 KiB pages instead of a
// large page it had none of.
long large_page_fallbacks() {
  std::ifstream vmstat("/proc/vmstat");
  std::string name;
  long value = 0;
  while (vmstat >> name >> value) {
    if (name == "thp_fault_fallback") return value;
  }
  return 0;
}

bool large_pages_on_advice() {
  std::ifstream enabled("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(enabled, modes);
  return modes.find("[always]") != std::string::npos ||
         modes.find("[madvise]") != std::string::npos;
}

// The part of the mapping that holds the address which is in 4 KiB pages.
long small_page_kib(const void* address) {
  return smaps_kib(address, "Rss") - smaps_kib(address, "AnonHugePages");
}

// A 2 MiB block of the heap that the preparation (or the C library's
// bookkeeping) touched before the advice holds 4 KiB pages for good, and so
// would the part of the heap below its first 2 MiB boundary, if buffers
// started there: touching a buffer of an assembly then faults in up to 4 MiB
// a page at a time.
TEST(ProcessHeap, ABufferOfAnAssemblyIsLargePagesThroughout) {
  const bool prepared = korva::prepare_process_heap();
  if (!kHeapMustBePrepared && !prepared) GTEST_SKIP() << "this allocator keeps its own ways";
  ASSERT_TRUE(prepared);
  if (!large_pages_on_advice()) GTEST_SKIP() << "the kernel gives no large pages";
  constexpr std::size_t kSize = std::size_t{20} << 20;
  auto* const buffer = static_cast<char*>(std::malloc(kSize));
  ASSERT_NE(buffer, nullptr);
  const long small_before = small_page_kib(buffer);
  const long fallbacks_before = large_page_fallbacks();
  for (std::size_t at = 0; at < kSize; at += 4096) buffer[at] = 1;
  const long small_after = small_page_kib(buffer);
  const bool fell_back = large_page_fallbacks() != fallbacks_before;
  std::free(buffer);
  if (fell_back) GTEST_SKIP() << "the kernel had no large pages free";
  // A few pages for what reading the kernel's account allocates.
  EXPECT_LT(small_after - small_before, 256) << small_before << " KiB before";
}

}  // namespace
