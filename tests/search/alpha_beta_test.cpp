// The full-width search and the capture search on small positions.
#include <gtest/gtest.h>

#include <cstring>

#include "search_test_util.h"

using namespace search_test;

namespace {

class AlphaBetaTest : public SearchTest {
  protected:
    // The search must hand the position back exactly as it found it.
    void expect_untouched(const PositionState& before, int ply) {
        EXPECT_EQ(position.state.key, before.key);
        EXPECT_EQ(position.state.fifty_counter, before.fifty_counter);
        EXPECT_EQ(this_worker->search_ply, ply);
    }
};

TEST_F(AlphaBetaTest, LoneMinorPieceIsADrawAtOnce) {
    set_fen("4k3/8/8/8/8/8/8/2N1K3 w - - 0 1");
    for (int depth = 0; depth <= 6; depth += 3) {
        EXPECT_EQ(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, depth, 1, 0), 0);
    }
    set_fen("4k3/8/8/8/3B4/8/8/4K3 w - - 0 1");
    EXPECT_EQ(quiescence(-INFINITE_SCORE, INFINITE_SCORE), 0);
    EXPECT_EQ(this_worker->move_nodes, 0u);
    EXPECT_EQ(this_worker->capture_nodes, 0u);  // the material test comes before the count
}

TEST_F(AlphaBetaTest, FiftyMoveRuleBeatsAMateInOne) {
    set_fen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    EXPECT_GE(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 2, 1, 0), MATE_BOUND);
    tt_clear_all();
    position.state.fifty_counter = 100;
    this_worker->move_nodes = 0;
    EXPECT_EQ(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 2, 1, 0), 0);
    EXPECT_EQ(this_worker->move_nodes, 0u);
}

TEST_F(AlphaBetaTest, RepetitionNeedsTwoMatchesNearTheRootAndOneFurtherDown) {
    // Knights out and back: the start position again, two plies apart from itself.
    for (const char* text : {"g1f3", "g8f6", "f3g1", "f6g8"}) make_move(parse_move_text(text));
    const PositionState before = position.state;

    this_worker->search_ply = 2;
    EXPECT_FALSE(repeats_earlier_position());
    alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 1, 1, 0);
    EXPECT_GT(this_worker->move_nodes, 0u);  // searched normally
    expect_untouched(before, 2);

    this_worker->search_ply = 4;
    this_worker->move_nodes = this_worker->capture_nodes = 0;
    EXPECT_TRUE(repeats_earlier_position());
    EXPECT_EQ(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 1, 1, 0), 0);
    EXPECT_EQ(this_worker->move_nodes + this_worker->capture_nodes, 0u);

    // A second round makes it two earlier occurrences: a draw near the root too.
    for (const char* text : {"g1f3", "g8f6", "f3g1", "f6g8"}) make_move(parse_move_text(text));
    this_worker->search_ply = 2;
    EXPECT_TRUE(repeats_earlier_position());
    EXPECT_EQ(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 1, 1, 0), 0);
}

TEST_F(AlphaBetaTest, RepetitionOnlyWithinTheFiftyMoveWindow) {
    for (const char* text : {"g1f3", "g8f6", "f3g1", "f6g8"}) make_move(parse_move_text(text));
    this_worker->search_ply = 4;
    position.state.fifty_counter = 3;  // the matching position lies four plies back
    EXPECT_FALSE(repeats_earlier_position());
    position.state.fifty_counter = 4;
    EXPECT_TRUE(repeats_earlier_position());
}

TEST_F(AlphaBetaTest, CheckmateScoresCountPliesFromTheRoot) {
    // Black is mated on the back rank.
    set_fen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    this_worker->search_ply = 3;
    EXPECT_EQ(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 1, 1, 1), -29997);
    EXPECT_EQ(quiescence_evasions(-INFINITE_SCORE, INFINITE_SCORE), -29997);
    this_worker->search_ply = 5;
    EXPECT_EQ(quiescence_evasions(-INFINITE_SCORE, INFINITE_SCORE), -29995);
}

TEST_F(AlphaBetaTest, MateWithTheSecondMoveScores29997AtTheRoot) {
    // 1. Re8+ Rxe8 2. Rxe8 mate.
    set_fen("3r2k1/5ppp/8/8/8/8/4R3/4R1K1 w - - 0 1");
    limits.depth = 4;
    ASSERT_TRUE(think());
    EXPECT_EQ(text_of(best_move), "e2e8");
    int score = 0;
    Move move = 0;
    ASSERT_TRUE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 4, score, move));
    EXPECT_EQ(score, 29997);
}

TEST_F(AlphaBetaTest, StalemateIsADraw) {
    set_fen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 3, 1, 0), 0);
    // The capture search does not see stalemate: it stands pat.
    EXPECT_EQ(quiescence(-INFINITE_SCORE, INFINITE_SCORE), evaluate());
}

