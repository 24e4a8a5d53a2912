// Searches with helper threads: the move, the counts and the limits, and the
// engine alone again afterwards.
#include <gtest/gtest.h>

#include "search_test_util.h"

using namespace search_test;

namespace {

constexpr const char* MIDDLEGAME =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";

class SearchThreadsTest : public SearchTest {
  protected:
    void TearDown() override {
        set_search_threads(1);
        limits.nodes = NO_NODE_LIMIT;
        SearchTest::TearDown();
    }
    // A fixed-depth search from a cleared table; the nodes of this thread.
    static std::uint64_t search_to(int depth) {
        tt_clear_all();
        limits.depth = depth;
        stop_search = false;
        EXPECT_TRUE(think());
        return this_worker->move_nodes + this_worker->capture_nodes;
    }
};

TEST_F(SearchThreadsTest, HelpersSearchBesideAndLeaveTheEngineAsItWas) {
    set_fen(MIDDLEGAME);
    const std::uint64_t key = position.state.key;
    const std::uint64_t alone = search_to(6);
    const Move alone_move = best_move;

    for (const int threads : {2, 3}) {
        ASSERT_EQ(set_search_threads(threads), threads);
        const std::uint64_t own = search_to(6);
        EXPECT_TRUE(is_legal(best_move));
        EXPECT_GT(search_nodes(), own) << "the helpers' nodes are counted";
        EXPECT_EQ(position.state.key, key);
    }

    // Fewer threads again: the one-thread search is exactly what it was.
    ASSERT_EQ(set_search_threads(1), 1);
    EXPECT_EQ(search_to(6), alone);
    EXPECT_EQ(search_nodes(), alone);
    EXPECT_EQ(best_move, alone_move);
}

TEST_F(SearchThreadsTest, TheNodeLimitHoldsForTheSumOverThreads) {
    set_fen(MIDDLEGAME);
    ASSERT_EQ(set_search_threads(2), 2);
    for (const std::uint64_t limit : {20000u, 200000u}) {
        limits.nodes = limit;
        search_to(DEFAULT_MAX_DEPTH);
        EXPECT_TRUE(is_legal(best_move));
        EXPECT_GE(search_nodes(), limit);
        // Each thread checks the sum after every child and every 1024
        // capture-search nodes; the other may add a little meanwhile.
        EXPECT_LT(search_nodes(), limit + limit / 5 + 10000);
    }
}

TEST_F(SearchThreadsTest, TheCountStaysWithinItsBounds) {
    EXPECT_EQ(set_search_threads(0), 1);
    EXPECT_EQ(set_search_threads(-3), 1);
    EXPECT_EQ(search_threads(), 1);
    EXPECT_EQ(set_search_threads(4), 4);
    EXPECT_EQ(set_search_threads(2), 2);
    EXPECT_EQ(search_threads(), 2);
}

}  // namespace
