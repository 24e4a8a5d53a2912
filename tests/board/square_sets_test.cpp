// The square sets that make/unmake keep beside the board, and the code that
// reads them (attack tests, the capture generator, the generators' visiting
// order), checked against plain walks over the mailbox on random playouts.
#include <gtest/gtest.h>

#include <random>

#include "board_test_util.h"

namespace {

// Positions rich in captures, promotions, castling and en passant.
const char* const PLAYOUT_STARTS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "4k3/1P4P1/8/2pP4/8/8/1p4p1/4K3 w - c6 0 1",
};

// Plain reading of an attack test: walk every line from the square.
bool attacked_by_reference(int square, int by) {
    const int* b = position.board;
    const int base = by == WHITE ? 0 : 6;
    const int pawn_from[2][2] = {{-11, -9}, {9, 11}};
    for (const int d : pawn_from[by])
        if (b[square + d] == base + W_PAWN) return true;
    for (const int d : {-21, -19, -12, -8, 8, 12, 19, 21})
        if (b[square + d] == base + W_KNIGHT) return true;
    for (const int d : {-11, -10, -9, -1, 1, 9, 10, 11}) {
        if (b[square + d] == base + W_KING) return true;
        const bool diagonal = d == -11 || d == -9 || d == 9 || d == 11;
        int t = square + d;
        while (b[t] == EMPTY) t += d;
        if (b[t] == base + W_QUEEN || b[t] == base + (diagonal ? W_BISHOP : W_ROOK)) return true;
    }
    return false;
}

// Plays random legal moves (and now and then a null move) from each start,
// calls check() in every position reached and again after every unmake.
template <class Check>
void random_playouts(int games, int plies, Check check) {
    std::mt19937 rng(20240607);
    for (const char* fen : PLAYOUT_STARTS) {
        for (int game = 0; game < games; ++game) {
            set_fen(fen);
            check();
            int made = 0;
            for (int ply = 0; ply < plies; ++ply) {
                MoveEntry list[MOVE_LIST_CAPACITY];
                const int n = legal_moves(list);
                if (n == 0) break;
                if (rng() % 8 == 0 && !in_check()) {
                    make_null_move();
                    check();
                    unmake_null_move();
                }
                // Captures first now and then, so that material comes off the board.
                MoveEntry captures[MOVE_LIST_CAPACITY];
                const int c = filter_legal(generate_captures(captures), captures);
                const Move m = c > 0 && rng() % 2 == 0
                                   ? captures[rng() % static_cast<unsigned>(c)].move
                                   : list[rng() % static_cast<unsigned>(n)].move;
                make_move(m);
                ++made;
                check();
                if (rng() % 4 == 0) {  // a step back and forth
                    unmake_move();
                    check();
                    make_move(m);
                }
            }
            while (made-- > 0) {
                unmake_move();
                check();
            }
        }
    }
}

SquareSet recounted_piece_squares(int code) {
    SquareSet s = 0;
    for (int i = 0; i < 64; ++i)
        if (position.board[squares_a1_h8[i]] == code) s |= SquareSet{1} << i;
    return s;
}

TEST(SquareSets, KeptEqualToTheBoardThroughMakeAndUnmake) {
    int positions = 0;
    random_playouts(12, 120, [&] {
        ++positions;
        SquareSet white = 0, black = 0;
        for (int code = W_PAWN; code <= B_KING; ++code) {
            const SquareSet s = recounted_piece_squares(code);
            ASSERT_EQ(position.piece_squares[code], s) << "piece " << code;
            (code <= W_KING ? white : black) |= s;
        }
        ASSERT_EQ(position.piece_squares[EMPTY], 0u);
        ASSERT_EQ(position.colour_squares[WHITE], white);
        ASSERT_EQ(position.colour_squares[BLACK], black);
        ASSERT_TRUE(position_is_ok());
    });
    EXPECT_GT(positions, 5000);
}

TEST(SquareSets, SelfCheckNoticesASetOutOfStep) {
    set_fen(PLAYOUT_STARTS[1]);
    ASSERT_TRUE(position_is_ok());
    position.piece_squares[W_KNIGHT] ^= square_bit[E1];
    EXPECT_FALSE(position_is_ok());
    position.piece_squares[W_KNIGHT] ^= square_bit[E1];
    position.colour_squares[BLACK] ^= square_bit[A8];
    EXPECT_FALSE(position_is_ok());
    position.colour_squares[BLACK] ^= square_bit[A8];
    EXPECT_TRUE(position_is_ok());
}

