// Move ordering: hash move and killers on top, best remaining move picked first.
#include "search/internal.h"

namespace {

// A cheap first test of a move against the hash move and the killers: one bit
// per destination square (mailbox number modulo 64) of each of them.
inline std::uint64_t destination_bit(Move m) {
    return m != 0 ? std::uint64_t{1} << (move_to(m) & 63) : 0;
}

}  // namespace

void score_moves(int count, Move hash_move, MoveEntry* list) {
    const Worker& w = *this_worker;
    const int p = w.search_ply;
    const Move k1 = w.killer_1[p], k2 = w.killer_2[p], k3 = w.killer_3[p];
    const std::uint64_t destinations = destination_bit(hash_move) | destination_bit(k1) |
                                       destination_bit(k2) | destination_bit(k3);
    for (int i = 0; i < count; ++i) {
        const Move m = list[i].move;
        if ((destinations >> (move_to(m) & 63) & 1) == 0) continue;
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
            // Only the hash move scores HASH_MOVE_SCORE or more (the generators
            // stay below 20000, the killers below 9000) and it stands in the
            // list once: nothing further along can be higher.
            if (list[index].score >= HASH_MOVE_SCORE) return;
        }
    }
}

void update_killers(Move move, int ply) {
    Worker& w = *this_worker;
    if (move == w.killer_1[ply]) return;
    if (move == w.killer_2[ply]) {
        w.killer_2[ply] = w.killer_1[ply];
        w.killer_1[ply] = move;
        return;
    }
    w.killer_3[ply] = w.killer_2[ply];
    w.killer_2[ply] = w.killer_1[ply];
    w.killer_1[ply] = move;
}
