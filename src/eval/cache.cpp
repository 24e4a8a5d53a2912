// The evaluation cache and the pawn cache.
#include "eval/cache.h"

#include <cstring>

#include "eval/eval.h"
#include "platform/platform.h"

std::uint32_t eval_cache_count = EVAL_CACHE_COUNT, eval_cache_mask = 0;
std::uint32_t pawn_cache_count = PAWN_CACHE_COUNT, pawn_cache_mask = 0;
QV_THREAD_LOCAL EvalCacheEntry* eval_cache = nullptr;
QV_THREAD_LOCAL PawnCacheEntry* pawn_cache = nullptr;

namespace {

constexpr std::uint32_t SCORE_MASK = 0x3FFFF;  // 18 bits of score + PAWN_SCORE_BIAS
constexpr int MATERIAL_SHIFT = 18;

// The sizes this thread's caches were allocated with, bytes: the counts may
// have changed since.
QV_THREAD_LOCAL std::size_t eval_cache_bytes = 0, pawn_cache_bytes = 0;

}  // namespace

void free_eval_caches() {
    free_table(eval_cache, eval_cache_bytes);
    free_table(pawn_cache, pawn_cache_bytes);
    eval_cache = nullptr;
    pawn_cache = nullptr;
    eval_cache_bytes = pawn_cache_bytes = 0;
}

bool allocate_eval_caches() {
    free_eval_caches();
    eval_cache_mask = eval_cache_count - 1;
    pawn_cache_mask = pawn_cache_count - 1;
    eval_cache_bytes = std::size_t{eval_cache_count} * sizeof(EvalCacheEntry);
    pawn_cache_bytes = std::size_t{pawn_cache_count} * sizeof(PawnCacheEntry);
    eval_cache = static_cast<EvalCacheEntry*>(allocate_table(eval_cache_bytes));
    pawn_cache = static_cast<PawnCacheEntry*>(allocate_table(pawn_cache_bytes));
    return eval_cache != nullptr && pawn_cache != nullptr;
}

void clear_eval_caches() {
    std::memset(static_cast<void*>(eval_cache), 0, sizeof(EvalCacheEntry) * eval_cache_count);
    std::memset(static_cast<void*>(pawn_cache), 0, sizeof(PawnCacheEntry) * pawn_cache_count);
}

bool pawn_cache_probe(int& score) {
    const PawnCacheEntry& slot = pawn_cache[position.state.pawn_key & pawn_cache_mask];
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
    PawnCacheEntry& slot = pawn_cache[position.state.pawn_key & pawn_cache_mask];
    slot.pawn_key = position.state.pawn_key;
    slot.packed = static_cast<std::uint32_t>(position.state.piece_material) << MATERIAL_SHIFT |
                  (static_cast<std::uint32_t>(score + PAWN_SCORE_BIAS) & SCORE_MASK);
}
