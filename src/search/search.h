// Search: score scale, shared search state, hash tables, move ordering,
// alpha-beta, capture search, iterative deepening and its thinking output.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/board.h"
#include "eval/cache.h"

// ---- Score scale (centipawns, side to move's view).
constexpr int INFINITE_SCORE = 32000;  // above every score: the widest window's bounds
constexpr int MATE_SCORE = 30000;      // mated at ply p scores p - MATE_SCORE
constexpr int MATE_BOUND = 29000;      // |score| >= MATE_BOUND is a forced mate

// ---- Search-control globals (one search at a time).
constexpr int MAX_PLY = 64;              // slots of the killer tables
extern int search_ply;                   // plies from the root; 0 at the root
extern std::uint32_t move_nodes;         // moves searched by the full-width search
extern std::uint32_t capture_nodes;      // capture-search nodes
extern int sel_depth;                    // deepest ply where the full-width search hit depth 0
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
// The search stops once move_nodes + capture_nodes reach this many nodes (set
// by the front end before think; checked after every child of the full-width
// search and every 1024 capture-search nodes); NO_NODE_LIMIT: none.
extern std::uint64_t node_limit;
constexpr std::uint64_t NO_NODE_LIMIT = UINT64_MAX;  // node_limit of a search without one

extern Move best_move;    // the root's best move; after think() returns true, the move to play
extern int report_depth;  // depth of the iteration in progress, plies
extern int max_depth;     // deepest iteration, plies (default 32)
constexpr int DEFAULT_MAX_DEPTH = 32;  // max_depth when no depth limit is set, plies
constexpr int MIN_SEARCH_DEPTH = 2;    // plies think always completes before it may stop

// Refreshes last_clock and elapsed_cs from the clock.
void update_elapsed();
// Clock limits of a timed search, compared in 64 bits (the default budget times
// three does not fit 32 bits).
bool search_time_exceeded();     // elapsed_cs > 3 * time_budget: cut the search off
bool iteration_time_exceeded();  // elapsed_cs > 3 * time_budget / 5: start no new iteration
bool deadline_passed();          // last_clock has reached hard_deadline_ms
// The nodes of this search have reached node_limit.
inline bool node_limit_reached() {
    return static_cast<std::uint64_t>(move_nodes) + capture_nodes >= node_limit;
}
// For long runs of captures: reads the clock when a timed search has a
// deadline, sets stop_search once it has passed; true when the search must stop.
bool poll_stop();

// ---- Transposition table (the evaluation caches: eval/cache.h).
// What a stored score is: none, the exact score, at least it (a cutoff), at most it.
constexpr int BOUND_NONE = 0, BOUND_EXACT = 1, BOUND_LOWER = 2, BOUND_UPPER = 3;
constexpr int AGE_FRESH = 15;  // age of an entry just written; each aging lowers it by 1

struct TtEntry {
    std::uint64_t key;
    std::uint32_t data;  // bits 0-17 score + 32000, 18-25 depth, 26-29 age, 30-31 bound
    std::uint32_t move;
};
static_assert(sizeof(TtEntry) == 16, "TtEntry is 16 bytes, four to a 64-byte bucket");

constexpr std::uint32_t DEFAULT_TT_ENTRY_COUNT = 2097152;  // entries of the default 32 MB table
extern std::uint32_t tt_entry_count;                       // entries of tt_table, a power of two
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

// Allocates the transposition table and the two evaluation caches zero-filled
// from the current counts; false on failure.
bool allocate_tables();
bool tt_probe(int alpha, int beta, int depth, int& score, Move& move);
void tt_store(int score, int depth, int bound, Move move);
Move tt_probe_move();
void tt_clear_entry();
void age_transposition_table();
void tt_clear_all();  // the transposition table and both evaluation caches

// ---- Move ordering.
constexpr int HASH_MOVE_SCORE = 30000;  // ordering score of the table's move: searched first
// Ordering scores of a quiet move that is the first, second or third killer of its ply.
constexpr int KILLER_1_SCORE = 8500, KILLER_2_SCORE = 8300, KILLER_3_SCORE = 8100;
constexpr int KILLER_LIMIT = 9000;  // a move ordered below this score may become a killer
// [ply]: the quiet moves that last caused a cutoff there, newest in killer_1; 0 = none.
extern Move killer_1[MAX_PLY], killer_2[MAX_PLY], killer_3[MAX_PLY];
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
extern std::uint64_t tb_hits;        // probes in the search that the tables answered; reset by
                                     // think; search thread
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

// ---- Thinking output. The search reports through search_report; the front end
// points it at the form its interface reads.
constexpr int MAX_PV_LENGTH = MAX_SEARCH_PLY + 1;  // moves of a reported variation
struct SearchReport {
    // A root move became the best: iteration depth, score, centiseconds, nodes,
    // and the principal variation that starts with that move.
    void (*new_best)(int depth, int score, int elapsed_cs, std::uint32_t nodes, const Move* pv,
                     int length);
    // An iteration completed: depth, deepest ply, score, centiseconds, nodes.
    void (*iteration_done)(int depth, int sel_depth, int score, int elapsed_cs,
                           std::uint32_t nodes);
    // An iteration was not searched: the table holds its score and move.
    void (*table_result)(int depth, int score, Move move);
    // The front end played a move from its opening book.
    void (*book_move)(Move move);
};
extern const SearchReport console_report;  // the console's lines, scores as the search has them
extern const SearchReport* search_report;  // the one in use; never null
