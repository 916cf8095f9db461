#!/usr/bin/env bash
# Benchmark of a report window: the time from a click to the grid showing a page of the sales
# detail report (bench/bench_report_window, the real TSalesDetailForm on Qt's offscreen
# platform), against each engine's own command-line client running the same count query and
# the same page query, on the same data, in one run, for SQLite (AuditDemo) and PostgreSQL
# (AuditDemoPg). The databases are those of scripts/bench-data-layer.sh (1,000,000 sales).
#
#   scripts/bench-report-window.sh [--sales N] [--runs R] [--repeat P] [--ini FILE]
#                                  [--no-setup] [--engines sqlite,pg] [--raw FILE]
#                                  [--idle-wait S] [--month YYYY-MM]
#
# --sales N      sales in the demo database (default 1000000)
# --runs R       rounds (default 5); in each the window and the clients are run once, their
#                order turned round every other round; medians over the rounds are reported
# --repeat P     clicks of each kind per window process, and runs of each statement per
#                client process (default 5)
# --ini FILE     ODBCINI with the data sources "AuditDemo" and "AuditDemoPg" (default
#                /tmp/bench-odbc.ini, shared with bench-data-layer.sh)
# --no-setup     use the data sources of --ini as they are (default: the demo loader makes the
#                databases of N sales once, as bench-data-layer.sh does, and registers them)
# --raw FILE     every single measurement, TAB-separated (default build-release/bench-report-window.tsv)
# --idle-wait S  before each round wait up to S seconds (default 300) for the machine to be
#                idle (other processes under 15 % of the CPUs); 0 = do not wait
# --month M      the period filter is that month (YYYY-MM) instead of the whole data
#
# The window is given the whole period of the data (first to last EndDocDate; --month for
# one month) and a page
# size of 5,000 rows. Cases: "first" = the Report button (page 1); "last" = the Last button
# (the last page, the rows that are left); "deep" = Previous from there (the last full page,
# OFFSET near the end of the result). Each click runs the count query and then the page
# query, as the window always does. Window time: from the click to the end of the grid's
# first paint of the page, the median of the P clicks of the process. Client time: the
# statements the window ran (printed by the window itself, from the report repository): the
# count query P times in one process, each page query P times in one process, rows to
# /dev/null (sqlite3 -batch; psql, the page with \copy ... to '/dev/null'); the client's
# start-up and login (the same client running "SELECT 1") are taken out of each, and what is
# left is divided by P. Client total = count + page.
#
# Builds Release into build-release/ (BUILD_DIR to change; JOBS=N for a parallel build).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib-bench.sh
source scripts/lib-bench.sh

SALES=1000000
RUNS=5
REPEAT=5
INI=/tmp/bench-odbc.ini
SETUP=1
ENGINES=sqlite,pg
BUILD_DIR=${BUILD_DIR:-build-release}
RAW=""
IDLE_WAIT=300
MONTH=""
PG_USER=${PG_USER:-dba}
PG_PASSWORD=${PG_PASSWORD:-sql}
SQLITE_DSN=${SQLITE_DSN:-AuditDemo}
PG_DSN=${PG_DSN:-AuditDemoPg}

while [ $# -gt 0 ]; do
  case "$1" in
    --sales) SALES=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    --repeat) REPEAT=$2; shift 2 ;;
    --ini) INI=$2; shift 2 ;;
    --no-setup) SETUP=0; shift ;;
    --engines) ENGINES=$2; shift 2 ;;
    --raw) RAW=$2; shift 2 ;;
    --idle-wait) IDLE_WAIT=$2; shift 2 ;;
    --month) MONTH=$2; shift 2 ;;
    -h|--help) sed -n '2,37p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 1 ;;
  esac
done
RAW=${RAW:-$BUILD_DIR/bench-report-window.tsv}
export ODBCINI=$INI
export LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=offscreen

bash scripts/install-deps.sh

# ---------------------------------------------------------------- build
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
nice -n 19 cmake --build "$BUILD_DIR" -j"${JOBS:-1}" --target bench_report_window >/dev/null
WINDOW=$(realpath -m "$BUILD_DIR")/bin/bench_report_window

