-- The production calendar: the days that differ from the plain rule "Saturday and Sunday are days
-- off, the other days are working days". db/schema.sql and db/upgrade.sql include this file with
-- \ir and call pg_temp.tabel_production_calendar(), which
--   - creates the table accounts_dep.prod_calendar when it is missing,
--   - creates (or brings up to date) accounts_dep.prod_calendar_fill(year), which stores the
--     public holidays of the Labour Code (article 112) of a year that has no day stored yet,
--   - fills every year from 2007 to the next one that has nothing stored,
-- and returns whether it created the table and how many days it stored. The program fills later
-- years with the same function (the current and the next year at every start, and a year opened in
-- the calendar window). The decree's transfers of each year are entered by the office.

CREATE OR REPLACE FUNCTION pg_temp.tabel_production_calendar(OUT created boolean, OUT added integer,
                                                            OUT first_year integer,
                                                            OUT last_year integer)
LANGUAGE plpgsql AS $calendar$
BEGIN
    created := to_regclass('accounts_dep.prod_calendar') IS NULL;
    IF created THEN
        CREATE TABLE accounts_dep.prod_calendar (
            d_date date PRIMARY KEY,
            -- праздник: a public holiday (stored also on a Saturday or Sunday, for its name);
            -- выходной: a day off on a weekday moved there from a holiday or by decree;
            -- рабочий: a Saturday or Sunday that is worked
            kind   text NOT NULL CHECK (kind IN ('праздник', 'выходной', 'рабочий')),
            s_name varchar(128) NOT NULL DEFAULT ''
        );
        COMMENT ON TABLE accounts_dep.prod_calendar IS
            'Производственный календарь: дни, которые отличаются от правила «суббота и '
            'воскресенье — выходные»';
    END IF;

    CREATE OR REPLACE FUNCTION accounts_dep.prod_calendar_fill(y integer) RETURNS integer
    LANGUAGE plpgsql AS $fill$
    -- Stores the non-working public holidays of the year and the days off that the law moves from
    -- a holiday on a Saturday or Sunday to the next working day, when the year has no day stored
    -- yet (a year the office has started on is left to it). Returns how many days it stored.
    -- The list is the one in force since 2005; earlier years are left alone.
    DECLARE
        first_day constant date := make_date(y, 1, 1);
        next_first constant date := make_date(y + 1, 1, 1);
        added integer;
        h record;
        moved date;
    BEGIN
        IF y < 2005 THEN
            RETURN 0;
        END IF;
        -- Two copies filling the same year at once: the second waits, then finds it filled.
        PERFORM pg_advisory_xact_lock(-2112, y);
        IF EXISTS (SELECT 1 FROM accounts_dep.prod_calendar
                   WHERE d_date >= first_day AND d_date < next_first) THEN
            RETURN 0;
        END IF;
        -- Until 2012 the New Year holidays were 1 to 5 January; from 2013 on they are 1 to 6 and
        -- 8 January.
        INSERT INTO accounts_dep.prod_calendar (d_date, kind, s_name)
        SELECT make_date(y, l.m, l.d), 'праздник', l.name
        FROM (VALUES (1, 1, 'Новогодние каникулы', 2005), (1, 2, 'Новогодние каникулы', 2005),
                     (1, 3, 'Новогодние каникулы', 2005), (1, 4, 'Новогодние каникулы', 2005),
                     (1, 5, 'Новогодние каникулы', 2005), (1, 6, 'Новогодние каникулы', 2013),
                     (1, 7, 'Рождество Христово', 2005), (1, 8, 'Новогодние каникулы', 2013),
                     (2, 23, 'День защитника Отечества', 2005),
                     (3, 8, 'Международный женский день', 2005),
                     (5, 1, 'Праздник Весны и Труда', 2005), (5, 9, 'День Победы', 2005),
                     (6, 12, 'День России', 2005), (11, 4, 'День народного единства', 2005))
             AS l (m, d, name, since)
        WHERE y >= l.since;
        GET DIAGNOSTICS added = ROW_COUNT;
        -- A holiday on a Saturday or Sunday moves the day off to the next working day after it,
        -- earlier holidays first. From 2013 the January holidays are excepted: the government
        -- moves two of those days off by its yearly decree instead.
        FOR h IN SELECT c.d_date FROM accounts_dep.prod_calendar c
                 WHERE c.d_date >= first_day AND c.d_date < next_first
                   AND c.kind = 'праздник' AND extract(isodow FROM c.d_date) >= 6
                   AND (y < 2013 OR extract(month FROM c.d_date) > 1)
                 ORDER BY c.d_date LOOP
            SELECT min(h.d_date + i) INTO moved
            FROM generate_series(1, 31) AS i
            WHERE extract(isodow FROM h.d_date + i) < 6
              AND NOT EXISTS (SELECT 1 FROM accounts_dep.prod_calendar c
                              WHERE c.d_date = h.d_date + i);
            INSERT INTO accounts_dep.prod_calendar (d_date, kind, s_name)
            VALUES (moved, 'выходной', 'Перенос с ' || to_char(h.d_date, 'DD.MM'));
            added := added + 1;
        END LOOP;
        RETURN added;
    END
    $fill$;

    first_year := 2007;
    last_year := extract(year FROM current_date)::integer + 1;
    SELECT coalesce(sum(accounts_dep.prod_calendar_fill(y)), 0) INTO added
    FROM generate_series(first_year, last_year) AS y;
END
$calendar$;
