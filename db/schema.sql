-- Database of tabel: the shop's own schema accounts_dep and the parts of the ERP schemas it reads
-- and writes. Run as a superuser (it makes the owner of the program's tables and the groups of
-- db/roles.sql), e.g.
--     sudo -u postgres psql -v ON_ERROR_STOP=1 -d mirel_erp -f db/schema.sql
-- The script is idempotent: loading it again into a database that already has the schema (with or
-- without data) changes nothing and adds no rows. It runs as one transaction.

\set ON_ERROR_STOP on
SET client_min_messages = warning;
-- Names are looked up in the system catalog and this session's temporary schema only: the script
-- runs as a superuser and must not call what another role may have put into a schema.
SET search_path = pg_catalog, pg_temp;
BEGIN;

-- ---------------------------------------------------------------------------------------------
-- Schemas and domains
-- ---------------------------------------------------------------------------------------------

CREATE SCHEMA IF NOT EXISTS accounts_dep;
CREATE SCHEMA IF NOT EXISTS cmn_contractor;
CREATE SCHEMA IF NOT EXISTS cmn_gds_and_srv;
CREATE SCHEMA IF NOT EXISTS cmn_classifier;
CREATE SCHEMA IF NOT EXISTS hrms_staffpos;
CREATE SCHEMA IF NOT EXISTS cmn_department;
CREATE SCHEMA IF NOT EXISTS adm_role;

-- Personnel codes are text holding digits; queries cast them with s_code::t_id or ::t_integer and
-- compare the result with integer worker ids.
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace
                   WHERE n.nspname = 'public' AND t.typname = 't_id') THEN
        CREATE DOMAIN public.t_id AS integer;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace
                   WHERE n.nspname = 'public' AND t.typname = 't_integer') THEN
        CREATE DOMAIN public.t_integer AS integer;
    END IF;
END
$$;

-- ---------------------------------------------------------------------------------------------
-- ERP tables
-- ---------------------------------------------------------------------------------------------

-- Classifier items; the nomenclature groups are the items of level 2 (the default, so a group
-- inserted with its caption only is a group at once).
CREATE SEQUENCE IF NOT EXISTS cmn_classifier.item_id_seq AS bigint;
CREATE TABLE IF NOT EXISTS cmn_classifier.item (
    id              numeric(15,0) NOT NULL DEFAULT nextval('cmn_classifier.item_id_seq'),
    id_classifier   numeric(15,0),
    id_level        numeric(15,0) DEFAULT 2,
    s_code          text,
    s_caption       varchar(254),
    s_description   varchar(4000),
    b_excluded      boolean DEFAULT false,
    d_excluded_date date,
    id_parent       numeric(15,0),
    CONSTRAINT item_pkey PRIMARY KEY (id)
);
ALTER SEQUENCE cmn_classifier.item_id_seq OWNED BY cmn_classifier.item.id;

-- Goods, i.e. products. New ids start above the reserved product 7777.
CREATE SEQUENCE IF NOT EXISTS cmn_gds_and_srv.gds_and_srv_id_seq AS bigint START WITH 10000;
CREATE TABLE IF NOT EXISTS cmn_gds_and_srv.gds_and_srv (
    id              numeric(15,0) NOT NULL DEFAULT nextval('cmn_gds_and_srv.gds_and_srv_id_seq'),
    s_caption       varchar(254),
    s_description   text,
    id_msm_bs       numeric(15,0),
    massa           numeric,
    id_class_item   numeric(15,0),
    CONSTRAINT gds_and_srv_pkey PRIMARY KEY (id)
);
ALTER SEQUENCE cmn_gds_and_srv.gds_and_srv_id_seq OWNED BY cmn_gds_and_srv.gds_and_srv.id;

-- Persons; the workers of accounts_dep.person are mirrored here (id = worker id, s_code = the
-- same number as text) by the trigger further down.
CREATE TABLE IF NOT EXISTS cmn_contractor.person (
    id              integer NOT NULL,
    s_caption       varchar(254),
    s_code          text,
    CONSTRAINT person_pkey PRIMARY KEY (id)
);

-- Lookup lists of the worker editor.
CREATE TABLE IF NOT EXISTS cmn_department.department (
    id              numeric(15,0) NOT NULL,
    id_branch       numeric(15,0),
    id_parent       numeric(15,0),
    s_code          text,
    s_caption       text,
    s_description   text,
    CONSTRAINT department_pkey PRIMARY KEY (id)
);

