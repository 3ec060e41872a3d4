# What the benchmarks share: a release build, a scratch folder, the servers,
# and timing whole processes side by side.  Sourced by bench/*.sh.
#
#   bench_init                 packages, environment, release build ($cli), scratch ($scratch)
#   bench_servers pg|my ...    the servers the QARN_* variables name, or ones started for the run
#   bench_pair LABEL ROWS OURS PEER
#       times the shell functions run_OURS and run_PEER (each runs one
#       whole process through `measure`), prepare_OURS/prepare_PEER first
#       when defined: a warm-up of each, then $runs alternating runs; prints
#       every run, the medians, the ratio and each one's peak memory.
QARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$QARN_ROOT/scripts/lib/setup.sh"
source "$QARN_ROOT/scripts/lib/servers.sh"

bench_init() {
    ensure_packages >&2
    export_environment
    build_dir=${QARN_BENCH_BUILD_DIR:-$QARN_ROOT/build-bench}
    build_project "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQARN_SANITIZE=OFF -DQARN_BUILD_TESTS=OFF >&2
    cli=$build_dir/bin/qarnSqlGenCli
    scratch=${QARN_BENCH_DIR:-/tmp/qarn-bench}
    runs=${QARN_BENCH_RUNS:-3}
    mkdir -p "$scratch"
    echo "Machine: $(nproc) CPU(s), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); $(date -u +%F)"
}

bench_stop_servers() {
    stop_mariadb
    stop_postgres
    rm -rf "$QARN_SERVER_ROOT"
}

# Starts what is not running yet; the QARN_PG_*/QARN_MY_* variables name them.
bench_servers() {
    local need_pg=0 need_my=0 s
    for s in "$@"; do
        [ "$s" = pg ] && [ -z "${QARN_PG_PORT:-}" ] && need_pg=1
        [ "$s" = my ] && [ -z "${QARN_MY_PORT:-}" ] && need_my=1
    done
    if [ $need_pg = 1 ] || [ $need_my = 1 ]; then
        QARN_SERVER_ROOT=$(mktemp -d /tmp/qarn-bench-servers-XXXXXX)
        chmod 755 "$QARN_SERVER_ROOT"
        trap bench_stop_servers EXIT
        [ $need_pg = 1 ] && start_postgres >&2
        [ $need_my = 1 ] && start_mariadb >&2
    fi
    pg_conn="Provider=PostgreSQL;Data Source=${QARN_PG_HOST:-127.0.0.1};Port=${QARN_PG_PORT:-};Initial Catalog=${QARN_PG_DB:-qarn};User ID=${QARN_PG_USER:-qarn};Password=${QARN_PG_PASSWORD:-qarn}"
    pg_odbc_conn="Driver={PostgreSQL Unicode};Server=${QARN_PG_HOST:-127.0.0.1};Port=${QARN_PG_PORT:-};Database=${QARN_PG_DB:-qarn};UID=${QARN_PG_USER:-qarn};PWD=${QARN_PG_PASSWORD:-qarn};UseDeclareFetch=1;Fetch=1000"
    my_conn="Provider=MariaDB;Data Source=${QARN_MY_HOST:-127.0.0.1};Port=${QARN_MY_PORT:-};Initial Catalog=${QARN_MY_DB:-qarn};User ID=${QARN_MY_USER:-qarn};Password=${QARN_MY_PASSWORD:-qarn}"
    export PGPASSWORD=${QARN_PG_PASSWORD:-qarn}
    psql_cmd=(psql -X -q -v ON_ERROR_STOP=1 -h "${QARN_PG_HOST:-127.0.0.1}" -p "${QARN_PG_PORT:-}" -U "${QARN_PG_USER:-qarn}"
              -d "${QARN_PG_DB:-qarn}")
    mariadb_cmd=(mariadb --no-defaults -h "${QARN_MY_HOST:-127.0.0.1}" -P "${QARN_MY_PORT:-}" -u "${QARN_MY_USER:-qarn}"
                 "-p${QARN_MY_PASSWORD:-qarn}" "${QARN_MY_DB:-qarn}")
}

pg_sql() { "${psql_cmd[@]}" "$@"; }
my_sql() { "${mariadb_cmd[@]}" "$@"; }

