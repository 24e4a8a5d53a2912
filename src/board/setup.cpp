// Position set-up (start position, FEN, xboard edit mode) and move text.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"

QV_THREAD_LOCAL char move_text[6];

namespace {

// Set-up works on the global position and puts the old one back when the text
// is refused, so a rejected text never leaves a half-built board behind.
Position saved_position;

inline bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

constexpr char PIECE_LETTERS[] = "PNBRQK";

void recount() {
    PositionState& st = position.state;
    st.piece_material = 0;
    st.pawn_count = 0;
    for (int sq = A1; sq <= H8; ++sq) {
        const int p = position.board[sq];
        if (p <= EMPTY) continue;
        st.piece_material += piece_material_value[p];
        if (p == W_PAWN || p == B_PAWN) ++st.pawn_count;
    }
    st.key = 0;
    st.pawn_key = 0;
    compute_keys();
    compute_square_sets();
    st.fifty_counter = 0;
    st.game_result = GAME_RUNNING;
    std::memset(position.state_history, 0, sizeof position.state_history);
    std::memset(position.move_history, 0, sizeof position.move_history);
}

// A board the engine can play on: one king of each colour (the king squares
// are set from them), no pawn on the first or last rank, and no more material
// than promotions can give, which also bounds the length of every move list.
bool board_is_playable() {
    int count[13] = {};
    for (int i = 0; i < 64; ++i) {
        const int sq = squares_a1_h8[i];
        const int p = position.board[sq];
        if (p <= EMPTY) continue;
        ++count[p];
        if ((p == W_PAWN || p == B_PAWN) && (rank_of(sq) == 0 || rank_of(sq) == 7)) return false;
        if (p == W_KING) position.state.king_square[WHITE] = sq;
        if (p == B_KING) position.state.king_square[BLACK] = sq;
    }
    for (int base = 0; base <= 6; base += 6) {
        if (count[base + W_KING] != 1 || count[base + W_PAWN] > 8) return false;
        auto extra = [&](int code, int usual) {
            return count[code] > usual ? count[code] - usual : 0;
        };
        const int promoted = extra(base + W_QUEEN, 1) + extra(base + W_ROOK, 2) +
                             extra(base + W_BISHOP, 2) + extra(base + W_KNIGHT, 2);
        if (count[base + W_PAWN] + promoted > 8) return false;
    }
    return true;
}

// The en-passant square only counts when it fits the side to move and the
// pawn that just passed over it stands in front of it.
int checked_ep_square(int sq) {
    if (sq == 0) return 0;
    const bool white_to_move = position.state.side_to_move == WHITE;
    const int pawn_sq = white_to_move ? sq - 10 : sq + 10;
    const int pawn = white_to_move ? B_PAWN : W_PAWN;
    const int wanted_rank = white_to_move ? 5 : 2;  // rank 6 or rank 3
    if (rank_of(sq) != wanted_rank || position.board[pawn_sq] != pawn) return 0;
    return sq;
}

// ---- The fields of a FEN text, each read from the cursor c, which is left
// after the field; false at the first character that does not fit.

// The piece code a placement letter names (P N B R Q K white, p n b r q k
// black), 0 for any other character.
int piece_of_letter(char ch) {
    const char* white = std::strchr(PIECE_LETTERS, ch);
    const char* black = ch >= 'a' ? std::strchr(PIECE_LETTERS, ch - 'a' + 'A') : nullptr;
    if (white != nullptr && ch >= 'A' && ch <= 'Z')
        return static_cast<int>(white - PIECE_LETTERS) + W_PAWN;
    if (black != nullptr && ch >= 'a' && ch <= 'z')
        return static_cast<int>(black - PIECE_LETTERS) + B_PAWN;
    return 0;
}

// Rank 8 first, files a to h; a digit that overshoots the rank completes it.
bool read_placement(const char*& c) {
    PositionState& st = position.state;
    int file = 1, base = 80;
    for (;;) {
        const char ch = *c++;
        if (ch < '1' || ch > 'r') return false;
        if (ch >= '1' && ch <= '8') {
            file += ch - '0';
        } else {
            const int code = piece_of_letter(ch);
            if (code == 0) return false;
            const int sq = base + file + 10;
            position.board[sq] = code;
            if (code == W_KING) st.king_square[WHITE] = sq;
            if (code == B_KING) st.king_square[BLACK] = sq;
            ++file;
        }
        if (file <= 8) continue;
        base -= 10;
        if (base < 10) return true;
        if (*c++ != '/') return false;
        file = 1;
    }
}

bool read_side_to_move(const char*& c) {
    if (*c == 'w')
        position.state.side_to_move = WHITE;
    else if (*c == 'b')
        position.state.side_to_move = BLACK;
    else
        return false;
    ++c;
    return true;
}

// Each letter needs its king and rook on their home squares.
bool read_castling(const char*& c) {
    PositionState& st = position.state;
    const int* b = position.board;
    st.castle_wk = st.castle_wq = st.castle_bk = st.castle_bq = 0;
    if (*c == '-') return *++c == ' ';
    for (; *c != ' '; ++c) {
        if (*c == 'K' && b[E1] == W_KING && b[H1] == W_ROOK)
            st.castle_wk = 1;
        else if (*c == 'Q' && b[E1] == W_KING && b[A1] == W_ROOK)
            st.castle_wq = 1;
        else if (*c == 'k' && b[E8] == B_KING && b[H8] == B_ROOK)
            st.castle_bk = 1;
        else if (*c == 'q' && b[E8] == B_KING && b[A8] == B_ROOK)
            st.castle_bq = 1;
        else
            return false;
    }
    return true;
}

// The square in ep, 0 for '-' or an occupied square.
bool read_ep_square(const char*& c, int& ep) {
    ep = 0;
    if (*c == '-') {
        ++c;
        return true;
    }
    if (*c < 'a' || *c > 'h' || (c[1] != '3' && c[1] != '6')) return false;
    const int sq = square_from_text(c);
    if (position.board[sq] == EMPTY) ep = sq;
    c += 2;
    return true;
}

// The optional half-move field (skipped) and full-move number; the game's ply
// number from them, 0 when the number is missing or out of 1..255.
int read_move_number(const char* c) {
    if (*c != ' ') return 0;
    ++c;
    if (*c == '-')
        ++c;
    else
        while (is_digit(*c)) ++c;
    if (*c != ' ' || !is_digit(c[1])) return 0;
    ++c;
    long n = 0;
    while (is_digit(*c) && n <= 1000) n = n * 10 + (*c++ - '0');
    return n >= 1 && n <= 255 ? static_cast<int>(2 * (n - 1) + position.state.side_to_move) : 0;
}

bool parse_fen(const char* text) {
    const char* c = text;
    std::memcpy(position.board, empty_board, sizeof position.board);
    int ep = 0;
    if (!read_placement(c) || *c++ != ' ') return false;
    if (!read_side_to_move(c) || *c++ != ' ') return false;
    if (!read_castling(c)) return false;
    ++c;  // the space
    if (!read_ep_square(c, ep)) return false;
    const int ply = read_move_number(c);

    if (!board_is_playable()) return false;
    position.state.ep_square = checked_ep_square(ep);
    recount();
    position.game_ply = ply;
    return true;
}

int edit_square(const char* line) {
    if (line[1] < 'a' || line[1] > 'h' || line[2] < '1' || line[2] > '8') return 0;
    return square_from_text(line + 1);
}

}  // namespace

