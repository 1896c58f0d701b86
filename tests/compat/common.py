"""What the compat cells share: failures, waiting, the processes a cell
starts, the programs it drives through their standard streams, and where a
window is on the screen."""
import os
import select
import signal
import subprocess
import threading
import time

from Xlib import Xatom

SCREEN = (1280, 1024)


class Failed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failed(what)


def wait_until(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failed(f"timed out: {what}")
        time.sleep(0.02)


class Processes:
    """Every process a cell starts; all of them are stopped at the end."""

    def __init__(self, work):
        self.work, self.started = work, []

    def start(self, argv, env=None, log=None, pass_fds=()):
        out = open(os.path.join(self.work, log or os.path.basename(argv[0]) + ".log"), "ab")
        process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                                   pass_fds=pass_fds, start_new_session=True)
        self.started.append(process)
        return process

    def start_server(self, argv, env=None):
        """Starts an X server with -displayfd; returns its display name."""
        read_end, write_end = os.pipe()
        process = self.start(argv[:1] + ["-displayfd", str(write_end)] + argv[1:], env=env, pass_fds=(write_end,))
        os.close(write_end)
        # Read up to the newline: the server writes it separately, and a pipe
        # closed before then makes the server fail.
        number = b""
        while not number.endswith(b"\n") and select.select([read_end], [], [], 30)[0]:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        number = number.decode().strip()
        check(number and process.poll() is None, f"{argv[0]} did not start")
        return ":" + number

    def stop_all(self):
        # A group whose first process has ended may still hold its children
        # (weston's Xwayland); Linux gives no new process that group's number
        # while any of them lives.
        for process in reversed(self.started):
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                continue
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                pass
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()


def supports(conn, name):
    supported = conn.screen().root.get_full_property(conn.intern_atom("_NET_SUPPORTED"), Xatom.ATOM)
    return bool(supported) and conn.intern_atom(name) in supported.value


class Program:
    """A program the cell drives (the demo, the desktop client) as a child
    process: its output read line by line, commands written to its input."""

    def __init__(self, argv, env, processes, commands=False):
        self.work, self.name = processes.work, os.path.basename(argv[0])
        self.process = subprocess.Popen(["stdbuf", "-oL"] + argv, env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, stdin=subprocess.PIPE if commands else None,
                                        text=True, encoding="utf-8", errors="replace", start_new_session=True)
        processes.started.append(self.process)
        self.lines, self.errors = [], []
        self.readers = [threading.Thread(target=self._read, args=(self.process.stdout, self.lines), daemon=True),
                        threading.Thread(target=self._read, args=(self.process.stderr, self.errors), daemon=True)]
        for reader in self.readers:
            reader.start()

    def stacks(self):
        """Where a program that hangs is: gdb's backtraces, written to the cell's logs."""
        path = os.path.join(self.work, f"{self.name}-stacks.txt")
        try:
            with open(path, "w") as out:
                subprocess.run(["gdb", "-p", str(self.process.pid), "-batch", "-ex", "thread apply all bt"],
                               stdout=out, stderr=subprocess.STDOUT, timeout=60)
        except (OSError, subprocess.TimeoutExpired) as failure:
            return f"none ({failure})"
        return path

    @staticmethod
    def _read(stream, into):
        for line in stream:
            into.append(line.rstrip("\n"))

    def count(self, line):
        return self.lines.count(line)

    def send(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def wait_for(self, line, count=1, seconds=10):
        wait_until(lambda: self.count(line) >= count, seconds, f'"{line}" x{count} (got {self.events()})')

    def events(self):
        return [l for l in self.lines if l.startswith(("Frame1:", "Frame2:"))]

    def since(self, mark, prefix):
        """The lines starting with `prefix` printed after line `mark`."""
        return [l for l in self.lines[mark:] if l.startswith(prefix)]

    def run(self, command, seconds=10):
        """Sends a command and waits for the program to say it ran it; returns
        the number of lines before that, a mark for since()."""
        done = "ok " + command.split(" ")[0]
        mark, before = len(self.lines), self.count(done)
        self.send(command)
        try:
            wait_until(lambda: self.count(done) > before or self.process.poll() is not None, seconds,
                       f'"{command[:40]}" run')
        except Failed:
            raise Failed(f'{self.name} did not finish "{command[:40]}" within {seconds} s '
                         f"(its threads' stacks: {self.stacks()})")
        check(self.process.poll() is None, f'{self.name} ended (status {self.process.returncode}) on "{command[:40]}": '
                                           f"{self.errors[-3:]}")
        return mark

    def exit_status(self, seconds=15):
        try:
            status = self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            raise Failed(f"{self.name} did not end (its last lines: {[l[:80] for l in self.lines[-3:]] + self.errors[-3:]}; "
                         f"its threads' stacks: {self.stacks()})")
        for reader in self.readers:
            reader.join(5)
        return status


def geometry(conn, window):
    """The window's client area on screen (x, y, width, height) and the
    decoration the manager put around it (left, top): _NET_FRAME_EXTENTS
    where set, else the offset inside the manager's frame window."""
    root = conn.screen().root
    origin = root.translate_coords(window, 0, 0)
    size = window.get_geometry()
    x, y = origin.x, origin.y
    extents = window.get_full_property(conn.intern_atom("_NET_FRAME_EXTENTS"), Xatom.CARDINAL)
    if extents and len(extents.value) == 4:
        return x, y, size.width, size.height, int(extents.value[0]), int(extents.value[2])
    top = window
    while top.query_tree().parent.id != root.id:
        top = top.query_tree().parent
    frame = root.translate_coords(top, 0, 0)
    border = top.get_geometry().border_width
    return x, y, size.width, size.height, x - frame.x + border, y - frame.y + border


