// Square sets: the board once more as 64-bit sets, bit i for the square of
// index i (a1 = 0, b1 = 1 .. h8 = 63). The mailbox stays the board that
// generation walks; the sets let loops visit pieces instead of squares and
// let the attack tests and the exchange evaluation skip empty lines.
#pragma once

#include <cstdint>

using SquareSet = std::uint64_t;

// The index of the lowest and of the highest bit of a set that is not empty.
inline int first_index(SquareSet s) {
    return __builtin_ctzll(s);
}
inline int last_index(SquareSet s) {
    return 63 - __builtin_clzll(s);
}
// Ranks in reverse order, files kept: white's scan order (rank 8 first, files
// a to h within a rank) becomes the ascending order of the bits.
inline SquareSet ranks_reversed(SquareSet s) {
    return __builtin_bswap64(s);
}
constexpr int RANKS_REVERSED_INDEX = 56;  // index ^ 56 maps an index between the two orders

// The eight lines from a square as mailbox steps. The first four run towards
// higher square indexes, the last four towards lower ones; odd entries are diagonals.
constexpr int RAY_STEPS[8] = {1, 9, 10, 11, -1, -11, -10, -9};
constexpr bool ray_is_diagonal(int ray) {
    return (ray & 1) != 0;
}
constexpr bool ray_ascends(int ray) {
    return ray < 4;
}
// The line of a mailbox step (0 for a step that is none of them).
constexpr int ray_of_step(int step) {
    int found = 0;
    for (int ray = 0; ray < 8; ++ray)
        if (RAY_STEPS[ray] == step) found = ray;
    return found;
}

namespace square_set_tables {

constexpr int MAILBOX_SQUARES = 120;
constexpr bool on_board(int sq) {
    return sq >= 21 && sq <= 98 && sq % 10 >= 1 && sq % 10 <= 8;
}
constexpr int index_of(int sq) {
    return 8 * (sq / 10 - 2) + sq % 10 - 1;
}
constexpr int mailbox_of(int index) {
    return 10 * (index / 8 + 2) + index % 8 + 1;
}
constexpr SquareSet bit_at(int sq) {
    return on_board(sq) ? SquareSet{1} << index_of(sq) : 0;
}

struct ByMailbox {
    SquareSet v[MAILBOX_SQUARES];
    constexpr SquareSet operator[](int sq) const { return v[sq]; }
};
struct ByIndex {
    SquareSet v[64];
    constexpr SquareSet operator[](int i) const { return v[i]; }
};
struct ByRay {
    ByIndex ray[8];
    constexpr const ByIndex& operator[](int r) const { return ray[r]; }
};

constexpr ByMailbox make_square_bits() {
    ByMailbox t{};
    for (int sq = 0; sq < MAILBOX_SQUARES; ++sq) t.v[sq] = bit_at(sq);
    return t;
}

// The squares one step away from each board square, for the given steps.
template <int N>
constexpr ByMailbox make_reach(const int (&steps)[N]) {
    ByMailbox t{};
    for (int sq = 0; sq < MAILBOX_SQUARES; ++sq)
        if (on_board(sq))
            for (const int step : steps) t.v[sq] |= bit_at(sq + step);
    return t;
}

struct RayLengths {
    std::int8_t v[8][64];
    constexpr const std::int8_t* operator[](int r) const { return v[r]; }
};

constexpr ByRay make_rays() {
    ByRay t{};
    for (int r = 0; r < 8; ++r)
        for (int i = 0; i < 64; ++i)
            for (int sq = mailbox_of(i) + RAY_STEPS[r]; on_board(sq); sq += RAY_STEPS[r])
                t.ray[r].v[i] |= bit_at(sq);
    return t;
}

constexpr ByMailbox make_line_reach(bool diagonal) {
    const ByRay rays = make_rays();
    ByMailbox t{};
    for (int r = 0; r < 8; ++r)
        if (ray_is_diagonal(r) == diagonal)
            for (int i = 0; i < 64; ++i) t.v[mailbox_of(i)] |= rays.ray[r].v[i];
    return t;
}

constexpr RayLengths make_ray_lengths() {
    RayLengths t{};
    for (int r = 0; r < 8; ++r)
        for (int i = 0; i < 64; ++i)
            for (int sq = mailbox_of(i) + RAY_STEPS[r]; on_board(sq); sq += RAY_STEPS[r])
                ++t.v[r][i];
    return t;
}

constexpr int KNIGHT_STEPS[8] = {-21, -19, -12, -8, 8, 12, 19, 21};
constexpr int KING_STEPS[8] = {-11, -10, -9, -1, 1, 9, 10, 11};
constexpr int WHITE_PAWN_SOURCES[2] = {-11, -9};  // white pawns capture upwards
constexpr int BLACK_PAWN_SOURCES[2] = {9, 11};

}  // namespace square_set_tables

// Mailbox square -> its bit; border squares -> 0.
inline constexpr square_set_tables::ByMailbox square_bit = square_set_tables::make_square_bits();
// [ray][index]: the squares along RAY_STEPS[ray] from the square to the edge.
inline constexpr square_set_tables::ByRay ray_squares = square_set_tables::make_rays();
// [ray][index]: how many squares the line has, up to the edge.
inline constexpr square_set_tables::RayLengths ray_length = square_set_tables::make_ray_lengths();

// The empty squares along a line from square index i up to the first piece
// (of either colour) or the edge.
inline int empty_squares_along(int ray, int i, SquareSet occupied) {
    const SquareSet blockers = ray_squares[ray][i] & occupied;
    if (blockers == 0) return ray_length[ray][i];
    const int first = ray_ascends(ray) ? first_index(blockers) : last_index(blockers);
    return ray_length[ray][i] - ray_length[ray][first] - 1;
}

// The tables below are read by mailbox square (border squares give 0), which
// spares the lookup of the square's index on the way to them.
// [square]: every square on the four diagonal lines, and on the four straight ones.
inline constexpr square_set_tables::ByMailbox diagonal_reach =
    square_set_tables::make_line_reach(true);
inline constexpr square_set_tables::ByMailbox straight_reach =
    square_set_tables::make_line_reach(false);

// [square]: the squares a knight there jumps to, and the squares next to it.
inline constexpr square_set_tables::ByMailbox knight_reach =
    square_set_tables::make_reach(square_set_tables::KNIGHT_STEPS);
inline constexpr square_set_tables::ByMailbox king_reach =
    square_set_tables::make_reach(square_set_tables::KING_STEPS);
// [colour][square]: where a pawn of that colour stands when it captures on the square.
inline constexpr square_set_tables::ByMailbox pawn_attackers[2] = {
    square_set_tables::make_reach(square_set_tables::WHITE_PAWN_SOURCES),
    square_set_tables::make_reach(square_set_tables::BLACK_PAWN_SOURCES)};
