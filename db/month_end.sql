-- Month-end paperwork, for db/schema.sql and db/upgrade.sql (each includes it inside its own
-- transaction, after db/roles.sql). Idempotent: a second run changes nothing.
--
-- Absences of workers by day with the codes of the timesheet form T-13, the site's settings the
-- form prints (organisation, department, which hours are night hours), and the indicators handed
-- to payroll. Absences are written by full access only and keep the closed-month guard, the
-- change history and the change notifications of entries.

SET LOCAL search_path = pg_catalog, pg_temp;

-- The absence codes of the form: letter code, its two-digit number and what it means.
CREATE TABLE IF NOT EXISTS accounts_dep.absence_kind (
    code            varchar(4) NOT NULL,
    num             char(2) NOT NULL,
    caption         text NOT NULL,
    ord             integer NOT NULL DEFAULT 0,
    CONSTRAINT absence_kind_pkey PRIMARY KEY (code),
    CONSTRAINT absence_kind_num UNIQUE (num)
);
INSERT INTO accounts_dep.absence_kind (code, num, caption, ord) VALUES
    ('ОТ', '09', 'Ежегодный основной оплачиваемый отпуск', 1),
    ('ОД', '10', 'Ежегодный дополнительный оплачиваемый отпуск', 2),
    ('ДО', '16', 'Отпуск без сохранения заработной платы по разрешению работодателя', 3),
    ('ОЗ', '17', 'Отпуск без сохранения заработной платы в случаях, предусмотренных законом', 4),
    ('У', '11', 'Учебный отпуск с сохранением заработной платы', 5),
    ('Б', '19', 'Временная нетрудоспособность с назначением пособия', 6),
    ('Т', '20', 'Временная нетрудоспособность без назначения пособия', 7),
    ('К', '06', 'Служебная командировка', 8),
    ('ПК', '07', 'Повышение квалификации с отрывом от работы', 9),
    ('НН', '30', 'Неявка по невыясненным причинам', 10),
    ('ПР', '24', 'Прогулы', 11),
    ('Г', '23', 'Невыходы на время исполнения государственных или общественных обязанностей', 12),
    ('ОЖ', '15', 'Отпуск по уходу за ребенком до достижения им возраста трех лет', 13),
    ('Р', '14', 'Отпуск по беременности и родам', 14),
    ('ПВ', '22', 'Время вынужденного прогула', 15),
    ('ОВ', '27', 'Дополнительные выходные дни (оплачиваемые)', 16),
    ('РП', '31', 'Время простоя по вине работодателя', 17)
ON CONFLICT (code) DO NOTHING;

-- A worker's absence on one day: at most one code a day.
CREATE TABLE IF NOT EXISTS accounts_dep.absence (
    id              serial,
    w_id            integer NOT NULL,
    d_date          date NOT NULL,
    code            varchar(4) NOT NULL,
    CONSTRAINT absence_pkey PRIMARY KEY (id),
    CONSTRAINT absence_day UNIQUE (w_id, d_date),
    CONSTRAINT absence_worker FOREIGN KEY (w_id) REFERENCES accounts_dep.person (id),
    CONSTRAINT absence_code FOREIGN KEY (code) REFERENCES accounts_dep.absence_kind (code)
        ON UPDATE CASCADE
);
CREATE INDEX IF NOT EXISTS absence_d_date ON accounts_dep.absence (d_date);

-- The site's settings for the printed forms: organisation, its OKPO code, the department, and
-- which hours count as night hours (the shifts, and whether hour-paid night work counts).
CREATE TABLE IF NOT EXISTS accounts_dep.site_setting (
    name            text NOT NULL,
    value           text NOT NULL DEFAULT '',
    CONSTRAINT site_setting_pkey PRIMARY KEY (name)
);
INSERT INTO accounts_dep.site_setting (name, value) VALUES
    ('organisation', ''), ('okpo', ''), ('department', ''),
    ('night_shifts', '3'), ('night_hour_paid', '1')
ON CONFLICT (name) DO NOTHING;

