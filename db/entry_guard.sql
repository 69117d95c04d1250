-- Closed months and the change history of entries, for db/schema.sql and db/upgrade.sql (each
-- includes it inside its own transaction). Idempotent: a second run changes nothing.
--
-- A month closed once it is paid refuses every write to its entries and monthly rows, whichever
-- copy (or whatever client) makes it. Every insert, change and delete of a shift entry or an
-- hour-paid entry is written to the history by the triggers below, with the session's names: the
-- program sets tabel.os_user, tabel.workstation and tabel.program_role when it connects and
-- logs in. The history is written only by the triggers, never by a client, and never changed.

-- The closed months: who closed each, from where and when. Filled in from the session.
CREATE TABLE IF NOT EXISTS accounts_dep.closed_month (
    year            integer NOT NULL,
    month           integer NOT NULL CHECK (month BETWEEN 1 AND 12),
    closed_at       timestamptz NOT NULL DEFAULT now(),
    db_user         text NOT NULL DEFAULT session_user,
    os_user         text DEFAULT nullif(current_setting('tabel.os_user', true), ''),
    workstation     text DEFAULT nullif(current_setting('tabel.workstation', true), ''),
    CONSTRAINT closed_month_pkey PRIMARY KEY (year, month)
);

-- Refuses the statement because the month is closed: one sentence a clerk can read.
CREATE OR REPLACE FUNCTION accounts_dep.refuse_closed_month(y integer, m integer) RETURNS void
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION USING ERRCODE = 'TB001',
        MESSAGE = format('%s %s закрыт для изменений; изменения не записаны.',
                         (ARRAY['Январь', 'Февраль', 'Март', 'Апрель', 'Май', 'Июнь', 'Июль',
                                'Август', 'Сентябрь', 'Октябрь', 'Ноябрь', 'Декабрь'])[m], y);
END
$$;

-- A closed month is a year of the entries' range; a row of another (a month 0 of year 0 typed by
-- hand) is refused, and the guards below never build a date from stored values.
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_catalog.pg_constraint
                   WHERE conrelid = 'accounts_dep.closed_month'::regclass
                     AND conname = 'closed_month_year_check') THEN
        ALTER TABLE accounts_dep.closed_month ADD CONSTRAINT closed_month_year_check
            CHECK (year BETWEEN 2000 AND 2999) NOT VALID;
    END IF;
END
$$;

-- One row per month that was ever closed or opened, changed by every close and open. A writer
-- reading from a snapshot taken before a close (REPEATABLE READ, SERIALIZABLE) does not see the
-- closed month in accounts_dep.closed_month; touching this row shows it the change instead, as a
-- serialization failure.
CREATE TABLE IF NOT EXISTS accounts_dep.month_state (
    year            integer NOT NULL,
    month           integer NOT NULL,
    changes         bigint NOT NULL DEFAULT 0,
    CONSTRAINT month_state_pkey PRIMARY KEY (year, month)
);

-- Touches the months' rows with the owner's rights (writers may not write the table).
CREATE OR REPLACE FUNCTION accounts_dep.touch_months(months integer[]) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    INSERT INTO accounts_dep.month_state (year, month)
    SELECT DISTINCT k / 100, k % 100 FROM unnest(months) AS k ORDER BY 1, 2
    ON CONFLICT DO NOTHING;
EXCEPTION WHEN serialization_failure THEN
    RAISE EXCEPTION USING ERRCODE = 'serialization_failure',
        MESSAGE = 'Месяц закрыли или открыли, пока шла эта запись; изменения не записаны, '
                  'повторите их.';
END
$$;

