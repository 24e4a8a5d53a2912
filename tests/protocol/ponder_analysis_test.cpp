// Pondering and analysis: the search on the main thread, an input thread beside it.
#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/referee.h"

using qv_test::count_prefix;
using qv_test::engine_move_in;
using qv_test::Referee;
using qv_test::SLOWDOWN;
using qv_test::starts_with;
using qv_test::XboardSession;
using Lines = std::vector<std::string>;

namespace {

// Longer than any pause between the thinking lines of a depth-3 search.
constexpr int QUIET_MS = 150 * SLOWDOWN;

bool is_thinking_line(const std::string& l) {
    return !l.empty() && l[0] >= '0' && l[0] <= '9';
}

// The first move of a thinking line's variation (depth score time nodes move ...).
std::string first_pv_move(const std::string& line) {
    std::istringstream in(line);
    std::string field;
    for (int i = 0; i < 5; ++i) in >> field;
    return field;
}

std::string hint_in(const Lines& lines) {
    for (const auto& l : lines)
        if (starts_with(l, "Hint: ")) return l.substr(6);
    return {};
}

// The engine moves for white and then ponders on its predicted reply.
struct PonderingSession : XboardSession {
    Referee referee;
    std::string hint;
    explicit PonderingSession(const char* time_command = "st 0") {
        engine.send("new");
        engine.send("hard");
        engine.send(time_command);
        engine.send("nopost");
        engine.send("go");
        Lines lines = engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
        EXPECT_TRUE(referee.play(engine_move_in(lines)));
        lines = engine.lines_until_prefix("Hint: ");
        hint = hint_in(lines);
    }
};

TEST(ProtocolPondering, HitIsAnsweredFromTheRunningSearch) {
    PonderingSession s;
    ASSERT_FALSE(s.hint.empty());
    // Clock and display commands are absorbed without disturbing the ponder search.
    for (const char* l : {"time 400", "otim 400", "post", "nopost"}) s.engine.send(l);
    s.engine.send(s.hint);
    const Lines lines = s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
    EXPECT_EQ(count_prefix(lines, "Hint: "), 0);  // no new ponder search was started
    ASSERT_TRUE(s.referee.play(s.hint));
    EXPECT_TRUE(s.referee.play(engine_move_in(lines)));
    // It ponders again; "quit" ends that at once.
    const std::string next_hint = hint_in(s.engine.lines_until_prefix("Hint: "));
    EXPECT_TRUE(s.referee.play(next_hint)) << next_hint;
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(3000 * SLOWDOWN), 0);
}

TEST(ProtocolPondering, MissTakesThePredictionBackAndAnswersTheRealMove) {
    PonderingSession s;
    ASSERT_FALSE(s.hint.empty());
    std::string other;
    {
        MoveEntry list[MOVE_LIST_CAPACITY];
        const int n = filter_legal(generate_moves(list), list);
        for (int i = 0; i < n && other.empty(); ++i) {
            move_to_text(list[i].move);
            if (s.hint != move_text) other = move_text;
        }
    }
    ASSERT_FALSE(other.empty());
    s.engine.send(other);
    const Lines lines = s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
    ASSERT_TRUE(s.referee.play(other));
    EXPECT_TRUE(s.referee.play(engine_move_in(lines))) << engine_move_in(lines);
    EXPECT_EQ(count_prefix(lines, "Illegal"), 0);
}

// In Chess960 the opponent may write the predicted castling in any of the
// notations the engine reads: each is a hit, answered from the ponder search
// (finished by then: no new thinking lines), not a new search.
TEST(ProtocolPondering, Chess960CastlingIsAHitInEveryNotation) {
    for (const char* reply : {"O-O", "0-0", "usermove g8h8"}) {
        XboardSession s;
        // Black's best answer, whatever white plays, is to castle: the rook to f8.
        for (const char* l :
             {"new", "variant fischerandom", "force",
              "setboard r5kr/5ppp/8/8/8/8/5PPP/1R4K1 w h - 0 1", "hard", "sd 4", "nopost", "go"})
            s.engine.send(l);
        ASSERT_EQ(hint_in(s.engine.lines_until_prefix("Hint: ")), "O-O");
        s.engine.output_for(QUIET_MS);  // the ponder search reaches its depth
        s.engine.send("post");
        s.engine.send(reply);
        const Lines lines = s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), is_thinking_line), 0) << reply;
    }
}

TEST(ProtocolPondering, PostDuringPonderingShowsTheThinking) {
    PonderingSession s;
    ASSERT_FALSE(s.hint.empty());
    s.engine.send("post");
    const Lines lines = s.engine.lines_until(is_thinking_line);
    // The variation starts with the engine's answer to the predicted move.
    Referee& r = s.referee;
    ASSERT_TRUE(r.play(s.hint));
    EXPECT_TRUE(r.play(first_pv_move(lines.back()))) << lines.back();
}

TEST(ProtocolPondering, CommandsStopItAndAreCarriedOut) {
    PonderingSession s;
    ASSERT_FALSE(s.hint.empty());
    s.engine.send("force");
    s.engine.send(s.hint);  // the predicted move is no longer on the board: legal again
    const Lines lines = s.sync(1);
    EXPECT_EQ(lines, Lines{"pong 1"});
}

