-- Who may do what, kept by the database itself, for db/schema.sql and db/upgrade.sql (each
-- includes it inside its own transaction). Idempotent: a second run changes nothing. Run by a
-- superuser: it makes roles and hands the program's tables to their owner.
--
-- What a role may not do in the program it cannot do in psql either:
--   tabel_owner      owns the program's schema accounts_dep and everything in it; NOLOGIN, so
--                    no workstation holds its password; its SECURITY DEFINER functions do the
--                    privileged writes (hours posting, closing a month, the version stamp);
--   tabel_full       full access: entries, catalogues, calendar, monthly rows, closing months;
--   tabel_planning   reports and hour-paid entries;
--   tabel_foremen    adds shift entries (their hours are posted by the database) and
--                    hour-paid entries;
--   tabel_warehouse  accepts the day's entries, and hour-paid entries;
--   tabel_reader     reads what the program shows and writes nothing: the site's own login
--                    where people log in personally, used before the dialog (version check,
--                    windows made at start-up).
-- Every group reads what the program shows. A person logs in as an ordinary login role that is a
-- member of one group; in the access codes mode the site's own login is a member of all four
-- (db/grants.sql) and the program switches to the code's group with SET ROLE.

SET LOCAL search_path = pg_catalog, pg_temp;

DO $$
DECLARE
    r text;
BEGIN
    FOREACH r IN ARRAY ARRAY['tabel_owner', 'tabel_full', 'tabel_planning', 'tabel_foremen',
                             'tabel_warehouse', 'tabel_reader'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r) THEN
            EXECUTE format('CREATE ROLE %I NOLOGIN', r);
        END IF;
    END LOOP;
END
$$;

-- The history of closing and opening months: who, when, from which address. Written only by the
-- two functions below; nobody changes it.
CREATE TABLE IF NOT EXISTS accounts_dep.closed_month_log (
    id              bigserial,
    year            integer NOT NULL,
    month           integer NOT NULL,
    action          text NOT NULL CHECK (action IN ('close', 'open')),
    done_at         timestamptz NOT NULL DEFAULT now(),
    db_user         text NOT NULL DEFAULT session_user,
    client_addr     inet DEFAULT inet_client_addr(),
    os_user         text DEFAULT nullif(current_setting('tabel.os_user', true), ''),
    workstation     text DEFAULT nullif(current_setting('tabel.workstation', true), ''),
    CONSTRAINT closed_month_log_pkey PRIMARY KEY (id)
);
ALTER TABLE accounts_dep.closed_month ADD COLUMN IF NOT EXISTS client_addr inet;

CREATE OR REPLACE FUNCTION accounts_dep.closed_month_log_keep() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION USING ERRCODE = 'TB002',
        MESSAGE = 'Журнал закрытия месяцев не изменяется и не удаляется.';
END
$$;
CREATE OR REPLACE TRIGGER closed_month_log_keep BEFORE UPDATE OR DELETE OR TRUNCATE
    ON accounts_dep.closed_month_log
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.closed_month_log_keep();

-- A month the program can name: a year of the entries' range and a month of the year.
CREATE OR REPLACE FUNCTION accounts_dep.check_month(y integer, m integer) RETURNS void
LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF y IS NULL OR m IS NULL OR y NOT BETWEEN 2000 AND 2999 OR m NOT BETWEEN 1 AND 12 THEN
        RAISE EXCEPTION USING ERRCODE = '22023',
            MESSAGE = format('Месяц %s.%s указан неверно.', m, y);
    END IF;
END
$$;

-- Every close and open changes the month's row of month_state: a writer whose snapshot predates
-- it meets a serialization failure instead of writing into a month closed meanwhile.
CREATE OR REPLACE FUNCTION accounts_dep.month_changed(y integer, m integer) RETURNS void
LANGUAGE sql SET search_path = pg_catalog, pg_temp AS $$
    INSERT INTO accounts_dep.month_state (year, month, changes) VALUES (y, m, 1)
    ON CONFLICT (year, month) DO UPDATE SET changes = accounts_dep.month_state.changes + 1
$$;
REVOKE ALL ON FUNCTION accounts_dep.month_changed(integer, integer) FROM PUBLIC;

