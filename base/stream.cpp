#include "base/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/errors.h"
#include "base/memory.h"

namespace tarvo {

std::size_t TMemoryStream::Read(void* dst, std::size_t n) {
  if (pos_ >= data_.size()) return 0;
  const std::size_t k = std::min(n, data_.size() - pos_);
  std::memcpy(dst, data_.data() + pos_, k);
  pos_ += k;
  return k;
}

void TMemoryStream::Write(const void* src, std::size_t n) {
  if (n == 0) return;
  if (pos_ == data_.size()) {
    data_.append(static_cast<const char*>(src), n);
  } else {
    if (pos_ + n > data_.size()) data_.resize(pos_ + n);
    std::memcpy(data_.data() + pos_, src, n);
  }
  pos_ += n;
}

namespace {
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};
}  // namespace

TSharedBytes ReadFileBytes(const std::string& path) {
  // Read-only; on Linux nothing stops other readers, which is all we ask.
  Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (f.fd < 0) throw EFOpenError::Make(path, errno);
  struct stat st {};
  if (::fstat(f.fd, &st) != 0) throw EFOpenError::Make(path, errno);
  if (S_ISDIR(st.st_mode)) throw EFOpenError::Make(path, EISDIR);
  if (static_cast<std::uint64_t>(st.st_size) > kMaxMailSize) throw EFOpenError::TooLarge(path);
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    // Straight into memory that is not cleared first: every byte is read.
    auto bytes = std::make_shared<TBytes>(static_cast<std::size_t>(st.st_size));
    for (std::size_t got = 0; got < bytes->size();) {
      const ssize_t r = ::read(f.fd, bytes->Writable() + got, bytes->size() - got);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) throw EFOpenError::Make(path, errno);
      if (r == 0) throw EFOpenError::Make(path, EIO);  // shrank while we read
      got += static_cast<std::size_t>(r);
    }
    return bytes;
  }
  // Files whose size stat does not know (pipes, /proc, which says 0) are
  // read to their end.
  std::string buf;
  char chunk[65536];
  for (;;) {
    const ssize_t r = ::read(f.fd, chunk, sizeof chunk);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw EFOpenError::Make(path, errno);
    if (r == 0) break;
    buf.append(chunk, static_cast<std::size_t>(r));
    if (buf.size() > kMaxMailSize) throw EFOpenError::TooLarge(path);
  }
  return ShareBytes(std::move(buf));
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  data_ = std::string(*ReadFileBytes(path));
  pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& path) const {
  Fd f{::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
  if (f.fd < 0) throw EFCreateError::Make(path, errno);
  std::size_t done = 0;
  while (done < data_.size()) {
    const ssize_t r = ::write(f.fd, data_.data() + done, data_.size() - done);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw EFCreateError::Make(path, errno);
    done += static_cast<std::size_t>(r);
  }
}

}  // namespace tarvo
