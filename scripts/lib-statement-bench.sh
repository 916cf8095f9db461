# The statement benchmarks' common run (source it; bash only): a benchmark program with the
# options of bench/StatementBench.h against the engine's own command-line client running the
# very same SQL text, in paired rounds, for SQLite (AuditDemo) and PostgreSQL (AuditDemoPg).
#
#   statement_bench_main PROGRAM SCRIPT [options of SCRIPT]
#
# PROGRAM is the benchmark target (bench_grid, bench_checks), SCRIPT the calling script (its
# opening comment is its --help). The options, the measurement and the table are those the
# opening comment of scripts/bench-grid.sh describes.

statement_bench_main() {
  local program_name=$1 script=$2
  shift 2

  SALES=1000000
  RUNS=5
  REPEAT=3
  INI=/tmp/bench-odbc.ini
  SETUP=1
  ENGINES=sqlite,pg
  BUILD_DIR=${BUILD_DIR:-build-release}
  RAW=""
  IDLE_WAIT=300
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
      -h|--help) sed -n '2,/^set -euo/p' "$script" | grep '^#' | cut -c3-; exit 0 ;;
      *) echo "unknown option: $1" >&2; exit 1 ;;
    esac
  done
  RAW=${RAW:-$BUILD_DIR/${program_name//_/-}.tsv}
  export ODBCINI=$INI
  export LC_ALL=C.UTF-8

  bash scripts/install-deps.sh

  # ---------------------------------------------------------------- build
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  nice -n 19 cmake --build "$BUILD_DIR" -j"${JOBS:-1}" --target "$program_name" >/dev/null
  PROGRAM=$(realpath -m "$BUILD_DIR")/bin/$program_name

  # ---------------------------------------------------------------- data
  if [ "$SETUP" = 1 ]; then
    bench_data_setup "$BUILD_DIR" "$SALES" "$INI"
  fi

  # ---------------------------------------------------------------- measurement
  bench_scratch "psqlodbc_${program_name}*.log"
  mkdir -p "$(dirname "$RAW")"
  printf 'engine\tstatement\ttool\tround\trows\tseconds\n' >"$RAW"

  ENGINE_ARGS_sqlite=(--dsn "$SQLITE_DSN" --driver SQLite3)
  ENGINE_ARGS_pg=(--dsn "$PG_DSN" --driver "PostgreSQL Unicode" --user "$PG_USER" --password "$PG_PASSWORD")

  # The engine's own client on a script file; rows to /dev/null.
  client() { # engine file
    case $1 in
      sqlite) sqlite3 -batch -separator $'\t' "$(ini_get "$INI" "$SQLITE_DSN" Database)" <"$2" >/dev/null ;;
      pg) PGPASSWORD=$PG_PASSWORD PGOPTIONS='-c client_min_messages=warning' psql -X -q -v ON_ERROR_STOP=1 \
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

  # The program: one process, P runs of the statement; one raw line, the median of the process.
  run_program() { # engine statement round
    local e=$1 s=$2 r=$3 args=ENGINE_ARGS_$1[@]
    if ! "$PROGRAM" "${!args}" --statement "$s" --repeat "$REPEAT" >"$TMP/out" 2>"$TMP/err"; then
      echo "FAILED: $program_name $s ($e)" >&2; cat "$TMP/err" >&2; exit 1
    fi
    awk -v e="$e" -v s="$s" -v r="$r" '
      /^RESULT / { for (i = 2; i <= NF; i++) { split($i, p, "="); kv[p[1]] = p[2] }
                   v[++n] = kv["seconds"]; rows = kv["rows"] }
      END { for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
            printf "%s\t%s\tprogram\t%s\t%s\t%.6f\n", e, s, r, rows, (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2 }
    ' "$TMP/out" >>"$RAW"
  }

  # A client process on a script: its wall time less the round's start-up, divided by P.
  run_client() { # engine statement round file repeat
    local e=$1 s=$2 r=$3 f=$4 n=$5 t0 t1
    t0=$(now_ns)
    client "$e" "$f" || { echo "FAILED: client $e $f" >&2; exit 1; }
    t1=$(now_ns)
    printf '%s\t%s\tclient\t%s\t-\t%.6f\n' "$e" "$s" "$r" \
      "$(awk -v a="$t0" -v b="$t1" -v st="${START_NS:-0}" -v n="$n" 'BEGIN { print (b - a - st) / 1e9 / n }')" >>"$RAW"
    [ "$s" != start ] || START_NS=$((t1 - t0))
  }

  {
    echo "# machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
    echo "# load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  } >"$TMP/meta"

  for e in ${ENGINES//,/ }; do
    args=ENGINE_ARGS_$e[@]
    "$PROGRAM" "${!args}" --print-sql >"$TMP/$e-sql.tsv"
    mapfile -t STATEMENTS < <(cut -f2 "$TMP/$e-sql.tsv")
    for s in "${STATEMENTS[@]}"; do
      client_script "$e" "$(awk -F'\t' -v s="$s" '$2 == s { print $3 }' "$TMP/$e-sql.tsv")" "$REPEAT" >"$TMP/$e-$s.sql"
      echo "# $e $s: $(awk -F'\t' -v s="$s" '$2 == s { print $3 }' "$TMP/$e-sql.tsv" | cut -c1-220)…" >>"$TMP/meta"
    done
    echo 'SELECT 1;' >"$TMP/$e-start.sql"
    for ((r = 1; r <= RUNS; r++)); do
      wait_idle
      echo "[$e] round $r/$RUNS" >&2
      clients() {
        START_NS=0
        run_client "$e" start "$r" "$TMP/$e-start.sql" 1
        for s in "${STATEMENTS[@]}"; do run_client "$e" "$s" "$r" "$TMP/$e-$s.sql" "$REPEAT"; done
      }
      programs() { for s in "${STATEMENTS[@]}"; do run_program "$e" "$s" "$r"; done; }
      if ((r % 2)); then programs; clients; else clients; programs; fi
    done
  done
  echo "# load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$TMP/meta"
  echo "# rounds begun on a busy machine (other work over 15 % of the CPUs): $BUSY_ROUNDS of $TOTAL_ROUNDS" >>"$TMP/meta"

  cat "$TMP/meta"
  echo "# command: scripts/$(basename "$script") --sales $SALES --runs $RUNS --repeat $REPEAT"
  echo "# raw figures: $RAW"
  echo
  # Medians over the rounds; the ratio of the medians.
  awk -F'\t' '
    function med(list,   n, a, i, j, t) {
      n = split(list, a, " ")
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
      return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    NR > 1 && $2 != "start" { k = $1 SUBSEP $2; if (!(k in seen)) { seen[k] = 1; order[++n] = k }
                              v[k, $3] = v[k, $3] " " $6; if ($3 == "program") rows[k] = $5 }
    END {
      printf "| engine | statement | rows | program s | client s | program ÷ client |\n|---|---|---:|---:|---:|---:|\n"
      for (i = 1; i <= n; i++) { k = order[i]; split(k, p, SUBSEP)
        pm = med(v[k, "program"]); cm = med(v[k, "client"])
        printf "| %s | %s | %s | %.3f | %.3f | %.2f |\n", p[1], p[2], rows[k], pm, cm, (cm > 0 ? pm / cm : 0)
        # Statements named GROUP.PART (the overview, count and page of a check) are added up by part.
        if (match(p[2], /\.[^.]*$/)) { part = p[1] " " substr(p[2], RSTART + 1)
          if (!(part in psum)) parts[++np] = part
          psum[part] += pm; csum[part] += cm }
      }
      if (np) {
        printf "\n| engine | all statements of a part | program s | client s | program ÷ client |\n|---|---|---:|---:|---:|\n"
        for (i = 1; i <= np; i++) { split(parts[i], q, " ")
          printf "| %s | %s | %.3f | %.3f | %.2f |\n", q[1], q[2], psum[parts[i]], csum[parts[i]], (csum[parts[i]] > 0 ? psum[parts[i]] / csum[parts[i]] : 0) }
      }
    }' "$RAW"
}
