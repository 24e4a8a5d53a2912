// Start-up and the console: the banner, the tables, the books, and the prompt
// at which a person runs the self-tests or hands over to xboard.
#include "frontend/console.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "book/book.h"
#include "eval/cache.h"
#include "frontend/bench.h"
#include "frontend/config.h"
#include "frontend/io.h"
#include "frontend/session.h"
#include "frontend/timeman.h"
#include "frontend/uci.h"
#include "frontend/version.h"
#include "frontend/xboard.h"
#include "platform/platform.h"

namespace {

// Interfaces read every line: none of these may look like a protocol reply.
void print_banner() {
    print_line("%s\n", ENGINE_NAME);
    print_line(
        "A chess engine for graphical interfaces speaking xboard/WinBoard protocol 2 or UCI\n");
    print_line("Console commands: xboard, uci, benchmark, testsuite, perft [depth], quit\n");
    print_line("Type xboard or uci to hand the console over to an interface\n");
}

void set_start_values() {
    reset_session_state();
    clear_time_control();  // no clock: only the default depth limits a search
    post_thinking.store(true);
    input_line[0] = '\0';
    move_text[0] = '\0';
}

constexpr int DEFAULT_PERFT_DEPTH = 6;
constexpr int MAX_PERFT_DEPTH = 10;

void perft_from_console() {
    int depth = DEFAULT_PERFT_DEPTH;
    // "perft N": a number only right after one space; anything else means the default.
    if (input_line[5] == ' ' && input_line[6] >= '0' && input_line[6] <= '9') {
        const char* cursor = input_line + 6;
        parse_int(cursor, depth);
        if (depth < 1 || depth > MAX_PERFT_DEPTH) return;
    }
    perft_command(depth);
}

void run_testsuite() {
    benchmark_position(11, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - -");
    benchmark_position(13, "3r1r1k/1b4pp/ppn1p3/4Pp1R/Pn5P/3P4/4QP2/1qB1NKR1 w - -");
    benchmark_position(13, "8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - -");
}

// The start position and the three tables, sized by the configuration file
// when with_config; false (reported) when the memory is not there.
bool set_up_engine(bool with_config) {
    init_position();
    tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
    eval_cache_count = EVAL_CACHE_COUNT;
    pawn_cache_count = PAWN_CACHE_COUNT;
    if (with_config) read_config();
    if (!allocate_tables()) {
        print_line("Error: not enough memory\n");
        return false;
    }
    set_start_values();
    return true;
}

// "quorvanite bench": the console's benchmark, then its total for testing
// fleets. The tables keep their default size whatever the working directory
// holds, so the node count is the same everywhere.
int bench_main() {
    if (!set_up_engine(false)) return EXIT_STATUS_NO_MEMORY;
    const RootMoves result = benchmark();
    const std::uint64_t nodes = result.nodes.moves + result.nodes.captures;
    const std::int64_t ms = std::max<std::int64_t>(result.time_ms, 1);
    print_line("%llu nodes %llu nps\n", static_cast<unsigned long long>(nodes),
               static_cast<unsigned long long>(nodes * 1000 / static_cast<std::uint64_t>(ms)));
    return 0;
}

}  // namespace

int engine_main(int argc, const char* const* argv) {
    if (argc <= 1) return console_main();
    if (argc == 2 && std::strcmp(argv[1], "bench") == 0) return bench_main();
    print_line("usage: quorvanite [bench]\n");
    return 2;
}

namespace {

constexpr int KEEP_PROMPTING = -1;  // a console command's result: show the prompt again

int hand_over_to_xboard() {
    print_line("WinBoard protocol selected\n");
    return xboard_session();
}

int hand_over_to_uci() {
    print_line("UCI protocol selected\n");
    return uci_session();
}

// In the order of recognition: a line is the first command whose name it
// begins with; each returns the exit status, or KEEP_PROMPTING.
struct ConsoleCommand {
    const char* name;
    int (*run)();
};
const ConsoleCommand CONSOLE_COMMANDS[] = {
    {"xboard", hand_over_to_xboard},
    {"uci", hand_over_to_uci},
    {"benchmark",
     [] {
         benchmark();
         return KEEP_PROMPTING;
     }},
    {"testsuite",
     [] {
         run_testsuite();
         return KEEP_PROMPTING;
     }},
    {"perft",
     [] {
         perft_from_console();
         return KEEP_PROMPTING;
     }},
    {"quit", [] { return EXIT_STATUS_QUIT; }},
};

int run_console_line(const char* line) {
    for (const ConsoleCommand& c : CONSOLE_COMMANDS)
        if (starts_with(line, c.name)) return c.run();
    return KEEP_PROMPTING;
}

}  // namespace

int console_main() {
    print_banner();
    if (!set_up_engine(true)) return EXIT_STATUS_NO_MEMORY;
    print_line("Hash table memory size: %u MByte\n", hash_megabytes());
    book_settings.default_dir = executable_directory();
    load_books();
    if (!configured_syzygy_path.empty()) {
        load_tablebases(configured_syzygy_path);
        tell_tablebases();
    }
    for (;;) {
        print_line("Quorvanite>");
        // The end of input ends the run as "quit" does.
        if (!read_line()) return EXIT_STATUS_QUIT;
        const int status = run_console_line(input_line);
        if (status != KEEP_PROMPTING) return status;
    }
}
