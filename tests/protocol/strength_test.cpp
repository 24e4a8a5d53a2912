// The playing strength under both protocols: UCI_LimitStrength and UCI_Elo
// are offered and taken, and a weakened search answers a legal move that is
// the first move of the last line it showed, and shows no extra lines.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/referee.h"
#include "protocol/uci_session.h"
#include "search/search.h"

using qv_test::parse_best_move;
using qv_test::parse_info;
using qv_test::Referee;
using qv_test::starts_with;
using qv_test::UciSession;
using qv_test::XboardSession;
using Lines = std::vector<std::string>;

namespace {

// A middlegame with many moves of about the same worth.
const std::string MIDDLEGAME =
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
const int ELOS[] = {MIN_PLAYING_ELO, 1700, MAX_PLAYING_ELO - 1};

// The first move of the last thinking line of xboard's lines ("" when none).
std::string last_xboard_line_move(const Lines& lines) {
    std::string move;
    for (const auto& l : lines) {
        if (l.empty() || l[0] < '0' || l[0] > '9') continue;
        std::istringstream in(l);
        std::string depth, score, time, nodes;
        in >> depth >> score >> time >> nodes >> move;
    }
    return move;
}

TEST(ProtocolStrength, LimitedSearchesAnswerTheirLastLineUnderBothProtocols) {
    const std::string max = std::to_string(MAX_PLAYING_ELO);
    UciSession u;
    for (const std::string& option :
         {std::string("option name UCI_LimitStrength type check default false"),
          "option name UCI_Elo type spin default " + max + " min 1350 max " + max})
        EXPECT_NE(std::find(u.handshake.begin(), u.handshake.end(), option), u.handshake.end())
            << option;
    XboardSession x;
    x.engine.send("protover 2");
    const Lines features = x.engine.lines_until_prefix("feature done=0");
    for (const std::string& option : {std::string("option=\"UCI_LimitStrength -check 0\""),
                                      "option=\"UCI_Elo -spin " + max + " 1350 " + max + "\""})
        EXPECT_NE(features.back().find(option), std::string::npos) << option;
    u.engine.send("setoption name UCI_LimitStrength value true");
    x.engine.send("option UCI_LimitStrength=1");
    for (const int elo : ELOS) {
        Referee referee;
        ASSERT_TRUE(referee.setboard(MIDDLEGAME));
        u.engine.send("setoption name UCI_Elo value " + std::to_string(elo));
        u.engine.send("position fen " + MIDDLEGAME);
        u.engine.send("go wtime 3000 btime 3000 winc 30 binc 30");
        const Lines lines = u.until_best_move();
        const std::string best = parse_best_move(lines.back()).move;
        EXPECT_TRUE(referee.is_legal(best)) << elo << ": " << best;
        std::string last;
        for (const auto& l : lines) {
            EXPECT_EQ(l.find(" multipv "), std::string::npos) << elo << ": " << l;
            if (parse_info(l).depth >= 0) last = parse_info(l).pv.front();
        }
        EXPECT_EQ(last, best) << elo;

        x.engine.send("new");
        x.engine.send("option UCI_Elo=" + std::to_string(elo));
        x.engine.send("setboard " + MIDDLEGAME);
        x.engine.send("level 0 0:03 0.03");
        x.engine.send("post");
        x.engine.send("go");
        const Lines moves = x.engine.lines_until_prefix("move ");
        const std::string played = qv_test::engine_move_in(moves);
        EXPECT_TRUE(referee.is_legal(played)) << elo << ": " << played;
        EXPECT_EQ(last_xboard_line_move(moves), played) << elo;
        x.engine.send("force");
    }
}

}  // namespace
