// The transposition table: entries checked against their key when read, ages
// kept by a generation counter.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "search/internal.h"

std::uint64_t tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
TtEntry* tt_table = nullptr;
std::uint64_t tt_bucket_count = 0;
std::uint64_t tt_index_mask = 0;
unsigned tt_index_shift = 0;

namespace {

constexpr int SCORE_BIAS = INFINITE_SCORE;  // stored scores are score + 32000
constexpr std::uint32_t SCORE_MASK = 0x3FFFF;
constexpr int DEPTH_SHIFT = 18, BOUND_SHIFT = 30, MOVE_SHIFT = 32;
constexpr std::uint32_t DEPTH_MASK = 0xFF, BOUND_MASK = 0x3;
constexpr int BUCKET_SIZE = 4;

// The generation stamp in the low bits of an entry's key: an entry checks the
// other 48. The bucket narrows the stamp's bits down: a power-of-two table of
// 2^16 buckets or more fixes them all, any other count to the few keys of its
// share of the index range that agree in bits 16-63.
constexpr std::uint32_t STAMP_MASK = 0xFFFF;
constexpr std::uint64_t KEY_BITS = ~std::uint64_t{STAMP_MASK};  // what the stamp leaves of the key
static_assert((DEFAULT_TT_ENTRY_COUNT & (DEFAULT_TT_ENTRY_COUNT - 1)) == 0 &&
                  (DEFAULT_TT_ENTRY_COUNT >> 2) - 1 >= STAMP_MASK,
              "the default table's bucket fixes every key bit the stamp takes");
constexpr unsigned MORE_INDEX_BITS = 8;  // the key bits beyond the count's own that spread a
                                         // count that is no power of two

// Age dominates depth: anything aged since it was written goes before anything fresh.
constexpr int age_weight[16] = {0,   64,  128, 192, 256, 320, 384, 448,
                                512, 576, 640, 704, 768, 832, 896, 960};
constexpr int NO_VICTIM_YET = 1024;  // above every priority a stored depth below 64 can give

// Agings so far (modulo 2^16 where compared with a stamp). It starts above
// AGE_FRESH, so that a zero-filled entry (stamp 0) reads as age 0. Written
// only while no search runs.
constexpr std::uint32_t FIRST_GENERATION = AGE_FRESH + 1;
std::uint32_t tt_generation = FIRST_GENERATION;

// Stamps far behind the generation are moved up before the counter can come
// round to them again: every aging looks at 1/2^14 of the table (rounded up),
// so every entry is looked at within 2^14 agings, and one found STALE_DISTANCE
// or more behind is set to read as age 0 still (AGE_FRESH behind). No distance
// then grows past STALE_DISTANCE + 2^14 < 2^16.
constexpr int RESTAMP_CYCLE_BITS = 14;
constexpr std::uint32_t STALE_DISTANCE = 1u << 15;
std::uint64_t restamp_cursor = 0;  // the next entry the re-stamping looks at

// Whether tt_table may hold anything but zeros: set by every write (any search
// thread, relaxed), cleared by allocate_tables and tt_clear_all between searches.
std::atomic<bool> tt_written{false};

void note_written() {
    if (!tt_written.load(std::memory_order_relaxed))
        tt_written.store(true, std::memory_order_relaxed);
}

int stored_score(std::uint32_t data) {
    return static_cast<int>(data & SCORE_MASK) - SCORE_BIAS;
}
int stored_depth(std::uint32_t data) {
    return static_cast<int>((data >> DEPTH_SHIFT) & DEPTH_MASK);
}
int stored_bound(std::uint32_t data) {
    return static_cast<int>((data >> BOUND_SHIFT) & BOUND_MASK);
}

// One entry as read: both words once.
struct Read {
    std::uint64_t check, payload;
    std::uint32_t data() const { return static_cast<std::uint32_t>(payload); }
    Move move() const { return static_cast<Move>(payload >> MOVE_SHIFT); }
    std::uint32_t stamp() const { return static_cast<std::uint32_t>(check ^ payload) & STAMP_MASK; }
    bool holds(std::uint64_t key) const { return ((check ^ payload ^ key) & KEY_BITS) == 0; }
};

Read read(const TtEntry& entry) {
    return {entry.check.load(std::memory_order_relaxed),
            entry.payload.load(std::memory_order_relaxed)};
}

void write(TtEntry& entry, std::uint64_t key, std::uint32_t data, Move move, std::uint32_t stamp) {
    note_written();
    const std::uint64_t payload = data | std::uint64_t{move} << MOVE_SHIFT;
    entry.check.store(((key & KEY_BITS) | (stamp & STAMP_MASK)) ^ payload,
                      std::memory_order_relaxed);
    entry.payload.store(payload, std::memory_order_relaxed);
}

// AGE_FRESH at the stamp's own generation, one less per aging since, 0 at last.
int age_of(std::uint32_t stamp, std::uint32_t generation) {
    const std::uint32_t behind = (generation - stamp) & STAMP_MASK;
    return behind < AGE_FRESH ? AGE_FRESH - static_cast<int>(behind) : 0;
}

int priority(const Read& r, std::uint32_t generation) {
    return stored_depth(r.data()) + age_weight[age_of(r.stamp(), generation)];
}

TtEntry* bucket_of(std::uint64_t key) {
    return tt_table + tt_bucket_index(key) * BUCKET_SIZE;
}

// The entry of key in its bucket (nullptr when there is none), as read.
TtEntry* find_entry(std::uint64_t key, Read& found) {
    TtEntry* bucket = bucket_of(key);
    for (int i = 0; i < BUCKET_SIZE; ++i) {
        found = read(bucket[i]);
        if (found.holds(key)) return &bucket[i];
    }
    return nullptr;
}

void restart_generations() {
    tt_generation = FIRST_GENERATION;
    restamp_cursor = 0;
}

// Runs work(from, to) over parts of entries [0, count), one part per hardware
// thread: short-lived threads beside the caller. The tables' upkeep between
// searches (taking a fresh table's pages, clearing it) waits on memory, and
// on the system's supply of pages, more than on the processor.
void in_parallel(std::uint64_t count, void (*work)(std::uint64_t, std::uint64_t)) {
    const std::uint64_t parts = std::max(1u, std::thread::hardware_concurrency());
    const std::uint64_t part = count / parts;
    std::vector<std::thread> helpers;
    std::uint64_t from = 0;
    for (std::uint64_t n = 1; n < parts && part > 0; ++n, from += part) {
        try {
            helpers.emplace_back(work, from, from + part);
        } catch (const std::system_error&) {
            break;  // the rest on this thread
        }
    }
    work(from, count);
    for (std::thread& helper : helpers) helper.join();
}

// The system gives a fresh table's pages zero-filled at their first touch: one
// word of every 4 KB is written, so that no search waits for a page.
void take_pages(std::uint64_t from, std::uint64_t to) {
    constexpr std::uint64_t PER_PAGE = 4096 / sizeof(TtEntry);
    for (std::uint64_t i = from; i < to; i += PER_PAGE)
        tt_table[i].check.store(0, std::memory_order_relaxed);
}

void zero_entries(std::uint64_t from, std::uint64_t to) {
    std::memset(static_cast<void*>(tt_table + from), 0, sizeof(TtEntry) * (to - from));
}

}  // namespace

