// The driver's game-end check and per-move time budget.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "frontend/session.h"
#include "frontend/timeman.h"
#include "frontend/xboard.h"
#include "search/internal.h"
#include "search/search_test_util.h"

namespace {

// The line check_game_end prints and the code it leaves in the position.
std::string game_end_line() {
    testing::internal::CaptureStdout();
    check_game_end(legal_move_count());
    return testing::internal::GetCapturedStdout();
}

TEST(CheckGameEnd, MateAndStalemateForEitherSide) {
    struct Case {
        const char* fen;
        const char* line;
        int code;
    } const cases[] = {
        {"3R2k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "1-0\n", WHITE_WON},
        {"6k1/8/8/8/8/8/5PPP/3r2K1 w - - 0 1", "0-1\n", BLACK_WON},
        {"7k/5Q2/8/8/8/8/8/6K1 b - - 0 1", "1/2-1/2\n", GAME_DRAWN},
        {"k7/8/8/8/8/8/5q2/7K w - - 0 1", "1/2-1/2\n", GAME_DRAWN},
        {"6k1/5ppp/8/8/8/8/8/3R2K1 w - - 0 1", "", GAME_RUNNING},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(set_position_from_fen(c.fen)) << c.fen;
        EXPECT_EQ(game_end_line(), c.line) << c.fen;
        EXPECT_EQ(position.state.game_result, c.code) << c.fen;
    }
}

TEST(CheckGameEnd, FiftyMovesAndThreefoldRepetition) {
    init_position();
    position.state.fifty_counter = 99;
    EXPECT_EQ(game_end_line(), "");
    position.state.fifty_counter = 100;
    EXPECT_EQ(game_end_line(), "1/2-1/2\n");
    EXPECT_EQ(position.state.game_result, GAME_DRAWN);

    init_position();
    const char* const cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (const char* m : cycle) play(m);
    EXPECT_EQ(game_end_line(), "");  // the start position for the second time
    for (int i = 0; i < 3; ++i) play(cycle[i]);
    EXPECT_EQ(game_end_line(), "");
    play(cycle[3]);
    EXPECT_EQ(game_end_line(), "1/2-1/2\n");  // and the third
    // A pawn move starts the count afresh.
    play("e2e4");
    EXPECT_EQ(game_end_line(), "");
}

TEST(CheckGameEnd, TheFenClockCountsAndRepetitionsStayInsideTheGame) {
    // The set-up's half-move clock counts towards the fifty-move rule.
    ASSERT_TRUE(set_position_from_fen("4k3/8/8/8/8/8/8/4K2R w - - 98 1"));
    play("h1h2");
    EXPECT_EQ(game_end_line(), "");
    play("e8d8");
    EXPECT_EQ(game_end_line(), "1/2-1/2\n");
    // A clock above the game's ply: the count looks no further back than the
    // set-up, and still sees the third occurrence within the game.
    ASSERT_TRUE(set_position_from_fen("4k3/8/8/8/8/8/8/4K2R w - - 60 1"));
    const char* const cycle[] = {"e1d1", "e8d8", "d1e1", "d8e8"};
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(game_end_line(), "") << round;
        for (const char* m : cycle) play(m);
    }
    EXPECT_EQ(game_end_line(), "1/2-1/2\n");
}

TEST(CheckGameEnd, GameTooLongForTheHistoryIsDrawn) {
    init_position();
    position.game_ply = MAX_GAME_PLY - 1;
    EXPECT_EQ(game_end_line(), "");
    position.game_ply = MAX_GAME_PLY;
    EXPECT_EQ(game_end_line(), "1/2-1/2 {game too long}\n");
    EXPECT_EQ(position.state.game_result, GAME_DRAWN);
    // Mate on the last ply is still a mate.
    ASSERT_TRUE(set_position_from_fen("3R2k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"));
    position.game_ply = MAX_GAME_PLY;
    EXPECT_EQ(game_end_line(), "1-0\n");
    init_position();
}

class TimeBudget : public ::testing::Test {
  protected:
    void TearDown() override {
        time_left_cs.store(0);
        increment_cs = 0;
        moves_per_control = 0;
        budget_half_moves = 0;
        time_budget.store(UNLIMITED_TIME_BUDGET);
    }
    static int budget(int time_left, int increment, int per_control, int half_moves) {
        time_left_cs.store(time_left);
        increment_cs = increment;
        moves_per_control = per_control;
        budget_half_moves = half_moves;
        compute_time_budget();
        return time_budget.load();
    }
};

TEST_F(TimeBudget, SuddenDeathSharesTheClockOverFortyMoves) {
    EXPECT_EQ(budget(30000, 0, 0, 0), 750);
    EXPECT_EQ(budget(30000, 200, 0, 57), 900);  // three quarters of the increment on top
    EXPECT_EQ(budget(400, 1000, 0, 0), 100);    // never more than a quarter of the clock
    EXPECT_EQ(budget(39, 0, 0, 0), 0);
}

TEST_F(TimeBudget, MovesPerControlCountDownToTheNextControl) {
    EXPECT_EQ(budget(30000, 0, 40, 0), 750);    // 40 to go
    EXPECT_EQ(budget(30000, 0, 40, 21), 1000);  // 30 to go
    EXPECT_EQ(budget(30000, 0, 40, 79), 7500);  // 1 to go: capped at a quarter
    EXPECT_EQ(budget(30000, 0, 40, 80), 750);   // a new control
    EXPECT_EQ(budget(30000, 400, 40, 0), 1050);
    EXPECT_EQ(budget(6000, 100, 5, 6), 1500);  // 2 to go: 3075, capped
}

TEST_F(TimeBudget, ExtremeClocksDoNotOverflow) {
    EXPECT_EQ(budget(INT_MAX, INT_MAX, 0, 0), INT_MAX / 4);
    EXPECT_EQ(budget(INT_MAX, INT_MAX, 1, 0), INT_MAX / 4);
    EXPECT_LT(budget(-500, 0, 0, 0), 0);  // a flag already fallen: the shortest search
}

}  // namespace

