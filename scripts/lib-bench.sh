# Helpers shared by the benchmark scripts (sourced).

# ini_get FILE SECTION KEY: the value of KEY in [SECTION] of an ini file, empty when missing.
ini_get() {
  awk -v sec="[$2]" -v key="$3" '
    /^[ \t]*\[/ { gsub(/[ \t]/, ""); insec = ($0 == sec); next }
    insec { i = index($0, "="); if (!i) next
            k = substr($0, 1, i - 1); v = substr($0, i + 1)
            gsub(/^[ \t]+|[ \t]+$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", v)
            if (tolower(k) == tolower(key)) { print v; exit } }' "$1" 2>/dev/null || true
}

now_ns() { date +%s%N; }

# Busy share of all CPUs over the next 3 seconds, in per cent (from /proc/stat).
cpu_busy() {
  local a b
  a=$(awk '/^cpu / { print $2 + $3 + $4 + $7 + $8, $5 + $6 }' /proc/stat)
  sleep 3
  b=$(awk '/^cpu / { print $2 + $3 + $4 + $7 + $8, $5 + $6 }' /proc/stat)
  awk -v a="$a" -v b="$b" 'BEGIN { split(a, x, " "); split(b, y, " ")
    busy = y[1] - x[1]; idle = y[2] - x[2]; printf "%d", (busy + idle) ? 100 * busy / (busy + idle) : 0 }'
}

# wait_idle: before a round, waits up to IDLE_WAIT seconds for other work to fall under 15 %
# of the CPUs; counts the rounds (TOTAL_ROUNDS) and those begun on a busy machine (BUSY_ROUNDS).
BUSY_ROUNDS=0
TOTAL_ROUNDS=0
wait_idle() {
  local waited=0 busy
  TOTAL_ROUNDS=$((TOTAL_ROUNDS + 1))
  [ "$IDLE_WAIT" -gt 0 ] || return 0
  while busy=$(cpu_busy); [ "$busy" -ge 15 ]; do
    waited=$((waited + 3))
    if [ "$waited" -ge "$IDLE_WAIT" ]; then
      echo "  machine still busy ($busy % of the CPUs), measuring anyway" >&2
      BUSY_ROUNDS=$((BUSY_ROUNDS + 1))
      return 0
    fi
  done
}

# bench_data_setup DATA_DIR SALES INI: the benchmark databases of SALES sales, loaded once by
# the demo loader and registered in INI as "AuditDemo" (SQLite) and "AuditDemoPg"
# (PostgreSQL). 1,000,000 sales live in DATA_DIR/bench-demo and the database "auditbench";
# any other size in DATA_DIR/bench-demo-SALES and "auditbench_SALES", so sizes do not
# replace each other.
bench_data_setup() {
  local dir=$1/bench-demo db=auditbench
  if [ "$2" != 1000000 ]; then dir=$1/bench-demo-$2; db=auditbench_$2; fi
  AUDITOR_BUILD_DIR=$(realpath -m "$1") # the demo generator is built there if needed
  export AUDITOR_BUILD_DIR
  # shellcheck source=lib-demo.sh
  source scripts/lib-demo.sh
  demo_setup "$dir" "$2" "$db" "$3" >&2
}

# bench_scratch PATTERN...: a scratch folder $TMP for the run (and a runtime folder of its own
# for Qt when the session has none), removed when the script ends, together with the logs
# that this run's programs left in /tmp and whose names match PATTERN (Debian's psqlODBC
# entry has CommLog=1: every connecting process leaves a /tmp/psqlodbc_<program>_*.log).
bench_scratch() {
  TMP=$(mktemp -d)
  touch "$TMP/.start"
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$TMP/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
  fi
  BENCH_SCRATCH_LOGS=("$@")
  trap bench_scratch_cleanup EXIT
}
bench_scratch_cleanup() {
  local pattern
  for pattern in "${BENCH_SCRATCH_LOGS[@]}"; do
    find /tmp -maxdepth 1 -newer "$TMP/.start" -name "$pattern" -delete 2>/dev/null || true
  done
  rm -rf "$TMP"
}
