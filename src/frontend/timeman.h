// Time manager: from the interface's clock to the limits of one search.
#pragma once

#include <atomic>
#include <cstdint>

extern int max_depth;  // deepest iteration under the time control in force, plies (sd)
// The soft budget of the next timed move, centiseconds (written at a ponder hit
// on the reader thread, read by the driver thread after it).
extern std::atomic<int> time_budget;
// clock_ms at which the next timed move must stop (NO_DEADLINE: no such
// moment); set with time_budget by plan_move_time.
extern std::atomic<std::int64_t> hard_deadline_ms;
extern int moves_per_control;          // moves per "level" control, 0 = the whole game
extern std::atomic<int> time_left_cs;  // the engine's clock, centiseconds
extern int increment_cs;               // added per move, centiseconds
extern bool clock_control;             // "level" in force: a budget before every search
extern int budget_half_moves;          // game_ply when the budget is computed
extern std::int64_t move_time_ms;      // "st": time per move, milliseconds; NO_MOVE_TIME: none
constexpr std::int64_t NO_MOVE_TIME = -1;
constexpr int MOVE_OVERHEAD_MS = 50;  // kept for the output and the interface's own delay (ms)
// The user's margin for the lag of a network or an interface (Move Overhead):
// taken off the engine's clock before a move's time is planned, milliseconds,
// 0 (the default) .. MAX_MOVE_OVERHEAD_MS. Driver thread, between searches.
extern int move_overhead_ms;
constexpr int MAX_MOVE_OVERHEAD_MS = 5000;
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

// The limits one search is given with its request (UCI's "go"), for the
// engine's own side.
struct MoveLimits {
    std::int64_t clock_ms = -1;      // the engine's time left (ms); -1: no clock
    std::int64_t increment_ms = 0;   // added to it per move (ms)
    std::int64_t moves_to_go = 0;    // moves to the next control; 0: the rest of the game
    std::int64_t move_time_ms = -1;  // a fixed time for this move (ms); -1: none
    std::int64_t depth = 0;          // deepest iteration (plies); 0: the default
    std::int64_t nodes = 0;          // the search stops at this many nodes; 0: no limit
};
// In place of the time control in force: the clock through the level rules,
// the move time as a hard limit as "st" is, the depth within the ceiling (the
// session takes the node limit from limits itself).
void set_move_limits(const MoveLimits& limits);
