#!/usr/bin/env bash
# Start-up time of the program on the demo databases: from the start of its process to the
# main window shown, and to its ribbon painted, with the demo data source and password given
# on the command line (so it connects at once). bench/startup_probe.py watches the display.
#
#   scripts/bench-startup.sh [--runs N]     (default 20; the median and the largest are printed)
#
# Builds the program as the README's demo command does (build/) and runs it under a virtual
# display with no window manager.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=20
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) RUNS=$2; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 1 ;;
  esac
done
bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
bash scripts/setup-demo.sh >/dev/null
export LC_ALL=C.UTF-8
echo "| Data source | Runs | Shown, median s | Shown, largest s | Ribbon painted, median s | Ribbon painted, largest s |"
echo "|---|---:|---:|---:|---:|---:|"
for dsn in AuditDemo AuditDemoPg; do
  xvfb-run -a -s "-screen 0 1366x768x24" python3 bench/startup_probe.py "$RUNS" build/bin/auditor "$dsn" sql |
    awk -v dsn="$dsn" -v runs="$RUNS" '
      /^STARTUP / { for (i = 2; i <= NF; i++) { split($i, p, "="); v[p[1], ++n[p[1]]] = p[2] } }
      function med(k,   i, j, t, a, c) { c = n[k]; for (i = 1; i <= c; i++) a[i] = v[k, i]
        for (i = 2; i <= c; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return (c % 2) ? a[(c + 1) / 2] : (a[c / 2] + a[c / 2 + 1]) / 2 }
      function most(k,   i, m) { m = 0; for (i = 1; i <= n[k]; i++) if (v[k, i] > m) m = v[k, i]; return m }
      END { printf "| %s | %d | %.3f | %.3f | %.3f | %.3f |\n", dsn, runs, med("shown_s"), most("shown_s"),
                   med("painted_s"), most("painted_s") }'
done
