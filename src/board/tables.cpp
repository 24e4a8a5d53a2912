// Constant tables of the board: square numberings and the two set-up boards;
// the position of each thread.
#include <algorithm>

#include "board/board.h"

namespace {
struct Square64Table {
    int v[BOARD_SIZE];
};
constexpr Square64Table make_square64() {
    Square64Table t{};
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file) t.v[square_of(file, rank)] = 8 * rank + file;
    return t;
}
constexpr Square64Table square64_table = make_square64();
}  // namespace

#define QV_ROW(r)                                                                        \
    square_of(0, r), square_of(1, r), square_of(2, r), square_of(3, r), square_of(4, r), \
        square_of(5, r), square_of(6, r), square_of(7, r)
const int squares_a1_h8[64] = {QV_ROW(0), QV_ROW(1), QV_ROW(2), QV_ROW(3),
                               QV_ROW(4), QV_ROW(5), QV_ROW(6), QV_ROW(7)};
#undef QV_ROW

const int square64[BOARD_SIZE] = {
#define QV_S(i) square64_table.v[i]
#define QV_TEN(i)                                                                          \
    QV_S(i), QV_S(i + 1), QV_S(i + 2), QV_S(i + 3), QV_S(i + 4), QV_S(i + 5), QV_S(i + 6), \
        QV_S(i + 7), QV_S(i + 8), QV_S(i + 9)
    QV_TEN(0),  QV_TEN(10), QV_TEN(20), QV_TEN(30), QV_TEN(40),  QV_TEN(50),
    QV_TEN(60), QV_TEN(70), QV_TEN(80), QV_TEN(90), QV_TEN(100), QV_TEN(110),
#undef QV_TEN
#undef QV_S
};

const int piece_material_value[13] = {0, 0, 300, 300, 500, 1200, 0, 0, 300, 300, 500, 1200, 0};

// Rank 1 at the top of each block here: the array runs from square 0 upwards.
const int initial_board[BOARD_SIZE] = {
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
    -1, 4,  2,  3,  5,  6,  3,  2,  4,  -1,  // rank 1
    -1, 1,  1,  1,  1,  1,  1,  1,  1,  -1,  // rank 2
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 7,  7,  7,  7,  7,  7,  7,  7,  -1,  // rank 7
    -1, 10, 8,  9,  11, 12, 9,  8,  10, -1,  // rank 8
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
};

const int empty_board[BOARD_SIZE] = {
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, 0,  0,  0,  0,  0,  0,  0,  0,  -1,  //
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
};

QV_THREAD_LOCAL Position position;

void copy_position(Position& to, const Position& from) {
    std::copy(from.board, from.board + BOARD_SIZE, to.board);
    to.state = from.state;
    to.game_ply = from.game_ply;
    to.chess960 = from.chess960;
    to.castling = from.castling;
    std::copy(from.piece_squares, from.piece_squares + 13, to.piece_squares);
    std::copy(from.colour_squares, from.colour_squares + 2, to.colour_squares);
    // Nothing before the last capture or pawn move can repeat.
    const int oldest = std::max(0, from.game_ply - from.state.fifty_counter);
    std::copy(from.state_history + oldest, from.state_history + from.game_ply,
              to.state_history + oldest);
    std::copy(from.move_history + oldest, from.move_history + from.game_ply,
              to.move_history + oldest);
}
