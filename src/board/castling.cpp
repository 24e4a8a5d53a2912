// Castling as data: from the squares of the kings and of the castling rooks,
// the squares that must be empty and unattacked, where the pieces go, and
// which squares cost a right when a piece leaves them or is taken there.
#include <cstring>

#include "board/board.h"
#include "board/side_traits.h"

namespace {

// The squares from a to b on one rank, both included.
SquareSet squares_between(int a, int b) {
    SquareSet s = 0;
    for (int sq = a < b ? a : b; sq <= (a < b ? b : a); ++sq) s |= square_bit[sq];
    return s;
}

template <int Side>
void set_side(const int rook_from[CASTLE_RIGHTS], CastlingGeometry& g) {
    using T = SideTraits<Side>;
    const int king = position.state.king_square[Side];
    for (int kind = CASTLE_KING_SIDE; kind <= CASTLE_QUEEN_SIDE; ++kind) {
        const int right = castle_right(Side, kind);
        const int rook = rook_from[right];
        g.king_to[right] = T::castle_king_to[kind - 1];
        g.rook_to[right] = T::castle_rook_to[kind - 1];
        position.state.*CASTLE_FLAGS[right] = rook != 0;
        if (rook == 0) continue;
        const int king_to = g.king_to[right], rook_to = g.rook_to[right];
        g.rook_from[right] = rook;
        g.king_path[right] = squares_between(king, king_to);
        g.must_be_empty[right] = (g.king_path[right] | squares_between(rook, rook_to)) &
                                 ~(square_bit[king] | square_bit[rook]);
        g.moved_squares[right] =
            square_bit[king] ^ square_bit[king_to] ^ square_bit[rook] ^ square_bit[rook_to];
        g.lost_on_leaving[king] |= static_cast<std::uint8_t>(1 << right);
        g.lost_on_leaving[rook] |= static_cast<std::uint8_t>(1 << right);
    }
}

// In Chess960 a right ends with its rook; standard chess keeps the flag (the
// generator looks for the rook itself) and with it the keys it always had.
void set_lost_on_capture(CastlingGeometry& g) {
    std::memset(g.lost_on_capture, 0, sizeof g.lost_on_capture);
    if (!position.chess960) return;
    for (int right = 0; right < CASTLE_RIGHTS; ++right)
        if (const int rook = g.rook_from[right])
            g.lost_on_capture[rook] |= static_cast<std::uint8_t>(1 << right);
}

}  // namespace

void set_castling_rights(const int rook_from[CASTLE_RIGHTS]) {
    CastlingGeometry& g = position.castling;
    std::memset(&g, 0, sizeof g);
    set_side<WHITE>(rook_from, g);
    set_side<BLACK>(rook_from, g);
    set_lost_on_capture(g);
}

void set_chess960(bool on) {
    position.chess960 = on;
    set_lost_on_capture(position.castling);
}
