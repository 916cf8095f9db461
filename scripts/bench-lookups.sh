#!/usr/bin/env bash
# Benchmark of opening a report window on a large chain: 2,000 stores, 5,000 fiscal devices
# and 3,000 operators. The window (bench/bench_window_open, the real TSalesDetailForm on Qt's
# offscreen platform) connects, runs the three filter lookups and shows itself; it is measured
# against each engine's own command-line client logging in and running the same three
# statements, on the same data, in one run, for SQLite and PostgreSQL.
#
#   scripts/bench-lookups.sh [--runs R] [--repeat P] [--engines sqlite,pg] [--idle-wait S]
#
# --runs R       rounds (default 5); in each, one window process and P client processes, their
#                order turned round every other round; medians over everything are reported
# --repeat P     windows opened per window process (after one untimed), and client processes
#                per round (default 5)
# --idle-wait S  before each round wait up to S seconds (default 120) for the machine to be
#                idle (other processes under 15 % of the CPUs); 0 = do not wait
#
# Data: the demo loader's small database (5,000 sales; BUILD_DIR/bench-demo-lookups and the
# PostgreSQL database auditbench_lookups, data sources in /tmp/bench-odbc-lookups.ini), with
# stores, fiscal devices and cashiers added up to the sizes above (the same rows in both
# engines, names of many cities and people so that sorting has work to do). The lookups read
# only those three tables, so the number of sales does not matter here.
#
# Window: from the command to the window's first paint (its own connection, the three
# statements, the widgets, the boxes filled, shown), the bench's phases beside it. Before
# anything is timed, every box must hold every row of its statement.
# Client: a process that logs in and runs the three statements once (sqlite3 -batch; psql),
# rows to /dev/null, less the same client's bare start (sqlite3 -version; psql --version).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib-bench.sh
source scripts/lib-bench.sh

RUNS=5
REPEAT=5
ENGINES=sqlite,pg
IDLE_WAIT=120
STORES=2000 DEVICES=5000 OPERATORS=3000
BUILD_DIR=${BUILD_DIR:-build-release}
INI=/tmp/bench-odbc-lookups.ini
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) RUNS=$2; shift 2 ;;
    --repeat) REPEAT=$2; shift 2 ;;
    --engines) ENGINES=$2; shift 2 ;;
    --idle-wait) IDLE_WAIT=$2; shift 2 ;;
    -h|--help) sed -n '2,28p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 1 ;;
  esac
done
export ODBCINI=$INI
export LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=offscreen

bash scripts/install-deps.sh
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
nice -n 19 cmake --build "$BUILD_DIR" -j"${JOBS:-1}" --target bench_window_open >/dev/null
WINDOW=$(realpath -m "$BUILD_DIR")/bin/bench_window_open

# ---------------------------------------------------------------- data
AUDITOR_BUILD_DIR=$(realpath -m "$BUILD_DIR")
export AUDITOR_BUILD_DIR
# shellcheck source=lib-demo.sh
source scripts/lib-demo.sh
demo_setup "$BUILD_DIR/bench-demo-lookups" 5000 auditbench_lookups "$INI" >&2
SQLITE_DB=$(ini_get "$INI" AuditDemo Database)
PG=(psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "${AUDITOR_PG_PORT:-55432}" -U dba -d auditbench_lookups)
export PGPASSWORD=sql

