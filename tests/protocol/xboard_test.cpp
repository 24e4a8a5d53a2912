// The xboard driver of the built engine, command by command.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/referee.h"
#include "search/search.h"
#include "tablebase/tablebase.h"

using qv_test::engine_move_in;
using qv_test::Referee;
using qv_test::XboardSession;
using Lines = std::vector<std::string>;

namespace {

// egt="syzygy" only in a build with the tablebases.
const std::string FEATURES =
    std::string(
        "feature done=0 ping=1 setboard=1 draw=0 sigint=0 sigterm=0 analyze=1 memory=1 smp=1 "
        "exclude=1 ") +
    (TABLEBASES_BUILT ? "egt=\"syzygy\" " : "") +
    "variants=\"normal,fischerandom\" colors=0 myname=\"Quorvanite 2.3\" option=\"MultiPV -spin 1 "
    "1 256\" "
    "option=\"Move Overhead -spin 0 0 5000\" "
    "option=\"UCI_LimitStrength -check 0\" option=\"UCI_Elo -spin " +
    std::to_string(MAX_PLAYING_ELO) + " 1350 " + std::to_string(MAX_PLAYING_ELO) +
    "\" "
    "done=1";

// After "xboard", only thinking lines and results may begin with a digit.
void expect_no_stray_digit_lines(const Lines& lines) {
    for (const auto& l : lines) {
        if (l.empty() || l[0] < '0' || l[0] > '9') continue;
        const bool result = qv_test::is_result_line(l);
        const bool thinking = l.find(' ') != std::string::npos;  // depth score time nodes pv
        EXPECT_TRUE(result || thinking) << l;
    }
}

TEST(ProtocolXboard, FeatureLineAndPing) {
    XboardSession s;
    s.engine.send("protover 2");
    std::string line;
    ASSERT_TRUE(s.engine.read_line(line));
    EXPECT_EQ(line, FEATURES);
    s.engine.send("ping 7");
    s.engine.send("ping");
    s.engine.send("ping -12");
    s.engine.send("ping 99999999999");
    for (const char* want : {"pong 7", "pong 0", "pong -12", "pong 2147483647"}) {
        ASSERT_TRUE(s.engine.read_line(line));
        EXPECT_EQ(line, want);
    }
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(), 0);
    EXPECT_EQ(s.engine.rest_of_output(), "");
}

TEST(ProtocolXboard, ForceRecordsMovesSilentlyUntilGo) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("force");
    s.engine.send("e2e4");
    s.engine.send("e7e5");
    EXPECT_EQ(s.sync(1), Lines{"pong 1"});
    s.engine.send("sd 2");
    s.engine.send("go");
    const Lines lines = s.engine.lines_until_prefix("move ");
    Referee referee;
    ASSERT_TRUE(referee.play("e2e4"));
    ASSERT_TRUE(referee.play("e7e5"));
    EXPECT_TRUE(referee.play(engine_move_in(lines))) << engine_move_in(lines);
    expect_no_stray_digit_lines(lines);
}

TEST(ProtocolXboard, IllegalAndMalformedMoves) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("force");
    s.engine.send("e2e5");
    s.engine.send("z9z9");
    s.engine.send("e2");        // not a move, not a command: ignored
    s.engine.send("e2e4 now");  // text after the move does not matter
    s.engine.send("e2e4");      // now black is to move
    EXPECT_EQ(s.sync(1),
              (Lines{"Illegal move: e2e5", "Illegal move: z9z9", "Illegal move: e2e4", "pong 1"}));
}

TEST(ProtocolXboard, PromotionNeedsItsLowerCaseLetter) {
    XboardSession s;
    const std::string fen = "8/4P1k1/8/8/8/8/8/4K3 w - - 0 1";
    s.engine.send("force");
    s.engine.send("setboard " + fen);
    s.engine.send("e7e8");
    s.engine.send("e7e8Q");
    s.engine.send("e7e8n");
    s.engine.send("undo");
    s.engine.send("e7e8q");
    EXPECT_EQ(s.sync(1), (Lines{"Illegal move: e7e8", "Illegal move: e7e8Q", "pong 1"}));
    s.engine.send("sd 2");
    s.engine.send("go");
    const Lines lines = s.engine.lines_until_prefix("move ");
    Referee referee;
    ASSERT_TRUE(referee.setboard(fen));
    ASSERT_TRUE(referee.play("e7e8q"));
    EXPECT_TRUE(referee.play(engine_move_in(lines)));
}

