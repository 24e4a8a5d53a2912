#!/usr/bin/env python3
"""Fits the engine's win/draw/loss model to its own games and says how well it
predicts games it was not fitted on.

  tools/wdl/fit_wdl.py GAMES.pgn... [--hold-out 5] [--degree 2]

The games are fastchess or cutechess PGN whose move comments carry the score
of the engine that moved ("+0.35/12 ...", pawns from the mover's view, "+M5"
for a mate) and, in fastchess's pv="...", the move in coordinate text. Every
scored move that is not a mate score is one sample: its score, the material
on the board before it (pawns 1, knights and bishops 3, rooks 5, queens 12,
both sides) and the game's result from the mover's view. Games that did not
end on the board (time forfeits, disconnections) are left out.

The model (src/frontend/wdl.cpp):
  win  = 1 / (1 + exp(-(s - a) / b)),  loss = 1 / (1 + exp(-(-s - a) / b)),
  draw = 1 - win - loss,
with a and b polynomials of x = clamp(material, 10, 84) / 84 of the given
degree. It is fitted by maximum likelihood (Fisher scoring) on every game but
each --hold-out'th (by game, never by position); the games held out measure
it: log-loss against two baselines (the outcome rates alone, and the score
alone with constant a and b), and calibration, predicted against observed
rates per score bucket. The last lines are the tables for wdl.cpp.

Pure Python: the board is tests/soak/chess_rules.py.
"""

import argparse
import math
import os
import random
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "soak"))
from chess_rules import START_FEN, Board  # noqa: E402

MATERIAL_LOW, MATERIAL_HIGH, MATERIAL_UNIT = 10, 84, 84.0  # as wdl.cpp
PIECE_VALUE = {"P": 1, "N": 3, "B": 3, "R": 5, "Q": 12, "K": 0}
RESULT_OF = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}
SCORE_RE = re.compile(r"^\s*([+-]?)(M?)(\d+(?:\.\d+)?)/")
PV_RE = re.compile(r'pv="([a-h][1-8][a-h][1-8][qrbn]?)')
OUTCOMES = ("win", "draw", "loss")


# ---- Games.

def read_games(path):
    """Yields (tags, [(san, comment or None)]) for each game of a PGN file."""
    tags, text = {}, []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("["):
                if text:
                    yield tags, parse_movetext(" ".join(text))
                    tags, text = {}, []
                m = re.match(r'\[(\w+) "(.*)"\]', line)
                if m:
                    tags[m.group(1)] = m.group(2)
            elif line.strip():
                text.append(line.strip())
    if text:
        yield tags, parse_movetext(" ".join(text))


def parse_movetext(text):
    moves = []
    for token in re.finditer(r"\{([^}]*)\}|([^\s{]+)", text):
        if token.group(1) is not None:
            if moves and moves[-1][1] is None:
                moves[-1] = (moves[-1][0], token.group(1))
            continue
        word = token.group(2)
        if re.match(r"^\d+\.+$", word) or word in RESULT_OF or word == "*":
            continue
        moves.append((re.sub(r"^\d+\.+", "", word), None))
    return moves


def material(board):
    return sum(PIECE_VALUE[p.upper()] for p in board.squares if p is not None)


def san_to_coordinate(board, san):
    """The coordinate text of a SAN move (for comments without a pv)."""
    san = san.rstrip("+#!?")
    legal = board.legal_moves()
    if san.startswith("O-O"):
        rank = "1" if board.turn == "w" else "8"
        want = "e" + rank + ("c" if san.startswith("O-O-O") else "g") + rank
        return want if want in legal else None
    m = re.match(r"^([NBRQK])?([a-h])?([1-8])?x?([a-h][1-8])(?:=?([NBRQ]))?$", san)
    if not m:
        return None
    kind, from_file, from_rank, to, promotion = m.groups()
    kind = kind or "P"
    found = [c for c in legal
             if c[2:4] == to and board.squares[square_of(c[:2])].upper() == kind
             and (from_file is None or c[0] == from_file)
             and (from_rank is None or c[1] == from_rank)
             and (c[4:] == (promotion or "").lower())]
    return found[0] if len(found) == 1 else None


def square_of(name):
    return (ord(name[0]) - ord("a")) + 8 * (ord(name[1]) - ord("1"))


def samples_of_game(tags, moves):
    """[(score cp, material, outcome from the mover's view)], or None when the
    game did not end on the board."""
    result = RESULT_OF.get(tags.get("Result"))
    if result is None or tags.get("Termination", "normal") not in ("normal", "adjudication"):
        return None
    board = Board(tags.get("FEN", START_FEN))
    out = []
    for san, comment in moves:
        score = SCORE_RE.match(comment) if comment else None
        if score and not score.group(2):
            cp = round(float(score.group(3)) * 100) * (-1 if score.group(1) == "-" else 1)
            mine = result if board.turn == "w" else 1.0 - result
            outcome = 0 if mine == 1.0 else 1 if mine == 0.5 else 2
            out.append((cp, material(board), outcome))
        pv = PV_RE.search(comment) if comment else None
        move = pv.group(1) if pv else san_to_coordinate(board, san)
        if move is None:
            break  # a move the board cannot follow: the rest of the game is left out
        board.push(move)
    return out


