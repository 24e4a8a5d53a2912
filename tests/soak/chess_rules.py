"""The rules of chess, small and independent of the engine: the soak test's own
board, to judge every move an engine prints.

Squares are 0..63 (a1 = 0, h8 = 63); pieces are letters, upper case white.
Moves are coordinate text as the protocols write them: e2e4, e7e8q, e1g1.
"""

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"

KNIGHT_STEPS = [(1, 2), (2, 1), (2, -1), (1, -2), (-1, -2), (-2, -1), (-2, 1), (-1, 2)]
KING_STEPS = [(1, 0), (1, 1), (0, 1), (-1, 1), (-1, 0), (-1, -1), (0, -1), (1, -1)]
DIAGONALS = [(1, 1), (1, -1), (-1, 1), (-1, -1)]
LINES = [(1, 0), (-1, 0), (0, 1), (0, -1)]


def square(name):
    return (ord(name[0]) - ord("a")) + 8 * (ord(name[1]) - ord("1"))


def name(sq):
    return "abcdefgh"[sq % 8] + "12345678"[sq // 8]


def colour(piece):
    return "w" if piece.isupper() else "b"


def step(sq, df, dr):
    f, r = sq % 8 + df, sq // 8 + dr
    return f + 8 * r if 0 <= f < 8 and 0 <= r < 8 else None


class Board:
    def __init__(self, fen=START_FEN):
        self.set_fen(fen)

    def set_fen(self, fen):
        fields = fen.split()
        self.squares = [None] * 64
        rank, file = 7, 0
        for c in fields[0]:
            if c == "/":
                rank, file = rank - 1, 0
            elif c.isdigit():
                file += int(c)
            else:
                self.squares[file + 8 * rank] = c
                file += 1
        self.turn = fields[1]
        self.castling = set() if fields[2] == "-" else set(fields[2])
        self.ep = None if fields[3] == "-" else square(fields[3])
        self.halfmoves = int(fields[4]) if len(fields) > 4 else 0
        self.history = [self.repetition_key()]
        self.moves = []
        self.undo_stack = []

    # A key like the engine's: the en-passant square counts after every double push.
    def repetition_key(self):
        return (tuple(self.squares), self.turn, frozenset(self.castling), self.ep)

    def king(self, side):
        k = "K" if side == "w" else "k"
        return self.squares.index(k)

    def attacked(self, sq, by):
        """True when a piece of colour `by` attacks square sq."""
        pawn_rank = -1 if by == "w" else 1
        for df in (-1, 1):
            t = step(sq, df, pawn_rank)
            if t is not None and self.squares[t] == ("P" if by == "w" else "p"):
                return True
        for steps, kinds in ((KNIGHT_STEPS, "N"), (KING_STEPS, "K")):
            for df, dr in steps:
                t = step(sq, df, dr)
                p = self.squares[t] if t is not None else None
                if p is not None and colour(p) == by and p.upper() == kinds:
                    return True
        for rays, kinds in ((DIAGONALS, "BQ"), (LINES, "RQ")):
            for df, dr in rays:
                t = step(sq, df, dr)
                while t is not None and self.squares[t] is None:
                    t = step(t, df, dr)
                if t is not None:
                    p = self.squares[t]
                    if colour(p) == by and p.upper() in kinds:
                        return True
        return False

    def in_check(self, side=None):
        side = side or self.turn
        return self.attacked(self.king(side), "b" if side == "w" else "w")

    def pseudo_moves(self):
        us = self.turn
        them = "b" if us == "w" else "w"
        out = []
        for sq, p in enumerate(self.squares):
            if p is None or colour(p) != us:
                continue
            kind = p.upper()
            if kind == "P":
                self._pawn_moves(sq, us, out)
                continue
            if kind in "NK":
                for df, dr in KNIGHT_STEPS if kind == "N" else KING_STEPS:
                    t = step(sq, df, dr)
                    if t is not None and (self.squares[t] is None or colour(self.squares[t]) == them):
                        out.append(name(sq) + name(t))
                if kind == "K":
                    self._castling(us, out)
                continue
            rays = DIAGONALS if kind == "B" else LINES if kind == "R" else DIAGONALS + LINES
            for df, dr in rays:
                t = step(sq, df, dr)
                while t is not None:
                    if self.squares[t] is None:
                        out.append(name(sq) + name(t))
                    else:
                        if colour(self.squares[t]) == them:
                            out.append(name(sq) + name(t))
                        break
                    t = step(t, df, dr)
        return out

    def _pawn_moves(self, sq, us, out):
        forward = 1 if us == "w" else -1
        last = 7 if us == "w" else 0
        start = 1 if us == "w" else 6

        def add(t):
            if t // 8 == last:
                out.extend(name(sq) + name(t) + promo for promo in "qrbn")
            else:
                out.append(name(sq) + name(t))

        t = step(sq, 0, forward)
        if t is not None and self.squares[t] is None:
            add(t)
            t2 = step(t, 0, forward)
            if sq // 8 == start and self.squares[t2] is None:
                out.append(name(sq) + name(t2))
        for df in (-1, 1):
            t = step(sq, df, forward)
            if t is None:
                continue
            victim = self.squares[t]
            if (victim is not None and colour(victim) != us) or t == self.ep:
                add(t)

    def _castling(self, us, out):
        rank = 0 if us == "w" else 7
        them = "b" if us == "w" else "w"
        king, rook = ("K", "R") if us == "w" else ("k", "r")
        e, f, g, d, c, b, a, h = (rank * 8 + i for i in (4, 5, 6, 3, 2, 1, 0, 7))
        if self.squares[e] != king:
            return
        right_k, right_q = ("K", "Q") if us == "w" else ("k", "q")
        if (right_k in self.castling and self.squares[h] == rook and self.squares[f] is None
                and self.squares[g] is None and not self.attacked(e, them)
                and not self.attacked(f, them)):
            out.append(name(e) + name(g))
        if (right_q in self.castling and self.squares[a] == rook and self.squares[d] is None
                and self.squares[c] is None and self.squares[b] is None
                and not self.attacked(e, them) and not self.attacked(d, them)):
            out.append(name(e) + name(c))

    def legal_moves(self):
        legal = []
        for m in self.pseudo_moves():
            self.push(m)
            if not self.in_check("b" if self.turn == "w" else "w"):
                legal.append(m)
            self.pop()
        return legal

    def push(self, text):
        """Plays a move given as coordinate text (assumed pseudo-legal)."""
        frm, to = square(text[0:2]), square(text[2:4])
        piece = self.squares[frm]
        saved = (list(self.squares), self.turn, set(self.castling), self.ep, self.halfmoves)
        self.undo_stack.append(saved)
        captured = self.squares[to]
        self.halfmoves = 0 if piece.upper() == "P" or captured is not None else self.halfmoves + 1
        if piece.upper() == "P" and to == self.ep:
            self.squares[to + (-8 if piece == "P" else 8)] = None
        self.squares[to] = piece
        self.squares[frm] = None
        if len(text) > 4:
            self.squares[to] = text[4].upper() if piece == "P" else text[4]
        if piece.upper() == "K" and abs(to - frm) == 2:
            rook_from, rook_to = (frm + 3, frm + 1) if to > frm else (frm - 4, frm - 1)
            self.squares[rook_to] = self.squares[rook_from]
            self.squares[rook_from] = None
        self.ep = (frm + to) // 2 if piece.upper() == "P" and abs(to - frm) == 16 else None
        for sq, right in ((4, "KQ"), (0, "Q"), (7, "K"), (60, "kq"), (56, "q"), (63, "k")):
            if frm == sq or to == sq:
                self.castling -= set(right)
        self.turn = "b" if self.turn == "w" else "w"
        self.moves.append(text)
        self.history.append(self.repetition_key())

    def pop(self):
        self.squares, self.turn, self.castling, self.ep, self.halfmoves = self.undo_stack.pop()
        self.moves.pop()
        self.history.pop()

    def result(self):
        """'1-0', '0-1', '1/2-1/2' when the game is over by the rules, else None."""
        if not self.legal_moves():
            if self.in_check():
                return "0-1" if self.turn == "w" else "1-0"
            return "1/2-1/2"
        if self.halfmoves >= 100:
            return "1/2-1/2"
        window = self.history[-(self.halfmoves + 1):]
        if window.count(self.history[-1]) >= 3:
            return "1/2-1/2"
        return None
