// Names for saving parts. A part's name comes from the sender, so it is
// treated as hostile: it must not reach another folder, hide what it is, or
// name a device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <cerrno>

#include "base/ascii.h"
#include "base/errors.h"
#include "mail/parts.h"

namespace tarvo {

namespace {

// Longest name kept, in bytes: below NAME_MAX with room for " (999)".
constexpr std::size_t kMaxNameBytes = 200;

// Characters that are dropped: control characters (C0, DEL, C1), what
// Windows and FAT reject, and the bidirectional overrides.
bool Dropped(std::string_view ch) {
  const auto b0 = static_cast<unsigned char>(ch[0]);
  if (ch.size() == 1) return b0 < 0x20 || b0 == 0x7F || b0 >= 0x80 || std::string_view("<>:\"/\\|?*").find(ch[0]) != std::string_view::npos;
  const auto b1 = static_cast<unsigned char>(ch[1]);
  if (ch.size() == 2) return b0 == 0xC2 && b1 < 0xA0;  // U+0080..U+009F
  if (ch.size() == 3 && b0 == 0xE2) {
    const auto b2 = static_cast<unsigned char>(ch[2]);
    return (b1 == 0x80 && b2 >= 0xAA && b2 <= 0xAE) || (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9);
  }
  return false;
}

bool IsDeviceName(std::string_view name) {
  // Windows reserves these with any extension: "con.txt" is CON too.
  std::string stem = LowerAscii(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul" || stem == "clock$") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
}

std::string ExtensionForType(std::string_view type) {
  static const std::pair<std::string_view, std::string_view> table[] = {
      {"text/plain", ".txt"}, {"text/html", ".html"},  {"text/calendar", ".ics"}, {"image/jpeg", ".jpg"},
      {"image/png", ".png"},  {"image/gif", ".gif"},   {"application/pdf", ".pdf"}, {"message/rfc822", ".eml"},
      {"application/zip", ".zip"},
      // A reference holds only the header of content elsewhere: text.
      {"message/external-body", ".txt"}};
  for (const auto& [t, e] : table)
    if (type == t) return std::string(e);
  return ".bin";
}

// Cuts to at most `max` bytes on a character boundary, keeping a short
// extension so the file still opens as what it is.
std::string CutToLength(const std::string& name, std::size_t max) {
  if (name.size() <= max) return name;
  std::string ext;
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0 && name.size() - dot <= 16)
    ext = name.substr(dot);
  std::size_t keep = 0;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t n = std::max<std::size_t>(Utf8ShapeLength(name, i), 1);
    if (i + n + ext.size() > max) break;
    i += n;
    keep = i;
  }
  return name.substr(0, keep) + ext;
}

}  // namespace

std::string SafeSaveName(std::string_view name, std::int32_t index, std::string_view contentType) {
  // Only the last path element counts, whichever separator the sender used.
  if (const std::size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos)
    name = name.substr(slash + 1);
  std::string out;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t n = std::max<std::size_t>(Utf8ShapeLength(name, i), 1);  // a stray byte alone
    const std::string_view ch = name.substr(i, n);
    if (!Dropped(ch)) out += ch;
    i += n;
  }
  // No hidden files, no "." or "..", and no trailing dots or blanks, which
  // Windows drops and which hide the real extension.
  std::size_t first = 0;
  while (first < out.size() && (out[first] == '.' || out[first] == ' ')) ++first;
  out.erase(0, first);
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  if (IsDeviceName(out)) out.insert(out.begin(), '_');
  out = CutToLength(out, kMaxNameBytes);
  if (out.empty()) out = "part" + std::to_string(index) + ExtensionForType(contentType);
  return out;
}

TSaveTarget SaveTargetIn(const std::string& folder, const std::string& safeName) {
  TSaveTarget t;
  t.Path = folder.empty() || folder.back() == '/' ? folder + safeName : folder + "/" + safeName;
  struct stat st;
  t.Exists = ::lstat(t.Path.c_str(), &st) == 0;  // a dangling link counts too
  return t;
}

std::string FreeSaveName(const std::string& folder, const std::string& safeName) {
  int from = 2;
  return FreeSaveName(folder, safeName, from);
}

std::string FreeSaveName(const std::string& folder, const std::string& safeName, int& from) {
  const std::size_t dot = safeName.rfind('.');
  const bool hasExt = dot != std::string::npos && dot > 0;
  const std::string stem = hasExt ? safeName.substr(0, dot) : safeName;
  const std::string ext = hasExt ? safeName.substr(dot) : std::string();
  for (;; ++from) {
    std::string candidate = stem + " (" + std::to_string(from) + ")" + ext;
    if (!SaveTargetIn(folder, candidate).Exists) return candidate;
  }
}

void SavePartFile(const std::string& path, std::string_view bytes, bool overwrite) {
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) throw EFCreateError::Make(path, errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(path.c_str());  // no half-written file left behind
      throw EFCreateError::Make(path, err);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(path.c_str());
    throw EFCreateError::Make(path, err);
  }
}

std::vector<TSavedPart> SaveNamedParts(const TMailParts& parts, const std::string& folder,
                                       const std::function<void(const TSavedPart&)>& onSaved) {
  std::vector<TSavedPart> saved;
  // The free-name search goes on where it stopped for the same name: parts
  // of one name must not be probed from "(2)" again each time.
  std::unordered_map<std::string, int> nextFree;
  for (const TMailPart& p : parts) {
    if (p.Name.empty()) continue;
    std::string name = SafeSaveName(p.Name, p.Index, p.ContentType);
    TSaveTarget target = SaveTargetIn(folder, name);
    const bool renamed = target.Exists;
    if (renamed) {
      int& n = nextFree.try_emplace(name, 2).first->second;
      target = SaveTargetIn(folder, FreeSaveName(folder, name, n));
    }
    SavePartFile(target.Path, p.Bytes(), false);
    saved.push_back({p.Index, target.Path, renamed});
    if (onSaved) onSaved(saved.back());
  }
  return saved;
}

}  // namespace tarvo
