// The engine with two search threads (UCI's Threads option, xboard's "cores")
// through pipes: the counts it reports, the limits and stops it obeys, and a
// prompt end.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/referee.h"
#include "protocol/uci_session.h"

using qv_test::EngineDir;
using qv_test::EngineProcess;
using qv_test::Info;
using qv_test::parse_info;
using qv_test::Referee;
using qv_test::SLOWDOWN;
using qv_test::starts_with;
using Lines = std::vector<std::string>;

namespace {

const std::string NO_BOOK_CONFIG = "<quorvanite><ownbook>false</ownbook></quorvanite>\n";

long long now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TwoThreadSession {
    EngineDir dir;
    EngineProcess engine;
    explicit TwoThreadSession(const char* protocol)
        : engine((dir.write("Quorvanite.cfg", NO_BOOK_CONFIG), dir.path())) {
        engine.read_through("Quorvanite>");
        engine.send(protocol);
    }
};

TEST(ProtocolThreads, UciCountsEveryThreadAndStopsOnRequest) {
    TwoThreadSession s("uci");
    s.engine.lines_until_prefix("uciok");
    s.engine.send("setoption name Threads value 2");
    s.engine.send("uci");  // the option is announced with the value in force
    const Lines again = s.engine.lines_until_prefix("uciok");
    EXPECT_NE(std::find(again.begin(), again.end(),
                        "option name Threads type spin default 2 min 1 max 256"),
              again.end());
    Referee referee;

    // A node limit holds for the nodes of both threads together.
    s.engine.send("position startpos moves e2e4 e7e5");
    s.engine.send("go nodes 50000");
    Lines lines = qv_test::UciSession::checked(s.engine.lines_until_prefix("bestmove "));
    referee.play("e2e4");
    referee.play("e7e5");
    qv_test::expect_legal_output(lines, referee);
    long long nodes = 0;
    for (const auto& l : lines)
        if (parse_info(l).depth >= 0) nodes = parse_info(l).nodes;
    EXPECT_GT(nodes, 0) << lines.back();
    EXPECT_LE(nodes, 50000 + 50000 / 5 + 10000);

    // An infinite search ends at "stop", a ponder search at "ponderhit".
    s.engine.send("go infinite");
    s.engine.lines_until_prefix("info depth ");
    s.engine.send("stop");
    qv_test::expect_legal_output(
        qv_test::UciSession::checked(s.engine.lines_until_prefix("bestmove ")), referee);
    s.engine.send("go ponder wtime 2000 btime 2000");
    s.engine.send("ponderhit");
    qv_test::expect_legal_output(
        qv_test::UciSession::checked(s.engine.lines_until_prefix("bestmove ")), referee);

    // "quit" in the middle of a search ends the process at once, helpers joined.
    s.engine.send("go infinite");
    s.engine.lines_until_prefix("info depth ");
    const long long start = now_ms();
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(), 0);
    EXPECT_LT(now_ms() - start, 2000 * SLOWDOWN);
}

TEST(ProtocolThreads, XboardGameWithPonderingAndAnalysis) {
    TwoThreadSession s("xboard");
    s.engine.send("protover 2");
    s.engine.read_through("done=1");
    s.engine.send("cores 2");
    s.engine.send("new");
    s.engine.send("hard");
    s.engine.send("st 0.3");
    Referee referee;
    // The engine plays both sides, pondering between its moves; every move is legal.
    for (int ply = 0; ply < 6; ++ply) {
        s.engine.send("force");
        s.engine.send("go");
        const Lines lines = s.engine.lines_until_prefix("move ");
        const std::string move = lines.back().substr(5);
        ASSERT_TRUE(referee.play(move)) << move;
    }
    s.engine.send("force");
    s.engine.send("analyze");
    s.engine.lines_until_prefix("4 ");
    s.engine.send("exit");
    s.engine.send("ping 7");
    s.engine.read_through("pong 7");
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(), 0);
}

// Many more threads than processors: the helpers read the clock too, so a
// main thread they starve does not overrun it (the bound is generous, as the
// machine may be loaded).
TEST(ProtocolThreads, MovetimeHoldsWithManyMoreThreadsThanProcessors) {
    TwoThreadSession s("uci");
    s.engine.lines_until_prefix("uciok");
    s.engine.send("setoption name Threads value 64");
    s.engine.send("position startpos moves e2e4");
    s.engine.send("isready");
    s.engine.lines_until_prefix("readyok");
    for (const char* go : {"go movetime 500", "go wtime 5000 btime 5000"}) {
        const long long start = now_ms();
        s.engine.send(go);
        const Lines lines = s.engine.lines_until_prefix("bestmove ");
        EXPECT_LT(now_ms() - start, 2000 * SLOWDOWN) << go << ": " << lines.back();
    }
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(), 0);
}

}  // namespace
