-- Brings an existing database of the enterprise (the ERP database with the shop's schema
-- accounts_dep, as the earlier program left it: tables without keys, possibly duplicate monthly
-- rows, duplicate shift entries and rows whose worker, product or operation was deleted) to what
-- tabel needs, without losing data. Safe to run again: a run on a database that is already up to
-- date changes nothing.
--
-- Back up first, close every copy of tabel, then run it as the owner of the tables (or a superuser):
--     psql -X -d mirel_erp -f db/upgrade.sql 2>&1 | tee upgrade.log
--
-- Each step is one transaction. The report says what was done (NOTICE), what could not be done and
-- why (WARNING: НЕ СДЕЛАНО ...) and what a person should look at (WARNING: ВНИМАНИЕ ...); it ends
-- with what tabel still lacks (db/schema_ready.sql: tabel refuses to start while that list is not
-- empty) and the list of everything not done. Rows are never deleted except duplicate monthly rows,
-- which are merged into one; duplicate shift entries and rows without their worker, product or
-- operation are left for a person to resolve, and the key that they block is added by a later run.

\set ON_ERROR_STOP on
\set QUIET on
\set VERBOSITY terse
SET client_min_messages = warning;
-- A copy of tabel still working holds locks: a step then reports the timeout instead of waiting.
SET lock_timeout = '10s';

\ir schema_lists.sql
SET client_min_messages = notice;

-- ---------------------------------------------------------------------------------------------
-- The report and the catalogue helpers (temporary, gone with the session)
-- ---------------------------------------------------------------------------------------------

CREATE TEMP TABLE upgrade_log (n serial, kind text, text text);

-- Every line of the report goes to the log (for the summary at the end) and to the screen: what
-- was done as a NOTICE, what was not done or needs a person as a WARNING with its kind in front.
CREATE FUNCTION pg_temp.report(kind text, msg text) RETURNS void LANGUAGE plpgsql AS $$
BEGIN
    INSERT INTO pg_temp.upgrade_log (kind, text) VALUES (kind, msg);
    IF kind = 'сделано' THEN
        RAISE NOTICE '%', msg;
    ELSE
        RAISE WARNING '%: %', kind, msg;
    END IF;
END
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

-- Whether the database already has the key or index, under our name or as an equivalent one of
-- its own: an index on the same columns; a unique index on the same set of columns (what an
-- insert-or-update on these columns needs); a foreign key from the same column to the same table.
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

-- The tables whose rows the program numbers, changes and deletes by id.
CREATE FUNCTION pg_temp.keyed_tables() RETURNS SETOF text LANGUAGE sql IMMUTABLE AS $$
    SELECT unnest(ARRAY['smena', 'h_tabel', 'oper', 'norm', 'vid_oper', 'person', 'fatigue'])
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 0. Проверка базы'
-- ---------------------------------------------------------------------------------------------

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
        IF to_regclass(rel) IS NULL THEN
            PERFORM pg_temp.refused(format('нет таблицы %s: это не база программы, или она '
                                           'неполна; для новой базы служит db/schema.sql', rel));
        END IF;
    END LOOP;
END
$$;

SELECT NOT EXISTS (SELECT 1 FROM pg_temp.upgrade_log WHERE kind = 'НЕ СДЕЛАНО') AS tables_present
\gset
\if :tables_present
\else
\echo 'Обновление остановлено: в базе нет таблиц программы.'
\quit
\endif

-- ---------------------------------------------------------------------------------------------
\echo '== 1. Типы, номера новых строк, значения по умолчанию'
-- ---------------------------------------------------------------------------------------------

DO $$
DECLARE
    t text;
    rel regclass;
    seq regclass;
    col text;
    current_default text;
    top bigint;
    next_value bigint;
    floor_value bigint;
    domain_name text;
