#!/usr/bin/env python3
"""Runs the waiting benchmark: CPU used by an idle loop over 10 s (Quarn's
wait-based loop against its spinning handle() loop, GLFW's
glfwWaitEventsTimeout and SDL2's SDL_WaitEventTimeout), and the latency from
an injected key press to the wait returning, and from a wake-up posted by
another thread (post_wake, glfwPostEmptyEvent) to the wait returning,
contenders interleaved in every
round, on the current $DISPLAY. Prints the tables and one summary line.

Usage: wait.py BUILD_DIR   (QUARN_BENCH_ROUNDS sets the wake-up rounds, default 15)
"""
import os
import re
import statistics
import subprocess
import sys

build = sys.argv[1]
rounds = int(os.environ.get("QUARN_BENCH_ROUNDS", "15"))
idle_rounds = 3  # 10 s a run
contenders = ["quarn", "glfw", "sdl2"]


def run(contender, mode):
    out = subprocess.run([f"{build}/bench/wait_{contender}", mode], check=True, capture_output=True,
                         text=True).stdout
    line = next(l for l in out.splitlines() if l.startswith("wait "))
    return {k: float(v) for k, v in re.findall(r"(\w+)=([-\d.]+)", line)}


def spread(values, digits=1):
    return f"{statistics.median(values):,.{digits}f} [{min(values):,.{digits}f}–{max(values):,.{digits}f}]"


idle = {c: [] for c in contenders + ["quarn-spin"]}
for r in range(idle_rounds):
    for c in contenders:
        idle[c].append(run(c, "idle"))
    idle["quarn-spin"].append(run("quarn", "spin"))
print(f"## Idle loop, 10 s without input ({idle_rounds} rounds, medians [min–max])\n")
print("| contender | CPU, % of one core | wake-ups in 10 s |")
print("|---|---|---|")
for c, runs in idle.items():
    label = "quarn, handle() spinning" if c == "quarn-spin" else f"{c}, waiting"
    print(f"| {label} | {spread([x['share'] * 100 for x in runs], 3)} | "
          f"{spread([x['rounds'] for x in runs], 0)} |")
print()

wake = {c: [] for c in contenders}
for r in range(rounds):
    for c in contenders[r % 3:] + contenders[:r % 3]:
        wake[c].append(run(c, "wake"))
print(f"## Wake-up latency, injected key to the wait returning ({rounds} rounds of 200 keys; "
      "medians of the per-round figures [min–max])\n")
print("| contender | median (µs) | 99th percentile (µs) | Quarn's median ÷ contender's |")
print("|---|---|---|---|")
for c in contenders:
    ratio = statistics.median([q["median_us"] / x["median_us"] for q, x in zip(wake["quarn"], wake[c])])
    print(f"| {c} | {spread([x['median_us'] for x in wake[c]])} | {spread([x['p99_us'] for x in wake[c]])} | "
          f"{ratio:.2f} |")
print()
post = {c: [] for c in ("quarn", "glfw")}
for r in range(rounds):
    for c in (("quarn", "glfw") if r % 2 == 0 else ("glfw", "quarn")):
        post[c].append(run(c, "post"))
print(f"## Wake-up from another thread, post to the wait returning ({rounds} rounds of 200 posts; "
      "medians of the per-round figures [min–max]): Quarn's post_wake, GLFW's glfwPostEmptyEvent\n")
print("| contender | median (µs) | 99th percentile (µs) | Quarn's median ÷ contender's |")
print("|---|---|---|---|")
for c in post:
    ratio = statistics.median([q["median_us"] / x["median_us"] for q, x in zip(post["quarn"], post[c])])
    print(f"| {c} | {spread([x['median_us'] for x in post[c]])} | {spread([x['p99_us'] for x in post[c]])} | "
          f"{ratio:.2f} |")
print()
median = lambda c, key: statistics.median([x[key] for x in wake[c]])
post_median = lambda c: statistics.median([x["median_us"] for x in post[c]])
print(f"summary-wait: idle_cpu_percent={statistics.median([x['share'] for x in idle['quarn']]) * 100:.3f} "
      f"spin_cpu_percent={statistics.median([x['share'] for x in idle['quarn-spin']]) * 100:.1f} "
      f"wake_median_us={median('quarn', 'median_us'):.0f} wake_p99_us={median('quarn', 'p99_us'):.0f} "
      f"wake_vs_glfw={median('quarn', 'median_us') / median('glfw', 'median_us'):.2f} "
      f"wake_vs_sdl2={median('quarn', 'median_us') / median('sdl2', 'median_us'):.2f} "
      f"post_median_us={post_median('quarn'):.0f} post_vs_glfw={post_median('quarn') / post_median('glfw'):.2f}")
