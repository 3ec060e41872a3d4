# The fuzz targets of tests/fuzz: built with clang into their own folder
# (the main build stays on g++), replayed and run by scripts/test, fuzzed
# for a while by scripts/fuzz.  Sourced after scripts/lib/setup.sh.

QARN_FUZZ_TARGETS=(connection_string data_link sql_lexer line_reader)
QARN_FUZZ_BUILD_DIR=${QARN_FUZZ_BUILD_DIR:-$QARN_ROOT/build-fuzz}

fuzz_build() {
    cmake -S "$QARN_ROOT/tests/fuzz" -B "$QARN_FUZZ_BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$QARN_FUZZ_BUILD_DIR"
}

# fuzz_target NAME ARGS...: runs one target over a scratch corpus (new
# inputs go there) and the seeds, which are only read; a crash leaves its
# input in the build folder and fails.
fuzz_target() {
    local name=$1 work=$QARN_FUZZ_BUILD_DIR/corpus/$1
    shift
    mkdir -p "$work" "$QARN_FUZZ_BUILD_DIR/crashes"
    "$QARN_FUZZ_BUILD_DIR/fuzz_$name" -artifact_prefix="$QARN_FUZZ_BUILD_DIR/crashes/$name-" "$@" \
        "$work" "$QARN_ROOT/tests/fuzz/corpus/$name"
}

# For scripts/test: replays every seed, then a fixed number of new inputs
# from a fixed seed, so a run is repeatable and short.
fuzz_check() {
    local runs=${QARN_FUZZ_RUNS:-20000} name
    fuzz_build
    for name in "${QARN_FUZZ_TARGETS[@]}"; do
        echo "fuzz_$name: the seeds and $runs new inputs"
        rm -rf "$QARN_FUZZ_BUILD_DIR/corpus/$name"
        fuzz_target "$name" -seed=1 -runs="$runs" 2>"$QARN_FUZZ_BUILD_DIR/$name.log" ||
            { tail -n 40 "$QARN_FUZZ_BUILD_DIR/$name.log" >&2; return 1; }
    done
}

# For scripts/fuzz: each target for SECONDS, keeping what it finds in the
# scratch corpus for the next run.
fuzz_for() {
    local seconds=$1 name log
    fuzz_build
    for name in "${QARN_FUZZ_TARGETS[@]}"; do
        echo "fuzz_$name: $seconds s"
        log=$QARN_FUZZ_BUILD_DIR/$name.log
        fuzz_target "$name" -max_total_time="$seconds" -print_final_stats=1 2>"$log" ||
            { tail -n 40 "$log" >&2; return 1; }
        grep -E "^(Done|stat::new_units_added)" "$log" || true
    done
}
