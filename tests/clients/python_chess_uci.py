#!/usr/bin/env python3
"""The engine as python-chess drives a UCI engine: popen_uci, a few games at
clocks, at a fixed time per move and with pondering, Chess960 games, an
analysis stopped from outside, a mate read as a mate (and its wdl as a won
game), three lines at once and a restricted root.

    tests/clients/python_chess_uci.py ENGINE

Exit 0: passed; 1: a fault; 77: python-chess is not importable (skipped).
"""

import os
import sys
import tempfile

try:
    import chess
    import chess.engine
except ImportError:
    print("python_chess_uci: skipped: python-chess is not importable "
          "(it is not packaged for Debian 12: pip install chess)")
    sys.exit(77)

MATE_IN_ONE = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"
MAX_PLIES = 80  # games still going are adjudicated
CHESS960_STARTS = (518, 0, 959)  # the standard array, BBQNNRKR and RKRNNQBB


def play(engine, limit, ponder, board=None):
    board = board or chess.Board()
    while not board.is_game_over(claim_draw=True) and board.ply() < MAX_PLIES:
        result = engine.play(board, limit, ponder=ponder)
        if result.move not in board.legal_moves:
            raise AssertionError(f"illegal move {result.move} in {board.fen()}")
        board.push(result.move)
    return board


def castlings(board):
    replay = board.root()
    count = 0
    for move in board.move_stack:
        count += replay.is_castling(move)
        replay.push(move)
    return count


def main():
    path = os.path.abspath(sys.argv[1])
    # A program that runs the engine, such as cmake/wine-run.sh for the Windows build.
    emulator = os.environ.get("QV_TEST_ENGINE_EMULATOR")
    command = [emulator, path] if emulator else path
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "Quorvanite.cfg"), "w") as cfg:
            cfg.write("<quorvanite><ownbook>false</ownbook></quorvanite>\n")
        engine = chess.engine.SimpleEngine.popen_uci(command, cwd=work, timeout=30)
        try:
            assert engine.id.get("name") == "Quorvanite 2.3", engine.id
            engine.configure({"Hash": 64, "OwnBook": False})
            clock = chess.engine.Limit(white_clock=3, black_clock=3, white_inc=0.05,
                                       black_inc=0.05)
            for limit, ponder in ((clock, False), (clock, True),
                                  (chess.engine.Limit(time=0.05), False),
                                  (chess.engine.Limit(depth=3), True)):
                board = play(engine, limit, ponder)
                print(f"python_chess_uci: {limit}, ponder {ponder}: {board.ply()} plies, "
                      f"{board.result(claim_draw=True)}")
            for number in CHESS960_STARTS:
                board = play(engine, clock, True, chess.Board.from_chess960_pos(number))
                print(f"python_chess_uci: Chess960 start {number}: {board.ply()} plies, "
                      f"{castlings(board)} castlings, {board.result(claim_draw=True)}")
            with engine.analysis(chess.Board()) as analysis:
                for info in analysis:
                    if info.get("depth", 0) >= 6:
                        break
            assert info["pv"][0] in chess.Board().legal_moves, info
            engine.configure({"UCI_ShowWDL": True})
            info = engine.analyse(chess.Board(MATE_IN_ONE), chess.engine.Limit(depth=4))
            assert info["score"].relative == chess.engine.Mate(1), info
            assert info["wdl"].relative == chess.engine.Wdl(1000, 0, 0), info
            assert info["pv"][0] == chess.Move.from_uci("d1d8"), info
            lines = engine.analyse(chess.Board(), chess.engine.Limit(depth=8), multipv=3)
            scores = [line["score"].relative for line in lines]
            assert len({line["pv"][0] for line in lines}) == 3, lines
            assert scores == sorted(scores, reverse=True), lines
            assert all(line["wdl"].relative.total() == 1000 for line in lines), lines
            knight = chess.Move.from_uci("g1f3")
            info = engine.analyse(chess.Board(), chess.engine.Limit(depth=6), root_moves=[knight])
            assert info["pv"][0] == knight, info
        finally:
            engine.quit()
    print("python_chess_uci: passed")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (AssertionError, chess.engine.EngineError, chess.engine.EngineTerminatedError) as e:
        print(f"python_chess_uci: FAULT: {e!r}")
        sys.exit(1)
