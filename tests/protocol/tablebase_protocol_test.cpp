// The tablebase options of the built engine: UCI's three options and tbhits,
// xboard's egtpath, and what each says about the folders it is given.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/uci_session.h"
#include "tablebase/tablebase.h"

using qv_test::TempDir;
using qv_test::UciSession;
using qv_test::XboardSession;
using Lines = std::vector<std::string>;

namespace {

const std::string TABLES_DIR = QV_SYZYGY_DIR;  // every 3- and 4-piece table

// Failed where QV_SYZYGY_REQUIRED is set (CI) when the library or the tables are missing.
bool tables_at_hand() {
    if (TABLEBASES_BUILT && std::filesystem::exists(TABLES_DIR + "/probes.epd")) return true;
    if (std::getenv("QV_SYZYGY_REQUIRED") != nullptr) ADD_FAILURE() << "no tables";
    return false;
}

std::string bytes_of(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A folder with one sound table, one cut short and one with another kind's header.
void write_damaged_tables(const TempDir& dir) {
    dir.write("KBNvK.rtbw", bytes_of(TABLES_DIR + "/KBNvK.rtbw"));
    dir.write("KQvK.rtbw", bytes_of(TABLES_DIR + "/KQvK.rtbw").substr(0, 100));
    dir.write("KRvK.rtbw", bytes_of(TABLES_DIR + "/KRvK.rtbz"));
}

// Whether some info line of a search carries the tbhits field, and its last count.
long long last_tbhits(const Lines& lines, bool& shown) {
    long long hits = -1;
    shown = false;
    for (const auto& l : lines) {
        const std::size_t at = l.find(" tbhits ");
        if (at == std::string::npos) continue;
        shown = true;
        hits = std::atoll(l.c_str() + at + 8);
    }
    return hits;
}

TEST(ProtocolTablebases, UciOptionsLoadTheTablesAndSearchesCountTheirHits) {
    UciSession s;
    for (const char* option : {"option name SyzygyPath type string default <empty>",
                               "option name SyzygyProbeDepth type spin default 1 min 1 max 100",
                               "option name Syzygy50MoveRule type check default true"}) {
        const bool shown =
            std::find(s.handshake.begin(), s.handshake.end(), option) != s.handshake.end();
        EXPECT_EQ(shown, TABLEBASES_BUILT) << option;
    }
    if (!tables_at_hand()) GTEST_SKIP() << "no libfathom or no tables in " << TABLES_DIR;

    s.engine.send("setoption name SyzygyPath value " + TABLES_DIR);
    EXPECT_EQ(s.sync(), (Lines{"info string Syzygy tablebases: up to 4 pieces from " + TABLES_DIR,
                               "readyok"}));
    // Five pieces: the tables answer after the captures.
    s.engine.send("position fen 8/8/8/3k4/8/8/1QR2r2/4K3 w - - 0 1");
    s.engine.send("go depth 5");
    bool shown = false;
    EXPECT_GT(last_tbhits(s.until_best_move(), shown), 0);
    EXPECT_TRUE(shown);

    // A reload (the tables above are in use) with damaged files: one message, nothing else.
    TempDir damaged;
    write_damaged_tables(damaged);
    s.engine.send("setoption name SyzygyPath value " + damaged.path());
    EXPECT_EQ(s.sync(), (Lines{"info string Syzygy tablebases: up to 4 pieces from " +
                                   damaged.path() + "; damaged, left out: KQvK.rtbw KRvK.rtbw",
                               "readyok"}));
    s.engine.send("setoption name SyzygyPath value /nonexistent/syzygy");
    EXPECT_EQ(s.sync(), (Lines{"info string Syzygy tablebases: none found in /nonexistent/syzygy",
                               "readyok"}));
    s.engine.send("position startpos");
    s.engine.send("go depth 3");
    last_tbhits(s.until_best_move(), shown);
    EXPECT_FALSE(shown) << "tbhits without tables";
}

// A position the last search cut off with the tables is in the table without
// a move: its depths are searched, not taken as done, so that a search stopped
// early still sends the line of the move it plays.
TEST(ProtocolTablebases, AStoppedSearchOfATablePositionSendsItsLine) {
    if (!tables_at_hand()) GTEST_SKIP() << "no libfathom or no tables in " << TABLES_DIR;
    UciSession s;
    s.engine.send("setoption name SyzygyPath value " + TABLES_DIR);
    s.engine.send("position fen 8/4r3/3Kp2k/4R3/8/8/8/8 b - - 1 56");
    s.engine.send("go depth 8");
    s.until_best_move();
    s.engine.send("position fen 8/4r3/3Kp2k/4R3/8/8/8/8 b - - 1 56 moves e7f7 d6e6");
    s.engine.send("go nodes 300");
    const Lines out = s.until_best_move();
    ASSERT_GE(out.size(), 2u);
    const qv_test::Info last = qv_test::parse_info(out[out.size() - 2]);
    ASSERT_FALSE(last.pv.empty()) << out[out.size() - 2];
    EXPECT_EQ(last.pv[0], qv_test::parse_best_move(out.back()).move);
}

// The FEN's clock counts: a win whose next capture, pawn move or mate lies
// beyond what the fifty-move rule leaves is cursed, a draw (+1) under
// Syzygy50MoveRule and a win without it.
TEST(ProtocolTablebases, Syzygy50MoveRuleJudgesTheWinsTheClockSpoils) {
    if (!tables_at_hand()) GTEST_SKIP() << "no libfathom or no tables in " << TABLES_DIR;
    const std::string KRK = "1R6/8/8/8/5k2/8/8/1K6 w - - ";    // mate in 27 plies
    const std::string KBNK = "8/3K4/b7/8/8/2n5/8/5k2 b - - ";  // black mates in 56 plies
    const struct {
        std::string fen;
        bool rule;
        int score;  // centipawns, the side to move's
    } cases[] = {{KRK + "0 1", true, 27973},     {KRK + "99 120", true, 1},
                 {KRK + "99 120", false, 27973}, {KBNK + "44 1", true, 27944},
                 {KBNK + "46 1", true, 1},       {KBNK + "46 1", false, 27944}};
    UciSession s;
    s.engine.send("setoption name SyzygyPath value " + TABLES_DIR);
    s.sync();
    for (const auto& c : cases) {
        s.engine.send(std::string("setoption name Syzygy50MoveRule value ") +
                      (c.rule ? "true" : "false"));
        s.engine.send("position fen " + c.fen);
        s.engine.send("go depth 4");
        const Lines out = s.until_best_move();
        ASSERT_GE(out.size(), 2u);
        const qv_test::Info last = qv_test::parse_info(out[out.size() - 2]);
        EXPECT_FALSE(last.mate) << c.fen;
        EXPECT_EQ(last.score, c.score) << c.fen << (c.rule ? " with" : " without") << " the rule";
    }
}

// xboard sends egtpath before every game: only a new path is reported.
TEST(ProtocolTablebases, XboardEgtpathLoadsAndTellsTheUserOnce) {
    if (!tables_at_hand()) GTEST_SKIP() << "no libfathom or no tables in " << TABLES_DIR;
    XboardSession s;
    s.engine.send("egtpath syzygy " + TABLES_DIR);
    s.engine.send("egtpath syzygy " + TABLES_DIR);
    s.engine.send("egtpath nalimov /nonexistent/nalimov");
    EXPECT_EQ(s.sync(1),
              (Lines{"telluser Syzygy tablebases: up to 4 pieces from " + TABLES_DIR, "pong 1"}));
    s.engine.send("egtpath syzygy /nonexistent/syzygy");
    EXPECT_EQ(s.sync(2),
              (Lines{"# Syzygy tablebases: none found in /nonexistent/syzygy", "pong 2"}));
}

}  // namespace
