#!/bin/sh
# A throwaway PostgreSQL 15 cluster for the tests: its own folder, its own
# port on 127.0.0.1 and a Unix socket in that folder; never the machine's own
# server, and nothing outside this machine.
#   cluster.sh start FOLDER PORT [durable]
#                                  a new cluster, started (an old one in FOLDER is stopped and
#                                  removed); without durable, it does not wait for the disk (fsync off)
#   cluster.sh stop FOLDER         stops it and removes the folder
#   cluster.sh pause FOLDER        stops the server, keeping the cluster (a server that goes away)
#   cluster.sh resume FOLDER       starts it again
#   cluster.sh freeze FOLDER       stops every process of the server where it stands (SIGSTOP):
#                                  a server that no longer answers, its connections still open
#   cluster.sh thaw FOLDER         lets them go on
#   cluster.sh crash FOLDER        stops the server at once, as a power cut would, keeping the cluster
#   cluster.sh standby FOLDER PORT PRIMARY
#                                  a standby of the cluster in the folder PRIMARY (pg_basebackup -R),
#                                  streaming from it, started
#   cluster.sh promote FOLDER      makes a standby the primary
#   cluster.sh pooler FOLDER PORT SERVER_PORT MODE
#                                  pgbouncer on 127.0.0.1:PORT in front of the cluster on SERVER_PORT, in
#                                  MODE (session, transaction or statement) pooling, with one server
#                                  session for each database and role, so that every client shares it; the
#                                  role postgres, trusted; stop FOLDER stops it
#   cluster.sh repoint FOLDER SERVER_PORT
#                                  the pooler in FOLDER sends its clients to the cluster on SERVER_PORT
# Run as root, the server runs as the user postgres (PostgreSQL refuses
# root). Roles: postgres (the tests' own, no password over the socket or from
# 127.0.0.1); desk, reader, clerk and owner, each with the password "<role>
# secret" asked for over TCP (desk may do anything; the others have no
# rights until a test grants them). TLS is on, with a certificate for
# kolvara.test, localhost and 127.0.0.1 that the cluster makes for itself:
# FOLDER/server.crt (the one to trust) and FOLDER/other.crt (one that is not
# the server's).
set -eu
action=$1
folder=$2
bin=$(ls -d /usr/lib/postgresql/15/bin 2>/dev/null || true)
if [ -z "$bin" ]; then
    echo "cluster.sh: PostgreSQL 15 is not installed (Debian's postgresql-15; make setup installs it)" >&2
    exit 1
fi

as_server() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop() {
    if [ -f "$folder/pgbouncer.pid" ]; then
        kill "$(cat "$folder/pgbouncer.pid")" 2>/dev/null || true
    fi
    if [ -f "$folder/data/postmaster.pid" ]; then
        as_server "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop > /dev/null 2>&1 || true
    fi
    rm -rf "$folder"
}

case "$action" in
start)
    port=$3
    fsync=off
    if [ "${4:-}" = durable ]; then
        fsync=on
    fi
    stop
    mkdir -p "$folder"
    if [ "$(id -u)" = 0 ]; then
        chown postgres "$folder"
    fi
    as_server "$bin/initdb" -D "$folder/data" -U postgres --auth-local=trust --auth-host=trust \
        --encoding=UTF8 --locale=C.UTF-8 > "$folder/initdb.log" 2>&1 || { cat "$folder/initdb.log" >&2; exit 1; }
    # The roles of desks give their passwords over TCP; postgres is trusted.
    { echo "host all desk,reader,clerk,owner 127.0.0.1/32 scram-sha-256"; cat "$folder/data/pg_hba.conf"; } > "$folder/hba"
    as_server cp "$folder/hba" "$folder/data/pg_hba.conf"
    for name in server other; do
        openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=kolvara.test" \
            -addext "subjectAltName=DNS:kolvara.test,DNS:localhost,IP:127.0.0.1" \
            -keyout "$folder/$name.key" -out "$folder/$name.crt" > /dev/null 2>&1
    done
    chmod 600 "$folder/server.key"
    if [ "$(id -u)" = 0 ]; then
        chown postgres "$folder/server.key"
    fi
    printf "listen_addresses = '127.0.0.1'\nport = %s\nunix_socket_directories = '%s'\nfsync = %s\nmax_connections = 60\n" \
        "$port" "$folder" "$fsync" > "$folder/settings"
    printf "ssl = on\nssl_cert_file = '%s/server.crt'\nssl_key_file = '%s/server.key'\n" "$folder" "$folder" >> "$folder/settings"
    as_server sh -c "cat '$folder/settings' >> '$folder/data/postgresql.conf'"
    as_server "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 start > /dev/null \
        || { cat "$folder/server.log" >&2; exit 1; }
    as_server "$bin/psql" -h "$folder" -p "$port" -U postgres -d postgres -q -v ON_ERROR_STOP=1 \
        -c "CREATE ROLE desk LOGIN SUPERUSER PASSWORD 'desk secret'" \
        -c "CREATE ROLE reader LOGIN PASSWORD 'reader secret'" \
        -c "CREATE ROLE clerk LOGIN PASSWORD 'clerk secret'" \
        -c "CREATE ROLE owner LOGIN CREATEDB PASSWORD 'owner secret'" > /dev/null
    echo "PostgreSQL 15 for the tests on 127.0.0.1:$port and $folder"
    ;;
