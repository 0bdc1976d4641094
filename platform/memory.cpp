#include "platform/memory.h"

#include <malloc.h>

namespace ledrana::platform {

void ReturnLargeBlocksToSystem() {
    // A fixed threshold also stops the C library's own adjustment.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

} // namespace ledrana::platform
