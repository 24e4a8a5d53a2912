// The book tool's reading of games: standard algebraic notation against the
// legal moves, and PGN files with every feature people's files have.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/board_helpers.h"
#include "tools/book/book_tool.h"

using book_tool::GameResult;
using book_tool::parse_san;
using book_tool::PgnGame;
using book_tool::PgnReader;
using book_tool::san_text;
using book_tool::SanStatus;

namespace {

struct SanCase {
    const char* fen;
    const char* san;
    SanStatus status;
    const char* expected;  // the move in coordinate text, or the candidates when ambiguous
};

const char* const START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const char* const TWO_KNIGHTS = "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1";
const char* const TWO_ROOKS = "4k3/8/8/R7/8/8/8/R3K3 w - - 0 1";
const char* const THREE_QUEENS = "4k3/8/8/8/8/Q7/8/Q1Q1K3 w - - 0 1";
const char* const PINNED_KNIGHT = "4k3/4r3/8/1N6/8/8/4N3/4K3 w - - 0 1";
const char* const PAWNS = "4k3/8/8/3pP3/4P3/8/3P4/4K3 w - d6 0 1";
const char* const PROMOTION = "2r1k3/1P6/8/8/8/8/8/4K3 w - - 0 1";
const char* const CASTLING = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
const char* const CASTLING_BLACK = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1";

const SanCase SAN_CASES[] = {
    {START, "e4", SanStatus::OK, "e2e4"},
    {START, "Nf3", SanStatus::OK, "g1f3"},
    {START, "Nf3!?", SanStatus::OK, "g1f3"},
    {START, "Ng1f3", SanStatus::OK, "g1f3"},   // more origin than needed
    {START, "Ng1-f3", SanStatus::OK, "g1f3"},  // long algebraic
    {START, "e2e4", SanStatus::OK, "e2e4"},    // coordinate text
    {START, "Pe4", SanStatus::OK, "e2e4"},
    {START, "Nf4", SanStatus::NO_MATCH, ""},
    {START, "e5", SanStatus::NO_MATCH, ""},
    {START, "O-O", SanStatus::NO_MATCH, ""},
    {START, "e2e5", SanStatus::NO_MATCH, ""},
    {START, "Nf9", SanStatus::MALFORMED, ""},
    {START, "Zf3", SanStatus::MALFORMED, ""},
    {START, "--", SanStatus::MALFORMED, ""},
    {START, "N", SanStatus::MALFORMED, ""},
    {START, "Nxx3", SanStatus::MALFORMED, ""},
    {START, "Knight", SanStatus::MALFORMED, ""},
    {START, "+", SanStatus::MALFORMED, ""},
    {TWO_KNIGHTS, "Nbd2", SanStatus::OK, "b1d2"},
    {TWO_KNIGHTS, "Nfd2", SanStatus::OK, "f3d2"},
    {TWO_KNIGHTS, "Nd2", SanStatus::AMBIGUOUS, "b1d2, f3d2"},
    {TWO_KNIGHTS, "Nd4", SanStatus::OK, "f3d4"},
    {TWO_ROOKS, "R1a3", SanStatus::OK, "a1a3"},
    {TWO_ROOKS, "R5a3", SanStatus::OK, "a5a3"},
    {TWO_ROOKS, "Ra3", SanStatus::AMBIGUOUS, "a1a3, a5a3"},
    {THREE_QUEENS, "Qa1b2", SanStatus::OK, "a1b2"},
    {THREE_QUEENS, "Qab2", SanStatus::AMBIGUOUS, "a1b2, a3b2"},
    {THREE_QUEENS, "Q1b2", SanStatus::AMBIGUOUS, "a1b2, c1b2"},
    {THREE_QUEENS, "Qcb2", SanStatus::OK, "c1b2"},
    {THREE_QUEENS, "Q3b2", SanStatus::OK, "a3b2"},
    {PINNED_KNIGHT, "Nd4", SanStatus::OK, "b5d4"},  // the e2 knight is pinned
    {PINNED_KNIGHT, "Ned4", SanStatus::NO_MATCH, ""},
    {PAWNS, "exd5", SanStatus::OK, "e4d5"},
    {PAWNS, "ed5", SanStatus::OK, "e4d5"},
    {PAWNS, "exd6", SanStatus::OK, "e5d6"},  // en passant
    {PAWNS, "d4", SanStatus::OK, "d2d4"},
    {PAWNS, "d3", SanStatus::OK, "d2d3"},
    {PAWNS, "xd5", SanStatus::NO_MATCH, ""},
    {PROMOTION, "b8=Q", SanStatus::OK, "b7b8q"},
    {PROMOTION, "b8Q", SanStatus::OK, "b7b8q"},
    {PROMOTION, "b8=q", SanStatus::OK, "b7b8q"},
    {PROMOTION, "b8=N", SanStatus::OK, "b7b8n"},
    {PROMOTION, "bxc8=R+", SanStatus::OK, "b7c8r"},
    {PROMOTION, "bxc8Q+", SanStatus::OK, "b7c8q"},
    {PROMOTION, "b7b8q", SanStatus::OK, "b7b8q"},
    {PROMOTION, "b8", SanStatus::NO_MATCH, ""},  // the piece must be named
    {PROMOTION, "b8=K", SanStatus::MALFORMED, ""},
    {CASTLING, "O-O", SanStatus::OK, "e1g1"},
    {CASTLING, "0-0", SanStatus::OK, "e1g1"},
    {CASTLING, "O-O-O", SanStatus::OK, "e1c1"},
    {CASTLING, "0-0-0+", SanStatus::OK, "e1c1"},
    {CASTLING, "O-O!", SanStatus::OK, "e1g1"},
    {CASTLING, "O-0", SanStatus::MALFORMED, ""},
    {CASTLING_BLACK, "O-O", SanStatus::OK, "e8g8"},
    {CASTLING_BLACK, "o-o-o", SanStatus::OK, "e8c8"},
};

TEST(San, EveryFeatureOfTheNotation) {
    for (const SanCase& c : SAN_CASES) {
        ASSERT_TRUE(set_position_from_fen(c.fen)) << c.fen;
        Move m = 0;
        std::string detail;
        const SanStatus status = parse_san(c.san, m, detail);
        EXPECT_EQ(static_cast<int>(status), static_cast<int>(c.status)) << c.san << " in " << c.fen;
        if (c.status == SanStatus::OK) {
            EXPECT_EQ(text_of(m), c.expected) << c.san;
        } else {
            EXPECT_EQ(m, 0u) << c.san;
        }
        if (c.status == SanStatus::AMBIGUOUS) {
            EXPECT_EQ(detail, c.expected) << c.san;
        }
    }
    init_position();
}

TEST(San, WrittenMovesNameTheirPieceAsTheNotationAsks) {
    struct Case {
        const char* fen;
        const char* move;
        const char* san;
    } const cases[] = {
        {TWO_KNIGHTS, "b1d2", "Nbd2"},
        {TWO_ROOKS, "a5a3", "R5a3"},
        {THREE_QUEENS, "a1b2", "Qa1b2"},
        {THREE_QUEENS, "c1b2", "Qcb2"},
        {PINNED_KNIGHT, "b5d4", "Nd4"},
        {PAWNS, "e5d6", "exd6"},
        {PROMOTION, "b7c8r", "bxc8=R+"},
        {PROMOTION, "b7b8n", "b8=N"},
        {CASTLING, "e1c1", "O-O-O"},
        {CASTLING_BLACK, "e8g8", "O-O"},
        {"7k/8/6K1/8/8/8/8/R7 w - - 0 1", "a1a8", "Ra8#"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(set_position_from_fen(c.fen)) << c.fen;
        EXPECT_EQ(san_text(parse_move_text(c.move)), c.san) << c.move;
    }
    init_position();
}

// Every legal move of many random positions is read back from its own text.
TEST(San, EveryLegalMoveRoundTripsThroughItsText) {
    std::uint32_t seed = 2024;
    int disambiguated = 0, checks = 0;
    for (int game = 0; game < 80; ++game) {
        init_position();
        for (int ply = 0; ply < 150; ++ply) {
            MoveEntry list[MOVE_LIST_CAPACITY];
            const int count = legal_moves(list);
            if (count == 0) break;
            for (int i = 0; i < count; ++i) {
                const std::string text = san_text(list[i].move);
                Move back = 0;
                std::string detail;
                ASSERT_EQ(static_cast<int>(parse_san(text.c_str(), back, detail)),
                          static_cast<int>(SanStatus::OK))
                    << text << " " << detail;
                ASSERT_EQ(back, list[i].move) << text;
                disambiguated += text.size() > 2 && text[0] >= 'B' && text[0] <= 'R' &&
                                 ((text[1] >= 'a' && text[1] <= 'h' && text[2] >= 'a') ||
                                  (text[1] >= '1' && text[1] <= '8'));
                checks += text.back() == '+' || text.back() == '#';
            }
            seed = seed * 1103515245u + 12345u;
            make_move(list[(seed >> 16) % static_cast<std::uint32_t>(count)].move);
        }
    }
    EXPECT_GT(disambiguated, 0);
    EXPECT_GT(checks, 0);
    init_position();
}

// ---- PGN

std::vector<PgnGame> read_games(const std::string& text) {
    std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    EXPECT_NE(file, nullptr);
    std::vector<PgnGame> games;
    if (file == nullptr) return games;
    PgnReader reader(file);
    PgnGame game;
    while (reader.next_game(game)) games.push_back(game);
    std::fclose(file);
    return games;
}

std::vector<std::string> texts(const PgnGame& game) {
    std::vector<std::string> out;
    for (const auto& m : game.moves) out.push_back(m.text);
    return out;
}

TEST(Pgn, EveryFeatureOfTheFileFormat) {
    const std::string pgn =
        "\xEF\xBB\xBF[Event \"A \\\"quoted\\\" \\\\ event\"]\r\n"
        "[White \"Alpha\"]\r\n"
        "[Black \"Beta\"]\r\n"
        "[Result \"1-0\"]\r\n"
        "\r\n"
        "% an escape line with { and ( that must not count\r\n"
        "1. e4 {a comment\r\n"
        "over two lines (with a parenthesis} e5 2.Nf3 ; the rest 3. Bc4 is a comment\r\n"
        "2... Nc6 3.Bb5 $1 a6!? 4.Ba4 (4.Bxc6 dxc6 (4...bxc6 5.O-O) 5.O-O) 4...Nf6\r\n"
        "5.0-0 Be7 6. Re1 b5 7. Bb3 d6 8. c3 O-O 9. h3 +- 1-0\r\n"
        "\r\n"
        "[White \"Gamma\"]\n[Black \"Delta\"]\n"
        "1.d4 d5 2.c4\n"
        "[Event \"No result above\"]\n"
        "[FEN \"8/8/8/8/8/8/8/K6k w - - 0 1\"]\n"
        "1. Kb1 *\n"
        "1. e4 e5 1/2-1/2\n"
        "1. e4 a6 2. e5 d5 3. exd6 e.p. Bxd6 4.Qg4?? Bxh2# 0-1\n"
        "1. d4 d5 1/2 1. c4 ... c5 \xC2\xBD-\xC2\xBD\n"
        "{ a last comment without a game }\n";
    const std::vector<PgnGame> games = read_games(pgn);
    ASSERT_EQ(games.size(), 7u);

    const PgnGame& g1 = games[0];
    EXPECT_EQ(g1.number, 1);
    EXPECT_EQ(g1.first_line, 1);
    EXPECT_EQ(g1.event, "A \"quoted\" \\ event");
    EXPECT_EQ(g1.name(), "game 1 (Alpha - Beta)");
    EXPECT_EQ(texts(g1),
              (std::vector<std::string>{"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "0-0",
                                        "Be7", "Re1", "b5", "Bb3", "d6", "c3", "O-O", "h3"}));
    EXPECT_EQ(g1.moves[0].line, 7);
    EXPECT_EQ(g1.moves[2].line, 8);
    EXPECT_TRUE(g1.has_termination);
    EXPECT_EQ(g1.result(), GameResult::WHITE_WINS);
    EXPECT_TRUE(g1.notes.empty());

    // No result: the next game's tags end it; its tag result is unknown.
    const PgnGame& g2 = games[1];
    EXPECT_EQ(g2.name(), "game 2 (Gamma - Delta)");
    EXPECT_EQ(texts(g2), (std::vector<std::string>{"d4", "d5", "c4"}));
    EXPECT_FALSE(g2.has_termination);
    EXPECT_EQ(g2.result(), GameResult::UNKNOWN);

    const PgnGame& g3 = games[2];
    EXPECT_EQ(g3.name(), "game 3 (No result above)");
    EXPECT_EQ(g3.fen, "8/8/8/8/8/8/8/K6k w - - 0 1");
    EXPECT_EQ(texts(g3), std::vector<std::string>{"Kb1"});

    // After a result, moves without tags are the next game.
    EXPECT_EQ(texts(games[3]), (std::vector<std::string>{"e4", "e5"}));
    EXPECT_EQ(games[3].result(), GameResult::DRAW);
    EXPECT_EQ(games[3].name(), "game 4");
    EXPECT_EQ(texts(games[4]),
              (std::vector<std::string>{"e4", "a6", "e5", "d5", "exd6", "Bxd6", "Qg4", "Bxh2#"}));
    EXPECT_EQ(games[4].result(), GameResult::BLACK_WINS);
    // Draws as some programs write them.
    EXPECT_EQ(texts(games[5]), (std::vector<std::string>{"d4", "d5"}));
    EXPECT_EQ(games[5].result(), GameResult::DRAW);
    EXPECT_EQ(texts(games[6]), (std::vector<std::string>{"c4", "c5"}));
    EXPECT_EQ(games[6].result(), GameResult::DRAW);
}

TEST(Pgn, DamagedFilesEndWithNotesNotHangs) {
    // An unclosed comment swallows the rest, and says so.
    std::vector<PgnGame> games = read_games("[White \"A\"]\n1. e4 {never closed\n2. d4 *\n");
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(texts(games[0]), std::vector<std::string>{"e4"});
    EXPECT_EQ(games[0].notes, std::vector<std::string>{"comment from line 2 is not closed"});
    // A broken tag pair is noted and its line dropped; the game goes on.
    games = read_games("[White \"A\n[Black \"B\"]\n1. e4 e5 *\n");
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].black, "B");
    EXPECT_EQ(games[0].notes, std::vector<std::string>{"tag pair on line 1 is malformed"});
    // Unbalanced brackets, stray closing ones, zero bytes and a lone result.
    static const char odd[] = "1. e4 ) e5 ] } 2. Nf3 (( Nc6 1-0\n[White \"C\"]\n1. d4 \0 d5 *\n*";
    games = read_games(std::string(odd, sizeof odd - 1));
    ASSERT_EQ(games.size(), 3u);
    EXPECT_EQ(texts(games[0]), (std::vector<std::string>{"e4", "e5", "Nf3"}));
    EXPECT_EQ(games[0].result(), GameResult::UNKNOWN);  // the result stood in a variation
    EXPECT_EQ(games[1].white, "C");
    EXPECT_EQ(texts(games[1]), (std::vector<std::string>{"d4", std::string(1, '\0'), "d5"}));
    EXPECT_EQ(games[2].moves.size(), 0u);
    EXPECT_TRUE(read_games("").empty());
    EXPECT_TRUE(read_games("\n\n ; only a comment\n").empty());
}

}  // namespace
