#pragma once
// Memory about to be written all over, mapped in at once.

#include <cstddef>

namespace mergon {

// Maps in the whole pages of [begin, begin + size) in one call, where the system offers that
// (Linux 5.14 and later); else does nothing. A first touch faults each page on its own, and
// under a hypervisor each fault costs several times the writing of the page: for buffers of a
// few megabytes, filled at once, the one call saves most of that. Blocks under 64 KiB are left
// as they are.
void mapInPages(void *begin, std::size_t size);

} // namespace mergon
