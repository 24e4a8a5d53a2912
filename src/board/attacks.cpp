// Square attacks, check and legality. Each test asks the square sets whether a
// piece of the attacking side stands where it could attack from; a slider only
// counts when it is the first piece along its line.
#include "board/board.h"
#include "board/side_traits.h"

namespace {

// Whether the first piece along any line from square index i of the kind
// (diagonal or not) belongs to sliders.
template <bool Diagonal>
inline bool slider_attacks(int i, SquareSet sliders, SquareSet occupied) {
    for (int ray = Diagonal ? 1 : 0; ray < 8; ray += 2) {
        const SquareSet line = ray_squares[ray][i];
        if ((line & sliders) == 0) continue;
        const SquareSet blockers = line & occupied;
        const int first = ray_ascends(ray) ? first_index(blockers) : last_index(blockers);
        if (sliders >> first & 1) return true;
    }
    return false;
}

// Attacks by the pieces of colour By on mailbox square s.
template <int By>
bool attacked_by(int s) {
    using T = SideTraits<By>;
    const SquareSet* pieces = position.piece_squares;
    const int i = square64[s];
    if ((pawn_attackers[By][i] & pieces[T::pawn]) || (knight_reach[i] & pieces[T::knight]) ||
        (king_reach[i] & pieces[T::king]))
        return true;
    const SquareSet occupied = position.colour_squares[WHITE] | position.colour_squares[BLACK];
    const SquareSet queens = pieces[T::queen];
    return slider_attacks<true>(i, pieces[T::bishop] | queens, occupied) ||
           slider_attacks<false>(i, pieces[T::rook] | queens, occupied);
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
