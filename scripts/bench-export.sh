#!/usr/bin/env bash
# Benchmark of the export: the whole sales detail report (no filter, no paging) written to a
# file by the program's own strategies (bench/bench_export: the report window's statement,
# forward-only query and export options, QCoreApplication::processEvents every 100 records
# as the progress dialog leaves it), against, on the same statement and data in one run,
#   - the driver floor (bench/odbc_floor: the least an ODBC program does to fetch the rows;
#     also with every cell turned into text and written to a file);
#   - what a user would write in Python: pyodbc + the csv module (bench/export_pyodbc_csv.py),
#     pyodbc + XlsxWriter in constant_memory mode (bench/export_pyodbc_xlsx.py);
#   - the engine's own client writing a TAB-separated file (sqlite3 .headers on / .mode tabs /
#     .output; psql \copy (...) to FILE with (format csv, delimiter E'\t', header)),
# for SQLite (AuditDemo) and PostgreSQL (AuditDemoPg), at N sales and at a smaller size.
#
#   scripts/bench-export.sh [--sales N] [--small N] [--runs R] [--engines sqlite,pg]
#                           [--tools LIST] [--ini FILE] [--no-setup] [--raw FILE]
#                           [--idle-wait S]
#
# --sales N      sales in the large database (default 1000000; 3,343,469 report rows): the
#                databases of scripts/bench-data-layer.sh, loaded only when missing or stale
# --small N      sales in the small database (default 100000; 0 = none): databases of their
#                own (DATA_DIR/bench-demo-N, PostgreSQL database auditbench_N, data sources
#                in INI-N.ini), loaded once
# --runs R       rounds (default 5); each round runs every tool once, the order of the tools
#                turned by one place every round; medians over the rounds are reported
# --tools LIST   tools measured (default floor,floor_text,csv,py_csv,client,xlsx,py_xlsx)
# --ini FILE     ODBCINI of the large databases (default /tmp/bench-odbc.ini, shared with the
#                other benchmarks); the user's ~/.odbc.ini is never touched
# --no-setup     use the data sources of the ini files as they are
# --raw FILE     every single measurement, TAB-separated (default BUILD_DIR/bench-export.tsv)
# --idle-wait S  before each round wait up to S seconds (default 300) for the machine to be
#                idle (other processes under 15 % of the CPUs); 0 = do not wait
#
# Before anything is timed, every file is checked (bench/bench_export_check.py) against the
# engine's client writing the same statement as CSV: the program's CSV byte for byte, the
# Python CSV record by record, both workbooks' row counts over all worksheets and sampled
# cells. Every timed run must then report as many rows as the count query, and every text
# file must have the size it had when it was checked; otherwise the run stops.
#
# Times are the wall time of the whole process (start, connect, execute, fetch, write, exit);
# CPU is user + system time of the measured process; peak memory is its maximum resident set
# (/usr/bin/time %M). The PostgreSQL server's own work is in no process's CPU or memory.
#
# BUILD_DIR (default build-release) is where bench_export and odbc_floor are built (Release,
# nice -n 19, JOBS=N parallel jobs, default 1); DATA_DIR (default build-release) holds the
# demo databases. Files are written to TMPDIR (default /tmp), about 0.4 GB at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib-bench.sh
source scripts/lib-bench.sh
ROOT=$PWD

SALES=1000000
SMALL=100000
RUNS=5
INI=/tmp/bench-odbc.ini
SETUP=1
ENGINES=sqlite,pg
TOOLS=floor,floor_text,csv,py_csv,client,xlsx,py_xlsx
BUILD_DIR=${BUILD_DIR:-build-release}
DATA_DIR=${DATA_DIR:-build-release}
RAW=""
IDLE_WAIT=300
PG_USER=${PG_USER:-dba}
PG_PASSWORD=${PG_PASSWORD:-sql}
PY=/usr/bin/python3 # Debian's, with python3-pyodbc and python3-xlsxwriter

while [ $# -gt 0 ]; do
  case "$1" in
    --sales) SALES=$2; shift 2 ;;
    --small) SMALL=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    --engines) ENGINES=$2; shift 2 ;;
    --tools) TOOLS=$2; shift 2 ;;
    --ini) INI=$2; shift 2 ;;
    --no-setup) SETUP=0; shift ;;
    --raw) RAW=$2; shift 2 ;;
    --idle-wait) IDLE_WAIT=$2; shift 2 ;;
    -h|--help) sed -n '2,47p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 1 ;;
  esac
done
RAW=${RAW:-$BUILD_DIR/bench-export.tsv}
export LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=offscreen

bash scripts/install-deps.sh

# ---------------------------------------------------------------- build
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
nice -n 19 cmake --build "$BUILD_DIR" -j"${JOBS:-1}" --target odbc_floor bench_export >/dev/null
BIN=$(realpath -m "$BUILD_DIR")/bin
FLOOR=$BIN/odbc_floor
EXPORT=$BIN/bench_export

