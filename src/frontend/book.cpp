// The opening books: one file of 48-byte records per side to move, sorted by
// key in descending order, up to eight weighted moves per position.
#include <cstdio>
#include <cstdlib>

#include "frontend/frontend.h"
#include "platform/platform.h"
#include "search/search.h"

BookRecord* white_book = nullptr;
BookRecord* black_book = nullptr;
std::int32_t white_book_count = 0, black_book_count = 0;
const std::int32_t book_weights[8] = {35, 55, 70, 80, 88, 94, 98, 100};

namespace {

constexpr int RECORD_SIZE = 48;
constexpr int MOVE_SLOTS = 8;

std::uint64_t little_endian_64(const unsigned char* bytes) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | bytes[i];
    return v;
}

std::uint32_t little_endian_32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

BookRecord decode_record(const unsigned char* bytes) {
    BookRecord r;
    r.key = little_endian_64(bytes);
    r.move_count = static_cast<std::int32_t>(little_endian_32(bytes + 8));
    for (int i = 0; i < MOVE_SLOTS; ++i) r.moves[i] = little_endian_32(bytes + 12 + 4 * i);
    r.reserved = little_endian_32(bytes + 44);
    return r;
}

// Records that cannot be read stay zero; their key 0 ends every lookup.
void load_book(const char* name, BookRecord*& book, std::int32_t& count) {
    std::free(book);
    book = nullptr;
    count = 0;
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return;
    }
    const long records = size / RECORD_SIZE;
    count = records > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(records);
    if (count > 0)
        book = static_cast<BookRecord*>(
            std::calloc(static_cast<std::size_t>(count), sizeof(BookRecord)));
    if (book == nullptr) {
        count = 0;
        std::fclose(file);
        return;
    }
    unsigned char bytes[RECORD_SIZE];
    for (std::int32_t i = 0; i < count; ++i) {
        if (std::fread(bytes, 1, RECORD_SIZE, file) != RECORD_SIZE) break;
        book[i] = decode_record(bytes);
    }
    std::fclose(file);
}

// A draw from 0 to 32767 of a generator seeded with the calendar second, so
// probes within the same second draw alike.
int draw_from_clock() {
    std::uint32_t state = static_cast<std::uint32_t>(calendar_seconds());
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

// The record of the current position in the side to move's book, or nullptr;
// a damaged record, which names no weights to draw with, counts as none.
const BookRecord* find_record() {
    const bool white = position.state.side_to_move == WHITE;
    const BookRecord* book = white ? white_book : black_book;
    const std::int32_t count = white ? white_book_count : black_book_count;
    if (book == nullptr || count <= 0) return nullptr;
    const std::uint64_t key = position.state.key;
    for (std::int32_t i = 0; i < count; ++i) {
        if (book[i].key == key) {
            const bool sound = book[i].move_count >= 1 && book[i].move_count <= MOVE_SLOTS;
            return sound ? &book[i] : nullptr;
        }
        if (book[i].key < key) return nullptr;  // sorted descending: not in the book
    }
    return nullptr;
}

}  // namespace

void load_books() {
    load_book("QuorvWhite.qbk", white_book, white_book_count);
    load_book("QuorvBlack.qbk", black_book, black_book_count);
    print_line("White opening book positions: %d\n", white_book_count);
    print_line("Black opening book positions: %d\n", black_book_count);
}

bool probe_book() {
    const BookRecord* entry = find_record();
    if (entry == nullptr) return false;
    const int r = draw_from_clock() % book_weights[entry->move_count - 1];
    int slot = 0;
    while (r >= book_weights[slot]) ++slot;
    book_move = entry->moves[slot];

    MoveEntry list[MOVE_LIST_CAPACITY];
    const int legal = filter_legal(generate_moves(list), list);
    bool found = false;
    for (int i = 0; i < legal && !found; ++i) found = list[i].move == book_move;
    if (!found) return false;
    if (!pondering.load() && post_thinking.load()) search_report->book_move(book_move);
    return true;
}

int book_moves(Move* moves, int* weights, int capacity) {
    const BookRecord* entry = find_record();
    if (entry == nullptr) return 0;
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int legal = filter_legal(generate_moves(list), list);
    int found = 0;
    for (int slot = 0; slot < entry->move_count && found < capacity; ++slot) {
        for (int i = 0; i < legal; ++i) {
            if (list[i].move != entry->moves[slot]) continue;
            moves[found] = entry->moves[slot];
            weights[found++] = book_weights[slot] - (slot > 0 ? book_weights[slot - 1] : 0);
            break;
        }
    }
    return found;
}
