-- Demo data for tabel: a believable shop with workers, nomenclature groups, products, operation
-- kinds, operations with their norms, shift entries, hour-paid entries and the monthly timesheet
-- rows that belong to them.
--
-- Usage (as the database owner, into a database that has db/schema.sql and no data of its own):
--     psql -v ON_ERROR_STOP=1 [-v workers=60] [-v products=40] [-v operations=250] [-v months=3] \
--          -f db/demo_data.sql
--
--   workers     number of workers
--   products    number of products (spread over seven nomenclature groups; an eighth group,
--               "Хозяйственные нужды", has no products and takes household works)
--   operations  number of operations (at most 17 per product: each product gets each operation
--               kind at most once), each with 1 to 3 norms
--   months      months of entries, counted back from the current one: 3 covers the two previous
--               months and the current month up to today
--
-- The script refuses to run on a database that already holds workers, products, entries or
-- timesheet rows (load it once, right after the schema). It runs in one transaction and is
-- deterministic for a given day: the same sizes on the same date give the same rows.
--
-- What it makes:
--   * shift entries in shifts 1-3 (each worker's shift changes every week) and in the overtime
--     list 4, on most weekdays and a few weekend days; paint operations (kind names containing
--     "КРАСКА" when upper-cased) carry a colour number, all others colour 0; most entries before
--     today are accepted ("ok" or "да"), the others and most of today's are "no";
--   * piece prices: the lowest norm price of the operation, ×2.0 on Saturday and Sunday, then
--     ×1.2 in shift 3 or ×1.5 in the overtime list;
--   * hour-paid entries (7777 household works, 7778 average piece rate) mostly on weekdays a
--     worker has no shift entries, booked on a nomenclature group, shift 1, by day or by night,
--     priced from the kinds' norms ×2.0 on a day off and ×1.2 at night;
--   * monthly timesheet rows built from both, as the month rebuilds write them: shift rows
--     (smena 1-4, i_type 0, day = hours of that shift and day) and hour-paid rows (smena 0,
--     i_type = kind, i_night = flag, day = hours of that kind and flag).
-- At the default sizes it makes about 6,000 shift entries; 500 workers, 300 products and 2,000
-- operations over 24 months make about 570,000 (in about half a minute).

\set ON_ERROR_STOP on
\if :{?workers}
\else
\set workers 60
\endif
\if :{?products}
\else
\set products 40
\endif
\if :{?operations}
\else
\set operations 250
\endif
\if :{?months}
\else
\set months 3
\endif

SET client_min_messages = warning;
BEGIN;
-- One backend evaluates every random() in a fixed order: the data are reproducible.
SET LOCAL max_parallel_workers_per_gather = 0;
SET LOCAL synchronous_commit = off;

CREATE TEMP TABLE demo_param ON COMMIT DROP AS
SELECT :workers::integer    AS workers,
       :products::integer   AS products,
       :operations::integer AS operations,
       :months::integer     AS months,
       (date_trunc('month', current_date) - make_interval(months => :months::integer - 1))::date
                            AS first_day,
       current_date         AS last_day;

DO $$
DECLARE
    p demo_param%ROWTYPE;
BEGIN
    SELECT * INTO p FROM demo_param;
    IF p.workers < 1 OR p.products < 1 OR p.operations < 1 OR p.months < 1 THEN
        RAISE EXCEPTION 'demo data: workers, products, operations and months must be at least 1';
    END IF;
    IF EXISTS (SELECT 1 FROM accounts_dep.person)
       OR EXISTS (SELECT 1 FROM accounts_dep.smena)
       OR EXISTS (SELECT 1 FROM accounts_dep.fatigue)
       OR EXISTS (SELECT 1 FROM accounts_dep.h_tabel)
       OR EXISTS (SELECT 1 FROM cmn_gds_and_srv.gds_and_srv WHERE id <> 7777)
       OR EXISTS (SELECT 1 FROM accounts_dep.vid_oper WHERE id NOT IN (7777, 7778)) THEN
        RAISE EXCEPTION 'demo data: the database already holds data; load the demo data only into a fresh schema';
    END IF;
    PERFORM setseed(0.2007);
END
$$;

-- Generated entries stand for work typed in long ago: they leave no change history (the history
-- triggers are off until the end of this transaction).
ALTER TABLE accounts_dep.smena DISABLE TRIGGER smena_history;
ALTER TABLE accounts_dep.fatigue DISABLE TRIGGER fatigue_history;
-- The monthly rows are written below from the entries at once, not posted entry by entry.
ALTER TABLE accounts_dep.smena DISABLE TRIGGER smena_post_hours_ins;
ALTER TABLE accounts_dep.fatigue DISABLE TRIGGER fatigue_post_hours_ins;
-- No absence is marked yet: the guard against hours on an absent day would only lock each worker's
-- month, more locks than one transaction may hold in a shop of a thousand workers and a year.
ALTER TABLE accounts_dep.smena DISABLE TRIGGER smena_without_absence;
ALTER TABLE accounts_dep.fatigue DISABLE TRIGGER fatigue_without_absence;

-- ---------------------------------------------------------------------------------------------
-- Nomenclature groups: a root item and eight groups of level 2
-- ---------------------------------------------------------------------------------------------

INSERT INTO cmn_classifier.item (id_classifier, id_level, s_code, s_caption, s_description, b_excluded, id_parent)
VALUES (1, 1, '1', 'Номенклатура цеха', '', false, NULL);

CREATE TEMP TABLE demo_group ON COMMIT DROP AS
SELECT * FROM (VALUES
    (1, 'ТН', 'Трубы напорные'),
    (2, 'ПО', 'Профиль оконный'),
    (3, 'ПД', 'Подоконники'),
    (4, 'ПС', 'Панели стеновые'),
    (5, 'ФТ', 'Фитинги'),
    (6, 'ТП', 'Тара пластиковая'),
    (7, 'УР', 'Уголки и раскладки'),
    (8, NULL, 'Хозяйственные нужды')
) AS g (gn, prefix, caption);

INSERT INTO cmn_classifier.item (id_classifier, id_level, s_code, s_caption, s_description, b_excluded, id_parent)
SELECT 1, 2, '1' || lpad(g.gn::text, 2, '0'), g.caption, '', false,
       (SELECT id FROM cmn_classifier.item WHERE id_level = 1 AND s_code = '1')
FROM demo_group g
ORDER BY g.gn;

ALTER TABLE demo_group ADD COLUMN id numeric(15,0);
UPDATE demo_group g SET id = i.id
FROM cmn_classifier.item i
WHERE i.id_level = 2 AND i.s_code = '1' || lpad(g.gn::text, 2, '0');

-- ---------------------------------------------------------------------------------------------
-- Products: "<prefix>-<size> <colour>" (all different), spread over the seven product groups
-- ---------------------------------------------------------------------------------------------

INSERT INTO cmn_gds_and_srv.gds_and_srv (s_caption, s_description, id_msm_bs, massa, id_class_item)
SELECT g.prefix || '-' || (ARRAY[40, 63, 90, 110, 120, 160, 200, 250])[(s.k + s.gn) % 8 + 1] || ' '
         || (ARRAY['белый', 'серый', 'коричневый', 'чёрный', 'бежевый', 'синий', 'зелёный',
                   'красный'])[(s.k / 8 + s.k) % 8 + 1]
         || CASE WHEN s.k >= 64 THEN ' исп. ' || (s.k / 64 + 1) ELSE '' END,
       '', 6,
       (ARRAY[0.01, 0.02, 0.05, 0.1, 0.125, 0.2, 0.25, 0.5, 1])[1 + floor(random() * 9)::integer],
       g.id
FROM (SELECT n, (n - 1) % 7 + 1 AS gn, (n - 1) / 7 AS k
      FROM generate_series(1, (SELECT products FROM demo_param)) AS n) s
JOIN demo_group g ON g.gn = s.gn
ORDER BY s.n;

CREATE TEMP TABLE demo_product ON COMMIT DROP AS
SELECT (row_number() OVER (ORDER BY id) - 1)::integer AS pn, id::integer AS id,
       0.7 + random() * 0.9 AS price_factor
FROM cmn_gds_and_srv.gds_and_srv
WHERE id <> 7777
ORDER BY id;

-- ---------------------------------------------------------------------------------------------
-- Operation kinds: name, product kind (1 blanks, 0 finished), base piece price, pieces per hour
-- ---------------------------------------------------------------------------------------------

CREATE TEMP TABLE demo_kind_src ON COMMIT DROP AS
SELECT * FROM (VALUES
    ( 1, 'Литьё',                 1, 4.80,  40),
    ( 2, 'Экструзия',             1, 3.60,  60),
    ( 3, 'Резка в размер',        1, 1.60,  80),
    ( 4, 'Зачистка облоя',        1, 1.20,  90),
    ( 5, 'Термообработка',        1, 2.80,  60),
    ( 6, 'Сверление',             0, 2.00,  70),
    ( 7, 'Фрезеровка',            0, 3.20,  45),
    ( 8, 'Шлифовка',              0, 2.40,  50),
    ( 9, 'Окраска КРАСКА',        0, 10.00, 25),
    (10, 'Подкраска КРАСКА',      0, 4.80,  40),
    (11, 'Покраска порошковая',   0, 12.00, 20),
    (12, 'Сборка',                0, 8.00,  20),
    (13, 'Сварка швов',           0, 6.00,  30),
    (14, 'Маркировка',            0, 0.80, 120),
    (15, 'Контроль ОТК',          0, 1.40,  90),
    (16, 'Упаковка',              0, 1.00, 100),
    (17, 'Комплектация',          0, 1.80,  70)
) AS k (kn, name, naimen, base_price, rate);

INSERT INTO accounts_dep.vid_oper (vid)
SELECT name FROM demo_kind_src ORDER BY kn;

CREATE TEMP TABLE demo_kind ON COMMIT DROP AS
SELECT s.kn - 1 AS kx, v.id, s.name, s.naimen, s.base_price, s.rate,
       upper(s.name) LIKE '%КРАСКА%' AS paint
FROM demo_kind_src s
JOIN accounts_dep.vid_oper v ON v.vid = s.name AND v.id NOT IN (7777, 7778);

-- ---------------------------------------------------------------------------------------------
-- Operations: product p gets kinds (5p + 3r) mod 17 for r = 0, 1, ... (never one kind twice)
-- ---------------------------------------------------------------------------------------------

INSERT INTO accounts_dep.oper (vid, naimen, i_id, cena_new)
SELECT k.id, k.naimen, p.id, 0
FROM (SELECT j, j % prm.products AS pn, j / prm.products AS r
      FROM demo_param prm,
           generate_series(0, least(prm.operations, 17 * prm.products) - 1) AS j) s
JOIN demo_product p ON p.pn = s.pn
JOIN demo_kind k ON k.kx = (5 * s.pn + 3 * s.r) % 17
ORDER BY s.j;

-- Operations in the order of kind and product: a run of neighbours is one trade on many products.
CREATE TEMP TABLE demo_op ON COMMIT DROP AS
SELECT (row_number() OVER (ORDER BY o.vid, o.i_id) - 1)::integer AS idx,
       o.id, o.i_id, o.vid, k.paint, k.rate, k.naimen,
       round((k.base_price * p.price_factor)::numeric, 2) AS base_price,
       1 + floor(random() * 3)::integer AS norms
FROM accounts_dep.oper o
JOIN demo_kind k ON k.id = o.vid
JOIN demo_product p ON p.id = o.i_id
ORDER BY o.id;
CREATE UNIQUE INDEX ON demo_op (idx);

-- Norms: the first holds the lowest price; further norms ask more pieces for a higher price.
INSERT INTO accounts_dep.norm (o_id, norma, prize, price)
SELECT o.id, (o.rate * 8 * (1 + 0.25 * (n - 1)))::integer, 5 * (n - 1),
       round(o.base_price * (1 + 0.15 * (n - 1)), 2)::double precision
FROM demo_op o, generate_series(1, o.norms) AS n
ORDER BY o.id, n;

ALTER TABLE demo_op ADD COLUMN min_price numeric;
UPDATE demo_op o SET min_price = (SELECT min(price)::numeric FROM accounts_dep.norm n WHERE n.o_id = o.id);

-- ---------------------------------------------------------------------------------------------
-- Workers: "Surname I.I.", all different; mirrored into cmn_contractor.person by the trigger
-- ---------------------------------------------------------------------------------------------

CREATE TEMP TABLE demo_worker_src ON COMMIT DROP AS
WITH names AS (
    SELECT ARRAY['Иванов', 'Петров', 'Сидоров', 'Смирнов', 'Кузнецов', 'Попов', 'Васильев',
                 'Соколов', 'Михайлов', 'Новиков', 'Фёдоров', 'Морозов', 'Волков', 'Алексеев',
                 'Лебедев', 'Семёнов', 'Егоров', 'Павлов', 'Козлов', 'Степанов', 'Николаев',
                 'Орлов', 'Андреев', 'Макаров', 'Никитин', 'Захаров', 'Зайцев', 'Соловьёв',
                 'Борисов', 'Яковлев', 'Григорьев', 'Романов', 'Воробьёв', 'Сергеев', 'Ершов',
                 'Ёлкин', 'Ёжиков', 'Жуков', 'Щербаков', 'Чернов', 'Широков', 'Юдин',
                 'Абрамов', 'Белов', 'Гусев', 'Дмитриев', 'Тарасов', 'Уткин', 'Филиппов',
                 'Харитонов', 'Цветков', 'Иванова', 'Кузнецова', 'Ершова', 'Ёлкина', 'Белова',
                 'Смирнова', 'Орлова', 'Лебедева', 'Егорова'] AS surname,
           ARRAY['А', 'Б', 'В', 'Г', 'Д', 'Е', 'И', 'К', 'Л', 'М', 'Н', 'О', 'П', 'Р', 'С',
                 'Ю'] AS first_initial,
           ARRAY['А', 'Б', 'В', 'Г', 'Д', 'Е', 'И', 'К', 'Л', 'М', 'Н', 'О', 'П', 'Р', 'С',
                 'Ф'] AS second_initial
)
SELECT w.n,
       nm.surname[w.s + 1] || ' ' || nm.first_initial[(w.k + 7 * w.s) % 16 + 1] || '.'
         || nm.second_initial[(w.k / 16 + 5 * w.s) % 16 + 1] || '.' AS fio,
       floor(random() * (SELECT count(*) FROM demo_op))::integer AS home,
       w.n % 3 AS base_shift
FROM (SELECT n, (n - 1) % 60 AS s, (n - 1) / 60 AS k
      FROM generate_series(1, (SELECT workers FROM demo_param)) AS n) w
CROSS JOIN names nm
ORDER BY w.n;

INSERT INTO accounts_dep.person (fio, s_staffpos_hl)
SELECT w.fio,
       CASE WHEN o.paint THEN 'Участок окраски'
            WHEN o.naimen <> 0 THEN 'Цех литья'
            WHEN k.name IN ('Упаковка', 'Маркировка', 'Комплектация') THEN 'Склад готовой продукции'
            ELSE 'Участок сборки' END
FROM demo_worker_src w
JOIN demo_op o ON o.idx = w.home
JOIN demo_kind k ON k.id = o.vid
ORDER BY w.n;

CREATE TEMP TABLE demo_worker ON COMMIT DROP AS
SELECT p.id AS w_id, s.home, s.base_shift
FROM (SELECT id, row_number() OVER (ORDER BY id) AS n FROM accounts_dep.person) p
JOIN demo_worker_src s ON s.n = p.n;

-- ---------------------------------------------------------------------------------------------
-- Worker days: who works which day in which shift, and what else happens that day
-- ---------------------------------------------------------------------------------------------

CREATE TEMP TABLE demo_day ON COMMIT DROP AS
SELECT d::date AS d,
       extract(isodow FROM d)::integer AS dow,
       extract(isodow FROM d)::integer >= 6 AS day_off,
       (d::date - DATE '2000-01-03') / 7 AS week
FROM demo_param prm, generate_series(prm.first_day, prm.last_day, interval '1 day') AS d;

CREATE TEMP TABLE demo_wd ON COMMIT DROP AS
SELECT w.w_id, w.home, dd.d, dd.dow, dd.day_off,
       1 + (w.base_shift + dd.week) % 3 AS shift,
       random() AS r_att,      -- attendance
       random() AS r_cnt,      -- number of entries in the shift
       random() AS r_h1,       -- hours split
       random() AS r_h2,
       random() AS r_start,    -- first operation within the worker's trade
       random() AS r_ot,       -- overtime
       random() AS r_oth,
       random() AS r_fat,      -- hour-paid work
       random() AS r_kind,
       random() AS r_night,
       random() AS r_grp,
       random() AS r_fat2
FROM demo_worker w CROSS JOIN demo_day dd
ORDER BY dd.d, w.w_id;

ALTER TABLE demo_wd ADD COLUMN works boolean, ADD COLUMN n_ent integer, ADD COLUMN first_op integer;
UPDATE demo_wd x SET
    works = CASE WHEN x.dow <= 5 THEN x.r_att < 0.90
                 WHEN x.dow = 6 THEN x.r_att < 0.15
                 ELSE x.r_att < 0.05 END,
    n_ent = least(CASE WHEN x.r_cnt < 0.15 THEN 1 WHEN x.r_cnt < 0.55 THEN 2 ELSE 3 END, c.ops),
    first_op = (x.home + floor(x.r_start * least(c.ops, 12))::integer) % c.ops
FROM (SELECT count(*)::integer AS ops FROM demo_op) c;

-- ---------------------------------------------------------------------------------------------
-- Shift entries
-- ---------------------------------------------------------------------------------------------

CREATE TEMP TABLE demo_entry ON COMMIT DROP AS
SELECT e.*, greatest(1, round(e.time * e.rate * (0.75 + random() * 0.5)))::integer AS kol_vo,
       random() AS r_brak, random() AS r_brak2, random() AS r_ok, random() AS r_color,
       random() AS r_vvod
FROM (
    -- the shift itself: 1 to 3 entries of 8 hours together
    SELECT x.w_id, x.d, x.day_off, x.shift, o.id AS o_id, o.i_id, o.paint, o.rate, o.min_price,
           CASE x.n_ent
               WHEN 1 THEN 8
               WHEN 2 THEN CASE k WHEN 1 THEN 2 + floor(x.r_h1 * 5)::integer
                                  ELSE 6 - floor(x.r_h1 * 5)::integer END
               ELSE CASE k WHEN 1 THEN 2 + floor(x.r_h1 * 2)::integer
                           WHEN 2 THEN 2 + floor(x.r_h2 * 2)::integer
                           ELSE 4 - floor(x.r_h1 * 2)::integer - floor(x.r_h2 * 2)::integer END
           END AS time,
           k AS seq
    FROM demo_wd x
    CROSS JOIN LATERAL generate_series(1, x.n_ent) AS k
    JOIN demo_op o ON o.idx = (x.first_op + k - 1) % (SELECT count(*) FROM demo_op)
    WHERE x.works
    UNION ALL
    -- overtime after the shift
    SELECT x.w_id, x.d, x.day_off, 4, o.id, o.i_id, o.paint, o.rate, o.min_price,
           2 + floor(x.r_oth * 3)::integer, 1
    FROM demo_wd x
    JOIN demo_op o ON o.idx = (x.first_op + x.n_ent) % (SELECT count(*) FROM demo_op)
    WHERE x.works AND x.r_ot < 0.06
) e
ORDER BY e.d, e.shift, e.w_id, e.seq;

INSERT INTO accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time,
                                vvod, ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,
                                id_cons_use)
