// The opening books, written here from the engine's own keys and moves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frontend/frontend.h"
#include "platform/platform.h"
#include "search/search.h"

namespace {

struct Record {
    std::uint64_t key;
    std::int32_t count;
    std::vector<Move> moves;
};

void put_le(std::string& bytes, std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string encode(const std::vector<Record>& records) {
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

Move legal(const char* text) {
    const Move m = parse_move_text(text);
    EXPECT_NE(m, 0u) << text;
    return m;
}

// Keys and moves of a few positions, taken from the board.
struct Positions {
    std::uint64_t start = 0, after_e4 = 0, after_d4 = 0;
    Move e2e4 = 0, d2d4 = 0, g1f3 = 0, e7e5 = 0;
    Positions() {
        init_position();
        start = position.state.key;
        e2e4 = legal("e2e4");
        d2d4 = legal("d2d4");
        g1f3 = legal("g1f3");
        make_move(e2e4);
        after_e4 = position.state.key;
        e7e5 = legal("e7e5");
        unmake_move();
        make_move(d2d4);
        after_d4 = position.state.key;
        unmake_move();
    }
};

class Book : public ::testing::Test {
  protected:
    void SetUp() override {
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        old_dir_ = here;
        char pattern[] = "/tmp/qv_book_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        post_thinking.store(true);
        pondering.store(false);
    }
    void TearDown() override {
        // Leave no book behind for other tests of this process.
        load_quietly("", "");
        pondering.store(false);
        if (!old_dir_.empty()) {
            EXPECT_EQ(chdir(old_dir_.c_str()), 0);
        }
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
        init_position();
    }
    static void write(const char* name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    // Writes both files (empty text: no file) and loads them; the start-up lines.
    static std::string load_quietly(const std::string& white, const std::string& black) {
        std::remove("QuorvWhite.qbk");
        std::remove("QuorvBlack.qbk");
        if (!white.empty()) write("QuorvWhite.qbk", white);
        if (!black.empty()) write("QuorvBlack.qbk", black);
        testing::internal::CaptureStdout();
        load_books();
        return testing::internal::GetCapturedStdout();
    }
    static std::string probe(bool& found) {
        testing::internal::CaptureStdout();
        found = probe_book();
        return testing::internal::GetCapturedStdout();
    }
    Positions p;

  private:
    std::string old_dir_, dir_;
};

TEST_F(Book, CountsAreWholeRecordsAndTrailingBytesAreIgnored) {
    EXPECT_EQ(load_quietly("", ""),
              "White opening book positions: 0\nBlack opening book positions: 0\n");
    const std::string two = encode({{p.start, 1, {p.e2e4}}, {p.start - 1, 1, {p.d2d4}}});
    EXPECT_EQ(load_quietly(two + std::string(47, '\xff'),
                           encode({{p.after_e4, 1, {p.e7e5}}}).substr(0, 47)),
              "White opening book positions: 2\nBlack opening book positions: 0\n");
    EXPECT_EQ(white_book_count, 2);
    EXPECT_EQ(white_book[0].key, p.start);
    EXPECT_EQ(white_book[0].move_count, 1);
    EXPECT_EQ(white_book[0].moves[0], p.e2e4);
    EXPECT_EQ(white_book[1].moves[0], p.d2d4);
}

TEST_F(Book, SingleMoveIsPlayedAndShownAsAThinkingLine) {
    load_quietly(encode({{p.start, 1, {p.e2e4, p.d2d4}}}), "");
    init_position();
    bool found = false;
    EXPECT_EQ(probe(found), "0 0 0 0 e2e4 (Book Move)\n");
    EXPECT_TRUE(found);
    EXPECT_EQ(book_move, p.e2e4);
    // Silent without thinking output, and while a ponder search is prepared.
    post_thinking.store(false);
    EXPECT_EQ(probe(found), "");
    EXPECT_TRUE(found);
    post_thinking.store(true);
    pondering.store(true);
    EXPECT_EQ(probe(found), "");
    EXPECT_TRUE(found);
}

TEST_F(Book, LookupFollowsTheDescendingKeyOrder) {
    std::vector<Record> records = {{p.start, 1, {p.e2e4}}, {p.after_d4, 1, {p.g1f3}}};
    std::sort(records.begin(), records.end(),
              [](const Record& a, const Record& b) { return a.key > b.key; });
    load_quietly(encode(records), "");
    init_position();
    bool found = false;
    probe(found);
    EXPECT_TRUE(found);
    // A book sorted the wrong way round hides whatever stands after a smaller key.
    std::reverse(records.begin(), records.end());
    load_quietly(encode(records), "");
    probe(found);
    EXPECT_EQ(found, records[0].key == p.start);
}

TEST_F(Book, EachSideHasItsOwnBook) {
    load_quietly(encode({{p.after_e4, 1, {p.e7e5}}}), encode({{p.start, 1, {p.e2e4}}}));
    init_position();
    bool found = true;
    probe(found);
    EXPECT_FALSE(found);  // white to move reads only the white book
    make_move(p.e2e4);
    EXPECT_EQ(probe(found), "");
    EXPECT_FALSE(found);
    load_quietly("", encode({{p.after_e4, 1, {p.e7e5}}}));
    EXPECT_EQ(probe(found), "0 0 0 0 e7e5 (Book Move)\n");
    EXPECT_TRUE(found);
}

TEST_F(Book, DamagedRecordsGiveNoBookMove) {
    init_position();
    bool found = true;
    for (const std::int32_t count : {0, 9, -1, 1 << 30}) {
        load_quietly(encode({{p.start, count, {p.e2e4}}}), "");
        book_move = 0;
        EXPECT_EQ(probe(found), "");
        EXPECT_FALSE(found) << count;
        EXPECT_EQ(book_move, 0u);
    }
    // A drawn move that is not legal here: drawn, but not played.
    const Move not_legal = p.e7e5;
    load_quietly(encode({{p.start, 1, {not_legal}}}), "");
    EXPECT_EQ(probe(found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(book_move, not_legal);
    // The same move with a different capture field is a different move.
    load_quietly(encode({{p.start, 1, {p.e2e4 | (1u << 16)}}}), "");
    probe(found);
    EXPECT_FALSE(found);
}

TEST_F(Book, DrawWithinOneSecondChoosesTheSameSlot) {
    load_quietly(encode({{p.start,
                          8,
                          {p.e2e4, p.d2d4, p.g1f3, legal("c2c4"), legal("b1c3"), legal("g2g3"),
                           legal("b2b3"), legal("f2f4")}}}),
                 "");
    init_position();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::int64_t before = calendar_seconds();
        bool found1 = false, found2 = false;
        probe(found1);
        const Move first = book_move;
        probe(found2);
        const Move second = book_move;
        if (calendar_seconds() != before) continue;  // crossed a second: try again
        EXPECT_TRUE(found1 && found2);
        EXPECT_EQ(first, second);
        return;
    }
    ADD_FAILURE() << "the clock kept crossing seconds";
}

}  // namespace
