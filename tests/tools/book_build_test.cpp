// The book tool's commands: building from PGN (ranking, options, errors),
// the files it writes, dump, probe and convert, checked against the engine's
// own reader, Debian's polyglot and Debian's gnuchess book where installed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "protocol/engine_process.h"
#include "support/board_helpers.h"
#include "tools/book/book_tool.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string out, err;
};

std::string contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    std::fclose(file);
    return text;
}

// The tool's command line, run in this process.
ToolRun tool(std::vector<std::string> args) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = book_tool::run_command(static_cast<int>(argv.size()), argv.data(), out, err);
    ToolRun r{status, contents(out), contents(err)};
    init_position();
    return r;
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> moves_of(const BookRecord& r) {
    std::vector<std::string> out;
    for (int i = 0; i < r.move_count; ++i) out.push_back(text_of(r.moves[i]));
    return out;
}

std::uint64_t key_after(const std::vector<const char*>& moves) {
    init_position();
    for (const char* m : moves) make_move(parse_move_text(m));
    const std::uint64_t key = position.state.key;
    init_position();
    return key;
}

const BookRecord* find(const std::vector<BookRecord>& records, std::uint64_t key) {
    for (const BookRecord& r : records)
        if (r.key == key) return &r;
    return nullptr;
}

std::string repeat(const std::string& game, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += game + "\n";
    return s;
}

class BookTool : public ::testing::Test {
  protected:
    qv_test::TempDir dir;
    std::string path(const std::string& name) const { return dir.path() + "/" + name; }
    std::string pgn(const std::string& text, const std::string& name = "games.pgn") {
        dir.write(name, text);
        return path(name);
    }
    // Builds from text with extra options; both books read back through the engine's reader.
    ToolRun build(const std::string& text, std::vector<std::string> options = {}) {
        std::vector<std::string> args = {"build", "--quiet", "-o", dir.path()};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(pgn(text));
        const ToolRun r = tool(args);
        std::string problem;
        white.clear();
        black.clear();
        if (r.status == 0) {
            EXPECT_TRUE(read_own_book(path(WHITE_BOOK_NAME), white, problem)) << problem;
            EXPECT_TRUE(read_own_book(path(BLACK_BOOK_NAME), black, problem)) << problem;
        }
        return r;
    }
    std::vector<BookRecord> white, black;
};

TEST_F(BookTool, MovesRankByGamesWithTiesInTextOrder) {
    const ToolRun r = build(repeat("1. e4 e5 *", 3) + repeat("1. d4 d5 *", 2) +
                            repeat("1. c4 *", 2) + "1. Nf3 *\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, r.out.find("Time: ")),
              "Games: 8 read from 1 file, 8 used (0 cut short by an error), 0 skipped\n"
              "Book: 1 white and 2 black positions, 6 moves, in " +
                  dir.path() + "/QuorvWhite.qbk and " + dir.path() + "/QuorvBlack.qbk\n");
    ASSERT_EQ(white.size(), 1u);
    EXPECT_EQ(white[0].key, key_after({}));
    EXPECT_EQ(moves_of(white[0]), (std::vector<std::string>{"e2e4", "c2c4", "d2d4", "g1f3"}));
    ASSERT_EQ(black.size(), 2u);
    EXPECT_GT(black[0].key, black[1].key);  // descending
    const BookRecord* after_e4 = find(black, key_after({"e2e4"}));
    ASSERT_NE(after_e4, nullptr);
    EXPECT_EQ(moves_of(*after_e4), std::vector<std::string>{"e7e5"});
    // The same games in another order give the same files.
    const std::string first = file_bytes(path(WHITE_BOOK_NAME));
    build("1. Nf3 *\n" + repeat("1. c4 *", 2) + repeat("1. d4 d5 *", 2) + repeat("1. e4 e5 *", 3));
    EXPECT_EQ(file_bytes(path(WHITE_BOOK_NAME)), first);
}

TEST_F(BookTool, AtMostEightMovesMostFrequentFirst) {
    const char* const firsts[] = {"a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3", "Na3", "Nh3"};
    std::string games;
    for (int i = 0; i < 10; ++i) games += repeat(std::string("1. ") + firsts[i] + " *", i + 1);
    ASSERT_EQ(build(games).status, 0);
    ASSERT_EQ(white.size(), 1u);
    EXPECT_EQ(white[0].move_count, 8);
    EXPECT_EQ(moves_of(white[0]), (std::vector<std::string>{"g1h3", "b1a3", "h2h3", "g2g3", "f2f3",
                                                            "e2e3", "d2d3", "c2c3"}));
}

