// The options both protocols offer (and the configuration file sets), one
// entry each: how each reads its text and what it changes.
#include <algorithm>
#include <cctype>
#include <string>

#include "book/book.h"
#include "frontend/session.h"
#include "platform/platform.h"
#include "tablebase/tablebase.h"

bool options_at_start_up = false;

bool option_text_is_on(const std::string& value) {
    const std::string on = "true";
    if (value.size() != on.size()) return false;
    for (std::size_t i = 0; i < on.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(value[i])) != on[i]) return false;
    return true;
}

namespace {

std::string on_or_off(bool on) {
    return on ? "true" : "false";
}

// The option's value as a whole number, or false after telling the user that
// the option needs one of unit (a value such as "2.5" or "3x" is refused).
bool option_number(const std::string& value, const char* option, const char* unit, int& number) {
    if (parse_whole_int(value.c_str(), number)) return true;
    tell_user("%s needs a whole number of %s: \"%s\" refused", option, unit, value.c_str());
    return false;
}

// At start-up the size is only noted: start-up allocates the table.
void set_hash_option(const std::string& value) {
    int megabytes = 0;
    if (!option_number(value, "Hash", "megabytes", megabytes)) return;
    const int wanted = std::clamp(megabytes, MIN_HASH_MEGABYTES, MAX_HASH_MEGABYTES);
    if (wanted != megabytes)
        tell_user("Hash %d: taken as %d (%d to %d MB)", megabytes, wanted, MIN_HASH_MEGABYTES,
                  MAX_HASH_MEGABYTES);
    if (options_at_start_up)
        tt_entry_count = static_cast<std::uint64_t>(wanted) * TT_ENTRIES_PER_MEGABYTE;
    else
        resize_hash(wanted);
}

void set_threads_option(const std::string& value) {
    int count = 0;
    if (option_number(value, "Threads", "threads", count)) set_thread_count(count, "Threads");
}

void set_multi_pv(const std::string& value) {
    int lines = 0;
    if (!option_number(value, "MultiPV", "lines", lines)) return;
    multi_pv = std::clamp(lines, 1, MAX_MULTI_PV);
    if (multi_pv != lines)
        tell_user("MultiPV %d: taken as %d (1 to %d)", lines, multi_pv, MAX_MULTI_PV);
}

// At start-up the switch is the books' setting, which start-up reads them by.
void set_own_book(const std::string& value) {
    if (options_at_start_up) {
        book_settings.enabled = option_text_is_on(value);
        return;
    }
    book_enabled = option_text_is_on(value);
    set_books_enabled(book_enabled);
}

// At start-up the path is noted: start-up reads it with the own books.
void set_book_file(const std::string& value) {
    if (options_at_start_up)
        book_settings.polyglot_path = value;
    else
        load_polyglot_book(value);
}

// Chess960 interfaces write castling as the king taking its own rook; the
// next set-up makes the game.
void set_chess960_games(const std::string& value) {
    chess960_games = option_text_is_on(value);
    castling_notation = chess960_games ? CASTLING_AS_KING_TAKES_ROOK : CASTLING_AS_KING_MOVE;
}

// At start-up the folders are noted: start-up loads them once the books are read.
void set_syzygy_path(const std::string& value) {
    if (options_at_start_up) {
        configured_syzygy_path = value;
        return;
    }
    load_tablebases(value);
    tell_tablebases();
}

void set_probe_depth(const std::string& value) {
    int plies = 0;
    if (!option_number(value, "SyzygyProbeDepth", "plies", plies)) return;
    syzygy_probe_depth = std::clamp(plies, MIN_SYZYGY_PROBE_DEPTH, MAX_SYZYGY_PROBE_DEPTH);
    if (syzygy_probe_depth != plies)
        tell_user("SyzygyProbeDepth %d: taken as %d (from %d to %d plies)", plies,
                  syzygy_probe_depth, MIN_SYZYGY_PROBE_DEPTH, MAX_SYZYGY_PROBE_DEPTH);
}

void set_move_overhead(const std::string& value) {
    int ms = 0;
    if (!option_number(value, "Move Overhead", "milliseconds", ms)) return;
    move_overhead_ms = std::clamp(ms, 0, MAX_MOVE_OVERHEAD_MS);
    if (move_overhead_ms != ms)
        tell_user("Move Overhead %d: taken as %d (0 to %d ms)", ms, move_overhead_ms,
                  MAX_MOVE_OVERHEAD_MS);
}

void set_playing_elo(const std::string& value) {
    int elo = 0;
    if (!option_number(value, "UCI_Elo", "rating points", elo)) return;
    playing_elo = std::clamp(elo, MIN_PLAYING_ELO, MAX_PLAYING_ELO);
    if (playing_elo != elo)
        tell_user("UCI_Elo %d: taken as %d (%d to %d)", elo, playing_elo, MIN_PLAYING_ELO,
                  MAX_PLAYING_ELO);
}

}  // namespace

