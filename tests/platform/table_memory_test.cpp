// Memory for the hash tables: zero-filled, aligned, and given back whole.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace {

TEST(TableMemory, ZeroFilledAlignedAndWritableToTheEnd) {
    for (const std::size_t bytes : {std::size_t{64}, std::size_t{4096 + 24}, std::size_t{3} << 20,
                                    (std::size_t{32} << 20) + 16}) {
        auto* table = static_cast<unsigned char*>(allocate_table(bytes));
        ASSERT_NE(table, nullptr) << bytes;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(table) % 64, 0u) << bytes;
        for (std::size_t i = 0; i < bytes; i += 997) ASSERT_EQ(table[i], 0) << bytes << " " << i;
        EXPECT_EQ(table[bytes - 1], 0);
        std::memset(table, 0xA5, bytes);
        EXPECT_EQ(table[bytes - 1], 0xA5);
        free_table(table, bytes);
    }
    free_table(nullptr, 0);
}

// Tables given back and taken again come zero-filled, not with the old contents.
TEST(TableMemory, RepeatedAllocationsStartFromZero) {
    constexpr std::size_t bytes = std::size_t{4} << 20;
    for (int round = 0; round < 20; ++round) {
        auto* table = static_cast<std::uint64_t*>(allocate_table(bytes));
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table[round * 1000], 0u);
        ASSERT_EQ(table[bytes / 8 - 1], 0u);
        table[round * 1000] = ~0ull;
        table[bytes / 8 - 1] = ~0ull;
        free_table(table, bytes);
    }
}

}  // namespace