# ---------------------------------------------------------------- data

SIZES=("$SALES")
[ "$SMALL" -gt 0 ] && [ "$SMALL" != "$SALES" ] && SIZES+=("$SMALL")
ini_of() { if [ "$1" = "$SALES" ]; then echo "$INI"; else echo "${INI%.ini}-$1.ini"; fi; }
if [ "$SETUP" = 1 ]; then
  for n in "${SIZES[@]}"; do
    bench_data_setup "$DATA_DIR" "$n" "$(ini_of "$n")"
  done
fi

# ---------------------------------------------------------------- measurement
bench_scratch 'psqlodbc_odbc_floor_*.log' 'psqlodbc_bench_export_*.log' 'psqlodbc_python3_*.log'
mkdir -p "$(dirname "$RAW")"
printf 'sales\tengine\ttool\tround\trows\tseconds\tpeak_kb\tcpu_s\tbytes\n' >"$RAW"



die() { echo "bench-export: $*" >&2; exit 1; }

# The engine's client: the statement of FILE.sql into OUT, TAB-separated, names first.
client_tabs() { # engine sqlfile out
  case $1 in
    sqlite) { printf '.headers on\n.mode tabs\n.output %s\n' "$3"; cat "$2"; printf ';\n'; } |
              sqlite3 -batch "$(ini_get "$ODBCINI" AuditDemo Database)" ;;
    pg) { printf '\\copy ('; tr -d '\n' <"$2"; printf ") to '%s' with (format csv, delimiter E'\\\\t', header)\n" "$3"; } |
          PGPASSWORD=$PG_PASSWORD psql -X -q -v ON_ERROR_STOP=1 -h "$(ini_get "$ODBCINI" AuditDemoPg Servername)" \
            -p "$(ini_get "$ODBCINI" AuditDemoPg Port)" -U "$PG_USER" -d "$(ini_get "$ODBCINI" AuditDemoPg Database)" -f - ;;
  esac
}
# The reference of the checks: the same, as CSV (quoted where a value needs it).
client_csv() { # engine sqlfile out
  case $1 in
    sqlite) { printf '.headers on\n.mode csv\n.separator "\\t"\n.output %s\n' "$3"; cat "$2"; printf ';\n'; } |
              sqlite3 -batch "$(ini_get "$ODBCINI" AuditDemo Database)" ;;
    pg) client_tabs "$@" ;; # \copy's csv format is CSV already
  esac
}
export -f client_tabs client_csv ini_get
export PG_USER PG_PASSWORD

# tool_cmd ENGINE TOOL OUT: sets CMD to the command line of TOOL writing to OUT.
tool_cmd() {
  local e=$1 tool=$2 out=$3
  case $tool in
    floor) CMD=("$FLOOR" "$CONN" "$SQL") ;;
    floor_text) CMD=("$FLOOR" "$CONN" "$SQL" --text --out "$out") ;;
    csv) CMD=("$EXPORT" "${LOGIN[@]}" --kind csv --out "$out" --count "$COUNT") ;;
    xlsx) CMD=("$EXPORT" "${LOGIN[@]}" --kind xlsx --out "$out" --count "$COUNT") ;;
    py_csv) CMD=("$PY" bench/export_pyodbc_csv.py "$CONN" "$SQL" "$out") ;;
    py_xlsx) CMD=("$PY" bench/export_pyodbc_xlsx.py "$CONN" "$SQL" "$out") ;;
    client) CMD=(bash -c 'client_tabs "$0" "$1" "$2"' "$e" "$SQLFILE" "$out") ;;
  esac
}
ext_of() { case $1 in xlsx|py_xlsx) echo xlsx ;; floor) echo none ;; *) echo csv ;; esac; }

# run SALES ENGINE TOOL ROUND: one timed run, checked, recorded.
declare -A SIZE_OF
run() {
  local n=$1 e=$2 tool=$3 round=$4 out t0 t1 peak user sys rows bytes=0
  out=$TMP/out-$tool.$(ext_of "$tool")
  rm -f "$out"
  tool_cmd "$e" "$tool" "$out"
  t0=$(now_ns)
  if ! /usr/bin/time -o "$TMP/time" -f '%M %U %S' "${CMD[@]}" >"$TMP/stdout" 2>"$TMP/stderr"; then
    cat "$TMP/stderr" >&2
    die "FAILED: ${CMD[*]}"
  fi
  t1=$(now_ns)
  read -r peak user sys <"$TMP/time"
  rows=$(grep -o ' rows=[0-9]*' "$TMP/stdout" | tail -1 | cut -d= -f2 || true)
  [ -f "$out" ] && bytes=$(stat -c %s "$out")
  if [ "$tool" = client ]; then
    rows=-
  elif [ "$rows" != "$COUNT" ]; then
    die "$e $tool: $rows rows, the count query says $COUNT"
  fi
  if [ "$round" != check ]; then
    case $tool in
      floor|xlsx|py_xlsx) ;; # no file / a workbook's zip entries carry its time of writing
      *) [ "$bytes" = "${SIZE_OF[$n-$e-$tool]}" ] ||
           die "$e $tool: $bytes bytes, ${SIZE_OF[$n-$e-$tool]} when it was checked" ;;
    esac
  fi
  SIZE_OF[$n-$e-$tool]=$bytes
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$n" "$e" "$tool" "$round" "$rows" \
    "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')" "$peak" \
    "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')" "$bytes" >>"$RAW"
  [ "$round" = check ] || rm -f "$out"
}

