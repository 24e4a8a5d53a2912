// The engine's own books, written here from the engine's own keys and moves:
// loading, damage, lookup, the weighted draw and where the files are found.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "book/book_test_util.h"

using namespace book_test;

namespace {

// Keys and moves of a few positions, taken from the board.
struct Positions {
    std::uint64_t start = 0, after_e4 = 0, after_d4 = 0;
    Move e2e4 = 0, d2d4 = 0, g1f3 = 0, e7e5 = 0;
    Positions() {
        init_position();
        start = position.state.key;
        e2e4 = named_move("e2e4");
        d2d4 = named_move("d2d4");
        g1f3 = named_move("g1f3");
        make_move(e2e4);
        after_e4 = position.state.key;
        e7e5 = named_move("e7e5");
        unmake_move();
        make_move(d2d4);
        after_d4 = position.state.key;
        unmake_move();
    }
};

const std::string NO_BOOKS = "White opening book positions: 0\nBlack opening book positions: 0\n";

class Book : public BookDirTest {
  protected:
    Positions p;
    // A start record with eight moves, slot order as given.
    std::vector<Move> eight_moves() {
        return {p.e2e4,
                p.d2d4,
                p.g1f3,
                named_move("c2c4"),
                named_move("b1c3"),
                named_move("g2g3"),
                named_move("b2b3"),
                named_move("f2f4")};
    }
};

TEST_F(Book, WholeFilesAreReadRecordByRecord) {
    EXPECT_EQ(load_own("", ""), NO_BOOKS);
    const std::string two = encode({{p.start, 1, {p.e2e4}}, {p.start - 1, 2, {p.d2d4, p.g1f3}}});
    EXPECT_EQ(load_own(two, ""),
              "White opening book positions: 2\nBlack opening book positions: 0\n");
    ASSERT_EQ(white_book_count, 2);
    EXPECT_EQ(white_book[0].key, p.start);
    EXPECT_EQ(white_book[0].move_count, 1);
    EXPECT_EQ(white_book[0].moves[0], p.e2e4);
    EXPECT_EQ(white_book[1].key, p.start - 1);
    EXPECT_EQ(white_book[1].move_count, 2);
    EXPECT_EQ(white_book[1].moves[1], p.g1f3);
    // An empty file is a book without positions, not damage.
    load_own("", "");
    write(BLACK_BOOK_NAME, "");
    EXPECT_EQ(load_quietly(), NO_BOOKS);
}

TEST_F(Book, DamagedFilesAreReportedOnOneLineAndNotUsed) {
    const std::string two = encode({{p.start, 1, {p.e2e4}}, {p.start - 1, 1, {p.d2d4}}});
    struct Case {
        std::string white;
        const char* report;
    } const cases[] = {
        // Trailing bytes: the file is not what it claims to be.
        {two + std::string(47, '\xff'),
         "Opening book QuorvWhite.qbk not used: its size (143 bytes) is not a multiple of 48 "
         "bytes\n"},
        {two.substr(0, 47),
         "Opening book QuorvWhite.qbk not used: its size (47 bytes) is not a "
         "multiple of 48 bytes\n"},
        // Ascending keys, and a repeated key that could never be reached.
        {encode({{p.start - 1, 1, {p.d2d4}}, {p.start, 1, {p.e2e4}}}),
         "Opening book QuorvWhite.qbk not used: keys out of order at record 2\n"},
        {encode({{p.start, 1, {p.e2e4}}, {p.start, 1, {p.d2d4}}}),
         "Opening book QuorvWhite.qbk not used: keys out of order at record 2\n"},
        {encode({{p.start, 1, {p.e2e4}}, {p.start - 1, 9, {p.d2d4}}}),
         "Opening book QuorvWhite.qbk not used: record 2 has 9 moves (1 to 8 allowed)\n"},
        {encode({{p.start, 0, {}}}),
         "Opening book QuorvWhite.qbk not used: record 1 has 0 moves (1 to 8 allowed)\n"},
        {encode({{p.start, -1, {p.e2e4}}}),
         "Opening book QuorvWhite.qbk not used: record 1 has -1 moves (1 to 8 allowed)\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load_own(c.white, encode({{p.after_e4, 1, {p.e7e5}}})),
                  std::string(c.report) +
                      "White opening book positions: 0\nBlack opening book positions: 1\n");
        EXPECT_EQ(white_book_count, 0);
        EXPECT_EQ(white_book, nullptr);
        bool found = true;
        EXPECT_EQ(probe(found), "");
        EXPECT_FALSE(found);
    }
}

TEST_F(Book, RandomBytesAreNotReadAsPositions) {
    // 4,800 bytes are a hundred records' worth; random keys are out of order
    // and random counts out of range.
    std::string bytes;
    std::uint32_t state = 12345;
    for (int i = 0; i < 4800; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 24));
    }
    const std::string out = load_own(bytes, "");
    EXPECT_EQ(out.find("Opening book QuorvWhite.qbk not used: "), 0u) << out;
    EXPECT_NE(out.find("\n" + NO_BOOKS), std::string::npos) << out;
}

