// What a part's bytes are, whatever its name and type say: the headers of
// programs, script shebangs, Office files with macros, PDF actions, HTML and
// SVG; and the entries of an archive, listed with libarchive.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// ---- sniff.cpp ----

enum class TContentKind {
  Unknown,
  WindowsProgram,  // "MZ" with a PE header
  ElfProgram,
  MachOProgram,
  Script,          // "#!"
  OfficeMacros,    // an OLE2 compound file holding a VBA project
  Office,          // an OLE2 compound file without
  PdfActive,       // a PDF with /JavaScript, /JS or /Launch
  Pdf,
  Html,
  Svg,
  Archive,         // a signature libarchive reads (zip, rar, 7z, gz, lzh, cab, iso, tar ...)
};

// Linear in the bytes, reading at most the first `kSniffBytes` of them.
constexpr std::size_t kSniffBytes = std::size_t{64} << 20;
[[nodiscard]] TContentKind SniffContent(std::string_view bytes);
// "windows-program", "pdf-active" ... for --dump; "" for Unknown.
[[nodiscard]] const char* ContentKindName(TContentKind kind);

// ---- archive.cpp ----

struct TArchiveEntry {
  std::string Name;            // UTF-8 (CP932 names converted)
  std::int64_t Size = -1;      // -1 when the archive does not say
  bool Encrypted = false;
  std::string Warning;         // the first risk its name carries (checks/), or empty
};

struct TArchiveListing {
  bool Read = false;           // libarchive recognised the bytes as an archive
  bool Encrypted = false;      // some entry, or the listing itself, is encrypted
  bool Truncated = false;      // a cap stopped the listing
  std::vector<TArchiveEntry> Entries;
};

// At most kMaxArchiveEntries entries, and at most kMaxArchiveBytes of data
// decompressed on the way; nested archives are not opened. `name` (the
// part's file name) names a single compressed file's entry (x.gz -> x).
constexpr std::size_t kMaxArchiveEntries = 1000;
constexpr std::int64_t kMaxArchiveBytes = std::int64_t{256} << 20;
[[nodiscard]] TArchiveListing ListArchive(std::string_view bytes, std::string_view name = {});

}  // namespace tarvo
