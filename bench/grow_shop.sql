-- Makes the benchmark's larger shop from a copy of the large one (CREATE DATABASE ... TEMPLATE):
-- three more workers for each of its workers, with the same entries on the same days, so that
-- every table is about four times as large. The busiest day and the busiest month of the copied
-- shop get no entries of the new workers: the windows show the same rows there at both sizes,
-- and what a query's time gains comes from the size of the whole table, not from its own rows.
-- The new workers keep to one shift each (their shift entries move to shift 1, 2 or 3; overtime
-- stays), so their months have fewer monthly rows per worker than the copied shop's.
--
--     psql -X -d tabel_bench4 -f bench/grow_shop.sql       (scripts/bench runs it)

\set ON_ERROR_STOP on
\set QUIET on
SET client_min_messages = warning;

BEGIN;

-- The new workers' entries stand for work typed in long ago: they leave no change history (the history
-- triggers are off until the end of this transaction).
ALTER TABLE accounts_dep.smena DISABLE TRIGGER smena_history;
ALTER TABLE accounts_dep.fatigue DISABLE TRIGGER fatigue_history;
-- The monthly rows are written below from the entries at once, not posted entry by entry.
ALTER TABLE accounts_dep.smena DISABLE TRIGGER smena_post_hours_ins;
ALTER TABLE accounts_dep.fatigue DISABLE TRIGGER fatigue_post_hours_ins;

SELECT data::date AS focus_day FROM accounts_dep.smena
GROUP BY data ORDER BY count(*) DESC, data DESC LIMIT 1 \gset
SELECT date_trunc('month', data)::date AS focus_month FROM accounts_dep.smena
GROUP BY 1 ORDER BY count(*) DESC, 1 DESC LIMIT 1 \gset
-- New worker ids: the copy k of worker w is k * step + w.
SELECT (power(10, ceil(log(max(id) + 1)))::integer) AS step FROM accounts_dep.person \gset

CREATE TEMP TABLE grow_copy (k integer, shift smallint) ON COMMIT DROP;
INSERT INTO grow_copy VALUES (1, 1), (2, 2), (3, 3);

INSERT INTO accounts_dep.person (id, fio, s_staffpos_hl)
SELECT c.k * :step + p.id, p.fio || ' (' || c.k || ')', p.s_staffpos_hl
FROM accounts_dep.person p CROSS JOIN grow_copy c
ORDER BY 1;
SELECT setval('accounts_dep.person_id_seq', (SELECT max(id) FROM accounts_dep.person)) AS person_id \gset

-- Two entries of a worker on one day that differed only by their shift become one entry.
INSERT INTO accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time,
                                vvod, ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,
                                id_cons_use)
SELECT c.k * :step + s.w_id, s.i_id, s.o_id, s.cena, s.kol_vo, s.brak, s.data,
       CASE WHEN s.smena = 4 THEN 4 ELSE c.shift END, s.color, s.time, s.vvod, s.ok, s.prize,
       s.id_doc, s.id_doc_item, s.f_gds_qty_use, s.id_gds_use, s.id_cons_use
FROM accounts_dep.smena s CROSS JOIN grow_copy c
WHERE s.data::date <> :'focus_day'
  AND date_trunc('month', s.data)::date <> :'focus_month'
ORDER BY s.data, c.k, s.w_id
ON CONFLICT DO NOTHING;

INSERT INTO accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price,
                                  i_holiday, i_night)
SELECT f.id_nom, f.id_o, c.k * :step + f.id_p, f.d_date, f.i_mnth, f.i_year, f.i_smena, f.cnt,
       f.price, f.i_holiday, f.i_night
FROM accounts_dep.fatigue f CROSS JOIN grow_copy c
WHERE f.d_date <> :'focus_day'
  AND date_trunc('month', f.d_date)::date <> :'focus_month'
ORDER BY f.d_date, c.k, f.id_p;

-- The new workers' monthly rows, as the month rebuilds make them from their entries.
SELECT string_agg(format('d%s', d), ', ' ORDER BY d) AS day_columns,
       string_agg(format('sum(v) filter (where day = %s)', d), ', ' ORDER BY d) AS day_sums
FROM generate_series(1, 31) d \gset

INSERT INTO accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night, :day_columns)
SELECT w_id, month, year, smena, 0, 0, :day_sums
FROM (SELECT w_id, smena, time AS v, extract(month FROM data)::integer AS month,
             extract(year FROM data)::integer AS year, extract(day FROM data)::integer AS day
      FROM accounts_dep.smena WHERE w_id > :step) s
GROUP BY year, month, smena, w_id;

INSERT INTO accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night, :day_columns)
SELECT w_id, month, year, 0, i_type, i_night, :day_sums
FROM (SELECT id_p::integer AS w_id, id_o::integer AS i_type, i_night, cnt AS v,
             extract(month FROM d_date)::integer AS month,
             extract(year FROM d_date)::integer AS year,
             extract(day FROM d_date)::integer AS day
      FROM accounts_dep.fatigue WHERE id_p > :step) f
GROUP BY year, month, i_type, i_night, w_id;

ALTER TABLE accounts_dep.smena ENABLE TRIGGER smena_history;
ALTER TABLE accounts_dep.fatigue ENABLE TRIGGER fatigue_history;
ALTER TABLE accounts_dep.smena ENABLE TRIGGER smena_post_hours_ins;
ALTER TABLE accounts_dep.fatigue ENABLE TRIGGER fatigue_post_hours_ins;
COMMIT;

-- The new rows were added after the old ones; a shop that types its entries day by day, and
-- rebuilds its months one after another, keeps them in the order of their days and months.
CLUSTER accounts_dep.smena USING smena_month_idx;
CLUSTER accounts_dep.fatigue USING fatigue_d_date_idx;
CLUSTER accounts_dep.h_tabel USING h_tabel_year_month_w_id_idx;
VACUUM ANALYZE accounts_dep.person;
VACUUM ANALYZE accounts_dep.smena;
VACUUM ANALYZE accounts_dep.fatigue;
VACUUM ANALYZE accounts_dep.h_tabel;
