// The full-width search: fail-soft principal-variation alpha-beta with a
// transposition table, null move, internal deepening, futility pruning and
// check and seventh-rank extensions.
#include "board/game_end.h"
#include "eval/eval.h"
#include "platform/platform.h"
#include "search/internal.h"
#include "tablebase/tablebase.h"

namespace {

constexpr int futility_margin[3] = {0, 200, 500};  // by remaining depth 1 and 2
constexpr int NULL_MOVE_MIN_MATERIAL = 1000;       // piece_material must exceed it
constexpr int IID_MIN_DEPTH = 5;
constexpr int IID_REDUCTION = 2;
constexpr int FUTILITY_MAX_DEPTH = 2;
constexpr std::uint32_t CLOCK_CHECK_MASK = 4096 - 1;  // read the clock every 4096 moves

int null_move_reduction(int depth) {
    return depth < 6 ? 3 : 4;
}

// Bookkeeping after every child (move or null move) has been taken back.
// True when the search must stop. The main search thread keeps the clock;
// helpers read it too, so that a main thread starved of the processor by
// many helpers does not overrun it. Every thread watches the node limit,
// summed over the threads.
bool child_done() {
    const std::uint64_t nodes = count_node(this_worker->move_nodes);
    if ((nodes & CLOCK_CHECK_MASK) == 0 && time_limited.load(std::memory_order_acquire)) {
        bool out_of_time = false;
        if (is_main_search_thread()) {
            update_elapsed();
            out_of_time = search_time_exceeded() || deadline_passed();
        } else {
            out_of_time = helper_clock_expired();
        }
        if (out_of_time) {
            stop_search.store(true, std::memory_order_relaxed);
            return true;
        }
    }
    if (node_limit_reached()) stop_search.store(true, std::memory_order_relaxed);
    return stop_search.load(std::memory_order_relaxed);
}

// Bounds in the mate range are kept as plain mate bounds.
int clamp_to_mate_bound(int score) {
    if (score >= MATE_BOUND) return MATE_BOUND;
    if (score <= -MATE_BOUND) return -MATE_BOUND;
    return score;
}

}  // namespace

// Draw by repetition. Close to the root a position must have occurred twice,
// so that a single repetition does not end the line too early.
bool repeats_earlier_position() {
    const int needed = this_worker->search_ply >= 4 ? 1 : 2;
    return count_repetitions(needed) == needed;
}

