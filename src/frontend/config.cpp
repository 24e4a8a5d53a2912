// The configuration file: the size of the transposition table (which the
// interface may also set with "memory"), the books, the endgame tablebases, the
// search threads and the clock's margin, each set through the option that the
// protocols set too.
//   <quorvanite> <hash>256</hash> <book>book.bin</book> <ownbook>false</ownbook>
//                <syzygy>/usr/share/syzygy</syzygy> <syzygyprobedepth>4</syzygyprobedepth>
//                <syzygy50moverule>false</syzygy50moverule> <threads>2</threads>
//                <moveoverhead>100</moveoverhead> </quorvanite>
#include "frontend/config.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

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

// ---- How the file reads a value: into the text the option's setter takes,
// or false when the setting stays as it was.

// A number as value_as_number reads it.
bool file_number(char* value, std::string& text) {
    text = std::to_string(value_as_number(value));
    return true;
}

// A table size: the largest power of two from 32 to 1024 megabytes not above the number.
bool file_hash_size(char* value, std::string& text) {
    const long megabytes = value_as_number(value);
    long size = 32;
    while (size < 1024 && megabytes >= 2 * size) size *= 2;
    text = std::to_string(size);
    return true;
}

// A number that begins the value; anything unreadable leaves the setting.
bool file_leading_number(char* value, std::string& text) {
    char* end = nullptr;
    std::strtol(value, &end, 10);
    return end != value && file_number(value, text);
}

// The value without the white space (line breaks too) around it.
bool file_text(char* value, std::string& text) {
    while (std::isspace(static_cast<unsigned char>(*value))) ++value;
    char* end = value + std::strlen(value);
    while (end > value && std::isspace(static_cast<unsigned char>(end[-1]))) --end;
    text.assign(value, end);
    return true;
}

// true/on or false/off; any other value leaves the setting.
bool file_switch(char* value, std::string& text) {
    file_text(value, text);
    if (text == "on") text = "true";
    if (text == "off") text = "false";
    return text == "true" || text == "false";
}

// The elements inside <quorvanite>, each the option it sets; a wrong closing
// tag ends the reading.
struct Element {
    const char* tag;
    const char* closing_tag;
    int value_size;
    bool (*read)(char* value, std::string& text);
    const EngineOption& option;
};
const Element ELEMENTS[] = {
    {"hash", "/hash", TEXT_SIZE, file_hash_size, HASH_OPTION},
    {"book", "/book", PATH_SIZE, file_text, BOOK_FILE_OPTION},
    {"ownbook", "/ownbook", TEXT_SIZE, file_switch, OWN_BOOK_OPTION},
    {"syzygy", "/syzygy", PATH_SIZE, file_text, SYZYGY_PATH_OPTION},
    {"syzygyprobedepth", "/syzygyprobedepth", TEXT_SIZE, file_leading_number,
     SYZYGY_PROBE_DEPTH_OPTION},
    {"syzygy50moverule", "/syzygy50moverule", TEXT_SIZE, file_switch, SYZYGY_50_MOVE_RULE_OPTION},
    {"threads", "/threads", TEXT_SIZE, file_number, THREADS_OPTION},
    {"moveoverhead", "/moveoverhead", TEXT_SIZE, file_number, MOVE_OVERHEAD_OPTION},
};

// The element's value through its option's setter, as start-up sets options.
void apply(const Element& element, char* value) {
    std::string text;
    if (element.read(value, text)) set_option_at_start_up(element.option, text);
}

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
                apply(*element, value);
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