void init_position() {
    std::memcpy(position.board, initial_board, sizeof position.board);
    PositionState& st = position.state;
    st = PositionState{};
    st.piece_material = 6800;
    st.pawn_count = 16;
    st.king_square[WHITE] = E1;
    st.king_square[BLACK] = E8;
    st.castle_wk = st.castle_wq = st.castle_bk = st.castle_bq = 1;
    st.side_to_move = WHITE;
    position.game_ply = 0;
    std::memset(position.state_history, 0, sizeof position.state_history);
    std::memset(position.move_history, 0, sizeof position.move_history);
    compute_keys();
    compute_square_sets();
    QV_ASSERT_POSITION();
}

bool set_position_from_fen(const char* text) {
    saved_position = position;
    if (parse_fen(text)) {
        QV_ASSERT_POSITION();
        return true;
    }
    position = saved_position;
    return false;
}

bool edit_position(LineSource next_line) {
    saved_position = position;
    int colour_offset = 0;  // 0 white, 6 black
    int last_code = 0;
    while (const char* line = next_line()) {
        if (std::strcmp(line, ".") == 0) break;
        if (std::strcmp(line, "c") == 0) {
            colour_offset = 6 - colour_offset;
        } else if (std::strcmp(line, "#") == 0) {
            std::memcpy(position.board, empty_board, sizeof position.board);
        } else if (is_letter(line[0]) && is_letter(line[1]) && is_digit(line[2])) {
            const int sq = edit_square(line);
            if (sq == 0) continue;
            if (line[0] == 'x') {  // xboard's way to empty one square
                position.board[sq] = EMPTY;
                continue;
            }
            const char* letter = std::strchr(PIECE_LETTERS, line[0]);
            if (letter != nullptr && line[0] != '\0')
                last_code = static_cast<int>(letter - PIECE_LETTERS) + W_PAWN + colour_offset;
            if (last_code == 0) continue;
            position.board[sq] = last_code;
            if (last_code == W_KING) position.state.king_square[WHITE] = sq;
            if (last_code == B_KING) position.state.king_square[BLACK] = sq;
        }
    }
    PositionState& st = position.state;
    const int* b = position.board;
    st.ep_square = 0;
    st.castle_wk = b[E1] == W_KING && b[H1] == W_ROOK;
    st.castle_wq = b[E1] == W_KING && b[A1] == W_ROOK;
    st.castle_bk = b[E8] == B_KING && b[H8] == B_ROOK;
    st.castle_bq = b[E8] == B_KING && b[A8] == B_ROOK;
    if (!board_is_playable()) {
        position = saved_position;
        return false;
    }
    recount();
    position.game_ply = 0;
    QV_ASSERT_POSITION();
    return true;
}