-- The guard of every write to entries and monthly rows, for the months it touches (year * 100 +
-- month): the months' lock shared, in one order (a month being closed waits for the writes under
-- way in it, and a write that comes during the close waits for it and then sees it), the
-- months' rows touched where the writer's snapshot may predate a close, and the refusal when one
-- of the months is closed.
-- Runs with the writer's rights and settings: a posting runs it for every statement, and a
-- function that sets its own costs a change of settings on each call.
CREATE OR REPLACE FUNCTION accounts_dep.guard_months(months integer[]) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    closed record;
BEGIN
    IF months IS NULL OR cardinality(months) = 0 THEN
        RETURN;
    END IF;
    PERFORM count(pg_advisory_xact_lock_shared(-1, k))
    FROM (SELECT DISTINCT k FROM unnest(months) AS k ORDER BY 1) ordered;
    IF current_setting('transaction_isolation') <> 'read committed' THEN
        PERFORM accounts_dep.touch_months(months);
    END IF;
    SELECT cm.year, cm.month INTO closed FROM accounts_dep.closed_month cm
    WHERE cm.year * 100 + cm.month = ANY (months)
    ORDER BY cm.year, cm.month LIMIT 1;
    IF FOUND THEN
        PERFORM accounts_dep.refuse_closed_month(closed.year, closed.month);
    END IF;
END
$$;

-- The monthly rows: one check per statement over the rows it wrote (a month rebuild writes
-- thousands at once), one query on the few closed months. It runs with the rights of the writer,
-- who reads the closed months: every posting runs it twice (an upsert is an insert and an
-- update), and a function of the owner's rights costs a change of settings on each call.
CREATE OR REPLACE FUNCTION accounts_dep.h_tabel_month_guard() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    months integer[];
BEGIN
    IF TG_OP = 'INSERT' THEN
        SELECT array_agg(DISTINCT r.year * 100 + r.month) INTO months FROM new_rows r
        WHERE r.month BETWEEN 1 AND 12 AND r.year > 0;
    ELSIF TG_OP = 'DELETE' THEN
        SELECT array_agg(DISTINCT r.year * 100 + r.month) INTO months FROM old_rows r
        WHERE r.month BETWEEN 1 AND 12 AND r.year > 0;
    ELSE
        SELECT array_agg(DISTINCT k) INTO months
        FROM (SELECT r.year * 100 + r.month AS k FROM old_rows r
              WHERE r.month BETWEEN 1 AND 12 AND r.year > 0
              UNION
              SELECT r.year * 100 + r.month FROM new_rows r
              WHERE r.month BETWEEN 1 AND 12 AND r.year > 0) touched;
    END IF;
    PERFORM accounts_dep.guard_months(months);
    RETURN NULL;
END
$$;

-- A trigger with transition tables takes one event: three per table.
CREATE OR REPLACE TRIGGER h_tabel_month_guard_ins AFTER INSERT ON accounts_dep.h_tabel
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.h_tabel_month_guard();
CREATE OR REPLACE TRIGGER h_tabel_month_guard_upd AFTER UPDATE ON accounts_dep.h_tabel
    REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.h_tabel_month_guard();
CREATE OR REPLACE TRIGGER h_tabel_month_guard_del AFTER DELETE ON accounts_dep.h_tabel
    REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.h_tabel_month_guard();

-- The change history of shift entries (entry_table 'smena') and hour-paid entries ('fatigue'):
-- a new entry whole in after_row, a deleted one whole in before_row, a change as the columns it
-- changed, before and after.
CREATE TABLE IF NOT EXISTS accounts_dep.entry_history (
    id              bigserial,
    entry_table     text NOT NULL,
    entry_id        bigint,
    action          text NOT NULL CHECK (action IN ('insert', 'update', 'delete')),
    changed_at      timestamptz NOT NULL DEFAULT clock_timestamp(),
    db_user         text NOT NULL DEFAULT session_user,
    program_role    text,
    os_user         text,
    workstation     text,
    application     text,
    before_row      jsonb,
    after_row       jsonb,
    CONSTRAINT entry_history_pkey PRIMARY KEY (id)
);
-- The history window reads one entry's rows.
CREATE INDEX IF NOT EXISTS entry_history_entry ON accounts_dep.entry_history (entry_id);
-- Where the change came from, as the server saw it.
ALTER TABLE accounts_dep.entry_history ADD COLUMN IF NOT EXISTS client_addr inet;

