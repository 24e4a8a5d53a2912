// The xboard (WinBoard) protocol 2 driver: the command table, what the engine
// hears while it searches, its own move, pondering, analysis, and the
// game-end check.
#include "frontend/xboard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "frontend/book.h"
#include "frontend/config.h"
#include "frontend/io.h"
#include "frontend/timeman.h"
#include "platform/platform.h"
#include "search/search.h"

bool ponder_enabled = false;
bool book_enabled = true;
std::atomic<bool> pondering{false};
Move book_move = 0;
Move ponder_move = 0;
std::atomic<Move> ponder_hit_move{0};

namespace {

bool force_mode = false;
bool engine_to_move = false;
bool analyze_mode = false;
bool session_over = false;  // "quit" or the end of input

constexpr int BOOK_PLIES = 40;  // the book is asked only this early in a game

// How the engine's own search ended when something else than its clock or
// depth ended it.
enum Interrupt : int { NOT_INTERRUPTED, MOVE_NOW, ABANDONED };
std::atomic<int> own_search_interrupt{NOT_INTERRUPTED};

char ponder_text[sizeof move_text];  // the predicted move as text, for "hint" while pondering

int game_end(int legal_count, const char*& line);

void report_result(int code, const char* line) {
    position.state.game_result = static_cast<std::uint8_t>(code);
    print_line("%s", line);
}

// At the end of input the session ends, as after "quit".
void read_line_or_quit() {
    if (!read_line()) session_over = true;
}

void play_engine_move(Move m) {
    tt_clear_entry();
    make_move(m);
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
    if (position.game_ply >= MAX_GAME_PLY) {
        print_line("Illegal move (game too long): %s\n", text);
    } else if (const Move m = looks_like_move(text) ? parse_move_text(text) : 0) {
        tt_clear_entry();
        make_move(m);
        engine_to_move = true;
    } else {
        print_line("Illegal move: %s\n", text);
    }
    check_game_end(legal_move_count());
}

void take_back() {
    const int ply = position.game_ply;
    if (ply > 0 && position.move_history[ply - 1] != 0) unmake_move();
}

void set_time_left(const char* line) {
    const char* cursor = text_at(line, 5);
    int value = 0;
    if (parse_int(cursor, value)) time_left_cs.store(value);
}

void announce_features(const char*) {
    print_line(
        "feature done=0 ping=1 setboard=1 draw=0 sigint=0 sigterm=0 analyze=1 memory=1 "
        "variants=\"normal\" colors=0 myname=\"Quorvanite 2.3\" done=1\n");
}

void new_game(const char*) {
    clear_time_control();
    init_position();
    tt_clear_all();
    force_mode = false;
    engine_to_move = false;
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

void set_memory(const char* line) {
    const char* cursor = text_at(line, 7);
    int megabytes = 0;
    if (!parse_int(cursor, megabytes)) return;
    // The same size keeps the table and what it has learnt.
    if (tt_entries_for_megabytes(megabytes) == tt_entry_count) return;
    if (!resize_transposition_table(megabytes))
        print_line("telluser not enough memory for a hash table of %d MB; it keeps its size\n",
                   megabytes);
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
    const Move m = tt_probe_move();
    if (m == 0 || !is_legal(m)) return;
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
    {"new", new_game, nullptr, H::STOP, H::STOP, H::STOP},
    {"quit", [](const char*) { session_over = true; }, nullptr, H::STOP, H::STOP, H::STOP},
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
    {"setboard",
     [](const char* l) {
         if (!set_position_from_fen(text_at(l, 9))) print_line("tellusererror Illegal position\n");
     },
     nullptr, H::STOP, H::STOP, H::STOP},
    {"edit",
     [](const char*) {
         const LineSource input = []() -> const char* {
             return read_line() ? input_line : nullptr;
         };
         if (!edit_position(input)) print_line("tellusererror Illegal position\n");
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
    stop_search.store(true);
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
            stop_search.store(true);
            return Heard::ENDS_HANDLED;
        case Hearing::STOP:
            own_search_interrupt.store(ABANDONED);
            return end_search();
        default:
            return Heard::HELD;
    }
}

// Compared with the prediction alone: the predicted move is on the board, so
// the legal moves of the position before it are not at hand.
bool is_predicted_move(const char* text) {
    if (!looks_like_move(text)) return false;
    const Move m = ponder_move;
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
    // when the move came. The limits are in place before time_limited is seen.
    plan_move_time(arrival_ms);
    time_limited.store(true, std::memory_order_release);
    ponder_hit_move.store(ponder_move);
    return Heard::ENDS_HANDLED;
}

Heard hear_while_analysing(const char* line, std::int64_t) {
    if (line == nullptr || move_in(line) != nullptr) return end_search();
    return hear_beside_search(line, &Command::analysis);
}

// ---- The engine's own move.

void engine_move() {
    if (position.game_ply >= MAX_GAME_PLY) return;
    if (book_enabled && position.game_ply < BOOK_PLIES && probe_book()) {
        play_engine_move(book_move);
        return;
    }
    stop_search.store(false);
    own_search_interrupt.store(NOT_INTERRUPTED);
    if (clock_control) budget_half_moves = position.game_ply;
    // The engine's clock runs from the line that made it move.
    plan_move_time(line_arrival_ms);
    time_limited.store(true, std::memory_order_release);
    listen(hear_during_own_move);
    const bool found = think();
    stop_listening();
    if (!found) return;
    age_transposition_table();
    if (own_search_interrupt.load() == ABANDONED) {
        engine_to_move = false;  // a command took the move's place
        return;
    }
    play_engine_move(best_move);
}

// ---- Pondering and analysis. Each pass ends with the line to dispatch in
// input_line (empty when there is none).

void ponder_pass() {
    ponder_move = tt_probe_move();
    // The stored move is the table's guess: only a legal one is played, and
    // only while the game leaves room for the predicted move and the answer.
    if (ponder_move == 0 || position.game_ply + 2 > MAX_GAME_PLY || !is_legal(ponder_move)) {
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
    tt_clear_entry();
    make_move(ponder_move);
    pondering.store(true);
    // A predicted move that draws by rule (fifty moves, repetition) ends the
    // game: there is no answer to prepare, and the move, when it comes, is
    // received like any other and reported.
    const char* unused = nullptr;
    const int replies = legal_move_count();
    if ((replies > 0 && game_end(replies, unused) != 0) ||
        (book_enabled && position.game_ply < BOOK_PLIES && probe_book())) {
        pondering.store(false);
        unmake_move();
        read_line_or_quit();
        return;
    }
    budget_half_moves = position.game_ply;
    time_limited.store(false, std::memory_order_release);
    hard_deadline_ms.store(NO_DEADLINE);  // until a hit sets the move's own
    stop_search.store(false);
    ponder_hit_move.store(0);
    move_to_text(ponder_move);
    std::memcpy(ponder_text, move_text, sizeof ponder_text);
    print_line("Hint: %s\n", ponder_text);
    listen(hear_while_pondering);
    const bool found = think();
    wait_until_heard();  // the opponent's next line, even when the search ended by itself
    pondering.store(false);
    if (ponder_hit_move.load() != ponder_move) {
        unmake_move();
        if (found) age_transposition_table();
        read_line_or_quit();  // the line that ended the pondering
        return;
    }
    input_line[0] = '\0';
    // The predicted move stays on the board and may itself have ended the game
    // (no reply, a repetition, the fifty-move rule): then nothing is played.
    engine_to_move = true;
    check_game_end(legal_move_count());
    if (!found) return;
    if (position.state.game_result == GAME_RUNNING) play_engine_move(best_move);
    age_transposition_table();
    if (!engine_to_move) check_game_end(legal_move_count());
}

void analysis_pass() {
    time_limited.store(false, std::memory_order_release);
    hard_deadline_ms.store(NO_DEADLINE);
    stop_search.store(false);
    if (!listen(hear_while_analysing)) {
        print_line("telluser could not start the input thread; analysis is off\n");
        read_line_or_quit();
        return;
    }
    if (think()) age_transposition_table();
    wait_until_heard();
    read_line_or_quit();
}

// ---- Thinking lines: the console's, with mate scores as xboard reads them.

void xboard_new_best(int depth, int score, int cs, std::uint64_t nodes, const Move* pv,
                     int length) {
    console_report.new_best(depth, xboard_score(score), cs, nodes, pv, length);
}

void xboard_iteration_done(int depth, int sel, int score, int cs, std::uint64_t nodes) {
    console_report.iteration_done(depth, sel, xboard_score(score), cs, nodes);
}

void xboard_table_result(int depth, int score, Move move) {
    console_report.table_result(depth, xboard_score(score), move);
}

void xboard_book_move(Move move) {
    console_report.book_move(move);
}

}  // namespace

const SearchReport xboard_report = {xboard_new_best, xboard_iteration_done, xboard_table_result,
                                    xboard_book_move};

int xboard_score(int score) {
    if (score >= MATE_BOUND) return 100000 + (MATE_SCORE - score + 1) / 2;
    if (score <= -MATE_BOUND) return -100000 - (MATE_SCORE + score) / 2;
    return score;
}

namespace {

// The result code the rules give the position (0: the game goes on) and its line.
int game_end(int legal_count, const char*& line) {
    const PositionState& st = position.state;
    if (legal_count == 0) {
        // Mate: the side that has just moved wins. No move and no check: stalemate.
        if (!in_check()) {
            line = "1/2-1/2\n";
            return GAME_DRAWN;
        }
        line = st.side_to_move == BLACK ? "1-0\n" : "0-1\n";
        return st.side_to_move == BLACK ? WHITE_WON : BLACK_WON;
    }
    // The history must keep room for a search above the game.
    if (position.game_ply >= MAX_GAME_PLY) {
        line = "1/2-1/2 {game too long}\n";
        return GAME_DRAWN;
    }
    line = "1/2-1/2\n";
    if (st.fifty_counter >= 100) return GAME_DRAWN;
    int repeats = 0;
    for (int ply = std::max(0, position.game_ply - st.fifty_counter); ply < position.game_ply;
         ++ply)
        if (position.state_history[ply].key == st.key) ++repeats;
    return repeats >= 2 ? GAME_DRAWN : GAME_RUNNING;
}

}  // namespace

void check_game_end(int legal_count) {
    const char* line = nullptr;
    if (const int code = game_end(legal_count, line)) report_result(code, line);
}

void xboard_session() {
    force_mode = false;
    engine_to_move = false;
    analyze_mode = false;
    session_over = false;
    search_report = &xboard_report;
    // Without the reader thread the engine still plays; it only cannot hear
    // the interface while it searches (and so neither ponders nor analyses).
    start_input_reader();
    while (!session_over) {
        if (!force_mode && engine_to_move && !analyze_mode &&
            position.state.game_result == GAME_RUNNING) {
            engine_move();
            check_game_end(legal_move_count());
        }
        if (analyze_mode)
            analysis_pass();
        else if (force_mode || engine_to_move || position.state.game_result != GAME_RUNNING ||
                 !ponder_enabled)
            read_line_or_quit();
        else
            ponder_pass();
        if (!session_over) dispatch(input_line);
    }
}

void xboard_loop() {
    xboard_session();
    quit_engine();
}