void set_option_at_start_up(const EngineOption& option, const std::string& value) {
    options_at_start_up = true;
    option.set(value);
    options_at_start_up = false;
}

const EngineOption HASH_OPTION = {"Hash",
                                  OptionType::SPIN,
                                  MIN_HASH_MEGABYTES,
                                  MAX_HASH_MEGABYTES,
                                  [] { return std::to_string(hash_megabytes()); },
                                  set_hash_option};
const EngineOption THREADS_OPTION = {"Threads",
                                     OptionType::SPIN,
                                     1,
                                     MAX_SEARCH_THREADS,
                                     [] { return std::to_string(search_threads()); },
                                     set_threads_option};
const EngineOption MULTI_PV_OPTION = {
    "MultiPV",   OptionType::SPIN, 1, MAX_MULTI_PV, [] { return std::to_string(multi_pv); },
    set_multi_pv};
const EngineOption CLEAR_HASH_OPTION = {
    "Clear Hash", OptionType::BUTTON, 0, 0, nullptr, [](const std::string&) { tt_clear_all(); }};
// The interface decides when the engine ponders; the option only tells it that it may.
const EngineOption PONDER_OPTION = {
    "Ponder",
    OptionType::CHECK,
    0,
    0,
    [] { return on_or_off(ponder_enabled); },
    [](const std::string& v) { ponder_enabled = option_text_is_on(v); }};
const EngineOption OWN_BOOK_OPTION = {
    "OwnBook", OptionType::CHECK, 0, 0, [] { return on_or_off(book_enabled); }, set_own_book};
const EngineOption BOOK_FILE_OPTION = {
    "Book File", OptionType::STRING, 0, 0, [] { return polyglot_book_path(); }, set_book_file};
const EngineOption CHESS960_OPTION = {
    "UCI_Chess960",    OptionType::CHECK, 0, 0, [] { return on_or_off(chess960_games); },
    set_chess960_games};
const EngineOption SHOW_WDL_OPTION = {
    "UCI_ShowWDL",
    OptionType::CHECK,
    0,
    0,
    [] { return on_or_off(show_wdl); },
    [](const std::string& v) { show_wdl = option_text_is_on(v); }};
const EngineOption LIMIT_STRENGTH_OPTION = {
    "UCI_LimitStrength",
    OptionType::CHECK,
    0,
    0,
    [] { return on_or_off(limit_strength); },
    [](const std::string& v) { limit_strength = option_text_is_on(v); }};
const EngineOption ELO_OPTION = {"UCI_Elo",
                                 OptionType::SPIN,
                                 MIN_PLAYING_ELO,
                                 MAX_PLAYING_ELO,
                                 [] { return std::to_string(playing_elo); },
                                 set_playing_elo};
const EngineOption SYZYGY_PATH_OPTION = {
    "SyzygyPath",    OptionType::STRING, 0, 0, [] { return tablebase_path(); },
    set_syzygy_path, TABLEBASES_BUILT};
const EngineOption SYZYGY_PROBE_DEPTH_OPTION = {"SyzygyProbeDepth",
                                                OptionType::SPIN,
                                                MIN_SYZYGY_PROBE_DEPTH,
                                                MAX_SYZYGY_PROBE_DEPTH,
                                                [] { return std::to_string(syzygy_probe_depth); },
                                                set_probe_depth,
                                                TABLEBASES_BUILT};
const EngineOption SYZYGY_50_MOVE_RULE_OPTION = {
    "Syzygy50MoveRule",
    OptionType::CHECK,
    0,
    0,
    [] { return on_or_off(syzygy_fifty_move_rule); },
    [](const std::string& v) { syzygy_fifty_move_rule = option_text_is_on(v); },
    TABLEBASES_BUILT};
const EngineOption MOVE_OVERHEAD_OPTION = {"Move Overhead",
                                           OptionType::SPIN,
                                           0,
                                           MAX_MOVE_OVERHEAD_MS,
                                           [] { return std::to_string(move_overhead_ms); },
                                           set_move_overhead};
