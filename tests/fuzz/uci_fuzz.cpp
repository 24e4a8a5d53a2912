// The UCI driver in the process on arbitrary command sequences: positions
// with move lists, searches with every limit, pondering, infinite analysis,
// stop, ponderhit, isready and options, each search held to three plies.
// Every "bestmove" must name a legal move of the position searched (or
// "0000" where there is none), and the position is sound at the end.
#include <string>

#include "fuzz_support.h"

namespace {

constexpr int DEPTH_CEILING = 3;  // plies: every search stays short

// The engine has said that it has nothing to play (a refused position, or
// searchmoves with no legal move): its next bestmove is "0000".
bool nothing_to_play = false;

// The best move is printed on the driver's thread, with the searched position
// on the board.
void check_output(const char* text, std::size_t length) {
    const std::string line(text, length);
    for (const char* why : {"info string no position to search", "info string searchmoves names"})
        if (line.rfind(why, 0) == 0) nothing_to_play = true;
    if (line.compare(0, 9, "bestmove ") != 0) return;
    fuzz::check_position("when the engine answered");
    const std::string move = line.substr(9, line.find_first_of(" \n", 9) - 9);
    const bool told = nothing_to_play;
    nothing_to_play = false;
    if (move == "0000") {
        fuzz::check(told || perft(0) == 0, "bestmove 0000 with legal moves at hand");
        return;
    }
    fuzz::check(!told, "a move played with nothing to play");
    fuzz::check(move.size() >= 4 && parse_move_text(move.c_str()) != 0,
                "bestmove names no legal move");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::allocate_small_tables();
    search_depth_ceiling = DEPTH_CEILING;
    set_output_sink(check_output);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    nothing_to_play = false;
    init_position();
    tt_clear_all();
    clear_time_control();
    {
        // "Hash" would give the table up to gigabytes, which every "ucinewgame"
        // then clears; the sizes it reads are the configuration file's, fuzzed
        // there. "Threads" would start up to 256 threads for three-ply searches,
        // and "go perft" counts to ten plies: neither is held by the depth ceiling.
        std::string text = fuzz::bytes_of(data, size, 4096);
        for (const char* word : {"hash", "threads", "perft"})
            text = fuzz::without_lines_containing(text, word);
        const fuzz::InputFromBytes input(text);
        uci_session();
    }
    fuzz::check_position("after the session");
    fuzz::check(max_depth <= DEPTH_CEILING, "a search depth past the ceiling");
    return 0;
}
