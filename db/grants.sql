-- What the role that tabel logs in as (sys) must be granted on an existing ERP database, and
-- nothing more: reading the relations it shows, writing the ones it keeps, and numbering new rows
-- of the tables it inserts into. Run it as the owner of the tables (or a superuser), after
-- db/upgrade.sql:
--     psql -X -d mirel_erp -f db/grants.sql                 (grants to sys)
--     psql -X -d mirel_erp -v role=other -f db/grants.sql   (to another role)
-- Granting again changes nothing. Functions the program calls (the advisory locks) and the domains
-- t_id and t_integer are usable by every role unless the administrator has revoked that.

\set ON_ERROR_STOP on
\set QUIET on
\if :{?role}
\else
\set role sys
\endif
SET client_min_messages = warning;
BEGIN;

GRANT USAGE ON SCHEMA accounts_dep, cmn_contractor, cmn_gds_and_srv, cmn_classifier,
    hrms_staffpos, cmn_department, adm_role TO :"role";

-- Read, added to, changed and deleted from by the windows and the postings.
GRANT SELECT, INSERT, UPDATE, DELETE ON
    accounts_dep.smena,         -- shift entries
    accounts_dep.h_tabel,       -- monthly timesheet rows
    accounts_dep.oper,          -- operations
    accounts_dep.norm,          -- norms
    accounts_dep.vid_oper,      -- operation kinds
    accounts_dep.person,        -- workers
    accounts_dep.fatigue,       -- hour-paid entries
    cmn_gds_and_srv.gds_and_srv,  -- products
    cmn_classifier.item         -- nomenclature groups
    TO :"role";

-- The version stamp: read, raised, and its first row inserted; never deleted.
GRANT SELECT, INSERT, UPDATE ON accounts_dep.ver TO :"role";

-- Read only.
GRANT SELECT ON
    accounts_dep.izdel,         -- products as the program reads them
    cmn_contractor.person,      -- names of the workers
    hrms_staffpos.staffpos,     -- lookup lists of the worker editor
    cmn_department.department,
    adm_role.roles
    TO :"role";

SET LOCAL tabel.grant_role = :'role';

DO $$
DECLARE
    role_name text := current_setting('tabel.grant_role');
    seq regclass;
BEGIN
    -- New rows of the written tables take their ids from sequences.
    FOR seq IN
        SELECT DISTINCT d.refobjid::regclass
        FROM pg_attrdef ad
        JOIN pg_depend d ON d.classid = 'pg_attrdef'::regclass AND d.objid = ad.oid
                        AND d.refclassid = 'pg_class'::regclass
        JOIN pg_class s ON s.oid = d.refobjid AND s.relkind = 'S'
        WHERE ad.adrelid IN ('accounts_dep.smena'::regclass, 'accounts_dep.h_tabel'::regclass,
                             'accounts_dep.oper'::regclass, 'accounts_dep.norm'::regclass,
                             'accounts_dep.vid_oper'::regclass, 'accounts_dep.person'::regclass,
                             'accounts_dep.fatigue'::regclass,
                             'cmn_gds_and_srv.gds_and_srv'::regclass,
                             'cmn_classifier.item'::regclass)
        UNION
        SELECT pg_get_serial_sequence(t, 'id')::regclass
        FROM unnest(ARRAY['accounts_dep.smena', 'accounts_dep.h_tabel', 'accounts_dep.oper',
                          'accounts_dep.norm', 'accounts_dep.vid_oper', 'accounts_dep.person',
                          'accounts_dep.fatigue', 'cmn_gds_and_srv.gds_and_srv',
                          'cmn_classifier.item']) AS t
        WHERE pg_get_serial_sequence(t, 'id') IS NOT NULL
    LOOP
        EXECUTE format('GRANT USAGE ON SEQUENCE %s TO %I', seq, role_name);
    END LOOP;

    -- A development database made by db/schema.sql mirrors the workers into the ERP's persons by
    -- a trigger that runs with the rights of whoever changes a worker.
    IF EXISTS (SELECT 1 FROM pg_trigger
               WHERE tgrelid = 'accounts_dep.person'::regclass AND tgname = 'person_mirror') THEN
        EXECUTE format('GRANT INSERT, UPDATE, DELETE ON cmn_contractor.person TO %I', role_name);
    END IF;

    IF NOT has_database_privilege(role_name, current_database(), 'CONNECT') THEN
        EXECUTE format('GRANT CONNECT ON DATABASE %I TO %I', current_database(), role_name);
    END IF;
END
$$;

-- Closed months and the change history of entries: the months are closed and opened again from
-- the monthly timesheet; the history is read only (its triggers write it with the owner's rights).
-- Granted once db/upgrade.sql has made them.
DO $$
DECLARE
    role_name text := current_setting('tabel.grant_role');
BEGIN
    IF to_regclass('accounts_dep.closed_month') IS NOT NULL THEN
        EXECUTE format('GRANT SELECT, INSERT, DELETE ON accounts_dep.closed_month TO %I',
                       role_name);
    END IF;
    IF to_regclass('accounts_dep.entry_history') IS NOT NULL THEN
        EXECUTE format('GRANT SELECT ON accounts_dep.entry_history TO %I', role_name);
        EXECUTE format('REVOKE UPDATE, DELETE, TRUNCATE ON accounts_dep.entry_history FROM %I',
                       role_name);
        -- The owner keeps inserting: its triggers write the history.
        IF NOT pg_has_role(role_name, (SELECT tableowner FROM pg_tables
                                       WHERE schemaname = 'accounts_dep'
                                         AND tablename = 'entry_history'), 'USAGE') THEN
            EXECUTE format('REVOKE INSERT ON accounts_dep.entry_history FROM %I', role_name);
        END IF;
    END IF;
END
$$;

COMMIT;

-- Change notifications for the open lists: the triggers accounts_dep.announce_change run with the
-- rights of whoever writes the table, and LISTEN and pg_notify need no grant, so there is nothing
-- to grant for them.

-- Production calendar: read by every question "is this a day off?", changed in its window, and
-- its new years filled by the program. A database that db/upgrade.sql has not yet brought up has
-- none: granted once it is there.
BEGIN;
SET LOCAL tabel.grant_role = :'role';
DO $$
DECLARE
    role_name text := current_setting('tabel.grant_role');
BEGIN
    IF to_regclass('accounts_dep.prod_calendar') IS NOT NULL THEN
        EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON accounts_dep.prod_calendar TO %I',
                       role_name);
    END IF;
    IF to_regprocedure('accounts_dep.prod_calendar_fill(integer)') IS NOT NULL THEN
        EXECUTE format('GRANT EXECUTE ON FUNCTION accounts_dep.prod_calendar_fill(integer) TO %I',
                       role_name);
    END IF;
END
$$;
COMMIT;