SELECT e.w_id, e.i_id, e.o_id,
       round(e.min_price * CASE WHEN e.day_off THEN 2.0 ELSE 1.0 END
                         * CASE e.shift WHEN 3 THEN 1.2 WHEN 4 THEN 1.5 ELSE 1.0 END, 4)::double precision,
       e.kol_vo,
       CASE WHEN e.r_brak < 0.12
            THEN least(e.kol_vo, 1 + floor(e.r_brak2 * greatest(1, e.kol_vo * 0.05)))::smallint
            ELSE 0 END,
       e.d::timestamp,
       e.shift,
       CASE WHEN e.paint
            THEN (ARRAY[1015, 1018, 3005, 3020, 5005, 5015, 6005, 7035, 8017, 9003, 9010])
                 [1 + floor(e.r_color * 11)::integer]
            ELSE 0 END,
       e.time,
       least(localtimestamp(0),
             e.d + CASE e.shift WHEN 1 THEN interval '16 hours' WHEN 2 THEN interval '24 hours'
                                WHEN 3 THEN interval '32 hours' ELSE interval '20 hours' END
                 + make_interval(mins => floor(e.r_vvod * 90)::integer)),
       CASE WHEN e.d < current_date
            THEN CASE WHEN e.r_ok < 0.45 THEN 'ok' WHEN e.r_ok < 0.88 THEN 'да' ELSE 'no' END
            ELSE CASE WHEN e.r_ok < 0.25 THEN 'ok' ELSE 'no' END END,
       0, 0, 0, 0, 0, 0
