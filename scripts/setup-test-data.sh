#!/usr/bin/env bash
# Sets up the databases of the integration tests (5000 sales) in build/test-data/:
#   audit-demo.sqlite   the SQLite database
#   expected.json       the generator's row counts and sums for them
#   odbc.ini            data sources "AuditDemo" (that file) and "AuditDemoPg" (database
#                       "auditdemo_test" of the project's PostgreSQL cluster), and the two
#                       scratch databases "AuditScratch" (scratch.sqlite) and "AuditScratchPg"
#                       (database "auditscratch_test") that tests fill with tables of their own
# Tests run with ODBCINI=build/test-data/odbc.ini, so they never touch the user's file.
# AUDITOR_TEST_DATA_DIR overrides the folder. Quick when everything is already there.
set -euo pipefail
source "$(dirname "$0")/lib-demo.sh"

[ $# -eq 0 ] || { echo "usage: $0" >&2; exit 2; }
dir=${AUDITOR_TEST_DATA_DIR:-$DEMO_BUILD/test-data}
mkdir -p "$dir"
exec 8>"$dir/.lock"
flock 8
demo_setup "$dir" 5000 auditdemo_test "$(realpath -m "$dir")/odbc.ini"

# Scratch databases the tests fill with tables of their own.
if [ -z "$(demo_psql postgres -tA -c "SELECT 1 FROM pg_database WHERE datname = 'auditscratch_test'")" ]; then
  demo_psql postgres -c "CREATE DATABASE auditscratch_test OWNER dba TEMPLATE template0 ENCODING 'UTF8'"
fi
ini="$(realpath -m "$dir")/odbc.ini"
demo_set_dsns "$ini" "[AuditScratch]
Description=Scratch database of the tests (SQLite)
Driver=SQLite3
Database=$(realpath -m "$dir")/scratch.sqlite" "[AuditScratchPg]
Description=Scratch database of the tests (PostgreSQL)
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$DEMO_PG_PORT
Database=auditscratch_test"
