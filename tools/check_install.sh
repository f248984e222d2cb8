#!/usr/bin/env bash
# Installs a build into a scratch DESTDIR and checks what the desktop reads
# there: the menu entry, the AppStream data, every icon size, the manual page;
# then builds the .deb and checks its dependencies and contents.
#   tools/check_install.sh BUILD_DIR
set -euo pipefail
build="${1:?usage: $0 BUILD_DIR}"
root="$build/install-check"
rm -rf "$root"
trap 'rm -rf "$root"' EXIT
DESTDIR="$PWD/$root" cmake --install "$build" --prefix /usr/local >/dev/null
share="$root/usr/local/share"
failed=0
fail() { echo "install check: $*" >&2; failed=1; }

[ -x "$root/usr/local/bin/tarvo" ] || fail "bin/tarvo missing"
"$root/usr/local/bin/tarvo" --version | grep -q '^Tarvo ' || fail "installed tarvo --version"
ls "$root"/usr/local/lib*/tarvo/tarvo-window.so >/dev/null 2>&1 || fail "the window module is missing"
# The installed program finds its window: it stays open until stopped,
# where a missing module would end it at once with an error.
rc=0
QT_QPA_PLATFORM=offscreen timeout 15 "$root/usr/local/bin/tarvo" >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 124 ] || fail "installed tarvo does not open its window (exit $rc)"

desktop="$share/applications/io.github.tarvo.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
grep -qx 'MimeType=message/rfc822;' "$desktop" || fail "desktop entry: MimeType"
grep -qx 'Exec=tarvo %f' "$desktop" || fail "desktop entry: Exec"

appstreamcli validate --no-net --explain "$share/metainfo/io.github.tarvo.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"

# Each PNG must be the size its folder names (width and height from IHDR).
for n in 16 22 24 32 48 64 128 256; do
  png="$share/icons/hicolor/${n}x${n}/apps/io.github.tarvo.png"
  if [ ! -f "$png" ]; then fail "icon ${n}x${n} missing"; continue; fi
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
  [ "$size" = "${n}x${n}" ] || fail "icon ${n}x${n} is $size"
done
[ -f "$share/icons/hicolor/scalable/apps/io.github.tarvo.svg" ] || fail "scalable icon missing"

man1="$share/man/man1/tarvo.1"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man1" 2>&1 >/dev/null) || fail "man -l $man1"
[ -z "$warnings" ] || fail "man -l $man1: $warnings"
for key in Hops Delivery Authentication Findings Parts; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$man1" 2>/dev/null | grep -Eq "^ +$key( |$)" || fail "man page lacks the --dump key $key"
done

# The package: dependencies come from dpkg-shlibdeps, plus the platform plugins.
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack -G DEB"
deb=$(ls -t "$build"/tarvo_*.deb 2>/dev/null | head -1)
if [ -n "$deb" ]; then
  depends=$(dpkg-deb -f "$deb" Depends)
  for p in libqt6widgets6 libqt6gui6 libqt6core6 libc6 qt6-qpa-plugins; do
    grep -q "\b$p\b" <<<"$depends" || fail "$deb: Depends lacks $p ($depends)"
  done
  contents=$(dpkg-deb -c "$deb")
  for f in ./usr/bin/tarvo ./usr/share/applications/io.github.tarvo.desktop ./usr/share/man/man1/tarvo.1 \
           ./usr/share/metainfo/io.github.tarvo.metainfo.xml ./usr/share/icons/hicolor/256x256/apps/io.github.tarvo.png; do
    grep -q " $f\$" <<<"$contents" || fail "$deb lacks $f"
  done
  grep -q '/tarvo/tarvo-window\.so$' <<<"$contents" || fail "$deb lacks the window module"
else
  fail "cpack made no .deb"
fi

[ "$failed" -eq 0 ] && echo "install check: passed ($(basename "${deb:-none}"))"
exit "$failed"
