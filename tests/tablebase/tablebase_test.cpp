// The Syzygy tables through the wrapper and in the search, against the tables'
// own values (probes.epd beside them).
#include "tablebase/tablebase.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "search/search_test_util.h"

using namespace search_test;

namespace {

const std::string TABLES_DIR = QV_SYZYGY_DIR;  // every 3- and 4-piece table, and probes.epd
const char* const KBNK = "8/3K4/b7/8/8/2n5/8/5k2 b - - 0 1";  // black mates in 56 plies

// Skipped without the library or the tables; failed for them where QV_SYZYGY_REQUIRED is set (CI).
class Tablebase : public SearchTest {
  protected:
    void SetUp() override {
        const bool tables = std::filesystem::exists(TABLES_DIR + "/probes.epd");
        if (!TABLEBASES_BUILT || !tables) {
            if (std::getenv("QV_SYZYGY_REQUIRED") != nullptr) FAIL() << "no tables";
            GTEST_SKIP() << "no libfathom or no tables in " << TABLES_DIR;
        }
        SearchTest::SetUp();
        ASSERT_EQ(tablebase_load(TABLES_DIR.c_str()), 4);
    }
    void TearDown() override {
        tablebase_load("");
        syzygy_fifty_move_rule = true;
        SearchTest::TearDown();
    }
};

// The tables' ranking of the position: its outcome, or mate or stalemate.
TablebaseRoot ranked(bool rule = true) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = legal_moves(list);
    TablebaseRoot root{in_check() ? WDL_LOSS : WDL_DRAW, 0, 0};
    if (count > 0) {
        EXPECT_TRUE(tablebase_rank_root(list, count, rule, root));
    }
    return root;
}

TEST_F(Tablebase, OutcomesDistancesAndKeptMovesAgreeWithTheTables) {
    std::ifstream in(TABLES_DIR + "/probes.epd");
    int positions = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string fen = line.substr(0, line.find(" ;"));
        int wdl = 0, dtz = 0, probed = 99;
        ASSERT_EQ(std::sscanf(line.c_str() + fen.size(), " ;wdl %d ;dtz %d", &wdl, &dtz), 2);
        ++positions;
        set_fen(fen.c_str());
        ASSERT_TRUE(tablebase_probe_wdl(probed)) << fen;
        EXPECT_EQ(probed, wdl) << fen;
        MoveEntry list[MOVE_LIST_CAPACITY];
        TablebaseRoot root{};
        ASSERT_TRUE(tablebase_rank_root(list, legal_moves(list), true, root)) << fen;
        EXPECT_EQ(root.wdl, wdl) << fen;
        EXPECT_EQ(root.dtz, std::abs(dtz)) << fen;
        ASSERT_GE(root.kept, 1) << fen;
        for (int i = 0; i < root.kept; ++i) {  // every move kept holds the outcome
            make_move(list[i].move);
            EXPECT_EQ(ranked().wdl, -wdl) << fen << " " << text_of(list[i].move);
            unmake_move();
        }
    }
    EXPECT_EQ(positions, 300);
}

TEST_F(Tablebase, LoadsWhatAPathHoldsAndProbesOnlyPositionsItCovers) {
    const std::string missing = "/nonexistent/syzygy";
    for (const auto& [path, pieces] :
         {std::pair{missing, 0}, {"", 0}, {missing + ":" + TABLES_DIR, 4}}) {
        EXPECT_EQ(tablebase_load(path.c_str()), pieces) << path;
        set_fen(KBNK);
        int wdl = 0;
        EXPECT_EQ(tablebase_probe_wdl(wdl), pieces != 0) << path;
    }
    // Castling rights, five pieces, and a set-up whose side not to move is in
    // check (the library would abort on it).
    for (const char* fen : {"4k3/8/8/8/8/8/8/R3K3 w Q - 0 1", "4k3/8/8/8/8/8/8/RNB1K3 w - - 0 1",
                            "8/8/8/8/8/8/1p6/K1k5 b - - 0 1"}) {
        set_fen(fen);
        int wdl = 0;
        EXPECT_FALSE(tablebase_probe_wdl(wdl)) << fen;
        MoveEntry list[MOVE_LIST_CAPACITY];
        TablebaseRoot root{};
        EXPECT_FALSE(tablebase_rank_root(list, legal_moves(list), true, root)) << fen;
    }
}

// Null moves in pairs advance the fifty-move counter on the same position.
TEST_F(Tablebase, AWinTooFarForTheFiftyMoveRuleIsCursed) {
    const struct {
        int plies;
        bool rule;
        int wdl, score;
    } cases[] = {{44, true, WDL_WIN, TB_WIN_SCORE - 56},
                 {46, true, WDL_CURSED_WIN, TB_CURSED_SCORE},
                 {46, false, WDL_WIN, TB_WIN_SCORE - 56}};
    for (const auto& c : cases) {
        set_fen(KBNK);
        for (int i = 0; i < c.plies; ++i) make_null_move();
        const TablebaseRoot root = ranked(c.rule);
        EXPECT_EQ(root.wdl, c.wdl) << c.plies;
        syzygy_fifty_move_rule = c.rule;
        EXPECT_EQ(tablebase_score(root.wdl, root.dtz), c.score) << c.plies;
    }
}