# ---- The model.

def x_of(material_count):
    return min(max(material_count, MATERIAL_LOW), MATERIAL_HIGH) / MATERIAL_UNIT


def polynomial(coefficients, x):
    value = 0.0
    for c in reversed(coefficients):
        value = value * x + c
    return value


def sigmoid(z):
    if z >= 0:
        return 1.0 / (1.0 + math.exp(-z))
    e = math.exp(z)
    return e / (1.0 + e)


def chances(params, degree, score, material_count):
    """(win, draw, loss) and, for fitting, the parts the gradient needs."""
    x = x_of(material_count)
    a = polynomial(params[:degree + 1], x)
    b = polynomial(params[degree + 1:], x)
    u, v = (score - a) / b, (-score - a) / b
    w, l = sigmoid(u), sigmoid(v)
    return (w, max(1.0 - w - l, 1e-12), l), (x, a, b, u, v)


def gradients(params, degree, sample):
    """Gradients of the three chances with respect to params."""
    score, material_count, _ = sample
    p, (x, a, b, u, v) = chances(params, degree, score, material_count)
    w, _, l = p
    powers = [x ** i for i in range(degree + 1)]
    dw_da, dw_db = -w * (1 - w) / b, -w * (1 - w) * u / b
    dl_da, dl_db = -l * (1 - l) / b, -l * (1 - l) * v / b
    gw = [dw_da * t for t in powers] + [dw_db * t for t in powers]
    gl = [dl_da * t for t in powers] + [dl_db * t for t in powers]
    gd = [-(i + j) for i, j in zip(gw, gl)]
    return p, (gw, gd, gl)


def log_loss(params, degree, samples):
    total = 0.0
    for s in samples:
        p, _ = chances(params, degree, s[0], s[1])
        total -= math.log(max(p[s[2]], 1e-12))
    return total / len(samples)


def valid(params, degree):
    """a >= 0 and b > 0 over the whole material range: the chances are sound."""
    for m in range(MATERIAL_LOW, MATERIAL_HIGH + 1):
        x = m / MATERIAL_UNIT
        if polynomial(params[:degree + 1], x) < 0 or polynomial(params[degree + 1:], x) <= 1:
            return False
    return True


def solve(matrix, vector):
    """Gaussian elimination with partial pivoting."""
    n = len(vector)
    m = [row[:] + [vector[i]] for i, row in enumerate(matrix)]
    for c in range(n):
        pivot = max(range(c, n), key=lambda r: abs(m[r][c]))
        m[c], m[pivot] = m[pivot], m[c]
        for r in range(n):
            if r != c and m[c][c] != 0:
                f = m[r][c] / m[c][c]
                m[r] = [a - f * b for a, b in zip(m[r], m[c])]
    return [m[i][n] / m[i][i] for i in range(n)]


def fit(samples, degree, rounds=50):
    """Maximum likelihood by Fisher scoring, with step halving."""
    params = [100.0] + [0.0] * degree + [100.0] + [0.0] * degree
    n = len(params)
    loss = log_loss(params, degree, samples)
    for _ in range(rounds):
        grad = [0.0] * n
        fisher = [[0.0] * n for _ in range(n)]
        for s in samples:
            p, g = gradients(params, degree, s)
            for i in range(n):
                grad[i] -= g[s[2]][i] / p[s[2]]
            for k in range(3):
                gk, pk = g[k], p[k]
                for i in range(n):
                    if gk[i] == 0.0:
                        continue
                    t = gk[i] / pk
                    row = fisher[i]
                    for j in range(n):
                        row[j] += t * gk[j]
        step = solve(fisher, [-gi for gi in grad])
        scale, improved = 1.0, False
        while scale > 1e-6:
            trial = [q + scale * d for q, d in zip(params, step)]
            if valid(trial, degree):
                trial_loss = log_loss(trial, degree, samples)
                if trial_loss < loss:
                    params, improved = trial, loss - trial_loss > 1e-9
                    loss = trial_loss
                    break
            scale /= 2
        if not improved:
            break
    return params


# ---- Measures.

def rates_model(samples):
    counts = [0, 0, 0]
    for s in samples:
        counts[s[2]] += 1
    return [c / len(samples) for c in counts]


def per_sample_losses(predict, samples):
    return [-math.log(max(predict(s)[s[2]], 1e-12)) for s in samples]


def bootstrap_error(losses_by_game, rounds=1000, seed=1):
    """Standard error of the mean log-loss, resampling whole games."""
    rng = random.Random(seed)
    games = list(losses_by_game)
    means = []
    for _ in range(rounds):
        pick = [games[rng.randrange(len(games))] for _ in games]
        total = sum(sum(g) for g in pick)
        means.append(total / max(1, sum(len(g) for g in pick)))
    mean = sum(means) / len(means)
    return math.sqrt(sum((m - mean) ** 2 for m in means) / (len(means) - 1))


