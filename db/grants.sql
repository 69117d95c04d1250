-- The site's own login for the access codes mode: the role every workstation connects as before
-- and after an access code is typed. It becomes a member of the four groups of db/roles.sql, so
-- that the program can switch to the code's group after login (SET ROLE); what it may do comes
-- from the groups alone. Run it as a superuser after db/upgrade.sql (or db/schema.sql):
--     sudo -u postgres psql -X -d mirel_erp -f db/grants.sql                 (for sys)
--     sudo -u postgres psql -X -d mirel_erp -v role=other -f db/grants.sql   (for another login)
-- Granting again changes nothing. Whoever holds this login's password can do in psql what full
-- access does in the program: sites that want more turn on personal logins (README).

\set ON_ERROR_STOP on
\set QUIET on
\if :{?role}
\else
\set role sys
\endif
SET client_min_messages = warning;
SET search_path = pg_catalog, pg_temp;
BEGIN;
SET LOCAL tabel.grant_role = :'role';

DO $$
DECLARE
    role_name text := current_setting('tabel.grant_role');
BEGIN
    IF to_regrole('tabel_full') IS NULL THEN
        RAISE EXCEPTION USING ERRCODE = 'undefined_object', MESSAGE =
            'Права не выданы: в кластере нет групп программы (tabel_full …) — сначала выполните '
            'db/upgrade.sql (или db/schema.sql) от имени суперпользователя.';
    END IF;
    IF NOT pg_has_role(current_user, 'tabel_full', 'USAGE')
       AND NOT (SELECT rolsuper OR rolcreaterole FROM pg_roles WHERE rolname = current_user) THEN
        RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege', MESSAGE = format(
            'Права не выданы: роль «%s» не может выдавать группы программы — запустите скрипт от '
            'имени суперпользователя (sudo -u postgres psql …).', current_user);
    END IF;
    IF to_regrole(role_name) IS NULL THEN
        RAISE EXCEPTION USING ERRCODE = 'undefined_object', MESSAGE = format(
            'Права не выданы: роли «%s» нет в кластере.', role_name);
    END IF;
    EXECUTE format('GRANT tabel_full, tabel_planning, tabel_foremen, tabel_warehouse TO %I',
                   role_name);
    IF NOT has_database_privilege(role_name, current_database(), 'CONNECT') THEN
        EXECUTE format('GRANT CONNECT ON DATABASE %I TO %I', current_database(), role_name);
    END IF;
END
$$;

COMMIT;
