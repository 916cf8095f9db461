#!/usr/bin/env bash
# Benchmark of the audit checks: each statement of bench/bench_checks (the program's own data
# layer: data manager, TQuery, as the check windows and the overview run them) against the
# engine's own command-line client running the very same SQL text, in paired rounds, for
# SQLite (AuditDemo) and PostgreSQL (AuditDemoPg), on the benchmark databases of
# scripts/bench-data-layer.sh (1,000,000 sales by default; --sales 10000000 for the large
# ones).
#
#   scripts/bench-checks.sh [--sales N] [--runs R] [--repeat P] [--ini FILE] [--no-setup]
#                           [--engines sqlite,pg] [--raw FILE] [--idle-wait S]
#
# The options, the rounds and the client's timing are those of scripts/bench-grid.sh.
# Statements (bench_checks --print-sql lists them), three a check on the whole data with the
# default parameters: KEY.overview (the overview's count and amount), KEY.count and KEY.page
# (the count and first page of 500 findings its window runs). A second table adds up each
# part over all the checks: "overview" is the whole overview's time, program against client.
#
# Builds Release into build-release/ (BUILD_DIR to change; JOBS=N for a parallel build).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib-bench.sh
source scripts/lib-bench.sh
# shellcheck source=lib-statement-bench.sh
source scripts/lib-statement-bench.sh
statement_bench_main bench_checks "$0" "$@"
