#include <gtest/gtest.h>

#include "board_test_util.h"

namespace {

TEST(Squares, NumberingAndTables) {
    EXPECT_EQ(square_of(0, 0), A1);
    EXPECT_EQ(A1, 21);
    EXPECT_EQ(H1, 28);
    EXPECT_EQ(A8, 91);
    EXPECT_EQ(H8, 98);
    EXPECT_EQ(E1, 25);
    EXPECT_EQ(E8, 95);
    EXPECT_EQ(square64[A1], 0);
    EXPECT_EQ(square64[H8], 63);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(square64[squares_a1_h8[i]], i);
    for (int sq = 0; sq < BOARD_SIZE; ++sq)
        EXPECT_EQ(initial_board[sq] == OFF_BOARD, empty_board[sq] == OFF_BOARD) << sq;
}

TEST(MoveEncoding, WorkedValues) {
    EXPECT_EQ(pack_move(35, 55), 0x3723u);                     // e2e4
    EXPECT_EQ(pack_move(55, 64, B_PAWN), 0x74037u);            // e4xd5
    EXPECT_EQ(pack_move(85, 95, 0, W_QUEEN), 0x505F55u);       // e7e8=Q
    EXPECT_EQ(pack_move(85, 94, B_ROOK, W_QUEEN), 0x5A5E55u);  // e7xd8=Q
    EXPECT_EQ(pack_move(65, 74, 0, 0, 0, true), 0x10004A41u);  // e5xd6 e.p.
    EXPECT_EQ(pack_move(E1, G1, 0, 0, CASTLE_KING_SIDE), W_CASTLE_KING_SIDE);
    EXPECT_EQ(pack_move(E1, C1, 0, 0, CASTLE_QUEEN_SIDE), W_CASTLE_QUEEN_SIDE);
    EXPECT_EQ(pack_move(E8, G8, 0, 0, CASTLE_KING_SIDE), B_CASTLE_KING_SIDE);
    EXPECT_EQ(pack_move(E8, C8, 0, 0, CASTLE_QUEEN_SIDE), B_CASTLE_QUEEN_SIDE);
    EXPECT_EQ(text_of(W_CASTLE_KING_SIDE), "e1g1");
    EXPECT_EQ(text_of(B_CASTLE_QUEEN_SIDE), "e8c8");
    EXPECT_EQ(text_of(pack_move(87, 98, B_ROOK, W_KNIGHT)), "g7h8n");
}

TEST(Zobrist, FixedValues) {
    // Pinned: opening books are keyed by these values.
    EXPECT_EQ(zobrist[0][0], 0x157a3807a48faa9dull);
    EXPECT_EQ(zobrist[63][15], 0x1a8aec911170b1b1ull);
    for (int i = 0; i < 64; ++i)
        for (int p = 0; p < 16; ++p) {
            EXPECT_NE(zobrist[i][p], 0u);
            EXPECT_LT(zobrist[i][p], 1ull << 63);
        }
}

TEST(GenerateMoves, StartPositionOrder) {
    init_position();
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int n = generate_moves(list);
    const std::vector<std::string> expected = {
        "a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3", "d2d4", "e2e3", "e2e4",
        "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
    EXPECT_EQ(texts(list, n), expected);
    for (int i = 0; i < n; ++i) EXPECT_EQ(list[i].score, 0);
    EXPECT_EQ(generate_captures(list), 0);

    play("e2e4");
    const int m = generate_moves(list);
    const auto black = texts(list, m);
    ASSERT_EQ(m, 20);
    EXPECT_EQ(black[0], "a7a6");
    EXPECT_EQ(black[1], "a7a5");
    EXPECT_EQ(std::vector<std::string>(black.end() - 4, black.end()),
              (std::vector<std::string>{"b8a6", "b8c6", "g8f6", "g8h6"}));
}

TEST(GenerateMoves, PromotionsInOrderWithScores) {
    set_fen("3r3k/4P3/8/8/8/8/8/K7 w - - 0 1");
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int n = generate_moves(list);
    ASSERT_GE(n, 8);
    const int scores[4] = {9000, 9100, 9200, 19000};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list[i].move, pack_move(85, 95, 0, W_KNIGHT + i));
        EXPECT_EQ(list[i].score, scores[i]);
        EXPECT_EQ(list[4 + i].move, pack_move(85, 94, B_ROOK, W_KNIGHT + i));
        EXPECT_EQ(list[4 + i].score, scores[i]);
    }
    // The capture generator: queen promotions only, and the push before the capture.
    const int c = generate_captures(list);
    ASSERT_EQ(c, 2);
    EXPECT_EQ(list[0].move, pack_move(85, 95, 0, W_QUEEN));
    EXPECT_EQ(list[1].move, pack_move(85, 94, B_ROOK, W_QUEEN));
    EXPECT_EQ(list[0].score, 10001);
    EXPECT_EQ(list[1].score, 10001);

