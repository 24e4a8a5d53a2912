#!/usr/bin/env python3
"""Soak test: many fast games of the engine against itself through its
protocol, with the commands interfaces send mixed in at random points, every
reply judged by a board of the test's own (chess_rules.py).

    tests/soak/soak.py ENGINE [--games N] [--seed S] [--log FILE] [--stop-at-first]
                          [--protocol uci]

Game i (from 0) plays with its own seed S + i, so a failing game can be played
again alone with --games 1 --seed S+i. After a failure the run goes on with
fresh engines (unless --stop-at-first) and counts the failures.

Fails (exit 1) on an illegal move, a false result claim, a missing or
out-of-order pong, a move where none may come, a hang past its time-out, a
crash, or an exit status other than 0 after "quit". Prints what it played:
games, plies, commands, failures, and each failure with the lines before it.

With --protocol uci the engines speak UCI: "position ... moves" and "go" with
depths, node counts, move times and clocks, pondering with "ponderhit" or
"stop", analyses with "go infinite" ended by "stop", and "isready" at random
points. It fails on an illegal best move or ponder move, a bestmove where none
may come or none after "stop" or "ponderhit", a missing readyok, or a line no
UCI interface reads.
"""

import argparse
import os
import queue
import random
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chess_rules import Board, START_FEN  # noqa: E402

# Positions for "setboard": quiet and sharp middlegames, endgames, promotions.
SETUP_FENS = [
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "8/6P1/8/8/8/5k2/1p6/3K4 w - - 0 1",
    "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R b KQ - 0 1",
]

TIME_CONTROLS = ["sd 2", "sd 3", "sd 4", "st 0.2", "level 0 0:03 0.02", "level 40 0:05 0"]

MAX_PLIES = 120  # adjudicated drawn beyond this


class Failure(Exception):
    pass


class Engine:
    """One engine process; lines are read by a thread into a queue."""

    def __init__(self, path, label, log):
        self.label = label
        self.log = log
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, bufsize=1,
                                     cwd=os.path.dirname(os.path.abspath(log.name)))
        self.lines = queue.Queue()
        self.recent = []
        threading.Thread(target=self._read, daemon=True).start()
        self.pings = []  # numbers sent and not yet answered, in order
        self.forced = False
        self.analyzing = False
        self.commands = 0

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def send(self, line):
        self.commands += 1
        self.log.write(f"{self.label} < {line}\n")
        try:
            self.proc.stdin.write(line + "\n")
            self.proc.stdin.flush()
        except BrokenPipeError:
            raise Failure(f"{self.label}: engine gone while sending {line!r}")

    def next_line(self, deadline):
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        try:
            line = self.lines.get(timeout=left)
        except queue.Empty:
            return None
        if line is None:
            raise Failure(f"{self.label}: the engine ended (status {self.proc.wait()})")
        self.log.write(f"{self.label} > {line}\n")
        self.recent = (self.recent + [line])[-12:]
        return line


