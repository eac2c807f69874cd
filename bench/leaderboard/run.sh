#!/usr/bin/env bash
# The leaderboard at scale on a private PostgreSQL: a million plausible score rows, then the median and 99th
# percentile of the top-ten queries, the own-rank query and the whole board call (one client), their plans, and the
# sustained rate of score upserts from 8 concurrent clients, with what each index and the counting trigger cost it.
#   bench/leaderboard/run.sh [users]      (default 1000000; takes a few minutes)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
users=${1:-1000000}
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
[ -x "$bin/pg_ctl" ] || { echo "PostgreSQL is not installed (apt-get install postgresql)" >&2; exit 1; }

work=$(mktemp -d /tmp/korvel-board-bench.XXXXXX)
chmod 755 "$work"
as_server() { if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=postgres --regid=postgres --clear-groups "$@"; else "$@"; fi; }
[ "$(id -u)" -eq 0 ] && chown postgres "$work"
cleanup() { as_server "$bin/pg_ctl" -D "$work/data" -m immediate -w stop >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

# Durable commits, as a hosted database runs them; memory sized for a small server.
as_server "$bin/initdb" -D "$work/data" -U postgres -A trust -E UTF8 --locale=C >/dev/null
as_server "$bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w \
    -o "-k $work -c listen_addresses= -c shared_buffers=512MB -c max_connections=40" start >/dev/null
psql=(psql -h "$work" -U postgres -d postgres -v ON_ERROR_STOP=1 -q -X)
pgbench=("$bin/pgbench" -h "$work" -U postgres -n -D "users=$users")

for file in tests/sync/supabase-shape.sql backend/scores.sql backend/profiles.sql backend/leaderboard.sql; do
    "${psql[@]}" -f "$root/$file" >/dev/null 2>&1
done
echo "Filling $users users..."
start=$(date +%s)
"${psql[@]}" -v "users=$users" -f "$here/fill.sql"
echo "filled in $(( $(date +%s) - start )) s"

# pgbench's per-transaction log holds the latency in microseconds in its third column.
percentiles() {
    cat "$work"/log.* | awk '{print $3}' | sort -n | awk '{v[NR]=$1} END {
        printf "median %.2f ms, p99 %.2f ms over %d runs\n", v[int(NR*0.5)+1]/1000, v[int(NR*0.99)+1]/1000, NR}'
    rm -f "$work"/log.*
}

timed() {
    local name=$1 clients=$2 seconds=$3
    (cd "$work" && "${pgbench[@]}" -c "$clients" -j 2 -T "$seconds" -l --log-prefix=log -f "$here/$name.pgbench" postgres) \
        | grep -E "^tps" | sed "s/^/  /"
    printf '  %s: ' "$name"
    percentiles
}

echo
echo "== Reads, one client =="
for query in top-score top-week top-today own-rank board; do
    timed "$query" 1 10
done

echo
echo "== Plans =="
explain() { "${psql[@]}" -c "explain (analyze, costs off, timing on) $1" | sed 's/^/  /'; }
explain "select l.display_name, l.korvel_score from public.leaderboard l order by l.korvel_score desc, l.user_id limit 10"
explain "select l.display_name, l.lines_week from public.leaderboard l where public.board_week(l.last_synced) = public.board_week(now()) order by public.board_week(l.last_synced), l.lines_week desc, l.user_id limit 10"
explain "select l.display_name, l.lines_today from public.leaderboard l where public.board_day(l.last_synced) = public.board_day(now()) order by public.board_day(l.last_synced), l.lines_today desc, l.user_id limit 10"
# The own rank's costly part: the rows above a figure inside its bucket.
explain "select count(*) from public.scores s where public.board_day(s.last_synced) = public.board_day(now()) and s.lines_today > 301 and s.lines_today < 324"

echo
echo "== Upserts, 8 clients =="
timed upsert 8 20

echo
echo "== What each part costs the upsert (8 clients, 10 s each, the part dropped) =="
for part in scores_by_score scores_by_week scores_by_today scores_board_counts; do
    if [ "$part" = scores_board_counts ]; then
        "${psql[@]}" -c "alter table public.scores disable trigger scores_board_counts"
    else
        "${psql[@]}" -c "create table keep_$part as select pg_get_indexdef('public.$part'::regclass) as def" \
            -c "drop index public.$part"
    fi
    printf '  without %s: ' "$part"
    (cd "$work" && "${pgbench[@]}" -c 8 -j 2 -T 10 -f "$here/upsert.pgbench" postgres) | grep -E "^tps" | awk '{print $3 " upserts/s"}'
    if [ "$part" = scores_board_counts ]; then
        "${psql[@]}" -c "alter table public.scores enable trigger scores_board_counts" -c "select public.board_counts_rebuild()" >/dev/null
    else
        def=$("${psql[@]}" -At -c "select def from keep_$part")
        "${psql[@]}" -c "$def" -c "drop table keep_$part"
    fi
done