# The tables the benchmarks read: ROWS rows of an integer key, a text with
# an apostrophe in every tenth row, a double, a date and an integer.  Made
# once and kept: SQLite files in $scratch (sets $db), server tables t_ROWS.
make_sqlite_table() {
    local rows=$1
    db=$scratch/t$rows.db
    [ -f "$db" ] && return
    sqlite3 -bail "$db.new" <<SQL
CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, amount REAL, day DATE, flag INTEGER);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
INSERT INTO t SELECT i, CASE WHEN i % 10 = 0 THEN 'O''Brien''s cellar ' || i ELSE 'Wine number ' || i END,
    i / 7.0, date('2000-01-01', '+' || (i % 9000) || ' days'), i % 2 FROM n;
SQL
    mv "$db.new" "$db"
}

make_postgres_table() {
    local rows=$1
    [ "$(pg_sql -tAc "SELECT count(*) FROM t_$rows" 2>/dev/null)" = "$rows" ] && return
    pg_sql <<SQL >&2
DROP TABLE IF EXISTS t_$rows;
CREATE TABLE t_$rows (id integer PRIMARY KEY, name text, amount double precision, day date, flag integer);
INSERT INTO t_$rows SELECT i, CASE WHEN i % 10 = 0 THEN 'O''Brien''s cellar ' || i ELSE 'Wine number ' || i END,
    i / 7.0, date '2000-01-01' + i % 9000, i % 2 FROM generate_series(1, $rows) AS i;
VACUUM ANALYZE t_$rows;
SQL
}

make_mariadb_table() {
    local rows=$1
    [ "$(my_sql -N -e "SELECT count(*) FROM t_$rows" 2>/dev/null)" = "$rows" ] && return
    my_sql <<SQL
SET SESSION max_recursive_iterations = 100000000;
DROP TABLE IF EXISTS t_$rows;
CREATE TABLE t_$rows (id INT PRIMARY KEY, name TEXT, amount DOUBLE, day DATE, flag INT) ENGINE=InnoDB;
INSERT INTO t_$rows WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
SELECT i, IF(i % 10 = 0, CONCAT('O''Brien''s cellar ', i), CONCAT('Wine number ', i)),
    i / 7.0, DATE_ADD('2000-01-01', INTERVAL i % 9000 DAY), i % 2 FROM n;
SQL
}


# measure NAME IN OUT COMMAND...: runs COMMAND with standard input IN and
# output OUT, appending "nanoseconds peak-kilobytes" to NAME.times.
measure() {
    local name=$1 in=$2 out=$3 t0 t1
    shift 3
    t0=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$scratch/$name.rss" "$@" <"$in" >"$out"
    t1=$(date +%s%N)
    echo "$((t1 - t0)) $(tail -n 1 "$scratch/$name.rss")" >>"$scratch/$name.times"
}

median_seconds() { sort -n "$1" | awk '{ t[NR] = $1 } END { printf "%.3f", t[int((NR + 1) / 2)] / 1e9 }'; }
peak_mb() { awk '$2 > m { m = $2 } END { printf "%.1f", m / 1024 }' "$1"; }

bench_once() {
    local p=$1
    if declare -F "prepare_$p" >/dev/null; then "prepare_$p"; fi
    "run_$p"
}

bench_pair() {
    # Names of their own: the callers' functions read $ours and $peer.
    local label=$1 count=$2 first=$3 second=$4 i a b
    bench_once "$first"
    bench_once "$second"
    rm -f "$scratch/$first.times" "$scratch/$second.times"
    for ((i = 0; i < runs; i++)); do
        bench_once "$first"
        bench_once "$second"
    done
    a=$(median_seconds "$scratch/$first.times")
    b=$(median_seconds "$scratch/$second.times")
    printf '%-32s %9s rows: %-8s %7s s %6s MB | %-9s %7s s %6s MB | ratio %s\n' "$label" "$count" "$first" "$a" \
        "$(peak_mb "$scratch/$first.times")" "$second" "$b" "$(peak_mb "$scratch/$second.times")" \
        "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }')"
}

# Fails the benchmark when FILE does not hold COUNT lines matching PATTERN:
# a run that did not do the whole work times nothing.
expect_lines() {
    local file=$1 pattern=$2 count=$3 n
    n=$(grep -c "$pattern" "$file" || true)
    if [ "$n" -ne "$count" ]; then
        echo "$file has $n lines matching '$pattern', expected $count" >&2
        exit 1
    fi
}
