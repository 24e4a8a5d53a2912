// The Syzygy tables through the wrapper and in the search: outcomes and
// distances against the tables' own values, the root moves the tables keep,
// a won ending played out to mate, and the console's line about the tables.
#include "tablebase/tablebase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "search/search_test_util.h"

using namespace search_test;

namespace {

const std::string TABLES_DIR = QV_SYZYGY_DIR;  // every 3- and 4-piece table, and probes.epd

// Skips (fails where QV_SYZYGY_REQUIRED is set, as in CI) without the library or the tables.
bool tables_missing() {
    std::string why;
    if (!TABLEBASES_BUILT) why = "built without libfathom";
    if (!std::filesystem::exists(TABLES_DIR + "/probes.epd")) why = "no tables in " + TABLES_DIR;
    if (why.empty()) return false;
    if (std::getenv("QV_SYZYGY_REQUIRED") != nullptr) ADD_FAILURE() << why;
    return true;
}

class Tablebase : public SearchTest {
  protected:
    void SetUp() override {
        if (tables_missing()) GTEST_SKIP();
        SearchTest::SetUp();
        ASSERT_EQ(tablebase_load(TABLES_DIR.c_str()), 4);
    }
    void TearDown() override {
        tablebase_load("");
        syzygy_fifty_move_rule = true;
        SearchTest::TearDown();
    }
};

// The outcome the tables rank for the side to move here; for a position
// without moves, mate or stalemate.
int ranked_outcome(bool& ok) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = legal_moves(list);
    if (count == 0) return in_check() ? WDL_LOSS : WDL_DRAW;
    TablebaseRoot root{};
    ok = tablebase_rank_root(list, count, true, root);
    return root.wdl;
}

struct Probe {
    std::string fen;
    int wdl;
    int dtz;
};

std::vector<Probe> probes() {
    std::vector<Probe> out;
    std::ifstream in(TABLES_DIR + "/probes.epd");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        Probe p;
        const std::size_t cut = line.find(" ;wdl ");
        p.fen = line.substr(0, cut);
        EXPECT_EQ(std::sscanf(line.c_str() + cut, " ;wdl %d ;dtz %d", &p.wdl, &p.dtz), 2) << line;
        out.push_back(p);
    }
    return out;
}

TEST_F(Tablebase, OutcomesDistancesAndKeptMovesAgreeWithTheTables) {
    const std::vector<Probe> cases = probes();
    ASSERT_EQ(cases.size(), 300u);
    for (const Probe& p : cases) {
        set_fen(p.fen.c_str());
        int wdl = 99;
        ASSERT_TRUE(tablebase_probe_wdl(wdl)) << p.fen;
        EXPECT_EQ(wdl, p.wdl) << p.fen;

        MoveEntry list[MOVE_LIST_CAPACITY];
        const int count = legal_moves(list);
        TablebaseRoot root{};
        ASSERT_TRUE(tablebase_rank_root(list, count, true, root)) << p.fen;
        EXPECT_EQ(root.wdl, p.wdl) << p.fen;
        EXPECT_EQ(root.dtz, std::abs(p.dtz)) << p.fen;
        ASSERT_GE(root.kept, 1) << p.fen;
        // Every move kept holds the outcome: the reply's side gets its opposite.
        for (int i = 0; i < root.kept; ++i) {
            make_move(list[i].move);
            bool ok = true;
            EXPECT_EQ(ranked_outcome(ok), -p.wdl) << p.fen << " " << text_of(list[i].move);
            EXPECT_TRUE(ok) << p.fen;
            unmake_move();
        }
    }
}

