// The console's thinking lines: what the benchmark and the test suite print,
// and xboard's, which show scores in xboard's form while "post" is in force.
#pragma once

#include <atomic>

#include "search/search.h"

// Thinking lines are shown (xboard's post and nopost; UCI and the console
// always show them). Any thread: the reader thread answers post during a search.
extern std::atomic<bool> post_thinking;

// Mate scores as the interfaces count them: moves to the mate.
bool is_mate_score(int score);
// For a mate score: the moves to the mate, with the score's sign (mated in N: -N).
int mate_in_moves(int score);

// "DEPTH SCORE CS NODES PV..." for a new best move, "->(DEPTH/SEL SCORE CS
// NODES)" for a completed iteration, "DEPTH SCORE 0 0 MOVE (Hash Move)" for
// one the table held; with several lines, one new-best line each.
extern const SearchReport console_report;
void print_book_move_line(Move move);  // "0 0 0 0 MOVE (Book Move)"

// The xboard form of a score: a mate in N moves reads 100000 + N, being mated
// in N moves -100000 - N; other scores are unchanged (centipawns).
int xboard_score(int score);
// The console's lines with scores in that form, while post_thinking holds.
extern const SearchReport xboard_report;
