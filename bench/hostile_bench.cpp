// Hostile messages at n and 8n: each check must scale linearly, so the time
// at 8n is about 8 times the time at n (a quadratic scan shows 64).
// Prints one line per case: name, seconds at n, seconds at 8n, ratio.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "mail/parts.h"
#include "views/pipeline.h"

using namespace tarvo;

namespace {

std::string Head(const std::string& extra, const std::string& type) {
  return "From: a@shop.example\r\nTo: b@example.jp\r\nSubject: s\r\nDate: Mon, 1 Jun 2026 10:00:00 +0900\r\n" + extra +
         "MIME-Version: 1.0\r\nContent-Type: " + type + "\r\n\r\n";
}

double Seconds(const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

double LoadSeconds(const std::string& mail) {
  return Seconds([&] {
    TMailViews v;
    TLoadOptions listing;
    listing.KeepPartData = false;
    LoadMailBytes(mail, v, listing);
  });
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

struct TCase {
  const char* name;
  std::function<std::string(int)> make;  // the message for size n
};

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::string body(1 << 20, 'x');
  const TCase cases[] = {
      {"unclosed <a", [](int k) { return Head("", "text/html") + Repeat("<a ", k); }},
      {"nested <div>", [](int k) { return Head("", "text/html") + Repeat("<div><b>", k) + "<a href=http://e.example>x</a>"; }},
      {"links", [](int k) { return Head("", "text/html") + Repeat("<a href=\"http://xn--80ak6aa92e.example/\">x</a>", k); }},
      {"quoted parameters", [](int k) { return Head("", "text/plain; " + Repeat("p=\"v;v\"; ", k)) + "x\r\n"; }},
      {"DKIM signatures",
       [&body](int k) {
         return Head(Repeat("DKIM-Signature: v=1; a=rsa-sha256; d=shop.example; s=s; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=; b=AAAA\r\n", k / 100 + 1),
                     "text/plain") +
                body;
       }},
      {"parts", [](int k) {
         return Head("", "multipart/mixed; boundary=b") +
                Repeat("--b\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n\r\nx\r\n", k / 10) + "--b--\r\n";
       }},
  };
  std::printf("%-20s %10s %10s %7s\n", "case", "n", "8n", "ratio");
  for (const TCase& c : cases) {
    const double a = LoadSeconds(c.make(n)), b = LoadSeconds(c.make(8 * n));
    std::printf("%-20s %10.4f %10.4f %7.1f\n", c.name, a, b, b / std::max(a, 1e-6));
  }
  // Saving parts of one name: the free-name search must not start over.
  const auto save = [](int k) {
    TMailParts parts(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) parts[static_cast<std::size_t>(i)] = MakeWalkedPart(i + 1, {"a.bin", "application/octet-stream", "attachment", "", ""}, "x");
    return Seconds([&] {
      const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tarvo-bench-" + std::to_string(::getpid()));
      std::filesystem::create_directories(dir);
      (void)SaveNamedParts(parts, dir.string());
      std::filesystem::remove_all(dir);
    });
  };
  const int files = n / 20;
  const double a = save(files), b = save(8 * files);
  std::printf("%-20s %10.4f %10.4f %7.1f\n", "save parts", a, b, b / std::max(a, 1e-6));
  return 0;
}
