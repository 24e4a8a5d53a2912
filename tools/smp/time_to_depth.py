#!/usr/bin/env python3
"""Time to depth: how long the engine takes to complete a fixed-depth search
with N threads against one thread, over the console's three test positions
and twenty common openings. Prints each position's times and the median ratio.

  tools/smp/time_to_depth.py build/release/quorvanite [--threads 2] [--depth 11]

Each search starts from a cleared table ("new"); the time is from "go" to the
engine's move, as the interface sees it.
"""

import argparse
import statistics
import time

from engine import OPENING_LINES, SUITE_FENS, Engine


def time_search(engine, position, depth):
    engine.set_up(position)
    engine.send("sd %d" % depth)
    start = time.monotonic()
    engine.send("go")
    if engine.wait_for(lambda line: line.startswith("move ")) is None:
        raise RuntimeError("no move for " + position)
    return time.monotonic() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("engine")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--depth", type=int, default=11)
    args = parser.parse_args()

    positions = SUITE_FENS + OPENING_LINES
    times = {}
    for threads in (1, args.threads):
        engine = Engine(args.engine, threads)
        times[threads] = [time_search(engine, p, args.depth) for p in positions]
        engine.quit()

    ratios = []
    print("%-4s %9s %9s %6s  position" % ("#", "1 thread", "%d thr." % args.threads, "ratio"))
    for i, position in enumerate(positions):
        one, many = times[1][i], times[args.threads][i]
        ratios.append(many / one)
        print("%-4d %8.3fs %8.3fs %6.2f  %s" % (i + 1, one, many, ratios[-1], position[:48]))
    print("depth %d, %d positions: total %.1fs with 1 thread, %.1fs with %d; median ratio %.2f"
          % (args.depth, len(positions), sum(times[1]), sum(times[args.threads]), args.threads,
             statistics.median(ratios)))


if __name__ == "__main__":
    main()
