// The shared state of the running search and its clock.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/platform.h"
#include "search/search.h"

QV_THREAD_LOCAL int search_ply = 0;
QV_THREAD_LOCAL int sel_depth = 0;
QV_THREAD_LOCAL std::atomic<std::uint64_t> move_nodes{0};
QV_THREAD_LOCAL std::atomic<std::uint64_t> capture_nodes{0};
QV_THREAD_LOCAL int search_thread_index = 0;
std::int64_t search_start_clock = 0;
std::int64_t last_clock = 0;
int elapsed_cs = 0;

std::atomic<bool> stop_search{false};
std::atomic<bool> time_limited{false};
std::atomic<int> time_budget{UNLIMITED_TIME_BUDGET};
std::atomic<bool> post_thinking{true};
std::atomic<std::int64_t> hard_deadline_ms{NO_DEADLINE};
std::uint64_t node_limit = NO_NODE_LIMIT;

Move best_move = 0;
int report_depth = 0;
int max_depth = DEFAULT_MAX_DEPTH;

void update_elapsed() {
    last_clock = clock_ms();
    // In 64 bits and clamped: a search of many hours must not wrap around.
    const std::int64_t cs = (last_clock - search_start_clock) * 100 / 1000;
    elapsed_cs = static_cast<int>(std::clamp<std::int64_t>(
        cs, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool search_time_exceeded() {
    return static_cast<std::int64_t>(elapsed_cs) >
           3 * static_cast<std::int64_t>(time_budget.load());
}

bool iteration_time_exceeded() {
    return static_cast<std::int64_t>(elapsed_cs) >
           3 * static_cast<std::int64_t>(time_budget.load()) / 5;
}

bool deadline_passed() {
    return last_clock >= hard_deadline_ms.load(std::memory_order_relaxed);
}

bool poll_stop() {
    // time_limited first: the deadline written with it (a ponder hit) is then the one read.
    if (is_main_search_thread() && time_limited.load(std::memory_order_acquire)) {
        const std::int64_t deadline = hard_deadline_ms.load(std::memory_order_relaxed);
        if (deadline != NO_DEADLINE && clock_ms() >= deadline)
            stop_search.store(true, std::memory_order_relaxed);
    }
    if (node_limit_reached()) stop_search.store(true, std::memory_order_relaxed);
    return stop_search.load(std::memory_order_relaxed);
}
