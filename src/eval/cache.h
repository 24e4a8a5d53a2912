// The evaluation's two caches: whole scores by position key and the pawn and
// king part by pawn key. Every search thread has its own pair: the start-up
// code allocates the main thread's with the transposition table
// (allocate_tables, search/search.h), each helper search thread its own.
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
// The sizes are set at start-up, before any cache is allocated, and stay.
extern std::uint32_t eval_cache_count;  // entries of each eval_cache, a power of two
extern std::uint32_t eval_cache_mask;   // eval_cache_count - 1: low key bits to a slot
extern std::uint32_t pawn_cache_count;  // entries of each pawn_cache, a power of two
extern std::uint32_t pawn_cache_mask;   // pawn_cache_count - 1: low pawn-key bits to a slot
// This thread's caches: eval_cache_count and pawn_cache_count entries; nullptr
// before allocation. Only the owning thread reads or writes them.
extern QV_THREAD_LOCAL EvalCacheEntry* eval_cache;
extern QV_THREAD_LOCAL PawnCacheEntry* pawn_cache;

// Start loading the evaluation-cache slot and, for its misses, the pawn-cache
// slot of the current position (a capture-search child is about to read them).
inline void eval_cache_prefetch() {
    __builtin_prefetch(eval_cache +
                       (static_cast<std::uint32_t>(position.state.key) & eval_cache_mask));
    __builtin_prefetch(pawn_cache + (position.state.pawn_key & pawn_cache_mask));
}

// Allocates this thread's two caches zero-filled from the current counts
// (freeing its old ones); false when either could not be had.
bool allocate_eval_caches();
void free_eval_caches();   // this thread's two caches, before the thread ends
void clear_eval_caches();  // zero-fills this thread's two caches
// The pawn part of the current position (pawn key and material must match).
bool pawn_cache_probe(int& score);
void pawn_cache_store(int score);
