// The built engine with books: the default books beside it, own books in its
// working directory, a Polyglot book from the configuration, and damaged
// books reported at start-up and again to xboard.
#include <filesystem>
#include <string>
#include <vector>

#include "book/book_test_util.h"
#include "protocol/engine_process.h"
#include "protocol/referee.h"

using qv_test::EngineProcess;
using qv_test::TempDir;
using Lines = std::vector<std::string>;

namespace {

const std::string BANNER =
    "Quorvanite 2.3\n"
    "A chess engine for graphical interfaces speaking xboard/WinBoard protocol 2 or UCI\n"
    "Console commands: xboard, uci, benchmark, testsuite, perft [depth], quit\n"
    "Type xboard or uci to hand the console over to an interface\n"
    "Hash table memory size: 32 MByte\n";

const std::string ENGINE_DIR =
    std::filesystem::path(qv_test::test_engine_path()).parent_path().string();

// The moves a book file beside the engine holds for the position after moves.
std::vector<std::string> default_book_moves(const char* name,
                                            const std::vector<const char*>& moves) {
    std::vector<BookRecord> records;
    std::string problem;
    EXPECT_TRUE(read_own_book(ENGINE_DIR + "/" + name, records, problem)) << problem;
    init_position();
    for (const char* m : moves) make_move(parse_move_text(m));
    std::vector<std::string> found;
    for (const BookRecord& r : records)
        if (r.key == position.state.key)
            for (int i = 0; i < r.move_count; ++i) found.push_back(book_test::text_of(r.moves[i]));
    init_position();
    return found;
}

std::string start_up(EngineProcess& engine) {
    return engine.read_through("Quorvanite>");
}

void to_xboard(EngineProcess& engine) {
    engine.send("xboard");
    engine.read_through("WinBoard protocol selected\n");
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(ProtocolBook, DefaultBooksAnswerWhenNothingElseIsConfigured) {
    TempDir dir;  // no configuration, no book
    EngineProcess engine(dir.path());
    const std::string white =
        std::to_string(std::filesystem::file_size(ENGINE_DIR + "/QuorvWhite.qbk") / 48);
    const std::string black =
        std::to_string(std::filesystem::file_size(ENGINE_DIR + "/QuorvBlack.qbk") / 48);
    EXPECT_EQ(start_up(engine), BANNER + "White opening book positions: " + white +
                                    "\nBlack opening book positions: " + black +
                                    "\nDefault opening books from " + ENGINE_DIR + "\nQuorvanite>");
    to_xboard(engine);
    engine.send("new");
    engine.send("go");
    Lines lines = engine.lines_until_prefix("move ");
    ASSERT_EQ(lines.size(), 2u);
    const std::string first = qv_test::engine_move_in(lines);
    EXPECT_EQ(lines[0], "0 0 0 0 " + first + " (Book Move)");
    EXPECT_TRUE(contains(default_book_moves(WHITE_BOOK_NAME, {}), first)) << first;
    // As black after 1.e4.
    engine.send("new");
    engine.send("e2e4");
    lines = engine.lines_until_prefix("move ");
    ASSERT_EQ(lines.size(), 2u);
    const std::string reply = qv_test::engine_move_in(lines);
    EXPECT_TRUE(contains(default_book_moves(BLACK_BOOK_NAME, {"e2e4"}), reply)) << reply;
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(ProtocolBook, OwnBookInTheWorkingDirectoryWithAndWithoutThinkingOutput) {
    TempDir dir;
    init_position();
    dir.write(WHITE_BOOK_NAME,
              book_test::encode({{position.state.key, 1, {parse_move_text("g1f3")}}}));
    EngineProcess engine(dir.path());
    EXPECT_EQ(
        start_up(engine),
        BANNER + "White opening book positions: 1\nBlack opening book positions: 0\nQuorvanite>");
    to_xboard(engine);
    engine.send("new");
    engine.send("go");
    EXPECT_EQ(engine.lines_until_prefix("move "), (Lines{"0 0 0 0 g1f3 (Book Move)", "move g1f3"}));
    engine.send("new");
    engine.send("nopost");
    engine.send("go");
    EXPECT_EQ(engine.lines_until_prefix("move "), Lines{"move g1f3"});
    // A position the book does not hold: the engine searches.
    engine.send("sd 2");
    engine.send("post");
    engine.send("e7e5");
    const Lines search = engine.lines_until_prefix("move ");
    EXPECT_GT(search.size(), 1u);
    EXPECT_EQ(search.front().find("(Book Move)"), std::string::npos);
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(ProtocolBook, PolyglotBookFromTheConfigurationCastlesAsTheEngineDoes) {
    TempDir dir;
    init_position();
    const std::uint64_t start = polyglot_key();
    for (const char* m : {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5"})
        make_move(parse_move_text(m));
    const std::uint64_t italian = polyglot_key();
    init_position();
    std::vector<book_test::Entry> entries = {{start, "e2e4", 5}, {italian, "e1h1", 3}};
    if (italian < start) std::swap(entries[0], entries[1]);
    dir.write("small.bin", book_test::encode_polyglot(entries));
    dir.write("Quorvanite.cfg", "<quorvanite>\n  <book> small.bin </book>\n</quorvanite>\n");
    EngineProcess engine(dir.path());
    // A configured Polyglot book leaves the default books unread.
    EXPECT_EQ(start_up(engine), BANNER +
                                    "White opening book positions: 0\nBlack opening book "
                                    "positions: 0\nPolyglot opening book small.bin: 2 "
                                    "entries\nQuorvanite>");
    to_xboard(engine);
    engine.send("new");
    engine.send("go");
    EXPECT_EQ(engine.lines_until_prefix("move "), (Lines{"0 0 0 0 e2e4 (Book Move)", "move e2e4"}));
    engine.send("new");
    engine.send("force");
    for (const char* m : {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5"}) engine.send(m);
    engine.send("go");
    EXPECT_EQ(engine.lines_until_prefix("move "), (Lines{"0 0 0 0 e1g1 (Book Move)", "move e1g1"}));
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(ProtocolBook, DebiansGnuchessBookPlaysItsMoves) {
    const char* const book = "/usr/share/games/gnuchess/book.bin";
    if (!std::filesystem::exists(book)) GTEST_SKIP() << book << " is not installed (gnuchess-book)";
    TempDir dir;
    dir.write("Quorvanite.cfg", std::string("<quorvanite><book>") + book + "</book></quorvanite>");
    EngineProcess engine(dir.path());
    EXPECT_NE(start_up(engine).find("\nPolyglot opening book " + std::string(book) +
                                    ": 180358 entries\n"),
              std::string::npos);
    to_xboard(engine);
    // Both sides from the book for a few moves: every move legal and announced. The
    // draw is seeded by the clock's second, and some lines leave this book after five
    // plies (1.e4 Nf6 2.Nc3 Nc6 3.d4): four are always there, the rest while they last.
    qv_test::Referee referee;
    engine.send("new");
    engine.send("force");
    engine.send("sd 2");
    for (int ply = 0; ply < 6; ++ply) {
        engine.send("go");
        const Lines lines = engine.lines_until_prefix("move ");
        const std::string move = qv_test::engine_move_in(lines);
        ASSERT_TRUE(referee.play(move)) << move;
        const bool from_book = lines.size() == 2u && lines[0] == "0 0 0 0 " + move + " (Book Move)";
        if (!from_book) {
            EXPECT_GE(ply, 4) << lines[0];
            break;
        }
        engine.send("force");
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(ProtocolBook, DamagedBooksAreReportedAtStartAndToXboard) {
    TempDir dir;
    dir.write(WHITE_BOOK_NAME, std::string(100, 'x'));
    std::filesystem::create_directory(dir.path() + "/" + BLACK_BOOK_NAME);
    EngineProcess engine(dir.path());
    const std::string white_report =
        "Opening book QuorvWhite.qbk not used: its size (100 bytes) is not a multiple of 48 bytes";
    const std::string black_report = "Opening book QuorvBlack.qbk not used: not a regular file";
    EXPECT_EQ(start_up(engine), BANNER + white_report + "\n" + black_report +
                                    "\nWhite opening book positions: 0\n"
                                    "Black opening book positions: 0\nQuorvanite>");
    engine.send("xboard");
    EXPECT_EQ(engine.read_through(black_report + "\n"), "WinBoard protocol selected\ntelluser " +
                                                            white_report + "\ntelluser " +
                                                            black_report + "\n");
    engine.send("new");
    engine.send("sd 2");
    engine.send("go");
    const Lines search = engine.lines_until_prefix("move ");
    EXPECT_GT(search.size(), 1u);
    for (const std::string& l : search) EXPECT_EQ(l.find("Book Move"), std::string::npos) << l;
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
    EXPECT_EQ(engine.rest_of_output(), "");
}

}  // namespace
