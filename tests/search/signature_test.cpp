// The engine's signature: the console's benchmark and test suite, and a set
// of fixed-depth searches over varied positions, must print exactly what they
// printed before (times masked). Any change to a depth, a margin, a table
// value, the order of generation or of the tests shows up here.
#include <gtest/gtest.h>

#include <string>

#include "golden/golden.h"
#include "protocol/engine_process.h"
#include "search_test_util.h"

using namespace search_test;

namespace {

TEST(Signature, SlowConsoleBenchmarkAndTestSuite) {
    qv_test::TempDir dir;
    qv_test::EngineProcess engine(dir.path());
    ASSERT_TRUE(engine.started());
    engine.read_through("Quorvanite>");
    engine.send("benchmark");
    engine.send("testsuite");
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(1200000 * qv_test::SLOWDOWN), 0);
    golden::expect_matches("console_benchmark.txt", golden::mask(engine.rest_of_output()));
}

struct FixedSearch {
    const char* fen;
    const char* moves;  // played before the search, to give it a history
    int depth;
};

// Endgames, promotions (quiet and capturing, under-promotions), checks and
// evasions, mates for either side, a forced single reply, castling and en
// passant, repetitions in the history, and insufficient material.
const FixedSearch fixed_searches[] = {
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "", 9},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", "", 5},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", "", 5},
    {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", "", 5},
    {"r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5Q2/PPPP1PPP/RNB1K1NR w KQkq - 0 4", "", 5},
    {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "", 7},
    {"8/8/8/4k3/8/8/8/4K2Q w - - 0 1", "", 9},
    {"8/8/8/8/8/2k5/1r6/K7 b - - 0 1", "", 11},
    {"8/6P1/8/8/8/5k2/1p6/3K4 w - - 0 1", "", 9},
    {"3k4/1P6/8/8/8/8/6p1/4K2R b K - 0 1", "", 7},
    {"7k/5Q2/6K1/8/8/8/8/8 w - - 0 1", "", 7},
    {"7k/8/8/8/8/8/6q1/7K w - - 0 1", "", 12},
    {"8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1", "", 20},
    {"8/8/4k3/8/8/4K3/4N3/8 w - - 0 1", "", 6},
    {"rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3", "", 5},
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1d1 e8d8 d1e1 d8e8 e1d1 e8d8 d1e1 d8e8", 6},
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1", 6},
};

class SignatureSearch : public SearchTest {};

TEST_F(SignatureSearch, FixedDepthSearchesOverVariedPositions) {
    std::string out;
    for (const FixedSearch& s : fixed_searches) {
        reset_search_state();
        set_fen(s.fen);
        std::string moves = s.moves;
        for (std::size_t at = 0; at < moves.size();) {
            const std::size_t end = std::min(moves.find(' ', at), moves.size());
            const std::string text = moves.substr(at, end - at);
            const Move m = parse_move_text(text.c_str());
            ASSERT_NE(m, 0u) << text;
            make_move(m);
            at = end + 1;
        }
        tt_clear_all();
        limits.depth = s.depth;
        limits.time_budget_cs = UNLIMITED_TIME_BUDGET;
        limits.timed = true;
        bool found = false;
        const std::string thinking = think_output(found);
        out += "## " + std::string(s.fen) + (moves.empty() ? "" : " moves " + moves) + " depth " +
               std::to_string(s.depth) + "\n";
        out += golden::mask(thinking);
        out += found ? "best " + text_of(best_move) : std::string("no move");
        out += " moves " + std::to_string(this_worker->move_nodes) + " captures " +
               std::to_string(this_worker->capture_nodes) + "\n";
    }
    golden::expect_matches("fixed_depth.txt", out);
}

}  // namespace
