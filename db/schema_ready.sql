-- What tabel needs of its database so that no data is lost or spoilt and no window or report fails
-- later, one row per missing piece, no rows when the database is ready:
--   - the shop's relations and the ERP's relations the program reads, with every column it reads
--     of a kind it can use (a number, a date, a text, a yes/no);
--   - a primary key on id and an id assigned by the database, in every table the program writes
--     rows of by id (it changes and deletes single rows by id; the timesheets group by the key);
--     in the ERP's products and groups a unique id assigned by the database;
--   - the defaults 0 of the monthly rows' kind columns (rows posted without them fall out of every
--     timesheet) and the unique key of the monthly rows (the postings write on it);
--   - the types t_id and t_integer and personnel codes that they can read: the shift log, the
--     timesheets and the reports turn cmn_contractor.person.s_code into a whole number.
-- tabel and tabel-report run it right after connecting and refuse to work while a row comes back;
-- db/upgrade.sql brings an existing database there and prints it at the end. Apart from the
-- personnel codes it reads the catalogue only, so it runs on any database; the codes are read
-- through query_to_xml so that one statement also runs where the table or column is missing.
WITH relations (ord, rel, erp, what) AS (VALUES
    (1, 'accounts_dep.smena', false, ''), (2, 'accounts_dep.h_tabel', false, ''),
    (3, 'accounts_dep.oper', false, ''), (4, 'accounts_dep.norm', false, ''),
    (5, 'accounts_dep.vid_oper', false, ''), (6, 'accounts_dep.person', false, ''),
    (7, 'accounts_dep.fatigue', false, ''), (8, 'accounts_dep.izdel', false, ''),
    (9, 'accounts_dep.ver', false, ''),
    (10, 'cmn_contractor.person', true, 'имена и личные номера работников'),
    (11, 'cmn_gds_and_srv.gds_and_srv', true, 'изделия'),
    (12, 'cmn_classifier.item', true, 'группы номенклатуры'),
    (13, 'cmn_department.department', true, 'подразделения'),
    (14, 'hrms_staffpos.staffpos', true, 'должности'),
    (15, 'adm_role.roles', true, 'роли')
),
-- The tables whose rows the program adds, changes and deletes by id.
keyed AS (
    SELECT r.ord, r.rel, r.erp, to_regclass(r.rel) AS oid,
           (SELECT a.attnum FROM pg_attribute a
            WHERE a.attrelid = to_regclass(r.rel) AND a.attname = 'id' AND NOT a.attisdropped) AS id
    FROM relations r
    WHERE (r.ord <= 7 OR r.ord IN (11, 12)) AND to_regclass(r.rel) IS NOT NULL
),
kind_columns (ord, col) AS (VALUES (1, 'smena'), (2, 'i_type'), (3, 'i_night')),
-- The columns the program reads, by the kind of value it expects (typcategory: N number, D date or
-- time, S text, B yes/no; s_code is read as text and turned into a number, so a number serves too).
wanted_lists (rel, kinds, cols) AS (VALUES
    ('accounts_dep.smena', 'N', 'id w_id i_id o_id cena kol_vo brak smena color time prize id_doc '
                                'id_doc_item f_gds_qty_use id_gds_use id_cons_use'),
    ('accounts_dep.smena', 'D', 'data vvod'),
    ('accounts_dep.smena', 'S', 'ok'),
    ('accounts_dep.h_tabel', 'N', 'id w_id month year smena i_type i_night d1 d2 d3 d4 d5 d6 d7 d8 '
                                  'd9 d10 d11 d12 d13 d14 d15 d16 d17 d18 d19 d20 d21 d22 d23 d24 '
                                  'd25 d26 d27 d28 d29 d30 d31'),
    ('accounts_dep.oper', 'N', 'id vid naimen i_id cena_new'),
    ('accounts_dep.norm', 'N', 'id o_id norma prize price'),
    ('accounts_dep.vid_oper', 'N', 'id'),
    ('accounts_dep.vid_oper', 'S', 'vid'),
    ('accounts_dep.person', 'N', 'id'),
    ('accounts_dep.person', 'S', 'fio s_staffpos_hl'),
    ('accounts_dep.fatigue', 'N', 'id id_nom id_o id_p i_mnth i_year i_smena cnt price i_holiday '
                                  'i_night'),
    ('accounts_dep.fatigue', 'D', 'd_date'),
    ('accounts_dep.izdel', 'N', 'id massa id_class_item id_nom'),
    ('accounts_dep.izdel', 'S', 'marka nom'),
    ('accounts_dep.ver', 'N', 'd t'),
    ('accounts_dep.ver', 'S', 'delim'),
    ('cmn_contractor.person', 'N', 'id'),
    ('cmn_contractor.person', 'S', 's_caption'),
    ('cmn_contractor.person', 'SN', 's_code'),
    ('cmn_gds_and_srv.gds_and_srv', 'N', 'id id_msm_bs massa id_class_item'),
    ('cmn_gds_and_srv.gds_and_srv', 'S', 's_caption s_description'),
    ('cmn_classifier.item', 'N', 'id id_classifier id_level id_parent'),
    ('cmn_classifier.item', 'S', 's_code s_caption s_description'),
    ('cmn_classifier.item', 'B', 'b_excluded'),
    ('cmn_classifier.item', 'D', 'd_excluded_date'),
    ('cmn_department.department', 'N', 'id id_branch id_parent'),
    ('cmn_department.department', 'S', 's_code s_caption s_description'),
    ('hrms_staffpos.staffpos', 'N', 'id id_department'),
    ('hrms_staffpos.staffpos', 'S', 's_code s_caption s_description'),
    ('hrms_staffpos.staffpos', 'D', 'd_begin d_end'),
    ('adm_role.roles', 'N', 'id'),
    ('adm_role.roles', 'S', 's_name s_caption'),
    ('adm_role.roles', 'D', 'd_begin d_end'),
    ('adm_role.roles', 'B', 'b_active')
),
wanted AS (
    SELECT r.ord, w.rel, w.kinds, c.col, c.n,
           CASE w.kinds WHEN 'N' THEN 'число' WHEN 'D' THEN 'дата' WHEN 'S' THEN 'текст'
                        WHEN 'B' THEN 'да/нет' ELSE 'текст или число' END AS kind_name,
           CASE w.kinds WHEN 'N' THEN 'число' WHEN 'D' THEN 'дату' WHEN 'S' THEN 'текст'
                        WHEN 'B' THEN 'да/нет' ELSE 'текст или число' END AS read_as,
           a.attname IS NOT NULL AS present, t.typcategory,
           format_type(a.atttypid, a.atttypmod) AS type_name
    FROM wanted_lists w
    JOIN relations r ON r.rel = w.rel
    CROSS JOIN LATERAL unnest(string_to_array(w.cols, ' ')) WITH ORDINALITY AS c (col, n)
    LEFT JOIN pg_attribute a ON a.attrelid = to_regclass(w.rel) AND a.attname = c.col
                            AND a.attnum > 0 AND NOT a.attisdropped
    LEFT JOIN pg_type t ON t.oid = a.atttypid
    WHERE to_regclass(w.rel) IS NOT NULL
),
-- Personnel codes that the cast to a whole number refuses (the first ten by id, and how many in
-- all); an empty code is read as no code.
bad_codes AS (
    SELECT x.id, x.code, x.total
    FROM XMLTABLE('/table/row' PASSING (
             CASE WHEN (SELECT count(*) FROM wanted
                        WHERE rel = 'cmn_contractor.person' AND col IN ('id', 's_code')
                          AND present) = 2
                  THEN query_to_xml(
                      'SELECT id, s_code AS code, count(*) OVER () AS total '
                      'FROM cmn_contractor.person '
                      'WHERE s_code IS NOT NULL AND CASE '
                      '    WHEN s_code::text ~ ''^\s*[+-]?[0-9]+\s*$'' THEN '
                      '        regexp_replace(s_code::text, ''^\s+|\s+$'', '''', ''g'')::numeric '
                      '        NOT BETWEEN -2147483648 AND 2147483647 '
                      '    ELSE true END '
                      'ORDER BY id LIMIT 10', false, false, '')
             END)
         COLUMNS id numeric PATH 'id', code text PATH 'code', total bigint PATH 'total') AS x
),
gaps (ord, item) AS (
    SELECT r.ord * 10, format('нет таблицы %s', r.rel) ||
           CASE WHEN r.erp THEN format(' (%s, таблица ERP): окна и отчеты, которые ее читают, '
                                       'завершатся ошибкой; восстановите ее из резервной копии '
                                       'базы ERP', r.what)
                ELSE '' END
    FROM relations r
    WHERE to_regclass(r.rel) IS NULL
    UNION ALL
    SELECT k.ord * 10 + 1, format('нет первичного ключа %s (id)', k.rel)
    FROM keyed k
    WHERE NOT k.erp
      AND NOT EXISTS (SELECT 1 FROM pg_constraint c
                      WHERE c.conrelid = k.oid AND c.contype = 'p' AND c.conkey = ARRAY[k.id])
    UNION ALL
    -- A unique index of the ERP's own serves as well as a primary key.
    SELECT k.ord * 10 + 1,
           format('нет уникального ключа %s (id): программа меняет и удаляет строки по id, и на '
                  'него ссылаются внешние ключи записей смен и операций; db/upgrade.sql добавляет '
                  'первичный ключ, когда номера id не повторяются', k.rel)
    FROM keyed k
    WHERE k.erp
      AND NOT EXISTS (SELECT 1 FROM pg_index i
                      WHERE i.indrelid = k.oid AND i.indisunique AND i.indisvalid
                        AND i.indpred IS NULL AND i.indexprs IS NULL AND i.indnkeyatts = 1
                        AND i.indkey[0] = k.id)
    UNION ALL
    SELECT k.ord * 10 + 2, format('у столбца %s.id нет значения по умолчанию (номера новых строк)',
                                  k.rel)
    FROM keyed k
    WHERE NOT EXISTS (SELECT 1 FROM pg_attribute a
                      WHERE a.attrelid = k.oid AND a.attnum = k.id
                        AND (a.atthasdef OR a.attidentity <> ''))
    UNION ALL
    SELECT 200 + c.ord, format('у столбца accounts_dep.h_tabel.%s нет значения по умолчанию 0', c.col)
    FROM kind_columns c
    WHERE to_regclass('accounts_dep.h_tabel') IS NOT NULL
      AND NOT EXISTS (SELECT 1 FROM pg_attribute a
                      JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum
                      WHERE a.attrelid = to_regclass('accounts_dep.h_tabel') AND a.attname = c.col
                        AND pg_get_expr(d.adbin, d.adrelid) = '0')
    UNION ALL
    -- Any unique index on exactly these columns serves the postings' insert-or-update.
    SELECT 210, 'нет уникального ключа строк табеля accounts_dep.h_tabel '
                '(w_id, month, year, smena, i_type, i_night)'
    WHERE to_regclass('accounts_dep.h_tabel') IS NOT NULL
      AND NOT EXISTS (
          SELECT 1 FROM pg_index i
          WHERE i.indrelid = to_regclass('accounts_dep.h_tabel') AND i.indisunique AND i.indisvalid
            AND i.indpred IS NULL AND i.indexprs IS NULL
            AND (SELECT array_agg(a.attname::text ORDER BY a.attname)
                 FROM pg_attribute a
                 WHERE a.attrelid = i.indrelid
                   -- (a blank after the colon: the program reads ":name" as its placeholder)
                   AND a.attnum = ANY (i.indkey[0 : i.indnkeyatts - 1]))
                = ARRAY['i_night', 'i_type', 'month', 'smena', 'w_id', 'year'])
    UNION ALL
    -- A column added to a table the program (or the database's posting) adds rows to, that may
    -- not be empty and has no default: every such row would be refused.
    SELECT 2000 + r.ord * 10,
           format('у столбца %s.%s нет значения по умолчанию, а пустым он быть не может (NOT '
                  'NULL): программа его не заполняет, и каждая новая строка таблицы будет '
                  'отвергнута; задайте ему значение по умолчанию или разрешите пустое значение',
                  r.rel, a.attname)
    FROM relations r
    JOIN pg_attribute a ON a.attrelid = to_regclass(r.rel)
    WHERE r.ord <= 7 AND a.attnum > 0 AND NOT a.attisdropped AND a.attnotnull
      AND NOT a.atthasdef AND a.attidentity = '' AND a.attgenerated = ''
      AND NOT EXISTS (SELECT 1 FROM wanted w WHERE w.rel = r.rel AND w.col = a.attname)
    UNION ALL
    SELECT 1000 + w.ord * 100 + w.n,
           format('нет столбца %s.%s (%s), который читает программа: окна и отчеты, которые его '
                  'читают, завершатся ошибкой; верните столбец в таблицу', w.rel, w.col, w.kind_name)
    FROM wanted w
    WHERE NOT w.present
    UNION ALL
    SELECT 1000 + w.ord * 100 + w.n,
           format('столбец %s.%s имеет тип %s, а программа читает его как %s: запросы, которые его '
                  'читают, завершатся ошибкой или сочтут неверно; приведите тип столбца (ALTER '
                  'TABLE %s ALTER COLUMN %s TYPE …)', w.rel, w.col, w.type_name, w.read_as,
                  w.rel, w.col)
    FROM wanted w
    WHERE w.present AND position(w.typcategory IN w.kinds) = 0
    UNION ALL
    SELECT 3000 + d.n,
           CASE WHEN d.found IS NULL
                THEN format('нет типа %s (целое число): журнал смен, табели и отчеты приводят к '
                            'нему личные номера и завершатся ошибкой; db/upgrade.sql создает его',
                            d.name)
                ELSE format('тип %s — не целое число (%s): журнал смен, табели и отчеты сравнивают '
                            'его с номерами работников; нужен домен над integer', d.name,
                            format_type(d.found, NULL))
           END
    -- The session's own search path first; the upgrade looks in the system catalog only, and
    -- makes the types in public.
    FROM (SELECT v.n, v.name, coalesce(to_regtype(v.name), to_regtype('public.' || v.name)) AS found
          FROM (VALUES (1, 't_id'), (2, 't_integer')) AS v (n, name)) AS d
    WHERE d.found IS NULL
       OR (SELECT typcategory FROM pg_type WHERE oid = d.found) <> 'N'
    UNION ALL
    SELECT 3100, 'нет функции accounts_dep.person_code(text): журнал смен находит по ней работников '
                 'записей и завершится ошибкой; db/upgrade.sql создает ее'
    WHERE to_regprocedure('accounts_dep.person_code(text)') IS NULL
    UNION ALL
    -- The writes the database makes itself: without them entries would reach no timesheet,
    -- months could not be closed and the version could not be raised.
    SELECT 3200 + f.n, format('нет функции %s (%s); db/upgrade.sql создает ее', f.name, f.what)
    FROM (VALUES (1, 'accounts_dep.post_hours(text,jsonb,jsonb)', 'часы записей в табеле'),
                 (2, 'accounts_dep.close_month(integer,integer)', 'закрытие месяца'),
                 (3, 'accounts_dep.open_month(integer,integer)', 'открытие месяца'),
                 (4, 'accounts_dep.raise_version(integer,integer)', 'строка версии'))
         AS f (n, name, what)
    WHERE to_regprocedure(f.name) IS NULL
    UNION ALL
    SELECT 3300 + g.n, format('нет группы %s (права роли «%s»); db/upgrade.sql создает ее',
                              g.name, g.role)
    FROM (VALUES (1, 'tabel_full', 'полный доступ'), (2, 'tabel_planning', 'планирование'),
                 (3, 'tabel_foremen', 'мастера'), (4, 'tabel_warehouse', 'склад')) AS g (n, name, role)
    WHERE to_regrole(g.name) IS NULL
    UNION ALL
    SELECT 4000,
           format('личные номера cmn_contractor.person.s_code, которые не целое число: журнал '
                  'смен, табели и отчеты приводят их к числу и завершатся ошибкой «invalid input '
                  'syntax for type integer»; впишите в s_code табельный номер цифрами или очистите '
                  'его. Строки (всего %s): %s%s', max(b.total),
                  string_agg(format('id %s «%s»', b.id, b.code), ', ' ORDER BY b.id),
                  CASE WHEN max(b.total) > count(*)
                       THEN format(', … и ещё %s', max(b.total) - count(*)) ELSE '' END)
    FROM bad_codes b
    HAVING count(*) > 0
)
SELECT item AS "Программе не хватает" FROM (
    SELECT ord, item FROM gaps
    UNION ALL
    -- Closed months and the history of entries: the windows read the closed months, and without
    -- the triggers a closed month takes changes and the history misses them.
    SELECT 5000 + g.n, g.text
    FROM (VALUES
        (1, to_regclass('accounts_dep.closed_month') IS NULL,
         'нет таблицы закрытых месяцев accounts_dep.closed_month (её создает db/upgrade.sql)'),
        (2, to_regclass('accounts_dep.entry_history') IS NULL,
         'нет истории изменений записей accounts_dep.entry_history (её создает db/upgrade.sql)'),
        (3, (SELECT count(*) FROM pg_trigger
             WHERE tgname IN ('smena_history', 'fatigue_history', 'h_tabel_month_guard_ins',
                              'h_tabel_month_guard_upd', 'h_tabel_month_guard_del')
               AND NOT tgisinternal AND tgenabled <> 'D') < 5,
         'нет триггеров закрытых месяцев и истории изменений записей (их создает '
         'db/upgrade.sql): закрытый месяц можно изменить, история не пишется')
    ) AS g (n, missing, text)
    WHERE g.missing
    UNION ALL
    -- The production calendar: every question "is this a day off?" reads it, and the program fills
    -- its new years with its function.
    SELECT 5100, 'нет таблицы accounts_dep.prod_calendar (производственный календарь): журнал '
                 'смен, почасовые работы и табели не узнают выходные и праздники; db/upgrade.sql '
                 'создает ее'
    WHERE to_regclass('accounts_dep.prod_calendar') IS NULL
    UNION ALL
    SELECT 5101, 'нет функции accounts_dep.prod_calendar_fill(integer), которая вносит праздники '
                 'нового года в производственный календарь; db/upgrade.sql создает ее'
    WHERE to_regprocedure('accounts_dep.prod_calendar_fill(integer)') IS NULL
    UNION ALL
    -- Absences, the settings of the form T-13 and the payroll indicators: the monthly timesheet
    -- and its month-end papers read them; without the triggers an absence lands in a closed month.
    SELECT 5200 + g.n, g.text
    FROM (VALUES
        (1, to_regclass('accounts_dep.absence') IS NULL
            OR to_regclass('accounts_dep.absence_kind') IS NULL,
         'нет таблиц отсутствий accounts_dep.absence и accounts_dep.absence_kind (их создает '
         'db/upgrade.sql)'),
        (2, to_regclass('accounts_dep.site_setting') IS NULL
            OR to_regclass('accounts_dep.payroll_indicator') IS NULL,
         'нет настроек формы Т-13 accounts_dep.site_setting и показателей для зарплаты '
         'accounts_dep.payroll_indicator (их создает db/upgrade.sql)'),
        (3, (SELECT count(*) FROM pg_trigger
             WHERE tgname IN ('absence_history', 'absence_without_hours')
               AND NOT tgisinternal AND tgenabled <> 'D') < 2,
         'нет триггеров отсутствий (их создает db/upgrade.sql): отсутствие можно отметить в '
         'закрытом месяце, история не пишется')
    ) AS g (n, missing, text)
    WHERE g.missing
) everything
ORDER BY ord, item;
