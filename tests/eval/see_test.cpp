// Static exchange: worked exchanges, the order of the attacker lists, and a
// board left as it was found.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "eval/eval_test_support.h"

namespace {

int sq(const char* name) {
    return square_from_text(name);
}

Move capture(const char* from, const char* to) {
    return pack_move(sq(from), sq(to), position.board[sq(to)]);
}

std::vector<int> white_list() {
    return std::vector<int>(
        eval_state->exchange_lists.values[WHITE],
        eval_state->exchange_lists.values[WHITE] + eval_state->exchange_lists.count[WHITE]);
}
std::vector<int> black_list() {
    return std::vector<int>(
        eval_state->exchange_lists.values[BLACK],
        eval_state->exchange_lists.values[BLACK] + eval_state->exchange_lists.count[BLACK]);
}

TEST(StaticExchange, WorkedExchanges) {
    set_fen_for_eval("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("e4", "d5")), 300);  // undefended knight

    set_fen_for_eval("4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("d1", "d5")), -800);  // pawn defended by a pawn

    // Rook takes a rook defended by a bishop, a second rook behind the first.
    set_fen_for_eval("4k3/6b1/8/4r3/8/8/4R3/4RK2 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("e2", "e5")), 300);

    // Knight takes a pawn only the king defends.
    set_fen_for_eval("8/8/4k3/4p3/8/5N2/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("f3", "e5")), -200);
    // With a second attacker the king cannot recapture safely.
    set_fen_for_eval("8/8/4k3/4p3/3P4/5N2/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("f3", "e5")), 100);
}

TEST(StaticExchange, XRayThroughTheMovingPiece) {
    // Bishop c3 takes a knight on e5 that a pawn defends; the queen on b2
    // behind the bishop is found because the bishop's square is emptied.
    set_fen_for_eval("4k3/8/3p4/4n3/8/2B5/1Q6/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("c3", "e5")), 100);
    EXPECT_EQ(white_list(), (std::vector<int>{300, 900}));
    EXPECT_EQ(black_list(), (std::vector<int>{300, 100}));
    // Without the queen the bishop is simply traded for the knight.
    set_fen_for_eval("4k3/8/3p4/4n3/8/2B5/8/4K3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("c3", "e5")), 0);
}

TEST(StaticExchange, BlackToMove) {
    // Rook d7 takes a knight that a pawn defends, the queen behind it.
    set_fen_for_eval("3qk3/3r4/8/8/3N4/2P5/8/4K3 b - - 0 1");
    EXPECT_EQ(static_exchange(capture("d7", "d4")), -100);
    EXPECT_EQ(black_list(), (std::vector<int>{500, 900}));
    EXPECT_EQ(white_list(), (std::vector<int>{300, 100}));
}

TEST(StaticExchange, EnPassantWinsNothing) {
    set_fen_for_eval("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Move ep = pack_move(sq("e5"), sq("d6"), 0, 0, 0, true);
    EXPECT_EQ(static_exchange(ep), 0);
}

TEST(CollectAttackers, CaptureOrderOfBothLists) {
    // Pawn d4 takes e5. White: bishop g3, king d6 next to e5, queen e2 with a
    // rook behind it on e1. Black: pawn f6 with a bishop behind on h8, rook e8.
    set_fen_for_eval("k3r2b/8/3K1p2/4n3/3P4/6B1/4Q3/4R3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("d4", "e5")), 200);
    // The king's entry is pushed up by later insertions and stays last; the
    // rook goes after the queen it stands behind, though it is cheaper.
    EXPECT_EQ(white_list(), (std::vector<int>{100, 300, 900, 500, 10000}));
    // The bishop behind the attacking pawn is found after it.
    EXPECT_EQ(black_list(), (std::vector<int>{300, 100, 300, 500}));
    for (int i = 5; i < SWAP_LIST_CAPACITY; ++i)
        EXPECT_EQ(eval_state->exchange_lists.values[WHITE][i], SWAP_SENTINEL);
    for (int i = 4; i < SWAP_LIST_CAPACITY; ++i)
        EXPECT_EQ(eval_state->exchange_lists.values[BLACK][i], SWAP_SENTINEL);
}

TEST(CollectAttackers, EqualValuesKeepTheirOrderAndCheapSlidersMoveUp) {
    // Knight f3 takes e5. Knight d3 is listed in the knight step; the queen on
    // c3 (first diagonal ray) and the bishop on h2 (second) are inserted after
    // it, the bishop in front of the dearer queen.
    set_fen_for_eval("4k3/8/8/4n3/8/2QN1N2/7B/4K3 w - - 0 1");
    static_exchange(capture("f3", "e5"));
    EXPECT_EQ(white_list(), (std::vector<int>{300, 300, 300, 900}));
}

TEST(CollectAttackers, EqualValueGoesAfterThoseAlreadyListed) {
    // Knight f3 takes e5. Queen d4 is listed first; queen f4 goes after it,
    // and the bishop behind f4 after f4, not between the two queens.
    set_fen_for_eval("k7/8/8/4r3/3Q1Q2/5NB1/8/4K3 w - - 0 1");
    static_exchange(capture("f3", "e5"));
    EXPECT_EQ(white_list(), (std::vector<int>{300, 900, 900, 300}));
}

TEST(CollectAttackers, RaysEndAtBlockers) {
    // The rook on e1 stands behind a pawn that does not attack e5, and the
    // king on e3 is not next to e5: neither counts.
    set_fen_for_eval("4k3/8/3p4/4n3/4P3/2B1K3/8/4R3 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("c3", "e5")), 0);
    EXPECT_EQ(white_list(), (std::vector<int>{300}));
    // A knight next to the target on a diagonal hides the bishop behind it.
    set_fen_for_eval("4k3/8/8/4n3/3N4/2B5/8/4RK2 w - - 0 1");
    EXPECT_EQ(static_exchange(capture("e1", "e5")), 300);
    EXPECT_EQ(white_list(), (std::vector<int>{500}));
    // A black pawn below the target does not attack it and blocks the ray.
    set_fen_for_eval("4k3/8/8/4n3/3p4/2B5/8/4RK2 w - - 0 1");
    static_exchange(capture("e1", "e5"));
    EXPECT_EQ(white_list(), (std::vector<int>{500}));
}

TEST(StaticExchange, LeavesTheBoardAsItWas) {
    set_fen_for_eval("k3r2b/8/3K1p2/4n3/3P4/6B1/4Q3/4R3 w - - 0 1");
    const Position before = position;
    static_exchange(capture("d4", "e5"));
    static_exchange(capture("e2", "e5"));
    EXPECT_EQ(std::memcmp(before.board, position.board, sizeof position.board), 0);
    EXPECT_EQ(std::memcmp(&before.state, &position.state, sizeof position.state), 0);
}

// The attacker lists read the plain way: every jump and every line from the
// target walked on the board, whatever the square sets say. The reference for
// the lists that static_exchange leaves behind.
struct AttackerLists {
    std::vector<int> white, black;
};

void insert_at_cursor(std::vector<int>& list, std::size_t& cursor, int value) {
    while (cursor < list.size() && list[cursor] <= value) ++cursor;
    list.insert(list.begin() + static_cast<long>(cursor), value);
    ++cursor;
}

AttackerLists walked_attackers(int target) {
    const int* b = position.board;
    AttackerLists l;
    for (const int d : {-11, -9})
        if (b[target + d] == W_PAWN) l.white.push_back(100);
    for (const int d : {9, 11})
        if (b[target + d] == B_PAWN) l.black.push_back(100);
    for (const int d : {-21, -19, -12, -8, 8, 12, 19, 21}) {
        if (b[target + d] == W_KNIGHT) l.white.push_back(300);
        if (b[target + d] == B_KNIGHT) l.black.push_back(300);
    }
    const std::size_t pawns_knights_white = l.white.size(), pawns_knights_black = l.black.size();
    for (const int d : {-11, -9, 9, 11, -10, -1, 1, 10}) {
        const bool diagonal = d == -11 || d == -9 || d == 9 || d == 11;
        std::size_t cursor_white = pawns_knights_white, cursor_black = pawns_knights_black;
        for (int t = target + d;; t += d) {
            const int p = b[t];
            if (p == EMPTY) continue;
            const int kind = p > W_KING ? p - 6 : p;
            const bool slider = kind == W_QUEEN || kind == (diagonal ? W_BISHOP : W_ROOK);
            if (slider) {
                if (p <= W_KING)
                    insert_at_cursor(l.white, cursor_white, piece_value[p]);
                else
                    insert_at_cursor(l.black, cursor_black, piece_value[p]);
                continue;
            }
            const bool next = t == target + d;
            if (kind == W_KING && next) (p == W_KING ? l.white : l.black).push_back(10000);
            const bool pawn_that_attacks = (p == W_PAWN && d < 0) || (p == B_PAWN && d > 0);
            if (diagonal && next && pawn_that_attacks) continue;
            break;
        }
    }
    return l;
}

// Random games with captures made often; in every position each capture's
// lists (moving piece lifted) equal the walked ones.
TEST(CollectAttackers, ListsAgreeWithAWalkOfEveryLineOnRandomGames) {
    const char* starts[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
        "3r1r1k/1b4pp/ppn1p3/4Pp1R/Pn5P/3P4/4QP2/1qB1NKR1 w - - 0 1",
    };
    std::mt19937 rng(777);
    int checked = 0;
    for (const char* fen : starts) {
        for (int game = 0; game < 30; ++game) {
            set_fen_for_eval(fen);
            for (int ply = 0; ply < 80; ++ply) {
                MoveEntry captures[MOVE_LIST_CAPACITY];
                const int c = generate_captures(captures);
                for (int k = 0; k < c; ++k) {
                    const Move m = captures[k].move;
                    static_exchange(m);
                    const std::vector<int> white = white_list(), black = black_list();
                    const int moving = position.board[move_from(m)];
                    position.board[move_from(m)] = EMPTY;
                    const AttackerLists walked = walked_attackers(move_to(m));
                    position.board[move_from(m)] = moving;
                    ASSERT_EQ(std::vector<int>(white.begin() + 1, white.end()), walked.white)
                        << board_fen(false) << " " << move_from(m) << "-" << move_to(m);
                    ASSERT_EQ(std::vector<int>(black.begin() + 1, black.end()), walked.black)
                        << board_fen(false) << " " << move_from(m) << "-" << move_to(m);
                    ++checked;
                }
                MoveEntry list[MOVE_LIST_CAPACITY];
                const int n = legal_moves(list);
                if (n == 0) break;
                const int legal_captures = filter_legal(c, captures);
                const Move next = legal_captures > 0 && rng() % 3 != 0
                                      ? captures[rng() % static_cast<unsigned>(legal_captures)].move
                                      : list[rng() % static_cast<unsigned>(n)].move;
                make_move(next);
            }
        }
    }
    EXPECT_GT(checked, 2000);
}

}  // namespace
