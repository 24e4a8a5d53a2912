// Helpers shared by the search tests: tables of the default size, a clean
// search state, set-up from FEN and captured thinking output.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "eval/eval.h"
#include "search/search.h"

// A namespace of their own: other test folders have helpers of the same names.
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

inline void set_fen(const char* fen) {
    ASSERT_TRUE(set_position_from_fen(fen)) << fen;
}

inline std::string text_of(Move m) {
    move_to_text(m);
    return move_text;
}

inline bool is_legal_root_move(Move m) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    for (int i = 0; i < count; ++i)
        if (list[i].move == m) return true;
    return false;
}

// Runs think() with the thinking lines on and returns what it printed.
inline std::string think_output(bool& result) {
    post_thinking = true;
    ::testing::internal::CaptureStdout();
    result = think();
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace search_test
