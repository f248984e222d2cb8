# Sourced by run.sh, test.sh and bench.sh: installs the Debian packages that
# are missing, and only those (apt-get needs root, as on a fresh machine).
tarvo_need() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

TARVO_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
  libssl-dev fonts-ipafont-gothic)
# The digest tests compare with OpenSSL's command line.
TARVO_BUILD_PACKAGES+=(openssl)
