#include "eval/pawns.h"

#include "eval/eval_tables.h"

namespace {

// The structure terms of Side's pawns, from Side's view.
template <int Side>
int side_structure(const PawnSummary& pawns, const int (&passed_bonus)[8]) {
    using Own = PawnSide<Side>;
    using Enemy = PawnSide<Side ^ 1>;
    const int* own_on_file = pawns.*Own::on_file;
    const int* enemy_on_file = pawns.*Enemy::on_file;
    const int* own_rearmost = pawns.*Own::rearmost;
    const int* enemy_rearmost = pawns.*Enemy::rearmost;
    int score = 0;
    for (int i = 0; i < pawns.*Own::count; ++i) {
        const int f = (pawns.*Own::file)[i], r = (pawns.*Own::rank)[i];
        if (own_on_file[f - 1] != 0 || own_on_file[f + 1] != 0) {
            if (own_on_file[f] > 1) score -= DOUBLED_PENALTY;
            // An enemy pawn anywhere on the file, even behind, rules out
            // both backward and passed.
            if (enemy_on_file[f] != 0) continue;
            if (Own::behind(r, own_rearmost[f - 1]) && Own::behind(r, own_rearmost[f + 1]))
                score -= BACKWARD_PENALTY;
            if (!Own::behind(r, enemy_rearmost[f - 1]) && !Own::behind(r, enemy_rearmost[f + 1]))
                score += passed_bonus[Own::relative_rank(r)];
        } else {
            if (own_on_file[f] > 1) score -= DOUBLED_ISOLATED_PENALTY;
            if (enemy_on_file[f] != 0)
                score -= isolated_closed_penalty[f];
            else if (Own::behind(r, enemy_rearmost[f - 1]) || Own::behind(r, enemy_rearmost[f + 1]))
                score -= isolated_open_penalty[f];
            else
                score += isolated_passed_bonus[Own::relative_rank(r)];
        }
    }
    return score;
}

}  // namespace

int pawn_structure(const PawnSummary& pawns, const int (&passed_bonus)[8]) {
    return side_structure<WHITE>(pawns, passed_bonus) - side_structure<BLACK>(pawns, passed_bonus);
}

namespace {

// Distance is from the king's rank to the rearmost own pawn of the file,
// counted forwards for the king's side; a negative distance means the pawn
// stands behind the king and shelters nothing.
int shelter_file_penalty(int pawns_on_file, int distance, bool main_file) {
    if (distance < 0) return SHELTER_PAWN_BEHIND_PENALTY;
    if (pawns_on_file == 0)
        return main_file ? SHELTER_MAIN_EMPTY_PENALTY : SHELTER_OUTER_EMPTY_PENALTY;
    return main_file ? shelter_penalty[distance] : shelter_outer_penalty[distance];
}

}  // namespace

template <int Side>
int king_shelter_penalty(const PawnSummary& pawns, int king_square) {
    using Own = PawnSide<Side>;
    const ShelterFiles& files = shelter_files[pawn_file(king_square)];
    const int king_rank = pawn_rank(king_square);
    const int* on_file = pawns.*Own::on_file;
    const int* rearmost = pawns.*Own::rearmost;
    int penalty = 0;
    for (int i = 0; i < files.main_count; ++i) {
        const int x = files.main[i];
        penalty += shelter_file_penalty(on_file[x], Own::ahead(king_rank, rearmost[x]), true);
    }
    if (files.outer != 0) {
        const int x = files.outer;
        penalty += shelter_file_penalty(on_file[x], Own::ahead(king_rank, rearmost[x]), false);
    }
    return penalty;
}

template int king_shelter_penalty<WHITE>(const PawnSummary& pawns, int king_square);
template int king_shelter_penalty<BLACK>(const PawnSummary& pawns, int king_square);
