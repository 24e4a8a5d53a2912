#include "eval/pawns.h"

#include "eval/eval_tables.h"

int pawn_structure(const PawnSummary& pawns, const int (&passed_bonus)[8]) {
    const int* white_on_file = pawns.white_on_file;
    const int* black_on_file = pawns.black_on_file;
    const int* white_rearmost = pawns.white_rearmost;
    const int* black_rearmost = pawns.black_rearmost;
    int score = 0;

    for (int i = 0; i < pawns.white_count; ++i) {
        const int f = pawns.white_file[i], r = pawns.white_rank[i];
        if (white_on_file[f - 1] != 0 || white_on_file[f + 1] != 0) {
            if (white_on_file[f] > 1) score -= DOUBLED_PENALTY;
            // An enemy pawn anywhere on the file, even behind, rules out
            // both backward and passed.
            if (black_on_file[f] != 0) continue;
            if (r < white_rearmost[f - 1] && r < white_rearmost[f + 1]) score -= BACKWARD_PENALTY;
            if (black_rearmost[f - 1] <= r && black_rearmost[f + 1] <= r) score += passed_bonus[r];
        } else {
            if (white_on_file[f] > 1) score -= DOUBLED_ISOLATED_PENALTY;
            if (black_on_file[f] != 0)
                score -= isolated_closed_penalty[f];
            else if (black_rearmost[f - 1] > r || black_rearmost[f + 1] > r)
                score -= isolated_open_penalty[f];
            else
                score += isolated_passed_bonus[r];
        }
    }

    for (int i = 0; i < pawns.black_count; ++i) {
        const int f = pawns.black_file[i], r = pawns.black_rank[i];
        if (black_on_file[f - 1] != 0 || black_on_file[f + 1] != 0) {
            if (black_on_file[f] > 1) score += DOUBLED_PENALTY;
            if (white_on_file[f] != 0) continue;
            if (r > black_rearmost[f - 1] && r > black_rearmost[f + 1]) score += BACKWARD_PENALTY;
            if (white_rearmost[f - 1] >= r && white_rearmost[f + 1] >= r)
                score -= passed_bonus[9 - r];
        } else {
            if (black_on_file[f] > 1) score += DOUBLED_ISOLATED_PENALTY;
            if (white_on_file[f] != 0)
                score += isolated_closed_penalty[f];
            else if (white_rearmost[f - 1] < r || white_rearmost[f + 1] < r)
                score += isolated_open_penalty[f];
            else
                score -= isolated_passed_bonus[9 - r];
        }
    }
    return score;
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

int white_shelter_penalty(const PawnSummary& pawns, int king_square) {
    const ShelterFiles& files = shelter_files[pawn_file(king_square)];
    const int king_rank = pawn_rank(king_square);
    int penalty = 0;
    for (int i = 0; i < files.main_count; ++i) {
        const int x = files.main[i];
        penalty +=
            shelter_file_penalty(pawns.white_on_file[x], pawns.white_rearmost[x] - king_rank, true);
    }
    if (files.outer != 0) {
        const int x = files.outer;
        penalty += shelter_file_penalty(pawns.white_on_file[x], pawns.white_rearmost[x] - king_rank,
                                        false);
    }
    return penalty;
}

int black_shelter_penalty(const PawnSummary& pawns, int king_square) {
    const ShelterFiles& files = shelter_files[pawn_file(king_square)];
    const int king_rank = pawn_rank(king_square);
    int penalty = 0;
    for (int i = 0; i < files.main_count; ++i) {
        const int x = files.main[i];
        penalty +=
            shelter_file_penalty(pawns.black_on_file[x], king_rank - pawns.black_rearmost[x], true);
    }
    if (files.outer != 0) {
        const int x = files.outer;
        penalty += shelter_file_penalty(pawns.black_on_file[x], king_rank - pawns.black_rearmost[x],
                                        false);
    }
    return penalty;
}
