// The benchmark's report, on searches short enough for a test.
#include "frontend/bench.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/timeman.h"
#include "search/internal.h"

namespace {

const std::string STARS(80, '*');

class Benchmark : public ::testing::Test {
  protected:
    void SetUp() override {
        if (tt_table == nullptr || eval_state->eval_cache == nullptr ||
            eval_state->pawn_cache == nullptr) {
            tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
            eval_cache_count = EVAL_CACHE_COUNT;
            pawn_cache_count = PAWN_CACHE_COUNT;
            ASSERT_TRUE(allocate_tables());
        }
    }
    void TearDown() override {
        max_depth = DEFAULT_MAX_DEPTH;
        init_position();
    }
    static std::string run(int depth, const char* fen) {
        testing::internal::CaptureStdout();
        benchmark_position(depth, fen);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(Benchmark, ReportOfAShortSearch) {
    const char* fen = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
    const std::string out = run(3, fen);
    const std::string head = STARS + "\nBenchmark position \"" + fen + "\"\n" + STARS + "\n";
    ASSERT_EQ(out.substr(0, head.size()), head);
    const std::string report = out.substr(head.size());
    // The thinking lines, then the result.
    EXPECT_NE(report.find("->(3/"), std::string::npos) << report;
    EXPECT_NE(report.find(")\nBest move: d1d8\nSeconds spent: "), std::string::npos) << report;
    EXPECT_NE(
        report.find("\nNodes of search moves: " + std::to_string(this_worker->move_nodes) + "\n"),
        std::string::npos);
    EXPECT_NE(report.find("\nNodes of search captures: " +
                          std::to_string(this_worker->capture_nodes) + "\n"),
              std::string::npos);
    // However short the search, the speed is a plain number.
    const std::size_t speed = report.find("\nCPU speed: ");
    ASSERT_NE(speed, std::string::npos);
    const std::string figure = report.substr(speed + 12);
    EXPECT_TRUE(figure.size() > 6 && figure[0] >= '0' && figure[0] <= '9') << figure;
    EXPECT_EQ(figure.substr(figure.find('K')), "K nps\n") << figure;
    // The limits stay as the benchmark set them, the position on the board.
    EXPECT_EQ(max_depth, 3);
    EXPECT_EQ(time_budget.load(), 259200000);
    EXPECT_FALSE(clock_control);
    EXPECT_EQ(position.board[G8], B_KING);
}

TEST_F(Benchmark, BadPositionAndNoMove) {
    EXPECT_EQ(run(3, "not a position"), STARS + "\nBenchmark position \"not a position\"\n" +
                                            STARS + "\nBad position, benchmark aborted\n");
    // Checkmated: the search has no move, so the report stops after the header.
    const char* mated = "3R2k1/5ppp/8/8/8/8/8/6K1 b - - 0 1";
    EXPECT_EQ(run(3, mated), STARS + "\nBenchmark position \"" + mated + "\"\n" + STARS + "\n");
}

}  // namespace