-- The pay figures handed to payroll: each indicator's code and caption as the payroll program
-- knows them. Absence days come one indicator per absence code.
CREATE TABLE IF NOT EXISTS accounts_dep.payroll_indicator (
    indicator       text NOT NULL,
    code            text NOT NULL,
    caption         text NOT NULL,
    ord             integer NOT NULL DEFAULT 0,
    CONSTRAINT payroll_indicator_pkey PRIMARY KEY (indicator)
);
INSERT INTO accounts_dep.payroll_indicator (indicator, code, caption, ord) VALUES
    ('piece', 'СД', 'Сдельная оплата', 1),
    ('piece_net', 'СДБК', 'Сдельная оплата без коэффициента 1,2', 2),
    ('household', 'ХР', 'Хозяйственные работы', 3),
    ('average', 'ССД', 'Средняя сдельная оплата', 4),
    ('piece_hours', 'ЧСД', 'Часы сдельной работы', 5),
    ('night_hours', 'ЧН', 'Часы ночной работы', 6),
    ('dayoff_hours', 'ЧРВ', 'Часы работы в выходные и праздничные дни', 7)
ON CONFLICT (indicator) DO NOTHING;
INSERT INTO accounts_dep.payroll_indicator (indicator, code, caption, ord)
SELECT 'absence:' || k.code, k.code, 'Дни: ' || k.caption, 100 + k.ord
FROM accounts_dep.absence_kind k
ON CONFLICT (indicator) DO NOTHING;

-- A day cannot hold hours of work and an absence: the mark of a day with hours is refused, and so
-- are hours on a day marked absent. One sentence a clerk can read.
CREATE OR REPLACE FUNCTION accounts_dep.refuse_hours_and_absence(w integer, d date, code text)
RETURNS void
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION USING ERRCODE = 'TB003',
        MESSAGE = format('%s, %s: в один день не бывает и часов работы, и отсутствия «%s»; '
                         'изменения не записаны.',
                         coalesce((SELECT p.fio FROM accounts_dep.person p WHERE p.id = w),
                                  'работник ' || w),
                         to_char(d, 'DD.MM.YYYY'), code);
END
$$;

-- A worker's month is locked as the hours posting locks it (the month shared, then the worker's
-- month), so that an absence and hours written by two copies at once for the same day wait for
-- each other and the second sees the first.
CREATE OR REPLACE FUNCTION accounts_dep.lock_worker_month(w integer, d date) RETURNS void
LANGUAGE sql SET search_path = pg_catalog, pg_temp AS $$
    SELECT pg_advisory_xact_lock_shared(-1, extract(year FROM d)::integer * 100
                                            + extract(month FROM d)::integer);
    SELECT pg_advisory_xact_lock((1::bigint << 62) | (w::bigint << 20)
                                 | (extract(year FROM d)::integer * 100
                                    + extract(month FROM d)::integer));
$$;

CREATE OR REPLACE FUNCTION accounts_dep.absence_without_hours() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF TG_OP = 'UPDATE' AND NEW.w_id = OLD.w_id AND NEW.d_date = OLD.d_date THEN
        RETURN NEW;
    END IF;
    PERFORM accounts_dep.lock_worker_month(NEW.w_id, NEW.d_date);
    IF EXISTS (SELECT 1 FROM accounts_dep.smena s
               WHERE s.w_id = NEW.w_id AND s.data >= NEW.d_date AND s.data < NEW.d_date + 1
                 AND s.time > 0)
       OR EXISTS (SELECT 1 FROM accounts_dep.fatigue f
                  WHERE f.id_p = NEW.w_id AND f.d_date = NEW.d_date AND f.cnt > 0) THEN
        PERFORM accounts_dep.refuse_hours_and_absence(NEW.w_id, NEW.d_date, NEW.code);
    END IF;
    RETURN NEW;
END
$$;
CREATE OR REPLACE TRIGGER absence_without_hours BEFORE INSERT OR UPDATE ON accounts_dep.absence
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.absence_without_hours();

-- Hours written onto a day the worker is marked absent. A change that leaves worker, day and
-- hours as they were (the acceptance mark) is not looked at.
CREATE OR REPLACE FUNCTION accounts_dep.hours_without_absence() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    w integer;
    d date;
    hours integer;
    marked text;
