// Inside the search: the state of each search thread (its worker), the
// clock, the transposition table's entries, move ordering, the full-width
// and capture searches, the tablebase probes, the root records and the
// helper threads. Only the search's own files (and their tests) include it.
//
// State per thread. Everything a search writes while it runs belongs to one
// search thread: its Worker record (counters, ply, killers, the evaluation's
// state of eval/cache.h, root moves), reached through the thread-local
// this_worker, and the position and the text of move_to_text (board/board.h,
// thread-local globals). The thread that calls search() is the main search
// thread, its worker main_worker; its position is what the console, drivers
// and books see. Helper threads (lazy SMP: set_search_threads) search the
// same root with workers of their own, which the pool owns. Shared by all:
// the transposition table (its entries are checked against their key when
// read, so that two writers never make a false hit), stop_search, the limits,
// and the full-width search's marks of the children each thread is searching.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/board.h"
#include "eval/cache.h"
#include "search/search.h"

constexpr int MAX_PLY = 64;  // slots of the killer tables

// One more node on this thread's counter; the new count. A relaxed load and
// store rather than an atomic add: no other thread writes the counter.
inline std::uint64_t count_node(std::atomic<std::uint64_t>& counter) {
    const std::uint64_t n = counter.load(std::memory_order_relaxed) + 1;
    counter.store(n, std::memory_order_relaxed);
    return n;
}

// ---- The clock of the running search: the main search thread's alone (helpers
// read search_start_clock, written before they start).
extern std::int64_t search_start_clock;  // milliseconds (clock_ms) when the search began
extern std::int64_t last_clock;          // milliseconds at the last time check
extern int elapsed_cs;                   // centiseconds since search_start_clock

// The clock the running search obeys: set from its limits when it starts, and
// by search_ponder_hit while it runs.
extern std::atomic<bool> time_limited;     // obey search_budget_cs; stored release, read acquire
extern std::atomic<int> search_budget_cs;  // centiseconds for this move
// A timed search stops at once when the clock (clock_ms) reaches this value,
// whatever the budget says; written before time_limited is set (milliseconds).
extern std::atomic<std::int64_t> search_deadline_ms;
NodeCounts search_node_counts();  // the nodes of the running or the last search
std::uint64_t search_nodes();     // moves + captures of search_node_counts

// ---- Search state of one thread: its worker. Written by its own thread only,
// except where a field says otherwise.
// Aligned to a cache line, so that no other thread's data shares the lines a
// worker writes at every node.
struct alignas(64) Worker {
    // 0 for the main worker (the thread that calls search(), and every thread
    // that is no helper), 1 .. for the helpers'; set when the pool makes it.
    int index = 0;
    int search_ply = 0;  // plies from the root; 0 at the root
    int sel_depth = 0;   // deepest ply where the full-width search hit depth 0
    // Node counters: moves searched by the full-width search, capture-search
    // nodes, probes the tablebases answered. Read by any thread: the reports
    // and the node limit sum them over the workers (search_node_counts).
    std::atomic<std::uint64_t> move_nodes{0};
    std::atomic<std::uint64_t> capture_nodes{0};
    std::atomic<std::uint64_t> tb_hits{0};
    // [ply]: the quiet moves that last caused a cutoff there, newest in
    // killer_1; 0 = none.
    Move killer_1[MAX_PLY]{}, killer_2[MAX_PLY]{}, killer_3[MAX_PLY]{};
    EvalState* eval = &main_eval_state;  // its evaluation's state: main's, or own_eval
    EvalState own_eval;                  // a helper's evaluation state
    // Its root moves (see root_moves.cpp): every move it searches at the root,
    // after a complete iteration its lines' first moves first, best first.
    RootMove root_moves[MOVE_LIST_CAPACITY];
    int root_move_count = 0;  // entries of root_moves
};
extern Worker main_worker;
// This thread's worker: main_worker until a helper binds its own (bind_worker).
extern QV_THREAD_LOCAL Worker* this_worker;
// Makes w this thread's worker, its evaluation state the thread's too.
void bind_worker(Worker* w);
inline bool is_main_search_thread() {
    return this_worker->index == 0;
}

