// Static exchange: worked exchanges, the order of the attacker lists, and a
// board left as it was found.
#include <gtest/gtest.h>

#include <vector>

#include "eval/eval_test_support.h"

namespace {

int sq(const char* name) {
    return square_of(name[0] - 'a', name[1] - '1');
}

Move capture(const char* from, const char* to) {
    return make_move_value(sq(from), sq(to), position.board[sq(to)]);
}

std::vector<int> white_list() {
    return std::vector<int>(swap_list_white, swap_list_white + swap_count_white);
}
std::vector<int> black_list() {
    return std::vector<int>(swap_list_black, swap_list_black + swap_count_black);
}

TEST(StaticExchange, WorkedExchanges) {
    set_fen("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("e4", "d5")), 300);  // undefended knight

    set_fen("4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("d1", "d5")), -800);  // pawn defended by a pawn

    // Rook takes a rook defended by a bishop, a second rook behind the first.
    set_fen("4k3/6b1/8/4r3/8/8/4R3/4RK2 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("e2", "e5")), 300);

    // Knight takes a pawn only the king defends.
    set_fen("8/8/4k3/4p3/8/5N2/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("f3", "e5")), -200);
    // With a second attacker the king cannot recapture safely.
    set_fen("8/8/4k3/4p3/3P4/5N2/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("f3", "e5")), 100);
}

TEST(StaticExchange, XRayThroughTheMovingPiece) {
    // Bishop c3 takes a knight on e5 that a pawn defends; the queen on b2
    // behind the bishop is found because the bishop's square is emptied.
    set_fen("4k3/8/3p4/4n3/8/2B5/1Q6/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("c3", "e5")), 100);
    EXPECT_EQ(white_list(), (std::vector<int>{300, 900}));
    EXPECT_EQ(black_list(), (std::vector<int>{300, 100}));
    // Without the queen the bishop is simply traded for the knight.
    set_fen("4k3/8/3p4/4n3/8/2B5/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("c3", "e5")), 0);
}

TEST(StaticExchange, BlackToMove) {
    // Rook d7 takes a knight that a pawn defends, the queen behind it.
    set_fen("3qk3/3r4/8/8/3N4/2P5/8/4K3 b - - 0 1");
    EXPECT_EQ(static_exchange(capture("d7", "d4")), -100);
    EXPECT_EQ(black_list(), (std::vector<int>{500, 900}));
    EXPECT_EQ(white_list(), (std::vector<int>{300, 100}));
}

TEST(StaticExchange, EnPassantWinsNothing) {
    set_fen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Move ep = make_move_value(sq("e5"), sq("d6"), 0, 0, 0, true);
    EXPECT_EQ(static_exchange(ep), 0);
}

TEST(CollectAttackers, CaptureOrderOfBothLists) {
    // Pawn d4 takes e5. White: bishop g3, king d6 next to e5, queen e2 with a
    // rook behind it on e1. Black: pawn f6 with a bishop behind on h8, rook e8.
    set_fen("k3r2b/8/3K1p2/4n3/3P4/6B1/4Q3/4R3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("d4", "e5")), 200);
    // The king's entry is pushed up by later insertions and stays last; the
    // rook goes after the queen it stands behind, though it is cheaper.
    EXPECT_EQ(white_list(), (std::vector<int>{100, 300, 900, 500, 10000}));
    // The bishop behind the attacking pawn is found after it.
    EXPECT_EQ(black_list(), (std::vector<int>{300, 100, 300, 500}));
    for (int i = 5; i < SWAP_LIST_CAPACITY; ++i) EXPECT_EQ(swap_list_white[i], SWAP_SENTINEL);
    for (int i = 4; i < SWAP_LIST_CAPACITY; ++i) EXPECT_EQ(swap_list_black[i], SWAP_SENTINEL);
}

TEST(CollectAttackers, EqualValuesKeepTheirOrderAndCheapSlidersMoveUp) {
    // Knight f3 takes e5. Knight d3 is listed in the knight step; the queen on
    // c3 (first diagonal ray) and the bishop on h2 (second) are inserted after
    // it, the bishop in front of the dearer queen.
    set_fen("4k3/8/8/4n3/8/2QN1N2/7B/4K3 w - - 0 1");
    static_exchange(capture("f3", "e5"));
    EXPECT_EQ(white_list(), (std::vector<int>{300, 300, 300, 900}));
}

TEST(CollectAttackers, EqualValueGoesAfterThoseAlreadyListed) {
    // Knight f3 takes e5. Queen d4 is listed first; queen f4 goes after it,
    // and the bishop behind f4 after f4, not between the two queens.
    set_fen("k7/8/8/4r3/3Q1Q2/5NB1/8/4K3 w - - 0 1");
    static_exchange(capture("f3", "e5"));
    EXPECT_EQ(white_list(), (std::vector<int>{300, 900, 900, 300}));
}

TEST(CollectAttackers, RaysEndAtBlockers) {
    // The rook on e1 stands behind a pawn that does not attack e5, and the
    // king on e3 is not next to e5: neither counts.
    set_fen("4k3/8/3p4/4n3/4P3/2B1K3/8/4R3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("c3", "e5")), 0);
    EXPECT_EQ(white_list(), (std::vector<int>{300}));
    // A knight next to the target on a diagonal hides the bishop behind it.
    set_fen("4k3/8/8/4n3/3N4/2B5/8/4RK2 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("e1", "e5")), 300);
    EXPECT_EQ(white_list(), (std::vector<int>{500}));
    // A black pawn below the target does not attack it and blocks the ray.
    set_fen("4k3/8/8/4n3/3p4/2B5/8/4RK2 w - - 0 1");
    static_exchange(capture("e1", "e5"));
    EXPECT_EQ(white_list(), (std::vector<int>{500}));
}

TEST(StaticExchange, LeavesTheBoardAsItWas) {
    set_fen("k3r2b/8/3K1p2/4n3/3P4/6B1/4Q3/4R3 w - - 0 1");
    const Position before = position;
    static_exchange(capture("d4", "e5"));
    static_exchange(capture("e2", "e5"));
    EXPECT_EQ(std::memcmp(before.board, position.board, sizeof position.board), 0);
    EXPECT_EQ(std::memcmp(&before.state, &position.state, sizeof position.state), 0);
}

}  // namespace
