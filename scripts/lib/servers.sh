# Starts PostgreSQL and MariaDB for the tests on 127.0.0.1, on free ports,
# in a temporary folder, and stops them again.  Sourced by scripts/test.
# After start_servers the QARN_PG_* and QARN_MY_* variables name them, and
# QARN_PGSTANDBY_PORT a hot standby of that PostgreSQL server; QARN_PG_PWUSER
# (with QARN_PG_PWUSER_PASSWORD) is the one PostgreSQL role that must give a password.

free_port() {
    python3 - <<'PY' 2>/dev/null || shuf -i 20000-60000 -n 1
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

start_postgres() {
    local bindir
    bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
    QARN_PG_DIR="$QARN_SERVER_ROOT/pg"
    mkdir -p "$QARN_PG_DIR"
    chown postgres:postgres "$QARN_PG_DIR"
    QARN_PG_PORT=$(free_port)
    (cd / && runuser -u postgres -- "$bindir/initdb" -A trust -E UTF8 --locale=C.UTF-8 -D "$QARN_PG_DIR/data" >"$QARN_SERVER_ROOT/pg-initdb.log" 2>&1) || {
        cat "$QARN_SERVER_ROOT/pg-initdb.log" >&2; return 1; }
    # Every role logs in without a password but qarn_pw, which must give its
    # own: the tests of what a refused log-in reports use it.
    runuser -u postgres -- sed -i '1i host all qarn_pw 127.0.0.1/32 scram-sha-256' "$QARN_PG_DIR/data/pg_hba.conf"
    (cd / && runuser -u postgres -- "$bindir/pg_ctl" -D "$QARN_PG_DIR/data" -l "$QARN_PG_DIR/pg.log" -w \
        -o "-c listen_addresses=127.0.0.1 -p $QARN_PG_PORT -k $QARN_PG_DIR -c fsync=off" start >/dev/null) || {
        cat "$QARN_PG_DIR/pg.log" >&2; return 1; }
    QARN_PG_BIN="$bindir"
    (cd / && runuser -u postgres -- psql -q -h "$QARN_PG_DIR" -p "$QARN_PG_PORT" -d postgres \
        -c "CREATE ROLE qarn LOGIN SUPERUSER PASSWORD 'qarn'" -c "CREATE DATABASE qarn OWNER qarn" \
        -c "CREATE ROLE qarn_pw LOGIN PASSWORD 'Pw-of-qarn-pw'") >/dev/null || return 1
    export QARN_PG_HOST=127.0.0.1 QARN_PG_PORT QARN_PG_DB=qarn QARN_PG_USER=qarn QARN_PG_PASSWORD=qarn
    export QARN_PG_PWUSER=qarn_pw QARN_PG_PWUSER_PASSWORD=Pw-of-qarn-pw
    echo "PostgreSQL on 127.0.0.1:$QARN_PG_PORT"
}

stop_postgres() {
    [ -n "${QARN_PG_BIN:-}" ] || return 0
    (cd / && runuser -u postgres -- "$QARN_PG_BIN/pg_ctl" -D "$QARN_PG_DIR/data" -m immediate -w stop >/dev/null 2>&1) || true
    QARN_PG_BIN=
}

# A hot standby of the PostgreSQL server above, copied with pg_basebackup
# (initdb's defaults already allow replication from the local socket) and
# streaming from it: a read-only server for the replication tests.  The
# copy is not synced to disk (the servers run with fsync=off anyway), which
# keeps this to about a second.
start_postgres_standby() {
    QARN_PGSTANDBY_DIR="$QARN_SERVER_ROOT/pg-standby"
    mkdir -p "$QARN_PGSTANDBY_DIR"
    chown postgres:postgres "$QARN_PGSTANDBY_DIR"
    QARN_PGSTANDBY_PORT=$(free_port)
    (cd / && runuser -u postgres -- "$QARN_PG_BIN/pg_basebackup" -h "$QARN_PG_DIR" -p "$QARN_PG_PORT" -U postgres \
        -D "$QARN_PGSTANDBY_DIR/data" -R -X stream -c fast --no-sync --no-manifest >"$QARN_SERVER_ROOT/pg-basebackup.log" 2>&1) || {
        cat "$QARN_SERVER_ROOT/pg-basebackup.log" >&2; return 1; }
    (cd / && runuser -u postgres -- "$QARN_PG_BIN/pg_ctl" -D "$QARN_PGSTANDBY_DIR/data" -l "$QARN_PGSTANDBY_DIR/pg.log" \
        -w -o "-c listen_addresses=127.0.0.1 -p $QARN_PGSTANDBY_PORT -k $QARN_PGSTANDBY_DIR -c fsync=off" start >/dev/null) || {
        cat "$QARN_PGSTANDBY_DIR/pg.log" >&2; return 1; }
    QARN_PGSTANDBY_STARTED=1
    export QARN_PGSTANDBY_PORT
    echo "PostgreSQL hot standby on 127.0.0.1:$QARN_PGSTANDBY_PORT"
}

stop_postgres_standby() {
    [ -n "${QARN_PGSTANDBY_STARTED:-}" ] || return 0
    (cd / && runuser -u postgres -- "$QARN_PG_BIN/pg_ctl" -D "$QARN_PGSTANDBY_DIR/data" -m immediate -w stop >/dev/null 2>&1) || true
    QARN_PGSTANDBY_STARTED=
}

start_mariadb() {
    QARN_MY_DIR="$QARN_SERVER_ROOT/my"
    mkdir -p "$QARN_MY_DIR"
    chown mysql:mysql "$QARN_MY_DIR"
    QARN_MY_PORT=$(free_port)
    QARN_MY_SOCK="$QARN_MY_DIR/mysqld.sock"
    mariadb-install-db --no-defaults --user=mysql --datadir="$QARN_MY_DIR/data" \
        --auth-root-authentication-method=socket --skip-test-db >"$QARN_SERVER_ROOT/my-install.log" 2>&1 || {
        cat "$QARN_SERVER_ROOT/my-install.log" >&2; return 1; }
    mariadbd --no-defaults --user=mysql --datadir="$QARN_MY_DIR/data" --socket="$QARN_MY_SOCK" \
        --port="$QARN_MY_PORT" --bind-address=127.0.0.1 --pid-file="$QARN_MY_DIR/mysqld.pid" \
        --innodb-flush-log-at-trx-commit=0 --skip-log-bin --character-set-server=utf8mb4 \
        --collation-server=utf8mb4_bin >"$QARN_SERVER_ROOT/my.log" 2>&1 &
    QARN_MY_PID=$!
    local i
    for i in $(seq 1 120); do
        mariadb-admin --no-defaults -S "$QARN_MY_SOCK" -uroot ping >/dev/null 2>&1 && break
        kill -0 "$QARN_MY_PID" 2>/dev/null || { cat "$QARN_SERVER_ROOT/my.log" >&2; return 1; }
        sleep 0.5
    done
    mariadb --no-defaults -S "$QARN_MY_SOCK" -uroot -e "
        CREATE DATABASE qarn CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;
        CREATE USER 'qarn'@'127.0.0.1' IDENTIFIED BY 'qarn';
        CREATE USER 'qarn'@'localhost' IDENTIFIED BY 'qarn';
        GRANT ALL ON *.* TO 'qarn'@'127.0.0.1' WITH GRANT OPTION;
        GRANT ALL ON *.* TO 'qarn'@'localhost' WITH GRANT OPTION;" || return 1
    export QARN_MY_HOST=127.0.0.1 QARN_MY_PORT QARN_MY_DB=qarn QARN_MY_USER=qarn QARN_MY_PASSWORD=qarn
    echo "MariaDB on 127.0.0.1:$QARN_MY_PORT"
}

stop_mariadb() {
    [ -n "${QARN_MY_PID:-}" ] || return 0
    kill "$QARN_MY_PID" 2>/dev/null || true
    local i
    for i in $(seq 1 60); do kill -0 "$QARN_MY_PID" 2>/dev/null || break; sleep 0.5; done
    kill -9 "$QARN_MY_PID" 2>/dev/null || true
    QARN_MY_PID=
}

start_servers() {
    QARN_SERVER_ROOT=$(mktemp -d /tmp/qarn-servers-XXXXXX)
    chmod 755 "$QARN_SERVER_ROOT"
    start_postgres && start_postgres_standby && start_mariadb
}

stop_servers() {
    stop_mariadb
    stop_postgres_standby
    stop_postgres
    [ -n "${QARN_SERVER_ROOT:-}" ] && rm -rf "$QARN_SERVER_ROOT"
    QARN_SERVER_ROOT=
}
