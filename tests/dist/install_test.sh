#!/bin/sh
# Installs the build into a temporary root and checks what a user and a packager get: the file list, the
# desktop entry and AppStream data, the manual pages, the bin/ links, the sample brand found beside the real
# executable, and the Debian package unpacked and started.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -eu
BUILD=$1
SOURCE=$2
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ -n "$VERSION" ] || fail "no project version in the cache"

# --- install into DESTDIR, prefix /usr ---
DESTDIR="$ROOT/stage" cmake --install "$BUILD" --prefix /usr >"$ROOT/install.log" || { cat "$ROOT/install.log"; fail "install"; }
STAGE="$ROOT/stage/usr"

programs="tessaly httpget"
[ -x "$BUILD/app/tessaly-batch" ] || [ -x "$BUILD/tools/tessaly-batch" ] && programs="$programs tessaly-batch"
{
  for p in $programs; do
    echo "bin/$p"
    echo "lib/tessaly/$p"
    echo "share/man/man1/$p.1"
  done
  echo share/applications/tessaly.desktop
  echo share/metainfo/org.tessaly.Tessaly.metainfo.xml
  echo share/icons/hicolor/scalable/apps/tessaly.svg
  for size in 48 128 256; do echo "share/icons/hicolor/${size}x${size}/apps/tessaly.png"; done
} | sort >"$ROOT/expected"
(cd "$STAGE" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort) >"$ROOT/actual"
diff -u "$ROOT/expected" "$ROOT/actual" || fail "installed file list"

for p in $programs; do
  [ -L "$STAGE/bin/$p" ] || fail "bin/$p is not a link"
  [ "$(readlink "$STAGE/bin/$p")" = "../lib/tessaly/$p" ] || fail "bin/$p points elsewhere"
done
"$STAGE/bin/httpget" --version | grep -qx "httpget (Tessaly) $VERSION" || fail "httpget --version"

desktop-file-validate "$STAGE/share/applications/tessaly.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$STAGE/share/metainfo/org.tessaly.Tessaly.metainfo.xml" >"$ROOT/appstream.log" 2>&1 \
  || { cat "$ROOT/appstream.log"; fail "AppStream metadata"; }
grep -q "version=\"$VERSION\"" "$STAGE/share/metainfo/org.tessaly.Tessaly.metainfo.xml" || fail "AppStream release version"
for page in "$STAGE"/share/man/man1/*.1; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" >"$ROOT/page.txt" 2>"$ROOT/page.err" || fail "man $page"
  [ -s "$ROOT/page.err" ] && { cat "$ROOT/page.err"; fail "warnings in $page"; }
  grep -q "$VERSION" "$ROOT/page.txt" || fail "no version in $page"
done

# Starts $1 under a virtual X server and waits up to 30 s for a top-level window titled $2.
shows_window() {
  cat >"$ROOT/show.sh" <<INNER
"\$1" >"$ROOT/program.log" 2>&1 &
pid=\$!
i=0
while [ \$i -lt 150 ]; do
  if xwininfo -root -tree 2>/dev/null | grep -qF "\"\$2\": (\"tessaly\""; then kill \$pid; exit 0; fi
  kill -0 \$pid 2>/dev/null || exit 3
  sleep 0.2
  i=\$((i + 1))
done
kill \$pid
exit 4
INNER
  HOME="$ROOT/home" XDG_CONFIG_HOME="$ROOT/home/.config" xvfb-run -a -s '-screen 0 1024x768x24' sh "$ROOT/show.sh" "$1" "$2"
}
mkdir -p "$ROOT/home"

# --- the sample brand, dropped beside the real executable ---
cp "$SOURCE"/docs/brand/* "$STAGE/lib/tessaly/"
shows_window "$STAGE/bin/tessaly" "Tessaly Sample Brand" || { cat "$ROOT/program.log"; fail "sample brand caption"; }

# --- the Debian package ---
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$ROOT/package" >"$ROOT/cpack.log" 2>&1 || { cat "$ROOT/cpack.log"; fail "cpack"; }
DEB="$ROOT/package/tessaly_${VERSION}_amd64.deb"
[ -f "$DEB" ] || { ls "$ROOT/package"; fail "no $DEB"; }
dpkg-deb -f "$DEB" Depends | grep -q "libqt6widgets6" || fail "Depends lacks the Qt libraries: $(dpkg-deb -f "$DEB" Depends)"
dpkg-deb -f "$DEB" Depends | grep -q "fonts-liberation2" || fail "Depends lacks the fonts"
dpkg -x "$DEB" "$ROOT/unpacked"
(cd "$ROOT/unpacked/usr" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort) >"$ROOT/unpacked.list"
diff -u "$ROOT/expected" "$ROOT/unpacked.list" || fail "package file list"
shows_window "$ROOT/unpacked/usr/bin/tessaly" "Tessaly" || { cat "$ROOT/program.log"; fail "packaged program"; }
echo "installed and packaged: $programs, version $VERSION"
