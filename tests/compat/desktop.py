"""The desktop features of a frame, checked from outside as a person would
see them. A second program (desktop_client.cpp) shows a frame and runs the
commands it is sent; this side asks the window manager what a task bar or
the manager's buttons would ask, gives input through XTest, and reads the
result from the server (properties, geometry, focus, grabs, the cursor, the
screen), from xclip, and from what the client prints of its reports (focus,
crossings, refreshes, sizes).

Each feature gives one line; one that fails says what it saw, and the next
still runs. Where a manager does not do something (twm has no maximize),
the line says so from what happened: the request was made and nothing
changed within NOTHING_WITHIN seconds. Nothing is assumed from the
manager's name."""
import os
import subprocess
import time

from Xlib import X, Xatom, Xutil, error as xerror
from Xlib.ext import xtest
from Xlib.protocol import event as xevent

from common import SCREEN, Failed, Program, check, geometry, supports, wait_until

TITLE = "Quarn desktop \u2014 Gr\u00fc\u00dfe \u2713"  # the desktop client's
SIZE = (300, 200)  # the client's frame, windowed
ICON = (0x11, 0xDB, 0x63)  # the client's icon, one colour all over, 32 x 32
SHORT_TEXT = "Quarn \u2014 Gr\u00fc\u00dfe \u2713 clip"
# As desktop_client.cpp builds it: above 1 MiB, so both sides use INCR.
LARGE_TEXT = "".join(f"{i:07d} Gr\u00fc\u00dfe \u2713 " for i in range(53000))
NOTHING_WITHIN = 1.5  # seconds a request has before the row says it was ignored
OTHER = (580, 150, 160, 160)  # another client's window beside the frame: x, y, width, height
RAW_MOVES, RAW_STEP = 8, (40, 30)
CLICK_HELD = 0.2  # seconds the button stays down after the click has given the focus
DOUBLE_CLICK_APART = 0.5  # seconds between clicks that must not make a double-click  # enough to run past the frame's edge


def find_by_utf8_title(conn, title):
    name, utf8 = conn.intern_atom("_NET_WM_NAME"), conn.intern_atom("UTF8_STRING")
    pending = [conn.screen().root]
    while pending:
        window = pending.pop()
        try:
            value = window.get_full_property(name, utf8)
            if value and bytes(value.value).decode(errors="replace") == title:
                return window
            pending.extend(window.query_tree().children)
        except xerror.BadWindow:
            continue
    return None


def top_level(conn, window):
    """The window's ancestor just below the root: the manager's frame, or
    the window itself where nothing reparented it."""
    root = conn.screen().root
    while True:
        parent = window.query_tree().parent
        if parent.id == root.id:
            return window
        window = parent


