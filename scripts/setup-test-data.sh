#!/usr/bin/env bash
# Sets up the databases of the integration tests (5000 sales) in build/test-data/:
#   audit-demo.sqlite   the SQLite database
#   expected.json       the generator's row counts and sums for them
#   odbc.ini            data sources "AuditDemo" (that file) and "AuditDemoPg" (database
#                       "auditdemo_test" of the project's PostgreSQL cluster)
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

# An empty SQLite file the tests fill with tables of their own.
ini="$(realpath -m "$dir")/odbc.ini"
demo_set_dsns "$ini" "[AuditScratch]
Description=Scratch database of the tests (SQLite)
Driver=SQLite3
Database=$(realpath -m "$dir")/scratch.sqlite"
