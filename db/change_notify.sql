-- Change notifications, for db/schema.sql and db/upgrade.sql (each includes it inside its own
-- transaction). Idempotent: a second run changes nothing.
--
-- Every statement that writes shift entries, hour-paid entries or monthly rows tells the listening
-- copies (channel tabel_changes) which table and which days it touched, once per statement, so
-- their open lists re-read only when it concerns them.

-- Arguments: the first and the last day a row stands for (SQL over the row's columns).
-- Payload: "<table> <first day> <last day>" (days as YYYY-MM-DD); just "<table>" when the days
-- are unknown (a truncate, rows without a day). A statement that touched no row says nothing.
CREATE OR REPLACE FUNCTION accounts_dep.announce_change() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    rel text;
    first_day date;
    last_day date;
    part_first date;
    part_last date;
    part_rows bigint;
    touched bigint := 0;
BEGIN
    IF TG_OP = 'TRUNCATE' THEN
        PERFORM pg_notify('tabel_changes', TG_TABLE_NAME);
        RETURN NULL;
    END IF;
    FOREACH rel IN ARRAY CASE TG_OP WHEN 'INSERT' THEN ARRAY['new_rows']
                                    WHEN 'DELETE' THEN ARRAY['old_rows']
                                    ELSE ARRAY['old_rows', 'new_rows'] END LOOP
        EXECUTE format('SELECT count(*), min(%s), max(%s) FROM %I', TG_ARGV[0], TG_ARGV[1], rel)
            INTO part_rows, part_first, part_last;
        touched := touched + part_rows;
        first_day := least(first_day, part_first);
        last_day := greatest(last_day, part_last);
    END LOOP;
    IF touched > 0 THEN
        PERFORM pg_notify('tabel_changes',
                          concat_ws(' ', TG_TABLE_NAME, to_char(first_day, 'YYYY-MM-DD'),
                                    to_char(last_day, 'YYYY-MM-DD')));
    END IF;
    RETURN NULL;
END
$$;

DO $$
DECLARE
    t record;
    op text;
BEGIN
    FOR t IN
        SELECT * FROM (VALUES
            ('smena', 'data', 'data'),
            ('fatigue', 'd_date', 'd_date'),
            -- A monthly row stands for its whole month.
            ('h_tabel',
             'CASE WHEN month BETWEEN 1 AND 12 AND year BETWEEN 1 AND 9999 '
             'THEN make_date(year, month, 1) END',
             'CASE WHEN month BETWEEN 1 AND 12 AND year BETWEEN 1 AND 9999 '
             'THEN (make_date(year, month, 1) + interval ''1 month -1 day'')::date END'),
            -- A month closed or opened again, by any copy: the windows on it follow.
            ('closed_month',
             'CASE WHEN month BETWEEN 1 AND 12 AND year BETWEEN 1 AND 9999 '
             'THEN make_date(year, month, 1) END',
             'CASE WHEN month BETWEEN 1 AND 12 AND year BETWEEN 1 AND 9999 '
             'THEN (make_date(year, month, 1) + interval ''1 month -1 day'')::date END'))
            AS v (tbl, first_day, last_day)
    LOOP
        -- (The closed months come with their own step of the upgrade, which runs this again.)
        CONTINUE WHEN to_regclass('accounts_dep.' || t.tbl) IS NULL;
        FOREACH op IN ARRAY ARRAY['insert', 'update', 'delete', 'truncate'] LOOP
            EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER %s ON accounts_dep.%I %s FOR EACH STATEMENT '
                           'EXECUTE FUNCTION accounts_dep.announce_change(%L, %L)',
                           t.tbl || '_announce_' || op, upper(op), t.tbl,
                           CASE op WHEN 'insert' THEN 'REFERENCING NEW TABLE AS new_rows'
                                   WHEN 'delete' THEN 'REFERENCING OLD TABLE AS old_rows'
                                   WHEN 'update'
                                   THEN 'REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows'
                                   ELSE '' END,
                           t.first_day, t.last_day);
        END LOOP;
    END LOOP;
END
$$;