{
  echo "# machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), nice $(nice)"
  echo "# load before: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$TMP/meta"

IFS=, read -r -a tools <<<"$TOOLS"
for n in "${SIZES[@]}"; do
  export ODBCINI
  ODBCINI=$(ini_of "$n")
  for e in ${ENGINES//,/ }; do
    case $e in
      sqlite) DRIVER="SQLite3"; DSN=AuditDemo; CONN="DSN=AuditDemo;LongNames=1;StepAPI=1"; LOGIN=() ;;
      pg) DRIVER="PostgreSQL Unicode"; DSN=AuditDemoPg
          CONN="DSN=AuditDemoPg;UID=$PG_USER;PWD=$PG_PASSWORD;UseDeclareFetch=1;Fetch=2000"
          LOGIN=(--user "$PG_USER" --password "$PG_PASSWORD") ;;
      *) die "unknown engine $e" ;;
    esac
    LOGIN=(--dsn "$DSN" --driver "$DRIVER" "${LOGIN[@]}")
    "$EXPORT" --driver "$DRIVER" --print-sql >"$TMP/sql"
    SQL=$(sed -n 1p "$TMP/sql")
    SQLFILE=$TMP/$e-$n.sql
    sed -n 1p "$TMP/sql" >"$SQLFILE"
    COUNT=$("$FLOOR" "$CONN" "$(sed -n 2p "$TMP/sql")" --text --out - | grep -v '^RESULT' | head -1)
    [ -n "$COUNT" ] || die "cannot count the rows through $DSN (ODBCINI=$ODBCINI)"
    # Column kinds for the workbook check, from the SQL types the driver reports.
    KINDS=$("$FLOOR" "$CONN" "$SQL LIMIT 1" --describe 2>&1 >/dev/null |
      LC_ALL=C sed -n 's/.*sql_type=\(-\{0,1\}[0-9]*\).*/\1/p' |
      awk '{ printf "%s", ($1 ~ /^(-6|-5|2|3|4|5|6|7|8)$/) ? "n" : "t" }')
    echo "$e, $n sales: $COUNT rows; columns $KINDS; statement: $SQL" >>"$TMP/meta"

    echo "[$e $n] checking the files" >&2
    for tool in "${tools[@]}"; do run "$n" "$e" "$tool" check; done
    client_csv "$e" "$SQLFILE" "$TMP/reference.csv"
    if [[ ,$TOOLS, == *,csv,* ]]; then
      py=(); [[ ,$TOOLS, == *,py_csv,* ]] && py=(--python "$TMP/out-py_csv.csv")
      "$PY" bench/bench_export_check.py csv --engine "$e" --reference "$TMP/reference.csv" --count "$COUNT" \
        --sql "$SQLFILE" --project "$TMP/out-csv.csv" "${py[@]}" >&2 || die "$e: the CSV files are wrong"
    fi
    if [[ ,$TOOLS, == *,xlsx,* ]]; then
      py=(); [[ ,$TOOLS, == *,py_xlsx,* ]] && py=(--python "$TMP/out-py_xlsx.xlsx")
      "$PY" bench/bench_export_check.py xlsx --kinds "$KINDS" --reference "$TMP/reference.csv" --count "$COUNT" \
        --sql "$SQLFILE" --project "$TMP/out-xlsx.xlsx" "${py[@]}" >&2 || die "$e: the workbooks are wrong"
    fi
    rm -f "$TMP"/out-* "$TMP/reference.csv"

    for ((r = 1; r <= RUNS; r++)); do
      wait_idle
      echo "[$e $n] round $r/$RUNS" >&2
      k=${#tools[@]}
      for ((i = 0; i < k; i++)); do
        run "$n" "$e" "${tools[$(((i + r - 1) % k))]}" "$r"
      done
    done
  done
done
echo "# load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$TMP/meta"
echo "# rounds begun on a busy machine (other work over 15 % of the CPUs): $BUSY_ROUNDS of $TOTAL_ROUNDS" >>"$TMP/meta"

cat "$TMP/meta"
echo "# command: scripts/bench-export.sh --sales $SALES --small $SMALL --runs $RUNS --engines $ENGINES --tools $TOOLS"
echo "# raw figures: $RAW"
echo
"$PY" bench/bench_export_report.py "$RAW"
