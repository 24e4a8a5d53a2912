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
constexpr int CASTLE_KEY_SQUARE[CASTLE_RIGHTS] = {1, 2, 3, 4};  // [right]: wk, wq, bk, bq

inline std::uint64_t side_key() {
    return zobrist[SIDE_KEY_SQUARE][0];
}
inline std::uint64_t castle_key(int which) {
    return zobrist[CASTLE_KEY_SQUARE[which]][0];
}

// [colour]: the side's two castling rights as bits of a mask (bit = right).
constexpr int SIDE_CASTLINGS[2] = {3 << castle_right(WHITE, CASTLE_KING_SIDE),
                                   3 << castle_right(BLACK, CASTLE_KING_SIDE)};

// Clears the flags of the mask that are still set, with their keys.
void clear_castlings(int lost, std::uint64_t& key) {
    for (int which = 0; which < CASTLE_RIGHTS; ++which) {
        std::uint8_t& flag = position.state.*CASTLE_FLAGS[which];
        if ((lost >> which & 1) && flag) {
            flag = 0;
            key ^= castle_key(which);
        }
    }
}

// Promotion, castling kind and en-passant flag: a move with none of them only
// moves one piece and perhaps takes one on its destination.
constexpr Move SPECIAL_FIELDS = 0x1FF00000;

inline bool is_pawn(int code) {
    return code == W_PAWN || code == B_PAWN;
}

// Puts a piece on or takes it off a square of the square sets.
inline void toggle(int piece, int colour, SquareSet squares) {
    position.piece_squares[piece] ^= squares;
    position.colour_squares[colour] ^= squares;
}

inline void push_history(Move m) {
    position.state_history[position.game_ply] = position.state;
    position.move_history[position.game_ply] = m;
    ++position.game_ply;
    ++position.state.fifty_counter;
}

// The keys of the position, kept in registers while a move is made and
// written back once.
struct Keys {
    std::uint64_t key;
    std::uint32_t pawn_key;
};

constexpr int PAWN_PUSH[2] = {10, -10};         // [colour]: a pawn's step forwards
constexpr int PAWN_CODE[2] = {W_PAWN, B_PAWN};  // [colour]

// A pawn move that promotes or takes en passant; the pawn already stands on to.
void finish_special_pawn_move(Move m, int mover, int pawn, Keys& keys) {
    PositionState& st = position.state;
    int* board = position.board;
    const int to = move_to(m);
    if (const int promotion = move_promotion(m)) {
        board[to] = promotion;
        keys.key ^= z(to, pawn) ^ z(to, promotion);
        keys.pawn_key ^= z32(to, pawn);
        position.piece_squares[pawn] ^= square_bit[to];
        position.piece_squares[promotion] ^= square_bit[to];
        st.piece_material += piece_material_value[promotion];
        --st.pawn_count;
        return;
    }
    const int victim_sq = to - PAWN_PUSH[mover];
    const int victim = PAWN_CODE[mover ^ 1];
    board[victim_sq] = EMPTY;
    keys.key ^= z(victim_sq, victim);
    keys.pawn_key ^= z32(victim_sq, victim);
    toggle(victim, mover ^ 1, square_bit[victim_sq]);
    --st.pawn_count;
}

inline void clear_ep_square(Keys& keys) {
    PositionState& st = position.state;
    if (st.ep_square) {
        keys.key ^= z(st.ep_square, 0);
        st.ep_square = 0;
    }
}

// A castling king may end where it started: the board loses it then, and
// castling puts it back; keys and square sets stay right.
inline void move_piece(int piece, int mover, int from, int to, Keys& keys) {
    position.board[to] = piece;
    position.board[from] = EMPTY;
    keys.key ^= z(from, piece) ^ z(to, piece);
    toggle(piece, mover, square_bit[from] ^ square_bit[to]);
}

inline void take_captured(int captured, int mover, int to, Keys& keys) {
    PositionState& st = position.state;
    st.fifty_counter = 0;
    keys.key ^= z(to, captured);
    st.piece_material -= piece_material_value[captured];
    toggle(captured, mover ^ 1, square_bit[to]);
    if (is_pawn(captured)) {
        keys.pawn_key ^= z32(to, captured);
        --st.pawn_count;
    }
    if (const int lost = position.castling.lost_on_capture[to] & SIDE_CASTLINGS[mover ^ 1])
        clear_castlings(lost, keys.key);
}

// Pawn moves reset the fifty-move count; a double push leaves the square it
// passed over for an en-passant capture.
inline void finish_pawn_move(Move m, int mover, int pawn, Keys& keys) {
    PositionState& st = position.state;
    const int from = move_from(m), to = move_to(m);
    st.fifty_counter = 0;
    keys.pawn_key ^= z32(from, pawn) ^ z32(to, pawn);
    if (m & SPECIAL_FIELDS) {
        finish_special_pawn_move(m, mover, pawn, keys);
    } else if (to - from == 20 || from - to == 20) {
        st.ep_square = (from + to) / 2;
        keys.key ^= z(st.ep_square, 0);
    }
}

