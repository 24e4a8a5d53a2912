// Board and moves: the one global position, the move encoding, generation,
// attack tests, make/unmake with incremental keys, set-up, move text, perft.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/square_sets.h"
#include "platform/platform.h"

using Move = std::uint32_t;  // packed move, 0 = no move (layout below)

// ---- Squares: 10x12 mailbox, a1 = 21 .. h8 = 98; border squares hold OFF_BOARD.
constexpr int BOARD_SIZE = 120;  // squares of the mailbox, border included
// The mailbox squares of the first and the eighth rank.
constexpr int A1 = 21, B1 = 22, C1 = 23, D1 = 24, E1 = 25, F1 = 26, G1 = 27, H1 = 28;
constexpr int A8 = 91, B8 = 92, C8 = 93, D8 = 94, E8 = 95, F8 = 96, G8 = 97, H8 = 98;

constexpr int square_of(int file, int rank) {
    return 10 * (rank + 2) + file + 1;
}
constexpr int file_of(int sq) {
    return sq % 10 - 1;
}  // 0 = a .. 7 = h
constexpr int rank_of(int sq) {
    return sq / 10 - 2;
}  // 0 = first rank .. 7 = eighth

// The square that coordinate text such as "e4" names: file letter, rank digit.
// Nothing is checked; callers test the characters first.
constexpr int square_from_text(const char* text) {
    return 10 * (text[1] - '0') + (text[0] - 'a') + 11;
}

extern const int square64[BOARD_SIZE];  // mailbox -> 0..63 (a1 = 0, h8 = 63); border -> 0
extern const int squares_a1_h8[64];     // 0..63 -> mailbox
static_assert(square_set_tables::MAILBOX_SQUARES == BOARD_SIZE, "square sets cover the mailbox");

// ---- Piece codes: colour by range, black = white + 6.
enum PieceCode : int {
    OFF_BOARD = -1,
    EMPTY = 0,
    W_PAWN = 1,
    W_KNIGHT,
    W_BISHOP,
    W_ROOK,
    W_QUEEN,
    W_KING,
    B_PAWN = 7,
    B_KNIGHT,
    B_BISHOP,
    B_ROOK,
    B_QUEEN,
    B_KING,
};
constexpr int WHITE = 0, BLACK = 1;  // colours, as side_to_move holds them

// Piece kind 1..6 (pawn .. king) of a code of either colour; 0 stays 0.
constexpr int piece_kind(int code) {
    return code > 6 ? code - 6 : code;
}

extern const int piece_material_value[13];  // N, B 300, R 500, Q 1200; phase material

// ---- Move fields.
constexpr int move_from(Move m) {
    return static_cast<int>(m & 0xFF);
}
constexpr int move_to(Move m) {
    return static_cast<int>((m >> 8) & 0xFF);
}
constexpr int move_captured(Move m) {
    return static_cast<int>((m >> 16) & 0xF);
}
constexpr int move_promotion(Move m) {
    return static_cast<int>((m >> 20) & 0xF);
}
constexpr int move_castle_kind(Move m) {
    return static_cast<int>((m >> 24) & 0xF);
}
constexpr bool move_is_ep(Move m) {
    return ((m >> 28) & 1) != 0;
}
// The Move with these fields, read back by the functions above (make_move plays one).
constexpr Move pack_move(int from, int to, int captured = 0, int promotion = 0, int castle_kind = 0,
                         bool ep = false) {
    return static_cast<Move>(from) | static_cast<Move>(to) << 8 |
           static_cast<Move>(captured) << 16 | static_cast<Move>(promotion) << 20 |
           static_cast<Move>(castle_kind) << 24 | static_cast<Move>(ep ? 1 : 0) << 28;
}
// Move text names a promotion by a lowercase letter, 'n', 'b', 'r' or 'q',
// whatever the colour.
constexpr char promotion_letter(int code) {  // NUL for no promotion (or not a piece one can be)
    const int kind = piece_kind(code);
    return kind >= W_KNIGHT && kind <= W_QUEEN ? "nbrq"[kind - W_KNIGHT] : '\0';
}
constexpr int promotion_of_letter(char letter) {  // W_KNIGHT .. W_QUEEN; 0 for any other
    for (int code = W_KNIGHT; code <= W_QUEEN; ++code)
        if (promotion_letter(code) == letter) return code;
    return 0;
}
constexpr int CASTLE_KING_SIDE = 1, CASTLE_QUEEN_SIDE = 2;  // move_castle_kind; 0 = none
constexpr Move EP_FLAG = 1u << 28;                          // the en-passant bit of a move
constexpr Move W_CASTLE_KING_SIDE = 0x1001B19;              // e1g1
constexpr Move W_CASTLE_QUEEN_SIDE = 0x2001719;             // e1c1
constexpr Move B_CASTLE_KING_SIDE = 0x100615F;              // e8g8
constexpr Move B_CASTLE_QUEEN_SIDE = 0x2005D5F;             // e8c8