TEST(ProtocolPondering, EndOfInputEndsTheEngine) {
    PonderingSession s;
    ASSERT_FALSE(s.hint.empty());
    s.engine.close_input();
    EXPECT_EQ(s.engine.wait_exit(3000 * SLOWDOWN), 0);
}

TEST(ProtocolPondering, PingHintAndHarmlessLinesLeaveItRunning) {
    PonderingSession s;
    ASSERT_FALSE(s.hint.empty());
    for (const char* l : {"hard", "?", ".", "otim 300"}) s.engine.send(l);
    // Answered at once, beside the ponder search (before, each ping restarted it).
    EXPECT_EQ(s.sync(5, 2000 * SLOWDOWN), Lines{"pong 5"});
    s.engine.send("hint");
    std::string line;
    ASSERT_TRUE(s.engine.read_line(line));
    EXPECT_EQ(line, "Hint: " + s.hint);
    s.engine.send(s.hint);
    const Lines lines = s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
    EXPECT_EQ(count_prefix(lines, "Hint: "), 0);
    ASSERT_TRUE(s.referee.play(s.hint));
    EXPECT_TRUE(s.referee.play(engine_move_in(lines)));
}

TEST(ProtocolPondering, AClientsSequenceAfterEachMove) {
    // As python-chess plays with pondering: a ping right after the engine's move,
    // "easy" and a ping to end the pondering, then the game from "force" on.
    PonderingSession s;
    ASSERT_FALSE(s.hint.empty());
    EXPECT_EQ(s.sync(1, 2000 * SLOWDOWN), Lines{"pong 1"});
    s.engine.send("easy");
    EXPECT_EQ(s.sync(2, 2000 * SLOWDOWN), Lines{"pong 2"});
    EXPECT_EQ(s.engine.output_for(3 * QUIET_MS), "");  // no new ponder search, no "Hint:"
    s.engine.send("force");
    s.engine.send(s.hint);
    s.engine.send("hard");
    s.engine.send("go");
    const Lines lines = s.engine.lines_until_prefix("Hint: ", 8000 * SLOWDOWN);
    ASSERT_TRUE(s.referee.play(s.hint));
    EXPECT_TRUE(s.referee.play(engine_move_in(lines)));
    EXPECT_EQ(count_prefix(lines, "Hint: "), 1);
}

TEST(ProtocolPondering, UnderALevelControlHitsAndMissesKeepTheGameInStep) {
    XboardSession s;
    for (const char* l : {"new", "hard", "level 40 1 0", "nopost"}) s.engine.send(l);
    Referee referee;
    std::string hint;
    int clock = 900;
    for (int move = 0; move < 6; ++move) {
        std::string mine = hint;
        if (mine.empty() || move % 2 == 1) {
            MoveEntry list[MOVE_LIST_CAPACITY];
            const int n = filter_legal(generate_moves(list), list);
            ASSERT_GT(n, 0);
            move_to_text(list[n - 1].move);
            mine = move_text;
        }
        ASSERT_TRUE(referee.play(mine)) << mine;
        s.engine.send("time " + std::to_string(clock));
        s.engine.send("otim " + std::to_string(clock));
        s.engine.send(mine);
        const Lines lines = s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
        ASSERT_TRUE(referee.play(engine_move_in(lines))) << engine_move_in(lines);
        hint = hint_in(s.engine.lines_until_prefix("Hint: "));
        clock -= 60;
    }
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(3000 * SLOWDOWN), 0);
}

