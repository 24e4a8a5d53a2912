// The UCI driver through pipes: handshake, positions, searches and their limits,
// pondering, analysis, options, bad input and the end of input.
#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/referee.h"
#include "protocol/uci_session.h"

using qv_test::BestMove;
using qv_test::expect_legal_output;
using qv_test::Info;
using qv_test::parse_best_move;
using qv_test::parse_info;
using qv_test::Referee;
using qv_test::SLOWDOWN;
using qv_test::starts_with;
using qv_test::UciSession;
using Lines = std::vector<std::string>;

namespace {

// White mates with d1d8; black to move is mated after its only move.
const std::string MATE_IN_ONE = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
const std::string MATED_IN_ONE = "k7/8/1K6/8/8/8/8/7R b - - 0 1";
// White to promote on b8 (taking the rook); black's pawns promote on f1 and h1.
const std::string PROMOTIONS = "1r6/P1P4k/8/8/8/8/3K1p1p/6R1 w - - 0 1";
// White's only legal move is h1g2.
const std::string ONE_REPLY = "7k/8/8/8/8/8/6q1/7K w - - 0 1";

long long now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Info last_info(const Lines& lines) {
    Info last;
    for (const auto& l : lines)
        if (parse_info(l).depth >= 0) last = parse_info(l);
    return last;
}

bool has_best_move(const std::string& output) {
    return output.find("bestmove") != std::string::npos;
}

TEST(ProtocolUci, HandshakeNamesTheEngineAndItsOptions) {
    UciSession s;
    const Lines& h = s.handshake;
    ASSERT_FALSE(h.empty());
    EXPECT_EQ(h.front(), "id name Quorvanite 2.3");
    EXPECT_TRUE(starts_with(h[1], "id author ")) << h[1];
    // Threads as the test directory's configuration gives it.
    const std::string threads = "option name Threads type spin default " +
                                std::to_string(qv_test::test_engine_threads()) + " min 1 max 256";
    for (const std::string& option :
         {std::string("option name Hash type spin default 32 min 1 max 65536"), threads,
          std::string("option name Clear Hash type button"),
          std::string("option name Ponder type check default false"),
          std::string("option name OwnBook type check default false"),  // books off here
          std::string("option name Book File type string default <empty>"),
          std::string("option name Move Overhead type spin default 0 min 0 max 5000")})
        EXPECT_NE(std::find(h.begin(), h.end(), option), h.end()) << option;
    EXPECT_EQ(h.back(), "uciok");
    UciSession::checked(h);
    // Unknown words before a command are skipped, unknown lines ignored.
    s.engine.send("xyzzy");
    s.engine.send("joho isready");
    EXPECT_EQ(s.engine.lines_until_prefix("readyok"), Lines{"readyok"});
    s.engine.send("uci");  // asked again, answered again
    EXPECT_EQ(s.engine.lines_until_prefix("uciok"), h);
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(), 0);
    EXPECT_EQ(s.engine.rest_of_output(), "");
}

TEST(ProtocolUci, PositionsWithCastlingEnPassantAndPromotions) {
    struct Case {
        std::string command;
        std::string fen;  // the referee's start ("" = the initial position)
        Lines moves;
    };
    const Case cases[] = {
        // Both sides castle (the king's move), then an en-passant capture.
        {"position startpos moves e2e4 g8f6 g1f3 e7e6 f1c4 f8e7 e1g1 e8g8 e4e5 d7d5 e5d6",
         "",
         {"e2e4", "g8f6", "g1f3", "e7e6", "f1c4", "f8e7", "e1g1", "e8g8", "e4e5", "d7d5", "e5d6"}},
        // Long castling on both sides.
        {"position fen r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1 moves e1c1 e8c8",
         "r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1",
         {"e1c1", "e8c8"}},
        // Promotions: to a queen with a capture, to a knight that checks, to a rook.
        {"position fen " + PROMOTIONS + " moves a7b8q f2f1n g1f1 h2h1r",
         PROMOTIONS,
         {"a7b8q", "f2f1n", "g1f1", "h2h1r"}},
        // Six fields are not required: the counters default.
        {"position fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 moves e5d6",
         "4k3/8/8/3pP3/8/8/8/4K3 w - d6",
         {"e5d6"}},
    };
    UciSession s;
    for (const Case& c : cases) {
        Referee referee;
        if (!c.fen.empty()) {
            ASSERT_TRUE(referee.setboard(c.fen)) << c.fen;
        }
        for (const auto& m : c.moves) ASSERT_TRUE(referee.play(m)) << m;
        s.engine.send(c.command);
        s.engine.send("go depth 4");
        const Lines lines = s.until_best_move();
        EXPECT_TRUE(lines.size() > 1) << c.command;  // it searched and reported
        expect_legal_output(lines, referee);
    }
    // The promoted knight on f1 gives check (a queen there would not): white's
    // answers are the king's moves and the capture by the rook.
    s.engine.send("position fen " + PROMOTIONS + " moves a7b8q f2f1n");
    s.engine.send("go depth 3");
    const BestMove best = parse_best_move(s.until_best_move().back());
    Referee after_knight;
    ASSERT_TRUE(after_knight.setboard(PROMOTIONS));
    ASSERT_TRUE(after_knight.play("a7b8q"));
    ASSERT_TRUE(after_knight.play("f2f1n"));
    EXPECT_TRUE(after_knight.is_legal(best.move)) << best.move;
    EXPECT_TRUE(best.move == "g1f1" || starts_with(best.move, "d2")) << best.move;
}

