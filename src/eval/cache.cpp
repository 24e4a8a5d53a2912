// The evaluation cache and the pawn cache.
#include "eval/cache.h"

#include <cstring>

#include "eval/eval.h"
#include "platform/platform.h"

std::uint32_t eval_cache_count = EVAL_CACHE_COUNT, eval_cache_mask = 0;
std::uint32_t pawn_cache_count = PAWN_CACHE_COUNT, pawn_cache_mask = 0;
EvalState main_eval_state;
QV_THREAD_LOCAL EvalState* eval_state = &main_eval_state;

namespace {

constexpr std::uint32_t SCORE_MASK = 0x3FFFF;  // 18 bits of score + PAWN_SCORE_BIAS
constexpr int MATERIAL_SHIFT = 18;
constexpr std::size_t PAWN_TERMS_BYTES = std::size_t{PAWN_TERMS_COUNT} * sizeof(PawnTermsEntry);

}  // namespace

void free_eval_caches() {
    EvalState& s = *eval_state;
    free_table(s.eval_cache, s.eval_cache_bytes);
    free_table(s.pawn_cache, s.pawn_cache_bytes);
    free_table(s.pawn_terms, PAWN_TERMS_BYTES);
    s.eval_cache = nullptr;
    s.pawn_cache = nullptr;
    s.pawn_terms = nullptr;
    s.eval_cache_bytes = s.pawn_cache_bytes = 0;
}

bool allocate_eval_caches() {
    free_eval_caches();
    EvalState& s = *eval_state;
    eval_cache_mask = eval_cache_count - 1;
    pawn_cache_mask = pawn_cache_count - 1;
    s.eval_cache_bytes = std::size_t{eval_cache_count} * sizeof(EvalCacheEntry);
    s.pawn_cache_bytes = std::size_t{pawn_cache_count} * sizeof(PawnCacheEntry);
    s.eval_cache = static_cast<EvalCacheEntry*>(allocate_table(s.eval_cache_bytes));
    s.pawn_cache = static_cast<PawnCacheEntry*>(allocate_table(s.pawn_cache_bytes));
    s.pawn_terms = static_cast<PawnTermsEntry*>(allocate_table(PAWN_TERMS_BYTES));
    return s.eval_cache != nullptr && s.pawn_cache != nullptr && s.pawn_terms != nullptr;
}

void clear_eval_caches() {
    const EvalState& s = *eval_state;
    std::memset(static_cast<void*>(s.eval_cache), 0, sizeof(EvalCacheEntry) * eval_cache_count);
    std::memset(static_cast<void*>(s.pawn_cache), 0, sizeof(PawnCacheEntry) * pawn_cache_count);
    std::memset(static_cast<void*>(s.pawn_terms), 0, PAWN_TERMS_BYTES);
}

bool pawn_cache_probe(int& score) {
    const PawnCacheEntry& slot = eval_state->pawn_cache[position.state.pawn_key & pawn_cache_mask];
    // The material must match too: the pawn part depends on the phase.
    if (slot.pawn_key != position.state.pawn_key ||
        (slot.packed >> MATERIAL_SHIFT) !=
            static_cast<std::uint32_t>(position.state.piece_material)) {
        return false;
    }
    score = static_cast<int>(slot.packed & SCORE_MASK) - PAWN_SCORE_BIAS;
    return true;
}

void pawn_cache_store(int score) {
    PawnCacheEntry& slot = eval_state->pawn_cache[position.state.pawn_key & pawn_cache_mask];
    slot.pawn_key = position.state.pawn_key;
    slot.packed = static_cast<std::uint32_t>(position.state.piece_material) << MATERIAL_SHIFT |
                  (static_cast<std::uint32_t>(score + PAWN_SCORE_BIAS) & SCORE_MASK);
}

namespace {

PawnTermsEntry& pawn_terms_slot() {
    return eval_state->pawn_terms[position.state.pawn_key & (PAWN_TERMS_COUNT - 1)];
}

}  // namespace

const PawnTermsEntry* pawn_terms_probe(int phase) {
    const PawnTermsEntry& e = pawn_terms_slot();
    const bool same = e.phase == phase && e.white_pawns == position.piece_squares[W_PAWN] &&
                      e.black_pawns == position.piece_squares[B_PAWN] &&
                      e.white_king == position.state.king_square[WHITE] &&
                      e.black_king == position.state.king_square[BLACK];
    return same ? &e : nullptr;
}

void pawn_terms_store(int phase, int pawns, int kings) {
    PawnTermsEntry& e = pawn_terms_slot();
    e.white_pawns = position.piece_squares[W_PAWN];
    e.black_pawns = position.piece_squares[B_PAWN];
    e.white_king = static_cast<std::int16_t>(position.state.king_square[WHITE]);
    e.black_king = static_cast<std::int16_t>(position.state.king_square[BLACK]);
    e.phase = phase;
    e.pawns = pawns;
    e.kings = kings;
}
