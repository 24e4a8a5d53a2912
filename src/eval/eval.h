// Evaluation: static score of the position in centipawns from the side to
// move's view, and the static exchange evaluation of captures.
#pragma once

#include "board/board.h"

constexpr int OPENING_LIMIT = 4400;  // piece_material above: opening
constexpr int ENDGAME_LIMIT = 2600;  // piece_material at most: endgame

// Material of the evaluation, centipawns.
constexpr int PAWN_VALUE = 100, KNIGHT_VALUE = 310, BISHOP_VALUE = 320, ROOK_VALUE = 500,
              QUEEN_VALUE = 900;
constexpr int BLOCKED_ROOK_PENALTY = 40;  // centipawns (blocked_rook_term)
constexpr int PAWN_SCORE_BIAS = 32000;    // added to the pawn part stored in the pawn cache

// Through the evaluation cache; the evaluator is chosen by piece_material.
int evaluate();
int evaluate_opening();
int evaluate_middlegame();
int evaluate_endgame();
bool insufficient_material();  // no pawns and piece_material <= 300

// Mobility: empty squares seen along the rook's or the bishop's four rays.
int count_rook_rays(int square);
int count_bishop_rays(int square);

// Static exchange evaluation.
constexpr int SWAP_SENTINEL = 0x55555555;   // fills the unused entries: above every value
constexpr int KING_EXCHANGE_VALUE = 10000;  // the king's value in an exchange, centipawns
extern const int piece_value[13];           // [piece code]: exchange value, centipawns
// The exchange lists: EvalState::exchange_lists (eval/cache.h).
void collect_attackers(int square);
int static_exchange(Move m);
