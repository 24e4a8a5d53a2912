// Search: score scale, shared search state, hash tables, move ordering,
// alpha-beta, capture search, iterative deepening and its thinking output,
// and the helper threads that search beside it.
//
// State per thread. Everything a search writes while it runs belongs to one
// search thread: the position (board/board.h), the counters and ply below,
// the killers, the evaluation's exchange lists and caches (eval/), the text of
// move_to_text. Each is a QV_THREAD_LOCAL global (platform/platform.h): the
// code reads as with plain globals, and an access costs what a global's does
// (%fs-relative, no pointer to follow). The thread that calls think() is the
// main search thread; its copies are what the console, drivers and books see.
// Helper threads (lazy SMP: set_search_threads) search the same root on their
// own copies. Shared by all: the transposition table (its entries are checked
// against their key when read, so that two writers never make a false hit),
// stop_search, and the limits, which only the front end writes, between searches.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/board.h"
#include "eval/cache.h"

// ---- Score scale (centipawns, side to move's view).
constexpr int INFINITE_SCORE = 32000;  // above every score: the widest window's bounds
constexpr int MATE_SCORE = 30000;      // mated at ply p scores p - MATE_SCORE
constexpr int MATE_BOUND = 29000;      // |score| >= MATE_BOUND is a forced mate

// ---- Search state of this thread (each search thread its own).
constexpr int MAX_PLY = 64;             // slots of the killer tables
extern QV_THREAD_LOCAL int search_ply;  // plies from the root; 0 at the root
extern QV_THREAD_LOCAL int sel_depth;   // deepest ply where the full-width search hit depth 0
// Node counters: moves searched by the full-width search, capture-search
// nodes. Written only by their own thread (count_node), read by any: the
// reports and the node limit sum them over the threads (search_node_counts).
extern QV_THREAD_LOCAL std::atomic<std::uint64_t> move_nodes;
extern QV_THREAD_LOCAL std::atomic<std::uint64_t> capture_nodes;
// 0 on the main search thread (and on every thread that is no helper), 1 ..
// on the helpers; set once when a helper starts.
extern QV_THREAD_LOCAL int search_thread_index;
inline bool is_main_search_thread() {
    return search_thread_index == 0;
}
// One more node on this thread's counter; the new count. A relaxed load and
// store rather than an atomic add: no other thread writes the counter.
inline std::uint64_t count_node(std::atomic<std::uint64_t>& counter) {
    const std::uint64_t n = counter.load(std::memory_order_relaxed) + 1;
    counter.store(n, std::memory_order_relaxed);
    return n;
}

// ---- The clock of the running search: the main search thread's alone.
extern std::int64_t search_start_clock;  // milliseconds (clock_ms) when think began
extern std::int64_t last_clock;          // milliseconds at the last time check
extern int elapsed_cs;                   // centiseconds since search_start_clock

// Shared with the input threads while a search runs.
extern std::atomic<bool> stop_search;             // ask the running search to stop
extern std::atomic<bool> time_limited;            // obey time_budget; stored release, read acquire
extern std::atomic<int> time_budget;              // centiseconds for this move
extern std::atomic<bool> post_thinking;           // print thinking lines
constexpr int UNLIMITED_TIME_BUDGET = 259200000;  // 30 days, centiseconds
// A timed search stops at once when the clock (clock_ms) reaches this value,
// whatever the budget says; written before time_limited is set (milliseconds).
extern std::atomic<std::int64_t> hard_deadline_ms;
constexpr std::int64_t NO_DEADLINE = INT64_MAX;  // hard_deadline_ms of a search without one
// The search stops once its nodes, summed over the search threads, reach this
// many (set by the front end before think; every search thread checks after
// every child of the full-width search and every 1024 capture-search nodes);
// NO_NODE_LIMIT: none.
extern std::uint64_t node_limit;
constexpr std::uint64_t NO_NODE_LIMIT = UINT64_MAX;  // node_limit of a search without one

// The nodes of the running or the last search, summed over its threads.
struct NodeCounts {
    std::uint64_t moves;     // move_nodes
    std::uint64_t captures;  // capture_nodes
};
NodeCounts search_node_counts();
std::uint64_t search_nodes();  // moves + captures of search_node_counts

// Written by the main search thread alone (helpers keep their own best moves).
// The root's best move: root_moves[0].move once an iteration is complete;
// after think() returns true, the move to play.
extern Move best_move;
extern int report_depth;  // depth of the iteration in progress, plies
extern int max_depth;     // deepest iteration, plies (default 32); set between searches
constexpr int DEFAULT_MAX_DEPTH = 32;  // max_depth when no depth limit is set, plies
constexpr int MIN_SEARCH_DEPTH = 2;    // plies think always completes before it may stop

