// The time manager: the clock the interface gives the engine becomes the
// search's soft budget and the hard deadline no move may pass.
//
// The budget (compute_time_budget) and the search's own rules on it (a new
// iteration only within three fifths of it, a running one cut at three times
// it) decide how long a move normally takes; both see the clock less the
// user's Move Overhead (0 unless set). The hard limit only bounds them:
// under "st" the move comes within its seconds less the overhead (50 ms and a
// twentieth of the time, at most 300 ms); under a
// level control no move takes more than three budgets counted from the moment
// the engine's clock started, nor a quarter of the time left, nor more than the
// time left less the overhead, and a little time is kept back for every move
// still to come before the next control.
#include "frontend/timeman.h"

#include <algorithm>
#include <cstdint>

#include "frontend/io.h"
#include "search/search.h"

int max_depth = DEFAULT_MAX_DEPTH;
std::atomic<int> time_budget{UNLIMITED_TIME_BUDGET};
std::atomic<std::int64_t> hard_deadline_ms{NO_DEADLINE};
int moves_per_control = 0;
std::atomic<int> time_left_cs{0};
int increment_cs = 0;
bool clock_control = false;
int budget_half_moves = 0;
std::int64_t move_time_ms = NO_MOVE_TIME;
int search_depth_ceiling = DEFAULT_MAX_DEPTH;
int move_overhead_ms = 0;

namespace {

// Keeps the clock values inside the int range: 30 days, in seconds.
constexpr std::int64_t MAX_CLOCK_SECONDS = UNLIMITED_TIME_BUDGET / 100;
constexpr std::int64_t MAX_CLOCK_MS = MAX_CLOCK_SECONDS * 1000;
constexpr int MAX_MOVES_PER_CONTROL = 10000;
constexpr long long SUDDEN_DEATH_MOVES = 40;  // moves the whole clock is shared over
// What a move costs the clock at the least, besides the search: the engine's
// answer on the pipe and the interface's own handling (milliseconds).
constexpr long long MIN_MOVE_COST_MS = 10;

long long clamp_ll(long long v, long long lo, long long hi) {
    return std::min(std::max(v, lo), hi);
}

// The engine's clock less the Move Overhead (never below nothing), milliseconds.
long long clock_left_ms() {
    const long long left = time_left_cs.load() * 10LL;
    return left - std::clamp<long long>(move_overhead_ms, 0, std::max(left, 0LL));
}

// Moves until the next control, counting this one.
long long moves_to_go() {
    if (moves_per_control == 0) return SUDDEN_DEATH_MOVES;
    const long long per_control = moves_per_control;
    return per_control - (budget_half_moves / 2) % per_control;
}

// The limits every time command starts from.
void reset_clock(int depth, int budget, bool by_level) {
    max_depth = std::min(depth, search_depth_ceiling);
    time_budget.store(budget, std::memory_order_relaxed);
    time_left_cs.store(0, std::memory_order_relaxed);
    increment_cs = 0;
    moves_per_control = 0;
    clock_control = by_level;
    move_time_ms = NO_MOVE_TIME;
}

// A level's base: minutes, or minutes:seconds ("5", "0:30", "1:30"), as milliseconds.
bool parse_base(const char*& cursor, std::int64_t& ms) {
    std::int64_t thousandths = 0;  // of a minute
    if (!parse_seconds(cursor, thousandths)) return false;
    ms = thousandths * 60;
    if (*cursor != ':') return true;
    ++cursor;
    // The seconds follow the colon at once ("1: 2" is one minute, then 2 s a move).
    std::int64_t seconds = 0;
    const char* after = cursor;
    if ((*after >= '0' && *after <= '9') || *after == '.') {
        if (parse_seconds(after, seconds)) {
            ms = ms / 60000 * 60000 + seconds;  // only whole minutes before a colon
            cursor = after;
        }
    }
    return true;
}

int centiseconds(std::int64_t ms) {
    return static_cast<int>(clamp_ll(ms, 0, MAX_CLOCK_MS) / 10);
}

}  // namespace

void compute_time_budget() {
    // Wider arithmetic than needed: clock values from the interface are not trusted.
    const long long left = clock_left_ms() / 10;
    const long long increment = increment_cs;
    long long budget;
    if (moves_per_control == 0) {
        budget = left / 40 + increment * 75 / 100;
    } else {
        budget = left / moves_to_go() + increment * 75 / 100;
    }
    budget = std::min(budget, left / 4);
    time_budget.store(static_cast<int>(clamp_ll(budget, INT32_MIN, INT32_MAX)),
                      std::memory_order_relaxed);
}