TEST(ProtocolXboard, UndoAndRemoveTakeBackOnlyWhatWasPlayed) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("force");
    s.engine.send("undo");
    s.engine.send("remove");
    s.engine.send("e2e4");
    s.engine.send("e7e5");
    s.engine.send("remove");  // both moves
    s.engine.send("e2e4");    // white to move again
    s.engine.send("undo");
    s.engine.send("undo");  // nothing left to take back
    s.engine.send("e2e4");
    s.engine.send("e7e5");
    s.engine.send("undo");
    s.engine.send("e2e4");  // refused: black is to move after one take-back
    EXPECT_EQ(s.sync(1), (Lines{"Illegal move: e2e4", "pong 1"}));
    // A set-up position is as far back as "undo" goes.
    s.engine.send("setboard rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    s.engine.send("undo");
    s.engine.send("remove");
    s.engine.send("e7e5");
    EXPECT_EQ(s.sync(2), Lines{"pong 2"});
}

TEST(ProtocolXboard, ResultStopsTheEngineUntilNew) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("sd 2");
    s.engine.send("result 1-0 {White mates}");
    s.engine.send("go");
    EXPECT_EQ(s.sync(1), Lines{"pong 1"});
    s.engine.send("result 0-1");  // a second result changes nothing
    s.engine.send("new");
    s.engine.send("sd 2");
    s.engine.send("go");
    Referee referee;
    EXPECT_TRUE(referee.play(engine_move_in(s.engine.lines_until_prefix("move "))));
}

// A refused position is never played on: no move is taken, made or searched
// until a position the engine can take. Castling rights with no rook are dropped.
TEST(ProtocolXboard, SetboardGoodAndBad) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("force");
    s.engine.send("setboard rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    s.engine.send("setboard nonsense");
    s.engine.send("setboard");
    s.engine.send("e2e4");
    for (const char* l : {"sd 2", "go", "undo", "hard", "analyze", "exit"}) s.engine.send(l);
    EXPECT_EQ(s.sync(1), (Lines{"tellusererror Illegal position", "tellusererror Illegal position",
                                "tellusererror Illegal position",
                                "Illegal move (no position): e2e4", "pong 1"}));
    s.engine.send("setboard rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 b KQkq - 0 1");
    s.engine.send("go");
    Referee castling;
    ASSERT_TRUE(castling.setboard("rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 b Qq - 0 1"));
    const Lines moved = s.engine.lines_until_prefix("move ");
    EXPECT_EQ(moved.front(), "# castling Kk dropped: no king and rook to castle with");
    EXPECT_TRUE(castling.play(engine_move_in(moved)));
    s.engine.send("force");
    s.engine.send("setboard 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
    s.engine.send("sd 3");
    s.engine.send("go");
    const Lines lines = s.engine.lines_until(qv_test::is_result_line);
    EXPECT_EQ(engine_move_in(lines), "d1d8");
    EXPECT_EQ(lines.back(), "1-0");
    // The game is over: no move, no second result without a new check.
    s.engine.send("go");
    EXPECT_EQ(s.sync(2), Lines{"pong 2"});
}

TEST(ProtocolXboard, MovesThatEndTheGameAreReported) {
    XboardSession s;
    s.engine.send("force");
    // Mate by black, mate by white, stalemate, then a threefold repetition.
    s.engine.send("setboard 3q3k/8/8/8/8/8/5PPP/6K1 b - - 0 1");
    s.engine.send("d8d1");
    s.engine.send("setboard 6k1/5ppp/8/8/8/8/8/3R2K1 w - - 0 1");
    s.engine.send("d1d8");
    s.engine.send("setboard 7k/8/6Q1/8/8/8/8/6K1 w - - 0 1");
    s.engine.send("g6f7");
    s.engine.send("new");
    s.engine.send("force");
    for (int i = 0; i < 2; ++i)
        for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8"}) s.engine.send(m);
    EXPECT_EQ(s.sync(1), (Lines{"0-1", "1-0", "1/2-1/2", "1/2-1/2", "pong 1"}));
}

TEST(ProtocolXboard, TimeControlsOfTheInterfacesGiveQuickMoves) {
    // level with moves per control, a base in minutes and seconds, a fractional increment
    for (const char* level : {"level 40 5 0", "level 0 0:30 0", "level 0 2 0.5"}) {
        XboardSession s;
        s.engine.send("new");
        s.engine.send(level);
        s.engine.send("post");
        s.engine.send("time 600");
        s.engine.send("otim 600");
        s.engine.send("e2e4");
        const Lines lines = s.engine.lines_until_prefix("move ", 10000 * qv_test::SLOWDOWN);
        Referee referee;
        ASSERT_TRUE(referee.play("e2e4"));
        EXPECT_TRUE(referee.play(engine_move_in(lines))) << level;
        expect_no_stray_digit_lines(lines);
    }
}

TEST(ProtocolXboard, SearchDepthBelowTwoStillGivesAFreshMove) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("sd 0");
    s.engine.send("go");
    Lines lines = s.engine.lines_until_prefix("move ");
    Referee referee;
    EXPECT_TRUE(referee.play(engine_move_in(lines)));
    for (const auto& l : lines) EXPECT_FALSE(qv_test::starts_with(l, "3 ")) << l;
    s.engine.send("sd -5");
    s.engine.send("go");  // the other side: a stale white move would be illegal here
    lines = s.engine.lines_until_prefix("move ");
    EXPECT_TRUE(referee.play(engine_move_in(lines)));
}

