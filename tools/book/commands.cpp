// The tool's commands: build, dump, probe, convert.
#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "platform/platform.h"
#include "tools/book/book_tool.h"

namespace book_tool {
namespace {

constexpr const char* USAGE =
    "usage: quorvanite-book build [options] GAMES.pgn...\n"
    "       quorvanite-book dump BOOK\n"
    "       quorvanite-book probe BOOK \"FEN\"     (or startpos)\n"
    "       quorvanite-book convert [options] BOOK.bin\n"
    "BOOK is the engine's own format (.qbk), or a Polyglot book when it ends in .bin.\n"
    "options:\n"
    "  --plies N       half-moves taken from each game or walked in a book (default 40)\n"
    "  --min-games N   games a move needs to enter the book (build; default 1)\n"
    "  --winners       only the moves of the side that won (build)\n"
    "  --polyglot FILE also write a Polyglot book (build)\n"
    "  -o DIR          where QuorvWhite.qbk and QuorvBlack.qbk are written (default .)\n"
    "  --quiet         no progress lines\n";

struct Io {
    std::FILE* out;
    std::FILE* err;
};

int usage(const Io& io, const char* problem) {
    if (problem != nullptr) std::fprintf(io.err, "quorvanite-book: %s\n", problem);
    std::fputs(USAGE, io.err);
    return 2;
}

bool read_count(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// Options first, then the file names (a lone "--" ends the options).
bool parse_options(const std::vector<std::string>& args, BuildOptions& options,
                   std::vector<std::string>& files, std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--") {
            files.insert(files.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            return true;
        } else if (a == "--winners") {
            options.winners_only = true;
        } else if (a == "--quiet") {
            options.quiet = true;
        } else if (a == "--plies" && has_value) {
            if (!read_count(args[++i].c_str(), 1, MAX_GAME_PLY, options.plies)) {
                problem = "--plies takes a number from 1 to " + std::to_string(MAX_GAME_PLY);
                return false;
            }
        } else if (a == "--min-games" && has_value) {
            if (!read_count(args[++i].c_str(), 1, 1 << 30, options.min_games)) {
                problem = "--min-games takes a number from 1 on";
                return false;
            }
        } else if (a == "--polyglot" && has_value) {
            options.polyglot_path = args[++i];
        } else if ((a == "-o" || a == "--output-dir") && has_value) {
            options.output_dir = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            problem = "unknown option or missing value: " + a;
            return false;
        } else {
            files.push_back(a);
        }
    }
    return true;
}

std::string hex_key(std::uint64_t key) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, key);
    return text;
}

std::string coordinate_text(Move m) {
    move_to_text(m);
    return move_text;
}

// Coordinate text of a Polyglot move as stored (castling as e1h1).
std::string polyglot_text(std::uint16_t move) {
    const int to = move & 63, from = (move >> 6) & 63, field = (move >> 12) & 7;
    std::string s = {static_cast<char>('a' + (from & 7)), static_cast<char>('1' + (from >> 3)),
                     static_cast<char>('a' + (to & 7)), static_cast<char>('1' + (to >> 3))};
    if (field >= 1 && field <= 4) s += "nbrq"[field - 1];
    return s;
}

// ---- build

struct BuildStats {
    std::size_t games = 0, used = 0, cut_short = 0, skipped = 0, moves = 0;
};

class GameReader {
  public:
    GameReader(const BuildOptions& options, BookBuilder& builder, BuildStats& stats, const Io& io)
        : options_(options), builder_(builder), stats_(stats), io_(io) {}

    void play(const std::string& file, const PgnGame& game) {
        ++stats_.games;
        for (const std::string& note : game.notes)
            std::fprintf(io_.err, "%s:%d: note: %s: %s\n", file.c_str(), game.first_line,
                         game.name().c_str(), note.c_str());
        if (!game.fen.empty() || !standard_variant(game.variant)) {
            ++stats_.skipped;
            std::fprintf(io_.err,
                         "%s:%d: note: %s starts from a set-up position or is another "
                         "variant; skipped\n",
                         file.c_str(), game.first_line, game.name().c_str());
            return;
        }
        ++stats_.used;
        init_position();
        moves_.clear();
        const std::size_t plies = std::min<std::size_t>(game.moves.size(), options_.plies);
        for (std::size_t ply = 0; ply < plies; ++ply) {
            const PgnMove& text = game.moves[ply];
            Move m = 0;
            std::string detail;
            const SanStatus status = parse_san(text.text.c_str(), m, detail);
            if (status != SanStatus::OK) {
                report(file, game, ply, status, detail);
                break;
            }
            const std::uint64_t poly_key = options_.polyglot_path.empty() ? 0 : polyglot_key();
            moves_.push_back({position.state.key, poly_key, m, position.state.side_to_move});
            make_move(m);
        }
        stats_.moves += moves_.size();
        builder_.add_game(moves_, game.result());
    }