TEST_F(Book, OnlyRegularFilesAreOpened) {
    // A directory named like a book once had its "size" taken for a book's.
    std::filesystem::create_directory(WHITE_BOOK_NAME);
    EXPECT_EQ(load_quietly(),
              "Opening book QuorvWhite.qbk not used: not a regular file\n" + NO_BOOKS);
    std::filesystem::remove(WHITE_BOOK_NAME);
    // A link to a real book is followed (where the system lets the test make one:
    // Windows asks for a privilege).
    write("real.qbk", encode({{p.start, 1, {p.e2e4}}}));
    std::error_code error;
    std::filesystem::create_symlink("real.qbk", WHITE_BOOK_NAME, error);
    if (error) GTEST_SKIP() << "no symbolic link: " << error.message();
    EXPECT_EQ(load_quietly(), "White opening book positions: 1\nBlack opening book positions: 0\n");
}

TEST_F(Book, SingleMoveIsPlayedAndShownAsAThinkingLine) {
    load_own(encode({{p.start, 1, {p.e2e4, p.d2d4}}}), "");
    bool found = false;
    EXPECT_EQ(probe(found), "0 0 0 0 e2e4 (Book Move)\n");
    EXPECT_TRUE(found);
    EXPECT_EQ(drawn_move, p.e2e4);
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
    load_own(encode(records), "");
    bool found = false;
    probe(found);
    EXPECT_TRUE(found);
    // Stops at the first smaller key: a position between two records is absent.
    make_move(p.e2e4);
    make_move(p.e7e5);
    probe(found);
    EXPECT_FALSE(found);
}

TEST_F(Book, EachSideHasItsOwnBook) {
    load_own(encode({{p.after_e4, 1, {p.e7e5}}}), encode({{p.start, 1, {p.e2e4}}}));
    bool found = true;
    probe(found);
    EXPECT_FALSE(found);  // white to move reads only the white book
    make_move(p.e2e4);
    EXPECT_EQ(probe(found), "");
    EXPECT_FALSE(found);
    load_own("", encode({{p.after_e4, 1, {p.e7e5}}}));
    EXPECT_EQ(probe(found), "0 0 0 0 e7e5 (Book Move)\n");
    EXPECT_TRUE(found);
}

TEST_F(Book, DrawnMoveThatIsNotLegalGivesNoBookMove) {
    bool found = true;
    // Drawn, but not played; no other slot is tried.
    load_own(encode({{p.start, 1, {p.e7e5}}}), "");
    EXPECT_EQ(probe(found), "");
    EXPECT_FALSE(found);
    // The same move with a different capture field is a different move.
    load_own(encode({{p.start, 1, {p.e2e4 | (1u << 16)}}}), "");
    probe(found);
    EXPECT_FALSE(found);
}

TEST_F(Book, DrawWithinOneSecondChoosesTheSameSlot) {
    load_own(encode({{p.start, 8, eight_moves()}}), "");
    set_calendar_source(fixed_calendar);
    for (fixed_second = 1000; fixed_second < 1100; ++fixed_second) {
        bool found1 = false, found2 = false;
        probe(found1);
        const Move first = drawn_move;
        probe(found2);
        EXPECT_TRUE(found1 && found2);
        EXPECT_EQ(drawn_move, first) << fixed_second;
    }
}

// Over many seconds the slots come up in the proportions 35, 20, 15, 10, 8,
// 6, 4, 2 (the first n of them for a record of n moves).
TEST_F(Book, SlotsAreDrawnInProportionToTheirWeights) {
    set_calendar_source(counting_calendar);
    const std::vector<Move> moves = eight_moves();
    const int weights[8] = {35, 20, 15, 10, 8, 6, 4, 2};
    for (const int n : {8, 7, 3, 1}) {
        load_own(encode({{p.start, n, moves}}), "");
        std::array<int, 8> seen{};
        constexpr int DRAWS = 40000;
        next_second = 1700000000;
        post_thinking.store(false);
        for (int i = 0; i < DRAWS; ++i) {
            const Move drawn = probe_book();
            ASSERT_NE(drawn, 0u);
            const auto slot = std::find(moves.begin(), moves.end(), drawn) - moves.begin();
            ASSERT_LT(slot, n);
            ++seen[static_cast<std::size_t>(slot)];
        }
        int total = 0;
        for (int s = 0; s < n; ++s) total += weights[s];
        for (int s = 0; s < n; ++s) {
            // Four standard deviations of the count: a weight moved by one in a
            // hundred (a slot of 4 drawn as 5, or 2 as 1) lies far outside.
            const double expected = static_cast<double>(weights[s]) / total;
            const double spread = 4 * std::sqrt(expected * (1 - expected) / DRAWS);
            EXPECT_NEAR(static_cast<double>(seen[static_cast<std::size_t>(s)]) / DRAWS, expected,
                        spread)
                << "slot " << s << " of " << n;
        }
    }
}