FROM demo_entry e
ORDER BY e.d, e.shift, e.w_id, e.seq;

-- ---------------------------------------------------------------------------------------------
-- Hour-paid entries
-- ---------------------------------------------------------------------------------------------

-- Base price per hour of each kind: the lowest norm of its reserved operation.
CREATE TEMP TABLE demo_hour_kind ON COMMIT DROP AS
SELECT o.vid AS id_o, min(n.price)::numeric AS base_price
FROM accounts_dep.oper o JOIN accounts_dep.norm n ON n.o_id = o.id
WHERE o.vid IN (7777, 7778) AND o.i_id = 7777
GROUP BY o.vid;

CREATE TEMP TABLE demo_fatigue ON COMMIT DROP AS
SELECT f.*, g.id AS id_nom
FROM (
    -- a weekday without a shift: household works or average piece rate instead
    SELECT x.w_id, x.d, x.day_off, CASE WHEN x.r_kind < 0.7 THEN 7777 ELSE 7778 END AS id_o,
           (x.r_night < 0.15)::integer AS i_night, 4 + floor(x.r_fat * 16)::integer % 5 AS cnt,
           1 + floor(x.r_grp * 8)::integer AS gn, 1 AS seq
    FROM demo_wd x
    WHERE NOT x.works AND x.dow <= 5 AND x.r_fat < 0.30
    UNION ALL
    -- a weekend day on call
    SELECT x.w_id, x.d, x.day_off, 7777, (x.r_night < 0.3)::integer,
           2 + floor(x.r_fat * 200)::integer % 5, 8, 1
    FROM demo_wd x
    WHERE NOT x.works AND x.dow >= 6 AND x.r_fat < 0.02
    UNION ALL
    -- household works in the evening after a shift
    SELECT x.w_id, x.d, x.day_off, 7777, 1, 1 + floor(x.r_fat * 300)::integer % 3,
           8, 1
    FROM demo_wd x
    WHERE x.works AND x.r_fat < 0.01
) f
JOIN demo_group g ON g.gn = f.gn;

