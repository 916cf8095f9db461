#!/usr/bin/env bash
# Sets up the demo databases (SQLite "AuditDemo", PostgreSQL "AuditDemoPg") and starts the
# program, which opens with the data source chooser (arguments are passed on: DSN PASSWORD).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/setup-demo.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display here: run it under a virtual one, e.g.  xvfb-run -a bash scripts/run-demo.sh" >&2
  exit 1
fi
exec build/bin/auditor "$@"
