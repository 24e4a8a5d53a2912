// Pinned node counts of short fixed-depth searches. Any change to generation
// order, ordering, pruning, extensions or evaluation moves them; a commit that
// changes them on purpose says so and why.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "search_test_util.h"

using namespace search_test;

namespace {

struct Pinned {
    const char* fen;
    int depth;
    const char* best;
    std::uint32_t move_nodes;
    std::uint32_t capture_nodes;
};

const Pinned pinned[] = {
    // Start position, a tactical middlegame, a closed middlegame, a rook endgame, and
    // two positions of the console's test suite at lower depths.
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 5, "d2d3", 5618, 4249},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 4, "e2a6", 8734,
     23881},
    {"r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8", 5, "c4c5", 18810, 25352},
    {"8/5pk1/6p1/3R4/1r5P/6P1/5PK1/8 b - - 0 40", 7, "b4b2", 133149, 87126},
    {"3r1r1k/1b4pp/ppn1p3/4Pp1R/Pn5P/3P4/4QP2/1qB1NKR1 w - -", 5, "c1e3", 21548, 34971},
    {"8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - -", 7, "b3b8", 57999, 45215},
};

class DeterminismTest : public SearchTest {};

TEST_F(DeterminismTest, FixedDepthSearchesKeepTheirNodeCounts) {
    for (const Pinned& p : pinned) {
        set_fen(p.fen);
        tt_clear_all();
        limits.depth = p.depth;
        limits.time_budget_cs = UNLIMITED_TIME_BUDGET;
        limits.timed = true;
        stop_search = false;
        ASSERT_TRUE(think()) << p.fen;
        EXPECT_EQ(text_of(best_move), p.best) << p.fen;
        EXPECT_EQ(this_worker->move_nodes, p.move_nodes) << p.fen;
        EXPECT_EQ(this_worker->capture_nodes, p.capture_nodes) << p.fen;
    }
}

// The thinking output with the elapsed time, the one field that varies, masked.
std::string without_times(const std::string& out) {
    std::istringstream in(out);
    std::string result;
    for (std::string line; std::getline(in, line);) {
        int depth = 0, sel = 0, score = 0, cs = 0;
        unsigned nodes = 0;
        char buffer[64];
        if (std::sscanf(line.c_str(), "->(%d/%d %d %d %u)", &depth, &sel, &score, &cs, &nodes) ==
            5) {
            std::snprintf(buffer, sizeof buffer, "->(%d/%d %d T %u)", depth, sel, score, nodes);
            result += buffer;
        } else {
            std::istringstream fields(line);
            std::string field;
            for (int i = 0; fields >> field; ++i)
                result += (i == 2 ? std::string("T") : field) + " ";
        }
        result += "\n";
    }
    return result;
}

TEST_F(DeterminismTest, ThinkingLinesOfTheStartPosition) {
    limits.depth = 4;
    bool result = false;
    const std::string out = think_output(result);
    ASSERT_TRUE(result);
    EXPECT_EQ(without_times(out),
              "2 -23 T 46 a2a3 d7d6 \n"
              "2 -21 T 127 a2a4 d7d6 \n"
              "2 -17 T 208 b2b3 d7d6 \n"
              "2 -15 T 292 c2c3 d7d6 \n"
              "2 -5 T 373 c2c4 d7d6 \n"
              "2 0 T 454 d2d3 d7d6 \n"
              "->(2/2 0 T 493)\n"
              "3 23 T 617 d2d3 d7d6 c1e3 \n"
              "->(3/4 23 T 1578)\n"
              "4 0 T 1885 d2d3 d7d6 c1e3 c7c5 \n"
              "->(4/6 0 T 4129)\n");
}

}  // namespace
