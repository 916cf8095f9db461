#!/usr/bin/env bash
# Sets up the demo audit databases and registers them as user data sources:
#   "AuditDemo"   SQLite file build/demo/audit-demo.sqlite (driver "SQLite3")
#   "AuditDemoPg" database "auditdemo" of the project's PostgreSQL cluster
#                 (driver "PostgreSQL Unicode", 127.0.0.1, user dba / password sql)
# in $ODBCINI, or ~/.odbc.ini when ODBCINI is not set. Other entries of that file stay.
#
#   scripts/setup-demo.sh [--sales N]     N sales (default 5000)
#
# Installs what is missing, starts the cluster, builds the generator and loads the data
# only when needed: a second run with the same size returns at once.
# AUDITOR_DEMO_DIR overrides the folder of the SQLite file (default build/demo).
set -euo pipefail
source "$(dirname "$0")/lib-demo.sh"

sales=5000
while [ $# -gt 0 ]; do
  case "$1" in
    --sales) sales=${2:?--sales needs a number}; shift 2 ;;
    --sales=*) sales=${1#--sales=}; shift ;;
    -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "usage: $0 [--sales N]" >&2; exit 2 ;;
  esac
done
[[ $sales =~ ^[1-9][0-9]*$ ]] || { echo "setup-demo: --sales must be a positive number" >&2; exit 2; }

dir=${AUDITOR_DEMO_DIR:-$DEMO_BUILD/demo}
mkdir -p "$dir"
exec 8>"$dir/.lock"
flock 8
demo_setup "$dir" "$sales" auditdemo "${ODBCINI:-$HOME/.odbc.ini}"