// ---- Move lists.
// With set-up refusing impossible material (see set_position_from_fen), the
// most pseudo-legal moves a side can have is 9 queens x 27 + 2 rooks x 14 +
// 2 bishops x 13 + 2 knights x 8 + king 8 + 2 castlings = 323.
constexpr int MAX_PSEUDO_LEGAL_MOVES = 9 * 27 + 2 * 14 + 2 * 13 + 2 * 8 + 8 + 2;
constexpr int MOVE_LIST_CAPACITY = 324;  // entries of every move list
static_assert(MAX_PSEUDO_LEGAL_MOVES <= MOVE_LIST_CAPACITY, "a move list could overflow");

struct MoveEntry {
    Move move;
    std::int32_t score;  // ordering score; bit 0 is the generator's mark
};
static_assert(sizeof(MoveEntry) == 8, "MoveEntry is a move and a score");

// ---- Position.
struct PositionState {
    std::uint64_t key;            // Zobrist key: pieces, side, castling, en passant
    std::uint32_t pawn_key;       // low 32 bits of the pawn and king keys only
    std::int32_t piece_material;  // sum of piece_material_value, both colours
    std::int32_t pawn_count;      // pawns of both colours
    std::int32_t fifty_counter;   // plies since the last capture or pawn move
    std::int32_t king_square[2];  // [WHITE], [BLACK]
    std::int32_t ep_square;       // square passed over by the last double push, 0 if none
    std::uint8_t castle_wk, castle_wq, castle_bk, castle_bq;
    std::uint8_t side_to_move;  // WHITE or BLACK
    std::uint8_t game_result;   // GAME_RUNNING or how the game ended (below)
};
static_assert(sizeof(PositionState) == 48, "PositionState is copied whole on every move");
static_assert(offsetof(PositionState, key) == 0 && offsetof(PositionState, pawn_key) == 8 &&
                  offsetof(PositionState, castle_wk) == 36 &&
                  offsetof(PositionState, game_result) == 41,
              "PositionState field order");

// ---- Castling rights. A right is named by its index: each colour's king side,
// then its queen side, in the order of the flags above and of their keys.
constexpr int CASTLE_RIGHTS = 4;
constexpr int castle_right(int colour, int castle_kind) {
    return 2 * colour + castle_kind - CASTLE_KING_SIDE;
}
inline constexpr std::uint8_t PositionState::*CASTLE_FLAGS[CASTLE_RIGHTS] = {
    &PositionState::castle_wk, &PositionState::castle_wq, &PositionState::castle_bk,
    &PositionState::castle_bq};

