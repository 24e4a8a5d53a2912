// The hard deadline of a timed search, against a clock the test controls: it
// stops the search at the root and deep inside the capture search, and a
// search it does not stop is searched exactly as without it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/platform.h"
#include "search_test_util.h"

using namespace search_test;

namespace {

// Every piece can capture: the capture search alone can take seconds here.
constexpr const char* MANY_QUEENS = "qqqqqqqq/qnnbbrrk/8/8/8/8/QNNBBRRK/QQQQQQQQ w - - 0 1";
constexpr const char* MIDDLEGAME =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";

// 0 ms until the capture search has counted threshold nodes, then 10 s.
std::uint32_t capture_threshold = 0;
int readings = 0;
std::int64_t capture_clock() {
    ++readings;
    return this_worker->capture_nodes < capture_threshold ? 0 : 10000;
}

// The real clock; counts the readings made right after a multiple of 1024
// capture nodes was reached.
int at_capture_poll = 0;
std::int64_t counting_clock() {
    if (this_worker->capture_nodes > 0 && this_worker->capture_nodes % 1024 == 0) ++at_capture_poll;
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The start reading is 0 ms, every later one late_ms.
std::int64_t late_ms = 0;
std::int64_t jump_clock() {
    return readings++ == 0 ? 0 : late_ms;
}

class DeadlineTest : public SearchTest {
  protected:
    void TearDown() override {
        set_clock_source(nullptr);
        limits.deadline_ms = NO_DEADLINE;
        SearchTest::TearDown();
    }
    static void timed(std::int64_t deadline_ms, int depth) {
        limits.depth = depth;
        limits.time_budget_cs = UNLIMITED_TIME_BUDGET;
        limits.deadline_ms = deadline_ms;
        limits.timed = true;
    }
};

TEST_F(DeadlineTest, TheCaptureSearchStopsWithin1024NodesOfTheDeadline) {
    set_fen(MANY_QUEENS);
    capture_threshold = 50000;
    readings = 0;
    set_clock_source(capture_clock);
    timed(1000, DEFAULT_MAX_DEPTH);
    ASSERT_TRUE(think());
    EXPECT_TRUE(stop_search.load());
    EXPECT_GE(this_worker->capture_nodes, capture_threshold);
    EXPECT_LE(this_worker->capture_nodes, capture_threshold + 1024);
    EXPECT_TRUE(is_legal(best_move));
}

TEST_F(DeadlineTest, OnlyADeadlineMakesTheCaptureSearchReadTheClock) {
    // The capture search reads the clock right after counting a multiple of 1024
    // nodes; the full-width search and the root read it elsewhere.
    set_clock_source(counting_clock);
    for (const bool deadline : {false, true}) {
        tt_clear_all();
        set_fen(MIDDLEGAME);
        at_capture_poll = 0;
        timed(deadline ? clock_ms() + 3600000 : NO_DEADLINE, 5);
        ASSERT_TRUE(think());
        if (deadline)
            EXPECT_GE(at_capture_poll, static_cast<int>(this_worker->capture_nodes / 1024) - 1);
        else
            EXPECT_EQ(at_capture_poll, 0);
    }
}

TEST_F(DeadlineTest, AtTheRootTheFirstBestMoveIsPlayedOnceItHasPassed) {
    late_ms = 500;
    readings = 0;
    set_clock_source(jump_clock);
    timed(400, 6);
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(think(console_report));
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("->("), std::string::npos) << out;
    EXPECT_EQ(text_of(best_move), "a2a3");  // the first root move, searched alone

    // Not yet reached at the end of each iteration: all of them are searched.
    tt_clear_all();
    readings = 0;
    timed(501, 4);
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(think(console_report));
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("->(4/"), std::string::npos);
}

TEST_F(DeadlineTest, ASearchItDoesNotStopCountsTheSameNodes) {
    const char* const fens[] = {
        MIDDLEGAME,
        "3r1r1k/1b4pp/ppn1p3/4Pp1R/Pn5P/3P4/4QP2/1qB1NKR1 w - - 0 1",
    };
    for (const char* fen : fens) {
        set_fen(fen);
        tt_clear_all();
        limits.depth = 6;
        limits.timed = false;
        ASSERT_TRUE(think());
        const std::uint64_t moves = this_worker->move_nodes, captures = this_worker->capture_nodes;
        const Move chosen = best_move;

        tt_clear_all();
        timed(clock_ms() + 3600000, 6);  // an hour away: read, never reached
        ASSERT_TRUE(think());
        EXPECT_EQ(this_worker->move_nodes, moves) << fen;
        EXPECT_EQ(this_worker->capture_nodes, captures) << fen;
        EXPECT_EQ(best_move, chosen) << fen;
    }
}

}  // namespace
