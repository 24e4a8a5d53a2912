// The helper threads of the search: a pool made once, resized on request,
// woken for every search and joined at the end of the process.
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "search/internal.h"

namespace {

enum class HelperState { STARTING, READY, FAILED };

struct Helper {
    std::thread thread;
    Worker* worker = nullptr;                   // its worker, made before the thread starts
    HelperState state = HelperState::STARTING;  // under the pool's mutex
    bool quit = false;                          // end the thread; under the mutex
};

struct Pool {
    std::mutex mutex;
    std::condition_variable wake;              // helpers wait here for a search or the end
    std::condition_variable done;              // the main thread waits here for helpers
    Helper helpers[MAX_SEARCH_THREADS - 1];    // [0 .. threads - 2] in use
    int threads = 1;                           // search threads in use, the main one included
    std::uint64_t search_id = 0;               // counts the searches; a new value wakes the helpers
    int busy = 0;                              // helpers not yet done with the running search
    std::uint64_t cache_epoch = 0;             // counts tt_clear_all; helpers clear on a change
    Position root;                             // the main thread's position at the search's start
    MoveEntry root_moves[MOVE_LIST_CAPACITY];  // the moves every thread searches at the root
    int root_count = 0;                        // entries of root_moves
    RootMove helper_line;  // the line kept of those helpers offered in this search; depth 0: none
    bool helper_line_decisive = false;  // helper_line proves what the search was asked to find
    // [0 .. threads - 1]: the workers of the search threads, main_worker first.
    Worker* workers[MAX_SEARCH_THREADS] = {&main_worker};
};

// Never destroyed: helpers may still be asleep when the process ends. The
// fields are read and written under the mutex, or by the main thread while
// no helper searches (threads, workers, helpers[i].thread and worker).
Pool& pool() {
    static Pool* const p = new Pool;
    return *p;
}

// The search of one helper, woken by search_id: its own copy of the root,
// its caches cleared when the table was.
void helper_main(Helper* self) {
    Pool& p = pool();
    bind_worker(self->worker);
    const bool ok = allocate_eval_caches();
    std::uint64_t seen_search = 0, seen_epoch = 0;
    {
        const std::lock_guard<std::mutex> lock(p.mutex);
        self->state = ok ? HelperState::READY : HelperState::FAILED;
        seen_search = p.search_id;
        seen_epoch = p.cache_epoch;
    }
    p.done.notify_all();
    while (ok) {
        bool clear = false;
        {
            std::unique_lock<std::mutex> lock(p.mutex);
            p.wake.wait(lock, [&] { return self->quit || p.search_id != seen_search; });
            if (self->quit) break;
            seen_search = p.search_id;
            clear = seen_epoch != p.cache_epoch;
            seen_epoch = p.cache_epoch;
        }
        if (clear) clear_eval_caches();
        // The root stays as it is until every helper is done.
        copy_position(position, p.root);
        helper_search(p.root_moves, p.root_count);
        const std::lock_guard<std::mutex> lock(p.mutex);
        if (--p.busy == 0) p.done.notify_all();
    }
    free_eval_caches();
}

// Starts helper number threads (index threads); false when it could not be had.
// A helper's worker, its evaluation state its own; nullptr without the memory.
Worker* new_worker(int index) {
    Worker* w = new (std::nothrow) Worker;
    if (w == nullptr) return nullptr;
    w->index = index;
    w->eval = &w->own_eval;
    return w;
}

// The helper's worker is gone with it.
bool drop_helper(Helper& h) {
    delete h.worker;
    h.worker = nullptr;
    return false;
}

bool add_helper(Pool& p) {
    Helper& h = p.helpers[p.threads - 1];
    h.worker = new_worker(p.threads);
    if (h.worker == nullptr) return false;
    h.state = HelperState::STARTING;
    h.quit = false;
    try {
        h.thread = std::thread(helper_main, &h);
    } catch (const std::system_error&) {
        return drop_helper(h);
    } catch (const std::bad_alloc&) {
        return drop_helper(h);
    }
    std::unique_lock<std::mutex> lock(p.mutex);
    p.done.wait(lock, [&] { return h.state != HelperState::STARTING; });
    if (h.state == HelperState::FAILED) {
        lock.unlock();
        h.thread.join();
        return drop_helper(h);
    }
    p.workers[p.threads] = h.worker;
    ++p.threads;
    return true;
}

void remove_helper(Pool& p) {
    Helper& h = p.helpers[p.threads - 2];
    {
        const std::lock_guard<std::mutex> lock(p.mutex);
        h.quit = true;
        --p.threads;
    }
    p.wake.notify_all();
    h.thread.join();
    drop_helper(h);
}

}  // namespace

