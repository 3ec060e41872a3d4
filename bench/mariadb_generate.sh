#!/usr/bin/env bash
# Scripting a MariaDB table as INSERT statements: qarnSqlGenCli generate
# (Provider=MariaDB, the native engine) against mysqldump writing one
# INSERT per row (--skip-extended-insert --complete-insert --no-create-info
# --quick), whole processes side by side on the same table.
#
# Usage: bench/mariadb_generate.sh [ROWS...]   (default 1000000; e.g. 1000000 5000000)
#
# For each size: one warm-up run of each program, then QARN_BENCH_RUNS (3)
# alternating runs; prints every run's time, the medians, their ratio and
# the peak resident memory (/usr/bin/time %M) of each, with the CPU time of
# each program and of the server during its run.  Uses the MariaDB
# server that QARN_MY_* name, or starts one of its own for the run.  The
# tables (bench_t<ROWS>: an integer key, a text, a double, a date and an
# integer) are kept in that server's qarn database.
set -euo pipefail
QARN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$QARN_ROOT/scripts/lib/setup.sh"
source "$QARN_ROOT/scripts/lib/servers.sh"

ensure_packages >&2
export_environment
build_dir=${QARN_BENCH_BUILD_DIR:-$QARN_ROOT/build-bench}
build_project "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQARN_SANITIZE=OFF -DQARN_BUILD_TESTS=OFF >&2
cli=$build_dir/bin/qarnSqlGenCli
scratch=${QARN_BENCH_DIR:-/tmp/qarn-bench}
runs=${QARN_BENCH_RUNS:-3}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000)
mkdir -p "$scratch"

if [ -z "${QARN_MY_PORT:-}" ]; then
    QARN_SERVER_ROOT=$(mktemp -d /tmp/qarn-bench-server-XXXXXX)
    chmod 755 "$QARN_SERVER_ROOT"
    trap 'stop_mariadb; rm -rf "$QARN_SERVER_ROOT"' EXIT
    start_mariadb >&2
fi
client=(--no-defaults -h "$QARN_MY_HOST" -P "$QARN_MY_PORT" -u "$QARN_MY_USER" "-p$QARN_MY_PASSWORD")
connection="Provider=MariaDB;Data Source=$QARN_MY_HOST;Port=$QARN_MY_PORT;Initial Catalog=$QARN_MY_DB;User ID=$QARN_MY_USER;Password=$QARN_MY_PASSWORD"

make_table() {
    local rows=$1 table=bench_t$1 have
    have=$(mariadb "${client[@]}" -N -e "SELECT COUNT(*) FROM $table" "$QARN_MY_DB" 2>/dev/null || echo 0)
    [ "$have" = "$rows" ] && return
    mariadb "${client[@]}" "$QARN_MY_DB" <<SQL
DROP TABLE IF EXISTS $table;
CREATE TABLE $table (id int PRIMARY KEY, name varchar(60), amount double, day date, flag int) ENGINE=InnoDB;
INSERT INTO $table SELECT seq,
    IF(seq % 10 = 0, CONCAT('O''Brien''s cellar ', seq), CONCAT('Wine number ', seq)),
    seq / 7e0, DATE '2000-01-01' + INTERVAL (seq % 9000) DAY, seq % 2
FROM seq_1_to_$rows;
SQL
}

# The server's CPU time so far, in clock ticks.  On a machine shared with
# other work the wall times wander; the CPU times of the program and of the
# server show what each run cost.
server_pid=$(cat "$(mariadb "${client[@]}" -N -e "SELECT @@pid_file")" 2>/dev/null || true)
server_ticks() { [ -n "$server_pid" ] && awk '{ print $14 + $15 }' "/proc/$server_pid/stat" || echo 0; }
ticks_per_second=$(getconf CLK_TCK)

# measure NAME COMMAND...: prints the run's wall time, the program's and the
# server's CPU time and the program's peak memory; appends "nanoseconds
# peak-kilobytes" to NAME.times
measure() {
    local name=$1 t0 t1 s0 s1
    shift
    s0=$(server_ticks)
    t0=$(date +%s%N)
    /usr/bin/time -f "%M %U %S" -o "$scratch/$name.rss" "$@"
    t1=$(date +%s%N)
    s1=$(server_ticks)
    read -r kb user sys < <(tail -n 1 "$scratch/$name.rss")
    echo "$((t1 - t0)) $kb" >>"$scratch/$name.times"
    awk -v n="$((t1 - t0))" -v p="$name" -v k="$kb" -v u="$user" -v y="$sys" \
        -v s="$(((s1 - s0)))" -v hz="$ticks_per_second" \
        'BEGIN { printf "  %-13s %7.3f s wall %6.2f s CPU %6.2f s server CPU %7.1f MB\n", p, n / 1e9, u + y, s / hz, k / 1024 }'
}

out_cli=$scratch/maria-cli.sql
out_dump=$scratch/maria-dump.sql
run_cli() { measure qarnSqlGenCli "$cli" generate -c "$connection" -s "SELECT * FROM $table" -o "$out_cli" --quiet; }
run_dump() {
    measure mysqldump sh -c 'exec mysqldump "$@" >"$0"' "$out_dump" "${client[@]}" --skip-extended-insert \
        --complete-insert --no-create-info --quick "$QARN_MY_DB" "$table"
}
median_seconds() { sort -n "$1" | awk '{ t[NR] = $1 } END { printf "%.3f", t[int((NR + 1) / 2)] / 1e9 }'; }
peak_mb() { awk '$2 > m { m = $2 } END { printf "%.1f", m / 1024 }' "$1"; }

echo "Scripting a MariaDB table as INSERT statements; median of $runs runs after a warm-up."
echo "Machine: $(nproc) CPU(s), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for rows in "${sizes[@]}"; do
    table=bench_t$rows
    make_table "$rows"
    echo "$rows rows (warm-up, then $runs runs each):"
    rm -f "$scratch/qarnSqlGenCli.times" "$scratch/mysqldump.times"
    run_cli
    run_dump
    rm -f "$scratch/qarnSqlGenCli.times" "$scratch/mysqldump.times"
    for ((i = 0; i < runs; i++)); do
        run_cli
        run_dump
    done
    # Both must have scripted every row, or the times mean nothing.
    for f in "$out_cli" "$out_dump"; do
        lines=$(grep -c '^INSERT' "$f" || true)
        if [ "$lines" -ne "$rows" ]; then
            echo "$f has $lines INSERT lines, expected $rows" >&2
            exit 1
        fi
    done
    cli_s=$(median_seconds "$scratch/qarnSqlGenCli.times")
    dump_s=$(median_seconds "$scratch/mysqldump.times")
    printf '  median: qarnSqlGenCli %s s (peak %s MB), mysqldump %s s (peak %s MB)\n' \
        "$cli_s" "$(peak_mb "$scratch/qarnSqlGenCli.times")" "$dump_s" "$(peak_mb "$scratch/mysqldump.times")"
    awk -v a="$cli_s" -v b="$dump_s" 'BEGIN { printf "  time ratio qarnSqlGenCli / mysqldump: %.2f\n", a / b }'
    rm -f "$out_cli" "$out_dump"
done
