// Iterative deepening at the root, aspiration windows and the thinking lines.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "search/internal.h"

namespace {

constexpr int ASPIRATION_MIN_DEPTH = 4;
constexpr int ASPIRATION_HALF_WIDTH = 40;
constexpr int WIDENING_STEP = 200;
constexpr int SINGLE_MOVE_DEPTH = 8;  // a forced move is not searched deeper than this

bool stopped() {
    return stop_search.load(std::memory_order_relaxed);
}
bool timed() {
    return time_limited.load(std::memory_order_acquire);
}

// The move just made at the root (search_ply 1): searched with the aspiration
// window, which is widened on each side, first by a step, then fully.
int search_first_root_move(int& alpha, int& beta, int nd, int gc) {
    bool low_widened = false, high_widened = false;
    for (;;) {
        const int s = -alpha_beta(-beta, -alpha, nd, 0, gc);
        if (stopped()) return s;
        if (s <= alpha) {
            if (low_widened) {
                alpha = -INFINITE_SCORE;
            } else {
                alpha = s <= -MATE_BOUND ? -INFINITE_SCORE : alpha - WIDENING_STEP;
                low_widened = true;
            }
        } else if (s >= beta) {
            if (high_widened) {
                beta = INFINITE_SCORE;
            } else {
                beta = s >= MATE_BOUND ? INFINITE_SCORE : beta + WIDENING_STEP;
                high_widened = true;
            }
        } else {
            return s;
        }
    }
}

// A later root move: a zero window above alpha, widened upwards only when it fails high.
int search_later_root_move(int alpha, int nd, int gc) {
    int b = alpha + 1;
    bool widened = false;
    for (;;) {
        const int s = -alpha_beta(-b, -alpha, nd, 0, gc);
        if (stopped()) return s;
        if (s < b) return s;
        if (widened) {
            b = INFINITE_SCORE;
        } else {
            b = s >= MATE_BOUND ? INFINITE_SCORE : b + WIDENING_STEP;
            widened = true;
        }
    }
}

bool in_list(Move m, int count, const MoveEntry* list) {
    for (int i = 0; i < count; ++i) {
        if (list[i].move == m) return true;
    }
    return false;
}

// The main thread's reporting in the running search.
const SearchReport* report = nullptr;  // where the running search reports
int report_depth = 0;                  // depth of the iteration in progress, plies
std::int64_t next_progress_ms = 0;     // clock_ms() from which a progress report is due
int line_in_progress = 0;  // main thread: the line being searched, from 0 (those before are done)
// Main thread: the best move of the line in progress whose search at report_depth came
// back above alpha, and its score; 0: none yet.
Move line_best_move = 0;
int line_best_score = 0;
// Main thread, with several lines: those of the last completed iteration, best first.
RootMove complete_lines[MOVE_LIST_CAPACITY];
int complete_line_count = 0;

bool several_lines() {
    return search_limits.lines > 1;  // the lines are reported once an iteration is done
}

// A report of the iteration in progress as the clock and the counters have it now.
SearchInfo info_now(int depth, int score) {
    update_elapsed();
    SearchInfo info;
    info.depth = depth;
    info.sel_depth = this_worker->sel_depth;
    info.score = reported_score(score);
    info.nodes = search_nodes();
    info.time_ms = std::max<std::int64_t>(last_clock - search_start_clock, 0);
    info.nps =
        info.nodes * 1000 / static_cast<std::uint64_t>(std::max<std::int64_t>(info.time_ms, 1));
    info.tb_hits = tablebase_hits();
    return info;
}

// The new best root move m with the table's continuation after it.
void report_new_best(Move m, int s) {
    Move pv[MAX_PV_LENGTH];
    SearchInfo info = info_now(report_depth, s);
    info.pv = pv;
    info.pv_length = collect_root_pv(m, pv, MAX_PV_LENGTH);
    report->new_best(info);
}

// The main thread starts on a root move: after the first second the report
// names it, and once a second tells the table's use.
void announce_root_move(Move m, int number) {
    const std::int64_t now = clock_ms();
    if (now - search_start_clock < PROGRESS_DELAY_MS) return;
    SearchInfo info = info_now(report_depth, 0);
    info.current_move = m;
    info.current_number = number;
    report->current_move(info);
    if (now < next_progress_ms) return;
    next_progress_ms = now + PROGRESS_DELAY_MS;
    info.hashfull = tt_hashfull();
    report->progress(info);
}

// This thread's search starts: counters, ply and killers from nothing.
void start_thread_search() {
    Worker& w = *this_worker;
    w.move_nodes.store(0, std::memory_order_relaxed);
    w.capture_nodes.store(0, std::memory_order_relaxed);
    w.tb_hits.store(0, std::memory_order_relaxed);
    w.search_ply = 0;
    std::memset(w.killer_1, 0, sizeof w.killer_1);
    std::memset(w.killer_2, 0, sizeof w.killer_2);
    std::memset(w.killer_3, 0, sizeof w.killer_3);
}

// Deeper iterations start with a window around the last score; a mate score
// keeps only the bound on its side.
void aspiration_window(int depth, int prev, int& alpha, int& beta) {
    alpha = -INFINITE_SCORE;
    beta = INFINITE_SCORE;
    if (depth < ASPIRATION_MIN_DEPTH) return;
    if (prev >= MATE_BOUND) {
        alpha = MATE_BOUND;
    } else if (prev <= -MATE_BOUND) {
        beta = -MATE_BOUND;
    } else {
        alpha = prev - ASPIRATION_HALF_WIDTH;
        beta = prev + ASPIRATION_HALF_WIDTH;
    }
}

// Plays the root move and searches it; only a check extends at the root.
int search_root_move(Move m, int index, int depth, int& alpha, int& beta) {
    make_move(m);
    this_worker->search_ply = 1;
    const int gc = move_gives_check() ? 1 : 0;
    const int nd = gc ? depth : depth - 1;
    const int s = index == 0 ? search_first_root_move(alpha, beta, nd, gc)
                             : search_later_root_move(alpha, nd, gc);
    unmake_move();
    this_worker->search_ply = 0;
    count_node(this_worker->move_nodes);
    return s;
}

// The root move m raised alpha to s: it becomes this thread's best. The main
// thread's is the move to play, and is reported. False when the clock says the
// search must end.
bool take_new_best(bool main, Move m, int sc, int s, int& alpha, Move& best) {
    if (sc < KILLER_LIMIT) update_killers(m, 0);
    alpha = s;
    best = m;
    if (!main) return true;
    line_best_move = m;
    line_best_score = s;
    update_elapsed();
    if (!several_lines()) report_new_best(m, s);
    return !(timed() && (search_time_exceeded() || deadline_passed()));
}

// One iteration of a line over its root moves, the table's move first; alpha
// ends as the line's score, best as its move. False when the search must end at once.
bool search_root_moves(int depth, int count, const MoveEntry* root_list, Move hash_move, int& alpha,
                       int& beta, Move& best) {
    const bool main = is_main_search_thread();
    MoveEntry list[MOVE_LIST_CAPACITY];
    std::copy(root_list, root_list + count, list);
    score_moves(count, hash_move, list);
    best = hash_move;
    if (main) line_best_move = 0;
    for (int index = 0; index < count; ++index) {
        pick_next_move(index, count, list);
        const Move m = list[index].move;
        if (main) announce_root_move(m, index + 1);
        const int s = search_root_move(m, index, depth, alpha, beta);
        if (stopped()) {
            // Stopped before any move was chosen and without a usable table
            // move: play the move that was being searched rather than none.
            if (!in_list(best, count, root_list)) best = list[0].move;
            return false;
        }
        note_root_score(m, s);
        if (s > alpha && !take_new_best(main, m, list[index].score, s, alpha, best)) return false;
    }
    return true;
}

// The mate a search was asked for is proved by score.
bool mate_found(int score) {
    const int plies = search_limits.mate_plies;
    return plies > 0 && score >= MATE_SCORE - plies;
}

// After a completed iteration whose best score is score: out of time (the
// main thread keeps the clock), the mate asked for found, a forced move
// searched deep enough, or the last depth done.
bool last_iteration(bool main, int depth, int count, int last_depth, int score) {
    if (main && timed() && (iteration_time_exceeded() || deadline_passed())) return true;
    if (mate_found(score)) return true;
    if (count == 1 && depth >= SINGLE_MOVE_DEPTH) return true;
    return depth + 1 > last_depth;
}

// Below depth 2 there would be no iteration and so no move to play.
int last_search_depth() {
    return std::max(search_limits.depth, MIN_SEARCH_DEPTH);
}

// The table's entry of the root is the result of a search over every root
// move: a search over only the moves the front end allows neither takes nor stores one.
bool root_result_stored() {
    return !search_limits.allowed.restricted;
}

// An exact result of this depth already in the table need not be searched
// again, except for the last iteration: prev and hash_move then hold it.
// Otherwise hash_move is the root's table move, or 0. Several lines are
// searched afresh (the table keeps only the first), and a mate asked for is
// searched at the depth it is found, to end there. A result without a move
// the root may play (one the tablebases cut off, or a move they ranked out)
// is searched too, so that every depth reported has a line to play.
bool table_has_iteration(int depth, int last_depth, int& prev, Move& hash_move) {
    if (!tt_probe(-INFINITE_SCORE, INFINITE_SCORE, depth, prev, hash_move) || depth >= last_depth)
        return false;
    hash_move = tt_probe_move();
    return !several_lines() && root_result_stored() && !mate_found(prev) && is_root_move(hash_move);
}

// The depths a helper leaves out, so that helpers spread over the depths
// around the main thread's rather than all repeat it: helper i skips runs of
// `run` depths, run growing with the index (1 for helpers 1 and 2, 2 for 3 to
// 6, 3 for 7 to 14, ...), the runs shifted by the index. The main thread
// searches every depth.
bool skips_depth(int index, int depth) {
    if (index == 0) return false;
    int run = 1;
    while ((2 << run) - 2 < index) ++run;
    return ((depth + index) / run) % 2 == 1;
}

// Where each line of the next iteration starts: its first move and score in
// the last complete one (the move searched first, the window's centre).
struct LastLines {
    Move move[MOVE_LIST_CAPACITY];
    int score[MOVE_LIST_CAPACITY];
};

void remember_lines(int lines, int prev, Move hash_move, LastLines& last) {
    const RootMove* const records = this_worker->root_moves;
    for (int k = 0; k < lines; ++k) {
        const bool searched = records[k].score != -INFINITE_SCORE;
        last.move[k] = searched ? records[k].move : 0;
        last.score[k] = searched ? records[k].score : 0;
    }
    // The first line starts from the table's result when it held the last depth.
    last.move[0] = hash_move;
    last.score[0] = prev;
}

// Line k of the iteration in progress, completed: sent at once after the
// first second, so that a long iteration's lines arrive as they are found.
void report_line_done(int k) {
    if (report->line_done == nullptr) return;
    const RootMove& r = this_worker->root_moves[k];
    SearchInfo info = info_now(report_depth, r.score);
    if (info.time_ms < PROGRESS_DELAY_MS) return;
    info.sel_depth = r.sel_depth;
    info.line = k + 1;
    info.pv = r.pv;
    info.pv_length = r.pv_length;
    report->line_done(info);
}

// The lines of one iteration, each over the root moves less the first moves
// of the lines before it; then the lines best first, and best the first
// one's move (also kept when a stop cuts the first line short). The first
// line's result goes to the table. False when the search must end at once.
bool search_lines(int depth, int lines, int count, const MoveEntry* root_list,
                  const LastLines& last, Move& best) {
    Worker& w = *this_worker;
    int deepest = depth;
    for (int line = 0; line < lines; ++line) {
        MoveEntry rest[MOVE_LIST_CAPACITY];
        const int left = moves_outside_lines(root_list, count, line, rest);
        const Move first = in_list(last.move[line], left, rest) || line == 0 ? last.move[line] : 0;
        if (is_main_search_thread()) line_in_progress = line;
        w.sel_depth = depth;
        int alpha = 0, beta = 0;
        aspiration_window(depth, last.score[line], alpha, beta);
        Move other_best = 0;
        Move& line_best = line == 0 ? best : other_best;
        if (!search_root_moves(depth, left, rest, first, alpha, beta, line_best)) return false;
        if (line == 0 && root_result_stored()) tt_store(alpha, depth, BOUND_EXACT, best);
        finish_line(line, line_best, alpha, depth, w.sel_depth);
        deepest = std::max(deepest, w.sel_depth);
        if (line < lines - 1 && is_main_search_thread()) report_line_done(line);
    }
    w.sel_depth = deepest;
    sort_lines(lines);
    best = w.root_moves[0].move;
    return true;
}

// The last line of an iteration tells the table's use once the search has run a second.
void tell_table_use(SearchInfo& info) {
    if (info.time_ms >= PROGRESS_DELAY_MS) info.hashfull = tt_hashfull();
}

// The lines of an iteration, one record each.
void report_lines(int lines) {
    SearchInfo infos[MOVE_LIST_CAPACITY];
    for (int k = 0; k < lines; ++k) {
        const RootMove& r = this_worker->root_moves[k];
        infos[k] = info_now(report_depth, r.score);
        infos[k].sel_depth = r.sel_depth;
        infos[k].line = k + 1;
        infos[k].pv = r.pv;
        infos[k].pv_length = r.pv_length;
    }
    tell_table_use(infos[lines - 1]);
    report->lines_done(infos, lines);
}

void report_iteration(int lines) {
    if (several_lines()) report_lines(lines);
    const RootMove& best = this_worker->root_moves[0];
    SearchInfo info = info_now(report_depth, best.score);
    info.pv = best.pv;
    info.pv_length = best.pv_length;
    tell_table_use(info);
    report->iteration_done(info);
}

void keep_complete_lines(int lines) {
    std::copy(this_worker->root_moves, this_worker->root_moves + lines, complete_lines);
    complete_line_count = lines;
}

// The search stopped inside the iteration of report_depth with no move of
// the first line searched at that depth: the move to play is the first line
// of the iteration before, when there was one, rather than the table's move.
Move stopped_best(Move best) {
    const RootMove& first = this_worker->root_moves[0];
    if (line_in_progress > 0 || line_best_move != 0 || first.depth == 0) return best;
    return first.move;
}

// Line k of a stopped search as it stands: done in the iteration of
// report_depth, or as the one before left it; false when it has no complete
// search.
bool stood_line(int k, SearchInfo& info) {
    const RootMove& r = this_worker->root_moves[k];
    if (k < line_in_progress) {
        info = info_now(report_depth, r.score);
    } else if (r.depth > 0 && r.depth < report_depth) {
        info = info_now(r.depth, r.previous_score);
    } else {
        return false;
    }
    info.sel_depth = r.sel_depth;
    info.pv = r.pv;
    info.pv_length = r.pv_length;
    return true;
}

// Stopped before any search of the move to play completed (a clock nearly
// out): that move alone, at the depth in progress, without a score.
void report_unscored(Move best) {
    Move move = best != 0 ? best : this_worker->root_moves[0].move;
    SearchInfo info = info_now(report_depth, 0);
    info.scored = false;
    info.line = several_lines() ? 1 : 0;
    info.pv = &move;
    info.pv_length = 1;
    report->stopped(&info, 1);
}

// The search stopped inside the iteration of report_depth: its lines as they
// stand, the move to play first (the first line's best move so far when one
// came back at that depth). The line in progress keeps its last complete
// search.
void report_stopped(int lines, Move best) {
    SearchInfo infos[MOVE_LIST_CAPACITY];
    RootMove fresh;  // the first line's best move so far, with its variation
    int n = 0;
    if (line_in_progress == 0 && line_best_move != 0) {
        fresh.pv_length = collect_root_pv(best, fresh.pv, MAX_PV_LENGTH);
        infos[0] = info_now(report_depth, line_best_score);
        infos[0].sel_depth = this_worker->sel_depth;
        infos[0].pv = fresh.pv;
        infos[0].pv_length = fresh.pv_length;
        n = 1;
    }
    // A first line whose move is new at this depth moves the others down one.
    for (int k = 0; k < lines && n < lines; ++k) {
        const bool is_best = this_worker->root_moves[k].move == best;
        if (is_best == (n == 0) && stood_line(k, infos[n])) ++n;
        if (n == 0) return report_unscored(best);  // the move to play comes first
    }
    if (infos[0].pv[0] != best) return;
    for (int k = 0; k < n; ++k) infos[k].line = several_lines() ? k + 1 : 0;
    report->stopped(infos, n);
}

void report_table_result(int depth, int score, Move move) {
    SearchInfo info = info_now(depth, score);
    info.sel_depth = depth;
    info.pv = &move;
    info.pv_length = 1;
    report->table_result(info);
}

// A helper completed the iteration of depth (one line, its score prev): the
// line is offered to the main thread, and when the search has no more to do
// (its last depth, the mate asked for, a forced move) the search stops, for
// the main thread to play that line. True when this helper is done.
bool helper_iteration_done(int depth, int count, int last_depth, int prev) {
    offer_helper_line(this_worker->root_moves[0], mate_found(prev));
    if (!last_iteration(false, depth, count, last_depth, prev)) return false;
    if (!several_lines()) stop_search.store(true, std::memory_order_relaxed);
    return true;
}

// A helper's line r is better informed than the main thread's first line own:
// it proves the mate asked for and own does not, or it is deeper (and keeps a
// mate own proved). Own's score is that of its last complete search (an
// iteration cut short may have changed score since).
bool helper_line_better(const RootMove& own, const RootMove& r, bool decisive) {
    if (own.depth == 0) return true;
    const int score = own.depth == report_depth ? own.score : own.previous_score;
    if (decisive) return !mate_found(score);
    return r.depth > own.depth && (score < MATE_BOUND || r.score >= score);
}

// The main thread ends its search. With one line, a helper's line better
// informed than its own becomes the first (its variation from the table, as
// every line's), is reported as its iteration's and is played.
bool take_helper_line(Move& best) {
    const RootMove& own = this_worker->root_moves[0];
    RootMove r;
    bool decisive = false;
    if (several_lines() || !offered_helper_line(r, decisive)) return false;
    if (!helper_line_better(own, r, decisive) || !is_root_move(r.move)) return false;
    finish_line(0, r.move, r.score, r.depth, r.sel_depth);
    report_depth = r.depth;
    this_worker->sel_depth = r.sel_depth;
    report_iteration(1);
    best = r.move;
    return true;
}

// Iterative deepening over the root moves of this thread's worker, the same
// for every search thread but that helpers leave some depths out and search
// one line, and only the main thread keeps the clock and reports. The move
// to play ends in best, the lines in the worker's root moves.
void deepen(int count, const MoveEntry* root_list, Move& best) {
    const bool main = is_main_search_thread();
    const int last_depth = last_search_depth();
    const int lines = main ? std::min(search_limits.lines, count) : 1;
    if (main) next_progress_ms = search_start_clock + PROGRESS_DELAY_MS;
    LastLines last;
    int prev = 0;
    Move hash_move = 0;
    for (int depth = MIN_SEARCH_DEPTH;; ++depth) {
        if (depth < last_depth && skips_depth(this_worker->index, depth)) continue;
        if (table_has_iteration(depth, last_depth, prev, hash_move)) {
            if (!main) continue;
            // The table's result stands as the first line of that depth.
            finish_line(0, hash_move, prev, depth, depth);
            report_table_result(depth, prev, hash_move);
            continue;
        }
        if (main) report_depth = depth;
        remember_lines(lines, prev, hash_move, last);
        start_root_iteration();
        if (!search_lines(depth, lines, count, root_list, last, best)) {
            if (main && !take_helper_line(best)) {
                best = stopped_best(best);
                report_stopped(lines, best);
            }
            return;
        }
        prev = this_worker->root_moves[0].score;
        if (!main) {
            if (helper_iteration_done(depth, count, last_depth, prev)) return;
            continue;
        }
        update_elapsed();
        report_iteration(lines);
        if (lines > 1) keep_complete_lines(lines);
        if (last_iteration(true, depth, count, last_depth, prev)) {
            take_helper_line(best);
            return;
        }
    }
}

// The result: the root moves with best in front, its variation read from the
// table as it stands now, cut after the first move when the reply is not legal.
RootMoves result_with(Move best) {
    RootMoves result;
    result.nodes = search_node_counts();
    result.time_ms = last_clock - search_start_clock;
    result.complete_lines.assign(complete_lines, complete_lines + complete_line_count);
    const Worker& w = *this_worker;
    result.moves.assign(w.root_moves, w.root_moves + w.root_move_count);
    const auto front = std::find_if(result.moves.begin(), result.moves.end(),
                                    [best](const RootMove& r) { return r.move == best; });
    if (front == result.moves.end()) return result;
    std::rotate(result.moves.begin(), front, front + 1);
    RootMove& r = result.moves[0];
    r.pv_length = collect_root_pv(best, r.pv, MAX_PV_LENGTH);
    if (r.pv_length < 2) return result;
    make_move(best);
    if (!is_legal(r.pv[1])) r.pv_length = 1;
    unmake_move();
    return result;
}

}  // namespace

