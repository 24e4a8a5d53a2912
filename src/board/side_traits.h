// Per-side constants of the board code: one table per colour, so the white and
// black variants of generation and attack tests share one template each.
#pragma once

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
    static constexpr int knight_dirs[8] = {19, 21, 8, 12, -12, -8, -21, -19};
    static constexpr int bishop_dirs[4] = {9, 11, -11, -9};
    static constexpr int rook_dirs[4] = {10, 1, -1, -10};
    static constexpr int queen_dirs[8] = {9, 10, 11, 1, -1, -11, -10, -9};
    static constexpr int scan_order[64] = {
        91, 92, 93, 94, 95, 96, 97, 98, 81, 82, 83, 84, 85, 86, 87, 88, 71, 72, 73, 74, 75, 76,
        77, 78, 61, 62, 63, 64, 65, 66, 67, 68, 51, 52, 53, 54, 55, 56, 57, 58, 41, 42, 43, 44,
        45, 46, 47, 48, 31, 32, 33, 34, 35, 36, 37, 38, 21, 22, 23, 24, 25, 26, 27, 28};
    static constexpr Move castle_king_side = W_CASTLE_KING_SIDE;
    static constexpr Move castle_queen_side = W_CASTLE_QUEEN_SIDE;
    static constexpr int home_rank = 20;  // e1 = home_rank + 5
};

template <>
struct SideTraits<BLACK> {
    static constexpr int first_piece = B_PAWN, last_piece = B_KING;
    static constexpr int first_victim = W_PAWN, last_victim = W_QUEEN;
    static constexpr int pawn = B_PAWN, knight = B_KNIGHT, bishop = B_BISHOP, rook = B_ROOK,
                         queen = B_QUEEN, king = B_KING;
    static constexpr int other_king = W_KING;
    static constexpr int push = -10;
    static constexpr int capture_first = -11, capture_second = -9;
    static constexpr int promotion_low = 21, promotion_high = 28;
    static constexpr int seventh_low = 31, seventh_high = 38;
    static constexpr int start_low = 81, start_high = 88;
    static constexpr int knight_dirs[8] = {-21, -19, -12, -8, 8, 12, 19, 21};
    static constexpr int bishop_dirs[4] = {-11, -9, 9, 11};
    static constexpr int rook_dirs[4] = {-10, 1, -1, 10};
    static constexpr int queen_dirs[8] = {-11, -10, -9, 1, -1, 9, 10, 11};
    static constexpr int scan_order[64] = {
        21, 22, 23, 24, 25, 26, 27, 28, 31, 32, 33, 34, 35, 36, 37, 38, 41, 42, 43, 44, 45, 46,
        47, 48, 51, 52, 53, 54, 55, 56, 57, 58, 61, 62, 63, 64, 65, 66, 67, 68, 71, 72, 73, 74,
        75, 76, 77, 78, 81, 82, 83, 84, 85, 86, 87, 88, 91, 92, 93, 94, 95, 96, 97, 98};
    static constexpr Move castle_king_side = B_CASTLE_KING_SIDE;
    static constexpr Move castle_queen_side = B_CASTLE_QUEEN_SIDE;
    static constexpr int home_rank = 90;
};

// Piece kind 1..6 of a code of either colour.
constexpr int piece_kind(int code) {
    return code > 6 ? code - 6 : code;
}
