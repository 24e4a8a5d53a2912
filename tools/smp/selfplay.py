#!/usr/bin/env python3
"""A match of the engine with N threads against itself with one, over the
xboard protocol, each game under a clock the script keeps. Games start from
twenty common openings, each played with both colours; the script's own board
(tests/soak/chess_rules.py) judges every move and ends the games by the rules,
adjudicating a draw after --max-plies. Prints the score and the Elo difference
of the N-thread engine with its 95% error.

  tools/smp/selfplay.py build/release/quorvanite [--threads 2] [--games 100]
                        [--base 10] [--increment 0.1]
"""

import argparse
import math
import os
import sys
import time

from engine import OPENING_LINES, Engine

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "soak"))
from chess_rules import Board  # noqa: E402


def play_game(engines, opening, args):
    """engines: [white, black]. Returns 1, 0.5 or 0 for white, and why."""
    board = Board()
    for move in opening.split():
        board.push(move)
    clocks = [args.base, args.base]
    for e in engines:
        e.set_up(opening)
        e.send("level 0 %d:%02d %g" % (args.base // 60, args.base % 60, args.increment))
    last = None
    while True:
        result = board.result()
        if result is not None:
            return {"1-0": 1.0, "0-1": 0.0}.get(result, 0.5), "rules"
        if len(board.moves) >= args.max_plies:
            return 0.5, "adjudicated"
        side = 0 if board.turn == "w" else 1
        mover = engines[side]
        if last is not None:
            mover.send(last)
        mover.send("time %d" % int(clocks[side] * 100))
        mover.send("otim %d" % int(clocks[1 - side] * 100))
        start = time.monotonic()
        mover.send("go")
        line = mover.wait_for(lambda l: l.startswith("move ") or "resign" in l,
                              timeout=clocks[side] + 5)
        clocks[side] -= time.monotonic() - start
        mover.send("force")
        if line is None or clocks[side] < 0:
            return float(side), "time"  # the mover lost on time
        last = line.split()[1]
        if last not in board.legal_moves():
            print("illegal move %s after %s" % (last, " ".join(board.moves)))
            return float(side), "illegal move"
        board.push(last)
        clocks[side] += args.increment


def elo(score):
    score = min(max(score, 1e-6), 1 - 1e-6)
    return -400 * math.log10(1 / score - 1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("engine")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--games", type=int, default=100)
    parser.add_argument("--base", type=int, default=10, help="seconds per game")
    parser.add_argument("--increment", type=float, default=0.1, help="seconds per move")
    parser.add_argument("--max-plies", type=int, default=240)
    args = parser.parse_args()

    many, one = Engine(args.engine, args.threads), Engine(args.engine, 1)
    results = []  # from the N-thread engine's side
    for game in range(args.games):
        opening = OPENING_LINES[(game // 2) % len(OPENING_LINES)]
        many_white = game % 2 == 0
        white_score, why = play_game([many, one] if many_white else [one, many], opening, args)
        results.append(white_score if many_white else 1 - white_score)
        print("game %d: %s threads as %s: %.1f (%s)" % (game + 1, args.threads,
              "white" if many_white else "black", results[-1], why), flush=True)
    many.quit()
    one.quit()

    n = len(results)
    score = sum(results) / n
    sd = math.sqrt(sum((r - score) ** 2 for r in results) / n)
    margin = 1.96 * sd / math.sqrt(n)
    low, high = elo(score - margin), elo(score + margin)
    print("%d games: %d threads scored %.1f (%.1f%%) against 1: %+.0f Elo +- %.0f (95%%)"
          % (n, args.threads, sum(results), 100 * score, elo(score), (high - low) / 2))


if __name__ == "__main__":
    main()
