// The xboard (WinBoard) protocol 2 driver, the game-end check and the time
// budget of one move.
#include <algorithm>
#include <cstdint>

#include "frontend/frontend.h"
#include "platform/platform.h"
#include "search/search.h"

bool ponder_enabled = false;
bool book_enabled = true;
std::atomic<bool> pondering{false};
Move book_move = 0;
Move ponder_move = 0;
std::atomic<Move> ponder_hit_move{0};
int moves_per_control = 0;
std::atomic<int> time_left_cs{0};
int increment_cs = 0;
bool clock_control = false;
int budget_half_moves = 0;

namespace {

bool force_mode = false;
bool engine_to_move = false;
bool analyze_mode = false;

constexpr int BOOK_PLIES = 40;  // the book is asked only this early in a game
// Keeps "st" and "level" products inside the int range: 30 days, in seconds.
constexpr int MAX_CLOCK_SECONDS = UNLIMITED_TIME_BUDGET / 100;
constexpr int MAX_MOVES_PER_CONTROL = 10000;

int legal_move_count() {
    MoveEntry list[MOVE_LIST_CAPACITY];
    return filter_legal(generate_moves(list), list);
}

bool is_legal(Move m) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    for (int i = 0; i < count; ++i)
        if (list[i].move == m) return true;
    return false;
}

void report_result(int code, const char* line) {
    position.state.game_result = static_cast<std::uint8_t>(code);
    print_line("%s", line);
}

void read_line_or_quit() {
    if (!read_line()) quit_engine();
}

void play_engine_move(Move m) {
    tt_clear_entry();
    make_move(m);
    move_to_text(m);
    print_line("move %s\n", move_text);
    engine_to_move = false;
}

// The limits every time command starts from.
void reset_clock(int depth, int budget, bool by_level) {
    max_depth = depth;
    time_budget.store(budget, std::memory_order_relaxed);
    time_left_cs.store(0, std::memory_order_relaxed);
    increment_cs = 0;
    moves_per_control = 0;
    clock_control = by_level;
}

int clamp_int(long long v, long long lo, long long hi) {
    return static_cast<int>(std::min(std::max(v, lo), hi));
}

// ---- The engine's own move.

void engine_move() {
    if (position.game_ply >= MAX_GAME_PLY) return;
    if (book_enabled && position.game_ply < BOOK_PLIES && probe_book()) {
        play_engine_move(book_move);
        return;
    }
    time_limited.store(true, std::memory_order_release);
    stop_search.store(false);
    if (clock_control) {
        budget_half_moves = position.game_ply;
        compute_time_budget();
    }
    if (think()) {
        play_engine_move(best_move);
        age_transposition_table();
    }
}

// ---- Pondering and analysis.

void ponder_pass() {
    ponder_move = tt_probe_move();
    // The stored move is the table's guess: only a legal one is played, and
    // only while the game leaves room for the predicted move and the answer.
    if (ponder_move == 0 || position.game_ply + 2 > MAX_GAME_PLY || !is_legal(ponder_move)) {
        read_line_or_quit();
        return;
    }
    tt_clear_entry();
    make_move(ponder_move);
    pondering.store(true);
    if (book_enabled && position.game_ply < BOOK_PLIES && probe_book()) {
        pondering.store(false);
        unmake_move();
        read_line_or_quit();
        return;
    }
    budget_half_moves = position.game_ply;
    time_limited.store(false, std::memory_order_release);
    stop_search.store(false);
    ponder_hit_move.store(0);
    InputThread reader;
    if (!reader.start(ponder_input_thread)) {
        // Nothing could stop the search: play on without pondering.
        pondering.store(false);
        unmake_move();
        ponder_enabled = false;
        print_line("telluser could not start the input thread; pondering is off\n");
        read_line_or_quit();
        return;
    }
    move_to_text(ponder_move);
    print_line("Hint: %s\n", move_text);
    const bool found = think();
    reader.join();
    if (input_ended()) quit_engine();
    const bool hit = ponder_hit_move.load() == ponder_move;
    if (!found) {
        // The predicted move left no reply; when the opponent played it, it
        // stays on the board and the game-end check reports the result.
        if (hit) {
            engine_to_move = true;
            check_game_end(legal_move_count());
        } else {
            unmake_move();
        }
    } else if (hit) {
        play_engine_move(best_move);
        age_transposition_table();
        check_game_end(legal_move_count());
    } else {
        unmake_move();
        age_transposition_table();
    }
}