BEGIN
    IF TG_TABLE_NAME = 'smena' THEN
        IF TG_OP = 'UPDATE' AND (NEW.w_id, NEW.data, NEW.time)
                                IS NOT DISTINCT FROM (OLD.w_id, OLD.data, OLD.time) THEN
            RETURN NEW;
        END IF;
        w := NEW.w_id;
        d := NEW.data::date;
        hours := NEW.time;
    ELSE
        IF TG_OP = 'UPDATE' AND (NEW.id_p, NEW.d_date, NEW.cnt)
                                IS NOT DISTINCT FROM (OLD.id_p, OLD.d_date, OLD.cnt) THEN
            RETURN NEW;
        END IF;
        w := NEW.id_p;
        d := NEW.d_date;
        hours := NEW.cnt;
    END IF;
    IF coalesce(hours, 0) > 0 AND w IS NOT NULL AND d IS NOT NULL THEN
        PERFORM accounts_dep.lock_worker_month(w, d);
        SELECT a.code INTO marked FROM accounts_dep.absence a WHERE a.w_id = w AND a.d_date = d;
        IF FOUND THEN
            PERFORM accounts_dep.refuse_hours_and_absence(w, d, marked);
        END IF;
    END IF;
    RETURN NEW;
END
$$;
CREATE OR REPLACE TRIGGER smena_without_absence BEFORE INSERT OR UPDATE ON accounts_dep.smena
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.hours_without_absence();
CREATE OR REPLACE TRIGGER fatigue_without_absence BEFORE INSERT OR UPDATE ON accounts_dep.fatigue
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.hours_without_absence();

-- The closed-month guard and the change history, as for entries (the history names the table
-- 'absence'; the day is d_date).
CREATE OR REPLACE TRIGGER absence_history AFTER INSERT OR UPDATE OR DELETE
    ON accounts_dep.absence
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.entry_history_write();

-- The change notifications of the open lists.
DO $$
DECLARE
    op text;
BEGIN
    FOREACH op IN ARRAY ARRAY['insert', 'update', 'delete', 'truncate'] LOOP
        EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER %s ON accounts_dep.absence %s FOR EACH '
                       'STATEMENT EXECUTE FUNCTION accounts_dep.announce_change(%L, %L)',
                       'absence_announce_' || op, upper(op),
                       CASE op WHEN 'insert' THEN 'REFERENCING NEW TABLE AS new_rows'
                               WHEN 'delete' THEN 'REFERENCING OLD TABLE AS old_rows'
                               WHEN 'update'
                               THEN 'REFERENCING OLD TABLE AS old_rows NEW TABLE AS new_rows'
                               ELSE '' END,
                       'd_date', 'd_date');
    END LOOP;
END
$$;

-- Owned by the program's owner; read by every group, written by full access only.
ALTER TABLE accounts_dep.absence_kind OWNER TO tabel_owner;
ALTER TABLE accounts_dep.absence OWNER TO tabel_owner;
ALTER TABLE accounts_dep.site_setting OWNER TO tabel_owner;
ALTER TABLE accounts_dep.payroll_indicator OWNER TO tabel_owner;
ALTER FUNCTION accounts_dep.refuse_hours_and_absence(integer, date, text) OWNER TO tabel_owner;
ALTER FUNCTION accounts_dep.lock_worker_month(integer, date) OWNER TO tabel_owner;
ALTER FUNCTION accounts_dep.absence_without_hours() OWNER TO tabel_owner;
ALTER FUNCTION accounts_dep.hours_without_absence() OWNER TO tabel_owner;
REVOKE ALL ON accounts_dep.absence_kind, accounts_dep.absence, accounts_dep.site_setting,
    accounts_dep.payroll_indicator FROM PUBLIC;
GRANT SELECT ON accounts_dep.absence_kind, accounts_dep.absence, accounts_dep.site_setting,
    accounts_dep.payroll_indicator
    TO tabel_full, tabel_planning, tabel_foremen, tabel_warehouse, tabel_reader;
GRANT INSERT, UPDATE, DELETE ON accounts_dep.absence, accounts_dep.site_setting,
    accounts_dep.payroll_indicator
    TO tabel_full;
GRANT USAGE ON SEQUENCE accounts_dep.absence_id_seq TO tabel_full;
