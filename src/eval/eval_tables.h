// The evaluation's constant tables: piece-square values per phase and colour,
// mobility, pawn structure and king shelter, and the per-phase traits that
// tell the one evaluator skeleton which tables and terms a phase uses.
#pragma once

#include "board/board.h"
#include "eval/eval.h"

// 120 values indexed by mailbox square; the border entries stay 0.
struct SquareTable {
    int value[BOARD_SIZE];
};

// One SquareTable per piece code (index 0, empty, is all zeros).
struct PieceSquareSet {
    SquareTable piece[13];
};

// The tables are written as a board is printed: rank 8 first, files a to h,
// values from White's side. White reads them as they stand.
constexpr SquareTable white_table(const int (&printed)[64]) {
    SquareTable t{};
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file)
            t.value[square_of(file, rank)] = printed[(7 - rank) * 8 + file];
    return t;
}

// Black's table is White's mirrored rank for rank: a black pawn on e7 scores
// what a white pawn on e2 scores.
constexpr SquareTable black_table(const int (&printed)[64]) {
    SquareTable t{};
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file)
            t.value[square_of(file, rank)] = printed[rank * 8 + file];
    return t;
}

// clang-format off
inline constexpr int PAWN_PRINTED[64] = {
     0,  0,  0,  0,  0,  0,  0,  0,
    40, 40, 40, 40, 40, 40, 40, 40,
    10, 15, 20, 30, 30, 20, 15, 10,
     5,  5, 15, 20, 20, 15,  5,  5,
     0,  0, 15, 20, 20, 15,  0,  0,
     0,  0,  5, 10, 10,  5,  0,  0,
     5,  5,  0,  0,  0,  0,  5,  5,
     0,  0,  0,  0,  0,  0,  0,  0,
};

inline constexpr int KNIGHT_PRINTED[64] = {
    -20, -10, -10, -10, -10, -10, -10, -20,
    -10,  -5,  -5,   3,   3,  -5,  -5, -10,
     -5,  15,  25,  30,  30,  25,  15,  -5,
     -5,   5,  15,  20,  20,  15,   5,  -5,
     -5,   3,   5,  10,  10,   5,   3,  -5,
     -7,   0,   6,   5,   5,   6,   0,  -7,
    -10,   0,   0,   3,   3,   0,   0, -10,
    -20, -10,  -5,  -5,  -5,  -5, -10, -20,
};

inline constexpr int BISHOP_PRINTED[64] = {
    -10, -5, -5, -5, -5, -5, -5, -10,
     -5,  6,  3,  5,  5,  3,  6,  -5,
      8, 10, 20, 20, 20, 20, 10,   8,
     -5,  6, 15, 12, 12, 15,  6,  -5,
     -5,  0, 10,  8,  8, 10,  0,  -5,
     -5,  6,  3,  6,  6,  3,  6,  -5,
     -5,  6,  3,  5,  5,  3,  6,  -5,
    -10, -5, -5, -5, -5, -5, -5, -10,
};

inline constexpr int ROOK_PRINTED[64] = {
    25, 25, 25, 25, 25, 25, 25, 25,
    30, 30, 30, 30, 30, 30, 30, 30,
     2,  8, 12, 16, 16, 12,  8,  2,
     2,  4,  6,  8,  8,  6,  4,  2,
     1,  2,  4,  6,  6,  4,  2,  1,
     1,  2,  4,  6,  6,  4,  2,  1,
     0,  1,  2,  4,  4,  2,  1,  0,
     0,  1,  2,  4,  4,  2,  1,  0,
};

inline constexpr int QUEEN_PRINTED[64] = {
     6,  7, 10, 10, 10, 10,  7,  6,
     8, 10, 15, 15, 15, 15, 10,  8,
    10, 15, 20, 20, 20, 20, 15, 10,
     8, 10, 15, 15, 15, 15, 10,  8,
     8,  9, 10, 10, 10, 10,  9,  8,
     6,  7,  7,  8,  8,  7,  7,  6,
     5,  6,  7,  7,  7,  7,  6,  5,
     0,  2,  4,  6,  6,  4,  2,  0,
};

inline constexpr int KING_PRINTED[64] = {
    -90, -90, -90, -90, -90, -90, -90, -90,
    -90, -90, -90, -90, -90, -90, -90, -90,
    -90, -90, -90, -90, -90, -90, -90, -90,
    -90, -90, -90, -90, -90, -90, -90, -90,
    -70, -70, -70, -70, -70, -70, -70, -70,
    -50, -50, -50, -50, -50, -50, -50, -50,
      0,   4, -30, -30, -30, -30,   4,   0,
      2,  10,   8,  -5,  -5,   0,  10,   2,
};

