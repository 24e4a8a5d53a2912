// Helpers every test folder uses on the one position: set-up from FEN, moves
// named by their text, and the legal moves of the side to move.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"

// Sets the position; fails the test when the text is refused.
inline void set_fen(const char* fen) {
    ASSERT_TRUE(set_position_from_fen(fen)) << fen;
}

// The coordinate text of a move ("e2e4", "e7e8q").
inline std::string text_of(Move m) {
    move_to_text(m);
    return move_text;
}
inline std::vector<std::string> texts(const MoveEntry* list, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(text_of(list[i].move));
    return out;
}

// The legal move the text names here; fails the test (and gives 0) when there is none.
inline Move named_move(const char* text) {
    const Move m = parse_move_text(text);
    EXPECT_NE(m, 0u) << text;
    return m;
}

// Plays a move given in coordinate text; fails the test if it is not legal.
inline void play(const char* text) {
    const Move m = parse_move_text(text);
    ASSERT_NE(m, 0u) << text;
    make_move(m);
}
