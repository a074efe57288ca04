#include "engine/mapped_pages.h"

#include <algorithm>
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

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kRegion = 64 * 1024 * 1024; // of address space; only what is carved is used
constexpr std::size_t kAlignment = 64;

std::size_t roundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

} // namespace

PageArena::~PageArena() {
    for (const Region &r : regions_)
        ::munmap(r.mapping, r.mappingSize);
}

void *PageArena::allocate(std::size_t bytes) {
#if defined(__SANITIZE_ADDRESS__)
    // The heap's blocks, whose overruns the address sanitizer sees.
    (void)bytes;
    return nullptr;
#endif
    if (bytes == 0 || bytes > SIZE_MAX / 2)
        return nullptr;
    const std::size_t size = roundUp(bytes, kAlignment);
    char *block = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (regions_.empty() ||
            static_cast<std::size_t>(regions_.back().end - regions_.back().next) < size) {
            // A region starts on a huge page, so that the system may back it with them.
            const std::size_t regionSize = std::max(kRegion, roundUp(size, kHugePage));
            const std::size_t mappingSize = regionSize + kHugePage;
            void *mapping = ::mmap(nullptr, mappingSize, PROT_READ | PROT_WRITE,
                                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (mapping == MAP_FAILED)
                return nullptr;
            const auto at = roundUp(reinterpret_cast<std::uintptr_t>(mapping), kHugePage);
            char *begin = reinterpret_cast<char *>(at);
#if defined(MADV_HUGEPAGE)
            ::madvise(begin, regionSize, MADV_HUGEPAGE); // a refusal leaves 4 KiB pages
#endif
            regions_.push_back({mapping, mappingSize, begin, begin + regionSize, begin});
        }
        Region &r = regions_.back();
        block = r.next;
        r.next += size;
    }
    mapInPages(block, size);
    return block;
}

bool PageArena::release(void *block, std::size_t bytes) noexcept {
    std::lock_guard lock(mutex_);
    char *const p = static_cast<char *>(block);
    for (Region &r : regions_) {
        if (p < r.begin || p >= r.end)
            continue;
        if (p + roundUp(bytes, kAlignment) == r.next)
            r.next = p;
        return true;
    }
    return false;
}

} // namespace mergon
