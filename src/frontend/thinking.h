// The console's thinking lines: what the benchmark and the test suite print,
// and xboard's, which show scores in xboard's form.
#pragma once

#include "search/search.h"

// "DEPTH SCORE CS NODES PV..." for a new best move, "->(DEPTH/SEL SCORE CS
// NODES)" for a completed iteration, "DEPTH SCORE 0 0 MOVE (Hash Move)" for
// one the table held; with several lines, one new-best line each.
extern const SearchReport console_report;
void print_book_move_line(Move move);  // "0 0 0 0 MOVE (Book Move)"
