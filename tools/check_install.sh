#!/usr/bin/env bash
# Installs a build into a scratch DESTDIR and checks what the desktop reads
# there: the menu entry, the AppStream data, every icon size, both manual
# pages. Then builds the Debian package with dpkg-buildpackage in a scratch
# copy of the tree (the tree itself stays clean), runs lintian on it and
# checks its contents.
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

# The package's version is the program's, with the Debian revision.
version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}

[ -x "$root/usr/local/bin/tarvo" ] || fail "bin/tarvo missing"
[ "$("$root/usr/local/bin/tarvo" --version)" = "Tarvo $upstream" ] ||
  fail "installed tarvo --version is not Tarvo $upstream (debian/changelog)"
[ -f "$share/tarvo/dump.schema.json" ] || fail "share/tarvo/dump.schema.json missing"
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

appstreamcli validate --pedantic --no-net --explain "$share/metainfo/io.github.tarvo.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate --pedantic"

# Each PNG must be the size its folder names (width and height from IHDR).
for n in 16 22 24 32 48 64 128 256; do
  png="$share/icons/hicolor/${n}x${n}/apps/io.github.tarvo.png"
  if [ ! -f "$png" ]; then fail "icon ${n}x${n} missing"; continue; fi
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
  [ "$size" = "${n}x${n}" ] || fail "icon ${n}x${n} is $size"
done
[ -f "$share/icons/hicolor/scalable/apps/io.github.tarvo.svg" ] || fail "scalable icon missing"

# The English page and the Japanese one, each free of troff warnings.
man1="$share/man/man1/tarvo.1"
manja="$share/man/ja/man1/tarvo.1"
for page in "$man1" "$manja"; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man -l $page"
  [ -z "$warnings" ] || fail "man -l $page: $warnings"
done
for key in Hops Delivery Authentication Findings Parts; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$man1" 2>/dev/null | grep -Eq "^ +$key( |$)" || fail "man page lacks the --dump key $key"
done
LC_ALL=C.UTF-8 man -l "$manja" 2>/dev/null | grep -q '説明' || fail "$manja is not the Japanese page"
LC_ALL=C.UTF-8 man -l "$man1" 2>/dev/null | LC_ALL=C.UTF-8 grep -qP '[\p{Hiragana}\p{Katakana}\p{Han}]' &&
  fail "$man1 holds Japanese text"

# The Debian package, built as a packager would, in a scratch copy of the
# tree under the build folder. The copy is kept between runs and the files
# keep their times, so a second run rebuilds only what changed. The tests
# ran above, so the package's build leaves them out (nocheck).
deb_dir="$build/deb-check"
src="$deb_dir/tarvo-$upstream"
mkdir -p "$src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do
    [ -e "$f" ] && printf '%s\0' "$f"
  done > "$deb_dir/files.new"
else
  find . -path ./build\* -prune -o -path ./debian/tarvo -prune -o -type f -printf '%P\0' > "$deb_dir/files.new"
fi
# Files gone from the tree go from the copy too.
if [ -f "$deb_dir/files" ]; then
  comm -z -23 <(sort -z "$deb_dir/files") <(sort -z "$deb_dir/files.new") | (cd "$src" && xargs -0 -r rm -f)
fi
tar -c --null -T "$deb_dir/files.new" -f - | tar -x -f - -C "$src"
mv "$deb_dir/files.new" "$deb_dir/files"
rm -f "$deb_dir"/tarvo_*.deb "$deb_dir"/tarvo-dbgsym_*.deb "$deb_dir"/tarvo_*.changes "$deb_dir"/tarvo_*.buildinfo
# Only the build folder stays; debhelper's records of the last run go, so
# every step runs again.
(cd "$src" && rm -rf debian/.debhelper debian/tarvo debian/debhelper-build-stamp debian/files debian/*.substvars debian/*.log)
start=$SECONDS
if (cd "$src" && DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$(nproc)" dpkg-buildpackage -us -uc -b -nc -Pnocheck) \
     >"$deb_dir/build.log" 2>&1; then
  echo "install check: dpkg-buildpackage took $((SECONDS - start)) s"
else
  tail -40 "$deb_dir/build.log" >&2
  fail "dpkg-buildpackage failed (log: $deb_dir/build.log)"
fi
deb=$(ls "$deb_dir"/tarvo_"$version"_*.deb 2>/dev/null | head -1)
if [ -n "$deb" ]; then
  # lintian: no error and no warning but those debian/tarvo.lintian-overrides
  # answers, each below a comment that says why.
  overrides=debian/tarvo.lintian-overrides
  awk '!/^#/ && NF && prev !~ /^# ./ {print "line " NR ": " $0; bad=1} {prev=$0} END {exit bad}' "$overrides" ||
    fail "$overrides: an override without a reason on the line above"
  lintian --pedantic --fail-on error,warning --tag-display-limit 0 "$deb" >"$deb_dir/lintian.log" 2>&1 ||
    { cat "$deb_dir/lintian.log" >&2; fail "lintian --pedantic $deb"; }
  grep -E '^[EW]: ' "$deb_dir/lintian.log" >&2 && fail "lintian reports errors or warnings"

  depends=$(dpkg-deb -f "$deb" Depends)
  for p in libqt6widgets6 libqt6gui6 libqt6core6 libc6 qt6-qpa-plugins; do
    grep -q "\b$p\b" <<<"$depends" || fail "$deb: Depends lacks $p ($depends)"
  done
  size=$(dpkg-deb -f "$deb" Installed-Size)
  [ "$size" -le 25600 ] || fail "$deb: Installed-Size $size KiB is over 25 MiB"
  contents=$(dpkg-deb -c "$deb")
  for f in ./usr/bin/tarvo ./usr/share/applications/io.github.tarvo.desktop \
           ./usr/share/man/man1/tarvo.1.gz ./usr/share/man/ja/man1/tarvo.1.gz \
           ./usr/share/doc/tarvo/copyright ./usr/share/doc/tarvo/changelog.Debian.gz \
           ./usr/share/metainfo/io.github.tarvo.metainfo.xml ./usr/share/tarvo/dump.schema.json ./usr/share/icons/hicolor/256x256/apps/io.github.tarvo.png; do
    grep -q " $f\$" <<<"$contents" || fail "$deb lacks $f"
  done
  grep -q '/tarvo/tarvo-window\.so$' <<<"$contents" || fail "$deb lacks the window module"
  # Each table is in exactly one file of the package.
  unpacked="$deb_dir/unpacked"
  rm -rf "$unpacked" && dpkg-deb -x "$deb" "$unpacked"
  for table in route/asn.bin route/ccTLD.bin route/ccTLD6.bin; do
    holders=$(find "$unpacked" -type f -print0 | xargs -0 perl -e '
      open my $t, "<:raw", shift or die; seek $t, 4096, 0; read $t, my $probe, 256;
      for my $f (@ARGV) { local $/; open my $h, "<:raw", $f or next; my $b = <$h>;
                          print "$f\n" if index($b, $probe) >= 0 }' "$table")
    [ "$(grep -c . <<<"$holders")" -eq 1 ] || fail "$table is not in exactly one file: ${holders:-none}"
  done
  rm -rf "$unpacked"
else
  fail "dpkg-buildpackage made no tarvo_${version}_*.deb"
fi

[ "$failed" -eq 0 ] && echo "install check: passed ($(basename "${deb:-none}"))"
exit "$failed"
