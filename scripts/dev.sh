#!/usr/bin/env bash
# Set-up, build and run for a fresh Debian 12 machine; quick when nothing changed.
#   scripts/dev.sh run [korvel arguments...]   install what is missing, build, run korvel
#   scripts/dev.sh test                        install what is missing, build, run every test
#                                              (the normal build, then again under ASan and UBSan)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

packages=(g++ cmake ninja-build pkg-config tzdata libsimdjson-dev libgtest-dev libbenchmark-dev)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}" >&2
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
    fi
}

build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja "$@" >&2
    fi
    cmake --build "$dir" >&2
}

command=${1:-}
[ $# -gt 0 ] && shift
case "$command" in
run)
    install_missing
    build build
    exec build/app/korvel "$@"
    ;;
test)
    install_missing
    build build
    ctest --test-dir build --output-on-failure -j2
    build build-sanitize -DKORVEL_SANITIZE=ON -DKORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-sanitize --output-on-failure -j2
    ;;
*)
    echo "usage: scripts/dev.sh run [korvel arguments...] | scripts/dev.sh test" >&2
    exit 2
    ;;
esac
