"""The pieces both measuring scripts share: test positions and an engine
process spoken to over the xboard protocol in a working directory of its own
(its Quorvanite.cfg sets the search threads and turns the books off)."""

import os
import select
import subprocess
import tempfile
import time

# The console's test suite, by FEN.
SUITE_FENS = [
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "3r1r1k/1b4pp/ppn1p3/4Pp1R/Pn5P/3P4/4QP2/1qB1NKR1 w - - 0 1",
    "8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - 0 1",
]

# Twenty common openings, as moves from the initial position.
OPENING_LINES = [
    "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7",  # Spanish
    "d2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c1g5 f8e7 e2e3 e8g8",  # Queen's Gambit Declined
    "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6",  # Sicilian, Najdorf
    "e2e4 e7e6 d2d4 d7d5 b1c3 f8b4 e4e5 c7c5 a2a3 b4c3 b2c3",  # French, Winawer
    "d2d4 g8f6 c2c4 g7g6 b1c3 f8g7 e2e4 d7d6 g1f3 e8g8",  # King's Indian
    "e2e4 c7c6 d2d4 d7d5 b1c3 d5e4 c3e4 c8f5 e4g3 f5g6",  # Caro-Kann
    "c2c4 e7e5 b1c3 g8f6 g1f3 b8c6 g2g3 d7d5 c4d5 f6d5",  # English
    "d2d4 g8f6 c2c4 e7e6 b1c3 f8b4 e2e3 e8g8 f1d3 d7d5",  # Nimzo-Indian
    "e2e4 e7e5 g1f3 b8c6 f1c4 f8c5 c2c3 g8f6 d2d4 e5d4",  # Italian
    "d2d4 d7d5 c2c4 c7c6 g1f3 g8f6 b1c3 d5c4 a2a4 c8f5",  # Slav
    "e2e4 d7d5 e4d5 d8d5 b1c3 d5a5 d2d4 g8f6 g1f3 c8f5",  # Scandinavian
    "g1f3 d7d5 g2g3 g8f6 f1g2 e7e6 e1g1 f8e7 d2d3 e8g8",  # King's Indian Attack
    "e2e4 c7c5 b1c3 b8c6 g2g3 g7g6 f1g2 f8g7 d2d3 d7d6",  # Closed Sicilian
    "d2d4 g8f6 c2c4 c7c5 d4d5 e7e6 b1c3 e6d5 c4d5 d7d6",  # Benoni
    "e2e4 e7e5 g1f3 g8f6 f3e5 d7d6 e5f3 f6e4 d2d4 d6d5",  # Petroff
    "d2d4 f7f5 g2g3 g8f6 f1g2 g7g6 g1f3 f8g7 e1g1 e8g8",  # Dutch
    "e2e4 g7g6 d2d4 f8g7 b1c3 d7d6 f2f4 g8f6 g1f3 e8g8",  # Modern
    "e2e4 c7c5 g1f3 e7e6 d2d4 c5d4 f3d4 b8c6 b1c3 d8c7",  # Sicilian, Taimanov
    "d2d4 d7d5 c2c4 d5c4 g1f3 g8f6 e2e3 e7e6 f1c4 c7c5",  # Queen's Gambit Accepted
    "e2e4 e7e5 f2f4 e5f4 g1f3 g7g5 h2h4 g5g4 f3e5 g8f6",  # King's Gambit
]


class Engine:
    """One engine process in xboard mode, searching with `threads` threads."""

    def __init__(self, path, threads, hash_mb=32):
        self.dir = tempfile.TemporaryDirectory(prefix="qv_smp_")
        with open(os.path.join(self.dir.name, "Quorvanite.cfg"), "w") as cfg:
            cfg.write("<quorvanite><ownbook>false</ownbook><hash>%d</hash>"
                      "<threads>%d</threads></quorvanite>\n" % (hash_mb, threads))
        self.proc = subprocess.Popen([os.path.abspath(path)], cwd=self.dir.name,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.pending = b""  # read from the engine, not yet taken as lines
        self.send("xboard")
        self.send("protover 2")
        self.wait_for(lambda line: "done=1" in line)

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def read_line(self, timeout):
        """The next line, or None when none comes within timeout seconds."""
        end = time.monotonic() + timeout
        while b"\n" not in self.pending:
            left = end - time.monotonic()
            ready, _, _ = select.select([self.proc.stdout], [], [], max(left, 0))
            if not ready:
                return None
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                raise RuntimeError("the engine ended")
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode(errors="replace")

    def wait_for(self, done, timeout=600.0):
        """Lines until one satisfies done; that line (None on time-out)."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            line = self.read_line(end - time.monotonic())
            if line is not None and done(line):
                return line
        return None

    def sync(self):
        self.send("ping 1")
        self.wait_for(lambda line: line.startswith("pong"))

    def set_up(self, position):
        """A new game on a FEN or a line of moves from the initial position."""
        self.send("new")
        self.send("force")
        self.send("nopost")
        if "/" in position:
            self.send("setboard " + position)
        else:
            for move in position.split():
                self.send(move)
        self.sync()

    def quit(self):
        self.send("quit")
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        self.dir.cleanup()