BEGIN
    -- The shift log and the timesheets cast personnel codes to these.
    FOREACH domain_name IN ARRAY ARRAY['t_id', 't_integer'] LOOP
        BEGIN
            IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = domain_name) THEN
                EXECUTE format('CREATE DOMAIN public.%I AS integer', domain_name);
                PERFORM pg_temp.done(format('создан тип public.%s (integer)', domain_name));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('тип %s: %s', domain_name, SQLERRM));
        END;
    END LOOP;

    FOR t IN SELECT * FROM pg_temp.keyed_tables() LOOP
        BEGIN
            rel := format('accounts_dep.%I', t)::regclass;
            IF NOT EXISTS (SELECT 1 FROM pg_attribute
                           WHERE attrelid = rel AND attname = 'id'
                             AND (atthasdef OR attidentity <> '')) THEN
                seq := pg_get_serial_sequence(rel::text, 'id')::regclass;
                IF seq IS NULL THEN
                    EXECUTE format('CREATE SEQUENCE accounts_dep.%I', t || '_id_seq');
                    seq := format('accounts_dep.%I', t || '_id_seq')::regclass;
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
            -- have overtaken the sequence; new operation kinds keep clear of the reserved ones.
            seq := pg_temp.id_sequence(rel);
            IF seq IS NOT NULL THEN
                EXECUTE format('SELECT max(id) FROM %s', rel) INTO top;
                EXECUTE format('SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END '
                               'FROM %s', seq) INTO next_value;
                floor_value := coalesce(top, 0);
                IF t = 'vid_oper' AND next_value <= 7778 THEN
                    floor_value := greatest(floor_value, 9999);
                END IF;
                IF next_value <= floor_value THEN
                    PERFORM setval(seq, floor_value);
                    PERFORM pg_temp.done(format('%s: следующий номер новой строки %s (был %s)',
                                                seq, floor_value + 1, next_value));
                END IF;
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('номера новых строк accounts_dep.%s: %s', t, SQLERRM));
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
                                           SQLERRM));
        END;
    END LOOP;
END
$$;

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
    t text;
    rel regclass;
    n bigint;
    sample text;
BEGIN
    FOR t IN SELECT * FROM pg_temp.keyed_tables() LOOP
        BEGIN
            rel := format('accounts_dep.%I', t)::regclass;
            CONTINUE WHEN EXISTS (
                SELECT 1 FROM pg_constraint c JOIN pg_attribute a
                    ON a.attrelid = c.conrelid AND c.conkey = ARRAY[a.attnum]
                WHERE c.conrelid = rel AND c.contype = 'p' AND a.attname = 'id');
            IF EXISTS (SELECT 1 FROM pg_constraint WHERE conrelid = rel AND contype = 'p') THEN
                PERFORM pg_temp.refused(format('первичный ключ %s (id): у таблицы уже есть '
                                               'первичный ключ на других столбцах', rel));
                CONTINUE;
            END IF;
            -- Rows without a number cannot be changed or deleted by the program; nothing refers to
            -- them, so they get the next numbers.
            IF EXISTS (SELECT 1 FROM pg_attribute
                       WHERE attrelid = rel AND attname = 'id' AND atthasdef) THEN
                EXECUTE format('UPDATE %s SET id = DEFAULT WHERE id IS NULL', rel);
                GET DIAGNOSTICS n = ROW_COUNT;
                IF n > 0 THEN
                    PERFORM pg_temp.done(format('%s: строкам без номера (id пуст) даны номера, '
                                                'строк: %s', rel, n));
                END IF;
            END IF;
            EXECUTE format('SELECT count(*), string_agg(id::text, '', '' ORDER BY id) '
                           'FROM (SELECT id FROM %s WHERE id IS NOT NULL GROUP BY id '
                           '      HAVING count(*) > 1) d', rel) INTO n, sample;
            IF n > 0 THEN
                PERFORM pg_temp.refused(format(
                    'первичный ключ %s (id) не добавлен: номера id повторяются у разных строк '
                    '(%s): %s. Программа меняет и удаляет строки по id; дайте повторам новые '
                    'номера и запустите обновление снова', rel, n, left(sample, 400)));
                CONTINUE;
            END IF;
            EXECUTE format('ALTER TABLE %s ADD CONSTRAINT %I PRIMARY KEY (id)', rel, t || '_pkey');
            PERFORM pg_temp.done(format('добавлен первичный ключ %s (id)', rel));
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('первичный ключ accounts_dep.%s (id): %s', t, SQLERRM));
        END;
    END LOOP;