# ---------------------------------------------------------------- data

if [ "$SETUP" = 1 ]; then
  # The same databases as bench-data-layer.sh: loaded once, reused as long as they match.
  bench_data_setup "$BUILD_DIR" "$SALES" "$INI"
fi

# ---------------------------------------------------------------- measurement
# The program's psqlODBC logs are named after it, sometimes with a stray character after it.
bench_scratch 'psqlodbc_bench_report_window*.log'
mkdir -p "$(dirname "$RAW")"
printf 'engine\tcase\ttool\tround\trows\tseconds\tcount_s\tpage_s\tafter_open_s\tpaint_s\n' >"$RAW"
STALLS=${RAW%.tsv}-stalls.tsv
printf 'engine\tcase\tround\tclicks\tlongest_stall_s\n' >"$STALLS"



ENGINE_ARGS_sqlite=(--dsn "$SQLITE_DSN" --driver SQLite3)
ENGINE_ARGS_pg=(--dsn "$PG_DSN" --driver "PostgreSQL Unicode" --user "$PG_USER" --password "$PG_PASSWORD")
if [ -n "$MONTH" ]; then
  period=(--from "$MONTH-01" --to "$(date -d "$MONTH-01 +1 month -1 day" +%F)")
  ENGINE_ARGS_sqlite+=("${period[@]}")
  ENGINE_ARGS_pg+=("${period[@]}")
fi

# The engine's own client on a script file; rows to /dev/null.
client() { # engine file
  case $1 in
    sqlite) sqlite3 -batch -separator $'\t' "$(ini_get "$INI" "$SQLITE_DSN" Database)" <"$2" >/dev/null ;;
    pg) PGPASSWORD=$PG_PASSWORD PGOPTIONS='-c client_min_messages=warning' psql -X -q -v ON_ERROR_STOP=1 \
          -h "$(ini_get "$INI" "$PG_DSN" Servername)" -p "$(ini_get "$INI" "$PG_DSN" Port)" \
          -U "$PG_USER" -d "$(ini_get "$INI" "$PG_DSN" Database)" -f "$2" >/dev/null ;;
  esac
}
client_script() { # engine kind(count|page) sql repeat > file
  local i
  for ((i = 0; i < $4; i++)); do
    case $1:$2 in
      sqlite:*|pg:count) printf '%s;\n' "$3" ;;
      pg:page) printf '\\copy (%s) to %s\n' "$3" "'/dev/null'" ;;
    esac
  done
}