-- Closes a month: its entries and monthly rows refuse every write from then on. Writes under way
-- in the month hold its lock shared until they commit; the close waits for them.
CREATE OR REPLACE FUNCTION accounts_dep.close_month(y integer, m integer) RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    PERFORM accounts_dep.check_month(y, m);
    PERFORM pg_advisory_xact_lock(-1, y * 100 + m);
    INSERT INTO accounts_dep.closed_month (year, month, closed_at, db_user, os_user, workstation,
                                           client_addr)
    VALUES (y, m, now(), session_user, nullif(current_setting('tabel.os_user', true), ''),
            nullif(current_setting('tabel.workstation', true), ''), inet_client_addr())
    ON CONFLICT DO NOTHING;
    IF NOT FOUND THEN
        RETURN false;
    END IF;
    PERFORM accounts_dep.month_changed(y, m);
    INSERT INTO accounts_dep.closed_month_log (year, month, action) VALUES (y, m, 'close');
    RETURN true;
END
$$;

-- Opens a closed month again (a correction after payment), recorded like the close.
CREATE OR REPLACE FUNCTION accounts_dep.open_month(y integer, m integer) RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    PERFORM accounts_dep.check_month(y, m);
    DELETE FROM accounts_dep.closed_month WHERE year = y AND month = m;
    IF NOT FOUND THEN
        RETURN false;
    END IF;
    PERFORM accounts_dep.month_changed(y, m);
    INSERT INTO accounts_dep.closed_month_log (year, month, action) VALUES (y, m, 'open');
    RETURN true;
END
$$;

-- The version stamp: raised by a newer build, never lowered, and never past tomorrow (a stamp
-- far ahead would end every copy in the office). Returns the row the version check compares.
CREATE OR REPLACE FUNCTION accounts_dep.raise_version(new_d integer, new_t integer)
RETURNS TABLE (d integer, t integer, delim varchar)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
#variable_conflict use_column
BEGIN
    -- Two copies starting at once must not insert two rows. The check runs every half minute
    -- in every copy: it never waits, neither for the lock (another copy raising the stamp now
    -- leaves it to that copy) nor for the row (held by someone else: raised at the next check).
    IF new_d IS NOT NULL AND new_t IS NOT NULL
       AND new_d <= to_char(current_date + 1, 'YYYYMMDD')::integer
       AND pg_try_advisory_xact_lock(7777001) THEN
        INSERT INTO accounts_dep.ver (d, t) SELECT new_d, new_t
        WHERE NOT EXISTS (SELECT 1 FROM accounts_dep.ver);
        BEGIN
            UPDATE accounts_dep.ver v SET d = new_d, t = new_t
            WHERE v.ctid = (SELECT ctid FROM accounts_dep.ver LIMIT 1 FOR UPDATE NOWAIT)
              AND (coalesce(v.d, 0), coalesce(v.t, 0)) < (new_d, new_t);
        EXCEPTION WHEN lock_not_available THEN
            NULL;
        END;
    END IF;
    RETURN QUERY SELECT v.d, v.t, v.delim FROM accounts_dep.ver v LIMIT 1;
END
$$;

-- Hours posting, by the database: every written shift entry re-posts the hours of its worker,
-- shift and day into his monthly row (a day with entries gets their sum, 0 when they sum to 0),
-- and the day an entry left (deleted, or moved to another worker, shift or day) gets the sum of
-- those left, empty when none is left. Hour-paid entries likewise, by worker, kind, night flag and
-- day. No client can skip or fake it, and a role that may add entries but not write monthly rows
-- still gets its hours posted.
--
-- The rows a statement wrote come as whole rows, before (old_set) and after (new_set); the family
-- ('smena' or 'fatigue') says which columns make an entry's day and hours. A day the statement's
-- rows stand on now is posted unless the row stood there before with the same hours; a day a row
-- left is brought down to what is left there.
--
-- Locks, as a month rebuild expects them: the months' lock shared, then each worker's month, in
-- one order, so that two copies posting the same worker's day never lose each other's entry and
-- never wait for each other in a circle. Each statement after a lock reads anew (READ COMMITTED).
CREATE OR REPLACE FUNCTION accounts_dep.post_hours(family text, new_set jsonb, old_set jsonb)
RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    days jsonb;
    k record;
    day_column text;
    day_sum text;
    month_row text;
