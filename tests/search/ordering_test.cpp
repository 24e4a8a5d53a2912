// Move ordering: rescoring with the hash move and killers, picking, killer updates.
#include <gtest/gtest.h>

#include <random>

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
    this_worker->search_ply = 5;
    this_worker->killer_1[5] = A;
    this_worker->killer_2[5] = B;
    this_worker->killer_3[5] = C;
    this_worker->killer_1[4] = D;  // another ply's killer does not count here
    MoveEntry list[5] = {{A, 0}, {B, 1}, {C, 6000}, {D, 0}, {0x4433, 15001}};
    score_moves(5, A, list);
    EXPECT_EQ(list[0].score, HASH_MOVE_SCORE);  // hash move wins over this_worker->killer_1
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
    EXPECT_EQ(this_worker->killer_1[3], A);
    EXPECT_EQ(this_worker->killer_2[3], 0u);
    update_killers(B, 3);
    update_killers(C, 3);
    EXPECT_EQ(this_worker->killer_1[3], C);
    EXPECT_EQ(this_worker->killer_2[3], B);
    EXPECT_EQ(this_worker->killer_3[3], A);

    update_killers(C, 3);  // already first: nothing moves
    EXPECT_EQ(this_worker->killer_1[3], C);
    EXPECT_EQ(this_worker->killer_2[3], B);
    EXPECT_EQ(this_worker->killer_3[3], A);

    update_killers(B, 3);  // the second: the two front killers swap
    EXPECT_EQ(this_worker->killer_1[3], B);
    EXPECT_EQ(this_worker->killer_2[3], C);
    EXPECT_EQ(this_worker->killer_3[3], A);

    update_killers(A, 3);  // the third comes to the front; the others shift down
    EXPECT_EQ(this_worker->killer_1[3], A);
    EXPECT_EQ(this_worker->killer_2[3], B);
    EXPECT_EQ(this_worker->killer_3[3], C);
    EXPECT_EQ(this_worker->killer_1[2], 0u);
    EXPECT_EQ(this_worker->killer_1[4], 0u);

    update_killers(D, MAX_PLY - 1);
    EXPECT_EQ(this_worker->killer_1[MAX_PLY - 1], D);
}

TEST_F(OrderingTest, ThirdKillerComesToTheFrontOnlyOnce) {
    update_killers(A, 0);
    update_killers(B, 0);
    update_killers(C, 0);  // C, B, A
    update_killers(D, 0);  // D, C, B
    update_killers(B, 0);  // B was third: B, D, C, with no second copy of B
    EXPECT_EQ(this_worker->killer_1[0], B);
    EXPECT_EQ(this_worker->killer_2[0], D);
    EXPECT_EQ(this_worker->killer_3[0], C);
}

// The rules read plainly: every entry compared with the four moves, every
// remaining entry scanned, for comparison with the library's shortcuts.
void plain_score(int count, Move hash, Move k1, Move k2, Move k3, MoveEntry* list) {
    for (int i = 0; i < count; ++i) {
        const int odd = list[i].score & 1;
        const Move m = list[i].move;
        if (m == hash)
            list[i].score = HASH_MOVE_SCORE + odd;
        else if (m == k1)
            list[i].score = KILLER_1_SCORE + odd;
        else if (m == k2)
            list[i].score = KILLER_2_SCORE + odd;
        else if (m == k3)
            list[i].score = KILLER_3_SCORE + odd;
    }
}
void plain_pick(int index, int count, MoveEntry* list) {
    for (int i = count - 1; i > index; --i)
        if (list[i].score > list[index].score) std::swap(list[i], list[index]);
}

// Generated lists of random games with hash moves and killers drawn from the
// list, from elsewhere, repeated or absent: the same scores, and after every
// pick the same whole list.
TEST_F(OrderingTest, ScoringAndPickingFollowThePlainRulesOnGeneratedLists) {
    std::mt19937 rng(99);
    const Move elsewhere = 0x4433;  // in no list below
    int picks = 0;
    for (int game = 0; game < 40; ++game) {
        init_position();
        for (int ply = 0; ply < 60; ++ply) {
            MoveEntry list[MOVE_LIST_CAPACITY], plain[MOVE_LIST_CAPACITY];
            const int count = generate_moves(list);
            if (count == 0) break;
            auto draw = [&]() -> Move {
                switch (rng() % 4) {
                    case 0:
                        return 0;
                    case 1:
                        return elsewhere;
                    default:
                        return list[rng() % static_cast<unsigned>(count)].move;
                }
            };
            this_worker->search_ply = static_cast<int>(rng() % MAX_PLY);
            const Move hash = draw();
            this_worker->killer_1[this_worker->search_ply] = draw();
            this_worker->killer_2[this_worker->search_ply] =
                rng() % 4 == 0 ? this_worker->killer_1[this_worker->search_ply] : draw();
            this_worker->killer_3[this_worker->search_ply] =
                rng() % 4 == 0 ? this_worker->killer_1[this_worker->search_ply] : draw();
            std::copy(list, list + count, plain);
            score_moves(count, hash, list);
            plain_score(count, hash, this_worker->killer_1[this_worker->search_ply],
                        this_worker->killer_2[this_worker->search_ply],
                        this_worker->killer_3[this_worker->search_ply], plain);
            for (int index = 0; index < count; ++index) {
                pick_next_move(index, count, list);
                plain_pick(index, count, plain);
                for (int i = 0; i < count; ++i) {
                    ASSERT_EQ(list[i].move, plain[i].move) << game << " " << ply << " " << index;
                    ASSERT_EQ(list[i].score, plain[i].score);
                }
                ++picks;
            }
            MoveEntry legal[MOVE_LIST_CAPACITY];
            const int n = legal_moves(legal);
            if (n == 0) break;
            make_move(legal[rng() % static_cast<unsigned>(n)].move);
        }
    }
    this_worker->search_ply = 0;
    EXPECT_GT(picks, 20000);
}

}  // namespace