TEST_F(Book, WorkingDirectoryPairWinsOverTheDefaultPair) {
    // The default pair in a directory of its own, as beside the executable.
    const std::string defaults = dir() + "/defaults";
    std::filesystem::create_directory(defaults);
    write(defaults + "/" + WHITE_BOOK_NAME, encode({{p.start, 1, {p.d2d4}}}));
    write(defaults + "/" + BLACK_BOOK_NAME, encode({{p.after_e4, 1, {p.e7e5}}}));
    book_settings.default_dir = defaults;
    EXPECT_EQ(load_quietly(),
              "White opening book positions: 1\nBlack opening book positions: 1\n"
              "Default opening books from " +
                  defaults + "\n");
    bool found = false;
    EXPECT_EQ(probe(found), "0 0 0 0 d2d4 (Book Move)\n");
    // One file of a pair in the working directory replaces the whole default pair.
    write(BLACK_BOOK_NAME, encode({{p.after_e4, 1, {p.e7e5}}}));
    EXPECT_EQ(load_quietly(), "White opening book positions: 0\nBlack opening book positions: 1\n");
    probe(found);
    EXPECT_FALSE(found);
    // A configured Polyglot book also leaves the default pair unread.
    std::remove(BLACK_BOOK_NAME);
    write("small.bin", encode_polyglot({{polyglot_key(), "c2c4", 1}}));
    book_settings.polyglot_path = "small.bin";
    EXPECT_EQ(load_quietly(), NO_BOOKS + "Polyglot opening book small.bin: 1 entries\n");
    EXPECT_EQ(probe(found), "0 0 0 0 c2c4 (Book Move)\n");
}

TEST_F(Book, BooksTurnedOffAreNeitherReadNorAsked) {
    write(WHITE_BOOK_NAME, encode({{p.start, 1, {p.e2e4}}}));
    book_settings.enabled = false;
    EXPECT_EQ(load_quietly(), NO_BOOKS);
    reset_session_state();
    EXPECT_FALSE(book_enabled);
    // Turned on at run time (the UCI option), they are read then.
    std::vector<std::string> messages;
    static std::vector<std::string>* sink = nullptr;
    sink = &messages;
    set_book_message_hook([](const char* text) { sink->push_back(text); });
    OWN_BOOK_OPTION.set("true");
    EXPECT_TRUE(book_enabled);
    EXPECT_EQ(messages, (std::vector<std::string>{"White opening book positions: 1",
                                                  "Black opening book positions: 0"}));
    bool found = false;
    probe(found);
    EXPECT_TRUE(found);
    OWN_BOOK_OPTION.set("false");
    EXPECT_FALSE(book_enabled);
    probe(found);
    EXPECT_FALSE(found);
}

// Book keys are of standard chess: a Chess960 game, even from the standard
// start, gets no book move and no list of book moves.
TEST_F(Book, Chess960GamesAreNotAnswered) {
    load_own(encode({{p.start, 1, {p.e2e4}}}), "");
    Move moves[BOOK_MOVE_SLOTS];
    int weights[BOOK_MOVE_SLOTS];
    for (const bool chess960 : {false, true}) {
        set_chess960(chess960);
        bool found = false;
        probe(found);
        EXPECT_EQ(found, !chess960);
        EXPECT_EQ(book_moves(moves, weights, BOOK_MOVE_SLOTS), chess960 ? 0 : 1);
    }
}

TEST_F(Book, StartUpReportsReachTheFrontEndsHookOnce) {
    write(WHITE_BOOK_NAME, std::string(100, 'x'));
    const std::string report =
        "Opening book QuorvWhite.qbk not used: its size (100 bytes) is not a multiple of 48 bytes";
    EXPECT_EQ(load_quietly(), report + "\n" + NO_BOOKS);
    static std::vector<std::string> seen;
    seen.clear();
    // The front end that takes over sees what start-up printed, in its own form.
    testing::internal::CaptureStdout();
    set_book_message_hook([](const char* text) { seen.push_back(text); });
    set_book_message_hook([](const char* text) { seen.push_back(text); });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(seen, std::vector<std::string>{report});
    // Later reports go to the hook only.
    seen.clear();
    EXPECT_FALSE(load_polyglot_book("missing.bin"));
    EXPECT_EQ(seen, std::vector<std::string>{"Polyglot book missing.bin not used: no such file"});
}

}  // namespace
