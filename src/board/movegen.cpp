// Pseudo-legal move generation, written straight into the caller's array.
#include "board/board.h"
#include "board/side_traits.h"

namespace {

// [attacker kind][victim kind], kinds 1..6 = pawn .. king.
constexpr int full_capture_score[7][6] = {
    {0, 0, 0, 0, 0, 0},
    {0, 15000, 16000, 16100, 17200, 18300},  // pawn
    {0, 7100, 15200, 15400, 17100, 18200},   // knight
    {0, 7000, 15100, 15300, 17000, 18100},   // bishop
    {0, 6000, 6100, 6200, 15500, 18000},     // rook
    {0, 5000, 5100, 5200, 5300, 15600},      // queen
    {0, 12000, 12100, 12200, 12300, 12400},  // king
};
// Odd scores mark captures that cannot lose material.
constexpr int quiet_search_capture_score[7][6] = {
    {0, 0, 0, 0, 0, 0},
    {0, 901, 3001, 3101, 4901, 8901},   // pawn
    {0, 690, 2791, 2891, 4691, 8691},   // knight
    {0, 680, 2781, 2881, 4681, 8681},   // bishop
    {0, 500, 2600, 2700, 4501, 8501},   // rook
    {0, 100, 2200, 2300, 4100, 8101},   // queen
    {0, 1001, 3101, 3201, 5001, 9001},  // king
};
constexpr int PROMOTION_SCORES[4] = {9000, 9100, 9200, 19000};  // N, B, R, Q
constexpr int EP_SCORE = 15000;
constexpr int CAPTURE_PROMOTION_SCORE = 10001;
constexpr int CAPTURE_EP_SCORE = 901;

// The squares of Side's pieces with the bits in its scan order: white visits
// rank 8 first, black rank 1 first, each rank from the a-file to the h-file.
template <int Side>
inline SquareSet scan_set() {
    const SquareSet own = position.colour_squares[Side];
    return Side == WHITE ? ranks_reversed(own) : own;
}
template <int Side>
inline int scan_square(int bit) {
    return squares_a1_h8[Side == WHITE ? bit ^ RANKS_REVERSED_INDEX : bit];
}

// The bit trick visits the squares exactly in the scan order of the traits.
template <int Side>
constexpr bool visits_in_scan_order() {
    for (int bit = 0; bit < 64; ++bit) {
        const int index = Side == WHITE ? bit ^ RANKS_REVERSED_INDEX : bit;
        if (square_set_tables::mailbox_of(index) != SideTraits<Side>::scan_order[bit]) return false;
    }
    return true;
}
static_assert(visits_in_scan_order<WHITE>() && visits_in_scan_order<BLACK>(),
              "square sets are visited in each side's scan order");

template <std::size_t N>
constexpr bool all_are_rays(const std::array<int, N>& steps) {
    for (const int step : steps)
        if (RAY_STEPS[ray_of_step(step)] != step) return false;
    return true;
}
static_assert(all_are_rays(SideTraits<WHITE>::queen_dirs) &&
                  all_are_rays(SideTraits<BLACK>::queen_dirs),
              "every slider direction is one of the eight lines");

inline void add(MoveEntry*& out, Move m, int score) {
    out->move = m;
    out->score = score;
    ++out;
}

template <int Side>
inline bool is_victim(int code) {
    return code >= SideTraits<Side>::first_victim && code <= SideTraits<Side>::last_victim;
}

template <int Side>
inline void add_promotions(MoveEntry*& out, int from, int to, int captured) {
    for (int i = 0; i < 4; ++i)
        add(out, pack_move(from, to, captured, SideTraits<Side>::knight + i), PROMOTION_SCORES[i]);
}

template <int Side>
inline void pawn_capture(MoveEntry*& out, int s, int t) {
    using T = SideTraits<Side>;
    const int victim = position.board[t];
    if (is_victim<Side>(victim)) {
        if (t >= T::promotion_low && t <= T::promotion_high) {
            add_promotions<Side>(out, s, t, victim);
        } else {
            const int score = full_capture_score[1][piece_kind(victim)];
            const bool seventh = t >= T::seventh_low && t <= T::seventh_high;
            add(out, pack_move(s, t, victim), seventh ? score + 1 : score);
        }
    }
    if (position.state.ep_square == t) add(out, pack_move(s, t) | EP_FLAG, EP_SCORE);
}

template <int Side>
inline void pawn_moves(MoveEntry*& out, int s) {
    using T = SideTraits<Side>;
    const int t = s + T::push;
    if (position.board[t] == EMPTY) {
        if (t >= T::promotion_low && t <= T::promotion_high) {
            add_promotions<Side>(out, s, t, 0);
        } else if (t >= T::seventh_low && t <= T::seventh_high) {
            add(out, pack_move(s, t), 1);
        } else {
            add(out, pack_move(s, t), 0);
            if (s >= T::start_low && s <= T::start_high && position.board[t + T::push] == EMPTY)
                add(out, pack_move(s, t + T::push), 0);
        }
    }
    pawn_capture<Side>(out, s, s + T::capture_first);
    pawn_capture<Side>(out, s, s + T::capture_second);
}

template <int Side, std::size_t N>
inline void step_moves(MoveEntry*& out, int s, int kind, const std::array<int, N>& dirs) {
    for (int d : dirs) {
        const int t = s + d;
        const int code = position.board[t];
        if (code == EMPTY)
            add(out, pack_move(s, t), 0);
        else if (is_victim<Side>(code))
            add(out, pack_move(s, t, code), full_capture_score[kind][piece_kind(code)]);
    }
}

template <int Side, std::size_t N>
inline void slide_moves(MoveEntry*& out, int s, int kind, const std::array<int, N>& dirs) {
    for (int d : dirs) {
        int t = s + d;
        while (position.board[t] == EMPTY) {
            add(out, pack_move(s, t), 0);
            t += d;
        }
        const int code = position.board[t];
        if (is_victim<Side>(code))
            add(out, pack_move(s, t, code), full_capture_score[kind][piece_kind(code)]);
    }
}

// King side, then queen side: the right is still held, its rook stands on
// its square and nothing else stands where the two pieces go. Whether the
// king's path is attacked is tested after the move (last_move_legal).
template <int Side>
inline void castling_moves(MoveEntry*& out, int king) {
    const CastlingGeometry& g = position.castling;
    const SquareSet occupied = position.colour_squares[WHITE] | position.colour_squares[BLACK];
    for (int kind = CASTLE_KING_SIDE; kind <= CASTLE_QUEEN_SIDE; ++kind) {
        const int right = castle_right(Side, kind);
        if (position.state.*CASTLE_FLAGS[right] &&
            position.board[g.rook_from[right]] == SideTraits<Side>::rook &&
            (occupied & g.must_be_empty[right]) == 0)
            add(out, pack_move(king, g.king_to[right], 0, 0, kind), 0);
    }
}

template <int Side>
int generate_all(MoveEntry* list) {
    using T = SideTraits<Side>;
    MoveEntry* out = list;
    for (SquareSet own = scan_set<Side>(); own != 0; own &= own - 1) {
        const int s = scan_square<Side>(first_index(own));
        switch (position.board[s] - (Side == WHITE ? 0 : 6)) {
            case W_PAWN:
                pawn_moves<Side>(out, s);
                break;
            case W_KNIGHT:
                step_moves<Side>(out, s, 2, T::knight_dirs);
                break;
            case W_BISHOP:
                slide_moves<Side>(out, s, 3, T::bishop_dirs);
                break;
            case W_ROOK:
                slide_moves<Side>(out, s, 4, T::rook_dirs);
                break;
            case W_QUEEN:
                slide_moves<Side>(out, s, 5, T::queen_dirs);
                break;
            case W_KING:
                step_moves<Side>(out, s, 6, T::queen_dirs);
                castling_moves<Side>(out, s);
                break;
            default:
                break;
        }
    }
    return static_cast<int>(out - list);
}

// ---- Captures and queen promotions only.

template <int Side>
inline void pawn_capture_only(MoveEntry*& out, int s, int t) {
    using T = SideTraits<Side>;
    const int victim = position.board[t];
    if (is_victim<Side>(victim)) {
        if (t >= T::promotion_low && t <= T::promotion_high)
            add(out, pack_move(s, t, victim, T::queen), CAPTURE_PROMOTION_SCORE);
        else
            add(out, pack_move(s, t, victim), quiet_search_capture_score[1][piece_kind(victim)]);
    }
    if (position.state.ep_square == t) add(out, pack_move(s, t) | EP_FLAG, CAPTURE_EP_SCORE);
}

template <int Side>
inline void pawn_captures(MoveEntry*& out, int s) {
    using T = SideTraits<Side>;
    const int t = s + T::push;
    if (t >= T::promotion_low && t <= T::promotion_high && position.board[t] == EMPTY)
        add(out, pack_move(s, t, 0, T::queen), CAPTURE_PROMOTION_SCORE);
    pawn_capture_only<Side>(out, s, s + T::capture_first);
    pawn_capture_only<Side>(out, s, s + T::capture_second);
}

template <int Side, std::size_t N>
inline void step_captures(MoveEntry*& out, int s, int kind, const std::array<int, N>& dirs) {
    for (int d : dirs) {
        const int code = position.board[s + d];
        if (is_victim<Side>(code))
            add(out, pack_move(s, s + d, code), quiet_search_capture_score[kind][piece_kind(code)]);
    }
}

// The first piece along each line, found from the square sets instead of a
// walk over the empty squares; it gives a capture when it is a victim.
template <int Side, std::size_t N>
inline void slide_captures(MoveEntry*& out, int s, int kind, const std::array<int, N>& dirs,
                           SquareSet occupied, SquareSet victims) {
    const int i = square64[s];
    for (int d : dirs) {
        const int ray = ray_of_step(d);
        const SquareSet blockers = ray_squares[ray][i] & occupied;
        if ((blockers & victims) == 0) continue;
        const int b = ray_ascends(ray) ? first_index(blockers) : last_index(blockers);
        if ((victims >> b & 1) == 0) continue;
        const int t = squares_a1_h8[b];
        const int code = position.board[t];
        add(out, pack_move(s, t, code), quiet_search_capture_score[kind][piece_kind(code)]);
    }
}

template <int Side>
int generate_capture_moves(MoveEntry* list) {
    using T = SideTraits<Side>;
    const Position& p = position;
    // Everything of the other side but its king can be taken.
    const SquareSet victims = p.colour_squares[1 - Side] & ~p.piece_squares[T::other_king];
    const SquareSet occupied = p.colour_squares[WHITE] | p.colour_squares[BLACK];
    // A pawn lists something only from its seventh rank (a promotion) or when
    // it attacks a victim or the en-passant square; the squares a pawn of Side
    // attacks are those from which the other side's pawn would capture.
    const SquareSet pawn_targets = victims | square_bit[p.state.ep_square];
    const SquareSet seventh_rank = Side == WHITE ? SquareSet{0xFF} << 48 : SquareSet{0xFF} << 8;
    MoveEntry* out = list;
    for (SquareSet own = scan_set<Side>(); own != 0; own &= own - 1) {
        const int s = scan_square<Side>(first_index(own));
        switch (p.board[s] - (Side == WHITE ? 0 : 6)) {
            case W_PAWN:
                if ((pawn_attackers[1 - Side][s] & pawn_targets) || (square_bit[s] & seventh_rank))
                    pawn_captures<Side>(out, s);
                break;
            case W_KNIGHT:
                if (knight_reach[s] & victims) step_captures<Side>(out, s, 2, T::knight_dirs);
                break;
            case W_BISHOP:
                if (diagonal_reach[s] & victims)
                    slide_captures<Side>(out, s, 3, T::bishop_dirs, occupied, victims);
                break;
            case W_ROOK:
                if (straight_reach[s] & victims)
                    slide_captures<Side>(out, s, 4, T::rook_dirs, occupied, victims);
                break;
            case W_QUEEN:
                if ((diagonal_reach[s] | straight_reach[s]) & victims)
                    slide_captures<Side>(out, s, 5, T::queen_dirs, occupied, victims);
                break;
            case W_KING:
                if (king_reach[s] & victims) step_captures<Side>(out, s, 6, T::queen_dirs);
                break;
            default:
                break;
        }
    }
    return static_cast<int>(out - list);
}

}  // namespace

int generate_moves(MoveEntry* list) {
    return position.state.side_to_move == WHITE ? generate_all<WHITE>(list)
                                                : generate_all<BLACK>(list);
}

int generate_captures(MoveEntry* list) {
    return position.state.side_to_move == WHITE ? generate_capture_moves<WHITE>(list)
                                                : generate_capture_moves<BLACK>(list);
}
