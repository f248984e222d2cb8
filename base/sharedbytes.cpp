#include "base/sharedbytes.h"

#include <new>

#include "base/memory.h"

namespace tarvo {

TBytes::TBytes(std::size_t n) : raw_(static_cast<char*>(std::malloc(n > 0 ? n : 1))), size_(n) {
  if (!raw_) throw std::bad_alloc();
  data_ = raw_.get();
  // A big message is read into 2 MB pages where the system offers them.
  AdviseHugePages(raw_.get(), n);
}

}  // namespace tarvo
