#!/usr/bin/env bash
# Builds the Debian package from the current build directory in a scratch
# directory, then checks what it installs: the program (which answers
# --version without a display), the desktop entry and the metainfo as the
# desktop's own validators see them, and the icon theme's sizes.
#
# Usage: check_package.sh BUILD-DIR
# Exit 0 passed, 1 failed, 77 skipped (the reason is printed).
set -uo pipefail

BUILD=${1:?usage: check_package.sh BUILD-DIR}
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"
        exit 77
    fi
done

SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

if ! cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$SCRATCH/out" >"$SCRATCH/cpack.log" 2>&1; then
    cat "$SCRATCH/cpack.log"
    fail "cpack did not build the package"
    exit 1
fi
shopt -s nullglob
debs=("$SCRATCH"/out/vaultwick_*.deb)
[ ${#debs[@]} -eq 1 ] || { fail "expected one vaultwick_*.deb, found ${#debs[@]}"; exit 1; }
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6widgets6 libcurl4 qt6-qpa-plugins; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib"
done

ROOT="$SCRATCH/root"
dpkg-deb -x "$deb" "$ROOT"
for f in usr/bin/vaultwick usr/share/applications/vaultwick.desktop \
         usr/share/metainfo/example.korvane.Vaultwick.metainfo.xml; do
    [ -f "$ROOT/$f" ] || fail "package lacks /$f"
done
for size in 16 22 24 32 48 64 128 256; do
    f=usr/share/icons/hicolor/${size}x${size}/apps/vaultwick.png
    [ -f "$ROOT/$f" ] || { fail "package lacks /$f"; continue; }
    file "$ROOT/$f" | grep -q "PNG image data, $size x $size" || fail "/$f is not a $size-pixel PNG"
done

desktop-file-validate "$ROOT/usr/share/applications/vaultwick.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/example.korvane.Vaultwick.metainfo.xml" \
    || fail "metainfo invalid"

# The packaged program, with no display at all.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$ROOT/usr/bin/vaultwick" --version 2>&1)
echo "$version"
[[ "$version" == Vaultwick* ]] || fail "the packaged program does not give its version"

[ $failed -eq 0 ] && echo "PASS"
exit $failed