TEST_F(AlphaBetaTest, MateDistanceWindowCutsAtOnce) {
    this_worker->search_ply = 6;
    EXPECT_EQ(alpha_beta(29995, INFINITE_SCORE, 5, 1, 0), 29995);
    EXPECT_EQ(alpha_beta(-INFINITE_SCORE, -29994, 5, 1, 0), -29994);
    EXPECT_EQ(this_worker->move_nodes + this_worker->capture_nodes, 0u);
    EXPECT_EQ(tt_probe_move(), 0u);  // nothing stored
}

TEST_F(AlphaBetaTest, NullMoveFailHighReturnsBeta) {
    // White is a queen and a rook up: passing still beats a low beta.
    set_fen("4k3/pppp4/8/8/8/8/PPPP4/R2QK3 w - - 0 1");
    EXPECT_EQ(alpha_beta(-501, -500, 2, 1, 0), -500);
    EXPECT_EQ(this_worker->move_nodes, 1u);  // the null move alone

    // Not without null_ok, nor in a mate-range window: then a real move fails high.
    tt_clear_all();
    this_worker->move_nodes = 0;
    EXPECT_GT(alpha_beta(-501, -500, 2, 0, 0), -500);
    EXPECT_GE(this_worker->move_nodes, 1u);
    tt_clear_all();
    EXPECT_GT(alpha_beta(-29001, -29000, 2, 1, 0), -29000);
}

TEST_F(AlphaBetaTest, NoNullMoveWithLittleMaterial) {
    // Two rooks are 1000, not more: no null move, so the score is a real move's.
    set_fen("4k3/pppp4/8/8/8/8/PPPP4/R3K2R w - - 0 1");
    ASSERT_EQ(position.state.piece_material, 1000);
    EXPECT_GT(alpha_beta(-501, -500, 2, 1, 0), -500);
    // One more pawn's worth of material is not piece material; a knight is.
    set_fen("4k3/pppp4/8/8/8/8/PPPP4/RN2K2R w - - 0 1");
    ASSERT_EQ(position.state.piece_material, 1300);
    this_worker->move_nodes = 0;
    EXPECT_EQ(alpha_beta(-501, -500, 2, 1, 0), -500);
    EXPECT_EQ(this_worker->move_nodes, 1u);
}

TEST_F(AlphaBetaTest, FutilityPrunesQuietMovesAfterTheFirst) {
    // The start position far below alpha: one quiet move searched, the rest pruned.
    EXPECT_LE(alpha_beta(1000, 1001, 1, 1, 0), 1000);
    EXPECT_EQ(this_worker->move_nodes, 1u);
    // With an open window there is no pruning: all twenty moves are searched.
    tt_clear_all();
    this_worker->move_nodes = 0;
    EXPECT_LE(alpha_beta(1000, 2000, 1, 1, 0), 1000);
    EXPECT_EQ(this_worker->move_nodes, 20u);
}

TEST_F(AlphaBetaTest, FutilityStillSearchesChecksAndCaptures) {
    // The capture exd5 and the quiet check Bb5+ are searched; other quiet moves are pruned.
    set_fen("rnbqkbnr/ppp2ppp/8/3pp3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_LE(alpha_beta(2000, 2001, 1, 1, 0), 2000);
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = legal_moves(list);
    unsigned searched = 0, checks = 0;
    for (int i = 0; i < count; ++i) {
        make_move(list[i].move);
        const bool check = move_gives_check();
        unmake_move();
        if (check || list[i].score != 0) ++searched;
        if (check) ++checks;
    }
    ASSERT_GT(checks, 0u);
    // A check keeps depth 1, and its reply node fails high on its first move.
    EXPECT_EQ(this_worker->move_nodes, searched + checks);
}

TEST_F(AlphaBetaTest, ChecksAndSeventhRankPushesAreNotReduced) {
    set_fen("k7/8/8/8/8/8/8/K6R w - - 0 1");
    alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 1, 1, 0);
    EXPECT_EQ(this_worker->sel_depth, 2);  // Rh8+ reaches depth 0 only one ply later

    tt_clear_all();
    this_worker->sel_depth = 0;
    set_fen("7k/8/4P3/8/8/8/8/K7 w - - 0 1");
    alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 1, 1, 0);
    EXPECT_EQ(this_worker->sel_depth, 2);  // e6e7

    tt_clear_all();
    this_worker->sel_depth = 0;
    set_fen("7k/8/8/4P3/8/8/8/K7 w - - 0 1");
    alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 1, 1, 0);
    EXPECT_EQ(this_worker->sel_depth, 1);  // e5e6 is an ordinary move
}

TEST_F(AlphaBetaTest, AllMovesFailingLowKeepTheStoredMove) {
    const Move stored = parse_move_text("b1c3");
    tt_store(-100, 1, BOUND_UPPER, stored);
    EXPECT_LE(alpha_beta(5000, 6000, 2, 1, 0), 5000);
    EXPECT_EQ(tt_probe_move(), stored);
    int score = 0;
    Move move = 0;
    EXPECT_TRUE(tt_probe(5000, 6000, 2, score, move));  // an upper bound of depth 2 now
    EXPECT_LE(score, 5000);
}

