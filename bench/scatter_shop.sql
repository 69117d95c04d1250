-- Stores a shop's shift entries worker by worker instead of in the order they were typed: the
-- state of a table loaded from another system, or of one whose entries were accepted and changed
-- days later (an update writes the row anew where there is room). A month's entries then lie on
-- nearly every page of the table. Run as a superuser on a copy made for the benchmark:
--   psql -d DATABASE -f bench/scatter_shop.sql
\set ON_ERROR_STOP on
BEGIN;
-- The entries themselves do not change: no posting, history or notification.
ALTER TABLE accounts_dep.smena DISABLE TRIGGER USER;
CREATE TEMP TABLE scattered ON COMMIT DROP AS
    SELECT * FROM accounts_dep.smena ORDER BY w_id, data, id;
TRUNCATE accounts_dep.smena;
INSERT INTO accounts_dep.smena SELECT * FROM scattered ORDER BY w_id, data, id;
ALTER TABLE accounts_dep.smena ENABLE TRIGGER USER;
COMMIT;
VACUUM ANALYZE accounts_dep.smena;