// The endgame's knight, bishop, queen and king tables serve both colours: each
// reads the same from either side of the board.
inline constexpr int KNIGHT_ENDGAME_PRINTED[64] = {
    -20, -15, -10, -10, -10, -10, -15, -20,
    -15,   0,   5,   5,   5,   5,   0, -15,
    -10,   5,  10,  15,  15,  10,   5, -10,
     -5,   5,  15,  20,  20,  15,   5,  -5,
     -5,   5,  15,  20,  20,  15,   5,  -5,
    -10,   5,  10,  15,  15,  10,   5, -10,
    -15,   0,   5,   5,   5,   5,   0, -15,
    -20, -15, -10, -10, -10, -10, -15, -20,
};

inline constexpr int BISHOP_ENDGAME_PRINTED[64] = {
    5,  0, -5, -10, -10, -5,  0, 5,
    5, 10,  5,   0,   0,  5, 10, 5,
    5, 10, 15,  10,  10, 15, 10, 5,
    5, 10, 15,  20,  20, 15, 10, 5,
    5, 10, 15,  20,  20, 15, 10, 5,
    5, 10, 15,  10,  10, 15, 10, 5,
    5, 10,  5,   0,   0,  5, 10, 5,
    5,  0, -5, -10, -10, -5,  0, 5,
};

inline constexpr int QUEEN_ENDGAME_PRINTED[64] = {
     0,  2,  4,  6,  6,  4,  2,  0,
     8,  9, 10, 10, 10, 10,  9,  8,
     8, 10, 15, 15, 15, 15, 10,  8,
    10, 15, 20, 20, 20, 20, 15, 10,
    10, 15, 20, 20, 20, 20, 15, 10,
     8, 10, 15, 15, 15, 15, 10,  8,
     8,  9, 10, 10, 10, 10,  9,  8,
     0,  2,  4,  6,  6,  4,  2,  0,
};

inline constexpr int KING_ENDGAME_PRINTED[64] = {
    -20, -10, -10, -10, -10, -10, -10, -20,
    -10,  10,  10,  10,  10,  10,  10, -10,
    -10,  10,  20,  20,  20,  20,  10, -10,
    -10,  10,  20,  30,  30,  20,  10, -10,
    -10,  10,  20,  30,  30,  20,  10, -10,
    -10,  10,  20,  20,  20,  20,  10, -10,
    -10,  10,  10,  10,  10,  10,  10, -10,
    -20, -10, -10, -10, -10, -10, -10, -20,
};
// clang-format on

constexpr PieceSquareSet make_piece_square_set(const int (&pawn)[64], const int (&knight)[64],
                                               const int (&bishop)[64], const int (&rook)[64],
                                               const int (&queen)[64], const int (&king)[64]) {
    PieceSquareSet set{};
    const int(*printed[6])[64] = {&pawn, &knight, &bishop, &rook, &queen, &king};
    for (int kind = 0; kind < 6; ++kind) {
        set.piece[W_PAWN + kind] = white_table(*printed[kind]);
        set.piece[B_PAWN + kind] = black_table(*printed[kind]);
    }
    return set;
}

// The opening and the middlegame share every piece-square value.
inline constexpr PieceSquareSet pst_opening_middlegame = make_piece_square_set(
    PAWN_PRINTED, KNIGHT_PRINTED, BISHOP_PRINTED, ROOK_PRINTED, QUEEN_PRINTED, KING_PRINTED);
// The endgame's piece-square values, centipawns.
inline constexpr PieceSquareSet pst_endgame =
    make_piece_square_set(PAWN_PRINTED, KNIGHT_ENDGAME_PRINTED, BISHOP_ENDGAME_PRINTED,
                          ROOK_PRINTED, QUEEN_ENDGAME_PRINTED, KING_ENDGAME_PRINTED);

// Evaluation material by piece code; kings score only by position.
inline constexpr int eval_material[13] = {
    0, PAWN_VALUE, KNIGHT_VALUE, BISHOP_VALUE, ROOK_VALUE, QUEEN_VALUE,
    0, PAWN_VALUE, KNIGHT_VALUE, BISHOP_VALUE, ROOK_VALUE, QUEEN_VALUE,
    0};

// Mobility by the number of empty squares on the piece's rays; 5 is neutral
// (centipawns): the bishop's in every phase, then the rook's in the opening
// and in the later phases.
inline constexpr int bishop_mobility[14] = {-20, -16, -12, -8, -4, 0, 4, 8, 12, 16, 20, 20, 20, 20};
inline constexpr int rook_mobility_opening[15] = {-10, -8, -6, -4, -2, 0,  2, 4,
                                                  6,   8,  10, 10, 10, 10, 10};
inline constexpr int rook_mobility_middlegame_endgame[15] = {-20, -16, -12, -8, -4, 0,  4, 8,
                                                             12,  16,  20,  20, 20, 20, 20};

