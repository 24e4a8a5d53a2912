// The console's thinking lines. Each is written in one piece, so that a reply
// printed by another thread never lands inside it.
#include "frontend/thinking.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "platform/platform.h"

namespace {

constexpr int LINE_SIZE = 64 + 6 * MAX_PV_LENGTH;

// The search's time in the console's unit, centiseconds.
int centiseconds(const SearchInfo& info) {
    return static_cast<int>(
        std::min<std::int64_t>(info.time_ms / 10, std::numeric_limits<std::int32_t>::max()));
}

void console_new_best(const SearchInfo& info) {
    char line[LINE_SIZE];
    int used = std::snprintf(line, sizeof line, "%d %d %d %llu ", info.depth, info.score,
                             centiseconds(info), static_cast<unsigned long long>(info.nodes));
    for (int i = 0; i < info.pv_length && used > 0 && used < LINE_SIZE; ++i) {
        move_to_text(info.pv[i]);
        used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used), "%s ",
                              move_text);
    }
    print_line("%s\n", line);
}

void console_iteration_done(const SearchInfo& info) {
    print_line("->(%d/%d %d %d %llu)\n", info.depth, info.sel_depth, info.score, centiseconds(info),
               static_cast<unsigned long long>(info.nodes));
}

void console_table_result(const SearchInfo& info) {
    move_to_text(info.pv[0]);
    print_line("%d %d 0 0 %s (Hash Move)\n", info.depth, info.score, move_text);
}

// The best line last, so that the last line of a depth is the best.
void console_lines_done(const SearchInfo* lines, int count) {
    for (int k = count - 1; k >= 0; --k) console_new_best(lines[k]);
}

void console_nothing(const SearchInfo&) {}
void console_no_lines(const SearchInfo*, int) {}

// info with its score in xboard's form.
SearchInfo shown(const SearchInfo& info) {
    SearchInfo copy = info;
    copy.score = xboard_score(info.score);
    return copy;
}

void xboard_new_best(const SearchInfo& info) {
    if (post_thinking.load()) console_new_best(shown(info));
}

void xboard_iteration_done(const SearchInfo& info) {
    if (post_thinking.load()) console_iteration_done(shown(info));
}

void xboard_table_result(const SearchInfo& info) {
    if (post_thinking.load()) console_table_result(shown(info));
}

void xboard_lines_done(const SearchInfo* lines, int count) {
    if (!post_thinking.load()) return;
    SearchInfo copies[MOVE_LIST_CAPACITY];
    for (int k = 0; k < count; ++k) copies[k] = shown(lines[k]);
    console_lines_done(copies, count);
}

// A stopped search's lines are shown when several are searched, so that the
// last lines shown begin with the move played; a thinking line needs a score.
void xboard_stopped(const SearchInfo* lines, int count) {
    if (count > 0 && lines[0].line > 0 && lines[0].scored) xboard_lines_done(lines, count);
}

}  // namespace

std::atomic<bool> post_thinking{true};

bool is_mate_score(int score) {
    return score >= MATE_BOUND || score <= -MATE_BOUND;
}

int mate_in_moves(int score) {
    return score > 0 ? (MATE_SCORE - score + 1) / 2 : -((MATE_SCORE + score) / 2);
}

int xboard_score(int score) {
    if (!is_mate_score(score)) return score;
    return (score > 0 ? 100000 : -100000) + mate_in_moves(score);
}

const SearchReport console_report = {
    console_new_best, console_iteration_done, console_table_result, console_lines_done,
    console_nothing,  console_nothing,        console_no_lines};

const SearchReport xboard_report = {xboard_new_best,   xboard_iteration_done, xboard_table_result,
                                    xboard_lines_done, console_nothing,       console_nothing,
                                    xboard_stopped};

void print_book_move_line(Move move) {
    move_to_text(move);
    print_line("0 0 0 0 %s (Book Move)\n", move_text);
}
