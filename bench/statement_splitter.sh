#!/usr/bin/env bash
# Cutting scripts into statements: the library's statement splitter
# (dbaccess/sql) built as a release into a small program that reads a file
# and cuts it, on scripts of a million one-line INSERTs (SQLite, PostgreSQL,
# MariaDB), and of one statement spread over a million lines: a
# dollar-quoted PostgreSQL body, a PostgreSQL text literal with a doubled
# quote on every line, and a MariaDB INSERT.  Prints the wall time
# and the peak resident memory (/usr/bin/time) of each run.
set -euo pipefail
QARN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$QARN_ROOT/scripts/lib/setup.sh"

ensure_packages >&2
export_environment
build_dir=${QARN_BENCH_BUILD_DIR:-$QARN_ROOT/build-bench}
scratch=${QARN_BENCH_DIR:-/tmp/qarn-bench}
lines=${QARN_BENCH_SCRIPT_LINES:-1000000}
mkdir -p "$build_dir" "$scratch"

# The splitter and what it needs, nothing else: the timings are the splitter's.
splitter=$build_dir/statement_splitter
g++ -std=c++20 -O2 -DNDEBUG -Wall -Wextra -I "$QARN_ROOT/dbaccess" -o "$splitter" \
    "$QARN_ROOT/bench/statement_splitter.cpp" "$QARN_ROOT/dbaccess/sql/StatementSplitter.cpp" \
    "$QARN_ROOT/dbaccess/sql/SqlLexer.cpp" "$QARN_ROOT/dbaccess/textfile/TextFile.cpp" \
    "$QARN_ROOT/dbaccess/ado/AdoError.cpp" "$QARN_ROOT/dbaccess/ado/ConnectionString.cpp" -lsqlite3

# make_script NAME AWK-PROGRAM: the script $scratch/NAME-LINES.sql, made once.
make_script() {
    local file=$scratch/$1-$lines.sql
    [ -f "$file" ] || { awk -v n="$lines" "$2" >"$file.new" && mv "$file.new" "$file"; }
    echo "$file"
}
inserts='BEGIN { for (i = 1; i <= n; i++) printf "INSERT INTO t VALUES(%d, '"'"'a;b -- %d'"'"', 1.5);\n", i, i }'
body='BEGIN { print "CREATE FUNCTION f() RETURNS int LANGUAGE plpgsql AS $body$\nBEGIN";
             for (i = 1; i <= n; i++) printf "  PERFORM %d; -- ;\n", i; print "  RETURN 1;\nEND;\n$body$;" }'
text='BEGIN { print "INSERT INTO t VALUES ('"'"'first"; for (i = 1; i < n; i++) printf "it'"''"'s line %d;\n", i;
             print "last'"'"');" }'
rows='BEGIN { print "INSERT INTO t VALUES"; for (i = 1; i < n; i++) printf "(%d, '"'"'it\\'"'"'s;'"'"'),\n", i;
             printf "(%d, '"'"'last'"'"');\n", n }'

echo "Cutting scripts of $lines lines; wall time and peak resident memory of the whole process."
echo "Machine: $(nproc) CPU(s), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf '%-32s %10s %14s  %s\n' "script" "seconds" "peak RSS MB" "splitter's output"
for run in "sqlite inserts" "postgresql inserts" "mysql inserts" "postgresql body" "postgresql text" "mysql rows"; do
    read -r dialect kind <<<"$run"
    file=$(make_script "$kind" "${!kind}")
    out=$(/usr/bin/time -f "%e %M" -o "$scratch/split.time" "$splitter" "$dialect" "$file")
    read -r seconds kb < <(tail -n 1 "$scratch/split.time")
    printf '%-32s %10s %14s  %s\n' "$dialect $kind" "$seconds" "$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')" "$out"
done