-- Some of them also worked for a second group that day, with the same kind and flag.
INSERT INTO demo_fatigue (w_id, d, day_off, id_o, i_night, cnt, gn, seq, id_nom)
SELECT f.w_id, f.d, f.day_off, f.id_o, f.i_night, 1 + (f.cnt % 2), g.gn, 2, g.id
FROM demo_fatigue f
JOIN demo_wd x ON x.w_id = f.w_id AND x.d = f.d
JOIN demo_group g ON g.gn = f.gn % 8 + 1
WHERE x.r_fat2 < 0.10;

INSERT INTO accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price,
                                  i_holiday, i_night)
SELECT f.id_nom, f.id_o, f.w_id, f.d, extract(month FROM f.d), extract(year FROM f.d), 1, f.cnt,
       round(k.base_price * CASE WHEN f.day_off THEN 2.0 ELSE 1.0 END
                          * CASE WHEN f.i_night = 1 THEN 1.2 ELSE 1.0 END, 4),
       f.day_off::integer, f.i_night
FROM demo_fatigue f
JOIN demo_hour_kind k ON k.id_o = f.id_o
ORDER BY f.d, f.w_id, f.seq;

-- ---------------------------------------------------------------------------------------------
-- Monthly timesheet rows, as the month rebuilds make them
-- ---------------------------------------------------------------------------------------------

