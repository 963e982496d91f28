-- The register's change stamp on a PostgreSQL server: a value that moves
-- when a change to the register's tables is committed, so that a desk
-- holding the persons it read tells with one small read that nobody changed
-- anything since, and finds a narrower search in the rows it holds instead
-- of asking the server. MADE is drawn when the stamp is made: a register
-- made anew under the same name never shows an old stamp.
--
-- No writer waits for another for it. A table with the history's trigger
-- (history-postgresql.sql) is counted by the history itself: each change
-- adds a row there, numbered by the history's sequence, and the newest
-- number is part of the stamp. Every other table (the rows set aside by a
-- copy, or every table of a register without a history) has a trigger that
-- leaves the writing transaction's id in KOLVARA_WRITES (a row of its own,
-- which no other transaction writes); about one writer in 64 takes away the
-- rows of the writers before it, skipping any another holds, so the table
-- stays a few dozen rows. TRUNCATE, which the history does not see row by
-- row, is counted that way on every table.
--
-- What a reader sees is what was committed: the newest history number and
-- the newest writer, and every transaction still under way in the reader's
-- snapshot. Equal at two readings: nobody committed a change in between. A
-- writer that committed in between was either under way at the first
-- reading, and is no longer at the second, or began after it, and drew a
-- number (or left an id) above every one the first reading saw. (So the
-- history's sequence hands out its numbers one at a time, as made: a cache
-- of numbers per session would break the order.) The transactions under way
-- are every one of the server's: one of another program that ends moves the
-- stamp too, and the desk only reads once more.
--
-- The register's tools run it after the schema, and again after the rows
-- they copy, the tables of rows set aside and the history, so that the
-- tables the history counts lose the writers' trigger. It may be run again,
-- and run on a register made before the stamp, or stamped with the one row
-- every writer counted in (psql -1 -f stamp-postgresql.sql with the
-- register's URI) to give it this one; without it every search asks the
-- server. The triggers fire also where replication switches triggers off.

CREATE TABLE IF NOT EXISTS KOLVARA_STAMP (
    ONE     boolean PRIMARY KEY DEFAULT true CHECK (ONE),
    MADE    bigint NOT NULL
);
INSERT INTO KOLVARA_STAMP (MADE) VALUES (floor(random() * 9e18)::bigint) ON CONFLICT DO NOTHING;
-- The count of the stamp made before: a row every writer waited for. A
-- desk of that time that reads the stamp now is told it is not there.
ALTER TABLE KOLVARA_STAMP DROP COLUMN IF EXISTS CHANGES;
CREATE TABLE IF NOT EXISTS KOLVARA_WRITES (
    XID xid8 PRIMARY KEY
);

-- It counts with its owner's rights (the register's owner), so that a desk
-- that may change persons needs no right to the stamp beyond reading it,
-- and cannot set it.
CREATE OR REPLACE FUNCTION KOLVARA_COUNT_CHANGE() RETURNS trigger LANGUAGE plpgsql
SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
    INSERT INTO KOLVARA_WRITES (XID) VALUES (pg_current_xact_id()) ON CONFLICT DO NOTHING;
    IF random() < 1.0 / 64 THEN
        DELETE FROM KOLVARA_WRITES WHERE XID IN (
            SELECT XID FROM KOLVARA_WRITES WHERE XID < pg_current_xact_id() FOR UPDATE SKIP LOCKED);
    END IF;
    RETURN NULL;
END
$$;

-- The stamp as one value, read in the snapshot of the statement that asks;
-- with the history's newest number where the register keeps a history.
DO $stamp$
BEGIN
    EXECUTE format($f$
CREATE OR REPLACE FUNCTION KOLVARA_CHANGES() RETURNS bigint LANGUAGE sql STABLE
SECURITY DEFINER SET search_path FROM CURRENT AS $body$
    SELECT hashtextextended(coalesce((SELECT XID FROM KOLVARA_WRITES ORDER BY XID DESC LIMIT 1)::text, '-')
                            || ' ' || %s || ' ' || coalesce((
               SELECT string_agg(x::text, ',' ORDER BY x) FROM pg_snapshot_xip(pg_current_snapshot()) AS x), ''), 0)
$body$ $f$, CASE WHEN to_regclass('kolvara_history') IS NULL THEN $n$'-'$n$
                 ELSE $n$coalesce((SELECT ID FROM KOLVARA_HISTORY ORDER BY ID DESC LIMIT 1)::text, '-')$n$ END);
END
$stamp$;

-- Every table of the register counts, the rows set aside by a copy too: a
-- desk answers from the rows it holds only while every table it could read
-- is counted. Not the stamp's own tables, nor the history, which changes
-- only in the transaction of a change it counts itself.
DO $$
DECLARE
    counted regclass;
    recorded boolean;
BEGIN
    FOR counted IN SELECT c.oid::regclass FROM pg_class c
                   WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind IN ('r', 'p')
                     AND c.relname NOT IN ('kolvara_stamp', 'kolvara_writes')
    LOOP
        EXECUTE format('DROP TRIGGER IF EXISTS KOLVARA_STAMP ON %s', counted);
        CONTINUE WHEN counted = to_regclass('kolvara_history');
        -- Recorded: the history's triggers, always on, together fire at
        -- every INSERT (4), DELETE (8) and UPDATE (16).
        recorded := coalesce((SELECT bit_or(t.tgtype & 28) FROM pg_trigger t WHERE t.tgrelid = counted
                              AND t.tgname IN ('kolvara_history', 'kolvara_history_inserts')
                              AND t.tgenabled = 'A'), 0) = 28;
        EXECUTE format('CREATE TRIGGER KOLVARA_STAMP AFTER %s ON %s FOR EACH STATEMENT EXECUTE FUNCTION '
                       'KOLVARA_COUNT_CHANGE()',
                       CASE WHEN recorded THEN 'TRUNCATE' ELSE 'INSERT OR UPDATE OR DELETE OR TRUNCATE' END, counted);
        EXECUTE format('ALTER TABLE %s ENABLE ALWAYS TRIGGER KOLVARA_STAMP', counted);
    END LOOP;
END
$$;
