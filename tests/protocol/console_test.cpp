// The console of the built engine: start-up output, commands, end of input.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "protocol/engine_process.h"

using qv_test::EngineDir;
using qv_test::EngineProcess;
using qv_test::Limits;

namespace {

// The working directory's configuration turns the books off (EngineDir), so the
// book lines count 0; tests/protocol/book_protocol_test.cpp covers the books.
const std::string BANNER_AND_START =
    "Quorvanite 2.3\n"
    "A chess engine for graphical interfaces speaking xboard/WinBoard protocol 2 or UCI\n"
    "Console commands: xboard, uci, benchmark, testsuite, perft [depth], quit\n"
    "Type xboard or uci to hand the console over to an interface\n"
    "Hash table memory size: 32 MByte\n"
    "White opening book positions: 0\n"
    "Black opening book positions: 0\n"
    "Quorvanite>";

// Interfaces take lines that start like these for protocol replies.
bool looks_like_protocol_reply(const std::string& line) {
    static const char* const RESERVED[] = {"move",   "Error", "Illegal", "feature", "pong",
                                           "resign", "1-0",   "0-1",     "1/2-1/2", "telluser"};
    if (!line.empty() && line[0] >= '0' && line[0] <= '9') return true;
    for (const char* r : RESERVED)
        if (qv_test::starts_with(line, r)) return true;
    return false;
}

TEST(ProtocolConsole, StartUpOutputIsExactAndQuitEndsWithStatusZero) {
    EngineDir dir;
    EngineProcess engine(dir.path());
    ASSERT_TRUE(engine.started());
    EXPECT_EQ(engine.read_through("Quorvanite>"), BANNER_AND_START);
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = BANNER_AND_START.find('\n', start);
        EXPECT_FALSE(looks_like_protocol_reply(BANNER_AND_START.substr(start, end - start)));
        start = end + 1;
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
    EXPECT_EQ(engine.rest_of_output(), "");
}

TEST(ProtocolConsole, CommandsAreRecognisedByTheirLeadingCharacters) {
    EngineDir dir;
    EngineProcess engine(dir.path());
    engine.read_through("Quorvanite>");
    engine.send("");
    engine.send("hello");
    engine.send("perft 1 and more");
    engine.send("quitting time");
    EXPECT_EQ(engine.wait_exit(), 0);
    const std::string out = engine.rest_of_output();
    EXPECT_EQ(out.find("Quorvanite>Quorvanite>Perft from initial position\nSeconds spent: "), 0u)
        << out;
    EXPECT_NE(out.find("\nNodes visited: 20\nCPU speed: "), std::string::npos) << out;
    // Nothing after the last prompt: "quitting time" quit silently.
    EXPECT_EQ(out.rfind("Quorvanite>"), out.size() - 11) << out;
}

TEST(ProtocolConsole, PerftCountsAndRejectedDepths) {
    EngineDir dir;
    EngineProcess engine(dir.path());
    engine.read_through("Quorvanite>");
    engine.send("perft 3");
    const std::string out = engine.read_through("Quorvanite>");
    EXPECT_NE(out.find("Perft from initial position\n"), std::string::npos);
    EXPECT_NE(out.find("\nNodes visited: 8902\n"), std::string::npos);
    // A run faster than a centisecond still shows a finite speed.
    EXPECT_EQ(out.find("inf"), std::string::npos) << out;
    EXPECT_EQ(out.find("nan"), std::string::npos) << out;
    EXPECT_NE(out.find("CPU speed: "), std::string::npos);

    engine.send("perft 0");
    engine.send("perft 11");
    engine.send("perft 99");
    engine.send("perft 4");
    const std::string next = engine.read_through("Quorvanite>Quorvanite>Quorvanite>");
    EXPECT_EQ(next, "Quorvanite>Quorvanite>Quorvanite>");
    EXPECT_NE(engine.read_through("Quorvanite>").find("Nodes visited: 197281\n"),
              std::string::npos);
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(ProtocolConsole, PerftWithoutADigitCountsSixPlies) {
    if (QV_UNDER_SANITIZER) GTEST_SKIP() << "six plies take minutes under a sanitizer";
    EngineDir dir;
    EngineProcess engine(dir.path());
    engine.read_through("Quorvanite>");
    engine.send("perft -3");
    EXPECT_NE(engine.read_through("Quorvanite>", 60000).find("Nodes visited: 119060324\n"),
              std::string::npos);
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(ProtocolConsole, EndOfInputEndsLikeQuit) {
    EngineDir dir;
    EngineProcess engine(dir.path());
    engine.read_through("Quorvanite>");
    engine.send_raw("perft 1");  // a last line without its newline still counts
    engine.close_input();
    EXPECT_EQ(engine.wait_exit(), 0);
    EXPECT_NE(engine.rest_of_output().find("Nodes visited: 20\n"), std::string::npos);
}

TEST(ProtocolConsole, OverlongLinesAreCutAndCarriageReturnsDropped) {
    EngineDir dir;
    EngineProcess engine(dir.path());
    engine.read_through("Quorvanite>");
    // Were the tail of the long line read as a line of its own, it would quit.
    engine.send(std::string(127, 'x') + "quit");
    engine.send(std::string(5000, 'y'));
    engine.send_raw("perft 2\r\n");
    engine.send_raw("quit\r\n");
    EXPECT_EQ(engine.wait_exit(), 0);
    const std::string out = engine.rest_of_output();
    EXPECT_EQ(out.find("Quorvanite>Quorvanite>Perft"), 0u) << out;
    EXPECT_NE(out.find("Nodes visited: 400\n"), std::string::npos);
}

// The working directory's file first, else the one beside the executable (a copy
// of the engine in a folder of its own, started from another one).
TEST(ProtocolConsole, ConfigurationFileSetsTheTableSize) {
    EngineDir dir, program, elsewhere;
    dir.write("Quorvanite.cfg", "<quorvanite>\n  <hash> 100 </hash>\n</quorvanite>\n");
    program.write("Quorvanite.cfg", "<quorvanite><hash>128</hash></quorvanite>\n");
    const std::string engine_path = qv_test::test_engine_path();
    const std::string copy =
        program.path() + "/" + std::filesystem::path(engine_path).filename().string();
    std::filesystem::copy_file(engine_path, copy);
    std::filesystem::remove(elsewhere.path() + "/Quorvanite.cfg");
    const struct {
        const std::string* working_dir;
        const char* engine;
        const char* size;
    } cases[] = {{&dir.path(), nullptr, "64"},
                 {&dir.path(), copy.c_str(), "64"},
                 {&elsewhere.path(), copy.c_str(), "128"}};
    for (const auto& c : cases) {
        if (c.engine != nullptr) setenv("QV_TEST_ENGINE", c.engine, 1);
        EngineProcess engine(*c.working_dir);
        if (c.engine != nullptr) setenv("QV_TEST_ENGINE", engine_path.c_str(), 1);
        EXPECT_NE(engine.read_through("Quorvanite>")
                      .find(std::string("\nHash table memory size: ") + c.size + " MByte\n"),
                  std::string::npos)
            << c.size;
        engine.send("quit");
        EXPECT_EQ(engine.wait_exit(), 0);
    }
}

TEST(ProtocolConsole, FailedAllocationEndsWithStatusOne) {
    if (QV_UNDER_SANITIZER) GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    EngineDir dir;
    dir.write("Quorvanite.cfg", "<quorvanite><hash>1024</hash></quorvanite>");
    Limits limits;
    limits.address_space = 512ull << 20;
    EngineProcess engine(dir.path(), limits);
    EXPECT_EQ(engine.wait_exit(), 1);
    const std::string out = engine.rest_of_output();
    EXPECT_NE(out.find("Error: not enough memory\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Quorvanite>"), std::string::npos);
}

TEST(ProtocolConsole, TestsuitePrintsItsHeaders) {
    EngineDir dir;
    EngineProcess engine(dir.path());
    engine.read_through("Quorvanite>");
    engine.send("testsuite");
    const std::string stars(80, '*');
    EXPECT_EQ(engine.read_through("\n", qv_test::WAIT_MS), stars + "\n");
    EXPECT_EQ(engine.read_through("\n"),
              "Benchmark position \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - -\"\n");
    EXPECT_EQ(engine.read_through("\n"), stars + "\n");
    // The full searches are far too slow for a test; the headers are enough.
}

}  // namespace
