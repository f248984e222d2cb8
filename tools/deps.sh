# Sourced by run.sh, test.sh and bench.sh: installs the Debian packages that
# are missing, and only those. apt-get needs root: as root it runs directly,
# otherwise through sudo; without either, the missing packages are named and
# the script stops.
tarvo_need() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      {
        echo "Tarvo needs these Debian packages, which are not installed:"
        echo "  ${missing[*]}"
        echo "Install them as root (su -c '...' or a root shell), then run this again:"
        echo "  apt-get install --no-install-recommends ${missing[*]}"
      } >&2
      exit 1
    fi
    sudo=sudo
  fi
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# The fonts: Japanese, and emoji, which decoded subjects and names often hold.
TARVO_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
  libssl-dev fonts-ipafont-gothic fonts-noto-color-emoji)
# Qt's own dialogs in Japanese (qtbase_ja.qm).
TARVO_BUILD_PACKAGES+=(qt6-translations-l10n)
# What the tests need beyond the build: the install check (desktop entry,
# AppStream, manual page, and the Debian package: dpkg-buildpackage, which
# asks for build-essential, debhelper and lintian), a Japanese locale with
# glibc's messages, OpenSSL's command line, which the digest tests compare
# with, and Unicode's EmojiSources.txt, which the carrier emoji table is
# checked against.
TARVO_TEST_PACKAGES=(desktop-file-utils appstream man-db dpkg-dev build-essential debhelper lintian file
  locales libc-l10n openssl unicode-data)
