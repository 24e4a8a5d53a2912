// Set-up from arbitrary text, then every legal move made and taken back with
// the keys and counters recounted, move text both ways, the exchange
// evaluation of every capture, the evaluation against its colour mirror, and
// a two-ply perft. A refused text must leave the previous position intact.
#include <cstring>
#include <string>

#include "eval/eval.h"
#include "fuzz_support.h"
#include "search/search.h"

namespace {

bool same_board_and_state(const Position& a, const Position& b) {
    return std::memcmp(a.board, b.board, sizeof a.board) == 0 &&
           std::memcmp(&a.state, &b.state, sizeof a.state) == 0 && a.game_ply == b.game_ply;
}

// The position with colours swapped and the board turned rank for rank, as FEN.
std::string mirrored_fen() {
    static const char LETTERS[] = " PNBRQKpnbrqk";
    std::string fen;
    for (int rank = 0; rank < 8; ++rank) {  // white's first rank becomes black's eighth
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const int p = position.board[square_of(file, rank)];
            if (p == EMPTY) {
                ++empty;
                continue;
            }
            if (empty) fen += static_cast<char>('0' + empty);
            empty = 0;
            fen += LETTERS[p > 6 ? p - 6 : p + 6];
        }
        if (empty) fen += static_cast<char>('0' + empty);
        if (rank < 7) fen += '/';
    }
    fen += position.state.side_to_move == WHITE ? " b - -" : " w - -";
    return fen;
}

void check_moves() {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    static Position before;
    before = position;
    for (int i = 0; i < count; ++i) {
        const Move m = list[i].move;
        move_to_text(m);
        fuzz::check(parse_move_text(move_text) == m, "move text does not name its move");
        if (move_captured(m) != EMPTY) {
            static_exchange(m);
            fuzz::check(same_board_and_state(position, before), "exchange changed the position");
        }
        make_move(m);
        fuzz::check_position("after make_move");
        fuzz::check(last_move_legal(move_castle_kind(m)), "a listed legal move is illegal");
        unmake_move();
        fuzz::check_position("after unmake_move");
        fuzz::check(same_board_and_state(position, before), "unmake did not restore");
    }
    std::uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        make_move(list[i].move);
        leaves += perft(0);
        unmake_move();
    }
    fuzz::check(leaves == perft(1), "perft disagrees with the moves made one by one");
}

void check_mirror() {
    tt_clear_all();
    const int score = evaluate();
    const bool quiet_draw = insufficient_material();
    const std::string mirror = mirrored_fen();
    static Position original;
    original = position;
    if (!set_position_from_fen(mirror.c_str())) fuzz::fault("the mirror of a position is refused");
    tt_clear_all();
    fuzz::check(evaluate() == score, "evaluation differs from its colour mirror");
    fuzz::check(insufficient_material() == quiet_draw, "material draw differs from the mirror");
    position = original;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    eval_cache_count = EVAL_CACHE_COUNT;
    pawn_cache_count = PAWN_CACHE_COUNT;
    tt_entry_count = 1024;
    if (!allocate_tables()) fuzz::fault("no memory for the tables");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string fen = fuzz::text_of(data, size, 200);
    init_position();
    static Position start;
    start = position;
    if (!set_position_from_fen(fen.c_str())) {
        fuzz::check(same_board_and_state(position, start), "a refused text changed the position");
        return 0;
    }
    fuzz::check_position("after set-up");
    check_moves();
    check_mirror();
    return 0;
}