namespace {

std::size_t tt_bytes = 0;  // the size tt_table was allocated with (the count may change since)

// The count as the layout takes it: whole buckets, at least MIN_TT_ENTRY_COUNT.
std::uint64_t usable_entry_count(std::uint64_t entries) {
    return std::max(entries, MIN_TT_ENTRY_COUNT) / BUCKET_SIZE * BUCKET_SIZE;
}

// tt_table and its index for a fresh, zero-filled table of entries entries
// (usable_entry_count's), its pages taken.
void use_table(TtEntry* table, std::uint64_t entries) {
    tt_table = table;
    tt_entry_count = entries;
    tt_bytes = static_cast<std::size_t>(entries * sizeof(TtEntry));
    tt_bucket_count = entries / BUCKET_SIZE;
    unsigned bits = 0;  // ceil(log2(tt_bucket_count))
    while ((std::uint64_t{1} << bits) < tt_bucket_count) ++bits;
    const bool power_of_two = (std::uint64_t{1} << bits) == tt_bucket_count;
    tt_index_shift = power_of_two ? bits : std::min(bits + MORE_INDEX_BITS, 64 - bits);
    tt_index_mask = (std::uint64_t{1} << tt_index_shift) - 1;
    if (tt_table != nullptr) in_parallel(tt_entry_count, take_pages);
    tt_written.store(false, std::memory_order_relaxed);
    restart_generations();
}

}  // namespace

bool allocate_tables() {
    free_table(tt_table, tt_bytes);
    const std::uint64_t entries = usable_entry_count(tt_entry_count);
    use_table(
        static_cast<TtEntry*>(allocate_table(static_cast<std::size_t>(entries * sizeof(TtEntry)))),
        entries);
    const bool caches = allocate_eval_caches();
    return tt_table != nullptr && caches;
}

bool resize_transposition_table(std::uint64_t entries) {
    entries = usable_entry_count(entries);
    // The new table is had before the old one goes, so that a refusal leaves
    // the old one in use; a fresh mapping costs no memory until its pages are
    // taken, which is after the old one has been given back.
    void* table = allocate_table(static_cast<std::size_t>(entries * sizeof(TtEntry)));
    if (table == nullptr) return false;
    free_table(tt_table, tt_bytes);
    use_table(static_cast<TtEntry*>(table), entries);
    clear_eval_caches();
    clear_helper_caches();
    return true;
}

