// The evaluation's state of one search thread: its two caches (whole scores
// by position key, the pawn and king part by pawn key), the pawn terms behind
// the second, and its exchange lists. The start-up code allocates the main
// thread's caches with the transposition table (allocate_tables,
// search/search.h), each helper search thread its own; the search's worker
// record of the thread holds the state.
#pragma once

#include <cstddef>
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

// A pawn-cache miss whose pawns and kings were seen in the same phase, only
// with other pieces (a capture of a piece changes the material the pawn cache
// checks), takes the pawn part's terms from here instead of working them out
// again. An entry holds the pawns and kings themselves, not a key, so it gives
// exactly what the computation would: no position can stand in for another.
struct PawnTermsEntry {
    SquareSet white_pawns, black_pawns;
    std::int16_t white_king, black_king;  // mailbox squares
    std::int32_t phase;                   // the phase's number, from 1; 0: empty
    std::int32_t pawns;                   // material, squares and structure of the pawns
    std::int32_t kings;                   // the kings' squares and shelters, unweighted
};
static_assert(sizeof(PawnTermsEntry) == 32, "PawnTermsEntry is 32 bytes");

constexpr std::uint32_t EVAL_CACHE_COUNT = 32768;  // default entries of the evaluation cache
constexpr std::uint32_t PAWN_CACHE_COUNT = 32768;  // default entries of the pawn cache
// The sizes are set at start-up, before any cache is allocated, and stay.
extern std::uint32_t eval_cache_count;  // entries of each eval_cache, a power of two
extern std::uint32_t eval_cache_mask;   // eval_cache_count - 1: low key bits to a slot
extern std::uint32_t pawn_cache_count;  // entries of each pawn_cache, a power of two
extern std::uint32_t pawn_cache_mask;   // pawn_cache_count - 1: low pawn-key bits to a slot
constexpr std::uint32_t PAWN_TERMS_COUNT = 4096;  // entries of each pawn_terms, a power of two
constexpr int SWAP_LIST_CAPACITY = 16;            // entries of each exchange list
// The exchange lists of a thread's last static_exchange, by colour.
struct ExchangeLists {
    // [WHITE], [BLACK]. Entry 0: the piece on the target (the mover's own list:
    // the moving piece); then the values of that colour's attackers in capture
    // order, centipawns.
    int values[2][SWAP_LIST_CAPACITY];
    int count[2];  // used entries of each list
};

// Only the owning thread reads or writes an EvalState. Aligned to a cache
// line, so that the exchange lists written at every exchange share no line
// with data other threads read.
struct alignas(64) EvalState {
    // eval_cache_count and pawn_cache_count entries; nullptr before allocation.
    EvalCacheEntry* eval_cache = nullptr;
    PawnCacheEntry* pawn_cache = nullptr;
    PawnTermsEntry* pawn_terms = nullptr;  // PAWN_TERMS_COUNT entries; nullptr before allocation
    // The sizes they were allocated with, bytes: the counts may have changed since.
    std::size_t eval_cache_bytes = 0, pawn_cache_bytes = 0;
    ExchangeLists exchange_lists{};
};
extern EvalState main_eval_state;  // the main search thread's, and any other's that is no helper
// This thread's state: main_eval_state until a helper search thread binds its own.
extern QV_THREAD_LOCAL EvalState* eval_state;

// Start loading the evaluation-cache slot and, for its misses, the pawn-cache
// slot of the current position (a capture-search child is about to read them).
inline void eval_cache_prefetch() {
    const EvalState& state = *eval_state;
    __builtin_prefetch(state.eval_cache +
                       (static_cast<std::uint32_t>(position.state.key) & eval_cache_mask));
    __builtin_prefetch(state.pawn_cache + (position.state.pawn_key & pawn_cache_mask));
}

// Allocates this thread's two caches (from the current counts) and its pawn
// terms, zero-filled, freeing its old ones; false when any could not be had.
bool allocate_eval_caches();
void free_eval_caches();   // this thread's caches and pawn terms, before the thread ends
void clear_eval_caches();  // zero-fills this thread's two caches and its pawn terms
// The pawn part of the current position (pawn key and material must match).
bool pawn_cache_probe(int& score);
void pawn_cache_store(int score);
// The entry of the phase (its evaluator's number) for the current position's
// pawns and kings; nullptr when there is none.
const PawnTermsEntry* pawn_terms_probe(int phase);
void pawn_terms_store(int phase, int pawns, int kings);
