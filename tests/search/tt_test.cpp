// Transposition table, its replacement and ageing, and the pawn cache.
#include <gtest/gtest.h>

#include "search_test_util.h"

using namespace search_test;

namespace {

constexpr Move E2E4 = 0x3723;
constexpr Move D2D4 = 0x3622;

// Keys sharing one bucket: same low 32 bits, different high bits.
constexpr std::uint64_t BUCKET_LOW = 0x1234;
std::uint64_t key_in_bucket(std::uint64_t n) {
    return n << 32 | BUCKET_LOW;
}

TtEntry* bucket_for(std::uint64_t key) {
    return tt_table + (static_cast<std::uint32_t>(key) & tt_bucket_mask) * 4;
}

std::uint32_t data_word(int score, int depth, int age, int bound) {
    return static_cast<std::uint32_t>(score + 32000) | static_cast<std::uint32_t>(depth) << 18 |
           static_cast<std::uint32_t>(age) << 26 | static_cast<std::uint32_t>(bound) << 30;
}

class TtTest : public SearchTest {};

TEST_F(TtTest, EmptyTableHasNothing) {
    int score = 7;
    Move move = 99;
    EXPECT_FALSE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 1, score, move));
    EXPECT_EQ(move, 0u);
    EXPECT_EQ(score, 7);
    EXPECT_EQ(tt_probe_move(), 0u);
}

TEST_F(TtTest, BucketMaskFollowsEntryCount) {
    EXPECT_EQ(tt_bucket_mask, (DEFAULT_TT_ENTRY_COUNT - 1) >> 2);
    EXPECT_EQ(eval_cache_mask, 32767u);
    EXPECT_EQ(pawn_cache_mask, 32767u);
}

TEST_F(TtTest, ExactMateScoresAreReadRelativeToTheProbingPly) {
    int score = 0;
    Move move = 0;
    search_ply = 3;
    tt_store(29990, 4, BOUND_EXACT, E2E4);
    ASSERT_TRUE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 4, score, move));
    EXPECT_EQ(score, 29987);

    tt_store(-29990, 4, BOUND_EXACT, E2E4);
    ASSERT_TRUE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 4, score, move));
    EXPECT_EQ(score, -29987);

    tt_store(28999, 4, BOUND_EXACT, E2E4);
    ASSERT_TRUE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 4, score, move));
    EXPECT_EQ(score, 28999);

    // Bounds are read back as stored, even in the mate range.
    tt_store(29000, 4, BOUND_LOWER, E2E4);
    ASSERT_TRUE(tt_probe(0, 29000, 4, score, move));
    EXPECT_EQ(score, 29000);
}

TEST_F(TtTest, BoundsDecideOnlyOutsideTheWindowAndAtEnoughDepth) {
    int score = 0;
    Move move = 0;
    tt_store(150, 5, BOUND_LOWER, E2E4);

    EXPECT_FALSE(tt_probe(0, 150, 6, score, move));  // too shallow
    EXPECT_EQ(move, E2E4);

    move = 0;
    ASSERT_TRUE(tt_probe(0, 150, 5, score, move));
    EXPECT_EQ(score, 150);

    EXPECT_FALSE(tt_probe(0, 151, 5, score, move));
    EXPECT_EQ(move, E2E4);

    tt_store(-40, 5, BOUND_UPPER, D2D4);
    ASSERT_TRUE(tt_probe(-40, 0, 5, score, move));
    EXPECT_EQ(score, -40);
    EXPECT_FALSE(tt_probe(-41, 0, 5, score, move));
    EXPECT_EQ(move, D2D4);
}

TEST_F(TtTest, StoreWithoutMoveKeepsTheOldMove) {
    tt_store(10, 3, BOUND_EXACT, E2E4);
    tt_store(-25, 4, BOUND_UPPER, 0);
    EXPECT_EQ(tt_probe_move(), E2E4);
    int score = 0;
    Move move = 0;
    ASSERT_TRUE(tt_probe(-25, 0, 4, score, move));
    EXPECT_EQ(score, -25);
    // One entry per position: the bucket holds no second copy.
    const TtEntry* bucket = bucket_for(position.state.key);
    int copies = 0;
    for (int i = 0; i < 4; ++i) copies += bucket[i].key == position.state.key;
    EXPECT_EQ(copies, 1);
    EXPECT_EQ((bucket[0].data >> 26) & 0xF, 15u);  // the store refreshed the age
}

