// The configuration file: the size of the transposition table (which the
// interface may also set with "memory"), the books, the endgame tablebases and the
// search threads.
//   <quorvanite> <hash>256</hash> <book>book.bin</book> <ownbook>false</ownbook>
//                <syzygy>/usr/share/syzygy</syzygy> <syzygyprobedepth>4</syzygyprobedepth>
//                <syzygy50moverule>false</syzygy50moverule> <threads>2</threads> </quorvanite>
#include "frontend/config.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "book/book.h"
#include "platform/platform.h"
#include "search/search.h"

namespace {

constexpr const char* CONFIG_FILE_NAME = "Quorvanite.cfg";
constexpr int TEXT_SIZE = 128;   // tag texts and values; 128 characters or more end the reading
constexpr int PATH_SIZE = 4096;  // the book's and the tablebases' paths may be longer

// Reads characters up to the terminator into text; false at end of file or
// when the text grows to size characters.
bool read_until(std::FILE* file, int terminator, char* text, int size = TEXT_SIZE) {
    int length = 0;
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) return false;
        if (c == terminator) break;
        if (length == size - 1) return false;
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

bool read_value_until_tag(std::FILE* file, char* value, int size, const char* closing_tag) {
    char tag[TEXT_SIZE];
    if (!read_until(file, '<', value, size)) return false;
    if (!read_until(file, '>', tag)) return false;
    return std::strcmp(tag, closing_tag) == 0;
}

// The value as the C library's string-to-long reads it, within 32 bits.
long value_as_number(const char* value) {
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

namespace {

void set_hash(char* value) {
    tt_entry_count = tt_entries_for_megabytes(value_as_number(value));
}

// 1 to MAX_SEARCH_THREADS; below 1 (and anything unreadable) gives 1.
void set_threads(char* value) {
    set_search_threads(static_cast<int>(value_as_number(value)));
}

// The value without the white space (line breaks too) around it.
char* trimmed(char* value) {
    while (std::isspace(static_cast<unsigned char>(*value))) ++value;
    char* end = value + std::strlen(value);
    while (end > value && std::isspace(static_cast<unsigned char>(end[-1]))) --end;
    *end = '\0';
    return value;
}

void set_book(char* value) {
    book_settings.polyglot_path = trimmed(value);
}

// true/on or false/off; any other value leaves the setting as it was.
void read_switch(char* value, bool& setting) {
    const char* v = trimmed(value);
    if (std::strcmp(v, "true") == 0 || std::strcmp(v, "on") == 0) setting = true;
    if (std::strcmp(v, "false") == 0 || std::strcmp(v, "off") == 0) setting = false;
}

void set_own_book(char* value) {
    read_switch(value, book_settings.enabled);
}

void set_syzygy_path(char* value) {
    configured_syzygy_path = trimmed(value);
}

// Plies, held to the range the interfaces offer; anything unreadable leaves it as it was.
void set_syzygy_probe_depth(char* value) {
    char* end = nullptr;
    const long plies = std::strtol(value, &end, 10);
    if (end == value) return;
    syzygy_probe_depth =
        static_cast<int>(std::clamp<long>(plies, MIN_SYZYGY_PROBE_DEPTH, MAX_SYZYGY_PROBE_DEPTH));
}

void set_syzygy_fifty_move_rule(char* value) {
    read_switch(value, syzygy_fifty_move_rule);
}

// The elements inside <quorvanite>; a wrong closing tag ends the reading.
struct Element {
    const char* tag;
    const char* closing_tag;
    int value_size;
    void (*apply)(char* value);
};
constexpr Element ELEMENTS[] = {
    {"hash", "/hash", TEXT_SIZE, set_hash},
    {"book", "/book", PATH_SIZE, set_book},
    {"ownbook", "/ownbook", TEXT_SIZE, set_own_book},
    {"syzygy", "/syzygy", PATH_SIZE, set_syzygy_path},
    {"syzygyprobedepth", "/syzygyprobedepth", TEXT_SIZE, set_syzygy_probe_depth},
    {"syzygy50moverule", "/syzygy50moverule", TEXT_SIZE, set_syzygy_fifty_move_rule},
    {"threads", "/threads", TEXT_SIZE, set_threads},
};

const Element* element_named(const char* tag) {
    for (const Element& e : ELEMENTS)
        if (std::strcmp(tag, e.tag) == 0) return &e;
    return nullptr;
}

// The working directory's file, or else the one beside the executable (where a
// Windows interface's engine folder keeps it when it starts the engine elsewhere).
std::FILE* open_config() {
    std::FILE* file = std::fopen(CONFIG_FILE_NAME, "r");
    const std::string beside = executable_directory();
    if (file == nullptr && !beside.empty())
        file = std::fopen((beside + "/" + CONFIG_FILE_NAME).c_str(), "r");
    return file;
}

}  // namespace

std::string configured_syzygy_path;

void read_config() {
    std::FILE* file = open_config();
    if (file == nullptr) return;
    enum class State { OUTSIDE, INSIDE, VALUE, DONE };
    State state = State::OUTSIDE;
    char text[TEXT_SIZE];
    char value[PATH_SIZE];
    const Element* element = nullptr;
    while (state != State::DONE) {
        if (state == State::VALUE) {
            if (read_value_until_tag(file, value, element->value_size, element->closing_tag)) {
                element->apply(value);
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
        } else if ((element = element_named(text)) != nullptr) {
            state = State::VALUE;
        } else if (std::strcmp(text, "/quorvanite") == 0) {
            state = State::DONE;
        }
    }
    std::fclose(file);
}