// Castling, after the king's move: the rook leaves its square and takes its
// new one, and the king is put on its square again, which the rook may have
// stood on or the king's own start may have been.
void finish_castling(Move m, int mover, int king, Keys& keys) {
    int* board = position.board;
    const CastlingGeometry& g = position.castling;
    const int right = castle_right(mover, move_castle_kind(m));
    const int rook_from = g.rook_from[right], rook_to = g.rook_to[right];
    const int rook = king - W_KING + W_ROOK;
    board[rook_from] = EMPTY;
    board[rook_to] = rook;
    board[move_to(m)] = king;
    keys.key ^= z(rook_from, rook) ^ z(rook_to, rook);
    toggle(rook, mover, square_bit[rook_from] ^ square_bit[rook_to]);
}

// The king is in the pawn key.
inline void finish_king_move(Move m, int mover, int king, Keys& keys) {
    const int from = move_from(m), to = move_to(m);
    position.state.king_square[mover] = to;
    keys.pawn_key ^= z32(from, king) ^ z32(to, king);
    if (move_castle_kind(m)) finish_castling(m, mover, king, keys);
}

}  // namespace

void make_move(Move m) {
    PositionState& st = position.state;
    const int from = move_from(m), to = move_to(m);
    const int mover = st.side_to_move;
    const int piece = position.board[from];

    push_history(m);
    Keys keys{st.key ^ side_key(), st.pawn_key};
    clear_ep_square(keys);
    // The piece moves; a promotion, an en-passant capture or castling is finished below.
    move_piece(piece, mover, from, to, keys);
    if (const int captured = move_captured(m)) take_captured(captured, mover, to, keys);
    if (is_pawn(piece))
        finish_pawn_move(m, mover, piece, keys);
    else if (from == st.king_square[mover])
        finish_king_move(m, mover, piece, keys);
    const CastlingGeometry& castling = position.castling;
    int lost = castling.lost_on_leaving[from];
    if (piece_kind(piece) == W_ROOK) lost |= castling.lost_on_leaving[to];
    if ((lost &= SIDE_CASTLINGS[mover]) != 0) clear_castlings(lost, keys.key);

    st.key = keys.key;
    st.pawn_key = keys.pawn_key;
    st.side_to_move = static_cast<std::uint8_t>(mover ^ 1);
    QV_ASSERT_POSITION();
}

namespace {

// Takes back a promotion, an en-passant capture or castling; the state is
// already restored.
void unmake_special_move(Move m, int mover) {
    int* board = position.board;
    const int from = move_from(m), to = move_to(m);
    const SquareSet from_bit = square_bit[from], to_bit = square_bit[to];
    const int piece = board[to];
    if (move_promotion(m)) {
        const int pawn = PAWN_CODE[mover];
        const int captured = move_captured(m);
        board[from] = pawn;
        board[to] = captured;
        position.piece_squares[piece] ^= to_bit;
        position.piece_squares[pawn] ^= from_bit;
        position.colour_squares[mover] ^= from_bit | to_bit;
        if (captured) toggle(captured, mover ^ 1, to_bit);
    } else if (move_is_ep(m)) {
        const int victim_sq = to - PAWN_PUSH[mover];
        const int victim = PAWN_CODE[mover ^ 1];
        board[from] = piece;
        board[to] = EMPTY;
        board[victim_sq] = victim;
        toggle(piece, mover, from_bit | to_bit);
        toggle(victim, mover ^ 1, square_bit[victim_sq]);
    } else {
        // Castling: both pieces leave before either returns (their squares may overlap).
        const CastlingGeometry& g = position.castling;
        const int right = castle_right(mover, move_castle_kind(m));
        const int rook_from = g.rook_from[right], rook_to = g.rook_to[right];
        const int rook = board[rook_to];
        board[to] = board[rook_to] = EMPTY;
        board[from] = piece;
        board[rook_from] = rook;
        toggle(piece, mover, from_bit ^ to_bit);
        toggle(rook, mover, square_bit[rook_from] ^ square_bit[rook_to]);
    }
}

}  // namespace

void unmake_move() {
    --position.game_ply;
    position.state = position.state_history[position.game_ply];
    const Move m = position.move_history[position.game_ply];
    const int mover = position.state.side_to_move;
    if (m & SPECIAL_FIELDS) {
        unmake_special_move(m, mover);
    } else {
        int* board = position.board;
        const int from = move_from(m), to = move_to(m);
        const int piece = board[to], captured = move_captured(m);
        board[from] = piece;
        board[to] = captured;
        toggle(piece, mover, square_bit[from] | square_bit[to]);
        if (captured) toggle(captured, mover ^ 1, square_bit[to]);
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
    for (int which = 0; which < CASTLE_RIGHTS; ++which)
        if (st.*CASTLE_FLAGS[which]) st.key ^= castle_key(which);
}