TEST_F(Tablebase, LoadingSaysHowManyPiecesAndABadFolderIsNoError) {
    const std::string missing = "/nonexistent/syzygy";
    const struct {
        std::string path;
        int pieces;
    } cases[] = {{missing, 0}, {"", 0}, {missing + ":" + TABLES_DIR, 4}, {TABLES_DIR, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(tablebase_load(c.path.c_str()), c.pieces) << c.path;
        EXPECT_EQ(tablebase_pieces, c.pieces);
        set_fen("8/8/8/8/8/2k5/8/KBN5 w - - 0 1");
        int wdl = 99;
        EXPECT_EQ(tablebase_probe_wdl(wdl), c.pieces != 0) << c.path;
    }
    // Castling rights and more pieces than the tables hold are not probed.
    for (const char* fen : {"4k3/8/8/8/8/8/8/R3K3 w Q - 0 1", "4k3/8/8/8/8/8/8/RNB1K3 w - - 0 1"}) {
        set_fen(fen);
        int wdl = 99;
        EXPECT_FALSE(tablebase_probe_wdl(wdl)) << fen;
    }
}

// The last iteration's score, from its "->(" line.
int last_iteration_score(const std::string& out) {
    int score = 0, depth = 0, sel = 0;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        std::sscanf(line.c_str(), "->(%d/%d %d", &depth, &sel, &score);
    return score;
}

TEST_F(Tablebase, SearchKeepsTheOutcomeAndReportsItsScore) {
    const struct {
        const char* fen;
        int wdl;        // of the root, side to move's view
        bool in_table;  // the root itself is covered (else only positions after captures)
    } cases[] = {
        {"8/8/8/8/4k3/1RK5/3p4/8 w - - 0 1", WDL_WIN, true},     // 4 of 13 moves win
        {"7b/8/7R/8/6K1/1k6/8/8 w - - 0 1", WDL_WIN, true},      // 1 of 22
        {"8/8/8/3bk2K/8/8/8/7Q b - - 0 1", WDL_DRAW, true},      // 1 of 19 draws
        {"8/5P2/7K/6r1/8/8/4k3/8 b - - 0 1", WDL_DRAW, true},    // 1 of 22
        {"4q3/8/5k2/8/8/6K1/8/8 w - - 0 1", WDL_LOSS, true},     // lost whatever
        {"8/8/8/3k4/8/8/1QR2r2/4K3 w - - 0 1", WDL_WIN, false},  // five pieces
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        tt_clear_all();
        set_fen(c.fen);
        max_depth = 5;
        bool found = false;
        const int score = last_iteration_score(think_output(found));
        ASSERT_TRUE(found);
        // Wins and losses in the tables' band (or mates), draws at 0.
        const int band = score >= TB_WIN_BOUND ? WDL_WIN : score <= -TB_WIN_BOUND ? WDL_LOSS : 99;
        EXPECT_EQ(score == 0 ? WDL_DRAW : band, c.wdl) << score;
        if (!c.in_table) {
            EXPECT_GT(tb_hits, 0u) << "the search probes after captures";
            continue;
        }
        make_move(best_move);
        bool ok = true;
        EXPECT_EQ(ranked_outcome(ok), -c.wdl) << text_of(best_move);
        unmake_move();
    }
}

// Engine against engine at a small depth from a won king, bishop and knight
// against king that the tables give 56 plies to mate: mate comes before the
// fifty-move rule or a threefold repetition could end the game.
TEST_F(Tablebase, KingBishopAndKnightMateWithinTheFiftyMoveRule) {
    set_fen("8/3K4/b7/8/8/2n5/8/5k2 b - - 0 1");
    const int start = position.game_ply;
    for (;;) {
        ASSERT_LT(position.state.fifty_counter, 100) << "fifty-move rule";
        int seen = 0;
        for (int n = start; n < position.game_ply; ++n)
            seen += position.state_history[n].key == position.state.key;
        ASSERT_LT(seen, 2) << "threefold repetition";
        tt_clear_all();
        max_depth = 4;
        post_thinking = false;
        if (!think()) break;
        make_move(best_move);
    }
    EXPECT_TRUE(in_check()) << "stalemate";
    EXPECT_EQ(position.state.side_to_move, WHITE) << "white, the weaker side, is mated";
}

TEST_F(Tablebase, ConsoleSaysWhatTheConfiguredFolderHolds) {
    const struct {
        std::string path;
        std::string line;
    } cases[] = {
        {TABLES_DIR, "\nSyzygy tablebases: up to 4 pieces from " + TABLES_DIR + "\n"},
        {"/nonexistent/syzygy", "\nSyzygy tablebases: none found in /nonexistent/syzygy\n"},
    };
    for (const auto& c : cases) {
        qv_test::EngineDir dir;
        dir.write("Quorvanite.cfg", "<quorvanite><ownbook>false</ownbook><syzygy> " + c.path +
                                        " </syzygy></quorvanite>\n");
        qv_test::EngineProcess engine(dir.path());
        EXPECT_NE(engine.read_through("Quorvanite>").find(c.line), std::string::npos) << c.line;
        engine.send("quit");
        EXPECT_EQ(engine.wait_exit(), 0);
    }
}

}  // namespace
