// Search: score scale, shared search state, hash tables, move ordering,
// alpha-beta, capture search, iterative deepening and its thinking output,
// and the helper threads that search beside it.
//
// State per thread. Everything a search writes while it runs belongs to one
// search thread: its Worker record (counters, ply, killers, the evaluation's
// state of eval/cache.h), reached through the thread-local this_worker, and
// the position and the text of move_to_text (board/board.h, thread-local
// globals). The thread that calls search() is the main search thread, its
// worker main_worker; its position is what the console, drivers and books
// see. Helper threads (lazy SMP: set_search_threads) search the same root
// with workers of their own, which the pool owns. Shared by all: the
// transposition table (its entries are checked against their key when read,
// so that two writers never make a false hit), stop_search, and the limits.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "board/board.h"
#include "eval/cache.h"

// ---- Score scale (centipawns, side to move's view).
constexpr int INFINITE_SCORE = 32000;  // above every score: the widest window's bounds
constexpr int MATE_SCORE = 30000;      // mated at ply p scores p - MATE_SCORE
constexpr int MATE_BOUND = 29000;      // |score| >= MATE_BOUND is a forced mate

constexpr int MAX_PLY = 64;  // slots of the killer tables

// One more node on this thread's counter; the new count. A relaxed load and
// store rather than an atomic add: no other thread writes the counter.
inline std::uint64_t count_node(std::atomic<std::uint64_t>& counter) {
    const std::uint64_t n = counter.load(std::memory_order_relaxed) + 1;
    counter.store(n, std::memory_order_relaxed);
    return n;
}

// ---- The clock of the running search: the main search thread's alone.
extern std::int64_t search_start_clock;  // milliseconds (clock_ms) when the search began
extern std::int64_t last_clock;          // milliseconds at the last time check
extern int elapsed_cs;                   // centiseconds since search_start_clock

// Shared with the input threads while a search runs.
extern std::atomic<bool> stop_search;                // ask the running search to stop
constexpr int UNLIMITED_TIME_BUDGET = 259200000;     // 30 days, centiseconds
constexpr std::int64_t NO_DEADLINE = INT64_MAX;      // the deadline of a search without one
constexpr std::uint64_t NO_NODE_LIMIT = UINT64_MAX;  // the node limit of a search without one
// The clock the running search obeys: set from its limits when it starts, and
// by search_ponder_hit while it runs.
extern std::atomic<bool> time_limited;     // obey search_budget_cs; stored release, read acquire
extern std::atomic<int> search_budget_cs;  // centiseconds for this move
// A timed search stops at once when the clock (clock_ms) reaches this value,
// whatever the budget says; written before time_limited is set (milliseconds).
extern std::atomic<std::int64_t> search_deadline_ms;

// The nodes of the running or the last search, summed over its threads.
struct NodeCounts {
    std::uint64_t moves;     // move_nodes
    std::uint64_t captures;  // capture_nodes
};
NodeCounts search_node_counts();
std::uint64_t search_nodes();  // moves + captures of search_node_counts

constexpr int DEFAULT_MAX_DEPTH = 32;  // the deepest iteration when no depth is asked for, plies
constexpr int MIN_SEARCH_DEPTH = 2;    // plies a search always completes before it may stop

// The root moves the front end allows a search (UCI's searchmoves, xboard's
// exclusions): with restricted set, only the legal moves of moves are
// searched (none: the search finds no move).
struct RootMoveSet {
    bool restricted = false;
    int count = 0;
    Move moves[MOVE_LIST_CAPACITY];
};

// What one search may do, as its caller asks. Fields are added with a default
// that leaves the search as it was.
struct SearchLimits {
    // The clock: a timed search starts no iteration after three fifths of the
    // budget, cuts a running one at three budgets and stops at the deadline.
    // An untimed one (pondering, analysis) runs until it is stopped or has
    // searched its depth; a ponder hit times it (search_ponder_hit).
    bool timed = false;
    int time_budget_cs = UNLIMITED_TIME_BUDGET;  // centiseconds for this move
    std::int64_t deadline_ms = NO_DEADLINE;      // clock_ms at which it stops at once
    std::uint64_t nodes = NO_NODE_LIMIT;         // it stops at this many nodes, over all threads
    int depth =
        DEFAULT_MAX_DEPTH;  // deepest iteration, plies (at least MIN_SEARCH_DEPTH is searched)
    // It ends once an iteration proves a mate for the side to move within
    // this many plies (UCI's "go mate N": 2N - 1); 0: no such limit.
    int mate_plies = 0;
    int lines = 1;        // principal variations searched and reported (MultiPV), 1 .. MAX_MULTI_PV
    RootMoveSet allowed;  // the root moves it may play
};
constexpr int MAX_MULTI_PV = 256;  // the most lines a search offers

