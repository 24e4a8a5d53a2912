// The console's benchmark and test suite.
#pragma once

void benchmark();
void benchmark_position(int depth, const char* fen);
