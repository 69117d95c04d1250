-- Brings an existing database of the enterprise (the ERP database with the shop's schema
-- accounts_dep, as the earlier program left it: tables without keys, possibly duplicate monthly
-- rows, duplicate shift entries and rows whose worker, product or operation was deleted) to what
-- tabel needs, without losing data. Safe to run again: a run on a database that is already up to
-- date changes nothing.
--
-- Back up first, close every copy of tabel, then run it as the owner of the tables (or a superuser):
--     psql -X -d mirel_erp -f db/upgrade.sql 2>&1 | tee upgrade.log
-- Run by another role it stops at its start, changing nothing. Options:
--     -v rebuild=1          also rebuilds the months whose monthly rows disagree with their entries
--                           from the entries, as the program's "Перестроить" does, a month at a time
--     -v lock_timeout=30s   how long a step waits for a table that another session holds (10s)
--
-- Each step is one transaction. The report says what was done (NOTICE), what could not be done and
-- why (WARNING: НЕ СДЕЛАНО ...) and what a person should look at (WARNING: ВНИМАНИЕ ...); a step's
-- lines are printed once it has committed. Every list in it says how many items it holds and shows
-- them in numeric order; a long list is shortened, and all lists go whole to the table
-- tabel_upgrade.lists. The report ends with what tabel still lacks (db/schema_ready.sql: tabel
-- refuses to start while that list is not empty) and the list of everything not done. Rows are
-- never deleted except duplicate monthly rows, which are merged into one, and, with rebuild=1, the
-- monthly rows of the months rebuilt; duplicate shift entries and rows without their worker,
-- product or operation are left for a person to resolve, and the key that they block is added by a
-- later run.

\set ON_ERROR_STOP on
\set QUIET on
\set VERBOSITY terse
SET client_min_messages = warning;
-- Run by a superuser: every name the script uses is looked up in the system catalog or in this
-- session's temporary schema, never in a schema another role may create in (a function "format"
-- of an office user's would otherwise run with the superuser's rights).
SET search_path = pg_catalog, pg_temp;
-- A copy of tabel still working holds locks: a step then reports the timeout instead of waiting.
\if :{?lock_timeout}
\else
\set lock_timeout 10s
\endif
SET lock_timeout = :'lock_timeout';
-- A limit set for the role would end a long step with an error that no step can report.
SET statement_timeout = 0;
\if :{?rebuild}
\else
\set rebuild 0
\endif

\ir schema_lists.sql
SET client_min_messages = notice;

-- ---------------------------------------------------------------------------------------------
-- The report, the lists and the catalogue helpers (temporary, gone with the session)
-- ---------------------------------------------------------------------------------------------

CREATE TEMP TABLE upgrade_log (n serial, kind text, text text, shown boolean NOT NULL DEFAULT false);

-- The lists made in this run, by name: empty when the check ran and found nothing. Written with
-- the step that made them, so a step rolled back leaves the stored list as it was.
CREATE TEMP TABLE upgrade_lists (list text PRIMARY KEY, title text, kind text, items text[]);

-- Every line of the report goes to the log, and from there to the screen once its step has
-- committed (pg_temp.flush): what was done as a NOTICE, what was not done or needs a person as a
-- WARNING with its kind in front.
CREATE FUNCTION pg_temp.report(kind text, msg text) RETURNS void LANGUAGE sql AS $$
    INSERT INTO pg_temp.upgrade_log (kind, text) VALUES (kind, msg)
$$;

CREATE FUNCTION pg_temp.done(msg text) RETURNS void LANGUAGE sql AS $$
    SELECT pg_temp.report('сделано', msg)
$$;

CREATE FUNCTION pg_temp.refused(msg text) RETURNS void LANGUAGE sql AS $$
    SELECT pg_temp.report('НЕ СДЕЛАНО', msg)
$$;

CREATE FUNCTION pg_temp.attention(msg text) RETURNS void LANGUAGE sql AS $$
    SELECT pg_temp.report('ВНИМАНИЕ', msg)
$$;

-- Called between the steps: the lines of the step that just committed. A rolled-back step's
-- "done" lines went with it.
CREATE PROCEDURE pg_temp.flush() LANGUAGE plpgsql AS $$
DECLARE
    line record;
BEGIN
    FOR line IN SELECT * FROM pg_temp.upgrade_log WHERE NOT shown ORDER BY n LOOP
        IF line.kind = 'сделано' THEN
            RAISE NOTICE '%', line.text;
        ELSE
            RAISE WARNING '%: %', line.kind, line.text;
        END IF;
    END LOOP;
    UPDATE pg_temp.upgrade_log SET shown = true WHERE NOT shown;
END
$$;

-- Why a statement failed, for a person: the common causes in words, the server's text after them.
CREATE FUNCTION pg_temp.reason(state text, message text) RETURNS text LANGUAGE sql STABLE AS $$
    SELECT CASE state
        WHEN '55P03' THEN format('таблицу держит другой сеанс (работающая копия tabel или другая '
                                 'программа), блокировки не дождались за %s; закройте их и '
                                 'запустите обновление снова', current_setting('lock_timeout'))
        WHEN '42501' THEN 'не хватает прав: запустите обновление от имени владельца таблиц или '
                          'суперпользователя'
        WHEN '40P01' THEN 'взаимная блокировка с другим сеансом; запустите обновление снова'
        ELSE 'ошибка базы данных'
    END || ' (' || message || ')'
$$;

-- A step's list: kept for tabel_upgrade.lists and returned as report text that says how many items
-- there are in all and shows the first ones in the order given, cut only between items.
-- sep E'\n' puts each item on a line of its own. No items: the check ran and found none (null).
CREATE FUNCTION pg_temp.list(name text, title text, kind text, items text[],
                             sep text DEFAULT ', ') RETURNS text LANGUAGE plpgsql AS $$
DECLARE
    shown constant integer := 20;
    total constant integer := coalesce(cardinality(items), 0);
BEGIN
    INSERT INTO pg_temp.upgrade_lists (list, title, kind, items)
    VALUES (name, title, kind, coalesce(items, '{}'))
    ON CONFLICT (list) DO UPDATE SET title = EXCLUDED.title, kind = EXCLUDED.kind,
                                     items = EXCLUDED.items;
    IF total = 0 THEN
        RETURN NULL;
    END IF;
    RETURN format('%s (всего %s%s):%s%s%s', title, total,
                  CASE WHEN total > shown
                       THEN format('; весь список: tabel_upgrade.lists, list = %L', name) END,
                  CASE WHEN sep = E'\n' THEN E'\n' ELSE ' ' END,
                  array_to_string(items[1:shown], sep),
                  CASE WHEN total > shown THEN format('%s… и ещё %s', sep, total - shown) END);
END
$$;

-- Key columns of an index in their order; null when the index has an expression.
CREATE FUNCTION pg_temp.index_columns(idx oid) RETURNS text[] LANGUAGE sql STABLE AS $$
    SELECT CASE WHEN i.indexprs IS NULL THEN
               (SELECT array_agg(a.attname::text ORDER BY k.n)
                FROM unnest(i.indkey[0:i.indnkeyatts - 1]) WITH ORDINALITY AS k (attnum, n)
                JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum)
           END
    FROM pg_index i WHERE i.indexrelid = idx
$$;

CREATE FUNCTION pg_temp.sorted(a text[]) RETURNS text[] LANGUAGE sql IMMUTABLE AS $$
    SELECT array_agg(x ORDER BY x) FROM unnest(a) AS x
$$;

-- Whether a table has a unique index on exactly this one column (a primary key has one).
CREATE FUNCTION pg_temp.unique_on(tbl regclass, col text) RETURNS boolean LANGUAGE sql STABLE AS $$
    SELECT EXISTS (
        SELECT 1 FROM pg_index i
        WHERE i.indrelid = tbl AND i.indisunique AND i.indisvalid AND i.indpred IS NULL
          AND pg_temp.index_columns(i.indexrelid) = ARRAY[col])
$$;

-- Whether the database already has the key or index, under our name or as an equivalent one of
-- its own: an index on the same columns; a unique index on the same set of columns (what an
-- insert-or-update on these columns needs) that, where ours counts empty columns as equal, does
-- so too; a foreign key from the same column to the same table.
CREATE FUNCTION pg_temp.key_present(k pg_temp.tabel_keys) RETURNS boolean LANGUAGE sql STABLE AS $$
    SELECT CASE k.kind
        WHEN 'index' THEN EXISTS (
            SELECT 1 FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid
            WHERE i.indrelid = k.tbl::regclass
              AND (c.relname = k.name
                   OR (i.indpred IS NULL AND pg_temp.index_columns(i.indexrelid) = k.columns)))
        WHEN 'foreign key' THEN EXISTS (
            SELECT 1 FROM pg_constraint c
            WHERE c.conrelid = k.tbl::regclass AND c.contype = 'f'
              AND c.confrelid = k.ref_tbl::regclass
              AND (SELECT array_agg(a.attname::text) FROM pg_attribute a
                   WHERE a.attrelid = c.conrelid AND a.attnum = ANY (c.conkey)) = k.columns)
        ELSE EXISTS (
            SELECT 1 FROM pg_index i
            WHERE i.indrelid = k.tbl::regclass AND i.indisunique AND i.indisvalid
              AND i.indpred IS NULL
              AND (i.indnullsnotdistinct OR NOT k.nulls_not_distinct)
              AND pg_temp.sorted(pg_temp.index_columns(i.indexrelid)) = pg_temp.sorted(k.columns))
    END
