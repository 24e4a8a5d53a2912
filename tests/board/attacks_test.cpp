#include <gtest/gtest.h>

#include "board_test_util.h"

namespace {

TEST(Attacks, PawnsKingsAndRays) {
    set_fen("4k3/8/8/8/8/8/3p4/4K3 w - - 0 1");
    EXPECT_TRUE(attacked_by_black(E1));  // d2 = e1 + 9
    EXPECT_TRUE(in_check());
    set_fen("4k3/8/8/8/8/8/4p3/4K3 w - - 0 1");
    EXPECT_FALSE(attacked_by_black(E1));
    EXPECT_FALSE(in_check());

    set_fen("4r2k/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(attacked_by_black(E1));
    set_fen("4r2k/8/8/8/4N3/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(attacked_by_black(E1));
    set_fen("4r2k/8/8/8/4n3/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(attacked_by_black(E1));

    set_fen("8/8/8/3kK3/8/8/8/8 w - - 0 1");
    EXPECT_TRUE(attacked_by_black(position.state.king_square[WHITE]));
    EXPECT_TRUE(attacked_by_white(position.state.king_square[BLACK]));

    // White pawns capture upwards and never forwards.
    set_fen("4k3/8/8/8/8/8/2P5/4K3 w - - 0 1");
    EXPECT_TRUE(attacked_by_white(square_of(3, 2)));   // d3
    EXPECT_TRUE(attacked_by_white(square_of(1, 2)));   // b3
    EXPECT_FALSE(attacked_by_white(square_of(2, 2)));  // c3
    // Knights jump; a slider stops at the first piece of either colour.
    set_fen("4k3/8/8/8/8/1N6/8/4K3 w - - 0 1");
    EXPECT_TRUE(attacked_by_white(square_of(2, 4)));   // c5
    EXPECT_FALSE(attacked_by_white(square_of(2, 3)));  // c4
    set_fen("4k3/8/8/8/8/8/1N6/B3K3 w - - 0 1");
    EXPECT_TRUE(attacked_by_white(square_of(1, 1)));   // b2, the bishop's own knight
    EXPECT_FALSE(attacked_by_white(square_of(2, 2)));  // c3, behind it
    // Black pawns capture downwards.
    set_fen("4k3/8/8/8/3p4/8/8/4K3 b - - 0 1");
    EXPECT_TRUE(attacked_by_black(square_of(2, 2)));   // c3
    EXPECT_FALSE(attacked_by_black(square_of(2, 4)));  // c5
}

TEST(Legality, CastlingThroughAttackAndDiscoveredEnPassant) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    auto legal_texts = [&] {
        const int n = filter_legal(generate_moves(list), list);
        return texts(list, n);
    };
    auto contains = [](const std::vector<std::string>& v, const char* t) {
        for (const auto& s : v)
            if (s == t) return true;
        return false;
    };
    // A bishop on c4 covers f1: generated, then removed.
    set_fen("4k3/8/8/8/2b5/8/8/4K2R w K - 0 1");
    EXPECT_FALSE(contains(legal_texts(), "e1g1"));
    // A rook on b8 attacking b1 alone does not stop queen-side castling.
    set_fen("1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
    EXPECT_TRUE(contains(legal_texts(), "e1c1"));
    // An attacked king cannot castle out of check.
    set_fen("4r1k1/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_FALSE(contains(legal_texts(), "e1g1"));

    // En passant that uncovers a rook on the pawns' rank is illegal.
    set_fen("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1");
    EXPECT_EQ(position.state.ep_square, 74);
    EXPECT_FALSE(contains(legal_texts(), "e5d6"));

    // filter_legal keeps order and scores, and leaves the position as it was.
    set_fen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    const Position before = position;
    const int n = generate_moves(list);
    MoveEntry copy[MOVE_LIST_CAPACITY];
    for (int i = 0; i < n; ++i) copy[i] = list[i];
    const int kept = filter_legal(n, list);
    EXPECT_EQ(kept, 48);
    EXPECT_TRUE(same_position(before, position));
    for (int i = 0, j = 0; i < kept; ++i) {
        while (copy[j].move != list[i].move) ++j;
        EXPECT_EQ(copy[j].score, list[i].score);
    }
    EXPECT_EQ(filter_legal(0, list), 0);
}

TEST(Legality, MateAndStalemateHaveNoLegalMoves) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    set_fen("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");  // mate
    EXPECT_EQ(filter_legal(generate_moves(list), list), 0);
    EXPECT_TRUE(in_check());
    set_fen("7k/8/6QK/8/8/8/8/8 b - - 0 1");  // stalemate
    EXPECT_EQ(filter_legal(generate_moves(list), list), 0);
    EXPECT_FALSE(in_check());
}

}  // namespace
