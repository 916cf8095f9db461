#!/usr/bin/env bash
# The project's own PostgreSQL 15 cluster for the demo and test databases.
#
#   scripts/pg-cluster.sh start    create the cluster if needed and start it (harmless when running)
#   scripts/pg-cluster.sh stop     stop it (quiet when it is not running)
#   scripts/pg-cluster.sh status   print whether it runs; exit 0 when it runs, 3 when not
#
# Settings (environment):
#   AUDITOR_PG_DIR   cluster folder, outside the repository (default /var/tmp/dravik-auditor-pg):
#                    data/ (the cluster), run/ (its socket), postgres.log
#   AUDITOR_PG_PORT  TCP port on 127.0.0.1 (default 55432)
#
# The server listens on 127.0.0.1 only and asks for a password (scram-sha-256) on TCP.
# The role "dba" (password "sql", may create databases) owns the demo databases. The
# postgres superuser is reached only through the cluster's own socket, as the postgres
# system user (PostgreSQL does not run as root).
set -euo pipefail

PG_BIN=/usr/lib/postgresql/15/bin
PG_DIR=${AUDITOR_PG_DIR:-/var/tmp/dravik-auditor-pg}
PG_DIR=$(realpath -m "$PG_DIR")
PG_PORT=${AUDITOR_PG_PORT:-55432}
PG_DATA=$PG_DIR/data
PG_SOCK=$PG_DIR/run
PG_LOG=$PG_DIR/postgres.log

# Commands of the cluster run as its owner: "postgres" when we are root, else ourselves.
if [ "$(id -u)" -eq 0 ]; then
  PG_OWNER=postgres
  as_owner() { (cd / && runuser -u postgres -- "$@"); }
else
  PG_OWNER=$(id -un)
  as_owner() { "$@"; }
fi

die() { echo "pg-cluster: $*" >&2; exit 1; }

running_port() {
  # Line 4 of postmaster.pid is the port of a running server.
  if as_owner "$PG_BIN/pg_ctl" -D "$PG_DATA" status >/dev/null 2>&1; then
    sed -n 4p "$PG_DATA/postmaster.pid" 2>/dev/null
  fi
}

# Runs a command without the descriptors this script inherited or opened (its lock, and
# the locks of its callers): the server lives on and must not keep them.
without_inherited_fds() {
  (
    for p in /proc/$BASHPID/fd/*; do
      fd=${p##*/}
      if [ "$fd" -gt 2 ] && [ "$fd" -lt 255 ]; then eval "exec $fd>&-"; fi
    done
    "$@"
  )
}

superuser_sql() {
  as_owner "$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$PG_SOCK" -p "$PG_PORT" -U postgres \
    -d postgres -tA "$@"
}

init_cluster() {
  [ -x "$PG_BIN/initdb" ] || die "PostgreSQL 15 is not installed (run scripts/install-deps.sh)"
  mkdir -p "$PG_DIR"
  if [ "$(id -u)" -eq 0 ]; then chown "$PG_OWNER": "$PG_DIR"; fi
  chmod 700 "$PG_DIR"
  as_owner mkdir -p "$PG_SOCK"
  echo "pg-cluster: creating the cluster in $PG_DATA" >&2
  # C collation: texts sort by code point, as in SQLite.
  as_owner "$PG_BIN/initdb" -D "$PG_DATA" -U postgres -E UTF8 --locale=C.UTF-8 --lc-collate=C \
    --auth-local=peer --auth-host=scram-sha-256 >"$PG_DIR/initdb.log" 2>&1 ||
    { cat "$PG_DIR/initdb.log" >&2; die "initdb failed"; }
  as_owner tee -a "$PG_DATA/postgresql.conf" >/dev/null <<EOF

# ---- Dravik auditor demo and test cluster
listen_addresses = '127.0.0.1'
unix_socket_directories = '$PG_SOCK'
password_encryption = 'scram-sha-256'
# Bulk loads of regenerable demo data: no WAL for tables filled in the transaction that
# creates them, large maintenance memory for the index builds.
wal_level = minimal
max_wal_senders = 0
synchronous_commit = off
max_wal_size = 4GB
checkpoint_timeout = 30min
shared_buffers = 256MB
maintenance_work_mem = 512MB
work_mem = 32MB
logging_collector = off
EOF
  as_owner tee "$PG_DATA/pg_hba.conf" >/dev/null <<'EOF'
# TYPE  DATABASE  USER  ADDRESS       METHOD
local   all       all                 peer
host    all       all   127.0.0.1/32  scram-sha-256
EOF
}

start() {
  local port
  port=$(running_port)
  if [ -n "$port" ] && [ "$port" != "$PG_PORT" ]; then
    echo "pg-cluster: restarting on port $PG_PORT (was $port)" >&2
    as_owner "$PG_BIN/pg_ctl" -D "$PG_DATA" -m fast -w stop >/dev/null
    port=""
  fi
  if [ -z "$port" ]; then
    [ -s "$PG_DATA/PG_VERSION" ] || init_cluster
    as_owner mkdir -p "$PG_SOCK"
    without_inherited_fds as_owner "$PG_BIN/pg_ctl" -D "$PG_DATA" -l "$PG_LOG" -w -t 60 \
      -o "-p $PG_PORT" start >/dev/null ||
      { tail -n 20 "$PG_LOG" >&2; die "the server did not start"; }
  fi
  if [ "$(superuser_sql -c "SELECT count(*) FROM pg_roles WHERE rolname = 'dba'")" != 1 ]; then
    superuser_sql -c "CREATE ROLE dba LOGIN CREATEDB CREATEROLE PASSWORD 'sql'" \
                  -c "GRANT pg_signal_backend TO dba" >/dev/null
  fi
  # The tests make short-lived login roles of their own.
  if [ "$(superuser_sql -c "SELECT rolcreaterole FROM pg_roles WHERE rolname = 'dba'")" != t ]; then
    superuser_sql -c "ALTER ROLE dba CREATEROLE" >/dev/null
  fi
}

stop() {
  if [ -n "$(running_port)" ]; then
    as_owner "$PG_BIN/pg_ctl" -D "$PG_DATA" -m fast -w stop >/dev/null
  fi
}

status() {
  local port
  port=$(running_port)
  if [ -n "$port" ]; then
    echo "running on 127.0.0.1:$port (data $PG_DATA)"
  else
    echo "stopped (data $PG_DATA)"
    return 3
  fi
}

case "${1:-}" in
  start | stop)
    # One cluster operation at a time (parallel setup scripts start it too).
    mkdir -p "$(dirname "$PG_DIR")"
    exec 9>"$PG_DIR.lock"
    flock 9
    "$1"
    ;;
  status) status ;;
  *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
esac
