// What analysis interfaces ask of the engine: several lines, a restricted
// root, a mate search and a move count by move, in both protocols.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/uci_session.h"

using qv_test::Info;
using qv_test::parse_best_move;
using qv_test::parse_info;
using qv_test::starts_with;
using qv_test::UciSession;
using qv_test::XboardSession;
using Lines = std::vector<std::string>;

namespace {

const std::string MATE_IN_ONE = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
const std::string ONE_MOVE = "k7/8/8/8/8/8/6q1/7K w - - 0 1";    // only h1g2 is legal
const std::string THREE_MOVES = "k7/8/8/8/8/8/8/6RK b - - 0 1";  // a8a7, a8b7, a8b8

// A score that orders mates above centipawns (mated below).
int rank_of(const Info& i) {
    return i.mate ? (i.score > 0 ? 100000 - i.score : -100000 - i.score) : i.score;
}

// The lines of the deepest depth, in the order they came.
std::vector<Info> deepest_lines(const Lines& lines) {
    std::vector<Info> all;
    for (const auto& l : lines)
        if (parse_info(l).depth >= 0) all.push_back(parse_info(l));
    std::vector<Info> last;
    for (const Info& i : all)
        if (i.depth == all.back().depth) last.push_back(i);
    return last;
}

TEST(ProtocolAnalysisTools, MultiPvReportsDistinctLinesBestFirst) {
    struct Case {
        std::string fen;
        int multipv;
        std::size_t lines;  // min(MultiPV, legal moves)
    } const cases[] = {{"startpos", 3, 3},
                       {"fen " + MATE_IN_ONE, 5, 5},
                       {"fen " + THREE_MOVES, 4, 3},
                       {"fen " + ONE_MOVE, 2, 1}};
    UciSession s;
    for (const Case& c : cases) {
        s.engine.send("setoption name MultiPV value " + std::to_string(c.multipv));
        s.engine.send("position " + c.fen);
        s.engine.send("go depth 6");
        const Lines out = s.until_best_move();
        const std::vector<Info> last = deepest_lines(out);
        ASSERT_EQ(last.size(), c.lines) << c.fen;
        std::set<std::string> firsts;
        for (std::size_t k = 0; k < last.size(); ++k) {
            ASSERT_FALSE(last[k].pv.empty()) << c.fen;
            firsts.insert(last[k].pv[0]);
            if (k > 0) {
                EXPECT_LE(rank_of(last[k]), rank_of(last[k - 1])) << c.fen << " line " << k;
            }
            EXPECT_NE(out[out.size() - 1 - last.size() + k].find(" multipv " +
                                                                 std::to_string(k + 1) + " "),
                      std::string::npos)
                << c.fen;
        }
        EXPECT_EQ(firsts.size(), last.size()) << c.fen;
        EXPECT_EQ(parse_best_move(out.back()).move, last[0].pv[0]) << c.fen;
    }
    // One line again: the lines carry no "multipv".
    s.engine.send("setoption name MultiPV value 1");
    s.engine.send("position startpos");
    s.engine.send("go depth 4");
    for (const auto& l : s.until_best_move()) EXPECT_EQ(l.find("multipv"), std::string::npos) << l;

    // xboard: one thinking line per line, the best last, before the depth's "->(" line.
    XboardSession x;
    for (const char* l : {"protover 2", "new", "force", "option MultiPV=3", "sd 5", "go"})
        x.engine.send(l);
    const Lines thinking = x.engine.lines_until_prefix("move ");
    const auto done = std::find_if(thinking.begin(), thinking.end(),
                                   [](const std::string& l) { return starts_with(l, "->(5/"); });
    ASSERT_TRUE(done - thinking.begin() >= 3);
    std::set<std::string> firsts;
    int previous = -1000000;
    for (auto l = done - 3; l != done; ++l) {
        std::istringstream in(*l);
        int depth = 0, score = 0;
        std::string cs, nodes, move;
        in >> depth >> score >> cs >> nodes >> move;
        EXPECT_EQ(depth, 5) << *l;
        EXPECT_GE(score, previous) << *l;
        previous = score;
        firsts.insert(move);
        if (l == done - 1) {
            EXPECT_EQ(thinking.back(), "move " + move);  // the best, shown last, is played
        }
    }
    EXPECT_EQ(firsts.size(), 3u);
}

// The moves named first in the variations and in currmove lines.
std::set<std::string> moves_shown(const Lines& lines) {
    std::set<std::string> moves;
    for (const auto& l : lines) {
        std::istringstream in(l);
        std::string word, move;
        while (in >> word)
            if (word == "currmove" || word == "pv") {
                in >> move;
                moves.insert(move);
            }
        if (!l.empty() && std::isdigit(static_cast<unsigned char>(l[0]))) {
            in.clear();
            in.str(l);
            for (int i = 0; i < 5; ++i) in >> move;
            moves.insert(move);
        }
        if (starts_with(l, "move ") || starts_with(l, "bestmove "))
            moves.insert(l.substr(l.find(' ') + 1, 4));
    }
    return moves;
}

TEST(ProtocolAnalysisTools, SearchmovesAndExclusionsKeepOtherMovesOut) {
    UciSession s;
    s.engine.send("setoption name MultiPV value 3");
    s.engine.send("position startpos");
    s.engine.send("go depth 5 searchmoves a2a3 g1f3 e2e5");  // e2e5 is not legal: left out
    EXPECT_EQ(moves_shown(s.until_best_move()), (std::set<std::string>{"a2a3", "g1f3"}));
    // Past the first second: currmove names only the moves allowed, hashfull a permille.
    s.engine.send("setoption name MultiPV value 1");
    s.engine.send("go infinite searchmoves b1c3 d2d4");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    s.engine.send("stop");
    const Lines long_search = s.until_best_move();
    EXPECT_EQ(moves_shown(long_search), (std::set<std::string>{"b1c3", "d2d4"}));
    int hashfull = -1;
    for (const auto& l : long_search)
        if (starts_with(l, "info nodes ")) hashfull = std::stoi(l.substr(l.find("hashfull ") + 9));
    EXPECT_GE(hashfull, 0);
    EXPECT_LE(hashfull, 1000);
    s.engine.send("go depth 3 searchmoves e2e5");  // nothing legal left: UCI's null move
    EXPECT_EQ(s.until_best_move(), Lines{"bestmove 0000"});

    XboardSession x;
    const struct {
        Lines commands;
        std::set<std::string> shown;
    } cases[] = {
        {{"exclude e2e4", "exclude d2d4", "exclude b1c3", "exclude g1f3", "include d2d4",
          "exclude all", "include all", "exclude e2e4"},
         {}},  // the first seven are undone by the last
        {{"exclude all", "include g1f3", "include b1c3", "include e2e5"}, {"g1f3", "b1c3"}},
    };
    for (const auto& c : cases) {
        for (const char* l : {"new", "force", "option MultiPV=2", "sd 4"}) x.engine.send(l);
        for (const auto& l : c.commands) x.engine.send(l);
        x.engine.send("go");
        const std::set<std::string> shown = moves_shown(x.engine.lines_until_prefix("move "));
        if (c.shown.empty())
            EXPECT_EQ(shown.count("e2e4"), 0u);
        else
            EXPECT_EQ(shown, c.shown);
    }
    // A new position forgets them; with every move excluded analysis shows nothing.
    for (const char* l : {"new", "force", "exclude all", "new", "force", "sd 3", "go"})
        x.engine.send(l);
    EXPECT_TRUE(starts_with(x.engine.lines_until_prefix("move ").back(), "move "));
    for (const char* l : {"force", "exclude all", "post", "analyze"}) x.engine.send(l);
    EXPECT_EQ(x.sync(1), Lines{"pong 1"});
    x.engine.send("include e7e5");
    EXPECT_EQ(moves_shown(x.engine.lines_until_prefix("->(3/")), std::set<std::string>{"e7e5"});
}

TEST(ProtocolAnalysisTools, GoMateEndsOnceTheMateIsFound) {
    const struct {
        std::string fen;
        int moves;
    } cases[] = {{MATE_IN_ONE, 1},
                 {"k7/8/1K6/8/8/8/8/1R6 w - - 0 1", 2},
                 {"k7/8/8/2K5/8/8/8/1R6 w - - 0 1", 3}};
    UciSession s;
    for (const auto& c : cases) {
        s.engine.send("position fen " + c.fen);
        s.engine.send("go mate " + std::to_string(c.moves));
        const Lines out = s.until_best_move(5000 * qv_test::SLOWDOWN);
        const Info last = deepest_lines(out).back();
        EXPECT_TRUE(last.mate && last.score == c.moves) << out[out.size() - 2];
        EXPECT_LT(last.depth, 2 * c.moves + 4) << c.fen;  // it did not search on
        EXPECT_EQ(parse_best_move(out.back()).move, last.pv[0]);
    }
}

TEST(ProtocolAnalysisTools, GoPerftCountsEachMove) {
    std::ifstream file(QV_SOURCE_DIR "/tests/board/perft_positions.epd");
    ASSERT_TRUE(file);
    UciSession s;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string fen = line.substr(0, line.find(" ;"));
        const auto d1 = std::stoull(line.substr(line.find(";D1 ") + 4));
        const auto d3 = std::stoull(line.substr(line.find(";D3 ") + 4));
        s.engine.send("position fen " + fen);
        s.engine.send("go perft 3");
        const Lines out = s.engine.lines_until_prefix("Nodes searched: ");
        ASSERT_EQ(out.size(), d1 + 2) << fen;
        unsigned long long sum = 0;
        for (std::size_t i = 0; i < d1; ++i)
            sum += std::stoull(out[i].substr(out[i].find(": ") + 2));
        EXPECT_EQ(sum, d3) << fen;
        EXPECT_EQ(out[d1], "");
        EXPECT_EQ(out.back(), "Nodes searched: " + std::to_string(d3)) << fen;
    }
    for (const char* depth : {"0", "", "x", "-3"}) {
        s.engine.send(std::string("go perft ") + depth);
        EXPECT_EQ(s.engine.lines_until_prefix("Nodes searched: "),
                  (Lines{"", "Nodes searched: 1"}));
    }
    EXPECT_EQ(s.sync(), Lines{"readyok"});  // and no bestmove
}

}  // namespace
