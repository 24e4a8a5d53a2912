// Front end: input and output, start-up and the console, the configuration
// file, the xboard driver, the input threads, the opening book, the benchmark.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "board/board.h"
#include "frontend/book.h"

// ---- Input and output.
constexpr int INPUT_LINE_SIZE = 128;
extern char input_line[INPUT_LINE_SIZE];  // the one input buffer
// Reads one line into input_line (newline and a carriage return before it
// dropped, at most 127 characters kept, the rest of a longer line discarded).
// False at end of input.
bool read_line();
// True once read_line has met the end of input (it then keeps returning false).
bool input_ended();
// Lines come from stream instead of standard input (nullptr: standard input
// again); also forgets an earlier end of input. For tests.
void set_input_stream(std::FILE* stream);
// Commands are recognised by their leading characters.
bool starts_with(const char* text, const char* prefix);
// The text from character offset on; the empty end of text when it is shorter.
const char* text_at(const char* text, int offset);
// Reads a decimal integer the way "%d" does (spaces, sign, digits), clamped to
// the int range, and moves cursor past it. False, cursor and value untouched,
// when no number stands there.
bool parse_int(const char*& cursor, int& value);
// Ends the process as after "quit" (status 0).
[[noreturn]] void quit_engine();

// ---- Console.
int console_main();  // start-up and the prompt loop; returns the exit status

// ---- Configuration file "Quorvanite.cfg".
void read_config();

// ---- xboard driver.
[[noreturn]] void xboard_loop();
void check_game_end(int legal_count);
void compute_time_budget();
extern bool ponder_enabled;                // "hard": think on the opponent's time
extern bool book_enabled;                  // the books are asked in the first 40 plies
extern std::atomic<bool> pondering;        // a ponder search is being prepared or runs
extern Move book_move;                     // the last move a book probe drew
extern Move ponder_move;                   // the predicted reply, 0 = none
extern std::atomic<Move> ponder_hit_move;  // set by the ponder thread: ponder_move on a hit, else 0
extern int moves_per_control;              // moves per "level" control, 0 = the whole game
extern std::atomic<int> time_left_cs;      // the engine's clock, centiseconds
extern int increment_cs;                   // added per move, centiseconds
extern bool clock_control;                 // "level" in force: a budget before every search
extern int budget_half_moves;              // game_ply when the budget is computed

// ---- Input threads.
void ponder_input_thread();
void analysis_input_thread();

// ---- Opening book: frontend/book.h.

// ---- Benchmark and test suite.
void benchmark();
void benchmark_position(int depth, const char* fen);