bool several_search_threads = false;

int set_search_threads(int count) {
    Pool& p = pool();
    const int wanted = count < 1 ? 1 : count > MAX_SEARCH_THREADS ? MAX_SEARCH_THREADS : count;
    while (p.threads > wanted) remove_helper(p);
    while (p.threads < wanted && add_helper(p)) {
    }
    return p.threads;
}

int search_threads() {
    return pool().threads;
}

void stop_search_threads() {
    set_search_threads(1);
}

NodeCounts search_node_counts() {
    const Pool& p = pool();
    NodeCounts counts{0, 0};
    for (int i = 0; i < p.threads; ++i) {
        counts.moves += p.workers[i]->move_nodes.load(std::memory_order_relaxed);
        counts.captures += p.workers[i]->capture_nodes.load(std::memory_order_relaxed);
    }
    return counts;
}

std::uint64_t tablebase_hits() {
    const Pool& p = pool();
    std::uint64_t hits = 0;
    for (int i = 0; i < p.threads; ++i)
        hits += p.workers[i]->tb_hits.load(std::memory_order_relaxed);
    return hits;
}

std::uint64_t search_nodes() {
    const NodeCounts counts = search_node_counts();
    return counts.moves + counts.captures;
}

void clear_helper_caches() {
    Pool& p = pool();
    const std::lock_guard<std::mutex> lock(p.mutex);
    ++p.cache_epoch;
}

void start_helpers(const MoveEntry* root_list, int count) {
    Pool& p = pool();
    several_search_threads = p.threads > 1;
    if (p.threads == 1) return;
    // Their counters from 0 before anyone sums them.
    for (int i = 1; i < p.threads; ++i) {
        p.workers[i]->move_nodes.store(0, std::memory_order_relaxed);
        p.workers[i]->capture_nodes.store(0, std::memory_order_relaxed);
        p.workers[i]->tb_hits.store(0, std::memory_order_relaxed);
    }
    {
        const std::lock_guard<std::mutex> lock(p.mutex);
        copy_position(p.root, position);
        std::copy(root_list, root_list + count, p.root_moves);
        p.root_count = count;
        p.helper_line.depth = 0;
        p.helper_line_decisive = false;
        p.busy = p.threads - 1;
        ++p.search_id;
    }
    p.wake.notify_all();
}

void finish_helpers() {
    Pool& p = pool();
    if (p.threads == 1) return;
    stop_search.store(true, std::memory_order_relaxed);
    std::unique_lock<std::mutex> lock(p.mutex);
    p.done.wait(lock, [&] { return p.busy == 0; });
}

void offer_helper_line(const RootMove& r, bool decisive) {
    Pool& p = pool();
    const std::lock_guard<std::mutex> lock(p.mutex);
    const bool first = p.helper_line.depth == 0;
    if (first || decisive > p.helper_line_decisive ||
        (decisive == p.helper_line_decisive && r.depth > p.helper_line.depth)) {
        p.helper_line = r;
        p.helper_line_decisive = decisive;
    }
}

bool offered_helper_line(RootMove& r, bool& decisive) {
    Pool& p = pool();
    if (p.threads == 1) return false;
    const std::lock_guard<std::mutex> lock(p.mutex);
    if (p.helper_line.depth == 0) return false;
    r = p.helper_line;
    decisive = p.helper_line_decisive;
    return true;
}
