#!/usr/bin/env python3
"""The time from "go" to "move" of the first moves of a fresh engine, at a
given table size: what the table's upkeep costs the engine's clock.

  tools/smp/move_times.py build/release/quorvanite [--hash 1024] [--moves 6] [--depth 1]

The engine starts in a scratch directory, gets "new" and "sd DEPTH", then
"go" for each move in turn (it plays both sides). Prints each move's time.
"""

import argparse
import time

from engine import Engine


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("engine")
    parser.add_argument("--hash", type=int, default=1024, help="megabytes")
    parser.add_argument("--moves", type=int, default=6)
    parser.add_argument("--depth", type=int, default=1)
    args = parser.parse_args()

    start = time.monotonic()
    engine = Engine(args.engine, 1, args.hash)
    print("start-up: %.1f ms" % (1000 * (time.monotonic() - start)))
    start = time.monotonic()
    engine.send("new")
    engine.sync()
    print("new: %.1f ms" % (1000 * (time.monotonic() - start)))
    engine.send("sd %d" % args.depth)
    for n in range(args.moves):
        start = time.monotonic()
        engine.send("go")
        line = engine.wait_for(lambda l: l.startswith("move "))
        print("move %d (%s): %.1f ms" % (n + 1, line[5:], 1000 * (time.monotonic() - start)))
    engine.quit()


if __name__ == "__main__":
    main()