-- The role a history row names: in personal logins the group of the person who logged in (the
-- server knows it), else what the program said after the access code.
CREATE OR REPLACE FUNCTION accounts_dep.session_role_name() RETURNS text
LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $$
    SELECT CASE
        WHEN current_setting('tabel.login', true) = 'personal' THEN
            CASE WHEN pg_has_role(session_user, 'tabel_full', 'MEMBER') THEN 'полный доступ'
                 WHEN pg_has_role(session_user, 'tabel_planning', 'MEMBER') THEN 'планирование'
                 WHEN pg_has_role(session_user, 'tabel_foremen', 'MEMBER') THEN 'мастера'
                 WHEN pg_has_role(session_user, 'tabel_warehouse', 'MEMBER') THEN 'склад'
            END
        ELSE nullif(current_setting('tabel.program_role', true), '')
    END
$$;

-- Each written entry: refused when it lies in a closed month before or after the write (an
-- entry moved out of a closed month or into one alike), else written to the history. One trigger
-- per row does both: entries are written one at a time. Runs with the rights of the history's
-- owner: clients may read the history, never write it.
CREATE OR REPLACE FUNCTION accounts_dep.entry_history_write() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    before_row jsonb;
    after_row jsonb;
    old_day date;
    new_day date;
BEGIN
    IF TG_TABLE_NAME = 'smena' THEN
        IF TG_OP <> 'INSERT' THEN old_day := OLD.data; END IF;
        IF TG_OP <> 'DELETE' THEN new_day := NEW.data; END IF;
    ELSE
        IF TG_OP <> 'INSERT' THEN old_day := OLD.d_date; END IF;
        IF TG_OP <> 'DELETE' THEN new_day := NEW.d_date; END IF;
    END IF;
    PERFORM accounts_dep.guard_months(array_remove(ARRAY[
        extract(year FROM old_day)::integer * 100 + extract(month FROM old_day)::integer,
        extract(year FROM new_day)::integer * 100 + extract(month FROM new_day)::integer], NULL));

    IF TG_OP = 'INSERT' THEN
        after_row := to_jsonb(NEW);
    ELSIF TG_OP = 'DELETE' THEN
        before_row := to_jsonb(OLD);
    ELSE
        before_row := to_jsonb(OLD);
        SELECT jsonb_object_agg(n.key, before_row -> n.key), jsonb_object_agg(n.key, n.value)
        INTO before_row, after_row
        FROM jsonb_each(to_jsonb(NEW)) n
        WHERE n.value IS DISTINCT FROM before_row -> n.key;
        -- A change that changed nothing leaves nothing to tell.
        IF after_row IS NULL THEN
            RETURN NULL;
        END IF;
    END IF;
    INSERT INTO accounts_dep.entry_history (entry_table, entry_id, action, program_role, os_user,
                                            workstation, application, before_row, after_row,
                                            client_addr)
    VALUES (TG_TABLE_NAME, CASE WHEN TG_OP = 'DELETE' THEN OLD.id ELSE NEW.id END, lower(TG_OP),
            accounts_dep.session_role_name(),
            nullif(current_setting('tabel.os_user', true), ''),
            nullif(current_setting('tabel.workstation', true), ''),
            nullif(current_setting('application_name', true), ''), before_row, after_row,
            inet_client_addr());
    RETURN NULL;
END
$$;

CREATE OR REPLACE TRIGGER smena_history AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.smena
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.entry_history_write();
CREATE OR REPLACE TRIGGER fatigue_history AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.fatigue
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.entry_history_write();

-- Not even the owner changes or empties the history by an ordinary statement.
CREATE OR REPLACE FUNCTION accounts_dep.entry_history_keep() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION USING ERRCODE = 'TB002',
        MESSAGE = 'История изменений записей не изменяется и не удаляется.';
END
$$;
CREATE OR REPLACE TRIGGER entry_history_keep BEFORE UPDATE OR DELETE OR TRUNCATE
    ON accounts_dep.entry_history
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.entry_history_keep();
DO $$
BEGIN
    EXECUTE format('REVOKE UPDATE, DELETE, TRUNCATE ON accounts_dep.entry_history FROM %I',
                   (SELECT tableowner FROM pg_catalog.pg_tables
                    WHERE schemaname = 'accounts_dep' AND tablename = 'entry_history'));
END
$$;

-- The functions run only as triggers.
REVOKE ALL ON FUNCTION accounts_dep.entry_history_write() FROM PUBLIC;
