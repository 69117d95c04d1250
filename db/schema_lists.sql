-- What the program relies on beyond the tables and their columns, kept as data in temporary tables
-- of the session, so that the two scripts that build it work from one list:
--   tabel_keys            the indexes and constraints that keep the data whole and the queries fast;
--   tabel_reserved_kinds  the hour-paid work kinds with their base price per hour.
-- db/schema.sql creates all of it in a new database; db/upgrade.sql adds each piece to an existing
-- database where its data allows. Both include this file with \ir.

DROP TABLE IF EXISTS pg_temp.tabel_keys;
CREATE TEMP TABLE tabel_keys (
    ord      integer PRIMARY KEY,     -- order of creation
    kind     text NOT NULL CHECK (kind IN ('index', 'unique index', 'unique', 'foreign key')),
    tbl      text NOT NULL,           -- schema-qualified table
    name     text NOT NULL,
    columns  text[],                  -- key columns; null for an index on an expression
    ref_tbl  text,                    -- foreign key: the referenced table and column
    ref_col  text,
    what     text NOT NULL,           -- for the upgrade's report: what the key keeps
    ddl      text NOT NULL,           -- the statement that creates it
    nulls_not_distinct boolean NOT NULL  -- unique index: an empty column counts as a value
);

INSERT INTO tabel_keys (ord, kind, tbl, name, columns, ref_tbl, ref_col, what, nulls_not_distinct,
                        ddl)
SELECT ord, kind, tbl, name, columns, ref_tbl, ref_col, what,
       body ILIKE '%nulls not distinct%',
       CASE kind
           WHEN 'index' THEN format('CREATE INDEX %I ON %s %s', name, tbl, body)
           WHEN 'unique index' THEN format('CREATE UNIQUE INDEX %I ON %s %s', name, tbl, body)
           WHEN 'unique' THEN format('ALTER TABLE %s ADD CONSTRAINT %I UNIQUE %s', tbl, name, body)
           ELSE format('ALTER TABLE %s ADD CONSTRAINT %I FOREIGN KEY (%I) REFERENCES %s (%I) %s',
                       tbl, name, columns[1], ref_tbl, ref_col, body)
       END
