// A Japanese locale for the tests of texts that come from the system. The
// system's own ja_JP.UTF-8 when it has one; otherwise one made with localedef
// (from Debian's locales package) once into the build folder.
#pragma once
#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace tarvo::testing {

struct TLocaleSetup {
  bool ok = false;
  std::string locpath;  // for LOCPATH; empty when the system has the locale
  std::string why;      // why the locale cannot be had
};

inline bool HasLocale(const char* name) {
  const locale_t loc = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return false;
  freelocale(loc);
  return true;
}

inline TLocaleSetup JapaneseLocale() {
  namespace fs = std::filesystem;
  TLocaleSetup r;
  if (!fs::exists("/usr/share/locale/ja/LC_MESSAGES/libc.mo")) {
    r.why = "glibc's Japanese messages are missing (Debian package libc-l10n)";
    return r;
  }
  if (getenv("LOCPATH") == nullptr && HasLocale("ja_JP.UTF-8")) {
    r.ok = true;
    return r;
  }
  const fs::path dir = TARVO_TEST_LOCALE_DIR;
  const fs::path made = dir / "ja_JP.UTF-8";
  if (!fs::exists(made / "LC_CTYPE")) {
    // Made aside and renamed into place: tests that run side by side may
    // all get here, and one of them wins.
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path aside = dir / ("ja_JP.UTF-8." + std::to_string(getpid()));
    const std::string cmd =
        "localedef -i ja_JP -f UTF-8 '" + aside.string() + "' >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    if (rc != 0 || !fs::exists(aside / "LC_CTYPE")) {
      fs::remove_all(aside, ec);
      r.why = "localedef could not make ja_JP.UTF-8 (Debian package locales)";
      return r;
    }
    fs::rename(aside, made, ec);
    if (ec) fs::remove_all(aside, ec);
  }
  r.ok = true;
  r.locpath = dir.string();
  return r;
}

// Sets an environment variable for its life and puts the old value back.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~TScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The environment of a user whose desktop runs in `locale`.
class TLocaleEnv {
 public:
  TLocaleEnv(const std::string& locale, const std::string& locpath)
      : all_("LC_ALL", locale),
        language_("LANGUAGE", std::nullopt),
        locpath_("LOCPATH", locpath.empty() ? std::nullopt : std::optional<std::string>(locpath)) {}

 private:
  TScopedEnv all_, language_, locpath_;
};

}  // namespace tarvo::testing
