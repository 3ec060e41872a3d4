#!/usr/bin/env bash
# The Debian package as a user gets it: packed by cpack from this build,
# unpacked with dpkg-deb -x into a scratch root (no dpkg database touched)
# and run from there in a bare environment, as from cron or a fresh login.
#
#   check_package.sh CPACK BUILD_DIR VERSION
set -uo pipefail
cpack=$1
build=$2
version=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qarn-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
deb=$scratch/out/qarnsqlgen_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$scratch/out" >&2; echo "FAIL: no $deb" >&2; exit 1; }

# The control fields: every library the programs load at start, and the
# ODBC drivers as recommendations.  A package named there must exist.
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libsqlite3-0 libpq5 libmariadb3 libodbc2; do
    [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] || fail "Depends lacks $p: $depends"
done
for p in odbc-postgresql odbc-mariadb tdsodbc odbc-mdbtools; do
    [[ ", $recommends," == *", $p,"* ]] || fail "Recommends lacks $p: $recommends"
done
for p in $(sed 's/([^)]*)//g; s/[,|]/ /g' <<<"$depends"); do
    dpkg-query -W "$p" >/dev/null 2>&1 || fail "Depends names $p, which is not an installed package"
done
[ "$(dpkg-deb -f "$deb" Package)" = qarnsqlgen ] || fail "Package is not qarnsqlgen"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"

root=$scratch/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x" >&2; exit 1; }
lib=$(realpath "$root/usr/lib/qarnSqlGen")
for f in usr/bin/qarnSqlGen usr/bin/qarnSqlGenCli usr/lib/qarnSqlGen/libqarnSqlGenComp.so \
    usr/lib/qarnSqlGen/Sample.mdb usr/lib/qarnSqlGen/qarnSqlGen.html usr/lib/qarnSqlGen/qarnSqlGen.css \
    usr/share/applications/qarnSqlGen.desktop usr/share/icons/hicolor/scalable/apps/qarnSqlGen.svg \
    usr/share/man/man1/qarnSqlGenCli.1.gz; do
    [ -e "$root/$f" ] || fail "the package lacks /$f"
done
for f in "$lib/qarnSqlGen" "$lib/qarnSqlGenCli" "$lib/libqarnSqlGenComp.so"; do
    missing=$(ldd "$f" 2>&1 | grep "not found")
    [ -z "$missing" ] || fail "$(basename "$f") needs a library the system lacks: $missing"
done
# Debian's manual pages are gzipped and must render without a warning.
man=$root/usr/share/man/man1/qarnSqlGenCli.1.gz
if ! gzip -t "$man" 2>/dev/null; then
    fail "the manual page is not gzipped"
else
    warnings=$(zcat "$man" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
fi

# Run from the unpacked files with nothing of this shell's environment but
# the sanitizers' settings: no display, no XDG folders, no locale.
home=$scratch/home
mkdir -p "$home"
bare() {
    env -i PATH=/usr/bin:/bin HOME="$home" ${ASAN_OPTIONS:+"ASAN_OPTIONS=$ASAN_OPTIONS"} \
        ${LSAN_OPTIONS:+"LSAN_OPTIONS=$LSAN_OPTIONS"} ${UBSAN_OPTIONS:+"UBSAN_OPTIONS=$UBSAN_OPTIONS"} "$@"
}
out=$(bare "$root/usr/bin/qarnSqlGenCli" --version 2>"$scratch/err")
rc=$?
[ $rc -eq 0 ] || fail "--version exited $rc"
[ "$out" = "qarnSqlGenCli $version" ] || fail "--version printed '$out'"
[ ! -s "$scratch/err" ] || fail "--version wrote to standard error: $(cat "$scratch/err")"

sample=$lib/Sample.mdb
bare "$root/usr/bin/qarnSqlGenCli" generate -c "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=$sample" \
    -s "SELECT * FROM tblWineList" -o - >"$scratch/script.sql" 2>"$scratch/err"
rc=$?
[ $rc -eq 0 ] || fail "generate on the sample exited $rc: $(cat "$scratch/err")"
rows=$(sqlite3 "$sample" "SELECT count(*) FROM tblWineList")
inserts=$(grep -c "^INSERT INTO tblWineList(" "$scratch/script.sql")
[ "$rows" -gt 0 ] && [ "$inserts" = "$rows" ] || fail "generate wrote $inserts INSERT lines for $rows rows"
[ "$(wc -l <"$scratch/script.sql")" = "$rows" ] || fail "generate wrote more than the INSERT lines"
grep -qx "Statements Generated" "$scratch/err" || fail "no 'Statements Generated' status: $(cat "$scratch/err")"
# The program used the control library of the package, not one elsewhere.
grep -qF "$lib/libqarnSqlGenComp.so" "$home/.local/share/qarnSqlGen/registry.ini" 2>/dev/null ||
    fail "the control registered is not the package's: $(cat "$home/.local/share/qarnSqlGen/registry.ini" 2>&1)"

[ $failures -eq 0 ] && echo "The package $(basename "$deb") installs and runs."
exit $((failures > 0))
