// The book tool: builds the engine's opening books from PGN games, shows and
// probes book files of both formats, and converts Polyglot books. It runs on
// the engine's own board (one position, its generator and its keys).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "board/board.h"
#include "book/book.h"

namespace book_tool {

// ---- Standard algebraic notation on the current position.
enum class SanStatus { OK, MALFORMED, NO_MATCH, AMBIGUOUS };
// The legal move that text names (SAN with check marks and annotations, zeros
// for castling, promotion with or without '='; also coordinate text such as
// e2e4). On AMBIGUOUS, detail lists the candidates in coordinate text.
SanStatus parse_san(const char* text, Move& move, std::string& detail);
// The SAN of a legal move, with '+' or '#'.
std::string san_text(Move move);

// ---- PGN games as lexed from a file.
enum class GameResult { UNKNOWN, WHITE_WINS, BLACK_WINS, DRAW };
struct PgnMove {
    std::string text;  // as written, without move number, annotations and marks around it
    int line;          // line of the file
};
struct PgnGame {
    int number = 0;      // 1 for the first game of the file
    int first_line = 0;  // line where the game begins
    std::string white, black, event, fen, variant;
    GameResult tag_result = GameResult::UNKNOWN;   // from [Result]
    GameResult termination = GameResult::UNKNOWN;  // the result written after the moves
    bool has_termination = false;
    std::vector<PgnMove> moves;      // the main line; variations are left out
    std::vector<std::string> notes;  // lexical problems (unclosed comment, bad tag)
    GameResult result() const { return has_termination ? termination : tag_result; }
    std::string name() const;  // "game 3 (White - Black)", else "game 3 (Event)"
};

// Reads games one by one from a stream: tag pairs, move numbers, comments in
// braces and after ';', '%' escape lines, nested variations, NAGs and
// annotation marks, results, any line ends, a UTF-8 byte order mark.
class PgnReader {
  public:
    explicit PgnReader(std::FILE* file) : file_(file) {}
    bool next_game(PgnGame& game);  // false at the end of the file
    int line() const { return line_; }

  private:
    int get();
    int peek();
    void skip_comment(PgnGame& game);
    void skip_line();
    bool read_tag(PgnGame& game);
    void read_symbol(std::string& symbol);
    bool handle_symbol(const std::string& symbol, PgnGame& game);

    std::FILE* file_;
    unsigned char buffer_[1 << 16];
    std::size_t pos_ = 0, end_ = 0;
    int line_ = 1;
    int games_ = 0;
    bool at_line_start_ = true;
    bool started_ = false;  // the byte order mark has been looked for
};

// ---- Building books from games.
struct BuildOptions {
    int plies = BOOK_HORIZON_PLIES;  // half-moves taken from each game
    int min_games = 1;               // games a move needs to enter the book
    bool winners_only = false;       // only the moves of the side that won
    std::string output_dir = ".";    // where QuorvWhite.qbk and QuorvBlack.qbk go
    std::string polyglot_path;       // also write a Polyglot book here (empty: no)
    bool quiet = false;              // no progress lines
};

// A move of a game as the builder takes it.
struct GameMove {
    std::uint64_t key;       // engine key of the position before the move
    std::uint64_t poly_key;  // its Polyglot key
    Move move;
    std::uint8_t side;  // side to move
};

struct BookCounts {
    std::size_t white_positions = 0, black_positions = 0, moves = 0;
    std::size_t polyglot_positions = 0, polyglot_entries = 0;
};

// Collects the moves of many games and writes the books. Each position and
// move counts once per game.
class BookBuilder {
  public:
    explicit BookBuilder(const BuildOptions& options) : options_(options) {}
    void add_game(const std::vector<GameMove>& moves, GameResult result);
    std::size_t occurrences() const { return own_.size(); }
    // Ranks and writes the files (each through a temporary file, so a failed
    // write leaves no half book); false with the reason.
    bool write(BookCounts& counts, std::string& problem);
    // The records that write() would put in the two files.
    void records(std::vector<BookRecord>& white, std::vector<BookRecord>& black) const;
    std::vector<PolyglotEntry> polyglot_entries() const;

    struct Occurrence {  // a move played in a position, once per game
        std::uint64_t key;
        Move move;
        std::uint8_t side;
    };
    struct PolyOccurrence {
        std::uint64_t key;
        std::uint16_t move;
    };

  private:
    BuildOptions options_;
    std::vector<Occurrence> own_;
    std::vector<PolyOccurrence> poly_;
    std::vector<Occurrence> game_own_;
    std::vector<PolyOccurrence> game_poly_;
};

// Orders moves of equal frequency: by coordinate text, so a book does not
// depend on the order of its games.
bool ranks_before(std::uint32_t count_a, Move a, std::uint32_t count_b, Move b);

// ---- Files.
// A file written through path + ".tmp" and renamed by commit(); dropped when
// not committed or when a write failed.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    void append(const std::string& bytes);
    bool commit(std::string& problem);

  private:
    void flush();
    std::string path_, temporary_, buffer_;
    std::FILE* file_;
    bool failed_ = false;
};
std::string encode_own_book(const std::vector<BookRecord>& records);
std::string encode_polyglot_book(const std::vector<PolyglotEntry>& entries);
// Writes bytes to path through path + ".tmp" and a rename.
bool write_file(const std::string& path, const std::string& bytes, std::string& problem);
bool is_polyglot_path(const std::string& path);  // ".bin" names a Polyglot book

// ---- Commands: each returns the exit status (0 done, 1 failed, 2 misuse).
// Output goes to out, progress and problems to err.
int run_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace book_tool
