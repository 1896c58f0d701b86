#!/usr/bin/python3
"""Runs the two-window demo on real desktops: window managers, X servers and
GL drivers, one cell at a time, and checks it as a person would see it.

In every cell that can draw, the demo runs twice. The first run: both frames
where the demo puts them (give or take the decorations that
_NET_FRAME_EXTENTS, or the window tree, says the manager adds) and apart;
frame2's red square and frame1's scene on screen; the pointer moved into
frame1 twice, a click and the A key, each printing its one line; Escape ends
it with status 0. The second run: the window manager asked to close frame2
(EWMH _NET_CLOSE_WINDOW, or WM_DELETE_WINDOW itself where the manager has no
EWMH) ends it with status 0. Cells whose driver cannot give the demo's GL
version must end with the library's error line, status 1 and no X error.

In every cell, with a window manager or none, a second program
(DESKTOP_CLIENT) shows a frame and desktop.py checks its desktop features:
the title and icon as the manager reads them, fullscreen (on and off, both
at once, and asked before the frame is shown), the pointer lock, the
pointer's crossings, refreshes once uncovered, the keyboard focus coming and
going, the pointer confined, the clipboard against xclip, maximize,
minimize and restore as reported, the monitors get_monitors() lists, and
fullscreen on each of them (the screen split in two RandR monitors).
Each prints a line; what a manager does not do is measured, and said.

Usage: compat.py DEMO DESKTOP_CLIENT [--list] [CELL...]   (no CELL: every cell)
Prints a row per cell and exits 1 if any cell failed.
"""
import os
import signal
import sys
import tempfile
import time

import Xlib.ext
from Xlib import X, XK, Xatom, display as xdisplay, error as xerror
from Xlib.ext import xtest
from Xlib.protocol import event as xevent

from common import SCREEN, Failed, Processes, Program, check, geometry, supports, wait_until
from desktop import check_desktop

# Only XTest and XFIXES are needed; python-xlib's RANDR set-up fails on some
# servers (Xwayland).
Xlib.ext.__extensions__ = [("XTEST", "xtest"), ("XFIXES", "xfixes")]

HERE = os.path.dirname(os.path.abspath(__file__))
REQUESTED = {"frame1": (500, 300), "frame2": (700, 300)}
SIZE = 200
RED, MAGENTA, BLACK = (255, 0, 0), (255, 0, 255), (0, 0, 0)


class Cell:
    def __init__(self, name, server="xvfb", wm=("openbox", "--sm-disable"), env=None, gl_error=None,
                 tiling=False, synthetic_input=False, places_itself=None, manager=("Openbox", True), context=None):
        self.name, self.server, self.wm, self.env = name, server, wm, env or {}
        # How the manager shows it manages the screen: the name it gives on
        # _NET_SUPPORTING_WM_CHECK (None: no EWMH), and whether it owns WM_S0.
        self.ewmh_name, self.takes_selection = manager
        self.gl_error = gl_error            # the driver cannot give GL 2.1: the clean error expected
        self.tiling = tiling                # the manager tiles: positions are its own
        self.synthetic_input = synthetic_input  # no XTest pointer: events sent to the windows
        self.places_itself = places_itself  # why positions cannot apply, when they cannot
        self.context = context              # a context cell: the kind context_client makes


