// The configuration file: only the size of the transposition table, which
// the interface may also set ("memory").
//   <quorvanite> <hash>256</hash> </quorvanite>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/frontend.h"
#include "platform/platform.h"
#include "search/search.h"

namespace {

constexpr const char* CONFIG_FILE_NAME = "Quorvanite.cfg";
constexpr int TEXT_SIZE = 128;  // tag texts and the value; 128 characters or more end the reading

// Reads characters up to the terminator into text; false at end of file or
// when the text grows to TEXT_SIZE characters.
bool read_until(std::FILE* file, int terminator, char* text) {
    int length = 0;
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) return false;
        if (c == terminator) break;
        if (length == TEXT_SIZE - 1) return false;
        text[length++] = static_cast<char>(c);
    }
    text[length] = '\0';
    return true;
}

bool read_tag(std::FILE* file, char* tag) {
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) return false;
        if (c == '<') break;
    }
    return read_until(file, '>', tag);
}

bool read_value_until_tag(std::FILE* file, char* value) {
    char tag[TEXT_SIZE];
    if (!read_until(file, '<', value)) return false;
    if (!read_until(file, '>', tag)) return false;
    return std::strcmp(tag, "/hash") == 0;
}

// The value as the C library's string-to-long reads it, within 32 bits.
long value_in_megabytes(const char* value) {
    long v = std::strtol(value, nullptr, 10);
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    return v;
}

}  // namespace

std::uint32_t tt_entries_for_megabytes(long megabytes) {
    constexpr std::uint32_t ENTRIES_PER_MEGABYTE = 1048576 / sizeof(TtEntry);
    long size = 32;
    while (size < 1024 && megabytes >= 2 * size) size *= 2;
    return static_cast<std::uint32_t>(size) * ENTRIES_PER_MEGABYTE;
}

bool resize_transposition_table(long megabytes) {
    // The tables are given afresh the way start-up gives them.
    const std::uint32_t old_count = tt_entry_count;
    tt_entry_count = tt_entries_for_megabytes(megabytes);
    if (allocate_tables()) return true;
    tt_entry_count = old_count;
    if (allocate_tables()) return false;
    print_line("Error: not enough memory\n");  // as at start-up: nothing to search with
    std::exit(1);
}

void read_config() {
    std::FILE* file = std::fopen(CONFIG_FILE_NAME, "r");
    if (file == nullptr) return;
    enum class State { OUTSIDE, INSIDE, VALUE, DONE };
    State state = State::OUTSIDE;
    char text[TEXT_SIZE];
    while (state != State::DONE) {
        if (state == State::VALUE) {
            if (read_value_until_tag(file, text)) {
                tt_entry_count = tt_entries_for_megabytes(value_in_megabytes(text));
                state = State::INSIDE;
            } else {
                state = State::DONE;
            }
            continue;
        }
        if (!read_tag(file, text)) {
            state = State::DONE;
        } else if (state == State::OUTSIDE) {
            if (std::strcmp(text, "quorvanite") == 0) state = State::INSIDE;
        } else if (std::strcmp(text, "hash") == 0) {
            state = State::VALUE;
        } else if (std::strcmp(text, "/quorvanite") == 0) {
            state = State::DONE;
        }
    }
    std::fclose(file);
}
