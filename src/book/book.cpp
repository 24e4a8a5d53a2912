// The engine's opening books: its own two files (sorted by key in descending
// order, up to eight moves a position drawn with fixed slot weights) and a
// Polyglot book (moves drawn in proportion to their weights), asked in that
// order: Polyglot first, then the own book of the side to move.
#include "book/book.h"

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

BookSettings book_settings;
BookRecord* white_book = nullptr;
BookRecord* black_book = nullptr;
std::int32_t white_book_count = 0, black_book_count = 0;
const std::int32_t book_weights[8] = {35, 55, 70, 80, 88, 94, 98, 100};

namespace {

std::vector<BookRecord> white_records, black_records;
std::vector<PolyglotEntry> polyglot_entries;
std::string polyglot_path;
std::string own_books_dir;  // where the own books in use came from; empty: the working directory
bool books_read = false;    // the settings' books have been read once

BookMessageHook message_hook = nullptr;
bool keep_messages = false;  // during start-up: kept for the front end's hook
std::vector<std::string> kept_messages;

void report(const std::string& text) {
    if (message_hook != nullptr) {
        message_hook(text.c_str());
        return;
    }
    print_line("%s\n", text.c_str());
    if (keep_messages) kept_messages.push_back(text);
}

// An absent file is no book and no news; a damaged one is named and not used.
void use_own_book(const std::string& path, std::vector<BookRecord>& records, BookRecord*& book,
                  std::int32_t& count) {
    records.clear();
    records.shrink_to_fit();
    book = nullptr;
    count = 0;
    if (!book_file_present(path)) return;
    std::string problem;
    if (!read_own_book(path, records, problem)) {
        records.clear();
        records.shrink_to_fit();
        report("Opening book " + path + " not used: " + problem);
        return;
    }
    book = records.data();
    count = static_cast<std::int32_t>(records.size());
}

// The pair in the working directory wins; without either file there, and
// with no Polyglot book configured, the default pair is read.
void read_own_books() {
    std::string dir;
    const bool here = book_file_present(WHITE_BOOK_NAME) || book_file_present(BLACK_BOOK_NAME);
    if (!here && book_settings.polyglot_path.empty() && !book_settings.default_dir.empty())
        dir = book_settings.default_dir + "/";
    use_own_book(dir + WHITE_BOOK_NAME, white_records, white_book, white_book_count);
    use_own_book(dir + BLACK_BOOK_NAME, black_records, black_book, black_book_count);
    own_books_dir = dir.empty() ? dir : book_settings.default_dir;
}

bool read_polyglot(const std::string& path) {
    polyglot_entries.clear();
    polyglot_entries.shrink_to_fit();
    polyglot_path.clear();
    if (path.empty()) return true;
    std::string problem;
    if (!read_polyglot_book(path, polyglot_entries, problem)) {
        polyglot_entries.clear();
        polyglot_entries.shrink_to_fit();
        report("Polyglot book " + path + " not used: " + problem);
        return false;
    }
    if (polyglot_entries.empty()) {
        report("Polyglot book " + path + " not used: it holds no entries");
        return false;
    }
    polyglot_path = path;
    return true;
}

void drop_books() {
    for (std::vector<BookRecord>* records : {&white_records, &black_records}) {
        records->clear();
        records->shrink_to_fit();
    }
    white_book = black_book = nullptr;
    white_book_count = black_book_count = 0;
    own_books_dir.clear();
    read_polyglot("");
}

void read_books() {
    read_own_books();
    read_polyglot(book_settings.polyglot_path);
    books_read = true;
}

// A draw from 0 to 32767 of a generator seeded with the calendar second, so
// probes within the same second draw alike.
int draw_from_clock() {
    std::uint32_t state = static_cast<std::uint32_t>(calendar_seconds());
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

// Polyglot draws are wider (weights add up beyond 32767); seeded from the
// same calendar second, mixed with the position so positions differ.
std::uint64_t wide_draw_from_clock(std::uint64_t key) {
    std::uint64_t z = static_cast<std::uint64_t>(calendar_seconds()) ^ key;
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

Move probe_polyglot() {
    if (polyglot_entries.empty()) return 0;
    BookChoice choices[MOVE_LIST_CAPACITY];
    const int count = polyglot_choices(polyglot_entries.data(), polyglot_entries.size(), choices);
    const int i = weighted_index(choices, count, wide_draw_from_clock(position.state.key));
    return i < 0 ? 0 : choices[i].move;
}

// The record of the current position in the side to move's book, or nullptr;
// a damaged record, which names no weights to draw with, counts as none.
const BookRecord* find_own_record() {
    const bool white = position.state.side_to_move == WHITE;
    const BookRecord* book = white ? white_book : black_book;
    const std::int32_t count = white ? white_book_count : black_book_count;
    if (book == nullptr || count <= 0) return nullptr;
    const std::uint64_t key = position.state.key;
    for (std::int32_t i = 0; i < count; ++i) {
        if (book[i].key == key) {
            const bool sound = book[i].move_count >= 1 && book[i].move_count <= BOOK_MOVE_SLOTS;
            return sound ? &book[i] : nullptr;
        }
        if (book[i].key < key) return nullptr;  // sorted descending: not in the book
    }
    return nullptr;
}

// The drawn slot's move when it is legal here; no other slot is tried.
Move probe_own_book() {
    const BookRecord* entry = find_own_record();
    if (entry == nullptr) return 0;
    const int r = draw_from_clock() % book_weights[entry->move_count - 1];
    int slot = 0;
    while (r >= book_weights[slot]) ++slot;
    const Move drawn = entry->moves[slot];
    return is_legal(drawn) ? drawn : 0;
}

// Books hold positions of standard chess: their keys do not tell a Chess960
// game's castling rooks, and its start positions are not theirs.
bool book_knows_the_game() {
    return !position.chess960;
}

}  // namespace

void load_books() {
    kept_messages.clear();
    keep_messages = true;
    books_read = false;
    drop_books();
    if (book_settings.enabled) read_books();
    print_line("White opening book positions: %d\n", white_book_count);
    print_line("Black opening book positions: %d\n", black_book_count);
    if (!own_books_dir.empty() && (white_book_count > 0 || black_book_count > 0))
        print_line("Default opening books from %s\n", own_books_dir.c_str());
    if (!polyglot_entries.empty())
        print_line("Polyglot opening book %s: %zu entries\n", polyglot_path.c_str(),
                   polyglot_entries.size());
    keep_messages = false;
}

Move probe_book() {
    if (!book_knows_the_game()) return 0;
    const Move m = probe_polyglot();
    return m != 0 ? m : probe_own_book();
}

void set_book_message_hook(BookMessageHook hook) {
    message_hook = hook;
    if (hook == nullptr) return;
    for (const std::string& text : kept_messages) hook(text.c_str());
    kept_messages.clear();
}

void set_books_enabled(bool enabled) {
    book_settings.enabled = enabled;
    if (!enabled || books_read) return;
    read_books();
    report("White opening book positions: " + std::to_string(white_book_count));
    report("Black opening book positions: " + std::to_string(black_book_count));
}

bool load_polyglot_book(const std::string& path) {
    book_settings.polyglot_path = path;
    if (!read_polyglot(path)) return false;
    if (!path.empty())
        report("Polyglot opening book " + path + ": " + std::to_string(polyglot_entries.size()) +
               " entries");
    return true;
}

const std::string& polyglot_book_path() {
    return polyglot_path;
}

std::size_t polyglot_book_entries() {
    return polyglot_entries.size();
}

int book_moves(Move* moves, int* weights, int capacity) {
    int found = 0;
    if (!book_knows_the_game()) return 0;
    if (!polyglot_entries.empty()) {
        BookChoice choices[MOVE_LIST_CAPACITY];
        const int count =
            polyglot_choices(polyglot_entries.data(), polyglot_entries.size(), choices);
        for (int i = 0; i < count && found < capacity; ++i) {
            moves[found] = choices[i].move;
            weights[found++] = static_cast<int>(choices[i].weight);
        }
        if (found > 0) return found;
    }
    const BookRecord* entry = find_own_record();
    if (entry == nullptr) return 0;
    for (int slot = 0; slot < entry->move_count && found < capacity; ++slot) {
        if (!is_legal(entry->moves[slot])) continue;
        moves[found] = entry->moves[slot];
        weights[found++] = book_weights[slot] - (slot > 0 ? book_weights[slot - 1] : 0);
    }
    return found;
}