$$;

-- The sequence that numbers new rows of a table (behind the default of id, or its identity).
CREATE FUNCTION pg_temp.id_sequence(tbl regclass) RETURNS regclass LANGUAGE sql STABLE AS $$
    SELECT coalesce(
        (SELECT d.refobjid::regclass
         FROM pg_attribute a
         JOIN pg_attrdef ad ON ad.adrelid = a.attrelid AND ad.adnum = a.attnum
         JOIN pg_depend d ON d.classid = 'pg_attrdef'::regclass AND d.objid = ad.oid
                         AND d.refclassid = 'pg_class'::regclass
         JOIN pg_class s ON s.oid = d.refobjid AND s.relkind = 'S'
         WHERE a.attrelid = tbl AND a.attname = 'id'
         LIMIT 1),
        pg_get_serial_sequence(tbl::text, 'id')::regclass)
$$;

-- The number a sequence hands out next.
CREATE FUNCTION pg_temp.next_value(seq regclass) RETURNS bigint LANGUAGE plpgsql STABLE AS $$
DECLARE
    next_value bigint;
BEGIN
    EXECUTE format('SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM %s',
                   seq) INTO next_value;
    RETURN next_value;
END
$$;

-- The tables whose rows the program numbers, changes and deletes by id; reserved: the highest id
-- of a row that tabel adds itself (new rows are numbered above it). The shop's tables get a
-- primary key; in the ERP's products and groups a unique key on id of the ERP's own serves too.
CREATE FUNCTION pg_temp.keyed_tables() RETURNS TABLE (rel text, erp boolean, reserved bigint)
LANGUAGE sql IMMUTABLE AS $$
    VALUES ('accounts_dep.smena', false, NULL::bigint), ('accounts_dep.h_tabel', false, NULL),
           ('accounts_dep.oper', false, NULL), ('accounts_dep.norm', false, NULL),
           ('accounts_dep.vid_oper', false, 7778), ('accounts_dep.person', false, NULL),
           ('accounts_dep.fatigue', false, NULL), ('cmn_gds_and_srv.gds_and_srv', true, 7777),
           ('cmn_classifier.item', true, NULL)
$$;

-- Why new rows of a table would take a number that is taken (null: they would not): its id has
-- no sequence, or one that has not been moved past the highest (or reserved) id.
CREATE FUNCTION pg_temp.numbers_not_ready(tbl regclass, reserved bigint) RETURNS text
LANGUAGE plpgsql STABLE AS $$
DECLARE
    seq regclass;
    top numeric;
    next_value bigint;
BEGIN
    seq := pg_temp.id_sequence(tbl);
    IF seq IS NULL THEN
        RETURN format('у %s.id нет последовательности, которая нумерует новые строки', tbl);
    END IF;
    EXECUTE format('SELECT max(id) FROM %s', tbl) INTO top;
    next_value := pg_temp.next_value(seq);
    IF next_value <= greatest(top, reserved) THEN
        RETURN format('последовательность %s выдаст номер %s, а он занят или зарезервирован', seq,
                      next_value);
    END IF;
    RETURN NULL;
END
$$;

-- Why rows cannot be added to a table yet (null: they can): without a unique key on id a row could
-- take a number twice, and the sequence must hand out free numbers.
CREATE FUNCTION pg_temp.not_ready_for_rows(tbl regclass, reserved bigint) RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT CASE WHEN NOT pg_temp.unique_on(tbl, 'id')
                THEN format('у %s нет первичного ключа (id)', tbl)
                ELSE pg_temp.numbers_not_ready(tbl, reserved) END
$$;

-- The months whose monthly rows disagree with their entries, per family: the day cells whose hours
-- differ from what a rebuild of the month would write (the sum of the day's entries, as
-- timesheets/month_rebuild.cpp writes it; an empty cell and 0 count as the same), and the rows
-- they are in. Shift rows (smena > 0) come from the shift entries at midnight of their day, hour-
-- paid rows (smena 0) from the hour-paid entries.
CREATE FUNCTION pg_temp.months_to_rebuild()
RETURNS TABLE (family text, year integer, month integer, rows bigint, cells bigint)
LANGUAGE plpgsql STABLE AS $$
#variable_conflict use_column
BEGIN
    -- PL/pgSQL: the tables are read when it runs (a step that reports a table held elsewhere),
    -- not when it is made.
    RETURN QUERY
    WITH cells AS (
        SELECT CASE WHEN h.smena > 0 THEN 'смены' ELSE 'почасовые' END AS family,
               h.w_id, h.smena, h.i_type, h.i_night, h.year, h.month, d.day,
               d.hours::numeric AS stored, 0::numeric AS entered
        FROM accounts_dep.h_tabel h
        CROSS JOIN LATERAL unnest(ARRAY[
            h.d1, h.d2, h.d3, h.d4, h.d5, h.d6, h.d7, h.d8, h.d9, h.d10, h.d11, h.d12, h.d13,
            h.d14, h.d15, h.d16, h.d17, h.d18, h.d19, h.d20, h.d21, h.d22, h.d23, h.d24, h.d25,
            h.d26, h.d27, h.d28, h.d29, h.d30, h.d31]) WITH ORDINALITY AS d (hours, day)
        WHERE h.smena >= 0 AND h.month BETWEEN 1 AND 12 AND h.year BETWEEN 1 AND 9999
          AND d.hours <> 0
        UNION ALL
        SELECT 'смены', s.w_id, s.smena, 0, 0, extract(year FROM s.data)::integer,
               extract(month FROM s.data)::integer, extract(day FROM s.data)::integer, 0,
               sum(s.time)
        FROM accounts_dep.smena s
        WHERE s.smena > 0 AND s.data = date_trunc('day', s.data)
        GROUP BY s.w_id, s.smena, s.data
        UNION ALL
        SELECT 'почасовые', f.id_p::integer, 0, f.id_o::integer, f.i_night,
               extract(year FROM f.d_date)::integer, extract(month FROM f.d_date)::integer,
               extract(day FROM f.d_date)::integer, 0, sum(f.cnt)
        FROM accounts_dep.fatigue f
        WHERE f.d_date IS NOT NULL
        GROUP BY f.id_p::integer, f.id_o::integer, f.i_night, f.d_date
    ),
    differing AS (
        SELECT family, w_id, smena, i_type, i_night, year, month, day
        FROM cells
        GROUP BY family, w_id, smena, i_type, i_night, year, month, day
        HAVING coalesce(sum(stored), 0) <> coalesce(sum(entered), 0)
    )
    SELECT family, year, month, count(DISTINCT (w_id, smena, i_type, i_night)), count(*)
    FROM differing
    GROUP BY family, year, month;
END
$$;

-- Rebuilds the families of one month from their entries, with the statements of
-- timesheets/month_rebuild.cpp under the same month lock (posting::lockMonth): the family's rows of
-- the month are deleted, and each key with entries in the month gets a row whose days hold the sum
-- of the day's entries (empty: no entry that day). The program writes a week of days per statement
-- for its progress bar; here one statement writes them all, to the same result.
CREATE FUNCTION pg_temp.rebuild_month(m integer, y integer, shifts boolean, hours boolean)
RETURNS void LANGUAGE plpgsql AS $$
DECLARE
    first_day constant date := make_date(y, m, 1);
    last_day constant date := (make_date(y, m, 1) + interval '1 month' - interval '1 day')::date;
    columns text;
    updates text;
    family record;
BEGIN
    SELECT string_agg(format('d%s', d), ', ' ORDER BY d),
           string_agg(format('d%1$s=excluded.d%1$s', d), ', ' ORDER BY d)
    INTO columns, updates
    FROM generate_series(1, extract(day FROM last_day)::integer) AS d;
    PERFORM pg_advisory_xact_lock(-1, y * 100 + m);
    FOR family IN
        SELECT * FROM (VALUES
            (shifts, 'smena>0', 'smena, w_id', 'smena, w_id', 'accounts_dep.smena', 'data', 'time'),
            (hours, 'smena=0', 'i_type, w_id, i_night', 'id_o, id_p, i_night',
             'accounts_dep.fatigue', 'd_date', 'cnt'))
            AS f (wanted, family_rows, key_columns, source_keys, source, date_column, value_column)
        WHERE wanted
    LOOP
        EXECUTE format('DELETE FROM accounts_dep.h_tabel WHERE %s AND month=%s AND year=%s',
                       family.family_rows, m, y);
        EXECUTE format(
            'INSERT INTO accounts_dep.h_tabel(%1$s, month, year, %2$s) '
            'SELECT %3$s, %4$s, %5$s, %6$s FROM %7$s WHERE %8$s>=%9$L::date AND %8$s<=%10$L::date '
            'GROUP BY %3$s ON CONFLICT (w_id, month, year, smena, i_type, i_night) DO UPDATE SET %11$s',
            family.key_columns, columns, family.source_keys, m, y,
            (SELECT string_agg(format('sum(%s) FILTER (WHERE %s=%L::date)', family.value_column,
                                      family.date_column, first_day + d - 1), ', ' ORDER BY d)
             FROM generate_series(1, extract(day FROM last_day)::integer) AS d),
            family.source, family.date_column, first_day, last_day, updates);
    END LOOP;
END
$$;