void analysis_pass() {
    time_limited.store(false, std::memory_order_release);
    stop_search.store(false);
    InputThread reader;
    if (!reader.start(analysis_input_thread)) {
        print_line("telluser could not start the input thread; analysis is off\n");
        read_line_or_quit();
        return;
    }
    if (think()) age_transposition_table();
    reader.join();
    if (input_ended()) quit_engine();
}

// ---- Dispatch of one line.

void receive_move() {
    if (position.game_ply >= MAX_GAME_PLY) {
        print_line("Illegal move (game too long): %s\n", input_line);
    } else if (const Move m = parse_move_text(input_line)) {
        tt_clear_entry();
        make_move(m);
        engine_to_move = true;
    } else {
        print_line("Illegal move: %s\n", input_line);
    }
    check_game_end(legal_move_count());
}

void take_back() {
    const int ply = position.game_ply;
    if (ply > 0 && position.move_history[ply - 1] != 0) unmake_move();
}

void set_level() {
    reset_clock(DEFAULT_MAX_DEPTH, 0, true);
    int moves = 0, minutes = 0, seconds = 0;
    const char* cursor = text_at(input_line, 6);
    if (parse_int(cursor, moves) && parse_int(cursor, minutes)) parse_int(cursor, seconds);
    moves_per_control = clamp_int(moves, 0, MAX_MOVES_PER_CONTROL);
    time_left_cs.store(clamp_int(minutes, 0, MAX_CLOCK_SECONDS / 60) * 6000);
    increment_cs = clamp_int(seconds, 0, MAX_CLOCK_SECONDS) * 100;
}

void set_result() {
    if (position.state.game_result != 0) return;
    const char* text = text_at(input_line, 7);
    int code = 4;
    if (starts_with(text, "1-0"))
        code = 1;
    else if (starts_with(text, "0-1"))
        code = 2;
    else if (starts_with(text, "1/2-1/2"))
        code = 3;
    position.state.game_result = static_cast<std::uint8_t>(code);
}

