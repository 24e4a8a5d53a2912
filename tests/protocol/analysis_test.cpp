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
using qv_test::parse_info;
using qv_test::starts_with;
using qv_test::UciSession;
using qv_test::XboardSession;
using Lines = std::vector<std::string>;

namespace {

const std::string MATE_IN_ONE = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
const std::string THREE_MOVES = "k7/8/8/8/8/8/8/6RK b - - 0 1";  // a8a7, a8b7, a8b8

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    return w;
}

// The move a line names first: a UCI variation's, currmove's or bestmove's,
// an xboard thinking line's or move's; "" for none.
std::string first_move(const std::string& line) {
    const std::vector<std::string> w = words(line);
    if (w.size() > 4 && std::isdigit(static_cast<unsigned char>(line[0]))) return w[4];
    for (std::size_t i = 0; i + 1 < w.size(); ++i)
        if (w[i] == "pv" || w[i] == "currmove" || w[i] == "bestmove" || w[i] == "move")
            return w[i + 1];
    return "";
}

std::set<std::string> moves_shown(const Lines& lines) {
    std::set<std::string> moves;
    for (const auto& l : lines)
        if (!first_move(l).empty()) moves.insert(first_move(l));
    return moves;
}

// Scores in order: mates above centipawns, being mated below.
int rank_of(const Info& i) {
    return i.mate ? (i.score > 0 ? 100000 - i.score : -100000 - i.score) : i.score;
}

TEST(ProtocolAnalysisTools, MultiPvReportsDistinctLinesBestFirst) {
    const struct {
        std::string position;
        int multipv;
        std::size_t lines;  // min(MultiPV, legal moves)
    } cases[] = {{"startpos", 3, 3}, {"fen " + MATE_IN_ONE, 5, 5}, {"fen " + THREE_MOVES, 4, 3}};
    UciSession s;
    for (const auto& c : cases) {
        s.engine.send("setoption name MultiPV value " + std::to_string(c.multipv));
        s.engine.send("position " + c.position);
        s.engine.send("go depth 6");
        const Lines out = s.until_best_move();
        ASSERT_GT(out.size(), c.lines);
        std::set<std::string> firsts;
        for (std::size_t k = 0; k < c.lines; ++k) {  // the last depth's lines, before bestmove
            const std::string& l = out[out.size() - 1 - c.lines + k];
            EXPECT_EQ(words(l)[6], std::to_string(k + 1)) << l;
            EXPECT_EQ(parse_info(l).depth, 6) << l;
            if (k > 0) {
                EXPECT_LE(rank_of(parse_info(l)),
                          rank_of(parse_info(out[out.size() - 2 - c.lines + k])));
            }
            firsts.insert(first_move(l));
        }
        EXPECT_EQ(firsts.size(), c.lines) << c.position;
        EXPECT_EQ(first_move(out.back()), first_move(out[out.size() - 1 - c.lines]));
    }
    s.engine.send("setoption name MultiPV value 1");  // one line: no "multipv"
    s.engine.send("go depth 4");
    for (const auto& l : s.until_best_move()) EXPECT_EQ(l.find("multipv"), std::string::npos) << l;

    // xboard: a thinking line per line, the best last, then the depth's "->(" line.
    XboardSession x;
    for (const char* l : {"new", "force", "option MultiPV=3", "sd 5", "go"}) x.engine.send(l);
    const Lines out = x.engine.lines_until_prefix("move ");
    const auto done = std::find_if(out.begin(), out.end(),
                                   [](const std::string& l) { return starts_with(l, "->(5/"); });
    ASSERT_GE(done - out.begin(), 3);
    EXPECT_EQ(moves_shown(Lines(done - 3, done)).size(), 3u);
    for (auto l = done - 3; l + 1 != done; ++l) {
        EXPECT_EQ(words(*l)[0], "5") << *l;
        EXPECT_LE(std::stoi(words(*l)[1]), std::stoi(words(l[1])[1])) << *l;
    }
    EXPECT_EQ(first_move(done[-1]), first_move(out.back()));  // the best, shown last, is played
}

