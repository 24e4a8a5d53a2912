// Making and unmaking moves. make_move saves the whole state first, so unmake
// only copies it back and puts the pieces back on their squares.
#include "board/board.h"

namespace {

// The Zobrist values re-indexed by mailbox square, one load per key term.
struct MailboxKeys {
    std::uint64_t v[BOARD_SIZE][16];
};
const MailboxKeys mailbox_keys = [] {
    MailboxKeys t{};
    for (int i = 0; i < 64; ++i)
        for (int p = 0; p < 16; ++p) t.v[squares_a1_h8[i]][p] = zobrist[i][p];
    return t;
}();

inline std::uint64_t z(int sq, int code) {
    return mailbox_keys.v[sq][code];
}
inline std::uint32_t z32(int sq, int code) {
    return static_cast<std::uint32_t>(z(sq, code));
}

// Keys of the terms that live on code 0.
constexpr int SIDE_KEY_SQUARE = 0;
constexpr int CASTLE_KEY_SQUARE[4] = {1, 2, 3, 4};  // wk, wq, bk, bq

inline std::uint64_t side_key() {
    return zobrist[SIDE_KEY_SQUARE][0];
}
inline std::uint64_t castle_key(int which) {
    return zobrist[CASTLE_KEY_SQUARE[which]][0];
}

inline void clear_castle(std::uint8_t& flag, int which) {
    if (flag) {
        flag = 0;
        position.state.key ^= castle_key(which);
    }
}

// The square sets change by XOR, so the same call plays a move's changes
// forwards (make) and back (unmake). piece is what stood on from before the move.
inline void toggle_square_sets(Move m, int mover, int piece) {
    SquareSet* pieces = position.piece_squares;
    SquareSet* colours = position.colour_squares;
    const int from = move_from(m), to = move_to(m);
    const SquareSet from_to = square_bit[from] | square_bit[to];
    colours[mover] ^= from_to;
    if (const int promotion = move_promotion(m)) {
        pieces[piece] ^= square_bit[from];
        pieces[promotion] ^= square_bit[to];
    } else {
        pieces[piece] ^= from_to;
    }
    if (const int captured = move_captured(m)) {
        pieces[captured] ^= square_bit[to];
        colours[mover ^ 1] ^= square_bit[to];
    } else if (move_is_ep(m)) {
        const SquareSet victim = square_bit[mover == BLACK ? to + 10 : to - 10];
        pieces[mover == BLACK ? W_PAWN : B_PAWN] ^= victim;
        colours[mover ^ 1] ^= victim;
    } else if (const int kind = move_castle_kind(m)) {
        const SquareSet rook_from_to = kind == CASTLE_KING_SIDE
                                           ? square_bit[to + 1] | square_bit[to - 1]
                                           : square_bit[to - 2] | square_bit[to + 1];
        pieces[mover == BLACK ? B_ROOK : W_ROOK] ^= rook_from_to;
        colours[mover] ^= rook_from_to;
    }
}

inline void push_history(Move m) {
    position.state_history[position.game_ply] = position.state;
    position.move_history[position.game_ply] = m;
    ++position.game_ply;
    ++position.state.fifty_counter;
}

}  // namespace

