// The win/draw/loss model: sound chances over every score and material, a
// better score never less likely to win, a score and its negation mirrored.
#include "frontend/wdl.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "search/search.h"

namespace {

// Every score near the balance, then a sample of the rest.
int next_score(int score) {
    return std::abs(score) < 600 ? score + 1 : score + 97;
}

TEST(WdlModel, ChancesAreSoundMonotoneAndSymmetric) {
    for (const int material : {0, 10, 30, 60, 84, 120}) {
        WdlPermille before = wdl_of_score(-MATE_BOUND + 1, material);
        for (int score = -MATE_BOUND + 1; score < MATE_BOUND; score = next_score(score)) {
            const WdlPermille p = wdl_of_score(score, material);
            const WdlPermille mirror = wdl_of_score(-score, material);
            ASSERT_TRUE(p.win >= 0 && p.draw >= 0 && p.loss >= 0 && p.win + p.draw + p.loss == 1000)
                << score << " with " << material;
            ASSERT_TRUE(p.win >= before.win && p.loss <= before.loss)
                << score << " with " << material;
            ASSERT_TRUE(p.win == mirror.loss && p.draw == mirror.draw)
                << score << " with " << material;
            before = p;
        }
        const WdlPermille level = wdl_of_score(0, material);
        EXPECT_GT(level.draw, 0) << material;
        EXPECT_EQ(wdl_of_score(3000, material).win, 1000) << material;  // thirty pawns up
    }
    EXPECT_EQ(wdl_of_score(MATE_SCORE - 1, 84).win, 1000);
    EXPECT_EQ(wdl_of_score(-MATE_SCORE + 2, 84).loss, 1000);
}

}  // namespace
