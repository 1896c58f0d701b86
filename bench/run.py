#!/usr/bin/env python3
"""Runs every benchmark contender interleaved, round after round, on the
current $DISPLAY, and prints the tables and the summary line.

Usage: run.py BUILD_DIR DOCS_DIR   (QUARN_BENCH_ROUNDS sets the rounds, default 15)
"""
import os
import re
import statistics
import subprocess
import sys

build, docs = sys.argv[1], sys.argv[2]
rounds = int(os.environ.get("QUARN_BENCH_ROUNDS", "15"))
pumps = ["raw", "quarn", "glfw", "sdl2"]
draws = ["raw", "quarn", "glfw", "sdl2", "quarn-settings", "quarn-nowait", "quarn-egl"]
frame_counts = [1, 10, 100, 1000]


def run(program, *args, valgrind=None):
    command = [f"{build}/bench/{program}", *map(str, args)]
    if valgrind:
        command = ["valgrind", "--tool=callgrind", "--instr-atstart=no", f"--callgrind-out-file={valgrind}"] + command
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    results = {}
    for line in out.splitlines():
        fields = dict(re.findall(r"(\w+)=([-\d.]+)", line))
        if line.startswith(("pump ", "draw ", "scaling ")):
            results[line.split()[1]] = {k: float(v) for k, v in fields.items()}
    return results


def med(values):
    return statistics.median(values)


def spread(values, scale=1.0, digits=0):
    return f"{med(values) * scale:,.{digits}f} [{min(values) * scale:,.{digits}f}–{max(values) * scale:,.{digits}f}]"


# Pump: both shapes, contenders interleaved in every round.
pump = {(shape, c): [] for shape in ("burst", "small") for c in pumps}
own_allocations = []
for r in range(rounds):
    for shape in ("burst", "small"):
        order = pumps[r % len(pumps):] + pumps[: r % len(pumps)]
        for c in order:
            results = run(f"pump_{c}", shape)
            pump[(shape, c)].append(results[c])
            if c == "quarn":
                own_allocations.append(results["quarn-own"]["allocations"] / results["quarn-own"]["events"])

print(f"## Event pump ({rounds} rounds, 20,000 events a round, medians [min–max])\n")
summary = {}
for shape, label in (("burst", "one burst of 20,000"), ("small", "100 drains of 200")):
    print(f"### {label}\n")
    print("| contender | events/s | ratio to floor | Quarn ÷ contender | allocations/event | beyond floor | delivered: motion / key / button / wheel / expose |")
    print("|---|---|---|---|---|---|---|")
    floor = pump[(shape, "raw")]
    quarn = pump[(shape, "quarn")]
    for c in pumps:
        runs = pump[(shape, c)]
        rates = [x["events"] / x["seconds"] for x in runs]
        ratio = med([f["seconds"] / x["seconds"] for f, x in zip(floor, runs)])
        versus = med([x["seconds"] / q["seconds"] for q, x in zip(quarn, runs)])
        allocs = med([x["allocations"] / x["events"] for x in runs])
        beyond = med([(x["allocations"] - f["allocations"]) / x["events"] for f, x in zip(floor, runs)])
        last = runs[-1]
        delivered = "n/a (counts nothing)" if c == "raw" else " / ".join(
            str(int(last[k])) for k in ("motion", "key", "button", "wheel", "expose"))
        print(f"| {c} | {spread(rates)} | {ratio:.2f} | {versus:.2f} | {allocs:.3f} | {beyond:+.4f} | {delivered} |")
        if c != "raw":
            summary.setdefault(f"pump_vs_{'floor' if c == 'quarn' else c}", []).append(
                ratio if c == "quarn" else versus)
    print()
print("Quarn's own allocations per event in steady state (the workload replayed straight into the\n"
      f"translation, after one warm-up pass): {max(own_allocations):.4f} (largest of {len(own_allocations)} runs).\n")
summary["allocs_per_event"] = [max(own_allocations)]

# Instructions per event under callgrind (one burst each; repeatable counts).
print("### Instructions per event (callgrind, one burst of 20,000)\n")
print("| contender | instructions/event | beyond floor |")
print("|---|---|---|")
instructions = {}
for c in pumps:
    out_file = f"/tmp/quarn-callgrind-{c}.out"
    run(f"pump_{c}", "burst", valgrind=out_file)
    with open(out_file) as f:
        totals = [int(line.split()[1]) for line in f if line.startswith(("totals:", "summary:"))]
    instructions[c] = totals[-1] / 20000
