#include "base/filereader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/errors.h"

namespace tarvo {

TFileReader::TFileReader(const std::string& path) : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (fd_ < 0) throw EFOpenError::Make(path, errno);
  struct stat st {};
  const int err = ::fstat(fd_, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : S_ISREG(st.st_mode) ? 0 : EINVAL;
  if (err != 0) {
    ::close(fd_);
    throw EFOpenError::Make(path, err);
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

TFileReader::~TFileReader() { ::close(fd_); }

void TFileReader::ReadAt(std::uint64_t offset, std::size_t n, std::string& into) const {
  const std::size_t start = into.size();
  into.resize(start + n);
  for (std::size_t got = 0; got < n;) {
    const ssize_t r = ::pread(fd_, into.data() + start + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      into.resize(start);
      throw EFOpenError::Make(path_, r < 0 ? errno : EIO);  // r == 0: shrank since it was opened
    }
    got += static_cast<std::size_t>(r);
  }
}

}  // namespace tarvo