CELLS = [
    # The baseline: Xvfb, openbox, llvmpipe. It stands for each of the three
    # in the other groups.
    Cell("openbox"),
    Cell("no-wm", wm=None, manager=(None, False)),
    # xfwm4 and mutter need a session bus; each gets one of its own.
    Cell("xfwm4", wm=("dbus-run-session", "--", "xfwm4", "--sm-client-disable"), manager=("Xfwm4", True)),
    Cell("metacity", wm=("metacity", "--sm-disable", "--replace"), manager=("Metacity", True)),
    Cell("mutter", wm=("dbus-run-session", "--", "mutter", "--x11", "--replace", "--sm-disable"),
         manager=("Mutter", True)),
    Cell("i3", wm=("i3", "-c", os.path.join(HERE, "i3.config")), tiling=True, manager=("i3", True)),
    Cell("fluxbox", wm=("fluxbox",), manager=("Fluxbox", False)),
    Cell("icewm", wm=("icewm", "--replace"), manager=("IceWM", True)),
    Cell("twm", wm=("twm",), manager=(None, False)),
    Cell("xephyr", server="xephyr"),
    Cell("xorg-dummy", server="xorg"),
    Cell("xwayland", server="xwayland", wm=None, synthetic_input=True, manager=(None, False),
         places_itself="weston places (and may overlap) every window itself; Wayland gives clients no positions"),
    Cell("softpipe", env={"GALLIUM_DRIVER": "softpipe"}),
    Cell("gl-1.4", env={"MESA_GL_VERSION_OVERRIDE": "1.4"},
         gl_error="Quarn: Cannot create a GL context of the requested version!"),
    # Mesa's indirect GLX on Xvfb has no GL version at all; any library error is clean.
    Cell("indirect-glx", server="xvfb-iglx", env={"LIBGL_ALWAYS_INDIRECT": "1"}, gl_error="Quarn: "),
]

# Contexts made with Settings, on each X server: a 4.5 core debug context with
# 4x multisampling and sRGB, OpenGL ES 3.0 through EGL, and a transparent
# frame under a compositor (xcompmgr; weston composites Xwayland itself).
for _server, _suffix in (("xvfb", ""), ("xephyr", "-xephyr"), ("xorg", "-xorg-dummy"), ("xwayland", "-xwayland")):
    for _kind in ("core", "es", "transparent"):
        if _server == "xwayland":
            CELLS.append(Cell(f"context-{_kind}{_suffix}", server=_server, wm=None, synthetic_input=True,
                              manager=(None, False), context=_kind,
                              places_itself="weston places every window itself"))
        else:
            CELLS.append(Cell(f"context-{_kind}{_suffix}", server=_server, context=_kind))

def start_server(cell, processes, env):
    """The cell's X server; returns its display name."""
    xvfb = ["Xvfb", "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp", "-noreset"]
    if cell.server == "xvfb":
        return processes.start_server(xvfb, env)
    if cell.server == "xvfb-iglx":
        return processes.start_server(xvfb + ["+iglx"], env)
    if cell.server == "xephyr":
        outer = processes.start_server(["Xvfb", "-screen", "0", "1920x1200x24", "-nolisten", "tcp", "-noreset"], env)
        return processes.start_server(["Xephyr", "-screen", f"{SCREEN[0]}x{SCREEN[1]}", "-nolisten", "tcp",
                                       "-noreset"], dict(env, DISPLAY=outer))
    if cell.server == "xorg":
        check(os.geteuid() == 0, "Xorg on the dummy driver needs root here")
        return processes.start_server(["Xorg", "-config", os.path.join(HERE, "xorg-dummy.conf"), "-noreset",
                                       "-nolisten", "tcp", "-novtswitch", "-sharevts",
                                       "-logfile", os.path.join(processes.work, "Xorg.log")], env)
    if cell.server == "xwayland":
        runtime = os.path.join(processes.work, "runtime")
        os.makedirs(runtime, mode=0o700)
        env["XDG_RUNTIME_DIR"] = runtime
        log = os.path.join(processes.work, "weston.log")
        processes.start(["weston", "--backend=headless-backend.so", "--xwayland", "--socket=wayland-quarn",
                         f"--width={SCREEN[0]}", f"--height={SCREEN[1]}", "--idle-time=0", f"--log={log}"], env)
        # weston starts Xwayland on the first connection and says where it listens.
        line = wait_until(lambda: next((l for l in open(log) if "xserver listening on display" in l), None)
                          if os.path.exists(log) else None, 20, "weston's X server")
        return line.split()[-1]
    raise ValueError(cell.server)


def connect(name):
    return wait_until(lambda: _try_connect(name), 10, f"a connection to {name}")


def _try_connect(name):
    try:
        return xdisplay.Display(name)
    except (xerror.DisplayError, xerror.ConnectionClosedError, ConnectionError):
        return None