// Refreshes last_clock and elapsed_cs from the clock.
void update_elapsed();
// Clock limits of a timed search, compared in 64 bits (the default budget times
// three does not fit 32 bits).
bool search_time_exceeded();     // elapsed_cs > 3 * time_budget: cut the search off
bool iteration_time_exceeded();  // elapsed_cs > 3 * time_budget / 5: start no new iteration
bool deadline_passed();          // last_clock has reached hard_deadline_ms
// The nodes of this search, over all its threads, have reached node_limit.
inline bool node_limit_reached() {
    return node_limit != NO_NODE_LIMIT && search_nodes() >= node_limit;
}
// For long runs of captures: reads the clock (on the main search thread) when a
// timed search has a deadline and sets stop_search once it, or node_limit, has
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
// [ply]: the quiet moves that last caused a cutoff there, newest in killer_1;
// 0 = none. Each search thread its own.
extern QV_THREAD_LOCAL Move killer_1[MAX_PLY], killer_2[MAX_PLY], killer_3[MAX_PLY];
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
// Searches the position for the side to move with every search thread; false
// when it has no legal move. When helper threads took part, stop_search is
// left set (it is how they were told to stop).
bool think();
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
extern int syzygy_probe_depth;       // least remaining depth of a probe in the search, plies
                                     // (default 1); set while no search runs
extern bool syzygy_fifty_move_rule;  // cursed wins and blessed losses count as draws (default
                                     // true); set while no search runs
// Probes in the search that the tables answered, summed over the search threads
// (each adds with a relaxed fetch_add; a probe is rare beside a node); reset by think.
extern std::atomic<std::uint64_t> tb_hits;
constexpr int MIN_SYZYGY_PROBE_DEPTH = 1;    // the least syzygy_probe_depth offered, plies
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
// The start of think: tb_hits from 0 and, when the tables cover the root and
// rank its moves, the legal root list cut to the best-ranked moves; returns
// the count of moves left.
int restrict_root_moves(MoveEntry* list, int count);
// The score a report shows for a root score s of this search: the tables'
// result when they ranked the root, unless s is a mate.
int reported_score(int s);

// ---- The search's result: the root moves. Each iteration searches line 1
// over the root moves, line k over them less the first moves of lines 1 ..
// k - 1 (MultiPV). After a complete iteration root_moves holds every root move
// searched, the lines' first moves first, best first; best_move is the first.
// Written by the main search thread, read between searches or by the reports.
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
extern RootMove root_moves[MOVE_LIST_CAPACITY];
extern int root_move_count;        // entries of root_moves of the running or the last search
constexpr int MAX_MULTI_PV = 256;  // the most lines MultiPV offers
extern int multi_pv;  // lines to search (1 .. MAX_MULTI_PV, default 1); set between searches
// The root moves the front end allows the next search (UCI's searchmoves,
// xboard's exclusions): with restricted set, only the legal moves of moves
// are searched (none: the search finds no move). Set between searches.
struct RootMoveSet {
    bool restricted = false;
    int count = 0;
    Move moves[MOVE_LIST_CAPACITY];
};
extern RootMoveSet allowed_root_moves;
// A mate for the side to move within this many plies ends the search once an
// iteration proves it (UCI's "go mate N": 2N - 1 plies); 0: no such limit.
// Set between searches.
extern int mate_limit_plies;
// Permille of the transposition table's sampled entries written since the
// last aging, that is, by this search.
int tt_hashfull();

// ---- Thinking output. The search reports through search_report; the front end
// points it at the form its interface reads.
struct SearchReport {
    // A root move became the best: iteration depth, score, centiseconds, nodes
    // (over all search threads), and the principal variation that starts with
    // that move.
    void (*new_best)(int depth, int score, int elapsed_cs, std::uint64_t nodes, const Move* pv,
                     int length);
    // An iteration completed: depth, deepest ply, score, centiseconds, nodes.
    void (*iteration_done)(int depth, int sel_depth, int score, int elapsed_cs,
                           std::uint64_t nodes);
    // An iteration was not searched: the table holds its score and move.
    void (*table_result)(int depth, int score, Move move);
    // The front end played a move from its opening book.
    void (*book_move)(Move move);
    // With several lines: an iteration completed; lines are its root moves
    // best first (count of them), each with its score, deepest ply and variation.
    void (*lines_done)(int depth, const RootMove* lines, int count, int elapsed_cs,
                       std::uint64_t nodes);
    // After the first second of a search: the main thread starts on the root
    // move with this number (1 = the first searched in the line).
    void (*current_move)(Move move, int number);
    // After the first second, at most once a second: the table's use (tt_hashfull) and nodes.
    void (*progress)(int hashfull, std::uint64_t nodes);
};
constexpr std::int64_t PROGRESS_DELAY_MS = 1000;  // the reports of a long search begin, and repeat
extern const SearchReport console_report;  // the console's lines, scores as the search has them
extern const SearchReport* search_report;  // the one in use; never null

// ---- Search threads. think() runs on the calling thread, the main search
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
// Inside the search: think starts the helpers on its position and its root
// moves and stops them before it returns (leaving stop_search set);
// tt_clear_all has them clear their caches before their next search; a helper
// runs helper_search on its copy of the root position and root moves.
void start_helpers(const MoveEntry* root_list, int count);
void finish_helpers();
void clear_helper_caches();
void helper_search(int index, const MoveEntry* root_list, int count);

// Inside the search, the main thread's root records (root_moves):
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