TEST(ProtocolUci, LongGameLinesAreReadWhole) {
    // Knights out and back: 120 plies, a line of more than 600 characters.
    std::string command = "position startpos moves";
    Referee referee;
    const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < 30; ++i) {
        for (const char* m : cycle) {
            command += std::string(" ") + m;
            ASSERT_TRUE(referee.play(m));
        }
    }
    ASSERT_TRUE(referee.play("e2e4"));
    command += " e2e4";
    UciSession s;
    s.engine.send(command);
    s.engine.send("go depth 3");
    expect_legal_output(s.until_best_move(), referee);  // black to move after e2e4
}

TEST(ProtocolUci, GoDepthReportsEachIterationAndAMateAsAMate) {
    UciSession s;
    s.engine.send("position startpos moves e2e4 e7e5");
    s.engine.send("go depth 5");
    Lines lines = s.until_best_move();
    Referee referee;
    ASSERT_TRUE(referee.play("e2e4") && referee.play("e7e5"));
    expect_legal_output(lines, referee);
    int deepest = 0;
    long long nodes = 0, time = 0;
    for (const auto& l : lines) {
        const Info info = parse_info(l);
        if (info.depth < 0) continue;
        EXPECT_GE(info.depth, deepest) << l;
        EXPECT_GE(info.seldepth, info.depth) << l;
        EXPECT_GE(info.nodes, nodes) << l;
        EXPECT_GE(info.time, time) << l;
        EXPECT_FALSE(info.mate) << l;
        EXPECT_FALSE(info.pv.empty()) << l;
        deepest = info.depth;
        nodes = info.nodes;
        time = info.time;
    }
    EXPECT_EQ(deepest, 5);
    EXPECT_EQ(last_info(lines).pv.front(), parse_best_move(lines.back()).move);

    s.engine.send("position fen " + MATE_IN_ONE);
    s.engine.send("go depth 3");
    lines = s.until_best_move();
    EXPECT_EQ(lines.back(), "bestmove d1d8");
    EXPECT_TRUE(last_info(lines).mate);
    EXPECT_EQ(last_info(lines).score, 1);

    s.engine.send("position fen " + MATED_IN_ONE);
    s.engine.send("go depth 4");
    lines = s.until_best_move();
    EXPECT_EQ(parse_best_move(lines.back()).move, "a8b8");
    EXPECT_EQ(parse_best_move(lines.back()).ponder, "h1h8");
    EXPECT_TRUE(last_info(lines).mate);
    EXPECT_EQ(last_info(lines).score, -1);

    // Below two plies the engine still searches two.
    s.engine.send("position startpos");
    s.engine.send("go depth 1");
    EXPECT_EQ(last_info(s.until_best_move()).depth, 2);

    // A position without moves answers with the null move.
    s.engine.send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    s.engine.send("go depth 3");
    EXPECT_EQ(s.until_best_move(), Lines{"bestmove 0000"});
}

TEST(ProtocolUci, NodeLimitEndsTheSearchTheSameWayEachTime) {
    QV_SKIP_UNLESS_ONE_THREAD();  // helpers make every search differ
    UciSession s;
    std::string first;
    for (int run = 0; run < 2; ++run) {
        s.engine.send("ucinewgame");
        s.engine.send("position startpos moves d2d4 d7d5 c2c4");
        s.engine.send("go nodes 20000");
        const Lines lines = s.until_best_move();
        const Info info = last_info(lines);
        // Checked after every move of the full-width search and every 1024
        // capture-search nodes, the limit is passed by little.
        EXPECT_LE(info.nodes, 20000 + 1024) << lines.back();
        if (run == 0) first = lines.back();
        if (run == 1) {
            EXPECT_EQ(lines.back(), first);
        }
    }
}