RootMoves search(const SearchLimits& limits, const SearchReport& report_to) {
    search_start_clock = clock_ms();
    last_clock = search_start_clock;
    search_limits = limits;
    report = &report_to;
    start_search_clock(limits);
    start_thread_search();
    this_worker->root_move_count = 0;
    complete_line_count = 0;
    MoveEntry root_list[MOVE_LIST_CAPACITY];
    const int legal_count = filter_legal(generate_moves(root_list), root_list);
    // The front end may allow only some of them (none: no move to play); the
    // tables may keep only some of those. Every thread searches what is left.
    const int allowed = legal_count > 0 ? allow_root_moves(root_list, legal_count) : 0;
    if (allowed == 0) return result_with(0);
    const int count = restrict_root_moves(root_list, allowed);
    start_root_moves(root_list, count);
    start_helpers(root_list, count);
    Move best = 0;
    deepen(count, root_list, best);
    finish_helpers();
    return result_with(best);
}

void helper_search(const MoveEntry* root_list, int count) {
    start_thread_search();
    start_root_moves(root_list, count);
    Move best = 0;
    deepen(count, root_list, best);
}

int collect_pv(Move* pv, int capacity) {
    if (capacity <= 0 || this_worker->search_ply >= MAX_SEARCH_PLY) return 0;
    if (position.state.fifty_counter >= 100) return 0;
    if (repeats_earlier_position()) return 0;
    // The table's move is played here, so it is checked first: one that a key
    // collision gave (an entry checks 48 key bits or more) must not reach the board.
    const Move m = tt_probe_move();
    if (m == 0 || !is_legal(m)) return 0;
    pv[0] = m;
    make_move(m);
    ++this_worker->search_ply;
    const int rest = collect_pv(pv + 1, capacity - 1);
    unmake_move();
    --this_worker->search_ply;
    return 1 + rest;
}

int collect_root_pv(Move first, Move* pv, int capacity) {
    if (capacity <= 0) return 0;
    pv[0] = first;
    make_move(first);
    this_worker->search_ply = 1;
    const int length = 1 + collect_pv(pv + 1, capacity - 1);
    unmake_move();
    this_worker->search_ply = 0;
    return length;
}

void print_pv() {
    Move pv[MAX_PV_LENGTH];
    const int length = collect_pv(pv, MAX_PV_LENGTH);
    for (int i = 0; i < length; ++i) {
        move_to_text(pv[i]);
        print_line("%s ", move_text);
    }
}
