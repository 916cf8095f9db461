#!/usr/bin/env bash
# Loads the benchmark databases of a size once, and says what it took: the time of the
# generator and of the two loads, and the disk the data needs (the generator's TAB files
# while loading, then the SQLite file and the PostgreSQL database).
#
#   scripts/bench-data.sh [--sales N] [--ini FILE]
#
# --sales N   sales (default 10000000); 1000000 is the size the benchmark scripts use by
#             default, any other goes to build-release/bench-demo-N and auditbench_N
# --ini FILE  where "AuditDemo" and "AuditDemoPg" are registered (default /tmp/bench-odbc.ini)
#
# The benchmark scripts call the same loader; run this first to load a large size apart
# from a measurement (nothing is loaded again when the data is there).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib-bench.sh
source scripts/lib-bench.sh
SALES=10000000
INI=/tmp/bench-odbc.ini
BUILD_DIR=${BUILD_DIR:-build-release}
while [ $# -gt 0 ]; do
  case "$1" in
    --sales) SALES=$2; shift 2 ;;
    --ini) INI=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 1 ;;
  esac
done
bash scripts/install-deps.sh
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
dir=$BUILD_DIR/bench-demo db=auditbench
if [ "$SALES" != 1000000 ]; then dir=$BUILD_DIR/bench-demo-$SALES; db=auditbench_$SALES; fi

started=$SECONDS
export AUDITOR_KEEP_TSV=1 # measured below, then removed
bench_data_setup "$BUILD_DIR" "$SALES" "$INI"
elapsed=$((SECONDS - started))
tsv_mb=$(du -sm "$dir/tsv" 2>/dev/null | cut -f1 || echo 0)
rm -rf "$dir/tsv"
sqlite_mb=$(du -m "$dir/audit-demo.sqlite" | cut -f1)
pg_mb=$(PGPASSWORD=sql psql -h 127.0.0.1 -p "${AUDITOR_PG_PORT:-55432}" -U dba -d postgres -tA \
  -c "SELECT pg_database_size('$db') / 1048576")
lines=$(sqlite3 "$dir/audit-demo.sqlite" "SELECT count(*) FROM SalesDetailsAudit")
echo "sales: $SALES; sale lines: $lines"
echo "time: ${elapsed} s (generator and both loads; nothing when already loaded)"
echo "disk: SQLite file ${sqlite_mb} MB, PostgreSQL database ${pg_mb} MB, TAB files while loading ${tsv_mb} MB"
