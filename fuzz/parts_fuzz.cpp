// Part header values and file names over arbitrary bytes: the name decoding,
// the warnings, and the save name, which must never leave the folder.
#include <cstdint>
#include <cstdlib>

#include "checks/auth.h"
#include "mail/parts.h"

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  // Three values separated by NUL-free markers: type, disposition, encoding.
  const std::size_t a = all.find('\n');
  const std::string_view type = all.substr(0, a);
  const std::string_view rest = a == std::string_view::npos ? std::string_view() : all.substr(a + 1);
  const std::size_t b = rest.find('\n');
  const std::string_view disposition = rest.substr(0, b);
  const std::string_view encoding = b == std::string_view::npos ? std::string_view() : rest.substr(b + 1);

  const TMailPart part =
      MakeWalkedPart(1, {std::string(all), std::string(type), std::string(disposition), "", std::string(encoding)}, std::string(all));
  if (part.Sha256.size() != 64 || part.Md5.size() != 32 || part.Sha1.size() != 40) std::abort();
  (void)PartTextLines(part);

  for (const std::string_view name : {std::string_view(part.Name), all}) {
    const std::string safe = SafeSaveName(name, 7, part.ContentType);
    if (safe.empty() || safe.size() > 200 || safe == "." || safe == ".." || safe.front() == '.') std::abort();
    for (char c : safe)
      if (c == '/' || c == '\\' || c == '\0' || static_cast<unsigned char>(c) < 0x20) std::abort();
    (void)NameRisks(name, type);
  }
  return 0;
}
