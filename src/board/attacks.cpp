// Square attacks, check and legality. No attack tables: each test scans
// outwards from the square and stops at the first attacker.
#include "board/board.h"
#include "board/side_traits.h"

namespace {

// Attacks by the pieces of colour By. The directions are looked at from the
// attacker's side first: black's from above, white's from below.
template <int By>
bool attacked_by(int s) {
    using T = SideTraits<By>;
    const int* b = position.board;
    constexpr int pawn_from_first = -T::capture_second;  // a pawn here captures onto s
    constexpr int pawn_from_second = -T::capture_first;
    for (int d : SideTraits<1 - By>::queen_dirs) {
        const int n = s + d;
        const int near = b[n];
        if (near == T::king) return true;
        if (near == T::pawn && (d == pawn_from_first || d == pawn_from_second)) return true;
        int t = n;
        while (b[t] == EMPTY) t += d;
        const int code = b[t];
        const bool diagonal = d == 9 || d == 11 || d == -9 || d == -11;
        if (diagonal ? (code == T::bishop || code == T::queen)
                     : (code == T::rook || code == T::queen))
            return true;
    }
    for (int d : SideTraits<1 - By>::knight_dirs)
        if (b[s + d] == T::knight) return true;
    return false;
}

}  // namespace

bool attacked_by_white(int square) { return attacked_by<WHITE>(square); }
bool attacked_by_black(int square) { return attacked_by<BLACK>(square); }

bool in_check() {
    const PositionState& st = position.state;
    return st.side_to_move == WHITE ? attacked_by<BLACK>(st.king_square[WHITE])
                                    : attacked_by<WHITE>(st.king_square[BLACK]);
}

bool move_gives_check() { return in_check(); }

bool last_move_legal(int castle_kind) {
    const PositionState& st = position.state;
    if (st.side_to_move == BLACK) {  // white has just moved
        if (attacked_by<BLACK>(st.king_square[WHITE])) return false;
        switch (castle_kind) {
            case 0: return true;
            case CASTLE_KING_SIDE: return !attacked_by<BLACK>(E1) && !attacked_by<BLACK>(F1);
            case CASTLE_QUEEN_SIDE: return !attacked_by<BLACK>(D1) && !attacked_by<BLACK>(E1);
            default: return false;
        }
    }
    if (attacked_by<WHITE>(st.king_square[BLACK])) return false;
    switch (castle_kind) {
        case 0: return true;
        case CASTLE_KING_SIDE: return !attacked_by<WHITE>(E8) && !attacked_by<WHITE>(F8);
        case CASTLE_QUEEN_SIDE: return !attacked_by<WHITE>(D8) && !attacked_by<WHITE>(E8);
        default: return false;
    }
}

int filter_legal(int count, MoveEntry* list) {
    MoveEntry legal[MOVE_LIST_CAPACITY];
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        make_move(list[i].move);
        if (last_move_legal(move_castle_kind(list[i].move))) legal[kept++] = list[i];
        unmake_move();
    }
    for (int i = 0; i < kept; ++i) list[i] = legal[i];
    return kept;
}
