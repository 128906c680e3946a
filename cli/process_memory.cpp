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
// The first growth, which the large pages are advised for.
constexpr int kFirstGrowth = kHeapStep + (16 << 20);
// Buffers up to this size come from the heap instead of a mapping of their
// own (the most the C library accepts).
constexpr int kLargestOnHeap = 32 << 20;
constexpr std::uintptr_t kLargePage = 2 << 20;
// The C library's bookkeeping around a block: the size word in front of
// what it hands out, and the head of the free space after it.
constexpr std::uintptr_t kChunkHead = 8;
constexpr std::uintptr_t kFreeHead = 32;
// The smallest block the C library hands out.
constexpr std::uintptr_t kLeastBlock = 32;

std::uintptr_t round_down(std::uintptr_t address, std::uintptr_t unit) {
  return address & ~(unit - 1);
}

std::uintptr_t round_up(std::uintptr_t address, std::uintptr_t unit) {
  return round_down(address + unit - 1, unit);
}

// Takes the heap up to a 2 MiB boundary past the start of its free space
// (its top, which ends at the break) and grows it there, to the advice's
// first growth. A large page backs a 2 MiB block only if none of the
// block's 4 KiB pages was touched before; the C library writes the head of
// the free space where a block it hands out ends, so the block taken ends
// just below the boundary, in memory already touched, and the blocks above
// stay clean. The block below the boundary is never handed out: only its
// head and tail are touched, and the buffers of the assembly that would
// start there would otherwise fault in up to 2 MiB a page at a time.
bool grow_to_large_page_boundary() {
  const auto top = reinterpret_cast<std::uintptr_t>(sbrk(0));
  const std::uintptr_t free_size = mallinfo2().keepcost;
  const std::uintptr_t free_start = top - free_size;
  // Past the break, so that the heap grows, unless an earlier call left
  // room enough.
  const std::uintptr_t least = free_size >= kHeapStep ? free_start : top;
  const std::uintptr_t boundary = round_up(least + kFreeHead + kLeastBlock, kLargePage);
  if (mallopt(M_TOP_PAD, kFirstGrowth) != 1) return false;
  // Kept for the process's life; never read or written.
  void* const below_boundary = std::malloc(boundary - kFreeHead - free_start - kChunkHead);
  if (below_boundary == nullptr) return false;
  // An allocator of its own (a sanitizer's) hands out other memory.
  if (reinterpret_cast<std::uintptr_t>(below_boundary) != free_start + 2 * kChunkHead) {
    std::free(below_boundary);
    return false;
  }
  return mallopt(M_TOP_PAD, kHeapStep) == 1;
}

}  // namespace

bool prepare_process_heap() {
  // Each page touched for the first time costs a fault; in a virtual machine
  // that can be 10 microseconds, and 50 000 lines touched about 2 000 pages.
  // A large page is one fault for 2 MiB.
  if (mallopt(M_ARENA_MAX, 1) != 1 || mallopt(M_MMAP_THRESHOLD, kLargestOnHeap) != 1 ||
      mallopt(M_TRIM_THRESHOLD, 2 * kHeapStep) != 1 || !grow_to_large_page_boundary()) {
    return false;
  }
  // The whole heap, from where it began.
  char* const top = static_cast<char*>(sbrk(0));
  const auto top_address = reinterpret_cast<std::uintptr_t>(top);
  const std::size_t heap_size = mallinfo2().arena;
  if (heap_size > top_address) return false;
  const std::size_t length =
      top_address - round_down(top_address - heap_size, sysconf(_SC_PAGESIZE));
  return madvise(top - length, length, MADV_HUGEPAGE) == 0;
}

#else

bool prepare_process_heap() {
  return false;
}

#endif

}  // namespace korva