END
$$;

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
    sample text;
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

        SELECT string_agg(format('работник %s, %s.%s, смена %s, вид %s, ночные %s: строк %s',
                                 w_id, lpad(month::text, 2, '0'), year, smena, i_type, i_night,
                                 rows_of_key), '; ' ORDER BY year, month, w_id, smena, i_type,
                                                              i_night)
        INTO sample FROM (SELECT * FROM pg_temp.h_merged ORDER BY year, month, w_id LIMIT 30) m;
        PERFORM pg_temp.done(format(
            'повторяющиеся строки табеля объединены: ключей %s, лишних строк удалено %s '
            '(дни с записями = сумма часов записей, остальные = наибольшее из значений строк). %s%s',
            groups, n, sample, CASE WHEN groups > 30 THEN '; …' ELSE '' END));
    END IF;

    IF NOT pg_temp.key_present(k) THEN
        EXECUTE k.ddl;
        PERFORM pg_temp.done(format('добавлен уникальный ключ %s %s: %s', k.tbl, k.name, k.what));
    END IF;
EXCEPTION WHEN others THEN
    -- Nothing of this step stays: the rows are as they were.
    PERFORM pg_temp.refused(format('строки табеля: повторы не объединены, уникальный ключ '
                                   'h_tabel_row_key не добавлен: %s', SQLERRM));
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 4. Записи смен (accounts_dep.smena): повторы'
-- ---------------------------------------------------------------------------------------------

-- Two entries of the same worker, operation, product, day, shift and colour cannot be told apart
-- by the program; which of them is right is for a person to decide. The unique index waits until
-- none is left.
DO $$
DECLARE
    k pg_temp.tabel_keys;
    groups bigint;
    extra bigint;
    sample text;
BEGIN
    FOR k IN SELECT * FROM pg_temp.tabel_keys WHERE kind = 'unique index' ORDER BY ord LOOP
        BEGIN
            CONTINUE WHEN pg_temp.key_present(k);
            EXECUTE format(
                'SELECT count(*), coalesce(sum(n - 1), 0), '
                '       string_agg(line, E''\n'' ORDER BY line) FILTER (WHERE position <= 50) '
                'FROM (SELECT count(*) AS n, row_number() OVER (ORDER BY min(id)) AS position, '
                '             concat_ws('', '', %1$s) || '': id '' || string_agg(id::text, '', '' ORDER BY id) AS line '
                '      FROM %2$s WHERE %3$s GROUP BY %4$s HAVING count(*) > 1) g',
                (SELECT string_agg(format('%L || ''='' || %I', c, c), ', ') FROM unnest(k.columns) c),
                k.tbl,
                (SELECT string_agg(format('%I IS NOT NULL', c), ' AND ') FROM unnest(k.columns) c),
                (SELECT string_agg(format('%I', c), ', ') FROM unnest(k.columns) c))
            INTO groups, extra, sample;
            IF groups > 0 THEN
                PERFORM pg_temp.refused(format(
                    'уникальный индекс %s %s (%s) не добавлен: повторяющихся записей %s (групп %s). '
                    'Оставьте в каждой группе одну запись (лишние удалите в главном окне или '
                    'исправьте) и запустите обновление снова:%s%s',
                    k.tbl, k.name, k.what, extra, groups, E'\n', sample));
            ELSE
                EXECUTE k.ddl;
                PERFORM pg_temp.done(format('добавлен уникальный индекс %s %s: %s', k.tbl, k.name,
                                            k.what));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('уникальный индекс %s: %s', k.name, SQLERRM));
        END;
    END LOOP;
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 5. Ссылки: строки без работника, изделия, операции; внешние ключи'
-- ---------------------------------------------------------------------------------------------

DO $$
DECLARE
    k pg_temp.tabel_keys;
    n bigint;
    sample text;
