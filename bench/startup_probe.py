#!/usr/bin/env python3
"""Start-up time of the program: from the start of its process to its main window being
mapped on the X display (shown), and to the ribbon's application button being painted in
it (the window usable), polled every millisecond through Xlib. Run it on a display with no
window manager, so that the maximised window sits at the screen's corner.

usage: startup_probe.py RUNS PROGRAM [ARGS...]   (under an X server: xvfb-run -a ...)
Prints one line per run: "STARTUP shown_s=S painted_s=P"; the process is ended after each.
"""
import ctypes
import ctypes.util
import os
import signal
import subprocess
import sys
import time

x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
                ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
                ("screen", ctypes.c_void_p)]


x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XWindowAttributes)]
IS_VIEWABLE = 2


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p)]


x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
APPLICATION_BUTTON = (12, 10)   # inside the application button at the ribbon's top left
ACCENT = (0x2B, 0x57, 0x9A)      # its colour


def pixel(display, root, x, y):
    image = x11.XGetImage(display, root, x, y, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
    if not image:
        return None
    b, g, r = ctypes.string_at(image.contents.data, 3)
    x11.XFree(image.contents.data)
    x11.XFree(image)
    return (r, g, b)


def viewable_windows(display, root):
    """Top-level windows that are mapped and large (the main window, not a tooltip)."""
    r, p = ctypes.c_ulong(), ctypes.c_ulong()
    children = ctypes.POINTER(ctypes.c_ulong)()
    n = ctypes.c_uint()
    if not x11.XQueryTree(display, root, ctypes.byref(r), ctypes.byref(p), ctypes.byref(children), ctypes.byref(n)):
        return 0
    found = 0
    attrs = XWindowAttributes()
    for i in range(n.value):
        if x11.XGetWindowAttributes(display, children[i], ctypes.byref(attrs)) and \
                attrs.map_state == IS_VIEWABLE and attrs.width >= 400 and attrs.height >= 300:
            found += 1
    if children:
        x11.XFree(children)
    return found


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    runs, program = int(sys.argv[1]), sys.argv[2:]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("startup_probe: no X display")
    root = x11.XDefaultRootWindow(display)
    for _ in range(runs):
        before = viewable_windows(display, root)
        t0 = time.monotonic()
        proc = subprocess.Popen(program, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown = painted = None
        while time.monotonic() - t0 < 30 and proc.poll() is None:
            x11.XSync(display, 0)
            if shown is None and viewable_windows(display, root) > before:
                shown = time.monotonic() - t0
            if shown is not None and pixel(display, root, *APPLICATION_BUTTON) == ACCENT:
                painted = time.monotonic() - t0
                break
            time.sleep(0.001)
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        if shown is None or painted is None:
            sys.exit("startup_probe: the main window was never shown with its ribbon")
        print(f"STARTUP shown_s={shown:.4f} painted_s={painted:.4f}", flush=True)
        time.sleep(0.3)


if __name__ == "__main__":
    main()
