// Square attacks, check and legality. No attack tables: each test scans
// outwards from the square and stops at the first attacker.
#include "board/board.h"
#include "board/side_traits.h"

namespace {

// One direction of an attack test, with everything known at compile time.
template <int By, int D>
inline bool attacked_along(const int* b, int s) {
    using T = SideTraits<By>;
    constexpr bool diagonal = D == 9 || D == 11 || D == -9 || D == -11;
    // A pawn attacks from the squares it captures from: black's from above.
    constexpr bool pawn_direction = D == -T::capture_first || D == -T::capture_second;
    int t = s + D;
    int code = b[t];
    if (code == T::king) return true;
    if (pawn_direction && code == T::pawn) return true;
    while (code == EMPTY) {
        t += D;
        code = b[t];
    }
    return diagonal ? (code == T::bishop || code == T::queen)
                    : (code == T::rook || code == T::queen);
}

template <int By, int... Dirs>
inline bool attacked_along_all(const int* b, int s) {
    return (attacked_along<By, Dirs>(b, s) || ...);
}

// Attacks by the pieces of colour By, looked for from the attacker's side first.
template <int By>
bool attacked_by(int s) {
    using T = SideTraits<By>;
    const int* b = position.board;
    const bool slider_or_near =
        By == BLACK ? attacked_along_all<BLACK, 9, 10, 11, 1, -1, -11, -10, -9>(b, s)
                    : attacked_along_all<WHITE, -11, -10, -9, 1, -1, 9, 10, 11>(b, s);
    if (slider_or_near) return true;
    for (int d : SideTraits<1 - By>::knight_dirs)
        if (b[s + d] == T::knight) return true;
    return false;
}

}  // namespace

bool attacked_by_white(int square) {
    return attacked_by<WHITE>(square);
}
bool attacked_by_black(int square) {
    return attacked_by<BLACK>(square);
}

bool in_check() {
    const PositionState& st = position.state;
    return st.side_to_move == WHITE ? attacked_by<BLACK>(st.king_square[WHITE])
                                    : attacked_by<WHITE>(st.king_square[BLACK]);
}

bool move_gives_check() {
    return in_check();
}

bool last_move_legal(int castle_kind) {
    const PositionState& st = position.state;
    if (st.side_to_move == BLACK) {  // white has just moved
        if (attacked_by<BLACK>(st.king_square[WHITE])) return false;
        switch (castle_kind) {
            case 0:
                return true;
            case CASTLE_KING_SIDE:
                return !attacked_by<BLACK>(E1) && !attacked_by<BLACK>(F1);
            case CASTLE_QUEEN_SIDE:
                return !attacked_by<BLACK>(D1) && !attacked_by<BLACK>(E1);
            default:
                return false;
        }
    }
    if (attacked_by<WHITE>(st.king_square[BLACK])) return false;
    switch (castle_kind) {
        case 0:
            return true;
        case CASTLE_KING_SIDE:
            return !attacked_by<WHITE>(E8) && !attacked_by<WHITE>(F8);
        case CASTLE_QUEEN_SIDE:
            return !attacked_by<WHITE>(D8) && !attacked_by<WHITE>(E8);
        default:
            return false;
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
