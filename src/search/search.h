// The search, as the other layers call it: one call, search(), takes the
// limits of a search as a value, reports each line of its thinking as a
// SearchInfo record and returns the root moves, best first. What stays shared
// while a search runs is what must: stop_search, the ponder hit
// (search_ponder_hit) and the transposition table. Between searches the
// front end sizes and clears the table, sets the threads and the tablebase
// settings. The search's own state (its workers, one per thread, the clock,
// the ordering and the searches) is in search/internal.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "board/board.h"

// ---- Score scale (centipawns, side to move's view).
constexpr int INFINITE_SCORE = 32000;  // above every score: the widest window's bounds
constexpr int MATE_SCORE = 30000;      // mated at ply p scores p - MATE_SCORE
constexpr int MATE_BOUND = 29000;      // |score| >= MATE_BOUND is a forced mate

// Shared with the input threads while a search runs.
extern std::atomic<bool> stop_search;                // ask the running search to stop
constexpr int UNLIMITED_TIME_BUDGET = 259200000;     // 30 days, centiseconds
constexpr std::int64_t NO_DEADLINE = INT64_MAX;      // the deadline of a search without one
constexpr std::uint64_t NO_NODE_LIMIT = UINT64_MAX;  // the node limit of a search without one

// The nodes of a search, summed over its threads.
struct NodeCounts {
    std::uint64_t moves;     // moves searched by the full-width search
    std::uint64_t captures;  // capture-search nodes
};

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
    int depth = 0;           // the iteration that last completed its line, plies; 0: none
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
    // With several lines: those of the last completed iteration, best first,
    // with their exact scores; empty with one line or none completed.
    std::vector<RootMove> complete_lines;
    Move best() const { return moves.empty() ? 0 : moves[0].move; }
    // The reply the search expects to the move to play; 0: none.
    Move ponder() const { return moves.empty() || moves[0].pv_length < 2 ? 0 : moves[0].pv[1]; }
};

// ---- A strength people can play against: a search with fewer nodes, a
// shallower horizon and several lines, of which the move played is drawn
// with a chance that falls with the line's distance below the best.
constexpr int MIN_PLAYING_ELO = 1350;  // the weakest strength offered, on the rating scale
constexpr int MAX_PLAYING_ELO = 2030;  // the full engine on that scale: no weakening
struct PlayingStrength {
    std::uint64_t nodes = NO_NODE_LIMIT;  // the most nodes a move may take
    int depth = DEFAULT_MAX_DEPTH;        // the deepest iteration, plies
    int lines = 1;                        // lines searched to choose among
    int temperature_cp = 0;               // of the draw among them, centipawns; 0: the best
    int margin_cp = 0;                    // a line this far below the best is never played
};
// The limits and the choice for elo (clamped to MIN_PLAYING_ELO ..
// MAX_PLAYING_ELO); at MAX_PLAYING_ELO the search is the full one.
PlayingStrength playing_strength(int elo);
// The line of lines (best first, exact scores, count at least 1) to play: each
// within margin_cp of the best is drawn with weight exp((score - best) /
// temperature_cp) by draw, a number in [0, 1); a mate found for the side to
// move is always played. Returns its index.
int choose_line(const RootMove* lines, int count, const PlayingStrength& strength, double draw);

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
    bool scored = true;       // false: stopped before any search of the line completed; no score
    std::uint64_t nodes = 0;  // over all search threads
    std::uint64_t nps = 0;    // nodes per second so far (the time taken as at least 1 ms)
    // Permille of the table written by this search: on the progress reports,
    // and on an iteration's last line after the first second; -1: not said.
    int hashfull = -1;
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
    // The search stopped inside an iteration: its lines as they stand, the
    // move to play first, each at the depth that last completed it.
    void (*stopped)(const SearchInfo* lines, int count);
    // With several lines, after the first second: a line other than the last
    // completed its iteration (the whole iteration's lines follow at its end).
    // nullptr: the lines are reported only when the iteration is done.
    void (*line_done)(const SearchInfo& info) = nullptr;
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

// ---- The transposition table, shared by every search thread without locks.
// An entry is two 64-bit words, each read and written whole (relaxed atomics).
// payload: bits 0-17 score + 32000, 18-25 depth, 30-31 bound (the data word),
// 32-63 the move. check: the position's key, its low 16 bits replaced by the
// generation stamp, XOR payload. A reader takes an entry as the position's only
// when the key it gives back matches in bits 16-63, so words of two different
// stores never pass for a hit; the bucket narrows the low bits further (a
// power-of-two table of 4 MB or more fixes them all). The age is not stored:
// it is AGE_FRESH less the agings since the stamp, down to 0.
struct TtEntry {
    std::atomic<std::uint64_t> check;
    std::atomic<std::uint64_t> payload;
};
static_assert(sizeof(TtEntry) == 16, "TtEntry is 16 bytes, four to a 64-byte bucket");

constexpr std::uint64_t DEFAULT_TT_ENTRY_COUNT = 2097152;  // entries of the default 32 MB table
constexpr std::uint64_t TT_ENTRIES_PER_MEGABYTE = 1048576 / sizeof(TtEntry);
// The fewest entries a table is given: one megabyte.
constexpr std::uint64_t MIN_TT_ENTRY_COUNT = TT_ENTRIES_PER_MEGABYTE;
// Set between searches (start-up, a new size); read by every search thread.
extern std::uint64_t tt_entry_count;  // entries of the table, whole buckets of four (any number)
// Allocates the transposition table (at least MIN_TT_ENTRY_COUNT entries,
// rounded down to whole buckets) and this thread's two evaluation caches
// zero-filled from the current counts; false on failure. Not while a search runs.
bool allocate_tables();
// A new transposition table of entries entries (as allocate_tables rounds),
// empty; false, with the table in use kept as it was, when the memory is not
// there. Not while a search runs.
bool resize_transposition_table(std::uint64_t entries);
// The move stored for the current position, 0 for none (any thread that
// owns the position; the move is the table's, not checked for legality).
Move tt_probe_move();
// Between searches only (the front end's operations on the game board):
void tt_clear_entry();
// Every entry one age older: one step of a generation counter, so the table
// itself is not swept (a slice of it is re-stamped so that the counter never
// wraps onto an old entry's stamp).
void age_transposition_table();
// The transposition table and the evaluation caches of every search thread.
void tt_clear_all();

// ---- Endgame tablebase settings (the probes: tablebase/tablebase.h).
extern int syzygy_probe_depth;             // least remaining depth of a probe in the search, plies
                                           // (default 1); set while no search runs
extern bool syzygy_fifty_move_rule;        // cursed wins and blessed losses count as draws (default
                                           // true); set while no search runs
constexpr int MIN_SYZYGY_PROBE_DEPTH = 1;  // the least syzygy_probe_depth offered, plies
constexpr int MAX_SYZYGY_PROBE_DEPTH = 100;  // the greatest, plies

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
