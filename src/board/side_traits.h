// Per-side constants of the board code: one table per colour, so the white and
// black variants of generation and attack tests share one template each.
// White's table is written out; Black's is White's mirrored rank for rank,
// every list in the same order.
#pragma once

#include <array>

#include "board/board.h"

template <int Side>
struct SideTraits;

template <>
struct SideTraits<WHITE> {
    static constexpr int first_piece = W_PAWN, last_piece = W_KING;
    static constexpr int first_victim = B_PAWN, last_victim = B_QUEEN;
    static constexpr int pawn = W_PAWN, knight = W_KNIGHT, bishop = W_BISHOP, rook = W_ROOK,
                         queen = W_QUEEN, king = W_KING;
    static constexpr int other_king = B_KING;
    static constexpr int push = 10;
    static constexpr int capture_first = 9, capture_second = 11;
    static constexpr int promotion_low = 91, promotion_high = 98;  // where a push promotes
    static constexpr int seventh_low = 81, seventh_high = 88;      // score-1 rank
    static constexpr int start_low = 31, start_high = 38;          // double push from
    static constexpr std::array<int, 8> knight_dirs = {19, 21, 8, 12, -12, -8, -21, -19};
    static constexpr std::array<int, 4> bishop_dirs = {9, 11, -11, -9};
    static constexpr std::array<int, 4> rook_dirs = {10, 1, -1, -10};
    static constexpr std::array<int, 8> queen_dirs = {9, 10, 11, 1, -1, -11, -10, -9};
    static constexpr std::array<int, 64> scan_order = {
        91, 92, 93, 94, 95, 96, 97, 98, 81, 82, 83, 84, 85, 86, 87, 88, 71, 72, 73, 74, 75, 76,
        77, 78, 61, 62, 63, 64, 65, 66, 67, 68, 51, 52, 53, 54, 55, 56, 57, 58, 41, 42, 43, 44,
        45, 46, 47, 48, 31, 32, 33, 34, 35, 36, 37, 38, 21, 22, 23, 24, 25, 26, 27, 28};
    static constexpr Move castle_king_side = W_CASTLE_KING_SIDE;
    static constexpr Move castle_queen_side = W_CASTLE_QUEEN_SIDE;
    static constexpr int home_rank = 20;  // e1 = home_rank + 5
    // [castle_kind - 1]: where castling takes the king and the rook, whatever their start.
    static constexpr std::array<int, 2> castle_king_to = {G1, C1};
    static constexpr std::array<int, 2> castle_rook_to = {F1, D1};
};

// ---- The mirror, rank for rank: a1 <-> a8, a step up <-> a step down.

// A mailbox square (or a rank's base, file 0) on the mirrored rank.
constexpr int mirror_square(int sq) {
    return 10 * (11 - sq / 10) + sq % 10;
}
// A step of up to two ranks and two files: the ranks turn round, the files stay.
constexpr int mirror_step(int step) {
    const int ranks = step >= 0 ? (step + 5) / 10 : -((5 - step) / 10);
    const int files = step - 10 * ranks;
    return -10 * ranks + files;
}
template <std::size_t N>
constexpr std::array<int, N> mirror_steps(const std::array<int, N>& steps) {
    std::array<int, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = mirror_step(steps[i]);
    return out;
}
template <std::size_t N>
constexpr std::array<int, N> mirror_squares(const std::array<int, N>& squares) {
    std::array<int, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = mirror_square(squares[i]);
    return out;
}
// A castling move: the same kind between the mirrored squares.
constexpr Move mirror_castling(Move m) {
    return pack_move(mirror_square(move_from(m)), mirror_square(move_to(m)), 0, 0,
                     move_castle_kind(m));
}
constexpr int COLOUR_OFFSET = B_PAWN - W_PAWN;  // a black piece's code less the white one's

