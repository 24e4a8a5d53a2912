// The win/draw/loss model: a win is 1 / (1 + exp(-(score - a) / b)), a loss
// the same with -score, the rest a draw; a (the score at which a win is as
// likely as not) and b (how fast the chance grows) are polynomials of the
// material left. Refit with tools/wdl/fit_wdl.py; it prints the tables below.
#include "frontend/wdl.h"

#include <algorithm>
#include <cmath>

#include "search/search.h"

namespace {

// The model's material scale and range: outside it, the nearest end.
constexpr int WDL_MATERIAL_LOW = 10;
constexpr int WDL_MATERIAL_HIGH = 84;
constexpr double WDL_MATERIAL_UNIT = 84.0;  // x = material / WDL_MATERIAL_UNIT

// Coefficients of x^0, x^1, .. of a and b, centipawns: fitted to 236 of the
// 294 games of 1+0.02 s self-play that ended on the board (see the README).
constexpr double WIN_SHIFT[] = {281.700, -805.685, 905.313, -329.008};
constexpr double WIN_SCALE[] = {28.120, 471.426, -1109.174, 762.228};

template <int N>
double polynomial(const double (&coefficients)[N], double x) {
    double value = 0.0;
    for (int i = N - 1; i >= 0; --i) value = value * x + coefficients[i];
    return value;
}

int permille(double chance) {
    return static_cast<int>(std::lround(1000.0 * chance));
}

}  // namespace

int wdl_material(const PositionState& state) {
    return state.pawn_count + state.piece_material / 100;
}

WdlPermille wdl_of_score(int score, int material) {
    if (score >= MATE_BOUND) return {1000, 0, 0};
    if (score <= -MATE_BOUND) return {0, 0, 1000};
    const double x = std::clamp(material, WDL_MATERIAL_LOW, WDL_MATERIAL_HIGH) / WDL_MATERIAL_UNIT;
    const double a = polynomial(WIN_SHIFT, x), b = polynomial(WIN_SCALE, x);
    int win = permille(1.0 / (1.0 + std::exp((a - score) / b)));
    int loss = permille(1.0 / (1.0 + std::exp((a + score) / b)));
    // Both rounded up with no draw left: the smaller gives way, so that a
    // score and its negation read as mirror images.
    if (win + loss > 1000) (win < loss ? win : loss) = 1000 - std::max(win, loss);
    return {win, 1000 - win - loss, loss};
}