BEGIN
    WITH written AS (
        SELECT x.side, (x.r ->> 'id')::bigint AS id,
               (CASE family WHEN 'smena' THEN x.r ->> 'w_id' ELSE x.r ->> 'id_p' END)::numeric::integer AS w,
               (CASE family WHEN 'smena' THEN x.r ->> 'smena' ELSE x.r ->> 'id_o' END)::numeric::integer AS s,
               CASE family WHEN 'smena' THEN 0 ELSE (x.r ->> 'i_night')::integer END AS n,
               CASE family WHEN 'smena' THEN (x.r ->> 'data')::timestamp
                           ELSE (x.r ->> 'd_date')::date END AS d,
               CASE family WHEN 'smena' THEN x.r -> 'time' ELSE x.r -> 'cnt' END AS hours
        FROM (SELECT 'new' AS side, e AS r FROM jsonb_array_elements(coalesce(new_set, '[]')) e
              UNION ALL
              SELECT 'old', e FROM jsonb_array_elements(coalesce(old_set, '[]')) e) x
    ),
    placed AS (
        SELECT * FROM written WHERE w IS NOT NULL AND s IS NOT NULL AND n IS NOT NULL
                                AND d IS NOT NULL
    ),
    touched AS (
        SELECT a.w, a.s, a.n, a.d, false AS only_update
        FROM placed a
        WHERE a.side = 'new'
          AND NOT EXISTS (SELECT 1 FROM placed b WHERE b.side = 'old' AND b.id = a.id
                            AND (b.w, b.s, b.n, b.d) = (a.w, a.s, a.n, a.d)
                            AND b.hours IS NOT DISTINCT FROM a.hours)
        UNION
        SELECT a.w, a.s, a.n, a.d, true
        FROM placed a
        WHERE a.side = 'old'
          AND NOT EXISTS (SELECT 1 FROM placed b WHERE b.side = 'new' AND b.id = a.id
                            AND (b.w, b.s, b.n, b.d) = (a.w, a.s, a.n, a.d))
    )
    SELECT jsonb_agg(jsonb_build_object('w', w, 's', s, 'n', n, 'd', d::date,
                                        'u', only_update)
                     ORDER BY w, s, n, d, only_update)
    INTO days FROM touched;
    IF days IS NULL THEN
        RETURN;
    END IF;

    PERFORM count(pg_advisory_xact_lock_shared(-1, m)) FROM (
        SELECT DISTINCT extract(year FROM (e ->> 'd')::date)::integer * 100
                        + extract(month FROM (e ->> 'd')::date)::integer AS m
        FROM jsonb_array_elements(days) e ORDER BY 1) months;
    PERFORM count(pg_advisory_xact_lock(w)) FROM (
        SELECT DISTINCT (1::bigint << 62) | ((e ->> 'w')::bigint << 20)
                        | (extract(year FROM (e ->> 'd')::date)::integer * 100
                           + extract(month FROM (e ->> 'd')::date)::integer) AS w
        FROM jsonb_array_elements(days) e ORDER BY 1) workers;

    -- $1 worker, $2 shift or kind, $3 month, $4 year, $5 day, $6 night flag
    IF family = 'smena' THEN
        day_sum := '(SELECT sum(e.time) FROM accounts_dep.smena e WHERE e.w_id = $1 AND '
                   'e.smena = $2 AND e.data = $5)';
        month_row := 'w_id = $1 AND smena = $2 AND i_type = 0 AND i_night = 0';
    ELSE
        day_sum := '(SELECT sum(f.cnt) FROM accounts_dep.fatigue f WHERE f.id_p = $1 AND '
                   'f.id_o = $2 AND f.i_night = $6 AND f.d_date = $5)';
        month_row := 'w_id = $1 AND smena = 0 AND i_type = $2 AND i_night = $6';
    END IF;
    FOR k IN SELECT (e ->> 'w')::integer AS w, (e ->> 's')::integer AS s,
                    (e ->> 'n')::integer AS n, (e ->> 'd')::date AS d,
                    (e ->> 'u')::boolean AS only_update
             FROM jsonb_array_elements(days) e LOOP
        day_column := 'd' || extract(day FROM k.d)::integer;
        IF k.only_update THEN
            EXECUTE format('UPDATE accounts_dep.h_tabel SET %I = %s WHERE %s AND month = $3 '
                           'AND year = $4', day_column, day_sum, month_row)
            USING k.w, k.s, extract(month FROM k.d)::integer, extract(year FROM k.d)::integer,
                  k.d, k.n;
        ELSE
            EXECUTE format('INSERT INTO accounts_dep.h_tabel (w_id, %1$s, month, year, %2$I) '
                           'VALUES ($1, %3$s, $3, $4, coalesce(%4$s, 0)) '
                           'ON CONFLICT (w_id, month, year, smena, i_type, i_night) '
                           'DO UPDATE SET %2$I = excluded.%2$I',
                           CASE family WHEN 'smena' THEN 'smena' ELSE 'i_type, i_night' END,
                           day_column,
                           CASE family WHEN 'smena' THEN '$2' ELSE '$2, $6' END, day_sum)
            USING k.w, k.s, extract(month FROM k.d)::integer, extract(year FROM k.d)::integer,
                  k.d, k.n;
        END IF;
    END LOOP;
