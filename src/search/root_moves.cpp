// The root moves as the search's result: one record per root move, the lines'
// first moves in front, and the moves the front end allows at the root.
#include <algorithm>

#include "search/internal.h"

namespace {

bool in_set(Move m, const RootMoveSet& set) {
    return std::find(set.moves, set.moves + set.count, m) != set.moves + set.count;
}

// The index of m's record in w, or w.root_move_count when it has none.
int record_of(const Worker& w, Move m) {
    int i = 0;
    while (i < w.root_move_count && w.root_moves[i].move != m) ++i;
    return i;
}

}  // namespace

int allow_root_moves(MoveEntry* list, int count) {
    const RootMoveSet& allowed = search_limits.allowed;
    if (!allowed.restricted) return count;
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (in_set(list[i].move, allowed)) list[kept++] = list[i];
    return kept;
}

void start_root_moves(const MoveEntry* list, int count) {
    Worker& w = *this_worker;
    w.root_move_count = count;
    for (int i = 0; i < count; ++i) {
        RootMove& r = w.root_moves[i];
        r.move = list[i].move;
        r.score = r.previous_score = -INFINITE_SCORE;
        r.sel_depth = r.depth = 0;
        r.pv_length = 0;
    }
}

void start_root_iteration() {
    Worker& w = *this_worker;
    for (int i = 0; i < w.root_move_count; ++i)
        w.root_moves[i].previous_score = w.root_moves[i].score;
}

bool is_root_move(Move m) {
    return record_of(*this_worker, m) < this_worker->root_move_count;
}

void note_root_score(Move m, int score) {
    Worker& w = *this_worker;
    const int i = record_of(w, m);
    if (i < w.root_move_count) w.root_moves[i].score = score;
}

void finish_line(int line, Move m, int score, int depth, int sel) {
    Worker& w = *this_worker;
    const int i = record_of(w, m);
    if (i >= w.root_move_count || i < line) return;
    // The lines' first moves in front, the other moves in the order they had.
    std::rotate(w.root_moves + line, w.root_moves + i, w.root_moves + i + 1);
    RootMove& r = w.root_moves[line];
    r.score = score;
    r.sel_depth = sel;
    r.depth = depth;
    r.pv_length = collect_root_pv(m, r.pv, MAX_PV_LENGTH);
}

void sort_lines(int lines) {
    RootMove* const records = this_worker->root_moves;
    std::stable_sort(records, records + lines,
                     [](const RootMove& a, const RootMove& b) { return a.score > b.score; });
}

int moves_outside_lines(const MoveEntry* list, int count, int lines, MoveEntry* rest) {
    const RootMove* const records = this_worker->root_moves;
    int left = 0;
    for (int i = 0; i < count; ++i) {
        bool taken = false;
        for (int k = 0; k < lines && !taken; ++k) taken = records[k].move == list[i].move;
        if (!taken) rest[left++] = list[i];
    }
    return left;
}