    set_fen("7k/8/8/8/8/8/1p6/N6K b - - 0 1");
    ASSERT_EQ(generate_captures(list), 2);
    EXPECT_EQ(text_of(list[0].move), "b2b1q");
    EXPECT_EQ(move_promotion(list[0].move), B_QUEEN);
    EXPECT_EQ(text_of(list[1].move), "b2a1q");
    EXPECT_EQ(move_captured(list[1].move), W_KNIGHT);
}

TEST(GenerateMoves, EnPassantAndSeventhRankMarks) {
    set_fen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1");
    play("d7d5");
    EXPECT_EQ(position.state.ep_square, 74);
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int n = generate_moves(list);
    ASSERT_GE(n, 2);
    EXPECT_EQ(text_of(list[0].move), "e5e6");
    EXPECT_EQ(list[1].move, pack_move(65, 74, 0, 0, 0, true));
    EXPECT_EQ(list[1].score, 15000);

    // A push onto the seventh rank scores 1; a capture landing there gets +1.
    set_fen("4k3/2n5/1P6/8/8/8/8/4K3 w - - 0 1");
    const int m = generate_moves(list);
    ASSERT_GE(m, 2);
    EXPECT_EQ(text_of(list[0].move), "b6b7");
    EXPECT_EQ(list[0].score, 1);
    EXPECT_EQ(text_of(list[1].move), "b6c7");
    EXPECT_EQ(list[1].score, 16001);
}

TEST(GenerateMoves, CastlingNeedsEmptySquaresAndTheRook) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    auto has = [&](const char* text) {
        const int n = generate_moves(list);
        for (int i = 0; i < n; ++i)
            if (text_of(list[i].move) == text) return true;
        return false;
    };
    set_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(has("e1g1"));
    EXPECT_TRUE(has("e1c1"));
    set_fen("r3k2r/8/8/8/8/8/8/R3KB1R w KQkq - 0 1");
    EXPECT_FALSE(has("e1g1"));
    // The h1 rook is captured while the flag stays set: no castling entry.
    set_fen("r3k2r/8/8/8/8/8/6b1/R3K2R b KQkq - 0 1");
    play("g2h1");
    EXPECT_EQ(position.state.castle_wk, 1);
    EXPECT_FALSE(has("e1g1"));
    EXPECT_TRUE(has("e1c1"));
}

TEST(GenerateMoves, CaptureGeneratorOddMarks) {
    // Queen takes pawn: even (may lose); pawn takes queen, king takes: odd.
    set_fen("4k3/8/8/3p4/2P1Q3/8/8/4K3 w - - 0 1");
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int n = generate_captures(list);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(text_of(list[0].move), "c4d5");
    EXPECT_EQ(list[0].score, 901);
    EXPECT_EQ(text_of(list[1].move), "e4d5");
    EXPECT_EQ(list[1].score, 100);
}

TEST(GenerateMoves, MostMovesPositionFitsAndCounts) {
    // 218 legal moves, the most known in a legal position.
    set_fen("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1");
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int n = generate_moves(list);
    EXPECT_LE(n, MOVE_LIST_CAPACITY);
    EXPECT_EQ(filter_legal(n, list), 218);
    EXPECT_EQ(perft(0), 218u);
}

}  // namespace
