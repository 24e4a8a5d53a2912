// The xboard driver: the protocol, pondering and analysis, and the game-end check.
#pragma once

#include <atomic>

#include "board/board.h"

struct SearchReport;  // search/search.h

// Speaks the protocol on the input until "quit" or the end of input, then returns.
void xboard_session();
[[noreturn]] void xboard_loop();  // xboard_session, then the end of the process (status 0)
void check_game_end(int legal_count);
extern bool ponder_enabled;                // "hard": think on the opponent's time
extern bool book_enabled;                  // the books are asked in the first 40 plies
extern std::atomic<bool> pondering;        // a ponder search is being prepared or runs
extern Move book_move;                     // the last move a book probe drew
extern Move ponder_move;                   // the predicted reply, 0 = none
extern std::atomic<Move> ponder_hit_move;  // set while pondering: ponder_move on a hit, else 0
// The xboard form of a score: a mate in N moves reads 100000 + N, being mated
// in N moves -100000 - N; other scores are unchanged (centipawns).
int xboard_score(int score);
extern const SearchReport xboard_report;  // thinking lines with scores in that form
