#pragma once
// Memory about to be written all over, mapped in at once.

#include <cstddef>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

namespace mergon {

// Maps in the whole pages of [begin, begin + size) in one call, where the system offers that
// (Linux 5.14 and later); else does nothing. A first touch faults each page on its own, and
// under a hypervisor each fault costs several times the writing of the page: for buffers of a
// few megabytes, filled at once, the one call saves most of that. Blocks under 64 KiB are left
// as they are.
void mapInPages(void *begin, std::size_t size);

// Large blocks carved one after another from regions the system may back with huge pages, each
// block mapped in as it is handed out. Under a hypervisor even a mapped-in 4 KiB page costs
// several times its writing when it is first touched; a huge page is mapped at once, 512 of
// them for the price of one. For memory that is filled once and kept to the end, as the rows
// of the batch's files are: a block given back is reused only when it is the last one carved,
// and every region is returned when the arena goes. Safe to use from several threads.
class PageArena {
  public:
    PageArena() = default;
    PageArena(const PageArena &) = delete;
    PageArena &operator=(const PageArena &) = delete;
    ~PageArena();

    // A block of `bytes` aligned to 64 bytes, or nullptr when no memory could be mapped.
    void *allocate(std::size_t bytes);
    // Takes back a block of this arena and says so; false for any other block.
    bool release(void *block, std::size_t bytes) noexcept;

  private:
    struct Region {
        void *mapping = nullptr;
        std::size_t mappingSize = 0;
        char *begin = nullptr; // aligned to a huge page
        char *end = nullptr;
        char *next = nullptr; // the first byte not carved
    };
    std::mutex mutex_;
    std::vector<Region> regions_;
};

// Blocks from this size on come from the arena; smaller ones, and all blocks of an allocator
// without an arena, from the ordinary heap.
inline constexpr std::size_t kArenaBlock = 64 * 1024;

template <class T> class ArenaAllocator {
  public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    ArenaAllocator() noexcept = default;
    explicit ArenaAllocator(PageArena *arena) noexcept : arena_(arena) {}
    template <class U>
    ArenaAllocator(const ArenaAllocator<U> &other) noexcept : arena_(other.arena()) {}

    T *allocate(std::size_t n) {
        if (arena_ && n >= kArenaBlock / sizeof(T) && n <= SIZE_MAX / sizeof(T))
            if (void *block = arena_->allocate(n * sizeof(T)))
                return static_cast<T *>(block);
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T *p, std::size_t n) noexcept {
        if (!arena_ || n < kArenaBlock / sizeof(T) || !arena_->release(p, n * sizeof(T)))
            std::allocator<T>().deallocate(p, n);
    }

    PageArena *arena() const noexcept { return arena_; }
    friend bool operator==(const ArenaAllocator &a, const ArenaAllocator &b) noexcept {
        return a.arena_ == b.arena_;
    }

  private:
    PageArena *arena_ = nullptr;
};

} // namespace mergon
