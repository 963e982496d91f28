-- The register's change stamp on a PostgreSQL server: one row whose count
-- moves in the same transaction as every change to the three tables, so
-- that a desk holding the persons it read tells with one small read that
-- nobody changed anything since, and finds a narrower search in the rows it
-- holds instead of asking the server. MADE is drawn when the stamp is made:
-- a register made anew under the same name never shows an old stamp.
--
-- The register's tools run it after the schema, and again after the rows
-- they copy (and the tables of rows set aside). It may be run again, and
-- run on a register made before the stamp (psql -1 -f stamp-postgresql.sql
-- with the register's URI) to give it one; without it every search asks the
-- server. The triggers fire also where replication switches triggers off.

CREATE TABLE IF NOT EXISTS KOLVARA_STAMP (
    ONE     boolean PRIMARY KEY DEFAULT true CHECK (ONE),
    MADE    bigint NOT NULL,
    CHANGES bigint NOT NULL DEFAULT 0
);
INSERT INTO KOLVARA_STAMP (MADE) VALUES (floor(random() * 9e18)::bigint) ON CONFLICT DO NOTHING;

-- It counts with its owner's rights (the register's owner), so that a desk
-- that may change persons needs no right to the stamp beyond reading it,
-- and cannot set it.
CREATE OR REPLACE FUNCTION KOLVARA_COUNT_CHANGE() RETURNS trigger LANGUAGE plpgsql
SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
    UPDATE KOLVARA_STAMP SET CHANGES = CHANGES + 1;
    RETURN NULL;
END
$$;

-- Every table of the register counts, the rows set aside by a copy too: a
-- desk answers from the rows it holds only while every table it could read
-- has the stamp's trigger.
DO $$
DECLARE
    counted regclass;
BEGIN
    FOR counted IN SELECT c.oid::regclass FROM pg_class c
                   WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind IN ('r', 'p')
                     AND c.relname <> 'kolvara_stamp'
    LOOP
        EXECUTE format('DROP TRIGGER IF EXISTS KOLVARA_STAMP ON %s', counted);
        EXECUTE format('CREATE TRIGGER KOLVARA_STAMP AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %s '
                       'FOR EACH STATEMENT EXECUTE FUNCTION KOLVARA_COUNT_CHANGE()', counted);
        EXECUTE format('ALTER TABLE %s ENABLE ALWAYS TRIGGER KOLVARA_STAMP', counted);
    END LOOP;
END
$$;