namespace {

// Draws by the rules, or by too little material to mate.
inline bool drawn_here() {
    return insufficient_material() || position.state.fifty_counter >= 100 ||
           repeats_earlier_position();
}

// No score can be better than mating at once nor worse than being mated here.
inline void bound_by_mate_distance(int& alpha, int& beta) {
    const int ply = this_worker->search_ply;
    if (alpha <= ply - MATE_SCORE) alpha = ply - MATE_SCORE;
    if (beta >= MATE_SCORE - 1 - ply) beta = MATE_SCORE - 1 - ply;
}

// The capture search takes over; the deepest ply reached is recorded.
inline int horizon_score(int alpha, int beta) {
    Worker& w = *this_worker;
    if (w.search_ply > w.sel_depth) w.sel_depth = w.search_ply;
    return quiescence(alpha, beta);
}

inline bool outside_mate_range(int score) {
    return score >= -(MATE_BOUND - 1) && score <= MATE_BOUND - 1;
}

// Null move: if passing still fails high, the position is good enough. True
// when the node ends here, with its score in result.
inline bool null_move_cutoff(int alpha, int beta, int depth, int& result) {
    make_null_move();
    ++this_worker->search_ply;
    const int s = -alpha_beta(-beta, -beta + 1, depth - null_move_reduction(depth), 0, 0);
    unmake_null_move();
    --this_worker->search_ply;
    if (child_done()) {
        result = alpha;
        return true;
    }
    result = beta;
    return s >= beta;
}

// Futility: close to the horizon, quiet moves cannot lift a hopeless static
// score. True when later quiet moves may be skipped; best is then that score.
inline bool futile(int alpha, int depth, int& best) {
    const int e = evaluate() + futility_margin[depth];
    if (e > alpha) return false;
    best = e;
    return true;
}

// ---- Children being searched, with several search threads: a thread leaves
// a child another thread is searching for the end of its move list, so that
// the two search different moves rather than the same one twice.
constexpr int BUSY_MIN_DEPTH = 3;             // children of less remaining depth are left alone
constexpr int BUSY_MAX_PLY = 8;               // as are those further than this from the root
constexpr std::uint64_t BUSY_OWNER = 0xFFFF;  // a slot's bits naming the thread (its index + 1)
constexpr int BUSY_SLOTS = 1024;
// [key's bits 16..25]: a child's key being searched, its owner bits those of the
// thread searching it; 0: none. Any search thread, relaxed.
std::atomic<std::uint64_t> busy_children[BUSY_SLOTS];

inline std::atomic<std::uint64_t>& busy_slot(std::uint64_t key) {
    return busy_children[(key >> 16) % BUSY_SLOTS];
}

// The position on the board is a child another thread is searching.
inline bool busy_elsewhere() {
    const std::uint64_t key = position.state.key;
    const std::uint64_t slot = busy_slot(key).load(std::memory_order_relaxed);
    return (slot & ~BUSY_OWNER) == (key & ~BUSY_OWNER) &&
           (slot & BUSY_OWNER) != static_cast<std::uint64_t>(this_worker->index + 1);
}

// Marks the position on the board as searched by this thread when its slot is
// free; the mark to give back to unmark_busy, 0 when none was made.
inline std::uint64_t mark_busy() {
    const std::uint64_t key = position.state.key;
    std::uint64_t free = 0;
    const std::uint64_t mark =
        (key & ~BUSY_OWNER) | static_cast<std::uint64_t>(this_worker->index + 1);
    return busy_slot(key).compare_exchange_strong(free, mark, std::memory_order_relaxed) ? mark : 0;
}

inline void unmark_busy(std::uint64_t mark) {
    if (mark != 0) busy_slot(mark).store(0, std::memory_order_relaxed);
}

enum class Child { SEARCHED, SKIPPED, STOPPED, DEFERRED };

// A child of this depth, this far from the root, takes part in the marks.
inline bool shares_child(int depth) {
    return several_search_threads && depth >= BUSY_MIN_DEPTH &&
           this_worker->search_ply <= BUSY_MAX_PLY;
}

// Plays the move and searches it: the first legal move with the full window,
// later ones with a zero window first and again with the full one when they
// land inside it. Illegal moves, and quiet moves once futility has been found,
// are SKIPPED; STOPPED when the search must stop. With may_defer, a later
// move whose child another thread is searching is DEFERRED, to be searched last.
inline Child search_child(Move m, int sc, int depth, int alpha, int beta, bool prune,
                          bool may_defer, bool& searched, int& s) {
    make_move(m);
    // Below depth 2 the child is most likely a capture-search node.
    if (depth >= 2)
        tt_prefetch();
    else
        eval_cache_prefetch();
    if (!last_move_legal(move_castle_kind(m))) {
        unmake_move();
        return Child::SKIPPED;
    }
    ++this_worker->search_ply;
    const int gc = move_gives_check() ? 1 : 0;
    // Checks and pushes to the seventh rank (odd score) are not reduced.
    const int nd = (gc || (sc & 1)) ? depth : depth - 1;
    const bool later = searched;
    if (later && prune && !gc && sc == 0) {
        unmake_move();
        --this_worker->search_ply;
        return Child::SKIPPED;
    }
    const bool shared = shares_child(nd);
    if (shared && may_defer && later && busy_elsewhere()) {
        unmake_move();
        --this_worker->search_ply;
        return Child::DEFERRED;
    }
    const std::uint64_t mark = shared ? mark_busy() : 0;
    if (!later) {
        searched = true;
        s = -alpha_beta(-beta, -alpha, nd, 1, gc);
    } else {
        s = -alpha_beta(-alpha - 1, -alpha, nd, 1, gc);
        if (s > alpha && s < beta) s = -alpha_beta(-beta, -alpha, nd, 1, gc);
    }
    unmark_busy(mark);
    unmake_move();
    --this_worker->search_ply;
    return child_done() ? Child::STOPPED : Child::SEARCHED;
}

// The result of a node that did not fail high: exact with its best move when
// some move raised alpha (mates stored as distance from this position), else
// an upper bound.
inline void store_result(int best, int depth, bool raised, Move best_move_here) {
    if (!raised) {
        tt_store(clamp_to_mate_bound(best), depth, BOUND_UPPER, 0);
        return;
    }
    int stored = best;
    const int ply = this_worker->search_ply;
    if (best >= MATE_BOUND) {
        stored = best + ply;
    } else if (best <= -MATE_BOUND) {
        stored = best - ply;
    }
    tt_store(stored, depth, BOUND_EXACT, best_move_here);
}

}  // namespace

