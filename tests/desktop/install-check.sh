#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what the desktop sees there: the binaries, the menu entry that
# claims the korvel URL scheme, the icons at their sizes, the AppStream metadata; the freedesktop validators must
# accept the entry and the metadata.
# Usage: install-check.sh BUILD_DIR. Exits 77 (skipped) when the validators are not installed.
set -euo pipefail

build=$1
for tool in desktop-file-validate appstreamcli update-desktop-database; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

share=$prefix/share
[ -x "$prefix/bin/korvel" ] || fail "no executable bin/korvel"
[ "$("$prefix/bin/korvel" --version)" = "korvel $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ] ||
    fail "the installed korvel does not print its version"
# korvel starts the desktop executable for the renders and the application: from the installed libexec folder.
[ -x "$prefix/libexec/korvel/korvel-desktop" ] || fail "no executable libexec/korvel/korvel-desktop"
QT_QPA_PLATFORM=offscreen "$prefix/bin/korvel" --sprites "$prefix/sprites.png" >/dev/null &&
    [ -s "$prefix/sprites.png" ] || fail "the installed korvel does not start korvel-desktop for a render"

entry=$share/applications/korvel.desktop
grep -qx 'Exec=korvel %u' "$entry" || fail "the entry does not start korvel with the URL"
grep -qx 'MimeType=x-scheme-handler/korvel;' "$entry" || fail "the entry does not claim the korvel scheme"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
update-desktop-database "$share/applications"
grep -q '^x-scheme-handler/korvel=korvel.desktop;$' "$share/applications/mimeinfo.cache" ||
    fail "the desktop database does not route the korvel scheme to korvel.desktop"

metainfo=$share/metainfo/dev.korvel.Korvel.metainfo.xml
appstreamcli validate --no-net "$metainfo" >/dev/null || fail "appstreamcli rejects $metainfo"
grep -q '<launchable type="desktop-id">korvel.desktop</launchable>' "$metainfo" ||
    fail "the metadata does not name the desktop entry"

# A PNG stores its width and height as big-endian 32-bit numbers at bytes 16 to 23.
for size in 48 128 256; do
    icon=$share/icons/hicolor/${size}x${size}/apps/korvel.png
    if [ ! -f "$icon" ]; then
        fail "no $size px icon"
        continue
    fi
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$icon")
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$icon is ${w}x$h"
done
grep -q '<svg' "$share/icons/hicolor/scalable/apps/korvel.svg" || fail "no scalable icon"
gzip -dc "$share/man/man1/korvel.1.gz" | grep -q '^\.SH EXIT STATUS' || fail "no manual page korvel(1)"

if [ "$failures" -gt 0 ]; then
    echo "install check: $failures checks failed"
    exit 1
fi
echo "install check: all checks passed"
