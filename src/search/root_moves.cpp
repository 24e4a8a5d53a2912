// The root moves as the search's result: one record per root move, the lines'
// first moves in front, and the moves the front end allows at the root.
#include <algorithm>

#include "search/search.h"

RootMove root_moves[MOVE_LIST_CAPACITY];
int root_move_count = 0;

namespace {

bool in_set(Move m, const RootMoveSet& set) {
    return std::find(set.moves, set.moves + set.count, m) != set.moves + set.count;
}

// The index of m's record, or root_move_count when it has none.
int record_of(Move m) {
    int i = 0;
    while (i < root_move_count && root_moves[i].move != m) ++i;
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
    root_move_count = count;
    for (int i = 0; i < count; ++i) {
        root_moves[i].move = list[i].move;
        root_moves[i].score = root_moves[i].previous_score = -INFINITE_SCORE;
        root_moves[i].sel_depth = 0;
        root_moves[i].pv_length = 0;
    }
}

void start_root_iteration() {
    for (int i = 0; i < root_move_count; ++i) root_moves[i].previous_score = root_moves[i].score;
}

void note_root_score(Move m, int score) {
    const int i = record_of(m);
    if (i < root_move_count) root_moves[i].score = score;
}

void finish_line(int line, Move m, int score, int sel) {
    const int i = record_of(m);
    if (i >= root_move_count || i < line) return;
    // The lines' first moves in front, the other moves in the order they had.
    std::rotate(root_moves + line, root_moves + i, root_moves + i + 1);
    RootMove& r = root_moves[line];
    r.score = score;
    r.sel_depth = sel;
    r.pv_length = collect_root_pv(m, r.pv, MAX_PV_LENGTH);
}

void sort_lines(int lines) {
    std::stable_sort(root_moves, root_moves + lines,
                     [](const RootMove& a, const RootMove& b) { return a.score > b.score; });
}

int moves_outside_lines(const MoveEntry* list, int count, int lines, MoveEntry* rest) {
    int left = 0;
    for (int i = 0; i < count; ++i) {
        bool taken = false;
        for (int k = 0; k < lines && !taken; ++k) taken = root_moves[k].move == list[i].move;
        if (!taken) rest[left++] = list[i];
    }
    return left;
}