template <>
struct SideTraits<BLACK> {
    using W = SideTraits<WHITE>;
    static constexpr int first_piece = W::first_piece + COLOUR_OFFSET;
    static constexpr int last_piece = W::last_piece + COLOUR_OFFSET;
    static constexpr int first_victim = W::first_piece, last_victim = W::queen;
    static constexpr int pawn = W::pawn + COLOUR_OFFSET, knight = W::knight + COLOUR_OFFSET,
                         bishop = W::bishop + COLOUR_OFFSET, rook = W::rook + COLOUR_OFFSET,
                         queen = W::queen + COLOUR_OFFSET, king = W::king + COLOUR_OFFSET;
    static constexpr int other_king = W::king;
    static constexpr int push = mirror_step(W::push);
    static constexpr int capture_first = mirror_step(W::capture_first);
    static constexpr int capture_second = mirror_step(W::capture_second);
    static constexpr int promotion_low = mirror_square(W::promotion_low);
    static constexpr int promotion_high = mirror_square(W::promotion_high);
    static constexpr int seventh_low = mirror_square(W::seventh_low);
    static constexpr int seventh_high = mirror_square(W::seventh_high);
    static constexpr int start_low = mirror_square(W::start_low);
    static constexpr int start_high = mirror_square(W::start_high);
    static constexpr std::array<int, 8> knight_dirs = mirror_steps(W::knight_dirs);
    static constexpr std::array<int, 4> bishop_dirs = mirror_steps(W::bishop_dirs);
    static constexpr std::array<int, 4> rook_dirs = mirror_steps(W::rook_dirs);
    static constexpr std::array<int, 8> queen_dirs = mirror_steps(W::queen_dirs);
    static constexpr std::array<int, 64> scan_order = mirror_squares(W::scan_order);
    static constexpr Move castle_king_side = mirror_castling(W::castle_king_side);
    static constexpr Move castle_queen_side = mirror_castling(W::castle_queen_side);
    static constexpr int home_rank = mirror_square(W::home_rank);
    static constexpr std::array<int, 2> castle_king_to = mirror_squares(W::castle_king_to);
    static constexpr std::array<int, 2> castle_rook_to = mirror_squares(W::castle_rook_to);
};

template <std::size_t N>
constexpr bool same_list(const std::array<int, N>& a, const std::array<int, N>& b) {
    for (std::size_t i = 0; i < N; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The castling moves of standard chess: the king from e1 or e8 to its castling square.
template <int Side>
constexpr bool standard_castling_moves() {
    using T = SideTraits<Side>;
    return pack_move(T::home_rank + 5, T::castle_king_to[0], 0, 0, CASTLE_KING_SIDE) ==
               T::castle_king_side &&
           pack_move(T::home_rank + 5, T::castle_king_to[1], 0, 0, CASTLE_QUEEN_SIDE) ==
               T::castle_queen_side;
}
static_assert(standard_castling_moves<WHITE>() && standard_castling_moves<BLACK>(),
              "castling moves name the king's move");

// The mirror gives Black what the board code has always used: its castling
// moves and direction orders.
static_assert(SideTraits<BLACK>::castle_king_side == B_CASTLE_KING_SIDE &&
                  SideTraits<BLACK>::castle_queen_side == B_CASTLE_QUEEN_SIDE,
              "Black's castling moves are White's mirrored");
static_assert(SideTraits<BLACK>::home_rank == 90 && SideTraits<BLACK>::push == -10 &&
                  SideTraits<BLACK>::capture_first == -11 &&
                  SideTraits<BLACK>::capture_second == -9,
              "Black's pawns move down the board");
static_assert(same_list(SideTraits<BLACK>::knight_dirs,
                        std::array<int, 8>{-21, -19, -12, -8, 8, 12, 19, 21}) &&
                  same_list(SideTraits<BLACK>::queen_dirs,
                            std::array<int, 8>{-11, -10, -9, 1, -1, 9, 10, 11}) &&
                  same_list(SideTraits<BLACK>::rook_dirs, std::array<int, 4>{-10, 1, -1, 10}) &&
                  same_list(SideTraits<BLACK>::bishop_dirs, std::array<int, 4>{-11, -9, 9, 11}),
              "Black's direction orders");
static_assert(SideTraits<BLACK>::scan_order[0] == A1 && SideTraits<BLACK>::scan_order[63] == H8 &&
                  SideTraits<BLACK>::promotion_low == A1 && SideTraits<BLACK>::start_low == 81 &&
                  SideTraits<BLACK>::seventh_high == 38,
              "Black scans from rank 1 and promotes on it");
