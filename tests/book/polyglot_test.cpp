// Polyglot books: the keys against the format's published test keys, the move
// field both ways, reading damaged files, the weighted draw, and Debian's
// gnuchess book where it is installed.
#include <array>
#include <filesystem>
#include <map>

#include "book/book_test_util.h"

using namespace book_test;

namespace {

const char* const DEBIAN_BOOK = "/usr/share/games/gnuchess/book.bin";

struct PublishedKey {
    const char* fen;
    std::uint64_t key;
};
// Published with the format (its README's list of test positions).
const PublishedKey PUBLISHED_KEYS[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0x463b96181691fc9cull},
    {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", 0x823c9b50fd114196ull},
    {"rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2", 0x0756b94461c50fb0ull},
    {"rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2", 0x662fafb965db29d4ull},
    {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3", 0x22a48b5a8e47ff78ull},
    {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR b kq - 1 3", 0x652a607ca3f242c1ull},
    {"rnbq1bnr/ppp1pkpp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR w - - 2 4", 0x00fdd303c946bdd9ull},
    {"rnbqkbnr/p1pppppp/8/8/PpP4P/8/1P1PPPP1/RNBQKBNR b KQkq c3 0 3", 0x3c8123ea7b067637ull},
    {"rnbqkbnr/p1pppppp/8/8/P6P/R1p5/1P1PPPP1/1NBQKBNR b Kkq - 1 4", 0x5c3f9b829b279560ull},
};

TEST(PolyglotKey, MatchesThePublishedKeysFromTextAndFromPlay) {
    for (const PublishedKey& k : PUBLISHED_KEYS) {
        ASSERT_TRUE(set_position_from_fen(k.fen)) << k.fen;
        EXPECT_EQ(polyglot_key(), k.key) << k.fen;
    }
    // The same positions reached by moves: the en-passant file counts only
    // when a pawn can take, castling rights as the moves leave them.
    init_position();
    const char* const line[] = {"e2e4", "d7d5", "e4e5", "f7f5", "e1e2", "e8f7"};
    EXPECT_EQ(polyglot_key(), PUBLISHED_KEYS[0].key);
    for (int i = 0; i < 6; ++i) {
        make_move(named_move(line[i]));
        EXPECT_EQ(polyglot_key(), PUBLISHED_KEYS[i + 1].key) << line[i];
    }
    init_position();
    for (const char* m : {"a2a4", "b7b5", "h2h4", "b5b4", "c2c4"}) make_move(named_move(m));
    EXPECT_EQ(polyglot_key(), PUBLISHED_KEYS[7].key);
    for (const char* m : {"b4c3", "a1a3"}) make_move(named_move(m));
    EXPECT_EQ(polyglot_key(), PUBLISHED_KEYS[8].key);
    init_position();
}

TEST(PolyglotKey, CastlingCountsOnlyWhileKingAndRookAreHome) {
    // The engine keeps a castling flag when the rook is taken at home; the key
    // must not: a captured h8 rook takes black's king-side right with it.
    ASSERT_TRUE(set_position_from_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
    const std::uint64_t all_rights = polyglot_key();
    ASSERT_TRUE(set_position_from_fen("r3k2R/8/8/8/8/8/8/R3K3 b Qq - 0 1"));
    const std::uint64_t after_capture_text = polyglot_key();
    ASSERT_TRUE(set_position_from_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
    make_move(named_move("h1h8"));
    EXPECT_EQ(polyglot_key(), after_capture_text);
    EXPECT_NE(polyglot_key(), all_rights);
    init_position();
}

// Every legal move of many random positions survives the trip through the
// 16-bit field, castling written as the king taking its rook.
TEST(PolyglotMove, EveryLegalMoveRoundTrips) {
    std::uint32_t seed = 7;
    int castlings = 0, promotions = 0;
    for (int game = 0; game < 60; ++game) {
        init_position();
        for (int ply = 0; ply < 120; ++ply) {
            MoveEntry list[MOVE_LIST_CAPACITY];
            const int count = legal_moves(list);
            if (count == 0) break;
            for (int i = 0; i < count; ++i) {
                const Move m = list[i].move;
                ASSERT_EQ(move_from_polyglot(polyglot_move(m)), m) << text_of(m);
                castlings += move_castle_kind(m) != 0;
                promotions += move_promotion(m) != 0;
            }
            seed = seed * 1103515245u + 12345u;
            make_move(list[(seed >> 16) % static_cast<std::uint32_t>(count)].move);
        }
    }
    EXPECT_GT(castlings, 0);
    EXPECT_GT(promotions, 0);
    init_position();
    EXPECT_EQ(polyglot_move(W_CASTLE_KING_SIDE), polyglot_field("e1h1"));
    EXPECT_EQ(polyglot_move(B_CASTLE_QUEEN_SIDE), polyglot_field("e8a8"));
}

TEST(PolyglotMove, CastlingWrittenEitherWayAndNothingIllegal) {
    ASSERT_TRUE(set_position_from_fen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1"));
    EXPECT_EQ(move_from_polyglot(polyglot_field("e1h1")), W_CASTLE_KING_SIDE);
    EXPECT_EQ(move_from_polyglot(polyglot_field("e1g1")), W_CASTLE_KING_SIDE);
    EXPECT_EQ(move_from_polyglot(polyglot_field("e1a1")), W_CASTLE_QUEEN_SIDE);
    EXPECT_EQ(move_from_polyglot(polyglot_field("e1c1")), W_CASTLE_QUEEN_SIDE);
    EXPECT_EQ(move_from_polyglot(polyglot_field("e1f2")), 0u);  // own pawn there
    EXPECT_EQ(move_from_polyglot(polyglot_field("e1e2")), named_move("e1e2"));
    EXPECT_EQ(move_from_polyglot(polyglot_field("e8g8")), 0u);  // black's move
    // A promotion needs its piece; the field names it.
    ASSERT_TRUE(set_position_from_fen("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_EQ(move_from_polyglot(polyglot_field("b7b8")), 0u);
    EXPECT_EQ(move_from_polyglot(polyglot_field("b7b8n")), named_move("b7b8n"));
    EXPECT_EQ(move_from_polyglot(polyglot_field("b7b8q")), named_move("b7b8q"));
    init_position();
}

class PolyglotBook : public BookDirTest {};

TEST_F(PolyglotBook, DamagedFilesAreReportedAndNotUsed) {
    const std::uint64_t start = polyglot_key();
    const std::string good = encode_polyglot({{start, "e2e4", 2}, {start, "d2d4", 1}});
    struct Case {
        std::string bytes;
        const char* problem;
    } const cases[] = {
        {good + "x", "its size (33 bytes) is not a multiple of 16 bytes"},
        {good.substr(0, 15), "its size (15 bytes) is not a multiple of 16 bytes"},
        {encode_polyglot({{start, "e2e4", 2}, {start - 1, "d2d4", 1}}),
         "keys out of order at entry 2"},
        {"", "it holds no entries"},
    };
    for (const Case& c : cases) {
        write("book.bin", c.bytes);
        book_settings.polyglot_path = "book.bin";
        EXPECT_EQ(load_quietly(), "Polyglot book book.bin not used: " + std::string(c.problem) +
                                      "\nWhite opening book positions: 0\n"
                                      "Black opening book positions: 0\n");
        EXPECT_EQ(polyglot_book_entries(), 0u);
        EXPECT_EQ(polyglot_book_path(), "");
        bool found = true;
        probe(found);
        EXPECT_FALSE(found);
    }
    std::filesystem::create_directory("dir.bin");
    EXPECT_FALSE(load_polyglot_book("dir.bin"));
    EXPECT_FALSE(load_polyglot_book("missing.bin"));
    // Sound again: equal keys may follow one another.
    write("book.bin", good);
    EXPECT_TRUE(load_polyglot_book("book.bin"));
    EXPECT_EQ(polyglot_book_entries(), 2u);
    EXPECT_EQ(polyglot_book_path(), "book.bin");
    EXPECT_TRUE(load_polyglot_book(""));
    EXPECT_EQ(polyglot_book_entries(), 0u);
}

TEST_F(PolyglotBook, OnlyLegalMovesWithWeightArePlayed) {
    const std::uint64_t start = polyglot_key();
    write("book.bin", encode_polyglot({{start - 2, "a2a3", 9},
                                       {start, "e2e5", 50},  // not a move here
                                       {start, "e7e5", 50},  // black's move
                                       {start, "d2d4", 0},   // never to be played
                                       {start, "g1f3", 1},
                                       {start + 1, "b2b3", 9}}));
    ASSERT_TRUE(load_polyglot_book("book.bin"));
    set_calendar_source(counting_calendar);
    for (int i = 0; i < 50; ++i) {
        bool found = false;
        EXPECT_EQ(probe(found), "0 0 0 0 g1f3 (Book Move)\n");
        EXPECT_TRUE(found);
    }
    // With nothing playable left, the own book answers.
    write("book.bin", encode_polyglot({{start, "d2d4", 0}}));
    write(WHITE_BOOK_NAME, encode({{position.state.key, 1, {named_move("c2c4")}}}));
    book_settings.polyglot_path = "book.bin";
    load_quietly();
    bool found = false;
    EXPECT_EQ(probe(found), "0 0 0 0 c2c4 (Book Move)\n");
}

TEST_F(PolyglotBook, MovesAreDrawnInProportionToTheirWeights) {
    const std::uint64_t start = polyglot_key();
    // Weights beyond 32767 in sum: the draw must reach every part of them.
    write("book.bin", encode_polyglot({{start, "e2e4", 40000},
                                       {start, "d2d4", 20000},
                                       {start, "c2c4", 5000},
                                       {start, "g1f3", 5000}}));
    ASSERT_TRUE(load_polyglot_book("book.bin"));
    set_calendar_source(counting_calendar);
    next_second = 1700000000;
    std::map<std::string, int> seen;
    constexpr int DRAWS = 40000;
    post_thinking.store(false);
    for (int i = 0; i < DRAWS; ++i) {
        const Move drawn = probe_book();
        ASSERT_NE(drawn, 0u);
        ++seen[text_of(drawn)];
    }
    const std::map<std::string, double> expected = {
        {"e2e4", 40.0 / 70}, {"d2d4", 20.0 / 70}, {"c2c4", 5.0 / 70}, {"g1f3", 5.0 / 70}};
    for (const auto& [move, share] : expected)
        EXPECT_NEAR(static_cast<double>(seen[move]) / DRAWS, share, 0.01) << move;
    // Within one second the same move, like the own books.
    set_calendar_source(fixed_calendar);
    fixed_second = 42;
    bool found = false;
    probe(found);
    const Move first = drawn_move;
    for (int i = 0; i < 20; ++i) {
        probe(found);
        EXPECT_EQ(drawn_move, first);
    }
}

TEST(WeightedIndex, FollowsTheWeightsAndSkipsZero) {
    const BookChoice choices[] = {{1, 0}, {2, 3}, {3, 0}, {4, 1}};
    std::array<int, 4> seen{};
    for (std::uint64_t r = 0; r < 4000; ++r)
        ++seen[static_cast<std::size_t>(weighted_index(choices, 4, r))];
    EXPECT_EQ(seen, (std::array<int, 4>{0, 3000, 0, 1000}));
    const BookChoice zero[] = {{1, 0}, {2, 0}};
    EXPECT_EQ(weighted_index(zero, 2, 5), -1);
    EXPECT_EQ(weighted_index(zero, 0, 5), -1);
}

class DebianBook : public BookDirTest {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_regular_file(DEBIAN_BOOK))
            GTEST_SKIP() << DEBIAN_BOOK << " is not installed (Debian package gnuchess-book)";
        BookDirTest::SetUp();
    }
};

TEST_F(DebianBook, LoadsAndOffersThePublishedStartMoves) {
    book_settings.polyglot_path = DEBIAN_BOOK;
    EXPECT_EQ(load_quietly(),
              "White opening book positions: 0\nBlack opening book positions: 0\n"
              "Polyglot opening book " +
                  std::string(DEBIAN_BOOK) + ": 180358 entries\n");
    std::vector<PolyglotEntry> entries;
    std::string problem;
    ASSERT_TRUE(read_polyglot_book(DEBIAN_BOOK, entries, problem)) << problem;
    BookChoice choices[MOVE_LIST_CAPACITY];
    const int count = polyglot_choices(entries.data(), entries.size(), choices);
    std::vector<std::pair<std::string, std::uint32_t>> offered;
    for (int i = 0; i < count; ++i)
        offered.push_back({text_of(choices[i].move), choices[i].weight});
    const std::vector<std::pair<std::string, std::uint32_t>> published = {
        {"e2e4", 12135}, {"d2d4", 11257}, {"g1f3", 3745}, {"c2c4", 3294}, {"g2g3", 243},
        {"b2b3", 38},    {"f2f4", 35},    {"b1c3", 16},   {"b2b4", 16},   {"e2e3", 7},
        {"d2d3", 5},     {"g2g4", 4},     {"a2a3", 2}};
    EXPECT_EQ(offered, published);
    bool found = false;
    const std::string line = probe(found);
    ASSERT_TRUE(found);
    EXPECT_EQ(line, "0 0 0 0 " + text_of(drawn_move) + " (Book Move)\n");
}

TEST_F(DebianBook, CastlingComesOutAsTheEnginesCastlingMove) {
    ASSERT_TRUE(load_polyglot_book(DEBIAN_BOOK));
    // Ruy Lopez after 4...Nf6: the book's main move is castling, stored as e1h1.
    for (const char* m : {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6"})
        make_move(named_move(m));
    std::vector<PolyglotEntry> entries;
    std::string problem;
    ASSERT_TRUE(read_polyglot_book(DEBIAN_BOOK, entries, problem));
    BookChoice choices[MOVE_LIST_CAPACITY];
    const int count = polyglot_choices(entries.data(), entries.size(), choices);
    ASSERT_GT(count, 0);
    EXPECT_EQ(choices[0].move, W_CASTLE_KING_SIDE);
    // Every move the book offers along a few hundred random book lines is legal.
    std::uint32_t seed = 99;
    for (int game = 0; game < 300; ++game) {
        init_position();
        for (int ply = 0; ply < BOOK_HORIZON_PLIES; ++ply) {
            const int n = polyglot_choices(entries.data(), entries.size(), choices);
            if (n == 0) break;
            MoveEntry list[MOVE_LIST_CAPACITY];
            const int legal_count = legal_moves(list);
            for (int i = 0; i < n; ++i) {
                bool is_legal = false;
                for (int j = 0; j < legal_count; ++j) is_legal |= list[j].move == choices[i].move;
                ASSERT_TRUE(is_legal) << text_of(choices[i].move);
            }
            seed = seed * 1103515245u + 12345u;
            make_move(choices[(seed >> 16) % static_cast<std::uint32_t>(n)].move);
        }
    }
}

}  // namespace