void dispatch() {
    const char* line = input_line;
    if (looks_like_move(line)) {
        receive_move();
        return;
    }
    int value = 0;
    const char* cursor = nullptr;
    if (starts_with(line, "time")) {
        cursor = text_at(line, 5);
        if (parse_int(cursor, value)) time_left_cs.store(value);
    } else if (starts_with(line, "otim")) {
        // the opponent's clock plays no part in the budget
    } else if (starts_with(line, "protover 2")) {
        print_line(
            "feature done=0 ping=1 setboard=1 draw=0 sigint=0 sigterm=0 analyze=1 "
            "variants=\"normal\" colors=0 myname=\"Quorvanite 2.3\" done=1\n");
    } else if (starts_with(line, "new")) {
        reset_clock(DEFAULT_MAX_DEPTH, UNLIMITED_TIME_BUDGET, false);
        init_position();
        tt_clear_all();
        force_mode = false;
        engine_to_move = false;
    } else if (starts_with(line, "quit")) {
        quit_engine();
    } else if (starts_with(line, "force")) {
        force_mode = true;
    } else if (starts_with(line, "go")) {
        engine_to_move = true;
        force_mode = false;
    } else if (starts_with(line, "level")) {
        set_level();
    } else if (starts_with(line, "st")) {
        reset_clock(DEFAULT_MAX_DEPTH, UNLIMITED_TIME_BUDGET, false);
        cursor = text_at(line, 3);
        if (parse_int(cursor, value))
            time_budget.store(clamp_int(value, 0, MAX_CLOCK_SECONDS) * 100);
    } else if (starts_with(line, "sd")) {
        reset_clock(DEFAULT_MAX_DEPTH, UNLIMITED_TIME_BUDGET, false);
        cursor = text_at(line, 3);
        // Below two plies the search would choose no move at all.
        if (parse_int(cursor, value))
            max_depth = clamp_int(value, MIN_SEARCH_DEPTH, DEFAULT_MAX_DEPTH);
    } else if (starts_with(line, "ping")) {
        cursor = text_at(line, 5);
        parse_int(cursor, value);
        print_line("pong %d\n", value);
    } else if (starts_with(line, "result")) {
        set_result();
    } else if (starts_with(line, "setboard")) {
        if (!set_position_from_fen(text_at(line, 9)))
            print_line("tellusererror Illegal position\n");
    } else if (starts_with(line, "edit")) {
        if (!edit_position()) print_line("tellusererror Illegal position\n");
    } else if (starts_with(line, "undo")) {
        take_back();
    } else if (starts_with(line, "remove")) {
        take_back();
        take_back();
    } else if (starts_with(line, "hard")) {
        ponder_enabled = true;
    } else if (starts_with(line, "easy")) {
        ponder_enabled = false;
    } else if (starts_with(line, "post")) {
        post_thinking.store(true);
    } else if (starts_with(line, "nopost")) {
        post_thinking.store(false);
    } else if (starts_with(line, "analyze")) {
        analyze_mode = true;
    } else if (starts_with(line, "exit")) {
        analyze_mode = false;
    }
}

}  // namespace

void check_game_end(int legal_count) {
    const PositionState& st = position.state;
    if (legal_count == 0) {
        if (st.side_to_move == BLACK) {
            if (attacked_by_white(st.king_square[BLACK]))
                report_result(1, "1-0\n");
            else
                report_result(3, "1/2-1/2\n");
        } else {
            if (attacked_by_black(st.king_square[WHITE]))
                report_result(2, "0-1\n");
            else
                report_result(3, "1/2-1/2\n");
        }
        return;
    }
    // The history must keep room for a search above the game.
    if (position.game_ply >= MAX_GAME_PLY) {
        report_result(3, "1/2-1/2 {game too long}\n");
        return;
    }
    if (st.fifty_counter >= 100) {
        report_result(3, "1/2-1/2\n");
        return;
    }
    int repeats = 0;
    for (int ply = std::max(0, position.game_ply - st.fifty_counter); ply < position.game_ply;
         ++ply)
        if (position.state_history[ply].key == st.key) ++repeats;
    if (repeats >= 2) report_result(3, "1/2-1/2\n");
}

void compute_time_budget() {
    // Wider arithmetic than needed: clock values from the interface are not trusted.
    const long long left = time_left_cs.load();
    const long long increment = increment_cs;
    long long budget;
    if (moves_per_control == 0) {
        budget = left / 40 + increment * 75 / 100;
    } else {
        const long long per_control = moves_per_control;
        const long long moves_to_go = per_control - (budget_half_moves / 2) % per_control;
        budget = left / moves_to_go + increment * 75 / 100;
    }
    budget = std::min(budget, left / 4);
    time_budget.store(clamp_int(budget, INT32_MIN, INT32_MAX), std::memory_order_relaxed);
}

void xboard_loop() {
    force_mode = false;
    engine_to_move = false;
    analyze_mode = false;
    for (;;) {
        if (!force_mode && engine_to_move && !analyze_mode && position.state.game_result == 0) {
            engine_move();
            check_game_end(legal_move_count());
        }
        if (analyze_mode)
            analysis_pass();
        else if (force_mode || engine_to_move || position.state.game_result != 0 || !ponder_enabled)
            read_line_or_quit();
        else
            ponder_pass();
        dispatch();
    }
}
