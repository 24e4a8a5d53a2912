// Chess960: castling from any start (generation, legality, make/unmake,
// rights), its set-up from Shredder-FEN and X-FEN, its three move texts, and
// the published perft counts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board_test_util.h"

namespace {

struct PerftLine {
    std::string fen;
    std::vector<std::uint64_t> counts;  // [plies - 1]
};

// The lines "FEN ;D1 n ;D2 n ..." of the published positions; '#' starts a comment.
const std::vector<PerftLine>& chess960_positions() {
    static const std::vector<PerftLine> lines = [] {
        std::vector<PerftLine> read;
        std::ifstream file(QV_SOURCE_DIR "/tests/board/perft960.epd");
        for (std::string line; std::getline(file, line);) {
            if (line.empty() || line[0] == '#') continue;
            PerftLine entry{line.substr(0, line.find(';')), {}};
            std::istringstream fields(line.substr(line.find(';')));
            std::string tag;
            for (std::uint64_t count; fields >> tag >> count;) entry.counts.push_back(count);
            read.push_back(entry);
        }
        return read;
    }();
    return lines;
}

// Every test here leaves standard chess and its notation behind it.
class Chess960 : public ::testing::Test {
  protected:
    void SetUp() override { set_chess960(true); }
    void TearDown() override {
        castling_notation = CASTLING_AS_KING_MOVE;
        init_position();
    }
};

// The checking builds test the whole position after every move: one ply less there.
#if defined(QUORVANITE_CHECKS)
constexpr int ALL_POSITIONS_PLIES = 3;
#else
constexpr int ALL_POSITIONS_PLIES = 4;
#endif

TEST_F(Chess960, PerftOfEveryPublishedPosition) {
    const auto& lines = chess960_positions();
    ASSERT_EQ(lines.size(), 480u);
    for (const PerftLine& line : lines) {
        set_fen(line.fen.c_str());
        EXPECT_EQ(perft(ALL_POSITIONS_PLIES - 1), line.counts[ALL_POSITIONS_PLIES - 1]) << line.fen;
    }
}

TEST_F(Chess960, SlowPerftFivePlies) {
    // Rights on both wings, on one wing only, and for one side only.
    const auto& lines = chess960_positions();
    for (const std::size_t i : {0, 1, 7, 10, 13, 14, 38}) {
        set_fen(lines[i].fen.c_str());
        EXPECT_EQ(perft(4), lines[i].counts[4]) << lines[i].fen;
    }
}

// King and rook reach g1 and f1 (c1 and d1) from wherever they start, also
// when the king stays or the two swap squares; unmake puts both back.
TEST_F(Chess960, CastlingTakesKingAndRookToTheirSquares) {
    struct Case {
        const char* fen;
        const char* text;  // the king taking its rook
        int king_to, rook_to;
    } const cases[] = {
        {"1r4k1/8/8/8/8/8/8/1R4KR w HBb - 0 1", "g1h1", G1, F1},    // the king stays
        {"1r3k1r/8/8/8/8/8/8/1R3KR1 w GBh - 0 1", "f1g1", G1, F1},  // the two swap
        {"4k3/8/8/8/8/8/8/R3KR2 w FA - 0 1", "e1f1", G1, F1},       // the rook stays
        {"4k3/8/8/8/8/8/8/RK5R w HA - 0 1", "b1a1", C1, D1},
        {"4k3/8/8/8/8/8/8/1RK4R w HB - 0 1", "c1b1", C1, D1},  // the king stays
        {"4k3/8/8/8/8/8/8/2RK3R w HC - 0 1", "d1c1", C1, D1},  // the two swap
        {"rk5r/8/8/8/8/8/8/4K3 b ha - 0 1", "b8h8", G8, F8},
        {"1rk4r/8/8/8/8/8/8/4K3 b hb - 0 1", "c8b8", C8, D8},
    };
    castling_notation = CASTLING_AS_KING_TAKES_ROOK;
    for (const Case& c : cases) {
        set_fen(c.fen);
        const Position before = position;
        const int mover = position.state.side_to_move;
        const Move m = named_move(c.text);
        ASSERT_NE(move_castle_kind(m), 0) << c.fen;
        EXPECT_EQ(text_of(m), c.text);
        make_move(m);
        EXPECT_EQ(position.board[c.king_to], W_KING + 6 * mover) << c.fen;
        EXPECT_EQ(position.board[c.rook_to], W_ROOK + 6 * mover) << c.fen;
        EXPECT_TRUE(position_is_ok()) << c.fen;
        unmake_move();
        EXPECT_TRUE(same_position(before, position)) << c.fen;
    }
}

// Castling needs the squares of both pieces' ways empty and every square of
// the king's way unattacked before the move, where the rook cannot yet
// shield the king.
TEST_F(Chess960, CastlingLegality) {
    struct Case {
        const char* fen;
        const char* text;
        bool legal;
    } const cases[] = {
        {"6k1/8/8/8/8/8/8/1K5R w H - 0 1", "b1h1", true},
        {"4r1k1/8/8/8/8/8/8/1K5R w H - 0 1", "b1h1", false},  // e1 on the way attacked
        {"6k1/8/8/8/8/8/8/1KN4R w H - 0 1", "b1h1", false},   // c1 on the king's way taken
        {"6k1/8/8/8/8/8/8/RK1N4 w A - 0 1", "b1a1", false},   // d1, the rook's goal, taken
        {"6k1/8/8/8/8/8/8/r5KR w H - 0 1", "g1h1", false},    // in check; f1 would shield
        {"6k1/8/8/8/8/8/8/RK2r3 w A - 0 1", "b1a1", false},   // in check; d1 would shield
        {"r5k1/8/8/8/8/8/8/RK6 w A - 0 1", "b1a1", true},     // only the rook's start attacked
        {"6k1/8/8/8/8/8/8/rRK5 w B - 0 1", "c1b1", false},    // the rook leaves c1 open to a1
    };
    castling_notation = CASTLING_AS_KING_TAKES_ROOK;
    for (const Case& c : cases) {
        set_fen(c.fen);
        EXPECT_EQ(parse_move_text(c.text) != 0, c.legal) << c.fen;
    }
}

// In Chess960 a right ends with its rook, so that another rook reaching its
// square cannot castle; standard chess keeps the flag and the keys it had.
// In standard chess the flag outlives a rook taken in its corner, so a rook that
// comes there later ends it.
TEST_F(Chess960, RightEndsWhenItsRookIsTaken) {
    castling_notation = CASTLING_AS_KING_TAKES_ROOK;
    set_fen("4k3/8/8/6R1/8/7n/8/4K1R1 b G - 0 1");
    play("h3g1");  // the knight takes the castling rook
    EXPECT_EQ(position.state.castle_wk, 0);
    play("g5g1");
    play("e8d8");
    EXPECT_EQ(parse_move_text("e1g1"), 0u);  // the rook on g1 is another one
    EXPECT_TRUE(position_is_ok());

    set_chess960(false);
    castling_notation = CASTLING_AS_KING_MOVE;
    set_fen("4k3/8/8/7R/8/6n1/8/4K2R b K - 0 1");
    play("g3h1");
    EXPECT_EQ(position.state.castle_wk, 1);  // standard chess keeps the flag (and its keys)...
    play("h5h1");
    EXPECT_EQ(position.state.castle_wk, 0);  // ... until another rook comes to the corner
    play("e8d8");
    EXPECT_EQ(parse_move_text("e1g1"), 0u);
    EXPECT_TRUE(position_is_ok());
}

// The castling field: K and Q name the outermost rook of the wing (X-FEN),
// which in standard chess is the rook in the corner; a file letter names the
// rook on that file. Castling standard chess does not know makes the game
// Chess960. A letter with no king on its first rank or no rook behind it is
// dropped; a letter that is none, or two rooks for one wing, refuse the text.
TEST_F(Chess960, CastlingFieldsOfShredderFenAndXFen) {
    struct Case {
        bool chess960_before;
        const char* fen;
        bool accepted;
        int rooks[CASTLE_RIGHTS];  // wk, wq, bk, bq
        bool chess960_after;
        const char* dropped;
    } const cases[] = {
        {false, "r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", true, {H1, A1, H8, A8}, false, ""},
        {false, "rk4r1/8/8/8/8/8/8/RK4R1 w GAg - 0 1", true, {G1, A1, G8, 0}, true, ""},
        {false, "r4k1r/8/8/8/8/8/8/R4K1R w KQkq - 0 1", true, {H1, A1, H8, A8}, true, ""},
        {true, "r4k1r/8/8/8/8/8/8/R4K1R w KQkq - 0 1", true, {H1, A1, H8, A8}, true, ""},
        {false, "rk4r1/8/8/8/8/8/8/RK4R1 w KQkq - 0 1", true, {G1, A1, G8, A8}, true, ""},
        {true, "4k3/8/8/8/8/8/8/1R2K1RR w KQ - 0 1", true, {H1, B1, 0, 0}, true, ""},
        {true, "4k3/8/8/8/8/8/8/1R2K1RR w GQ - 0 1", true, {G1, B1, 0, 0}, true, ""},
        {true, "4k3/8/8/8/8/8/8/1R2K1RR w Kh - 0 1", true, {H1, 0, 0, 0}, true, "h"},
        {true, "4k3/8/8/8/8/8/8/1R2K1RR w HG - 0 1", false, {}, true, ""},  // two for one wing
        {true, "4k3/8/8/8/8/8/4K3/1R4RR w K - 0 1", true, {}, true, "K"},   // no king on rank 1
        {false,
         "rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w KQkq - 0 1",
         true,
         {0, A1, 0, A8},
         false,
         "Kk"},
        {false, "4k3/8/8/8/8/8/8/4K3 w KQkqKQ - 0 1", true, {}, false, "KQkq"},
        {false, "r3k2r/8/8/8/8/8/8/R3K2R w KQkqX - 0 1", false, {}, false, ""},
    };
    for (const Case& c : cases) {
        init_position();
        set_chess960(c.chess960_before);
        char dropped[DROPPED_CASTLING_SIZE] = "?";
        ASSERT_EQ(set_position_from_fen(c.fen, dropped), c.accepted) << c.fen;
        EXPECT_STREQ(dropped, c.dropped) << c.fen;
        EXPECT_EQ(position.chess960, c.chess960_after) << c.fen;
        if (!c.accepted) continue;
        for (int right = 0; right < CASTLE_RIGHTS; ++right) {
            EXPECT_EQ(position.castling.rook_from[right], c.rooks[right]) << c.fen;
            EXPECT_EQ(position.state.*CASTLE_FLAGS[right], c.rooks[right] != 0) << c.fen;
        }
        EXPECT_TRUE(position_is_ok()) << c.fen;
    }
    // Shredder-FEN letters of standard chess give the standard key.
    init_position();
    const std::uint64_t key = position.state.key;
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1");
    EXPECT_EQ(position.state.key, key);
}

// The three ways to write castling, each read back; the king's two-square
// move is no castling where the notation names the rook, nor in Chess960.
TEST_F(Chess960, MoveTextInThreeNotations) {
    const char* standard = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    const char* rook_beside_king = "4k3/8/8/8/8/8/8/RK5R w HA - 0 1";
    struct Case {
        CastlingNotation notation;
        const char* fen;
        const char* text;
        const char* written;  // nullptr: names no legal move; "-": a move that is no castling
    } const cases[] = {
        {CASTLING_AS_KING_MOVE, standard, "e1g1", "e1g1"},
        {CASTLING_AS_KING_MOVE, standard, "O-O", nullptr},
        {CASTLING_AS_KING_MOVE, rook_beside_king, "b1c1", "-"},
        {CASTLING_AS_KING_MOVE, rook_beside_king, "b1a1", "b1a1"},
        {CASTLING_AS_KING_TAKES_ROOK, standard, "e1h1", "e1h1"},
        {CASTLING_AS_KING_TAKES_ROOK, standard, "e1g1", nullptr},
        {CASTLING_AS_KING_TAKES_ROOK, rook_beside_king, "b1c1", "-"},
        {CASTLING_AS_KING_TAKES_ROOK, rook_beside_king, "b1a1", "b1a1"},
        {CASTLING_AS_O_O, "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "O-O", "O-O"},
        {CASTLING_AS_O_O, "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "O-O-O", "O-O-O"},
        {CASTLING_AS_O_O, rook_beside_king, "b1a1", "O-O-O"},
        {CASTLING_AS_O_O, rook_beside_king, "0-0-0", "O-O-O"},  // with zeros, as some write it
        {CASTLING_AS_O_O, "4k3/8/8/8/8/8/8/RK5R w H - 0 1", "O-O-O", nullptr},
    };
    for (const Case& c : cases) {
        castling_notation = c.notation;
        set_chess960(c.fen != standard);
        set_fen(c.fen);
        EXPECT_EQ(looks_like_move(c.text), c.notation == CASTLING_AS_O_O || c.text[0] != 'O');
        const Move m = parse_move_text(c.text);
        if (c.written == nullptr) {
            EXPECT_EQ(m, 0u) << c.text << " in " << c.fen;
        } else if (c.written[0] == '-') {
            EXPECT_EQ(move_castle_kind(m), 0) << c.text << " in " << c.fen;
        } else {
            ASSERT_NE(move_castle_kind(m), 0) << c.text << " in " << c.fen;
            EXPECT_EQ(text_of(m), c.written);
            EXPECT_TRUE(text_names_move(c.written, m));
        }
    }
}

}  // namespace
