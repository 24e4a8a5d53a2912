#include "eval/cache.h"
#include "eval/eval.h"

const int piece_value[13] = {
    0, 100, 300, 300, 500, 900, KING_EXCHANGE_VALUE, 100, 300, 300, 500, 900, KING_EXCHANGE_VALUE};

namespace {

constexpr int PAWN_EXCHANGE_VALUE = 100;
constexpr int KNIGHT_EXCHANGE_VALUE = 300;
constexpr int KNIGHT_JUMPS[8] = {-21, -19, -12, -8, 8, 12, 19, 21};
// The lines from the target, diagonals first, each with its index among the
// board's square-set lines.
struct Ray {
    int step;
    bool diagonal;
    int index;
};
constexpr Ray SEE_RAYS[8] = {{-11, true, ray_of_step(-11)},  {-9, true, ray_of_step(-9)},
                             {9, true, ray_of_step(9)},      {11, true, ray_of_step(11)},
                             {-10, false, ray_of_step(-10)}, {-1, false, ray_of_step(-1)},
                             {1, false, ray_of_step(1)},     {10, false, ray_of_step(10)}};
static_assert(RAY_STEPS[SEE_RAYS[0].index] == -11 && RAY_STEPS[SEE_RAYS[7].index] == 10,
              "the exchange lines are the board's lines");
constexpr int SWAP_LOOP_START = 32000;
// The pawns that attack the target, white's from below, black's from above,
// in the order they are listed.
struct PawnAttack {
    int from;  // step from the target to the pawn
    int piece;
};
constexpr PawnAttack PAWN_ATTACKS[4] = {{-11, W_PAWN}, {-9, W_PAWN}, {9, B_PAWN}, {11, B_PAWN}};

inline int colour_of(int piece) {
    return piece <= W_KING ? WHITE : BLACK;
}

void append(int colour, int value) {
    ExchangeLists& lists = eval_state->exchange_lists;
    int& count = lists.count[colour];
    if (count < SWAP_LIST_CAPACITY) lists.values[colour][count++] = value;
}

// Sorted insertion from the ray's cursor: equal values go after those already
// there, and a piece further along the ray after the one in front of it.
void insert(int colour, int& cursor, int value) {
    ExchangeLists& lists = eval_state->exchange_lists;
    int* list = lists.values[colour];
    int& count = lists.count[colour];
    if (count >= SWAP_LIST_CAPACITY) return;
    while (cursor < count && list[cursor] <= value) ++cursor;
    for (int i = count; i > cursor; --i) list[i] = list[i - 1];
    list[cursor] = value;
    ++cursor;
    ++count;
}

bool is_slider_of_ray(int piece, bool diagonal) {
    if (piece == W_QUEEN || piece == B_QUEEN) return true;
    if (diagonal) return piece == W_BISHOP || piece == B_BISHOP;
    return piece == W_ROOK || piece == B_ROOK;
}

// One ray from the target: sliders found along it (x-rays included) are
// inserted behind the pawns and knights, starting from the cursors.
void walk_ray(int square, int step, bool diagonal, const int (&start)[2]) {
    const int* board = position.board;
    int cursor[2] = {start[WHITE], start[BLACK]};
    int sq = square + step;
    for (;;) {
        while (board[sq] == EMPTY) sq += step;
        const int piece = board[sq];
        const bool next_to_target = sq == square + step;
        if (is_slider_of_ray(piece, diagonal)) {
            insert(colour_of(piece), cursor[colour_of(piece)], piece_value[piece]);
            sq += step;
            continue;
        }
        if (piece == W_KING || piece == B_KING) {
            if (next_to_target) append(colour_of(piece), KING_EXCHANGE_VALUE);
            return;
        }
        // A pawn that attacks the target was counted already; look past it
        // for a bishop or queen behind.
        const bool attacking_pawn =
            next_to_target && ((piece == W_PAWN && step < 0) || (piece == B_PAWN && step > 0));
        if (diagonal && attacking_pawn) {
            sq += step;
            continue;
        }
        return;
    }
}

}  // namespace

// The square sets are only used to pass over lines and jumps where no piece of
// the kind can be found; the mailbox decides. (During static_exchange the
// moving piece is lifted from the board but not from the sets, which can only
// make a line be walked for nothing.)
void collect_attackers(int square) {
    const int* board = position.board;
    const SquareSet* pieces = position.piece_squares;
    const int i = square64[square];
    for (const PawnAttack& pawn : PAWN_ATTACKS)
        if (board[square + pawn.from] == pawn.piece)
            append(colour_of(pawn.piece), PAWN_EXCHANGE_VALUE);

    if (knight_reach[square] & (pieces[W_KNIGHT] | pieces[B_KNIGHT])) {
        for (const int jump : KNIGHT_JUMPS) {
            const int piece = board[square + jump];
            if (piece == W_KNIGHT || piece == B_KNIGHT)
                append(colour_of(piece), KNIGHT_EXCHANGE_VALUE);
        }
    }

    // A line without a slider of its kind can only add a king standing next
    // to the square.
    const SquareSet queens = pieces[W_QUEEN] | pieces[B_QUEEN];
    const SquareSet diagonal_sliders = pieces[W_BISHOP] | pieces[B_BISHOP] | queens;
    const SquareSet straight_sliders = pieces[W_ROOK] | pieces[B_ROOK] | queens;
    const ExchangeLists& lists = eval_state->exchange_lists;
    const int start[2] = {lists.count[WHITE], lists.count[BLACK]};
    for (const Ray& ray : SEE_RAYS) {
        const SquareSet sliders = ray.diagonal ? diagonal_sliders : straight_sliders;
        const int neighbour = board[square + ray.step];
        if (ray_squares[ray.index][i] & sliders)
            walk_ray(square, ray.step, ray.diagonal, start);
        else if (neighbour == W_KING || neighbour == B_KING)
            append(colour_of(neighbour), KING_EXCHANGE_VALUE);
    }
}

int static_exchange(Move m) {
    ExchangeLists& lists = eval_state->exchange_lists;
    for (int i = 0; i < SWAP_LIST_CAPACITY; ++i) {
        lists.values[WHITE][i] = SWAP_SENTINEL;
        lists.values[BLACK][i] = SWAP_SENTINEL;
    }
    const int from = move_from(m), to = move_to(m);
    const int moving = position.board[from];
    // With the mover lifted, a piece behind it is found as an x-ray attacker
    // and the mover itself is not found twice.
    position.board[from] = EMPTY;

    lists.count[WHITE] = 1;
    lists.count[BLACK] = 1;
    const int side = position.state.side_to_move;
    lists.values[side][0] = piece_value[moving];
    lists.values[side ^ 1][0] = piece_value[move_captured(m)];
    collect_attackers(to);
    position.board[from] = moving;

    const int* mover = lists.values[side];
    const int* opponent = lists.values[side ^ 1];
    const int mover_count = lists.count[side];
    const int opponent_count = lists.count[side ^ 1];

    int gain = 0, best = -SWAP_LOOP_START, worst = SWAP_LOOP_START;
    int i = 0, j = 0;
    for (;;) {
        // The mover captures; the opponent may stop here.
        gain += opponent[i++];
        if (gain < worst) {
            if (gain < best) return best;
            worst = gain;
        }
        if (i == opponent_count) return worst;
        // The opponent recaptures; the mover may stop here.
        gain -= mover[j++];
        if (gain > best) {
            if (gain > worst) return worst;
            best = gain;
        }
        if (j == mover_count) return best;
    }
}