BEGIN
    FOR k IN SELECT * FROM pg_temp.tabel_keys WHERE kind = 'foreign key' ORDER BY ord LOOP
        BEGIN
            CONTINUE WHEN pg_temp.key_present(k);
            EXECUTE format('SELECT count(*), string_agg(DISTINCT t.%1$I::text, '', '') '
                           'FROM %2$s t WHERE t.%1$I IS NOT NULL '
                           'AND NOT EXISTS (SELECT 1 FROM %3$s r WHERE r.%4$I = t.%1$I)',
                           k.columns[1], k.tbl, k.ref_tbl, k.ref_col)
            INTO n, sample;
            IF n > 0 THEN
                PERFORM pg_temp.refused(format(
                    'внешний ключ %s (%s.%s → %s.%s) не добавлен: %s, строк %s, их %s: %s. '
                    'Верните удаленное или исправьте строки и запустите обновление снова',
                    k.name, k.tbl, k.columns[1], k.ref_tbl, k.ref_col, k.what, n, k.columns[1],
                    left(sample, 400)));
            ELSE
                EXECUTE k.ddl;
                PERFORM pg_temp.done(format('добавлен внешний ключ %s (%s.%s → %s.%s)', k.name,
                                            k.tbl, k.columns[1], k.ref_tbl, k.ref_col));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('внешний ключ %s: %s', k.name, SQLERRM));
        END;
    END LOOP;

END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 6. Индексы'
-- ---------------------------------------------------------------------------------------------

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
            PERFORM pg_temp.refused(format('индекс %s: %s', k.name, SQLERRM));
        END;
    END LOOP;
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 7. Зарезервированные виды работ 7777 и 7778'
-- ---------------------------------------------------------------------------------------------

-- Household works and the average piece rate need their kinds, the product that carries their
-- operations, an operation each on that product (or one numbered above it) and a norm with the
-- base price per hour.
DO $$
DECLARE
    k record;
    p record;
    operation integer;
BEGIN
    SELECT * INTO p FROM pg_temp.tabel_reserved_product;
    FOR k IN SELECT * FROM pg_temp.tabel_reserved_kinds ORDER BY id LOOP
        BEGIN
            IF NOT EXISTS (SELECT 1 FROM accounts_dep.vid_oper WHERE id = k.id) THEN
                INSERT INTO accounts_dep.vid_oper (id, vid) VALUES (k.id, k.name);
                PERFORM pg_temp.done(format('добавлен вид операции %s «%s»', k.id, k.name));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('вид операции %s: %s', k.id, SQLERRM));
        END;
    END LOOP;

    BEGIN
        IF NOT EXISTS (SELECT 1 FROM cmn_gds_and_srv.gds_and_srv WHERE id = p.id) THEN
            INSERT INTO cmn_gds_and_srv.gds_and_srv (id, s_caption, s_description, id_msm_bs,
                                                     massa, id_class_item)
            VALUES (p.id, p.caption, p.description, p.unit, 0, NULL);
            PERFORM pg_temp.done(format('добавлено изделие %s «%s»', p.id, p.caption));
        END IF;
    EXCEPTION WHEN others THEN
        PERFORM pg_temp.refused(format('изделие %s: %s', p.id, SQLERRM));
    END;

    FOR k IN SELECT * FROM pg_temp.tabel_reserved_kinds ORDER BY id LOOP
        BEGIN
            IF NOT EXISTS (SELECT 1 FROM accounts_dep.oper WHERE vid = k.id AND i_id >= p.id) THEN
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
                INSERT INTO accounts_dep.norm (o_id, norma, prize, price)
                VALUES (operation, 1, 0, k.base_price);
                PERFORM pg_temp.done(format('добавлен норматив операции %s', operation));
                PERFORM pg_temp.attention(format(
                    'цена часа вида «%s» (%s) поставлена %s руб.: проверьте ее в окне «Операции» '
                    '(норматив операции %s)', k.name, k.id, k.base_price, operation));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('операция и норматив вида %s: %s', k.id, SQLERRM));
        END;
    END LOOP;
END
$$;

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
    PERFORM pg_temp.refused(format('строка версии: %s', SQLERRM));
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== 9. Почасовые записи без работника или вида работ; работники в ERP'
-- ---------------------------------------------------------------------------------------------

