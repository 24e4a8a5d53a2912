// UCI's info lines: the search's reports as UCI interfaces read them.
#include "frontend/uci_info.h"

#include <algorithm>
#include <string>

#include "frontend/io.h"
#include "frontend/session.h"
#include "frontend/thinking.h"
#include "frontend/wdl.h"
#include "platform/platform.h"

int uci_root_material = 0;

namespace {

// UCI's score: centipawns, or the distance to mate in moves, negative when the
// engine is mated.
std::string score_text(int score) {
    if (is_mate_score(score)) return "mate " + std::to_string(mate_in_moves(score));
    return "cp " + std::to_string(score);
}

// With UCI_ShowWDL: " wdl W D L", the score's chances in permille; else "".
std::string wdl_text(int score) {
    if (!show_wdl) return "";
    const WdlPermille p = wdl_of_score(score, uci_root_material);
    return " wdl " + std::to_string(p.win) + " " + std::to_string(p.draw) + " " +
           std::to_string(p.loss);
}

// One info line, written in one piece so that a "readyok" from the reader
// thread never lands inside it.
void print_info(const SearchInfo& info) {
    std::string line = "info depth " + std::to_string(info.depth) + " seldepth " +
                       std::to_string(std::max(info.sel_depth, info.depth));
    if (info.line > 0) line += " multipv " + std::to_string(info.line);
    if (info.scored) line += " score " + score_text(info.score) + wdl_text(info.score);
    line += " nodes " + std::to_string(info.nodes) + " nps " + std::to_string(info.nps);
    if (info.hashfull >= 0) line += " hashfull " + std::to_string(info.hashfull);
    if (tablebases_in_use() || info.hashfull >= 0)
        line += " tbhits " + std::to_string(info.tb_hits);
    line += " time " + std::to_string(info.time_ms);
    if (info.pv_length > 0) line += " pv";
    for (int i = 0; i < info.pv_length; ++i) {
        move_to_text(info.pv[i]);
        line += ' ';
        line += move_text;
    }
    print_line("%s\n", line.c_str());
}

// The completed iteration with its whole variation, so that the last line a
// GUI keeps of a depth always shows the move the engine will play.
void uci_iteration_done(const SearchInfo& info) {
    if (multi_pv > 1) return;  // the lines have been reported
    print_info(info);
}

// A depth whose result the table held is said only once something has been
// searched, with the nodes and time so far: never as "nodes 0".
void uci_table_result(const SearchInfo& info) {
    if (info.nodes > 0) print_info(info);
}

// With several lines: "multipv K" in each, best first.
void uci_lines_done(const SearchInfo* lines, int count) {
    for (int k = 0; k < count; ++k) print_info(lines[k]);
}

void uci_current_move(const SearchInfo& info) {
    move_to_text(info.current_move);
    print_line("info currmove %s currmovenumber %d\n", move_text, info.current_number);
}

void uci_progress(const SearchInfo& info) {
    print_line("info nodes %llu nps %llu hashfull %d time %lld\n",
               static_cast<unsigned long long>(info.nodes),
               static_cast<unsigned long long>(info.nps), info.hashfull,
               static_cast<long long>(info.time_ms));
}

}  // namespace

const SearchReport uci_report = {print_info,     uci_iteration_done, uci_table_result,
                                 uci_lines_done, uci_current_move,   uci_progress,
                                 uci_lines_done, print_info};

// The book's move, said in words and as a line of one move, so that the last
// line with a score before "bestmove" names the move played. Nothing was searched.
void uci_book_move(Move move) {
    move_to_text(move);
    print_line("info string book move %s\n", move_text);
    print_line("info depth 1 seldepth 1 score cp 0%s nodes 0 nps 0 time 0 pv %s\n",
               wdl_text(0).c_str(), move_text);
}
