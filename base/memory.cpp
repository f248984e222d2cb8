#include "base/memory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace tarvo {

namespace {
constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
}

void AdviseHugePages(void* p, std::size_t n) {
  const auto first = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const auto last = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a hint only
}

void ReserveHugePageHeap() {
  constexpr std::size_t kReserve = std::size_t{256} << 20;
  constexpr int kDefaultTopPad = 128 << 10;
  // Every growth of the heap leaves kReserve on top (setting it also stops
  // the allocator moving its mmap threshold, so the threshold is set to
  // where it would have climbed: blocks up to 32 MB come from the heap).
  if (::mallopt(M_TOP_PAD, static_cast<int>(kReserve)) != 1) return;
  if (::mallopt(M_MMAP_THRESHOLD, 32 << 20) != 1) {
    ::mallopt(M_TOP_PAD, kDefaultTopPad);
    return;
  }
  // A block bigger than all the free memory the heap holds, its top
  // included, makes it grow now (volatile: the compiler may drop a block
  // that is freed unused). A heap with more than that free is past its start.
  const std::size_t grow = ::mallinfo2().fordblks + (std::size_t{1} << 20);
  if (grow >= (std::size_t{32} << 20)) {
    ::mallopt(M_TOP_PAD, kDefaultTopPad);
    return;
  }
  void* volatile block = std::malloc(grow);
  std::free(block);
  const std::size_t reserved = ::mallinfo2().keepcost;
  if (reserved < kReserve) {
    // Refused (strict overcommit) or not this allocator's heap: keep the
    // allocator's own ways.
    ::mallopt(M_TOP_PAD, kDefaultTopPad);
    return;
  }
  // The top of the heap ends at the program break.
  const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  const std::uintptr_t start = end - reserved;
  AdviseHugePages(reinterpret_cast<void*>(start), reserved);
}

}  // namespace tarvo