namespace {

// The most a move may take under a level control, milliseconds.
std::int64_t clock_limit_ms() {
    const long long left = clock_left_ms();
    const long long increment = increment_cs * 10LL;
    const long long to_go = moves_to_go();
    // Every move costs the clock a little beyond the search; what the
    // increment does not give back is kept for the moves to the control.
    const long long reserve = std::max(0LL, MIN_MOVE_COST_MS - increment) * to_go;
    const long long usable = std::max(0LL, left - reserve);
    // The budget's own formula, in milliseconds so that a short clock does
    // not round it to nothing.
    const long long budget = std::min(usable / to_go + increment * 3 / 4, usable / 4);
    const long long limit = std::min({3 * budget, usable / 4, left - MOVE_OVERHEAD_MS});
    return std::max(limit, 0LL);
}

// The most a move may take under a fixed time per move, milliseconds.
std::int64_t move_time_limit_ms() {
    // The interface's own delay grows with its load; a share of the time covers it.
    const std::int64_t margin = MOVE_OVERHEAD_MS + std::min<std::int64_t>(move_time_ms / 20, 250);
    return std::max(move_time_ms - margin, move_time_ms / 2);
}

}  // namespace

std::int64_t hard_move_limit_ms() {
    std::int64_t limit = NO_DEADLINE;
    if (clock_control) limit = clock_limit_ms();
    if (move_time_ms != NO_MOVE_TIME) limit = std::min(limit, move_time_limit_ms());
    return limit;
}

void plan_move_time(std::int64_t start_ms) {
    if (clock_control) {
        compute_time_budget();
        // A time per move given beside the clock bounds the budget as well.
        if (move_time_ms != NO_MOVE_TIME)
            time_budget.store(std::min(time_budget.load(), centiseconds(move_time_ms)),
                              std::memory_order_relaxed);
    }
    const std::int64_t limit = hard_move_limit_ms();
    hard_deadline_ms.store(limit == NO_DEADLINE ? NO_DEADLINE : start_ms + limit,
                           std::memory_order_relaxed);
}

void clear_time_control() {
    reset_clock(DEFAULT_MAX_DEPTH, UNLIMITED_TIME_BUDGET, false);
}

void set_level(const char* text) {
    reset_clock(DEFAULT_MAX_DEPTH, 0, true);
    int moves = 0;
    std::int64_t base_ms = 0, increment_ms = 0;
    const char* cursor = text;
    if (parse_int(cursor, moves) && parse_base(cursor, base_ms))
        parse_seconds(cursor, increment_ms);
    moves_per_control = static_cast<int>(clamp_ll(moves, 0, MAX_MOVES_PER_CONTROL));
    time_left_cs.store(centiseconds(base_ms));
    increment_cs = centiseconds(increment_ms);
}

void set_search_time(const char* text) {
    reset_clock(DEFAULT_MAX_DEPTH, UNLIMITED_TIME_BUDGET, false);
    std::int64_t ms = 0;
    const char* cursor = text;
    if (!parse_seconds(cursor, ms)) return;  // no number: no time limit
    move_time_ms = clamp_ll(ms, 0, MAX_CLOCK_MS);
    time_budget.store(centiseconds(move_time_ms), std::memory_order_relaxed);
}

void set_move_clock(std::int64_t time_left_ms, std::int64_t increment_ms, int moves_to_go) {
    clock_control = true;
    time_left_cs.store(centiseconds(time_left_ms));
    increment_cs = centiseconds(increment_ms);
    moves_per_control = static_cast<int>(clamp_ll(moves_to_go, 0, MAX_MOVES_PER_CONTROL));
    // The moves to go are counted from here: the budget shares the clock over them.
    budget_half_moves = 0;
}

void set_move_time(std::int64_t ms) {
    move_time_ms = clamp_ll(ms, 0, MAX_CLOCK_MS);
    if (!clock_control) time_budget.store(centiseconds(move_time_ms), std::memory_order_relaxed);
}

void set_move_limits(const MoveLimits& limits) {
    clear_time_control();
    if (limits.clock_ms >= 0) {
        const std::int64_t to_go =
            std::clamp<std::int64_t>(limits.moves_to_go, 0, MAX_MOVES_PER_CONTROL);
        set_move_clock(limits.clock_ms, std::max<std::int64_t>(limits.increment_ms, 0),
                       static_cast<int>(to_go));
    }
    if (limits.move_time_ms >= 0) set_move_time(limits.move_time_ms);
    if (limits.depth > 0)
        max_depth = static_cast<int>(
            std::clamp<std::int64_t>(limits.depth, MIN_SEARCH_DEPTH, search_depth_ceiling));
}

void set_search_depth(const char* text) {
    reset_clock(DEFAULT_MAX_DEPTH, UNLIMITED_TIME_BUDGET, false);
    int value = 0;
    const char* cursor = text;
    // Below two plies the search would choose no move at all.
    if (parse_int(cursor, value))
        max_depth = static_cast<int>(clamp_ll(value, MIN_SEARCH_DEPTH, search_depth_ceiling));
}
