// Helpers of the book tests: a scratch working directory, book files written
// byte by byte, and a calendar the test controls.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "book/book.h"
#include "frontend/session.h"
#include "platform/platform.h"
#include "search/internal.h"
#include "support/board_helpers.h"
#include "support/scratch_dir.h"

namespace book_test {

struct Record {
    std::uint64_t key;
    std::int32_t count;
    std::vector<Move> moves;
};

inline void put_le(std::string& bytes, std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void put_be(std::string& bytes, std::uint64_t v, int size) {
    for (int i = size - 1; i >= 0; --i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The engine's own format: 48 bytes a record, little-endian.
inline std::string encode(const std::vector<Record>& records) {
    std::string bytes;
    for (const Record& r : records) {
        put_le(bytes, r.key, 8);
        put_le(bytes, static_cast<std::uint32_t>(r.count), 4);
        for (int i = 0; i < 8; ++i)
            put_le(bytes, i < static_cast<int>(r.moves.size()) ? r.moves[i] : 0, 4);
        put_le(bytes, 0xDEADBEEF, 4);
    }
    return bytes;
}

struct Entry {
    std::uint64_t key;
    const char* move;  // coordinate text as Polyglot stores it (castling e1h1)
    std::uint16_t weight;
};

// Polyglot's move field of a coordinate text.
inline std::uint16_t polyglot_field(const char* text) {
    const int from = (text[0] - 'a') + 8 * (text[1] - '1');
    const int to = (text[2] - 'a') + 8 * (text[3] - '1');
    int promotion = 0;
    if (text[4] != '\0') promotion = 1 + static_cast<int>(std::string("nbrq").find(text[4]));
    return static_cast<std::uint16_t>(to | from << 6 | promotion << 12);
}

// Polyglot's format: 16 bytes an entry, big-endian.
inline std::string encode_polyglot(const std::vector<Entry>& entries) {
    std::string bytes;
    for (const Entry& e : entries) {
        put_be(bytes, e.key, 8);
        put_be(bytes, polyglot_field(e.move), 2);
        put_be(bytes, e.weight, 2);
        put_be(bytes, 0, 4);
    }
    return bytes;
}

using ::text_of;  // support/board_helpers.h, also as book_test::text_of

// Successive seconds from a start the test sets, one per reading.
inline std::int64_t next_second = 0;
inline std::int64_t counting_calendar() {
    return next_second++;
}
inline std::int64_t fixed_second = 0;
inline std::int64_t fixed_calendar() {
    return fixed_second;
}

// Runs each test in an empty working directory, with the book module and the
// position as a fresh engine has them, and leaves no book behind.
class BookDirTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        if (!in_scratch_dir()) return;
        book_settings = BookSettings{};
        post_thinking.store(true);
        pondering.store(false);
        book_enabled = true;
        drawn_move = 0;
        init_position();
    }
    void TearDown() override {
        set_calendar_source(nullptr);
        set_book_message_hook(nullptr);
        book_settings = BookSettings{};
        // Skipped or failed before the scratch directory: touch no file here.
        if (!in_scratch_dir()) return ScratchDirTest::TearDown();
        std::remove(WHITE_BOOK_NAME);
        std::remove(BLACK_BOOK_NAME);
        load_quietly();
        pondering.store(false);
        book_enabled = true;
        ScratchDirTest::TearDown();
        init_position();
    }
    // load_books() with what it prints.
    static std::string load_quietly() {
        testing::internal::CaptureStdout();
        load_books();
        return testing::internal::GetCapturedStdout();
    }
    // Writes both own books (empty text: no file) and loads them.
    static std::string load_own(const std::string& white, const std::string& black) {
        std::remove(WHITE_BOOK_NAME);
        std::remove(BLACK_BOOK_NAME);
        if (!white.empty()) write(WHITE_BOOK_NAME, white);
        if (!black.empty()) write(BLACK_BOOK_NAME, black);
        return load_quietly();
    }
    // The book's answer as the drivers ask for it (drawn_move), with what it prints.
    static std::string probe(bool& found) {
        testing::internal::CaptureStdout();
        drawn_move = book_answer(print_book_move_line);
        found = drawn_move != 0;
        return testing::internal::GetCapturedStdout();
    }
    static inline Move drawn_move = 0;  // the move of the last probe, 0 = none
};

}  // namespace book_test
