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

-- Refuses the statement when one of the months (their first days) is closed: the error names the
-- earliest such month in one sentence a clerk can read.
CREATE OR REPLACE FUNCTION accounts_dep.refuse_closed_months(months date[]) RETURNS void
LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    c record;
BEGIN
    SELECT cm.year, cm.month INTO c
    FROM accounts_dep.closed_month cm
    WHERE make_date(cm.year, cm.month, 1) = ANY (months)
    ORDER BY cm.year, cm.month
    LIMIT 1;
    IF FOUND THEN
        RAISE EXCEPTION USING ERRCODE = 'TB001',
            MESSAGE = format('%s %s закрыт для изменений; изменения не записаны.',
                             (ARRAY['Январь', 'Февраль', 'Март', 'Апрель', 'Май', 'Июнь', 'Июль',
                                    'Август', 'Сентябрь', 'Октябрь', 'Ноябрь',
                                    'Декабрь'])[c.month], c.year);
    END IF;
END
$$;

-- One check per statement over the rows it wrote (before and after: an entry moved out of a
-- closed month or into one is refused alike). With no month closed it ends at once.
CREATE OR REPLACE FUNCTION accounts_dep.smena_month_guard() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM accounts_dep.closed_month) THEN
        RETURN NULL;
    END IF;
    IF TG_OP <> 'INSERT' THEN
        PERFORM accounts_dep.refuse_closed_months(
            ARRAY(SELECT DISTINCT date_trunc('month', r.data)::date FROM old_rows r));
    END IF;
    IF TG_OP <> 'DELETE' THEN
        PERFORM accounts_dep.refuse_closed_months(
            ARRAY(SELECT DISTINCT date_trunc('month', r.data)::date FROM new_rows r));
    END IF;
    RETURN NULL;
END
$$;

CREATE OR REPLACE FUNCTION accounts_dep.fatigue_month_guard() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM accounts_dep.closed_month) THEN
        RETURN NULL;
    END IF;
    IF TG_OP <> 'INSERT' THEN
        PERFORM accounts_dep.refuse_closed_months(
            ARRAY(SELECT DISTINCT date_trunc('month', r.d_date)::date FROM old_rows r));
    END IF;
    IF TG_OP <> 'DELETE' THEN
        PERFORM accounts_dep.refuse_closed_months(
            ARRAY(SELECT DISTINCT date_trunc('month', r.d_date)::date FROM new_rows r));
    END IF;
    RETURN NULL;
END
$$;

CREATE OR REPLACE FUNCTION accounts_dep.h_tabel_month_guard() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM accounts_dep.closed_month) THEN
        RETURN NULL;
    END IF;
    IF TG_OP <> 'INSERT' THEN
        PERFORM accounts_dep.refuse_closed_months(
            ARRAY(SELECT DISTINCT make_date(r.year, r.month, 1) FROM old_rows r
                  WHERE r.month BETWEEN 1 AND 12 AND r.year > 0));
    END IF;
    IF TG_OP <> 'DELETE' THEN
        PERFORM accounts_dep.refuse_closed_months(
            ARRAY(SELECT DISTINCT make_date(r.year, r.month, 1) FROM new_rows r
                  WHERE r.month BETWEEN 1 AND 12 AND r.year > 0));
    END IF;
    RETURN NULL;
END
$$;

-- A trigger with transition tables takes one event: three per table.
CREATE OR REPLACE TRIGGER smena_month_guard_ins AFTER INSERT ON accounts_dep.smena
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.smena_month_guard();
CREATE OR REPLACE TRIGGER smena_month_guard_upd AFTER UPDATE ON accounts_dep.smena
    REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.smena_month_guard();
CREATE OR REPLACE TRIGGER smena_month_guard_del AFTER DELETE ON accounts_dep.smena
    REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.smena_month_guard();
CREATE OR REPLACE TRIGGER fatigue_month_guard_ins AFTER INSERT ON accounts_dep.fatigue
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.fatigue_month_guard();
CREATE OR REPLACE TRIGGER fatigue_month_guard_upd AFTER UPDATE ON accounts_dep.fatigue
    REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.fatigue_month_guard();
CREATE OR REPLACE TRIGGER fatigue_month_guard_del AFTER DELETE ON accounts_dep.fatigue
    REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.fatigue_month_guard();
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
CREATE INDEX IF NOT EXISTS entry_history_entry ON accounts_dep.entry_history (entry_table, entry_id, id);

-- Runs with the rights of the history's owner: clients may read the history, never write it.
CREATE OR REPLACE FUNCTION accounts_dep.entry_history_write() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    before_row jsonb;
    after_row jsonb;
BEGIN
    IF TG_OP = 'INSERT' THEN
        after_row := to_jsonb(NEW);
    ELSIF TG_OP = 'DELETE' THEN
        before_row := to_jsonb(OLD);
    ELSE
        SELECT jsonb_object_agg(o.key, o.value), jsonb_object_agg(n.key, n.value)
        INTO before_row, after_row
        FROM jsonb_each(to_jsonb(OLD)) o
        JOIN jsonb_each(to_jsonb(NEW)) n ON n.key = o.key
        WHERE n.value IS DISTINCT FROM o.value;
        -- A change that changed nothing leaves nothing to tell.
        IF after_row IS NULL THEN
            RETURN NULL;
        END IF;
    END IF;
    INSERT INTO accounts_dep.entry_history (entry_table, entry_id, action, program_role, os_user,
                                            workstation, application, before_row, after_row)
    VALUES (TG_TABLE_NAME, CASE WHEN TG_OP = 'DELETE' THEN OLD.id ELSE NEW.id END, lower(TG_OP),
            nullif(current_setting('tabel.program_role', true), ''),
            nullif(current_setting('tabel.os_user', true), ''),
            nullif(current_setting('tabel.workstation', true), ''),
            nullif(current_setting('application_name', true), ''), before_row, after_row);
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
REVOKE ALL ON FUNCTION accounts_dep.smena_month_guard(), accounts_dep.fatigue_month_guard(),
    accounts_dep.h_tabel_month_guard(), accounts_dep.entry_history_write() FROM PUBLIC;
