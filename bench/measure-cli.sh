#!/usr/bin/env bash
# Times whole korvel processes over a home of logs: CPU time (user plus system, of the process and its children) and
# peak resident memory per run, averaged over RUNS runs.
#   warm   --stats, --statusline and --daily --json with nothing changed
#   grown  --stats in a new process after one transcript grew by a line (the line is removed again afterwards)
#   cold   --stats with no cache, against ccusage's `daily --offline --json` on the same tree, in alternating runs
#          (CCUSAGE: the path of the ccusage command, for example from `npm install ccusage@20.0.24`)
#   reports  every report once, warm, with its peak memory
# Usage: bench/measure-cli.sh KORVEL_BINARY HOME_DIR warm|grown|cold|reports [RUNS]   (Korvel's own files go to
# HOME_DIR/korvel-cli-data)
set -euo pipefail
korvel=$1
home=$2
mode=$3
runs=${4:-20}
data=$home/korvel-cli-data
mkdir -p "$data"

korvel_run() {
    env HOME="$home" XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$data/config" "$korvel" "$@"
}
export -f korvel_run
export home data korvel

# "cpu-seconds peak-kilobytes" of a shell command run n times: the CPU time of all of them (the clock's 10 ms ticks
# average out over many runs), and the largest peak of one.
repeated() {
    local n=$1 command=$2 times
    times=$(mktemp)
    /usr/bin/time -f '%U %S %M' -o "$times" bash -c "for _ in \$(seq $n); do $command >/dev/null 2>&1; done"
    awk '{ printf "%.4f %d\n", $1 + $2, $3 }' "$times"
    rm -f "$times"
}

# The average CPU milliseconds and the peak of runs of a command.
average() {
    local cpu kb
    read -r cpu kb < <(repeated "$runs" "$1")
    awk -v t="$cpu" -v n="$runs" -v p="$kb" 'BEGIN { printf "%7.1f ms CPU  %6.1f MB peak\n", 1000 * t / n, p / 1024 }'
}

case "$mode" in
warm)
    korvel_run --stats >/dev/null
    for args in "--stats" "--statusline" "--daily --json" "--version"; do
        printf '%-16s %s\n' "$args" "$(average "korvel_run $args")"
    done
    ;;
grown)
    korvel_run --stats >/dev/null
    target=$(find "$home/.claude/projects" -name '*.jsonl' -size +20k -print -quit)
    size=$(stat -c %s "$target")
    trap 'truncate -s "$size" "$target"' EXIT
    export target
    printf '%s\n' "$(tail -n 1 "$target")" >"$data/line"
    printf -- '--stats after a transcript grew  %s\n' "$(average 'cat "$data/line" >>"$target"; korvel_run --stats')"
    ;;
cold)
    : "${CCUSAGE:?set CCUSAGE to the ccusage command}"
    korvel_cpu=0 peer_cpu=0 korvel_wall=0
    for _ in $(seq "$runs"); do
        rm -rf "$data/Korvel"
        start=$(date +%s.%N)
        read -r cpu _ < <(repeated 1 "korvel_run --stats")
        end=$(date +%s.%N)
        korvel_cpu=$(awk -v a="$korvel_cpu" -v b="$cpu" 'BEGIN { print a + b }')
        korvel_wall=$(awk -v a="$korvel_wall" -v s="$start" -v e="$end" 'BEGIN { print a + e - s }')
        read -r cpu _ < <(repeated 1 "env HOME=\"$home\" \"$CCUSAGE\" daily --offline --json")
        peer_cpu=$(awk -v a="$peer_cpu" -v b="$cpu" 'BEGIN { print a + b }')
    done
    awk -v k="$korvel_cpu" -v w="$korvel_wall" -v p="$peer_cpu" -v n="$runs" 'BEGIN {
        printf "korvel --stats, cold  %6.2f CPU-s  %6.2f s wall (%.2f of its CPU time)\n", k / n, w / n, w / k
        printf "ccusage daily --offline --json  %6.2f CPU-s\n", p / n
        printf "korvel takes %.2fx less CPU\n", p / k }'
    ;;
reports)
    korvel_run --stats >/dev/null
    runs=1
    for args in "--daily" "--monthly" "--projects" "--models" "--sessions --limit 0" "--statusline"; do
        printf '%-20s %s\n' "$args" "$(average "korvel_run $args --json")"
    done
    ;;
*)
    echo "usage: bench/measure-cli.sh KORVEL_BINARY HOME_DIR warm|grown|cold|reports [RUNS]" >&2
    exit 2
    ;;
esac
