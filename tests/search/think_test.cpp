// Iterative deepening: limits, stops, thinking lines and the clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "search_test_util.h"

using namespace search_test;

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool starts_with(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The depths of the completed iterations, from the "->(" lines.
std::vector<int> completed_depths(const std::string& text) {
    std::vector<int> depths;
    for (const std::string& line : lines_of(text)) {
        int depth = 0;
        if (std::sscanf(line.c_str(), "->(%d/", &depth) == 1) depths.push_back(depth);
    }
    return depths;
}

class ThinkTest : public SearchTest {};

TEST_F(ThinkTest, StartPositionAtDepthTwo) {
    limits.depth = 2;
    bool result = false;
    const std::string out = think_output(result);
    ASSERT_TRUE(result);
    EXPECT_TRUE(is_legal(best_move));
    const std::vector<std::string> lines = lines_of(out);
    ASSERT_GE(lines.size(), 2u);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_TRUE(starts_with(lines[i], "2 ")) << lines[i];
        EXPECT_EQ(lines[i].back(), ' ') << "a new-best line ends with a blank";
    }
    int depth = 0, sel = 0, score = 0, cs = 0;
    unsigned nodes = 0;
    ASSERT_EQ(
        std::sscanf(lines.back().c_str(), "->(%d/%d %d %d %u)", &depth, &sel, &score, &cs, &nodes),
        5)
        << lines.back();
    EXPECT_EQ(depth, 2);
    EXPECT_GE(sel, 2);
    EXPECT_EQ(nodes, this_worker->move_nodes + this_worker->capture_nodes);
    EXPECT_EQ(out.back(), '\n');
    // The last new-best line names the chosen move first.
    const std::string& last_best = lines[lines.size() - 2];
    std::istringstream fields(last_best);
    std::string d, s, t, n, first_move;
    fields >> d >> s >> t >> n >> first_move;
    EXPECT_EQ(first_move, text_of(best_move));
    EXPECT_EQ(std::stoi(s), score);
}

TEST_F(ThinkTest, MaxDepthBelowTwoStillSearchesDepthTwo) {
    for (int depth : {-3, 0, 1}) {
        tt_clear_all();
        limits.depth = depth;
        best_move = 0;
        bool result = false;
        const std::string out = think_output(result);
        ASSERT_TRUE(result);
        EXPECT_TRUE(is_legal(best_move));
        EXPECT_EQ(completed_depths(out), std::vector<int>{2});
    }
}

TEST_F(ThinkTest, SingleLegalMoveStopsAfterDepthEight) {
    // Kxb2 is forced.
    set_fen("7k/8/8/8/8/8/1q6/K5R1 w - - 0 1");
    bool result = false;
    std::string out = think_output(result);
    ASSERT_TRUE(result);
    EXPECT_EQ(text_of(best_move), "a1b2");
    EXPECT_EQ(completed_depths(out), (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));

    tt_clear_all();
    limits.depth = 5;
    out = think_output(result);
    EXPECT_EQ(completed_depths(out), (std::vector<int>{2, 3, 4, 5}));
}