CREATE TABLE IF NOT EXISTS hrms_staffpos.staffpos (
    id              numeric(15,0) NOT NULL,
    id_department   numeric(15,0),
    s_code          text,
    s_caption       text,
    d_begin         date,
    d_end           date,
    s_description   text,
    CONSTRAINT staffpos_pkey PRIMARY KEY (id)
);

CREATE TABLE IF NOT EXISTS adm_role.roles (
    id              numeric(15,0) NOT NULL,
    s_name          varchar(30),
    s_caption       text,
    d_begin         date,
    d_end           date,
    b_active        boolean,
    CONSTRAINT roles_pkey PRIMARY KEY (id)
);

-- ---------------------------------------------------------------------------------------------
-- The shop's tables
-- ---------------------------------------------------------------------------------------------

-- Workers.
CREATE TABLE IF NOT EXISTS accounts_dep.person (
    id              serial,
    fio             varchar(254),
    s_staffpos_hl   varchar(254),
    CONSTRAINT person_pkey PRIMARY KEY (id)
);

-- Operation kinds. 7777 and 7778 are reserved; new ids start above them.
CREATE SEQUENCE IF NOT EXISTS accounts_dep.vid_oper_id_seq AS integer START WITH 10000;
CREATE TABLE IF NOT EXISTS accounts_dep.vid_oper (
    id              integer NOT NULL DEFAULT nextval('accounts_dep.vid_oper_id_seq'),
    vid             varchar(128),
    CONSTRAINT vid_oper_pkey PRIMARY KEY (id)
);
ALTER SEQUENCE accounts_dep.vid_oper_id_seq OWNED BY accounts_dep.vid_oper.id;

-- Operations: a kind performed on a product; naimen 0 finished products, other values blanks.
CREATE TABLE IF NOT EXISTS accounts_dep.oper (
    id              serial,
    vid             integer,
    naimen          smallint,
    i_id            integer,
    cena_new        numeric(19,4),
    CONSTRAINT oper_pkey PRIMARY KEY (id)
);

-- Norms of an operation; the lowest price is the piece price entries start from.
CREATE TABLE IF NOT EXISTS accounts_dep.norm (
    id              serial,
    o_id            integer,
    norma           integer,
    prize           integer,
    price           numeric,
    CONSTRAINT norm_pkey PRIMARY KEY (id)
);
-- Prices are kept as typed, digit for digit; a database made before kept them as doubles.
DO $$
BEGIN
    IF (SELECT atttypid FROM pg_attribute WHERE attrelid = 'accounts_dep.norm'::regclass
          AND attname = 'price') = 'double precision'::regtype THEN
        ALTER TABLE accounts_dep.norm ALTER COLUMN price TYPE numeric;
    END IF;
END
$$;

-- Shift entries: worker, product, operation, day, shift (4 = overtime list).
CREATE TABLE IF NOT EXISTS accounts_dep.smena (
    id              serial,
    w_id            integer,
    i_id            integer,
    o_id            integer,
    cena            double precision,
    kol_vo          integer,
    brak            smallint,
    data            timestamp,
    smena           smallint,
    color           integer,
    time            integer,
    ok              varchar(2),
    vvod            timestamp,
    prize           double precision,
    id_doc          numeric(15,0),
    id_doc_item     numeric(15,0),
    f_gds_qty_use   double precision,
    id_gds_use      numeric(15,0),
    id_cons_use     numeric(15,0),
    CONSTRAINT smena_pkey PRIMARY KEY (id)
);

-- Monthly timesheet rows: shift rows (smena 1..4, i_type 0) and hour-paid rows (smena 0, i_type
-- 7777 or 7778, i_night 0/1). The defaults of smena, i_type and i_night mark the row kind.
CREATE TABLE IF NOT EXISTS accounts_dep.h_tabel (
    id              serial,
    w_id            integer,
    month           integer,
    year            integer,
    smena           integer DEFAULT 0,
    i_type          integer DEFAULT 0,
    i_night         integer DEFAULT 0,
    d1  integer, d2  integer, d3  integer, d4  integer, d5  integer, d6  integer, d7  integer,
    d8  integer, d9  integer, d10 integer, d11 integer, d12 integer, d13 integer, d14 integer,
    d15 integer, d16 integer, d17 integer, d18 integer, d19 integer, d20 integer, d21 integer,
    d22 integer, d23 integer, d24 integer, d25 integer, d26 integer, d27 integer, d28 integer,
    d29 integer, d30 integer, d31 integer,
    CONSTRAINT h_tabel_pkey PRIMARY KEY (id)
);