void make_move(Move m) {
    PositionState& st = position.state;
    int* board = position.board;
    const int from = move_from(m), to = move_to(m);
    const int captured = move_captured(m), promotion = move_promotion(m);
    const int mover = st.side_to_move;

    push_history(m);
    if (st.ep_square) {
        st.key ^= z(st.ep_square, 0);
        st.ep_square = 0;
    }

    const int piece = board[from];
    toggle_square_sets(m, mover, piece);
    if (promotion) {
        st.key ^= z(from, piece) ^ z(to, promotion);
        st.pawn_key ^= z32(from, piece);
        board[to] = promotion;
        board[from] = EMPTY;
        st.piece_material += piece_material_value[promotion];
        --st.pawn_count;
        st.fifty_counter = 0;
    } else if (move_is_ep(m)) {
        st.key ^= z(from, piece) ^ z(to, piece);
        st.pawn_key ^= z32(from, piece) ^ z32(to, piece);
        board[to] = piece;
        board[from] = EMPTY;
        const int victim_sq = mover == BLACK ? to + 10 : to - 10;
        const int victim = mover == BLACK ? W_PAWN : B_PAWN;
        board[victim_sq] = EMPTY;
        st.key ^= z(victim_sq, victim);
        st.pawn_key ^= z32(victim_sq, victim);
        --st.pawn_count;
        st.fifty_counter = 0;
    } else if (move_castle_kind(m)) {
        const bool king_side = move_castle_kind(m) == CASTLE_KING_SIDE;
        const int rook_from = king_side ? to + 1 : to - 2;
        const int rook_to = king_side ? to - 1 : to + 1;
        const int rook = board[rook_from];
        st.key ^= z(from, piece) ^ z(to, piece) ^ z(rook_from, rook) ^ z(rook_to, rook);
        board[to] = piece;
        board[from] = EMPTY;
        board[rook_to] = rook;
        board[rook_from] = EMPTY;
    } else {
        st.key ^= z(from, piece) ^ z(to, piece);
        board[to] = piece;
        board[from] = EMPTY;
        if (piece == W_PAWN || piece == B_PAWN) {
            st.fifty_counter = 0;
            st.pawn_key ^= z32(from, piece) ^ z32(to, piece);
            if (to - from == 20 || from - to == 20) {
                st.ep_square = (from + to) / 2;
                st.key ^= z(st.ep_square, 0);
            }
        }
    }

    if (captured) {
        st.fifty_counter = 0;
        st.key ^= z(to, captured);
        st.piece_material -= piece_material_value[captured];
        if (captured == W_PAWN || captured == B_PAWN) {
            st.pawn_key ^= z32(to, captured);
            --st.pawn_count;
        }
    }

    if (mover == WHITE) {
        if (from == st.king_square[WHITE]) {
            st.king_square[WHITE] = to;
            st.pawn_key ^= z32(from, W_KING) ^ z32(to, W_KING);
            if (from == E1) {
                clear_castle(st.castle_wk, 0);
                clear_castle(st.castle_wq, 1);
            }
        } else if (from == H1) {
            clear_castle(st.castle_wk, 0);
        } else if (from == A1) {
            clear_castle(st.castle_wq, 1);
        }
    } else {
        if (from == st.king_square[BLACK]) {
            st.king_square[BLACK] = to;
            st.pawn_key ^= z32(from, B_KING) ^ z32(to, B_KING);
            if (from == E8) {
                clear_castle(st.castle_bk, 2);
                clear_castle(st.castle_bq, 3);
            }
        } else if (from == H8) {
            clear_castle(st.castle_bk, 2);
        } else if (from == A8) {
            clear_castle(st.castle_bq, 3);
        }
    }

    st.side_to_move = static_cast<std::uint8_t>(mover ^ 1);
    st.key ^= side_key();
    QV_ASSERT_POSITION();
}

void unmake_move() {
    --position.game_ply;
    position.state = position.state_history[position.game_ply];
    const Move m = position.move_history[position.game_ply];
    int* board = position.board;
    const int from = move_from(m), to = move_to(m);
    const int mover = position.state.side_to_move;
    toggle_square_sets(m, mover,
                       move_promotion(m) ? (mover == BLACK ? B_PAWN : W_PAWN) : board[to]);

    if (move_promotion(m)) {
        board[from] = mover == BLACK ? B_PAWN : W_PAWN;
        board[to] = move_captured(m);
    } else if (move_is_ep(m)) {
        board[from] = board[to];
        board[to] = EMPTY;
        if (mover == BLACK)
            board[to + 10] = W_PAWN;
        else
            board[to - 10] = B_PAWN;
    } else if (move_castle_kind(m) == 0) {
        board[from] = board[to];
        board[to] = move_captured(m);
    } else if (move_castle_kind(m) == CASTLE_KING_SIDE) {
        board[from] = board[to];
        board[to + 1] = board[to - 1];
        board[to] = EMPTY;
        board[to - 1] = EMPTY;
    } else {
        board[from] = board[to];
        board[to - 2] = board[to + 1];
        board[to] = EMPTY;
        board[to + 1] = EMPTY;
    }
    QV_ASSERT_POSITION();
}

void make_null_move() {
    PositionState& st = position.state;
    push_history(0);
    if (st.ep_square) {
        st.key ^= z(st.ep_square, 0);
        st.ep_square = 0;
    }
    st.side_to_move ^= 1;
    st.key ^= side_key();
}

void unmake_null_move() {
    --position.game_ply;
    position.state = position.state_history[position.game_ply];
}

void compute_square_sets() {
    for (SquareSet& s : position.piece_squares) s = 0;
    position.colour_squares[WHITE] = position.colour_squares[BLACK] = 0;
    for (int i = 0; i < 64; ++i) {
        const int p = position.board[squares_a1_h8[i]];
        if (p <= EMPTY) continue;
        position.piece_squares[p] |= SquareSet{1} << i;
        position.colour_squares[p <= W_KING ? WHITE : BLACK] |= SquareSet{1} << i;
    }
}

void compute_keys() {
    PositionState& st = position.state;
    for (int i = 0; i < 64; ++i) {
        const int p = position.board[squares_a1_h8[i]];
        if (p <= EMPTY) continue;
        st.key ^= zobrist[i][p];
        if (p == W_PAWN || p == W_KING || p == B_PAWN || p == B_KING)
            st.pawn_key ^= static_cast<std::uint32_t>(zobrist[i][p]);
    }
    if (st.side_to_move == BLACK) st.key ^= side_key();
    if (st.ep_square) st.key ^= z(st.ep_square, 0);
    if (st.castle_wk) st.key ^= castle_key(0);
    if (st.castle_wq) st.key ^= castle_key(1);
    if (st.castle_bk) st.key ^= castle_key(2);
    if (st.castle_bq) st.key ^= castle_key(3);
}