// ---- Inside the search.
// The limits of the running search: written by the main search thread before
// the helpers start, read by every search thread.
extern SearchLimits search_limits;
// The search's clock from its limits, or from a ponder hit that came first.
void start_search_clock(const SearchLimits& limits);

// Refreshes last_clock and elapsed_cs from the clock.
void update_elapsed();
// Clock limits of a timed search, compared in 64 bits (the default budget times
// three does not fit 32 bits).
bool search_time_exceeded();     // elapsed_cs > 3 * search_budget_cs: cut the search off
bool iteration_time_exceeded();  // elapsed_cs > 3 * search_budget_cs / 5: start no new iteration
bool deadline_passed();          // last_clock has reached search_deadline_ms
// The nodes of this search, over all its threads, have reached its limit.
inline bool node_limit_reached() {
    return search_limits.nodes != NO_NODE_LIMIT && search_nodes() >= search_limits.nodes;
}
// On a helper thread of a timed search: the clock has reached the deadline or
// three budgets (what the main thread's checks say), read by the helper itself.
bool helper_clock_expired();
// For long runs of captures: reads the clock (on any search thread) when a
// timed search has a deadline and sets stop_search once it, or the node limit, has
// passed; true when the search must stop.
bool poll_stop();

// ---- Transposition table (the evaluation caches: eval/cache.h), shared by
// every search thread without locks.
// What a stored score is: none, the exact score, at least it (a cutoff), at most it.
constexpr int BOUND_NONE = 0, BOUND_EXACT = 1, BOUND_LOWER = 2, BOUND_UPPER = 3;
constexpr int AGE_FRESH = 15;  // age of an entry just written; each aging lowers it by 1
extern TtEntry* tt_table;      // tt_entry_count entries; nullptr before allocation
// The bucket of a key is ((key & tt_index_mask) * tt_bucket_count) >> tt_index_shift.
// A power-of-two count takes the key's low bits as they are (the mask is
// count - 1, the shift its bits); any other count spreads up to eight bits
// more (as many as keep the product within 64 bits) evenly over its buckets.
// Set with the table, between searches.
extern std::uint64_t tt_bucket_count;  // tt_entry_count / 4
extern std::uint64_t tt_index_mask;    // the low key bits that choose the bucket
extern unsigned tt_index_shift;        // their number
inline std::uint64_t tt_bucket_index(std::uint64_t key) {
    return ((key & tt_index_mask) * tt_bucket_count) >> tt_index_shift;
}

// Start loading the transposition-table bucket of the current position (a
// child that searches on is about to probe it), so that the memory access
// overlaps the work before it. A capture-search child prefetches the
// evaluation caches instead (eval_cache_prefetch).
inline void tt_prefetch() {
    __builtin_prefetch(tt_table + tt_bucket_index(position.state.key) * 4);
}

bool tt_probe(int alpha, int beta, int depth, int& score, Move& move);
void tt_store(int score, int depth, int bound, Move move);
// What an entry holds as the search reads it now, for tests and diagnostics:
// whether it is the entry of key, its fields, its age.
struct TtContents {
    bool holds_key;
    int score, depth, age, bound;
    Move move;
};
TtContents tt_contents(const TtEntry& entry, std::uint64_t key);

// ---- Move ordering.
constexpr int HASH_MOVE_SCORE = 30000;  // ordering score of the table's move: searched first
// Ordering scores of a quiet move that is the first, second or third killer of its ply.
constexpr int KILLER_1_SCORE = 8500, KILLER_2_SCORE = 8300, KILLER_3_SCORE = 8100;
constexpr int KILLER_LIMIT = 9000;  // a move ordered below this score may become a killer
void score_moves(int count, Move hash_move, MoveEntry* list);
void pick_next_move(int index, int count, MoveEntry* list);
void update_killers(Move move, int ply);