TEST(ProtocolXboard, SearchTimeInSeconds) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("st 1");
    s.engine.send("go");
    Referee referee;
    EXPECT_TRUE(referee.play(
        engine_move_in(s.engine.lines_until_prefix("move ", 6000 * qv_test::SLOWDOWN))));
    s.engine.send("st 0.5");  // half a second
    s.engine.send("go");
    EXPECT_TRUE(referee.play(engine_move_in(s.engine.lines_until_prefix("move "))));
}

TEST(ProtocolXboard, SearchTimeWithoutNumberOrHugeStaysUnlimited) {
    for (const char* st : {"st", "st 99999999999"}) {
        XboardSession s;
        s.engine.send("new");
        s.engine.send(st);
        s.engine.send("nopost");
        s.engine.send("go");
        const std::string out = s.engine.output_for(1000);
        EXPECT_EQ(out.find("move "), std::string::npos) << st << ": " << out;
    }
}

// "variant fischerandom" makes the game Chess960 until "new": castling is
// read as O-O, O-O-O (also with zeros) or the king taking its rook, and
// written as O-O and O-O-O, in moves and in thinking lines alike.
TEST(ProtocolXboard, FischerandomCastlesAsOOUntilNew) {
    const Lines chess960_moves[] = {
        {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6", "O-O"},  // the start position
        {"setboard rk5r/pppppppp/8/8/8/8/PPPPPPPP/RK5R w KQkq - 0 1", "usermove 0-0", "O-O-O"},
        {"setboard rk5r/pppppppp/8/8/8/8/PPPPPPPP/RK5R w HAha - 0 1", "b1h1", "b8a8"},
    };
    XboardSession s;
    for (const Lines& moves : chess960_moves) {
        for (const char* l : {"new", "variant fischerandom", "force"}) s.engine.send(l);
        for (const std::string& l : moves) s.engine.send(l);
        s.engine.send("O-O-O");  // white has castled
        EXPECT_EQ(s.sync(1), (Lines{"Illegal move: O-O-O", "pong 1"})) << moves.back();
    }
    // White's only legal move is castling: the king stays on g1, the rook goes to f1.
    s.engine.send("setboard 1k3r2/8/8/8/8/7p/7P/6KR w K - 0 1");
    for (const char* l : {"post", "sd 3", "go"}) s.engine.send(l);
    const Lines lines = s.engine.lines_until_prefix("move ");
    EXPECT_EQ(lines.back(), "move O-O");
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& l) {
                               return std::isdigit(static_cast<unsigned char>(l[0])) &&
                                      l.find(" O-O ") != l.npos;
                           }),
              lines.end());  // a thinking line: depth, score, time, nodes, the variation
    // Standard chess again: O-O is no move, the king's move castles.
    for (const char* l : {"new", "force", "setboard r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "O-O",
                          "e1h1", "e1g1", "e8c8"})
        s.engine.send(l);
    EXPECT_EQ(s.sync(2), (Lines{"Illegal move: e1h1", "pong 2"}));
}