-- Rows that no key can guard and that the program cannot show; reported, not changed.
DO $$
DECLARE
    n bigint;
    sample text;
    check_name text;
    check_sql text;
BEGIN
    -- Hour-paid entries keep their references in numeric columns that no key can tie to the
    -- integer ids: their orphans are only reported.
    FOR check_name, check_sql IN VALUES
        ('почасовые записи (accounts_dep.fatigue), чей работник удален; их id_p',
         'SELECT count(*), string_agg(DISTINCT f.id_p::text, '', '') FROM accounts_dep.fatigue f '
         'WHERE f.id_p IS NOT NULL AND NOT EXISTS (SELECT 1 FROM accounts_dep.person p '
         'WHERE p.id = f.id_p)'),
        ('почасовые записи (accounts_dep.fatigue) неизвестного вида работ; их id_o',
         'SELECT count(*), string_agg(DISTINCT f.id_o::text, '', '') FROM accounts_dep.fatigue f '
         'WHERE f.id_o IS NOT NULL AND NOT EXISTS (SELECT 1 FROM accounts_dep.vid_oper v '
         'WHERE v.id = f.id_o)')
    LOOP
        BEGIN
            EXECUTE check_sql INTO n, sample;
            IF n > 0 THEN
                PERFORM pg_temp.attention(format('%s: %s; строк %s. Они не видны в табелях',
                                                 check_name, left(sample, 400), n));
            END IF;
        EXCEPTION WHEN others THEN
            PERFORM pg_temp.refused(format('проверка: %s: %s', check_name, SQLERRM));
        END;
    END LOOP;

    -- The shift log, the timesheets and the reports take a worker's name from the ERP's persons:
    -- the monthly timesheets by id, the timesheet by shifts and the period reports by s_code. The
    -- upgrade does not write the ERP's persons; it says who is missing where.
    SELECT count(*), string_agg(w.id::text, ', ' ORDER BY w.id) INTO n, sample
    FROM accounts_dep.person w
    WHERE NOT EXISTS (SELECT 1 FROM cmn_contractor.person c WHERE c.id = w.id);
    IF n > 0 THEN
        PERFORM pg_temp.attention(format(
            'работников без строки cmn_contractor.person с тем же id: %s (%s). Их нет в '
            'окне «Табель сделка» и в табелях почасовых работ', n, left(sample, 400)));
    END IF;
    SELECT count(*), string_agg(w.id::text, ', ' ORDER BY w.id) INTO n, sample
    FROM accounts_dep.person w
    WHERE NOT EXISTS (SELECT 1 FROM cmn_contractor.person c WHERE c.s_code = w.id::text);
    IF n > 0 THEN
        PERFORM pg_temp.attention(format(
            'работников без строки cmn_contractor.person с s_code, равным их номеру: %s (%s). '
            'Их нет в табеле по сменам и в отчетах за период', n, left(sample, 400)));
    END IF;
    -- The shift log casts every personnel code to a number: one code with other characters stops
    -- it from opening.
    SELECT count(*), string_agg(format('id %s: «%s»', c.id, c.s_code), ', ' ORDER BY c.id)
    INTO n, sample
    FROM cmn_contractor.person c
    WHERE c.s_code IS NOT NULL AND c.s_code !~ '^\s*[+-]?[0-9]+\s*$';
    IF n > 0 THEN
        PERFORM pg_temp.attention(format(
            'в cmn_contractor.person s_code не из цифр: %s (%s). Журнал смен не откроется, пока '
            'они есть', n, left(sample, 400)));
    END IF;
EXCEPTION WHEN others THEN
    PERFORM pg_temp.refused(format('проверка работников: %s', SQLERRM));
END
$$;

-- ---------------------------------------------------------------------------------------------
\echo '== Итог'
-- ---------------------------------------------------------------------------------------------

\echo 'Чего не хватает программе (пока список не пуст, tabel не запустится на этой базе):'
\ir schema_ready.sql

SELECT kind AS "Итог", text AS "Что" FROM pg_temp.upgrade_log
WHERE kind <> 'сделано' ORDER BY n;