TEST_F(BookTool, LeastGamesWinnersAndHorizon) {
    const std::string games = repeat("[Result \"1-0\"]\n1. e4 e5 2. Nf3 Nc6 1-0", 2) +
                              "[Result \"0-1\"]\n1. d4 d5 0-1\n" +
                              "[Result \"1/2-1/2\"]\n1. c4 c5 1/2-1/2\n";
    ASSERT_EQ(build(games, {"--min-games", "2"}).status, 0);
    ASSERT_NE(find(white, key_after({})), nullptr);
    EXPECT_EQ(moves_of(*find(white, key_after({}))), std::vector<std::string>{"e2e4"});
    EXPECT_EQ(white.size(), 2u);  // the start and after 1.e4 e5
    EXPECT_EQ(black.size(), 2u);
    // Only the winner's moves: white's from the 1-0 games, black's from the 0-1 game.
    ASSERT_EQ(build(games, {"--winners"}).status, 0);
    EXPECT_EQ(moves_of(*find(white, key_after({}))), std::vector<std::string>{"e2e4"});
    ASSERT_EQ(black.size(), 1u);
    EXPECT_EQ(moves_of(black[0]), std::vector<std::string>{"d7d5"});
    EXPECT_EQ(black[0].key, key_after({"d2d4"}));
    // Two half-moves of each game.
    ASSERT_EQ(build(games, {"--plies", "2"}).status, 0);
    EXPECT_EQ(white.size(), 1u);
    EXPECT_EQ(black.size(), 3u);
    EXPECT_EQ(find(white, key_after({"e2e4", "e7e5"})), nullptr);
}

TEST_F(BookTool, APositionRepeatedInOneGameCountsOnce) {
    const std::string repeating = "1. Nf3 Nf6 2. Ng1 Ng8 3. Nf3 Nf6 *\n";
    ASSERT_EQ(build(repeating, {"--min-games", "2"}).status, 0);
    EXPECT_TRUE(white.empty());
    ASSERT_EQ(build(repeating + "1. Nf3 d5 *\n", {"--min-games", "2"}).status, 0);
    ASSERT_EQ(white.size(), 1u);
    EXPECT_EQ(moves_of(white[0]), std::vector<std::string>{"g1f3"});
}

TEST_F(BookTool, BadMovesNameFileGameAndMoveAndTheBuildGoesOn) {
    const std::string games =
        "[White \"A\"]\n[Black \"B\"]\n1. e4 e5 2. Nf6 Nc6 *\n"  // no such move
        "\n[White \"C\"]\n1. Nf3 d5 2. d3 Nf6 3. Nd2 *\n"        // b1 or f3
        "\n1. e4 Qh9 *\n"                                        // not a move
        "\n[FEN \"4k3/8/8/8/8/8/8/4K3 w - - 0 1\"]\n1. Kd2 *\n"  // set-up position
        "\n[Variant \"Chess960\"]\n1. e4 *\n"
        "\n1. d4 d5 *\n";
    const ToolRun r = build(games);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string file = path("games.pgn");
    EXPECT_EQ(r.err, file +
                         ":3: error: game 1 (A - B), move 2.Nf6 matches no legal move; rest "
                         "of the game skipped\n" +
                         file +
                         ":6: error: game 2 (C - ?), move 3.Nd2 is ambiguous (b1d2, "
                         "f3d2); rest of the game skipped\n" +
                         file +
                         ":8: error: game 3, move 1...Qh9 is not a move; rest of the "
                         "game skipped\n" +
                         file +
                         ":10: note: game 4 starts from a set-up position or is another "
                         "variant; skipped\n" +
                         file +
                         ":13: note: game 5 starts from a set-up position or is another "
                         "variant; skipped\n");
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "Games: 6 read from 1 file, 4 used (3 cut short by an error), 2 skipped");
    // The moves before each error count; nothing after it.
    const BookRecord* start = find(white, key_after({}));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(moves_of(*start), (std::vector<std::string>{"e2e4", "d2d4", "g1f3"}));
    const BookRecord* after_e4 = find(black, key_after({"e2e4"}));
    ASSERT_NE(after_e4, nullptr);
    EXPECT_EQ(moves_of(*after_e4), std::vector<std::string>{"e7e5"});
    EXPECT_EQ(find(white, key_after({"e2e4", "e7e5"})), nullptr);
}

