// Writes random legal games as PGN, for the book tool's tests and timings:
//   random_pgn GAMES FILE [SEED]
// Each game has the usual seven tags, 20 to 120 half-moves in standard
// algebraic notation (moves chosen uniformly among the legal ones), now and
// then a comment, a NAG or a variation, and its result.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/book/book_tool.h"

namespace {

std::uint64_t rng_state = 1;
std::uint64_t next_random() {
    std::uint64_t z = (rng_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
int below(int n) {
    return static_cast<int>(next_random() % static_cast<std::uint64_t>(n));
}

const char* const RESULTS[] = {"1-0", "0-1", "1/2-1/2", "*"};

// Appends a word, breaking lines before 80 columns as PGN asks.
void add_word(std::string& text, std::size_t& column, const std::string& word) {
    if (column > 0 && column + 1 + word.size() > 79) {
        text += '\n';
        column = 0;
    } else if (column > 0) {
        text += ' ';
        ++column;
    }
    text += word;
    column += word.size();
}

std::string random_game(int number) {
    init_position();
    std::string moves;
    std::size_t column = 0;
    const int length = 20 + below(101);
    const char* result = RESULTS[below(4)];
    for (int ply = 0; ply < length; ++ply) {
        MoveEntry list[MOVE_LIST_CAPACITY];
        const int count = filter_legal(generate_moves(list), list);
        if (count == 0) {
            result =
                in_check() ? (position.state.side_to_move == WHITE ? "0-1" : "1-0") : "1/2-1/2";
            break;
        }
        const Move m = list[below(count)].move;
        if (ply % 2 == 0) add_word(moves, column, std::to_string(ply / 2 + 1) + ".");
        add_word(moves, column, book_tool::san_text(m));
        if (below(40) == 0) add_word(moves, column, "$" + std::to_string(1 + below(6)));
        if (below(60) == 0) add_word(moves, column, "{a remark}");
        if (below(80) == 0) add_word(moves, column, "(" + book_tool::san_text(m) + " {line})");
        make_move(m);
    }
    add_word(moves, column, result);
    return "[Event \"Random games\"]\n[Site \"?\"]\n[Date \"2024.01.01\"]\n[Round \"" +
           std::to_string(number) + "\"]\n[White \"Random " + std::to_string(2 * number) +
           "\"]\n[Black \"Random " + std::to_string(2 * number + 1) + "\"]\n[Result \"" + result +
           "\"]\n\n" + moves + "\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: random_pgn GAMES FILE [SEED]\n");
        return 2;
    }
    const long games = std::strtol(argv[1], nullptr, 10);
    if (argc > 3) rng_state = std::strtoull(argv[3], nullptr, 10);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr || games < 0) {
        std::fprintf(stderr, "random_pgn: cannot write %s\n", argv[2]);
        return 1;
    }
    for (long g = 1; g <= games; ++g) {
        const std::string text = random_game(static_cast<int>(g));
        std::fwrite(text.data(), 1, text.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