BUCKETS = [-10000, -400, -200, -100, -50, -20, 20, 50, 100, 200, 400, 10000]


def calibration(predict, samples):
    print("  score bucket (cp)  positions   predicted W/D/L %      observed W/D/L %")
    worst = 0.0
    for lo, hi in zip(BUCKETS, BUCKETS[1:]):
        inside = [s for s in samples if lo <= s[0] < hi]
        if not inside:
            continue
        predicted = [sum(predict(s)[k] for s in inside) / len(inside) for k in range(3)]
        observed = [sum(1 for s in inside if s[2] == k) / len(inside) for k in range(3)]
        worst = max(worst, max(abs(p - o) for p, o in zip(predicted, observed)))
        label = "%s..%s" % ("" if lo == BUCKETS[0] else lo, "" if hi == BUCKETS[-1] else hi)
        print("  %17s  %9d   %5.1f %5.1f %5.1f      %5.1f %5.1f %5.1f" % (
            label, len(inside), *[100 * v for v in predicted], *[100 * v for v in observed]))
    print("  largest gap between predicted and observed: %.1f points" % (100 * worst))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("pgn", nargs="+")
    parser.add_argument("--hold-out", type=int, default=5,
                        help="every Nth game is held out of the fit (default 5: a fifth)")
    parser.add_argument("--fold", type=int, default=0,
                        help="which games are held out: those whose number (from 1) leaves this "
                             "remainder divided by --hold-out (default 0: the 5th, 10th, ..)")
    parser.add_argument("--degree", type=int, default=3,
                        help="degree of the polynomials a and b in the material (default 3)")
    args = parser.parse_args()

    train, test, test_games, games, left_out = [], [], [], 0, 0
    for path in args.pgn:
        for tags, moves in read_games(path):
            samples = samples_of_game(tags, moves)
            if samples is None:
                left_out += 1
                continue
            games += 1
            if games % args.hold_out == args.fold:
                test.extend(samples)
                test_games.append(samples)
            else:
                train.extend(samples)
    print("%d games (%d left out: not ended on the board); fitted on %d positions, "
          "%d positions of %d games held out" % (games, left_out, len(train), len(test),
                                                  len(test_games)))

    params = fit(train, args.degree)
    flat = fit(train, 0)
    rates = rates_model(train)
    models = [
        ("outcome rates alone", lambda s: rates),
        ("score alone (a, b constant)", lambda s: chances(flat, 0, s[0], s[1])[0]),
        ("score and material (the model)", lambda s: chances(params, args.degree, s[0], s[1])[0]),
    ]
    print("\nHeld-out log-loss (nats per position; +- one standard error over games):")
    losses = []
    for name, predict in models:
        by_game = [per_sample_losses(predict, g) for g in test_games]
        losses.append(by_game)
        mean = sum(map(sum, by_game)) / len(test)
        print("  %-32s %.4f +- %.4f" % (name, mean, bootstrap_error(by_game)))
    gain = [[b - m for b, m in zip(base, model)] for base, model in zip(losses[1], losses[2])]
    print("  the model's gain over score alone: %.4f +- %.4f" % (
        sum(map(sum, gain)) / len(test), bootstrap_error(gain)))
    print("  (training log-loss of the model: %.4f)" % log_loss(params, args.degree, train))
    print("\nCalibration on the held-out games, the model:")
    calibration(models[2][1], test)
    print("\nCalibration on the held-out games, score alone:")
    calibration(models[1][1], test)

    print("\nBy material on the held-out games (positions, mean predicted and observed W/D/L %):")
    for lo, hi in ((0, 30), (30, 50), (50, 70), (70, 200)):
        inside = [s for s in test if lo <= s[1] < hi]
        if inside:
            for name, predict in models[1:]:
                predicted = [sum(predict(s)[k] for s in inside) / len(inside) for k in range(3)]
                observed = [sum(1 for s in inside if s[2] == k) / len(inside) for k in range(3)]
                print("  %3d..%-3d %6d  %-30s %5.1f %5.1f %5.1f   observed %5.1f %5.1f %5.1f" % (
                    lo, hi - 1, len(inside), name, *[100 * v for v in predicted],
                    *[100 * v for v in observed]))

    print("\nThe model at a few points (material: score for a 50% win, scale):")
    for m in (84, 60, 40, 20, 10):
        x = x_of(m)
        print("  %2d: a = %6.1f cp, b = %5.1f cp" % (
            m, polynomial(params[:args.degree + 1], x), polynomial(params[args.degree + 1:], x)))
    print("\nFor src/frontend/wdl.cpp:")
    print("constexpr double WIN_SHIFT[] = {%s};" % ", ".join("%.3f" % c
                                                            for c in params[:args.degree + 1]))
    print("constexpr double WIN_SCALE[] = {%s};" % ", ".join("%.3f" % c
                                                            for c in params[args.degree + 1:]))


if __name__ == "__main__":
    main()