  private:
    static bool standard_variant(const std::string& v) {
        std::string lower;
        for (const char c : v)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return lower.empty() || lower == "standard" || lower == "normal" || lower == "chess";
    }

    void report(const std::string& file, const PgnGame& game, std::size_t ply, SanStatus status,
                const std::string& detail) {
        ++stats_.cut_short;
        const PgnMove& move = game.moves[ply];
        const char* why = status == SanStatus::MALFORMED  ? "is not a move"
                          : status == SanStatus::NO_MATCH ? "matches no legal move"
                                                          : "is ambiguous";
        std::fprintf(io_.err, "%s:%d: error: %s, move %zu%s%s %s%s%s; rest of the game skipped\n",
                     file.c_str(), move.line, game.name().c_str(), ply / 2 + 1,
                     ply % 2 == 0 ? "." : "...", move.text.c_str(), why, detail.empty() ? "" : " (",
                     detail.empty() ? "" : (detail + ")").c_str());
    }

    const BuildOptions& options_;
    BookBuilder& builder_;
    BuildStats& stats_;
    const Io& io_;
    std::vector<GameMove> moves_;
};

bool readable_file(const std::string& path, std::string& problem) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        problem = path + ": no such file";
    else if (!std::filesystem::is_regular_file(status))
        problem = path + ": not a regular file";
    else
        return true;
    return false;
}

int build(const std::vector<std::string>& args, const Io& io) {
    BuildOptions options;
    std::vector<std::string> files;
    std::string problem;
    if (!parse_options(args, options, files, problem)) return usage(io, problem.c_str());
    if (files.empty()) return usage(io, "build needs at least one PGN file");
    for (const std::string& f : files) {
        if (!readable_file(f, problem)) {
            std::fprintf(io.err, "quorvanite-book: %s\n", problem.c_str());
            return 1;
        }
    }
    BookBuilder builder(options);
    BuildStats stats;
    GameReader reader(options, builder, stats, io);
    const std::int64_t start = clock_ms();
    std::int64_t last_progress = start;
    for (const std::string& f : files) {
        std::FILE* file = std::fopen(f.c_str(), "rb");
        if (file == nullptr) {
            std::fprintf(io.err, "quorvanite-book: %s: cannot be opened\n", f.c_str());
            return 1;
        }
        PgnReader pgn(file);
        PgnGame game;
        while (pgn.next_game(game)) {
            reader.play(f, game);
            if (options.quiet || stats.games % 1024 != 0) continue;
            const std::int64_t now = clock_ms();
            if (now - last_progress < 1000) continue;
            last_progress = now;
            std::fprintf(
                io.err, "%zu games read, %zu positions, %.0f moves/s\n", stats.games,
                builder.occurrences(),
                1000.0 * static_cast<double>(stats.moves) / static_cast<double>(now - start));
        }
        std::fclose(file);
    }
    BookCounts counts;
    if (!builder.write(counts, problem)) {
        std::fprintf(io.err, "quorvanite-book: %s\n", problem.c_str());
        return 1;
    }
    const double seconds =
        static_cast<double>(std::max<std::int64_t>(1, clock_ms() - start)) / 1000;
    std::fprintf(io.out,
                 "Games: %zu read from %zu file%s, %zu used (%zu cut short by an error), "
                 "%zu skipped\n",
                 stats.games, files.size(), files.size() == 1 ? "" : "s", stats.used,
                 stats.cut_short, stats.skipped);
    std::fprintf(io.out, "Book: %zu white and %zu black positions, %zu moves, in %s/%s and %s/%s\n",
                 counts.white_positions, counts.black_positions, counts.moves,
                 options.output_dir.c_str(), WHITE_BOOK_NAME, options.output_dir.c_str(),
                 BLACK_BOOK_NAME);
    if (!options.polyglot_path.empty())
        std::fprintf(io.out, "Polyglot book: %zu positions, %zu entries, in %s\n",
                     counts.polyglot_positions, counts.polyglot_entries,
                     options.polyglot_path.c_str());
    std::fprintf(io.out, "Time: %.2f s (%.0f games/s, %.0f moves/s)\n", seconds,
                 static_cast<double>(stats.games) / seconds,
                 static_cast<double>(stats.moves) / seconds);
    return 0;
}

// ---- dump and probe