class Soak:
    def __init__(self, engine_path, rng, log, stats):
        self.rng = rng
        self.log = log
        self.engines = {"w": Engine(engine_path, "W", log), "b": Engine(engine_path, "B", log)}
        self.next_ping = 1
        # Counted over the whole run, across fresh engines after a failure.
        self.stats = stats
        for k in ("games", "plies", "ponder", "takebacks", "setboards", "analyses", "move_now",
                  "pings", "adjudicated"):
            stats.setdefault(k, 0)

    def start(self):
        for engine in self.engines.values():
            engine.send("xboard")
            engine.send("protover 2")

    def quit(self):
        """Ends both engines; a failure unless each ends with status 0."""
        for engine in self.engines.values():
            engine.send("quit")
            status = engine.proc.wait(timeout=5)
            if status != 0:
                raise Failure(f"{engine.label}: exit status {status} after quit")

    def kill(self):
        for engine in self.engines.values():
            engine.proc.kill()
            engine.proc.wait()

    def commands(self):
        return sum(e.commands for e in self.engines.values())

    # ---- Reading replies.

    def handle(self, engine, line, board):
        """Checks a line that is not the move awaited; returns the move text if it is one."""
        if line.startswith("pong "):
            n = int(line.split()[1])
            if not engine.pings or engine.pings[0] != n:
                raise Failure(f"{engine.label}: {line!r} but pings outstanding {engine.pings}")
            engine.pings.pop(0)
        elif line.startswith("move "):
            return line[5:].strip()
        elif line.startswith(("1-0", "0-1", "1/2-1/2")):
            claimed = line.split()[0]
            actual = board.result()
            if actual != claimed:
                raise Failure(f"{engine.label}: claims {line!r}, the board says {actual}")
        elif line.startswith("Hint:"):
            self.stats["ponder"] += 1
        elif line.startswith(("Illegal move", "Error", "tellusererror")):
            raise Failure(f"{engine.label}: {line!r}")
        return None

    def await_move(self, engine, board, timeout):
        deadline = time.monotonic() + timeout
        while True:
            line = engine.next_line(deadline)
            if line is None:
                raise Failure(f"{engine.label}: no move within {timeout} s")
            move = self.handle(engine, line, board)
            if move is not None:
                return move

    def drain(self, engine, board, seconds):
        """Reads what arrives for a while; no move may come."""
        deadline = time.monotonic() + seconds
        while True:
            line = engine.next_line(deadline)
            if line is None:
                return
            if self.handle(engine, line, board) is not None:
                raise Failure(f"{engine.label}: unexpected {line!r}")

    def sync(self, engine, board, timeout=30):
        """Round trip: every line sent before has been handled when the pong is back."""
        self.ping(engine)
        deadline = time.monotonic() + timeout
        while engine.pings:
            line = engine.next_line(deadline)
            if line is None:
                raise Failure(f"{engine.label}: pongs {engine.pings} missing after {timeout} s")
            if self.handle(engine, line, board) is not None:
                raise Failure(f"{engine.label}: unexpected {line!r} while waiting for a pong")

    def moved_before_force(self, engine, board):
        """Syncs after "force"; a move may still come first when the search had
        ended before the engine read "force". True when one came (it must be legal)."""
        self.ping(engine)
        deadline = time.monotonic() + 30
        moved = False
        while engine.pings:
            line = engine.next_line(deadline)
            if line is None:
                raise Failure(f"{engine.label}: pongs {engine.pings} missing after 30 s")
            move = self.handle(engine, line, board)
            if move is not None:
                if moved or move not in board.legal_moves():
                    raise Failure(f"{engine.label}: unexpected {line!r} after force")
                # A result line may follow the move: it is judged with the move on
                # the board, which the caller's "undo" then takes back.
                board.push(move)
                moved = True
        if moved:
            board.pop()
        return moved

    def ping(self, engine):
        engine.pings.append(self.next_ping)
        engine.send(f"ping {self.next_ping}")
        self.next_ping += 1
        self.stats["pings"] += 1

    # ---- One game.

    def start_game(self, board):
        tc = self.rng.choice(TIME_CONTROLS)
        for side, engine in self.engines.items():
            engine.send("new")
            engine.forced = engine.analyzing = False
            engine.send(self.rng.choice(["hard", "easy"]))
            engine.send(self.rng.choice(["post", "nopost"]))
            engine.send(tc)
        board.set_fen(START_FEN)
        if self.rng.random() < 0.2:
            self.setboard(board)
        else:
            self.engines["w"].send("go")
        return tc

    def setboard(self, board):
        fen = self.rng.choice(SETUP_FENS)
        for engine in self.engines.values():
            self.end_analysis(engine)
            engine.send("force")
            engine.send("setboard " + fen)
            engine.forced = True
        board.set_fen(fen)
        self.go(self.engines[board.turn])
        self.stats["setboards"] += 1

    def go(self, engine):
        engine.send("go")
        engine.forced = False

    def end_analysis(self, engine):
        if engine.analyzing:
            engine.send("exit")
            engine.analyzing = False

    def pass_move(self, other, move):
        """Hands the move to the other engine, which then replies."""
        if self.rng.random() < 0.3:
            other.send(f"time {self.rng.randint(30, 600)}")
            other.send(f"otim {self.rng.randint(30, 600)}")
        other.send(move)
        if other.analyzing:
            # The move is played on the analysed board; leaving analysis makes it reply.
            time.sleep(self.rng.random() * 0.2)
            self.end_analysis(other)
        if other.forced:
            self.go(other)

    def play_game(self):
        board = Board()
        tc = self.start_game(board)
        plies = 0
        while True:
            mover, other = self.engines[board.turn], self.engines[opponent(board.turn)]
            move = self.await_move(mover, board, 60)
            if move not in board.legal_moves():
                raise Failure(f"{mover.label}: illegal move {move!r} after {board.moves}")
            board.push(move)
            plies += 1
            self.stats["plies"] += 1
            if board.result() is not None:
                self.end_analysis(other)
                other.send(move)
                break
            if plies >= MAX_PLIES:
                for engine in self.engines.values():
                    self.end_analysis(engine)
                    engine.send("result 1/2-1/2 {adjudicated}")
                self.stats["adjudicated"] += 1
                break
            if self.perturb_before_pass(mover, other, board):
                continue
            self.pass_move(other, move)
            self.perturb_while_thinking(mover, other, board)
        for engine in self.engines.values():
            self.end_analysis(engine)
            engine.send("result " + (board.result() or "1/2-1/2") + " {soak}")
            self.sync(engine, board)
        self.stats["games"] += 1
        return tc

    # ---- Interruptions at random points.

    def perturb_before_pass(self, mover, other, board):
        """Between a move and handing it on. True when the flow was redirected."""
        r = self.rng.random()
        if r < 0.03 and len(board.moves) >= 2:
            # Take back the move just played and the reply before it; the other
            # engine has not seen the last move yet, so it takes back one.
            for engine, command in ((mover, "remove"), (other, "undo")):
                self.end_analysis(engine)
                engine.send("force")
                engine.send(command)
                engine.forced = True
            board.pop()
            board.pop()
            self.go(self.engines[board.turn])
            self.stats["takebacks"] += 1
            return True
        if r < 0.05:
            self.setboard(board)
            return True
        if r < 0.10 and not mover.forced and not mover.analyzing:
            mover.send("analyze")  # analyses while the other engine thinks
            mover.analyzing = True
            self.stats["analyses"] += 1
        return False

    def perturb_while_thinking(self, mover, other, board):
        """While `other` thinks about its reply (and `mover` waits, ponders or analyses)."""
        r = self.rng.random()
        if r < 0.15:
            self.ping(self.rng.choice([mover, other]))
        elif r < 0.20:
            time.sleep(self.rng.random() * 0.2)
            other.send("?")
            self.stats["move_now"] += 1
        elif r < 0.23:
            self.rng.choice([mover, other]).send(self.rng.choice(["post", "nopost"]))
        elif r < 0.26:
            # Take back the move the other engine is thinking about: it must not
            # answer it, and the mover plays again.
            time.sleep(self.rng.random() * 0.2)
            other.send("force")
            other.send("undo")
            other.forced = True
            if self.moved_before_force(other, board):
                other.send("undo")  # its "undo" took back its own reply
                self.sync(other, board)
            self.end_analysis(mover)
            mover.send("force")
            mover.send("undo")
            mover.forced = True
            board.pop()
            self.go(mover)
            self.stats["takebacks"] += 1


