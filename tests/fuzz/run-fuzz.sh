#!/bin/sh
# run-fuzz.sh TARGET SEEDS WORK RUNS: replays every seed in SEEDS, then mutates RUNS more inputs from them with a
# fixed seed (RUNS 0 replays only). WORK is emptied first and takes the new inputs and any crash, so the seed
# folder is never written to.
set -eu
target=$1
seeds=$2
work=$3
runs=$4
rm -rf "$work"
mkdir -p "$work/corpus"
exec "$target" -runs="$runs" -seed=1 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "$seeds"
