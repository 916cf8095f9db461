#!/usr/bin/env bash
# Screenshots of the real program under a virtual display with a window manager:
# main window (both tabs, application menu, key tips, narrow), data source chooser,
# password dialog, About, and report windows: a sales report before its first run (and its
# calendar), while its page loads, with a page of rows (and a pager tooltip), run again with
# a store chosen (the summary bar names the filters), and a nomenclature with its rows.
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
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
# Key tips: Alt shows the letters of the tabs, a tab's letter (a Latin key stands for the
# Cyrillic letter of the phonetic layout) those of its commands; Esc twice hides them.
xdotool key alt; shot ribbon-keytips-tabs 1
xdotool key t; shot ribbon-keytips-commands 1
xdotool key Escape Escape; sleep 0.5
# A window narrower than the groups: the right-hand group collapses into a drop-down button,
# which opens a menu of its commands (the button sits 432 px right and 60 px down from the
# window's corner).
wmctrl -r :ACTIVE: -b remove,maximized_vert,maximized_horz; sleep 0.5
wmctrl -r :ACTIVE: -e 0,40,60,640,420; sleep 1
xdotool mousemove 1000 700
shot ribbon-narrow 1
eval "$(xdotool getactivewindow getwindowgeometry --shell)"
click_at $((X + 432)) $((Y + 60)); shot ribbon-narrow-menu 1
xdotool key Escape; sleep 0.5
kill $pid; wait $pid 2>/dev/null || true

# Report windows. A page loads in the background in a fraction of a second, too quick for
# `import`: xpeek grabs the screen over and over and keeps the first frame that shows the
# busy picture; it also waits for a pixel to take a colour (a window shown, a page in).
cat >"$work/xpeek.py" <<'PY'
import ctypes, ctypes.util, sys, time

x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("xpeek: cannot open the display")
root = x11.XDefaultRootWindow(display)
W, H = x11.XDisplayWidth(display, 0), x11.XDisplayHeight(display, 0)


def grab(x, y, w, h):
    """Pixels of a screen rectangle as rows of B,G,R,pad bytes (24-bit TrueColor)."""
    p = x11.XGetImage(display, root, x, y, w, h, 0xFFFFFFFF, 2)  # ZPixmap
    if not p:
        sys.exit("xpeek: XGetImage failed")
    img = p.contents
    if img.bits_per_pixel != 32:
        sys.exit("xpeek: expected a 32-bit screen")
    stride = img.bytes_per_line
    data = ctypes.string_at(img.data, stride * h)
    x11.XFree(img.data)
    x11.XFree(p)
    return [data[r * stride:r * stride + 4 * w] for r in range(h)]


def rgb(rows, x, y):
    b, g, r = rows[y][4 * x:4 * x + 3]
    return "%02X%02X%02X" % (r, g, b)


def write_ppm(rows, path):
    out = bytearray(W * H * 3)
    data = b"".join(rows)
    out[0::3], out[1::3], out[2::3] = data[2::4], data[1::4], data[0::4]
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (W, H))
        f.write(out)


def busy_picture(rows, cx, cy, header_x, header_y):
    # No column titles (the grid is hidden) and the blue arc around the middle.
    if rgb(rows, header_x, header_y) != "FFFFFF":
        return False
    blue = 0
    for y in range(cy - 45, cy + 46, 3):
        row = rows[y]
        for x in range(cx - 45, cx + 46, 3):
            b, g, r = row[4 * x], row[4 * x + 1], row[4 * x + 2]
            blue += b - r > 60
    return blue >= 10


def main():
    mode = sys.argv[1]
    if mode == "wait":  # wait X Y RRGGBB TIMEOUT: until the pixel has that colour
        x, y, colour, timeout = int(sys.argv[2]), int(sys.argv[3]), sys.argv[4].upper(), float(sys.argv[5])
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if rgb(grab(x, y, 1, 1), 0, 0) == colour:
                return 0
            time.sleep(0.05)
        print("xpeek: pixel %d,%d never became %s" % (x, y, colour), file=sys.stderr)
        return 1
    if mode == "busy":  # busy OUT.ppm TIMEOUT CX CY HX HY: the first frame with the busy picture
        out, timeout = sys.argv[2], float(sys.argv[3])
        cx, cy, hx, hy = map(int, sys.argv[4:8])
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            rows = grab(0, 0, W, H)
            if busy_picture(rows, cx, cy, hx, hy):
                write_ppm(rows, out)
                return 0
        return 1
    sys.exit("xpeek: unknown mode " + mode)


