// Move ordering: hash move and killers on top, best remaining move picked first.
#include "search/search.h"

Move killer_1[MAX_PLY], killer_2[MAX_PLY], killer_3[MAX_PLY];

void score_moves(int count, Move hash_move, MoveEntry* list) {
    const int p = search_ply;
    const Move k1 = killer_1[p], k2 = killer_2[p], k3 = killer_3[p];
    // Each move stands in the list once, so the scan may end when every
    // distinct move to look for has been met.
    int unmet = (hash_move != 0) + (k1 != 0 && k1 != hash_move) +
                (k2 != 0 && k2 != hash_move && k2 != k1) +
                (k3 != 0 && k3 != hash_move && k3 != k1 && k3 != k2);
    for (int i = 0; i < count && unmet > 0; ++i) {
        const Move m = list[i].move;
        // Bit 0 is the generator's mark (seventh-rank push, safe capture); keep it.
        const int odd = list[i].score & 1;
        if (m == hash_move) {
            list[i].score = HASH_MOVE_SCORE + odd;
        } else if (m == k1) {
            list[i].score = KILLER_1_SCORE + odd;
        } else if (m == k2) {
            list[i].score = KILLER_2_SCORE + odd;
        } else if (m == k3) {
            list[i].score = KILLER_3_SCORE + odd;
        } else {
            continue;
        }
        --unmet;
    }
}

void pick_next_move(int index, int count, MoveEntry* list) {
    // Scanning from the end decides which of equal scores goes first.
    for (int i = count - 1; i > index; --i) {
        if (list[i].score > list[index].score) {
            const MoveEntry swapped = list[index];
            list[index] = list[i];
            list[i] = swapped;
            // Only the hash move scores HASH_MOVE_SCORE or more (the generators
            // stay below 20000, the killers below 9000) and it stands in the
            // list once: nothing further along can be higher.
            if (list[index].score >= HASH_MOVE_SCORE) return;
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
