// The evaluation's two caches: whole scores by position key and the pawn and
// king part by pawn key. The start-up code allocates them with the
// transposition table (allocate_tables, search/search.h).
#pragma once

#include <cstdint>

#include "board/board.h"

struct EvalCacheEntry {
    std::uint64_t key;
    std::int32_t score;  // side-to-move view
};
static_assert(sizeof(EvalCacheEntry) == 16, "EvalCacheEntry is 16 bytes");

struct PawnCacheEntry {
    std::uint32_t pawn_key;
    std::uint32_t packed;  // bits 0-17 pawn part + 32000 (White's view), 18-31 piece_material
};
static_assert(sizeof(PawnCacheEntry) == 8, "PawnCacheEntry is 8 bytes");

constexpr std::uint32_t EVAL_CACHE_COUNT = 32768;  // default entries of the evaluation cache
constexpr std::uint32_t PAWN_CACHE_COUNT = 32768;  // default entries of the pawn cache
extern std::uint32_t eval_cache_count;             // entries of eval_cache, a power of two
extern std::uint32_t eval_cache_mask;              // eval_cache_count - 1: low key bits to a slot
extern std::uint32_t pawn_cache_count;             // entries of pawn_cache, a power of two
extern std::uint32_t pawn_cache_mask;  // pawn_cache_count - 1: low pawn-key bits to a slot
extern EvalCacheEntry* eval_cache;     // eval_cache_count entries; nullptr before allocation
extern PawnCacheEntry* pawn_cache;     // pawn_cache_count entries; nullptr before allocation

// Start loading the evaluation-cache slot and, for its misses, the pawn-cache
// slot of the current position (a capture-search child is about to read them).
inline void eval_cache_prefetch() {
    __builtin_prefetch(eval_cache +
                       (static_cast<std::uint32_t>(position.state.key) & eval_cache_mask));
    __builtin_prefetch(pawn_cache + (position.state.pawn_key & pawn_cache_mask));
}

// Allocates both caches zero-filled from the current counts (freeing the old
// ones); false when either could not be had.
bool allocate_eval_caches();
void clear_eval_caches();  // zero-fills both caches
// The pawn part of the current position (pawn key and material must match).
bool pawn_cache_probe(int& score);
void pawn_cache_store(int score);