END
$$;

-- The posting trigger of both entry tables: hands the statement's rows to post_hours.
CREATE OR REPLACE FUNCTION accounts_dep.entries_post_hours() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    new_set jsonb;
    old_set jsonb;
BEGIN
    IF TG_OP <> 'DELETE' THEN
        SELECT jsonb_agg(to_jsonb(r)) INTO new_set FROM new_rows r;
    END IF;
    IF TG_OP <> 'INSERT' THEN
        SELECT jsonb_agg(to_jsonb(r)) INTO old_set FROM old_rows r;
    END IF;
    PERFORM accounts_dep.post_hours(TG_TABLE_NAME, new_set, old_set);
    RETURN NULL;
END
$$;

-- A trigger with transition tables takes one event: three per table. Named so that they run
-- after the entries' guard and history (triggers of one event run in the order of their names).
DO $$
DECLARE
    entries text;
BEGIN
    FOREACH entries IN ARRAY ARRAY['smena', 'fatigue'] LOOP
        EXECUTE format('CREATE OR REPLACE TRIGGER %1$s_post_hours_ins AFTER INSERT '
                       'ON accounts_dep.%1$s REFERENCING NEW TABLE AS new_rows FOR EACH '
                       'STATEMENT EXECUTE FUNCTION accounts_dep.entries_post_hours()', entries);
        EXECUTE format('CREATE OR REPLACE TRIGGER %1$s_post_hours_upd AFTER UPDATE '
                       'ON accounts_dep.%1$s REFERENCING OLD TABLE AS old_rows NEW TABLE AS '
                       'new_rows FOR EACH STATEMENT EXECUTE FUNCTION '
                       'accounts_dep.entries_post_hours()', entries);
        EXECUTE format('CREATE OR REPLACE TRIGGER %1$s_post_hours_del AFTER DELETE '
                       'ON accounts_dep.%1$s REFERENCING OLD TABLE AS old_rows FOR EACH '
                       'STATEMENT EXECUTE FUNCTION accounts_dep.entries_post_hours()', entries);
    END LOOP;
END
$$;

-- Functions that write with the owner's rights: the workers' mirror into the ERP's persons, and
-- the calendar's new years (filled at start-up, before anyone has logged in).
DO $$
DECLARE
    fn regprocedure;
BEGIN
    FOREACH fn IN ARRAY ARRAY[to_regprocedure('accounts_dep.person_mirror()'),
                              to_regprocedure('accounts_dep.prod_calendar_fill(integer)')] LOOP
        IF fn IS NOT NULL THEN
            EXECUTE format('ALTER FUNCTION %s SECURITY DEFINER SET search_path = pg_catalog, '
                           'pg_temp', fn);
        END IF;
    END LOOP;
    IF to_regprocedure('accounts_dep.person_mirror()') IS NOT NULL THEN
        REVOKE ALL ON FUNCTION accounts_dep.person_mirror() FROM PUBLIC;
    END IF;
END
$$;

-- The logins that wrote the program's tables before (the owner, or a login given rights by
-- db/grants.sql of an earlier version) keep working in the access codes mode as members of the
-- four groups; the rights of their own on the program's tables are taken back below. Only rights
-- of their own count: a person who may add entries through a group (a foreman) stays as he is.
DO $$
DECLARE
    r record;
