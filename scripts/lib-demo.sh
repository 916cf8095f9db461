# Shared steps of setup-demo.sh and setup-test-data.sh (source it; bash only).
#
#   demo_setup DIR SALES PGDB ODBCINI
#     Makes DIR/audit-demo.sqlite and the PostgreSQL database PGDB from the generator's data
#     for SALES sales, puts the generator's DIR/expected.json beside them and registers the
#     data sources "AuditDemo" and "AuditDemoPg" in the ini file ODBCINI. Every step is
#     skipped when its result is already there for the same size, seed, generator, schema
#     and loader (stamps: DIR/*.stamp and the comment of the PostgreSQL database).
#
# Environment: AUDITOR_BUILD_DIR (default <repo>/build), AUDITOR_DEMO_SEED (default 20261210),
# AUDITOR_PG_PORT / AUDITOR_PG_DIR (see pg-cluster.sh), AUDITOR_KEEP_TSV=1 keeps the
# generated .tsv files in DIR/tsv.

DEMO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DEMO_BUILD=$(realpath -m "${AUDITOR_BUILD_DIR:-$DEMO_ROOT/build}")
DEMO_SEED=${AUDITOR_DEMO_SEED:-20261210}
DEMO_PG_PORT=${AUDITOR_PG_PORT:-55432}
# Base tables in load order; the generator writes <table>.tsv for each.
DEMO_TABLES=(Stores FiscalDevices Roles Users Items Partners OperationTypes PayTypes
             Sales SaleLines SalePayments SaleReversals AnnulledSales AnnulledSaleLines UserLog)

demo_say() { echo "$*" >&2; }
demo_fail() { echo "error: $*" >&2; return 1; }
demo_hash() { cat "$@" | sha256sum | cut -c1-16; }

# Identity of the generated data and of each loaded database.
demo_data_stamp() {  # SALES
  echo "sales=$1 seed=$DEMO_SEED generator=$(demo_hash "$DEMO_ROOT/data/generator/demogen.cpp")"
}
demo_db_stamp() {  # SALES ENGINE(sqlite|postgres)
  echo "$(demo_data_stamp "$1") schema=$(demo_hash "$DEMO_ROOT/data/schema/$2.sql" "${BASH_SOURCE[0]}")"
}

# Prints the path of an up-to-date auditor-demogen, building it when needed: in the
# project's build tree, or on its own when the project cannot be configured.
demo_generator() {
  local log=$DEMO_BUILD/demogen-build.log
  mkdir -p "$DEMO_BUILD"
  # The demo and the test setup may build at the same time.
  exec 7>"$DEMO_BUILD/.demogen.lock"
  flock 7
  if { [ -f "$DEMO_BUILD/CMakeCache.txt" ] || cmake -S "$DEMO_ROOT" -B "$DEMO_BUILD" >"$log" 2>&1; } &&
     cmake --build "$DEMO_BUILD" --target auditor-demogen >>"$log" 2>&1; then
    echo "$DEMO_BUILD/bin/auditor-demogen"
    return
  fi
  demo_say "note: the project build failed (see $log); building the generator on its own"
  local own=$DEMO_BUILD/demogen
  if cmake -S "$DEMO_ROOT/data/generator" -B "$own" -DCMAKE_BUILD_TYPE=Release >"$own.log" 2>&1 &&
     cmake --build "$own" >>"$own.log" 2>&1; then
    echo "$own/bin/auditor-demogen"
    return
  fi
  cat "$own.log" >&2
  demo_fail "cannot build auditor-demogen"
}

# Row count of TABLE in DIR/expected.json ("tables": {"Stores": 9, ...}).
demo_expected_rows() {  # EXPECTED_JSON TABLE
  grep -o "\"$2\": [0-9]*" "$1" | head -1 | grep -o '[0-9]*$'
}

# Splits a schema file at the line "-- ==== After loading ====".
demo_schema_part() {  # FILE before|after
  if [ "$2" = before ]; then
    awk '/^-- ==== After loading ====/ { exit } { print }' "$1"
  else
    awk 'found { print } /^-- ==== After loading ====/ { found = 1 }' "$1"
  fi
}