int dump_own(const std::string& path, const Io& io) {
    std::vector<BookRecord> records;
    std::string problem;
    const bool sound = read_own_book(path, records, problem);
    for (const BookRecord& r : records) {
        std::string line = hex_key(r.key) + " " + std::to_string(r.move_count);
        const int shown = std::clamp(r.move_count, 0, BOOK_MOVE_SLOTS);
        for (int s = 0; s < shown; ++s) line += " " + coordinate_text(r.moves[s]);
        std::fprintf(io.out, "%s\n", line.c_str());
    }
    std::fprintf(io.out, "%zu records\n", records.size());
    if (sound) return 0;
    std::fprintf(io.err, "quorvanite-book: %s: %s\n", path.c_str(), problem.c_str());
    return 1;
}

int dump_polyglot(const std::string& path, const Io& io) {
    std::vector<PolyglotEntry> entries;
    std::string problem;
    const bool sound = read_polyglot_book(path, entries, problem);
    std::size_t positions = 0;
    for (std::size_t i = 0; i < entries.size();) {
        const std::uint64_t key = entries[i].key;
        std::size_t j = i;
        std::string moves;
        for (; j < entries.size() && entries[j].key == key; ++j)
            moves += " " + polyglot_text(entries[j].move) + ":" + std::to_string(entries[j].weight);
        std::fprintf(io.out, "%s %zu%s\n", hex_key(key).c_str(), j - i, moves.c_str());
        ++positions;
        i = j;
    }
    std::fprintf(io.out, "%zu entries, %zu positions\n", entries.size(), positions);
    if (sound) return 0;
    std::fprintf(io.err, "quorvanite-book: %s: %s\n", path.c_str(), problem.c_str());
    return 1;
}

int dump(const std::vector<std::string>& args, const Io& io) {
    if (args.size() != 1) return usage(io, "dump takes one book file");
    return is_polyglot_path(args[0]) ? dump_polyglot(args[0], io) : dump_own(args[0], io);
}

int probe_own(const std::string& path, const Io& io) {
    std::vector<BookRecord> records;
    std::string problem;
    if (!read_own_book(path, records, problem)) {
        std::fprintf(io.err, "quorvanite-book: %s: %s\n", path.c_str(), problem.c_str());
        return 1;
    }
    const std::uint64_t key = position.state.key;
    const auto r = std::find_if(records.begin(), records.end(),
                                [key](const BookRecord& b) { return b.key == key; });
    if (r == records.end()) {
        std::fprintf(io.out, "%s: not in the book\n", hex_key(key).c_str());
        return 0;
    }
    std::fprintf(io.out, "%s: %d moves\n", hex_key(key).c_str(), r->move_count);
    const int total = book_weights[r->move_count - 1];
    for (int s = 0; s < r->move_count; ++s) {
        const int weight = book_weights[s] - (s == 0 ? 0 : book_weights[s - 1]);
        std::fprintf(io.out, "  %-6s %5.1f%%%s\n", coordinate_text(r->moves[s]).c_str(),
                     100.0 * weight / total, is_legal(r->moves[s]) ? "" : "  (not legal here)");
    }
    return 0;
}

int probe_polyglot(const std::string& path, const Io& io) {
    std::vector<PolyglotEntry> entries;
    std::string problem;
    if (!read_polyglot_book(path, entries, problem)) {
        std::fprintf(io.err, "quorvanite-book: %s: %s\n", path.c_str(), problem.c_str());
        return 1;
    }
    const std::uint64_t key = polyglot_key();
    const auto range = std::equal_range(
        entries.begin(), entries.end(), PolyglotEntry{key, 0, 0, 0},
        [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.key < b.key; });
    if (range.first == range.second) {
        std::fprintf(io.out, "%s: not in the book\n", hex_key(key).c_str());
        return 0;
    }
    std::uint64_t total = 0;
    for (auto e = range.first; e != range.second; ++e) total += e->weight;
    std::fprintf(io.out, "%s: %zu moves\n", hex_key(key).c_str(),
                 static_cast<std::size_t>(range.second - range.first));
    for (auto e = range.first; e != range.second; ++e) {
        const Move m = move_from_polyglot(e->move);
        std::fprintf(io.out, "  %-6s %6u %5.1f%%%s\n",
                     (m != 0 ? coordinate_text(m) : polyglot_text(e->move)).c_str(), e->weight,
                     total == 0 ? 0.0 : 100.0 * e->weight / static_cast<double>(total),
                     m != 0 ? "" : "  (not legal here)");
    }
    return 0;
}

int probe(const std::vector<std::string>& args, const Io& io) {
    if (args.size() != 2) return usage(io, "probe takes a book file and a FEN in quotes");
    if (args[1] == "startpos") {
        init_position();
    } else if (!set_position_from_fen(args[1].c_str())) {
        std::fprintf(io.err, "quorvanite-book: not a position: %s\n", args[1].c_str());
        return 1;
    }
    return is_polyglot_path(args[0]) ? probe_polyglot(args[0], io) : probe_own(args[0], io);
}