TEST_F(Tablebase, SearchKeepsTheOutcomeAndReportsItsScore) {
    const struct {
        const char* fen;
        int wdl;        // of the root, side to move's view
        bool in_table;  // else five pieces: the tables answer after captures
    } cases[] = {
        {"8/8/8/8/4k3/1RK5/3p4/8 w - - 0 1", WDL_WIN, true},     // 4 of 13 moves win
        {"7b/8/7R/8/6K1/1k6/8/8 w - - 0 1", WDL_WIN, true},      // 1 of 22
        {"8/8/8/3bk2K/8/8/8/7Q b - - 0 1", WDL_DRAW, true},      // 1 of 19 draws
        {"8/5P2/7K/6r1/8/8/4k3/8 b - - 0 1", WDL_DRAW, true},    // 1 of 22
        {"4q3/8/5k2/8/8/6K1/8/8 w - - 0 1", WDL_LOSS, true},     // lost whatever
        {"8/8/8/3k4/8/8/1QR2r2/4K3 w - - 0 1", WDL_WIN, false},  // Rxf2 wins
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fen);
        tt_clear_all();
        set_fen(c.fen);
        limits.depth = 5;
        bool found = false;
        std::istringstream out(think_output(found));
        ASSERT_TRUE(found);
        int score = 0, depth = 0, sel = 0;  // of the last iteration
        for (std::string line; std::getline(out, line);)
            std::sscanf(line.c_str(), "->(%d/%d %d", &depth, &sel, &score);
        const int band = score >= TB_WIN_BOUND ? WDL_WIN : score <= -TB_WIN_BOUND ? WDL_LOSS : 99;
        EXPECT_EQ(score == 0 ? WDL_DRAW : band, c.wdl) << score;
        make_move(best_move);
        if (c.in_table) {
            EXPECT_EQ(ranked().wdl, -c.wdl) << text_of(best_move);
        } else {
            EXPECT_GT(tablebase_hits(), 0u);
        }
    }
}

// Engine against engine at depth 4: mate before the fifty-move rule or a
// threefold repetition ends the game.
TEST_F(Tablebase, KingBishopAndKnightMateWithinTheFiftyMoveRule) {
    set_fen(KBNK);
    while (legal_move_count() > 0) {
        ASSERT_LT(position.state.fifty_counter, 100);
        int seen = 0;
        for (int n = 0; n < position.game_ply; ++n)
            seen += position.state_history[n].key == position.state.key;
        ASSERT_LT(seen, 2) << "threefold repetition";
        tt_clear_all();
        limits.depth = 4;
        ASSERT_TRUE(think());
        make_move(best_move);
    }
    EXPECT_TRUE(in_check() && position.state.side_to_move == WHITE) << "white is mated";
}

// What the process writes to its standard output and error while action runs.
std::string written_during(const std::function<void()>& action) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::FILE* capture = std::tmpfile();
    const int out = dup(STDOUT_FILENO), err = dup(STDERR_FILENO);
    dup2(fileno(capture), STDOUT_FILENO);
    dup2(fileno(capture), STDERR_FILENO);
    action();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    close(out);
    close(err);
    std::rewind(capture);
    std::string text;
    for (int c = std::getc(capture); c != EOF; c = std::getc(capture)) text += static_cast<char>(c);
    std::fclose(capture);
    return text;
}

// The library writes a line for each table it lets go of and for a file of the
// wrong size; a reload writes nothing and names the damaged files instead.
TEST_F(Tablebase, ReloadsWriteNothingAndNameTheDamagedFiles) {
    set_fen(KBNK);
    int wdl = 0;
    ASSERT_TRUE(tablebase_probe_wdl(wdl));  // the table is in use
    qv_test::TempDir dir;
    const auto bytes_of = [](const std::string& name) {
        std::ifstream in(TABLES_DIR + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    dir.write("KBNvK.rtbw", bytes_of("KBNvK.rtbw"));
    dir.write("KQvK.rtbw", bytes_of("KQvK.rtbw").substr(0, 100));  // cut short
    dir.write("KRvK.rtbw", bytes_of("KRvK.rtbz"));                 // another kind's header
    int pieces = -1;
    EXPECT_EQ(written_during([&] { pieces = tablebase_load(dir.path().c_str()); }), "");
    EXPECT_EQ(pieces, 4);
    EXPECT_EQ(tablebase_damaged_files(), (std::vector<std::string>{"KQvK.rtbw", "KRvK.rtbw"}));
    // The same path again keeps the tables; none at all leaves nothing to probe.
    EXPECT_EQ(written_during([&] { pieces = tablebase_load(dir.path().c_str()); }), "");
    EXPECT_EQ(pieces, 4);
    EXPECT_EQ(written_during([&] { pieces = tablebase_load(""); }), "");
    EXPECT_EQ(pieces, 0);
    EXPECT_FALSE(tablebase_probe_wdl(wdl));
}

TEST_F(Tablebase, ConsoleSaysWhatTheConfiguredFolderHolds) {
    for (const auto& [path, line] :
         {std::pair{TABLES_DIR, "Syzygy tablebases: up to 4 pieces from " + TABLES_DIR},
          {"/nonexistent", "Syzygy tablebases: none found in /nonexistent"}}) {
        qv_test::EngineDir dir;
        dir.write("Quorvanite.cfg", "<quorvanite><ownbook>false</ownbook><syzygy> " + path +
                                        " </syzygy></quorvanite>\n");
        qv_test::EngineProcess engine(dir.path());
        EXPECT_NE(engine.read_through("Quorvanite>").find("\n" + line + "\n"), std::string::npos);
        engine.send("quit");
        EXPECT_EQ(engine.wait_exit(), 0);
    }
}

}  // namespace
