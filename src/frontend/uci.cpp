// The UCI driver: the command table, "position" and "go", what the engine
// hears while it searches (isready, stop, ponderhit, quit) and the options.
#include "frontend/uci.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frontend/io.h"
#include "frontend/session.h"
#include "frontend/timeman.h"
#include "frontend/uci_info.h"
#include "frontend/version.h"
#include "frontend/wdl.h"
#include "platform/platform.h"

namespace {

// ---- Words of a line. UCI separates its tokens by white space.

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// The next token at cursor (cursor moves past it); empty at the end of the line.
std::string next_token(const char*& cursor) {
    while (is_blank(*cursor)) ++cursor;
    const char* start = cursor;
    while (*cursor != '\0' && !is_blank(*cursor)) ++cursor;
    return std::string(start, cursor);
}

std::string trimmed(std::string text) {
    const auto blank = [](char c) { return is_blank(c); };
    while (!text.empty() && blank(text.back())) text.pop_back();
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    return text;
}

bool same_words(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A whole number of the line (milliseconds, nodes, plies) after the word
// name; false when none stands there. A number with more after it ("2.5",
// "3x") is refused with a message and passed over.
bool number_at(const char*& cursor, std::int64_t& value, const std::string& name) {
    const char* start = cursor;
    const std::string token = next_token(cursor);
    char* end = nullptr;
    const long long v = std::strtoll(token.c_str(), &end, 10);
    if (token.empty() || *end != '\0') {
        const bool numeric = !token.empty() && end != token.c_str();
        if (numeric)
            print_line("info string %s %s refused: not a whole number\n", name.c_str(),
                       token.c_str());
        else
            cursor = start;  // not a number: the token is read again as a keyword
        return false;
    }
    value = v;
    return true;
}

void info_string(const char* text) {
    print_line("info string %s\n", text);
}

// ---- Options: the session's, each announced with its current value as the default.

constexpr const char* EMPTY_STRING = "<empty>";  // UCI's word for an empty string option

// The options this protocol shows, in the order it announces them.
// Those this build lacks (EngineOption::available) are left out.
const EngineOption* const OPTIONS[] = {&HASH_OPTION,
                                       &THREADS_OPTION,
                                       &MULTI_PV_OPTION,
                                       &CLEAR_HASH_OPTION,
                                       &PONDER_OPTION,
                                       &MOVE_OVERHEAD_OPTION,
                                       &OWN_BOOK_OPTION,
                                       &BOOK_FILE_OPTION,
                                       &SYZYGY_PATH_OPTION,
                                       &SYZYGY_PROBE_DEPTH_OPTION,
                                       &SYZYGY_50_MOVE_RULE_OPTION,
                                       &SHOW_WDL_OPTION,

                                       &CHESS960_OPTION,
                                       &LIMIT_STRENGTH_OPTION,
                                       &ELO_OPTION};

// UCI's word for each OptionType.
const char* const TYPE_WORDS[] = {"spin", "check", "string", "button"};

void announce(const EngineOption& o) {
    std::string line =
        "option name " + std::string(o.name) + " type " + TYPE_WORDS[static_cast<int>(o.type)];
    if (o.value != nullptr) {
        const std::string value = o.value();
        line += " default " + (value.empty() ? std::string(EMPTY_STRING) : value);
    }
    if (o.type == OptionType::SPIN)
        line += " min " + std::to_string(o.min) + " max " + std::to_string(o.max);
    print_line("%s\n", line.c_str());
}

// "setoption name NAME [value VALUE]": names and values may hold blanks.
void set_option(const char* args) {
    const std::string text = args;
    const std::size_t name_at = text.find("name ");
    if (name_at == std::string::npos) return;
    const std::size_t value_at = text.find(" value", name_at);
    const std::string name = trimmed(text.substr(
        name_at + 5, value_at == std::string::npos ? std::string::npos : value_at - name_at - 5));
    const std::string value =
        value_at == std::string::npos ? std::string() : trimmed(text.substr(value_at + 6));
    for (const EngineOption* o : OPTIONS) {
        if (o->available && same_words(name, o->name)) {
            o->set(value == EMPTY_STRING ? std::string() : value);
            return;
        }
    }
    print_line("info string no option named %s\n", name.c_str());
}

void identify(const char*) {
    print_line("id name %s\n", ENGINE_NAME);
    print_line("id author the Quorvanite developers\n");
    for (const EngineOption* o : OPTIONS)
        if (o->available) announce(*o);
    print_line("uciok\n");
}

// ---- The position.

Position saved_position;  // the position before a "position" command, put back when it fails
// Why the last "position" command was refused, "" when it was taken: until
// one is, "go" searches nothing (the interface's position is not the engine's).
std::string refusal;

// The refused command's reason, told now and kept for "go"; false.
bool refuse(const std::string& reason) {
    refusal = reason;
    print_line("info string %s\n", reason.c_str());
    return false;
}

// "position startpos|fen FEN [moves M1 M2 ...]": a bad FEN or a move that is
// not legal refuses the whole command.
bool set_up(const char* args) {
    const char* cursor = args;
    const std::string kind = next_token(cursor);
    if (kind == "startpos") {
        set_up_start();
    } else if (kind == "fen") {
        const char* moves = std::strstr(cursor, "moves");
        const std::string fen = trimmed(moves ? std::string(cursor, moves) : std::string(cursor));
        char dropped[DROPPED_CASTLING_SIZE];
        if (!set_up_fen(fen.c_str(), dropped)) return refuse("illegal FEN: " + fen);
        if (dropped[0] != '\0')
            print_line("info string castling %s dropped: no king and rook to castle with\n",
                       dropped);
        cursor = moves ? moves : cursor + std::strlen(cursor);
    } else {
        return refuse("position needs startpos or fen");
    }
    if (next_token(cursor) != "moves") return true;
    for (std::string text = next_token(cursor); !text.empty(); text = next_token(cursor)) {
        if (!game_has_room(1))
            return refuse("game longer than " + std::to_string(MAX_GAME_PLY) + " plies");
        // Four characters, or five with a promotion letter.
        const bool well_formed =
            looks_like_move(text.c_str()) &&
            (text.size() == 4 || (text.size() == 5 && std::strchr("qrbn", text[4]) != nullptr));
        const Move m = well_formed ? parse_move_text(text.c_str()) : 0;
        if (m == 0) return refuse("illegal move: " + text);
        play_move(m);
    }
    return true;
}

void set_position(const char* args) {
    saved_position = position;
    if (set_up(args)) {
        refusal.clear();
        return;
    }
    position = saved_position;
    info_string("position refused: go answers bestmove 0000 until a position is taken");
}

// ---- The search.

// Whether a finished search may print its bestmove: a ponder search and an
// infinite one answer only after "ponderhit" or "stop".
enum Phase : int { ANSWER_FREELY, HOLD_ANSWER, FINISHED_HOLDING };
std::atomic<int> phase{ANSWER_FREELY};
bool infinite_search = false;  // set before listening starts, only read meanwhile
bool bounded_search = false;   // the search has a limit of its own: time, depth or nodes

// "go": the limits with both sides' clocks, as the line gives them.
struct GoRequest {
    bool depth_given = false;            // "depth N" with a number
    std::int64_t time_ms[2] = {-1, -1};  // [WHITE], [BLACK]; -1: not given
    std::int64_t increment_ms[2] = {0, 0};
    MoveLimits limits;  // the rest; the clock is the side to move's
    bool infinite = false;
    bool ponder = false;
    std::int64_t mate = 0;         // prove a mate in this many moves; 0: not asked
    bool perft = false;            // "perft N": count the positions N plies deep instead
    std::int64_t perft_depth = 0;  // that N, plies (0 when not given)
    RootMoveSet search_moves;      // "searchmoves": the legal ones named (restricted when given)
};

// A move text in the form "position" takes: four characters, or five with a promotion letter.
Move move_of_text(const std::string& text) {
    const bool well_formed =
        looks_like_move(text.c_str()) &&
        (text.size() == 4 || (text.size() == 5 && std::strchr("qrbn", text[4]) != nullptr));
    return well_formed ? parse_move_text(text.c_str()) : 0;
}

// The words of "go" that carry its limits (they end a list of searchmoves).
const char* const GO_WORDS[] = {"searchmoves", "ponder",    "wtime", "btime", "winc",
                                "binc",        "movestogo", "depth", "nodes", "mate",
                                "movetime",    "infinite",  "perft"};

bool is_go_word(const std::string& word) {
    for (const char* w : GO_WORDS)
        if (word == w) return true;
    return false;
}

// "searchmoves M1 M2 ...": the words up to the next word of "go"; those that
// name no legal move here are left out (none left: nothing may be played).
void read_search_moves(const char*& cursor, RootMoveSet& set) {
    for (;;) {
        const char* start = cursor;
        const std::string text = next_token(cursor);
        if (text.empty() || is_go_word(text)) {
            cursor = start;
            return;
        }
        set.restricted = true;
        const Move m = move_of_text(text);
        if (m != 0 && set.count < MOVE_LIST_CAPACITY) set.moves[set.count++] = m;
    }
}

GoRequest read_go(const char* args) {
    GoRequest g;
    struct Field {
        const char* name;
        std::int64_t MoveLimits::*value;
    };
    static const Field FIELDS[] = {{"movestogo", &MoveLimits::moves_to_go},
                                   {"movetime", &MoveLimits::move_time_ms},
                                   {"depth", &MoveLimits::depth},
                                   {"nodes", &MoveLimits::nodes}};
    const char* cursor = args;
    for (std::string word = next_token(cursor); !word.empty(); word = next_token(cursor)) {
        if (word == "infinite") g.infinite = true;
        if (word == "ponder") g.ponder = true;
        if (word == "wtime") number_at(cursor, g.time_ms[WHITE], word);
        if (word == "btime") number_at(cursor, g.time_ms[BLACK], word);
        if (word == "winc") number_at(cursor, g.increment_ms[WHITE], word);
        if (word == "binc") number_at(cursor, g.increment_ms[BLACK], word);
        if (word == "mate") number_at(cursor, g.mate, word);
        if (word == "perft") g.perft = true;
        if (word == "perft") number_at(cursor, g.perft_depth, word);
        if (word == "searchmoves") read_search_moves(cursor, g.search_moves);
        for (const Field& f : FIELDS)
            if (word == f.name && number_at(cursor, g.limits.*f.value, word) && word == "depth")
                g.depth_given = true;
    }
    // The engine plays the side to move.
    const int own = position.state.side_to_move;
    g.limits.clock_ms = g.time_ms[own];
    g.limits.increment_ms = g.increment_ms[own];
    return g;
}

// The engine's clock starts at a ponder hit; the search goes on, now timed.
Heard hear_ponder_hit(std::int64_t arrival_ms) {
    if (!ponder_hit(arrival_ms)) return Heard::HANDLED;
    if (infinite_search) return Heard::HANDLED;
    int holding = HOLD_ANSWER;
    if (phase.compare_exchange_strong(holding, ANSWER_FREELY)) return Heard::HANDLED;
    return Heard::ENDS_HANDLED;  // the search had ended and waits for this: answer now
}

void go(const char* args);

// How a command is heard while a search runs.
enum class Hearing {
    ANSWER,      // answered at once on the reader thread; the search goes on
    IGNORE,      // dropped; the search goes on
    STOP,        // the search ends and answers
    PONDER_HIT,  // the ponder search becomes the engine's own, timed
    AFTER,       // acts after the search: a timed one goes on; one that waits
                 // for "stop" or "ponderhit" (which the interface has not
                 // sent) ends, rather than hold the command for ever
    END,         // the search ends and answers; then the command acts
};
struct Command {
    const char* name;
    void (*run)(const char* args);
    Hearing during_search;
};

const Command COMMANDS[] = {
    {"uci", identify, Hearing::AFTER},
    {"isready", [](const char*) { print_line("readyok\n"); }, Hearing::ANSWER},
    {"setoption", set_option, Hearing::AFTER},
    {"ucinewgame", [](const char*) { new_game(); }, Hearing::AFTER},
    {"position", set_position, Hearing::AFTER},
    {"go", go, Hearing::AFTER},
    {"stop", [](const char*) {}, Hearing::STOP},
    {"ponderhit", [](const char*) {}, Hearing::PONDER_HIT},
    {"quit", [](const char*) { end_session(EXIT_STATUS_QUIT); }, Hearing::END},
    {"debug", [](const char*) {}, Hearing::IGNORE},
    {"register", [](const char*) {}, Hearing::IGNORE},
};

// The command of a line: its first known word (unknown words before it are
// skipped, as the protocol asks); args is what follows it. nullptr: none.
const Command* command_in(const char* line, const char*& args) {
    const char* cursor = line;
    for (std::string word = next_token(cursor); !word.empty(); word = next_token(cursor)) {
        for (const Command& c : COMMANDS) {
            if (word == c.name) {
                args = cursor;
                return &c;
            }
        }
    }
    return nullptr;
}

bool lines_held = false;  // a line waits for the search's end (reader thread only)

Heard hear_during_search(const char* line, std::int64_t arrival_ms) {
    if (line == nullptr) {
        // A search with a limit still answers, as the interface may be reading
        // (end of input is the end of its commands); any other one ends.
        if (!bounded_search || phase.load() != ANSWER_FREELY) stop_thinking();
        return Heard::ENDS_HELD;
    }
    const char* args = nullptr;
    const Command* c = command_in(line, args);
    if (c == nullptr) return Heard::HANDLED;
    switch (c->during_search) {
        case Hearing::ANSWER:
            // Behind a waiting command the answer waits too: replies keep their order.
            if (lines_held) return Heard::HELD;
            c->run(args);
            return Heard::HANDLED;
        case Hearing::AFTER:
            if (phase.load() == ANSWER_FREELY) {
                lines_held = true;
                return Heard::HELD;
            }
            break;
        case Hearing::IGNORE:
            return Heard::HANDLED;
        case Hearing::STOP:
            stop_thinking();
            return Heard::ENDS_HANDLED;
        case Hearing::PONDER_HIT:
            return hear_ponder_hit(arrival_ms);
        case Hearing::END:
            break;
    }
    stop_thinking();
    return Heard::ENDS_HELD;
}

void print_best_move(Move move, Move reply) {
    if (move == 0) {
        print_line("bestmove 0000\n");  // no legal move: UCI's null move
        return;
    }
    move_to_text(move);
    char text[sizeof move_text];
    std::memcpy(text, move_text, sizeof text);
    if (reply == 0) {
        print_line("bestmove %s\n", text);
        return;
    }
    move_to_text(reply);
    print_line("bestmove %s ponder %s\n", text, move_text);
}

bool reader_running = false;  // the reader thread exists: searches can be stopped

// A ponder or infinite search that has ended by itself waits for "stop" or
// "ponderhit" before it answers.
bool answer_waits_for_the_interface() {
    int holding = HOLD_ANSWER;
    return phase.compare_exchange_strong(holding, FINISHED_HOLDING);
}

constexpr int MAX_PERFT_DEPTH = 10;  // the deepest "go perft" counts, as the console's perft

// "go perft N": each legal move in generation order with the count of the
// positions N plies deep below it, then their sum (1 at depth 0). No bestmove.
void divide(std::int64_t depth) {
    if (depth > MAX_PERFT_DEPTH || !game_has_room(static_cast<int>(depth))) {
        print_line("info string perft counts 0 to %d plies\n", MAX_PERFT_DEPTH);
        return;
    }
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = depth > 0 ? filter_legal(generate_moves(list), list) : 0;
    std::uint64_t total = depth > 0 ? 0 : 1;
    for (int i = 0; i < count; ++i) {
        make_move(list[i].move);
        const std::uint64_t n = depth == 1 ? 1 : perft(static_cast<int>(depth) - 2);
        unmake_move();
        move_to_text(list[i].move);
        print_line("%s: %llu\n", move_text, static_cast<unsigned long long>(n));
        total += n;
    }
    print_line("\nNodes searched: %llu\n", static_cast<unsigned long long>(total));
}

// A depth the search cannot take is taken as the nearest one it can, and the
// interface is told.
void clamp_depth(GoRequest& g) {
    if (!g.depth_given) return;
    std::int64_t& depth = g.limits.depth;
    const std::int64_t taken =
        std::clamp<std::int64_t>(depth, MIN_SEARCH_DEPTH, search_depth_ceiling);
    if (taken != depth)
        print_line("info string depth %lld: taken as %lld (%d to %d plies)\n",
                   static_cast<long long>(depth), static_cast<long long>(taken), MIN_SEARCH_DEPTH,
                   search_depth_ceiling);
    depth = taken;
}

// The book is for games: it answers a move on the clock or on a move time,
// not an analysis (infinite, ponder, depth, nodes, mate, searchmoves, several lines).
bool book_may_play(const GoRequest& g) {
    const MoveLimits& l = g.limits;
    const bool game_move = l.clock_ms >= 0 || l.move_time_ms >= 0;
    return game_move && !g.infinite && !g.ponder && !g.depth_given && l.nodes <= 0 && g.mate == 0 &&
           !g.search_moves.restricted && multi_pv == 1;
}

void go(const char* args) {
    GoRequest g = read_go(args);
    if (!refusal.empty()) {
        print_line("info string no position to search: %s\n", refusal.c_str());
        if (!g.perft) print_line("bestmove 0000\n");
        return;
    }
    clamp_depth(g);
    if (g.search_moves.restricted && g.search_moves.count == 0)
        info_string("searchmoves names no legal move: nothing to play");
    if (g.perft) {
        divide(std::max<std::int64_t>(g.perft_depth, 0));
        return;
    }
    // Without the reader nothing could end an unlimited search: it is then
    // searched with the limits it has, as the engine's own move.
    const bool ponder = g.ponder && reader_running;
    const MoveLimits& l = g.limits;
    bounded_search = l.clock_ms >= 0 || l.move_time_ms >= 0 || l.depth > 0 || l.nodes > 0;
    infinite_search = g.infinite && reader_running;
    phase.store(ponder || infinite_search ? HOLD_ANSWER : ANSWER_FREELY);
    lines_held = false;
    uci_root_material = wdl_material(position.state);
    SearchRequest request;
    request.kind = ponder            ? SearchKind::PONDER
                   : infinite_search ? SearchKind::INFINITE
                                     : SearchKind::OWN_MOVE;
    request.limits = &g.limits;
    request.arrival_ms = line_arrival_ms;  // the clock runs from the line that asked for the move
    request.listener = hear_during_search;
    request.answer_waits = answer_waits_for_the_interface;
    request.report = &uci_report;
    request.book_report = uci_book_move;
    request.book = book_may_play(g);
    if (g.search_moves.restricted) request.root_moves = &g.search_moves;
    request.mate_moves = static_cast<int>(std::min<std::int64_t>(g.mate, INT32_MAX));
    const SearchResult result = run_search(request);
    print_best_move(result.move, result.ponder);
}

void dispatch(const char* line) {
    const char* args = nullptr;
    if (const Command* c = command_in(line, args)) c->run(args);
}

}  // namespace

int uci_session() {
    begin_session();
    post_thinking.store(true);
    set_line_limit(LONG_LINE_SIZE - 1);  // "position" carries the whole game
    reader_running = start_input_reader();
    // UCI interfaces and testers bring their own books: the engine's are off
    // until OwnBook turns them on.
    book_enabled = false;
    refusal.clear();
    identify("");
    set_message_hook(info_string);
    if (!reader_running)
        info_string(
            "could not start the input thread: no pondering, and searches cannot be stopped");
    while (!session_ended()) {
        if (!read_line()) {
            end_session(EXIT_STATUS_QUIT);  // the end of input ends the session as "quit" does
            break;
        }
        dispatch(input_line);
    }
    return session_exit_status();
}
