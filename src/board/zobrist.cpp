// The Zobrist table. Its values are fixed (opening books are keyed by them):
// SplitMix64 from a fixed seed, low 63 bits, redrawn while zero or repeated.
#include "board/board.h"

namespace {
constexpr ZobristTable generate_zobrist() {
    ZobristTable t{};
    std::uint64_t state = 0x0123456789ABCDEFull;
    int filled = 0;
    while (filled < 64 * 16) {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z = (z ^ (z >> 31)) & 0x7FFFFFFFFFFFFFFFull;
        bool usable = z != 0;
        for (int i = 0; usable && i < filled; ++i) usable = t.v[i / 16][i % 16] != z;
        if (!usable) continue;
        t.v[filled / 16][filled % 16] = z;
        ++filled;
    }
    return t;
}
}  // namespace

constexpr ZobristTable zobrist = generate_zobrist();
