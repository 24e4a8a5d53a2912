// Position set-up (start position, FEN, xboard edit mode) and move text.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "board/side_traits.h"

QV_THREAD_LOCAL char move_text[6];
CastlingNotation castling_notation = CASTLING_AS_KING_MOVE;

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

// Where castling rights may be found: on each colour's first rank, in
// standard chess with the king on the e-file and the rooks in the corners.
constexpr int FIRST_RANK[2] = {SideTraits<WHITE>::home_rank + 1,
                               SideTraits<BLACK>::home_rank + 1};  // [colour]: its a-file square
constexpr int KING_FILE = 4;                                       // e
constexpr int ROOK_FILE[2] = {7, 0};                               // [castle_kind - 1]: h, a
constexpr int colour_of_right(int right) {
    return right / 2;
}
constexpr int kind_of_right(int right) {
    return right % 2 + CASTLE_KING_SIDE;
}
constexpr int standard_king(int colour) {
    return FIRST_RANK[colour] + KING_FILE;
}
constexpr int standard_rook(int right) {
    return FIRST_RANK[colour_of_right(right)] + ROOK_FILE[kind_of_right(right) - 1];
}
static_assert(standard_rook(0) == H1 && standard_rook(1) == A1 && standard_rook(2) == H8 &&
                  standard_rook(3) == A8 && standard_king(BLACK) == E8,
              "the castling squares of standard chess, by right");
constexpr int coloured(int white_code, int colour) {
    return white_code + COLOUR_OFFSET * colour;
}

// The square of the colour's king on its first rank, 0 when it stands elsewhere.
int king_on_first_rank(int colour) {
    for (int sq = FIRST_RANK[colour]; sq < FIRST_RANK[colour] + 8; ++sq)
        if (position.board[sq] == coloured(W_KING, colour)) return sq;
    return 0;
}

// The outermost rook of the colour on the wing of a castling kind, 0 for none.
int outermost_rook(int colour, int king, int kind) {
    const int step = kind == CASTLE_KING_SIDE ? -1 : 1;
    for (int sq = FIRST_RANK[colour] + ROOK_FILE[kind - 1]; sq != king; sq += step)
        if (position.board[sq] == coloured(W_ROOK, colour)) return sq;
    return 0;
}

// What becomes of one letter of the castling field.
enum class CastlingLetter {
    TAKEN,    // its right is given
    DROPPED,  // no king on its first rank or no rook behind it: the right cannot be
    REFUSED,  // not a castling letter, or a second rook for one wing: the text is refused
};

// One letter of the castling field: K or Q (k, q) for the outermost rook on
// the king's or queen's wing (X-FEN; in standard chess the rook in the
// corner), or the file of the castling rook (A to H, a to h).
CastlingLetter read_castling_letter(char ch, int rook_from[CASTLE_RIGHTS]) {
    const int colour = ch >= 'a' && ch <= 'z' ? BLACK : WHITE;
    const char letter = colour == BLACK ? static_cast<char>(ch - 'a' + 'A') : ch;
    const bool wing = letter == 'K' || letter == 'Q';
    if (!wing && (letter < 'A' || letter > 'H')) return CastlingLetter::REFUSED;
    const int king = king_on_first_rank(colour);
    if (king == 0) return CastlingLetter::DROPPED;
    int rook = FIRST_RANK[colour] + letter - 'A';
    int kind = rook > king ? CASTLE_KING_SIDE : CASTLE_QUEEN_SIDE;
    if (wing) {
        kind = letter == 'K' ? CASTLE_KING_SIDE : CASTLE_QUEEN_SIDE;
        rook = outermost_rook(colour, king, kind);
    }
    if (rook == 0 || position.board[rook] != coloured(W_ROOK, colour))
        return CastlingLetter::DROPPED;
    int& given = rook_from[castle_right(colour, kind)];
    if (given != 0 && given != rook) return CastlingLetter::REFUSED;  // two rooks for one wing
    given = rook;
    return CastlingLetter::TAKEN;
}

