// The search's use of the endgame tablebases: outcomes as scores, the probe
// at nodes after a capture or pawn move, and the root moves the tables keep.
#include <algorithm>

#include "search/internal.h"
#include "tablebase/tablebase.h"

int syzygy_probe_depth = 1;
bool syzygy_fifty_move_rule = true;

namespace {

constexpr int MAX_TB_DISTANCE = TB_WIN_SCORE - TB_WIN_BOUND;  // plies a score can count

// [wdl + 2]: the score of a loss, blessed loss, draw, cursed win and win, no plies away.
constexpr int SCORE_OF_WDL[5] = {-TB_WIN_SCORE, -TB_CURSED_SCORE, 0, TB_CURSED_SCORE, TB_WIN_SCORE};
// [wdl + 2]: the outcome when the fifty-move rule is not applied.
constexpr int WDL_WITHOUT_RULE[5] = {WDL_LOSS, WDL_LOSS, WDL_DRAW, WDL_WIN, WDL_WIN};

bool root_ranked = false;  // the tables ranked this search's root; main search thread
int root_score = 0;        // the root's score from the tables when root_ranked; main search thread

}  // namespace

int tablebase_score(int wdl, int plies) {
    if (!syzygy_fifty_move_rule) wdl = WDL_WITHOUT_RULE[wdl + 2];
    const int s = SCORE_OF_WDL[wdl + 2];
    const int distance = std::clamp(plies, 0, MAX_TB_DISTANCE);
    if (s == TB_WIN_SCORE) return s - distance;
    if (s == -TB_WIN_SCORE) return s + distance;
    return s;
}

bool tablebase_node(int depth, int& score) {
    if (position.state.fifty_counter != 0 || depth < syzygy_probe_depth) return false;
    int wdl = 0;
    if (!tablebase_probe_wdl(wdl)) return false;
    count_node(this_worker->tb_hits);
    score = tablebase_score(wdl, this_worker->search_ply);
    // A won position may still be mated sooner than the score says: a win is
    // at least its score, a loss at most its score.
    const int bound = score >= TB_WIN_BOUND    ? BOUND_LOWER
                      : score <= -TB_WIN_BOUND ? BOUND_UPPER
                                               : BOUND_EXACT;
    tt_store(score, depth, bound, 0);
    return true;
}

int restrict_root_moves(MoveEntry* list, int count) {
    root_ranked = false;
    TablebaseRoot root{};
    if (tablebase_pieces == 0 || !tablebase_rank_root(list, count, syzygy_fifty_move_rule, root))
        return count;
    root_ranked = true;
    root_score = tablebase_score(root.wdl, root.dtz);
    return root.kept;
}

int reported_score(int s) {
    const bool mate = s >= MATE_BOUND || s <= -MATE_BOUND;
    return root_ranked && !mate ? root_score : s;
}
