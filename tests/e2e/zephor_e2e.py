#!/usr/bin/python3
"""End to end: the real zephor on an X server (run under xvfb-run).

For each of two sculpt maps written here with Pillow, the program is started with the map on its
command line; once its window is shown, the screen is taken with ImageMagick's `import` and
checked: the window has its size, the 3D view is drawn by the viewer (its grey background, seen
through the translucent frame cube, beside the shape) and shows the shape in its middle, the pane
shows the opened shape, and the two maps give two different 3D views and two different panes.
Then the window is asked to close as a window manager would (WM_DELETE_WINDOW, no window manager
runs here), and the program must end with status 0 and leave its settings file behind.
Then a damaged map on the command line: its warning is answered, the main window shows with the
splash gone, and a close request ends the program with status 0. Last, a close request sent the
moment the main window appears, before its first pass of the event loop has drawn anything, ends
the program with status 0.

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
# The 3D view in the window: the viewer's client area under the Texture menu bar.
VIEW = (0, 24, 400, 505)


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
        # A window may go between listing it and asking about it: such errors are ignored (the
        # default handler would end this script).
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._ignore_errors = handler_type(lambda display, event: 0)
        self.x.XSetErrorHandler(self._ignore_errors)
        self.d = self.x.XOpenDisplay(None)
        if not self.d:
            raise SystemExit("no X display")
        self.root = self.x.XDefaultRootWindow(self.d)

    def windows(self):
        """The viewable top-level windows, as (id, title, x, y, width, height)."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.d, self.root, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return []
        shown = []
        for k in range(count.value):
            w = children[k]
            a = XWindowAttributes()
            if not self.x.XGetWindowAttributes(self.d, w, ctypes.byref(a)) or a.map_state != 2:  # IsViewable
                continue
            name = ctypes.c_char_p()
            title = None
            if self.x.XFetchName(self.d, w, ctypes.byref(name)) and name.value is not None:
                title = name.value.decode("utf-8", "replace")
            shown.append((w, title, a.x, a.y, a.width, a.height))
        if children:
            self.x.XFree(children)
        return shown

    def find(self, title):
        """The viewable top-level window with that title, as (id, x, y, width, height), or None."""
        found = None
        for w, name, x, y, width, height in self.windows():
            if name == title:
                found = (w, x, y, width, height)
        return found

    def net_wm_name(self, window):
        """The window's _NET_WM_NAME (the title a window manager shows), or None."""
        x = self.x
        x.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long,
                                         ctypes.c_long, ctypes.c_int, ctypes.c_ulong,
                                         ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
                                         ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                         ctypes.POINTER(ctypes.c_void_p)]
        kind, size = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        name = x.XInternAtom(self.d, b"_NET_WM_NAME", 0)
        utf8 = x.XInternAtom(self.d, b"UTF8_STRING", 0)
        if x.XGetWindowProperty(self.d, window, name, 0, 1024, 0, utf8, ctypes.byref(kind), ctypes.byref(size),
                                ctypes.byref(count), ctypes.byref(after), ctypes.byref(data)) != 0 or not data:
            return None
        text = ctypes.string_at(data, count.value).decode("utf-8", "replace")
        x.XFree(data)
        return text

    def focus(self):
        """The window that has the keyboard focus."""
        window, revert = ctypes.c_ulong(), ctypes.c_int()
        self.x.XGetInputFocus.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int)]
        self.x.XGetInputFocus(self.d, ctypes.byref(window), ctypes.byref(revert))
        return window.value

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


def program_env(work, config):
    """The program's environment: its settings in work/config, the X server's display."""
    env = dict(os.environ)
    env["XDG_CONFIG_HOME"] = os.path.join(work, config)
    env["XDG_RUNTIME_DIR"] = os.path.join(work, "runtime")
    env["QT_QPA_PLATFORM"] = "xcb"
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    return env


def run_once(zephor, work, map_path, x11):
    env = program_env(work, "config")
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
        # The caption is the window's own, with nothing appended.
        if x11.net_wm_name(wid) not in (None, "ZEPHOR6"):
            raise SystemExit(f"the window's caption is {x11.net_wm_name(wid)!r}, not 'ZEPHOR6'")
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
            shown = view_drawn(picture) and view_shape(picture) >= 0.5 and pane_ink(picture) >= 500
            if shown or time.time() > deadline:
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


