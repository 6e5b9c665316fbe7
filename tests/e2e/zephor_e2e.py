#!/usr/bin/python3
"""End to end: the real zephor on an X server (run under xvfb-run).

For each of two sculpt maps written here with Pillow, the program is started with the map on its
command line; once its window is shown, the screen is taken with ImageMagick's `import` and
checked: the window has its size, the 3D view is drawn by the viewer (its grey background), the
pane shows the opened shape, and the two maps give two different pictures. Then the window is
asked to close as a window manager would (WM_DELETE_WINDOW, no window manager runs here), and the
program must end with status 0 and leave its settings file behind.

Usage: zephor_e2e.py <zephor> <work folder>
"""
import ctypes
import ctypes.util
import math
import os
import shutil
import subprocess
import sys
import time

from PIL import Image, ImageChops

WIDTH, HEIGHT = 1024, 600
GREY = (128, 128, 128)


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class X11:
    def __init__(self):
        self.x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XInternAtom.restype = ctypes.c_ulong
        self.x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                      ctypes.POINTER(ctypes.c_uint)]
        self.x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
        self.x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XWindowAttributes)]
        self.x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.d = self.x.XOpenDisplay(None)
        if not self.d:
            raise SystemExit("no X display")
        self.root = self.x.XDefaultRootWindow(self.d)

    def find(self, title):
        """The viewable top-level window with that title, as (id, x, y, width, height), or None."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.d, self.root, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return None
        found = None
        for k in range(count.value):
            w = children[k]
            name = ctypes.c_char_p()
            if self.x.XFetchName(self.d, w, ctypes.byref(name)) and name.value is not None:
                if name.value.decode("utf-8", "replace") == title:
                    a = XWindowAttributes()
                    self.x.XGetWindowAttributes(self.d, w, ctypes.byref(a))
                    if a.map_state == 2:  # IsViewable
                        found = (w, a.x, a.y, a.width, a.height)
        if children:
            self.x.XFree(children)
        return found

    def close(self, window):
        """Sends WM_DELETE_WINDOW, as a window manager does when the user closes the window."""
        e = XClientMessageEvent()
        e.type = 33  # ClientMessage
        e.window = window
        e.message_type = self.x.XInternAtom(self.d, b"WM_PROTOCOLS", 0)
        e.format = 32
        e.data[0] = self.x.XInternAtom(self.d, b"WM_DELETE_WINDOW", 0)
        buf = ctypes.create_string_buffer(256)  # an XEvent is larger than this member
        ctypes.memmove(buf, ctypes.byref(e), ctypes.sizeof(e))
        self.x.XSendEvent(self.d, window, 0, 0, buf)
        self.x.XFlush(self.d)


def sculpt_map(path, radius):
    """A 64 x 64 sculpt map of an ellipsoid: x and y on a circle of `radius`, z from -1 to 1."""
    img = Image.new("RGB", (64, 64))
    px = img.load()
    for y in range(64):
        v = 1 - y / 63
        for x in range(64):
            u = x / 63
            a, b = 2 * math.pi * u, math.pi * v
            p = (radius * math.cos(a) * math.sin(b), radius * math.sin(a) * math.sin(b), -math.cos(b))
            px[x, y] = tuple(max(0, min(255, round(c * 128 + 127))) for c in p)
    img.save(path)


def run_once(zephor, work, map_path, x11):
    env = dict(os.environ)
    env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
    env["XDG_RUNTIME_DIR"] = os.path.join(work, "runtime")
    env["QT_QPA_PLATFORM"] = "xcb"
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    settings = os.path.join(env["XDG_CONFIG_HOME"], "DURIM PROJECT", "ZEPHOR6.reg")
    proc = subprocess.Popen([zephor, map_path], env=env)
    try:
        window, deadline = None, time.time() + 60
        while window is None and time.time() < deadline:
            if proc.poll() is not None:
                raise SystemExit(f"zephor ended with {proc.returncode} before its window showed")
            window = x11.find("ZEPHOR6")
            time.sleep(0.2)
        if window is None:
            raise SystemExit("no window titled ZEPHOR6")
        wid, wx, wy, ww, wh = window
        if (ww, wh) != (WIDTH, HEIGHT):
            raise SystemExit(f"the window is {ww} x {wh}, not {WIDTH} x {HEIGHT}")
        # The first idle passes paint the panes and the first frame: the screen is taken again
        # until both are there (a loaded machine takes longer), at most for 60 seconds.
        shot = os.path.join(work, os.path.basename(map_path) + ".screen.png")
        deadline = time.time() + 60
        while True:
            time.sleep(1)
            subprocess.run(["import", "-window", "root", shot], check=True, env=env)
            picture = Image.open(shot).convert("RGB").crop((wx, wy, wx + ww, wy + wh))
            if (view_drawn(picture) and pane_ink(picture) >= 500) or time.time() > deadline:
                break
        picture.save(shot.replace(".screen.png", ".window.png"))
        x11.close(wid)
        status = proc.wait(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    if status != 0:
        raise SystemExit(f"zephor ended with status {status}")
    if not os.path.isfile(settings):
        raise SystemExit("no settings file was written")
    with open(settings, encoding="utf-8", errors="replace") as f:
        if os.path.basename(map_path) not in f.read():
            raise SystemExit("the settings file does not name the opened map")
    return picture


def view_drawn(picture):
    """The 3D view (the left panel) is drawn by the viewer on its grey background."""
    view = picture.crop((20, 60, 380, 400))
    return sum(1 for p in view.getdata() if p == GREY) >= view.width * view.height // 2


def pane(picture):
    """The main pane, right of the 3D view and under the menu and the tabs."""
    return picture.crop((440, 90, 1000, 440))


def pane_ink(picture):
    """Pixels of the main pane that are not its white ground."""
    return sum(1 for c in pane(picture).getdata() if c != (255, 255, 255))


def main():
    zephor, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    x11 = X11()
    pictures = []
    for name, radius in (("round.png", 1.0), ("slim.png", 0.35)):
        path = os.path.join(work, name)
        sculpt_map(path, radius)
        picture = run_once(zephor, work, path, x11)
        if not view_drawn(picture):
            raise SystemExit(f"the 3D view is not drawn for {name}")
        ink = pane_ink(picture)
        if ink < 500:
            raise SystemExit(f"the pane of {name} shows no shape ({ink} pixels)")
        pictures.append(pane(picture))
    diff = ImageChops.difference(pictures[0], pictures[1])
    changed = sum(1 for c in diff.getdata() if c != (0, 0, 0))
    if changed < 500:
        raise SystemExit(f"two different maps gave the same pane ({changed} pixels differ)")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
