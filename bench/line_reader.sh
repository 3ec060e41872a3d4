#!/usr/bin/env bash
# Reading scripts with very long lines: the library's line reader
# (dbaccess/textfile) built as a release into a small program that reads a
# file line by line, on scripts holding one INSERT line of 1, 10 and 100 MB.
# Prints the wall time and the peak resident memory (/usr/bin/time) of each
# run, and checks that a line over 256 MB fails with a clear message.
set -euo pipefail
QARN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$QARN_ROOT/scripts/lib/setup.sh"

ensure_packages >&2
export_environment
build_dir=${QARN_BENCH_BUILD_DIR:-$QARN_ROOT/build-bench}
scratch=${QARN_BENCH_DIR:-/tmp/qarn-bench}
sizes=${QARN_BENCH_LINE_MB:-"1 10 100"}
mkdir -p "$build_dir" "$scratch"

# The reader and what it needs, nothing else: the timings are the reader's.
reader=$build_dir/line_reader
g++ -std=c++20 -O2 -DNDEBUG -Wall -Wextra -I "$QARN_ROOT/dbaccess" -o "$reader" \
    "$QARN_ROOT/bench/line_reader.cpp" "$QARN_ROOT/dbaccess/textfile/TextFile.cpp" \
    "$QARN_ROOT/dbaccess/ado/AdoError.cpp" "$QARN_ROOT/dbaccess/ado/ConnectionString.cpp" -lz

# A script of one INSERT whose text literal makes the line MB megabytes long.
make_script() {
    local mb=$1 file=$scratch/line$1mb.sql
    if [ ! -f "$file" ]; then
        { printf "INSERT INTO t VALUES('"; head -c $((mb * 1048576 - 26)) /dev/zero | tr '\0' 'x'; printf "')\r\n"; } >"$file.new"
        mv "$file.new" "$file"
    fi
    echo "$file"
}

echo "Reading one long line; wall time and peak resident memory of the whole process."
echo "Machine: $(nproc) CPU(s), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf '%-10s %10s %14s  %s\n' "line MB" "seconds" "peak RSS MB" "reader's output"
for mb in $sizes; do
    file=$(make_script "$mb")
    out=$(/usr/bin/time -f "%e %M" -o "$scratch/line.time" "$reader" "$file")
    read -r seconds kb < <(tail -n 1 "$scratch/line.time")
    printf '%-10s %10s %14s  %s\n' "$mb" "$seconds" "$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')" "$out"
done

# Over the limit: a sparse file of NUL bytes, so no disk is used.
over=$scratch/over-limit.sql
rm -f "$over"
truncate -s $((256 * 1048576 + 1)) "$over"
if /usr/bin/time -f "%e %M" -o "$scratch/line.time" "$reader" "$over" 2>"$scratch/over.err"; then
    echo "a line over 256 MB was read" >&2
    exit 1
fi
read -r seconds kb < <(tail -n 1 "$scratch/line.time")
printf '%-10s %10s %14s  %s\n' "256 + 1 B" "$seconds" "$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "$(cat "$scratch/over.err")"
rm -f "$over"
