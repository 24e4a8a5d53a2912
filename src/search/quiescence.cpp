// The capture search below the horizon: stand pat and winning or even captures,
// or every reply when in check.
#include "eval/eval.h"
#include "search/internal.h"

namespace {

constexpr std::uint32_t CAPTURE_POLL_MASK = 1024 - 1;  // the clock is read every 1024 nodes

bool stopped() {
    return stop_search.load(std::memory_order_relaxed);
}

// Searches the move just made (known legal) from the opponent's side.
int search_reply(int alpha, int beta) {
    ++this_worker->search_ply;
    const int s =
        move_gives_check() ? -quiescence_evasions(-beta, -alpha) : -quiescence(-beta, -alpha);
    unmake_move();
    --this_worker->search_ply;
    return s;
}

}  // namespace

int quiescence(int alpha, int beta) {
    if (insufficient_material()) return 0;
    // A position rich in captures can keep the search here for seconds: it
    // must hear a stop and the deadline too. What a stopped node returns is
    // never used.
    if ((count_node(this_worker->capture_nodes) & CAPTURE_POLL_MASK) == 0 && poll_stop())
        return alpha;

    const int e = evaluate();
    int best = e;
    if (e > alpha) {
        if (e >= beta) return e;
        alpha = e;
    }
    // Endless chains of checking evasions stop here, before the history runs out.
    if (this_worker->search_ply >= MAX_SEARCH_PLY) return best;

    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = generate_captures(list);
    for (int index = 0; index < count; ++index) {
        pick_next_move(index, count, list);
        const Move m = list[index].move;
        // An even score may lose material: the exchange on the square decides.
        if ((list[index].score & 1) == 0 && static_exchange(m) < 0) continue;
        make_move(m);
        eval_cache_prefetch();
        if (!last_move_legal(move_castle_kind(m))) {
            unmake_move();
            continue;
        }
        const int s = search_reply(alpha, beta);
        if (stopped()) return best;
        if (s > best) {
            best = s;
            if (s > alpha) {
                if (s >= beta) return s;
                alpha = s;
            }
        }
    }
    return best;
}

int quiescence_evasions(int alpha, int beta) {
    if (insufficient_material()) return 0;
    if ((count_node(this_worker->capture_nodes) & CAPTURE_POLL_MASK) == 0 && poll_stop())
        return alpha;
    if (this_worker->search_ply >= MAX_SEARCH_PLY) return evaluate();

    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = generate_moves(list);
    int best = -INFINITE_SCORE;
    bool legal = false;
    for (int index = 0; index < count; ++index) {
        pick_next_move(index, count, list);
        const Move m = list[index].move;
        make_move(m);
        eval_cache_prefetch();
        if (!last_move_legal(move_castle_kind(m))) {
            unmake_move();
            continue;
        }
        legal = true;
        const int s = search_reply(alpha, beta);
        if (stopped()) return best;
        if (s > best) {
            best = s;
            if (s > alpha) {
                if (s >= beta) return s;
                alpha = s;
            }
        }
    }
    if (!legal) return this_worker->search_ply - MATE_SCORE;  // checkmated here
    return best;
}
