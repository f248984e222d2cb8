// A folder of this run that only its user can enter: what the program hands
// to another program (the HTML part for the browser) goes there, never into
// a shared or well-known place where a planted link could redirect it.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// $XDG_RUNTIME_DIR when it names a folder, else the temporary folder.
[[nodiscard]] std::string PrivateDirParent();

// Writes bytes into a new file: never over an existing one, never through a
// symbolic link (O_EXCL | O_NOFOLLOW), mode 0600. Raises EFCreateError.
void WriteNewFile(const std::string& path, std::string_view bytes);

// A fresh folder (mkdtemp, mode 0700) under `parent`, removed with the
// files written into it when the object goes.
class TPrivateDir {
 public:
  explicit TPrivateDir(const std::string& parent = PrivateDirParent());
  ~TPrivateDir();
  TPrivateDir(const TPrivateDir&) = delete;
  TPrivateDir& operator=(const TPrivateDir&) = delete;

  [[nodiscard]] const std::string& Path() const { return path_; }
  // Writes a new file "<stem>-<n><ext>" (n counts up per call) and returns its path.
  std::string Write(std::string_view stem, std::string_view ext, std::string_view bytes);

 private:
  std::string path_;
  std::vector<std::string> files_;
  unsigned next_ = 1;
};

}  // namespace tarvo