// ---- The searches.
// The current position repeats one within the fifty-move window (twice when
// fewer than four plies from the root): the line is a draw.
bool repeats_earlier_position();
int alpha_beta(int alpha, int beta, int depth, int null_ok, int in_check);
int quiescence(int alpha, int beta);
int quiescence_evasions(int alpha, int beta);
// The continuation of the current position from the table (moves stored for
// the positions along it, up to a repetition or the fifty-move rule) into pv;
// returns how many moves it holds.
int collect_pv(Move* pv, int capacity);
void print_pv();  // the same continuation as move texts, each followed by a blank
// The principal variation from the root that begins with first (a legal root
// move): first, then the table's continuation after it; returns its length.
int collect_root_pv(Move first, Move* pv, int capacity);

// ---- Endgame tablebases (the probes: tablebase/tablebase.h). A position the
// tables win scores TB_WIN_SCORE less the plies to it: inside the search the
// plies from the root, at the root the plies to the next capture or pawn move
// on the tables' line. A loss scores the negative. Every evaluation lies below
// TB_WIN_BOUND, every mate above.
constexpr int TB_WIN_SCORE = 28000;
constexpr int TB_WIN_BOUND = TB_WIN_SCORE - 1000;  // |score| from here to MATE_BOUND: tables
constexpr int TB_CURSED_SCORE = 1;  // a cursed win under the fifty-move rule; a blessed loss: -1
static_assert(TB_WIN_SCORE < MATE_BOUND, "a tablebase win ranks below every mate");
// The probes the tables answered in the running or the last search: what the
// interfaces report. Read it here, not through tb_hits.
std::uint64_t tablebase_hits();
// The score of an outcome (TablebaseWdl) that lies the given plies away.
int tablebase_score(int wdl, int plies);
// A node right after a capture or pawn move, at depth syzygy_probe_depth or
// more, that the tables cover: true with its score, which is also stored in
// the transposition table.
bool tablebase_node(int depth, int& score);
// The start of a search: when the tables cover the root and
// rank its moves, the legal root list cut to the best-ranked moves; returns
// the count of moves left.
int restrict_root_moves(MoveEntry* list, int count);
// The score a report shows for a root score s of this search: the tables'
// result when they ranked the root, unless s is a mate.
int reported_score(int s);

// Permille of the transposition table's sampled entries written since the
// last aging, that is, by this search.
int tt_hashfull();

// Inside the search: search() starts the helpers on its position and its root
// moves and stops them before it returns (leaving stop_search set);
// tt_clear_all has them clear their caches before their next search; a helper
// runs helper_search on its copy of the root position and root moves, with
// the same root loop as the main thread.
void start_helpers(const MoveEntry* root_list, int count);
void finish_helpers();
// A helper completed an iteration whose first line is r, decisive when it
// proves what the search was asked to find (a mate): kept when no helper
// completed a deeper one in this search, a decisive line before any other.
// Once an iteration (under the pool's lock).
void offer_helper_line(const RootMove& r, bool decisive);
// The line kept of those the helpers offered in this search, into r, and
// whether it is decisive; false when none was offered (main thread).
bool offered_helper_line(RootMove& r, bool& decisive);
void clear_helper_caches();
void helper_search(const MoveEntry* root_list, int count);
// Several threads search this search (the main one included): written by the
// main thread in start_helpers before the helpers wake, read by all while they search.
extern bool several_search_threads;

// Inside the search, this thread's root records (Worker::root_moves). Each
// iteration searches line 1 over the root moves, line k over them less the
// first moves of lines 1 .. k - 1 (MultiPV).
// The legal moves of list that the limits allow (SearchLimits::allowed), in
// their order; their count.
int allow_root_moves(MoveEntry* list, int count);
void start_root_moves(const MoveEntry* list, int count);  // one record per move, none searched
void start_root_iteration();                              // each score becomes the previous one
bool is_root_move(Move m);                // m has a record among this thread's root moves
void note_root_score(Move m, int score);  // m's search in this iteration gave score
// Line number line (0 = the first) of the iteration of depth ended with m at
// score, its deepest ply sel: m's record moves to that place, with the
// variation from the table.
void finish_line(int line, Move m, int score, int depth, int sel);
void sort_lines(int lines);  // the first lines records, best score first (stable)
// The moves of list that are not the first move of one of the first lines
// records, into rest in their order; their count.
int moves_outside_lines(const MoveEntry* list, int count, int lines, MoveEntry* rest);
