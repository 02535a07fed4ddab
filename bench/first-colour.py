#!/usr/bin/env python3
"""Waits until given screen points all show one colour and prints the seconds since START.

    first-colour.py START TIMEOUT RRGGBB X,Y [X,Y...] [--expose]

START is a time in seconds since the epoch (bash's $EPOCHREALTIME). Reads the root window of
$DISPLAY through libX11 every 50 ms and prints "colour SECONDS" when all points show the colour,
or "timeout ..." with the colours last seen. Also prints "mapped SECONDS" when the office's show
window (named "Presenting: ...") is first seen mapped. With --expose, that window is sent an
Expose for its whole area on each round (XClearArea), as a compositing desktop would send; on
Xvfb this does not get the office to draw its slide, but it is kept for trying other setups.
Exit status: 0 when the colour came, 1 on timeout, 2 when the display cannot be opened."""
import ctypes
import sys
import time

X = ctypes.cdll.LoadLibrary("libX11.so.6")
X.XOpenDisplay.restype = ctypes.c_void_p
X.XOpenDisplay.argtypes = [ctypes.c_char_p]
X.XDefaultRootWindow.restype = ctypes.c_ulong
X.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X.XGetImage.restype = ctypes.c_void_p
X.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                        ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
X.XGetPixel.restype = ctypes.c_ulong
X.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
X.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                         ctypes.POINTER(ctypes.c_uint)]
X.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
X.XFree.argtypes = [ctypes.c_void_p]
X.XClearArea.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                         ctypes.c_uint, ctypes.c_uint, ctypes.c_int]
X.XFlush.argtypes = [ctypes.c_void_p]
X.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]


class WindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("c_class", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


X.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(WindowAttributes)]
IS_VIEWABLE = 2
ZPIXMAP = 2
ALL_PLANES = 0xFFFFFFFF

# A window that goes away between listing and asking would end the program through the default
# error handler; errors are of no interest here.
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
ignore_errors = ERROR_HANDLER(lambda display, event: 0)
X.XSetErrorHandler(ignore_errors)


def children(display, window):
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    kids, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not X.XQueryTree(display, window, ctypes.byref(root), ctypes.byref(parent),
                        ctypes.byref(kids), ctypes.byref(count)):
        return []
    found = [kids[i] for i in range(count.value)]
    if kids:
        X.XFree(kids)
    return found


def name_of(display, window):
    name = ctypes.c_char_p()
    if not X.XFetchName(display, window, ctypes.byref(name)) or not name.value:
        return ""
    text = name.value.decode("utf-8", "replace")
    X.XFree(name)
    return text


def windows_named(display, root, prefix):
    # The window manager puts each client inside a frame of its own: look two levels down.
    found = []
    for top in children(display, root):
        for window in [top] + children(display, top):
            if name_of(display, window).startswith(prefix):
                attributes = WindowAttributes()
                if (X.XGetWindowAttributes(display, window, ctypes.byref(attributes))
                        and attributes.map_state == IS_VIEWABLE):
                    found.append(window)
    return found


def colour_at(display, root, x, y):
    image = X.XGetImage(display, root, x, y, 1, 1, ALL_PLANES, ZPIXMAP)
    if not image:
        return None
    pixel = X.XGetPixel(image, 0, 0)
    # XImage's first members: width, height, xoffset, format (ints), then the data pointer.
    data = ctypes.c_void_p.from_address(image + 16).value
    if data:
        X.XFree(data)
    X.XFree(image)
    return pixel & 0xFFFFFF


def main(argv):
    expose = "--expose" in argv
    argv = [a for a in argv if a != "--expose"]
    start, timeout, colour = float(argv[0]), float(argv[1]), int(argv[2], 16)
    points = [tuple(int(v) for v in p.split(",")) for p in argv[3:]]
    display = X.XOpenDisplay(None)
    if not display:
        print("cannot open the display", file=sys.stderr)
        return 2
    root = X.XDefaultRootWindow(display)
    mapped_at = None
    last = []
    while time.time() - start < timeout:
        if expose or mapped_at is None:
            shows = windows_named(display, root, "Presenting:")
            if shows and mapped_at is None:
                mapped_at = time.time() - start
                print(f"mapped {mapped_at:.2f}", flush=True)
            if expose:
                for window in shows:
                    X.XClearArea(display, window, 0, 0, 0, 0, 1)
                X.XFlush(display)
        last = [colour_at(display, root, x, y) for x, y in points]
        if all(c == colour for c in last):
            print(f"colour {time.time() - start:.2f}", flush=True)
            return 0
        time.sleep(0.05)
    seen = " ".join("none" if c is None else f"#{c:06x}" for c in last)
    print(f"timeout {timeout:.0f} last {seen}", flush=True)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
