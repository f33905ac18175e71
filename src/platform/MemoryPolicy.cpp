#include "platform/MemoryPolicy.h"

#include <cstdlib>  // defines __GLIBC__ on glibc systems

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace framlet::MemoryPolicy {

void returnLargeBuffersToTheSystem() {
#ifdef __GLIBC__
    constexpr int kThreshold = 1024 * 1024;  // larger than any thumbnail, far below a decoded image
    mallopt(M_MMAP_THRESHOLD, kThreshold);
#endif
}

}  // namespace framlet::MemoryPolicy