TEST(ProtocolUci, MovetimeIsKept) {
    UciSession s;
    s.engine.send("position startpos moves e2e4");
    for (const int ms : {100, 700}) {
        const long long start = now_ms();
        s.engine.send("go movetime " + std::to_string(ms));
        const Lines lines = s.until_best_move(ms + 5000);
        const long long took = now_ms() - start;
        EXPECT_LE(took, ms + 150 * SLOWDOWN) << lines.back();
        EXPECT_GE(last_info(lines).depth, 2);
    }
}

// Info lines say only what was searched: a depth the table held comes with
// the nodes and time so far or not at all, nps follows from the nodes and
// the time, the table's use closes each iteration after the first second,
// and a search stopped early ends with a line of the move it plays.
TEST(ProtocolUci, InfoLinesReportOnlyWhatWasSearched) {
    UciSession s;
    s.engine.send("position startpos moves e2e4 e7e5");
    const auto check = [](const Lines& out, const char* go) {
        for (const auto& l : out) {
            const Info info = parse_info(l);
            if (info.depth < 0) continue;
            EXPECT_GT(info.nodes, 0) << go << ": " << l;
            EXPECT_EQ(info.nps, info.nodes * 1000 / std::max(info.time, 1LL)) << go << ": " << l;
            EXPECT_FALSE(l.find(" hashfull ") != std::string::npos && info.time < 1000) << l;
        }
        ASSERT_GE(out.size(), 2u) << go;
        EXPECT_EQ(parse_info(out[out.size() - 2]).pv.front(), parse_best_move(out.back()).move)
            << go;
    };
    // One node: stopped before any line completed, the move alone with no score.
    for (const char* go :
         {"go depth 6", "go depth 8", "go nodes 20000", "go nodes 123456", "go nodes 1"}) {
        s.engine.send(go);
        check(s.until_best_move(), go);  // depth 8 starts with the depths the table holds
    }
    s.engine.send("go infinite");
    const Lines long_search = s.engine.lines_until(
        [](const std::string& l) {
            return starts_with(l, "info depth ") && l.find(" hashfull ") != std::string::npos;
        },
        30000 * SLOWDOWN);
    EXPECT_NE(long_search.back().find(" tbhits "), std::string::npos) << long_search.back();
    s.engine.send("stop");
    Lines out = long_search;
    for (const auto& l : s.until_best_move()) out.push_back(l);
    check(out, "go infinite");
}

TEST(ProtocolUci, InfiniteAnalysisAnswersOnlyAfterStop) {
    UciSession s;
    // A forced mate: the search reaches its last depth at once and then waits.
    s.engine.send("position fen " + MATE_IN_ONE);
    s.engine.send("go infinite");
    std::string out = s.engine.output_for(400 * SLOWDOWN);
    EXPECT_NE(out.find("score mate 1"), std::string::npos) << out;
    EXPECT_FALSE(has_best_move(out)) << out;
    for (int i = 0; i < 3; ++i) {
        s.engine.send("isready");
        EXPECT_EQ(s.engine.lines_until_prefix("readyok", 2000 * SLOWDOWN).back(), "readyok");
    }
    s.engine.send("stop");
    EXPECT_EQ(s.until_best_move().back(), "bestmove d1d8");

    // An ordinary position: still searching when stopped.
    s.engine.send("position startpos");
    s.engine.send("go infinite");
    out = s.engine.output_for(300 * SLOWDOWN);
    EXPECT_FALSE(has_best_move(out)) << out;
    s.engine.send("isready");
    s.engine.lines_until_prefix("readyok", 2000 * SLOWDOWN);
    const long long start = now_ms();
    s.engine.send("stop");
    const Lines lines = s.until_best_move(2000 * SLOWDOWN);
    EXPECT_LE(now_ms() - start, 500 * SLOWDOWN);
    Referee referee;
    expect_legal_output(lines, referee);
    s.sync();
}

// The engine's answer at a clock, then the position with its predicted reply
// on the board for a ponder search.
struct PonderSession : UciSession {
    Referee referee;
    BestMove first;
    std::string position;
    PonderSession() {
        engine.send("setoption name Ponder value true");
        engine.send("position startpos moves e2e4");
        engine.send("go wtime 10000 btime 10000 winc 100 binc 100");
        first = parse_best_move(until_best_move().back());
        EXPECT_FALSE(first.ponder.empty());
        EXPECT_TRUE(referee.play("e2e4") && referee.play(first.move) && referee.play(first.ponder));
        position = "position startpos moves e2e4 " + first.move + " " + first.ponder;
        engine.send(position);
    }
};