def window_manager_ready(conn):
    """A manager has taken the root's substructure redirection (twm speaks no
    EWMH, so this is what every manager shows)."""
    return bool(conn.screen().root.get_attributes().all_event_masks & X.SubstructureRedirectMask)


def wm_name(cell):
    return next(arg for arg in cell.wm if arg not in ("dbus-run-session", "--"))


def manager_name(cell):
    """The manager as the rows name it; None without one."""
    return "weston" if cell.server == "xwayland" else wm_name(cell) if cell.wm else None


def prove_manager(cell, conn, process, frames=None):
    """That the manager the cell names manages the screen now, or Failed: its
    process alive; WM_S0 owned, where it takes that selection; the name on
    the window that _NET_SUPPORTING_WM_CHECK names, where it speaks EWMH (the
    window names itself too: a crashed manager can leave the root's property
    behind); the frames reparented, where `frames` are given. Returns the
    evidence for the row."""
    name = wm_name(cell)
    check(process.poll() is None, f"{name} is not running (exit status {process.returncode})")
    evidence = [f"{name} running"]
    root = conn.screen().root
    if cell.takes_selection:
        owner = conn.get_selection_owner(conn.intern_atom("WM_S0"))
        check(getattr(owner, "id", owner), f"nobody owns WM_S0: {name} does not manage the screen")
        evidence.append("owns WM_S0")
    if cell.ewmh_name:
        check_atom = conn.intern_atom("_NET_SUPPORTING_WM_CHECK")
        named = root.get_full_property(check_atom, Xatom.WINDOW)
        check(named, f"no _NET_SUPPORTING_WM_CHECK: {name} does not manage the screen")
        window = conn.create_resource_object("window", named.value[0])
        try:
            itself = window.get_full_property(check_atom, Xatom.WINDOW)
            title = window.get_full_property(conn.intern_atom("_NET_WM_NAME"), conn.intern_atom("UTF8_STRING"))
        except xerror.BadWindow:
            raise Failed("_NET_SUPPORTING_WM_CHECK names a window that is gone: a manager left it behind")
        check(itself and itself.value[0] == window.id, "_NET_SUPPORTING_WM_CHECK left behind by an earlier manager")
        text = title.value.decode(errors="replace") if title else ""
        check(text.startswith(cell.ewmh_name), f'the screen is managed by "{text}", not {cell.ewmh_name}')
        evidence.append(f'_NET_WM_NAME "{text}"')
    if frames:
        for title, window in frames.items():
            check(window.query_tree().parent != root, f"{title} is not reparented: {name} does not manage it")
        evidence.append("frames reparented")
    return evidence


def manager_ready(cell, conn, process):
    """prove_manager's evidence once the manager has taken the screen, else
    None; Failed at once when it has exited."""
    check(process.poll() is None, f"{wm_name(cell)} is not running (exit status {process.returncode})")
    if not window_manager_ready(conn):
        return None
    try:
        return prove_manager(cell, conn, process)
    except Failed:
        return None


def find_window(conn, title):
    pending = [conn.screen().root]
    while pending:
        window = pending.pop()
        try:
            if window.get_wm_name() == title:
                return window
            pending.extend(window.query_tree().children)
        except xerror.BadWindow:
            continue
    return None


def screen_pixels(conn, window, placed, root_capture):
    """The 200 x 200 pixels the demo draws into, as (r, g, b) rows: from the
    screen (what a person sees) where the server can show the root, else the
    window's own. GL draws from the bottom-left corner, which matters where a
    tiling manager made the window larger."""
    x, y, width, height = placed[:4]
    source, left, top = (conn.screen().root, x, y) if root_capture else (window, 0, 0)
    image = source.get_image(left, top + height - SIZE, SIZE, SIZE, X.ZPixmap, 0xFFFFFFFF)
    data = image.data
    return [[(data[(row * SIZE + col) * 4 + 2], data[(row * SIZE + col) * 4 + 1], data[(row * SIZE + col) * 4])
             for col in range(SIZE)] for row in range(SIZE)]