demo_load_sqlite() {  # DB TSVDIR STAMP
  local db=$1 tsv=$2 stamp=$3 tmp=$1.loading t started=$SECONDS err
  rm -f "$tmp"
  err=$(
    {
      demo_schema_part "$DEMO_ROOT/data/schema/sqlite.sql" before
      echo "PRAGMA journal_mode = OFF;"
      echo "PRAGMA synchronous = OFF;"
      echo "PRAGMA cache_size = -262144;"
      echo "BEGIN;"
      echo ".mode tabs"
      for t in "${DEMO_TABLES[@]}"; do echo ".import \"$tsv/$t.tsv\" $t"; done
      echo "PRAGMA analysis_limit = 1000;"
      demo_schema_part "$DEMO_ROOT/data/schema/sqlite.sql" after
      echo "COMMIT;"
    } | sqlite3 -batch -bail "$tmp" 2>&1 >/dev/null
  ) || demo_fail "SQLite load failed: $err" || return
  # Any message from the import (a short row, a bad value) means broken data.
  [ -z "$err" ] || { demo_fail "SQLite load: $err"; return 1; }
  for t in "${DEMO_TABLES[@]}"; do
    local want got
    want=$(demo_expected_rows "$tsv/expected.json" "$t")
    got=$(sqlite3 "$tmp" "SELECT count(*) FROM $t")
    [ "$want" = "$got" ] || { demo_fail "SQLite $t: $got rows, expected $want"; return 1; }
  done
  mv -f "$tmp" "$db"
  echo "$stamp" >"$db.stamp"
  demo_say "SQLite database $db loaded in $((SECONDS - started)) s"
}

demo_psql() {  # DATABASE psql-args...
  local db=$1
  shift
  PGPASSWORD=sql PGOPTIONS='-c client_min_messages=warning' psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$DEMO_PG_PORT" -U dba -d "$db" "$@"
}

demo_pg_stamp() {  # PGDB
  demo_psql postgres -tA -c \
    "SELECT shobj_description(oid, 'pg_database') FROM pg_database WHERE datname = '$1'"
}

demo_load_pg() {  # PGDB TSVDIR STAMP
  local db=$1 tsv=$2 stamp=$3 tmp=${1}_loading t started=$SECONDS
  demo_psql postgres -c "DROP DATABASE IF EXISTS $tmp WITH (FORCE)" \
    -c "CREATE DATABASE $tmp OWNER dba TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C.UTF-8'" ||
    return
  # One transaction: the tables are created, filled with COPY FREEZE (no WAL, rows already
  # frozen and visible) and indexed.
  {
    echo "BEGIN;"
    demo_schema_part "$DEMO_ROOT/data/schema/postgres.sql" before
    for t in "${DEMO_TABLES[@]}"; do
      echo "\\copy $t FROM '$tsv/$t.tsv' WITH (FORMAT csv, DELIMITER E'\\t', FREEZE)"
    done
    demo_schema_part "$DEMO_ROOT/data/schema/postgres.sql" after
    echo "COMMIT;"
  } | demo_psql "$tmp" -f - >/dev/null || { demo_fail "PostgreSQL load failed"; return 1; }
  for t in "${DEMO_TABLES[@]}"; do
    local want got
    want=$(demo_expected_rows "$tsv/expected.json" "$t")
    got=$(demo_psql "$tmp" -tA -c "SELECT count(*) FROM $t")
    [ "$want" = "$got" ] || { demo_fail "PostgreSQL $t: $got rows, expected $want"; return 1; }
  done
  demo_psql postgres -c "DROP DATABASE IF EXISTS $db WITH (FORCE)" \
    -c "ALTER DATABASE $tmp RENAME TO $db" \
    -c "COMMENT ON DATABASE $db IS '$stamp'" || return
  demo_say "PostgreSQL database $db loaded in $((SECONDS - started)) s"
}

