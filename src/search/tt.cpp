// The transposition table.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "search/search.h"

std::uint32_t tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
std::uint32_t tt_bucket_mask = 0;
TtEntry* tt_table = nullptr;

namespace {

constexpr int SCORE_BIAS = INFINITE_SCORE;  // stored scores are score + 32000
constexpr std::uint32_t SCORE_MASK = 0x3FFFF;
constexpr int DEPTH_SHIFT = 18, AGE_SHIFT = 26, BOUND_SHIFT = 30;
constexpr std::uint32_t DEPTH_MASK = 0xFF, AGE_MASK = 0xF, BOUND_MASK = 0x3;
constexpr int BUCKET_SIZE = 4;

// Age dominates depth: anything aged since it was written goes before anything fresh.
constexpr int age_weight[16] = {0,   64,  128, 192, 256, 320, 384, 448,
                                512, 576, 640, 704, 768, 832, 896, 960};
constexpr int NO_VICTIM_YET = 1024;  // above every priority a stored depth below 64 can give

int stored_score(std::uint32_t data) {
    return static_cast<int>(data & SCORE_MASK) - SCORE_BIAS;
}
int stored_depth(std::uint32_t data) {
    return static_cast<int>((data >> DEPTH_SHIFT) & DEPTH_MASK);
}
int stored_age(std::uint32_t data) {
    return static_cast<int>((data >> AGE_SHIFT) & AGE_MASK);
}
int stored_bound(std::uint32_t data) {
    return static_cast<int>((data >> BOUND_SHIFT) & BOUND_MASK);
}

TtEntry* bucket_of(std::uint64_t key) {
    return tt_table + (static_cast<std::uint32_t>(key) & tt_bucket_mask) * BUCKET_SIZE;
}

TtEntry* find_entry(std::uint64_t key) {
    TtEntry* bucket = bucket_of(key);
    for (int i = 0; i < BUCKET_SIZE; ++i) {
        if (bucket[i].key == key) return &bucket[i];
    }
    return nullptr;
}

}  // namespace

bool allocate_tables() {
    // The sizes the tables were allocated with: the counts may have changed since.
    static std::size_t tt_bytes = 0;
    free_table(tt_table, tt_bytes);
    tt_bucket_mask = (tt_entry_count - 1) >> 2;
    tt_bytes = std::size_t{tt_entry_count} * sizeof(TtEntry);
    tt_table = static_cast<TtEntry*>(allocate_table(tt_bytes));
    const bool caches = allocate_eval_caches();
    return tt_table != nullptr && caches;
}

bool tt_probe(int alpha, int beta, int depth, int& score, Move& move) {
    const TtEntry* entry = find_entry(position.state.key);
    if (entry == nullptr) {
        move = 0;
        return false;
    }
    const std::uint32_t data = entry->data;
    if (stored_depth(data) < depth) {
        move = entry->move;
        return false;
    }
    const int s = stored_score(data);
    switch (stored_bound(data)) {
        case BOUND_EXACT:
            // Mates were stored as distance from this position; make them distance from the root.
            if (s >= MATE_BOUND) {
                score = s - search_ply;
            } else if (s <= -MATE_BOUND) {
                score = s + search_ply;
            } else {
                score = s;
            }
            return true;
        case BOUND_LOWER:
            if (s >= beta) {
                score = s;
                return true;
            }
            break;
        case BOUND_UPPER:
            if (s <= alpha) {
                score = s;
                return true;
            }
            break;
        default:
            break;
    }
    move = entry->move;
    return false;
}

void tt_store(int score, int depth, int bound, Move move) {
    const std::uint64_t key = position.state.key;
    const std::uint32_t data = (static_cast<std::uint32_t>(score + SCORE_BIAS) & SCORE_MASK) |
                               (static_cast<std::uint32_t>(depth) & DEPTH_MASK) << DEPTH_SHIFT |
                               static_cast<std::uint32_t>(AGE_FRESH) << AGE_SHIFT |
                               (static_cast<std::uint32_t>(bound) & BOUND_MASK) << BOUND_SHIFT;
    TtEntry* bucket = bucket_of(key);
    for (int i = 0; i < BUCKET_SIZE; ++i) {
        if (bucket[i].key == key) {
            bucket[i].data = data;
            // A bound found without a best move keeps the move learned earlier.
            if (move != 0) bucket[i].move = move;
            return;
        }
    }
    // The first of the entries with the lowest priority makes room. Should a deeper
    // depth than the iterations allow ever appear, the first entry is replaced.
    int victim = 0;
    int lowest = NO_VICTIM_YET;
    for (int i = 0; i < BUCKET_SIZE; ++i) {
        const std::uint32_t d = bucket[i].data;
        const int priority = stored_depth(d) + age_weight[stored_age(d)];
        if (priority < lowest) {
            lowest = priority;
            victim = i;
        }
    }
    bucket[victim].key = key;
    bucket[victim].data = data;
    bucket[victim].move = move;
}

Move tt_probe_move() {
    const TtEntry* entry = find_entry(position.state.key);
    return entry != nullptr ? entry->move : 0;
}

void tt_clear_entry() {
    TtEntry* entry = find_entry(position.state.key);
    if (entry != nullptr) entry->data = 0;
}

void age_transposition_table() {
    constexpr std::uint32_t one_age = 1u << AGE_SHIFT;
    for (std::uint32_t i = 0; i < tt_entry_count; ++i) {
        if (((tt_table[i].data >> AGE_SHIFT) & AGE_MASK) != 0) tt_table[i].data -= one_age;
    }
}

void tt_clear_all() {
    std::memset(static_cast<void*>(tt_table), 0, sizeof(TtEntry) * tt_entry_count);
    clear_eval_caches();
}