def check_pictures(conn, frames, root_capture):
    def pixels(title):
        return screen_pixels(conn, *frames[title], root_capture)

    def square_is_red():
        square = pixels("frame2")
        inside = [(100, 100), (10, 100), (189, 100), (100, 10), (100, 189)]
        outside = [(100, 1), (100, 198), (198, 100)]
        return all(square[y][x] == RED for x, y in inside) and all(square[y][x] == BLACK for x, y in outside)

    wait_until(square_is_red, 10, "frame2's red square inset 5 pixels on black")
    first = pixels("frame1")
    flat = [p for row in first for p in row]
    magenta, red = flat.count(MAGENTA), flat.count(RED)
    check(magenta > 2000 and red > 500, f"frame1's triangles (magenta {magenta}, red {red} pixels)")
    wait_until(lambda: pixels("frame1") != first, 5, "frame1's scene turning")
    return f"square red, triangles {magenta}+{red} px, turning"


def key_code(conn, name):
    return conn.keysym_to_keycode(XK.string_to_keysym(name))


class RealInput:
    """Input as a person gives it: XTest, to whatever is under the pointer
    or has the focus."""

    def __init__(self, conn):
        self.conn = conn

    def move(self, window, x, y):
        at = self.conn.screen().root.translate_coords(window, x, y)
        xtest.fake_input(self.conn, X.MotionNotify, x=at.x, y=at.y)
        self.conn.sync()

    def click(self, window, button):
        for kind in (X.ButtonPress, X.ButtonRelease):
            xtest.fake_input(self.conn, kind, button)
        self.conn.sync()

    def key(self, window, name):
        for kind in (X.KeyPress, X.KeyRelease):
            xtest.fake_input(self.conn, kind, key_code(self.conn, name))
        self.conn.sync()


class SyntheticInput:
    """Input sent to the window itself (XSendEvent): for servers where XTest
    pointer motion is unsafe."""

    def __init__(self, conn):
        self.conn, self.at = conn, (0, 0)

    def _send(self, window, kind, detail, **extra):
        root = self.conn.screen().root
        fields = dict(time=X.CurrentTime, root=root, window=window, same_screen=1, child=X.NONE, root_x=0,
                      root_y=0, event_x=self.at[0], event_y=self.at[1], state=0, detail=detail)
        fields.update(extra)
        window.send_event(kind(**fields), propagate=False)
        self.conn.sync()

    def move(self, window, x, y):
        self.at = (x, y)
        self._send(window, xevent.MotionNotify, 0)

    def click(self, window, button):
        self._send(window, xevent.ButtonPress, button)
        self._send(window, xevent.ButtonRelease, button)

    def key(self, window, name):
        self._send(window, xevent.KeyPress, key_code(self.conn, name))
        self._send(window, xevent.KeyRelease, key_code(self.conn, name))


def start_demo(binary, env, processes, conn):
    demo = Program([binary], env, processes)
    frames = {}
    for title in REQUESTED:
        window = wait_until(lambda: find_window(conn, title), 20, f"{title} on screen")
        wait_until(lambda: window.get_attributes().map_state == X.IsViewable, 10, f"{title} viewable")
        frames[title] = window
    return demo, frames