TEST(ProtocolUci, PonderHitTurnsThePonderSearchIntoTheMove) {
    PonderSession s;
    s.engine.send("go ponder wtime 3000 btime 3000 winc 100 binc 100");
    const std::string out = s.engine.output_for(300 * SLOWDOWN);
    EXPECT_FALSE(has_best_move(out)) << out;
    s.engine.send("isready");
    s.engine.lines_until_prefix("readyok");
    const long long start = now_ms();
    s.engine.send("ponderhit");
    const Lines lines = s.until_best_move(5000 * SLOWDOWN);
    // The budget is a fraction of the 3 s left; the hard limit a quarter of them.
    EXPECT_LE(now_ms() - start, 750 + 100 * SLOWDOWN);
    expect_legal_output(lines, s.referee);
}

TEST(ProtocolUci, PonderStopAnswersAndTheNextSearchFollows) {
    PonderSession s;
    s.engine.send("go ponder wtime 3000 btime 3000");
    EXPECT_FALSE(has_best_move(s.engine.output_for(200 * SLOWDOWN)));
    s.engine.send("stop");
    expect_legal_output(s.until_best_move(2000 * SLOWDOWN), s.referee);
    // The opponent played something else.
    Referee referee;
    ASSERT_TRUE(referee.play("e2e4") && referee.play(s.first.move));
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    move_to_text(list[0].move);
    std::string other = move_text;
    if (other == s.first.ponder) {
        move_to_text(list[count - 1].move);
        other = move_text;
    }
    ASSERT_TRUE(referee.play(other));
    s.engine.send("position startpos moves e2e4 " + s.first.move + " " + other);
    s.engine.send("go wtime 3000 btime 3000");
    expect_legal_output(s.until_best_move(5000 * SLOWDOWN), referee);
}

TEST(ProtocolUci, PonderSearchThatEndsByItselfWaitsForTheHit) {
    UciSession s;
    s.engine.send("position fen " + MATE_IN_ONE);
    s.engine.send("go ponder movetime 100");
    EXPECT_FALSE(has_best_move(s.engine.output_for(400 * SLOWDOWN)));
    s.engine.send("ponderhit");
    EXPECT_EQ(s.until_best_move(1000 * SLOWDOWN).back(), "bestmove d1d8");
    s.sync();
}

TEST(ProtocolUci, CommandsDuringATimedSearchWaitForItsMove) {
    UciSession s;
    s.engine.send("position startpos");
    s.engine.send("go movetime 400");
    s.engine.send("isready");  // answered at once
    EXPECT_EQ(s.engine.lines_until_prefix("readyok", 300).back(), "readyok");
    // A new position and search in the middle: the first search still gets its time.
    const long long start = now_ms();
    s.engine.send("position fen " + ONE_REPLY);
    s.engine.send("isready");
    s.engine.send("go depth 3");
    Lines lines = s.until_best_move();
    EXPECT_GE(now_ms() - start, 200);
    Referee referee;
    expect_legal_output(lines, referee);
    lines = s.engine.lines_until_prefix("bestmove ");
    EXPECT_EQ(lines.front(), "readyok");  // in its place, after the first answer
    EXPECT_EQ(lines.back(), "bestmove h1g2");
}

// What a busy machine may add to a move as the test measures it (milliseconds).
constexpr long long LOAD_ALLOWANCE_MS = 300 * SLOWDOWN;

TEST(ProtocolUci, ClockGamesAgainstItselfKeepTheirTime) {
    struct Control {
        int base_ms, increment_ms, moves_to_go;
    };
    for (const Control c : {Control{2000, 20, 0}, Control{1500, 0, 10}}) {
        std::unique_ptr<UciSession> side[2] = {std::make_unique<UciSession>(),
                                               std::make_unique<UciSession>()};
        Referee referee;
        std::string moves;
        long long clock[2] = {c.base_ms, c.base_ms};
        int played = 0;
        for (; played < 160; ++played) {
            if (referee.legal_count() == 0 || position.state.fifty_counter >= 100) break;
            const int mover = played % 2;
            auto& engine = side[mover]->engine;
            engine.send("position startpos" + (moves.empty() ? "" : " moves" + moves));
            std::string go =
                "go wtime " + std::to_string(clock[0]) + " btime " + std::to_string(clock[1]);
            if (c.increment_ms > 0)
                go += " winc " + std::to_string(c.increment_ms) + " binc " +
                      std::to_string(c.increment_ms);
            if (c.moves_to_go > 0)
                go += " movestogo " + std::to_string(c.moves_to_go - (played / 2) % c.moves_to_go);
            const long long start = now_ms();
            engine.send(go);
            const Lines lines = side[mover]->until_best_move(10000 * SLOWDOWN);
            const long long spent = now_ms() - start;
            // No move takes more than a quarter of the clock (the test's own
            // measure adds the pipes and the machine's load to the engine's).
            EXPECT_LE(spent, clock[mover] / 4 + LOAD_ALLOWANCE_MS)
                << "ply " << played << " with " << clock[mover] << " ms left";
            clock[mover] = std::max(clock[mover] - spent, 0LL) + c.increment_ms;
            if (c.moves_to_go > 0 && (played / 2) % c.moves_to_go == c.moves_to_go - 1)
                clock[mover] += c.base_ms;
            const std::string move = parse_best_move(lines.back()).move;
            ASSERT_TRUE(referee.play(move)) << move << " at ply " << played;
            moves += " " + move;
        }
        EXPECT_GT(played, 20);
        for (auto& s : side) {
            s->engine.send("quit");
            EXPECT_EQ(s->engine.wait_exit(), 0);
        }
    }
}

