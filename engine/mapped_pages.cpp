#include "engine/mapped_pages.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace mergon {

void mapInPages(void *begin, std::size_t size) {
#if defined(MADV_POPULATE_WRITE)
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (!begin || pageSize <= 0 || size < 64 * 1024)
        return;
    const auto page = static_cast<std::uintptr_t>(pageSize);
    const auto from = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t first = (from + page - 1) / page * page,
                         last = (from + size) / page * page;
    // A failure only leaves the faults as they were.
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)size;
#endif
}

} // namespace mergon
