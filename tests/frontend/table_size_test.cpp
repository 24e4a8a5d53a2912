// "memory N": the interface's hash size, rounded as the configuration file rounds.
#include <gtest/gtest.h>

#include "frontend/config.h"
#include "search/search.h"
#include "search/search_test_util.h"

namespace {

constexpr std::uint32_t MB = 1048576 / sizeof(TtEntry);  // entries per megabyte

class TableSize : public ::testing::Test {
  protected:
    void SetUp() override { search_test::default_tables(); }
    void TearDown() override { search_test::default_tables(); }
};

TEST_F(TableSize, ResizedLikeTheConfigurationFileAndUsable) {
    struct Case {
        long megabytes;
        std::uint32_t entries;
    } const cases[] = {
        {300, 256 * MB}, {64, 64 * MB}, {1, 32 * MB}, {-5, 32 * MB}, {100000, 1024 * MB}};
    init_position();
    for (const Case& c : cases) {
        ASSERT_TRUE(resize_transposition_table(c.megabytes)) << c.megabytes;
        EXPECT_EQ(tt_entry_count, c.entries) << c.megabytes;
        EXPECT_EQ(tt_bucket_mask, (c.entries - 1) >> 2) << c.megabytes;
        EXPECT_EQ(tt_probe_move(), 0u) << "a resized table starts empty";
        const Move m = parse_move_text("e2e4");
        tt_store(17, 3, BOUND_EXACT, m);
        EXPECT_EQ(tt_probe_move(), m) << c.megabytes;
    }
}

}  // namespace