# The rows added: stores, their devices and cashiers, numbered on from the demo's own. One
# INSERT per row, the same text for both engines.
chain_rows() { # first_store first_device first_user cashier_role
  awk -v s0="$1" -v d0="$2" -v u0="$3" -v role="$4" -v S="$STORES" -v D="$DEVICES" -v U="$OPERATORS" 'BEGIN {
    nc = split("София Пловдив Варна Бургас Русе Плевен Сливен Добрич Шумен Перник Хасково Ямбол Пазарджик " \
               "Благоевград Велико_Търново Враца Габрово Асеновград Видин Казанлък Кърджали Кюстендил " \
               "Монтана Димитровград Търговище Силистра Ловеч Дупница Разград Горна_Оряховица", city, " ")
    nf = split("Александър Борислав Валентин Георги Даниел Емил Живко Иван Калоян Любомир Мартин Николай " \
               "Огнян Петър Радослав Стефан Тодор Христо Цветан Явор", male, " ")
    split("Анна Биляна Валерия Гергана Десислава Елена Жана Ивана Калина Лилия Мария Надежда Олга " \
          "Петя Радка Силвия Теодора Христина Цветелина Яна", female, " ")
    ns = split("Иванов Петров Георгиев Димитров Николов Христов Стоянов Тодоров Илиев Василев Атанасов " \
               "Петков Ангелов Маринов Колев Йорданов Кръстев Симеонов Попов Добрев Русев Костов Павлов", sur, " ")
    print "BEGIN;"
    for (n = s0; n <= S; n++) {
      c = city[1 + (n * 7) % nc]; gsub("_", " ", c)
      name[n] = c ", обект " n
      printf "INSERT INTO Stores (StoreN, StoreName, Address, CreateDate, LastChangeDate) VALUES " \
             "(%d, %s, %s, %s, %s);\n", n, q("Дравик Експрес – " name[n]), q("гр. " c ", ул. „Търговска“ " (n % 180 + 1)),
             q("2025-01-01"), q("2025-06-01")
    }
    # Devices: the new stores in turn, till numbers counting up within a store.
    for (n = d0; n <= D; n++) {
      st = s0 + (n - d0) % (S - s0 + 1); pos[st]++
      serial = sprintf("ZK%06d", n)
      printf "INSERT INTO FiscalDevices (FiscalDeviceN, StoreN, PosId, SerialNumber, FiscalMemoryN, Model, " \
             "DeviceName, RegistrationDate) VALUES (%d, %d, %d, %s, %s, %s, %s, %s);\n", n, st, pos[st] + 10,
             q(serial), q(sprintf("50%06d", n)), q("Tremol M20"), q(serial " – каса " (pos[st] + 10) ", " name[st]),
             q("2025-01-05")
    }
    # Cashiers: the new stores in turn; first name, father'"'"'s name and surname.
    for (n = u0; n <= U; n++) {
      st = s0 + (n - u0) % (S - s0 + 1)
      k = n * 7919; f = (k % 2)
      first = f ? female[1 + int(k / 2) % nf] : male[1 + int(k / 2) % nf]
      middle = male[1 + int(k / 41) % nf] (f ? "ова" : "ов")
      last = sur[1 + int(k / 977) % ns] (f ? "а" : "")
      printf "INSERT INTO Users (UserN, UserName, StoreN, RoleId, AssignedRoles, CreateDate, ChangeDate) VALUES " \
             "(%d, %s, %d, %d, %s, %s, %s);\n", n, q(first " " middle " " last), st, role, q("Касиер"),
             q("2025-01-10"), q("2025-06-10")
    }
    print "COMMIT;"
  }
  function q(s) { gsub("'"'"'", "'"''"'", s); return "'"'"'" s "'"'"'" }'
}

top_up() { # engine
  local first_store first_device first_user role
  case $1 in
    sqlite) run_sql() { sqlite3 -batch "$SQLITE_DB" "$1"; } ;;
    pg) run_sql() { "${PG[@]}" -tA -c "$1"; } ;;
  esac
  if [ "$(run_sql "SELECT (SELECT count(*) FROM Stores) || ' ' || (SELECT count(*) FROM FiscalDevices) || ' ' ||
      (SELECT count(*) FROM Users)")" = "$STORES $DEVICES $OPERATORS" ]; then
    return
  fi
  read -r first_store first_device first_user role < <(run_sql "SELECT (SELECT max(StoreN) + 1 FROM Stores) || ' ' ||
    (SELECT max(FiscalDeviceN) + 1 FROM FiscalDevices) || ' ' || (SELECT max(UserN) + 1 FROM Users) || ' ' ||
    (SELECT RoleId FROM Roles WHERE RoleName = 'Касиер')")
  echo "$1: adding stores $first_store-$STORES, devices $first_device-$DEVICES, operators $first_user-$OPERATORS" >&2
  chain_rows "$first_store" "$first_device" "$first_user" "$role" >"$TMP/chain.sql"
  case $1 in
    sqlite) sqlite3 -batch "$SQLITE_DB" <"$TMP/chain.sql" ;;
    pg) "${PG[@]}" -f "$TMP/chain.sql" >/dev/null; run_sql 'ANALYZE Stores; ANALYZE FiscalDevices; ANALYZE Users' ;;
  esac
}

