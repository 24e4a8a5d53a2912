// Reading book files: only regular files, whole records by bytes, and a file
// that is cut short, out of order or holds impossible counts is refused.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>

#include "book/book.h"

namespace {

constexpr std::size_t RECORDS_PER_READ = 1024;

std::uint64_t little_endian(const unsigned char* bytes, int size) {
    std::uint64_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | bytes[i];
    return v;
}

std::uint64_t big_endian(const unsigned char* bytes, int size) {
    std::uint64_t v = 0;
    for (int i = 0; i < size; ++i) v = v << 8 | bytes[i];
    return v;
}

BookRecord decode_record(const unsigned char* bytes) {
    BookRecord r;
    r.key = little_endian(bytes, 8);
    r.move_count =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(little_endian(bytes + 8, 4)));
    for (int i = 0; i < BOOK_MOVE_SLOTS; ++i)
        r.moves[i] = static_cast<std::uint32_t>(little_endian(bytes + 12 + 4 * i, 4));
    r.reserved = static_cast<std::uint32_t>(little_endian(bytes + 44, 4));
    return r;
}

PolyglotEntry decode_entry(const unsigned char* bytes) {
    PolyglotEntry e;
    e.key = big_endian(bytes, 8);
    e.move = static_cast<std::uint16_t>(big_endian(bytes + 8, 2));
    e.weight = static_cast<std::uint16_t>(big_endian(bytes + 10, 2));
    e.learn = static_cast<std::uint32_t>(big_endian(bytes + 12, 4));
    return e;
}

// Reads the whole records of a regular file into out, decoding each; false
// with the reason when the file cannot be read whole. A directory or a device
// is never opened, and nothing is kept beyond what was read.
template <typename Record, typename Decode>
bool read_records(const std::string& path, int record_size, std::size_t max_records,
                  std::vector<Record>& out, std::string& problem, Decode decode) {
    out.clear();
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        problem = "no such file";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        problem = "not a regular file";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        problem = "its size cannot be read";
        return false;
    }
    const std::uintmax_t whole = size / static_cast<std::uintmax_t>(record_size);
    if (whole > max_records) {
        problem = "too large (" + std::to_string(size) + " bytes)";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        problem = "cannot be opened";
        return false;
    }
    bool read_whole = true;
    try {
        out.reserve(static_cast<std::size_t>(whole));
        std::vector<unsigned char> chunk(RECORDS_PER_READ * static_cast<std::size_t>(record_size));
        while (out.size() < whole) {
            const std::size_t want = std::min<std::size_t>(
                RECORDS_PER_READ, static_cast<std::size_t>(whole) - out.size());
            const std::size_t got =
                std::fread(chunk.data(), static_cast<std::size_t>(record_size), want, file);
            for (std::size_t i = 0; i < got; ++i)
                out.push_back(decode(chunk.data() + i * static_cast<std::size_t>(record_size)));
            if (got < want) {
                read_whole = false;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        out.clear();
        out.shrink_to_fit();
        problem = "not enough memory";
        return false;
    }
    std::fclose(file);
    if (!read_whole) {
        problem = "only " + std::to_string(out.size()) + " of " + std::to_string(whole) +
                  " records could be read";
        return false;
    }
    if (size % static_cast<std::uintmax_t>(record_size) != 0) {
        problem = "its size (" + std::to_string(size) + " bytes) is not a multiple of " +
                  std::to_string(record_size) + " bytes";
        return false;
    }
    return true;
}

}  // namespace

bool book_file_present(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::status(path, error));
}

bool read_own_book(const std::string& path, std::vector<BookRecord>& records,
                   std::string& problem) {
    constexpr std::size_t MAX_RECORDS = INT32_MAX;  // counts are 32-bit
    if (!read_records(path, BOOK_RECORD_SIZE, MAX_RECORDS, records, problem, decode_record))
        return false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BookRecord& r = records[i];
        if (r.move_count < 1 || r.move_count > BOOK_MOVE_SLOTS) {
            problem = "record " + std::to_string(i + 1) + " has " + std::to_string(r.move_count) +
                      " moves (1 to 8 allowed)";
            return false;
        }
        // Strictly descending: the lookup stops at the first smaller key, and
        // a second record of the same key could never be reached.
        if (i > 0 && r.key >= records[i - 1].key) {
            problem = "keys out of order at record " + std::to_string(i + 1);
            return false;
        }
    }
    return true;
}

bool read_polyglot_book(const std::string& path, std::vector<PolyglotEntry>& entries,
                        std::string& problem) {
    constexpr std::size_t MAX_ENTRIES = SIZE_MAX / sizeof(PolyglotEntry);
    if (!read_records(path, POLYGLOT_ENTRY_SIZE, MAX_ENTRIES, entries, problem, decode_entry))
        return false;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].key < entries[i - 1].key) {
            problem = "keys out of order at entry " + std::to_string(i + 1);
            return false;
        }
    }
    return true;
}
