// Helpers shared by the search tests: tables of the default size, a clean
// search state, set-up from FEN and captured thinking output.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "eval/eval.h"
#include "search/search.h"
#include "support/board_helpers.h"

namespace search_test {

// Node counts depend on the table size, so the search tests run on the default one.
inline void default_tables() {
    if (tt_table == nullptr || eval_cache == nullptr || pawn_cache == nullptr ||
        tt_entry_count != DEFAULT_TT_ENTRY_COUNT || eval_cache_count != EVAL_CACHE_COUNT ||
        pawn_cache_count != PAWN_CACHE_COUNT) {
        tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
        eval_cache_count = EVAL_CACHE_COUNT;
        pawn_cache_count = PAWN_CACHE_COUNT;
        ASSERT_TRUE(allocate_tables());
    }
    tt_clear_all();
}

inline void reset_search_state() {
    search_ply = 0;
    move_nodes = 0;
    capture_nodes = 0;
    sel_depth = 0;
    stop_search = false;
    time_limited.store(false, std::memory_order_release);
    time_budget = UNLIMITED_TIME_BUDGET;
    post_thinking = false;
    max_depth = DEFAULT_MAX_DEPTH;
    best_move = 0;
    for (int p = 0; p < MAX_PLY; ++p) killer_1[p] = killer_2[p] = killer_3[p] = 0;
}

class SearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        default_tables();
        reset_search_state();
        init_position();
    }
    void TearDown() override {
        reset_search_state();
        init_position();
    }
};

using ::set_fen;  // support/board_helpers.h, also as search_test::set_fen
using ::text_of;

// Runs think() with the thinking lines on and returns what it printed.
inline std::string think_output(bool& result) {
    post_thinking = true;
    ::testing::internal::CaptureStdout();
    result = think();
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace search_test