// The castling field: "-" or letters up to the next space, into rook_from;
// the letters dropped into dropped (each once, NUL-ended), when it is given.
bool read_castling(const char*& c, int rook_from[CASTLE_RIGHTS], char* dropped) {
    for (int right = 0; right < CASTLE_RIGHTS; ++right) rook_from[right] = 0;
    if (*c == '-') return *++c == ' ';
    int dropped_count = 0;
    for (; *c != ' '; ++c) {
        const CastlingLetter read = read_castling_letter(*c, rook_from);
        if (read == CastlingLetter::REFUSED) return false;
        if (read == CastlingLetter::DROPPED && dropped != nullptr &&
            dropped_count < DROPPED_CASTLING_SIZE - 1 &&
            std::memchr(dropped, *c, static_cast<std::size_t>(dropped_count)) == nullptr)
            dropped[dropped_count++] = *c;
    }
    if (dropped != nullptr) dropped[dropped_count] = '\0';
    return true;
}

// Castling that standard chess does not know makes the game Chess960.
bool castling_is_standard(const int rook_from[CASTLE_RIGHTS]) {
    for (int right = 0; right < CASTLE_RIGHTS; ++right) {
        const int colour = colour_of_right(right);
        if (rook_from[right] != 0 && (rook_from[right] != standard_rook(right) ||
                                      position.state.king_square[colour] != standard_king(colour)))
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

// A run of digits as a number, read no further than past limit.
long read_number(const char*& c, long limit) {
    long n = 0;
    while (is_digit(*c) && n <= limit) n = n * 10 + (*c++ - '0');
    return n;
}

// The half-move clock beyond which every value means the same: the
// fifty-move rule has long been reached.
constexpr long MAX_FIFTY_COUNTER = 1000;  // plies

// The optional half-move clock ('-' or digits; plies since the last capture or
// pawn move, 0 when missing) and full-move number (the game's ply number, 0
// when the number is missing or out of 1..255).
void read_move_counters(const char* c, int& fifty, int& ply) {
    fifty = ply = 0;
    if (*c != ' ') return;
    ++c;
    if (*c == '-') {
        ++c;
    } else {
        fifty = static_cast<int>(std::min(read_number(c, MAX_FIFTY_COUNTER), MAX_FIFTY_COUNTER));
        while (is_digit(*c)) ++c;
    }
    if (*c != ' ' || !is_digit(c[1])) return;
    ++c;
    const long n = read_number(c, 1000);
    if (n >= 1 && n <= 255) ply = static_cast<int>(2 * (n - 1) + position.state.side_to_move);
}

bool parse_fen(const char* text, char* dropped) {
    const char* c = text;
    std::memcpy(position.board, empty_board, sizeof position.board);
    int ep = 0;
    int rook_from[CASTLE_RIGHTS];
    if (!read_placement(c) || *c++ != ' ') return false;
    if (!read_side_to_move(c) || *c++ != ' ') return false;
    if (!read_castling(c, rook_from, dropped)) return false;
    ++c;  // the space
    if (!read_ep_square(c, ep)) return false;
    int fifty = 0, ply = 0;
    read_move_counters(c, fifty, ply);

    if (!board_is_playable()) return false;
    if (!castling_is_standard(rook_from)) position.chess960 = true;
    set_castling_rights(rook_from);
    position.state.ep_square = checked_ep_square(ep);
    recount();
    position.state.fifty_counter = fifty;
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
    position.chess960 = false;
    int rook_from[CASTLE_RIGHTS];
    for (int right = 0; right < CASTLE_RIGHTS; ++right) rook_from[right] = standard_rook(right);
    set_castling_rights(rook_from);
    st.side_to_move = WHITE;
    position.game_ply = 0;
    std::memset(position.state_history, 0, sizeof position.state_history);
    std::memset(position.move_history, 0, sizeof position.move_history);
    compute_keys();
    compute_square_sets();
    QV_ASSERT_POSITION();
}

bool set_position_from_fen(const char* text, char* dropped_castling) {
    if (dropped_castling != nullptr) dropped_castling[0] = '\0';
    saved_position = position;
    if (parse_fen(text, dropped_castling)) {
        QV_ASSERT_POSITION();
        return true;
    }
    position = saved_position;
    if (dropped_castling != nullptr) dropped_castling[0] = '\0';
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
    // Castling where king and rook stand on their squares of standard chess.
    int rook_from[CASTLE_RIGHTS];
    for (int right = 0; right < CASTLE_RIGHTS; ++right) {
        const int colour = colour_of_right(right);
        const bool home = position.board[standard_king(colour)] == coloured(W_KING, colour) &&
                          position.board[standard_rook(right)] == coloured(W_ROOK, colour);
        rook_from[right] = home ? standard_rook(right) : 0;
    }
    position.state.ep_square = 0;
    if (!board_is_playable()) {
        position = saved_position;
        return false;
    }
    set_castling_rights(rook_from);
    recount();
    position.game_ply = 0;
    QV_ASSERT_POSITION();
    return true;
}

namespace {

// The two characters of a square ("e4") at text.
void write_square(char* text, int sq) {
    text[0] = static_cast<char>('a' - 1 + sq % 10);
    text[1] = static_cast<char>('0' - 1 + sq / 10);
}

bool is_coordinate_text(const char* text) {
    return is_letter(text[0]) && is_digit(text[1]) && is_letter(text[2]) && is_digit(text[3]);
}

// "O-O" is king side, "O-O-O" queen side (with zeros too); 0 for any other text.
int castle_kind_of_text(const char* text) {
    for (const char* written : {"O-O-O", "0-0-0"})
        if (std::strncmp(text, written, 5) == 0) return CASTLE_QUEEN_SIDE;
    for (const char* written : {"O-O", "0-0"})
        if (std::strncmp(text, written, 3) == 0) return CASTLE_KING_SIDE;
    return 0;
}

// The rook a castling move takes along: the castling rook of the king's colour.
int castling_rook(Move m) {
    const int colour = rank_of(move_from(m)) == 0 ? WHITE : BLACK;
    return position.castling.rook_from[castle_right(colour, move_castle_kind(m))];
}

// The king's move names castling in standard chess only: in Chess960 it may
// be an ordinary king move as well (b1c1), so there the king takes its rook.
CastlingNotation notation_in_use() {
    return castling_notation == CASTLING_AS_KING_MOVE && position.chess960
               ? CASTLING_AS_KING_TAKES_ROOK
               : castling_notation;
}

// Castling in the notations that do not name the king's move.
void write_castling(Move m) {
    if (castling_notation == CASTLING_AS_O_O) {
        std::strcpy(move_text, move_castle_kind(m) == CASTLE_KING_SIDE ? "O-O" : "O-O-O");
        return;
    }
    write_square(move_text, move_from(m));
    write_square(move_text + 2, castling_rook(m));
    move_text[4] = '\0';
}

// Coordinate text: the move's squares and promotion (a letter other than
// n, b, r and q, or none, means no promotion).
bool coordinates_name(const char* text, int from, int to, int promotion) {
    return is_coordinate_text(text) && (square_from_text(text) & 0xFF) == from &&
           (square_from_text(text + 2) & 0xFF) == to &&
           promotion_of_letter(text[4]) == piece_kind(promotion);
}

}  // namespace

void move_to_text(Move m) {
    const int kind = move_castle_kind(m);
    if (kind != 0 && kind <= CASTLE_QUEEN_SIDE && notation_in_use() != CASTLING_AS_KING_MOVE) {
        write_castling(m);
        return;
    }
    write_square(move_text, move_from(m));
    write_square(move_text + 2, move_to(m));
    move_text[4] = promotion_letter(move_promotion(m));
    move_text[5] = '\0';
}

bool text_names_move(const char* text, Move m) {
    const int kind = move_castle_kind(m);
    if (kind == 0 || notation_in_use() == CASTLING_AS_KING_MOVE)
        return coordinates_name(text, move_from(m), move_to(m), move_promotion(m));
    if (castling_notation == CASTLING_AS_O_O && castle_kind_of_text(text) != 0)
        return castle_kind_of_text(text) == kind;
    return kind <= CASTLE_QUEEN_SIDE && coordinates_name(text, move_from(m), castling_rook(m), 0);
}

bool looks_like_move(const char* text) {
    return is_coordinate_text(text) ||
           (castling_notation == CASTLING_AS_O_O && castle_kind_of_text(text) != 0);
}

Move parse_move_text(const char* text) {
    if (!looks_like_move(text)) return 0;
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    for (int i = 0; i < count; ++i)
        if (text_names_move(text, list[i].move)) return list[i].move;
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
    // A castling right held means its king has not left the square it castles from.
    for (int right = 0; right < CASTLE_RIGHTS; ++right) {
        const int king = st.king_square[colour_of_right(right)];
        if (st.*CASTLE_FLAGS[right] && (position.castling.lost_on_leaving[king] >> right & 1) == 0)
            return false;
    }
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