FROM (VALUES
    -- One monthly row per worker, month, shift, kind and day/night flag: the postings write the
    -- day's hours with one insert-or-update on this key.
    (1, 'unique', 'accounts_dep.h_tabel', 'h_tabel_row_key',
     '{w_id,month,year,smena,i_type,i_night}'::text[], NULL, NULL,
     '(w_id, month, year, smena, i_type, i_night)',
     'одна строка табеля на работника, месяц, смену, вид работ и признак ночных'),
    -- One entry per worker, operation, product, day, shift and colour; an entry without a colour
    -- (or another of these) is the same entry as another without it.
    (2, 'unique index', 'accounts_dep.smena', 'smena_entry_key',
     '{w_id,o_id,i_id,data,smena,color}', NULL, NULL,
     '(w_id, o_id, i_id, data, smena, color) NULLS NOT DISTINCT',
     'одна запись смены на работника, операцию, изделие, день, смену и цвет'),
    -- A delete that would leave entries without their worker, product or operation is refused;
    -- norms go with their operation.
    (10, 'foreign key', 'accounts_dep.smena', 'smena_w_id_fkey', '{w_id}',
     'accounts_dep.person', 'id', '', 'записи смен, чей работник удален'),
    (11, 'foreign key', 'accounts_dep.smena', 'smena_i_id_fkey', '{i_id}',
     'cmn_gds_and_srv.gds_and_srv', 'id', '', 'записи смен, чье изделие удалено'),
    (12, 'foreign key', 'accounts_dep.smena', 'smena_o_id_fkey', '{o_id}',
     'accounts_dep.oper', 'id', '', 'записи смен, чья операция удалена'),
    (13, 'foreign key', 'accounts_dep.oper', 'oper_vid_fkey', '{vid}',
     'accounts_dep.vid_oper', 'id', '', 'операции, чей вид операции удален'),
    (14, 'foreign key', 'accounts_dep.oper', 'oper_i_id_fkey', '{i_id}',
     'cmn_gds_and_srv.gds_and_srv', 'id', '', 'операции, чье изделие удалено'),
    (15, 'foreign key', 'accounts_dep.norm', 'norm_o_id_fkey', '{o_id}',
     'accounts_dep.oper', 'id', 'ON DELETE CASCADE', 'нормативы удаленных операций'),
    -- The filters of the queries.
    -- A day's or a month's entries, and a worker's month, with what the timesheets sum: the month's
    -- queries read the index alone, however the entries lie in the table (typed days apart,
    -- changed later, loaded from elsewhere). Known by name only: a plain index on the same columns
    -- does not answer from itself.
    (20, 'index', 'accounts_dep.smena', 'smena_month_idx', NULL, NULL, NULL,
     '(data) INCLUDE (w_id, smena, time, kol_vo, brak, cena)', ''),
    (21, 'index', 'accounts_dep.smena', 'smena_worker_month_idx', NULL, NULL, NULL,
     '(w_id, data) INCLUDE (time, kol_vo, brak, cena)', ''),
    (22, 'index', 'accounts_dep.smena', 'smena_i_id_o_id_idx', '{i_id,o_id}', NULL, NULL,
     '(i_id, o_id)', ''),
    (23, 'index', 'accounts_dep.smena', 'smena_o_id_idx', '{o_id}', NULL, NULL, '(o_id)', ''),
    -- The key of the goods table is numeric: the foreign key looks entries up by i_id as numeric.
    (24, 'index', 'accounts_dep.smena', 'smena_i_id_numeric_idx', NULL, NULL, NULL,
     '((i_id::numeric))', ''),
    (25, 'index', 'accounts_dep.h_tabel', 'h_tabel_year_month_w_id_idx', '{year,month,w_id}',
     NULL, NULL, '(year, month, w_id)', ''),
    (26, 'index', 'accounts_dep.fatigue', 'fatigue_d_date_idx', '{d_date}', NULL, NULL,
     '(d_date)', ''),
    (27, 'index', 'accounts_dep.fatigue', 'fatigue_id_p_d_date_idx', '{id_p,d_date}', NULL, NULL,
     '(id_p, d_date)', ''),
    (28, 'index', 'accounts_dep.norm', 'norm_o_id_idx', '{o_id}', NULL, NULL, '(o_id)', ''),
    (29, 'index', 'accounts_dep.oper', 'oper_i_id_idx', '{i_id}', NULL, NULL, '(i_id)', ''),
    (30, 'index', 'accounts_dep.oper', 'oper_vid_idx', '{vid}', NULL, NULL, '(vid)', ''),
    (31, 'index', 'cmn_classifier.item', 'item_id_level_idx', '{id_level}', NULL, NULL,
     '(id_level)', ''),
    (32, 'index', 'cmn_gds_and_srv.gds_and_srv', 'gds_and_srv_id_class_item_idx',
     '{id_class_item}', NULL, NULL, '(id_class_item)', ''),
    -- The shift log finds each entry's person by id or by this code (accounts_dep.person_code).
    (33, 'index', 'cmn_contractor.person', 'person_code_idx', NULL, NULL, NULL,
     '((accounts_dep.person_code(s_code)))', '')
) AS v (ord, kind, tbl, name, columns, ref_tbl, ref_col, body, what);

-- Hour-paid work kinds: the kind's id is also the work kind of the entries and the i_type of the
-- monthly rows they are posted to; each kind needs an operation on the reserved product 7777 (or
-- above) with a norm holding its base price per hour.
DROP TABLE IF EXISTS pg_temp.tabel_reserved_kinds;
CREATE TEMP TABLE tabel_reserved_kinds (
    id          integer PRIMARY KEY,
    name        text NOT NULL,
    base_price  double precision NOT NULL
);
INSERT INTO tabel_reserved_kinds VALUES
    (7777, 'Хоз. работы', 150.0),
    (7778, 'Среднесдельная', 200.0);

-- The product that carries the hour-paid operations.
DROP TABLE IF EXISTS pg_temp.tabel_reserved_product;
CREATE TEMP TABLE tabel_reserved_product (
    id           integer PRIMARY KEY,
    caption      text NOT NULL,
    description  text NOT NULL,
    unit         integer NOT NULL
);
INSERT INTO tabel_reserved_product VALUES
    (7777, 'Почасовые работы', 'Хоз. работы и среднесдельная оплата', 6);
