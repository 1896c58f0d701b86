#!/usr/bin/env python3
"""The pump with every report on (wheel, size, text through the input method,
auto-repeat, focus, crossings, refreshes, extra buttons) against GLFW, which
always does that work, the default pump with a gamepad open and idle, and
the default pump against the raw Xlib floor; contenders interleaved round after round on the
current $DISPLAY, under a UTF-8 locale as on a desktop.

Usage: reports.py BUILD_DIR   (QUARN_BENCH_ROUNDS sets the rounds, default 15)
"""
import os
import re
import statistics
import subprocess
import sys

build = sys.argv[1]
rounds = int(os.environ.get("QUARN_BENCH_ROUNDS", "15"))
contenders = {"raw": ["pump_raw"], "quarn": ["pump_quarn"], "quarn-reports": ["pump_quarn", "reports"],
              "quarn-gamepad": ["pump_quarn", "gamepad"], "glfw": ["pump_glfw"]}
environment = dict(os.environ, LANG="C.UTF-8")


def seconds(name, shape, valgrind=None):
    program, *extra = contenders[name]
    command = [f"{build}/bench/{program}", shape, *extra]
    if valgrind:
        command = ["valgrind", "--tool=callgrind", "--instr-atstart=no", f"--callgrind-out-file={valgrind}"] + command
    out = subprocess.run(command, check=True, capture_output=True, text=True, env=environment).stdout
    for line in out.splitlines():
        if line.startswith(f"pump {name} "):
            fields = dict(re.findall(r"(\w+)=([-\d.]+)", line))
            return float(fields["seconds"])
    raise RuntimeError(f"no result from {name}")


times = {(shape, name): [] for shape in ("burst", "small") for name in contenders}
names = list(contenders)
for r in range(rounds):
    for shape in ("burst", "small"):
        for name in names[r % len(names):] + names[: r % len(names)]:
            times[(shape, name)].append(seconds(name, shape))

print(f"## Every report on ({rounds} rounds, 20,000 events a round; medians of per-round speed ratios)\n")
print("| shape | quarn-reports vs glfw | quarn vs raw floor | quarn-reports vs quarn |")
print("|---|---|---|---|")
summary = []
for shape, label in (("burst", "one burst of 20,000"), ("small", "100 drains of 200")):
    def speed(a, b):  # above 1: `a` delivers faster than `b`
        return statistics.median([y / x for x, y in zip(times[(shape, a)], times[(shape, b)])])
    versus_glfw, floor, cost = speed("quarn-reports", "glfw"), speed("quarn", "raw"), speed("quarn-reports", "quarn")
    print(f"| {label} | {versus_glfw:.2f} | {floor:.2f} | {cost:.2f} |")
    summary.append(f"reports_vs_glfw_{shape}={versus_glfw:.2f} default_vs_floor_{shape}={floor:.2f}")
print()

# Instructions per event under callgrind: repeatable, whatever else the machine does.
print("| contender | instructions/event (callgrind, one burst) |")
print("|---|---|")
instructions = {}
for name in contenders:
    out_file = f"/tmp/quarn-callgrind-reports-{name}.out"
    seconds(name, "burst", valgrind=out_file)
    with open(out_file) as f:
        totals = [int(line.split()[1]) for line in f if line.startswith(("totals:", "summary:"))]
    instructions[name] = totals[-1] / 20000
    print(f"| {name} | {instructions[name]:,.0f} |")
print()
summary.append(f"instructions_reports_vs_glfw={instructions['glfw'] / instructions['quarn-reports']:.2f}")
# A gamepad open and idle: one poll of its descriptors per handle(), nothing per event.
summary.append(f"instructions_gamepad_minus_default={instructions['quarn-gamepad'] - instructions['quarn']:.1f}")
print("summary-reports: " + " ".join(summary))