// The castling of one game, set with the position: where each castling rook
// starts, and what follows from that. King and rook end on the same squares
// whatever their start; standard chess is the king on e1/e8 with rooks on a
// and h. Castling is legal when the flag is set, the rook stands on rook_from,
// must_be_empty is empty and no square of king_path is attacked before the move.
struct CastlingGeometry {
    // [right]: the rook's square (0 = no such right), and where king and rook end.
    std::int32_t rook_from[CASTLE_RIGHTS], king_to[CASTLE_RIGHTS], rook_to[CASTLE_RIGHTS];
    // [right]: the squares the two pieces cross or reach, less their own.
    SquareSet must_be_empty[CASTLE_RIGHTS];
    // [right]: the squares from the king's start to its end, both included.
    SquareSet king_path[CASTLE_RIGHTS];
    // [right]: the squares whose occupancy castling changes (XOR gives the one before).
    SquareSet moved_squares[CASTLE_RIGHTS];
    // [square]: the rights (bit = right) their side loses when it moves a piece away from it.
    std::uint8_t lost_on_leaving[BOARD_SIZE];
    // [square]: the rights lost when the piece there is taken; in Chess960 games only.
    std::uint8_t lost_on_capture[BOARD_SIZE];
};

// Codes of game_result.
constexpr int GAME_RUNNING = 0;
constexpr int WHITE_WON = 1;             // "1-0"
constexpr int BLACK_WON = 2;             // "0-1"
constexpr int GAME_DRAWN = 3;            // "1/2-1/2"
constexpr int GAME_ENDED_OTHERWISE = 4;  // another result the interface announced

constexpr int HISTORY_CAPACITY = 1024;  // plies of state_history and move_history
// A search stacks at most MAX_SEARCH_PLY plies (moves and null moves) on top of
// the game; the game itself may not grow past MAX_GAME_PLY so that room is left.
constexpr int MAX_SEARCH_PLY = 128;                                   // plies
constexpr int MAX_GAME_PLY = HISTORY_CAPACITY - MAX_SEARCH_PLY - 16;  // plies

struct Position {
    std::int32_t board[BOARD_SIZE];
    PositionState state;
    std::int32_t game_ply;  // records on the history stack; the game's ply number
    // Per game, written by set-up and set_chess960 only, read-only while the game is played:
    bool chess960;  // a Chess960 game: X-FEN's K and Q, rights end with their rooks
    // The board once more as square sets, kept by make/unmake and set-up.
    SquareSet piece_squares[13];  // [piece code]: the squares it stands on; [EMPTY] stays 0
    SquareSet colour_squares[2];  // [WHITE], [BLACK]: the squares of all pieces of that colour
    CastlingGeometry castling;    // per game, like chess960: where the castling rooks start
    PositionState state_history[HISTORY_CAPACITY];  // [n]: state before the move of ply n
    Move move_history[HISTORY_CAPACITY];            // [n]: move of ply n, 0 = null/none
};

// This thread's position. The main search thread's (the thread that runs the
// console and the drivers) is the engine's position that the drivers, books and
// console see; each helper search thread works on a copy of it (copy_position).
extern QV_THREAD_LOCAL Position position;
// Copies into to what a search needs of from: board, state, square sets, the
// game's castling geometry and the history that repetition looks at (the plies
// of the fifty-move window). How helper search threads take the root position.
void copy_position(Position& to, const Position& from);

// ---- Tables of the board.
extern const int initial_board[BOARD_SIZE];  // [square]: piece codes of the start position
extern const int empty_board[BOARD_SIZE];    // [square]: EMPTY on the board, OFF_BOARD around it
struct ZobristTable {
    std::uint64_t v[64][16];  // [square64][piece code]; code 0 holds side, castling, en passant
    constexpr const std::uint64_t* operator[](int i) const { return v[i]; }
};
extern const ZobristTable zobrist;  // fixed values: opening books are keyed by them

// ---- Move generation (pseudo-legal, into the caller's array; returns the count).
int generate_moves(MoveEntry* list);
int generate_captures(MoveEntry* list);

