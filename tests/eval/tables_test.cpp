// The constant tables: colour mirroring, values at known squares, mobility.
#include <gtest/gtest.h>

#include "eval/eval_tables.h"
#include "eval/eval_test_support.h"

namespace {

const char* const BOXED_BISHOP = "7k/8/8/8/1p1p4/2B5/1P1P4/7K w - - 0 1";

const PieceSquareSet* const PHASE_SETS[] = {&OpeningEval::pst, &MiddlegameEval::pst,
                                            &EndgameEval::pst};

TEST(PieceSquareTables, BlackIsWhiteMirroredRankForRank) {
    for (const PieceSquareSet* set : PHASE_SETS) {
        for (int kind = 0; kind < 6; ++kind) {
            for (int file = 0; file < 8; ++file) {
                for (int rank = 0; rank < 8; ++rank) {
                    EXPECT_EQ(set->piece[B_PAWN + kind].value[square_of(file, rank)],
                              set->piece[W_PAWN + kind].value[square_of(file, 7 - rank)])
                        << "kind " << kind << " file " << file << " rank " << rank;
                }
            }
        }
    }
}

TEST(PieceSquareTables, SharedEndgameTablesReadTheSameFromEitherSide) {
    // One table serves both colours in the endgame: it must be its own mirror.
    const int(*shared[])[64] = {&KNIGHT_ENDGAME_PRINTED, &BISHOP_ENDGAME_PRINTED,
                                &QUEEN_ENDGAME_PRINTED, &KING_ENDGAME_PRINTED};
    for (const auto* table : shared)
        for (int i = 0; i < 64; ++i) EXPECT_EQ((*table)[i], (*table)[(7 - i / 8) * 8 + i % 8]);
}

TEST(PieceSquareTables, BorderSquaresAreZero) {
    for (const PieceSquareSet* set : PHASE_SETS) {
        for (int code = 0; code < 13; ++code) {
            for (int sq = 0; sq < BOARD_SIZE; ++sq) {
                const bool border = sq < A1 || sq > H8 || file_of(sq) < 0 || file_of(sq) > 7;
                if (border) {
                    EXPECT_EQ(set->piece[code].value[sq], 0) << code << " " << sq;
                }
            }
        }
    }
    for (int sq = 0; sq < BOARD_SIZE; ++sq) EXPECT_EQ(pst_endgame.piece[EMPTY].value[sq], 0);
}

int at(const PieceSquareSet& set, int piece, const char* square) {
    return set.piece[piece].value[square_from_text(square)];
}

TEST(PieceSquareTables, ValuesAtKnownSquares) {
    const PieceSquareSet& early = pst_opening_middlegame;
    const PieceSquareSet& late = pst_endgame;
    EXPECT_EQ(at(early, W_PAWN, "e7"), 40);
    EXPECT_EQ(at(late, W_PAWN, "e7"), 40);
    EXPECT_EQ(at(early, B_PAWN, "e2"), 40);
    EXPECT_EQ(at(early, W_PAWN, "b2"), 5);
    EXPECT_EQ(at(early, W_KING, "g1"), 10);
    EXPECT_EQ(at(late, W_KING, "g1"), -10);
    EXPECT_EQ(at(early, W_KING, "e4"), -70);
    EXPECT_EQ(at(early, W_KING, "e5"), -90);
    EXPECT_EQ(at(late, W_KING, "e4"), 30);
    EXPECT_EQ(at(early, B_KING, "g8"), 10);
    EXPECT_EQ(at(early, W_KNIGHT, "a8"), -20);
    EXPECT_EQ(at(late, W_KNIGHT, "a8"), -20);
    EXPECT_EQ(at(early, W_KNIGHT, "d5"), 20);
    EXPECT_EQ(at(late, W_KNIGHT, "d5"), 20);
    EXPECT_EQ(at(early, W_KNIGHT, "d6"), 30);
    EXPECT_EQ(at(late, W_KNIGHT, "d6"), 15);
    EXPECT_EQ(at(early, W_KNIGHT, "a3"), -7);  // the one asymmetric row
    EXPECT_EQ(at(early, W_BISHOP, "a6"), 8);
    EXPECT_EQ(at(late, W_BISHOP, "d1"), -10);
    EXPECT_EQ(at(early, W_ROOK, "c7"), 30);
    EXPECT_EQ(at(late, W_ROOK, "c7"), 30);
    EXPECT_EQ(at(early, W_QUEEN, "b4"), 9);
    EXPECT_EQ(at(late, W_QUEEN, "b4"), 15);
}

TEST(Mobility, TablesFollowTheirRule) {
    for (int count = 0; count < 14; ++count) {
        const int expected = 4 * (count - 5) < 20 ? 4 * (count - 5) : 20;
        EXPECT_EQ(bishop_mobility[count], expected);
    }
    for (int count = 0; count < 15; ++count) {
        EXPECT_EQ(rook_mobility_opening[count], 2 * (count - 5) < 10 ? 2 * (count - 5) : 10);
        EXPECT_EQ(rook_mobility_middlegame_endgame[count],
                  4 * (count - 5) < 20 ? 4 * (count - 5) : 20);
    }
}

TEST(Mobility, RayCountsStopAtAnyPiece) {
    set_fen_for_eval("7k/8/8/8/8/8/7K/R7 w - - 0 1");
    EXPECT_EQ(count_rook_rays(A1), 14);
    EXPECT_EQ(count_bishop_rays(A1), 6);  // b2..g7: the king on h8 stops the ray
    set_fen_for_eval(BOXED_BISHOP);       // pawns of both colours on every diagonal
    EXPECT_EQ(count_bishop_rays(square_of(2, 2)), 0);
    set_fen_for_eval("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(count_rook_rays(A1), 10);  // the king on e1 is not counted
}

TEST(Mobility, ScoresPerPhase) {
    // Rook a1 seeing 14 squares: opening +10, middlegame and endgame +20.
    set_fen_for_eval("7k/8/8/8/8/8/7K/R7 w - - 0 1");
    // Kings h2 and h8: endgame -10 - (-20); earlier 0 - 2, both shelters 100.
    EXPECT_EQ(fresh(evaluate_endgame), 500 + 0 + 20 + 10);
    EXPECT_EQ(fresh(evaluate_opening), 500 + 0 + 10 - 2);
    position.state.piece_material = 4400;  // the king term at full weight
    EXPECT_EQ(fresh(evaluate_middlegame), 500 + 0 + 20 - 2);
}

TEST(Mobility, BoxedInBishop) {
    // The bishop's whole term is the difference between the board with and
    // without it: material, c3's value and -20 for no mobility.
    set_fen_for_eval(BOXED_BISHOP);
    const int endgame = fresh(evaluate_endgame), opening = fresh(evaluate_opening);
    set_fen_for_eval("7k/8/8/8/1p1p4/8/1P1P4/7K w - - 0 1");
    EXPECT_EQ(endgame - fresh(evaluate_endgame), 320 + 15 - 20);
    EXPECT_EQ(opening - fresh(evaluate_opening), 320 + 3 - 20);
}

}  // namespace
