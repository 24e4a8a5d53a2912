// Move ordering: rescoring with the hash move and killers, picking, killer updates.
#include <gtest/gtest.h>

#include "search_test_util.h"

using namespace search_test;

namespace {

constexpr Move A = 0x3723, B = 0x3622, C = 0x2F3A, D = 0x3521;

class OrderingTest : public SearchTest {};

TEST_F(OrderingTest, PickTakesTheLastOfEqualHighestAndKeepsTheRest) {
    MoveEntry list[3] = {{A, 5}, {B, 9}, {C, 9}};
    pick_next_move(0, 3, list);
    EXPECT_EQ(list[0].move, C);
    EXPECT_EQ(list[1].move, B);
    EXPECT_EQ(list[2].move, A);
    pick_next_move(1, 3, list);
    EXPECT_EQ(list[1].move, B);
    EXPECT_EQ(list[2].move, A);
}

TEST_F(OrderingTest, PickLooksOnlyAtTheRemainingRange) {
    MoveEntry list[4] = {{A, 100}, {B, 1}, {C, 50}, {D, 7}};
    pick_next_move(1, 4, list);
    EXPECT_EQ(list[0].move, A);
    EXPECT_EQ(list[1].move, C);
    EXPECT_EQ(list[1].score, 50);
    pick_next_move(3, 4, list);  // last entry: nothing to compare with
    EXPECT_EQ(list[3].score, 1);
}

TEST_F(OrderingTest, HashMoveThenKillersKeepTheOddMark) {
    search_ply = 5;
    killer_1[5] = A;
    killer_2[5] = B;
    killer_3[5] = C;
    killer_1[4] = D;  // another ply's killer does not count here
    MoveEntry list[5] = {{A, 0}, {B, 1}, {C, 6000}, {D, 0}, {0x4433, 15001}};
    score_moves(5, A, list);
    EXPECT_EQ(list[0].score, HASH_MOVE_SCORE);  // hash move wins over killer_1
    EXPECT_EQ(list[1].score, KILLER_2_SCORE + 1);
    EXPECT_EQ(list[2].score, KILLER_3_SCORE);
    EXPECT_EQ(list[3].score, 0);
    EXPECT_EQ(list[4].score, 15001);

    MoveEntry again[2] = {{A, 19001}, {B, 0}};
    score_moves(2, 0, again);  // no hash move: move 0 matches nothing
    EXPECT_EQ(again[0].score, KILLER_1_SCORE + 1);
    EXPECT_EQ(again[1].score, KILLER_2_SCORE);
}

TEST_F(OrderingTest, KillerUpdates) {
    update_killers(A, 3);
    EXPECT_EQ(killer_1[3], A);
    EXPECT_EQ(killer_2[3], 0u);
    update_killers(B, 3);
    update_killers(C, 3);
    EXPECT_EQ(killer_1[3], C);
    EXPECT_EQ(killer_2[3], B);
    EXPECT_EQ(killer_3[3], A);

    update_killers(C, 3);  // already first: nothing moves
    EXPECT_EQ(killer_1[3], C);
    EXPECT_EQ(killer_2[3], B);
    EXPECT_EQ(killer_3[3], A);

    update_killers(B, 3);  // the second: the two front killers swap
    EXPECT_EQ(killer_1[3], B);
    EXPECT_EQ(killer_2[3], C);
    EXPECT_EQ(killer_3[3], A);

    update_killers(A, 3);  // the third comes to the front; the others shift down
    EXPECT_EQ(killer_1[3], A);
    EXPECT_EQ(killer_2[3], B);
    EXPECT_EQ(killer_3[3], C);
    EXPECT_EQ(killer_1[2], 0u);
    EXPECT_EQ(killer_1[4], 0u);

    update_killers(D, MAX_PLY - 1);
    EXPECT_EQ(killer_1[MAX_PLY - 1], D);
}

TEST_F(OrderingTest, ThirdKillerComesToTheFrontOnlyOnce) {
    update_killers(A, 0);
    update_killers(B, 0);
    update_killers(C, 0);  // C, B, A
    update_killers(D, 0);  // D, C, B
    update_killers(B, 0);  // B was third: B, D, C, with no second copy of B
    EXPECT_EQ(killer_1[0], B);
    EXPECT_EQ(killer_2[0], D);
    EXPECT_EQ(killer_3[0], C);
}

}  // namespace