def check_positions(cell, conn, windows):
    """Each frame at its requested point, give or take the decorations, and
    the two apart. Returns the text for the row and each frame's geometry."""
    # Managers may still be moving a frame just after mapping it.
    time.sleep(0.3)
    placed = {title: geometry(conn, window) for title, window in windows.items()}
    (x1, y1, w1, h1, *_), (x2, y2, w2, h2, *_) = placed["frame1"], placed["frame2"]
    apart = x1 + w1 <= x2 or x2 + w2 <= x1 or y1 + h1 <= y2 or y2 + h2 <= y1
    if cell.places_itself:
        return f"n/a: {cell.places_itself}: frame1 at ({x1},{y1}), frame2 at ({x2},{y2})", placed
    check(apart, f"the frames overlap: frame1 {w1}x{h1} at ({x1},{y1}), frame2 {w2}x{h2} at ({x2},{y2})")
    for title, (x, y, width, height, _, _) in placed.items():
        check(0 <= x and x + width <= SCREEN[0] and 0 <= y and y + height <= SCREEN[1],
              f"{title} {width}x{height} at ({x},{y}) reaches beyond the screen")
    if cell.tiling:
        tiles = " ".join(f"{w}x{h} at ({x},{y})" for x, y, w, h, _, _ in placed.values())
        return f"n/a: tiled by the manager, its right ({tiles}); apart", placed
    texts = []
    for title, (x, y, _, _, left, top) in placed.items():
        want_x, want_y = REQUESTED[title]
        check(want_x <= x <= want_x + left and want_y <= y <= want_y + top,
              f"{title} at ({x},{y}), asked ({want_x},{want_y}) with decorations ({left},{top})")
        texts.append(f"({x},{y})")
    return " ".join(texts) + " as asked, apart", placed


def drive(cell, conn, demo, frames):
    """Pointer twice into frame1, a click, the A key, then Escape."""
    frame1 = frames["frame1"]
    drive_input = SyntheticInput(conn) if cell.synthetic_input else RealInput(conn)
    drive_input.move(frame1, 60, 80)
    demo.wait_for("Frame1: Moved!")
    drive_input.move(frame1, 100, 100)
    demo.wait_for("Frame1: Moved!", 2)
    drive_input.click(frame1, 1)
    demo.wait_for("Frame1: A mouse button happened!", 2)
    drive_input.key(frame1, "a")
    demo.wait_for("Frame1: Key 97 pressed")
    drive_input.key(frame1, "Escape")
    status = demo.exit_status()
    expected = ["Frame1: Moved!"] * 2 + ["Frame1: A mouse button happened!"] * 2 + [
        "Frame1: Key 97 pressed", "Frame1: Key 65307 pressed"]
    check(demo.events() == expected, f"one line per input: {demo.events()}")
    check(status == 0, f"Escape ended the demo with status {status}")
    kind = "synthetic (XSendEvent)" if cell.synthetic_input else "XTest"
    return f"{kind}: 2 moves, click, key: 1 line each; Escape: status 0"


