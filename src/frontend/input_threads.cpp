// The input threads: while the engine ponders or analyses on the main thread,
// one of these reads the interface's lines, handles the harmless ones itself
// and stops the search for anything else, leaving the line in input_line.
#include "frontend/frontend.h"
#include "search/search.h"

namespace {

// The promotion codes a fifth move character stands for, either colour.
bool promotion_matches(char letter, int promotion) {
    switch (letter) {
        case 'q':
            return promotion == W_QUEEN || promotion == B_QUEEN;
        case 'r':
            return promotion == W_ROOK || promotion == B_ROOK;
        case 'b':
            return promotion == W_BISHOP || promotion == B_BISHOP;
        case 'n':
            return promotion == W_KNIGHT || promotion == B_KNIGHT;
        default:
            return promotion == 0;
    }
}

// Compared with the prediction alone: the predicted move is on the board, so
// the legal moves of the position before it are not at hand.
bool is_predicted_move(const char* text) {
    const int from = (10 * (text[1] - '0') + (text[0] - 'a') + 11) & 0xFF;
    const int to = (10 * (text[3] - '0') + (text[2] - 'a') + 11) & 0xFF;
    return move_from(ponder_move) == from && move_to(ponder_move) == to &&
           promotion_matches(text[4], move_promotion(ponder_move));
}

void read_time_left() {
    const char* cursor = text_at(input_line, 5);
    int value = 0;
    if (parse_int(cursor, value)) time_left_cs.store(value);
}

}  // namespace

void ponder_input_thread() {
    for (;;) {
        if (!read_line()) break;  // end of input: stop, the driver then ends
        if (looks_like_move(input_line)) {
            if (is_predicted_move(input_line)) {
                // The search goes on, now against the clock; the budget must be
                // in place before the search sees time_limited.
                if (clock_control) compute_time_budget();
                time_limited.store(true, std::memory_order_release);
                ponder_hit_move.store(ponder_move);
                input_line[0] = '\0';
                pondering.store(false);
                return;
            }
            break;
        }
        if (starts_with(input_line, "time")) {
            read_time_left();
        } else if (starts_with(input_line, "otim")) {
            // the opponent's clock plays no part in the budget
        } else if (starts_with(input_line, "post")) {
            post_thinking.store(true);
        } else if (starts_with(input_line, "nopost")) {
            post_thinking.store(false);
        } else {
            break;
        }
    }
    ponder_hit_move.store(0);
    stop_search.store(true);
    pondering.store(false);
}

void analysis_input_thread() {
    for (;;) {
        if (!read_line()) break;
        if (starts_with(input_line, ".") || starts_with(input_line, "bk") ||
            starts_with(input_line, "hint")) {
            // status requests and hints have no answer during analysis
        } else if (starts_with(input_line, "post")) {
            post_thinking.store(true);
        } else if (starts_with(input_line, "nopost")) {
            post_thinking.store(false);
        } else {
            break;
        }
    }
    stop_search.store(true);
}
