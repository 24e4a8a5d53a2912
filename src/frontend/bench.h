// The console's benchmark and test suite.
#pragma once

#include "search/search.h"

RootMoves benchmark();  // the search's result
void benchmark_position(int depth, const char* fen);