for c in pumps:
    print(f"| {c} | {instructions[c]:,.0f} | {instructions[c] - instructions['raw']:+,.0f} |")
print()

# Draw loop.
draw = {c: [] for c in draws}
for r in range(rounds):
    for c in draws[r % len(draws):] + draws[: r % len(draws)]:
        program, _, mode = c.partition("-")
        results = run(f"draw_{program}", 300, *([mode] if mode else []))
        result = results[c]
        if program == "quarn":  # draw() holds scene, swap and glFinish together
            result["present"] = result["scene"] - results[f"{c}-scene"]["seconds"]
            result["scene"] = results[f"{c}-scene"]["seconds"]
        draw[c].append(result)
print(f"## Draw loop ({rounds} rounds of 300 iterations, two frames each, vsync off)\n")
print("| contender | iterations/s | Quarn ÷ contender | start-up to first iteration (ms) | peak resident (MiB) | bind / scene / present per frame (µs) |")
print("|---|---|---|---|---|---|")
for c in draws:
    runs = draw[c]
    rates = [x["iterations"] / x["seconds"] for x in runs]
    versus = med([x["seconds"] / q["seconds"] for q, x in zip(draw["quarn"], runs)])
    per_frame = lambda key: med([x[key] / (2 * x["iterations"]) for x in runs]) * 1e6
    print(f"| {c} | {spread(rates)} | {versus:.2f} | {med([x['startup'] for x in runs]) * 1000:.0f} | "
          f"{med([x['peak_kib'] for x in runs]) / 1024:.1f} | "
          f"{per_frame('bind'):.0f} / {per_frame('scene'):.0f} / {per_frame('present'):.0f} |")
    if c in ("raw", "glfw", "sdl2"):
        summary[f"draw_vs_{c}"] = [versus]
    if c == "quarn-settings":  # the Settings context against GLFW's context per window
        summary["settings_vs_glfw"] = [med([g["seconds"] / x["seconds"] for x, g in zip(runs, draw["glfw"])])]
print()

# Scaling with the number of frames.
scaling = {n: [] for n in frame_counts}
for r in range(rounds):
    for n in frame_counts:
        scaling[n].append(run("scaling_quarn", n)["quarn"])
print(f"## handle() against the number of frames ({rounds} rounds, 20,000 motion events spread across the frames)\n")
print("| frames | ns/event | ratio to 1 frame | KiB per frame |")
print("|---|---|---|---|")
cost = {n: med([x["seconds"] / x["events"] * 1e9 for x in scaling[n]]) for n in frame_counts}
with open(os.path.join(docs, "scaling.dat"), "w") as data:
    data.write("# frames events_per_second_median min max\n")
    for n in frame_counts:
        rates = [x["events"] / x["seconds"] for x in scaling[n]]
        data.write(f"{n} {med(rates):.0f} {min(rates):.0f} {max(rates):.0f}\n")
        per_frame = f"{med([x['kib_per_frame'] for x in scaling[n]]):.2f}" if n > 1 else "—"
        print(f"| {n} | {cost[n]:.0f} | {cost[n] / cost[1]:.2f} | {per_frame} |")
summary["scaling_1000_vs_1"] = [cost[1000] / cost[1]]
print()
print("Instructions per event under callgrind (repeatable):", end="")
for n in (1, 1000):
    out_file = f"/tmp/quarn-callgrind-scaling-{n}.out"
    run("scaling_quarn", n, valgrind=out_file)
    with open(out_file) as f:
        totals = [int(line.split()[1]) for line in f if line.startswith(("totals:", "summary:"))]
    print(f" {n} frame{'s' if n > 1 else ''}: {totals[-1] / 20000:,.0f};", end="")
print("\n")

order = ["pump_vs_floor", "pump_vs_glfw", "pump_vs_sdl2", "allocs_per_event", "draw_vs_raw", "draw_vs_glfw",
         "draw_vs_sdl2", "settings_vs_glfw", "scaling_1000_vs_1"]
# The pump figures take the weaker of the two shapes; allocations the larger.
value = {k: (max(v) if k == "allocs_per_event" else min(v)) for k, v in summary.items()}
print("summary: " + " ".join(
    f"{k}={value[k]:g}" if k == "allocs_per_event" else f"{k}={value[k]:.2f}" for k in order))
