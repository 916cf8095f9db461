#!/usr/bin/env bash
# Benchmark of the data layer: the program's TQuery against the least an ODBC program can do
# with the same driver (bench/odbc_floor) and against each engine's own command-line client,
# on the same queries, in one run, for SQLite (AuditDemo) and PostgreSQL (AuditDemoPg).
#
#   scripts/bench-data-layer.sh [--sales N] [--runs R] [--page-repeat P] [--small N]
#                               [--ini FILE] [--no-setup] [--engines sqlite,pg]
#                               [--report NAME] [--raw FILE] [--idle-wait S]
#
# --sales N        sales in the demo database (default 1000000: one row per sale in
#                  SalesSummaryAudit)
# --runs R         rounds; every measurement is taken once per round, the tools of a round
#                  interleaved, and the median is reported (default 5)
# --page-repeat P  page queries run P times in one process per round (default 5)
# --small N        row count of the small stream of the memory check (default 100000)
# --ini FILE       ODBCINI holding the data sources "AuditDemo" and "AuditDemoPg" (default
#                  /tmp/bench-odbc.ini, so the user's own ~/.odbc.ini is never touched)
# --no-setup       use the data sources of --ini as they are (default: the demo loader
#                  makes build-release/bench-demo/audit-demo.sqlite and the PostgreSQL
#                  database "auditbench" with N sales, once, and registers them in --ini;
#                  sizes other than 1000000 go to bench-demo-N and auditbench_N)
# --report NAME    report whose query is measured (default SalesSummary)
# --raw FILE       every single measurement, TAB-separated (default build-release/bench-data-layer.tsv)
# --callgrind N    also count the instructions of each tool (valgrind --tool=callgrind) on the
#                  first N rows of the stream, less a 1-row run: instructions per row, free of
#                  the noise of a shared machine (default 20000; 0 = skip)
# --idle-wait S    before each round wait up to S seconds (default 300) for the machine to be
#                  idle (other processes under 15 % of the CPUs); 0 = do not wait
#
# Builds Release into build-release/ (BUILD_DIR to change). Times: pages are the median time of
# one page query on an open connection (execute + fetch); the client runs the same page query P
# times in one process, its time is the whole process divided by P. Streams are the wall time of
# the whole process (start, connect, execute, fetch, exit) for every tool. Peak memory is the
# maximum resident set (/usr/bin/time %M) of the process.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib-bench.sh
source scripts/lib-bench.sh
ROOT=$PWD

SALES=1000000
RUNS=5
PAGE_REPEAT=5
SMALL=100000
INI=/tmp/bench-odbc.ini
SETUP=1
ENGINES=sqlite,pg
REPORT=SalesSummary
BUILD_DIR=${BUILD_DIR:-build-release}
RAW=""
IDLE_WAIT=300
CALLGRIND=20000
PG_USER=${PG_USER:-dba}
PG_PASSWORD=${PG_PASSWORD:-sql}
SQLITE_DSN=${SQLITE_DSN:-AuditDemo}
PG_DSN=${PG_DSN:-AuditDemoPg}
PAGE_SIZE=5000

while [ $# -gt 0 ]; do
  case "$1" in
    --sales) SALES=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    --page-repeat) PAGE_REPEAT=$2; shift 2 ;;
    --small) SMALL=$2; shift 2 ;;
    --ini) INI=$2; shift 2 ;;
    --no-setup) SETUP=0; shift ;;
    --engines) ENGINES=$2; shift 2 ;;
    --report) REPORT=$2; shift 2 ;;
    --raw) RAW=$2; shift 2 ;;
    --idle-wait) IDLE_WAIT=$2; shift 2 ;;
    --callgrind) CALLGRIND=$2; shift 2 ;;
    -h|--help) sed -n '2,33p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 1 ;;
  esac
done
RAW=${RAW:-$BUILD_DIR/bench-data-layer.tsv}
export ODBCINI=$INI
export LC_ALL=C.UTF-8

bash scripts/install-deps.sh

# ---------------------------------------------------------------- build
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" --target odbc_floor bench_data_layer >/dev/null
FLOOR=$ROOT/$BUILD_DIR/bin/odbc_floor
TQUERY=$ROOT/$BUILD_DIR/bin/bench_data_layer

# ---------------------------------------------------------------- data

CONN_sqlite="DSN=$SQLITE_DSN;LongNames=1;StepAPI=1"
CONN_pg="DSN=$PG_DSN;UID=$PG_USER;PWD=$PG_PASSWORD;UseDeclareFetch=1;Fetch=2000"
DRIVER_sqlite="SQLite3"
DRIVER_pg="PostgreSQL Unicode"
DSN_sqlite=$SQLITE_DSN
DSN_pg=$PG_DSN
VIEW=$("$TQUERY" --driver SQLite3 --report "$REPORT" --print-sql | sed -E 's/.* FROM ([A-Za-z_]+).*/\1/')

