#!/usr/bin/env bash
# The Debian package as a new user meets it. cpack builds it from the build folder and lintian must report neither
# an error nor a warning. Then, in a clean Debian 12 root made with mmdebstrap from this machine's apt mirror, apt
# installs it with its dependencies from the archive alone; there korvel --version, --stats on a generated log home
# and --card (which needs the Qt platform plugins) must work, an upgrade to the next version must leave the user's
# caches and preferences as they were, and removing the package must leave nothing of it outside the user's data.
# The base root and the packages apt downloads are kept in $KORVEL_TEST_CACHE (default /var/cache/korvel-tests) for
# the next run on this machine.
# Usage: package-check.sh BUILD_DIR. Exits 77 (skipped) when not root or when a packaging tool is missing.
set -euo pipefail

build=$(cd "$1" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "skipped: the clean root needs root (chroot and mounts)"; exit 77; }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian mmdebstrap unshare; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done

started=$SECONDS
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAIL cpack could not build the package"; exit 1; }
deb=$work/pkg/korvel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "FAIL no $(basename "$deb") from cpack: $(ls "$work/pkg")"; exit 1; }

contents=$(dpkg-deb -c "$deb")
for path in usr/bin/korvel usr/libexec/korvel/korvel-desktop usr/share/applications/korvel.desktop \
    usr/share/metainfo/dev.korvel.Korvel.metainfo.xml usr/share/icons/hicolor/scalable/apps/korvel.svg \
    usr/share/man/man1/korvel.1.gz usr/share/doc/korvel/copyright usr/share/doc/korvel/changelog.gz; do
    grep -q " \./$path\$" <<<"$contents" || fail "the package lacks /$path"
done
depends=$(dpkg-deb -f "$deb" Depends)
for dependency in qt6-qpa-plugins libsecret-1-0 libqt6widgets6 libqt6keychain1 libsimdjson14; do
    grep -q "\b$dependency\b" <<<"$depends" || fail "the package does not depend on $dependency: $depends"
done
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || fail "lintian reports errors or warnings"
grep -v 'running with root privileges' "$work/lintian.log" || true

# The next version: the same files under a higher version number.
dpkg-deb -R "$deb" "$work/next"
sed -i "s/^Version: .*/Version: $version+next/" "$work/next/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/next" "$work/korvel_next.deb" >/dev/null

cache=${KORVEL_TEST_CACHE:-/var/cache/korvel-tests}
base=$cache/bookworm-minbase.tar
mkdir -p "$cache/archives/partial"
if [ ! -f "$base" ]; then
    mirror=$(grep -rhoE '^(URIs:|deb) +https?://[^ ]+/debian/?( |$)' /etc/apt/sources.list /etc/apt/sources.list.d 2>/dev/null |
        awk '{ print $2; exit }' || true)
    mmdebstrap --quiet --mode=root --variant=minbase bookworm "$cache/part.tar" "${mirror:-http://deb.debian.org/debian}"
    mv "$cache/part.tar" "$base"
fi
root=$work/root
mkdir "$root"
tar -C "$root" -xf "$base"
cp "$deb" "$work/korvel_next.deb" "$root/tmp/"
cp /etc/resolv.conf "$root/etc/resolv.conf"

cat >"$root/tmp/inside.sh" <<INSIDE
#!/bin/bash
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
apt=(apt-get -qq -o APT::Sandbox::User=root -o APT::Keep-Downloaded-Packages=true)
fail() { echo "FAIL \$*"; exit 1; }
"\${apt[@]}" update
"\${apt[@]}" install -y --no-install-recommends /tmp/$(basename "$deb") >/tmp/install.log ||
    { cat /tmp/install.log; fail "apt could not install the package from the archive"; }
useradd --create-home user
as_user() { runuser -u user -- env HOME=/home/user XDG_RUNTIME_DIR=/tmp/user-runtime "\$@"; }
as_user mkdir -m 700 /tmp/user-runtime
[ "\$(as_user korvel --version)" = "korvel $version" ] || fail "korvel --version printed \$(as_user korvel --version)"
as_user mkdir -p /home/user/.claude/projects/demo /home/user/.config/Korvel
printf '%s\n' '{"type":"user","timestamp":"2025-04-01T10:00:00Z","message":{"content":"go"}}' \
    '{"type":"user","timestamp":"2025-04-01T10:01:00Z","toolUseResult":{"filePath":"/a","structuredPatch":[{"lines":["+a","+b"]}]}}' |
    as_user tee /home/user/.claude/projects/demo/s.jsonl >/dev/null
printf '[General]\nkorvel.notchAtScreenEdge=true\n' | as_user tee /home/user/.config/Korvel/Korvel.conf >/dev/null
as_user korvel --stats | grep -qx 'linesAdded 2 linesRemoved 0 total 2' || fail "korvel --stats: \$(as_user korvel --stats)"
as_user korvel --card /tmp/card.png >/dev/null || fail "korvel --card failed"
[ "\$(od -An -tu4 --endian=big -j16 -N8 /tmp/card.png | tr -s ' ')" = " 1200 630" ] || fail "the card is not 1200 x 630"
[ -f /home/user/.local/share/Korvel/parse-cache.db ] || fail "korvel --stats left no parse cache"
userData() { find /home/user -type f -exec sha256sum {} + | sort; }
data=\$(userData)
dpkg -L korvel >/tmp/files.list
"\${apt[@]}" install -y /tmp/korvel_next.deb >/dev/null
[ "\$(dpkg-query -W -f '\${Version}' korvel)" = "$version+next" ] || fail "the upgrade did not install the next version"
[ "\$(userData)" = "\$data" ] || fail "the upgrade changed the user's caches or preferences"
"\${apt[@]}" purge -y korvel >/dev/null
while read -r path; do
    [ -d "\$path" ] || [ ! -e "\$path" ] || fail "removing the package left \$path"
done </tmp/files.list
left=\$(find / -xdev \( -path /proc -o -path /dev -o -path /home/user -o -path /tmp -o -path /var/cache/apt \) -prune \
    -o -iname '*korvel*' -print)
[ -z "\$left" ] || fail "removing the package left: \$left"
[ "\$(userData)" = "\$data" ] || fail "removing the package touched the user's data"
INSIDE

# A private mount namespace: the mounts go away with the test, whatever happens to it.
if ! unshare --mount --propagation private -- sh -c '
    mount -t proc proc "$1/proc" && mount --rbind /dev "$1/dev" &&
        mount --bind "$2" "$1/var/cache/apt/archives" && chroot "$1" /bin/bash /tmp/inside.sh' \
    - "$root" "$cache/archives"; then
    fail "the package did not install, run, upgrade and go cleanly in a clean Debian 12 root"
fi

if [ "$failures" -gt 0 ]; then
    echo "package check: $failures checks failed ($((SECONDS - started)) s)"
    exit 1
fi
echo "package check: all checks passed in $((SECONDS - started)) s"