TEST_F(ThinkTest, NoLegalMoveReturnsFalseSilently) {
    for (const char* fen :
         {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {
        set_fen(fen);
        best_move = 0x3723;
        bool result = true;
        const std::string out = think_output(result);
        EXPECT_FALSE(result);
        EXPECT_EQ(out, "");
        EXPECT_EQ(best_move, 0x3723u);
    }
}

TEST_F(ThinkTest, AQuietReportPrintsNothingButCounts) {
    limits.depth = 4;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(think());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(is_legal(best_move));
    EXPECT_GT(this_worker->move_nodes, 0u);
    EXPECT_GT(this_worker->capture_nodes, 0u);
}

TEST_F(ThinkTest, RepeatedSearchTakesFinishedDepthsFromTheTable) {
    limits.depth = 5;
    ASSERT_TRUE(think());
    const Move first = best_move;
    limits.depth = 6;
    bool result = false;
    const std::string out = think_output(result);
    ASSERT_TRUE(result);
    const std::vector<std::string> lines = lines_of(out);
    ASSERT_GE(lines.size(), 5u);
    for (int depth = 2; depth <= 5; ++depth) {
        const std::string& line = lines[static_cast<size_t>(depth - 2)];
        EXPECT_TRUE(starts_with(line, std::to_string(depth) + " ")) << line;
        EXPECT_NE(line.find(" 0 0 " + text_of(first) + " (Hash Move)"), std::string::npos) << line;
    }
    EXPECT_EQ(completed_depths(out), std::vector<int>{6});
}

TEST_F(ThinkTest, LastDepthIsSearchedEvenWhenTheTableHasIt) {
    limits.depth = 4;
    ASSERT_TRUE(think());
    bool result = false;
    const std::string out = think_output(result);
    EXPECT_EQ(completed_depths(out), std::vector<int>{4});
    int hash_lines = 0;
    for (const std::string& line : lines_of(out))
        hash_lines += line.find("(Hash Move)") != std::string::npos;
    EXPECT_EQ(hash_lines, 2);  // depths 2 and 3
}

TEST_F(ThinkTest, StopBeforeAnyMoveStillLeavesALegalMove) {
    stop_search = true;
    best_move = 0;
    bool result = false;
    const std::string out = think_output(result);
    EXPECT_TRUE(result);
    EXPECT_TRUE(is_legal(best_move));
    EXPECT_EQ(this_worker->move_nodes, 2u);  // the first root move, cut off after its first child
    EXPECT_EQ(completed_depths(out), std::vector<int>{});
}

TEST_F(ThinkTest, StopKeepsTheTableMoveWhenThereIsOne) {
    const Move stored = parse_move_text("d2d4");
    tt_store(0, 1, BOUND_EXACT, stored);
    stop_search = true;
    ASSERT_TRUE(think());
    EXPECT_EQ(best_move, stored);
}

TEST_F(ThinkTest, TimedSearchWithNoBudgetEndsQuickly) {
    set_fen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8");
    limits.time_budget_cs = 0;
    limits.timed = true;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(think());
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_LT(spent, std::chrono::seconds(10));
    EXPECT_TRUE(is_legal(best_move));
}

TEST_F(ThinkTest, UntimedSearchIgnoresAZeroBudget) {
    limits.time_budget_cs = 0;
    limits.depth = 4;
    bool result = false;
    const std::string out = think_output(result);
    EXPECT_EQ(completed_depths(out), (std::vector<int>{2, 3, 4}));
}

TEST_F(ThinkTest, ElapsedTimeNeitherWrapsNorOverflowsTheLimits) {
    search_start_clock = clock_ms() - 30000000000LL;  // about a year ago
    update_elapsed();
    EXPECT_EQ(elapsed_cs, std::numeric_limits<std::int32_t>::max());

    search_start_clock = clock_ms() - 36000000LL;  // ten hours: 3.6e9 in the product
    update_elapsed();
    EXPECT_GE(elapsed_cs, 3600000);
    EXPECT_LT(elapsed_cs, 3600000 + 100);

    // Three budgets of a billion centiseconds do not fit 32 bits.
    elapsed_cs = 100;
    search_budget_cs = 1000000000;
    EXPECT_FALSE(search_time_exceeded());
    EXPECT_FALSE(iteration_time_exceeded());
    search_budget_cs = UNLIMITED_TIME_BUDGET;
    EXPECT_FALSE(search_time_exceeded());
    elapsed_cs = 601;
    search_budget_cs = 1000;
    EXPECT_TRUE(iteration_time_exceeded());  // 3 * 1000 / 5 = 600
    EXPECT_FALSE(search_time_exceeded());
    elapsed_cs = 600;
    EXPECT_FALSE(iteration_time_exceeded());
}

TEST_F(ThinkTest, PrincipalVariationStopsAtRepetition) {
    // A table that sends the knights out and back forever: the printed line ends.
    const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int round = 0; round < 3; ++round) {
        for (const char* text : cycle) {
            const Move m = parse_move_text(text);
            tt_store(0, 1, BOUND_EXACT, m);
            make_move(m);
        }
    }
    for (int i = 0; i < 12; ++i) unmake_move();
    this_worker->search_ply = 1;
    ::testing::internal::CaptureStdout();
    print_pv();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(out.empty());
    EXPECT_LT(out.size(), 200u);
    EXPECT_EQ(this_worker->search_ply, 1);
}

}  // namespace
