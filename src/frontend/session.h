// The engine's side of a game, the same under both protocols: the state the
// xboard and UCI drivers share and the actions they both take. A driver
// parses its own commands, formats its own lines and says what each command
// does while a search runs; everything else is one call into here.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "board/board.h"
#include "frontend/io.h"
#include "frontend/thinking.h"
#include "frontend/timeman.h"
#include "search/search.h"

// ---- State both drivers share (driver thread unless said otherwise).
extern bool book_enabled;    // the books may answer (configuration; UCI's OwnBook, off in UCI)
extern bool ponder_enabled;  // the engine may think on the opponent's time ("hard", UCI's Ponder)
// A ponder search is being prepared or runs; the driver sets it, a ponder hit
// on the reader thread clears it.
extern std::atomic<bool> pondering;
extern Move ponder_move;  // the predicted reply pondered on, 0 = none; set before listening
// ponder_move once the opponent has played it (set by the reader thread at the
// hit), else 0; the driver reads it after listening has ended.
extern std::atomic<Move> ponder_hit_move;
// The games are Chess960 (UCI's UCI_Chess960; xboard's "variant fischerandom"
// until "new"): every position set up is one, its castling read as Chess960's.
extern bool chess960_games;
extern int multi_pv;  // lines a search reports (MultiPV), 1 .. MAX_MULTI_PV; driver thread
// UCI's info lines carry win/draw/loss permille (UCI_ShowWDL); driver thread.
extern bool show_wdl;
// The engine's own moves (and pondering) play at playing_elo (UCI_LimitStrength); driver thread.
extern bool limit_strength;
extern int playing_elo;  // UCI_Elo, MIN_PLAYING_ELO .. MAX_PLAYING_ELO; driver thread
// The weakened search's draws start from seed (tests); a new game draws a
// seed from the clock, as does the first draw without one.
void seed_strength_draws(std::uint64_t seed);

// The start-up values of the state above; the books on or off as the
// configuration (book_settings) has them.
void reset_session_state();

// ---- What the game leaves room for.
// The game may grow by plies more moves and still leave the history room for a search.
bool game_has_room(int plies);
// The book may answer: it is on, the game is within its horizon
// (BOOK_HORIZON_PLIES) and one line is asked for (several are analysis).
bool book_may_answer();

// ---- The end of a protocol session: "quit" or the end of input (status 0).
// The driver's loop ends after the command in hand; main returns the status.
constexpr int EXIT_STATUS_QUIT = 0;       // process exit status after "quit" or end of input
constexpr int EXIT_STATUS_NO_MEMORY = 1;  // process exit status when start-up has no tables
void begin_session();                     // a driver starts: not ended, status 0
void end_session(int exit_status);
bool session_ended();
int session_exit_status();

// Messages to the user, each one line without its newline: the driver shows
// them its own way ("telluser ...", "info string ..."); the book's messages
// go the same way. Without a hook they are printed as they are.
using MessageHook = void (*)(const char* text);
void set_message_hook(MessageHook hook);
void tell_user(const char* format, ...) QV_PRINTF_FORMAT(1, 2);

// ---- Actions.
// A new game from the start position: no time control but the default depth,
// all three tables emptied.
void new_game();

// Set-up as chess960_games asks: the start position, or fen (false, and the
// position as it was, when the text is refused). Without chess960_games the
// FEN's castling decides: rooks or a king off their squares make it Chess960.
// The castling letters dropped go to dropped_castling (set_position_from_fen).
void set_up_start();
bool set_up_fen(const char* fen, char* dropped_castling = nullptr);

// What became of the transposition table when it was given a new size.
enum class HashResize {
    RESIZED,        // it has the new size, empty
    SAME_SIZE,      // it had that size already: kept, with what it has learnt
    KEPT_OLD_SIZE,  // no memory for the new size: the old table kept as it was (the user is told)
};
constexpr int MIN_HASH_MEGABYTES = 1;      // the smallest table the options offer
constexpr int MAX_HASH_MEGABYTES = 65536;  // the largest (64 GB)
// resize_transposition_table, or a test's stand-in.
using TableResizer = bool (*)(std::uint64_t entries);
// Sizes the table to megabytes, taken as the nearer end outside
// MIN_HASH_MEGABYTES .. MAX_HASH_MEGABYTES.
HashResize resize_hash(long megabytes, TableResizer resize = resize_transposition_table);
unsigned hash_megabytes();  // the size of the table in use

// Searches with count threads (1 .. MAX_SEARCH_THREADS, the nearer end for
// others); tells the user, naming the number as asked_as ("Threads", "cores"),
// when it was taken as another or fewer could be had. Not while a search runs.
void set_thread_count(int count, const char* asked_as);

// The book's move for the position when the book may answer, else 0. With
// thinking output on and no ponder search in preparation it is shown
// through show.
using BookMoveReport = void (*)(Move move);
Move book_answer(BookMoveReport show);

// A game move, legal here: the table's entry of the position before it is
// cleared, then it is played.
void play_move(Move m);
// The table's move for the side to move when it is legal here, else 0: the
// move the engine expects.
Move expected_move();
// The running search, if any, stops (any thread).
void stop_thinking();
// The tablebases answer probes: reports may show their hits.
bool tablebases_in_use();

