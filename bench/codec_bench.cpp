// The core steps of the parts list alone, best of N runs each:
//   codec_bench            base64 body decoding of 64 MB in lines of 76, MB/s of input
//   codec_bench FILE [N]   plus the MIME walk and the parts list (with and
//                          without the decoded bytes) of a message, seconds
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/stream.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"
#include "mail/parts.h"

using namespace tarvo;

namespace {

template <typename F>
double Best(int runs, F&& f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

std::string Base64Text(std::size_t bytes) {
  std::string raw(bytes, '\0');
  std::uint32_t x = 12345;
  for (char& c : raw) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  const std::string b = Base64Encode(raw);
  std::string out;
  out.reserve(b.size() + b.size() / 38);
  for (std::size_t i = 0; i < b.size(); i += 76) {
    out += std::string_view(b).substr(i, 76);
    out += "\r\n";
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::string text = Base64Text(48u << 20);
  std::size_t out = 0;
  TMemoryStream m;  // reused, so the decoding is timed and not the page faults of fresh memory
  const double s = Best(runs, [&] {
    m.Clear();
    Base64DecodeToStream(text, m);
    out = m.Size();
  });
  std::printf("base64 body decoding: %.0f MB/s (%zu bytes out)\n", text.size() / s / 1e6, out);
  if (argc < 2) return 0;

  TMemoryStream file;
  file.LoadFromFile(argv[1]);
  const std::string_view all(file.Bytes());
  const TEnvelopeSplit split = FindEnvelopeSplit(all);
  const std::string_view header = all.substr(0, static_cast<std::size_t>(split.HeaderEnd));
  const std::string_view body = all.substr(std::min(all.size(), static_cast<std::size_t>(split.BodyStart)));
  TAttachLists parts;
  const double walk = Best(runs, [&] { ParseMessageParts(ReadFields(header), body, parts); });
  std::printf("MIME walk: %.4f s, %zu parts\n", walk, parts.size());
  std::uint64_t total = 0;
  for (const bool keep : {true, false}) {
    const double t = Best(runs, [&] {
      const TMailParts list = GetMailParts(body, parts, keep);
      total = 0;
      for (const TMailPart& p : list) total += p.Size;
    });
    std::printf("parts list %s: %.4f s, %llu decoded bytes\n", keep ? "with bytes" : "without bytes", t,
                static_cast<unsigned long long>(total));
  }
  return 0;
}