// ---- Attacks and legality.
bool attacked_by_white(int square);
bool attacked_by_black(int square);
bool in_check();
bool last_move_legal(int castle_kind);  // right after make_move, about the side that moved
int filter_legal(int count, MoveEntry* list);
// The legal moves of the side to move, in generation order, into list; returns how many.
int legal_moves(MoveEntry* list);
int legal_move_count();   // how many legal moves the side to move has
bool is_legal(Move m);    // m is one of the legal moves here
bool move_gives_check();  // after make_move: is the side now to move in check?

// ---- Make and unmake.
void make_move(Move m);
void unmake_move();
void make_null_move();
void unmake_null_move();
void compute_keys();         // XORs the full key terms into key and pawn_key (callers zero them)
void compute_square_sets();  // piece_squares and colour_squares from the board

// ---- Set-up and move text.
void init_position();  // also makes the game standard chess
// FEN, with castling as KQkq or as the castling rooks' files (Shredder-FEN
// "HAha"; X-FEN mixes both). K and Q name the outermost rook on that wing (in
// standard chess the rook in the corner); rooks or a king off the squares of
// standard chess make the game Chess960. A castling letter with no king on its
// first rank or no rook behind it is dropped, not refused; the letters dropped
// go to dropped_castling (DROPPED_CASTLING_SIZE characters, NUL-ended, "" for
// none) when it is given. The half-move clock is the fifty-move counter.
constexpr int DROPPED_CASTLING_SIZE = 9;  // chars: up to 8 letters, each once, and NUL
// False: rejected, position untouched.
bool set_position_from_fen(const char* text, char* dropped_castling = nullptr);
// Gives the castling rights: rook_from[right] is that right's rook square, 0 for
// none. The kings stand on their squares; called by set-up before the keys are made.
void set_castling_rights(const int rook_from[CASTLE_RIGHTS]);
// Starts or ends a Chess960 game for the position set up now. A rook taken on its
// start square then takes its castling right with it; in standard chess the
// right stays set (and never makes a move) so that the keys stay as they are.
void set_chess960(bool on);
// Where edit mode takes its lines from: the next line, or nullptr at the end
// of input. The front end hands in its own line reader.
using LineSource = const char* (*)();
// Runs xboard's edit mode on lines from next_line up to "."; false when the
// edited board is impossible (the position from before "edit" is then kept).
bool edit_position(LineSource next_line);
// Text of this thread's last move_to_text: "e2e4" or "e7e8q", NUL-ended.
extern QV_THREAD_LOCAL char move_text[6];
// How move text writes castling: the king's move (e1g1; in a Chess960 game,
// where that can be an ordinary king move too, the king taking its rook), the
// king taking its own rook (e1h1, UCI in Chess960), or "O-O" and "O-O-O"
// (xboard in Chess960, which reads the king taking its rook too).
enum CastlingNotation : int {
    CASTLING_AS_KING_MOVE,
    CASTLING_AS_KING_TAKES_ROOK,
    CASTLING_AS_O_O,
};
// Read by move_to_text, parse_move_text and looks_like_move; set by the front
// end while no search runs.
extern CastlingNotation castling_notation;
void move_to_text(Move m);
Move parse_move_text(const char* text);
// The text names the move (in castling_notation) in the position it is played from.
bool text_names_move(const char* text, Move m);
bool looks_like_move(const char* text);  // letter, digit, letter, digit; or O-O in that notation

// ---- Perft.
std::uint64_t perft(int depth);  // depth <= 0: number of legal moves here
void perft_command(int depth);

// ---- Self-check: keys, counters and square sets equal a recount, kings where recorded.
bool position_is_ok();
void position_check_failed(const char* where);  // prints and aborts
#if defined(QUORVANITE_CHECKS)
#define QV_ASSERT_POSITION() \
    (position_is_ok() ? (void)0 : position_check_failed(__FILE__ ":" QV_STR(__LINE__)))
#define QV_STR(x) QV_STR2(x)
#define QV_STR2(x) #x
#else
#define QV_ASSERT_POSITION() ((void)0)
#endif
