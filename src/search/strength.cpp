// A strength people can play against: the limits of a weakened search and
// the draw among its lines, both from one table of measured points.
#include <algorithm>
#include <cmath>

#include "search/search.h"

namespace {

// Points of the scale, weakest first, measured against an opponent of the
// same rating (README, "Playing strength"); between two points the nodes go
// geometrically, the rest linearly. Above the last point the search is the
// full one.
struct StrengthPoint {
    int elo;
    double nodes;  // per move
    int depth;     // plies
    int lines;     // searched to choose among
    int temperature_cp;
    int margin_cp;
};
constexpr StrengthPoint POINTS[] = {
    {1350, 10000, 3, 4, 40, 100},
    {1600, 30000, 6, 4, 15, 60},
    {1800, 120000, 12, 2, 5, 20},
    {MAX_PLAYING_ELO - 1, 300000, 20, 1, 0, 0},
};

int between(int a, int b, double t) {
    return static_cast<int>(std::lround(a + (b - a) * t));
}

}  // namespace

PlayingStrength playing_strength(int elo) {
    PlayingStrength s;
    if (elo >= MAX_PLAYING_ELO) return s;
    elo = std::max(elo, MIN_PLAYING_ELO);
    const StrengthPoint* hi = POINTS + 1;
    while (hi->elo < elo) ++hi;
    const StrengthPoint& lo = hi[-1];
    const double t = static_cast<double>(elo - lo.elo) / (hi->elo - lo.elo);
    s.nodes = static_cast<std::uint64_t>(lo.nodes * std::pow(hi->nodes / lo.nodes, t));
    s.depth = between(lo.depth, hi->depth, t);
    s.lines = between(lo.lines, hi->lines, t);
    s.temperature_cp = between(lo.temperature_cp, hi->temperature_cp, t);
    s.margin_cp = between(lo.margin_cp, hi->margin_cp, t);
    return s;
}

int choose_line(const RootMove* lines, int count, const PlayingStrength& strength, double draw) {
    const int best = lines[0].score;
    if (strength.temperature_cp <= 0 || best >= MATE_BOUND) return 0;
    double weights[MOVE_LIST_CAPACITY];
    double total = 0;
    int n = 0;
    while (n < count && n < MOVE_LIST_CAPACITY && best - lines[n].score <= strength.margin_cp) {
        weights[n] = std::exp(static_cast<double>(lines[n].score - best) / strength.temperature_cp);
        total += weights[n++];
    }
    double left = draw * total;
    for (int i = 0; i < n; ++i) {
        if (left < weights[i]) return i;
        left -= weights[i];
    }
    return 0;
}
