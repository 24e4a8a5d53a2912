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

// The last line reported before the search returns: its depth and first move.
int last_depth = 0;
Move last_first = 0;
void note_line(const SearchInfo& info) {
    last_depth = info.depth;
    last_first = info.pv_length > 0 ? info.pv[0] : 0;
}
void note_lines(const SearchInfo* lines, int) {
    note_line(lines[0]);
}
const SearchReport noted_report = {no_line, note_line, note_line, note_lines,
                                   no_line, no_line,   note_lines};

// Whichever thread completes the last depth, or proves the mate asked for,
// first ends the search: the move played is the first move of a line of
// that depth, reported last.
TEST_F(SearchThreadsTest, TheSearchEndsWithTheLineOfTheMovePlayed) {
    struct Case {
        const char* fen;
        int depth, mate_plies;
        const char* move;  // the only right move, or nullptr
    };
    const Case cases[] = {
        {MIDDLEGAME, 5, 0, nullptr},
        {MIDDLEGAME, 8, 0, nullptr},
        {"8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - 0 1", 8, 0, nullptr},
        {"3r2k1/5ppp/8/8/8/8/4R3/4R1K1 w - - 0 1", DEFAULT_MAX_DEPTH, 3, "e2e8"},
    };
    for (const int threads : {2, 3}) {
        ASSERT_EQ(set_search_threads(threads), threads);
        for (const Case& c : cases) {
            set_fen(c.fen);
            tt_clear_all();
            limits.depth = c.depth;
            limits.mate_plies = c.mate_plies;
            stop_search = false;
            last_depth = 0;
            const RootMoves result = search(limits, noted_report);
            SCOPED_TRACE(std::string(c.fen) + " threads " + std::to_string(threads));
            ASSERT_FALSE(result.moves.empty());
            if (c.mate_plies == 0) {
                EXPECT_EQ(result.moves[0].depth, c.depth);
            }
            if (c.move != nullptr) {
                EXPECT_EQ(text_of(result.best()), c.move);
            }
            EXPECT_EQ(last_depth, result.moves[0].depth);
            EXPECT_EQ(last_first, result.best());
        }
    }
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