TEST(ProtocolXboard, EditModeSetsUpAPosition) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("force");
    for (const char* l : {"edit", "#", "Ke1", "Ra1", "c", "Ke8", "."}) s.engine.send(l);
    s.engine.send("sd 2");
    s.engine.send("go");
    const Lines lines = s.engine.lines_until_prefix("move ");
    Referee referee;
    ASSERT_TRUE(referee.setboard("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"));
    EXPECT_TRUE(referee.play(engine_move_in(lines))) << engine_move_in(lines);
}

TEST(ProtocolXboard, ImpossibleEditedBoardIsNotPlayedOn) {
    XboardSession s;
    s.engine.send("new");
    s.engine.send("force");
    for (const char* l : {"edit", "#", "Ke1", "."}) s.engine.send(l);
    s.engine.send("e2e4");
    s.engine.send("go");
    EXPECT_EQ(s.sync(1), (Lines{"tellusererror Illegal position",
                                "Illegal move (no position): e2e4", "pong 1"}));
    s.engine.send("new");  // a position again
    s.engine.send("sd 2");
    s.engine.send("go");
    Referee referee;
    EXPECT_TRUE(referee.play(engine_move_in(s.engine.lines_until_prefix("move "))));
}

TEST(ProtocolXboard, CarriageReturnsFromTheInterfaceAreDropped) {
    XboardSession s;
    s.engine.send_raw("new\r\nforce\r\nedit\r\n#\r\nKe1\r\nc\r\nKe8\r\nPa2\r\n.\r\n");
    s.engine.send_raw("ping 3\r\n");
    std::string line;
    ASSERT_TRUE(s.engine.read_line(line));
    EXPECT_EQ(line, "pong 3");
    s.engine.send_raw("e1d1\r\nsd 2\r\ngo\r\n");
    Referee referee;
    ASSERT_TRUE(referee.setboard("4k3/8/8/8/8/8/p7/4K3 w - - 0 1"));
    ASSERT_TRUE(referee.play("e1d1"));
    EXPECT_TRUE(referee.play(engine_move_in(s.engine.lines_until_prefix("move "))));
}

TEST(ProtocolXboard, EndOfInputEndsCleanlyAtEachStage) {
    {
        XboardSession s;
        s.engine.close_input();
        EXPECT_EQ(s.engine.wait_exit(), 0);
    }
    {
        XboardSession s;
        s.engine.send("edit");
        s.engine.send("#");
        s.engine.close_input();
        EXPECT_EQ(s.engine.wait_exit(), 0);
    }
    {
        XboardSession s;
        s.engine.send("new");
        s.engine.send("st 1");
        s.engine.send("go");
        s.engine.close_input();
        EXPECT_EQ(s.engine.wait_exit(6000 * qv_test::SLOWDOWN), 0);
        EXPECT_NE(s.engine.rest_of_output().find("\nmove "), std::string::npos);
    }
}