class Desktop:
    """One cell's desktop client and the checks of its features."""

    def __init__(self, cell, conn, binary, env, processes, manager):
        self.cell, self.conn, self.binary, self.env, self.processes = cell, conn, binary, env, processes
        self.manager = manager  # its name for the rows; None without one
        self.root = conn.screen().root
        self.real_input = not cell.synthetic_input
        self.client = self.window = self.other = None
        self.server_lost = False
        self.xclips = 0  # xclip -i started so far, each with a log of its own
        conn.xfixes_query_version()  # XFIXES answers nothing else before it

    # --- the X side -------------------------------------------------------

    def atom(self, name):
        return self.conn.intern_atom(name)

    def send_to_manager(self, window, message, data):
        event = xevent.ClientMessage(window=window, client_type=self.atom(message), data=(32, data))
        self.root.send_event(event, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.conn.sync()

    def net_wm_state(self):
        value = self.window.get_full_property(self.atom("_NET_WM_STATE"), Xatom.ATOM)
        return set(value.value) if value else set()

    def maximized(self):
        return {self.atom("_NET_WM_STATE_MAXIMIZED_VERT"), self.atom("_NET_WM_STATE_MAXIMIZED_HORZ")} <= \
            self.net_wm_state()

    def fullscreen_state(self):
        return self.atom("_NET_WM_STATE_FULLSCREEN") in self.net_wm_state()

    def wm_state(self):
        value = self.window.get_full_property(self.atom("WM_STATE"), self.atom("WM_STATE"))
        return int(value.value[0]) if value and len(value.value) else None

    def viewable(self, window=None):
        return (window or self.window).get_attributes().map_state == X.IsViewable

    def placed(self):
        return geometry(self.conn, self.window)[:4]

    def focused(self):
        focus = self.conn.get_input_focus().focus
        return getattr(focus, "id", focus)

    def has_keys(self):
        """Whether the frame gets the keys: it has the focus, or the focus is
        PointerRoot (twm's, or none's) and the pointer is in it."""
        focus = self.focused()
        if focus != X.PointerRoot:
            return focus == self.window.id
        at, size = self.window.query_pointer(), self.window.get_geometry()
        over = self.root.query_pointer().child
        return getattr(over, "id", over) == top_level(self.conn, self.window).id and \
            0 <= at.win_x < size.width and 0 <= at.win_y < size.height

    def focus_name(self):
        focus = self.focused()
        names = {self.window.id: "the frame", self.other.id: "another window", X.PointerRoot: "PointerRoot",
                 X.NONE: "no window"}
        return names.get(focus, hex(focus))

    def pointer_in(self, window):
        at = window.query_pointer()
        return at.win_x, at.win_y

    def cursor_hidden(self):
        """Whether the cursor on the screen has no visible pixel."""
        image = self.conn.xfixes_get_cursor_image(self.root)
        return not any(pixel >> 24 for pixel in image.cursor_image)

    def grab_probe(self):
        """Another client's pointer grab, confined to the root, let go at
        once: True where it answers AlreadyGrabbed (someone holds the pointer)."""
        status = self.root.grab_pointer(False, X.ButtonPressMask, X.GrabModeAsync, X.GrabModeAsync, self.root,
                                        X.NONE, X.CurrentTime)
        if status == X.GrabSuccess:
            self.conn.ungrab_pointer(X.CurrentTime)
        self.conn.sync()
        check(status in (X.GrabSuccess, X.AlreadyGrabbed), f"a probing grab answered {status}")
        return status == X.AlreadyGrabbed

    def move(self, window, x, y):
        at = self.root.translate_coords(window, x, y)
        xtest.fake_input(self.conn, X.MotionNotify, x=at.x, y=at.y)
        self.conn.sync()

    def move_by(self, dx, dy):
        xtest.fake_input(self.conn, X.MotionNotify, True, x=dx, y=dy)
        self.conn.sync()

    def click(self):
        for kind in (X.ButtonPress, X.ButtonRelease):
            xtest.fake_input(self.conn, kind, 1)
        self.conn.sync()

    def activate(self, window):
        """Gives `window` the focus as a task bar does: _NET_ACTIVE_WINDOW
        where the manager has it, else XSetInputFocus. Returns which."""
        if self.manager and supports(self.conn, "_NET_ACTIVE_WINDOW"):
            self.send_to_manager(window, "_NET_ACTIVE_WINDOW", [2, X.CurrentTime, 0, 0, 0])
            return "_NET_ACTIVE_WINDOW"
        window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
        self.conn.sync()
        return "XSetInputFocus"

    def give_focus(self, window, what):
        """activate(), then XSetInputFocus where the manager gave no focus;
        waits for `window` to have it. Returns how it got it."""
        how = self.activate(window)
        if how != "XSetInputFocus" and not self.changes(lambda: self.focused() == window.id):
            window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
            self.conn.sync()
            how = f"XSetInputFocus, as {how} gave no focus within {NOTHING_WITHIN} s"
        try:
            wait_until(lambda: self.focused() == window.id, 3, "focused")
        except Failed:
            raise Failed(f"{what} not focused within 3 s ({how}): {self.focus_name()} has the focus")
        return how

    def changes(self, predicate):
        """Whether `predicate` comes true within NOTHING_WITHIN seconds."""
        try:
            wait_until(predicate, NOTHING_WITHIN, "a change")
            return True
        except Failed:
            return False

    def ignored(self, what):
        if not self.manager:
            return f"{what}: nothing within {NOTHING_WITHIN} s (no manager to do it)"
        return f"{what}: not supported by {self.manager} (nothing within {NOTHING_WITHIN} s)"

    def settled(self, observe, hold=1.0, seconds=6):
        """What `observe` gives once it has stayed the same for `hold`
        seconds, and every value it gave on the way."""
        seen, value, since = [], observe(), time.monotonic()
        deadline = since + seconds
        while time.monotonic() < deadline:
            time.sleep(0.05)
            now = observe()
            if now != value:
                seen.append(value)
                value, since = now, time.monotonic()
            elif time.monotonic() - since >= hold:
                break
        return value, seen

    # --- the client -------------------------------------------------------

    def make_other(self):
        """Another client's plain window beside the frame, placed as asked."""
        x, y, width, height = OTHER
        window = self.root.create_window(x, y, width, height, 0, X.CopyFromParent, X.InputOutput, X.CopyFromParent,
                                         background_pixel=self.conn.screen().white_pixel)
        window.set_wm_name("compat: another window")
        window.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.USSize)
        window.set_wm_hints(flags=Xutil.InputHint, input=1)
        window.map()
        self.conn.sync()
        wait_until(lambda: self.viewable(window), 10, "another client's window viewable")
        self.other = window

    def start_client(self, *options):
        client = Program([self.binary, *options], self.env, self.processes, commands=True)
        client.wait_for("shown", seconds=15)
        window = wait_until(lambda: find_by_utf8_title(self.conn, TITLE), 20, "the desktop client's frame on screen")
        wait_until(lambda: self.viewable(window), 10, "the desktop client viewable")
        self.client, self.window = client, window
        return client, window

    def quit_client(self):
        self.client.send("quit")
        status = self.client.exit_status()
        check(status == 0, f"the desktop client ended with status {status}: {self.client.errors[-3:]}")

    # --- the features -----------------------------------------------------

    def title(self):
        """What the manager shows (_NET_WM_VISIBLE_NAME, where it sets one)
        and WM_NAME as ICCCM text, which managers without EWMH show."""
        atom, utf8 = self.atom("_NET_WM_VISIBLE_NAME"), self.atom("UTF8_STRING")
        try:
            value = wait_until(lambda: self.window.get_full_property(atom, utf8), 1, "_NET_WM_VISIBLE_NAME")
        except Failed:
            value = None
        shown = "no _NET_WM_VISIBLE_NAME set"
        if value:
            text = bytes(value.value).decode(errors="replace")
            check(TITLE in text, f'_NET_WM_VISIBLE_NAME "{text}" does not show the UTF-8 title "{TITLE}"')
            shown = f'_NET_WM_VISIBLE_NAME "{text}"'
        decoded = subprocess.run([self.binary, "--wm-name", str(self.window.id)], env=dict(self.env, LC_ALL="C.UTF-8"),
                                 capture_output=True, timeout=10)
        check(decoded.returncode == 0, f"{shown}; WM_NAME not readable as ICCCM text")
        kind, _, text = decoded.stdout.decode(errors="replace").rstrip("\n").partition(" ")
        check(text == TITLE, f'{shown}; WM_NAME ({kind}) reads "{text}" as a manager decodes it, not "{TITLE}"')
        return f'{shown}; WM_NAME ({kind}) "{text}"'

    def icon(self):
        """_NET_WM_ICON as set, and the icon's colour in the manager's
        decorations where it draws icons there."""
        value = self.window.get_full_property(self.atom("_NET_WM_ICON"), Xatom.CARDINAL)
        check(value, "no _NET_WM_ICON on the frame")
        data = [int(v) for v in value.value]
        argb = 0xFF000000 | ICON[0] << 16 | ICON[1] << 8 | ICON[2]
        check(data[:2] == [32, 32] and len(data) == 2 + 32 * 32 and set(data[2:]) == {argb},
              f"_NET_WM_ICON holds {len(data)} items, {data[:2]} then {sorted({hex(v) for v in data[2:]})[:3]}")
        colour = "#%02x%02x%02x" % ICON
        top = top_level(self.conn, self.window)
        if top.id == self.window.id:
            return f"_NET_WM_ICON 32x32 {colour} as set; not drawn: no decorations around the frame"
        try:
            count = wait_until(lambda: self.icon_pixels(top), NOTHING_WITHIN, "the icon's colour")
        except Failed:
            return f"_NET_WM_ICON 32x32 {colour} as set; not drawn by {self.manager} " \
                   f"(no pixel of its colour in the decorations within {NOTHING_WITHIN} s)"
        return f"_NET_WM_ICON 32x32 {colour} as set; drawn by {self.manager} in its decorations ({count} px)"

    def icon_pixels(self, top):
        """How many pixels of the manager's frame around the client area
        have the icon's colour: read from the screen, or from the frame
        window itself where the screen cannot be read (Xwayland)."""
        root = self.root
        corner = root.translate_coords(top, 0, 0)
        size = top.get_geometry()
        inner = root.translate_coords(self.window, 0, 0)
        client = self.window.get_geometry()
        left, top_y = max(corner.x, 0), max(corner.y, 0)
        right, bottom = min(corner.x + size.width, SCREEN[0]), min(corner.y + size.height, SCREEN[1])
        if self.real_input:
            image = root.get_image(left, top_y, right - left, bottom - top_y, X.ZPixmap, 0xFFFFFFFF)
        else:
            image = top.get_image(left - corner.x, top_y - corner.y, right - left, bottom - top_y, X.ZPixmap,
                                  0xFFFFFFFF)
        data, width, count = image.data, right - left, 0
        for row in range(bottom - top_y):
            for col in range(width):
                x, y = left + col, top_y + row
                if inner.x <= x < inner.x + client.width and inner.y <= y < inner.y + client.height:
                    continue
                at = (row * width + col) * 4
                if abs(data[at + 2] - ICON[0]) <= 6 and abs(data[at + 1] - ICON[1]) <= 6 and \
                        abs(data[at] - ICON[2]) <= 6:
                    count += 1
        return count if count >= 16 else 0

    def fullscreen(self):
        before = self.placed()
        covering = (0, 0) + SCREEN
        self.client.run("fullscreen")
        wait_until(lambda: self.placed() == covering, 5,
                   f"fullscreen: the frame covering {covering} (it is at {self.placed()})")
        self.client.run("windowed")
        # Where the compositor places every window itself, only the size is the frame's.
        back = (lambda: self.placed()[2:] == before[2:]) if self.cell.places_itself else \
            (lambda: self.placed() == before)
        wait_until(back, 5, f"leaving fullscreen: the frame back at {before} (it is at {self.placed()})")
        placed = self.placed()
        return f"covered {SCREEN[0]}x{SCREEN[1]} at (0,0), then back to {placed[2]}x{placed[3]} " \
               f"at ({placed[0]},{placed[1]})" + (" (placed by the compositor)" if self.cell.places_itself else "")

    def fullscreen_twice(self):
        """set_fullscreen(true) and (false) in one go: the frame ends windowed,
        where it was."""
        before = self.placed()
        self.client.run("fullscreen-twice")
        observe = lambda: (self.placed(), self.fullscreen_state(), self.viewable())
        (placed, state, viewable), seen = self.settled(observe)
        where = f"{placed[2]}x{placed[3]} at ({placed[0]},{placed[1]})"
        check(viewable, f"the frame is not viewable, at {where}")
        check(not state, f"the frame stayed fullscreen: _NET_WM_STATE_FULLSCREEN set, {where}")
        # Where the compositor places every window itself, only the size is the frame's.
        kept = placed[2:] == before[2:] if self.cell.places_itself else placed == before
        check(kept, f"the frame ended at {where}, not where it was ({before})")
        between = "covering the screen in between" if any(p == (0, 0) + SCREEN for p, _, _ in seen) else \
            "never covering the screen"
        return f"ended windowed, {where} ({'its size' if self.cell.places_itself else 'as'} before; {between})"

    def fullscreen_before_shown(self):
        """A second client that asks for fullscreen before its frame is shown."""
        self.start_client("--fullscreen")
        covering = (0, 0) + SCREEN
        try:
            wait_until(lambda: self.placed() == covering, 5, "covering")
        except Failed:
            raise Failed(f"the frame opened at {self.placed()}, not covering {covering} "
                         f"(_NET_WM_STATE_FULLSCREEN {self.fullscreen_state()})")
        self.client.run("windowed")
        # A tiling manager puts the frame in its tile: its size is the manager's.
        windowed = lambda: not self.fullscreen_state() and self.placed() != covering and \
            (self.cell.tiling or self.placed()[2:] == SIZE)
        try:
            wait_until(windowed, 5, "windowed")
        except Failed:
            raise Failed(f"opened covering the screen; windowed: the frame at {self.placed()}, "
                         f"_NET_WM_STATE_FULLSCREEN {self.fullscreen_state()}")
        placed = self.placed()
        return f"opened covering {SCREEN[0]}x{SCREEN[1]} at (0,0); windowed: {placed[2]}x{placed[3]} " \
               f"at ({placed[0]},{placed[1]})"

    def monitor_list(self):
        """get_monitors() as the client prints it: name, rectangle, work area,
        mm, Hz and primary of each."""
        mark = self.client.run("monitors")
        listed = []
        for line in self.client.since(mark, "monitor "):
            name, *numbers = line.split()[1:]
            x, y, w, h, wx, wy, ww, wh, mmw, mmh = (int(n) for n in numbers[:10])
            listed.append({"name": name, "rect": (x, y, w, h), "work": (wx, wy, ww, wh), "mm": (mmw, mmh),
                           "hz": float(numbers[10]), "primary": numbers[11] == "1"})
        return listed

    def monitors(self):
        """get_monitors(): at least one monitor, each inside the screen with
        its work area inside it, and one of them the primary."""
        listed = self.monitor_list()
        check(listed, "get_monitors() listed none")
        for monitor in listed:
            x, y, w, h = monitor["rect"]
            wx, wy, ww, wh = monitor["work"]
            check(w > 0 and h > 0 and x >= 0 and y >= 0 and x + w <= SCREEN[0] and y + h <= SCREEN[1],
                  f"{monitor['name']} at {monitor['rect']} is not on the {SCREEN[0]}x{SCREEN[1]} screen")
            check(ww > 0 and wh > 0 and wx >= x and wy >= y and wx + ww <= x + w and wy + wh <= y + h,
                  f"{monitor['name']}'s work area {monitor['work']} is not inside {monitor['rect']}")
        check(any(m["primary"] for m in listed), "no monitor is the primary")
        return "; ".join(f"{m['name']} {m['rect'][2]}x{m['rect'][3]} at ({m['rect'][0]},{m['rect'][1]}), work area "
                         f"{m['work'][2]}x{m['work'][3]} at ({m['work'][0]},{m['work'][1]}), {m['mm'][0]}x{m['mm'][1]} mm, "
                         f"{m['hz']:g} Hz{', primary' if m['primary'] else ''}" for m in listed)

    def split(self, split):
        """Two monitors of a client's, the screen's halves (xrandr
        --setmonitor), or none again; returns how many the server lists."""
        result = subprocess.run([self.binary, "--split" if split else "--unsplit"], env=self.env,
                                capture_output=True, text=True, timeout=10)
        check(result.returncode == 0, f"defining monitors failed: {result.stderr.strip()[-200:]}")
        return int(result.stdout.split()[-1])

    def fullscreen_on_monitors(self):
        """set_fullscreen(true, i) on each monitor get_monitors() lists, the
        screen split in two where the server keeps monitors a client defines,
        then set_fullscreen(false). Without a manager Quarn must cover each
        in turn; a manager may cover another rectangle (the monitors it
        knows), which the row says; every cell must end windowed with the
        frame's size (in its tile, under a tiling manager)."""
        before = self.placed()
        try:
            self.split(True)
        except (Failed, subprocess.TimeoutExpired, ValueError) as failure:
            split_note = f"the server refuses monitors of a client's ({failure}); "
        else:
            split_note = ""
        try:
            listed = self.monitor_list()
            if len(listed) < 2:
                split_note += f"the server lists {len(listed)} monitor (no split); "
            if self.manager:
                told = "lists" if supports(self.conn, "_NET_WM_FULLSCREEN_MONITORS") else "does not list"
                split_note += f"{self.manager} {told} _NET_WM_FULLSCREEN_MONITORS; "
            parts = []
            for index, monitor in enumerate(listed):
                self.client.run(f"fullscreen-on {index}")
                rect = monitor["rect"]
                try:
                    wait_until(lambda: self.placed() == rect, 3, "covering")
                    parts.append(f"{monitor['name']} covered {rect[2]}x{rect[3]} at ({rect[0]},{rect[1]})")
                except Failed:
                    placed = self.placed()
                    if not self.manager:
                        raise Failed(f"{split_note}fullscreen on {monitor['name']} {rect}: the frame at {placed}")
                    parts.append(f"{monitor['name']} **not by {self.manager}**: it covers {placed[2]}x{placed[3]} "
                                 f"at ({placed[0]},{placed[1]}) (_NET_WM_STATE_FULLSCREEN {self.fullscreen_state()})")
            self.client.run("windowed")
            try:
                # A tiling manager puts the frame in a tile of its choosing.
                wait_until(lambda: not self.fullscreen_state() and
                           (self.cell.tiling or self.placed()[2:] == before[2:]), 5, "windowed")
            except Failed:
                raise Failed(f"{split_note}{'; '.join(parts)}; windowed: the frame at {self.placed()}")
            placed = self.placed()
            return f"{split_note}{'; '.join(parts)}; back to {placed[2]}x{placed[3]} at ({placed[0]},{placed[1]})"
        finally:
            try:
                self.split(False)
            except (Failed, subprocess.TimeoutExpired, ValueError):
                pass

    def xclip(self, *args, text=None):
        """xclip on the CLIPBOARD: out (the text it read) or in (it stays, serving
        the text from a file, until another client takes the clipboard)."""
        argv = ["xclip", "-selection", "clipboard", *args]
        if text is None:
            done = subprocess.run(argv + ["-o"], env=self.env, capture_output=True, timeout=10)
            check(done.returncode == 0, f"xclip -o failed: {done.stderr.decode(errors='replace').strip()}")
            return done.stdout
        path = os.path.join(self.processes.work, "clipboard.txt")
        with open(path, "wb") as out:
            out.write(text.encode())
        selection = self.atom("CLIPBOARD")
        owner = self.conn.get_selection_owner(selection)
        self.xclips += 1
        log = os.path.join(self.processes.work, f"xclip-{self.xclips}.log")
        self.processes.start(argv + ["-i", "-quiet", path], self.env, log=os.path.basename(log))
        wait_until(lambda: self.conn.get_selection_owner(selection) not in (owner, X.NONE), 5, "xclip owning the clipboard")
        return log

    def answered_others(self, log):
        """Waits until the xclip that writes `log` has answered no new request
        for a second, and returns how many it answered. A clipboard manager
        (mutter's) reads every new clipboard at once, and xclip sends one
        large text at a time: pieces of two transfers at once go astray."""
        def answered():
            with open(log, errors="replace") as lines:
                return lines.read().count("selection request number") - 1
        return self.settled(answered, hold=1.0, seconds=5)[0]

    def clipboard(self):
        """First xclip against itself, the control; then xclip's text read by
        get_clipboard and the client's set_clipboard read by xclip, a short
        text and a large one."""
        try:
            for text in ("control one", "control two"):
                self.xclip(text=text)
            check(self.xclip() == b"control two", "xclip cannot hand the clipboard over to another xclip here")
        except xerror.ConnectionClosedError:
            self.server_lost = True
            return "n/a: the X server went away when one xclip handed the CLIPBOARD to another, before Quarn " \
                   f"touched it ({self.server_gone()})"
        texts = []
        for text, copy, name in ((SHORT_TEXT, "copy " + SHORT_TEXT, "short UTF-8"),
                                 (LARGE_TEXT, "copy-large", f"{len(LARGE_TEXT.encode())}-byte (INCR)")):
            want = text.encode()
            log = self.xclip(text=text)
            if text is LARGE_TEXT:
                others = self.answered_others(log)
                if others:
                    name += f" (read once xclip had answered {others} request{'s' * (others > 1)} of another client)"
            started = time.monotonic()
            mark = self.client.run("paste")
            took = time.monotonic() - started
            line = self.client.since(mark, "clipboard ")
            check(line, f"{name}: the client printed no clipboard line")
            count, _, got = line[-1][len("clipboard "):].partition(" ")
            check(got == text, f"{name}: get_clipboard read {count} bytes of xclip's text ({got[:40]!r}...), "
                               f"not {len(want)}, returning after {took:.1f} s")
            self.client.run(copy)
            read = self.xclip("-t", "UTF8_STRING")
            check(read == want, f"{name}: xclip read {len(read)} bytes of set_clipboard's text "
                                f"({read[:40]!r}...), not {len(want)}")
            texts.append(name)
        return f"{' and '.join(texts)} texts both ways: xclip -i read by get_clipboard, set_clipboard read by xclip -o"

    def drop(self):
        """Two files, one name with spaces and one beyond ASCII, dragged onto
        the frame by the test kit's source from a process of its own: the
        manager takes no part in XDND, but it has reparented the window."""
        paths = ["/tmp/a file.txt", "/tmp/Grüße ✓.png"]
        # The manager may still be placing the window after the features before.
        self.settled(lambda: geometry(self.conn, self.window)[:4], hold=0.5)
        mark = len(self.client.lines)
        source = subprocess.run([self.binary, "--drag", str(self.window.id), "40", "30", *paths], env=self.env,
                                capture_output=True, text=True, timeout=30)
        said = source.stdout.strip()
        check(source.returncode == 0 and said, f"the kit's source ended with status {source.returncode}: "
                                               f"{source.stderr.strip()[-200:]}")
        check(said.endswith("succeeded 1"), f"the source saw: {said}")
        line = wait_until(lambda: self.client.since(mark, "drop "), 5, "the drop delivered")
        want = f"drop 40 30 {'|'.join(paths)}"
        check(line[-1] == want, f"the client printed {line[-1]!r}, not {want!r}")
        parent = "reparented" if top_level(self.conn, self.window).id != self.window.id else "not reparented"
        return f"two files dropped at (40,30) of the frame's window ({parent}) by the kit's source: " \
               f"delivered as local paths at (40,30); the source saw: {said[5:]}"

    def server_gone(self):
        """What ended, of the processes that run the server."""
        ended = [f"{os.path.basename(p.args[0])} exit status {p.returncode}" for p in self.processes.started
                 if isinstance(p.args, list) and p.poll() is not None and p.args[0] != "stdbuf"]
        return ", ".join(ended) or "no process of the cell's ended"

    def focus_frame(self, x, y):
        """Gives the frame the focus as a person does: the pointer into it and
        a click, where that is input the server can take; else, or where the
        click gives no focus (no manager), as a task bar does."""
        if self.real_input:
            self.move(self.window, x, y)
            # A person's click lasts a moment: the button is still down when
            # the focus arrives, and a click-to-focus manager (metacity,
            # mutter) holds the pointer for the click meanwhile.
            xtest.fake_input(self.conn, X.ButtonPress, 1)
            self.conn.sync()
            focused = self.changes(self.has_keys)
            time.sleep(CLICK_HELD)
            xtest.fake_input(self.conn, X.ButtonRelease, 1)
            self.conn.sync()
            if focused:
                return "clicked" if self.focused() == self.window.id else "clicked; PointerRoot: the keys follow the pointer"
        how = self.give_focus(self.window, "the frame")
        return f"clicked, then {how}" if self.real_input else how

    def raw_moves(self, count, step):
        """Moves the mouse `count` times by `step` and waits for the client to
        report them all; returns where it put the virtual pointer."""
        mark = len(self.client.lines)
        for _ in range(count):
            self.move_by(*step)
        want = (count * step[0], count * step[1])

        def total():
            moves = [[int(v) for v in l.split()[1:]] for l in self.client.since(mark, "move ")]
            return (sum(m[2] for m in moves), sum(m[3] for m in moves)), (moves[-1][:2] if moves else None)

        try:
            wait_until(lambda: total()[0] == want, 3, "moves")
        except Failed:
            raise Failed(f"{count} raw moves of {step}: the client reported moves adding up to {total()[0]}, "
                         f"not {want}")
        return total()[1]

    def pointer_lock(self):
        held_at = (150, 100)
        try:
            steps = [self.focus_frame(*held_at)]
        except Failed as failure:
            if self.real_input:
                raise
            return f"n/a: the lock holds only while the frame has the focus, and the compositor does not give " \
                   f"it ({failure})"
        if self.real_input:
            held_at = self.pointer_in(self.window)
        self.client.run("lock")
        if not self.real_input and self.focused() != self.window.id:
            return f"n/a: the lock holds only while the frame has the focus, and the compositor takes it back " \
                   f"({steps[0]}, then {self.focus_name()} had it)"
        try:
            wait_until(self.cursor_hidden, 3, "hidden")
        except Failed:
            raise Failed(f"{steps[0]}, locked: the cursor over the frame is not hidden (grabbed: "
                         f"{self.grab_probe()}, {self.focus_name()} focused)")
        check(self.grab_probe(), "locked: the cursor is hidden but another client could grab the pointer")
        steps.append("locked: cursor hidden, another client's grab AlreadyGrabbed")
        if self.real_input:
            to = self.raw_moves(RAW_MOVES, RAW_STEP)
            steps.append(f"{RAW_MOVES} raw moves of (+{RAW_STEP[0]},+{RAW_STEP[1]}) reported, adding up to "
                         f"(+{RAW_MOVES * RAW_STEP[0]},+{RAW_MOVES * RAW_STEP[1]}), to ({to[0]},{to[1]}) past the "
                         f"frame's {SIZE[0]}x{SIZE[1]}")
        else:
            steps.append("no raw moves (XTest pointer motion crashes headless Xwayland; sent events make no raw motion)")

        steps.append(self.focus_away())
        steps.append(self.focus_back(60, 50, "the frame"))
        # On a title bar the manager holds the pointer until the button goes
        # up (the click may start a move), well after the focus came.
        top = geometry(self.conn, self.window)[5]
        if self.real_input and top >= 10 and supports(self.conn, "_NET_FRAME_EXTENTS"):
            steps.append(self.focus_away())
            steps.append(self.focus_back(self.placed()[2] // 2, -top // 2, "its title bar"))

        self.client.run("unlock")
        try:
            wait_until(lambda: not self.cursor_hidden(), 3, "shown")
        except Failed:
            raise Failed("unlocked: the cursor stays hidden")
        check(not self.grab_probe(), "unlocked: the pointer stays grabbed")
        if self.real_input:
            try:
                wait_until(lambda: self.pointer_in(self.window) == held_at, 3, "back")
            except Failed:
                raise Failed(f"unlocked: the pointer at {self.pointer_in(self.window)} in the frame, not back at "
                             f"{held_at} where it was locked")
            steps.append(f"unlocked: free, shown, back at ({held_at[0]},{held_at[1]})")
        else:
            steps.append("unlocked: free, shown")
        return "; ".join(steps)

    def focus_away(self, held=True):
        """Another window takes the focus: the pointer free and shown, and
        able to reach it. `held`: the frame holds the pointer, which is why a
        task bar's request, not a click, gives that window the focus."""
        how = self.give_focus(self.other, "another window")
        try:
            wait_until(lambda: not self.cursor_hidden(), 3, "shown")
        except Failed:
            raise Failed(f"another window focused ({how}): the cursor stays hidden")
        # The frame lets go once it hears that the focus left, a moment after
        # the server moved it; a confined pointer shows no cursor change then.
        try:
            wait_until(lambda: not self.grab_probe(), 3, "free")
        except Failed:
            raise Failed(f"another window focused ({how}): the pointer stays grabbed")
        if self.real_input:
            self.move(self.other, 80, 80)
            check(self.pointer_in(self.other) == (80, 80),
                  f"another window focused ({how}): the pointer cannot reach it ({self.pointer_in(self.other)})")
            self.click()
        why = ", as the held pointer cannot reach it" if held else ""
        return f"another window activated ({how}{why}): focus left, pointer free and shown" + \
            (", clicked there" if self.real_input else "")

    def focus_back(self, x, y, where):
        """A click at (x, y) of the frame gives it the focus back: the lock is
        taken again, though the manager may hold the pointer for the click."""
        # Clicks on two windows closer than a double-click are one to some
        # managers (fluxbox shades a window on a double-click of its title).
        time.sleep(DOUBLE_CLICK_APART)
        started = time.monotonic()
        how = self.focus_frame(x, y)
        try:
            wait_until(lambda: self.cursor_hidden() and self.grab_probe(), 4, "held")
        except Failed:
            raise Failed(f"focus back on {where} ({how}): the lock is not taken again within 4 s (cursor hidden: "
                         f"{self.cursor_hidden()}, grabbed: {self.grab_probe()}, {self.focus_name()} focused, the "
                         f"frame {'viewable' if self.viewable() else 'not viewable'} at {self.placed()}, the pointer "
                         f"at {self.pointer_in(self.window)} in it)")
        again = f"focus back on {where} ({how}): held again after {time.monotonic() - started:.1f} s"
        if self.real_input:
            self.raw_moves(1, (7, 5))
            again += ", a raw move reported"
        return again

    # --- focus, crossings, refreshes, confinement ------------------------

    def focus_lines(self, mark=0):
        return self.client.since(mark, "focus ")

    def crossing_lines(self, mark=0):
        return [l for l in self.client.lines[mark:] if l.startswith(("enter ", "leave "))]

    def twice_in_a_row(self, lines):
        """The first line that repeats the one before it, or None."""
        return next((b for a, b in zip(lines, lines[1:]) if a == b), None)

    def steady(self, lines, seconds=0.3):
        """`lines()` once nothing has been added to it for `seconds`: what a
        report printed for one change, and nothing more."""
        return self.settled(lambda: tuple(lines()), hold=seconds, seconds=3)[0]

    def forged_crossings(self):
        """Where the pointer cannot be moved: a sent EnterNotify and
        LeaveNotify must print nothing (a forged crossing says nothing of the
        pointer), and a sent motion after them its move."""
        mark = len(self.client.lines)
        fields = dict(time=X.CurrentTime, root=self.root, window=self.window, same_screen=1, child=X.NONE,
                      root_x=0, root_y=0, event_x=60, event_y=50, state=0)
        for kind in (xevent.EnterNotify, xevent.LeaveNotify):
            self.window.send_event(kind(detail=X.NotifyNonlinear, mode=X.NotifyNormal, flags=0, **fields),
                                   propagate=False)
        self.window.send_event(xevent.MotionNotify(detail=0, **fields), propagate=False)
        self.conn.sync()
        wait_until(lambda: self.client.since(mark, "move "), 3, "the sent motion's move printed")
        printed = self.crossing_lines(mark)
        check(not printed, f"a sent (forged) EnterNotify and LeaveNotify printed {printed}")
        return "n/a: XTest pointer motion crashes headless Xwayland, so no pointer crosses the frame; a sent " \
               "EnterNotify and LeaveNotify printed nothing (forged crossings tell nothing), the sent motion " \
               "after them its move"

    def crossing(self):
        """CROSSING: the pointer moved into the frame at a point gives one
        enter at that point; moved out onto the other window, one leave at
        where it went, in the frame's pixels."""
        if not self.real_input:
            return self.forged_crossings()
        into, onto = (60, 50), (80, 80)
        self.move(self.other, *onto)
        # Where the pointer was over the frame, its leave comes first.
        if self.crossing_lines()[-1:] and self.crossing_lines()[-1].startswith("enter "):
            wait_until(lambda: self.crossing_lines()[-1].startswith("leave "), 3, "the leave of the pointer parked")
        mark = len(self.client.lines)
        self.move(self.window, *into)
        want = f"enter {into[0]} {into[1]}"
        try:
            wait_until(lambda: self.crossing_lines(mark), 3, "enter")
        except Failed:
            raise Failed(f"the pointer moved into the frame at {into}: nothing printed")
        out = len(self.client.lines)
        self.move(self.other, *onto)
        went = self.window.translate_coords(self.other, *onto)
        left = f"leave {went.x} {went.y}"
        entered = [l for l in self.client.lines[mark:out] if l.startswith(("enter ", "leave "))]
        check(entered == [want], f"the pointer moved into the frame at {into}: printed {entered}, not [{want!r}]")
        printed = self.steady(lambda: self.crossing_lines(out))
        check(list(printed) == [left], f"{want}; the pointer moved onto the other window ({onto} there): printed "
                                       f"{list(printed)}, not [{left!r}]")
        kinds = [line.split()[0] for line in self.crossing_lines()]
        check(not self.twice_in_a_row(kinds), f"{want}, {left}; but over the client's life an enter or a leave "
                                              f"came twice in a row: {self.crossing_lines()}")
        return f"XTest moves: into the frame at ({into[0]},{into[1]}): one \"{want}\"; onto the other window: " \
               f"one \"{left}\"; enters and leaves alternate ({len(kinds)} so far)"

    def overlaps(self, window):
        """Whether `window`'s top level shares pixels with the frame's client area."""
        cover = top_level(self.conn, window)
        at, size = self.root.translate_coords(cover, 0, 0), cover.get_geometry()
        x, y, width, height = self.placed()
        return at.x < x + width and x < at.x + size.width and at.y < y + height and y < at.y + size.height

    def above(self, window):
        """Whether `window`'s top level is stacked above the frame's."""
        order = [child.id for child in self.root.query_tree().children]
        return order.index(top_level(self.conn, window).id) > order.index(top_level(self.conn, self.window).id)

    def covers(self, window):
        return self.overlaps(window) and self.above(window)

    def cover(self):
        """Puts a window over the frame's lower right corner, away from the
        pointer: the other window, moved and raised as its client (and a
        pager) asks; where the manager does not put it there, a window no
        manager handles, as menus are. Returns how, and what takes it away
        again."""
        x, y, width, height = self.placed()
        to = (x + width - 100, y + height - 80)
        was = geometry(self.conn, self.other)[:2]
        self.other.configure(x=to[0], y=to[1], stack_mode=X.Above)
        self.conn.sync()
        # Some managers raise no window at its own client's request (focus
        # stealing), but do at a pager's.
        raised = "configure with stack mode Above"
        if self.manager and supports(self.conn, "_NET_RESTACK_WINDOW"):
            self.send_to_manager(self.other, "_NET_RESTACK_WINDOW", [2, X.NONE, X.Above, 0, 0])
            raised += ", and _NET_RESTACK_WINDOW as a pager asks"
        if self.changes(lambda: self.covers(self.other)):
            back = OTHER[:2]

            def away():
                self.other.configure(x=back[0], y=back[1])
                self.conn.sync()
                wait_until(lambda: not self.covers(self.other), 3, "the other window moved away from the frame")
            return f"the other window moved over it and back (raised by {raised})", away
        at = geometry(self.conn, self.other)[:2]
        if self.overlaps(self.other):
            put = f"put the other window at {at}, over the frame's place, but kept it below the frame"
        else:
            put = f"put the other window at {at}, not over the frame" if at != was else \
                f"left the other window at {at}"
        left = f"{self.manager or 'the server'} {put} ({raised}; nothing more within {NOTHING_WITHIN} s)"
        menu = self.root.create_window(to[0], to[1], 160, 120, 0, X.CopyFromParent, X.InputOutput, X.CopyFromParent,
                                       background_pixel=self.conn.screen().white_pixel, override_redirect=True)
        menu.map()
        self.conn.sync()
        wait_until(lambda: self.viewable(menu) and self.covers(menu), 3, "an override-redirect window over the frame")

        def away():
            menu.destroy()
            self.conn.sync()
        return f"{left}: an override-redirect window (as a menu) mapped over it and destroyed", away

    def compositor(self):
        """The owner of the screen's compositing selection, or None."""
        owner = self.conn.get_selection_owner(self.atom(f"_NET_WM_CM_S{self.conn.get_default_screen()}"))
        owner = getattr(owner, "id", owner)
        return owner or None

    def refresh(self):
        """REFRESH: at least one after the frame was first shown; one more
        once a window over it goes away, unless a compositing manager keeps
        the frame's pixels (the server then sends no Expose)."""
        lines = self.client.lines
        shown = lines.index("shown")
        first = lines[shown:].count("refresh")
        check(first, "no refresh printed after the frame was first shown")
        how, away = self.cover()
        mark = len(lines)
        away()
        got = self.changes(lambda: self.client.since(mark, "refresh"))
        text = f"refreshed after first shown; {how}: "
        if got:
            return text + "a refresh once uncovered"
        owner = self.compositor()
        check(owner, f"{text}no refresh within {NOTHING_WITHIN} s of being uncovered, and no compositing manager "
                     f"(_NET_WM_CM_S0 has no owner)")
        return text + f"no refresh within {NOTHING_WITHIN} s of being uncovered: a compositing manager keeps the " \
                      f"frame's pixels, so the server sends no Expose (_NET_WM_CM_S0 owned by {owner:#x})"

    def focus_taken_back(self):
        """Where the frame cannot be focused as a person does (no XTest
        pointer): XSetInputFocus on it. Returns None where it keeps the focus,
        else who has it now, once the compositor has taken it back."""
        self.window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
        self.conn.sync()
        if self.changes(lambda: self.focused() != self.window.id):
            return self.focus_name()
        return None

    def focus(self):
        """FOCUS: "focus 1" once the frame is focused as a person focuses it,
        "focus 0" once when another window is given the focus, "focus 1" once
        when the frame is focused back; never the same twice in a row."""
        if not self.real_input:
            mark = len(self.client.lines)
            taker = self.focus_taken_back()
            if taker:
                printed = list(self.steady(lambda: self.focus_lines(mark)))
                check(printed == ["focus 1", "focus 0"], f"XSetInputFocus on the frame, then {taker} had the focus: "
                                                         f"printed {printed}, not ['focus 1', 'focus 0']")
                return f"n/a as a person gives it: the compositor takes the focus back (XSetInputFocus on the " \
                       f"frame, then {taker} had it): \"focus 1\", then \"focus 0\", once each"
        steps = [f"frame focused ({self.focus_frame(60, 50)})"]
        try:
            wait_until(lambda: self.focus_lines()[-1:] == ["focus 1"], 3, "focus 1")
        except Failed:
            raise Failed(f"{steps[0]}: the last focus line is {self.focus_lines()[-1:]}, not \"focus 1\"")
        steps[0] += ": \"focus 1\""
        for step, want in ((lambda: self.focus_away(held=False), "focus 0"),
                           (lambda: self.focus_again(60, 50), "focus 1")):
            mark = len(self.client.lines)
            steps.append(step())
            try:
                wait_until(lambda: self.focus_lines(mark), 3, want)
            except Failed:
                raise Failed(f"{'; '.join(steps)}: nothing printed, not \"{want}\"")
            printed = list(self.steady(lambda: self.focus_lines(mark)))
            check(printed == [want], f"{'; '.join(steps)}: printed {printed}, not [{want!r}]")
            steps[-1] += f": \"{want}\" once"
        repeated = self.twice_in_a_row(self.focus_lines())
        check(not repeated, f"{'; '.join(steps)}; \"{repeated}\" printed twice in a row: {self.focus_lines()}")
        return "; ".join(steps) + f"; never twice in a row ({len(self.focus_lines())} focus lines)"

    def focus_again(self, x, y):
        """A click at (x, y) of the frame, far enough from the last click on
        the other window to be no double-click."""
        time.sleep(DOUBLE_CLICK_APART)
        return f"focus back ({self.focus_frame(x, y)})"

    def pushed(self, start, push):
        """Where a relative move by `push` from `start` (the frame's pixels)
        leaves the pointer, in the frame's pixels."""
        self.move(self.window, *start)
        self.move_by(*push)
        return self.pointer_in(self.window)

    def inside(self, at):
        width, height = self.placed()[2:]
        return 0 <= at[0] < width and 0 <= at[1] < height

    def confinement(self):
        """set_pointer_confined: with the frame focused, pushes past each edge
        stop at it, the cursor stays visible and another client cannot grab
        the pointer; focus away: free; focus back: held again; unconfined:
        free."""
        if not self.real_input:
            self.client.run("confine")
            taker = self.focus_taken_back()
            if not taker:
                check(self.grab_probe() and not self.cursor_hidden(), "confined, the frame focused (XSetInputFocus): "
                      f"another client's grab {'refused' if self.grab_probe() else 'succeeds'}, the cursor "
                      f"{'hidden' if self.cursor_hidden() else 'shown'}")
                self.client.run("unconfine")
                check(not self.grab_probe(), "unconfined: the pointer stays grabbed")
                return "confined, the frame focused (XSetInputFocus): cursor shown, another client's grab " \
                       "AlreadyGrabbed; no pushes (XTest pointer motion crashes headless Xwayland); unconfined: free"
            try:
                wait_until(lambda: not self.grab_probe(), 3, "free")
            except Failed:
                raise Failed(f"confined, XSetInputFocus on the frame, then {taker} had the focus: the pointer stays "
                             f"grabbed")
            self.client.run("unconfine")
            return f"n/a: the confinement holds only while the frame has the focus, and the compositor takes it " \
                   f"back (XSetInputFocus on the frame, then {taker} had it): meanwhile the pointer free (another " \
                   f"client's grab succeeds); no pushes (XTest pointer motion crashes headless Xwayland)"
        width, height = self.placed()[2:]
        centre = (width // 2, height // 2)
        steps = [f"frame focused ({self.focus_frame(*centre)})"]
        self.client.run("confine")
        edges = {(SCREEN[0], 0): (width - 1, centre[1]), (-SCREEN[0], 0): (0, centre[1]),
                 (0, SCREEN[1]): (centre[0], height - 1), (0, -SCREEN[1]): (centre[0], 0)}
        stops = []
        for push, edge in edges.items():
            at = self.pushed(centre, push)
            check(at == edge, f"confined: a push of {push} from {centre} left the pointer at {at} in the frame, "
                              f"not at its edge {edge}")
            stops.append(f"({at[0]},{at[1]})")
        check(not self.cursor_hidden(), "confined: the cursor is hidden")
        check(self.grab_probe(), "confined: another client could grab the pointer")
        steps.append(f"confined: pushes past each edge stopped at {' '.join(stops)}, cursor shown, another "
                     f"client's grab AlreadyGrabbed")
        steps.append(self.focus_away())
        # A click-to-focus manager holds the pointer during the click, so a
        # grab refused is what the probe cannot tell from the library's: the
        # push that stops at the edge can.
        right = (SCREEN[0], 0)
        started = time.monotonic()
        how = self.focus_again(*centre)
        try:
            wait_until(lambda: self.grab_probe() and self.pushed(centre, right) == edges[right], 4, "held")
        except Failed:
            raise Failed(f"{'; '.join(steps)}; {how}: not confined again within 4 s (grabbed: {self.grab_probe()}, "
                         f"a push right from {centre} to {self.pushed(centre, right)}, {self.focus_name()} focused)")
        check(not self.cursor_hidden(), f"{how}: confined again, but the cursor is hidden")
        steps.append(f"{how}: confined again after {time.monotonic() - started:.1f} s (a push stopped at the edge, "
                     f"another client's grab AlreadyGrabbed)")
        self.client.run("unconfine")
        check(not self.grab_probe(), "unconfined: the pointer stays grabbed")
        at = self.pushed(centre, right)
        check(not self.inside(at), f"unconfined: a push right from {centre} stopped at {at}, inside the frame")
        steps.append(f"unconfined: free, a push right goes on to ({at[0]},{at[1]})")
        return "; ".join(steps)

    def size_lines(self, mark):
        return [tuple(int(v) for v in l.split()[1].split("x")) for l in self.client.since(mark, "size ")]

    def reports(self):
        """Maximize, minimize and restore through the manager, as its buttons
        and a task bar ask for them; the client reports each."""
        parts, client = [], self.client
        windowed = self.placed()[2:]

        def state_request(add):
            self.send_to_manager(self.window, "_NET_WM_STATE", [1 if add else 0, self.atom("_NET_WM_STATE_MAXIMIZED_VERT"),
                                                                self.atom("_NET_WM_STATE_MAXIMIZED_HORZ"), 1, 0])

        def seen(mark):
            return f"_NET_WM_STATE maximized {self.maximized()}, {self.placed()[2:]}, printed " \
                   f"{client.lines[mark:][-4:]}"

        mark = len(client.lines)
        state_request(True)
        if not self.changes(lambda: self.maximized() or self.placed()[2:] != windowed or client.since(mark, "max")):
            parts.append(self.ignored("maximize"))
        else:
            try:
                wait_until(lambda: self.maximized() and client.since(mark, "maximized") and
                           self.size_lines(mark)[-1:] == [self.placed()[2:]] != [windowed], 3, "maximized")
            except Failed:
                raise Failed(f"maximize: {seen(mark)}")
            size = self.placed()[2:]
            parts.append(f"maximize: reported, size {size[0]}x{size[1]}")
            mark = len(client.lines)
            state_request(False)
            try:
                wait_until(lambda: not self.maximized() and self.size_lines(mark)[-1:] == [windowed] and
                           self.placed()[2:] == windowed, 3, "restored")
            except Failed:
                raise Failed(f"{parts[-1]}; restore (maximize taken back): {seen(mark)}")
            parts.append(f"restore: size {windowed[0]}x{windowed[1]} reported")

        mark = len(client.lines)
        # XIconifyWindow's message, as a minimize button sends it.
        self.send_to_manager(self.window, "WM_CHANGE_STATE", [Xutil.IconicState, 0, 0, 0, 0])
        if not self.changes(lambda: self.wm_state() == Xutil.IconicState or not self.viewable() or
                            client.since(mark, "minimized")):
            parts.append(self.ignored("minimize"))
            return "; ".join(parts)
        try:
            wait_until(lambda: self.wm_state() == Xutil.IconicState and client.since(mark, "minimized"), 3,
                       "minimized")
        except Failed:
            raise Failed(f"{'; '.join(parts)}; minimize: WM_STATE {self.wm_state()}, viewable {self.viewable()}, "
                         f"printed {client.lines[mark:][-4:]}")
        # ICCCM lets the client assume an iconic window is not viewable; a
        # compositing manager may keep it mapped for its previews.
        kept = ", kept mapped by the manager" if self.viewable() else ""
        parts.append(f"minimize: reported, WM_STATE Iconic{kept}")
        mark = len(client.lines)
        normal = lambda: self.wm_state() == Xutil.NormalState
        how = self.activate(self.window) if self.manager and supports(self.conn, "_NET_ACTIVE_WINDOW") else None
        if not how or not self.changes(normal):
            if how:
                parts.append(self.ignored(f"restore by {how}"))
            self.window.map()
            self.conn.sync()
            how = "mapping it again"
        try:
            wait_until(lambda: normal() and self.viewable() and self.size_lines(mark), 3, "restored")
        except Failed:
            raise Failed(f"{'; '.join(parts)}; restore ({how}): WM_STATE {self.wm_state()}, viewable "
                         f"{self.viewable()}, printed {client.lines[mark:][-4:]}")
        parts.append(f"restore ({how}): reported as size {self.size_lines(mark)[-1][0]}x{self.size_lines(mark)[-1][1]}")
        return "; ".join(parts)

    # --- the window controls ----------------------------------------------

    def ewmh(self):
        """Whether a manager that speaks EWMH runs: the window its
        _NET_SUPPORTING_WM_CHECK names names itself."""
        check_atom = self.atom("_NET_SUPPORTING_WM_CHECK")
        named = self.root.get_full_property(check_atom, Xatom.WINDOW)
        if not named or not len(named.value):
            return False
        try:
            window = self.conn.create_resource_object("window", int(named.value[0]))
            itself = window.get_full_property(check_atom, Xatom.WINDOW)
        except xerror.XError:
            return False
        return bool(itself) and int(itself.value[0]) == int(named.value[0])

    def said(self, command, prefix):
        """Runs a command that prints a line starting with `prefix`; its numbers."""
        mark = self.client.run(command)
        lines = wait_until(lambda: self.client.since(mark, prefix), 3, f'"{prefix}" printed')
        return [int(v) for v in lines[-1].split()[1:]]

    def resized_from_outside(self, width, height):
        """Another client asks for the frame's size, as a user's tool would;
        the size it settles at."""
        self.window.configure(width=width, height=height)
        self.conn.sync()
        return self.settled(lambda: tuple(self.placed()[2:]), hold=0.5, seconds=3)[0]

    def put_back(self, size):
        self.resized_from_outside(*size)

    def normal_hints(self):
        return self.window.get_wm_normal_hints()

    def motif(self):
        value = self.window.get_full_property(self.atom("_MOTIF_WM_HINTS"), self.atom("_MOTIF_WM_HINTS"))
        return [int(v) for v in value.value] if value else []

    def size_limits(self):
        before = tuple(self.placed()[2:])
        self.client.run("limits 150 100 320 220")
        hints = self.normal_hints()
        check((hints.min_width, hints.min_height, hints.max_width, hints.max_height) == (150, 100, 320, 220),
              f"WM_NORMAL_HINTS min {hints.min_width}x{hints.min_height} max {hints.max_width}x{hints.max_height}")
        big, small = self.resized_from_outside(600, 500), self.resized_from_outside(60, 40)
        self.client.run("limits -1 -1 -1 -1")
        self.put_back(before)
        seen = f"a resize to 600x500 gave {big[0]}x{big[1]}, to 60x40 {small[0]}x{small[1]}"
        if big == (600, 500) and small == (60, 40):
            return f"written; not applied in {self.cell.name}: {seen}"
        held = big[0] <= 320 and big[1] <= 220 and small[0] >= 150 and small[1] >= 100
        return f"{'honoured' if held else 'partly honoured'}: {seen}"

    def aspect_ratio(self):
        before = tuple(self.placed()[2:])
        self.client.run("aspect 2 1")
        hints = self.normal_hints()
        check((hints.min_aspect["num"], hints.min_aspect["denum"]) == (2, 1),
              f"WM_NORMAL_HINTS aspect {hints.min_aspect}")
        got = self.resized_from_outside(400, 400)
        self.client.run("aspect 0 0")
        self.put_back(before)
        seen = f"a resize to 400x400 gave {got[0]}x{got[1]}"
        if abs(got[0] - 2 * got[1]) <= 2:
            return f"honoured (2:1): {seen}"
        return f"written; not applied in {self.cell.name}: {seen}"

    def resizable(self):
        before = tuple(self.placed()[2:])
        self.client.run("resizable 0")
        hints = self.normal_hints()
        check(hints.min_width == hints.max_width == before[0] and hints.min_height == hints.max_height == before[1],
              f"WM_NORMAL_HINTS min {hints.min_width}x{hints.min_height} max {hints.max_width}x{hints.max_height}, "
              f"size {before}")
        motif = self.motif()
        check(len(motif) == 5 and motif[0] & 1 and not motif[1] & 2, f"_MOTIF_WM_HINTS {motif}")
        got = self.resized_from_outside(500, 400)
        self.client.run("resizable 1")
        self.put_back(before)
        seen = f"a resize to 500x400 gave {got[0]}x{got[1]}"
        if got == before:
            return f"held at {before[0]}x{before[1]}: {seen}"
        return f"written; not applied in {self.cell.name}: {seen}"

    def decorated(self):
        top = top_level(self.conn, self.window)
        before = top.get_geometry()
        self.client.run("decorated 0")
        motif = self.motif()
        check(len(motif) == 5 and motif[0] & 2 and motif[2] == 0, f"_MOTIF_WM_HINTS {motif}")
        inner = self.window.get_geometry()

        def bare():
            # The manager may make a new frame for the window meanwhile (metacity).
            try:
                now = top_level(self.conn, self.window).get_geometry()
            except xerror.BadWindow:
                return False
            return (now.width, now.height) == (inner.width, inner.height) and \
                (before.width, before.height) != (inner.width, inner.height)
        plain = self.changes(bare)
        extents = self.said("extents", "extents ")
        self.client.run("decorated 1")
        if top.id == self.window.id:
            return f"written; no decorations to take away in {self.cell.name}"
        if plain:
            return f"decorations taken away (the manager's frame is the window's size; extents {extents})"
        return f"written; decorations kept by {self.cell.name} (extents {extents})"

    def floating(self):
        self.client.run("floating 1")
        state = self.changes(lambda: self.atom("_NET_WM_STATE_ABOVE") in self.net_wm_state())
        self.other.configure(stack_mode=X.Above)
        self.conn.sync()
        time.sleep(0.3)
        kept = not self.above(self.other)
        self.client.run("floating 0")
        told = ("_NET_WM_STATE_ABOVE set by the manager" if self.ewmh() else
                "_NET_WM_STATE_ABOVE in the window's own property (no EWMH manager)") if state else \
            "no _NET_WM_STATE_ABOVE"
        return f"{told}; another window raised {'stays below the frame' if kept else 'goes above it'}"

    def opacity(self):
        self.client.run("opacity 0.5")
        atom = self.atom("_NET_WM_WINDOW_OPACITY")
        own = self.window.get_full_property(atom, Xatom.CARDINAL)
        check(own and int(own.value[0]) == 0x80000000, f"_NET_WM_WINDOW_OPACITY {own and list(own.value)}")
        top = top_level(self.conn, self.window)
        copied = top.id != self.window.id and self.changes(lambda: top.get_full_property(atom, Xatom.CARDINAL))
        self.client.run("opacity 1")
        if top.id == self.window.id:
            return "0x80000000 on the window, the top level itself (a compositor reads it there)"
        return "0x80000000 on the window; " + ("copied to the manager's frame" if copied else
                                                f"not copied to {self.cell.name}'s frame (a compositor reading "
                                                "top levels does not see it)")

    def states(self):
        parts = []
        self.client.run("maximize")
        if self.changes(self.maximized):
            self.client.run("restore")
            parts.append("maximize: both states set" + ("; restore: taken back" if self.changes(
                lambda: not self.maximized()) else "; restore: FAIL: still maximized"))
        else:
            parts.append(self.ignored("maximize"))
        self.client.run("minimize")
        if self.changes(lambda: self.wm_state() == Xutil.IconicState):
            self.client.run("restore")
            back = self.changes(lambda: self.wm_state() == Xutil.NormalState and self.viewable())
            parts.append("minimize: WM_STATE Iconic; restore: " + ("Normal, viewable" if back else
                                                                   "FAIL: still iconic"))
            check(back, "; ".join(parts))
        else:
            parts.append(self.ignored("minimize"))
        check(not any("FAIL" in p for p in parts), "; ".join(parts))
        return "; ".join(parts)

    def focus_control(self):
        """With another window focused: request_attention (a manager flags
        only a window without the focus), then focus()."""
        try:
            how = self.give_focus(self.other, "another window")
        except Failed as failure:
            # Weston (headless) takes the focus back from every X window.
            if not self.cell.synthetic_input:
                raise
            self.client.run("attention")
            hints = self.window.get_wm_hints()
            check(hints and hints.flags & Xutil.UrgencyHint, "attention: no urgency hint in WM_HINTS")
            return f"n/a: the compositor keeps the focus from X windows ({failure}); attention: urgency hint set"
        self.client.run("attention")
        demands = self.changes(lambda: self.atom("_NET_WM_STATE_DEMANDS_ATTENTION") in self.net_wm_state())
        hints = self.window.get_wm_hints()
        check(hints and hints.flags & Xutil.UrgencyHint, "attention: no urgency hint in WM_HINTS")
        where = "set by the manager" if self.ewmh() else "in the window's own property (no EWMH manager)"
        attention = "attention: urgency hint set, " + \
            (f"_NET_WM_STATE_DEMANDS_ATTENTION {where}" if demands else
             f"no _NET_WM_STATE_DEMANDS_ATTENTION ({self.cell.name} keeps its own state)")
        self.client.run("focus")
        taken = self.changes(lambda: self.focused() == self.window.id)
        result = f"focus: the frame took the focus from another window ({how} had given it there)" if taken else \
            f"focus: stayed with {self.focus_name()} (refused by {self.cell.name})"
        if not taken:
            try:
                self.give_focus(self.window, "the frame")
            except Failed as failure:
                # Weston lets another window have the focus for a moment, then
                # takes it back from every X window, the frame included.
                if not self.cell.synthetic_input:
                    raise
                return f"{attention}; {result}; whether the urgency hint clears once focused: n/a: " \
                       f"the compositor keeps the focus from X windows ({failure})"
        cleared = self.changes(lambda: not (self.window.get_wm_hints().flags & Xutil.UrgencyHint))
        return f"{attention}; {result}; urgency hint {'cleared' if cleared else 'still set'} once focused"

    def deepest_under_pointer(self):
        window = self.root
        while True:
            child = window.query_pointer().child
            if not child or getattr(child, "id", child) == X.NONE:
                return window
            window = child

    def passthrough(self):
        self.move(self.window, SIZE[0] // 2, SIZE[1] // 2)
        before = self.deepest_under_pointer()
        check(before.id == self.window.id, f"the pointer over {hex(before.id)}, not the frame")
        self.client.run("passthrough 1")
        time.sleep(0.2)
        self.move(self.window, SIZE[0] // 2 + 1, SIZE[1] // 2)
        through = self.deepest_under_pointer()
        self.client.run("passthrough 0")
        self.move(self.window, SIZE[0] // 2, SIZE[1] // 2)
        check(self.deepest_under_pointer().id == self.window.id, "the frame does not take the pointer back")
        top = top_level(self.conn, self.window)
        if through.id == self.window.id:
            raise Failed("the pointer still goes to the frame")
        if through.id == self.root.id or top_level(self.conn, through).id != top.id:
            return "the pointer goes to the window below; back to the frame when off"
        return f"the pointer stops at {self.cell.name}'s frame behind the window (it keeps its own input shape)"

    def extents_and_position(self):
        extents = self.said("extents", "extents ")
        position = self.said("position", "position ")
        at = self.root.translate_coords(self.window, 0, 0)
        check(position == [at.x, at.y], f"get_position {position}, the server says ({at.x}, {at.y})")
        published = self.window.get_full_property(self.atom("_NET_FRAME_EXTENTS"), Xatom.CARDINAL)
        check((list(published.value) if published else [0, 0, 0, 0]) == extents,
              f"get_frame_extents {extents}, _NET_FRAME_EXTENTS {published and list(published.value)}")
        return f"extents {extents} ({'published' if published else 'none published'}); position ({at.x}, {at.y})"

    def moves(self):
        """A move by the manager for a pager, else by another client: the
        frame reports where it went."""
        start = self.root.translate_coords(self.window, 0, 0)
        mark = len(self.client.lines)
        target = (start.x + 40, start.y + 30)
        if self.manager and supports(self.conn, "_NET_MOVERESIZE_WINDOW"):
            how = "_NET_MOVERESIZE_WINDOW"
            self.send_to_manager(self.window, how, [(1 << 8) | (1 << 9) | (2 << 12), target[0], target[1], 0, 0])
        else:
            how = "XMoveWindow by another client"
            self.window.configure(x=target[0], y=target[1])
            self.conn.sync()
        if not self.changes(lambda: self.root.translate_coords(self.window, 0, 0).x != start.x):
            return self.ignored(f"move ({how})")
        def corner():
            at = self.root.translate_coords(self.window, 0, 0)
            return at.x, at.y
        self.settled(corner, hold=0.5, seconds=3)
        where = self.root.translate_coords(self.window, 0, 0)
        try:
            wait_until(lambda: [int(v) for v in (self.client.since(mark, "moved ") or ["x 0 0 0 0"])[-1].split()[1:]]
                       == [where.x, where.y, where.x, where.y], 3, "moved")
        except Failed:
            raise Failed(f"moved by {how} to ({where.x}, {where.y}); printed {self.client.since(mark, 'moved ')[-3:]}")
        return f"moved by {how} to ({where.x}, {where.y}): reported, position kept"


def check_desktop(cell, conn, binary, env, processes, manager):
    """Every feature in turn; returns whether all passed and a line each."""
    desktop = Desktop(cell, conn, binary, env, processes, manager)
    rows, passed = [], True
    desktop.make_other()
    desktop.start_client()

    def feature(name, run, undo=None):
        nonlocal passed
        try:
            rows.append(f"{name}: {run()}")
        except (Failed, xerror.XError) as failure:
            passed = False
            rows.append(f"{name}: FAIL: {failure}")
            if undo and desktop.client.process.poll() is None:
                try:
                    desktop.client.run(undo)
                except Failed:
                    pass

    feature("title", desktop.title)
    feature("icon", desktop.icon)
    feature("fullscreen", desktop.fullscreen, "windowed")
    feature("fullscreen x2 at once", desktop.fullscreen_twice, "windowed")
    feature("pointer lock", desktop.pointer_lock, "unlock")
    feature("crossing", desktop.crossing)
    feature("refresh", desktop.refresh)
    feature("focus", desktop.focus)
    feature("confinement", desktop.confinement, "unconfine")
    feature("maximize/minimize/restore", desktop.reports)
    feature("drop", desktop.drop)
    feature("size limits", desktop.size_limits)
    feature("aspect ratio", desktop.aspect_ratio)
    feature("resizable", desktop.resizable)
    feature("decorated", desktop.decorated)
    feature("floating", desktop.floating)
    feature("opacity", desktop.opacity)
    feature("minimize/maximize/restore calls", desktop.states)
    feature("focus and attention calls", desktop.focus_control)
    feature("mouse passthrough", desktop.passthrough, "passthrough 0")
    feature("extents and position", desktop.extents_and_position)
    feature("move report", desktop.moves)
    try:
        desktop.quit_client()
    except (Failed, xerror.XError) as failure:
        passed = False
        rows.append(f"the client: FAIL: {failure}")
    feature("fullscreen before shown", desktop.fullscreen_before_shown)
    # After the features of a frame that opened, as the monitors they define
    # change what managers place windows on.
    feature("monitors", desktop.monitors)
    feature("fullscreen on each monitor", desktop.fullscreen_on_monitors, "windowed")
    # Last, on the second client: where the server cannot hold a clipboard
    # (weston's), nothing can run after it.
    feature("clipboard", desktop.clipboard)
    if desktop.server_lost:
        return passed, rows  # the clipboard's row says why
    try:
        desktop.quit_client()
    except (Failed, xerror.XError) as failure:
        passed = False
        rows.append(f"the second client: FAIL: {failure}")
    return passed, rows
