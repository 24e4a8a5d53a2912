// Edit mode on arbitrary lines, from the start position or from a position
// with a history: a refused board leaves the position as it was; an accepted
// one is sound, and every move in it is made, taken back and read back.
#include <string>

#include "fuzz_support.h"

namespace {

// The first byte chooses where the editing starts.
void start_from(unsigned char choice) {
    init_position();
    if (choice % 3 == 0) return;
    for (const char* text : {"e2e4", "d7d5", "e4d5", "g8f6"}) {
        make_move(parse_move_text(text));
        if (choice % 3 == 1) return;
    }
    // Black to move in a position of its own.
    set_position_from_fen("r3k2r/8/8/8/3pP3/8/8/R3K2R b KQkq e3 0 1");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::allocate_small_tables();
    set_output_sink(fuzz::discard_output);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) return 0;
    start_from(data[0]);
    static Position before;
    before = position;
    bool accepted = false;
    {
        const fuzz::InputFromBytes input(fuzz::bytes_of(data + 1, size - 1, 4096));
        accepted =
            edit_position([]() -> const char* { return read_line() ? input_line : nullptr; });
    }
    if (!accepted) {
        fuzz::check(fuzz::same_board_and_state(position, before),
                    "a refused edit changed the board");
        return 0;
    }
    fuzz::check_position("after edit mode");
    fuzz::check(position.game_ply == 0, "an edited position keeps a history");
    fuzz::check_every_move();
    return 0;
}