view_rows() { # engine -> row count of the view, empty when it cannot be read
  local conn=CONN_$1
  "$FLOOR" "${!conn}" "SELECT count(*) FROM $VIEW" --text --out - 2>/dev/null | grep -v '^RESULT' | head -1 || true
}

engines=${ENGINES//,/ }
if [ "$SETUP" = 1 ]; then
  # The project's demo loader, into databases of the benchmark's own: the SQLite file under
  # the build folder and the PostgreSQL database "auditbench", registered as "AuditDemo" and
  # "AuditDemoPg" in $INI. The user's demo databases and ~/.odbc.ini stay as they are.
  # Nothing is loaded again when the data of that size is already there.
  bench_data_setup "$BUILD_DIR" "$SALES" "$INI"
fi

# ---------------------------------------------------------------- measurement
bench_scratch 'psqlodbc_odbc_floor_*.log' 'psqlodbc_bench_data_layer_*.log'
mkdir -p "$(dirname "$RAW")"
printf 'engine\tcase\ttool\tround\trows\tseconds\tpeak_kb\tcpu_s\n' >"$RAW"
IR=${RAW%.tsv}-instructions.tsv
printf 'engine\ttool\trows\tinstructions\n' >"$IR"
if [ "$CALLGRIND" -gt 0 ] && ! command -v valgrind >/dev/null; then
  echo "valgrind is not installed: no instruction counts" >&2
  CALLGRIND=0
fi

# count ENGINE TOOL ROWS command...: instructions of the whole process under callgrind.
count() {
  local engine=$1 tool=$2 rows=$3 n; shift 3
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" >/dev/null 2>"$TMP/cg" ||
    { echo "FAILED under callgrind: $*" >&2; cat "$TMP/cg" >&2; exit 1; }
  n=$(grep -o 'Collected : [0-9]*' "$TMP/cg" | grep -o '[0-9]*$')
  printf '%s\t%s\t%s\t%s\n' "$engine" "$tool" "$rows" "$n" >>"$IR"
}



# run ENGINE CASE TOOL ROUND MODE -- command...
#   MODE internal: seconds = median of the RESULT lines' seconds (runs inside the process)
#   MODE wall:     seconds = wall time of the process
#   MODE wall/N:   seconds = wall time of the process / N
run() {
  local engine=$1 case=$2 tool=$3 round=$4 mode=$5; shift 6
  local t0 t1 secs rows peak user sys
  t0=$(now_ns)
  if ! /usr/bin/time -o "$TMP/time" -f '%M %U %S' "$@" >"$TMP/out" 2>"$TMP/err"; then
    echo "FAILED: $*" >&2; cat "$TMP/err" >&2; exit 1
  fi
  t1=$(now_ns)
  read -r peak user sys <"$TMP/time"
  rows=$(grep -o ' rows=[0-9]*' "$TMP/out" | tail -1 | cut -d= -f2 || true)
  case $mode in
    internal) secs=$(grep -o ' seconds=[0-9.]*' "$TMP/out" | cut -d= -f2 | sort -g |
                     awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }') ;;
    wall) secs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", (b - a) / 1e9 }') ;;
    wall/*) secs=$(awk -v a="$t0" -v b="$t1" -v n="${mode#wall/}" 'BEGIN { printf "%.6f", (b - a) / 1e9 / n }') ;;
  esac
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$engine" "$case" "$tool" "$round" "${rows:--}" "$secs" "$peak" \
    "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')" >>"$RAW"
}

# The engine's own client: the same SQL, rows TAB-separated to /dev/null.
client() { # engine sqlfile
  case $1 in
    sqlite) sqlite3 -batch -separator $'\t' "$(ini_get "$INI" "$SQLITE_DSN" Database)" <"$2" >/dev/null ;;
    pg) PGPASSWORD=$PG_PASSWORD psql -X -q -v ON_ERROR_STOP=1 \
          -h "$(ini_get "$INI" "$PG_DSN" Servername)" -p "$(ini_get "$INI" "$PG_DSN" Port)" \
          -U "$PG_USER" -d "$(ini_get "$INI" "$PG_DSN" Database)" -f "$2" >/dev/null ;;
  esac
}
client_script() { # engine sql repeat > file
  local i
  for ((i = 0; i < $3; i++)); do
    case $1 in
      sqlite) printf '%s;\n' "$2" ;;
      pg) printf '\\copy (%s) to %s\n' "$2" "'/dev/null'" ;;
    esac
  done
}
export -f client ini_get
export INI SQLITE_DSN PG_DSN PG_USER PG_PASSWORD

{
  echo "# machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
  echo "# load before: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$TMP/meta"

for e in $engines; do
  conn=CONN_$e; conn=${!conn}
  driver=DRIVER_$e; driver=${!driver}
  dsn=DSN_$e; dsn=${!dsn}
  login=()
  [ "$e" = pg ] && login=(--user "$PG_USER" --password "$PG_PASSWORD")
  total=$(view_rows "$e")
  [ -n "$total" ] || { echo "cannot read $VIEW through $dsn (ODBCINI=$INI)" >&2; exit 1; }
  deep=$(( total / PAGE_SIZE - 1 ))
  [ "$deep" -ge 0 ] || deep=0
  sql() { "$TQUERY" --driver "$driver" --report "$REPORT" "$@" --print-sql; }
  SQL_page_first=$(sql --page 0 --page-size $PAGE_SIZE)
  SQL_page_deep=$(sql --page $deep --page-size $PAGE_SIZE)
  SQL_stream=$(sql)
  SQL_stream_small=$(sql --page 0 --page-size "$SMALL")
  for c in page_first page_deep stream stream_small; do
    v=SQL_$c
    case $c in page_*) rep=$PAGE_REPEAT ;; *) rep=1 ;; esac
    client_script "$e" "${!v}" "$rep" >"$TMP/$e-$c.sql"
  done
  echo "$e: $VIEW has $total rows; deep page = page $deep" >>"$TMP/meta"
  echo "$e: stream query: $SQL_stream" >>"$TMP/meta"

  for ((r = 1; r <= RUNS; r++)); do
    wait_idle
    echo "[$e] round $r/$RUNS" >&2
    for c in page_first page_deep; do
      v=SQL_$c
      run "$e" "$c" floor "$r" internal -- "$FLOOR" "$conn" "${!v}" --repeat "$PAGE_REPEAT"
      run "$e" "$c" floor_row1 "$r" internal -- "$FLOOR" "$conn" "${!v}" --repeat "$PAGE_REPEAT" --rowset 1
      run "$e" "$c" tquery "$r" internal -- "$TQUERY" --dsn "$dsn" --driver "$driver" "${login[@]}" --sql "${!v}" \
        --cursor static --repeat "$PAGE_REPEAT"
      run "$e" "$c" client "$r" "wall/$PAGE_REPEAT" -- bash -c 'client "$0" "$1"' "$e" "$TMP/$e-$c.sql"
    done
    for c in stream stream_small; do
      v=SQL_$c
      run "$e" "$c" floor "$r" wall -- "$FLOOR" "$conn" "${!v}"
      run "$e" "$c" tquery "$r" wall -- "$TQUERY" --dsn "$dsn" --driver "$driver" "${login[@]}" --sql "${!v}" \
        --cursor forward
      run "$e" "$c" floor_text "$r" wall -- "$FLOOR" "$conn" "${!v}" --text --out /dev/null
      run "$e" "$c" tquery_string "$r" wall -- "$TQUERY" --dsn "$dsn" --driver "$driver" "${login[@]}" \
        --sql "${!v}" --cursor forward --read string
      run "$e" "$c" client "$r" wall -- bash -c 'client "$0" "$1"' "$e" "$TMP/$e-$c.sql"
      if [ "$c" = stream ]; then
        run "$e" "$c" floor_row1 "$r" wall -- "$FLOOR" "$conn" "${!v}" --rowset 1
      fi
    done
  done

  if [ "$CALLGRIND" -gt 0 ]; then
    echo "[$e] instruction counts" >&2
    for n in 1 "$CALLGRIND"; do
      q=$(sql --page 0 --page-size "$n")
      count "$e" floor "$n" "$FLOOR" "$conn" "$q"
      count "$e" floor_text "$n" "$FLOOR" "$conn" "$q" --text --out /dev/null
      count "$e" tquery "$n" "$TQUERY" --dsn "$dsn" --driver "$driver" "${login[@]}" --sql "$q" --cursor forward
      count "$e" tquery_string "$n" "$TQUERY" --dsn "$dsn" --driver "$driver" "${login[@]}" --sql "$q" \
        --cursor forward --read string
      if [ "$e" = sqlite ]; then # the PostgreSQL client's work is done by the server
        client_script "$e" "$q" 1 >"$TMP/cg.sql"
        count "$e" client "$n" sqlite3 -batch -separator $'\t' "$(ini_get "$INI" "$SQLITE_DSN" Database)" \
          ".read $TMP/cg.sql"
      fi
    done
  fi
done
echo "# load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$TMP/meta"
echo "# rounds begun on a busy machine (other work over 15 % of the CPUs): $BUSY_ROUNDS of $TOTAL_ROUNDS" >>"$TMP/meta"

cat "$TMP/meta"
echo "# command: scripts/bench-data-layer.sh --sales $SALES --runs $RUNS --page-repeat $PAGE_REPEAT --small $SMALL --report $REPORT"
echo "# raw figures: $RAW"
echo
/usr/bin/python3 bench/bench_report.py "$RAW" --page-size "$PAGE_SIZE" --instructions "$IR"