INSERT INTO accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night,
    d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16, d17, d18, d19, d20, d21,
    d22, d23, d24, d25, d26, d27, d28, d29, d30, d31)
SELECT w_id, month, year, smena, 0, 0,
       sum(time) FILTER (WHERE day = 1),
       sum(time) FILTER (WHERE day = 2),
       sum(time) FILTER (WHERE day = 3),
       sum(time) FILTER (WHERE day = 4),
       sum(time) FILTER (WHERE day = 5),
       sum(time) FILTER (WHERE day = 6),
       sum(time) FILTER (WHERE day = 7),
       sum(time) FILTER (WHERE day = 8),
       sum(time) FILTER (WHERE day = 9),
       sum(time) FILTER (WHERE day = 10),
       sum(time) FILTER (WHERE day = 11),
       sum(time) FILTER (WHERE day = 12),
       sum(time) FILTER (WHERE day = 13),
       sum(time) FILTER (WHERE day = 14),
       sum(time) FILTER (WHERE day = 15),
       sum(time) FILTER (WHERE day = 16),
       sum(time) FILTER (WHERE day = 17),
       sum(time) FILTER (WHERE day = 18),
       sum(time) FILTER (WHERE day = 19),
       sum(time) FILTER (WHERE day = 20),
       sum(time) FILTER (WHERE day = 21),
       sum(time) FILTER (WHERE day = 22),
       sum(time) FILTER (WHERE day = 23),
       sum(time) FILTER (WHERE day = 24),
       sum(time) FILTER (WHERE day = 25),
       sum(time) FILTER (WHERE day = 26),
       sum(time) FILTER (WHERE day = 27),
       sum(time) FILTER (WHERE day = 28),
       sum(time) FILTER (WHERE day = 29),
       sum(time) FILTER (WHERE day = 30),
       sum(time) FILTER (WHERE day = 31)
