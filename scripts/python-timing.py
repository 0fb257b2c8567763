#!/usr/bin/env python3
"""Times a default 300-step run made by glebix.Simulation.run() against the same run
made by glebix-batch, alternating the two, and prints the medians and minima of the
wall-clock and processor times. The batch tool's times include starting its process.

Usage: PYTHONPATH=build/python python3 scripts/python-timing.py [build/glebix-batch] [repetitions]
"""

import resource
import statistics
import subprocess
import sys
import time

import glebix


def main():
    batch = sys.argv[1] if len(sys.argv) > 1 else "build/glebix-batch"
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    times = {"python": ([], []), "batch": ([], [])}
    for _ in range(repetitions):
        sim = glebix.Simulation(seed=42)
        cpu, wall = time.process_time(), time.perf_counter()
        sim.run()
        times["python"][0].append(time.perf_counter() - wall)
        times["python"][1].append(time.process_time() - cpu)

        before, wall = resource.getrusage(resource.RUSAGE_CHILDREN), time.perf_counter()
        subprocess.run([batch, "--seed", "42", "--quiet"], check=True)
        times["batch"][0].append(time.perf_counter() - wall)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        times["batch"][1].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)

    for k, what in enumerate(("wall", "processor")):
        py, bt = times["python"][k], times["batch"][k]
        print(f"{what:9} ms  Simulation.run() median {statistics.median(py) * 1e3:5.0f} min {min(py) * 1e3:5.0f}"
              f"  glebix-batch median {statistics.median(bt) * 1e3:5.0f} min {min(bt) * 1e3:5.0f}"
              f"  ratio of medians {statistics.median(py) / statistics.median(bt):.2f}")


if __name__ == "__main__":
    main()