def wait_for(x11, proc, title, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if proc.poll() is not None:
            raise SystemExit(f"zephor ended with {proc.returncode} before a window titled {title} showed")
        window = x11.find(title)
        if window is not None:
            return window
        time.sleep(0.2)
    raise SystemExit(f"no window titled {title}")


def run_damaged(zephor, work, x11):
    """A damaged map on the command line: the warning is answered, the main window shows without
    the splash left beside it, and a close request ends the program with status 0."""
    env = program_env(work, "config-damaged")
    damaged = os.path.join(work, "damaged.png")
    with open(damaged, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + b"\x00" * 40)
    proc = subprocess.Popen([zephor, damaged], env=env)
    try:
        box = wait_for(x11, proc, "ZEPHOR")
        x11.close(box[0])  # the warning's only button answers a close request
        window = wait_for(x11, proc, "ZEPHOR6")
        time.sleep(2)
        left = [w for w in x11.windows() if w[0] != window[0] and (w[4], w[5]) == (512, 256)]
        if left:
            raise SystemExit("the splash is still shown beside the main window")
        if x11.focus() != window[0]:
            raise SystemExit("the main window does not have the keyboard after the warning")
        x11.close(window[0])
        status = proc.wait(timeout=60)
    except subprocess.TimeoutExpired:
        raise SystemExit("zephor did not end after its window was closed")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    if status != 0:
        raise SystemExit(f"zephor ended with status {status} after a damaged file")


def run_closed_at_once(zephor, work, x11):
    """The main window is asked to close as soon as it exists: the program ends with status 0."""
    env = program_env(work, "config-closed")
    proc = subprocess.Popen([zephor], env=env)
    try:
        deadline, window = time.time() + 60, None
        while window is None and time.time() < deadline:
            if proc.poll() is not None:
                raise SystemExit(f"zephor ended with {proc.returncode} before its window showed")
            window = x11.find("ZEPHOR6")
        if window is None:
            raise SystemExit("no window titled ZEPHOR6")
        x11.close(window[0])
        status = proc.wait(timeout=60)
    except subprocess.TimeoutExpired:
        raise SystemExit("zephor did not end after its window was closed as it appeared")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    if status != 0:
        raise SystemExit(f"zephor ended with status {status} after a close as its window appeared")


def is_background(p):
    """The viewer's grey background, alone or behind the frame cube's grey: a neutral mid grey
    (the window's own panels are a lighter grey, the shape's texture white, black and colours)."""
    return max(p) - min(p) <= 4 and 60 <= p[0] <= 200


def view(picture):
    return picture.crop(VIEW)


def view_drawn(picture):
    """The viewer drew its background beside the shape: strips at the view's left and right edges
    are the background grey."""
    v = view(picture)
    strips = [v.crop((4, 80, 24, v.height - 80)), v.crop((v.width - 24, 80, v.width - 4, v.height - 80))]
    return all(sum(1 for p in s.getdata() if is_background(p)) >= 0.9 * s.width * s.height for s in strips)


def view_shape(picture):
    """Pixels other than the background in the middle of the view, where the shape is."""
    v = view(picture)
    cx, cy = v.width // 2, v.height // 2
    middle = v.crop((cx - 40, cy - 40, cx + 40, cy + 40))
    return sum(1 for p in middle.getdata() if not is_background(p)) / (middle.width * middle.height)


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
    # Both narrower than the view, so the background shows at its sides.
    for name, radius in (("round.png", 0.6), ("slim.png", 0.25)):
        path = os.path.join(work, name)
        sculpt_map(path, radius)
        picture = run_once(zephor, work, path, x11)
        if not view_drawn(picture):
            raise SystemExit(f"the 3D view is not drawn for {name}")
        covered = view_shape(picture)
        if covered < 0.5:
            raise SystemExit(f"the 3D view of {name} shows no shape in its middle ({covered:.0%} covered)")
        ink = pane_ink(picture)
        if ink < 500:
            raise SystemExit(f"the pane of {name} shows no shape ({ink} pixels)")
        pictures.append(picture)
    for part, least in ((view, 5000), (pane, 500)):
        diff = ImageChops.difference(part(pictures[0]), part(pictures[1]))
        changed = sum(1 for c in diff.getdata() if c != (0, 0, 0))
        if changed < least:
            raise SystemExit(f"two different maps gave the same {part.__name__} ({changed} pixels differ)")
    run_damaged(zephor, work, x11)
    run_closed_at_once(zephor, work, x11)
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