// One search, as both drivers start it.
enum class SearchKind {
    OWN_MOVE,  // the engine's move, on its clock from arrival_ms
    PONDER,    // on the opponent's time: untimed until a ponder hit
    INFINITE,  // analysis: untimed, until the driver's listener stops it
};
struct SearchRequest {
    SearchKind kind = SearchKind::OWN_MOVE;
    // This search's limits; nullptr: the time control in force (xboard's
    // level, st, sd), whose level counts the game's moves.
    const MoveLimits* limits = nullptr;
    std::int64_t arrival_ms = 0;  // clock_ms() when the line that asked for the move came
    Listener listener = nullptr;  // hears the input lines during the search; nullptr: none
    // After the search, true when the driver's answer waits for the line that
    // ends listening (nullptr: it never does).
    bool (*answer_waits)() = nullptr;
    const SearchReport* report = &console_report;       // the thinking lines' form
    BookMoveReport book_report = print_book_move_line;  // how a book move is shown
    bool book = false;                                  // the book may answer instead of the search
    // The root moves this search may play (UCI's searchmoves, xboard's
    // exclusions); nullptr: every legal move. The book does not answer a restricted search.
    const RootMoveSet* root_moves = nullptr;
    int mate_moves = 0;  // the search ends once it has proved a mate in this many moves; 0: no
};
struct SearchResult {
    bool found = false;  // a move was chosen (book or search); false: no legal move
    Move move = 0;       // the move chosen, 0 when none
    Move ponder = 0;     // the reply expected to it, legal; 0 when none
};
SearchResult run_search(const SearchRequest& request);

// On the reader thread, when the opponent has played ponder_move: the ponder
// search becomes the engine's own, its clock started at arrival_ms. False
// when no ponder search runs.
bool ponder_hit(std::int64_t arrival_ms);

// ---- The root moves a search may play: those xboard's "exclude MOVE",
// "exclude all", "include MOVE" and "include all" leave in, for the engine's
// own move and analysis (UCI's searchmoves come with the request). They
// belong to the position they were given in: a move, an undo, a new game or
// a new position forgets them (forget_exclusions). Moves that are not legal
// are ignored.
void exclude_root_moves(const char* text, bool exclude);  // "all" or a move text
void forget_exclusions();
// The moves a search of the current position may play; nullptr: every legal one.
const RootMoveSet* root_moves_allowed_here();

// ---- Endgame tablebases.
// The folders start-up loads: the configuration file's <syzygy> element, set
// through SyzygyPath at start-up; "" for none. Driver thread.
extern std::string configured_syzygy_path;
// Loads the Syzygy tables of path (folders separated by ':', "" for none) as
// tablebase_load does; true when path differs from the one loaded before.
// Only while no search runs.
bool load_tablebases(const std::string& path);
// Tells the user what the tables in force cover, and the damaged files left out.
void tell_tablebases();
std::string tablebases_text();    // what tell_tablebases says
bool tablebases_worth_telling();  // tables found, or damaged files left out

// ---- Options both protocols offer, one entry each; a protocol's table names
// the ones it shows.
enum class OptionType { SPIN, CHECK, STRING, BUTTON };
struct EngineOption {
    const char* name;  // as the interfaces show it
    OptionType type;
    int min, max;            // SPIN: the range offered
    std::string (*value)();  // the value in force as text ("64", "true", a path); nullptr: BUTTON
    void (*set)(const std::string& value);  // from the interface's text; tells what it refuses
    bool available = true;  // false: this build lacks it; no protocol shows it or takes it
};
extern const EngineOption HASH_OPTION;        // table size in megabytes
extern const EngineOption THREADS_OPTION;     // search threads, 1 (the default) .. 256
extern const EngineOption MULTI_PV_OPTION;    // lines the search reports, 1 (the default) .. 256
extern const EngineOption CLEAR_HASH_OPTION;  // empties all three tables
extern const EngineOption PONDER_OPTION;      // ponder_enabled
extern const EngineOption OWN_BOOK_OPTION;    // book_enabled, reading the books on first use
extern const EngineOption BOOK_FILE_OPTION;   // a Polyglot book's path, empty for none
extern const EngineOption CHESS960_OPTION;    // chess960_games, castling as the king takes its rook
extern const EngineOption SHOW_WDL_OPTION;    // show_wdl, off by default
extern const EngineOption LIMIT_STRENGTH_OPTION;  // limit_strength, off by default
extern const EngineOption ELO_OPTION;             // playing_elo, MAX_PLAYING_ELO by default
// With the Fathom library only:
extern const EngineOption SYZYGY_PATH_OPTION;          // the tables' folders, "" for none
extern const EngineOption SYZYGY_PROBE_DEPTH_OPTION;   // syzygy_probe_depth, plies
extern const EngineOption SYZYGY_50_MOVE_RULE_OPTION;  // syzygy_fifty_move_rule
extern const EngineOption MOVE_OVERHEAD_OPTION;        // move_overhead_ms, 0 (the default) .. 5000
bool option_text_is_on(const std::string& value);      // "true" in any case
// The configuration file's setting of an option at start-up, before the
// tables are made and the books and tablebases read: the option's own setter,
// which then records what start-up puts in force (the table's size, the
// books, the tablebases' folders) and tells the user nothing.
void set_option_at_start_up(const EngineOption& option, const std::string& value);
// Set while set_option_at_start_up runs: the setters record, tell_user says nothing. Driver thread.
extern bool options_at_start_up;