FROM (SELECT w_id, smena, time,
             extract(month FROM data)::integer AS month,
             extract(year FROM data)::integer AS year,
             extract(day FROM data)::integer AS day
      FROM accounts_dep.smena) s
GROUP BY year, month, smena, w_id
ORDER BY year, month, smena, w_id;

INSERT INTO accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night,
    d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16, d17, d18, d19, d20, d21,
    d22, d23, d24, d25, d26, d27, d28, d29, d30, d31)
SELECT w_id, month, year, 0, i_type, i_night,
       sum(cnt) FILTER (WHERE day = 1),
       sum(cnt) FILTER (WHERE day = 2),
       sum(cnt) FILTER (WHERE day = 3),
       sum(cnt) FILTER (WHERE day = 4),
       sum(cnt) FILTER (WHERE day = 5),
       sum(cnt) FILTER (WHERE day = 6),
       sum(cnt) FILTER (WHERE day = 7),
       sum(cnt) FILTER (WHERE day = 8),
       sum(cnt) FILTER (WHERE day = 9),
       sum(cnt) FILTER (WHERE day = 10),
       sum(cnt) FILTER (WHERE day = 11),
       sum(cnt) FILTER (WHERE day = 12),
       sum(cnt) FILTER (WHERE day = 13),
       sum(cnt) FILTER (WHERE day = 14),
       sum(cnt) FILTER (WHERE day = 15),
       sum(cnt) FILTER (WHERE day = 16),
       sum(cnt) FILTER (WHERE day = 17),
       sum(cnt) FILTER (WHERE day = 18),
       sum(cnt) FILTER (WHERE day = 19),
       sum(cnt) FILTER (WHERE day = 20),
       sum(cnt) FILTER (WHERE day = 21),
       sum(cnt) FILTER (WHERE day = 22),
       sum(cnt) FILTER (WHERE day = 23),
       sum(cnt) FILTER (WHERE day = 24),
       sum(cnt) FILTER (WHERE day = 25),
       sum(cnt) FILTER (WHERE day = 26),
       sum(cnt) FILTER (WHERE day = 27),
       sum(cnt) FILTER (WHERE day = 28),
       sum(cnt) FILTER (WHERE day = 29),
       sum(cnt) FILTER (WHERE day = 30),
       sum(cnt) FILTER (WHERE day = 31)
