// Move ordering: hash move and killers on top, best remaining move picked first.
#include "search/search.h"

Move killer_1[MAX_PLY], killer_2[MAX_PLY], killer_3[MAX_PLY];

void score_moves(int count, Move hash_move, MoveEntry* list) {
    const int p = search_ply;
    for (int i = 0; i < count; ++i) {
        const Move m = list[i].move;
        // Bit 0 is the generator's mark (seventh-rank push, safe capture); keep it.
        const int odd = list[i].score & 1;
        if (m == hash_move) {
            list[i].score = HASH_MOVE_SCORE + odd;
        } else if (m == killer_1[p]) {
            list[i].score = KILLER_1_SCORE + odd;
        } else if (m == killer_2[p]) {
            list[i].score = KILLER_2_SCORE + odd;
        } else if (m == killer_3[p]) {
            list[i].score = KILLER_3_SCORE + odd;
        }
    }
}

void pick_next_move(int index, int count, MoveEntry* list) {
    // Scanning from the end decides which of equal scores goes first.
    for (int i = count - 1; i > index; --i) {
        if (list[i].score > list[index].score) {
            const MoveEntry swapped = list[index];
            list[index] = list[i];
            list[i] = swapped;
        }
    }
}

void update_killers(Move move, int ply) {
    if (move == killer_1[ply]) return;
    if (move == killer_2[ply]) {
        killer_2[ply] = killer_1[ply];
        killer_1[ply] = move;
        return;
    }
    killer_3[ply] = killer_2[ply];
    killer_2[ply] = killer_1[ply];
    killer_1[ply] = move;
}
