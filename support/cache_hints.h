// Hints to the processor about memory that one thread fills and another
// reads. Memory a thread on another processor read last must be taken back
// before it can be written again; a store that waits for that holds up the
// stores behind it. Asking for the line for writing a little ahead lets the
// wait overlap the work in between.
#pragma once

#include <cstddef>

namespace korva {

// The size of a cache line. Data that two threads write at the same time
// is kept on lines of its own: a line written by both goes back and forth
// between their processors at every store.
inline constexpr std::size_t kCacheLine = 64;

// Asks for the cache line at `address` in a state that a store can use.
// On x86 that is PREFETCHW, written out because the compiler only emits it
// for processors it is told have it; the processors without it take the
// instruction as a no-op.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
inline void prefetch_for_write(const void* address) {
  asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(address)));
}
#elif defined(__GNUC__)
inline void prefetch_for_write(const void* address) {
  __builtin_prefetch(address, 1);
}
#else
inline void prefetch_for_write(const void*) {}
#endif

}  // namespace korva
