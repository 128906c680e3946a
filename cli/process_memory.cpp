#include "cli/process_memory.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#endif

namespace korva {

#if defined(__GLIBC__) && defined(__linux__)

namespace {

// The heap grows this much at a time; the parts never touched cost nothing.
constexpr int kHeapStep = 64 << 20;
// Buffers up to this size come from the heap instead of a mapping of their
// own (the most the C library accepts).
constexpr int kLargestOnHeap = 32 << 20;

std::uintptr_t page_down(std::uintptr_t address) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  return address & ~(page - 1);
}

}  // namespace

bool prepare_process_heap() {
  // Each page touched for the first time costs a fault; in a virtual machine
  // that can be 10 microseconds, and 50 000 lines touched about 2 000 pages.
  // A large page is one fault for 2 MiB.
  if (mallopt(M_ARENA_MAX, 1) != 1 || mallopt(M_MMAP_THRESHOLD, kLargestOnHeap) != 1 ||
      mallopt(M_TOP_PAD, kHeapStep) != 1 || mallopt(M_TRIM_THRESHOLD, 2 * kHeapStep) != 1) {
    return false;
  }
  // More than the heap has left, so that it grows now by this and a step.
  // Written once, so that the compiler keeps the allocation.
  const char* const before = static_cast<char*>(sbrk(0));
  auto* grow = static_cast<volatile char*>(std::malloc(kHeapStep / 4));
  if (grow == nullptr) return false;
  grow[0] = 0;
  char* const top = static_cast<char*>(sbrk(0));
  std::free(const_cast<char*>(grow));
  // The whole heap, from where it began: the free space at its old top runs
  // on into the new part, so the next buffer starts below the growth.
  const auto top_address = reinterpret_cast<std::uintptr_t>(top);
  const std::size_t heap_size = mallinfo2().arena;
  if (top <= before || heap_size > top_address) return false;
  const std::size_t length = top_address - page_down(top_address - heap_size);
  return madvise(top - length, length, MADV_HUGEPAGE) == 0;
}

#else

bool prepare_process_heap() {
  return false;
}

#endif

}  // namespace korva
