// The state both protocol drivers share and the actions they both take: a
// new game, the table's size, the book's answer, one search from one request,
// a ponder hit and mate distances (the options are in options.cpp).
#include "frontend/session.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <thread>
#include <vector>

#include "book/book.h"
#include "platform/platform.h"
#include "tablebase/tablebase.h"

bool book_enabled = true;
bool ponder_enabled = false;
std::atomic<bool> pondering{false};
Move ponder_move = 0;
std::atomic<Move> ponder_hit_move{0};
bool chess960_games = false;
int multi_pv = 1;
bool show_wdl = false;
bool limit_strength = false;
int playing_elo = MAX_PLAYING_ELO;

namespace {

bool ended = false;                  // the driver's loop is to end (driver thread)
int exit_status = EXIT_STATUS_QUIT;  // the process's status once it has ended
MessageHook message_hook = nullptr;  // how the driver shows a message; nullptr: as it is

std::atomic<bool> thinking_stopped{false};  // stop_thinking since the search began (any thread)

constexpr unsigned MEGABYTE = 1048576;

}  // namespace

void reset_session_state() {
    book_enabled = book_settings.enabled;
    ponder_enabled = false;
    pondering.store(false);
    ponder_move = 0;
    ponder_hit_move.store(0);
    chess960_games = false;
    castling_notation = CASTLING_AS_KING_MOVE;
}

bool game_has_room(int plies) {
    return position.game_ply + plies <= MAX_GAME_PLY;
}

bool book_may_answer() {
    return book_enabled && position.game_ply < BOOK_HORIZON_PLIES && multi_pv == 1;
}

void begin_session() {
    ended = false;
    exit_status = EXIT_STATUS_QUIT;
}

void end_session(int status) {
    ended = true;
    exit_status = status;
}

bool session_ended() {
    return ended;
}

int session_exit_status() {
    return exit_status;
}

void set_message_hook(MessageHook hook) {
    message_hook = hook;
    set_book_message_hook(hook);
}

void tell_user(const char* format, ...) {
    if (options_at_start_up) return;
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    // Any length: messages may carry paths.
    const int length = std::vsnprintf(nullptr, 0, format, args);
    std::vector<char> text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    va_end(args);
    if (message_hook != nullptr)
        message_hook(text.data());
    else
        print_line("%s\n", text.data());
}

void new_game() {
    clear_time_control();
    seed_strength_draws(0);
    init_position();
    tt_clear_all();
}

void set_up_start() {
    init_position();
    if (chess960_games) set_chess960(true);
}

bool set_up_fen(const char* fen, char* dropped_castling) {
    const bool was_chess960 = position.chess960;
    set_chess960(chess960_games);  // how the castling field is read
    if (set_position_from_fen(fen, dropped_castling)) return true;
    set_chess960(was_chess960);
    return false;
}

HashResize resize_hash(long megabytes, TableResizer resize) {
    const long wanted = std::clamp<long>(megabytes, MIN_HASH_MEGABYTES, MAX_HASH_MEGABYTES);
    const std::uint64_t entries = static_cast<std::uint64_t>(wanted) * TT_ENTRIES_PER_MEGABYTE;
    if (entries == tt_entry_count) return HashResize::SAME_SIZE;
    if (resize(entries)) return HashResize::RESIZED;
    tell_user("not enough memory for a hash table of %ld MB; the table keeps its %u MB", wanted,
              hash_megabytes());
    return HashResize::KEPT_OLD_SIZE;
}

void set_thread_count(int count, const char* asked_as) {
    const int wanted = std::clamp(count, 1, MAX_SEARCH_THREADS);
    const int got = set_search_threads(wanted);
    if (got != wanted)
        tell_user("%s %d: only %d could be started", asked_as, count, got);
    else if (wanted != count)
        tell_user("%s %d: taken as %d (1 to %d)", asked_as, count, got, MAX_SEARCH_THREADS);
}

unsigned hash_megabytes() {
    return static_cast<unsigned>(static_cast<std::uint64_t>(tt_entry_count) * sizeof(TtEntry) /
                                 MEGABYTE);
}

Move book_answer(BookMoveReport show) {
    if (!book_may_answer()) return 0;
    const Move m = probe_book();
    if (m != 0 && !pondering.load() && post_thinking.load()) show(m);
    return m;
}

void play_move(Move m) {
    tt_clear_entry();
    make_move(m);
}

Move expected_move() {
    const Move m = tt_probe_move();
    return m != 0 && is_legal(m) ? m : 0;
}

void stop_thinking() {
    thinking_stopped.store(true);
    stop_search.store(true);
}

bool tablebases_in_use() {
    return tablebase_pieces > 0;
}

