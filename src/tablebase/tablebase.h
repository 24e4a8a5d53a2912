// Endgame tablebases: the Syzygy tables, read through the Fathom library
// (Debian's libfathom). The wrapper answers for the one position: its outcome
// (win, draw, loss, and the fifty-move rule's cursed wins and blessed losses)
// and the ranking of its legal moves. Built without the library, it loads
// nothing and every probe fails.
#pragma once

#include <string>
#include <vector>

#include "board/board.h"

// True when the engine was built with the Fathom library.
#if defined(QUORVANITE_SYZYGY)
constexpr bool TABLEBASES_BUILT = true;
#else
constexpr bool TABLEBASES_BUILT = false;
#endif

// Outcomes, from the side to move's view. A cursed win is a win that the
// fifty-move rule turns into a draw; a blessed loss is the other side of it.
enum TablebaseWdl : int {
    WDL_LOSS = -2,
    WDL_BLESSED_LOSS = -1,
    WDL_DRAW = 0,
    WDL_CURSED_WIN = 1,
    WDL_WIN = 2,
};

// Pieces (kings included) the loaded tables cover; 0 when none are loaded.
// Written by tablebase_load while no search runs; read by every search thread.
extern int tablebase_pieces;

// Loads the tables found in path: one folder, or several separated by ':'. An
// empty path unloads them. Returns tablebase_pieces: 0 when nothing usable was
// found (a folder that does not exist is no error). Tables found at the last
// load of the same path are kept as they are. Nothing is printed: the library's own
// messages are dropped (damaged files: tablebase_damaged_files). Only while no
// search runs.
int tablebase_load(const char* path);
// The path of the last load ("" for none); written by tablebase_load.
const std::string& tablebase_path();
// Table files (.rtbw, .rtbz) in the folders of the last load that the library
// leaves out or fails on: not a regular file, the wrong size, or no table's
// header. File names, sorted; written by tablebase_load.
const std::vector<std::string>& tablebase_damaged_files();

// The position can be probed: no more pieces than the tables cover, no
// castling rights, and the side not to move not in check.
bool tablebase_covers_position();

// The outcome of the position from the WDL tables into wdl; false when they do
// not answer (not covered, the fifty-move counter not 0, a table missing). Safe
// from every search thread; allocates nothing.
bool tablebase_probe_wdl(int& wdl);

// How the tables rank the root position's moves.
struct TablebaseRoot {
    int wdl;   // the outcome the best moves keep (TablebaseWdl)
    int dtz;   // plies to the next capture or pawn move on the tables' line; 0 unknown
    int kept;  // moves of the best rank, now the front of the list in their old order
};

// Ranks the legal moves list[0..count) of the root position by the distance-
// to-zero tables (the WDL tables when a DTZ table is missing), with the
// fifty-move rule when fifty_move_rule is set, and keeps the moves of the best
// rank: for a win the moves that reach the next capture, pawn move or mate
// soonest, for a draw the drawing moves, for a loss the losing moves (those
// that reach the fifty-move rule first when it can save the game).
// False, and the list untouched, when the tables do not answer. Main search
// thread only, before the search begins.
bool tablebase_rank_root(MoveEntry* list, int count, bool fifty_move_rule, TablebaseRoot& root);
