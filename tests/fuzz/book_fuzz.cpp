// Book files of arbitrary bytes, the engine's own (either side's file, or
// both) and Polyglot: loading never fails loudly, and a walk from the start
// position along the book's moves meets only legal moves with sound
// positions, whatever the records hold.
//
// Seeds: tests/fuzz/corpus/book/, made by quorvanite-book build --plies 10 --polyglot
// from book_seed_lines.pgn, each behind the byte that names its kind.
#include "fuzz_support.h"

namespace {

std::int64_t second = 0;
std::int64_t counting_calendar() {
    return ++second;
}

constexpr const char* POLYGLOT_NAME = "book.bin";
constexpr int WALK_PLIES = 16;
constexpr int DRAWS_PER_POSITION = 3;

// Every move the book lists is legal with a weight; every draw is legal.
// Returns the drawn move to play on, 0 when the book has none here.
Move check_book_here() {
    Move moves[MOVE_LIST_CAPACITY];
    int weights[MOVE_LIST_CAPACITY];
    const int listed = book_moves(moves, weights, MOVE_LIST_CAPACITY);
    fuzz::check(listed >= 0 && listed <= MOVE_LIST_CAPACITY, "a book lists too many moves");
    for (int i = 0; i < listed; ++i) {
        fuzz::check(is_legal(moves[i]), "the book lists an illegal move");
        fuzz::check(weights[i] >= 0, "a negative book weight");
    }
    Move drawn = 0;
    for (int i = 0; i < DRAWS_PER_POSITION; ++i) {
        const Move m = probe_book();
        if (m == 0) continue;
        fuzz::check(is_legal(m), "the book drew an illegal move");
        drawn = m;
    }
    return drawn;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enter_scratch_directory("book");
    set_output_sink(fuzz::discard_output);
    set_calendar_source(counting_calendar);
    return 0;
}

// The first byte says which file the rest is: 0 the white book, 1 the black
// book, 2 both, 3 a Polyglot book.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) return 0;
    const int kind = data[0] % 4;
    ++data;
    --size;
    std::remove(WHITE_BOOK_NAME);
    std::remove(BLACK_BOOK_NAME);
    std::remove(POLYGLOT_NAME);
    if (kind == 0 || kind == 2) fuzz::write_file(WHITE_BOOK_NAME, data, size);
    if (kind == 1 || kind == 2) fuzz::write_file(BLACK_BOOK_NAME, data, size);
    if (kind == 3) fuzz::write_file(POLYGLOT_NAME, data, size);
    book_settings = BookSettings{};
    if (kind == 3) book_settings.polyglot_path = POLYGLOT_NAME;
    load_books();
    fuzz::check(white_book_count >= 0 && black_book_count >= 0, "a negative book count");
    init_position();
    for (int ply = 0; ply < WALK_PLIES; ++ply) {
        const Move m = check_book_here();
        if (m == 0) break;
        make_move(m);
        fuzz::check_position("after a book move");
    }
    return 0;
}