sys.exit(main())
PY
xpeek() { python3 "$work/xpeek.py" "$@"; }
# Waits until the pixel X Y has the colour RRGGBB; on time-out says so and goes on, so that
# the next screenshot shows what the window looks like instead.
wait_pixel() { xpeek wait "$1" "$2" "$3" "${4:-20}" || true; }
# Mouse away from buttons and cells, so that no hover highlight shows in the screenshot.
park_mouse() { xdotool mousemove 1100 110; }
# Types a date into a date picker, section by section (the picker moves on to the next
# section by itself). The month and year go in with day 1 first: a day that the month shown
# at the time does not have (31 in November) would be cut or misread.
type_date() {  # X Y dd.MM.yyyy
  local d=$3
  click_at "$1" "$2"; sleep 0.3
  xdotool key Home shift+Right shift+Right
  xdotool type --delay 80 "01${d:3:2}${d:6:4}"
  xdotool key Home shift+Right shift+Right
  xdotool type --delay 80 "${d:0:2}"; sleep 0.3
}
# The period of the demo sales, as dd.MM.yyyy (the pickers start at today's date).
period=$(sqlite3 build/demo/audit-demo.sqlite \
  "SELECT strftime('%d.%m.%Y', min(EndDocDate)), strftime('%d.%m.%Y', max(EndDocDate)) FROM SalesDetailsAudit" \
  2>/dev/null || true)
from_date=${period%|*}; to_date=${period#*|}
[ -n "$period" ] || { from_date=01.01.2000; to_date=31.12.2099; }

# Screen points (1366x768, the main window maximised, report windows maximised inside it).
# Colours: filters panel B9D1EA, grid column titles F9F9F9, empty grid area FFFFFF.
filters_x=100 filters_y=600          # inside the filters panel, below its controls
header_x=300 header_y=206            # inside the grid's column titles
busy_x=683 busy_y=466                # middle of the grid area with the filters hidden
failed=0

build/bin/auditor AuditDemoPg sql & pid=$!
window_of $pid >/dev/null
wait_pixel 100 600 9F9F9F            # the empty workspace under the ribbon
sleep 1
# "Продажби детайлни" (tab "Таблици", group "Продажби"): filters, a blank grid, the pager.
click_at 186 75
wait_pixel $filters_x $filters_y B9D1EA
park_mouse; shot report-blank 1
# The calendar of the "От Дата" picker (its arrow), in Bulgarian whatever the system's language.
click_at 106 236; shot report-calendar 1
xdotool key Escape; sleep 0.5
# The whole period of the demo data; 5000 rows a page (choosing a page size runs the report).
type_date 30 239 "$from_date"
type_date 30 286 "$to_date"
click_at 365 748; sleep 0.5; xdotool key End Return
wait_pixel $header_x $header_y F9F9F9 60
# "Справка" hides the filters and shows the busy picture until the page is in. Should the
# page come back before a frame is caught, the filters are shown again and it is rerun.
rm -f "$out/report-loading.png"
for try in 1 2 3; do
  xpeek busy "$work/loading.ppm" 20 $busy_x $busy_y $header_x $header_y & grabber=$!
  sleep 0.5
  click_at 96 500
  if wait $grabber; then
    convert "$work/loading.ppm" "$out/report-loading.png"; echo "$out/report-loading.png"
    break
  fi
  wait_pixel $header_x $header_y F9F9F9 60
  click_at 96 180                    # the "Филтри" bar shows the filters again
  wait_pixel $filters_x $filters_y B9D1EA
done
[ -f "$out/report-loading.png" ] || { echo "screenshots: the busy picture was never caught" >&2; failed=1; }
wait_pixel $header_x $header_y F9F9F9 60
park_mouse; shot report-page 1
# The tooltip of the "Next page" button of the pager.
xdotool mousemove 1266 748; shot report-pager-tooltip 2
# The filters again ("Филтри" bar), a store chosen, the report run: the summary bar names them.
click_at 96 180
wait_pixel $filters_x $filters_y B9D1EA
click_at 97 341; sleep 0.5; xdotool key Down Return; sleep 0.3
click_at 96 500
wait_pixel $header_x $header_y F9F9F9 60
park_mouse; shot report-filtered 1
# A nomenclature, "Стоки": its filters have only the button.
click_at 408 75
wait_pixel $filters_x $filters_y B9D1EA
click_at 96 227
wait_pixel $header_x $header_y F9F9F9 60
park_mouse; shot report-nomenclature 1
kill $pid; wait $pid 2>/dev/null || true
kill $wm 2>/dev/null || true
exit $failed
