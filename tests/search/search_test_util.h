// Helpers shared by the search tests: tables of the default size, a clean
// search state, set-up from FEN and captured thinking output.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "eval/eval.h"
#include "frontend/thinking.h"
#include "search/internal.h"
#include "support/board_helpers.h"

namespace search_test {

// Node counts depend on the table size, so the search tests run on the default one.
inline void default_tables() {
    if (tt_table == nullptr || eval_state->eval_cache == nullptr ||
        eval_state->pawn_cache == nullptr || tt_entry_count != DEFAULT_TT_ENTRY_COUNT ||
        eval_cache_count != EVAL_CACHE_COUNT || pawn_cache_count != PAWN_CACHE_COUNT) {
        tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
        eval_cache_count = EVAL_CACHE_COUNT;
        pawn_cache_count = PAWN_CACHE_COUNT;
        ASSERT_TRUE(allocate_tables());
    }
    tt_clear_all();
}

// The limits of the next search of a test (untimed, the default depth at
// the start of each test) and the move the last one chose.
inline SearchLimits limits;
inline Move best_move = 0;

inline void reset_search_state() {
    this_worker->search_ply = 0;
    this_worker->move_nodes = 0;
    this_worker->capture_nodes = 0;
    this_worker->sel_depth = 0;
    stop_search = false;
    limits = SearchLimits{};
    best_move = 0;
    for (int p = 0; p < MAX_PLY; ++p)
        this_worker->killer_1[p] = this_worker->killer_2[p] = this_worker->killer_3[p] = 0;
}

inline void no_line(const SearchInfo&) {}
inline void no_lines(const SearchInfo*, int) {}
const SearchReport quiet_report = {no_line, no_line, no_line, no_lines, no_line, no_line, no_lines};

// Searches within limits, reporting to report; best_move is the move to play
// when there is one. False when there is none.
inline bool think(const SearchReport& report = quiet_report) {
    const RootMoves result = search(limits, report);
    if (result.best() != 0) best_move = result.best();
    return result.best() != 0;
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

// Runs think() with the console's thinking lines and returns what it printed.
inline std::string think_output(bool& result) {
    ::testing::internal::CaptureStdout();
    result = think(console_report);
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace search_test