namespace {

// The limits of the search a request asks for; the time control's own
// state (the clock, the moves counted) as it is to start.
SearchLimits limits_of(const SearchRequest& r) {
    if (r.limits != nullptr)
        set_move_limits(*r.limits);
    else
        budget_half_moves = position.game_ply;
    SearchLimits limits;
    if (r.kind == SearchKind::OWN_MOVE) {
        plan_move_time(r.arrival_ms);
        limits.timed = true;
        limits.time_budget_cs = time_budget.load();
        limits.deadline_ms = hard_deadline_ms.load();
    }
    if (r.limits != nullptr && r.limits->nodes > 0)
        limits.nodes = static_cast<std::uint64_t>(r.limits->nodes);
    limits.depth = max_depth;
    // mate_in_moves counts a mate at ply 2N - 1 as a mate in N moves.
    const int mate_moves = std::clamp(r.mate_moves, 0, (MATE_SCORE - MATE_BOUND + 1) / 2);
    limits.mate_plies = mate_moves > 0 ? 2 * mate_moves - 1 : 0;
    limits.lines = multi_pv;
    if (r.root_moves != nullptr) limits.allowed = *r.root_moves;
    return limits;
}

// The move after move that the table expects, when legal.
Move predicted_reply(Move move) {
    make_move(move);
    const Move reply = expected_move();
    unmake_move();
    return reply;
}

}  // namespace

// ---- A strength people can play against.

namespace {
std::uint64_t draw_state = 0;  // splitmix64 state of the weakened search's draws; driver thread
bool draws_seeded = false;     // draw_state was given a seed (tests) or drawn one; driver thread
}  // namespace

void seed_strength_draws(std::uint64_t seed) {
    draws_seeded = seed != 0;
    draw_state = seed;
}

namespace {

// A number in [0, 1), seeded from the clock when no seed was given.
double next_draw() {
    if (!draws_seeded)
        seed_strength_draws(static_cast<std::uint64_t>(
                                std::chrono::steady_clock::now().time_since_epoch().count()) |
                            1);
    std::uint64_t z = (draw_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / 9007199254740992.0;  // 53 bits
}

// The engine's own moves and pondering play at playing_elo; analysis keeps
// its full strength.
bool weakened(const SearchRequest& r) {
    return limit_strength && playing_elo < MAX_PLAYING_ELO && r.kind != SearchKind::INFINITE;
}

void weaken(SearchLimits& limits, const PlayingStrength& s) {
    limits.nodes = std::min(limits.nodes, s.nodes);
    limits.depth = std::min(limits.depth, s.depth);
    limits.lines = std::max(limits.lines, s.lines);
}

void no_line(const SearchInfo&) {}
void no_lines(const SearchInfo*, int) {}
// A weakened search shows only the line it plays, once it has chosen it.
const SearchReport silent_report = {no_line, no_line, no_line, no_lines,
                                    no_line, no_line, no_lines};

// The line played, drawn among the last complete iteration's lines and shown
// alone; the search's best move when no iteration was complete.
SearchResult play_drawn_line(const RootMoves& found, const PlayingStrength& s,
                             const SearchReport& report) {
    SearchResult result;
    result.move = found.best();
    result.ponder = found.ponder();
    const std::vector<RootMove>& lines = found.complete_lines;
    if (lines.empty()) return result;
    const RootMove& line = lines[static_cast<std::size_t>(
        choose_line(lines.data(), static_cast<int>(lines.size()), s, next_draw()))];
    SearchInfo info;
    info.depth = line.depth;
    info.sel_depth = line.sel_depth;
    info.score = line.score;
    info.nodes = found.nodes.moves + found.nodes.captures;
    info.time_ms = std::max<std::int64_t>(found.time_ms, 0);
    info.nps =
        info.nodes * 1000 / static_cast<std::uint64_t>(std::max<std::int64_t>(info.time_ms, 1));
    info.pv = line.pv;
    info.pv_length = line.pv_length;
    report.new_best(info);
    result.move = line.move;
    result.ponder = 0;
    if (line.pv_length >= 2) {
        make_move(line.move);
        if (is_legal(line.pv[1])) result.ponder = line.pv[1];
        unmake_move();
    }
    return result;
}

// A person takes a while over a move: an answer found early waits until a
// drawn share (a third to four fifths) of the move's budget has passed, or
// the user asks for the move. Moves without a clock are not held.
void take_natural_time(const SearchLimits& limits, std::int64_t arrival_ms) {
    if (!limits.timed || limits.time_budget_cs >= UNLIMITED_TIME_BUDGET) return;
    const double share = 0.33 + 0.47 * next_draw();
    std::int64_t until = arrival_ms + static_cast<std::int64_t>(limits.time_budget_cs * 10 * share);
    if (limits.deadline_ms != NO_DEADLINE)
        until = std::min(until, arrival_ms + (limits.deadline_ms - arrival_ms) / 2);
    while (!thinking_stopped.load()) {
        const std::int64_t left = until - clock_ms();
        if (left <= 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::int64_t>(left, 10)));
    }
}

}  // namespace

