#!/usr/bin/env bash
# The server's commands (server/tabel-server-setup, server/tabel-backup) against the throwaway
# cluster of scripts/pg, as its superuser:
#   - setup makes a database with the Russian collation, the schema, the groups and the login's
#     membership; run again, on an empty and on a filled database, it changes nothing;
#   - a shop with entries, hour-paid entries, a closed month and history rows, backed up three
#     times with --keep 2, leaves its two newest copies; the newest restored into a new database
#     equals the shop in every table's rows, every sequence, the schema and its settings;
#   - a restore refuses an existing database and leaves nothing of a broken copy;
#   - in a cluster of its own: without --database every database of the program is backed up, and
#     a backup that loses its server half way leaves no file behind, keeps the older copy and
#     exits non-zero.
# Usage: server_commands.sh SOURCE_DIR (with the PG* variables and TABEL_PG_SUPERUSER_PASSWORD of
# scripts/pg start).
set -euo pipefail

repo=$(cd "${1:?usage: server_commands.sh SOURCE_DIR}" && pwd)
setup=$repo/server/tabel-server-setup
backup=$repo/server/tabel-backup
[ -n "${TABEL_PG_SUPERUSER_PASSWORD:-}" ] || { echo "start the cluster first: eval \"\$(scripts/pg start)\"" >&2; exit 1; }

export PGUSER=postgres PGPASSWORD=$TABEL_PG_SUPERUSER_PASSWORD
unset PGDATABASE
main_socket=$PGHOST

prefix=srvcmd_$$
shop=${prefix}_shop
copy=${prefix}_copy
login=${prefix}_office
tmp=$(mktemp -d)
own_data=""
failures=0

psql_() { psql -X -q -v ON_ERROR_STOP=1 "$@"; }