int alpha_beta(int alpha, int beta, int depth, int null_ok, int in_check) {
    if (drawn_here()) return 0;
    bound_by_mate_distance(alpha, beta);
    if (alpha >= beta) return alpha;
    // Chains of checks can run past the killer tables: those nodes end here too.
    if (depth <= 0 || this_worker->search_ply >= MAX_PLY) return horizon_score(alpha, beta);

    int score = 0;
    Move hash_move = 0;
    if (tt_probe(alpha, beta, depth, score, hash_move)) return score;
    // Right after a capture or pawn move the endgame tables may know the result.
    if (tablebase_pieces != 0 && tablebase_node(depth, score)) return score;

    const bool zero_window = beta == alpha + 1;
    if (zero_window && null_ok && !in_check && depth >= 2 &&
        position.state.piece_material > NULL_MOVE_MIN_MATERIAL && outside_mate_range(beta) &&
        null_move_cutoff(alpha, beta, depth, score))
        return score;

    // Internal iterative deepening finds a move to search first.
    if (hash_move == 0 && depth >= IID_MIN_DEPTH) {
        alpha_beta(alpha, beta, depth - IID_REDUCTION, 0, in_check);
        hash_move = tt_probe_move();
    }

    int best = -INFINITE_SCORE;
    const bool prune = depth <= FUTILITY_MAX_DEPTH && zero_window && !in_check &&
                       outside_mate_range(alpha) && futile(alpha, depth, best);

    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = generate_moves(list);
    score_moves(count, hash_move, list);
    Move best_move_here = hash_move;
    bool searched = false;
    bool raised = false;

    // The moves in order, then those left for another thread's child, in theirs.
    int deferred[MOVE_LIST_CAPACITY];
    int deferred_count = 0;
    for (int k = 0; k < count + deferred_count; ++k) {
        const bool first_pass = k < count;
        if (first_pass) pick_next_move(k, count, list);
        const int index = first_pass ? k : deferred[k - count];
        const Move m = list[index].move;
        const int sc = list[index].score;
        int s = 0;
        const Child child = search_child(m, sc, depth, alpha, beta, prune, first_pass, searched, s);
        if (child == Child::DEFERRED) deferred[deferred_count++] = index;
        if (child == Child::SKIPPED || child == Child::DEFERRED) continue;
        if (child == Child::STOPPED) return alpha;
        if (s <= best) continue;
        best = s;
        if (s <= alpha) continue;
        if (sc < KILLER_LIMIT) update_killers(m, this_worker->search_ply);
        if (s >= beta) {
            tt_store(clamp_to_mate_bound(s), depth, BOUND_LOWER, m);
            return s;
        }
        alpha = s;
        raised = true;
        best_move_here = m;
    }

    if (!searched) return in_check ? this_worker->search_ply - MATE_SCORE : 0;
    store_result(best, depth, raised, best_move_here);
    return best;
}