BEGIN
    FOR r IN SELECT a.rolname FROM pg_roles a, pg_class c
             WHERE c.oid = 'accounts_dep.smena'::regclass
               AND a.rolcanlogin AND NOT a.rolsuper
               AND (c.relowner = a.oid
                    OR EXISTS (SELECT 1 FROM aclexplode(c.relacl) x
                               WHERE x.grantee = a.oid AND x.privilege_type = 'INSERT'))
               AND NOT pg_has_role(a.oid, 'tabel_full', 'MEMBER')
    LOOP
        EXECUTE format('GRANT tabel_full, tabel_planning, tabel_foremen, tabel_warehouse TO %I',
                       r.rolname);
    END LOOP;
END
$$;

-- The owner: the schema accounts_dep and everything in it.
DO $$
DECLARE
    o record;
BEGIN
    IF (SELECT nspowner FROM pg_namespace WHERE nspname = 'accounts_dep')
       <> 'tabel_owner'::regrole THEN
        ALTER SCHEMA accounts_dep OWNER TO tabel_owner;
    END IF;
    FOR o IN SELECT c.oid::regclass AS rel, c.relkind FROM pg_class c
             WHERE c.relnamespace = 'accounts_dep'::regnamespace
               AND c.relkind IN ('r', 'p', 'v', 'm', 'S')
               AND c.relowner <> 'tabel_owner'::regrole
               -- a sequence of a column goes with its table
               AND NOT (c.relkind = 'S' AND EXISTS (
                   SELECT 1 FROM pg_depend d WHERE d.classid = 'pg_class'::regclass
                     AND d.objid = c.oid AND d.deptype IN ('a', 'i')))
             ORDER BY c.relkind, c.oid LOOP
        EXECUTE format('ALTER %s %s OWNER TO tabel_owner',
                       CASE o.relkind WHEN 'v' THEN 'VIEW' WHEN 'm' THEN 'MATERIALIZED VIEW'
                                      WHEN 'S' THEN 'SEQUENCE' ELSE 'TABLE' END, o.rel);
    END LOOP;
    FOR o IN SELECT p.oid::regprocedure AS fn FROM pg_proc p
             WHERE p.pronamespace = 'accounts_dep'::regnamespace
               AND p.proowner <> 'tabel_owner'::regrole LOOP
        EXECUTE format('ALTER FUNCTION %s OWNER TO tabel_owner', o.fn);
    END LOOP;
END
$$;

-- Nothing for everybody but the version row; no one but the owner makes objects in the schema.
-- (Only what PUBLIC holds is taken back, so that a second run leaves the rights as they are.)
DO $$
DECLARE
    r record;
BEGIN
    FOR r IN SELECT DISTINCT c.oid::regclass AS rel, g.privilege_type AS privilege
             FROM pg_class c, aclexplode(c.relacl) g
             WHERE c.relnamespace = 'accounts_dep'::regnamespace AND g.grantee = 0
               AND NOT (c.oid = 'accounts_dep.ver'::regclass AND g.privilege_type = 'SELECT') LOOP
        EXECUTE format('REVOKE %s ON %s FROM PUBLIC', r.privilege, r.rel);
    END LOOP;
END
$$;
REVOKE CREATE ON SCHEMA accounts_dep FROM PUBLIC;
GRANT USAGE ON SCHEMA accounts_dep TO PUBLIC;
GRANT SELECT ON accounts_dep.ver TO PUBLIC;
REVOKE ALL ON FUNCTION accounts_dep.close_month(integer, integer),
    accounts_dep.open_month(integer, integer),
    accounts_dep.post_hours(text, jsonb, jsonb), accounts_dep.entries_post_hours(),
    accounts_dep.entry_history_write()
    FROM PUBLIC;

-- What the owner's functions read and write outside its schema.
GRANT USAGE ON SCHEMA cmn_contractor, cmn_gds_and_srv, cmn_classifier TO tabel_owner;
GRANT SELECT, INSERT, UPDATE, DELETE ON cmn_contractor.person TO tabel_owner;
GRANT SELECT, REFERENCES ON cmn_gds_and_srv.gds_and_srv, cmn_classifier.item TO tabel_owner;

-- Every group reads what the windows show (the reader too), and enters hour-paid work (its list is
-- open to every role).
GRANT USAGE ON SCHEMA accounts_dep, cmn_contractor, cmn_gds_and_srv, cmn_classifier,
    hrms_staffpos, cmn_department, adm_role
    TO tabel_full, tabel_planning, tabel_foremen, tabel_warehouse, tabel_reader;