TEST(ProtocolXboard, GameTooLongIsDrawnAndFurtherMovesRefused) {
    XboardSession s;
    s.engine.send("force");
    // Full move 255 puts the game at ply 508; knights shuffle to the limit.
    s.engine.send("setboard 4k3/pppppppp/8/8/8/8/PPPPPPPP/4K1N1 w - - 0 255");
    const char* const cycle[] = {"g1f3", "e8d8", "f3g1", "d8e8"};
    const int plies = MAX_GAME_PLY - 508;
    std::string batch;
    for (int i = 0; i < plies; ++i) batch += std::string(cycle[i % 4]) + "\n";
    s.engine.send_raw(batch);
    const Lines lines = s.sync(1, 30000 * qv_test::SLOWDOWN);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "1/2-1/2 {game too long}");
    EXPECT_EQ(qv_test::count_prefix(lines, "Illegal"), 0);
    s.engine.send(cycle[plies % 4]);
    s.engine.send("go");
    const Lines after = s.sync(2);
    EXPECT_EQ(after.front(), std::string("Illegal move (game too long): ") + cycle[plies % 4]);
    EXPECT_EQ(qv_test::count_prefix(after, "move "), 0);
    // Still alive and answering.
    s.engine.send("new");
    s.engine.send("sd 2");
    s.engine.send("go");
    Referee referee;
    EXPECT_TRUE(referee.play(engine_move_in(s.engine.lines_until_prefix("move "))));
}

// The referee's position is the global one of this process.
std::string first_legal_move() {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int n = filter_legal(generate_moves(list), list);
    if (n == 0) return {};
    move_to_text(list[0].move);
    return move_text;
}

TEST(ProtocolInterfaces, XboardStyleGame) {
    XboardSession s;
    s.engine.send("protover 2");
    std::string line;
    ASSERT_TRUE(s.engine.read_line(line));
    for (const char* l :
         {"accepted done", "accepted ping", "accepted setboard", "accepted analyze",
          "accepted myname", "new", "random", "level 40 5 0", "post", "hard", "easy"})
        s.engine.send(l);
    EXPECT_EQ(s.sync(1), Lines{"pong 1"});
    Referee referee;
    int clock = 700;
    for (int move = 0; move < 3; ++move) {
        const std::string mine = first_legal_move();
        ASSERT_TRUE(referee.play(mine));
        s.engine.send("time " + std::to_string(clock));
        s.engine.send("otim " + std::to_string(clock));
        s.engine.send(mine);
        const Lines lines = s.engine.lines_until_prefix("move ");
        ASSERT_TRUE(referee.play(engine_move_in(lines))) << engine_move_in(lines);
        expect_no_stray_digit_lines(lines);
        clock -= 50;
    }
    s.engine.send("computer");
    s.engine.send("name Someone");
    s.engine.send("result 1-0 {White mates}");
    s.engine.send("force");
    EXPECT_EQ(s.sync(2), Lines{"pong 2"});
    s.engine.send("quit");
    EXPECT_EQ(s.engine.wait_exit(), 0);
}

TEST(ProtocolInterfaces, CutechessStyleStart) {
    XboardSession s;
    const std::string fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
    for (const char* l : {"protover 2", "new", "force", "b2b3"}) s.engine.send(l);
    s.engine.send("setboard " + fen);
    for (const char* l : {"st 1", "time 1000", "otim 1000", "go"}) s.engine.send(l);
    const Lines lines = s.engine.lines_until_prefix("move ", 6000 * qv_test::SLOWDOWN);
    Referee referee;
    ASSERT_TRUE(referee.setboard(fen));
    EXPECT_TRUE(referee.play(engine_move_in(lines)));
}

TEST(ProtocolInterfaces, ArenaStyleForceBatch) {
    XboardSession s;
    const char* const game[] = {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6"};
    std::string batch = "new\nforce\n";
    for (const char* m : game) batch += std::string(m) + "\n";
    batch += "sd 3\ngo\n";
    s.engine.send_raw(batch);
    const Lines lines = s.engine.lines_until_prefix("move ");
    Referee referee;
    for (const char* m : game) ASSERT_TRUE(referee.play(m));
    EXPECT_TRUE(referee.play(engine_move_in(lines)));
    EXPECT_EQ(qv_test::count_prefix(lines, "Illegal"), 0);
}

}  // namespace
