// Transposition table, its replacement and ageing, and the pawn cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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
    return tt_table + tt_bucket_index(key) * 4;
}

// The entry of key in its bucket, as the search reads it.
TtContents contents(int slot, std::uint64_t key) {
    return tt_contents(bucket_for(key)[slot], key);
}

void store_at(std::uint64_t key, int score, int depth, int bound, Move move) {
    position.state.key = key;
    tt_store(score, depth, bound, move);
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
    // The default table takes the key's low 19 bits as its bucket.
    EXPECT_EQ(tt_index_mask, (DEFAULT_TT_ENTRY_COUNT - 1) >> 2);
    EXPECT_EQ(tt_index_shift, 19u);
    EXPECT_EQ(eval_cache_mask, 32767u);
    EXPECT_EQ(pawn_cache_mask, 32767u);
}

TEST_F(TtTest, ExactMateScoresAreReadRelativeToTheProbingPly) {
    int score = 0;
    Move move = 0;
    this_worker->search_ply = 3;
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
    int copies = 0;
    for (int i = 0; i < 4; ++i) copies += contents(i, position.state.key).holds_key;
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(contents(0, position.state.key).age, 15);  // the store refreshed the age
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
        // The empty bucket fills in order; one ageing, then the fresh ones again.
        tt_clear_all();
        for (int i = 0; i < 4; ++i)
            store_at(key_in_bucket(i + 1u), 0, c.depth_age[i][0], BOUND_EXACT, E2E4);
        age_transposition_table();
        for (int i = 0; i < 4; ++i)
            if (c.depth_age[i][1] == 15)
                store_at(key_in_bucket(i + 1u), 0, c.depth_age[i][0], BOUND_EXACT, E2E4);
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(contents(i, key_in_bucket(i + 1u)).age, c.depth_age[i][1]);

        store_at(key_in_bucket(9), 5, 1, BOUND_LOWER, 0);
        for (int i = 0; i < 4; ++i) {
            if (i == c.victim) {
                EXPECT_TRUE(contents(i, key_in_bucket(9)).holds_key);
                EXPECT_EQ(contents(i, key_in_bucket(9)).move, 0u);  // replaced whole, move too
            } else {
                EXPECT_TRUE(contents(i, key_in_bucket(i + 1u)).holds_key);
            }
        }
    }
}

TEST_F(TtTest, ClearedEntryStillGivesItsMoveAndIsReplacedFirst) {
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
    const TtContents cleared = contents(2, key_in_bucket(3));
    EXPECT_TRUE(cleared.holds_key);
    EXPECT_EQ(cleared.depth, 0);
    EXPECT_EQ(cleared.age, 0);
    EXPECT_EQ(cleared.bound, BOUND_NONE);

    position.state.key = key_in_bucket(7);
    tt_store(0, 1, BOUND_EXACT, E2E4);
    EXPECT_TRUE(contents(2, key_in_bucket(7)).holds_key);
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
    const std::uint64_t key = position.state.key;
    age_transposition_table();
    EXPECT_EQ(contents(0, key).age, 14);
    for (int i = 0; i < 19; ++i) age_transposition_table();
    const TtContents aged = contents(0, key);
    EXPECT_EQ(aged.age, 0);
    EXPECT_EQ(aged.score, -321);
    EXPECT_EQ(aged.depth, 7);
    EXPECT_EQ(aged.bound, BOUND_UPPER);
    EXPECT_EQ(aged.move, E2E4);
    int score = 0;
    Move move = 0;
    ASSERT_TRUE(tt_probe(-300, 0, 7, score, move));
    EXPECT_EQ(score, -321);
}

TEST_F(TtTest, AgeingNeverComesRoundToAnOldEntry) {
    // The ages come from a counter that keeps 16 bits in the entries: after
    // 2^16 agings an entry must not look fresh again.
    store_at(key_in_bucket(1), 5, 10, BOUND_EXACT, E2E4);
    for (int i = 0; i < 65523; ++i) age_transposition_table();
    EXPECT_EQ(contents(1, key_in_bucket(2)).age, 0);  // never written since the table was cleared
    for (int i = 0; i < 17; ++i) age_transposition_table();
    const TtContents old = contents(0, key_in_bucket(1));
    EXPECT_TRUE(old.holds_key);
    EXPECT_EQ(old.age, 0);
    EXPECT_EQ(old.score, 5);
    EXPECT_EQ(old.depth, 10);
    EXPECT_EQ(old.move, E2E4);
}

