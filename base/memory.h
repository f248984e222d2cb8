// Memory the system may back with 2 MB pages. On a virtual machine a page
// fault costs several microseconds, and a message of 50 MB touches some
// 13,000 pages of 4 KB: more time than reading and converting it.
#pragma once
#include <cstddef>

namespace tarvo {

// Asks for 2 MB pages for the whole 2 MB pages inside p[0, n). A hint only.
void AdviseHugePages(void* p, std::size_t n);

// Grows the heap once into a reserve of address space in 2 MB pages, which
// later allocations below 32 MB are cut from. Address space only: pages
// count when they are first written. Call it first in main, before any
// thread starts. Where the allocator does not allow it (a sanitizer's, or
// a system that refuses the reserve), nothing changes.
void ReserveHugePageHeap();

}  // namespace tarvo
