#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as a user's system would see it:
# its files, its dependencies, its desktop entry, metadata and manual pages, lintian's verdict,
# and the packaged program started for a user with a scratch home, unpacked into a scratch root:
# the user's settings and the demo land in that home, and nothing is written beside the program.
#   check-package.sh BUILD_DIR [DEB]   (with DEB: check that package instead of building one)
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
cleanup() {
  if [ -n "${quarn_pid:-}" ]; then kill "$quarn_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if [ $# -ge 2 ]; then
  deb=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
else
  # gzip instead of the release's xz: the same contents, packed in a fraction of the time.
  (cd "$build" && cpack -G DEB -B "$work/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip > "$work/cpack.log" 2>&1) \
    || { cat "$work/cpack.log"; exit 1; }
  deb=$(ls "$work"/out/quarn_*.deb)
fi
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Control fields.
[ "$(dpkg-deb -f "$deb" Package)" = quarn ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# What the binaries link (found by dpkg-shlibdeps) and the window-system plugins Qt loads.
depends_names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for need in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libsdl2-2.0-0 \
            libavahi-client3 qt6-qpa-plugins; do
  grep -qxF "$need" <<<"$depends_names" || fail "Depends lacks $need"
done
# Nothing a user does not need: no development or test packages.
grep -Eq -- '-dev( |,|$)|gtest|gmock|benchmark|clang' <<<"$depends" && fail "Depends names a build-only package"

# Files.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/files"
for f in /usr/bin/quarn /usr/bin/srcp-sim \
         /usr/share/quarn/Data/Elemente1.dat /usr/share/quarn/Data/Icon0101.bmp \
         /usr/share/quarn/Layouts/Demo.pln /usr/share/quarn/Layouts/Demo.dat /usr/share/quarn/Hilfe/QUARN.html \
         /usr/share/applications/quarn.desktop /usr/share/mime/packages/quarn.xml \
         /usr/share/metainfo/quarn.metainfo.xml /usr/share/icons/hicolor/scalable/apps/quarn.svg \
         /usr/share/icons/hicolor/16x16/apps/quarn.png /usr/share/icons/hicolor/48x48/apps/quarn.png \
         /usr/share/icons/hicolor/256x256/apps/quarn.png \
         /usr/share/man/man1/quarn.1.gz /usr/share/man/man1/srcp-sim.1.gz \
         /usr/share/doc/quarn/copyright /usr/share/doc/quarn/changelog.gz; do
  grep -qx "$f" "$work/files" || fail "missing $f"
done
# Only the programs and their data: no tests, benchmarks, fuzz targets, settings or mime caches.
grep -E '/(test_|bench_|fuzz_)|parmc\.dat|/mime/mime\.cache|^/usr/(local|lib/quarn)' "$work/files" \
  && fail "the package holds files it should not"

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/quarn.desktop" || fail "desktop entry"
if command -v appstreamcli > /dev/null; then
  # The one warning left: the component id is not a reverse domain name (there is no domain).
  appstreamcli validate --no-net "$root/usr/share/metainfo/quarn.metainfo.xml" > "$work/appstream" 2>&1 || true
  grep -E '^[EW]:' "$work/appstream" | grep -v 'cid-desktopapp-is-not-rdns' && fail "AppStream metadata"
fi
for page in quarn srcp-sim; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2> "$work/groff" || true
  [ -s "$work/groff" ] && { cat "$work/groff"; fail "manual page $page(1)"; }
done
if command -v lintian > /dev/null; then
  # Any warning or error fails (the package has none; see the README's "Installing").
  lintian --tag-display-limit 0 "$deb" > "$work/lintian" 2>&1 || true
  grep -E '^[EW]:' "$work/lintian" > "$work/lintian-left" || true
  if [ -s "$work/lintian-left" ]; then cat "$work/lintian-left"; fail "lintian"; fi
fi

# The packaged program for a user: its folder read only, the user's home a scratch folder.
home="$work/home"
mkdir -p "$home"
chmod -R a-w "$root/usr"
touch "$work/started"
sleep 1
HOME="$home" XDG_CONFIG_HOME= XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/quarn" > "$work/quarn.log" 2>&1 &
quarn_pid=$!
for _ in $(seq 1 300); do
  [ -f "$home/.config/quarn/parmc.dat" ] && [ -f "$home/.local/share/quarn/Layouts/Demo.pln" ] && break
  kill -0 "$quarn_pid" 2>/dev/null || break
  sleep 0.1
done
sleep 0.5  # the welcome is open now; the settings were written before it
kill "$quarn_pid" 2>/dev/null || true
wait "$quarn_pid" 2>/dev/null || true
quarn_pid=""
[ -f "$home/.config/quarn/parmc.dat" ] || { cat "$work/quarn.log"; fail "no settings in the user's home"; }
[ -f "$home/.local/share/quarn/Layouts/Demo.pln" ] || fail "the demo was not copied into the user's home"
[ -w "$home/.local/share/quarn/Layouts/Demo.pln" ] || fail "the user's demo copy is read only"
written=$(find "$root" -newer "$work/started" | head -5)
[ -z "$written" ] || fail "written beside the program: $written"
chmod -R u+w "$root/usr"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