// The search's result: the root moves, best first (lines: see RootMove),
// and what it cost.
constexpr int MAX_PV_LENGTH = MAX_SEARCH_PLY + 1;  // moves of a reported variation
struct RootMove {
    Move move = 0;
    // The score of the last iteration that searched the move (exact for the
    // first move of a line, an upper bound for the others) and of the one
    // before; -INFINITE_SCORE: not searched yet.
    int score = -INFINITE_SCORE;
    int previous_score = -INFINITE_SCORE;
    int sel_depth = 0;       // the deepest ply of its line's search (lines only)
    int pv_length = 0;       // moves in pv (lines only)
    Move pv[MAX_PV_LENGTH];  // the principal variation that begins with move
};
struct RootMoves {
    // Every root move searched, the move to play first (its pv from the table
    // at the end, the predicted reply second when legal), then the other
    // lines' first moves, best first, then the rest. Empty: no move to play.
    std::vector<RootMove> moves;
    NodeCounts nodes{0, 0};    // searched, over all threads
    std::int64_t time_ms = 0;  // from the start to the last time check, milliseconds
    Move best() const { return moves.empty() ? 0 : moves[0].move; }
    // The reply the search expects to the move to play; 0: none.
    Move ponder() const { return moves.empty() || moves[0].pv_length < 2 ? 0 : moves[0].pv[1]; }
};

// ---- Reports: one record per line of thinking output, formatted by the
// front end that asked for the search.
enum class ScoreBound { EXACT, LOWER, UPPER };  // what score is of the line's true value
struct SearchInfo {
    int depth = 0;      // the iteration's depth, plies
    int sel_depth = 0;  // the deepest ply reached in it
    int line = 0;       // the line's number from 1 when several are searched; 0: one line
    // Centipawns from the side to move's view, a mate as MATE_SCORE less its
    // plies; the tables' result when they ranked the root.
    int score = 0;
    ScoreBound bound = ScoreBound::EXACT;
    std::uint64_t nodes = 0;    // over all search threads
    std::uint64_t nps = 0;      // nodes per second so far; 0 within the first millisecond
    int hashfull = 0;           // permille of the table written by this search (progress only)
    std::uint64_t tb_hits = 0;  // probes the tablebases answered
    std::int64_t time_ms = 0;   // since the search began, milliseconds
    const Move* pv = nullptr;   // the line's moves (valid during the call)
    int pv_length = 0;
    Move current_move = 0;   // current_move only: the root move started on
    int current_number = 0;  // and its number, from 1
};
struct SearchReport {
    void (*new_best)(const SearchInfo& info);        // a root move became the best: its line
    void (*iteration_done)(const SearchInfo& info);  // an iteration completed: the best line
    void (*table_result)(const SearchInfo& info);    // the table held this depth's result
    // With several lines: an iteration completed; its lines, best first.
    void (*lines_done)(const SearchInfo* lines, int count);
    // After the first second: the main thread starts on a root move.
    void (*current_move)(const SearchInfo& info);
    // After the first second, at most once a second: nodes, speed, hashfull.
    void (*progress)(const SearchInfo& info);
};
constexpr std::int64_t PROGRESS_DELAY_MS = 1000;  // the reports of a long search begin, and repeat

// Searches the current position (left as it was) with every search thread
// within limits, reporting as it goes; stop_search ends it early. The table
// carries over to the next search. When helper threads took part,
// stop_search is left set (it is how they were told to stop).
RootMoves search(const SearchLimits& limits, const SearchReport& report);
// Before a search and before anything may signal it (its listener): no stop,
// no ponder hit.
void clear_search_signals();
// A ponder hit, from any thread: the untimed search now obeys budget_cs and
// deadline_ms, also when it has yet to start (after clear_search_signals).
void search_ponder_hit(int budget_cs, std::int64_t deadline_ms);

