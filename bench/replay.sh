#!/usr/bin/env bash
# Replaying a script in one transaction: qarnSqlGenCli run
# --single-transaction of its own generated script, against the database's
# own client reading its own tool's script in one transaction: sqlite3
# reading ".mode insert" output wrapped in BEGIN/COMMIT, psql -1 -f of
# pg_dump --data-only --column-inserts, mariadb reading mysqldump
# --skip-extended-insert --complete-insert output wrapped in START
# TRANSACTION/COMMIT.  Each run starts from an empty table.
#
#   bench/replay.sh [sqlite] [postgres] [mariadb]     all three when none is named
#   QARN_BENCH_ROWS / QARN_BENCH_SERVER_ROWS          rows (1000000 for SQLite, 200000 for the servers)
#   QARN_BENCH_RUNS=3
set -euo pipefail
source "$(dirname "$0")/lib.sh"
engines=("$@")
[ ${#engines[@]} -gt 0 ] || engines=(sqlite postgres mariadb)
bench_init
bench_servers pg my
ours=$scratch/replay-ours.sql
peer=$scratch/replay-peer.sql

for engine in "${engines[@]}"; do
    case $engine in
    sqlite)
        rows=${QARN_BENCH_ROWS:-1000000}
        make_sqlite_table "$rows"
        empty=$scratch/empty.db target=$scratch/target.db
        rm -f "$empty"
        sqlite3 "$empty" "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, amount REAL, day DATE, flag INTEGER)"
        "$cli" generate -c "Provider=SQLite;Data Source=$db" -s "SELECT * FROM t" -o "$ours" --include-identity --quiet
        { echo "BEGIN;"; sqlite3 "$db" ".mode insert t" "SELECT * FROM t"; echo "COMMIT;"; } >"$peer"
        prepare_qarn() { cp "$empty" "$target"; }
        prepare_sqlite3() { cp "$empty" "$target"; }
        run_qarn() { measure qarn /dev/null /dev/null "$cli" run -c "Provider=SQLite;Data Source=$target" -f "$ours" --single-transaction --quiet; }
        run_sqlite3() { measure sqlite3 "$peer" /dev/null sqlite3 -bail "$target"; }
        bench_pair "replay sqlite (1 transaction)" "$rows" qarn sqlite3
        [ "$(sqlite3 "$target" "SELECT count(*) FROM t")" = "$rows" ] || { echo "the replay lost rows" >&2; exit 1; } ;;
    postgres)
        rows=${QARN_BENCH_SERVER_ROWS:-200000}
        make_postgres_table "$rows"
        pg_sql -c "DROP TABLE IF EXISTS r_$rows" -c "CREATE TABLE r_$rows (LIKE t_$rows INCLUDING ALL)"
        "$cli" generate -c "$pg_conn" -s "SELECT * FROM t_$rows" -o "$ours" --quiet
        pg_dump --data-only --column-inserts -h "${QARN_PG_HOST:-127.0.0.1}" -p "$QARN_PG_PORT" \
            -U "${QARN_PG_USER:-qarn}" -t "t_$rows" "${QARN_PG_DB:-qarn}" >"$peer"
        sed -i "s/INSERT INTO t_$rows(/INSERT INTO r_$rows(/; s/INSERT INTO public.t_$rows /INSERT INTO public.r_$rows /" "$ours" "$peer"
        prepare_qarn() { pg_sql -c "TRUNCATE r_$rows"; }
        prepare_psql() { pg_sql -c "TRUNCATE r_$rows"; }
        run_qarn() { measure qarn /dev/null /dev/null "$cli" run -c "$pg_conn" -f "$ours" --single-transaction --quiet; }
        run_psql() { measure psql /dev/null /dev/null "${psql_cmd[@]}" -1 -f "$peer"; }
        bench_pair "replay postgres (1 transaction)" "$rows" qarn psql
        [ "$(pg_sql -tAc "SELECT count(*) FROM r_$rows")" = "$rows" ] || { echo "the replay lost rows" >&2; exit 1; } ;;
    mariadb)
        rows=${QARN_BENCH_SERVER_ROWS:-200000}
        make_mariadb_table "$rows"
        my_sql -e "DROP TABLE IF EXISTS r_$rows; CREATE TABLE r_$rows LIKE t_$rows"
        "$cli" generate -c "$my_conn" -s "SELECT * FROM t_$rows" -o "$ours" --quiet
        { echo "START TRANSACTION;"
          mysqldump --no-defaults -h "${QARN_MY_HOST:-127.0.0.1}" -P "$QARN_MY_PORT" -u "${QARN_MY_USER:-qarn}" \
              "-p${QARN_MY_PASSWORD:-qarn}" --skip-extended-insert --complete-insert --no-create-info --quick --skip-add-locks \
              "${QARN_MY_DB:-qarn}" "t_$rows"
          echo "COMMIT;"; } >"$peer"
        sed -i "s/INSERT INTO t_$rows(/INSERT INTO r_$rows(/; s/INSERT INTO \`t_$rows\`/INSERT INTO \`r_$rows\`/" "$ours" "$peer"
        prepare_qarn() { my_sql -e "TRUNCATE r_$rows"; }
        prepare_mariadb() { my_sql -e "TRUNCATE r_$rows"; }
        run_qarn() { measure qarn /dev/null /dev/null "$cli" run -c "$my_conn" -f "$ours" --single-transaction --quiet; }
        run_mariadb() { measure mariadb "$peer" /dev/null "${mariadb_cmd[@]}"; }
        bench_pair "replay mariadb (1 transaction)" "$rows" qarn mariadb
        [ "$(my_sql -N -e "SELECT count(*) FROM r_$rows")" = "$rows" ] || { echo "the replay lost rows" >&2; exit 1; } ;;
    *) echo "unknown engine $engine (sqlite, postgres or mariadb)" >&2; exit 2 ;;
    esac
done
rm -f "$ours" "$peer"
