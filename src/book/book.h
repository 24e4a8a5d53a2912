// Opening books: the engine's own two files (one per side to move, 48-byte
// little-endian records) and Polyglot books (16-byte big-endian entries). They
// are read at start-up and asked by the front ends in the first plies of a
// game; the book tool reads and writes the same formats through this file.
// The book layer knows the board and nothing of the search or the protocols.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"

constexpr int BOOK_HORIZON_PLIES = 40;  // books answer while game_ply is below this (plies)

// ---- The engine's own books.
constexpr const char* WHITE_BOOK_NAME = "QuorvWhite.qbk";  // positions with white to move
constexpr const char* BLACK_BOOK_NAME = "QuorvBlack.qbk";  // positions with black to move
constexpr int BOOK_RECORD_SIZE = 48;                       // bytes of one record on disk
constexpr int BOOK_MOVE_SLOTS = 8;                         // moves one record holds
struct BookRecord {
    std::uint64_t key;        // the position's Zobrist key
    std::int32_t move_count;  // 1..8 valid slots
    std::uint32_t moves[8];   // Move values as the generator makes them, slot 0 first
    std::uint32_t reserved;   // not read
};
static_assert(sizeof(BookRecord) == 48, "BookRecord is the 48-byte file record");
extern BookRecord* white_book;  // records in file order (key descending)
extern BookRecord* black_book;
extern std::int32_t white_book_count, black_book_count;  // records in use, 0 = no book
extern const std::int32_t book_weights[8];               // cumulative slot weights 35 .. 100

// ---- Polyglot books.
constexpr int POLYGLOT_ENTRY_SIZE = 16;  // bytes of one entry on disk
struct PolyglotEntry {
    std::uint64_t key;     // Polyglot key of the position
    std::uint16_t move;    // bits 0-5 to, 6-11 from (a1 = 0), 12-14 promotion (1 N .. 4 Q)
    std::uint16_t weight;  // relative chance of the move
    std::uint32_t learn;   // not used
};
extern const std::uint64_t polyglot_random[781];  // the format's published key constants
std::uint64_t polyglot_key();                     // of the current position
std::uint16_t polyglot_move(Move m);              // castling as the king taking its rook
// The legal move of the current position that a Polyglot move names (castling
// written either way); 0 when none.
Move move_from_polyglot(std::uint16_t move);

// A legal book move of the current position and its weight.
struct BookChoice {
    Move move;
    std::uint32_t weight;
};
// The legal moves that sorted entries hold for the current position, in file
// order, at most MOVE_LIST_CAPACITY; returns how many.
int polyglot_choices(const PolyglotEntry* entries, std::size_t count, BookChoice* out);
// The index drawn from random with chances proportional to the weights; -1
// when every weight is 0.
int weighted_index(const BookChoice* choices, int count, std::uint64_t random);

// ---- Files. Only regular files are read, whole and by bytes. False with the
// reason in problem when a file cannot be used; records then holds the whole
// records that could be read (a dump may still show them).
bool read_own_book(const std::string& path, std::vector<BookRecord>& records, std::string& problem);
bool read_polyglot_book(const std::string& path, std::vector<PolyglotEntry>& entries,
                        std::string& problem);
bool book_file_present(const std::string& path);  // anything by that name, also a directory

// ---- The engine's books at run time.
struct BookSettings {
    bool enabled = true;        // false: no book is read or asked ("<ownbook>false</ownbook>")
    std::string polyglot_path;  // a Polyglot book to read ("<book>"), empty for none
    std::string default_dir;    // where the default own books lie, empty for none
};
extern BookSettings book_settings;  // set by the configuration file and start-up

// Start-up: reads the books the settings name, reports damaged ones, prints the
// two count lines (and where the books came from).
void load_books();
// Draws a legal move from the Polyglot book, then from the own book of the side
// to move; 0 when neither has one for the position, and in a Chess960 game.
Move probe_book();

// Front ends show book messages their own way ("telluser ...", "info string
// ..."); the hook gets one line without its newline. Messages from before the
// hook was set are passed to it once. nullptr: printed as they are.
using BookMessageHook = void (*)(const char* text);
void set_book_message_hook(BookMessageHook hook);

// Run-time control for the front ends' book options.
void set_books_enabled(bool enabled);  // book_settings.enabled; reads the books on first enabling
// Replaces the Polyglot book (empty path: none); false, reported, when unusable.
bool load_polyglot_book(const std::string& path);
const std::string& polyglot_book_path();  // empty when none is in use
std::size_t polyglot_book_entries();      // entries in use

// The book's moves for the position that are legal there, with their drawing
// weights; returns how many (0 when the position is not in the book, and in a
// Chess960 game).
int book_moves(Move* moves, int* weights, int capacity);
