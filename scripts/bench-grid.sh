#!/usr/bin/env bash
# Benchmark of the report grid's column order and find: each statement of bench/bench_grid
# (the program's own data layer: data manager, TQuery, as the report window runs them)
# against the engine's own command-line client running the very same SQL text, in paired
# rounds, for SQLite (AuditDemo) and PostgreSQL (AuditDemoPg), on the benchmark databases of
# scripts/bench-data-layer.sh (1,000,000 sales by default).
#
#   scripts/bench-grid.sh [--sales N] [--runs R] [--repeat P] [--ini FILE] [--no-setup]
#                         [--engines sqlite,pg] [--raw FILE] [--idle-wait S]
#
# --sales N      sales in the demo database (default 1000000)
# --runs R       rounds (default 5); in each the program and the client run every statement
#                once, their order turned round every other round; medians over the rounds
# --repeat P     runs of a statement per process, program and client alike (default 3)
# --ini FILE     ODBCINI with the data sources "AuditDemo" and "AuditDemoPg" (default
#                /tmp/bench-odbc.ini, shared with bench-data-layer.sh)
# --no-setup     use the data sources of --ini as they are (default: the demo loader makes
#                the databases of N sales once and registers them)
# --raw FILE     every single measurement, TAB-separated (default BUILD_DIR/bench-grid.tsv)
# --idle-wait S  before each round wait up to S seconds (default 300) for the machine to be
#                idle (other processes under 15 % of the CPUs); 0 = do not wait
#
# The statements (bench_grid --print-sql lists them): count, the sales summary's count
# without a find (the window's own, beside which the find's cost shows); sort_first and
# sort_deep, the sales summary ordered by "Дължима сума" descending, its first page and
# page 1801 (OFFSET 900,000) of 500 rows; find_count and find_first, the count and the
# first page of the sales summary with the find "еоод" (a company form in the partners'
# names, in small letters); totals, the sums of the sales summary's totals row over the
# whole result. Program time: the median of the P runs of the process (Open, every row fetched,
# Close; the connection made before). Client time: P runs in one process (sqlite3 -batch;
# psql, a page through \copy ... to '/dev/null'), less the client's start-up and login (the
# same client running "SELECT 1"), divided by P. Ratio = program / client.
#
# Builds Release into build-release/ (BUILD_DIR to change; JOBS=N for a parallel build).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib-bench.sh
source scripts/lib-bench.sh
# shellcheck source=lib-statement-bench.sh
source scripts/lib-statement-bench.sh
statement_bench_main bench_grid "$0" "$@"
