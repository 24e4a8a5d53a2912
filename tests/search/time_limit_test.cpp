// The clock limits of a timed search, checked exactly with a clock the test
// controls: a running iteration is cut off once more than three budgets have
// passed, a new iteration starts only within three fifths of the budget, and
// inside the tree the clock is read every 4096 moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "search_test_util.h"

using namespace search_test;

namespace {

// The first reading (the search's start) is 0 ms; every later one is late_ms.
std::int64_t late_ms = 0;
int readings = 0;
std::int64_t jump_clock() {
    return readings++ == 0 ? 0 : late_ms;
}

// 0 ms until the full-width search has counted past threshold moves, then
// far beyond any budget; remembers the move count of every reading.
std::uint32_t threshold = 0;
std::vector<std::uint32_t> read_at;
std::int64_t node_clock() {
    read_at.push_back(static_cast<std::uint32_t>(this_worker->move_nodes));
    return this_worker->move_nodes < threshold ? 0 : 1000000;
}

class TimeLimitTest : public SearchTest {
  protected:
    void TearDown() override {
        set_clock_source(nullptr);
        SearchTest::TearDown();
    }
    // Searches the start position against a budget of budget_cs; returns the output.
    std::string timed_search(int budget_cs, int depth) {
        limits.depth = depth;
        limits.time_budget_cs = budget_cs;
        limits.timed = true;
        bool found = false;
        std::string out = think_output(found);
        EXPECT_TRUE(found);
        EXPECT_TRUE(is_legal(best_move));
        return out;
    }
    std::string with_jump(std::int64_t ms, int budget_cs, int depth) {
        tt_clear_all();
        late_ms = ms;
        readings = 0;
        set_clock_source(jump_clock);
        return timed_search(budget_cs, depth);
    }
};

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(TimeLimitTest, ExactlyThreeBudgetsLetTheIterationFinish) {
    // 300 cs against a budget of 100: not over three budgets, so depth 2 completes,
    // but over three fifths, so depth 3 is not begun.
    const std::string out = with_jump(3000, 100, 6);
    EXPECT_TRUE(has(out, "->(2/2 0 300 493)")) << out;
    EXPECT_FALSE(has(out, "->(3/")) << out;
}

TEST_F(TimeLimitTest, MoreThanThreeBudgetsCutTheFirstIterationAtItsFirstBestMove) {
    const std::string out = with_jump(3010, 100, 6);
    EXPECT_FALSE(has(out, "->(")) << out;
    EXPECT_EQ(text_of(best_move), "a2a3");  // the first root move, searched alone
}

TEST_F(TimeLimitTest, ThreeFifthsOfTheBudgetStillStartAnIteration) {
    const std::string at_limit = with_jump(600, 100, 4);  // 60 cs: not more than 3 * 100 / 5
    EXPECT_TRUE(has(at_limit, "->(4/")) << at_limit;
    const std::string past = with_jump(610, 100, 4);
    EXPECT_TRUE(has(past, "->(2/")) << past;
    EXPECT_FALSE(has(past, "->(3/")) << past;
}

TEST_F(TimeLimitTest, AnUntimedSearchIgnoresEvenABudgetOfZero) {
    late_ms = 1000000;
    readings = 0;
    set_clock_source(jump_clock);
    limits.depth = 4;
    limits.time_budget_cs = 0;
    limits.timed = false;
    bool found = false;
    const std::string out = think_output(found);
    EXPECT_TRUE(has(out, "->(4/")) << out;
}

TEST_F(TimeLimitTest, InsideTheTreeTheClockIsReadEvery4096Moves) {
    threshold = 10000;
    read_at.clear();
    set_clock_source(node_clock);
    timed_search(100, 8);
    // The reading inside the tree that stops the search: the first multiple of
    // 4096 past the threshold (root checks and the lines sent after the stop read
    // the clock too).
    const auto stop = std::find_if(read_at.begin(), read_at.end(),
                                   [](std::uint32_t n) { return n >= threshold && n % 4096 == 0; });
    ASSERT_NE(stop, read_at.end());
    EXPECT_EQ(*stop, 12288u);
    EXPECT_TRUE(stop_search.load());
    // Every reading inside the tree fell on a multiple of 4096 or was a root check.
    int in_tree = 0;
    for (const std::uint32_t n : read_at) in_tree += n > 0 && n % 4096 == 0;
    EXPECT_GE(in_tree, 3);
}

}  // namespace
