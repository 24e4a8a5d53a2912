// Front end: input and output, start-up and the console, the configuration
// file, the time manager, the xboard driver, the opening book, the benchmark.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "board/board.h"
#include "frontend/book.h"

struct SearchReport;  // search/search.h

// ---- Input and output.
constexpr int INPUT_LINE_SIZE = 128;  // lines are cut to INPUT_LINE_SIZE - 1 characters ...
constexpr int LONG_LINE_SIZE =
    8192;  // ... unless a protocol asks for long lines (UCI's "position")
extern char input_line[LONG_LINE_SIZE];  // the one input buffer
// The longest line kept, in characters (at most LONG_LINE_SIZE - 1); the rest
// of a longer line is discarded. Set before the reader thread starts.
void set_line_limit(int characters);
extern std::int64_t line_arrival_ms;  // clock_ms() when the line in input_line arrived
// Reads one line into input_line (newline and a carriage return before it
// dropped, at most the line limit kept, the rest of a longer line discarded).
// False at end of input. Once the reader thread runs, the line comes from it.
bool read_line();
// True once read_line has met the end of input (it then keeps returning false).
bool input_ended();
// Lines come from stream instead of standard input (nullptr: standard input
// again); also forgets an earlier end of input, and a reader thread that has
// ended. For tests.
void set_input_stream(std::FILE* stream);
// Drops what is left of a stream of finite length, up to its end, and waits
// for the reader thread to meet that end, so that the stream may be closed.
// For drivers run in the process on a stream of the caller's (tests, fuzzing).
void finish_input();

// While a protocol is spoken, one reader thread reads every line as it comes
// and keeps it for read_line, so that a search can hear the interface. During
// a search the driver installs a listener, which hears each line first, in
// the order the lines came (lines already waiting included), on the reader
// thread, and says what becomes of it:
enum class Heard {
    HELD,          // it waits for read_line; listening goes on
    HANDLED,       // the listener has dealt with it; it is dropped; listening goes on
    ENDS_HELD,     // it waits for read_line, and listening ends (the search is to stop)
    ENDS_HANDLED,  // dealt with and dropped, and listening ends
};
// line is nullptr at the end of input (listening then ends whatever it returns);
// arrival_ms is clock_ms() when the line was read.
using Listener = Heard (*)(const char* line, std::int64_t arrival_ms);
// Starts the reader thread (once); false when no thread could be started: read_line
// then reads for itself and nothing can be heard during a search.
bool start_input_reader();
bool input_reader_started();  // read_line takes its lines from the reader thread
// Installs the listener; false (nothing installed) without a reader thread.
bool listen(Listener listener);
void stop_listening();    // the driver ends listening itself
void wait_until_heard();  // until a line (or the end of input) has ended listening

// Commands are recognised by their leading characters.
bool starts_with(const char* text, const char* prefix);
// The text from character offset on; the empty end of text when it is shorter.
const char* text_at(const char* text, int offset);
// Reads a decimal integer the way "%d" does (spaces, sign, digits), clamped to
// the int range, and moves cursor past it. False, cursor and value untouched,
// when no number stands there.
bool parse_int(const char*& cursor, int& value);
// Reads seconds with an optional fraction ("30", "0.5", ".25") as
// milliseconds; false, cursor and value untouched, when no number stands there.
bool parse_seconds(const char*& cursor, std::int64_t& ms);
// Ends the process as after "quit" (status 0).
[[noreturn]] void quit_engine();

// ---- Console and command line.
int console_main();  // start-up and the prompt loop; returns the exit status
// The program: without arguments the console; "bench" runs the benchmark and
// ends; anything else is refused with a usage line. Returns the exit status.
int engine_main(int argc, const char* const* argv);

// ---- Time manager: from the interface's clock to the limits of one search.
extern int moves_per_control;          // moves per "level" control, 0 = the whole game
extern std::atomic<int> time_left_cs;  // the engine's clock, centiseconds
extern int increment_cs;               // added per move, centiseconds
extern bool clock_control;             // "level" in force: a budget before every search
extern int budget_half_moves;          // game_ply when the budget is computed
extern std::int64_t move_time_ms;      // "st": time per move, milliseconds; NO_MOVE_TIME: none
constexpr std::int64_t NO_MOVE_TIME = -1;
constexpr int MOVE_OVERHEAD_MS = 50;  // kept for the output and the interface's own delay (ms)
// The deepest search the time commands may ask for (plies); the default depth
// normally. Fuzzing lowers it to keep every search short.
extern int search_depth_ceiling;
// time_budget from the clock under a level control (the soft budget).
void compute_time_budget();
// The most one move may take under the clock in force, milliseconds; NO_DEADLINE
// when only a depth limits the search. Under a level control it assumes the
// budget of compute_time_budget.
std::int64_t hard_move_limit_ms();
// Before a timed search or at a ponder hit: the budget (under a level control)
// and hard_deadline_ms for a move whose clock started at start_ms.
void plan_move_time(std::int64_t start_ms);
// The time commands: a new game (no limit but the default depth), "level"
// ("MOVES BASE INCREMENT": the base in minutes or minutes:seconds, the
// increment in seconds, fractions allowed), "st" (seconds, fraction allowed),
// "sd" (plies). Each takes the text after the command's name.
void clear_time_control();
void set_level(const char* text);
void set_search_time(const char* text);
void set_search_depth(const char* text);
// The clock given with a move (UCI's "go"), after clear_time_control: the
// engine's time left and increment (milliseconds) and the moves until the
// next control (0: the rest of the game), budgeted by the level rules.
void set_move_clock(std::int64_t time_left_ms, std::int64_t increment_ms, int moves_to_go);
// A fixed time for this move (milliseconds), a hard limit as under "st"; with
// a clock as well, the tighter of the two holds.
void set_move_time(std::int64_t ms);

// ---- xboard driver.
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

// ---- UCI driver: from the console's "uci" on, standard input and output speak UCI.
void uci_session();            // speaks UCI until "quit" or the end of input, then returns
[[noreturn]] void uci_loop();  // uci_session, then the end of the process (status 0)

// ---- Configuration file "Quorvanite.cfg" and the table size.
void read_config();
// Entries of a transposition table of the given size: the largest power of two
// from 32 to 1024 megabytes not above it.
std::uint32_t tt_entries_for_megabytes(long megabytes);
// Gives the transposition table that size; all three tables start empty. False
// when the memory cannot be had: the table keeps its old size (emptied), or,
// when even that cannot be had again, the process ends with status 1.
bool resize_transposition_table(long megabytes);

// ---- Opening book: frontend/book.h.
// The book's moves for the position that are legal there, with their drawing
// weights; returns how many (0 when the position is not in the book).
int book_moves(Move* moves, int* weights, int capacity);

// ---- Benchmark and test suite.
void benchmark();
void benchmark_position(int depth, const char* fen);