stop)
    stop
    ;;
pause)
    as_server "$bin/pg_ctl" -D "$folder/data" -m fast -w stop > /dev/null
    ;;
resume)
    as_server "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 start > /dev/null
    ;;
freeze|thaw)
    signal=STOP
    if [ "$action" = thaw ]; then
        signal=CONT
    fi
    postmaster=$(head -n 1 "$folder/data/postmaster.pid")
    kill -"$signal" "$postmaster"
    pkill -"$signal" -P "$postmaster" || true
    ;;
crash)
    as_server "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop > /dev/null
    ;;
standby)
    port=$3
    primary=$4
    stop
    mkdir -p "$folder"
    if [ "$(id -u)" = 0 ]; then
        chown postgres "$folder"
    fi
    as_server "$bin/pg_basebackup" -h "$primary" -p "$(sed -n 's/^port = //p' "$primary/settings")" -U postgres \
        -D "$folder/data" -R -X stream -c fast > "$folder/basebackup.log" 2>&1 || { cat "$folder/basebackup.log" >&2; exit 1; }
    sed -e "s/^port = .*/port = $port/" -e "s|^unix_socket_directories = .*|unix_socket_directories = '$folder'|" \
        "$primary/settings" > "$folder/settings"
    as_server sh -c "cat '$folder/settings' >> '$folder/data/postgresql.conf'"
    as_server "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 start > /dev/null \
        || { cat "$folder/server.log" >&2; exit 1; }
    ;;
promote)
    as_server "$bin/pg_ctl" -D "$folder/data" -w -t 60 promote > /dev/null
    ;;
pooler)
    port=$3
    server_port=$4
    stop
    mkdir -p "$folder"
    printf '"postgres" ""\n' > "$folder/users"
    printf '[databases]\n* = host=127.0.0.1 port=%s\n[pgbouncer]\nlisten_addr = 127.0.0.1\nlisten_port = %s\n' \
        "$server_port" "$port" > "$folder/pgbouncer.ini"
    printf 'unix_socket_dir =\nauth_type = trust\nauth_file = %s/users\npool_mode = %s\ndefault_pool_size = 1\n' \
        "$folder" "$5" >> "$folder/pgbouncer.ini"
    printf 'max_client_conn = 100\npidfile = %s/pgbouncer.pid\nlogfile = %s/pgbouncer.log\nadmin_users = postgres\n' \
        "$folder" "$folder" >> "$folder/pgbouncer.ini"
    if [ "$(id -u)" = 0 ]; then
        chown -R postgres "$folder"
    fi
    as_server pgbouncer -d -q "$folder/pgbouncer.ini" || { cat "$folder/pgbouncer.log" >&2; exit 1; }
    for i in $(seq 100); do
        "$bin/psql" -h 127.0.0.1 -p "$port" -U postgres -d pgbouncer -Atqc "SHOW VERSION" > /dev/null 2>&1 && exit 0
        sleep 0.1
    done
    echo "cluster.sh: pgbouncer did not start" >&2
    cat "$folder/pgbouncer.log" >&2
    exit 1
    ;;
repoint)
    # The pooler in FOLDER sends its clients to the cluster on port $3 from
    # now on, keeping their connections.
    sed -i "s/^\* = host=127.0.0.1 port=.*/* = host=127.0.0.1 port=$3/" "$folder/pgbouncer.ini"
    "$bin/psql" -h 127.0.0.1 -p "$(sed -n 's/^listen_port = //p' "$folder/pgbouncer.ini")" -U postgres -d pgbouncer \
        -Atqc "RELOAD" > /dev/null
    ;;
*)
    echo "usage: cluster.sh start FOLDER PORT | standby FOLDER PORT PRIMARY | pooler FOLDER PORT SERVER_PORT MODE |" \
         "repoint FOLDER SERVER_PORT | stop|pause|resume|freeze|thaw|crash|promote FOLDER" >&2

    exit 2
    ;;
esac