-- One month of the optional rebuild, in the transaction of its own statement: done, or reported
-- as not done with nothing changed.
CREATE FUNCTION pg_temp.rebuild_one(m integer, y integer, shifts boolean, hours boolean, what text)
RETURNS void LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_temp.rebuild_month(m, y, shifts, hours);
    PERFORM pg_temp.done(format('месяц %s.%s перестроен по записям: %s', lpad(m::text, 2, '0'), y,
                                what));
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('месяц %s.%s не перестроен: %s', lpad(m::text, 2, '0'), y,
                                   pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;

-- A check run by psql itself that failed: reported like the steps' own.
CREATE PROCEDURE pg_temp.check_failed(what text, state text, message text) LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_temp.refused(format('проверка не выполнена (%s): %s', what,
                                   pg_temp.reason(state, message)));
    CALL pg_temp.flush();
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 0. Проверка базы'
-- ---------------------------------------------------------------------------------------------

-- The tables are looked up in the catalogue: a role without rights on the schema may not even
-- name them.
DO $$
DECLARE
    rel text;
BEGIN
    -- Duplicate checks and searches compare upper(name) with upper(text): under a C locale the
    -- server leaves Russian letters as they are, and "Иванов" and "ИВАНОВ" count as different.
    IF upper('ёж') <> 'ЁЖ' THEN
        PERFORM pg_temp.attention(format(
            'upper(''ёж'') дает ''%s'' вместо ''ЁЖ'': база создана с локалью %s, которая не знает '
            'русских букв, и проверки повторов и поиск в программе различают строчные и прописные '
            'буквы. Нужна база с русской локалью (ICU ru-RU или ru_RU.UTF-8): pg_dump и '
            'восстановление в такую базу.',
            upper('ёж'), (SELECT datctype FROM pg_database WHERE datname = current_database())));
    END IF;
    FOREACH rel IN ARRAY ARRAY['accounts_dep.smena', 'accounts_dep.h_tabel', 'accounts_dep.oper',
                               'accounts_dep.norm', 'accounts_dep.vid_oper', 'accounts_dep.person',
                               'accounts_dep.fatigue', 'accounts_dep.ver'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_class c JOIN pg_namespace s ON s.oid = c.relnamespace
                       WHERE s.nspname = split_part(rel, '.', 1)
                         AND c.relname = split_part(rel, '.', 2)) THEN
            PERFORM pg_temp.refused(format('нет таблицы %s: это не база программы, или она '
                                           'неполна; для новой базы служит db/schema.sql', rel));
        END IF;
    END LOOP;
END
$$;
CALL pg_temp.flush();

SELECT NOT EXISTS (SELECT 1 FROM pg_temp.upgrade_log WHERE kind = 'НЕ СДЕЛАНО') AS tables_present
\gset
\if :tables_present
\else
\echo 'Обновление остановлено: в базе нет таблиц программы.'
\quit
\endif

-- Only the owner of the tables (or a superuser) may add keys and defaults to them. Run by another
-- role every step would fail but those that add rows, which would then take ids the moved
-- sequences were to keep clear: the script stops here, before anything is changed, and psql ends
-- with an error (ON_ERROR_STOP).
DO $$
DECLARE
    not_owned text;
    owners text[];
BEGIN
    SELECT string_agg(t.rel, ', ' ORDER BY t.rel),
           array_agg(DISTINCT pg_get_userbyid(c.relowner)::text)
    INTO not_owned, owners
    FROM (SELECT rel FROM pg_temp.keyed_tables()
          UNION SELECT tbl FROM pg_temp.tabel_keys
          UNION SELECT ref_tbl FROM pg_temp.tabel_keys WHERE ref_tbl IS NOT NULL
          UNION SELECT 'accounts_dep.ver') AS t
    JOIN pg_namespace s ON s.nspname = split_part(t.rel, '.', 1)
    JOIN pg_class c ON c.relnamespace = s.oid AND c.relname = split_part(t.rel, '.', 2)
    WHERE NOT pg_has_role(current_user, c.relowner, 'USAGE');
    IF not_owned IS NOT NULL THEN
        RAISE EXCEPTION USING ERRCODE = 'insufficient_privilege', MESSAGE = format(
            'Обновление не начато и база не изменена: роль «%s» не владелец таблиц %s (%s «%s»), '
            'а менять их может только владелец или суперпользователь — запустите скрипт от его '
            'имени (psql -U %s …).', current_user, not_owned,
            CASE WHEN cardinality(owners) = 1 THEN 'владелец' ELSE 'владельцы' END,
            array_to_string(owners, '», «'),
            CASE WHEN cardinality(owners) = 1 THEN quote_ident(owners[1]) ELSE 'владелец' END);
    END IF;
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 1. Типы, номера новых строк, значения по умолчанию'
-- ---------------------------------------------------------------------------------------------

DO $$
DECLARE
    t record;
    rel regclass;
    seq regclass;
    col text;
    current_default text;
    top numeric;
    next_value bigint;
    floor_value numeric;
    domain_name text;
BEGIN
    -- The shift log and the timesheets cast personnel codes to these.
    FOREACH domain_name IN ARRAY ARRAY['t_id', 't_integer'] LOOP
        BEGIN
            IF coalesce(to_regtype(domain_name), to_regtype('public.' || domain_name)) IS NULL THEN
                EXECUTE format('CREATE DOMAIN public.%I AS integer', domain_name);
                PERFORM pg_temp.done(format('создан тип public.%s (integer)', domain_name));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('тип %s: %s', domain_name,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;

    FOR t IN SELECT * FROM pg_temp.keyed_tables() LOOP
        BEGIN
            rel := to_regclass(t.rel);
            CONTINUE WHEN rel IS NULL OR NOT EXISTS (
                SELECT 1 FROM pg_attribute WHERE attrelid = rel AND attname = 'id'
                                             AND NOT attisdropped);
            IF NOT EXISTS (SELECT 1 FROM pg_attribute
                           WHERE attrelid = rel AND attname = 'id'
                             AND (atthasdef OR attidentity <> '')) THEN
                seq := pg_get_serial_sequence(rel::text, 'id')::regclass;
                IF seq IS NULL THEN
                    EXECUTE format('CREATE SEQUENCE %I.%I', split_part(t.rel, '.', 1),
                                   split_part(t.rel, '.', 2) || '_id_seq');
                    seq := format('%I.%I', split_part(t.rel, '.', 1),
                                  split_part(t.rel, '.', 2) || '_id_seq')::regclass;
                    -- A sequence goes with its table's column only under the table's owner.
                    EXECUTE format('ALTER SEQUENCE %s OWNER TO %I', seq,
                                   (SELECT pg_get_userbyid(relowner) FROM pg_class WHERE oid = rel));
                    EXECUTE format('ALTER SEQUENCE %s OWNED BY %s.id', seq, rel);
                END IF;
                EXECUTE format('ALTER TABLE %s ALTER COLUMN id SET DEFAULT nextval(%L)', rel,
                               seq::text);
                PERFORM pg_temp.done(format('%s.id: новые строки получают номер из '
                                            'последовательности %s', rel, seq));
            END IF;

            -- The numbers handed out next must be free: rows inserted with their own ids may
            -- have overtaken the sequence; new rows keep clear of the reserved ones and, as in a
            -- new database, start at 10000 when the sequence is still below them.
            seq := pg_temp.id_sequence(rel);
            IF seq IS NOT NULL THEN
                EXECUTE format('SELECT max(id) FROM %s', rel) INTO top;
                next_value := pg_temp.next_value(seq);
                floor_value := coalesce(top, 0);
                IF next_value <= t.reserved THEN
                    floor_value := greatest(floor_value, 9999);
                END IF;
                IF next_value <= floor_value THEN
                    PERFORM setval(seq, floor_value::bigint);
                    PERFORM pg_temp.done(format('%s: следующий номер новой строки %s (был %s)',
                                                seq, floor_value + 1, next_value));
                END IF;
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('номера новых строк %s: %s', t.rel,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;

    -- Shift rows are posted without i_type and i_night, fatigue rows without smena.
    FOREACH col IN ARRAY ARRAY['smena', 'i_type', 'i_night'] LOOP
        BEGIN
            SELECT pg_get_expr(d.adbin, d.adrelid) INTO current_default
            FROM pg_attribute a
            LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum
            WHERE a.attrelid = 'accounts_dep.h_tabel'::regclass AND a.attname = col;
            IF current_default IS DISTINCT FROM '0' THEN
                EXECUTE format('ALTER TABLE accounts_dep.h_tabel ALTER COLUMN %I SET DEFAULT 0', col);
                PERFORM pg_temp.done(format('accounts_dep.h_tabel.%s: значение по умолчанию 0%s', col,
                                            coalesce(' (было ' || current_default || ')', '')));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('значение по умолчанию accounts_dep.h_tabel.%s: %s', col,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('шаг 1: %s', pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- Norm prices are typed as decimals and kept digit for digit: a double keeps about 16 digits.
DO $$
BEGIN
    IF (SELECT atttypid FROM pg_attribute WHERE attrelid = 'accounts_dep.norm'::regclass
          AND attname = 'price') IN ('double precision'::regtype, 'real'::regtype) THEN
        ALTER TABLE accounts_dep.norm ALTER COLUMN price TYPE numeric;
        PERFORM pg_temp.done('accounts_dep.norm.price: тип numeric (цены хранятся так, как '
                             'введены)');
    END IF;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('тип accounts_dep.norm.price: %s', SQLERRM));
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 2. Первичные ключи'
-- ---------------------------------------------------------------------------------------------

DO $$
DECLARE
    t record;
    rel regclass;
    why text;
    n bigint;
    repeated text[];
BEGIN
    FOR t IN SELECT * FROM pg_temp.keyed_tables() LOOP
        BEGIN
            rel := to_regclass(t.rel);
            CONTINUE WHEN rel IS NULL OR NOT EXISTS (
                SELECT 1 FROM pg_attribute WHERE attrelid = rel AND attname = 'id'
                                             AND NOT attisdropped);
            IF EXISTS (SELECT 1 FROM pg_constraint c JOIN pg_attribute a
                           ON a.attrelid = c.conrelid AND c.conkey = ARRAY[a.attnum]
                       WHERE c.conrelid = rel AND c.contype = 'p' AND a.attname = 'id')
               OR (t.erp AND pg_temp.unique_on(rel, 'id')) THEN
                PERFORM pg_temp.list(t.rel || ' id', 'номера id повторяются у разных строк',
                                     'НЕ СДЕЛАНО', '{}');
                CONTINUE;
            END IF;
            IF NOT t.erp AND EXISTS (SELECT 1 FROM pg_constraint
                                     WHERE conrelid = rel AND contype = 'p') THEN
                PERFORM pg_temp.refused(format('первичный ключ %s (id): у таблицы уже есть '
                                               'первичный ключ на других столбцах', rel));
                CONTINUE;
            END IF;
            -- Rows without a number cannot be changed or deleted by the program; nothing refers to
            -- them, so they get the next numbers, once step 1 has moved the sequence past the
            -- numbers taken.
            EXECUTE format('SELECT count(*) FROM %s WHERE id IS NULL', rel) INTO n;
            IF n > 0 THEN
                why := pg_temp.numbers_not_ready(rel, t.reserved);
                IF why IS NOT NULL THEN
                    PERFORM pg_temp.refused(format(
                        'первичный ключ %s (id) не добавлен: у строк без номера (id пуст, строк '
                        '%s) номер не поставить — %s', rel, n, why));
                    CONTINUE;
                END IF;
                EXECUTE format('UPDATE %s SET id = DEFAULT WHERE id IS NULL', rel);
                PERFORM pg_temp.done(format('%s: строкам без номера (id пуст) даны номера, '
                                            'строк: %s', rel, n));
            END IF;
            EXECUTE format('SELECT array_agg(id::text ORDER BY id) '
                           'FROM (SELECT id FROM %s WHERE id IS NOT NULL GROUP BY id '
                           '      HAVING count(*) > 1) d', rel) INTO repeated;
            IF repeated IS NOT NULL THEN
                PERFORM pg_temp.refused(format(
                    'первичный ключ %s (id) не добавлен — программа меняет и удаляет строки по '
                    'id; дайте повторам новые номера и запустите обновление снова: %s', rel,
                    pg_temp.list(t.rel || ' id', 'номера id повторяются у разных строк',
                                 'НЕ СДЕЛАНО', repeated)));
                CONTINUE;
            END IF;
            PERFORM pg_temp.list(t.rel || ' id', 'номера id повторяются у разных строк',
                                 'НЕ СДЕЛАНО', '{}');
            -- An ERP table may have a primary key of its own on other columns: a unique key then.
            IF EXISTS (SELECT 1 FROM pg_constraint WHERE conrelid = rel AND contype = 'p') THEN
                EXECUTE format('ALTER TABLE %s ADD CONSTRAINT %I UNIQUE (id)', rel,
                               split_part(t.rel, '.', 2) || '_id_key');
                PERFORM pg_temp.done(format('добавлен уникальный ключ %s (id)', rel));
            ELSE
                EXECUTE format('ALTER TABLE %s ADD CONSTRAINT %I PRIMARY KEY (id)', rel,
                               split_part(t.rel, '.', 2) || '_pkey');
                PERFORM pg_temp.done(format('добавлен первичный ключ %s (id)', rel));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('первичный ключ %s (id): %s', t.rel,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('шаг 2: %s', pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 3. Строки табеля (accounts_dep.h_tabel): повторы и уникальный ключ'
-- ---------------------------------------------------------------------------------------------

-- The earlier program could post the same worker's month twice at once and leave two rows for one
-- key; the timesheets then count his hours twice. The rows of a key are merged into the one with
-- the lowest id: a day with entries gets the sum of their hours, as a month rebuild writes it
-- (shift rows from accounts_dep.smena, hour-paid rows from accounts_dep.fatigue); a day without
-- entries keeps the largest value stored in any of the rows.
DO $$
DECLARE
    k pg_temp.tabel_keys;
    n bigint;
    groups bigint;
    merged text[];
BEGIN
    SELECT * INTO k FROM pg_temp.tabel_keys WHERE name = 'h_tabel_row_key';

    -- Rows posted while the kind columns had no default carry nulls there and are missing from
    -- every timesheet: a shift row (smena 1..4) is of kind 0 and day work, an hour-paid row
    -- (i_type set) has shift 0.
    UPDATE accounts_dep.h_tabel SET i_type = coalesce(i_type, 0), i_night = coalesce(i_night, 0)
    WHERE smena > 0 AND (i_type IS NULL OR i_night IS NULL);
    GET DIAGNOSTICS n = ROW_COUNT;
    IF n > 0 THEN
        PERFORM pg_temp.done(format('строки табеля по сменам с пустыми i_type/i_night получили 0, '
                                    'строк: %s', n));
    END IF;
    UPDATE accounts_dep.h_tabel SET smena = 0 WHERE smena IS NULL AND i_type <> 0;
    GET DIAGNOSTICS n = ROW_COUNT;
    IF n > 0 THEN
        PERFORM pg_temp.done(format('строки табеля почасовых работ с пустым smena получили 0, '
                                    'строк: %s', n));
    END IF;

    CREATE TEMP TABLE h_dups ON COMMIT DROP AS
    SELECT row_id, grp, position = 1 AS keep
    FROM (SELECT h.ctid AS row_id,
                 dense_rank() OVER (ORDER BY h.w_id, h.year, h.month, h.smena, h.i_type,
                                    h.i_night) AS grp,
                 row_number() OVER (k ORDER BY h.id NULLS LAST) AS position,
                 count(*) OVER k AS rows_of_key
          FROM accounts_dep.h_tabel h
          WHERE h.w_id IS NOT NULL AND h.month IS NOT NULL AND h.year IS NOT NULL
            AND h.smena IS NOT NULL AND h.i_type IS NOT NULL AND h.i_night IS NOT NULL
          WINDOW k AS (PARTITION BY h.w_id, h.year, h.month, h.smena, h.i_type, h.i_night)) r
    WHERE rows_of_key > 1;

    ANALYZE pg_temp.h_dups;

    SELECT count(DISTINCT grp), count(*) FILTER (WHERE NOT keep) INTO groups, n FROM h_dups;
    IF groups > 0 THEN
        -- One row per key: its values, the row kept, and each day's largest stored value.
        EXECUTE format(
            'CREATE TEMP TABLE h_merged ON COMMIT DROP AS '
            'SELECT d.grp, min(d.row_id) FILTER (WHERE d.keep) AS keep_id, count(*) AS rows_of_key, '
            '       h.w_id, h.month, h.year, h.smena, h.i_type, h.i_night, '
            '       CASE WHEN h.month BETWEEN 1 AND 12 AND h.year BETWEEN 1 AND 9999 '
            '            THEN make_date(h.year, h.month, 1) END AS first_day, %s '
            'FROM pg_temp.h_dups d JOIN accounts_dep.h_tabel h ON h.ctid = d.row_id '
            'GROUP BY d.grp, h.w_id, h.month, h.year, h.smena, h.i_type, h.i_night',
            (SELECT string_agg(format('max(h.d%1$s) AS d%1$s', d), ', ' ORDER BY d)
             FROM generate_series(1, 31) AS d));
        ANALYZE pg_temp.h_merged;
        -- Each key's days with entries and the sum of their hours (day eN; null: no entry that
        -- day). Entries count on their day at midnight, as the postings and rebuilds count them.
        EXECUTE format(
            'CREATE TEMP TABLE h_entry_days ON COMMIT DROP AS '
            'SELECT grp, %s FROM ('
            '  SELECT m.grp, s.data::date - m.first_day + 1 AS day, coalesce(sum(s.time), 0) AS hours '
            '  FROM pg_temp.h_merged m '
            '  JOIN accounts_dep.smena s ON s.w_id = m.w_id AND s.smena = m.smena '
            '   AND s.data >= m.first_day AND s.data < m.first_day + interval ''1 month'' '
            '   AND s.data = s.data::date '
            '  WHERE m.smena > 0 AND m.i_type = 0 '
            '  GROUP BY 1, 2 '
            '  UNION ALL '
            '  SELECT m.grp, f.d_date - m.first_day + 1, coalesce(sum(f.cnt), 0) '
            '  FROM pg_temp.h_merged m '
            '  JOIN accounts_dep.fatigue f ON f.id_p = m.w_id AND f.id_o = m.i_type '
            '   AND f.i_night = m.i_night '
            '   AND f.d_date >= m.first_day AND f.d_date < m.first_day + interval ''1 month'' '
            '  WHERE m.smena = 0 AND m.i_type <> 0 '
            '  GROUP BY 1, 2) e '
            'GROUP BY grp',
            (SELECT string_agg(format('max(hours) FILTER (WHERE day = %1$s) AS e%1$s', d), ', '
                               ORDER BY d)
             FROM generate_series(1, 31) AS d));
        ANALYZE pg_temp.h_entry_days;
        EXECUTE format('UPDATE accounts_dep.h_tabel h SET (%s) = (%s) '
                       'FROM pg_temp.h_merged m LEFT JOIN pg_temp.h_entry_days e ON e.grp = m.grp '
                       'WHERE h.ctid = m.keep_id',
                       (SELECT string_agg(format('d%s', d), ', ' ORDER BY d)
                        FROM generate_series(1, 31) AS d),
                       (SELECT string_agg(format('coalesce(e.e%1$s, m.d%1$s)', d), ', ' ORDER BY d)
                        FROM generate_series(1, 31) AS d));
        DELETE FROM accounts_dep.h_tabel h USING pg_temp.h_dups d
        WHERE h.ctid = d.row_id AND NOT d.keep;

        SELECT array_agg(format('работник %s, %s.%s, смена %s, вид %s, ночные %s: строк %s',
                                w_id, lpad(month::text, 2, '0'), year, smena, i_type, i_night,
                                rows_of_key) ORDER BY year, month, w_id, smena, i_type, i_night)
        INTO merged FROM pg_temp.h_merged;
        PERFORM pg_temp.done(format(
            'повторяющиеся строки табеля объединены: ключей %s, лишних строк удалено %s '
            '(дни с записями = сумма часов записей, остальные = наибольшее из значений строк); %s',
            groups, n, pg_temp.list('h_tabel merged', 'ключи', 'сделано', merged, '; ')));
    END IF;

    IF NOT pg_temp.key_present(k) THEN
        EXECUTE k.ddl;
        PERFORM pg_temp.done(format('добавлен уникальный ключ %s %s: %s', k.tbl, k.name, k.what));
    END IF;
EXCEPTION WHEN others THEN
    -- Nothing of this step stays: the rows are as they were.
    PERFORM pg_temp.refused(format('строки табеля: повторы не объединены, уникальный ключ '
                                   'h_tabel_row_key не добавлен: %s',
                                   pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 4. Записи смен (accounts_dep.smena): повторы'
-- ---------------------------------------------------------------------------------------------

-- Two entries of the same worker, operation, product, day, shift and colour cannot be told apart
-- by the program; which of them is right is for a person to decide. An entry with an empty column
-- among these (no colour, say) repeats another with it empty as well. The unique index waits until
-- none is left.
DO $$
DECLARE
    k pg_temp.tabel_keys;
    groups bigint;
    extra bigint;
    lines text[];
BEGIN
    FOR k IN SELECT * FROM pg_temp.tabel_keys WHERE kind = 'unique index' ORDER BY ord LOOP
        BEGIN
            IF pg_temp.key_present(k) THEN
                PERFORM pg_temp.list(k.name, 'группы', 'НЕ СДЕЛАНО', '{}');
                CONTINUE;
            END IF;
            -- Each group: its key, then the ids of its entries; groups in the key's order.
            EXECUTE format(
                'SELECT count(*), coalesce(sum(n - 1), 0), array_agg(line ORDER BY %4$s) '
                'FROM (SELECT count(*) AS n, %4$s, '
                '             concat_ws('', '', %1$s) || '': id '' '
                '             || string_agg(id::text, '', '' ORDER BY id) AS line '
                '      FROM %2$s %3$s GROUP BY %4$s HAVING count(*) > 1) g',
                (SELECT string_agg(format('%L || ''='' || coalesce(%I::text, ''(пусто)'')', c, c),
                                   ', ')
                 FROM unnest(k.columns) c),
                k.tbl,
                CASE WHEN NOT k.nulls_not_distinct THEN
                    'WHERE ' || (SELECT string_agg(format('%I IS NOT NULL', c), ' AND ')
                                 FROM unnest(k.columns) c)
                END,
                (SELECT string_agg(format('%I', c), ', ') FROM unnest(k.columns) c))
            INTO groups, extra, lines;
            IF groups > 0 THEN
                PERFORM pg_temp.refused(format(
                    'уникальный индекс %s %s (%s) не добавлен: повторяющихся записей %s (групп %s). '
                    'Оставьте в каждой группе одну запись (лишние удалите в главном окне или '
                    'исправьте) и запустите обновление снова; %s',
                    k.tbl, k.name, k.what, extra, groups,
                    pg_temp.list(k.name, 'группы', 'НЕ СДЕЛАНО', lines, E'\n')));
                CONTINUE;
            END IF;
            PERFORM pg_temp.list(k.name, 'группы', 'НЕ СДЕЛАНО', '{}');
            -- Made before empty columns counted as equal: made again.
            IF to_regclass(split_part(k.tbl, '.', 1) || '.' || k.name) IS NOT NULL THEN
                EXECUTE format('DROP INDEX %I.%I', split_part(k.tbl, '.', 1), k.name);
                EXECUTE k.ddl;
                PERFORM pg_temp.done(format('уникальный индекс %s %s сделан заново: записи с пустым '
                                            'столбцом ключа тоже не повторяются', k.tbl, k.name));
            ELSE
                EXECUTE k.ddl;
                PERFORM pg_temp.done(format('добавлен уникальный индекс %s %s: %s', k.tbl, k.name,
                                            k.what));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('уникальный индекс %s: %s', k.name,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('шаг 4: %s', pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 5. Зарезервированные виды работ 7777 и 7778'
-- ---------------------------------------------------------------------------------------------

-- Household works and the average piece rate need their kinds, the product that carries their
-- operations, an operation each on that product (or one numbered above it) and a norm with the
-- base price per hour. A row is added only where the table's key keeps its id apart and the
-- table's sequence has been moved past every id taken or reserved: otherwise the program's next
-- new row would take the same number.
DO $$
DECLARE
    k record;
    p record;
    operation integer;
    why text;
BEGIN
    SELECT * INTO p FROM pg_temp.tabel_reserved_product;
    FOR k IN SELECT * FROM pg_temp.tabel_reserved_kinds ORDER BY id LOOP
        BEGIN
            IF NOT EXISTS (SELECT 1 FROM accounts_dep.vid_oper WHERE id = k.id) THEN
                why := pg_temp.not_ready_for_rows('accounts_dep.vid_oper',
                                                  (SELECT max(id) FROM pg_temp.tabel_reserved_kinds));
                IF why IS NOT NULL THEN
                    PERFORM pg_temp.refused(format('вид операции %s не добавлен: %s', k.id, why));
                    CONTINUE;
                END IF;
                INSERT INTO accounts_dep.vid_oper (id, vid) VALUES (k.id, k.name);
                PERFORM pg_temp.done(format('добавлен вид операции %s «%s»', k.id, k.name));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('вид операции %s: %s', k.id,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;

    BEGIN
        IF NOT EXISTS (SELECT 1 FROM cmn_gds_and_srv.gds_and_srv WHERE id = p.id) THEN
            why := pg_temp.not_ready_for_rows('cmn_gds_and_srv.gds_and_srv', p.id);
            IF why IS NOT NULL THEN
                PERFORM pg_temp.refused(format('изделие %s не добавлено: %s', p.id, why));
            ELSE
                INSERT INTO cmn_gds_and_srv.gds_and_srv (id, s_caption, s_description, id_msm_bs,
                                                         massa, id_class_item)
                VALUES (p.id, p.caption, p.description, p.unit, 0, NULL);
                PERFORM pg_temp.done(format('добавлено изделие %s «%s»', p.id, p.caption));
            END IF;
        END IF;
    EXCEPTION WHEN others THEN
        PERFORM pg_temp.refused(format('изделие %s: %s', p.id, pg_temp.reason(SQLSTATE, SQLERRM)));
    END;

    FOR k IN SELECT * FROM pg_temp.tabel_reserved_kinds ORDER BY id LOOP
        BEGIN
            IF NOT EXISTS (SELECT 1 FROM accounts_dep.oper WHERE vid = k.id AND i_id >= p.id) THEN
                why := coalesce(
                    CASE WHEN NOT EXISTS (SELECT 1 FROM accounts_dep.vid_oper WHERE id = k.id)
                         THEN format('нет вида операции %s', k.id) END,
                    CASE WHEN NOT EXISTS (SELECT 1 FROM cmn_gds_and_srv.gds_and_srv WHERE id = p.id)
                         THEN format('нет изделия %s', p.id) END,
                    pg_temp.not_ready_for_rows('accounts_dep.oper', NULL));
                IF why IS NOT NULL THEN
                    PERFORM pg_temp.refused(format('операция вида %s на изделии %s не добавлена: %s',
                                                   k.id, p.id, why));
                    CONTINUE;
                END IF;
                INSERT INTO accounts_dep.oper (vid, naimen, i_id, cena_new)
                VALUES (k.id, 0, p.id, 0);
                PERFORM pg_temp.done(format('добавлена операция вида %s на изделии %s', k.id,
                                            p.id));
            END IF;
            IF NOT EXISTS (SELECT 1 FROM accounts_dep.norm n
                           JOIN accounts_dep.oper o ON o.id = n.o_id
                           WHERE o.vid = k.id AND o.i_id >= p.id) THEN
                SELECT min(id) INTO operation FROM accounts_dep.oper
                WHERE vid = k.id AND i_id >= p.id;
                why := pg_temp.not_ready_for_rows('accounts_dep.norm', NULL);
                IF why IS NOT NULL THEN
                    PERFORM pg_temp.refused(format('норматив операции %s (вид %s) не добавлен: %s',
                                                   operation, k.id, why));
                    CONTINUE;
                END IF;
                INSERT INTO accounts_dep.norm (o_id, norma, prize, price)
                VALUES (operation, 1, 0, k.base_price);
                PERFORM pg_temp.done(format('добавлен норматив операции %s', operation));
                PERFORM pg_temp.attention(format(
                    'цена часа вида «%s» (%s) поставлена %s руб.: проверьте ее в окне «Операции» '
                    '(норматив операции %s)', k.name, k.id, k.base_price, operation));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('операция и норматив вида %s: %s', k.id,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('шаг 5: %s', pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 6. Ссылки: строки без работника, изделия, операции; внешние ключи'
-- ---------------------------------------------------------------------------------------------

-- After the reserved rows: an operation of kind 7778 made by the earlier program finds its kind.
DO $$
DECLARE
    k pg_temp.tabel_keys;
    n bigint;
    missing text[];
BEGIN
    FOR k IN SELECT * FROM pg_temp.tabel_keys WHERE kind = 'foreign key' ORDER BY ord LOOP
        BEGIN
            IF pg_temp.key_present(k) THEN
                PERFORM pg_temp.list(k.name, 'их ' || k.columns[1], 'НЕ СДЕЛАНО', '{}');
                CONTINUE;
            END IF;
            -- Without it the server refuses the key with words of its own.
            IF NOT pg_temp.unique_on(k.ref_tbl::regclass, k.ref_col) THEN
                PERFORM pg_temp.refused(format(
                    'внешний ключ %s (%s.%s → %s.%s) не добавлен: у %s нет первичного ключа (%s), '
                    'на который он ссылается', k.name, k.tbl, k.columns[1], k.ref_tbl, k.ref_col,
                    k.ref_tbl, k.ref_col));
                CONTINUE;
            END IF;
            EXECUTE format('SELECT count(*), (array_agg(DISTINCT t.%1$I ORDER BY t.%1$I))::text[] '
                           'FROM %2$s t WHERE t.%1$I IS NOT NULL '
                           'AND NOT EXISTS (SELECT 1 FROM %3$s r WHERE r.%4$I = t.%1$I)',
                           k.columns[1], k.tbl, k.ref_tbl, k.ref_col)
            INTO n, missing;
            IF n > 0 THEN
                PERFORM pg_temp.refused(format(
                    'внешний ключ %s (%s.%s → %s.%s) не добавлен — верните удаленное или исправьте '
                    'строки и запустите обновление снова: %s, строк %s, %s',
                    k.name, k.tbl, k.columns[1], k.ref_tbl, k.ref_col, k.what, n,
                    pg_temp.list(k.name, 'их ' || k.columns[1], 'НЕ СДЕЛАНО', missing)));
            ELSE
                PERFORM pg_temp.list(k.name, 'их ' || k.columns[1], 'НЕ СДЕЛАНО', '{}');
                EXECUTE k.ddl;
                PERFORM pg_temp.done(format('добавлен внешний ключ %s (%s.%s → %s.%s)', k.name,
                                            k.tbl, k.columns[1], k.ref_tbl, k.ref_col));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('внешний ключ %s: %s', k.name,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('шаг 6: %s', pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 7. Индексы'
-- ---------------------------------------------------------------------------------------------

DO $$
BEGIN
    -- The personnel code as a number (as db/schema.sql makes it), which an index below is on.
    IF to_regprocedure('accounts_dep.person_code(text)') IS NULL THEN
        CREATE FUNCTION accounts_dep.person_code(code text) RETURNS integer
        LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
            SELECT CASE WHEN code ~ '^\s*[+-]?[0-9]{1,10}\s*$'
                        THEN CASE WHEN code::bigint BETWEEN -2147483648 AND 2147483647
                                  THEN code::integer END END
        $f$;
        PERFORM pg_temp.done('добавлена функция accounts_dep.person_code (личный номер числом)');
    END IF;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('функция accounts_dep.person_code: %s',
                                   pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;

DO $$
DECLARE
    k pg_temp.tabel_keys;
BEGIN
    FOR k IN SELECT * FROM pg_temp.tabel_keys WHERE kind = 'index' ORDER BY ord LOOP
        BEGIN
            CONTINUE WHEN pg_temp.key_present(k);
            EXECUTE k.ddl;
            PERFORM pg_temp.done(format('добавлен индекс %s %s', k.tbl, k.name));
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('индекс %s: %s', k.name,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;
    -- The indexes of earlier versions that the month's indexes above replace: they would only
    -- cost every write.
    FOR k IN SELECT * FROM pg_temp.tabel_keys
             WHERE name IN ('smena_month_idx', 'smena_worker_month_idx') ORDER BY ord LOOP
        CONTINUE WHEN to_regclass('accounts_dep.' || k.name) IS NULL;
        DECLARE
            old constant text := CASE k.name WHEN 'smena_month_idx' THEN 'smena_data_smena_idx'
                                             ELSE 'smena_w_id_data_idx' END;
        BEGIN
            CONTINUE WHEN to_regclass('accounts_dep.' || old) IS NULL;
            EXECUTE format('DROP INDEX accounts_dep.%I', old);
            PERFORM pg_temp.done(format('удален индекс accounts_dep.%s: его заменил %s', old,
                                        k.name));
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('индекс %s: %s', old,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 8. Строка версии'
-- ---------------------------------------------------------------------------------------------

DO $$
BEGIN
    -- Stamp 0: the first copy of tabel that starts raises it to its build.
    IF NOT EXISTS (SELECT 1 FROM accounts_dep.ver) THEN
        INSERT INTO accounts_dep.ver (d, t, delim) VALUES (0, 0, '.');
        PERFORM pg_temp.done('добавлена строка версии accounts_dep.ver (0, 0, разделитель «.»)');
    END IF;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('строка версии: %s', pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
-- Optional: psql -v rebuild=1 rebuilds the months whose monthly rows disagree with their entries
-- ---------------------------------------------------------------------------------------------

\if :rebuild
\echo '== 9. Пересчет месяцев по записям'

CREATE TEMP TABLE rebuild_months (year integer, month integer, shifts boolean, hours boolean,
                                  what text);

DO $$
DECLARE
    k pg_temp.tabel_keys;
BEGIN
    -- The rebuild writes the rows through their unique key, and leaves kind columns to defaults.
    SELECT * INTO k FROM pg_temp.tabel_keys WHERE name = 'h_tabel_row_key';
    IF NOT pg_temp.key_present(k)
       OR (SELECT count(*) FROM pg_attribute a
           JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum
           WHERE a.attrelid = 'accounts_dep.h_tabel'::regclass
             AND a.attname IN ('smena', 'i_type', 'i_night')
             AND pg_get_expr(d.adbin, d.adrelid) = '0') < 3 THEN
        PERFORM pg_temp.refused('месяцы не пересчитаны: у строк табеля нет уникального ключа '
                                'h_tabel_row_key или значений по умолчанию 0 (см. выше)');
        RETURN;
    END IF;
    -- New monthly rows take numbers of their sequence.
    IF pg_temp.not_ready_for_rows('accounts_dep.h_tabel', NULL) IS NOT NULL THEN
        PERFORM pg_temp.refused(format('месяцы не пересчитаны: %s',
                                       pg_temp.not_ready_for_rows('accounts_dep.h_tabel', NULL)));
        RETURN;
    END IF;
    INSERT INTO pg_temp.rebuild_months (year, month, shifts, hours, what)
    SELECT m.year, m.month, bool_or(m.family = 'смены'), bool_or(m.family = 'почасовые'),
           string_agg(format('строки %s (расходились строк %s, дней %s)',
                             CASE m.family WHEN 'смены' THEN 'по сменам'
                                           ELSE 'почасовых работ' END, m.rows, m.cells),
                      ', ' ORDER BY m.family DESC)
    FROM pg_temp.months_to_rebuild() m
    GROUP BY m.year, m.month;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('месяцы не пересчитаны: %s', pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- One transaction per month, as the program's "Перестроить".
SELECT format('DO $month$ BEGIN PERFORM pg_temp.rebuild_one(%s, %s, %L, %L, %L); END $month$',
              month, year, shifts, hours, what)
FROM pg_temp.rebuild_months ORDER BY year, month
\gexec
CALL pg_temp.flush();
\endif

-- ---------------------------------------------------------------------------------------------
\echo '== 10. Проверки: почасовые записи, работники в ERP, месяцы табеля'
-- ---------------------------------------------------------------------------------------------

-- Rows that no key can guard and that the program shows wrongly or not at all; reported, not
-- changed. Each check on its own: a table held by another session stops only the checks that read
-- it, and the report says which.
DO $$
DECLARE
    c record;
    n bigint;
    items text[];
BEGIN
    FOR c IN SELECT * FROM (VALUES
        -- Hour-paid entries keep their references in numeric columns that no key can tie to the
        -- integer ids: their orphans are only reported.
        (1, 'fatigue id_p', 'их id_p', 'почасовые записи без работника',
         'почасовые записи (accounts_dep.fatigue), чей работник удален, строк %s; они не видны в '
         'табелях',
         'SELECT count(*), (array_agg(DISTINCT f.id_p ORDER BY f.id_p))::text[] '
         'FROM accounts_dep.fatigue f WHERE f.id_p IS NOT NULL AND NOT EXISTS '
         '(SELECT 1 FROM accounts_dep.person p WHERE p.id = f.id_p)'),
        (2, 'fatigue id_o', 'их id_o', 'почасовые записи неизвестного вида работ',
         'почасовые записи (accounts_dep.fatigue) неизвестного вида работ, строк %s; они не видны '
         'в табелях',
         'SELECT count(*), (array_agg(DISTINCT f.id_o ORDER BY f.id_o))::text[] '
         'FROM accounts_dep.fatigue f WHERE f.id_o IS NOT NULL AND NOT EXISTS '
         '(SELECT 1 FROM accounts_dep.vid_oper v WHERE v.id = f.id_o)'),
        -- The shift log, the timesheets and the reports take a worker's name from the ERP's
        -- persons: the monthly timesheets by id, the timesheet by shifts and the period reports by
        -- s_code. The upgrade does not write the ERP's persons; it says who is missing where.
        (3, 'person id', 'их номера', 'работники без строки cmn_contractor.person по id',
         'работников без строки cmn_contractor.person с тем же id: %s. Их нет в окне «Табель '
         'сделка» и в табелях почасовых работ',
         'SELECT count(*), (array_agg(w.id ORDER BY w.id))::text[] FROM accounts_dep.person w '
         'WHERE NOT EXISTS (SELECT 1 FROM cmn_contractor.person c WHERE c.id = w.id)'),
        (4, 'person s_code', 'их номера',
         'работники без строки cmn_contractor.person по s_code',
         'работников без строки cmn_contractor.person с s_code, равным их номеру: %s. Их нет в '
         'табеле по сменам и в отчетах за период',
         'SELECT count(*), (array_agg(w.id ORDER BY w.id))::text[] FROM accounts_dep.person w '
         'WHERE NOT EXISTS (SELECT 1 FROM cmn_contractor.person c WHERE c.s_code = w.id::text)'),
        -- The shift log, the timesheets and the reports cast every personnel code to a number:
        -- one code with other characters makes them fail.
        (5, 'cmn_contractor.person s_code', 'строки', 'личные номера cmn_contractor.person.s_code',
         'в cmn_contractor.person s_code не целое число: %s. Журнал смен, табели и отчеты не '
         'откроются, пока они есть; впишите в s_code табельный номер цифрами или очистите его',
         'SELECT count(*), array_agg(format(''id %s «%s»'', c.id, c.s_code) ORDER BY c.id) '
         'FROM cmn_contractor.person c WHERE c.s_code IS NOT NULL AND CASE '
         '    WHEN c.s_code::text ~ ''^\s*[+-]?[0-9]+\s*$'' THEN '
         '        regexp_replace(c.s_code::text, ''^\s+|\s+$'', '''', ''g'')::numeric '
         '        NOT BETWEEN -2147483648 AND 2147483647 '
         '    ELSE true END'))
        AS v (ord, list, title, name, message, query)
        ORDER BY ord
    LOOP
        BEGIN
            EXECUTE c.query INTO n, items;
            IF n > 0 THEN
                PERFORM pg_temp.attention(format(c.message, n) || '; ' ||
                                          pg_temp.list(c.list, c.title, 'ВНИМАНИЕ', items));
            ELSE
                PERFORM pg_temp.list(c.list, c.title, 'ВНИМАНИЕ', '{}');
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('проверка не выполнена (%s): %s', c.name,
                                           pg_temp.reason(SQLSTATE, SQLERRM)));
        END;
    END LOOP;

    -- Months whose monthly rows disagree with the entries: the timesheets show other hours than
    -- were entered until the month is rebuilt.
    BEGIN
        FOR c IN
            SELECT f.family, f.list, f.rows_name, f.window_name,
                   (SELECT array_agg(format('%s.%s (строк %s, дней %s)',
                                            lpad(m.month::text, 2, '0'), m.year, m.rows, m.cells)
                                     ORDER BY m.year, m.month)
                    FROM pg_temp.months_to_rebuild() m WHERE m.family = f.family) AS months
            FROM (VALUES ('смены', 'months shifts', 'по сменам', '«Табель по времени»'),
                         ('почасовые', 'months hour-paid', 'почасовых работ',
                          '«Табель хоз. работы» или «Табель ср. сдельная»'))
                 AS f (family, list, rows_name, window_name)
        LOOP
            IF c.months IS NOT NULL THEN
                PERFORM pg_temp.attention(format(
                    'строки табеля %s расходятся с записями: табели этих месяцев показывают не те '
                    'часы. Перестройте месяц в окне %s (кнопка «Перестроить») или запустите '
                    'обновление с -v rebuild=1; %s', c.rows_name, c.window_name,
                    pg_temp.list(c.list, 'месяцы', 'ВНИМАНИЕ', c.months)));
            ELSE
                PERFORM pg_temp.list(c.list, 'месяцы', 'ВНИМАНИЕ', '{}');
            END IF;
        END LOOP;
    EXCEPTION WHEN others THEN
        PERFORM pg_temp.refused(format('проверка не выполнена (месяцы, чьи строки табеля расходятся '
                                       'с записями): %s', pg_temp.reason(SQLSTATE, SQLERRM)));
    END;
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 11. Полные списки'
-- ---------------------------------------------------------------------------------------------

-- Each list made in this run replaces the stored one of its name when it differs; a list of a
-- check that did not run stays as it was. A schema of the script's own, made when there is
-- something to keep and removed when nothing is left.
DO $$
DECLARE
    l record;
    written integer := 0;
BEGIN
    IF to_regclass('tabel_upgrade.lists') IS NULL THEN
        IF NOT EXISTS (SELECT 1 FROM pg_temp.upgrade_lists WHERE cardinality(items) > 0) THEN
            RETURN;
        END IF;
        CREATE SCHEMA IF NOT EXISTS tabel_upgrade;
        CREATE TABLE tabel_upgrade.lists (
            list   text NOT NULL,       -- the name a shortened list in the report gives
            title  text NOT NULL,
            kind   text NOT NULL,       -- сделано, НЕ СДЕЛАНО, ВНИМАНИЕ
            n      integer NOT NULL,    -- the item's place in the list
            item   text NOT NULL,
            PRIMARY KEY (list, n)
        );
        COMMENT ON TABLE tabel_upgrade.lists IS
            'Полные списки отчета db/upgrade.sql (обновляются каждым его запуском)';
    END IF;
    FOR l IN SELECT * FROM pg_temp.upgrade_lists ORDER BY list LOOP
        CONTINUE WHEN (SELECT coalesce(array_agg(item ORDER BY n), '{}') FROM tabel_upgrade.lists
                       WHERE list = l.list) = l.items
                  AND NOT EXISTS (SELECT 1 FROM tabel_upgrade.lists WHERE list = l.list
                                  AND (title, kind) IS DISTINCT FROM (l.title, l.kind));
        DELETE FROM tabel_upgrade.lists WHERE list = l.list;
        INSERT INTO tabel_upgrade.lists (list, title, kind, n, item)
        SELECT l.list, l.title, l.kind, i.n, i.item
        FROM unnest(l.items) WITH ORDINALITY AS i (item, n);
        written := written + 1;
    END LOOP;
    IF NOT EXISTS (SELECT 1 FROM tabel_upgrade.lists) THEN
        DROP TABLE tabel_upgrade.lists;
        BEGIN
            DROP SCHEMA tabel_upgrade;
        EXCEPTION WHEN dependent_objects_still_exist THEN
            NULL;  -- someone keeps other things there
        END;
        PERFORM pg_temp.done('списки отчета пусты: таблица tabel_upgrade.lists удалена');
    ELSIF written > 0 THEN
        PERFORM pg_temp.done(format('полные списки отчета записаны в таблицу tabel_upgrade.lists '
                                    '(обновлено списков: %s)', written));
    END IF;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('полные списки не записаны в tabel_upgrade.lists: %s',
                                   pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 12. Оповещения об изменениях для открытых списков'
-- ---------------------------------------------------------------------------------------------

-- Every statement that writes shift entries, hour-paid entries or monthly rows tells the listening
-- copies which days it touched, so that their open lists re-read (db/change_notify.sql, as
-- db/schema.sql makes them). Without them the program works as before, only its lists wait for
-- "Обновить". A failure is printed by psql and leaves the step undone.
SELECT set_config('tabel.notify_was', ((SELECT count(*) FROM pg_trigger WHERE tgname ~
                  '^(smena|fatigue|h_tabel)_announce_(insert|update|delete|truncate)$') = 12)::text,
                  false) AS notify_was
\gset
BEGIN;
\set ON_ERROR_STOP off
\ir change_notify.sql
\set ON_ERROR_STOP on
COMMIT;
DO $$
BEGIN
    IF (SELECT count(*) FROM pg_trigger WHERE tgname ~
        '^(smena|fatigue|h_tabel)_announce_(insert|update|delete|truncate)$') < 12 THEN
        PERFORM pg_temp.refused('триггеры оповещений об изменениях не созданы (открытые списки '
                                'обновятся только по кнопке «Обновить»; ошибка выше)');
    ELSIF NOT current_setting('tabel.notify_was')::boolean THEN
        PERFORM pg_temp.done('триггеры оповещений об изменениях на accounts_dep.smena, fatigue и '
                             'h_tabel: открытые списки других копий обновляются сами');
    END IF;
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 13. Закрытие месяцев и история изменений записей'
-- ---------------------------------------------------------------------------------------------

-- The table of closed months, the history of entries and their triggers (db/entry_guard.sql, as
-- db/schema.sql makes them). A failure is printed by psql and leaves the step undone.
SELECT set_config('tabel.guard_was', (to_regclass('accounts_dep.closed_month') IS NOT NULL
                  AND to_regclass('accounts_dep.entry_history') IS NOT NULL
                  AND (SELECT count(*) FROM pg_trigger WHERE tgname IN
                       ('smena_history', 'fatigue_history', 'h_tabel_month_guard_ins',
                        'h_tabel_month_guard_upd', 'h_tabel_month_guard_del')) = 5)::text,
                  false) AS guard_was
\gset
BEGIN;
-- "already exists, skipping" is no news in this report.
SET LOCAL client_min_messages = warning;
\set ON_ERROR_STOP off
\ir entry_guard.sql
\ir change_notify.sql
\set ON_ERROR_STOP on
COMMIT;
DO $$
BEGIN
    IF to_regclass('accounts_dep.closed_month') IS NULL
       OR to_regclass('accounts_dep.entry_history') IS NULL
       OR (SELECT count(*) FROM pg_trigger
           WHERE tgname IN ('smena_history', 'fatigue_history', 'h_tabel_month_guard_ins',
                            'h_tabel_month_guard_upd', 'h_tabel_month_guard_del')) < 5 THEN
        PERFORM pg_temp.refused('закрытие месяцев и история изменений записей не добавлены '
                                '(ошибка выше)');
    ELSIF NOT current_setting('tabel.guard_was')::boolean THEN
        PERFORM pg_temp.done('добавлены таблица закрытых месяцев accounts_dep.closed_month, '
                             'история изменений записей accounts_dep.entry_history и их триггеры');
    END IF;
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 14. Производственный календарь'
-- ---------------------------------------------------------------------------------------------

-- The production calendar: the program asks it whether a day is a day off. Filled with the public
-- holidays of every year that has nothing stored; the decree's transfers are the office's to
-- enter.
\ir production_calendar.sql
DO $$
DECLARE
    r record;
BEGIN
    SELECT * INTO r FROM pg_temp.tabel_production_calendar();
    IF r.created THEN
        PERFORM pg_temp.done(format(
            'создана таблица accounts_dep.prod_calendar (производственный календарь): праздники '
            'и переносы выходных по статье 112 Трудового кодекса за %s–%s годы, дней %s. Переносы по постановлению '
            'Правительства на каждый год вносят в окне «Справочники» → «Производственный '
            'календарь»',
            r.first_year, r.last_year, r.added));
    ELSIF r.added > 0 THEN
        PERFORM pg_temp.done(format('производственный календарь дополнен годами, в которых не было '
                                    'ни одного дня: дней %s', r.added));
    END IF;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('производственный календарь accounts_dep.prod_calendar: %s',
                                   pg_temp.reason(SQLSTATE, SQLERRM)));
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 15. Роли и права: владелец таблиц, группы, часы записей в табеле'
-- ---------------------------------------------------------------------------------------------

-- The database guards every role (db/roles.sql, as db/schema.sql makes it): the NOLOGIN owner
-- tabel_owner takes the program's schema, the four groups get their rights, hours are posted by
-- the database, months are closed through its functions. The login the program used so far
-- becomes a member of the four groups, so that the access codes keep working as before. A failure
-- is printed by psql and leaves the step undone.
SELECT set_config('tabel.roles_were', (to_regrole('tabel_owner') IS NOT NULL
                  AND to_regprocedure('accounts_dep.post_hours(text,jsonb,jsonb)') IS NOT NULL
                  AND (SELECT nspowner FROM pg_namespace WHERE nspname = 'accounts_dep')
                      = to_regrole('tabel_owner'))::text, false) AS roles_were
\gset
BEGIN;
SET LOCAL client_min_messages = warning;
\set ON_ERROR_STOP off
\ir roles.sql
\set ON_ERROR_STOP on
COMMIT;
DO $$
BEGIN
    IF to_regrole('tabel_owner') IS NULL
       OR to_regprocedure('accounts_dep.post_hours(text,jsonb,jsonb)') IS NULL
       OR (SELECT nspowner FROM pg_namespace WHERE nspname = 'accounts_dep')
          <> to_regrole('tabel_owner') THEN
        PERFORM pg_temp.refused('роли и права не добавлены (ошибка выше)');
    ELSIF NOT current_setting('tabel.roles_were')::boolean THEN
        PERFORM pg_temp.done('таблицы программы переданы роли tabel_owner (без входа); права ролей '
                             'программы — группы tabel_full, tabel_planning, tabel_foremen, '
                             'tabel_warehouse; часы записей в табель ставит сама база; прежний '
                             'вход программы включен в четыре группы (режим кодов доступа '
                             'работает как прежде)');
    END IF;
    -- Where every role may create objects in the schema public (databases made before
    -- PostgreSQL 15), a role can lay a trap for the next superuser whose search path reaches it.
    IF EXISTS (SELECT 1 FROM pg_namespace n,
                      aclexplode(coalesce(n.nspacl, acldefault('n', n.nspowner))) a
               WHERE n.nspname = 'public' AND a.grantee = 0 AND a.privilege_type = 'CREATE') THEN
        PERFORM pg_temp.attention('в схеме public любая роль может создавать объекты (база '
                                  'создана до PostgreSQL 15): отзовите это право — REVOKE CREATE '
                                  'ON SCHEMA public FROM PUBLIC');
    END IF;
    -- A login the program uses that may do more than any group: say so.
    IF EXISTS (SELECT 1 FROM pg_roles r
               WHERE r.rolcanlogin AND (r.rolsuper OR r.rolcreaterole)
                 AND pg_has_role(r.oid, 'tabel_full', 'MEMBER') AND NOT r.rolsuper) THEN
        PERFORM pg_temp.attention(format('вход программы %s может создавать роли (CREATEROLE); '
                                         'снимите это право: ALTER ROLE … NOCREATEROLE',
                                    (SELECT string_agg(quote_ident(r.rolname), ', ')
                                     FROM pg_roles r WHERE r.rolcanlogin AND r.rolcreaterole
                                       AND NOT r.rolsuper
                                       AND pg_has_role(r.oid, 'tabel_full', 'MEMBER'))));
    END IF;
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== 16. Отсутствия, настройки формы Т-13, показатели для зарплаты'
-- ---------------------------------------------------------------------------------------------

-- Absences by day with the codes of the form T-13, the site's settings the form prints and the
-- indicators of the payroll export (db/month_end.sql, as db/schema.sql makes them). A failure is
-- printed by psql and leaves the step undone.
SELECT set_config('tabel.month_end_was', (to_regclass('accounts_dep.absence') IS NOT NULL
                  AND to_regclass('accounts_dep.payroll_indicator') IS NOT NULL
                  AND to_regclass('accounts_dep.site_setting') IS NOT NULL
                  AND (SELECT count(*) FROM pg_trigger WHERE tgname IN
                       ('absence_history', 'absence_without_hours', 'smena_without_absence',
                        'fatigue_without_absence')) = 4)::text,
                  false) AS month_end_was
\gset
BEGIN;
SET LOCAL client_min_messages = warning;
\set ON_ERROR_STOP off
\ir month_end.sql
\set ON_ERROR_STOP on
COMMIT;
DO $$
BEGIN
    IF to_regclass('accounts_dep.absence') IS NULL
       OR to_regclass('accounts_dep.payroll_indicator') IS NULL
       OR to_regclass('accounts_dep.site_setting') IS NULL
       OR (SELECT count(*) FROM pg_trigger
           WHERE tgname IN ('absence_history', 'absence_without_hours', 'smena_without_absence',
                            'fatigue_without_absence')) < 4 THEN
        PERFORM pg_temp.refused('отсутствия, настройки формы Т-13 и показатели для зарплаты не '
                                'добавлены (ошибка выше)');
    ELSIF NOT current_setting('tabel.month_end_was')::boolean THEN
        PERFORM pg_temp.done('добавлены отсутствия работников accounts_dep.absence (коды формы '
                             'Т-13), настройки формы accounts_dep.site_setting и показатели для '
                             'зарплаты accounts_dep.payroll_indicator');
    END IF;
END
$$;
CALL pg_temp.flush();

-- ---------------------------------------------------------------------------------------------
\echo '== Итог'
-- ---------------------------------------------------------------------------------------------

-- The closing check reads the personnel codes too: a table held elsewhere must not cost the
-- summary, so an error here is reported and the script goes on.
\echo 'Чего не хватает программе (пока список не пуст, tabel не запустится на этой базе):'
\set ON_ERROR_STOP off
\ir schema_ready.sql
\set ON_ERROR_STOP on
\if :ERROR
CALL pg_temp.check_failed('чего не хватает программе (db/schema_ready.sql)', :'LAST_ERROR_SQLSTATE',
                          :'LAST_ERROR_MESSAGE');
\endif

SELECT kind AS "Итог", text AS "Что" FROM pg_temp.upgrade_log
WHERE kind <> 'сделано' ORDER BY n;

SELECT to_regclass('tabel_upgrade.lists') IS NOT NULL AS lists_kept
\gset
\if :lists_kept
\echo 'Полные списки отчета: select list, n, item from tabel_upgrade.lists order by list, n;'
\endif
