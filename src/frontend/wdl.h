// Win, draw and loss chances of a search score, as the engine's own games
// have them: a logistic model fitted by tools/wdl/fit_wdl.py (see the README).
#pragma once

#include "board/board.h"

// Permille from the side to move's view; the three sum to 1000.
struct WdlPermille {
    int win, draw, loss;
};

// The material the model reads (both sides): pawns 1, knights and bishops 3,
// rooks 5, queens 12; 84 at the start.
int wdl_material(const PositionState& state);

// The chances of a score (centipawns from the side to move's view, a mate as
// MATE_SCORE less its plies) with material left: a mate for the side to move
// is 1000 0 0, one against it 0 0 1000.
WdlPermille wdl_of_score(int score, int material);
