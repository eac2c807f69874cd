#!/usr/bin/env bash
# The session in a real Secret Service: gnome-keyring inside a private D-Bus session, with a throwaway home and
# runtime folder, so that nothing touches the user's own keyring. Runs the keyring test program in there.
# Usage: keyring-it.sh TEST_PROGRAM KORVEL_BINARY. Exits 77 (skipped) when D-Bus, gnome-keyring or libsecret is
# not installed.
set -euo pipefail

program=$1
korvel=$2
for tool in dbus-run-session gnome-keyring-daemon; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
# grep -q would stop reading early and, under pipefail, turn ldconfig's broken pipe into a skip.
/sbin/ldconfig -p | grep 'libsecret-1\.so\.0' >/dev/null || { echo "skipped: libsecret-1 not installed"; exit 77; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME=$home XDG_RUNTIME_DIR=$home/run XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config
export KORVEL_BINARY=$korvel QT_QPA_PLATFORM=offscreen
unset DBUS_SESSION_BUS_ADDRESS
# The daemon creates and unlocks a login keyring with this password, then serves the Secret Service on the bus.
dbus-run-session -- sh -c 'printf %s pw | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$0"' \
    "$program"
