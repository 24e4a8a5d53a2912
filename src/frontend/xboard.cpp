// The xboard (WinBoard) protocol 2 driver: the command table, what the engine
// hears while it searches, its own move, pondering, analysis, and the
// game-end report. The engine's actions are the session's.
#include "frontend/xboard.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "board/game_end.h"
#include "book/book.h"
#include "frontend/io.h"
#include "frontend/session.h"
#include "frontend/timeman.h"
#include "frontend/xboard_settings.h"
#include "platform/platform.h"

namespace {

// The driver's state (driver thread).
bool force_mode = false;      // the engine only records the moves it receives
bool engine_to_move = false;  // the engine must move for the side to move
bool analyze_mode = false;    // the engine analyses until "exit"
// The last "setboard" or "edit" was refused: the interface's position is not
// the engine's, so it neither moves, ponders, analyses nor takes moves until
// a position it can take ("new", "setboard", "edit").
bool position_refused = false;

// How the engine's own search ended when something else than its clock or
// depth ended it.
enum Interrupt : int { NOT_INTERRUPTED, MOVE_NOW, ABANDONED };
std::atomic<int> own_search_interrupt{NOT_INTERRUPTED};

char ponder_text[sizeof move_text];  // the predicted move as text, for "hint" while pondering
// Every way there is to write castling.
constexpr CastlingNotation NOTATIONS_READ[] = {CASTLING_AS_KING_MOVE, CASTLING_AS_KING_TAKES_ROOK,
                                               CASTLING_AS_O_O};
// When the predicted move castles: its texts in each notation that names it
// here ("" for one that does not), for the reader thread, which has no game
// to read castling text in. Driver thread, before pondering.
char ponder_castling_texts[std::size(NOTATIONS_READ)][sizeof move_text];

// At the end of input the session ends, as after "quit".
void read_line_or_quit() {
    if (!read_line()) end_session(EXIT_STATUS_QUIT);
}

void play_engine_move(Move m) {
    play_move(m);
    move_to_text(m);
    print_line("move %s\n", move_text);
    engine_to_move = false;
}

// The move a line names: the line itself in coordinate form, or what follows
// "usermove" (which some interfaces send whatever the feature line says); nullptr
// when the line is a command.
const char* move_in(const char* line) {
    if (looks_like_move(line)) return line;
    if (!starts_with(line, "usermove")) return nullptr;
    const char* text = line + 8;
    while (*text == ' ') ++text;
    return text;
}

// ---- The commands.

void receive_move(const char* text) {
    if (position_refused) {
        print_line("Illegal move (no position): %s\n", text);
        return;
    }
    if (!game_has_room(1)) {
        print_line("Illegal move (game too long): %s\n", text);
    } else if (const Move m = looks_like_move(text) ? parse_move_text(text) : 0) {
        play_move(m);
        engine_to_move = true;
    } else {
        print_line("Illegal move: %s\n", text);
    }
    check_game_end(legal_move_count());
}

void take_back() {
    if (position_refused) return;
    forget_exclusions();
    const int ply = position.game_ply;
    if (ply > 0 && position.move_history[ply - 1] != 0) unmake_move();
}

void set_time_left(const char* line) {
    const char* cursor = text_at(line, 5);
    int value = 0;
    if (parse_int(cursor, value)) time_left_cs.store(value);
}

// "new" ends a Chess960 game's rules along with the game.
void start_new_game(const char*) {
    chess960_games = false;
    castling_notation = CASTLING_AS_KING_MOVE;
    new_game();
    forget_exclusions();
    position_refused = false;
    force_mode = false;
    engine_to_move = false;
}

// "variant fischerandom", heard after "new": the start position (or the
// setboard that follows) is played as Chess960, castling written "O-O" and
// "O-O-O". Other variants are not played; their names are ignored.
void set_variant(const char* line) {
    const char* name = text_at(line, 8);
    while (*name == ' ') ++name;
    if (!starts_with(name, "fischerandom")) return;
    chess960_games = true;
    castling_notation = CASTLING_AS_O_O;
    set_chess960(true);
}

void answer_ping(const char* line) {
    const char* cursor = text_at(line, 5);
    int value = 0;
    parse_int(cursor, value);
    print_line("pong %d\n", value);
}

void set_result(const char* line) {
    if (position.state.game_result != GAME_RUNNING) return;
    const char* text = text_at(line, 7);
    int code = GAME_ENDED_OTHERWISE;
    if (starts_with(text, "1-0"))
        code = WHITE_WON;
    else if (starts_with(text, "0-1"))
        code = BLACK_WON;
    else if (starts_with(text, "1/2-1/2"))
        code = GAME_DRAWN;
    position.state.game_result = static_cast<std::uint8_t>(code);
}

// "setboard FEN". Castling rights that no king and rook can use are dropped,
// noted for the interface's log.
void set_board(const char* line) {
    forget_exclusions();
    char dropped[DROPPED_CASTLING_SIZE];
    position_refused = !set_up_fen(text_at(line, 9), dropped);
    if (position_refused)
        print_line("tellusererror Illegal position\n");
    else if (dropped[0] != '\0')
        print_line("# castling %s dropped: no king and rook to castle with\n", dropped);
}

void list_book_moves(const char*) {
    Move moves[8];
    int weights[8];
    const int count = book_moves(moves, weights, 8);
    int total = 0;
    for (int i = 0; i < count; ++i) total += weights[i];
    // The interface shows lines that begin with a blank, up to an empty line.
    for (int i = 0; i < count; ++i) {
        move_to_text(moves[i]);
        print_line(" %s %d (%d%%)\n", move_text, weights[i],
                   (weights[i] * 100 + total / 2) / total);
    }
    if (count == 0) print_line(" no book move\n");
    print_line("\n");
}

// The table's move for the side to move, which the engine expects to be played.
void give_hint(const char*) {
    const Move m = expected_move();
    if (m == 0) return;
    move_to_text(m);
    print_line("Hint: %s\n", move_text);
}

// While pondering the expected move is the predicted one, already on the board.
void give_ponder_hint(const char*) {
    print_line("Hint: %s\n", ponder_text);
}

void nothing(const char*) {}

// How a command is heard while a search runs.
enum class Hearing {
    HOLD,      // it waits; the search goes on (the engine's own move: acted on after the move)
    STOP,      // the search ends, then the command acts (own move: not played)
    ANSWER,    // answered at once beside the search (Command::answer); the search goes on
    IGNORE,    // dropped; the search goes on
    MOVE_NOW,  // the search ends and its move is played
};

struct Command {
    const char* name;  // recognised by these leading characters
    void (*run)(const char* line);
    void (*answer)(const char* line);  // ANSWER's action, on the reader thread
    Hearing own_move, ponder, analysis;
};

using H = Hearing;
// In the order of recognition: a line is the first command whose name it begins with.
const Command COMMANDS[] = {
    {"time", set_time_left, set_time_left, H::HOLD, H::ANSWER, H::STOP},
    {"otim", nothing, nullptr, H::HOLD, H::IGNORE, H::STOP},
    {"protover 2", announce_features, nullptr, H::HOLD, H::STOP, H::STOP},
    {"new", start_new_game, nullptr, H::STOP, H::STOP, H::STOP},
    {"quit", [](const char*) { end_session(EXIT_STATUS_QUIT); }, nullptr, H::STOP, H::STOP,
     H::STOP},
    {"force", [](const char*) { force_mode = true; }, nullptr, H::STOP, H::STOP, H::STOP},
    {"go",
     [](const char*) {
         engine_to_move = true;
         force_mode = false;
     },
     nullptr, H::HOLD, H::STOP, H::STOP},
    {"level", [](const char* l) { set_level(text_at(l, 6)); }, nullptr, H::HOLD, H::STOP, H::STOP},
    {"st", [](const char* l) { set_search_time(text_at(l, 3)); }, nullptr, H::HOLD, H::STOP,
     H::STOP},
    {"sd", [](const char* l) { set_search_depth(text_at(l, 3)); }, nullptr, H::HOLD, H::STOP,
     H::STOP},
    {"ping", answer_ping, answer_ping, H::HOLD, H::ANSWER, H::ANSWER},
    {"result", set_result, nullptr, H::STOP, H::STOP, H::STOP},
    {"setboard", set_board, nullptr, H::STOP, H::STOP, H::STOP},
    {"edit",
     [](const char*) {
         const LineSource input = []() -> const char* {
             return read_line() ? input_line : nullptr;
         };
         forget_exclusions();
         position_refused = !edit_position(input);
         if (position_refused) print_line("tellusererror Illegal position\n");
     },
     nullptr, H::STOP, H::STOP, H::STOP},
    {"undo", [](const char*) { take_back(); }, nullptr, H::STOP, H::STOP, H::STOP},
    {"remove",
     [](const char*) {
         take_back();
         take_back();
     },
     nullptr, H::STOP, H::STOP, H::STOP},
    {"hard", [](const char*) { ponder_enabled = true; }, nullptr, H::HOLD, H::IGNORE, H::STOP},
    {"easy", [](const char*) { ponder_enabled = false; }, nullptr, H::HOLD, H::STOP, H::STOP},
    {"post", [](const char*) { post_thinking.store(true); },
     [](const char*) { post_thinking.store(true); }, H::HOLD, H::ANSWER, H::ANSWER},
    {"nopost", [](const char*) { post_thinking.store(false); },
     [](const char*) { post_thinking.store(false); }, H::HOLD, H::ANSWER, H::ANSWER},
    {"analyze", [](const char*) { analyze_mode = true; }, nullptr, H::HOLD, H::STOP, H::STOP},
    {"exit", [](const char*) { analyze_mode = false; }, nullptr, H::HOLD, H::STOP, H::STOP},
    {"memory", set_memory, nullptr, H::HOLD, H::STOP, H::STOP},
    {"cores", set_cores, nullptr, H::HOLD, H::STOP, H::STOP},
    {"egtpath", set_egt_path, nullptr, H::HOLD, H::STOP, H::STOP},
    {"option", set_option, nullptr, H::HOLD, H::STOP, H::STOP},
    // While the engine thinks about its own move they would name moves of the
    // position before it: dropped.
    {"exclude", [](const char* l) { exclude_root_moves(text_at(l, 8), true); }, nullptr, H::IGNORE,
     H::STOP, H::STOP},
    {"include", [](const char* l) { exclude_root_moves(text_at(l, 8), false); }, nullptr, H::IGNORE,
     H::STOP, H::STOP},
    {"variant", set_variant, nullptr, H::STOP, H::STOP, H::STOP},
    {"bk", list_book_moves, nullptr, H::HOLD, H::STOP, H::IGNORE},
    {"hint", give_hint, give_ponder_hint, H::HOLD, H::ANSWER, H::IGNORE},
    {"?", nothing, nullptr, H::MOVE_NOW, H::IGNORE, H::IGNORE},
    {".", nothing, nullptr, H::HOLD, H::IGNORE, H::IGNORE},
};

// Lines that name no command: held during the engine's own move, otherwise
// they end the search, and the driver then ignores them.
const Command UNKNOWN = {"", nothing, nullptr, H::HOLD, H::STOP, H::STOP};

const Command& command_of(const char* line) {
    for (const Command& c : COMMANDS)
        if (starts_with(line, c.name)) return c;
    return UNKNOWN;
}

void dispatch(const char* line) {
    if (const char* move = move_in(line))
        receive_move(move);
    else
        command_of(line).run(line);
}

// ---- What the engine hears while it searches (on the reader thread).

// The search on the driver's thread is told to stop; the line waits for it.
Heard end_search() {
    stop_thinking();
    return Heard::ENDS_HELD;
}

// A command heard beside a ponder or analysis search.
Heard hear_beside_search(const char* line, Hearing Command::*kind) {
    const Command& c = command_of(line);
    switch (c.*kind) {
        case Hearing::ANSWER:
            c.answer(line);
            return Heard::HANDLED;
        case Hearing::IGNORE:
            return Heard::HANDLED;
        default:
            return end_search();
    }
}

Heard hear_during_own_move(const char* line, std::int64_t) {
    if (line == nullptr) return Heard::ENDS_HELD;  // the move is still played; then the end
    if (move_in(line) != nullptr) return Heard::HELD;
    switch (command_of(line).own_move) {
        case Hearing::MOVE_NOW:
            own_search_interrupt.store(MOVE_NOW);
            stop_thinking();
            return Heard::ENDS_HANDLED;
        case Hearing::STOP:
            own_search_interrupt.store(ABANDONED);
            return end_search();
        case Hearing::IGNORE:
            return Heard::HANDLED;
        default:
            return Heard::HELD;
    }
}

// The texts that name m when it castles: whatever notation the interface
// writes it in (the opponent's need not be the engine's), as it reads here.
void note_castling_texts(Move m) {
    const CastlingNotation in_force = castling_notation;
    for (std::size_t i = 0; i < std::size(NOTATIONS_READ); ++i) {
        castling_notation = NOTATIONS_READ[i];
        move_to_text(m);
        castling_notation = in_force;
        const bool names = move_castle_kind(m) != 0 && text_names_move(move_text, m);
        std::strcpy(ponder_castling_texts[i], names ? move_text : "");
    }
}

// The received text is the move text t and goes on with no more of a move:
// no promotion letter, not the "-O" of the long castling. Zeros read as O.
bool is_move_text(const char* text, const char* t) {
    std::size_t n = 0;
    for (; t[n] != '\0'; ++n)
        if (text[n] != t[n] && !(t[n] == 'O' && text[n] == '0')) return false;
    return text[n] != '-' && promotion_of_letter(text[n]) == 0;
}

// Compared with the prediction alone: the predicted move is on the board, so
// the legal moves of the position before it are not at hand.
bool is_predicted_move(const char* text) {
    if (!looks_like_move(text)) return false;
    const Move m = ponder_move;
    if (move_castle_kind(m) != 0) {
        for (const char* t : ponder_castling_texts)
            if (t[0] != '\0' && is_move_text(text, t)) return true;
        return false;
    }
    const int from = square_from_text(text) & 0xFF;
    const int to = square_from_text(text + 2) & 0xFF;
    if (move_from(m) != from || move_to(m) != to) return false;
    return piece_kind(move_promotion(m)) == promotion_of_letter(text[4]);
}

Heard hear_while_pondering(const char* line, std::int64_t arrival_ms) {
    if (line == nullptr) return end_search();
    const char* move = move_in(line);
    if (move == nullptr) return hear_beside_search(line, &Command::ponder);
    if (!is_predicted_move(move)) return end_search();
    // A hit: the search goes on, now against the engine's clock, which started
    // when the move came.
    ponder_hit(arrival_ms);
    return Heard::ENDS_HANDLED;
}

Heard hear_while_analysing(const char* line, std::int64_t) {
    if (line == nullptr || move_in(line) != nullptr) return end_search();
    return hear_beside_search(line, &Command::analysis);
}

// ---- The engine's own move.

void engine_move() {
    if (!game_has_room(1)) return;
    const RootMoveSet* allowed = root_moves_allowed_here();
    if (const Move m = allowed == nullptr ? book_answer(print_book_move_line) : 0) {
        play_engine_move(m);
        return;
    }
    own_search_interrupt.store(NOT_INTERRUPTED);
    SearchRequest request;
    // The engine's clock runs from the line that made it move.
    request.arrival_ms = line_arrival_ms;
    request.listener = hear_during_own_move;
    request.report = &xboard_report;
    request.book_report = print_book_move_line;
    request.root_moves = allowed;
    const SearchResult result = run_search(request);
    if (!result.found) return;
    if (own_search_interrupt.load() == ABANDONED) {
        engine_to_move = false;  // a command took the move's place
        return;
    }
    play_engine_move(result.move);
}

// ---- Pondering and analysis. Each pass ends with the line to dispatch in
// input_line (empty when there is none).

// The opponent's next line ends a ponder or analysis pass, even when the
// search has ended by itself.
bool wait_for_the_next_line() {
    return true;
}

// A predicted move that draws by rule (fifty moves, repetition) ends the
// game: there is no answer to prepare, and the move, when it comes, is
// received like any other and reported. Nor is there one when the book has it.
bool answer_needs_no_search() {
    const int replies = legal_move_count();
    return (replies > 0 && game_end_rule(replies) != GAME_GOES_ON) ||
           book_answer(print_book_move_line) != 0;
}

void ponder_pass() {
    ponder_move = expected_move();
    // The stored move is the table's guess: only a legal one is played, and
    // only while the game leaves room for the predicted move and the answer.
    if (ponder_move == 0 || !game_has_room(2)) {
        read_line_or_quit();
        return;
    }
    if (!input_reader_started()) {
        // Nothing could stop the search: play on without pondering.
        ponder_enabled = false;
        print_line("telluser could not start the input thread; pondering is off\n");
        read_line_or_quit();
        return;
    }
    note_castling_texts(ponder_move);
    play_move(ponder_move);
    pondering.store(true);
    if (answer_needs_no_search()) {
        pondering.store(false);
        unmake_move();
        read_line_or_quit();
        return;
    }
    ponder_hit_move.store(0);
    move_to_text(ponder_move);
    std::memcpy(ponder_text, move_text, sizeof ponder_text);
    print_line("Hint: %s\n", ponder_text);
    SearchRequest request;
    request.kind = SearchKind::PONDER;
    request.listener = hear_while_pondering;
    request.answer_waits = wait_for_the_next_line;
    request.report = &xboard_report;
    request.book_report = print_book_move_line;
    const SearchResult result = run_search(request);
    if (ponder_hit_move.load() != ponder_move) {
        unmake_move();
        read_line_or_quit();  // the line that ended the pondering
        return;
    }
    input_line[0] = '\0';
    // The predicted move stays on the board and may itself have ended the game
    // (no reply, a repetition, the fifty-move rule): then nothing is played.
    engine_to_move = true;
    check_game_end(legal_move_count());
    if (!result.found) return;
    if (position.state.game_result == GAME_RUNNING) play_engine_move(result.move);
    if (!engine_to_move) check_game_end(legal_move_count());
}

void analysis_pass() {
    if (!input_reader_started()) {
        print_line("telluser could not start the input thread; analysis is off\n");
        read_line_or_quit();
        return;
    }
    SearchRequest request;
    request.kind = SearchKind::INFINITE;
    request.listener = hear_while_analysing;
    request.answer_waits = wait_for_the_next_line;
    request.report = &xboard_report;
    request.book_report = print_book_move_line;
    request.root_moves = root_moves_allowed_here();
    run_search(request);
    read_line_or_quit();
}

// The result line of each game_result code the rules give.
const char* const RESULT_LINES[] = {"", "1-0\n", "0-1\n", "1/2-1/2\n"};

}  // namespace