bench_scratch 'psqlodbc_bench_window_open*.log'
for e in ${ENGINES//,/ }; do top_up "$e"; done

# ---------------------------------------------------------------- measurement
ENGINE_ARGS_sqlite=(--dsn AuditDemo --driver SQLite3)
ENGINE_ARGS_pg=(--dsn AuditDemoPg --driver "PostgreSQL Unicode" --user dba --password sql)
"$WINDOW" "${ENGINE_ARGS_sqlite[@]}" --print-sql | cut -f3 | sed 's/$/;/' >"$TMP/lookups.sql"

client() { # engine file
  case $1 in
    sqlite) sqlite3 -batch -separator $'\t' "$SQLITE_DB" <"$2" >/dev/null ;;
    pg) "${PG[@]}" -f "$2" >/dev/null ;;
  esac
}
client_start() { # engine
  case $1 in
    sqlite) sqlite3 -version >/dev/null ;;
    pg) psql --version >/dev/null ;;
  esac
}
RAW=$BUILD_DIR/bench-lookups.tsv
printf 'engine\ttool\tround\tseconds\tconnect_s\tlookups_s\twidgets_s\tpaint_s\n' >"$RAW"
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", (b - a) / 1e9 }'; }

for e in ${ENGINES//,/ }; do
  args=ENGINE_ARGS_$e[@]
  for ((r = 1; r <= RUNS; r++)); do
    wait_idle
    echo "[$e] round $r/$RUNS" >&2
    window() {
      "$WINDOW" "${!args}" --repeat "$REPEAT" >"$TMP/out" 2>"$TMP/err" ||
        { echo "FAILED: bench_window_open ($e)" >&2; cat "$TMP/err" >&2; exit 1; }
      awk -v e="$e" -v r="$r" '/^RESULT / {
        for (i = 2; i <= NF; i++) { split($i, p, "="); kv[p[1]] = p[2] }
        printf "%s\twindow\t%s\t%s\t%s\t%s\t%s\t%s\n", e, r, kv["seconds"], kv["connect_s"], kv["lookups_s"],
          kv["widgets_s"], kv["paint_s"]
        sizes = kv["stores"] " stores, " kv["fiscal_devices"] " fiscal devices, " kv["operators"] " operators" }
        END { print sizes > "/dev/stderr" }' "$TMP/out" >>"$RAW" 2>"$TMP/sizes"
    }
    clients() {
      local i t0 t1 t2
      for ((i = 0; i < REPEAT; i++)); do
        t0=$(now_ns); client_start "$e"; t1=$(now_ns)
        client "$e" "$TMP/lookups.sql"; t2=$(now_ns)
        printf '%s\tclient\t%s\t%.6f\t-\t-\t-\t-\n' "$e" "$r" "$(awk -v a="$t0" -v b="$t1" -v c="$t2" \
          'BEGIN { print ((c - b) - (b - a)) / 1e9 }')" >>"$RAW"
      done
    }
    if ((r % 2)); then window; clients; else clients; window; fi
  done
  echo "$e: $(cat "$TMP/sizes")" >>"$TMP/meta"
done

echo "# machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "# rounds begun on a busy machine: $BUSY_ROUNDS of $TOTAL_ROUNDS"
sed 's/^/# /' "$TMP/meta"
echo "# command: scripts/bench-lookups.sh --runs $RUNS --repeat $REPEAT; raw figures: $RAW"
echo
awk -F'\t' '
  function med(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  NR > 1 { if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 }
           for (k = 4; k <= 8; k++) if ($k != "-") v[$1, $2, k] = v[$1, $2, k] " " $k }
  END {
    print "| Engine | Window opens, ms | its connection | its three lookups | widgets and boxes | shown and painted | Client: login + three statements, ms | Window / client |"
    print "|---|---|---|---|---|---|---|---|"
    for (i = 1; i <= n; i++) { e = order[i]
      w = med(v[e, "window", 4]); c = med(v[e, "client", 4])
      printf "| %s | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %.2f× |\n", e == "pg" ? "PostgreSQL" : "SQLite",
        1000 * w, 1000 * med(v[e, "window", 5]), 1000 * med(v[e, "window", 6]), 1000 * med(v[e, "window", 7]),
        1000 * med(v[e, "window", 8]), 1000 * c, (c > 0 ? w / c : 0) }
  }' "$RAW"
