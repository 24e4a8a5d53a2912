#include <cstdint>

#include "eval/cache.h"
#include "eval/eval.h"
#include "eval/eval_tables.h"
#include "eval/eval_terms.h"
#include "eval/pawns.h"

namespace {

constexpr int ROOK_RAYS[4] = {0, 2, 4, 6};    // +1, +10, -1, -10
constexpr int BISHOP_RAYS[4] = {1, 3, 5, 7};  // +9, +11, -11, -9

inline SquareSet occupied_squares() {
    return position.colour_squares[WHITE] | position.colour_squares[BLACK];
}

// The rays' empty squares from the square of index i.
inline int count_rays(int i, const int (&rays)[4], SquareSet occupied) {
    int count = 0;
    for (const int ray : rays) count += empty_squares_along(ray, i, occupied);
    return count;
}

// Calls visit(mailbox square, index) for every square of the set, a1 side first.
template <class Visit>
inline void for_each_square(SquareSet set, Visit visit) {
    for (; set != 0; set &= set - 1) {
        const int i = first_index(set);
        visit(squares_a1_h8[i], i);
    }
}

// Material, piece-square values and mobility of the knights, bishops, rooks and
// queens of one colour, from that colour's side.
template <class Phase, int Side>
inline int piece_terms(SquareSet occupied) {
    const SquareSet* pieces = position.piece_squares;
    const int base = Side == WHITE ? 0 : B_PAWN - W_PAWN;
    int sum = 0;
    const int knight = base + W_KNIGHT, queen = base + W_QUEEN;
    for_each_square(pieces[knight], [&](int sq, int) {
        sum += eval_material[knight] + Phase::pst.piece[knight].value[sq];
    });
    for_each_square(pieces[queen], [&](int sq, int) {
        sum += eval_material[queen] + Phase::pst.piece[queen].value[sq];
    });
    const int bishop = base + W_BISHOP;
    for_each_square(pieces[bishop], [&](int sq, int i) {
        sum += eval_material[bishop] + Phase::pst.piece[bishop].value[sq] +
               bishop_mobility[count_rays(i, BISHOP_RAYS, occupied)];
    });
    const int rook = base + W_ROOK;
    for_each_square(pieces[rook], [&](int sq, int i) {
        sum += eval_material[rook] + Phase::pst.piece[rook].value[sq] +
               Phase::rook_mobility[count_rays(i, ROOK_RAYS, occupied)];
    });
    return sum;
}

// A king that stepped sideways in front of its own rook without castling.
struct KingRookSquares {
    int king, rook;
};
constexpr KingRookSquares BLOCKED_ROOK_SQUARES[] = {{G1, H1}, {F1, G1}, {F1, H1},
                                                    {C1, A1}, {C1, B1}, {B1, A1}};
constexpr int RANK_1_TO_8 = A8 - A1;

// [colour][king square]: the squares where an own rook is blocked by that king.
struct BlockedRookSets {
    SquareSet rooks[2][BOARD_SIZE];
};
constexpr BlockedRookSets make_blocked_rook_sets() {
    BlockedRookSets t{};
    for (const KingRookSquares& s : BLOCKED_ROOK_SQUARES) {
        t.rooks[WHITE][s.king] |= square_bit[s.rook];
        t.rooks[BLACK][s.king + RANK_1_TO_8] |= square_bit[s.rook + RANK_1_TO_8];
    }
    return t;
}
constexpr BlockedRookSets blocked_rook_sets = make_blocked_rook_sets();

// The pawns' material, squares and structure, and the kings' squares and
// shelters before their weight, of the position's pawns and kings.
template <class Phase>
void work_out_pawn_terms(int& pawns_sum, int& kings) {
    // Pawns go into the lists a1 side first, as the structure terms expect.
    PawnSummary pawns;
    clear_pawn_summary(pawns);
    for_each_square(position.piece_squares[W_PAWN], [&](int sq, int) {
        pawns_sum += PAWN_VALUE + Phase::pst.piece[W_PAWN].value[sq];
        add_pawn<WHITE>(pawns, sq);
    });
    for_each_square(position.piece_squares[B_PAWN], [&](int sq, int) {
        pawns_sum -= PAWN_VALUE + Phase::pst.piece[B_PAWN].value[sq];
        add_pawn<BLACK>(pawns, sq);
    });
    const int white_king = position.state.king_square[WHITE];
    const int black_king = position.state.king_square[BLACK];
    kings = Phase::pst.piece[W_KING].value[white_king] - Phase::pst.piece[B_KING].value[black_king];
    pawns_sum += pawn_structure(pawns, Phase::passed_bonus);
    if (Phase::king_shelter) {
        kings -= king_shelter_penalty<WHITE>(pawns, white_king);
        kings += king_shelter_penalty<BLACK>(pawns, black_king);
    }
}

// The one skeleton of all three evaluators; Phase picks tables and terms.
// Pieces are visited by kind rather than square by square: every term is an
// integer added to one total, so the order of the visit does not matter.
template <class Phase>
int evaluate_phase() {
    const SquareSet occupied = occupied_squares();
    const int pieces = piece_terms<Phase, WHITE>(occupied) - piece_terms<Phase, BLACK>(occupied);
    int pawn_part = 0;
    if (!pawn_cache_probe(pawn_part)) {
        const PawnTermsEntry* known = pawn_terms_probe(Phase::number);
        int pawns = 0, kings = 0;
        if (known != nullptr) {
            pawns = known->pawns;
            kings = known->kings;
        } else {
            work_out_pawn_terms<Phase>(pawns, kings);
            pawn_terms_store(Phase::number, pawns, kings);
        }
        if (Phase::scale_king_term)
            kings =
                kings * (position.state.piece_material - KING_WEIGHT_OFFSET) / KING_WEIGHT_DIVISOR;
        pawn_part = pawns + kings;
        pawn_cache_store(pawn_part);
    }
    int total = pieces + pawn_part;
    if (Phase::blocked_rook) total += blocked_rook_term();
    return position.state.side_to_move == BLACK ? -total : total;
}

}  // namespace

// The squares describe a king of standard chess that walked sideways; in
// Chess960 a king may start there, so the term is left out of such games.
int blocked_rook_term() {
    const PositionState& st = position.state;
    const SquareSet* pieces = position.piece_squares;
    int score = 0;
    if (position.chess960) return 0;
    if (blocked_rook_sets.rooks[WHITE][st.king_square[WHITE]] & pieces[W_ROOK])
        score -= BLOCKED_ROOK_PENALTY;
    if (blocked_rook_sets.rooks[BLACK][st.king_square[BLACK]] & pieces[B_ROOK])
        score += BLOCKED_ROOK_PENALTY;
    return score;
}

int count_rook_rays(int square) {
    return count_rays(square64[square], ROOK_RAYS, occupied_squares());
}
int count_bishop_rays(int square) {
    return count_rays(square64[square], BISHOP_RAYS, occupied_squares());
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
    EvalCacheEntry& entry =
        eval_state->eval_cache[static_cast<std::uint32_t>(key) & eval_cache_mask];
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
