// Whole games of the built engine against itself, played to their result.
#include <memory>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/referee.h"

using qv_test::engine_move_in;
using qv_test::is_result_line;
using qv_test::Referee;
using qv_test::SLOWDOWN;
using qv_test::XboardSession;
using Lines = std::vector<std::string>;

namespace {

// One engine plays both sides: "go" for every move until it reports a result.
std::string play_both_sides(const std::string& fen, Referee& referee, int max_plies) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("force");
    s.engine.send("setboard " + fen);
    s.engine.send("sd 3");
    s.engine.send("nopost");
    EXPECT_TRUE(referee.setboard(fen));
    for (int ply = 0; ply < max_plies; ++ply) {
        s.engine.send("go");
        const Lines lines = s.engine.lines_until_prefix("move ");
        const std::string move = engine_move_in(lines);
        if (!referee.play(move)) {
            ADD_FAILURE() << "illegal move " << move << " at ply " << ply;
            return {};
        }
        // The game-end check follows the move at once.
        const Lines after = s.sync(ply);
        if (after.size() > 1 && is_result_line(after.front())) {
            s.engine.send("go");  // a finished game gets no further move
            EXPECT_EQ(s.sync(-1), Lines{"pong -1"});
            return after.front();
        }
    }
    ADD_FAILURE() << "no result within " << max_plies << " plies";
    return {};
}

TEST(ProtocolSelfPlay, QueenAgainstKingEndsWithinTheFiftyMoveRule) {
    Referee referee;
    const std::string result = play_both_sides("8/8/4k3/8/8/3QK3/8/8 w - - 0 1", referee, 120);
    ASSERT_FALSE(result.empty());
    if (result == "1-0")
        EXPECT_EQ(referee.legal_count(), 0);
    else
        EXPECT_EQ(result, "1/2-1/2");
}

TEST(ProtocolSelfPlay, PawnEndingToTheEnd) {
    Referee referee;
    const std::string result = play_both_sides("8/5k2/8/3p4/3P4/8/2K5/8 w - - 0 1", referee, 300);
    EXPECT_TRUE(is_result_line(result)) << result;
}

// Two engines, each told the other's moves, with clocks and pondering, as an
// interface runs a match.
TEST(ProtocolSelfPlay, MatchBetweenTwoEnginesWithClocksAndPondering) {
    const std::string fen = "8/8/3k4/8/2PK4/8/8/8 w - - 0 1";
    std::unique_ptr<XboardSession> side[2] = {std::make_unique<XboardSession>(),
                                              std::make_unique<XboardSession>()};
    for (auto& s : side)
        for (const std::string& l :
             Lines{"new", "force", "setboard " + fen, "level 0 1 0", "hard", "nopost"})
            s->engine.send(l);
    Referee referee;
    ASSERT_TRUE(referee.setboard(fen));
    int clock[2] = {3000, 3000};
    side[0]->engine.send("time 3000");
    side[0]->engine.send("otim 3000");
    side[0]->engine.send("go");
    std::string result;
    for (int ply = 0; ply < 300 && result.empty(); ++ply) {
        auto& mover = side[ply % 2]->engine;
        auto& other = side[1 - ply % 2]->engine;
        // A result comes from the engine that received the deciding move.
        const Lines lines = mover.lines_until(
            [](const std::string& l) {
                return qv_test::starts_with(l, "move ") || is_result_line(l);
            },
            8000 * SLOWDOWN);
        ASSERT_FALSE(lines.empty());
        if (is_result_line(lines.back())) {
            result = lines.back();
            break;
        }
        const std::string move = engine_move_in(lines);
        ASSERT_TRUE(referee.play(move)) << move << " at ply " << ply;
        clock[ply % 2] -= 10;
        other.send("time " + std::to_string(clock[1 - ply % 2]));
        other.send("otim " + std::to_string(clock[ply % 2]));
        other.send(move);
        if (ply == 0) other.send("go");  // it was set up in force mode
    }
    EXPECT_TRUE(is_result_line(result)) << result;
    for (auto& s : side) {
        s->engine.send("quit");
        EXPECT_EQ(s->engine.wait_exit(3000 * SLOWDOWN), 0);
    }
}

}  // namespace
