// Perft: counts the positions a given number of plies deep.
#include <cinttypes>

#include "board/board.h"
#include "platform/platform.h"

// Flattened: with link-time optimisation the generator, make/unmake and the
// legality test are compiled into the loop that calls them for every move.
__attribute__((flatten)) std::uint64_t perft(int depth) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = generate_moves(list);
    std::uint64_t nodes = 0;
    for (int i = 0; i < count; ++i) {
        const Move m = list[i].move;
        make_move(m);
        if (last_move_legal(move_castle_kind(m))) nodes += depth <= 0 ? 1 : perft(depth - 1);
        unmake_move();
    }
    return nodes;
}

void perft_command(int depth) {
    print_line("Perft from initial position\n");
    init_position();
    const std::int64_t t0 = clock_ms();
    const std::uint64_t count = perft(depth - 1);
    const std::int64_t cs = (clock_ms() - t0) * 100 / 1000;
    // A run shorter than a centisecond is reported as one, not as a division by zero.
    const float shown_cs = static_cast<float>(cs > 0 ? cs : 1);
    print_line("Seconds spent: %.2f\n", static_cast<double>(static_cast<float>(cs) / 100.0f));
    print_line("Nodes visited: %" PRIu64 "\n", count);
    print_line("CPU speed: %.0fK nps\n",
               static_cast<double>(static_cast<float>(count) / (shown_cs * 10.0f)));
}
