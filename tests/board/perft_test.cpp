#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "board_test_util.h"

namespace {

// The published counts, each position as deep as stays under a few million leaves.
TEST(Perft, PublishedCounts) {
    std::ifstream file(QV_SOURCE_DIR "/tests/board/perft_positions.epd");
    ASSERT_TRUE(file) << "perft_positions.epd is missing";
    std::string line;
    int checked = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::string fen = line.substr(0, line.find(';'));
        std::istringstream fields(line.substr(line.find(';')));
        std::string tag;
        unsigned long long expected;
        while (fields >> tag >> expected) {
            const int depth = std::stoi(tag.substr(2));
            if (expected > 5000000) break;
            set_fen(fen.c_str());
            EXPECT_EQ(perft(depth - 1), expected) << fen << " depth " << depth;
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
}

TEST(Perft, LeavesThePositionAlone) {
    set_fen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    const Position before = position;
    EXPECT_EQ(perft(2), 97862u);
    EXPECT_TRUE(same_position(before, position));
}

}  // namespace
