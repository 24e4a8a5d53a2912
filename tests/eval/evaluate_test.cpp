// Whole evaluations worked by hand, the choice of phase, the blocked-rook
// rule and the two caches in front of the evaluators.
#include <gtest/gtest.h>

#include "eval/eval_tables.h"
#include "eval/eval_terms.h"
#include "eval/eval_test_support.h"

namespace {

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
// White K g1 Q d1 R a1 P f2 g2 h2 against K g8 Q d8 R a8 P f7 h7: material 3400.
const char* const MIDDLEGAME_FEN = "r2q2k1/5p1p/8/8/8/8/5PPP/R2Q2K1 w - - 0 1";

TEST(Evaluate, StartPositionIsLevelForEitherSide) {
    set_fen_for_eval(START_FEN);
    EXPECT_EQ(evaluate(), 0);
    set_fen_for_eval("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(evaluate(), 0);
}

TEST(Evaluate, KingAndPawnAgainstKing) {
    // 100 + 20 (e4) + 10 (isolated passed, rank 4); the kings on e1/e8 cancel.
    set_fen_for_eval("4k3/8/8/8/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(evaluate(), 130);
    set_fen_for_eval("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1");
    EXPECT_EQ(evaluate(), -130);
}

TEST(Evaluate, KingAndRookAgainstKingCountsMobility) {
    // The rook on a1 sees a2..a8 and b1..d1: 10 squares, +20 in the endgame.
    set_fen_for_eval("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_FALSE(insufficient_material());
    EXPECT_EQ(evaluate(), 520);
}

TEST(Evaluate, LoneMinorPieceIsInsufficientButStillEvaluates) {
    set_fen_for_eval("4k3/8/8/8/3B4/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(insufficient_material());
    EXPECT_EQ(evaluate(), 360);  // 320 + 20 (d4) + 20 (13 squares)
    set_fen_for_eval("4k3/8/8/8/3N4/8/8/4K3 b - - 0 1");
    EXPECT_TRUE(insufficient_material());
    set_fen_for_eval("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(insufficient_material());
    set_fen_for_eval("4k3/8/8/8/2NN4/8/8/4K3 w - - 0 1");  // two knights are played on
    EXPECT_FALSE(insufficient_material());
    set_fen_for_eval("4k3/8/8/8/3N4/8/4P3/4K3 w - - 0 1");
    EXPECT_FALSE(insufficient_material());
}

TEST(Evaluate, MiddlegameExampleScalesTheKingTerm) {
    // Pawns 105, structure +12, Black's missing g-pawn 50 scaled to 31.
    set_fen_for_eval(MIDDLEGAME_FEN);
    ASSERT_EQ(position.state.piece_material, 3400);
    EXPECT_EQ(evaluate(), 148);
    EXPECT_EQ(fresh(evaluate_middlegame), 148);
    set_fen_for_eval("r2q2k1/5p1p/8/8/8/8/5PPP/R2Q2K1 b - - 0 1");
    EXPECT_EQ(evaluate(), -148);
}

TEST(Evaluate, MiddlegameScalingTruncatesTowardZero) {
    // The colour-swapped example: K = -50 scales to -31, not -32.
    set_fen_for_eval("r2q2k1/5ppp/8/8/8/8/5P1P/R2Q2K1 w - - 0 1");
    EXPECT_EQ(evaluate(), -148);
    set_fen_for_eval("r2q2k1/5ppp/8/8/8/8/5P1P/R2Q2K1 b - - 0 1");
    EXPECT_EQ(evaluate(), 148);
}

// A position whose three evaluators all disagree: king g1 behind its rook on
// h1 (blocked in the opening and middlegame), king e8 bare.
class PhaseChoice : public ::testing::Test {
  protected:
    void SetUp() override { set_fen_for_eval("4k3/8/8/8/8/8/8/6KR w - - 0 1"); }

    int evaluate_at(int material) {
        position.state.piece_material = material;
        clear_eval_caches();
        return evaluate();
    }
    int evaluator_at(int material, int (*evaluator)()) {
        position.state.piece_material = material;
        return fresh(evaluator);
    }
};

TEST_F(PhaseChoice, EvaluatorsDisagreeHere) {
    // Rook h1 sees h2..h8 (7): opening 500+4, later 500+8. Kings: pst 10+5,
    // shelters -115 (g1) and +150 (e8). Opening and middlegame pay 40.
    EXPECT_EQ(evaluator_at(5000, evaluate_opening), 504 + 15 - 115 + 150 - 40);
    EXPECT_EQ(evaluator_at(4400, evaluate_middlegame), 508 + 50 - 40);
    EXPECT_EQ(evaluator_at(500, evaluate_endgame), 508);
}

TEST_F(PhaseChoice, LimitBelongsToTheLowerPhase) {
    EXPECT_EQ(evaluate_at(4401), evaluator_at(4401, evaluate_opening));
    EXPECT_EQ(evaluate_at(4400), evaluator_at(4400, evaluate_middlegame));
    EXPECT_NE(evaluate_at(4400), evaluator_at(4400, evaluate_opening));
    EXPECT_EQ(evaluate_at(2601), evaluator_at(2601, evaluate_middlegame));
    EXPECT_EQ(evaluate_at(2600), evaluator_at(2600, evaluate_endgame));
    EXPECT_NE(evaluate_at(2600), evaluator_at(2600, evaluate_middlegame));
}

TEST(BlockedRook, KingInFrontOfItsOwnRook) {
    struct Case {
        const char* fen;
        int term;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/6KR w - - 0 1", -40},    // g1, h1
        {"4k3/8/8/8/8/8/8/5KR1 w - - 0 1", -40},   // f1, g1
        {"4k3/8/8/8/8/8/8/5K1R w - - 0 1", -40},   // f1, h1
        {"4k3/8/8/8/8/8/8/R1K5 w - - 0 1", -40},   // c1, a1
        {"4k3/8/8/8/8/8/8/1RK5 w - - 0 1", -40},   // c1, b1
        {"4k3/8/8/8/8/8/8/RK6 w - - 0 1", -40},    // b1, a1
        {"4k3/8/8/8/8/8/8/RK4RR w - - 0 1", -40},  // charged once only
        {"4k3/8/8/8/8/8/8/5RK1 w - - 0 1", 0},     // castled
        {"4k3/8/8/8/8/8/8/R2K4 w - - 0 1", 0},     // d1
        {"4k3/8/8/8/8/8/8/4K2R w - - 0 1", 0},     // e1
        {"4k3/8/8/8/8/8/7R/6K1 w - - 0 1", 0},     // rook not on the first rank
        {"4k3/8/8/8/8/8/8/6Kr w - - 0 1", 0},      // an enemy rook
        {"6kr/8/8/8/8/8/8/4K3 w - - 0 1", 40},     // g8, h8
        {"5kr1/8/8/8/8/8/8/4K3 w - - 0 1", 40},    // f8, g8
        {"5k1r/8/8/8/8/8/8/4K3 w - - 0 1", 40},    // f8, h8
        {"r1k5/8/8/8/8/8/8/4K3 w - - 0 1", 40},    // c8, a8
        {"1rk5/8/8/8/8/8/8/4K3 w - - 0 1", 40},    // c8, b8
        {"rk6/8/8/8/8/8/8/4K3 w - - 0 1", 40},     // b8, a8
        {"5rk1/8/8/8/8/8/8/4K3 w - - 0 1", 0},     // castled
        {"6kr/8/8/8/8/8/8/6KR w - - 0 1", 0},      // both blocked
        // A Chess960 game (the castling field makes it one): kings may start there.
        {"4k3/8/8/8/8/8/8/6KR w H - 0 1", 0},
        {"4k3/8/8/8/8/8/8/6KR w - - 0 1", 0},
    };
    for (const Case& c : cases) {
        set_fen_for_eval(c.fen);
        EXPECT_EQ(blocked_rook_term(), c.term) << c.fen;
    }
    set_chess960(false);
}

TEST(BlockedRook, NotInTheEndgame) {
    // With the real material (500) the endgame evaluator runs: no penalty.
    set_fen_for_eval("4k3/8/8/8/8/8/8/6KR w - - 0 1");
    EXPECT_EQ(evaluate(), 508);
}

TEST(EvalCache, StoresAndReturnsTheSideToMoveScore) {
    set_fen_for_eval("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1");
    const EvalCacheEntry& slot =
        eval_state->eval_cache[static_cast<std::uint32_t>(position.state.key) & eval_cache_mask];
    EXPECT_EQ(evaluate(), -130);
    EXPECT_EQ(slot.key, position.state.key);
    EXPECT_EQ(slot.score, -130);
}

TEST(EvalCache, HitIsReturnedWithoutEvaluating) {
    set_fen_for_eval(START_FEN);
    EvalCacheEntry& slot =
        eval_state->eval_cache[static_cast<std::uint32_t>(position.state.key) & eval_cache_mask];
    slot.key = position.state.key;
    slot.score = 1234;
    EXPECT_EQ(evaluate(), 1234);
    slot.key = position.state.key ^ 1;  // same slot, another position
    EXPECT_EQ(evaluate(), 0);
    EXPECT_EQ(slot.key, position.state.key);
}

TEST(PawnCache, StoresTheWhiteViewWithTheMaterial) {
    set_fen_for_eval("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1");
    EXPECT_EQ(evaluate(), -130);
    int pawn_part = 0;
    ASSERT_TRUE(pawn_cache_probe(pawn_part));
    EXPECT_EQ(pawn_part, 130);
}

TEST(PawnCache, HitSkipsPawnsAndKingsButCountsPieces) {
    set_fen_for_eval("4k3/8/8/8/4P3/8/8/R3K3 w - - 0 1");
    pawn_cache_store(1000);
    // Rook a1: 500 + 0 + 20 (a2..a8, b1..d1) on top of the cached pawn part.
    EXPECT_EQ(evaluate_endgame(), 1520);
    position.state.side_to_move = BLACK;
    EXPECT_EQ(evaluate_endgame(), -1520);
}

TEST(PawnCache, MissesAfterAPieceIsExchanged) {
    // Same pawns and kings, one rook fewer: the entry of 1000 must not be used.
    set_fen_for_eval("r3k3/8/8/8/4P3/8/8/R3K3 w - - 0 1");
    pawn_cache_store(1000);
    const std::uint32_t pawn_key = position.state.pawn_key;
    ASSERT_TRUE(set_position_from_fen("4k3/8/8/8/4P3/8/8/R3K3 w - - 0 1"));
    ASSERT_EQ(position.state.pawn_key, pawn_key);
    EXPECT_EQ(evaluate_endgame(), 520 + 130);
}

// Behind the pawn cache, the pawn terms of a phase serve the same pawns and
// kings with other pieces: every evaluation of such a sequence, through all
// three phases and several materials of each, is that of empty caches.
TEST(PawnTerms, SamePawnsAndKingsWithOtherPiecesEvaluateAsFromEmptyCaches) {
    ensure_tables();
    const std::string pawns = "/pp3p1p/6p1/3p4/3P4/8/PP3PPP/";
    const char* const pieces[][2] = {
        {"rnbq1rk1", "RNBQ1RK1"}, {"r2q2k1", "R2Q2K1"}, {"r5k1", "R5K1"},
        {"r1bq2k1", "R2Q2K1"},    {"6k1", "6K1"},       {"rn1q1rk1", "RNBQ1RK1"},
        {"r2q2k1", "R1BQ2K1"},    {"r5k1", "R4BK1"},
    };
    for (const char* side : {" w", " b"}) {
        for (const auto& [black, white] : pieces) {
            const std::string fen = black + pawns + white + side + " - - 0 1";
            ASSERT_TRUE(set_position_from_fen(fen.c_str())) << fen;
            const int warm = evaluate();
            clear_eval_caches();
            EXPECT_EQ(warm, evaluate()) << fen << ", material " << position.state.piece_material;
        }
    }
}

// An entry is taken for the very pawns and kings and the phase it holds, and
// for nothing else.
TEST(PawnTerms, AnEntryIsTakenForItsOwnPawnsKingsAndPhaseOnly) {
    set_fen_for_eval(MIDDLEGAME_FEN);
    const int expected = evaluate();
    PawnTermsEntry& slot = eval_state->pawn_terms[position.state.pawn_key & (PAWN_TERMS_COUNT - 1)];
    const PawnTermsEntry right = slot;
    ASSERT_EQ(right.phase, MiddlegameEval::number);
    struct Case {
        void (*change)(PawnTermsEntry&);
        int score;  // 100 more when the planted entry is taken
    };
    const Case cases[] = {
        {[](PawnTermsEntry&) {}, expected + 100},
        {[](PawnTermsEntry& e) { e.white_pawns &= e.white_pawns - 1; }, expected},
        {[](PawnTermsEntry& e) { e.black_pawns <<= 8; }, expected},
        {[](PawnTermsEntry& e) { e.white_king += 1; }, expected},
        {[](PawnTermsEntry& e) { e.black_king -= 1; }, expected},
        {[](PawnTermsEntry& e) { e.phase = OpeningEval::number; }, expected},
    };
    for (const Case& c : cases) {
        PawnTermsEntry planted = right;
        planted.pawns += 100;
        c.change(planted);
        forget_current_position();
        slot = planted;
        EXPECT_EQ(evaluate(), c.score) << &c - cases;
    }
}

TEST(Evaluate, SidesToMoveGiveOppositeScores) {
    const char* const placements[] = {
        "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R",
        "r2q2k1/5p1p/8/8/8/8/5PPP/R2Q2K1",
        "8/5pk1/6p1/8/3P4/8/5PPK/8",
    };
    for (const char* placement : placements) {
        set_fen_for_eval(std::string(placement) + " w - - 0 1");
        const int white = evaluate();
        // The pawn cache entry written from White's side serves Black too.
        ASSERT_TRUE(set_position_from_fen((std::string(placement) + " b - - 0 1").c_str()));
        EXPECT_EQ(evaluate(), -white) << placement;
    }
}

TEST(Evaluate, LeavesThePositionUntouched) {
    set_fen_for_eval(MIDDLEGAME_FEN);
    const Position before = position;
    evaluate_opening();
    evaluate_middlegame();
    evaluate_endgame();
    EXPECT_EQ(std::memcmp(&before.board, &position.board, sizeof position.board), 0);
    EXPECT_EQ(std::memcmp(&before.state, &position.state, sizeof position.state), 0);
}

}  // namespace
