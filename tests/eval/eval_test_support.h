// Helpers shared by the evaluation tests: table allocation, set-up from FEN,
// cache clearing and the colour-mirrored copy of a position.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "board/board.h"
#include "eval/cache.h"
#include "eval/eval.h"
#include "search/internal.h"
#include "support/board_helpers.h"

inline void ensure_tables() {
    if (tt_table == nullptr || eval_state->eval_cache == nullptr ||
        eval_state->pawn_cache == nullptr) {
        ASSERT_TRUE(allocate_tables());
    }
}

// The position from the text, with both evaluation caches empty.
inline void set_fen_for_eval(const std::string& fen) {
    ensure_tables();
    set_fen(fen.c_str());
    // Only the two evaluation caches: clearing the whole transposition table
    // for every sampled position would dominate the run time.
    clear_eval_caches();
}

// Empties the three cache slots of the current position, so nothing cached
// from another phase or position can stand in for the computation.
inline void forget_current_position() {
    eval_state->eval_cache[static_cast<std::uint32_t>(position.state.key) & eval_cache_mask] =
        EvalCacheEntry{};
    eval_state->pawn_cache[position.state.pawn_key & pawn_cache_mask] = PawnCacheEntry{};
    eval_state->pawn_terms[position.state.pawn_key & (PAWN_TERMS_COUNT - 1)] = PawnTermsEntry{};
}

template <class Fn>
int fresh(Fn evaluator) {
    forget_current_position();
    return evaluator();
}

inline int swap_colour(int piece) {
    if (piece >= W_PAWN && piece <= W_KING) return piece + 6;
    if (piece >= B_PAWN && piece <= B_KING) return piece - 6;
    return piece;
}

inline int mirror_square(int sq) {
    return square_of(file_of(sq), 7 - rank_of(sq));
}

// FEN of the current board, or of its mirror image (rank for rank, colours
// and side to move swapped). Castling and en passant are dropped: the
// evaluation does not read them.
inline std::string board_fen(bool mirrored) {
    static const char letters[] = " PNBRQKpnbrqk";
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const int piece = mirrored ? swap_colour(position.board[square_of(file, 7 - rank)])
                                       : position.board[square_of(file, rank)];
            if (piece == EMPTY) {
                ++empty;
                continue;
            }
            if (empty != 0) fen += static_cast<char>('0' + empty);
            empty = 0;
            fen += letters[piece];
        }
        if (empty != 0) fen += static_cast<char>('0' + empty);
        if (rank != 0) fen += '/';
    }
    fen += (position.state.side_to_move == WHITE) != mirrored ? " w - - 0 1" : " b - - 0 1";
    return fen;
}

inline Move mirror_move(Move m) {
    return pack_move(mirror_square(move_from(m)), mirror_square(move_to(m)),
                     swap_colour(move_captured(m)), swap_colour(move_promotion(m)),
                     move_castle_kind(m), move_is_ep(m));
}
