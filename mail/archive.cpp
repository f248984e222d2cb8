// Archives listed with libarchive from memory. Only headers are read;
// what skipping an entry must decompress counts against a budget.
#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <cstring>
#include <memory>

#include "base/ascii.h"
#include "base/cp932.h"
#include "mail/content.h"

namespace tarvo {

namespace {

struct TArchiveFree {
  void operator()(archive* a) const { archive_read_free(a); }
};
using TArchive = std::unique_ptr<archive, TArchiveFree>;

// The format is recognised on opening: `opened` says whether it was.
// Only what mail carries: the containers senders attach and the
// compressors built into the library. "All" would add text formats nobody
// mails and compressors that run an outside program on the sender's bytes.
TArchive OpenMemory(std::string_view bytes, bool raw, bool& opened) {
  opened = false;
  TArchive a(archive_read_new());
  if (!a) return a;
  for (int (*filter)(archive*) : {archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
                                  archive_read_support_filter_xz, archive_read_support_filter_lzma,
                                  archive_read_support_filter_compress, archive_read_support_filter_zstd,
                                  archive_read_support_filter_lz4, archive_read_support_filter_uu})
    filter(a.get());
  if (raw) {
    archive_read_support_format_raw(a.get());
  } else {
    for (int (*format)(archive*) : {archive_read_support_format_zip, archive_read_support_format_7zip,
                                    archive_read_support_format_rar, archive_read_support_format_rar5,
                                    archive_read_support_format_lha, archive_read_support_format_cab,
                                    archive_read_support_format_iso9660, archive_read_support_format_tar,
                                    archive_read_support_format_cpio, archive_read_support_format_ar})
      format(a.get());
  }
  opened = archive_read_open_memory(a.get(), bytes.data(), bytes.size()) == ARCHIVE_OK;
  return a;
}

// Names as stored: UTF-8 when they are, else code page 932 (Japanese
// Windows archivers write that without saying).
std::string NameOf(archive_entry* e) {
  // A name the archive marks as UTF-8 comes from pathname_utf8; without a
  // locale that can hold it, pathname gives nothing for it.
  if (const char* utf8 = archive_entry_pathname_utf8(e)) {
    const std::string_view name = utf8;
    bool valid = true;
    for (std::size_t i = 0; i < name.size() && valid;) {
      const std::size_t n = Utf8ShapeLength(name, i);
      valid = n > 0;
      i += n;
    }
    if (valid) return std::string(name);
  }
  const char* raw = archive_entry_pathname(e);
  const std::string_view name = raw ? raw : "";
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t n = Utf8ShapeLength(name, i);
    if (n == 0) return Cp932ToUtf8(name, TDecodeMode::Replace);
    i += n;
  }
  return std::string(name);
}

bool SaysEncrypted(archive* a) {
  const char* error = archive_error_string(a);
  const std::string text = LowerAscii(error ? error : "");
  return text.find("encrypt") != std::string::npos || text.find("passphrase") != std::string::npos ||
         text.find("password") != std::string::npos;
}

// A single compressed file (x.gz): its name from the gzip header, else the
// part's name without the compressor's extension.
std::string SingleFileName(std::string_view bytes, std::string_view partName) {
  if (bytes.size() > 10 && bytes[0] == '\x1F' && bytes[1] == '\x8B') {
    const auto flags = static_cast<unsigned char>(bytes[3]);
    std::size_t at = 10;
    if ((flags & 0x04) != 0 && at + 2 <= bytes.size())
      at += 2 + (static_cast<unsigned char>(bytes[at]) | (static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8));
    if ((flags & 0x08) != 0 && at < bytes.size()) {
      const std::size_t end = bytes.find('\0', at);
      if (end != std::string_view::npos && end > at && end - at < 1024) {
        const std::string_view n = bytes.substr(at, end - at);
        std::string out;
        for (std::size_t i = 0; i < n.size();) {
          const std::size_t k = Utf8ShapeLength(n, i);
          if (k == 0) return Cp932ToUtf8(n, TDecodeMode::Replace);
          i += k;
        }
        return std::string(n);
      }
    }
  }
  std::string name(partName.substr(partName.find_last_of("/\\") + 1));
  for (const char* ext : {".gz", ".tgz", ".bz2", ".xz", ".z", ".zst"}) {
    if (name.size() > std::strlen(ext) && EqualsNoCase(std::string_view(name).substr(name.size() - std::strlen(ext)), ext)) {
      name.resize(name.size() - std::strlen(ext));
      if (std::string_view(ext) == ".tgz") name += ".tar";
      break;
    }
  }
  return name.empty() ? "data" : name;
}

// Names marked as UTF-8 come out only under a locale that holds them:
// this thread reads them under C.UTF-8 while it lists.
class TUtf8Names {
 public:
  TUtf8Names() : locale_(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
    if (locale_) old_ = uselocale(locale_);
  }
  ~TUtf8Names() {
    if (!locale_) return;
    uselocale(old_);
    freelocale(locale_);
  }
  TUtf8Names(const TUtf8Names&) = delete;
  TUtf8Names& operator=(const TUtf8Names&) = delete;

