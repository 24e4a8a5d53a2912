// The end of a game by the rules.
#include "board/game_end.h"

GameEndRule game_end_rule(int legal_count) {
    if (legal_count == 0) return in_check() ? CHECKMATE : STALEMATE;
    if (position.game_ply >= MAX_GAME_PLY) return GAME_TOO_LONG;
    if (position.state.fifty_counter >= 100) return FIFTY_MOVES;
    return count_repetitions(2) >= 2 ? REPETITION : GAME_GOES_ON;
}

int game_result_of(GameEndRule rule) {
    if (rule == GAME_GOES_ON) return GAME_RUNNING;
    if (rule != CHECKMATE) return GAME_DRAWN;
    return position.state.side_to_move == BLACK ? WHITE_WON : BLACK_WON;
}
