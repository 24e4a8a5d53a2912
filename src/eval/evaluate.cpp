#include <cstdint>

#include "eval/eval.h"
#include "eval/eval_tables.h"
#include "eval/eval_terms.h"
#include "eval/pawns.h"
#include "search/search.h"

namespace {

constexpr int ROOK_RAYS[4] = {10, 1, -1, -10};
constexpr int BISHOP_RAYS[4] = {9, 11, -11, -9};

inline int count_rays(int square, const int (&rays)[4]) {
    const int* board = position.board;
    int count = 0;
    for (const int step : rays)
        for (int sq = square + step; board[sq] == EMPTY; sq += step) ++count;
    return count;
}

// Material, piece-square value and mobility of a knight, bishop, rook or
// queen, White's view; 0 for anything else.
template <class Phase>
inline int piece_term(int piece, int square) {
    int value = eval_material[piece] + Phase::pst.piece[piece].value[square];
    switch (piece) {
        case W_KNIGHT:
        case W_QUEEN:
            return value;
        case W_BISHOP:
            return value + bishop_mobility[count_rays(square, BISHOP_RAYS)];
        case W_ROOK:
            return value + Phase::rook_mobility[count_rays(square, ROOK_RAYS)];
        case B_KNIGHT:
        case B_QUEEN:
            return -value;
        case B_BISHOP:
            return -value - bishop_mobility[count_rays(square, BISHOP_RAYS)];
        case B_ROOK:
            return -value - Phase::rook_mobility[count_rays(square, ROOK_RAYS)];
        default:
            return 0;
    }
}

// A king that stepped sideways in front of its own rook without castling.
struct KingRookSquares {
    int king, rook;
};
constexpr KingRookSquares BLOCKED_ROOK_SQUARES[] = {{G1, H1}, {F1, G1}, {F1, H1},
                                                    {C1, A1}, {C1, B1}, {B1, A1}};
constexpr int RANK_1_TO_8 = A8 - A1;

// The one skeleton of all three evaluators; Phase picks tables and terms.
template <class Phase>
int evaluate_phase() {
    const int* board = position.board;
    int total = 0;
    int pawn_part = 0;

    if (pawn_cache_probe(pawn_part)) {
        total = pawn_part;
        for (const int sq : squares_a1_h8) {
            const int piece = board[sq];
            if (piece != EMPTY) total += piece_term<Phase>(piece, sq);
        }
    } else {
        PawnSummary pawns;
        clear_pawn_summary(pawns);
        int pieces = 0;
        int king_term = 0;
        for (const int sq : squares_a1_h8) {
            const int piece = board[sq];
            switch (piece) {
                case EMPTY:
                    break;
                case W_PAWN:
                    pawn_part += PAWN_VALUE + Phase::pst.piece[W_PAWN].value[sq];
                    add_white_pawn(pawns, sq);
                    break;
                case B_PAWN:
                    pawn_part -= PAWN_VALUE + Phase::pst.piece[B_PAWN].value[sq];
                    add_black_pawn(pawns, sq);
                    break;
                case W_KING:
                    king_term += Phase::pst.piece[W_KING].value[sq];
                    break;
                case B_KING:
                    king_term -= Phase::pst.piece[B_KING].value[sq];
                    break;
                default:
                    pieces += piece_term<Phase>(piece, sq);
                    break;
            }
        }
        pawn_part += pawn_structure(pawns, Phase::passed_bonus);
        if (Phase::king_shelter) {
            king_term -= white_shelter_penalty(pawns, position.state.king_square[WHITE]);
            king_term += black_shelter_penalty(pawns, position.state.king_square[BLACK]);
        }
        if (Phase::scale_king_term)
            king_term = king_term * (position.state.piece_material - KING_WEIGHT_OFFSET) /
                        KING_WEIGHT_DIVISOR;
        pawn_part += king_term;
        pawn_cache_store(pawn_part);
        total = pieces + pawn_part;
    }

    if (Phase::blocked_rook) total += blocked_rook_term();
    return position.state.side_to_move == BLACK ? -total : total;
}

}  // namespace

int blocked_rook_term() {
    const int* board = position.board;
    const int white_king = position.state.king_square[WHITE];
    const int black_king = position.state.king_square[BLACK];
    int score = 0;
    for (const KingRookSquares& s : BLOCKED_ROOK_SQUARES) {
        if (white_king == s.king && board[s.rook] == W_ROOK) {
            score -= BLOCKED_ROOK_PENALTY;
            break;
        }
    }
    for (const KingRookSquares& s : BLOCKED_ROOK_SQUARES) {
        if (black_king == s.king + RANK_1_TO_8 && board[s.rook + RANK_1_TO_8] == B_ROOK) {
            score += BLOCKED_ROOK_PENALTY;
            break;
        }
    }
    return score;
}

int count_rook_rays(int square) {
    return count_rays(square, ROOK_RAYS);
}
int count_bishop_rays(int square) {
    return count_rays(square, BISHOP_RAYS);
}

int evaluate_opening() {
    return evaluate_phase<OpeningEval>();
}
int evaluate_middlegame() {
    return evaluate_phase<MiddlegameEval>();
}
int evaluate_endgame() {
    return evaluate_phase<EndgameEval>();
}

int evaluate() {
    const std::uint64_t key = position.state.key;
    EvalCacheEntry& entry = eval_cache[static_cast<std::uint32_t>(key) & eval_cache_mask];
    if (entry.key == key) return entry.score;

    const int material = position.state.piece_material;
    const int score = material > OPENING_LIMIT   ? evaluate_opening()
                      : material > ENDGAME_LIMIT ? evaluate_middlegame()
                                                 : evaluate_endgame();
    entry.key = key;
    entry.score = score;
    return score;
}

// No pawns and at most one minor piece on the whole board cannot mate.
bool insufficient_material() {
    constexpr int ONE_MINOR_PIECE = 300;
    return position.state.pawn_count == 0 && position.state.piece_material <= ONE_MINOR_PIECE;
}