GRANT SELECT ON accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.oper, accounts_dep.norm,
    accounts_dep.vid_oper, accounts_dep.person, accounts_dep.fatigue, accounts_dep.ver,
    accounts_dep.izdel, accounts_dep.closed_month, accounts_dep.closed_month_log,
    accounts_dep.entry_history, accounts_dep.prod_calendar,
    cmn_gds_and_srv.gds_and_srv, cmn_classifier.item, cmn_contractor.person,
    hrms_staffpos.staffpos, cmn_department.department, adm_role.roles
    TO tabel_full, tabel_planning, tabel_foremen, tabel_warehouse, tabel_reader;
GRANT INSERT, UPDATE, DELETE ON accounts_dep.fatigue
    TO tabel_full, tabel_planning, tabel_foremen, tabel_warehouse;

-- Foremen add shift entries; the warehouse accepts them (the acceptance column only).
GRANT INSERT ON accounts_dep.smena TO tabel_foremen;
GRANT UPDATE (ok) ON accounts_dep.smena TO tabel_warehouse;

-- Full access: entries, the catalogues, the calendar, the monthly rows (a month rebuild writes
-- them from the entries), closing and opening months.
GRANT INSERT, UPDATE, DELETE ON accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.oper,
    accounts_dep.norm, accounts_dep.vid_oper, accounts_dep.person, accounts_dep.prod_calendar,
    cmn_gds_and_srv.gds_and_srv, cmn_classifier.item
    TO tabel_full;
GRANT EXECUTE ON FUNCTION accounts_dep.close_month(integer, integer),
    accounts_dep.open_month(integer, integer)
    TO tabel_full;

-- New rows take their ids from the tables' sequences.
DO $$
DECLARE
    g record;
    seq regclass;
BEGIN
    FOR g IN SELECT * FROM (VALUES
                 ('tabel_full', ARRAY['accounts_dep.smena', 'accounts_dep.h_tabel',
                                      'accounts_dep.oper', 'accounts_dep.norm',
                                      'accounts_dep.vid_oper', 'accounts_dep.person',
                                      'accounts_dep.fatigue', 'cmn_gds_and_srv.gds_and_srv',
                                      'cmn_classifier.item']),
                 ('tabel_foremen', ARRAY['accounts_dep.smena', 'accounts_dep.fatigue']),
                 ('tabel_planning', ARRAY['accounts_dep.fatigue']),
                 ('tabel_warehouse', ARRAY['accounts_dep.fatigue']),
                 ('tabel_owner', ARRAY['accounts_dep.h_tabel'])) AS v(grp, tables) LOOP
        FOR seq IN
            SELECT DISTINCT d.refobjid::regclass
            FROM pg_attrdef ad
            JOIN pg_depend d ON d.classid = 'pg_attrdef'::regclass AND d.objid = ad.oid
                            AND d.refclassid = 'pg_class'::regclass
            JOIN pg_class s ON s.oid = d.refobjid AND s.relkind = 'S'
            WHERE ad.adrelid = ANY (SELECT to_regclass(t) FROM unnest(g.tables) t)
        LOOP
            EXECUTE format('GRANT USAGE ON SEQUENCE %s TO %I', seq, g.grp);
        END LOOP;
    END LOOP;
END
$$;

-- Nobody but the groups writes the program's tables: rights to write given to other roles
-- are taken back (reading is left to whoever the enterprise let read).
DO $$
DECLARE
    r record;
BEGIN
    FOR r IN SELECT c.oid::regclass AS rel, g.grantee
             FROM pg_class c, aclexplode(c.relacl) g
             WHERE c.relnamespace = 'accounts_dep'::regnamespace AND c.relacl IS NOT NULL
               AND g.grantee <> 0 AND g.privilege_type <> 'SELECT'
               AND g.grantee NOT IN (SELECT oid FROM pg_roles WHERE rolname IN
                   ('tabel_owner', 'tabel_full', 'tabel_planning', 'tabel_foremen',
                    'tabel_warehouse', 'tabel_reader'))
             GROUP BY 1, 2 LOOP
        EXECUTE format('REVOKE INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER ON %s FROM %I',
                       r.rel, pg_get_userbyid(r.grantee));
    END LOOP;
END
$$;
