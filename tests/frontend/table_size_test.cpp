// The interface's hash size ("memory N", UCI's Hash): any size from 1 MB to
// 64 GB, and a size the memory refuses leaves the table as it was.
#include <gtest/gtest.h>

#include "frontend/session.h"
#include "search/internal.h"
#include "search/search_test_util.h"

namespace {

constexpr std::uint64_t MB = TT_ENTRIES_PER_MEGABYTE;

class TableSize : public ::testing::Test {
  protected:
    void SetUp() override {
        search_test::default_tables();
        begin_session();
    }
    void TearDown() override {
        search_test::default_tables();
        begin_session();
    }
};

// A resizer that refuses every size, noting the entries it was asked for.
std::uint64_t asked = 0;
bool refusing_resizer(std::uint64_t entries) {
    asked = entries;
    return false;
}

TEST_F(TableSize, AnySizeIsTakenAsAskedAndUsable) {
    struct Case {
        long megabytes;
        std::uint64_t entries;
        HashResize result;
    } const cases[] = {{300, 300 * MB, HashResize::RESIZED},
                       {64, 64 * MB, HashResize::RESIZED},
                       {1, 1 * MB, HashResize::RESIZED},
                       {-5, 1 * MB, HashResize::SAME_SIZE},
                       {48, 48 * MB, HashResize::RESIZED}};
    init_position();
    const Move m = parse_move_text("e2e4");
    for (const Case& c : cases) {
        EXPECT_EQ(resize_hash(c.megabytes), c.result) << c.megabytes;
        EXPECT_EQ(tt_entry_count, c.entries) << c.megabytes;
        EXPECT_LT(tt_bucket_index(~std::uint64_t{0}), c.entries / 4) << c.megabytes;
        // A new size starts empty; the same size keeps what the table has learnt.
        EXPECT_EQ(tt_probe_move(), c.result == HashResize::SAME_SIZE ? m : 0u) << c.megabytes;
        tt_store(17, 3, BOUND_EXACT, m);
        EXPECT_EQ(tt_probe_move(), m) << c.megabytes;
    }
    // 64 GB at most: 2^32 entries.
    EXPECT_EQ(resize_hash(100000, refusing_resizer), HashResize::KEPT_OLD_SIZE);
    EXPECT_EQ(asked, std::uint64_t{1} << 32);
    EXPECT_FALSE(session_ended());
}

TEST_F(TableSize, RefusedSizeKeepsTheTableAndWhatItHolds) {
    init_position();
    const Move m = parse_move_text("d2d4");
    tt_store(17, 3, BOUND_EXACT, m);
    testing::internal::CaptureStdout();
    EXPECT_EQ(resize_hash(256, refusing_resizer), HashResize::KEPT_OLD_SIZE);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "not enough memory for a hash table of 256 MB; the table keeps its 32 MB\n");
    EXPECT_EQ(tt_entry_count, 32 * MB);
    EXPECT_EQ(tt_probe_move(), m);
    EXPECT_FALSE(session_ended());
}

}  // namespace
