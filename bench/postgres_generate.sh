#!/usr/bin/env bash
# Scripting a PostgreSQL table as INSERT statements: qarnSqlGenCli
# (Provider=PostgreSQL, the native engine) against pg_dump --data-only
# --column-inserts on the same table, whole processes in turn.  For each
# table size: one warm-up run of each, then QARN_BENCH_RUNS (3) alternating
# runs; prints every time, the medians, their ratio and the peak resident
# memory of each.
#
#   bench/postgres_generate.sh          1,000,000 rows
#   bench/postgres_generate.sh --5m     1,000,000 and 5,000,000 rows (is memory flat?)
#
# Uses the server QARN_PG_PORT names when set (QARN_PG_HOST/DB/USER/PASSWORD
# as scripts/lib/servers.sh exports them); otherwise starts one of its own
# for the run.  The tables (t_ROWS: an integer key, a text with an
# apostrophe in every tenth row, a double, a date and an integer flag) are
# made once and kept in that database.
set -euo pipefail
QARN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$QARN_ROOT/scripts/lib/setup.sh"
source "$QARN_ROOT/scripts/lib/servers.sh"

sizes=${QARN_BENCH_ROWS:-1000000}
[ "${1:-}" = "--5m" ] && sizes="1000000 5000000"

ensure_packages >&2
export_environment
build_dir=${QARN_BENCH_BUILD_DIR:-$QARN_ROOT/build-bench}
build_project "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQARN_SANITIZE=OFF -DQARN_BUILD_TESTS=OFF >&2
cli=$build_dir/bin/qarnSqlGenCli
scratch=${QARN_BENCH_DIR:-/tmp/qarn-bench}
runs=${QARN_BENCH_RUNS:-3}
mkdir -p "$scratch"

if [ -z "${QARN_PG_PORT:-}" ]; then
    QARN_SERVER_ROOT=$(mktemp -d /tmp/qarn-servers-XXXXXX)
    chmod 755 "$QARN_SERVER_ROOT"
    trap 'stop_postgres; rm -rf "$QARN_SERVER_ROOT"' EXIT
    start_postgres >&2
fi
host=${QARN_PG_HOST:-127.0.0.1} db=${QARN_PG_DB:-qarn} user=${QARN_PG_USER:-qarn}
export PGPASSWORD=${QARN_PG_PASSWORD:-qarn}
connection="Provider=PostgreSQL;Data Source=$host;Port=$QARN_PG_PORT;Initial Catalog=$db;User ID=$user;Password=$PGPASSWORD"
sql() { psql -X -q -v ON_ERROR_STOP=1 -h "$host" -p "$QARN_PG_PORT" -U "$user" -d "$db" "$@"; }

make_table() {
    local rows=$1
    if [ "$(sql -tAc "SELECT to_regclass('t_$rows') IS NOT NULL")" != t ]; then
        sql <<SQL >&2
CREATE TABLE t_$rows (id integer PRIMARY KEY, name text, amount double precision, day date, flag integer);
INSERT INTO t_$rows SELECT i,
    CASE WHEN i % 10 = 0 THEN 'O''Brien''s cellar ' || i ELSE 'Wine number ' || i END,
    i / 7.0, date '2000-01-01' + i % 9000, i % 2
FROM generate_series(1, $rows) AS i;
VACUUM ANALYZE t_$rows;
SQL
    fi
}

# measure NAME STDOUT COMMAND...: appends "nanoseconds peak-kilobytes" to NAME.times
measure() {
    local name=$1 out=$2 t0 t1
    shift 2
    t0=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$scratch/$name.rss" "$@" >"$out"
    t1=$(date +%s%N)
    echo "$((t1 - t0)) $(tail -n 1 "$scratch/$name.rss")" >>"$scratch/$name.times"
}

out_cli=$scratch/pg-cli.sql
out_dump=$scratch/pg-dump.sql
run_cli() { measure cli /dev/null "$cli" generate -c "$connection" -s "SELECT * FROM t_$rows" -o "$out_cli" --quiet; }
run_dump() {
    measure dump "$out_dump" pg_dump --data-only --column-inserts -h "$host" -p "$QARN_PG_PORT" -U "$user" \
        -t "t_$rows" "$db"
}

seconds() { awk '{ printf "%.3f", $1 / 1e9 }'; }
median_seconds() { sort -n "$1" | awk '{ t[NR] = $1 } END { printf "%.3f", t[int((NR + 1) / 2)] / 1e9 }'; }
peak_mb() { awk '$2 > m { m = $2 } END { printf "%.1f", m / 1024 }' "$1"; }

echo "Scripting a PostgreSQL table as INSERT statements; median of $runs runs after a warm-up."
echo "Machine: $(nproc) CPU(s), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for rows in $sizes; do
    make_table "$rows"
    run_cli
    run_dump
    rm -f "$scratch/cli.times" "$scratch/dump.times"
    for ((i = 0; i < runs; i++)); do
        run_cli
        run_dump
        printf '%-9s run %d: qarnSqlGenCli %s s, pg_dump %s s\n' "$rows" $((i + 1)) \
            "$(tail -n 1 "$scratch/cli.times" | seconds)" "$(tail -n 1 "$scratch/dump.times" | seconds)"
    done
    # Both must have scripted every row, or the times mean nothing.
    for f in "$out_cli" "$out_dump"; do
        inserts=$(grep -c '^INSERT INTO' "$f")
        if [ "$inserts" -ne "$rows" ]; then
            echo "$f has $inserts INSERT lines, expected $rows" >&2
            exit 1
        fi
    done
    printf '%-9s %-14s %10s %14s %11s\n' rows program "median s" "peak RSS MB" "output MB"
    for p in cli dump; do
        name=qarnSqlGenCli out=$out_cli
        [ $p = dump ] && name=pg_dump out=$out_dump
        printf '%-9s %-14s %10s %14s %11s\n' "$rows" "$name" "$(median_seconds "$scratch/$p.times")" \
            "$(peak_mb "$scratch/$p.times")" "$(awk -v b="$(stat -c %s "$out")" 'BEGIN { printf "%.1f", b / 1048576 }')"
    done
    awk -v a="$(median_seconds "$scratch/cli.times")" -v b="$(median_seconds "$scratch/dump.times")" \
        'BEGIN { printf "%-9s time ratio qarnSqlGenCli / pg_dump: %.2f\n", "", a / b }'
    rm -f "$out_cli" "$out_dump"
done
