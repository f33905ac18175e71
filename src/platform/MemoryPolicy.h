#pragma once

namespace framlet {

// How the process hands memory back to the system.
namespace MemoryPolicy {

// Decoding a 4K screenshot allocates buffers of tens of megabytes on pool threads. glibc raises
// its mmap threshold after the first such buffer is freed, and from then on serves them from heap
// arenas that never shrink, so a launch that seeds sixty screenshots would keep hundreds of
// megabytes for good. A fixed threshold keeps every large buffer mapped on its own and returned
// the moment it is freed. Call once, at start-up.
void returnLargeBuffersToTheSystem();

}  // namespace MemoryPolicy
}  // namespace framlet