// Move Overhead and table sizes of any number of megabytes, each answer as
// the interface reads it: nothing when taken as asked, one line when taken as
// another or refused (the table then stays as it was), and "uci" shows the
// values in force. A size the address space cannot hold is refused (not
// tried where the address space cannot be limited: sanitizers, Wine).
TEST(ProtocolUci, MoveOverheadAndAnyTableSize) {
    const bool limited = !QV_UNDER_SANITIZER && qv_test::test_engine_emulator().empty();
    qv_test::Limits limits;
    if (limited) limits.address_space = 4ull << 30;
    UciSession s(limits);
    const struct {
        const char* line;
        Lines told;
        bool refused;
    } cases[] = {
        {"setoption name Move Overhead value 250", {}, false},
        {"setoption name Move Overhead value 9000",
         {"info string Move Overhead 9000: taken as 5000 (0 to 5000 ms)"},
         false},
        {"setoption name Move Overhead value 1.5",
         {"info string Move Overhead needs a whole number of milliseconds: \"1.5\" refused"},
         false},
        {"setoption name Hash value 48", {}, false},
        {"setoption name Hash value 8192",
         {"info string not enough memory for a hash table of 8192 MB; the table keeps its 48 MB"},
         true},
        {"setoption name Hash value 100000",
         {"info string Hash 100000: taken as 65536 (1 to 65536 MB)",
          "info string not enough memory for a hash table of 65536 MB; the table keeps its 48 MB"},
         true},
    };
    for (const auto& c : cases) {
        if (c.refused && !limited) continue;
        s.engine.send(c.line);
        Lines told = s.sync();
        told.pop_back();  // readyok
        EXPECT_EQ(told, c.told) << c.line;
    }
    s.engine.send("uci");
    const Lines h = s.engine.lines_until_prefix("uciok");
    for (const char* option : {"option name Hash type spin default 48 min 1 max 65536",
                               "option name Move Overhead type spin default 5000 min 0 max 5000"})
        EXPECT_NE(std::find(h.begin(), h.end(), option), h.end()) << option;
    // The table kept is searched with; a clock of 6 s less 5 s of overhead still gives a move.
    s.engine.send("position startpos");
    s.engine.send("go wtime 6000 btime 6000");
    Referee referee;
    expect_legal_output(s.until_best_move(), referee);
    qv_test::XboardSession x(limits);
    Lines told = {"telluser Move Overhead 9000: taken as 5000 (0 to 5000 ms)", "pong 1"};
    if (limited) {
        x.engine.send("memory 100000");
        told.insert(told.begin(),
                    "telluser not enough memory for a hash table of 65536 MB; the table keeps "
                    "its 32 MB");
    }
    x.engine.send("option Move Overhead=9000");
    EXPECT_EQ(x.sync(1), told);
}

TEST(ProtocolUci, OptionsTakeEffect) {
    UciSession s;
    s.engine.send("setoption name Hash value 64");
    s.engine.send("setoption name hash value 0");  // names in any case; taken as the nearer end
    Lines lines = s.sync();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "info string Hash 0: taken as 1 (1 to 65536 MB)");
    s.engine.send("setoption name Hash value 64");
    s.engine.send("setoption name Clear Hash");
    EXPECT_EQ(s.sync(), Lines{"readyok"});
    s.engine.send("setoption name Nonsense value 3");
    EXPECT_EQ(s.sync().front(), "info string no option named Nonsense");
    s.engine.send("position startpos moves e2e4");
    s.engine.send("go depth 4");
    Referee referee;
    ASSERT_TRUE(referee.play("e2e4"));
    expect_legal_output(s.until_best_move(), referee);

    s.engine.send("setoption name Book File value /nonexistent/book.bin");
    lines = s.sync();
    EXPECT_TRUE(
        starts_with(lines.front(), "info string Polyglot book /nonexistent/book.bin not used"))
        << lines.front();
}