// Pawn structure, centipawns. Files are indexed 0..9 (a = 1, h = 8, 0 and 9
// are the empty neighbours of the edge files); ranks 1..8 relative to the
// pawn's side.
// [file]: an isolated pawn with an enemy pawn on its file.
inline constexpr int isolated_closed_penalty[10] = {0, 4, 6, 8, 10, 10, 8, 6, 4, 0};
// [file]: an isolated pawn without enemy pawns on its file, but not passed.
inline constexpr int isolated_open_penalty[10] = {0, 10, 12, 14, 16, 16, 14, 12, 10, 0};
// [relative rank]: an isolated passed pawn.
inline constexpr int isolated_passed_bonus[8] = {0, 0, 0, 0, 10, 20, 30, 40};
// [relative rank]: a passed pawn with a friendly pawn beside, opening; then
// middlegame and endgame.
inline constexpr int passed_bonus_opening[8] = {0, 0, 10, 20, 30, 40, 50, 50};
inline constexpr int passed_bonus_middlegame_endgame[8] = {0, 0, 10, 23, 36, 49, 62, 65};
constexpr int DOUBLED_PENALTY = 10;           // centipawns: doubled, a friendly pawn beside
constexpr int DOUBLED_ISOLATED_PENALTY = 20;  // centipawns: doubled and isolated
constexpr int BACKWARD_PENALTY = 10;          // centipawns: behind all pawns beside it

// King shelter, centipawns, by the distance from the king's rank to the
// rearmost own pawn of a shelter file: a main file, then an outer one.
inline constexpr int shelter_penalty[8] = {0, 0, 10, 20, 30, 40, 50, 0};
inline constexpr int shelter_outer_penalty[8] = {0, 0, 5, 10, 12, 14, 15, 0};
constexpr int SHELTER_PAWN_BEHIND_PENALTY = 40;  // rearmost own pawn behind the king
constexpr int SHELTER_MAIN_EMPTY_PENALTY = 50;   // main shelter file without own pawns
constexpr int SHELTER_OUTER_EMPTY_PENALTY = 15;  // outer shelter file without own pawns

// Which files shelter a king on a given file (1..8); outer 0 means none.
struct ShelterFiles {
    int main[3];
    int main_count;
    int outer;
};
inline constexpr ShelterFiles shelter_files[9] = {
    {{0, 0, 0}, 0, 0},  // no file 0
    {{1, 2, 0}, 2, 0},  // a
    {{1, 2, 0}, 2, 3},  // b
    {{2, 3, 0}, 2, 4},  // c
    {{3, 4, 5}, 3, 0},  // d
    {{4, 5, 6}, 3, 0},  // e
    {{6, 7, 0}, 2, 5},  // f
    {{7, 8, 0}, 2, 6},  // g
    {{7, 8, 0}, 2, 0},  // h
};

// In the middlegame the kings' terms fade with the material:
// K * (piece_material - 1700) / 2700, full weight at 4400.
constexpr int KING_WEIGHT_OFFSET = 1700;   // piece_material at which the king terms vanish
constexpr int KING_WEIGHT_DIVISOR = 2700;  // piece_material above the offset for full weight

// What each phase's evaluator reads and which terms it includes.
struct OpeningEval {
    static constexpr int number = 1;  // names the phase in the pawn terms (eval/cache.h)
    static constexpr const PieceSquareSet& pst = pst_opening_middlegame;
    static constexpr const int (&rook_mobility)[15] = rook_mobility_opening;
    static constexpr const int (&passed_bonus)[8] = passed_bonus_opening;
    static constexpr bool king_shelter = true;
    static constexpr bool scale_king_term = false;
    static constexpr bool blocked_rook = true;
};

struct MiddlegameEval {
    static constexpr int number = 2;  // names the phase in the pawn terms (eval/cache.h)
    static constexpr const PieceSquareSet& pst = pst_opening_middlegame;
    static constexpr const int (&rook_mobility)[15] = rook_mobility_middlegame_endgame;
    static constexpr const int (&passed_bonus)[8] = passed_bonus_middlegame_endgame;
    static constexpr bool king_shelter = true;
    static constexpr bool scale_king_term = true;
    static constexpr bool blocked_rook = true;
};

struct EndgameEval {
    static constexpr int number = 3;  // names the phase in the pawn terms (eval/cache.h)
    static constexpr const PieceSquareSet& pst = pst_endgame;
    static constexpr const int (&rook_mobility)[15] = rook_mobility_middlegame_endgame;
    static constexpr const int (&passed_bonus)[8] = passed_bonus_middlegame_endgame;
    static constexpr bool king_shelter = false;
    static constexpr bool scale_king_term = false;
    static constexpr bool blocked_rook = false;
};