// ---- Search state of one thread: its worker. Written by its own thread only,
// except where a field says otherwise.
struct Worker {
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
// For long runs of captures: reads the clock (on the main search thread) when a
// timed search has a deadline and sets stop_search once it, or the node limit, has
// passed; true when the search must stop.
bool poll_stop();

// ---- Transposition table (the evaluation caches: eval/cache.h), shared by
// every search thread without locks.
// What a stored score is: none, the exact score, at least it (a cutoff), at most it.
constexpr int BOUND_NONE = 0, BOUND_EXACT = 1, BOUND_LOWER = 2, BOUND_UPPER = 3;
constexpr int AGE_FRESH = 15;  // age of an entry just written; each aging lowers it by 1

// An entry is two 64-bit words, each read and written whole (relaxed atomics).
// payload: bits 0-17 score + 32000, 18-25 depth, 30-31 bound (the data word),
// 32-63 the move. check: the position's key, its low 16 bits replaced by the
// generation stamp, XOR payload. A reader takes an entry as the position's only
// when the key it gives back matches in bits 16-63 (the bucket already fixes
// the low bits), so words of two different stores never pass for a hit. The
// age is not stored: it is AGE_FRESH less the agings since the stamp, down to 0.
struct TtEntry {
    std::atomic<std::uint64_t> check;
    std::atomic<std::uint64_t> payload;
};
static_assert(sizeof(TtEntry) == 16, "TtEntry is 16 bytes, four to a 64-byte bucket");

constexpr std::uint32_t DEFAULT_TT_ENTRY_COUNT = 2097152;  // entries of the default 32 MB table
// The fewest entries a table is given: the bucket must fix the 16 key bits that
// hold the stamp.
constexpr std::uint32_t MIN_TT_ENTRY_COUNT = 4u << 16;
// Set between searches (start-up, a new size); read by every search thread.
extern std::uint32_t tt_entry_count;  // entries of tt_table, a power of two
extern std::uint32_t tt_bucket_mask;  // tt_entry_count / 4 - 1: low key bits to a 4-entry bucket
extern TtEntry* tt_table;             // tt_entry_count entries; nullptr before allocation

// Start loading the transposition-table bucket of the current position (a
// child that searches on is about to probe it), so that the memory access
// overlaps the work before it. A capture-search child prefetches the
// evaluation caches instead (eval_cache_prefetch).
inline void tt_prefetch() {
    __builtin_prefetch(tt_table +
                       (static_cast<std::uint32_t>(position.state.key) & tt_bucket_mask) * 4);
}

// Allocates the transposition table (at least MIN_TT_ENTRY_COUNT entries) and
// this thread's two evaluation caches zero-filled from the current counts;
// false on failure. Not while a search runs.
bool allocate_tables();
bool tt_probe(int alpha, int beta, int depth, int& score, Move& move);
void tt_store(int score, int depth, int bound, Move move);
Move tt_probe_move();
// Between searches only (the front end's operations on the game board):
void tt_clear_entry();
// Every entry one age older: one step of a generation counter, so the table
// itself is not swept (a slice of it is re-stamped so that the counter never
// wraps onto an old entry's stamp).
void age_transposition_table();
// The transposition table and the evaluation caches of every search thread.
void tt_clear_all();
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
extern int syzygy_probe_depth;             // least remaining depth of a probe in the search, plies
                                           // (default 1); set while no search runs
extern bool syzygy_fifty_move_rule;        // cursed wins and blessed losses count as draws (default
                                           // true); set while no search runs
constexpr int MIN_SYZYGY_PROBE_DEPTH = 1;  // the least syzygy_probe_depth offered, plies
constexpr int MAX_SYZYGY_PROBE_DEPTH = 100;  // the greatest, plies
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

// ---- Search threads. search() runs on the calling thread, the main search
// thread, and count - 1 helper threads search the same root beside it over
// the shared table, each on a depth schedule of its own so that they do not
// all repeat its work. Only the main thread chooses the move, reports and
// keeps the clock; helpers hear stop_search. The helpers are made once, sleep
// between searches and are joined by stop_search_threads.
constexpr int MAX_SEARCH_THREADS = 256;  // the most threads a search may use
// Makes searches use count threads, clamped to 1 .. MAX_SEARCH_THREADS, the
// caller's included, starting or ending helpers to match; not while a search
// runs. Returns the count in use, lower than asked when a thread or its
// caches could not be had.
int set_search_threads(int count);
int search_threads();        // the count in use; 1: the main thread alone
void stop_search_threads();  // ends and joins every helper (before the process ends)
// Inside the search: search() starts the helpers on its position and its root
// moves and stops them before it returns (leaving stop_search set);
// tt_clear_all has them clear their caches before their next search; a helper
// runs helper_search on its copy of the root position and root moves, with
// the same root loop as the main thread.
void start_helpers(const MoveEntry* root_list, int count);
void finish_helpers();
void clear_helper_caches();
void helper_search(const MoveEntry* root_list, int count);

// Inside the search, this thread's root records (Worker::root_moves). Each
// iteration searches line 1 over the root moves, line k over them less the
// first moves of lines 1 .. k - 1 (MultiPV).
// the legal moves of list that allowed_root_moves keeps, in their order; their count.
int allow_root_moves(MoveEntry* list, int count);
void start_root_moves(const MoveEntry* list, int count);  // one record per move, none searched
void start_root_iteration();                              // each score becomes the previous one
void note_root_score(Move m, int score);                  // m's search in this iteration gave score
// Line number line (0 = the first) ended with m at score, its deepest ply sel:
// m's record moves to that place, with the variation from the table.
void finish_line(int line, Move m, int score, int sel);
void sort_lines(int lines);  // the first lines records, best score first (stable)
// The moves of list that are not the first move of one of the first lines
// records, into rest in their order; their count.
int moves_outside_lines(const MoveEntry* list, int count, int lines, MoveEntry* rest);
