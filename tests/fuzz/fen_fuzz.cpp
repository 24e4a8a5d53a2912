// Set-up from arbitrary text, then every legal move made and taken back with
// the keys and counters recounted, move text both ways, the exchange
// evaluation of every capture, the evaluation against its colour mirror, and
// a two-ply perft. A refused text must leave the previous position intact.
#include <cstring>
#include <string>

#include "eval/eval.h"
#include "fuzz_support.h"
#include "search/internal.h"

namespace {

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

// The exchange evaluation of every capture leaves the position as it was.
void check_exchanges() {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    static Position before;
    before = position;
    for (int i = 0; i < count; ++i) {
        if (move_captured(list[i].move) == EMPTY) continue;
        static_exchange(list[i].move);
        fuzz::check(fuzz::same_board_and_state(position, before), "exchange changed the position");
    }
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
    fuzz::allocate_small_tables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string fen = fuzz::text_of(data, size, 200);
    init_position();
    static Position start;
    start = position;
    if (!set_position_from_fen(fen.c_str())) {
        fuzz::check(fuzz::same_board_and_state(position, start),
                    "a refused text changed the position");
        return 0;
    }
    fuzz::check_position("after set-up");
    fuzz::check_every_move();
    check_exchanges();
    check_mirror();
    return 0;
}