// ---- convert

// Walks every line of a Polyglot book from the initial position and keeps, for
// each position within the horizon, its eight weightiest moves.
class Converter {
  public:
    Converter(const std::vector<PolyglotEntry>& entries, int plies)
        : entries_(entries), plies_(plies) {}

    void walk(int ply) {
        const std::uint64_t key = position.state.key;
        const auto seen = shallowest_.find(key);
        if (seen != shallowest_.end() && seen->second <= ply) return;
        shallowest_[key] = ply;
        if (ply >= plies_) return;
        BookChoice choices[MOVE_LIST_CAPACITY];
        const int count = polyglot_choices(entries_.data(), entries_.size(), choices);
        std::stable_sort(choices, choices + count, [](const BookChoice& a, const BookChoice& b) {
            return ranks_before(a.weight, a.move, b.weight, b.move);
        });
        BookRecord r{};
        r.key = key;
        for (int i = 0; i < count && r.move_count < BOOK_MOVE_SLOTS; ++i)
            if (choices[i].weight > 0) r.moves[r.move_count++] = choices[i].move;
        if (r.move_count > 0) (position.state.side_to_move == WHITE ? white_ : black_)[key] = r;
        // Every book move leads on, also those beyond the eighth: an opponent may play them.
        for (int i = 0; i < count; ++i) {
            make_move(choices[i].move);
            walk(ply + 1);
            unmake_move();
        }
    }

    static std::vector<BookRecord> sorted(
        const std::unordered_map<std::uint64_t, BookRecord>& map) {
        std::vector<BookRecord> records;
        records.reserve(map.size());
        for (const auto& kv : map) records.push_back(kv.second);
        std::sort(records.begin(), records.end(),
                  [](const BookRecord& a, const BookRecord& b) { return a.key > b.key; });
        return records;
    }
    std::vector<BookRecord> white() const { return sorted(white_); }
    std::vector<BookRecord> black() const { return sorted(black_); }

  private:
    const std::vector<PolyglotEntry>& entries_;
    int plies_;
    std::unordered_map<std::uint64_t, int> shallowest_;
    std::unordered_map<std::uint64_t, BookRecord> white_, black_;
};

int convert(const std::vector<std::string>& args, const Io& io) {
    BuildOptions options;
    std::vector<std::string> files;
    std::string problem;
    if (!parse_options(args, options, files, problem)) return usage(io, problem.c_str());
    if (files.size() != 1) return usage(io, "convert takes one Polyglot book");
    if (options.winners_only || options.min_games != 1 || !options.polyglot_path.empty())
        return usage(io, "convert takes only --plies, -o and --quiet");
    std::vector<PolyglotEntry> entries;
    if (!read_polyglot_book(files[0], entries, problem)) {
        std::fprintf(io.err, "quorvanite-book: %s: %s\n", files[0].c_str(), problem.c_str());
        return 1;
    }
    init_position();
    Converter converter(entries, options.plies);
    converter.walk(0);
    const std::vector<BookRecord> white = converter.white(), black = converter.black();
    const std::string dir = options.output_dir;
    if (!write_file(dir + "/" + WHITE_BOOK_NAME, encode_own_book(white), problem) ||
        !write_file(dir + "/" + BLACK_BOOK_NAME, encode_own_book(black), problem)) {
        std::fprintf(io.err, "quorvanite-book: %s\n", problem.c_str());
        return 1;
    }
    std::size_t moves = 0;
    for (const auto* side : {&white, &black})
        for (const BookRecord& r : *side) moves += static_cast<std::size_t>(r.move_count);
    std::fprintf(io.out,
                 "Converted %zu Polyglot entries: %zu white and %zu black positions, %zu moves, "
                 "in %s/%s and %s/%s\n",
                 entries.size(), white.size(), black.size(), moves, dir.c_str(), WHITE_BOOK_NAME,
                 dir.c_str(), BLACK_BOOK_NAME);
    return 0;
}

int help(const std::vector<std::string>&, const Io& io) {
    std::fputs(USAGE, io.out);
    return 0;
}

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args, const Io& io);
};
constexpr Command COMMANDS[] = {
    {"build", build},     {"dump", dump}, {"probe", probe},
    {"convert", convert}, {"help", help}, {"--help", help},
};

}  // namespace

int run_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const Io io{out, err};
    if (argc < 1) return usage(io, nullptr);
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const Command& c : COMMANDS)
        if (std::strcmp(argv[0], c.name) == 0) return c.run(args, io);
    return usage(io, ("unknown command: " + std::string(argv[0])).c_str());
}

}  // namespace book_tool
