#!/usr/bin/env bash
# Screenshots of the real program under a virtual display with a window manager:
# main window (both tabs, application menu), data source chooser, password dialog, About.
# Writes PNG files into the folder given (default build/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
mkdir -p "$out"
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/setup-demo.sh >/dev/null

if [ -z "${AUDITOR_IN_XVFB:-}" ]; then
  AUDITOR_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1366x768x24" bash "$0" "$out"
fi

openbox >/dev/null 2>&1 &
wm=$!
sleep 1
shot() { sleep "${2:-1}"; import -window root "$out/$1.png"; echo "$out/$1.png"; }
window_of() { xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | tail -n 1; }
# The main window is maximised: the ribbon's tab row sits right below its title bar.
click_at() { xdotool mousemove "$1" "$2" click 1; }

# The chooser opens when no data source is given.
build/bin/auditor & pid=$!
window_of $pid >/dev/null
shot chooser 2
kill $pid; wait $pid 2>/dev/null || true

# Without the stored password every silent attempt fails: the password dialog.
tmp=$(mktemp -d)
cp build/bin/auditor "$tmp/"
"$tmp/auditor" AuditDemoPg wrong & pid=$!
window_of $pid >/dev/null
shot password 2
kill $pid; wait $pid 2>/dev/null || true
rm -rf "$tmp"

# Connected main window: the tables tab, the tools tab, the application menu, About.
build/bin/auditor AuditDemoPg sql & pid=$!
sleep 3
shot main-tables 1
click_at 212 32; shot main-tools 1
click_at 42 32; shot main-menu 1
xdotool key Down Down Return; shot about 2
xdotool key Escape; sleep 0.5
kill $pid; wait $pid 2>/dev/null || true
kill $wm 2>/dev/null || true