TEST(SquareSets, TablesMatchTheMailbox) {
    for (int sq = 0; sq < BOARD_SIZE; ++sq) {
        const bool on_board = empty_board[sq] == EMPTY;
        EXPECT_EQ(square_bit[sq], on_board ? SquareSet{1} << square64[sq] : 0) << sq;
    }
    // Each line holds exactly the squares a walk along it passes.
    for (int ray = 0; ray < 8; ++ray)
        for (int i = 0; i < 64; ++i) {
            SquareSet walked = 0;
            for (int sq = squares_a1_h8[i] + RAY_STEPS[ray]; empty_board[sq] == EMPTY;
                 sq += RAY_STEPS[ray])
                walked |= square_bit[sq];
            EXPECT_EQ(ray_squares[ray][i], walked) << ray << " " << i;
            EXPECT_EQ(ray_length[ray][i], __builtin_popcountll(walked)) << ray << " " << i;
            if (walked != 0) {
                EXPECT_EQ(ray_ascends(ray), first_index(walked) > i) << ray << " " << i;
            }
        }
    // Jumps, neighbours and whole lines, by mailbox square; nothing from the border.
    for (int sq = 0; sq < BOARD_SIZE; ++sq) {
        SquareSet jumps = 0, neighbours = 0, diagonals = 0, straights = 0;
        if (empty_board[sq] == EMPTY) {
            for (const int d : {-21, -19, -12, -8, 8, 12, 19, 21}) jumps |= square_bit[sq + d];
            for (const int d : {-11, -10, -9, -1, 1, 9, 10, 11}) neighbours |= square_bit[sq + d];
            for (int ray = 0; ray < 8; ++ray)
                (ray_is_diagonal(ray) ? diagonals : straights) |= ray_squares[ray][square64[sq]];
        }
        EXPECT_EQ(knight_reach[sq], jumps) << sq;
        EXPECT_EQ(king_reach[sq], neighbours) << sq;
        EXPECT_EQ(diagonal_reach[sq], diagonals) << sq;
        EXPECT_EQ(straight_reach[sq], straights) << sq;
    }
    EXPECT_EQ(__builtin_popcountll(knight_reach[A1]), 2);
    const int e4 = square_of(4, 3), e5 = square_of(4, 4);
    EXPECT_EQ(__builtin_popcountll(knight_reach[e5]), 8);
    EXPECT_EQ(king_reach[A1], square_bit[B1] | square_bit[A1 + 10] | square_bit[A1 + 11]);
    // A white pawn takes on e4 from d3 or f3, a black one from d5 or f5.
    EXPECT_EQ(pawn_attackers[WHITE][e4], square_bit[square_of(3, 2)] | square_bit[square_of(5, 2)]);
    EXPECT_EQ(pawn_attackers[BLACK][e4], square_bit[square_of(3, 4)] | square_bit[square_of(5, 4)]);
}

TEST(SquareSets, AttackTestsAgreeWithAWalkOverTheBoard) {
    random_playouts(6, 100, [] {
        for (int i = 0; i < 64; ++i) {
            const int sq = squares_a1_h8[i];
            ASSERT_EQ(attacked_by_white(sq), attacked_by_reference(sq, WHITE)) << sq;
            ASSERT_EQ(attacked_by_black(sq), attacked_by_reference(sq, BLACK)) << sq;
        }
    });
}

// The capture generator lists exactly the captures, en-passant captures and
// queen promotions of the full generator, in the same order.
TEST(SquareSets, CaptureGeneratorIsTheFullListFiltered) {
    random_playouts(6, 100, [] {
        MoveEntry all[MOVE_LIST_CAPACITY], captures[MOVE_LIST_CAPACITY];
        const int n = generate_moves(all);
        const int c = generate_captures(captures);
        int k = 0;
        for (int j = 0; j < n; ++j) {
            const Move m = all[j].move;
            const int promotion = move_promotion(m);
            const bool listed = promotion != 0 ? promotion == W_QUEEN || promotion == B_QUEEN
                                               : move_captured(m) != 0 || move_is_ep(m);
            if (!listed) continue;
            ASSERT_LT(k, c);
            ASSERT_EQ(captures[k].move, m) << text_of(m);
            ++k;
        }
        ASSERT_EQ(k, c);
    });
}

// Pieces are visited rank by rank from the far side, files a to h.
TEST(SquareSets, GeneratorsVisitPiecesInScanOrder) {
    random_playouts(4, 100, [] {
        MoveEntry list[MOVE_LIST_CAPACITY];
        const int n = generate_moves(list);
        const bool white = position.state.side_to_move == WHITE;
        auto order = [&](int sq) {
            return 8 * (white ? 7 - rank_of(sq) : rank_of(sq)) + file_of(sq);
        };
        for (int j = 1; j < n; ++j)
            ASSERT_LE(order(move_from(list[j - 1].move)), order(move_from(list[j].move)));
    });
}

}  // namespace
