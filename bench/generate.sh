#!/usr/bin/env bash
# Scripting a table as INSERT statements: qarnSqlGenCli against the
# database's own tool on the same table, whole processes side by side:
# sqlite3 ".mode insert", pg_dump --data-only --column-inserts and
# mysqldump --skip-extended-insert --complete-insert --no-create-info --quick.
# postgres-odbc reads PostgreSQL through psqlodbc (streaming from a server
# cursor) instead of libpq, against the same pg_dump.
#
#   bench/generate.sh [sqlite] [postgres] [postgres-odbc] [mariadb]   sqlite, postgres, mariadb when none is named
#   QARN_BENCH_ROWS="1000000 5000000"                 table sizes (default 1000000)
#   QARN_BENCH_RUNS=3                                 timed runs of each, after a warm-up
#
# The tables are those of bench/lib.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
engines=("$@")
[ ${#engines[@]} -gt 0 ] || engines=(sqlite postgres mariadb)
bench_init
bench_servers pg my
sizes=${QARN_BENCH_ROWS:-1000000}
ours=$scratch/ours.sql
peer=$scratch/peer.sql

run_qarn() { measure qarn /dev/null /dev/null "$cli" generate -c "$connection" -s "SELECT * FROM $table" -o "$ours" --quiet; }

for engine in "${engines[@]}"; do
    for rows in $sizes; do
        case $engine in
        sqlite)
            make_sqlite_table "$rows"
            connection="Provider=SQLite;Data Source=$db" table=t
            run_sqlite3() { measure sqlite3 /dev/null "$peer" sqlite3 "$db" ".mode insert t" "SELECT * FROM t"; }
            bench_pair "generate sqlite" "$rows" qarn sqlite3 ;;
        postgres | postgres-odbc)
            make_postgres_table "$rows"
            connection=$pg_conn table=t_$rows
            [ "$engine" = postgres-odbc ] && connection=$pg_odbc_conn
            run_pg_dump() {
                measure pg_dump /dev/null "$peer" pg_dump --data-only --column-inserts -h "${QARN_PG_HOST:-127.0.0.1}" \
                    -p "$QARN_PG_PORT" -U "${QARN_PG_USER:-qarn}" -t "$table" "${QARN_PG_DB:-qarn}"
            }
            bench_pair "generate $engine" "$rows" qarn pg_dump ;;
        mariadb)
            make_mariadb_table "$rows"
            connection=$my_conn table=t_$rows
            run_mysqldump() {
                measure mysqldump /dev/null "$peer" mysqldump --no-defaults -h "${QARN_MY_HOST:-127.0.0.1}" \
                    -P "$QARN_MY_PORT" -u "${QARN_MY_USER:-qarn}" "-p${QARN_MY_PASSWORD:-qarn}" --skip-extended-insert \
                    --complete-insert --no-create-info --quick "${QARN_MY_DB:-qarn}" "$table"
            }
            bench_pair "generate mariadb" "$rows" qarn mysqldump ;;
        *) echo "unknown engine $engine (sqlite, postgres, postgres-odbc or mariadb)" >&2; exit 2 ;;
        esac
        # Both scripted every row, or the times mean nothing.
        expect_lines "$ours" '^INSERT INTO' "$rows"
        expect_lines "$peer" '^INSERT INTO' "$rows"
    done
done
rm -f "$ours" "$peer"