SearchResult run_search(const SearchRequest& r) {
    SearchLimits limits = limits_of(r);
    const bool weak = weakened(r);
    const PlayingStrength strength = playing_strength(playing_elo);
    if (weak) weaken(limits, strength);
    clear_search_signals();
    thinking_stopped.store(false);
    pondering.store(r.kind == SearchKind::PONDER);
    const bool listening = r.listener != nullptr && listen(r.listener);
    SearchResult result;
    if (r.book && r.root_moves == nullptr) result.move = book_answer(r.book_report);
    if (result.move != 0) {
        result.ponder = predicted_reply(result.move);
    } else {
        // Several lines to choose among are searched without a word; one is shown as usual.
        const bool choosing = weak && limits.lines > 1;
        const RootMoves found = search(limits, choosing ? silent_report : *r.report);
        if (choosing) {
            result = play_drawn_line(found, strength, *r.report);
        } else {
            result.move = found.best();
            result.ponder = found.ponder();
        }
        if (weak && r.kind == SearchKind::OWN_MOVE) take_natural_time(limits, r.arrival_ms);
        if (result.move != 0) age_transposition_table();
    }
    result.found = result.move != 0;
    if (listening && r.answer_waits != nullptr && r.answer_waits()) wait_until_heard();
    stop_listening();
    pondering.store(false);
    return result;
}

bool ponder_hit(std::int64_t arrival_ms) {
    if (!pondering.exchange(false)) return false;
    plan_move_time(arrival_ms);
    search_ponder_hit(time_budget.load(), hard_deadline_ms.load());
    ponder_hit_move.store(ponder_move);
    return true;
}

// ---- Root moves left out of the search.

namespace {

struct Exclusions {
    std::uint64_t key = 0;  // the position's key when they were given
    int ply = -1;           // and its game_ply; -1: none given
    RootMoveSet allowed;    // restricted: the moves still searched
};
Exclusions exclusions;  // driver thread

bool exclusions_hold_here() {
    return exclusions.ply == position.game_ply && exclusions.key == position.state.key;
}

// Every legal move into set.
void allow_all(RootMoveSet& set) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    set.count = filter_legal(generate_moves(list), list);
    for (int i = 0; i < set.count; ++i) set.moves[i] = list[i].move;
}

}  // namespace

void forget_exclusions() {
    exclusions.ply = -1;
}

const RootMoveSet* root_moves_allowed_here() {
    return exclusions_hold_here() && exclusions.allowed.restricted ? &exclusions.allowed : nullptr;
}

void exclude_root_moves(const char* text, bool exclude) {
    if (!exclusions_hold_here()) exclusions = {position.state.key, position.game_ply, {}};
    RootMoveSet& set = exclusions.allowed;
    while (*text == ' ') ++text;
    if (starts_with(text, "all")) {
        set.restricted = exclude;
        set.count = 0;
        return;
    }
    const Move m = looks_like_move(text) ? parse_move_text(text) : 0;
    if (m == 0) return;
    if (!set.restricted) {
        if (!exclude) return;
        allow_all(set);
        set.restricted = true;
    }
    Move* end = set.moves + set.count;
    Move* found = std::find(set.moves, end, m);
    if (exclude && found != end) {
        std::copy(found + 1, end, found);
        --set.count;
    } else if (!exclude && found == end) {
        set.moves[set.count++] = m;
    }
}

// ---- Endgame tablebases.

std::string configured_syzygy_path;

bool load_tablebases(const std::string& path) {
    const bool new_path = path != tablebase_path();
    tablebase_load(path.c_str());
    return new_path;
}

namespace {

constexpr std::size_t DAMAGED_NAMES_SHOWN = 8;  // damaged files named; the rest are counted

// "; damaged, left out: A B C and N more", or "" when every file is sound.
std::string damaged_text() {
    const std::vector<std::string>& files = tablebase_damaged_files();
    if (files.empty()) return {};
    std::string text = "; damaged, left out:";
    for (std::size_t i = 0; i < files.size() && i < DAMAGED_NAMES_SHOWN; ++i)
        text += " " + files[i];
    if (files.size() > DAMAGED_NAMES_SHOWN)
        text += " and " + std::to_string(files.size() - DAMAGED_NAMES_SHOWN) + " more";
    return text;
}

}  // namespace

std::string tablebases_text() {
    const std::string& path = tablebase_path();
    const std::string damaged = damaged_text();
    if (path.empty()) return "Syzygy tablebases: off";
    if (!TABLEBASES_BUILT)
        return "Syzygy tablebases: not supported by this build, " + path + " not read";
    if (tablebase_pieces > 0)
        return "Syzygy tablebases: up to " + std::to_string(tablebase_pieces) + " pieces from " +
               path + damaged;
    return "Syzygy tablebases: none found in " + path + damaged;
}

bool tablebases_worth_telling() {
    return tablebase_pieces > 0 || !tablebase_damaged_files().empty();
}

void tell_tablebases() {
    tell_user("%s", tablebases_text().c_str());
}