// UCI_ShowWDL, offered and off: with it on every score is followed by "wdl W
// D L", permille summing to 1000, a mate for the side to move 1000 0 0 and
// one against it 0 0 1000; with it off no line has one.
TEST(ProtocolUci, ShowWdlFollowsEveryScore) {
    UciSession s;
    const Lines& h = s.handshake;
    EXPECT_NE(std::find(h.begin(), h.end(), "option name UCI_ShowWDL type check default false"),
              h.end());
    struct Case {
        const char* show;  // the option's value, "" to leave it as it is
        int lines;         // MultiPV
        std::string position;
        std::vector<int> last_wdl;  // of the last info line; empty: any
    };
    const Case cases[] = {
        {"", 1, "startpos moves e2e4 e7e5", {}},
        {"true", 1, "startpos moves e2e4 e7e5", {}},
        {"true", 2, "startpos moves d2d4", {}},
        {"true", 1, "fen " + MATE_IN_ONE, {1000, 0, 0}},
        {"true", 1, "fen " + MATED_IN_ONE, {0, 0, 1000}},
        {"false", 2, "fen " + MATE_IN_ONE, {}},
    };
    for (const Case& c : cases) {
        if (*c.show != '\0')
            s.engine.send(std::string("setoption name UCI_ShowWDL value ") + c.show);
        s.engine.send("setoption name MultiPV value " + std::to_string(c.lines));
        s.engine.send("position " + c.position);
        s.engine.send("go depth 5");
        const bool on = std::string(c.show) == "true";
        std::vector<int> wdl;
        for (const auto& l : s.until_best_move()) {
            if (parse_info(l).depth < 0) continue;
            std::istringstream in(l.substr(l.find(" score ")));
            std::string word, kind, next;
            int score = 0;
            wdl.assign(3, -1);
            in >> word >> kind >> score >> next >> wdl[0] >> wdl[1] >> wdl[2];
            ASSERT_EQ(next == "wdl", on) << c.position << ": " << l;
            if (!on) continue;
            EXPECT_EQ(wdl[0] + wdl[1] + wdl[2], 1000) << l;
            EXPECT_TRUE(*std::min_element(wdl.begin(), wdl.end()) >= 0) << l;
        }
        if (!c.last_wdl.empty()) {
            EXPECT_EQ(wdl, c.last_wdl) << c.position;
        }
    }
}

// The book is for games: with OwnBook on it answers a move on the clock or on
// a move time, in words and as a line of one move; never an analysis.
TEST(ProtocolUci, TheBookAnswersGameMovesOnly) {
    UciSession s;
    const struct {
        const char* go;
        bool book;
    } cases[] = {{"go wtime 1000 btime 1000", true},
                 {"go movetime 500", true},
                 {"go depth 3", false},
                 {"go nodes 5000", false},
                 {"go mate 1 movetime 300", false},
                 {"go wtime 1000 btime 1000 searchmoves e2e4 d2d4", false},
                 {"go movetime 300 MultiPV", false}};
    for (bool own_book : {false, true}) {
        s.engine.send(std::string("setoption name OwnBook value ") + (own_book ? "true" : "false"));
        for (const auto& c : cases) {
            const bool lines = std::string(c.go).find("MultiPV") != std::string::npos;
            s.engine.send(std::string("setoption name MultiPV value ") + (lines ? "2" : "1"));
            s.engine.send("position startpos");
            s.engine.send(std::string(c.go).substr(0, std::string(c.go).find(" MultiPV")));
            const Lines out = s.until_best_move();
            const std::string best = parse_best_move(out.back()).move;
            const std::size_t n = out.size();  // the books' count lines may come first
            const bool book = n >= 3 && out[n - 3] == "info string book move " + best;
            EXPECT_EQ(book, own_book && c.book) << c.go << ": " << out[0];
            if (book) {
                EXPECT_EQ(out[n - 2],
                          "info depth 1 seldepth 1 score cp 0 nodes 0 nps 0 time 0 pv " + best);
            }
        }
    }
    s.engine.send("setoption name MultiPV value 1");
    s.engine.send("go infinite");
    s.engine.send("isready");
    s.engine.lines_until_prefix("readyok");
    s.engine.send("stop");
    for (const auto& l : s.until_best_move()) EXPECT_FALSE(starts_with(l, "info string book")) << l;
}