bool tt_probe(int alpha, int beta, int depth, int& score, Move& move) {
    Read entry{};
    if (find_entry(position.state.key, entry) == nullptr) {
        move = 0;
        return false;
    }
    const std::uint32_t data = entry.data();
    if (stored_depth(data) < depth) {
        move = entry.move();
        return false;
    }
    const int s = stored_score(data);
    switch (stored_bound(data)) {
        case BOUND_EXACT:
            // Mates were stored as distance from this position; make them distance from the root.
            if (s >= MATE_BOUND) {
                score = s - this_worker->search_ply;
            } else if (s <= -MATE_BOUND) {
                score = s + this_worker->search_ply;
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
    move = entry.move();
    return false;
}

void tt_store(int score, int depth, int bound, Move move) {
    const std::uint64_t key = position.state.key;
    const std::uint32_t data = (static_cast<std::uint32_t>(score + SCORE_BIAS) & SCORE_MASK) |
                               (static_cast<std::uint32_t>(depth) & DEPTH_MASK) << DEPTH_SHIFT |
                               (static_cast<std::uint32_t>(bound) & BOUND_MASK) << BOUND_SHIFT;
    // One pass: the position's own entry, else the first of the entries with
    // the lowest priority makes room. Should a deeper depth than the iterations
    // allow ever appear, the first entry is replaced.
    TtEntry* bucket = bucket_of(key);
    const std::uint32_t generation = tt_generation;
    int victim = 0;
    int lowest = NO_VICTIM_YET;
    for (int i = 0; i < BUCKET_SIZE; ++i) {
        const Read entry = read(bucket[i]);
        if (entry.holds(key)) {
            // A bound found without a best move keeps the move learned earlier.
            write(bucket[i], key, data, move != 0 ? move : entry.move(), generation);
            return;
        }
        const int p = priority(entry, generation);
        if (p < lowest) {
            lowest = p;
            victim = i;
        }
    }
    write(bucket[victim], key, data, move, generation);
}

Move tt_probe_move() {
    Read entry{};
    return find_entry(position.state.key, entry) != nullptr ? entry.move() : 0;
}

void tt_clear_entry() {
    // No score, depth 0 and age 0: the move stays, the entry goes first.
    Read entry{};
    if (TtEntry* own = find_entry(position.state.key, entry))
        write(*own, position.state.key, 0, entry.move(), tt_generation - AGE_FRESH);
}

void age_transposition_table() {
    ++tt_generation;
    constexpr std::uint64_t CYCLE = std::uint64_t{1} << RESTAMP_CYCLE_BITS;
    const std::uint64_t slice = (tt_entry_count + CYCLE - 1) / CYCLE;
    for (std::uint64_t n = 0; n < slice; ++n) {
        TtEntry& entry = tt_table[restamp_cursor];
        if (++restamp_cursor == tt_entry_count) restamp_cursor = 0;
        const Read r = read(entry);
        if (((tt_generation - r.stamp()) & STAMP_MASK) < STALE_DISTANCE) continue;
        const std::uint32_t stamp = (tt_generation - AGE_FRESH) & STAMP_MASK;
        note_written();
        entry.check.store(r.check ^ r.stamp() ^ stamp, std::memory_order_relaxed);
    }
}

TtContents tt_contents(const TtEntry& entry, std::uint64_t key) {
    const Read r = read(entry);
    const std::uint32_t data = r.data();
    return {r.holds(key),       stored_score(data),
            stored_depth(data), age_of(r.stamp(), tt_generation),
            stored_bound(data), r.move()};
}

void tt_clear_all() {
    // A table nothing has written since it was allocated or cleared holds
    // zeros: it is left alone.
    if (tt_written.load(std::memory_order_relaxed)) {
        in_parallel(tt_entry_count, zero_entries);
        tt_written.store(false, std::memory_order_relaxed);
    }
    restart_generations();
    clear_eval_caches();
    clear_helper_caches();
}

int tt_hashfull() {
    constexpr std::uint64_t SAMPLE = 1000;  // entries looked at: the permille is their count
    const std::uint64_t sample = std::min(SAMPLE, tt_entry_count);
    const std::uint32_t stamp = tt_generation & STAMP_MASK;
    std::uint64_t used = 0;
    for (std::uint64_t i = 0; i < sample; ++i) {
        const Read r = read(tt_table[i]);
        if (r.data() != 0 && r.stamp() == stamp) ++used;
    }
    return static_cast<int>(used * 1000 / sample);
}