def opponent(side):
    return "b" if side == "w" else "w"


# ---- UCI.

# A "clock BASE INCREMENT [MOVESTOGO]" limit gives each side a clock in milliseconds.
UCI_LIMITS = ["depth 2", "depth 3", "depth 4", "movetime 60", "movetime 150", "nodes 3000",
              "nodes 20000", "clock 3000 20", "clock 2000 0 10"]
UCI_LINES = ("info ", "bestmove ", "readyok", "id ", "option ", "uciok")


class UciSoak(Soak):
    """The same run through UCI; quit, kill and commands are the xboard soak's."""

    def __init__(self, engine_path, rng, log, stats):
        self.rng = rng
        self.log = log
        self.engines = {"w": Engine(engine_path, "W", log), "b": Engine(engine_path, "B", log)}
        for engine in self.engines.values():
            engine.readies = 0  # isready sent and not yet answered
            engine.searching = None  # what the running search was asked for, or None
        self.stats = stats
        for k in ("games", "plies", "ponder", "ponderhits", "analyses", "stops", "isready",
                  "setups", "adjudicated"):
            stats.setdefault(k, 0)

    def start(self):
        for engine in self.engines.values():
            engine.send("uci")
            deadline = time.monotonic() + 30
            while True:
                line = engine.next_line(deadline)
                if line is None:
                    raise Failure(f"{engine.label}: no uciok")
                if line == "uciok":
                    break

    # ---- Replies.

    def handle(self, engine, line):
        """Checks one line; returns the words of a bestmove line, else None."""
        if not line.startswith(UCI_LINES):
            raise Failure(f"{engine.label}: not a UCI line: {line!r}")
        if line == "readyok":
            if engine.readies == 0:
                raise Failure(f"{engine.label}: readyok without isready")
            engine.readies -= 1
        elif line.startswith("info string") and not line.startswith(
                ("info string book move ", "info string Hash ")):
            raise Failure(f"{engine.label}: {line!r}")
        elif line.startswith("bestmove "):
            if engine.searching is None:
                raise Failure(f"{engine.label}: {line!r} without a search")
            engine.searching = None
            return line.split()[1:]
        return None

    def drain(self, engine, seconds):
        deadline = time.monotonic() + seconds
        while True:
            line = engine.next_line(deadline)
            if line is None:
                return
            if self.handle(engine, line) is not None:
                raise Failure(f"{engine.label}: {line!r} before stop or ponderhit")

    def best_move(self, engine, board, timeout=60):
        """Waits for the bestmove of a search of board; checks it and its ponder move."""
        deadline = time.monotonic() + timeout
        while True:
            line = engine.next_line(deadline)
            if line is None:
                raise Failure(f"{engine.label}: no bestmove within {timeout} s")
            words = self.handle(engine, line)
            if words is not None:
                break
        move = words[0]
        if move == "0000" and not board.legal_moves():
            return move, None  # the null move: nothing to play in a finished game
        if move not in board.legal_moves():
            raise Failure(f"{engine.label}: illegal bestmove {move!r} after {board.moves}")
        ponder = None
        if len(words) >= 3 and words[1] == "ponder":
            ponder = words[2]
            board.push(move)
            legal = ponder in board.legal_moves()
            board.pop()
            if not legal:
                raise Failure(f"{engine.label}: illegal ponder move in {line!r}")
        return move, ponder

    def isready(self, engine):
        engine.readies += 1
        engine.send("isready")
        self.stats["isready"] += 1

    def sync(self, engine, timeout=30):
        self.isready(engine)
        deadline = time.monotonic() + timeout
        while engine.readies:
            line = engine.next_line(deadline)
            if line is None:
                raise Failure(f"{engine.label}: readyok missing after {timeout} s")
            if self.handle(engine, line) is not None:
                raise Failure(f"{engine.label}: unexpected {line!r} while waiting for readyok")

    # ---- Commands.

    def position(self, engine, start_fen, moves):
        text = "startpos" if start_fen == START_FEN else "fen " + start_fen
        engine.send("position " + text + (" moves " + " ".join(moves) if moves else ""))

    def go(self, engine, limit, clocks, extra=""):
        words = limit.split()
        if words[0] == "clock":
            increment = int(words[2])
            args = f"wtime {clocks['w']} btime {clocks['b']} winc {increment} binc {increment}"
            if len(words) > 3:
                args += f" movestogo {self.rng.randint(1, int(words[3]))}"
        else:
            args = limit
        engine.searching = extra or "go"
        engine.send(f"go {extra} {args}".replace("  ", " ").strip())

    # ---- One game.

    def play_game(self):
        start_fen = START_FEN
        if self.rng.random() < 0.2:
            start_fen = self.rng.choice(SETUP_FENS)
            self.stats["setups"] += 1
        board = Board(start_fen)
        limit = self.rng.choice(UCI_LIMITS)
        ponder = self.rng.random() < 0.5
        base = int(limit.split()[1]) if limit.startswith("clock") else 0
        clocks = {"w": base, "b": base}
        for engine in self.engines.values():
            engine.send("ucinewgame")
            if self.rng.random() < 0.2:
                engine.send(f"setoption name Hash value {self.rng.choice([16, 32, 64])}")
            engine.send(f"setoption name Ponder value {'true' if ponder else 'false'}")
            self.sync(engine)
        waiting = {}  # side -> (kind, predicted move) of a search running on the other's time
        plies = 0
        while True:
            side = board.turn
            mover = self.engines[side]
            started = time.monotonic()
            if side in waiting:
                self.answer_waiting(mover, board, waiting.pop(side), start_fen, limit, clocks)
            else:
                self.position(mover, start_fen, board.moves)
                self.go(mover, limit, clocks)
            self.perturb(mover)
            move, predicted = self.best_move(mover, board)
            if base:
                spent = int((time.monotonic() - started) * 1000)
                clocks[side] = max(50, clocks[side] - spent + int(limit.split()[2]))
            board.push(move)
            plies += 1
            self.stats["plies"] += 1
            if board.result() is not None:
                break
            if plies >= MAX_PLIES:
                self.stats["adjudicated"] += 1
                break
            # The mover thinks on the opponent's time: a ponder search, or an analysis.
            if ponder and predicted is not None:
                self.position(mover, start_fen, board.moves + [predicted])
                self.go(mover, limit, clocks, "ponder")
                waiting[side] = ("ponder", predicted)
                self.stats["ponder"] += 1
            elif self.rng.random() < 0.05:
                self.position(mover, start_fen, board.moves)
                mover.searching = "infinite"
                mover.send("go infinite")
                waiting[side] = ("infinite", None)
                self.stats["analyses"] += 1
        for side, (kind, predicted) in waiting.items():
            engine = self.engines[side]
            self.drain(engine, 0)
            engine.send("stop")
            before = board.moves[-1]
            board.pop()
            if kind == "ponder":
                board.push(predicted)
            self.best_move(engine, board)
            if kind == "ponder":
                board.pop()
            board.push(before)
        for engine in self.engines.values():
            self.sync(engine)
        self.stats["games"] += 1
        return limit

    def answer_waiting(self, mover, board, waiting, start_fen, limit, clocks):
        """The opponent has moved while the mover pondered or analysed."""
        kind, predicted = waiting
        played = board.moves[-1]
        self.drain(mover, 0)  # no bestmove may have come meanwhile
        if kind == "ponder" and played == predicted:
            mover.send("ponderhit")
            mover.searching = "go"
            self.stats["ponderhits"] += 1
            return
        mover.send("stop")
        # The stopped search answers for its own position.
        board.pop()
        if kind == "ponder":
            board.push(predicted)
        self.best_move(mover, board)
        if kind == "ponder":
            board.pop()
        board.push(played)
        self.position(mover, start_fen, board.moves)
        self.go(mover, limit, clocks)

    def perturb(self, mover):
        r = self.rng.random()
        if r < 0.15:
            self.isready(mover)
        elif r < 0.22:
            time.sleep(self.rng.random() * 0.05)
            mover.send("stop")  # the bestmove still comes, and is legal
            self.stats["stops"] += 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("engine")
    parser.add_argument("--games", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None,
                        help="seed of the first game; game i (from 0) plays with seed + i")
    parser.add_argument("--log", default=None, help="protocol log (default: a temporary file)")
    parser.add_argument("--stop-at-first", action="store_true",
                        help="end the run at its first failure instead of going on with "
                             "fresh engines")
    parser.add_argument("--protocol", choices=["xboard", "uci"], default="xboard")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    log_path = args.log or f"/tmp/soak-{seed}.log"
    engine_path = os.path.abspath(args.engine)
    started = time.monotonic()
    stats = {}
    failures = []
    commands = 0
    with open(log_path, "w") as log:
        soak = None
        for game in range(args.games):
            # Each game has its own seed, so that a failing game can be played again alone.
            game_seed = seed + game
            log.write(f"=== game {game + 1}, seed {game_seed}\n")
            try:
                if soak is None:
                    kind = UciSoak if args.protocol == "uci" else Soak
                    soak = kind(engine_path, random.Random(game_seed), log, stats)
                    soak.start()
                soak.rng = random.Random(game_seed)
                soak.play_game()
                if game + 1 == args.games:
                    soak.quit()
            except (Failure, subprocess.TimeoutExpired) as fault:
                failures.append(game_seed)
                print(f"FAILURE in game {game + 1} (seed {game_seed}): {fault}")
                if soak is not None:
                    for engine in soak.engines.values():
                        print(f"  last lines of {engine.label}: {engine.recent}")
                    soak.kill()
                print(f"  play it again: {sys.argv[0]} ENGINE --games 1 --seed {game_seed}")
                if soak is not None:
                    commands += soak.commands()
                soak = None  # the next game starts with fresh engines
                if args.stop_at_first:
                    break
                continue
            if game + 1 == args.games:
                commands += soak.commands()
    figures = " ".join(f"{k} {v}" for k, v in stats.items())
    print(f"soak: seed {seed}, {figures}, commands {commands}, failures {len(failures)}"
          f"{' (seeds ' + ' '.join(map(str, failures)) + ')' if failures else ''}, "
          f"{time.monotonic() - started:.0f} s, log {log_path}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
