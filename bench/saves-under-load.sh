#!/bin/sh
# Saves under load on a server: the program's save (its BEGIN with the
# transaction's number and mark, the probe of the city, the UPDATE of one
# person that compares what was seen, COMMIT) from 1, 10 and 50 clients at
# once (pgbench), on a register of 10,000 persons, with the register's
# triggers (the change stamp and the history) and beside it with them
# switched off. On a throwaway cluster like the tests' (not waiting for the
# disk), so that what is measured is the server's work, not the disk's.
#   saves-under-load.sh BIN PORT [SECONDS]
set -eu
bin=$1
port=$2
seconds=${3:-8}
here=$(dirname "$0")
folder=/tmp/kolvara-bench-load
pgbench=/usr/lib/postgresql/15/bin/pgbench
trap '"$here/../tests/server/cluster.sh" stop "$folder"' EXIT
"$here/../tests/server/cluster.sh" start "$folder" "$port" > /dev/null
psql() { /usr/lib/postgresql/15/bin/psql -h 127.0.0.1 -p "$port" -U postgres -d "$1" -q -At -c "$2"; }
psql postgres "CREATE DATABASE load" > /dev/null
"$bin/kolvara-make-register" --persons 10000 "postgresql://postgres@127.0.0.1:$port/load" > /dev/null
cat > "$folder/save.sql" <<'SQL'
\set id random(1, 10000)
BEGIN READ WRITE;
SELECT txid_current(), set_config('kolvara.mark', md5(random()::text), true), set_config('lock_timeout', '5000', true), set_config('enable_memoize', 'off', true), set_config('statement_timeout', '15000', true);
SELECT 1 FROM gradovi WHERE id_drzava = 1 AND id_grad = 1 LIMIT 1;
UPDATE podaci SET ime = CASE WHEN ime LIKE '%x' THEN left(ime, -1) ELSE ime || 'x' END WHERE id = :id AND ime IS NOT DISTINCT FROM ime RETURNING id, id_drzava, id_grad, ime, prezime;
COMMIT;
SQL
triggers() {
    psql load "ALTER TABLE podaci $1 TRIGGER kolvara_stamp; ALTER TABLE podaci $1 TRIGGER kolvara_history"
}
saves() {
    "$pgbench" -n -M extended -T "$seconds" -c "$1" -j 2 -f "$folder/save.sql" -h 127.0.0.1 -p "$port" -U postgres load \
        2> /dev/null | sed -n 's/^tps = \([0-9]*\).*/\1/p'
}
echo "### Saves under load (a server on this machine, 10,000 persons; medians of three ${seconds} s runs)"
echo
echo "| clients | saves/s with the stamp and history | without the register's triggers | ratio |"
echo "|---|---|---|---|"
median() { sort -n | sed -n 2p; }
for clients in 1 10 50; do
    # Three runs of each, taking turns (the machine's load drifts), and the median.
    with=; without=
    for run in 1 2 3; do
        triggers "ENABLE ALWAYS"
        with="$with $(saves "$clients")"
        triggers DISABLE
        without="$without $(saves "$clients")"
    done
    with=$(echo $with | tr ' ' '\n' | median)
    without=$(echo $without | tr ' ' '\n' | median)
    echo "| $clients | $with | $without | $(awk "BEGIN { printf \"%.2f\", $with / $without }")× |"
done
echo
