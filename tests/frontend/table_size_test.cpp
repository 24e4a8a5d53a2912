// The interface's hash size ("memory N", UCI's Hash), rounded as the
// configuration file rounds, and what a resize leaves when memory is short.
#include <gtest/gtest.h>

#include "frontend/session.h"
#include "search/internal.h"
#include "search/search_test_util.h"

namespace {

constexpr std::uint32_t MB = 1048576 / sizeof(TtEntry);  // entries per megabyte

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

TEST_F(TableSize, ResizedLikeTheConfigurationFileAndUsable) {
    struct Case {
        long megabytes;
        std::uint32_t entries;
        HashResize result;
    } const cases[] = {{300, 256 * MB, HashResize::RESIZED},
                       {64, 64 * MB, HashResize::RESIZED},
                       {1, 32 * MB, HashResize::RESIZED},
                       {-5, 32 * MB, HashResize::SAME_SIZE},
                       {100000, 1024 * MB, HashResize::RESIZED}};
    init_position();
    const Move m = parse_move_text("e2e4");
    for (const Case& c : cases) {
        EXPECT_EQ(resize_hash(c.megabytes), c.result) << c.megabytes;
        EXPECT_EQ(tt_entry_count, c.entries) << c.megabytes;
        EXPECT_EQ(tt_bucket_mask, (c.entries - 1) >> 2) << c.megabytes;
        // A new size starts empty; the same size keeps what the table has learnt.
        EXPECT_EQ(tt_probe_move(), c.result == HashResize::SAME_SIZE ? m : 0u) << c.megabytes;
        tt_store(17, 3, BOUND_EXACT, m);
        EXPECT_EQ(tt_probe_move(), m) << c.megabytes;
    }
    EXPECT_FALSE(session_ended());
}

// Allocators that fail the first `failures` calls, then allocate for real.
int failures = 0;
bool failing_allocator() {
    return failures-- > 0 ? false : allocate_tables();
}

TEST_F(TableSize, MemoryShortKeepsTheOldSizeOrEndsTheSession) {
    struct Case {
        int failures;
        HashResize result;
        bool ended;
    } const cases[] = {{1, HashResize::KEPT_OLD_SIZE, false}, {2, HashResize::NO_TABLE, true}};
    for (const Case& c : cases) {
        search_test::default_tables();
        begin_session();
        failures = c.failures;
        testing::internal::CaptureStdout();
        EXPECT_EQ(resize_hash(256, failing_allocator), c.result) << c.failures;
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(tt_entry_count, 32 * MB) << c.failures;
        EXPECT_EQ(session_ended(), c.ended) << c.failures;
        EXPECT_EQ(session_exit_status(), c.ended ? EXIT_STATUS_NO_MEMORY : EXIT_STATUS_QUIT);
        EXPECT_EQ(out, c.ended
                           ? "Error: not enough memory\n"
                           : "not enough memory for a hash table of 256 MB; it keeps its size\n")
            << c.failures;
    }
}

}  // namespace