TEST_F(TtTest, AnEntryOfTwoHalfStoresIsNoHit) {
    // Two threads storing into one entry at once can leave one store's first
    // word beside the other's second: neither position may read it as its own.
    store_at(key_in_bucket(1), 111, 3, BOUND_EXACT, E2E4);
    TtEntry& entry = bucket_for(key_in_bucket(1))[0];
    const std::uint64_t first_word = entry.check.load();
    tt_clear_all();
    store_at(key_in_bucket(2), -222, 9, BOUND_EXACT, D2D4);
    ASSERT_TRUE(contents(0, key_in_bucket(2)).holds_key);
    entry.check.store(first_word);
    for (const std::uint64_t n : {1u, 2u}) {
        EXPECT_FALSE(contents(0, key_in_bucket(n)).holds_key) << n;
        position.state.key = key_in_bucket(n);
        int score = 0;
        Move move = 0;
        EXPECT_FALSE(tt_probe(-INFINITE_SCORE, INFINITE_SCORE, 1, score, move)) << n;
        EXPECT_EQ(tt_probe_move(), 0u) << n;
    }
}

TEST_F(TtTest, ClearAllEmptiesEveryTable) {
    tt_store(1, 1, BOUND_EXACT, E2E4);
    pawn_cache_store(12);
    eval_state->eval_cache[5].key = 77;
    tt_clear_all();
    EXPECT_EQ(tt_probe_move(), 0u);
    int score = 0;
    EXPECT_FALSE(pawn_cache_probe(score));
    EXPECT_EQ(eval_state->eval_cache[5].key, 0u);
}

// The clear skips a table nothing has written since the last clear: every way
// of writing must count, or an old entry would outlive "new".
TEST_F(TtTest, ClearAllAfterEveryKindOfWriteLeavesOnlyZeros) {
    const struct {
        const char* name;
        void (*write)();
    } writers[] = {
        {"store", [] { store_at(key_in_bucket(3), 40, 6, BOUND_LOWER, D2D4); }},
        {"clear entry",
         [] {
             position.state.key = key_in_bucket(0);  // a zero entry passes for its own
             tt_clear_entry();
         }},
        {"re-stamping",
         [] {
             for (int i = 0; i < 1 << 16; ++i) age_transposition_table();
         }},
    };
    for (const auto& writer : writers) {
        tt_clear_all();
        writer.write();
        tt_clear_all();
        for (std::uint32_t i = 0; i < tt_entry_count; ++i) {
            ASSERT_EQ(tt_table[i].check.load() | tt_table[i].payload.load(), 0u)
                << writer.name << ", entry " << i;
        }
    }
}

// Tables of any size: the low key bits share out evenly over the buckets (a
// power of two takes them as they are), every bucket lies inside the table,
// an entry is found again, and the re-stamping wraps at the table's end.
TEST_F(TtTest, AnySizeSpreadsKeysEvenlyOverItsBuckets) {
    for (const std::uint64_t megabytes : {1, 3}) {
        ASSERT_TRUE(resize_transposition_table(megabytes * TT_ENTRIES_PER_MEGABYTE));
        const std::uint64_t buckets = tt_entry_count / 4;
        ASSERT_EQ(buckets, megabytes * TT_ENTRIES_PER_MEGABYTE / 4);
        std::vector<std::uint32_t> keys_per_bucket(buckets);
        for (std::uint64_t low = 0; low <= tt_index_mask; ++low)
            ++keys_per_bucket[tt_bucket_index(low)];
        const auto [fewest, most] =
            std::minmax_element(keys_per_bucket.begin(), keys_per_bucket.end());
        EXPECT_LE(*most - *fewest, 1u) << megabytes;
        EXPECT_EQ(tt_bucket_index(~std::uint64_t{0}), buckets - 1) << megabytes;
        for (std::uint64_t n = 1; n <= 1000; ++n) {
            const std::uint64_t key = n * 0x9E3779B97F4A7C15ull;
            store_at(key, 5, 3, BOUND_EXACT, E2E4);
            EXPECT_EQ(tt_probe_move(), E2E4) << key;
        }
        store_at(~std::uint64_t{0}, 5, 3, BOUND_EXACT, D2D4);
        for (int i = 0; i < (1 << 14) + 1; ++i) age_transposition_table();
        EXPECT_EQ(tt_probe_move(), D2D4) << megabytes;
    }
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
