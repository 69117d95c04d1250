-- What tabel needs of its database so that no data is lost or spoilt, one row per missing piece,
-- no rows when the database is ready:
--   - the shop's relations;
--   - a primary key on id and an id assigned by the database, in every table the program writes
--     rows of by id (it changes and deletes single rows by id; the timesheets group by the key);
--   - the defaults 0 of the monthly rows' kind columns (rows posted without them fall out of every
--     timesheet) and the unique key of the monthly rows (the postings write on it).
-- tabel and tabel-report run it right after connecting and refuse to work while a row comes back;
-- db/upgrade.sql brings an existing database there and prints it at the end. It reads the catalogue
-- only, so it runs on any database.
WITH relations (ord, rel) AS (VALUES
    (1, 'accounts_dep.smena'), (2, 'accounts_dep.h_tabel'), (3, 'accounts_dep.oper'),
    (4, 'accounts_dep.norm'), (5, 'accounts_dep.vid_oper'), (6, 'accounts_dep.person'),
    (7, 'accounts_dep.fatigue'), (8, 'accounts_dep.izdel'), (9, 'accounts_dep.ver')
),
keyed AS (
    SELECT r.ord, r.rel, to_regclass(r.rel) AS oid,
           (SELECT a.attnum FROM pg_attribute a
            WHERE a.attrelid = to_regclass(r.rel) AND a.attname = 'id' AND NOT a.attisdropped) AS id
    FROM relations r
    WHERE r.ord <= 7 AND to_regclass(r.rel) IS NOT NULL
),
kind_columns (ord, col) AS (VALUES (1, 'smena'), (2, 'i_type'), (3, 'i_night')),
gaps (ord, item) AS (
    SELECT r.ord * 10, format('нет таблицы %s', r.rel)
    FROM relations r
    WHERE to_regclass(r.rel) IS NULL
    UNION ALL
    SELECT k.ord * 10 + 1, format('нет первичного ключа %s (id)', k.rel)
    FROM keyed k
    WHERE NOT EXISTS (SELECT 1 FROM pg_constraint c
                      WHERE c.conrelid = k.oid AND c.contype = 'p' AND c.conkey = ARRAY[k.id])
    UNION ALL
    SELECT k.ord * 10 + 2, format('у столбца %s.id нет значения по умолчанию (номера новых строк)',
                                  k.rel)
    FROM keyed k
    WHERE NOT EXISTS (SELECT 1 FROM pg_attribute a
                      WHERE a.attrelid = k.oid AND a.attnum = k.id
                        AND (a.atthasdef OR a.attidentity <> ''))
    UNION ALL
    SELECT 100 + c.ord, format('у столбца accounts_dep.h_tabel.%s нет значения по умолчанию 0', c.col)
    FROM kind_columns c
    WHERE to_regclass('accounts_dep.h_tabel') IS NOT NULL
      AND NOT EXISTS (SELECT 1 FROM pg_attribute a
                      JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum
                      WHERE a.attrelid = to_regclass('accounts_dep.h_tabel') AND a.attname = c.col
                        AND pg_get_expr(d.adbin, d.adrelid) = '0')
    UNION ALL
    -- Any unique index on exactly these columns serves the postings' insert-or-update.
    SELECT 110, 'нет уникального ключа строк табеля accounts_dep.h_tabel '
                '(w_id, month, year, smena, i_type, i_night)'
    WHERE to_regclass('accounts_dep.h_tabel') IS NOT NULL
      AND NOT EXISTS (
          SELECT 1 FROM pg_index i
          WHERE i.indrelid = to_regclass('accounts_dep.h_tabel') AND i.indisunique AND i.indisvalid
            AND i.indpred IS NULL AND i.indexprs IS NULL
            AND (SELECT array_agg(a.attname::text ORDER BY a.attname)
                 FROM pg_attribute a
                 WHERE a.attrelid = i.indrelid
                   AND a.attnum = ANY (i.indkey[0:i.indnkeyatts - 1]))
                = ARRAY['i_night', 'i_type', 'month', 'smena', 'w_id', 'year'])
)
SELECT item AS "Программе не хватает" FROM gaps ORDER BY ord;