TEST_F(AlphaBetaTest, FailHighWithAMateStoresTheMateBound) {
    set_fen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    EXPECT_EQ(alpha_beta(28000, 28001, 2, 0, 0), 29999);
    int score = 0;
    Move move = 0;
    ASSERT_TRUE(tt_probe(28000, 29000, 2, score, move));
    EXPECT_EQ(score, 29000);
    EXPECT_FALSE(tt_probe(28000, 29001, 2, score, move));
    EXPECT_EQ(text_of(move), "a1a8");
}

TEST_F(AlphaBetaTest, ExactMateIsStoredAsDistanceFromTheNode) {
    // Mate in two found two plies below the root: mated at ply 5.
    set_fen("3r2k1/5ppp/8/8/8/8/4R3/4R1K1 w - - 0 1");
    this_worker->search_ply = 2;
    EXPECT_EQ(alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 3, 0, 0), 29995);
    int score = 0;
    Move move = 0;
    ASSERT_TRUE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 3, score, move));
    EXPECT_EQ(score, 29995);
    this_worker->search_ply = 0;  // the same position reached at the root is a mate in three plies
    ASSERT_TRUE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 3, score, move));
    EXPECT_EQ(score, 29997);
}

TEST_F(AlphaBetaTest, StandPatAtOrAboveBetaIsReturnedUnchanged) {
    set_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    const int e = evaluate();
    EXPECT_EQ(quiescence(e - 10, e), e);
    EXPECT_EQ(quiescence(e - 1000, e - 999), e);
    EXPECT_EQ(this_worker->capture_nodes, 2u);
}

TEST_F(AlphaBetaTest, LosingCapturesAreNotSearched) {
    // Qxd5 loses the queen for a pawn: skipped without making it.
    set_fen("4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1");
    quiescence(-INFINITE_SCORE, INFINITE_SCORE);
    EXPECT_EQ(this_worker->capture_nodes, 1u);
    // A pawn taking a defended queen is always searched.
    set_fen("4k3/8/4p3/3q4/4P3/8/8/4K3 w - - 0 1");
    this_worker->capture_nodes = 0;
    quiescence(-INFINITE_SCORE, INFINITE_SCORE);
    EXPECT_GE(this_worker->capture_nodes, 2u);
}

TEST_F(AlphaBetaTest, CheckingCaptureLeadsToEvasionsWithQuietReplies) {
    // Qxf7+ wins a pawn with check; the king has only quiet replies.
    set_fen("8/5p2/8/7k/8/8/5Q2/4K3 w - - 0 1");
    const int s = quiescence(-INFINITE_SCORE, INFINITE_SCORE);
    EXPECT_GT(s, evaluate());
    EXPECT_LT(s, MATE_BOUND);
    EXPECT_GE(this_worker->capture_nodes,
              3u);  // this node, the evasion node, a node after a king move
}

TEST_F(AlphaBetaTest, LongCheckingLinesStayWithinTheTables) {
    // Queens and rooks on open boards: checks on both sides keep the depth up.
    const char* fens[] = {
        "3qk3/8/8/8/8/8/8/3QK3 w - - 0 1",
        "r3k2q/8/8/8/8/8/8/Q2K3R w - - 0 1",
        "6k1/5q2/8/8/8/8/2Q5/1K6 b - - 0 1",
    };
    for (const char* fen : fens) {
        set_fen(fen);
        const PositionState before = position.state;
        const int game_ply = position.game_ply;
        for (int start_ply : {MAX_PLY - 6, MAX_PLY - 1, MAX_PLY}) {
            tt_clear_all();
            this_worker->search_ply = start_ply;
            alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 6, 1, 0);
            expect_untouched(before, start_ply);
            EXPECT_EQ(position.game_ply, game_ply);
        }
        // The capture search stops before the history is exhausted.
        for (int start_ply : {MAX_SEARCH_PLY - 4, MAX_SEARCH_PLY}) {
            this_worker->search_ply = start_ply;
            quiescence(-INFINITE_SCORE, INFINITE_SCORE);
            expect_untouched(before, start_ply);
            quiescence_evasions(-INFINITE_SCORE, INFINITE_SCORE);
            expect_untouched(before, start_ply);
        }
    }
    this_worker->search_ply = MAX_SEARCH_PLY;
    set_fen("3qk3/8/8/8/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(quiescence_evasions(-INFINITE_SCORE, INFINITE_SCORE), evaluate());
}

TEST_F(AlphaBetaTest, BeyondTheKillerTablesNodesBecomeCaptureSearches) {
    set_fen("3qk3/8/8/8/8/8/8/3QK3 w - - 0 1");
    this_worker->search_ply = MAX_PLY;
    const int s = alpha_beta(-INFINITE_SCORE, INFINITE_SCORE, 5, 1, 0);
    EXPECT_EQ(this_worker->move_nodes, 0u);
    EXPECT_EQ(this_worker->sel_depth, MAX_PLY);
    this_worker->search_ply = MAX_PLY;
    EXPECT_EQ(s, quiescence(-INFINITE_SCORE, INFINITE_SCORE));
}

}  // namespace
