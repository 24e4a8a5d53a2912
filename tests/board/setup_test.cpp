#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "board_test_util.h"

namespace {

constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TEST(Fen, StartPositionAndOptionalFields) {
    init_position();
    const std::uint64_t key = position.state.key;
    set_fen(START_FEN);
    EXPECT_EQ(position.state.key, key);
    EXPECT_EQ(position.game_ply, 0);
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(position.state.key, key);
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - -");
    EXPECT_FALSE(set_position_from_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq"));

    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 30");
    EXPECT_EQ(position.game_ply, 59);
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 0");
    EXPECT_EQ(position.game_ply, 0);
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 300");
    EXPECT_EQ(position.game_ply, 0);
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 99999999999999999999");
    EXPECT_EQ(position.game_ply, 0);
    // The half-move clock is the fifty-move counter ('-' or missing: 0; huge: capped).
    const struct {
        const char* counters;
        int fifty, ply;
    } clocks[] = {{"12 5", 12, 8}, {"- 5", 0, 8}, {"99", 99, 0}, {"99999999999 2", 1000, 2}};
    for (const auto& c : clocks) {
        const std::string fen =
            std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ");
        set_fen((fen + c.counters).c_str());
        EXPECT_EQ(position.state.fifty_counter, c.fifty) << c.counters;
        EXPECT_EQ(position.game_ply, c.ply) << c.counters;
    }
}

TEST(Fen, PlacementRules) {
    set_fen("4k3/8/8/8/8/8/8/K63 w - - 0 1");  // a rank that overshoots is complete
    EXPECT_FALSE(set_position_from_fen("4k3/8/8/8/8/8/8/9 w - - 0 1"));
    EXPECT_FALSE(set_position_from_fen("4k3/8/8/8/8/8/8/7P1 w - - 0 1"));
    EXPECT_FALSE(set_position_from_fen("4k3/8/8/8/8/8/8/4K3 x - - 0 1"));
    EXPECT_FALSE(set_position_from_fen("4k3/8/8/8/8/8/8/4Kx2 w - - 0 1"));
    EXPECT_FALSE(set_position_from_fen("4k3/8/8/8/8/8/8/4K3w - - 0 1"));
    EXPECT_FALSE(set_position_from_fen(""));
    EXPECT_FALSE(set_position_from_fen("4k3/8/8"));
    EXPECT_FALSE(set_position_from_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkqX - 0 1"));
    EXPECT_FALSE(set_position_from_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq e4 0 1"));
}

TEST(Fen, RefusesBoardsTheEngineCannotPlay) {
    const char* bad[] = {
        "8/8/8/8/8/8/8/4K3 w - - 0 1",                // no black king
        "4k3/8/8/8/8/8/8/3KK3 w - - 0 1",             // two white kings
        "4k3/8/8/8/8/8/8/8 w - - 0 1",                // no white king
        "4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1",      // nine black pawns
        "P3k3/8/8/8/8/8/8/4K3 w - - 0 1",             // pawn on the last rank
        "4k3/8/8/8/8/8/8/p3K3 w - - 0 1",             // pawn on the first rank
        "QQQQkQQQ/QQQQQQQQ/8/8/8/8/8/4K3 w - - 0 1",  // more than promotions give
        "4k3/8/8/8/8/8/PPPPPPPP/QQ2K3 w - - 0 1",     // an extra queen and 8 pawns
    };
    for (const char* fen : bad) {
        init_position();
        play("e2e4");
        const Position before = position;
        EXPECT_FALSE(set_position_from_fen(fen)) << fen;
        EXPECT_TRUE(same_position(before, position)) << fen;  // untouched
    }
    set_fen("4k3/8/8/8/8/8/PPPPPPP1/QQ2K3 w - - 0 1");  // 7 pawns and one extra queen
}

TEST(Fen, EnPassantFieldMustFit) {
    set_fen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(position.state.ep_square, 74);
    set_fen("4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1");  // the square is occupied
    EXPECT_EQ(position.state.ep_square, 0);
    set_fen("4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1");  // no pawn passed over it
    EXPECT_EQ(position.state.ep_square, 0);
    set_fen("4k3/8/8/8/3P4/8/8/4K3 w - d3 0 1");  // rank 3 with white to move
    EXPECT_EQ(position.state.ep_square, 0);
    set_fen("4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1");
    EXPECT_EQ(position.state.ep_square, 44);
    // A stale field must not let en passant take whatever stands there.
    MoveEntry list[MOVE_LIST_CAPACITY];
    set_fen("4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1");
    const int n = generate_moves(list);
    for (int i = 0; i < n; ++i) EXPECT_FALSE(move_is_ep(list[i].move));
}

TEST(MoveText, ParseNeedsLowerCasePromotionLetters) {
    set_fen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(parse_move_text("a7a8"), 0u);
    EXPECT_EQ(parse_move_text("a7a8Q"), 0u);
    EXPECT_EQ(parse_move_text("a7a8q"), pack_move(81, 91, 0, W_QUEEN));
    EXPECT_EQ(parse_move_text("a7a8n"), pack_move(81, 91, 0, W_KNIGHT));
    EXPECT_EQ(parse_move_text("e1e2"), pack_move(E1, 35));
    EXPECT_EQ(parse_move_text("e1e3"), 0u);
    EXPECT_EQ(parse_move_text("e1"), 0u);
    EXPECT_EQ(parse_move_text("z9z9"), 0u);
    set_fen("4k3/8/8/8/8/8/p7/4K3 b - - 0 1");
    EXPECT_EQ(parse_move_text("a2a1r"), pack_move(31, 21, 0, B_ROOK));
    init_position();
    EXPECT_EQ(parse_move_text("e1g1"), 0u);
    EXPECT_EQ(text_of(parse_move_text("g1f3")), "g1f3");
}

// Edit mode takes its lines from the source it is handed: here a list of
// lines, ended by nullptr.
const char* const* edit_lines = nullptr;
const char* next_edit_line() {
    return *edit_lines != nullptr ? *edit_lines++ : nullptr;
}
bool edit(const char* const* lines) {
    edit_lines = lines;
    return edit_position(next_edit_line);
}

TEST(EditMode, PlacesPiecesAndSetsCastlingFromTheBoard) {
    init_position();
    const char* const placing[] = {"#",   "Ke1", "Rh1", "Pa2", "xa2", "c",
                                   "Ke8", "Ra8", "bb7", "zz9", ".",   nullptr};
    ASSERT_TRUE(edit(placing));
    EXPECT_EQ(position.board[E1], W_KING);
    EXPECT_EQ(position.board[H1], W_ROOK);
    EXPECT_EQ(position.board[31], EMPTY);                // xa2 empties a2
    EXPECT_EQ(position.board[square_of(1, 6)], B_ROOK);  // "bb7" repeats the last piece
    EXPECT_EQ(position.state.castle_wk, 1);
    EXPECT_EQ(position.state.castle_wq, 0);
    EXPECT_EQ(position.state.castle_bq, 1);
    EXPECT_EQ(position.state.castle_bk, 0);
    EXPECT_EQ(position.state.side_to_move, WHITE);
    EXPECT_EQ(position.game_ply, 0);
    EXPECT_TRUE(position_is_ok());

    // An impossible board keeps the position from before.
    init_position();
    play("e2e4");
    const Position before = position;
    const char* const one_king[] = {"#", "Ke1", ".", nullptr};
    EXPECT_FALSE(edit(one_king));
    EXPECT_TRUE(same_position(before, position));

    // The end of input ends edit mode like ".".
    init_position();
    const char* const unfinished[] = {"#", "Ke1", "c", "Ke8", nullptr};
    ASSERT_TRUE(edit(unfinished));
    EXPECT_EQ(position.board[E8], B_KING);
    EXPECT_EQ(position.board[D1], EMPTY);
}

}  // namespace

namespace {

// The self-check that the checks builds assert after every make, unmake and
// set-up must notice each kind of damage, or those builds check nothing.
TEST(SelfCheck, NoticesEveryKindOfDamage) {
    struct Damage {
        const char* what;
        void (*apply)();
    } const damages[] = {
        {"a key bit", [] { position.state.key ^= 1ULL << 17; }},
        {"the pawn key", [] { position.state.pawn_key ^= 0x100u; }},
        {"the white king's square", [] { position.state.king_square[WHITE] = D1; }},
        {"the black king's square", [] { position.state.king_square[BLACK] = square_of(4, 6); }},
        {"the material count", [] { position.state.piece_material += 300; }},
        {"the pawn count", [] { position.state.pawn_count -= 1; }},
        {"a piece put down without its key",
         [] { position.board[square_of(4, 3)] = W_KNIGHT; }},  // e4
        {"a piece taken away without its key", [] { position.board[square_of(0, 1)] = EMPTY; }},
        {"a border square", [] { position.board[0] = EMPTY; }},
    };
    for (const char* fen :
         {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
          "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1"}) {
        for (const Damage& d : damages) {
            set_fen(fen);
            ASSERT_TRUE(position_is_ok()) << fen;
            d.apply();
            EXPECT_FALSE(position_is_ok()) << d.what << " in " << fen;
        }
    }
}

}  // namespace