namespace {

TEST(XboardScore, MatesCountInMovesOtherScoresStay) {
    EXPECT_EQ(xboard_score(MATE_SCORE - 1), 100001);    // mates with this move
    EXPECT_EQ(xboard_score(MATE_SCORE - 3), 100002);    // with the second
    EXPECT_EQ(xboard_score(MATE_SCORE - 2), 100001);    // an even ply, as a bound may give
    EXPECT_EQ(xboard_score(-MATE_SCORE + 2), -100001);  // mated after one move
    EXPECT_EQ(xboard_score(-MATE_SCORE + 4), -100002);
    EXPECT_EQ(xboard_score(MATE_BOUND), 100500);  // a mate bound: far, but a mate
    EXPECT_EQ(xboard_score(-MATE_BOUND), -100500);
    for (const int plain : {MATE_BOUND - 1, 1, 0, -1, -(MATE_BOUND - 1)})
        EXPECT_EQ(xboard_score(plain), plain);
}

class ThinkingLines : public search_test::SearchTest {
  protected:
    // The lines of a depth-4 search of a mate in two with the given report.
    static std::string lines_with(const SearchReport& report) {
        tt_clear_all();
        search_test::set_fen("k7/8/2K5/8/8/8/8/7R w - - 0 1");
        search_test::limits.depth = 4;
        ::testing::internal::CaptureStdout();
        EXPECT_TRUE(search_test::think(report));
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(ThinkingLines, TheProtocolShowsMatesInMovesTheConsoleAsSearched) {
    const std::string console = lines_with(console_report);
    const std::string xboard = lines_with(xboard_report);
    EXPECT_NE(console.find("->(4/4 29997 "), std::string::npos) << console;
    EXPECT_NE(console.find("4 29997 "), std::string::npos) << console;
    EXPECT_EQ(console.find("10000"), std::string::npos) << console;
    EXPECT_NE(xboard.find("->(4/4 100002 "), std::string::npos) << xboard;
    EXPECT_NE(xboard.find("\n4 100002 "), std::string::npos) << xboard;
    EXPECT_EQ(xboard.find("29997"), std::string::npos) << xboard;
}

}  // namespace