 private:
  locale_t locale_;
  locale_t old_ = locale_t{};
};

// The size of a compressed file is known only by decompressing it, within
// the cap; -1 past it or on an error (a fatal one goes to `rc`).
std::int64_t DecompressedSize(archive* a, int& rc) {
  char buffer[65536];
  std::int64_t total = 0;
  la_ssize_t n;
  while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0 && total <= kMaxArchiveBytes) total += n;
  if (n == ARCHIVE_FATAL) rc = ARCHIVE_FATAL;
  return n == 0 ? total : -1;
}

}  // namespace

TArchiveListing ListArchive(std::string_view bytes, std::string_view name) {
  TArchiveListing list;
  const TUtf8Names utf8Names;
  bool opened = false;
  TArchive a = OpenMemory(bytes, false, opened);
  archive_entry* e = nullptr;
  int rc = a && opened ? archive_read_next_header(a.get(), &e) : ARCHIVE_FATAL;
  bool raw = false;
  if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN && a && !SaysEncrypted(a.get())) {
    // Not an archive format: a compressed single file is read as one entry.
    a = OpenMemory(bytes, true, opened);
    rc = a && opened ? archive_read_next_header(a.get(), &e) : ARCHIVE_FATAL;
    for (int i = 0; a && i < archive_filter_count(a.get()); ++i)
      raw = raw || archive_filter_code(a.get(), i) != ARCHIVE_FILTER_NONE;
    if (!raw) return list;
  }
  if (!a) return list;
  list.Read = rc == ARCHIVE_OK || rc == ARCHIVE_WARN || SaysEncrypted(a.get());
  while (rc == ARCHIVE_OK || rc == ARCHIVE_WARN) {
    if (list.Entries.size() >= kMaxArchiveEntries) {
      list.Truncated = true;
      break;
    }
    TArchiveEntry entry;
    entry.Name = raw ? SingleFileName(bytes, name) : NameOf(e);
    entry.Encrypted = archive_entry_is_encrypted(e) != 0;
    if (archive_entry_size_is_set(e)) entry.Size = archive_entry_size(e);
    const std::int64_t used = archive_filter_bytes(a.get(), 0);
    if (raw) {
      entry.Size = DecompressedSize(a.get(), rc);
      list.Truncated = entry.Size < 0;
      list.Entries.push_back(std::move(entry));
      break;
    }
    const bool directory = archive_entry_filetype(e) == AE_IFDIR;
    list.Encrypted = list.Encrypted || entry.Encrypted;
    if (!directory) list.Entries.push_back(std::move(entry));
    if (archive_entry_size_is_set(e) && used + archive_entry_size(e) > kMaxArchiveBytes) {
      list.Truncated = true;
      break;
    }
    const int skipped = archive_read_data_skip(a.get());
    if (skipped != ARCHIVE_OK && SaysEncrypted(a.get())) list.Encrypted = true;
    if (skipped == ARCHIVE_FATAL) {
      rc = ARCHIVE_FATAL;
      break;
    }
    if (archive_filter_bytes(a.get(), 0) > kMaxArchiveBytes) {
      list.Truncated = true;
      break;
    }
    rc = archive_read_next_header(a.get(), &e);
  }
  // After a fatal error the library's state is not to be read again but
  // for its message (its own query does not check the state).
  if ((rc != ARCHIVE_FATAL && archive_read_has_encrypted_entries(a.get()) > 0) || SaysEncrypted(a.get()))
    list.Encrypted = true;
  return list;
}

}  // namespace tarvo
