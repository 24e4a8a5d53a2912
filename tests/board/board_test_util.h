// Helpers shared by the board tests.
#pragma once

#include <gtest/gtest.h>

#include "board/board.h"
#include "support/board_helpers.h"

inline bool same_state(const PositionState& a, const PositionState& b) {
    return a.key == b.key && a.pawn_key == b.pawn_key && a.piece_material == b.piece_material &&
           a.pawn_count == b.pawn_count && a.fifty_counter == b.fifty_counter &&
           a.king_square[0] == b.king_square[0] && a.king_square[1] == b.king_square[1] &&
           a.ep_square == b.ep_square && a.castle_wk == b.castle_wk && a.castle_wq == b.castle_wq &&
           a.castle_bk == b.castle_bk && a.castle_bq == b.castle_bq &&
           a.side_to_move == b.side_to_move && a.game_result == b.game_result;
}

// The whole position and its history up to game_ply, compared field by field
// (slots above game_ply keep whatever the last unmade moves left there).
inline bool same_position(const Position& a, const Position& b) {
    for (int sq = 0; sq < BOARD_SIZE; ++sq)
        if (a.board[sq] != b.board[sq]) return false;
    if (!same_state(a.state, b.state) || a.game_ply != b.game_ply) return false;
    for (int i = 0; i < a.game_ply; ++i)
        if (!same_state(a.state_history[i], b.state_history[i]) ||
            a.move_history[i] != b.move_history[i])
            return false;
    return true;
}