void check_game_end(int legal_count) {
    const GameEndRule rule = game_end_rule(legal_count);
    if (rule == GAME_GOES_ON) return;
    const int code = game_result_of(rule);
    position.state.game_result = static_cast<std::uint8_t>(code);
    print_line("%s", rule == GAME_TOO_LONG ? "1/2-1/2 {game too long}\n" : RESULT_LINES[code]);
}

int xboard_session() {
    force_mode = false;
    engine_to_move = false;
    analyze_mode = false;
    position_refused = false;
    begin_session();
    // Messages reach an xboard user as a message box.
    set_message_hook([](const char* text) { print_line("telluser %s\n", text); });
    // Without the reader thread the engine still plays; it only cannot hear
    // the interface while it searches (and so neither ponders nor analyses).
    start_input_reader();
    while (!session_ended()) {
        if (!force_mode && engine_to_move && !analyze_mode && !position_refused &&
            position.state.game_result == GAME_RUNNING) {
            engine_move();
            check_game_end(legal_move_count());
        }
        if (analyze_mode && !position_refused)
            analysis_pass();
        else if (force_mode || engine_to_move || position.state.game_result != GAME_RUNNING ||
                 !ponder_enabled || position_refused)
            read_line_or_quit();
        else
            ponder_pass();
        if (!session_ended()) dispatch(input_line);
    }
    return session_exit_status();
}
