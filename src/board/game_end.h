// The rules that end a game (mate, stalemate, the fifty-move rule, repetition
// and the length the history leaves room for), and the one way of counting
// repetitions that both the game-end check and the search's draw test use.
#pragma once

#include "board/board.h"

// Earlier positions of the game equal to the current one (the same key, so the
// same side to move), looked for two plies at a time from two plies back to the
// last capture or pawn move, never before the history's first record; the
// count stops once it reaches enough.
inline int count_repetitions(int enough) {
    const PositionState* history = position.state_history;
    const std::uint64_t key = position.state.key;
    const int oldest = position.game_ply - position.state.fifty_counter;
    int found = 0;
    for (int i = position.game_ply - 2; i >= oldest && i >= 0; i -= 2) {
        if (history[i].key == key && ++found == enough) break;
    }
    return found;
}

// Why the game is over, in the order the rules are tested.
enum GameEndRule : int {
    GAME_GOES_ON,
    CHECKMATE,      // no legal move, in check: the side that has just moved wins
    STALEMATE,      // no legal move, not in check
    GAME_TOO_LONG,  // game_ply has reached MAX_GAME_PLY: the history keeps room for a search
    FIFTY_MOVES,    // a hundred plies without a capture or a pawn move
    REPETITION,     // the position stands on the board for the third time
};
// The rule that ends the game in the current position; legal_count is the
// number of legal moves of the side to move.
GameEndRule game_end_rule(int legal_count);
// The game_result code a rule gives (GAME_RUNNING for GAME_GOES_ON).
int game_result_of(GameEndRule rule);
