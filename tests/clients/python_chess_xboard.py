#!/usr/bin/env python3
"""The engine as python-chess drives an xboard engine: popen_xboard, a game at
a clock and Chess960 games ("variant fischerandom", castling as O-O) with
pondering, every move and thinking line read back by python-chess.

    tests/clients/python_chess_xboard.py ENGINE

Exit 0: passed; 1: a fault; 77: python-chess is not importable (skipped).
"""

import logging
import os
import sys
import tempfile

try:
    import chess
    import chess.engine
except ImportError:
    print("python_chess_xboard: skipped: python-chess is not importable "
          "(it is not packaged for Debian 12: pip install chess)")
    sys.exit(77)

MAX_PLIES = 80  # games still going are adjudicated
CHESS960_STARTS = (518, 0, 959)  # the standard array, BBQNNRKR and RKRNNQBB


def play(engine, board, limit, ponder):
    castlings = 0
    game = object()  # each game its own: python-chess then starts it with "new"
    while not board.is_game_over(claim_draw=True) and board.ply() < MAX_PLIES:
        result = engine.play(board, limit, ponder=ponder, info=chess.engine.INFO_PV, game=game)
        if result.move not in board.legal_moves:
            raise AssertionError(f"illegal move {result.move} in {board.fen()}")
        castlings += board.is_castling(result.move)
        board.push(result.move)
    return castlings


def main():
    logging.disable(logging.WARNING)  # python-chess notes every line it does not parse
    path = os.path.abspath(sys.argv[1])
    # A program that runs the engine, such as cmake/wine-run.sh for the Windows build.
    emulator = os.environ.get("QV_TEST_ENGINE_EMULATOR")
    command = [emulator, path] if emulator else path
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "Quorvanite.cfg"), "w") as cfg:
            cfg.write("<quorvanite><ownbook>false</ownbook></quorvanite>\n")
        engine = chess.engine.SimpleEngine.popen_xboard(command, cwd=work, timeout=30)
        try:
            assert "fischerandom" in engine.protocol.features["variants"].split(","), \
                engine.protocol.features
            clock = chess.engine.Limit(white_clock=3, black_clock=3, white_inc=0.05,
                                       black_inc=0.05)
            starts = [("standard", chess.Board())] + [
                (f"Chess960 start {n}", chess.Board.from_chess960_pos(n))
                for n in CHESS960_STARTS]
            for name, board in starts:
                castlings = play(engine, board, clock, True)
                print(f"python_chess_xboard: {name}: {board.ply()} plies, {castlings} castlings "
                      f"by the engine, {board.result(claim_draw=True)}")
        finally:
            engine.quit()
    print("python_chess_xboard: passed")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (AssertionError, chess.engine.EngineError, chess.engine.EngineTerminatedError) as e:
        print(f"python_chess_xboard: FAULT: {e!r}")
        sys.exit(1)
