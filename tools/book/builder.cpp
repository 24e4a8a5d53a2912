// Counting the moves of many games per position, ranking them and writing
// both book formats.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/book/book_tool.h"

namespace book_tool {
namespace {

// Coordinate text order ("b1c3" < "e2e4" < "e7e8" < "e7e8b" < "e7e8n" < "e7e8q")
// as one number: origin file and rank, destination file and rank, promotion.
int text_order(int from64, int to64, int promotion_letter_rank) {
    return ((((from64 & 7) * 8 + (from64 >> 3)) * 8 + (to64 & 7)) * 8 + (to64 >> 3)) * 8 +
           promotion_letter_rank;
}

// Promotion letters b, n, q, r in alphabetical order, from a piece kind 2..5
// (knight, bishop, rook, queen).
constexpr int LETTER_RANK_OF_KIND[6] = {0, 0, 2, 1, 4, 3};

int text_order(Move m) {
    const int promotion = move_promotion(m);
    const int kind = promotion > W_KING ? promotion - 6 : promotion;
    return text_order(square64[move_from(m)], square64[move_to(m)], LETTER_RANK_OF_KIND[kind]);
}

// Polyglot's promotion field 1..4 is knight, bishop, rook, queen.
int text_order(std::uint16_t polyglot) {
    const int field = (polyglot >> 12) & 7;
    return text_order((polyglot >> 6) & 63, polyglot & 63,
                      field >= 1 && field <= 4 ? LETTER_RANK_OF_KIND[field + 1] : 0);
}

void put_little_endian(std::string& bytes, std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void put_big_endian(std::string& bytes, std::uint64_t v, int size) {
    for (int i = size - 1; i >= 0; --i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void append_record(std::string& bytes, const BookRecord& r) {
    put_little_endian(bytes, r.key, 8);
    put_little_endian(bytes, static_cast<std::uint32_t>(r.move_count), 4);
    for (const std::uint32_t m : r.moves) put_little_endian(bytes, m, 4);
    put_little_endian(bytes, r.reserved, 4);
}

template <typename T>
void push_unique(std::vector<T>& list, const T& item) {
    for (const T& seen : list)
        if (seen.key == item.key && seen.move == item.move) return;
    list.push_back(item);
}

template <typename T>
bool by_key_and_move(const T& a, const T& b) {
    return a.key != b.key ? a.key < b.key : a.move < b.move;
}

struct Counted {
    std::uint32_t count;
    Move move;
};

}  // namespace

bool ranks_before(std::uint32_t count_a, Move a, std::uint32_t count_b, Move b) {
    if (count_a != count_b) return count_a > count_b;
    return text_order(a) < text_order(b);
}

void BookBuilder::add_game(const std::vector<GameMove>& moves, GameResult result) {
    game_own_.clear();
    game_poly_.clear();
    for (const GameMove& m : moves) {
        if (options_.winners_only) {
            const bool won = (result == GameResult::WHITE_WINS && m.side == WHITE) ||
                             (result == GameResult::BLACK_WINS && m.side == BLACK);
            if (!won) continue;
        }
        push_unique(game_own_, Occurrence{m.key, m.move, m.side});
        if (!options_.polyglot_path.empty())
            push_unique(game_poly_, PolyOccurrence{m.poly_key, polyglot_move(m.move)});
    }
    own_.insert(own_.end(), game_own_.begin(), game_own_.end());
    poly_.insert(poly_.end(), game_poly_.begin(), game_poly_.end());
}

// Calls emit(record, side) for every position of sorted occurrences, keys
// descending (the files' order).
template <typename Emit>
void visit_records(const std::vector<BookBuilder::Occurrence>& sorted, int min_games, Emit emit) {
    std::vector<Counted> moves;
    for (std::size_t end = sorted.size(); end > 0;) {
        const std::uint64_t key = sorted[end - 1].key;
        const std::uint8_t side = sorted[end - 1].side;
        moves.clear();
        while (end > 0 && sorted[end - 1].key == key) {
            std::uint32_t count = 0;
            const Move move = sorted[end - 1].move;
            for (; end > 0 && sorted[end - 1].key == key && sorted[end - 1].move == move; --end)
                ++count;
            if (count >= static_cast<std::uint32_t>(min_games)) moves.push_back({count, move});
        }
        if (moves.empty()) continue;
        std::sort(moves.begin(), moves.end(), [](const Counted& a, const Counted& b) {
            return ranks_before(a.count, a.move, b.count, b.move);
        });
        BookRecord r{};
        r.key = key;
        r.move_count =
            static_cast<std::int32_t>(std::min<std::size_t>(moves.size(), BOOK_MOVE_SLOTS));
        for (int s = 0; s < r.move_count; ++s) r.moves[s] = moves[static_cast<std::size_t>(s)].move;
        emit(r, side);
    }
}

void BookBuilder::records(std::vector<BookRecord>& white, std::vector<BookRecord>& black) const {
    white.clear();
    black.clear();
    std::vector<Occurrence> sorted(own_);
    std::sort(sorted.begin(), sorted.end(), by_key_and_move<Occurrence>);
    visit_records(sorted, options_.min_games, [&](const BookRecord& r, std::uint8_t side) {
        (side == WHITE ? white : black).push_back(r);
    });
}

std::vector<PolyglotEntry> BookBuilder::polyglot_entries() const {
    std::vector<PolyOccurrence> sorted(poly_);
    std::sort(sorted.begin(), sorted.end(), by_key_and_move<PolyOccurrence>);
    std::vector<PolyglotEntry> entries, position;
    for (std::size_t i = 0; i < sorted.size();) {
        const std::uint64_t key = sorted[i].key;
        position.clear();
        std::uint32_t most = 0;
        std::vector<std::uint32_t> counts;
        for (; i < sorted.size() && sorted[i].key == key;) {
            std::uint32_t count = 0;
            const std::uint16_t move = sorted[i].move;
            for (; i < sorted.size() && sorted[i].key == key && sorted[i].move == move; ++i)
                ++count;
            if (count < static_cast<std::uint32_t>(options_.min_games)) continue;
            position.push_back({key, move, 0, 0});
            counts.push_back(count);
            most = std::max(most, count);
        }
        // Weights are the counts, scaled down together where one passes 16 bits.
        for (std::size_t k = 0; k < position.size(); ++k) {
            const std::uint64_t w =
                most > 0xFFFF ? std::max<std::uint64_t>(1, std::uint64_t{counts[k]} * 0xFFFF / most)
                              : counts[k];
            position[k].weight = static_cast<std::uint16_t>(w);
        }
        std::sort(position.begin(), position.end(),
                  [](const PolyglotEntry& a, const PolyglotEntry& b) {
                      if (a.weight != b.weight) return a.weight > b.weight;
                      return text_order(a.move) < text_order(b.move);
                  });
        entries.insert(entries.end(), position.begin(), position.end());
    }
    return entries;
}

bool BookBuilder::write(BookCounts& counts, std::string& problem) {
    counts = BookCounts{};
    const std::string dir = options_.output_dir.empty() ? "." : options_.output_dir;
    // Sorted in place and written as they come: a build of many games holds
    // its occurrences once, not its records as well.
    std::sort(own_.begin(), own_.end(), by_key_and_move<Occurrence>);
    OutputFile white(dir + "/" + WHITE_BOOK_NAME), black(dir + "/" + BLACK_BOOK_NAME);
    std::string white_bytes, black_bytes;
    visit_records(own_, options_.min_games, [&](const BookRecord& r, std::uint8_t side) {
        std::string& bytes = side == WHITE ? white_bytes : black_bytes;
        bytes.clear();
        append_record(bytes, r);
        (side == WHITE ? white : black).append(bytes);
        ++(side == WHITE ? counts.white_positions : counts.black_positions);
        counts.moves += static_cast<std::size_t>(r.move_count);
    });
    if (!white.commit(problem) || !black.commit(problem)) return false;
    if (options_.polyglot_path.empty()) return true;
    const std::vector<PolyglotEntry> entries = polyglot_entries();
    counts.polyglot_entries = entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i)
        counts.polyglot_positions += i == 0 || entries[i].key != entries[i - 1].key;
    return write_file(options_.polyglot_path, encode_polyglot_book(entries), problem);
}

std::string encode_own_book(const std::vector<BookRecord>& records) {
    std::string bytes;
    bytes.reserve(records.size() * BOOK_RECORD_SIZE);
    for (const BookRecord& r : records) append_record(bytes, r);
    return bytes;
}

std::string encode_polyglot_book(const std::vector<PolyglotEntry>& entries) {
    std::string bytes;
    bytes.reserve(entries.size() * POLYGLOT_ENTRY_SIZE);
    for (const PolyglotEntry& e : entries) {
        put_big_endian(bytes, e.key, 8);
        put_big_endian(bytes, e.move, 2);
        put_big_endian(bytes, e.weight, 2);
        put_big_endian(bytes, e.learn, 4);
    }
    return bytes;
}

OutputFile::OutputFile(const std::string& path)
    : path_(path), temporary_(path + ".tmp"), file_(std::fopen(temporary_.c_str(), "wb")) {}

OutputFile::~OutputFile() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    std::remove(temporary_.c_str());
}

void OutputFile::append(const std::string& bytes) {
    buffer_ += bytes;
    if (buffer_.size() >= (1u << 16)) flush();
}

void OutputFile::flush() {
    if (file_ != nullptr && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        failed_ = true;
    buffer_.clear();
}

bool OutputFile::commit(std::string& problem) {
    if (file_ == nullptr) {
        problem = "cannot write " + temporary_;
        return false;
    }
    flush();
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed || failed_) {
        std::remove(temporary_.c_str());
        problem = "cannot write " + temporary_;
        return false;
    }
    // std::filesystem::rename replaces an existing file on Windows too (std::rename does not).
    std::error_code error;
    std::filesystem::rename(temporary_, path_, error);
    if (error) {
        std::remove(temporary_.c_str());
        problem = "cannot rename " + temporary_ + " to " + path_;
        return false;
    }
    return true;
}

bool write_file(const std::string& path, const std::string& bytes, std::string& problem) {
    OutputFile file(path);
    file.append(bytes);
    return file.commit(problem);
}

bool is_polyglot_path(const std::string& path) {
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".bin") == 0;
}

}  // namespace book_tool