-- Hour-paid entries: household works (7777) and average piece rate (7778).
CREATE TABLE IF NOT EXISTS accounts_dep.fatigue (
    id              serial,
    id_nom          numeric(15,0),
    id_o            numeric(15,0),
    id_p            numeric(15,0),
    d_date          date,
    i_mnth          integer,
    i_year          integer,
    i_smena         integer,
    cnt             integer,
    price           numeric(15,4),
    i_holiday       integer,
    i_night         integer,
    CONSTRAINT fatigue_pkey PRIMARY KEY (id)
);

-- Version stamp of the newest build that ran, and the decimal separator of SQL number texts.
CREATE TABLE IF NOT EXISTS accounts_dep.ver (
    d               integer,
    t               integer,
    delim           varchar(255)
);

-- Products as the program reads them: one row per goods row, with the caption of its group
-- (a product without a group keeps its row, with an empty group).
CREATE OR REPLACE VIEW accounts_dep.izdel AS
SELECT g.id,
       g.s_caption      AS marka,
       i.s_caption      AS nom,
       g.massa,
       g.id_class_item,
       g.id_class_item  AS id_nom
FROM cmn_gds_and_srv.gds_and_srv g
LEFT JOIN cmn_classifier.item i ON i.id = g.id_class_item;

-- ---------------------------------------------------------------------------------------------
-- Workers mirrored into the ERP persons
-- ---------------------------------------------------------------------------------------------

CREATE OR REPLACE FUNCTION accounts_dep.person_mirror() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        IF TG_OP = 'DELETE' OR NEW.id <> OLD.id THEN
            DELETE FROM cmn_contractor.person WHERE id = OLD.id;
        END IF;
    END IF;
    IF TG_OP IN ('INSERT', 'UPDATE') THEN
        INSERT INTO cmn_contractor.person (id, s_code, s_caption)
        VALUES (NEW.id, NEW.id::text, NEW.fio)
        ON CONFLICT (id) DO UPDATE SET s_code = EXCLUDED.s_code, s_caption = EXCLUDED.s_caption;
    END IF;
    RETURN NULL;
END
$$;

CREATE OR REPLACE TRIGGER person_mirror
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.person
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.person_mirror();

-- Workers that exist without their person row (e.g. rows from before the trigger) get it now.
INSERT INTO cmn_contractor.person (id, s_code, s_caption)
SELECT p.id, p.id::text, p.fio
FROM accounts_dep.person p
WHERE NOT EXISTS (SELECT 1 FROM cmn_contractor.person c
                  WHERE c.id = p.id AND c.s_code = p.id::text
                    AND c.s_caption IS NOT DISTINCT FROM p.fio)
ON CONFLICT (id) DO UPDATE SET s_code = EXCLUDED.s_code, s_caption = EXCLUDED.s_caption;

-- A worker's personnel code as a number, for the shift log's match of entries to the ERP's
-- persons (by id, or by the code for rows whose id differs). Empty for a code that is not a whole
-- number, where a cast would fail the whole list; immutable, so an index on it finds the person
-- of each entry instead of comparing every entry with every person.
CREATE OR REPLACE FUNCTION accounts_dep.person_code(code text) RETURNS integer
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT CASE WHEN code ~ '^\s*[+-]?[0-9]{1,10}\s*$'
                THEN CASE WHEN code::bigint BETWEEN -2147483648 AND 2147483647
                          THEN code::integer END END
$$;

-- ---------------------------------------------------------------------------------------------
-- Indexes and constraints (each added once), from the list shared with db/upgrade.sql
-- ---------------------------------------------------------------------------------------------

\ir schema_lists.sql

DO $$
DECLARE
    k record;
BEGIN
    FOR k IN SELECT * FROM pg_temp.tabel_keys ORDER BY ord LOOP
        IF k.kind IN ('index', 'unique index') THEN
            -- A database made before the entries' key treated empty columns as equal keeps an
            -- index that lets such entries repeat: it is made again.
            IF k.nulls_not_distinct AND EXISTS (
                   SELECT 1 FROM pg_index
                   WHERE indexrelid = to_regclass(split_part(k.tbl, '.', 1) || '.' || k.name)
                     AND NOT indnullsnotdistinct) THEN
                EXECUTE format('DROP INDEX %I.%I', split_part(k.tbl, '.', 1), k.name);
            END IF;
            IF to_regclass(split_part(k.tbl, '.', 1) || '.' || k.name) IS NULL THEN
                EXECUTE k.ddl;
            END IF;
        ELSIF NOT EXISTS (SELECT 1 FROM pg_constraint
                          WHERE conrelid = k.tbl::regclass AND conname = k.name) THEN
            EXECUTE k.ddl;
        END IF;
    END LOOP;
END
$$;

-- ---------------------------------------------------------------------------------------------
-- Reserved and seed rows (each inserted only when missing)
-- ---------------------------------------------------------------------------------------------

