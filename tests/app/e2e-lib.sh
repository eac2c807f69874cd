# The harness of the end-to-end scripts, sourced after `set -euo pipefail`: a private folder ($scratch) and the
# background processes ($pids) that go when the script ends, failures counted by fail, and a bounded poll.

# require_tools TOOL...: exits 77 (skipped) when one of them is not installed.
require_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
    done
}

scratch=$(mktemp -d)
chmod 700 "$scratch"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# poll COMMAND...: retries for up to 10 s until it succeeds.
poll() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}

# finish NAME OUTPUT: says how the checks went and exits with 1 when one failed.
finish() {
    if [ "$failures" -gt 0 ]; then
        echo "$1: $failures checks failed (see $2)"
        exit 1
    fi
    echo "$1: all checks passed (see $2)"
}
