// How korva-asm's process takes its memory from the system.
#pragma once

namespace korva {

// Call first in main, before any thread starts. Where the C library allows
// it, the heap grows in large steps that the kernel may back with 2 MiB
// pages, and buffers up to 32 MiB stay on it, so an assembly faults new
// memory in a few times instead of once for every 4 KiB page. Says whether
// the heap was so prepared; elsewhere (another C library, a sanitizer's
// allocator) it changes nothing.
bool prepare_process_heap();

}  // namespace korva