-- Hour-paid work kinds and the product that carries their operations.
INSERT INTO accounts_dep.vid_oper (id, vid)
SELECT id, name FROM pg_temp.tabel_reserved_kinds ORDER BY id
ON CONFLICT (id) DO NOTHING;

INSERT INTO cmn_gds_and_srv.gds_and_srv (id, s_caption, s_description, id_msm_bs, massa, id_class_item)
SELECT id, caption, description, unit, 0, NULL FROM pg_temp.tabel_reserved_product
ON CONFLICT (id) DO NOTHING;

-- One operation per reserved kind on the reserved product, each with a norm holding the kind's
-- base price per hour.
INSERT INTO accounts_dep.oper (vid, naimen, i_id, cena_new)
SELECT k.id, 0, p.id, 0
FROM pg_temp.tabel_reserved_kinds k CROSS JOIN pg_temp.tabel_reserved_product p
WHERE NOT EXISTS (SELECT 1 FROM accounts_dep.oper o WHERE o.vid = k.id AND o.i_id = p.id)
ORDER BY k.id;

INSERT INTO accounts_dep.norm (o_id, norma, prize, price)
SELECT o.id, 1, 0, k.base_price
FROM pg_temp.tabel_reserved_kinds k CROSS JOIN pg_temp.tabel_reserved_product p
JOIN LATERAL (SELECT min(id) AS id FROM accounts_dep.oper
              WHERE vid = k.id AND i_id = p.id) o ON o.id IS NOT NULL
WHERE NOT EXISTS (SELECT 1 FROM accounts_dep.norm n JOIN accounts_dep.oper op ON op.id = n.o_id
                  WHERE op.vid = k.id AND op.i_id = p.id)
ORDER BY k.id;

-- The version row: stamp 0 (any build raises it), decimal point as separator.
INSERT INTO accounts_dep.ver (d, t, delim)
SELECT 0, 0, '.'
WHERE NOT EXISTS (SELECT 1 FROM accounts_dep.ver);

-- Lookup lists of the worker editor.
INSERT INTO cmn_department.department (id, id_branch, id_parent, s_code, s_caption, s_description) VALUES
    (1, 1, NULL, '01', 'Цех литья', ''),
    (2, 1, NULL, '02', 'Участок окраски', ''),
    (3, 1, NULL, '03', 'Участок сборки', ''),
    (4, 1, NULL, '04', 'Склад готовой продукции', '')
ON CONFLICT (id) DO NOTHING;

INSERT INTO hrms_staffpos.staffpos (id, id_department, s_code, s_caption, d_begin, d_end, s_description) VALUES
    (1, 1, '101', 'Оператор литьевой машины', DATE '2007-01-01', NULL, ''),
    (2, 2, '201', 'Маляр', DATE '2007-01-01', NULL, ''),
    (3, 3, '301', 'Сборщик', DATE '2007-01-01', NULL, ''),
    (4, 4, '401', 'Кладовщик', DATE '2007-01-01', NULL, '')
ON CONFLICT (id) DO NOTHING;

INSERT INTO adm_role.roles (id, s_name, s_caption, d_begin, d_end, b_active) VALUES
    (1, 'worker', 'Рабочий', DATE '2007-01-01', NULL, true),
    (2, 'foreman', 'Мастер', DATE '2007-01-01', NULL, true),
    (3, 'storekeeper', 'Кладовщик', DATE '2007-01-01', NULL, true)
ON CONFLICT (id) DO NOTHING;

-- ---------------------------------------------------------------------------------------------
-- Closed months and the change history of entries
-- ---------------------------------------------------------------------------------------------

\ir entry_guard.sql

COMMIT;

-- ---------------------------------------------------------------------------------------------
-- Change notifications for the open lists of the other copies
-- ---------------------------------------------------------------------------------------------

BEGIN;
\ir change_notify.sql
COMMIT;

-- ---------------------------------------------------------------------------------------------
-- Production calendar: the days off and working days that differ from the weekend rule
-- ---------------------------------------------------------------------------------------------

\ir production_calendar.sql
BEGIN;
DO $$
BEGIN
    PERFORM pg_temp.tabel_production_calendar();
END
$$;
COMMIT;


-- Who may do what: the owner of the program's tables, the four groups and their rights, hours
-- posting and the other writes the database makes itself (db/roles.sql).
BEGIN;
\ir roles.sql
COMMIT;

-- Absences with the codes of the timesheet form, the site's settings of the printed forms, and
-- the indicators handed to payroll (db/month_end.sql).
BEGIN;
\ir month_end.sql
COMMIT;
