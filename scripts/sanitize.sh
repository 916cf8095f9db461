#!/usr/bin/env bash
# Runs the data-layer, report window and export tests (the tests start python3 to read
# spreadsheets back, hence die_after_fork=0) under AddressSanitizer (with
# UndefinedBehaviorSanitizer) or ThreadSanitizer, each in its own build folder:
#   bash scripts/sanitize.sh asan|tsan [gtest filter]
# Needs the test databases (scripts/setup-test-data.sh, run by scripts/run-tests.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:?usage: $0 asan|tsan [filter]}
filter=${2:-}
case $kind in
  asan) opt=-DAUDITOR_SANITIZE=ON ;;
  tsan) opt=-DAUDITOR_TSAN=ON ;;
  *) echo "usage: $0 asan|tsan [filter]" >&2; exit 2 ;;
esac
bash scripts/setup-test-data.sh >/dev/null
dir=build-$kind
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$opt" -DAUDITOR_TEST_DATA_DIR="$PWD/build/test-data" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target db_tests ui_tests
export ODBCINI=$PWD/build/test-data/odbc.ini QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
export TSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/tsan.supp halt_on_error=0 exitcode=66 die_after_fork=0"
export ASAN_OPTIONS="detect_leaks=1" LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp"
if [ "$kind" = asan ]; then
  # unixODBC unloads a driver when its last connection closes; what the driver's globals
  # still point to would then count as leaked, with no module name left to suppress it by.
  # A dlclose that does nothing keeps every module mapped to the end.
  printf 'int dlclose(void *handle) { (void)handle; return 0; }\n' | cc -shared -fPIC -x c - -o "$dir/keep-modules.so"
  export LD_PRELOAD=$PWD/$dir/keep-modules.so ASAN_OPTIONS="$ASAN_OPTIONS verify_asan_link_order=0"
fi
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
status=0
if [ -n "$filter" ]; then
  "$dir/bin/db_tests" --gtest_filter="$filter" || status=$?
else
  # The exporter tests start child processes; after that ThreadSanitizer loses track of the
  # parent's synchronisation and reports races in whatever runs next, so they get a process
  # of their own.
  "$dir/bin/db_tests" --gtest_filter='-Exporter.*' || status=$?
  "$dir/bin/db_tests" --gtest_filter='Exporter.*' || status=$?
fi
"$dir/bin/ui_tests" --gtest_filter="${filter:-ReportWindow.*:Export.*}" || status=$?
exit $status