// The referee's board as the engine sets it up with UCI_Chess960 on.
Referee chess960_referee(const std::string& fen) {
    Referee referee;
    set_chess960(true);  // KQkq: the outermost rooks
    if (!fen.empty()) {
        EXPECT_TRUE(referee.setboard(fen)) << fen;
    }
    set_chess960(true);
    return referee;
}

// With UCI_Chess960 every position is a Chess960 game, the standard one too:
// castling is the king taking its own rook, read and written, and the books
// stay shut.
TEST(ProtocolUci, Chess960CastlesAsTheKingTakingItsRook) {
    // White's only legal move is castling: the king stays on g1, the rook goes to f1.
    const std::string ONLY_CASTLING = "1k3r2/8/8/8/8/7p/7P/6KR w H - 0 1";
    struct Case {
        std::string fen;  // "" = the start position
        std::string moves;
    } const cases[] = {
        {"", "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1h1 f8c5"},
        {"r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1", "e1a1 e8h8"},
        {"rk5r/pppppppp/8/8/8/8/PPPPPPPP/RK5R w KQkq - 0 1", "b1a1 b8h8"},  // X-FEN
        {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9", "e2e4 d6d5"},
    };
    UciSession s;
    const Lines& h = s.handshake;
    EXPECT_NE(std::find(h.begin(), h.end(), "option name UCI_Chess960 type check default false"),
              h.end());
    s.engine.send("setoption name UCI_Chess960 value true");
    s.engine.send("setoption name OwnBook value true");  // not asked in Chess960
    s.sync();
    struct Standard {  // the referee's notation and game, whatever fails
        ~Standard() {
            castling_notation = CASTLING_AS_KING_MOVE;
            init_position();
        }
    } restore;
    castling_notation = CASTLING_AS_KING_TAKES_ROOK;
    for (const Case& c : cases) {
        Referee referee = chess960_referee(c.fen);
        std::istringstream moves(c.moves);
        for (std::string m; moves >> m;) ASSERT_TRUE(referee.play(m)) << m;
        s.engine.send("position " + (c.fen.empty() ? "startpos" : "fen " + c.fen) + " moves " +
                      c.moves);
        s.engine.send("go depth 4");
        const Lines lines = s.until_best_move();
        for (const auto& l : lines) EXPECT_FALSE(starts_with(l, "info string")) << l;
        expect_legal_output(lines, referee);
    }
    s.engine.send("position fen " + ONLY_CASTLING);
    s.engine.send("go depth 3");
    EXPECT_EQ(parse_best_move(s.until_best_move().back()).move, "g1h1");
    // Off again: standard chess and its notation.
    s.engine.send("setoption name UCI_Chess960 value false");
    s.engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1h1");
    EXPECT_EQ(s.sync().front(), "info string illegal move: e1h1");
    s.engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1");
    EXPECT_EQ(s.sync(), Lines{"readyok"});
}

// A refused position is never searched as another: "go" answers with the
// reason and UCI's null move until a position is taken.
TEST(ProtocolUci, RefusedPositionsAreNeverSearched) {
    UciSession s;
    for (const char* bad :
         {"position fen 8/8/8/8/8/8/8/8 w - - 0 1", "position fen rnbqkbnr/pppppppp w KQkq",
          "position startpos moves e2e4 e7e5 e1e3", "position startpos moves e2e4 e7e5 zz",
          "position startpos moves e2e4 e7e5 e1g1", "position startpos moves e7e8q",
          "position startpos moves e2e4e", "position", "position somewhere"}) {
        s.engine.send("position startpos moves e2e4");
        s.engine.send(bad);
        const Lines lines = s.sync();
        ASSERT_GE(lines.size(), 2u) << bad;
        EXPECT_TRUE(starts_with(lines.front(), "info string ")) << bad << ": " << lines.front();
        s.engine.send("go depth 2");
        const Lines answer = s.until_best_move();
        ASSERT_EQ(answer.size(), 2u) << bad;
        EXPECT_EQ(answer[0], "info string no position to search: " + lines.front().substr(12));
        EXPECT_EQ(answer[1], "bestmove 0000") << bad;
    }
    s.engine.send("position fen " + ONE_REPLY);  // taken: searched again
    s.engine.send("go depth 2");
    EXPECT_EQ(s.until_best_move().back(), "bestmove h1g2");
    // Taken with KQkq for rooks off the corners (without UCI_Chess960), and
    // with the castling letters no rook stands behind dropped.
    const struct {
        std::string fen, note;
    } taken[] = {{"rkrbbqnn/pppppppp/8/8/8/8/PPPPPPPP/RKRBBQNN w KQkq - 0 1", ""},
                 {"rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w KQkq - 0 1",
                  "info string castling Kk dropped: no king and rook to castle with"}};
    for (const auto& t : taken) {
        s.engine.send("position fen " + t.fen);
        EXPECT_EQ(s.sync(), t.note.empty() ? Lines{"readyok"} : (Lines{t.note, "readyok"}));
        s.engine.send("go depth 3");
        Referee referee;
        ASSERT_TRUE(referee.setboard(t.fen));
        expect_legal_output(s.until_best_move(), referee);
    }
    init_position();
}

// Every number taken as another, or refused for what follows it, is told
// once, in both protocols.
TEST(ProtocolOptions, NumbersTakenAsOthersOrRefusedAreToldOnce) {
    UciSession s;
    const struct {
        const char* line;
        const char* told;
    } uci[] = {
        {"setoption name Threads value 0", "info string Threads 0: taken as 1 (1 to 256)"},
        {"setoption name Threads value 2.5",
         "info string Threads needs a whole number of threads: \"2.5\" refused"},
        {"setoption name MultiPV value 3x",
         "info string MultiPV needs a whole number of lines: \"3x\" refused"},
        {"setoption name MultiPV value 0", "info string MultiPV 0: taken as 1 (1 to 256)"},
        {"setoption name Hash value 64.5",
         "info string Hash needs a whole number of megabytes: \"64.5\" refused"},
        {"go depth 1", "info string depth 1: taken as 2 (2 to 32 plies)"},
        {"go depth 0", "info string depth 0: taken as 2 (2 to 32 plies)"},
        {"go depth 2.5 movetime 200", "info string depth 2.5 refused: not a whole number"},
    };
    for (const auto& c : uci) {
        s.engine.send("position startpos");
        s.engine.send(c.line);
        const bool go = starts_with(c.line, "go");
        const Lines out = go ? s.until_best_move() : s.sync();
        EXPECT_EQ(out.front(), c.told) << c.line;
        EXPECT_EQ(std::count_if(out.begin(), out.end(),
                                [](const std::string& l) { return starts_with(l, "info string"); }),
                  1)
            << c.line;
        if (go && std::string(c.told).find("taken as") != std::string::npos) {
            EXPECT_EQ(last_info(out).depth, 2) << c.line;
        }
    }
    qv_test::XboardSession x;
    for (const char* l : {"cores 0", "cores 2x", "option MultiPV=2.5", "memory 1.5"})
        x.engine.send(l);
    EXPECT_EQ(
        x.sync(1),
        (Lines{"telluser cores 0: taken as 1 (1 to 256)",
               "telluser cores needs a whole number of threads: \"2x\" refused",
               "telluser MultiPV needs a whole number of lines: \"2.5\" refused",
               "telluser memory needs a whole number of megabytes: \"1.5\" refused", "pong 1"}));
}

// "quit" ends the process at once with status 0, whatever search runs.
TEST(ProtocolUci, QuitEndsEverySearchAtOnce) {
    for (const char* go : {"go infinite", "go ponder", "go movetime 600000", "go depth 60"}) {
        UciSession s;
        s.engine.send("position startpos");
        s.engine.send(go);
        s.engine.lines_until_prefix("info depth 6", 5000 * SLOWDOWN);
        const long long sent = now_ms();
        s.engine.send("quit");
        EXPECT_EQ(s.engine.wait_exit(2000 * SLOWDOWN), 0) << go;
        RecordProperty(std::string("quit_ms ") + go, static_cast<int>(now_ms() - sent));
    }
}

// Whatever the engine is doing when its input ends, it ends with status 0, and
// a search in progress gives its move first.
TEST(ProtocolUci, EndOfInputAtEveryStage) {
    struct Stage {
        Lines before;
        bool answers;  // a bestmove comes before the end
    };
    const Stage stages[] = {
        {{}, false},
        {{"position startpos moves e2e4"}, false},
        {{"position startpos", "go depth 6"}, true},
        {{"position startpos", "go movetime 300"}, true},
        {{"position startpos", "go infinite"}, true},
        {{"position startpos", "go ponder wtime 1000 btime 1000"}, true},
        {{"position fen " + MATE_IN_ONE, "go infinite"}, true},  // finished, waiting for stop
        {{"position startpos", "go infinite", "stop"}, true},
    };
    for (const Stage& stage : stages) {
        UciSession s;
        for (const auto& l : stage.before) s.engine.send(l);
        s.engine.close_input();
        EXPECT_EQ(s.engine.wait_exit(), 0) << stage.before.size();
        const std::string out = s.engine.rest_of_output();
        EXPECT_EQ(has_best_move(out), stage.answers) << out;
    }
}

}  // namespace