TEST_F(BookTool, MisuseAndUnreadableFilesWriteNoBook) {
    EXPECT_EQ(tool({}).status, 2);
    EXPECT_EQ(tool({"frobnicate"}).status, 2);
    EXPECT_EQ(tool({"build"}).status, 2);
    EXPECT_EQ(tool({"build", "--plies", "0", pgn("1. e4 *")}).status, 2);
    EXPECT_EQ(tool({"build", "--min-games", "x", pgn("1. e4 *")}).status, 2);
    EXPECT_EQ(tool({"build", "--fast", pgn("1. e4 *")}).status, 2);
    EXPECT_EQ(tool({"dump"}).status, 2);
    EXPECT_EQ(tool({"probe", "x.qbk"}).status, 2);
    EXPECT_EQ(tool({"convert", "--winners", "x.bin"}).status, 2);
    const ToolRun missing = tool({"build", "-o", dir.path(), pgn("1. e4 *"), path("absent.pgn")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "quorvanite-book: " + path("absent.pgn") + ": no such file\n");
    fs::create_directory(path("folder.pgn"));
    EXPECT_EQ(tool({"build", "-o", dir.path(), path("folder.pgn")}).status, 1);
    EXPECT_FALSE(fs::exists(path(WHITE_BOOK_NAME)));
    const ToolRun no_dir = tool({"build", "-o", path("nowhere"), pgn("1. e4 *")});
    EXPECT_EQ(no_dir.status, 1);
    EXPECT_NE(no_dir.err.find("cannot write"), std::string::npos) << no_dir.err;
    // The real executable says the same.
    const std::string command = std::string(QV_BOOK_TOOL_PATH) + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

// A clock that moves on 1.5 seconds at every reading.
std::int64_t fast_clock_ms = 0;
std::int64_t fast_clock() {
    return fast_clock_ms += 1500;
}

TEST_F(BookTool, ProgressLinesOnLargeInputs) {
    pgn(repeat("1. e4 e5 2. Nf3 *", 2100));
    set_clock_source(fast_clock);
    const ToolRun r = tool({"build", "-o", dir.path(), path("games.pgn")});
    set_clock_source(nullptr);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("1024 games read, 3072 positions, "), 0u) << r.err;
    EXPECT_NE(r.err.find(" moves/s\n2048 games read, 6144 positions, "), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("\nTime: "), std::string::npos) << r.out;
    // Quiet: no progress.
    EXPECT_EQ(tool({"build", "--quiet", "-o", dir.path(), path("games.pgn")}).err, "");
}

TEST_F(BookTool, RecordsAreFortyEightLittleEndianBytes) {
    ASSERT_EQ(build("1. e4 *\n1. d4 *\n").status, 0);
    const std::string bytes = file_bytes(path(WHITE_BOOK_NAME));
    ASSERT_EQ(bytes.size(), 48u);
    auto le = [&](std::size_t at, int size) {
        std::uint64_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    init_position();
    EXPECT_EQ(le(0, 8), position.state.key);
    EXPECT_EQ(le(8, 4), 2u);
    EXPECT_EQ(le(12, 4), parse_move_text("d2d4"));
    EXPECT_EQ(le(16, 4), parse_move_text("e2e4"));
    for (std::size_t at = 20; at < 48; at += 4) EXPECT_EQ(le(at, 4), 0u) << at;
    EXPECT_EQ(file_bytes(path(BLACK_BOOK_NAME)), "");
}

TEST_F(BookTool, DumpAndProbeShowWhatWasBuilt) {
    ASSERT_EQ(build(repeat("1. e4 e5 *", 2) + "1. d4 *\n", {"--polyglot", path("b.bin")}).status,
              0);
    init_position();
    char key[20];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(position.state.key));
    ToolRun r = tool({"dump", path(WHITE_BOOK_NAME)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(key) + " 2 e2e4 d2d4\n1 records\n");
    r = tool({"probe", path(WHITE_BOOK_NAME), "startpos"});
    EXPECT_EQ(r.out, std::string(key) + ": 2 moves\n  e2e4    63.6%\n  d2d4    36.4%\n");
    r = tool({"probe", path(BLACK_BOOK_NAME),
              "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"});
    EXPECT_NE(r.out.find(": 1 moves\n  e7e5   100.0%\n"), std::string::npos) << r.out;
    r = tool({"probe", path(BLACK_BOOK_NAME), "8/8/8/8/8/8/8/K6k w - - 0 1"});
    EXPECT_NE(r.out.find(": not in the book\n"), std::string::npos) << r.out;
    EXPECT_EQ(tool({"probe", path(WHITE_BOOK_NAME), "not a position"}).status, 1);
    // The Polyglot book: weights are game counts, castling would read e1h1.
    r = tool({"dump", path("b.bin")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("463b96181691fc9c 2 e2e4:2 d2d4:1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("823c9b50fd114196 1 e7e5:2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 entries, 2 positions\n"), std::string::npos) << r.out;
    r = tool({"probe", path("b.bin"), "startpos"});
    EXPECT_EQ(r.out, "463b96181691fc9c: 2 moves\n  e2e4        2  66.7%\n  d2d4        1  33.3%\n");
}

TEST_F(BookTool, DamagedBooksAreNamedAndFailTheCommand) {
    dir.write("cut.qbk", std::string(50, '\0'));
    ToolRun r = tool({"dump", path("cut.qbk")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0000000000000000 0\n1 records\n");  // the whole record is still shown
    EXPECT_EQ(r.err, "quorvanite-book: " + path("cut.qbk") +
                         ": its size (50 bytes) is not a multiple of 48 bytes\n");
    dir.write("cut.bin", std::string(17, '\0'));
    EXPECT_EQ(tool({"dump", path("cut.bin")}).status, 1);
    EXPECT_EQ(tool({"probe", path("cut.bin"), "startpos"}).status, 1);
    EXPECT_EQ(tool({"convert", "-o", dir.path(), path("cut.bin")}).status, 1);
    EXPECT_FALSE(fs::exists(path(WHITE_BOOK_NAME)));
    EXPECT_EQ(tool({"dump", path("absent.qbk")}).status, 1);
}

// A Polyglot book written by the tool and walked back by convert gives the
// same own books as the build itself (for games that do not transpose through
// a double step: the engine's key keeps the en-passant square, Polyglot's
// only when a capture is possible, so convert would join such positions).
TEST_F(BookTool, ConvertRebuildsWhatTheBuildWrote) {
    const std::string games = repeat("1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 *", 3) +
                              repeat("1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. c3 Nf6 *", 2) +
                              "1. e4 Nf6 2. e5 d5 3. exd6 e.p. cxd6 *\n" +
                              repeat("1. d4 d5 2. c4 e6 3. Nc3 Nf6 *", 2) +
                              "1. c4 e5 2. g3 Nf6 3. Bg2 c6 *\n";
    fs::create_directory(path("built"));
    fs::create_directory(path("converted"));
    ToolRun r =
        tool({"build", "--quiet", "-o", path("built"), "--polyglot", path("o.bin"), pgn(games)});
    ASSERT_EQ(r.status, 0) << r.err;
    r = tool({"convert", "-o", path("converted"), path("o.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {WHITE_BOOK_NAME, BLACK_BOOK_NAME}) {
        const ToolRun built = tool({"dump", path("built/") + name});
        EXPECT_EQ(tool({"dump", path("converted/") + name}).out, built.out) << name;
        EXPECT_GT(built.out.size(), 100u);
    }
    // Castling went through the Polyglot book as e1h1 and came back as castling.
    std::string problem;
    ASSERT_TRUE(read_own_book(path("converted/") + WHITE_BOOK_NAME, white, problem));
    const BookRecord* castle =
        find(white, key_after({"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6"}));
    ASSERT_NE(castle, nullptr);
    EXPECT_EQ(castle->moves[0], W_CASTLE_KING_SIDE);
}

// The default books beside the engine are what books/openings.pgn gives, and
// every line of it is sound.
TEST_F(BookTool, DefaultBooksComeFromTheOpeningLines) {
    const std::string openings = std::string(QV_SOURCE_DIR) + "/books/openings.pgn";
    const ToolRun r = tool({"build", "--quiet", "-o", dir.path(), openings});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("Games: 103 read from 1 file, 103 used (0 cut short by an error), 0 "
                         "skipped\n"),
              0u)
        << r.out;
    for (const char* name : {WHITE_BOOK_NAME, BLACK_BOOK_NAME}) {
        const std::string beside = fs::path(QV_ENGINE_PATH).parent_path().string() + "/" + name;
        EXPECT_TRUE(file_bytes(beside) == file_bytes(path(name))) << beside << " is out of date";
    }
}

// Debian's polyglot, given games that all end drawn (its weight is then the
// game count, as ours), makes the same book.
TEST_F(BookTool, PolyglotOutputMatchesDebiansPolyglot) {
    const char* const polyglot = "/usr/games/polyglot";
    if (!fs::exists(polyglot)) GTEST_SKIP() << "polyglot is not installed";
    std::string games;
    std::uint32_t seed = 31;
    for (int g = 0; g < 150; ++g) {
        init_position();
        games += "[Result \"1/2-1/2\"]\n\n";
        for (int ply = 0; ply < 50; ++ply) {
            MoveEntry list[MOVE_LIST_CAPACITY];
            const int count = legal_moves(list);
            if (count == 0) break;
            seed = seed * 1103515245u + 12345u;
            // Mostly the first few moves, so lines share their openings.
            const int pick = static_cast<int>(
                (seed >> 16) % static_cast<std::uint32_t>(ply < 6 ? std::min(count, 3) : count));
            const Move m = list[pick].move;
            if (ply % 2 == 0) games += std::to_string(ply / 2 + 1) + ". ";
            games += book_tool::san_text(m) + " ";
            make_move(m);
        }
        games += "1/2-1/2\n\n";
    }
    init_position();
    const ToolRun r = build(games, {"--polyglot", path("ours.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string command = std::string(polyglot) + " make-book -pgn " + path("games.pgn") +
                                " -bin " + path("theirs.bin") +
                                " -min-game 1 -max-ply 40 >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<PolyglotEntry> ours, theirs;
    std::string problem;
    ASSERT_TRUE(read_polyglot_book(path("ours.bin"), ours, problem)) << problem;
    ASSERT_TRUE(read_polyglot_book(path("theirs.bin"), theirs, problem)) << problem;
    auto triples = [](const std::vector<PolyglotEntry>& entries) {
        std::vector<std::tuple<std::uint64_t, std::uint16_t, std::uint16_t>> t;
        for (const PolyglotEntry& e : entries) t.emplace_back(e.key, e.move, e.weight);
        std::sort(t.begin(), t.end());
        return t;
    };
    EXPECT_GT(ours.size(), 1000u);
    EXPECT_EQ(triples(ours), triples(theirs));
}

TEST_F(BookTool, ConvertsDebiansGnuchessBook) {
    const char* const book = "/usr/share/games/gnuchess/book.bin";
    if (!fs::exists(book)) GTEST_SKIP() << book << " is not installed (gnuchess-book)";
    const ToolRun r = tool({"convert", "-o", dir.path(), book});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Converted 180358 Polyglot entries: "), 0u) << r.out;
    std::string problem;
    ASSERT_TRUE(read_own_book(path(WHITE_BOOK_NAME), white, problem)) << problem;
    ASSERT_TRUE(read_own_book(path(BLACK_BOOK_NAME), black, problem)) << problem;
    EXPECT_GT(white.size(), 10000u);
    EXPECT_GT(black.size(), 10000u);
    // The eight weightiest start moves; b1c3 and b2b4 tie at 16, text order decides.
    const BookRecord* start = find(white, key_after({}));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(moves_of(*start), (std::vector<std::string>{"e2e4", "d2d4", "g1f3", "c2c4", "g2g3",
                                                          "b2b3", "f2f4", "b1c3"}));
    // Castling arrives as the engine's castling move.
    const BookRecord* ruy =
        find(white, key_after({"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6"}));
    ASSERT_NE(ruy, nullptr);
    EXPECT_EQ(ruy->moves[0], W_CASTLE_KING_SIDE);
}

// Many games through the executable: random legal games from the helper.
TEST_F(BookTool, ManyRandomGamesBuildSoundBooks) {
    const std::string games = path("random.pgn");
    const std::string make = std::string(QV_RANDOM_PGN_PATH) + " 3000 " + games + " 11";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const std::string command = std::string(QV_BOOK_TOOL_PATH) + " build --quiet -o " + dir.path() +
                                " " + games + " > " + path("out.txt") + " 2> " + path("err.txt");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(file_bytes(path("err.txt")), "");
    EXPECT_EQ(file_bytes(path("out.txt"))
                  .find("Games: 3000 read from 1 file, 3000 used (0 cut "
                        "short by an error), 0 skipped\n"),
              0u);
    std::string problem;
    ASSERT_TRUE(read_own_book(path(WHITE_BOOK_NAME), white, problem)) << problem;
    ASSERT_TRUE(read_own_book(path(BLACK_BOOK_NAME), black, problem)) << problem;
    EXPECT_GT(white.size() + black.size(), 3000u * 30);
}

}  // namespace
