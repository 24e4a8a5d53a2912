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

// Attacks by the pieces of colour By on mailbox square s, on the board as it
// stands or, for the castling test, with the squares in moved emptied or
// filled. Sliders are only followed along their lines when one stands on a
// line through the square.
template <int By>
inline bool attacked_by(int s, SquareSet moved = 0) {
    using T = SideTraits<By>;
    const SquareSet* pieces = position.piece_squares;
    if ((pawn_attackers[By][s] & pieces[T::pawn]) || (knight_reach[s] & pieces[T::knight]) ||
        (king_reach[s] & pieces[T::king]))
        return true;
    const SquareSet queens = pieces[T::queen];
    const SquareSet diagonal = (pieces[T::bishop] | queens) & diagonal_reach[s];
    const SquareSet straight = (pieces[T::rook] | queens) & straight_reach[s];
    if ((diagonal | straight) == 0) return false;
    const int i = square64[s];
    const SquareSet occupied =
        (position.colour_squares[WHITE] | position.colour_squares[BLACK]) ^ moved;
    return (diagonal != 0 && slider_attacks<true>(i, diagonal, occupied)) ||
           (straight != 0 && slider_attacks<false>(i, straight, occupied));
}

// Castling also needs every square from the king's start to its end, both
// included, unattacked on the board as it was before the move, where the
// castling rook did not yet shield them. (The king's new square is tested on
// the board after the move as well, like after every move.) Rare: kept out
// of the test of every other move.
template <int By>
__attribute__((noinline, cold)) bool castling_path_attacked(int castle_kind) {
    if (castle_kind > CASTLE_QUEEN_SIDE) return true;
    const int right = castle_right(By ^ 1, castle_kind);
    const CastlingGeometry& g = position.castling;
    for (SquareSet path = g.king_path[right]; path != 0; path &= path - 1)
        if (attacked_by<By>(squares_a1_h8[first_index(path)], g.moved_squares[right])) return true;
    return false;
}

// After a move of Mover: its king is not attacked, nor, for castling, the
// squares the king started from and passed over.
template <int Mover>
inline bool mover_king_safe(int castle_kind) {
    constexpr int By = Mover ^ 1;
    if (attacked_by<By>(position.state.king_square[Mover])) return false;
    return castle_kind == 0 || !castling_path_attacked<By>(castle_kind);
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
    return position.state.side_to_move == BLACK ? mover_king_safe<WHITE>(castle_kind)
                                                : mover_king_safe<BLACK>(castle_kind);
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

int legal_moves(MoveEntry* list) {
    return filter_legal(generate_moves(list), list);
}

int legal_move_count() {
    MoveEntry list[MOVE_LIST_CAPACITY];
    return legal_moves(list);
}

bool is_legal(Move m) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = legal_moves(list);
    for (int i = 0; i < count; ++i)
        if (list[i].move == m) return true;
    return false;
}
