# What every command of this project needs on a fresh Debian 12 machine:
# the packages (installed once, as root) and the environment a bare CI
# shell lacks.  Sourced by scripts/test, scripts/run and the benchmarks.

QARN_PACKAGES=(cmake g++ ninja-build qt6-base-dev qt6-svg-dev libgl1-mesa-dev unixodbc-dev odbcinst
    libsqlite3-dev sqlite3 libpq-dev odbc-postgresql odbc-mariadb libmariadb-dev pkg-config zlib1g-dev tdsodbc odbc-mdbtools mdbtools postgresql
    mariadb-server libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth fp-units-db-3.2.2 time
    clang libclang-rt-14-dev dpkg-dev)

# Says in one line what it installs; apt's own output goes to a log file,
# whose end is shown only when the installation fails.
ensure_packages() {
    local missing=() p log
    for p in "${QARN_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log=$(mktemp --tmpdir --suffix=.log qarnSqlGen-apt-XXXXXX)
    local noun=packages
    [ ${#missing[@]} -eq 1 ] && noun=package
    printf 'Installing %d %s (log: %s)...' ${#missing[@]} $noun "$log"
    export DEBIAN_FRONTEND=noninteractive
    if { apt-get update && apt-get install -y "${missing[@]}"; } >"$log" 2>&1 </dev/null; then
        echo " done"
        return 0
    fi
    echo " failed; the end of $log:"
    tail -n 20 "$log"
    return 1
}

export_environment() {
    # psqlodbc's wide-text path fails without a UTF-8 locale; this image has C.UTF-8.
    export LANG=C.UTF-8
    export LC_ALL=C.UTF-8
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    export HOME=${HOME:-/root}
    if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
        XDG_RUNTIME_DIR=$(mktemp -d /tmp/qarn-runtime-XXXXXX)
        chmod 0700 "$XDG_RUNTIME_DIR"
        export XDG_RUNTIME_DIR
    fi
}

# Configures and builds into $1 with the extra CMake arguments that follow.
build_project() {
    local dir=$1
    shift
    cmake -S "$QARN_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}
