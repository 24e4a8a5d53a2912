// The shared state of the running search and its clock.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/platform.h"
#include "search/internal.h"

Worker main_worker;
QV_THREAD_LOCAL Worker* this_worker = &main_worker;
std::int64_t search_start_clock = 0;
std::int64_t last_clock = 0;
int elapsed_cs = 0;

std::atomic<bool> stop_search{false};
std::atomic<bool> time_limited{false};
std::atomic<int> search_budget_cs{UNLIMITED_TIME_BUDGET};
std::atomic<std::int64_t> search_deadline_ms{NO_DEADLINE};
SearchLimits search_limits;

void update_elapsed() {
    last_clock = clock_ms();
    // In 64 bits and clamped: a search of many hours must not wrap around.
    const std::int64_t cs = (last_clock - search_start_clock) * 100 / 1000;
    elapsed_cs = static_cast<int>(std::clamp<std::int64_t>(
        cs, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool search_time_exceeded() {
    return static_cast<std::int64_t>(elapsed_cs) >
           3 * static_cast<std::int64_t>(search_budget_cs.load());
}

bool iteration_time_exceeded() {
    return static_cast<std::int64_t>(elapsed_cs) >
           3 * static_cast<std::int64_t>(search_budget_cs.load()) / 5;
}

bool deadline_passed() {
    return last_clock >= search_deadline_ms.load(std::memory_order_relaxed);
}

void bind_worker(Worker* w) {
    this_worker = w;
    eval_state = w->eval;
}

namespace {

// A ponder hit that came before the search had set its clock from its limits,
// kept so that the search does not undo it. Any thread; sequentially consistent.
std::atomic<bool> hit_pending{false};
std::atomic<int> hit_budget{0};                       // centiseconds
std::atomic<std::int64_t> hit_deadline{NO_DEADLINE};  // clock_ms

// The limits are in place before time_limited is seen.
void set_clock(int budget_cs, std::int64_t deadline_ms, bool timed) {
    search_budget_cs.store(budget_cs, std::memory_order_relaxed);
    search_deadline_ms.store(deadline_ms, std::memory_order_relaxed);
    time_limited.store(timed, std::memory_order_release);
}

}  // namespace

void clear_search_signals() {
    stop_search.store(false);
    hit_pending.store(false);
}

void search_ponder_hit(int budget_cs, std::int64_t deadline_ms) {
    hit_budget.store(budget_cs);
    hit_deadline.store(deadline_ms);
    hit_pending.store(true);
    set_clock(budget_cs, deadline_ms, true);
}

void start_search_clock(const SearchLimits& limits) {
    set_clock(limits.time_budget_cs, limits.deadline_ms, limits.timed);
    if (hit_pending.load()) set_clock(hit_budget.load(), hit_deadline.load(), true);
}

bool helper_clock_expired() {
    const std::int64_t now = clock_ms();
    const std::int64_t cs = (now - search_start_clock) * 100 / 1000;
    return cs > 3 * static_cast<std::int64_t>(search_budget_cs.load()) ||
           now >= search_deadline_ms.load(std::memory_order_relaxed);
}

bool poll_stop() {
    // time_limited first: the deadline written with it (a ponder hit) is then the one read.
    if (time_limited.load(std::memory_order_acquire)) {
        const std::int64_t deadline = search_deadline_ms.load(std::memory_order_relaxed);
        if (deadline != NO_DEADLINE && clock_ms() >= deadline)
            stop_search.store(true, std::memory_order_relaxed);
    }
    if (node_limit_reached()) stop_search.store(true, std::memory_order_relaxed);
    return stop_search.load(std::memory_order_relaxed);
}