TEST(ProtocolPondering, AHitTakesItsBudgetFromTheClockAsItIsThen) {
    // The engine moves on two seconds (a budget of 5 cs), then, while it
    // ponders, its clock is set to two minutes: the hit must give the move a
    // budget from those (3 s; no new iteration after 1.8 s), so the engine goes
    // on thinking. On the old budget it would answer at once.
    XboardSession s;
    for (const char* l : {"new", "hard", "level 40 5 0", "time 200", "otim 30000", "nopost", "go"})
        s.engine.send(l);
    s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
    const std::string hint = hint_in(s.engine.lines_until_prefix("Hint: "));
    ASSERT_FALSE(hint.empty());
    s.engine.send("time 12000");
    s.engine.send("otim 12000");
    s.sync(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    s.engine.send(hint);
    const std::string at_once = s.engine.output_for(800);
    EXPECT_EQ(at_once.find("move "), std::string::npos) << at_once;
    const Lines lines = s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
    EXPECT_FALSE(engine_move_in(lines).empty());
}

TEST(ProtocolPondering, PredictedMoveThatEndsTheGameStaysOnTheBoard) {
    XboardSession s;
    // Black to move; whatever it plays, Ra1-h1 mates.
    for (const char* l :
         {"new", "force", "setboard 7k/p4K2/6P1/8/8/8/8/R7 b - - 0 1", "hard", "sd 3", "go"})
        s.engine.send(l);
    Lines lines = s.engine.lines_until_prefix("Hint: ");
    ASSERT_EQ(hint_in(lines), "a1h1");
    s.engine.send("a1h1");
    lines = s.sync(1);
    EXPECT_EQ(lines, (Lines{"1-0", "pong 1"}));
    // The mate is on the board: taking it back gives black its move again.
    s.engine.send("force");
    s.engine.send("undo");
    s.engine.send("a1h1");
    EXPECT_EQ(s.sync(2), (Lines{"1-0", "pong 2"}));
}

TEST(ProtocolPondering, PredictedMoveThatDrawsByRuleIsNotAnswered) {
    // Black, three pawns down, checks: Qe1+ Kh2 Qh4+ Kg1 twice, then Qe1+ and
    // the forced Kh2 stands on the board for the third time, a draw. The engine
    // sees it coming; the move, when it comes, is reported and not answered.
    XboardSession s;
    for (const char* l : {"new", "force", "setboard 6k1/PPPP4/8/8/8/8/6PK/4q3 b - - 0 1", "e1h4",
                          "h2g1", "h4e1", "g1h2", "e1h4", "h2g1", "hard", "nopost", "sd 3", "go"})
        s.engine.send(l);
    const Lines lines = s.engine.lines_until_prefix("move ", 8000 * SLOWDOWN);
    ASSERT_EQ(engine_move_in(lines), "h4e1");
    s.engine.send("g1h2");
    EXPECT_EQ(s.sync(1), (Lines{"1/2-1/2", "pong 1"}));
    EXPECT_EQ(s.engine.output_for(QUIET_MS), "");
}

TEST(ProtocolPondering, WithoutAnInputThreadTheEngineDoesNotPonder) {
    if (QV_UNDER_SANITIZER) GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    // A thread stack larger than the address space: every thread start fails.
    qv_test::Limits limits;
    limits.stack = 4ull << 30;
    limits.address_space = 1ull << 30;
    XboardSession s(limits);
    for (const char* l : {"new", "hard", "sd 2", "go"}) s.engine.send(l);
    Lines lines = s.engine.lines_until_prefix("telluser ");
    EXPECT_EQ(lines.back(), "telluser could not start the input thread; pondering is off");
    Referee referee;
    ASSERT_TRUE(referee.play(engine_move_in(lines)));
    EXPECT_EQ(count_prefix(lines, "Hint: "), 0);
    MoveEntry list[MOVE_LIST_CAPACITY];
    ASSERT_GT(filter_legal(generate_moves(list), list), 0);
    move_to_text(list[0].move);
    const std::string reply = move_text;
    ASSERT_TRUE(referee.play(reply));
    s.engine.send(reply);
    lines = s.engine.lines_until_prefix("move ");
    EXPECT_TRUE(referee.play(engine_move_in(lines)));

    s.engine.send("analyze");
    s.engine.send("ping 5");
    lines = s.engine.lines_until_prefix("pong 5");
    EXPECT_EQ(lines.front(), "telluser could not start the input thread; analysis is off");
    s.engine.send("exit");
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(), 0);
}

TEST(ProtocolAnalysis, IgnoresStatusRequestsAndRestartsAfterAMove) {
    XboardSession s;
    for (const char* l : {"new", "post", "sd 3", "analyze"}) s.engine.send(l);
    s.engine.lines_until(is_thinking_line);
    s.engine.output_until_quiet(QUIET_MS);  // the depth-limited analysis has ended
    for (const char* l : {".", "bk", "hint"}) s.engine.send(l);
    // Had any of them stopped the analysis, a new one would print before the pong;
    // the ping itself is answered beside the analysis and restarts nothing.
    EXPECT_EQ(s.sync(1), Lines{"pong 1"});
    EXPECT_EQ(s.engine.output_for(3 * QUIET_MS), "");
    s.engine.send("e2e4");
    const Lines lines = s.engine.lines_until(is_thinking_line);
    Referee referee;
    ASSERT_TRUE(referee.play("e2e4"));
    EXPECT_TRUE(referee.is_legal(first_pv_move(lines.back()))) << lines.back();
    EXPECT_EQ(count_prefix(lines, "move "), 0);
    s.engine.output_until_quiet(QUIET_MS);
    // A move arrived during the analysis: leaving it, the engine answers that move.
    s.engine.send("exit");
    const Lines after = s.sync(2);
    ASSERT_GE(after.size(), 2u);
    EXPECT_TRUE(referee.play(engine_move_in(after)));
}

TEST(ProtocolAnalysis, UnlimitedAnalysisStopsOnCommandAndAtEndOfInput) {
    XboardSession s;
    for (const char* l : {"new", "nopost", "analyze"}) s.engine.send(l);
    // No depth limit: only the input thread can stop this search.
    EXPECT_EQ(s.engine.output_for(300), "");
    s.engine.send("undo");
    EXPECT_EQ(s.sync(1), Lines{"pong 1"});
    s.engine.close_input();
    EXPECT_EQ(s.engine.wait_exit(3000 * SLOWDOWN), 0);
}

}  // namespace
