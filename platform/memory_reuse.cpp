#include "platform/memory_reuse.h"

#include <mutex>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    static std::once_flag once;
    std::call_once(once, [] {
        // Setting either value fixes both: glibc's own adaptive thresholds are off from here on.
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
    });
#endif
}
