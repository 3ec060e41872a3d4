#!/usr/bin/env bash
# Scripting a table as INSERT statements: qarnSqlGenCli against the sqlite3
# shell's ".mode insert" on the same SQLite table, whole processes side by
# side in one run.  For each table size: one warm-up run of each, then
# QARN_BENCH_RUNS (5) alternating runs; prints the median wall time, the
# ratio and the peak resident memory of each.  The tables are made once in
# QARN_BENCH_DIR (/tmp/qarn-bench) and kept for later runs.
set -euo pipefail
QARN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$QARN_ROOT/scripts/lib/setup.sh"

ensure_packages >&2
export_environment
build_dir=${QARN_BENCH_BUILD_DIR:-$QARN_ROOT/build-bench}
build_project "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQARN_SANITIZE=OFF -DQARN_BUILD_TESTS=OFF >&2
cli=$build_dir/bin/qarnSqlGenCli
scratch=${QARN_BENCH_DIR:-/tmp/qarn-bench}
runs=${QARN_BENCH_RUNS:-5}
sizes=${QARN_BENCH_ROWS:-"250000 1000000"}
mkdir -p "$scratch"

# The table t of ROWS rows: an integer key, a text with an apostrophe in
# every tenth row, a real, a date as text and an integer flag.
make_table() {
    local rows=$1 db=$scratch/t$1.db
    if [ ! -f "$db" ]; then
        rm -f "$db.new"
        sqlite3 -bail "$db.new" <<SQL
CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, amount REAL, day TEXT, flag INTEGER);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
INSERT INTO t SELECT i,
    CASE WHEN i % 10 = 0 THEN 'O''Brien''s cellar ' || i ELSE 'Wine number ' || i END,
    i / 7.0,
    date('2000-01-01', '+' || (i % 9000) || ' days'),
    i % 2
FROM n;
SQL
        mv "$db.new" "$db"
    fi
    echo "$db"
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

out_cli=$scratch/cli.sql
out_shell=$scratch/shell.sql
run_cli() { measure cli /dev/null "$cli" generate -c "Provider=SQLite;Data Source=$db" -s "SELECT * FROM t" -o "$out_cli" --quiet; }
run_shell() { measure shell "$out_shell" sqlite3 "$db" ".mode insert t" "SELECT * FROM t"; }

median_seconds() { sort -n "$1" | awk '{ t[NR] = $1 } END { printf "%.3f", t[int((NR + 1) / 2)] / 1e9 }'; }
peak_mb() { awk '$2 > m { m = $2 } END { printf "%.1f", m / 1024 }' "$1"; }

echo "Scripting table t as INSERT statements; median of $runs runs after a warm-up."
echo "Machine: $(nproc) CPU(s), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf '%-9s %-14s %10s %14s %11s\n' rows program "median s" "peak RSS MB" "output MB"
for rows in $sizes; do
    db=$(make_table "$rows")
    run_cli
    run_shell
    rm -f "$scratch/cli.times" "$scratch/shell.times"
    for ((i = 0; i < runs; i++)); do
        run_cli
        run_shell
    done
    # Both must have scripted every row, or the times mean nothing.
    for f in "$out_cli" "$out_shell"; do
        lines=$(wc -l <"$f")
        if [ "$lines" -ne "$rows" ]; then
            echo "$f has $lines lines, expected $rows" >&2
            exit 1
        fi
    done
    for p in cli shell; do
        name=qarnSqlGenCli out=$out_cli
        [ $p = shell ] && name=sqlite3 out=$out_shell
        printf '%-9s %-14s %10s %14s %11s\n' "$rows" "$name" "$(median_seconds "$scratch/$p.times")" \
            "$(peak_mb "$scratch/$p.times")" "$(awk -v b="$(stat -c %s "$out")" 'BEGIN { printf "%.1f", b / 1048576 }')"
    done
    awk -v a="$(median_seconds "$scratch/cli.times")" -v b="$(median_seconds "$scratch/shell.times")" \
        'BEGIN { printf "%-9s time ratio qarnSqlGenCli / sqlite3: %.2f\n", "", a / b }'
    rm -f "$out_cli" "$out_shell"
done