# Replaces the sections of an ODBC ini file named in the given blocks (creating the file if
# needed) and leaves every other line as it was. Each block is "[Name]" followed by its
# KEY=VALUE lines. The file is rewritten only when it changes.
demo_set_dsns() {  # INI BLOCK...
  local ini=$1 names="" block new
  shift
  for block in "$@"; do
    block=${block%%$'\n'*}
    names+="${block:1:${#block}-2}|"
  done
  mkdir -p "$(dirname "$ini")"
  new=$(
    if [ -f "$ini" ]; then
      awk -v names="$names" '
        BEGIN { n = split(names, list, "|"); for (i = 1; i <= n; i++) if (list[i] != "") drop[list[i]] = 1 }
        /^[ \t]*\[.*\][ \t]*$/ {
          section = $0
          gsub(/^[ \t]*\[|\][ \t]*$/, "", section)
          skip = (section in drop)
        }
        !skip { print }
      ' "$ini" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'
    fi
    for block in "$@"; do printf '\n%s\n' "$block"; done
  )
  new=${new#$'\n'}
  if [ ! -f "$ini" ] || [ "$(cat "$ini")" != "$new" ]; then
    printf '%s\n' "$new" >"$ini"
  fi
}

demo_setup() {  # DIR SALES PGDB ODBCINI
  local dir sales=$2 pgdb=$3 ini=$4 started=$SECONDS
  dir=$(realpath -m "$1")
  mkdir -p "$dir"
  local db=$dir/audit-demo.sqlite tsv=$dir/tsv
  local data_stamp sqlite_stamp pg_stamp
  data_stamp=$(demo_data_stamp "$sales")
  sqlite_stamp=$(demo_db_stamp "$sales" sqlite)
  pg_stamp=$(demo_db_stamp "$sales" postgres)

  "$DEMO_ROOT/scripts/install-deps.sh"
  "$DEMO_ROOT/scripts/pg-cluster.sh" start

  local need_sqlite=1 need_pg=1 need_expected=1
  [ -f "$db" ] && [ "$(cat "$db.stamp" 2>/dev/null)" = "$sqlite_stamp" ] && need_sqlite=0
  [ "$(demo_pg_stamp "$pgdb")" = "$pg_stamp" ] && need_pg=0
  [ -f "$dir/expected.json" ] && [ "$(cat "$dir/expected.json.stamp" 2>/dev/null)" = "$data_stamp" ] &&
    need_expected=0

  if [ $need_sqlite = 1 ] || [ $need_pg = 1 ] || [ $need_expected = 1 ]; then
    if [ "$(cat "$tsv/stamp" 2>/dev/null)" != "$data_stamp" ]; then
      local gen t0=$SECONDS
      gen=$(demo_generator) || return
      rm -rf "$tsv"
      "$gen" --sales "$sales" --seed "$DEMO_SEED" --out "$tsv" || demo_fail "auditor-demogen failed" || return
      echo "$data_stamp" >"$tsv/stamp"
      demo_say "generated $sales sales in $((SECONDS - t0)) s"
    fi
    # The two engines load side by side.
    local sqlite_pid="" pg_pid="" failed=0
    if [ $need_sqlite = 1 ]; then demo_load_sqlite "$db" "$tsv" "$sqlite_stamp" & sqlite_pid=$!; fi
    if [ $need_pg = 1 ]; then demo_load_pg "$pgdb" "$tsv" "$pg_stamp" & pg_pid=$!; fi
    if [ -n "$sqlite_pid" ]; then wait "$sqlite_pid" || failed=1; fi
    if [ -n "$pg_pid" ]; then wait "$pg_pid" || failed=1; fi
    [ $failed = 0 ] || return 1
    cp "$tsv/expected.json" "$dir/expected.json"
    echo "$data_stamp" >"$dir/expected.json.stamp"
    [ "${AUDITOR_KEEP_TSV:-0}" = 1 ] || rm -rf "$tsv"
    demo_say "demo data ready in $dir ($((SECONDS - started)) s)"
  fi

  demo_set_dsns "$ini" \
    "[AuditDemo]
Description=Dravik audit demo (SQLite)
Driver=SQLite3
Database=$db" \
    "[AuditDemoPg]
Description=Dravik audit demo (PostgreSQL)
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$DEMO_PG_PORT
Database=$pgdb"
}