TEST_F(TtTest, VictimIsTheLowestPriorityFirstOfEqual) {
    struct Case {
        int depth_age[4][2];
        int victim;
    };
    const Case cases[] = {
        {{{10, 15}, {3, 15}, {12, 14}, {3, 15}}, 2},  // the aged entry goes first
        {{{10, 15}, {3, 15}, {12, 15}, {3, 15}}, 1},  // the first of the two shallowest
    };
    for (const Case& c : cases) {
        tt_clear_all();
        TtEntry* bucket = bucket_for(key_in_bucket(1));
        for (int i = 0; i < 4; ++i) {
            bucket[i].key = key_in_bucket(static_cast<std::uint64_t>(i) + 1);
            bucket[i].data = data_word(0, c.depth_age[i][0], c.depth_age[i][1], BOUND_EXACT);
            bucket[i].move = E2E4;
        }
        position.state.key = key_in_bucket(9);
        tt_store(5, 1, BOUND_LOWER, 0);
        for (int i = 0; i < 4; ++i) {
            if (i == c.victim) {
                EXPECT_EQ(bucket[i].key, key_in_bucket(9));
                EXPECT_EQ(bucket[i].move, 0u);  // replaced whole, move 0 included
            } else {
                EXPECT_EQ(bucket[i].key, key_in_bucket(static_cast<std::uint64_t>(i) + 1));
            }
        }
    }
}

TEST_F(TtTest, ClearedEntryStillGivesItsMoveAndIsReplacedFirst) {
    TtEntry* bucket = bucket_for(key_in_bucket(1));
    for (int i = 0; i < 4; ++i) {
        position.state.key = key_in_bucket(static_cast<std::uint64_t>(i) + 1);
        tt_store(100, 1, BOUND_EXACT, E2E4);
    }
    position.state.key = key_in_bucket(3);
    tt_store(100, 20, BOUND_EXACT, D2D4);
    tt_clear_entry();
    int score = 0;
    Move move = 0;
    for (int depth = 1; depth <= 20; ++depth) {
        EXPECT_FALSE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, depth, score, move));
        EXPECT_EQ(move, D2D4);
    }
    EXPECT_EQ(bucket[2].data, 0u);
    EXPECT_EQ(bucket[2].key, key_in_bucket(3));

    position.state.key = key_in_bucket(7);
    tt_store(0, 1, BOUND_EXACT, E2E4);
    EXPECT_EQ(bucket[2].key, key_in_bucket(7));
}

TEST_F(TtTest, ClearingAbsentPositionChangesNothing) {
    tt_store(33, 2, BOUND_EXACT, E2E4);
    const std::uint64_t kept = position.state.key;
    position.state.key = kept ^ 0xFFFF000000000000ull;  // same bucket, other position
    tt_clear_entry();
    position.state.key = kept;
    int score = 0;
    Move move = 0;
    EXPECT_TRUE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 2, score, move));
    EXPECT_EQ(score, 33);
}

TEST_F(TtTest, AgeingSaturatesAndKeepsTheRest) {
    tt_store(-321, 7, BOUND_UPPER, E2E4);
    const TtEntry* bucket = bucket_for(position.state.key);
    const std::uint32_t before = bucket[0].data;
    age_transposition_table();
    EXPECT_EQ((bucket[0].data >> 26) & 0xF, 14u);
    for (int i = 0; i < 19; ++i) age_transposition_table();
    EXPECT_EQ((bucket[0].data >> 26) & 0xF, 0u);
    EXPECT_EQ(bucket[0].data & ~(0xFu << 26), before & ~(0xFu << 26));
    EXPECT_EQ(bucket[0].move, E2E4);
    int score = 0;
    Move move = 0;
    ASSERT_TRUE(tt_probe(-300, 0, 7, score, move));
    EXPECT_EQ(score, -321);
}

TEST_F(TtTest, ClearAllEmptiesEveryTable) {
    tt_store(1, 1, BOUND_EXACT, E2E4);
    pawn_cache_store(12);
    eval_cache[5].key = 77;
    tt_clear_all();
    EXPECT_EQ(tt_probe_move(), 0u);
    int score = 0;
    EXPECT_FALSE(pawn_cache_probe(score));
    EXPECT_EQ(eval_cache[5].key, 0u);
}

TEST_F(TtTest, PawnCacheNeedsSamePawnsAndSameMaterial) {
    int score = 0;
    pawn_cache_store(-57);
    ASSERT_TRUE(pawn_cache_probe(score));
    EXPECT_EQ(score, -57);

    position.state.piece_material -= 300;  // a knight came off, pawns unchanged
    EXPECT_FALSE(pawn_cache_probe(score));

    // Material beyond the 14-bit field is stored but never matches.
    position.state.piece_material = 16400;
    pawn_cache_store(5);
    EXPECT_FALSE(pawn_cache_probe(score));
}

}  // namespace
