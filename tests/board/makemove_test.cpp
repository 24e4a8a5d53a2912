#include <gtest/gtest.h>

#include <random>

#include "board_test_util.h"

namespace {

std::uint64_t key_from_scratch(std::uint32_t* pawn_key) {
    const PositionState kept = position.state;
    position.state.key = 0;
    position.state.pawn_key = 0;
    compute_keys();
    const std::uint64_t key = position.state.key;
    *pawn_key = position.state.pawn_key;
    position.state = kept;
    return key;
}

// Long random games from several positions: the incremental keys always equal
// a recount, and unmaking everything restores the position exactly.
TEST(MakeMove, RandomPlayoutsKeepKeysAndUnmakeRestores) {
    const char* starts[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    };
    std::mt19937 rng(12345);
    for (const char* fen : starts) {
        for (int game = 0; game < 25; ++game) {
            set_fen(fen);
            const Position before = position;
            int made = 0;
            for (int ply = 0; ply < 200; ++ply) {
                MoveEntry list[MOVE_LIST_CAPACITY];
                const int n = legal_moves(list);
                if (n == 0) break;
                const Move m = list[rng() % static_cast<unsigned>(n)].move;
                if (rng() % 16 == 0 && !in_check()) {
                    make_null_move();
                    std::uint32_t pk;
                    ASSERT_EQ(key_from_scratch(&pk), position.state.key);
                    unmake_null_move();
                }
                make_move(m);
                ++made;
                std::uint32_t pawn_key;
                ASSERT_EQ(key_from_scratch(&pawn_key), position.state.key) << fen;
                ASSERT_EQ(pawn_key, position.state.pawn_key) << fen;
                ASSERT_TRUE(position_is_ok());
            }
            while (made-- > 0) unmake_move();
            ASSERT_TRUE(same_position(before, position)) << fen;
        }
    }
}

TEST(MakeMove, KeysOfTranspositionsAndEnPassant) {
    init_position();
    const std::uint64_t start = position.state.key;
    play("g1f3");
    play("g8f6");
    play("b1c3");
    const std::uint64_t a = position.state.key;
    init_position();
    play("b1c3");
    play("g8f6");
    play("g1f3");
    EXPECT_EQ(position.state.key, a);
    init_position();
    play("g1f3");
    play("b8c6");
    play("f3g1");
    play("c6b8");
    EXPECT_EQ(position.state.key, start);

    init_position();
    play("e2e4");
    EXPECT_EQ(position.state.ep_square, 45);
    set_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    const std::uint64_t without_ep = position.state.key;
    init_position();
    play("e2e4");
    EXPECT_NE(position.state.key, without_ep);
    play("g8f6");
    EXPECT_EQ(position.state.ep_square, 0);
}

TEST(MakeMove, CountersFlagsAndSpecialMoves) {
    init_position();
    EXPECT_EQ(position.state.piece_material, 6800);
    EXPECT_EQ(position.state.pawn_count, 16);

    // King moves clear both flags for good; rook moves clear their own flag.
    set_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    play("e1f1");
    EXPECT_EQ(position.state.castle_wk + position.state.castle_wq, 0);
    play("e8e7");
    play("f1e1");
    EXPECT_EQ(position.state.castle_wk + position.state.castle_wq, 0);
    set_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    play("h1h2");
    EXPECT_EQ(position.state.castle_wk, 0);
    EXPECT_EQ(position.state.castle_wq, 1);
    play("a8a7");
    EXPECT_EQ(position.state.castle_bq, 0);
    EXPECT_EQ(position.state.castle_bk, 1);

    // Castling moves the rook too; the king is part of the pawn key.
    set_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 5 1");
    const std::uint32_t pawn_key = position.state.pawn_key;
    play("e1g1");
    EXPECT_EQ(position.board[G1], W_KING);
    EXPECT_EQ(position.board[F1], W_ROOK);
    EXPECT_EQ(position.board[E1], EMPTY);
    EXPECT_EQ(position.board[H1], EMPTY);
    EXPECT_NE(position.state.pawn_key, pawn_key);
    EXPECT_EQ(position.state.fifty_counter, 6);  // the FEN's clock 5, and one
    play("e8c8");
    EXPECT_EQ(position.board[C8], B_KING);
    EXPECT_EQ(position.board[D8], B_ROOK);
    EXPECT_EQ(position.board[A8], EMPTY);

    // En passant removes the pawn beside, keeps the material, resets the counter.
    set_fen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 7 1");
    play("d7d5");
    play("e5d6");
    EXPECT_EQ(position.board[64], EMPTY);
    EXPECT_EQ(position.state.pawn_count, 1);
    EXPECT_EQ(position.state.piece_material, 0);
    EXPECT_EQ(position.state.fifty_counter, 0);

    // Promotions: +1200, one pawn fewer; capturing a rook as well: +700.
    set_fen("3r3k/4P3/8/8/8/8/8/K7 w - - 0 1");
    const int material = position.state.piece_material;
    play("e7e8q");
    EXPECT_EQ(position.state.piece_material, material + 1200);
    EXPECT_EQ(position.state.pawn_count, 0);
    unmake_move();
    play("e7d8q");
    EXPECT_EQ(position.state.piece_material, material + 700);
    unmake_move();
    EXPECT_EQ(position.board[95], EMPTY);
    EXPECT_EQ(position.board[94], B_ROOK);
    EXPECT_EQ(position.board[85], W_PAWN);

    // A null move clears the en-passant square, and unmaking brings it back.
    init_position();
    play("e2e4");
    make_null_move();
    EXPECT_EQ(position.state.ep_square, 0);
    EXPECT_EQ(position.move_history[position.game_ply - 1], 0u);
    unmake_null_move();
    EXPECT_EQ(position.state.ep_square, 45);

    // Capturing a knight lowers the phase material by 300.
    set_fen("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
    play("e4d5");
    EXPECT_EQ(position.state.piece_material, 0);
    EXPECT_EQ(position.state.pawn_count, 1);
}

}  // namespace
