#!/usr/bin/env bash
# Set-up, build and run for a fresh Debian 12 machine; quick when nothing changed.
#   scripts/dev.sh run [korvel arguments...]   install what is missing, build, run korvel
#   scripts/dev.sh test                        install what is missing, build, run every test
#                                              (the normal build, then again under ASan and UBSan, then the
#                                              fuzz targets: their seeds and a short fixed run each)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

packages=(g++ cmake ninja-build pkg-config tzdata libsimdjson-dev libgtest-dev libbenchmark-dev
    qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core qtkeychain-qt6-dev libpq-dev
    libsecret-1-0 libsqlite3-dev libzstd-dev)
# Only for the tests: an X server with a compositor, pointer control and screenshots for the overlay test; a
# window manager and a top panel that is also a tray host for the panel test; a headless Wayland compositor with
# XWayland for the Wayland test; a session bus with gnome-keyring for the keyring test; PostgreSQL for the
# leaderboard table and the test backend; chromium for the leaderboard's web page; the validators of the installed
# desktop entry and AppStream metadata; the package tools, lintian and mmdebstrap for the Debian package and its
# clean root; clang with libFuzzer for the fuzz targets.
test_packages=(xvfb xauth x11-xserver-utils x11-utils xdotool xcompmgr imagemagick openbox trayer weston xwayland
    dbus gnome-keyring postgresql chromium desktop-file-utils appstream dpkg-dev file lintian mmdebstrap clang-14
    libclang-rt-14-dev)
font_package=@proj-airi/font-departure-mono@0.10.2

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}" >&2
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
    fi
}

# The pixel font (SIL Open Font License) comes from the npm registry; without npm the build uses the system's
# monospaced font instead.
fetch_font() {
    local dir=resources/fonts
    [ -f "$dir/DepartureMono-Regular.otf" ] && return 0
    if ! command -v npm >/dev/null 2>&1; then
        echo "npm not found: building without the Departure Mono font" >&2
        return 0
    fi
    local tmp
    tmp=$(mktemp -d)
    if (cd "$tmp" && npm pack --silent "$font_package" >/dev/null 2>&1) && tar -xzf "$tmp"/*.tgz -C "$tmp"; then
        mkdir -p "$dir"
        cp "$tmp/package/dist/files/DepartureMono-Regular.otf" "$dir/"
        cp "$tmp/package/LICENSE" "$dir/LICENSE-DepartureMono.txt"
    else
        echo "could not fetch $font_package: building without the Departure Mono font" >&2
    fi
    rm -rf "$tmp"
}

build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" >&2
    fi
    cmake --build "$dir" >&2
}

command=${1:-}
[ $# -gt 0 ] && shift
case "$command" in
run)
    install_missing "${packages[@]}"
    fetch_font
    build build
    exec build/app/korvel "$@"
    ;;
test)
    install_missing "${packages[@]}" "${test_packages[@]}"
    fetch_font
    build build
    ctest --test-dir build --output-on-failure -j2
    build build-sanitize -DKORVEL_SANITIZE=ON -DKORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-sanitize --output-on-failure -j2
    build build-fuzz -DKORVEL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14
    ctest --test-dir build-fuzz --output-on-failure -j2
    ;;
*)
    echo "usage: scripts/dev.sh run [korvel arguments...] | scripts/dev.sh test" >&2
    exit 2
    ;;
esac
