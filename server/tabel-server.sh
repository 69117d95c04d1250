# shellcheck shell=bash
# What tabel-server-setup, tabel-backup and scripts/pg share: who they connect as, how a database
# of the program is made, and where the database scripts are. Sourced, never run.
#
# The connection is libpq's: the PG* variables when set (PGHOST, PGPORT, PGUSER, PGPASSWORD), else
# the local socket as the current system user. Started by root without PGUSER, a command runs
# itself again as the system user postgres, the cluster's superuser by peer authentication, as
# the systemd unit does.

# The database scripts: db/ beside server/ in the source tree, else the package's copy beside this
# file.
tabel_sql_dir() {
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    if [ -f "$here/../db/schema.sql" ]; then
        (cd "$here/../db" && pwd)
    else
        echo "$here"
    fi
}

# Runs the calling command again as postgres when root started it without a connection of its
# own: tabel_run_as_postgres "$0" "$@".
tabel_run_as_postgres() {
    if [ "$(id -u)" -eq 0 ] && [ -z "${PGUSER:-}" ]; then
        id postgres >/dev/null 2>&1 || tabel_die "нет системного пользователя postgres (установлен ли пакет postgresql?)"
        cd /
        exec runuser -u postgres -- "$@"
    fi
}

tabel_die() {
    echo "${tabel_command:-tabel}: $*" >&2
    exit 1
}

# Database names as the office gives them: letters, digits, "_" and "-" (psql would take a name
# with "=" for a connection string).
tabel_check_name() {
    [[ $1 =~ ^[A-Za-z_][A-Za-z0-9_-]*$ ]] || tabel_die "имя базы — латинские буквы, цифры, _ и -: $1"
}

# psql that stops at the first error; PG_BINDIR chooses the PostgreSQL programs, as for scripts/pg.
tabel_psql() {
    "${PG_BINDIR:+$PG_BINDIR/}psql" -X -q -v ON_ERROR_STOP=1 "$@"
}

# Whether the database exists: tabel_database_exists NAME.
tabel_database_exists() {
    [ -n "$(tabel_psql -d postgres -At -v db="$1" <<'EOF'
SELECT 1 FROM pg_database WHERE datname = :'db';
EOF
)" ]
}

# Makes an empty database with the Russian collation: names sort as in a dictionary (Ё with Е,
# capitals with small letters) whatever the cluster's own locale.
tabel_create_database() {
    tabel_psql -d postgres -v db="$1" <<'EOF'
CREATE DATABASE :"db" TEMPLATE template0 ENCODING 'UTF8' LOCALE 'C.UTF-8'
    LOCALE_PROVIDER icu ICU_LOCALE 'ru-RU';
EOF
}

# Whether the database holds the program's tables: tabel_has_program_tables NAME.
tabel_has_program_tables() {
    [ "$(tabel_psql -d "$1" -At -c \
        "SELECT to_regclass('accounts_dep.smena') IS NOT NULL AND to_regclass('accounts_dep.ver') IS NOT NULL")" = t ]
}

# Whether the connection is a superuser's (making roles and databases needs one).
tabel_is_superuser() {
    [ "$(tabel_psql -d postgres -At -c 'SELECT rolsuper FROM pg_roles WHERE rolname = current_user')" = t ]
}