def close_request(conn, demo, frames):
    frame2 = frames["frame2"]
    root = conn.screen().root
    if supports(conn, "_NET_CLOSE_WINDOW"):
        how = "_NET_CLOSE_WINDOW"
        message = xevent.ClientMessage(window=frame2, client_type=conn.intern_atom("_NET_CLOSE_WINDOW"),
                                       data=(32, [X.CurrentTime, 2, 0, 0, 0]))
        root.send_event(message, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
    else:
        how = "WM_DELETE_WINDOW (no EWMH close)"
        message = xevent.ClientMessage(window=frame2, client_type=conn.intern_atom("WM_PROTOCOLS"),
                                       data=(32, [conn.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        frame2.send_event(message)
    conn.sync()
    status = demo.exit_status()
    check(demo.events() == ["Frame2: Close pressed"], f"close request: {demo.events()}")
    check(status == 0, f"the close request ended the demo with status {status}")
    return f"close via {how}: status 0"


class CellTimedOut(Exception):
    """Raised from the alarm: not a Failed, so no feature's check takes it."""


def time_out(signal_number, frame):
    raise CellTimedOut("the cell took over two and a half minutes (a server grabbed by its window manager blocks every client)")


def pixel(conn, window, placed, root_capture, x=100, y=100):
    """(r, g, b, a) at (x, y) of the frame: from the screen where the server
    can show the root (what a compositor made of it; a is then the screen's),
    else the window's own, alpha included."""
    left, top = (placed[0] + x, placed[1] + y) if root_capture else (x, y)
    source = conn.screen().root if root_capture else window
    data = source.get_image(left, top, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
    return data[2], data[1], data[0], data[3]


def green_desktop(conn):
    """A green root that a compositor paints too (xcompmgr reads _XROOTPMAP_ID;
    without it, it fills grey). The pixmap lives as long as the connection."""
    root = conn.screen().root
    pixmap = root.create_pixmap(1, 1, conn.screen().root_depth)
    gc = pixmap.create_gc(foreground=0x00FF00)
    pixmap.fill_rectangle(gc, 0, 0, 1, 1)
    root.change_property(conn.intern_atom("_XROOTPMAP_ID"), Xatom.PIXMAP, 32, [pixmap.id])
    root.change_attributes(background_pixmap=pixmap)
    root.clear_area()
    conn.sync()
    return pixmap


def near(actual, expected, tolerance=3):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def check_context(cell, conn, client, env, processes):
    """The context client's two frames, drawn by one context of the cell's
    kind: what GL reads back, and each frame's pixels."""
    root_capture = not cell.synthetic_input
    composited = ""
    if cell.context == "transparent" and root_capture:
        green_desktop(conn)
        processes.start(["xcompmgr"], env, log="xcompmgr.log")
        owned = lambda: conn.get_selection_owner(conn.intern_atom("_NET_WM_CM_S0")) != X.NONE
        wait_until(owned, 10, "xcompmgr owning _NET_WM_CM_S0")
        composited = ", composited by xcompmgr over a green desktop"
    program = Program([client, cell.context], env, processes)
    wait_until(lambda: "drawn" in program.lines or program.process.poll() is not None, 30,
               f"both frames drawn (got {program.lines[-3:]} {program.errors[-3:]})")
    check("drawn" in program.lines, f"the client ended: {program.lines[-3:]} {program.errors[-3:]}")
    readback = next(l for l in program.lines if l.startswith("context "))
    wanted = {"core": "context core 4.5 (Core Profile)", "es": "context es OpenGL ES 3.",
              "transparent": "context transparent alpha 8"}[cell.context]
    check(readback.startswith(wanted), f"GL read back {readback!r}, expected {wanted!r}...")
    if cell.context == "core":
        check(readback.endswith(" debug samples 4 srgb"), f"GL read back {readback!r}")
    frames = {}
    for title in REQUESTED:
        window = wait_until(lambda: find_window(conn, title), 20, f"{title} on screen")
        wait_until(lambda: window.get_attributes().map_state == X.IsViewable, 10, f"{title} viewable")
        frames[title] = window
    where, placed = check_positions(cell, conn, frames)
    first, second = {
        "core": ((188, 188, 188), (0, 0, 255)),
        "es": ((255, 0, 0), (0, 0, 255)),
        # Premultiplied half-transparent blue: over green on a composited
        # screen, as it is in the window's own pixels (alpha 128) elsewhere.
        "transparent": (((0, 128, 128) if root_capture else (0, 0, 128, 128)), (0, 0, 255)),
    }[cell.context]
    shown = {}
    for title, expected in (("frame1", first), ("frame2", second)):
        wait_until(lambda: near(pixel(conn, frames[title], placed[title], root_capture), expected), 10,
                   f"{title} showing {expected} (shows {pixel(conn, frames[title], placed[title], root_capture)})")
        shown[title] = pixel(conn, frames[title], placed[title], root_capture)[:len(expected)]
    depth = frames["frame1"].get_geometry().depth
    if cell.context == "transparent":
        check(depth == 32, f"frame1's window has depth {depth}, not 32")
    return ["PASS", f"read back: {readback[len('context '):]}", f"positions: {where}",
            f"pixels: frame1 {shown['frame1']}, frame2 {shown['frame2']}, frame1's depth {depth}{composited}"]


def run_cell(cell, binary, desktop_client):
    work = tempfile.mkdtemp(prefix=f"quarn-compat-{cell.name}-")
    processes = Processes(work)
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    conn = None
    # A window manager that waits for the user (twm placing a window by
    # hand) grabs the server, and every request of this script would block.
    signal.signal(signal.SIGALRM, time_out)
    signal.alarm(150)
    try:
        display = start_server(cell, processes, env)
        env["DISPLAY"] = display
        conn = connect(display)
        manager = None
        if cell.wm:
            manager = processes.start(list(cell.wm), env, log="wm.log")
            try:
                wait_until(lambda: manager_ready(cell, conn, manager), 30, f"{wm_name(cell)} managing the screen")
            except Failed:
                prove_manager(cell, conn, manager)  # says what is missing
                raise
            time.sleep(0.5)  # managers finish their own set-up after taking the screen
        # Park the pointer away from where the frames appear.
        if not cell.synthetic_input:
            xtest.fake_input(conn, X.MotionNotify, x=5, y=SCREEN[1] - 5)
            conn.sync()
        demo_env = dict(env, **cell.env)

        if cell.context:
            client = os.path.join(os.path.dirname(desktop_client), "compat_context_client")
            return check_context(cell, conn, client, demo_env, processes)
        if cell.gl_error:
            demo = Program([binary], demo_env, processes)
            status = demo.exit_status()
            errors = [l for l in demo.lines if l.startswith("Quarn: ")]
            check(status == 1, f"status {status}, expected 1")
            check(errors and errors[-1].startswith(cell.gl_error), f"library error line: {errors}")
            check(not any("X Error" in l or "X connection" in l for l in demo.errors),
                  f"X error text: {demo.errors}")
            passed, desktop = check_desktop(cell, conn, desktop_client, demo_env, processes, manager_name(cell))
            managed = "manager: " + ", ".join(prove_manager(cell, conn, manager)) if manager else "manager: none"
            return ["PASS" if passed else "FAIL", managed,
                    f'clean error: "{errors[-1]}", status 1, no X error text'] + desktop

        demo, frames = start_demo(binary, demo_env, processes, conn)
        if manager:
            prove_manager(cell, conn, manager, frames)
        where, placed = check_positions(cell, conn, frames)
        located = {title: (window, placed[title]) for title, window in frames.items()}
        pictures = check_pictures(conn, located, root_capture=not cell.synthetic_input)
        driven = drive(cell, conn, demo, frames)
        demo, frames = start_demo(binary, demo_env, processes, conn)
        closed = close_request(conn, demo, frames)
        passed, desktop = check_desktop(cell, conn, desktop_client, demo_env, processes, manager_name(cell))
        managed = "manager: none"
        if manager:
            managed = "manager: " + ", ".join(prove_manager(cell, conn, manager)) + ", to the end"
        return ["PASS" if passed else "FAIL", managed, f"positions: {where}", f"pictures: {pictures}",
                f"input: {driven}", closed] + desktop
    except (Failed, CellTimedOut) as failure:
        return ["FAIL", str(failure), f"logs in {work}"]
    except (xerror.XError, xerror.ConnectionClosedError, OSError) as failure:
        return ["FAIL", f"{type(failure).__name__}: {failure}", f"logs in {work}"]
    finally:
        signal.alarm(0)
        processes.stop_all()
        if conn:
            try:
                conn.close()
            except xerror.ConnectionClosedError:
                pass  # the server went first


def main():
    args = sys.argv[1:]
    binary = os.path.abspath(args.pop(0))
    desktop_client = os.path.abspath(args.pop(0))
    if args == ["--list"]:
        print(" ".join(cell.name for cell in CELLS))
        return 0
    wanted = [cell for cell in CELLS if not args or cell.name in args]
    unknown = set(args) - {cell.name for cell in CELLS}
    if unknown:
        print(f"unknown cells: {' '.join(sorted(unknown))}; known: {' '.join(c.name for c in CELLS)}")
        return 2
    failed = 0
    for cell in wanted:
        started = time.monotonic()
        result = run_cell(cell, binary, desktop_client)
        failed += result[0] != "PASS"
        driver = cell.env and " ".join(f"{k}={v}" for k, v in cell.env.items()) or "llvmpipe"
        wm = "weston's" if cell.server == "xwayland" else (wm_name(cell) if cell.wm else "none")
        print(f"{result[0]} {cell.name} [server {cell.server}, wm {wm}, GL {driver}] "
              f"({time.monotonic() - started:.1f} s)")
        for detail in result[1:]:
            print(f"    {detail}")
        sys.stdout.flush()
    print(f"compat: {len(wanted) - failed} of {len(wanted)} cells passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
