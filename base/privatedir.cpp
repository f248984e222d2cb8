#include "base/privatedir.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/errors.h"

namespace tarvo {

std::string PrivateDirParent() {
  struct stat st{};
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run == '/' && ::stat(run, &st) == 0 && S_ISDIR(st.st_mode))
    return run;
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp == '/' && ::stat(tmp, &st) == 0 && S_ISDIR(st.st_mode))
    return tmp;
  return "/tmp";
}

void WriteNewFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) throw EFCreateError::Make(path, errno);
  std::size_t done = 0;
  int err = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) {
    ::unlink(path.c_str());  // no half-written file left behind
    throw EFCreateError::Make(path, err);
  }
}

TPrivateDir::TPrivateDir(const std::string& parent) {
  std::string name = parent;
  if (name.empty() || name.back() != '/') name += '/';
  name += "tarvo-XXXXXX";
  if (::mkdtemp(name.data()) == nullptr) throw EFCreateError::Make(name, errno);
  path_ = name;  // mkdtemp makes it 0700
}

TPrivateDir::~TPrivateDir() {
  for (const std::string& f : files_) ::unlink(f.c_str());
  ::rmdir(path_.c_str());
}

std::string TPrivateDir::Write(std::string_view stem, std::string_view ext, std::string_view bytes) {
  const std::string path = path_ + "/" + std::string(stem) + "-" + std::to_string(next_++) + std::string(ext);
  WriteNewFile(path, bytes);
  files_.push_back(path);
  return path;
}

}  // namespace tarvo