// A search that stops inside an iteration (a node limit, the clock, "stop")
// still ends with its lines, the move played first, each line at the depth
// that last completed it: the new one or the one before.
TEST(ProtocolAnalysisTools, StoppedSearchesEndWithTheirLinesTheMovePlayedFirst) {
    UciSession s;
    s.engine.send("setoption name MultiPV value 3");
    const char* const searches[] = {"go nodes 3000",   "go nodes 10000", "go nodes 30000",
                                    "go nodes 100000", "go movetime 60", "go movetime 250",
                                    "go infinite",     "go nodes 250000"};
    int ply = 0;
    for (const char* go : searches) {
        s.engine.send(ply++ % 2 ? "position startpos moves e2e4 c7c5" : "position startpos");
        s.engine.send(go);
        if (std::string(go) == "go infinite") {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            s.engine.send("stop");
        }
        const Lines out = s.until_best_move();
        const auto first = std::find_if(out.rbegin(), out.rend(), [](const std::string& l) {
            return l.find(" multipv 1 ") != std::string::npos;
        });
        ASSERT_NE(first, out.rend()) << go;
        EXPECT_EQ(first_move(*first), first_move(out.back())) << go << ": " << *first;
        const int depth = parse_info(*first).depth;
        int line = 1;
        for (auto l = first.base(); l + 1 != out.end(); ++l) {
            // The once-a-second progress line (nodes, hashfull) may come between them.
            if (l->find(" multipv ") == std::string::npos) continue;
            EXPECT_EQ(words(*l)[6], std::to_string(++line)) << go << ": " << *l;
            EXPECT_LE(parse_info(*l).depth, depth) << go << ": " << *l;
            EXPECT_GE(parse_info(*l).depth, depth - 1) << go << ": " << *l;
        }
        EXPECT_EQ(line, 3) << go;
    }
}

// After the first second a line is sent as it completes; the iteration's
// lines, best first, follow at its end. An iteration begun after the first
// second therefore shows lines 1 and 2 twice and the last line once.
TEST(ProtocolAnalysisTools, LongSearchesSendEachLineAsItCompletes) {
    UciSession s;
    s.engine.send("setoption name MultiPV value 3");
    s.engine.send("position fen 8/5pk1/6p1/8/3R4/6P1/5PK1/3r4 w - - 0 1");
    s.engine.send("go infinite");
    Lines out;
    std::vector<int> late_ends;  // depths whose last line came after the first second
    for (std::string l; late_ends.size() < 2 && s.engine.read_line(l, 60000);) {
        out.push_back(l);
        const Info i = parse_info(l);
        if (l.find(" multipv 3 ") != std::string::npos && i.time >= 1000)
            late_ends.push_back(i.depth);
    }
    s.engine.send("stop");
    s.until_best_move();
    ASSERT_EQ(late_ends.size(), 2u);
    const std::string depth = "info depth " + std::to_string(late_ends[1]) + " ";
    for (const auto& [line, times] : {std::pair{1, 2}, {2, 2}, {3, 1}}) {
        const auto sent = std::count_if(out.begin(), out.end(), [&](const std::string& l) {
            return starts_with(l, depth) &&
                   l.find(" multipv " + std::to_string(line) + " ") != std::string::npos;
        });
        EXPECT_EQ(sent, times) << depth << "multipv " << line;
    }
}

