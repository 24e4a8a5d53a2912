// The one line reader of the program and the way out of it.
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "frontend/frontend.h"

char input_line[INPUT_LINE_SIZE];

namespace {
std::FILE* input_stream = nullptr;  // nullptr: standard input
bool input_closed = false;          // sticky once the stream has ended
}  // namespace

void set_input_stream(std::FILE* stream) {
    input_stream = stream;
    input_closed = false;
}

bool input_ended() {
    return input_closed;
}

bool read_line() {
    std::FILE* in = input_stream != nullptr ? input_stream : stdin;
    int length = 0;
    if (input_closed) {
        input_line[0] = '\0';
        return false;
    }
    for (;;) {
        const int c = std::getc(in);
        if (c == EOF) {
            // A last line without its newline still counts as a line.
            if (length == 0) {
                input_closed = true;
                input_line[0] = '\0';
                return false;
            }
            break;
        }
        if (c == '\n') break;
        // The rest of an over-long line is dropped, never stored.
        if (length < INPUT_LINE_SIZE - 1) input_line[length++] = static_cast<char>(c);
    }
    // Interfaces on pipes may end their lines with CR LF.
    if (length > 0 && input_line[length - 1] == '\r') --length;
    input_line[length] = '\0';
    return true;
}

void quit_engine() {
    std::exit(0);
}

bool starts_with(const char* text, const char* prefix) {
    while (*prefix != '\0')
        if (*text++ != *prefix++) return false;
    return true;
}

const char* text_at(const char* text, int offset) {
    for (int i = 0; i < offset && *text != '\0'; ++i) ++text;
    return text;
}

bool parse_int(const char*& cursor, int& value) {
    const char* p = cursor;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long magnitude = 0;
    constexpr long long CAP = 1LL << 40;  // far beyond the int range, far from overflow
    for (; *p >= '0' && *p <= '9'; ++p)
        if (magnitude < CAP) magnitude = magnitude * 10 + (*p - '0');
    long long v = negative ? -magnitude : magnitude;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    value = static_cast<int>(v);
    cursor = p;
    return true;
}
