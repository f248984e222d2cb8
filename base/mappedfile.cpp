#include "base/mappedfile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/errors.h"

namespace tarvo {

TMappedFile::TMappedFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFOpenError::Make(path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throw EFOpenError::Make(path, err ? err : EINVAL);
  }
  size_ = static_cast<std::size_t>(st.st_size);
  if (size_ > 0) {
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      const int err = errno;
      ::close(fd);
      throw EFOpenError::Make(path, err);
    }
    data_ = static_cast<const char*>(p);
    ::madvise(p, size_, MADV_SEQUENTIAL);
  }
  ::close(fd);
}

void TMappedFile::Forget(std::size_t end) const {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  end = std::min(end, size_) / page * page;
  if (data_ && end > 0) ::madvise(const_cast<char*>(data_), end, MADV_DONTNEED);
}

TMappedFile::~TMappedFile() {
  if (data_) ::munmap(const_cast<char*>(data_), size_);
}

}  // namespace tarvo