TEST(ProtocolAnalysisTools, SearchmovesAndExclusionsKeepOtherMovesOut) {
    UciSession s;
    s.engine.send("setoption name MultiPV value 3");
    s.engine.send("position startpos");
    s.engine.send("go depth 5 searchmoves a2a3 g1f3 e2e5");  // e2e5 is not legal: left out
    EXPECT_EQ(moves_shown(s.until_best_move()), (std::set<std::string>{"a2a3", "g1f3"}));
    // Past the first second: currmove names only the moves allowed, hashfull a permille.
    s.engine.send("setoption name MultiPV value 1");
    // Read until the first progress line, however slow the build (sanitizers,
    // a loaded machine): at most 60 s with one thread, 2.5 s with helpers.
    s.engine.send("go infinite searchmoves b1c3 d2d4");
    Lines long_search;
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(qv_test::test_engine_threads() == 1 ? 60000 : 2500);
    for (std::string l; std::chrono::steady_clock::now() < deadline;) {
        if (!s.engine.read_line(l, 100)) continue;
        long_search.push_back(l);
        if (starts_with(l, "info nodes ")) break;
    }
    s.engine.send("stop");
    UciSession::checked(long_search);
    for (const auto& l : s.until_best_move()) long_search.push_back(l);
    EXPECT_EQ(moves_shown(long_search), (std::set<std::string>{"b1c3", "d2d4"}));
    // The table's use comes with the first root move begun after the first
    // second: one thread's iterations bring one within this search; helper
    // threads may make the main thread's first move of an iteration longer.
    const auto progress = std::find_if(long_search.begin(), long_search.end(),
                                       [](const auto& l) { return starts_with(l, "info nodes "); });
    if (qv_test::test_engine_threads() == 1) {
        ASSERT_NE(progress, long_search.end());
    }
    // The table's use after a second of search: a permille, and not nothing.
    int hashfull = -1;
    for (const auto& l : long_search) {
        const std::size_t at = l.find(" hashfull ");
        if (at != std::string::npos) hashfull = std::stoi(l.substr(at + 10));
    }
    if (progress != long_search.end()) {
        EXPECT_GT(hashfull, 0);
        EXPECT_LE(hashfull, 1000);
    }
    // Nothing legal named: UCI's null move.
    for (const char* go :
         {"go depth 3 searchmoves e2e5", "go depth 3 searchmoves zz99",
          "go searchmoves zz99 depth 3", "go wtime 500 btime 500 searchmoves e1e2"}) {
        s.engine.send(go);
        EXPECT_EQ(s.until_best_move(), (Lines{"info string searchmoves names no legal move: "
                                              "nothing to play",
                                              "bestmove 0000"}))
            << go;
    }

    XboardSession x;
    for (const char* l : {"new", "force", "option MultiPV=3", "sd 4", "exclude e2e4",
                          "exclude d2d4", "exclude b1c3", "include b1c3", "exclude all",
                          "include all", "exclude e2e4", "exclude g1f3", "go"})
        x.engine.send(l);
    const std::set<std::string> shown = moves_shown(x.engine.lines_until_prefix("move "));
    EXPECT_TRUE(shown.count("e2e4") + shown.count("g1f3") == 0 && shown.size() >= 3);
    for (const char* l : {"new", "force", "sd 4", "exclude all", "include g1f3", "include b1c3",
                          "include e2e5", "go"})
        x.engine.send(l);
    EXPECT_EQ(moves_shown(x.engine.lines_until_prefix("move ")),
              (std::set<std::string>{"g1f3", "b1c3"}));
    // A new position forgets them; with every move excluded analysis shows nothing.
    for (const char* l : {"new", "force", "exclude all", "new", "force", "sd 3", "go"})
        x.engine.send(l);
    EXPECT_TRUE(starts_with(x.engine.lines_until_prefix("move ").back(), "move "));
    for (const char* l : {"force", "exclude all", "post", "analyze"}) x.engine.send(l);
    EXPECT_EQ(x.sync(1), Lines{"pong 1"});
    x.engine.send("include e7e5");
    EXPECT_EQ(moves_shown(x.engine.lines_until_prefix("->(3/")), std::set<std::string>{"e7e5"});
    x.engine.send("exit");

    // The engine's own move: an excluded move is never played, however good;
    // the one move allowed is played, however bad.
    const struct {
        Lines exclusions;
        std::string played;  // "" when any move but d1d8 may be
    } cases[] = {{{"exclude d1d8"}, ""},
                 {{"exclude all", "include h2h3"}, "h2h3"},
                 {{"exclude d1d8", "include d1d8"}, "d1d8"},
                 {{"exclude all", "include d1d8", "include g2g3", "exclude d1d8"}, "g2g3"}};
    for (const auto& c : cases) {
        for (const char* l : {"new", "force", "sd 4"}) x.engine.send(l);
        x.engine.send("setboard " + MATE_IN_ONE);
        for (const auto& l : c.exclusions) x.engine.send(l);
        x.engine.send("go");
        const std::string move = first_move(x.engine.lines_until_prefix("move ").back());
        if (c.played.empty()) {
            EXPECT_NE(move, "d1d8");
            EXPECT_FALSE(move.empty());
        } else {
            EXPECT_EQ(move, c.played) << c.exclusions.back();
        }
    }
}

// The search ends with the first iteration that proves the mate asked for,
// at its distance; a longer mate, or being mated, does not end it.
TEST(ProtocolAnalysisTools, GoMateEndsOnceTheMateIsFound) {
    const std::string MATE_IN_TWO = "k7/8/1K6/8/8/8/8/1R6 w - - 0 1";
    const std::string MATE_IN_THREE = "k7/8/8/2K5/8/8/8/1R6 w - - 0 1";
    const struct {
        std::string fen, go;
        int mate;   // the mate in moves the last line shows
        int depth;  // the depth the search must reach; 0: it ends with the mate
    } cases[] = {{MATE_IN_ONE, "go mate 1", 1, 0},
                 {MATE_IN_TWO, "go mate 2", 2, 0},
                 {MATE_IN_THREE, "go mate 3", 3, 0},
                 {MATE_IN_THREE, "go mate 5", 3, 0},
                 {MATE_IN_THREE, "go mate 2 depth 8", 3, 8},
                 {"k7/8/1K6/8/8/8/8/7R b - - 0 1", "go mate 1 depth 5", -1, 5}};
    UciSession s;
    for (const auto& c : cases) {
        s.engine.send("ucinewgame");
        s.engine.send("position fen " + c.fen);
        s.engine.send(c.go);
        const Lines out = s.until_best_move(5000 * qv_test::SLOWDOWN);
        const Info last = parse_info(out[out.size() - 2]);
        EXPECT_TRUE(last.mate && last.score == c.mate) << c.go << ": " << out[out.size() - 2];
        EXPECT_EQ(first_move(out.back()), last.pv[0]);
        if (c.depth > 0) {
            EXPECT_EQ(last.depth, c.depth) << c.go;
            continue;
        }
        // No earlier depth had proved the mate: the search ended where it was found.
        for (const auto& l : out) {
            const Info i = parse_info(l);
            if (i.depth >= 0 && i.depth < last.depth) {
                const int asked = std::stoi(c.go.substr(std::string("go mate ").size()));
                EXPECT_FALSE(i.mate && i.score > 0 && i.score <= asked) << c.go << ": " << l;
            }
        }
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
