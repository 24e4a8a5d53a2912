// The xboard driver in the process on arbitrary command sequences: moves,
// take-backs, set-ups, edit mode, results, time controls, pondering and
// analysis, each search held to three plies. The position is checked after
// every move, set-up and take-back (the checks build), whenever the engine
// prints a move (it must be the move just made), and at the end.
#include <string>

#include "fuzz_support.h"

namespace {

constexpr int DEPTH_CEILING = 3;  // plies: every search stays short

// "move e2e4" names the last move made on the board, which is sound. The
// engine prints its moves on the driver's thread, the one that owns the board.
void check_output(const char* text, std::size_t length) {
    const std::string line(text, length);
    if (line.compare(0, 5, "move ") != 0) return;
    fuzz::check_position("when the engine moved");
    const int ply = position.game_ply;
    fuzz::check(ply > 0 && position.move_history[ply - 1] != 0, "a move printed but none made");
    const Move m = position.move_history[ply - 1];
    const int from = move_from(m), to = move_to(m);
    const char square_text[5] = {
        static_cast<char>('a' + file_of(from)), static_cast<char>('1' + from / 10 - 2),
        static_cast<char>('a' + file_of(to)), static_cast<char>('1' + to / 10 - 2), '\0'};
    fuzz::check(line.compare(5, 4, square_text) == 0, "the printed move is not the one made");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::allocate_small_tables();
    search_depth_ceiling = DEPTH_CEILING;
    set_output_sink(check_output);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    init_position();
    tt_clear_all();
    clear_time_control();
    ponder_enabled = false;
    post_thinking.store(true);
    {
        // "memory" would give the table up to a gigabyte, which every "new" then
        // clears; the sizes it reads are the configuration file's, fuzzed there.
        // "cores" would start up to 256 threads for three-ply searches.
        std::string text = fuzz::bytes_of(data, size, 4096);
        for (const char* word : {"memory", "cores"})
            text = fuzz::without_lines_containing(text, word);
        const fuzz::InputFromBytes input(text);
        xboard_session();
    }
    fuzz::check_position("after the session");
    fuzz::check(max_depth <= DEPTH_CEILING, "a search depth past the ceiling");
    return 0;
}
