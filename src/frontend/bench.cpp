// The benchmark and the test suite: fixed-depth searches of fixed positions,
// reported with their time, node counts and speed.
#include "frontend/bench.h"

#include "frontend/thinking.h"
#include "frontend/timeman.h"
#include "platform/platform.h"

namespace {

void set_fixed_depth(int depth) {
    clear_time_control();
    max_depth = depth;
}

// A search at the depth in force on the default budget, in an empty table.
RootMoves search_and_report() {
    tt_clear_all();
    SearchLimits limits;
    limits.timed = true;
    limits.time_budget_cs = time_budget.load();
    limits.depth = max_depth;
    clear_search_signals();
    RootMoves result = search(limits, console_report);
    if (result.best() == 0) return result;
    move_to_text(result.best());
    print_line("Best move: %s\n", move_text);
    // Centiseconds, as a 32-bit count.
    const int elapsed_cs = static_cast<int>(result.time_ms / 10);
    print_line("Seconds spent: %.2f\n",
               static_cast<double>(static_cast<float>(elapsed_cs) / 100.0f));
    // The counts as 32-bit numbers, the speed from their 32-bit sum.
    const auto moves = static_cast<std::uint32_t>(result.nodes.moves);
    const auto captures = static_cast<std::uint32_t>(result.nodes.captures);
    print_line("Nodes of search moves: %u\n", moves);
    print_line("Nodes of search captures: %u\n", captures);
    // A search shorter than a centisecond is timed as one, not divided by zero.
    const int cs = elapsed_cs > 0 ? elapsed_cs : 1;
    const float nodes = static_cast<float>(moves + captures);
    print_line("CPU speed: %.0fK nps\n", static_cast<double>(nodes) / (cs * 10.0));
    return result;
}

constexpr const char* STARS =
    "********************************************************************************\n";

}  // namespace

RootMoves benchmark() {
    print_line("Benchmark from initial position\n");
    set_fixed_depth(11);
    init_position();
    return search_and_report();
}

void benchmark_position(int depth, const char* fen) {
    print_line("%s", STARS);
    print_line("Benchmark position \"%s\"\n", fen);
    print_line("%s", STARS);
    set_fixed_depth(depth);
    if (!set_position_from_fen(fen)) {
        print_line("Bad position, benchmark aborted\n");
        return;
    }
    search_and_report();
}