void move_to_text(Move m) {
    const int from = move_from(m), to = move_to(m);
    move_text[0] = static_cast<char>('a' - 1 + from % 10);
    move_text[1] = static_cast<char>('0' - 1 + from / 10);
    move_text[2] = static_cast<char>('a' - 1 + to % 10);
    move_text[3] = static_cast<char>('0' - 1 + to / 10);
    move_text[4] = promotion_letter(move_promotion(m));
    move_text[5] = '\0';
}

bool looks_like_move(const char* text) {
    return is_letter(text[0]) && is_digit(text[1]) && is_letter(text[2]) && is_digit(text[3]);
}

Move parse_move_text(const char* text) {
    if (!looks_like_move(text)) return 0;
    const int from = square_from_text(text) & 0xFF;
    const int to = square_from_text(text + 2) & 0xFF;
    int promotion = promotion_of_letter(text[4]);
    if (promotion && position.state.side_to_move == BLACK) promotion += 6;
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    for (int i = 0; i < count; ++i) {
        const Move m = list[i].move;
        if (move_from(m) == from && move_to(m) == to && move_promotion(m) == promotion) return m;
    }
    return 0;
}

bool position_is_ok() {
    const PositionState& st = position.state;
    int material = 0, pawns = 0;
    for (int sq = 0; sq < BOARD_SIZE; ++sq) {
        const int p = position.board[sq];
        const bool border = sq < A1 || sq > H8 || file_of(sq) < 0 || file_of(sq) > 7;
        if (border != (p == OFF_BOARD)) return false;
        if (p < OFF_BOARD || p > B_KING) return false;
        if (p > EMPTY) {
            material += piece_material_value[p];
            if (p == W_PAWN || p == B_PAWN) ++pawns;
        }
    }
    if (material != st.piece_material || pawns != st.pawn_count) return false;
    if (position.board[st.king_square[WHITE]] != W_KING) return false;
    if (position.board[st.king_square[BLACK]] != B_KING) return false;
    if (position.game_ply < 0 || position.game_ply >= HISTORY_CAPACITY) return false;
    // The square sets against a recount of the board.
    SquareSet pieces[13], colours[2];
    std::memcpy(pieces, position.piece_squares, sizeof pieces);
    std::memcpy(colours, position.colour_squares, sizeof colours);
    compute_square_sets();
    const bool sets_ok = std::memcmp(pieces, position.piece_squares, sizeof pieces) == 0 &&
                         std::memcmp(colours, position.colour_squares, sizeof colours) == 0;
    std::memcpy(position.piece_squares, pieces, sizeof pieces);
    std::memcpy(position.colour_squares, colours, sizeof colours);
    if (!sets_ok) return false;
    PositionState fresh = st;
    const PositionState kept = st;
    position.state.key = 0;
    position.state.pawn_key = 0;
    compute_keys();
    fresh.key = position.state.key;
    fresh.pawn_key = position.state.pawn_key;
    position.state = kept;
    return fresh.key == kept.key && fresh.pawn_key == kept.pawn_key;
}

void position_check_failed(const char* where) {
    std::fprintf(stderr, "position invariant broken at %s\n", where);
    std::abort();
}