# The window: one process, P clicks of each case; one raw line per case (medians of the process).
run_window() { # engine round
  local e=$1 r=$2 args=ENGINE_ARGS_$1[@]
  if ! "$WINDOW" "${!args}" --repeat "$REPEAT" >"$TMP/out" 2>"$TMP/err"; then
    echo "FAILED: bench_report_window ($e)" >&2; cat "$TMP/err" >&2; exit 1
  fi
  awk -v e="$e" -v r="$r" '
    function med(list,   n, a, i, j, t) {
      n = split(list, a, " ")
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
      return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    /^RESULT / {
      delete kv
      for (i = 2; i <= NF; i++) { split($i, p, "="); kv[p[1]] = p[2] }
      c = kv["case"]; if (!(c in rows)) order[++n] = c
      rows[c] = kv["rows"]
      for (k in kv) if (k ~ /_s$|^seconds$/) v[c, k] = v[c, k] " " kv[k]
    }
    END {
      for (i = 1; i <= n; i++) { c = order[i]
        printf "%s\t%s\twindow\t%s\t%s\t%.6f\t%.6f\t%.6f\t%.6f\t%.6f\n", e, c, r, rows[c], med(v[c, "seconds"]),
          med(v[c, "count_s"]), med(v[c, "page_s"]), med(v[c, "after_open_s"]), med(v[c, "paint_s"]) }
    }' "$TMP/out" >>"$RAW"
  # The longest stall of the window'"'"'s thread for each kind of click, over the process.
  awk -v e="$e" -v r="$r" '
    /^(RESULT|STALL) / {
      delete kv
      for (i = 2; i <= NF; i++) { split($i, p, "="); kv[p[1]] = p[2] }
      c = kv["case"]; if (!(c in most)) { order[++n] = c; most[c] = 0 }
      clicks[c]++; if (kv["stall_s"] + 0 > most[c]) most[c] = kv["stall_s"] + 0
    }
    END { for (i = 1; i <= n; i++) printf "%s\t%s\t%s\t%d\t%.6f\n", e, order[i], r, clicks[order[i]], most[order[i]] }
  ' "$TMP/out" >>"$STALLS"
}

# A client process on a script; its wall time less the round's start-up, divided by P.
run_client() { # engine case round file repeat
  local e=$1 c=$2 r=$3 f=$4 n=$5 t0 t1
  t0=$(now_ns)
  client "$e" "$f" || { echo "FAILED: client $e $f" >&2; exit 1; }
  t1=$(now_ns)
  printf '%s\t%s\tclient\t%s\t-\t%.6f\t-\t-\t-\t-\n' "$e" "$c" "$r" "$(awk -v a="$t0" -v b="$t1" -v s="${START_NS:-0}" -v n="$n" 'BEGIN { print (b - a - s) / 1e9 / n }')" >>"$RAW"
  [ "$c" != start ] || START_NS=$((t1 - t0))
}

{
  echo "# machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
  echo "# load before: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$TMP/meta"

CASES=(first last deep)
for e in ${ENGINES//,/ }; do
  # The statements the window runs, as it prints them after an untimed round of clicks.
  args=ENGINE_ARGS_$e[@]
  if ! "$WINDOW" "${!args}" --print-sql >"$TMP/$e-sql.tsv" 2>"$TMP/err"; then
    echo "FAILED: bench_report_window --print-sql ($e)" >&2; cat "$TMP/err" >&2; exit 1
  fi
  count_sql=$(awk -F'\t' '$1 == "SQL" && $3 == "count" { print $4; exit }' "$TMP/$e-sql.tsv")
  [ "$(awk -F'\t' '$1 == "SQL" && $3 == "count"' "$TMP/$e-sql.tsv" | cut -f4 | sort -u | wc -l)" = 1 ] ||
    { echo "the window ran different count queries" >&2; exit 1; }
  client_script "$e" count "$count_sql" "$REPEAT" >"$TMP/$e-count.sql"
  for c in "${CASES[@]}"; do
    client_script "$e" page "$(awk -F'\t' -v c="$c" '$1 == "SQL" && $2 == c && $3 == "page" { print $4 }' "$TMP/$e-sql.tsv")" \
      "$REPEAT" >"$TMP/$e-$c.sql"
  done
  echo 'SELECT 1;' >"$TMP/$e-start.sql"
  {
    echo "$e: count query: $count_sql"
    echo "$e: deep page: $(awk -F'\t' '$2 == "deep" && $3 == "page" { print $4 }' "$TMP/$e-sql.tsv" | grep -o 'LIMIT.*')"
  } >>"$TMP/meta"

  for ((r = 1; r <= RUNS; r++)); do
    wait_idle
    echo "[$e] round $r/$RUNS" >&2
    clients() {
      START_NS=0
      run_client "$e" start "$r" "$TMP/$e-start.sql" 1
      run_client "$e" count "$r" "$TMP/$e-count.sql" "$REPEAT"
      for c in "${CASES[@]}"; do run_client "$e" "$c" "$r" "$TMP/$e-$c.sql" "$REPEAT"; done
    }
    if ((r % 2)); then run_window "$e" "$r"; clients; else clients; run_window "$e" "$r"; fi
  done
done
echo "# load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$TMP/meta"
echo "# rounds begun on a busy machine (other work over 15 % of the CPUs): $BUSY_ROUNDS of $TOTAL_ROUNDS" >>"$TMP/meta"

cat "$TMP/meta"
echo "# command: scripts/bench-report-window.sh --sales $SALES --runs $RUNS --repeat $REPEAT"
echo "# raw figures: $RAW"
echo
/usr/bin/python3 bench/bench_report_window.py "$RAW" "$STALLS"