cleanup() {
    if [ -n "$own_data" ]; then
        TABEL_PG_SOCKET="" "$repo/scripts/pg" stop --data "$own_data" --immediate >/dev/null 2>&1 || true
    fi
    PGHOST=$main_socket psql_ -d postgres >/dev/null 2>&1 <<EOF || true
DROP DATABASE IF EXISTS $shop WITH (FORCE);
DROP DATABASE IF EXISTS $copy WITH (FORCE);
DROP DATABASE IF EXISTS ${copy}_broken WITH (FORCE);
DROP ROLE IF EXISTS $login;
DROP ROLE IF EXISTS ${prefix}_person;
EOF
    rm -rf -- "$tmp"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() {   # check WHAT COMMAND...: the command must succeed
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
same() {    # same WHAT FILE1 FILE2
    if diff -u "$2" "$3" >"$tmp/diff"; then
        echo "ok: $1"
    else
        head -n 40 "$tmp/diff" >&2
        fail "$1"
    fi
}

# Everything a database holds that a backup or a setup could change: the schema with its grants,
# every table's rows (count and digest), every sequence, the database's collation and settings,
# and the memberships of the program's groups.
snapshot() {
    local db=$1
    pg_dump -s -d "$db" | grep -v -E '^\\(un)?restrict '
    psql_ -At -d "$db" <<'EOF'
SELECT CASE WHEN c.relkind = 'S'
            THEN format('SELECT %L, last_value, is_called FROM %s', c.oid::regclass, c.oid::regclass)
            ELSE format('SELECT %L, count(*), md5(coalesce(string_agg(t::text, E''\n'' ORDER BY t::text), '''')) FROM %s t',
                        c.oid::regclass, c.oid::regclass) END
FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
WHERE c.relkind IN ('r', 'p', 'S') AND n.nspname <> 'information_schema' AND n.nspname !~ '^pg_'
ORDER BY c.oid::regclass::text
\gexec
EOF
    psql_ -At -d postgres -v db="$db" -v login="$login" <<'EOF'
SELECT datlocprovider, daticulocale, datcollate, pg_encoding_to_char(encoding)
FROM pg_database WHERE datname = :'db';
SELECT s.setconfig FROM pg_db_role_setting s JOIN pg_database d ON d.oid = s.setdatabase
WHERE d.datname = :'db' AND s.setrole = 0;
SELECT g.rolname, m.rolname FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid
JOIN pg_roles m ON m.oid = a.member
WHERE g.rolname LIKE 'tabel\_%' AND (m.rolname LIKE 'tabel\_%' OR m.rolname IN ('sys', :'login'))
ORDER BY 1, 2;
EOF
}

# A small shop: the demo generator's entries and hour-paid entries over three months, then
# changes that leave history rows, a closed month and the personal logins setting.
fill_shop() {
    psql_ -d "$1" -v workers=8 -v products=5 -v operations=20 -v months=3 -f "$repo/db/demo_data.sql"
    psql_ -d "$1" -o /dev/null <<EOF
SET tabel.os_user = 'kladovshik';
SET tabel.workstation = 'ofis-1';
UPDATE accounts_dep.smena SET kol_vo = kol_vo + 1
WHERE id IN (SELECT id FROM accounts_dep.smena ORDER BY id LIMIT 3);
DELETE FROM accounts_dep.smena WHERE id = (SELECT max(id) FROM accounts_dep.smena);
UPDATE accounts_dep.fatigue SET cnt = cnt + 1 WHERE id = (SELECT min(id) FROM accounts_dep.fatigue);
SELECT accounts_dep.close_month(extract(year FROM now() - interval '2 months')::int,
                                extract(month FROM now() - interval '2 months')::int);
ALTER DATABASE $1 SET tabel.login = 'personal';
EOF
    # Every kind of row the backup must carry is there.
    [ "$(psql_ -At -d "$1" -c "SELECT (SELECT count(*) FROM accounts_dep.smena) > 0
        AND (SELECT count(*) FROM accounts_dep.fatigue) > 0
        AND (SELECT count(*) FROM accounts_dep.h_tabel) > 0
        AND (SELECT count(*) FROM accounts_dep.closed_month) = 1
        AND (SELECT count(*) FROM accounts_dep.closed_month_log) = 1
        AND (SELECT count(*) FROM accounts_dep.entry_history) = 5")" = t ]
}

copies_of() {   # copies_of DIR DB: the names of the finished copies, oldest first
    find "$1" -maxdepth 1 -type f -name "$2_*_UTC.dump" -printf '%f\n' | LC_ALL=C sort
}

# ---------------------------------------------------------------------------------------------
echo "== setup"
psql_ -d postgres -c "CREATE ROLE $login LOGIN"
"$setup" --login "$login" "$shop" >"$tmp/setup1.out"
grep -q "Создана база $shop" "$tmp/setup1.out" || fail "the first setup does not say it made the database"
grep -q "Что дальше" "$tmp/setup1.out" || fail "the first setup does not say what to do next"
check "the database has the Russian ICU collation" \
    test "$(psql_ -At -d postgres -c "SELECT datlocprovider::text || ' ' || daticulocale FROM pg_database WHERE datname = '$shop'")" = "i ru-RU"
check "the login is a member of the four groups" \
    test "$(psql_ -At -d postgres -c "SELECT bool_and(pg_has_role('$login', g, 'MEMBER')) FROM unnest(ARRAY['tabel_full', 'tabel_planning', 'tabel_foremen', 'tabel_warehouse']) g")" = t
check "the tables belong to tabel_owner" \
    test "$(psql_ -At -d "$shop" -c "SELECT pg_get_userbyid(relowner) FROM pg_class WHERE oid = 'accounts_dep.smena'::regclass")" = tabel_owner
snapshot "$shop" >"$tmp/empty1"
"$setup" --login "$login" --quiet "$shop" >"$tmp/setup2.out"
grep -q "База $shop уже есть" "$tmp/setup2.out" || fail "the second setup does not say the database was there"
snapshot "$shop" >"$tmp/empty2"
same "setup run again on the empty database changes nothing" "$tmp/empty1" "$tmp/empty2"

fill_shop "$shop" || fail "the shop's fixture"
snapshot "$shop" >"$tmp/filled1"
"$setup" --login "$login" --quiet "$shop" >"$tmp/setup3.out"
snapshot "$shop" >"$tmp/filled2"
same "setup run again on the filled database changes nothing" "$tmp/filled1" "$tmp/filled2"

# ---------------------------------------------------------------------------------------------
echo "== backup and restore"
dir=$tmp/backups
for run in 1 2 3; do
    "$backup" --database "$shop" --dir "$dir" --keep 2 >"$tmp/backup$run.out" || fail "backup run $run"
    sed -n 's/^Копия базы [^:]*: .*\/\([^/ ]*\) (.*$/\1/p' "$tmp/backup$run.out" >>"$tmp/made"
done
copies_of "$dir" "$shop" >"$tmp/kept"
tail -n 2 "$tmp/made" >"$tmp/newest"
same "--keep 2 after three runs keeps the two newest copies" "$tmp/newest" "$tmp/kept"
check "the backup directory is closed to others" test "$(stat -c %a "$dir")" = 700
check "the copies are readable by their owner only" \
    test "$(find "$dir" -name '*.dump' -perm /077 | wc -l)" = 0
check "no unfinished file is left" test -z "$(find "$dir" -name '*.partial')"

newest=$dir/$(tail -n 1 "$tmp/kept")
"$backup" --restore "$newest" --into "$copy" >"$tmp/restore.out" || fail "restore"
cat "$tmp/restore.out"
snapshot "$copy" >"$tmp/restored"
same "the restored copy equals the shop: rows, sequences, schema, settings" "$tmp/filled2" "$tmp/restored"
entries=$(psql_ -At -d "$shop" -c "SELECT count(*) FROM accounts_dep.smena")
check "the restore shows the entries of the copy beside the live database's" \
    grep -q "записи смен: в копии $entries, в базе $shop сейчас $entries" "$tmp/restore.out"
check "the restore shows the history rows" grep -q "история записей: в копии 5, в базе $shop сейчас 5" "$tmp/restore.out"

# A restore never writes into a database that exists.
before=$(snapshot "$copy")
if "$backup" --restore "$newest" --into "$copy" >/dev/null 2>"$tmp/again.err"; then
    fail "a restore into an existing database succeeds"
fi
check "a restore into an existing database says why" grep -q "уже есть" "$tmp/again.err"
check "a refused restore leaves the database as it was" test "$before" = "$(snapshot "$copy")"

# A copy cut short (a disk that filled up, a file half copied) restores nothing and leaves no
# database behind.
head -c "$(($(stat -c %s "$newest") * 2 / 3))" "$newest" >"$tmp/cut.dump"
if "$backup" --restore "$tmp/cut.dump" --into "${copy}_broken" >/dev/null 2>"$tmp/cut.err"; then
    fail "a restore of a cut copy succeeds"
fi
check "a failed restore leaves no database" \
    test -z "$(psql_ -At -d postgres -c "SELECT 1 FROM pg_database WHERE datname = '${copy}_broken'")"

# A copy that grants a right to a login this cluster lacks (a new server whose logins are not
# made yet) restores nothing, leaves no database, and says what to do.
psql_ -d postgres -c "CREATE ROLE ${prefix}_person LOGIN"
psql_ -d "$copy" -c "GRANT SELECT ON accounts_dep.ver TO ${prefix}_person"
"$backup" --database "$copy" --dir "$tmp/person" >/dev/null || fail "the backup of the copy"
psql_ -d "$copy" -c "REVOKE SELECT ON accounts_dep.ver FROM ${prefix}_person"
psql_ -d postgres -c "DROP ROLE ${prefix}_person"
if "$backup" --restore "$(find "$tmp/person" -name '*.dump')" --into "${copy}_broken" >/dev/null \
        2>"$tmp/person.err"; then
    fail "a restore that lacks a login succeeds"
fi
check "a restore that lacks a login says so" grep -q "create role" "$tmp/person.err"
check "a restore that lacks a login leaves no database" \
    test -z "$(psql_ -At -d postgres -c "SELECT 1 FROM pg_database WHERE datname = '${copy}_broken'")"

# ---------------------------------------------------------------------------------------------
echo "== a cluster of its own: every database, and a server lost during the dump"
own_env=$("$repo/scripts/pg" start 2>"$tmp/own.log") || { cat "$tmp/own.log" >&2; exit 1; }
own_data=$(eval "$own_env"; echo "$TABEL_PG_DATA")
# In a subshell, with the own cluster's variables; it exits with the number of its failures.
# shellcheck disable=SC2030
(
    failures=0
    eval "$own_env"
    export PGUSER=postgres PGPASSWORD=$TABEL_PG_SUPERUSER_PASSWORD
    unset PGDATABASE
    "$setup" --quiet second >/dev/null

    all=$tmp/all
    "$backup" --dir "$all" >/dev/null || fail "a backup of every database"
    check "without --database every database of the program is backed up" \
        test "$(find "$all" -name '*_UTC.dump' -printf '%f\n' | sed 's/_[0-9-]*_[0-9-]*_UTC\.dump$//' | sort | tr '\n' ' ')" = "second tabel_template "

    lost=$tmp/lost
    "$backup" --database second --dir "$lost" >/dev/null || fail "the backup before the lost one"
    first=$(copies_of "$lost" second)
    # The dump waits for a table another session holds; the server goes while it waits.
    psql_ -d second -c "BEGIN; LOCK TABLE accounts_dep.smena IN ACCESS EXCLUSIVE MODE; SELECT pg_sleep(120);" \
        >/dev/null 2>&1 &
    for _ in $(seq 100); do
        [ "$(psql_ -At -d second -c "SELECT count(*) FROM pg_locks WHERE relation = 'accounts_dep.smena'::regclass AND mode = 'AccessExclusiveLock' AND granted")" = 1 ] && break
        sleep 0.1
    done
    "$backup" --database second --dir "$lost" >"$tmp/lost.out" 2>"$tmp/lost.err" &
    dump=$!
    for _ in $(seq 300); do
        [ "$(psql_ -At -d second -c "SELECT count(*) FROM pg_stat_activity WHERE application_name = 'pg_dump' AND wait_event_type = 'Lock'")" = 1 ] && break
        sleep 0.1
    done
    check "the dump is under way, written to a temporary file" test -n "$(find "$lost" -name '*.partial')"
    TABEL_PG_SOCKET=$PGHOST "$repo/scripts/pg" stop --data "$TABEL_PG_DATA" --immediate 2>/dev/null
    rc=0
    wait "$dump" || rc=$?
    wait || true
    check "a backup that lost its server exits non-zero" test "$rc" -ne 0
    check "it says the copy was not made" grep -q "копия базы second не сделана" "$tmp/lost.err"
    check "it leaves no unfinished file" test -z "$(find "$lost" -name '*.partial')"
    check "it keeps the older copy" test "$(copies_of "$lost" second)" = "$first"
    check "the older copy still reads" pg_restore --list --file=/dev/null "$lost/$first"
    exit "$failures"
) || own_failures=$?
own_data=""
# shellcheck disable=SC2031
failures=$((failures + ${own_failures:-0}))

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