FROM (SELECT id_p::integer AS w_id, id_o::integer AS i_type, i_night, cnt,
             extract(month FROM d_date)::integer AS month,
             extract(year FROM d_date)::integer AS year,
             extract(day FROM d_date)::integer AS day
      FROM accounts_dep.fatigue) f
GROUP BY year, month, i_type, i_night, w_id
ORDER BY year, month, i_type, i_night, w_id;

ALTER TABLE accounts_dep.smena ENABLE TRIGGER smena_history;
ALTER TABLE accounts_dep.fatigue ENABLE TRIGGER fatigue_history;
ALTER TABLE accounts_dep.smena ENABLE TRIGGER smena_post_hours_ins;
ALTER TABLE accounts_dep.fatigue ENABLE TRIGGER fatigue_post_hours_ins;
ALTER TABLE accounts_dep.smena ENABLE TRIGGER smena_without_absence;
ALTER TABLE accounts_dep.fatigue ENABLE TRIGGER fatigue_without_absence;
COMMIT;

ANALYZE accounts_dep.smena;
ANALYZE accounts_dep.h_tabel;
ANALYZE accounts_dep.fatigue;
ANALYZE accounts_dep.oper;
ANALYZE accounts_dep.norm;
ANALYZE accounts_dep.person;
ANALYZE cmn_contractor.person;
ANALYZE cmn_gds_and_srv.gds_and_srv;
ANALYZE cmn_classifier.item;
