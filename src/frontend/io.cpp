// The one line reader of the program and the reader thread that feeds it
// while a protocol is spoken.
#include "frontend/io.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/input.h"
#include "platform/platform.h"

char input_line[LONG_LINE_SIZE];
std::int64_t line_arrival_ms = 0;

namespace {

std::atomic<int> line_limit{INPUT_LINE_SIZE - 1};  // characters kept of a line

bool input_closed = false;  // sticky once read_line has met the end (driver thread)

enum class LineRead { LINE, END, WOKEN };

// One line of the input into line (LONG_LINE_SIZE bytes): the newline and a
// carriage return before it dropped, at most line_limit characters kept.
LineRead read_raw_line(char* line) {
    const int limit = line_limit.load(std::memory_order_relaxed);
    int length = 0;
    for (;;) {
        const int c = next_input_char();
        if (c == INPUT_WOKEN) {
            line[0] = '\0';
            return LineRead::WOKEN;
        }
        if (c == INPUT_END) {
            // A last line without its newline still counts as a line.
            if (length == 0) {
                line[0] = '\0';
                return LineRead::END;
            }
            break;
        }
        if (c == '\n') break;
        // The rest of an over-long line is dropped, never stored.
        if (length < limit) line[length++] = static_cast<char>(c);
    }
    // Interfaces on pipes may end their lines with CR LF.
    if (length > 0 && line[length - 1] == '\r') --length;
    line[length] = '\0';
    return LineRead::LINE;
}

// ---- The reader thread and its queue.

struct QueuedLine {
    char text[LONG_LINE_SIZE];
    std::int64_t arrival_ms;  // clock_ms() when it was read
};

struct LineQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QueuedLine> lines;  // read, not yet taken by read_line
    bool running = false;          // the reader thread reads
    bool ended = false;            // it has met the end of input (or was woken)
    Listener listener = nullptr;   // hears each line first while set
    std::thread thread;            // the reader; started and joined by the driver thread
};

// Never destroyed: a reader of a program that ends without stopping it may
// still be waiting for input.
LineQueue& queue() {
    static LineQueue* const q = new LineQueue;
    return *q;
}

bool reader_in_use = false;  // read_line takes its lines from the queue (driver thread only)

// Offers a line to the listener (the queue's lock held); true when the line
// is to wait in the queue for the driver.
bool hear(LineQueue& q, const QueuedLine& line) {
    const Heard heard = q.listener(line.text, line.arrival_ms);
    if (heard == Heard::ENDS_HELD || heard == Heard::ENDS_HANDLED) q.listener = nullptr;
    return heard == Heard::HELD || heard == Heard::ENDS_HELD;
}

void end_of_input(LineQueue& q) {
    q.ended = true;
    if (q.listener != nullptr) q.listener(nullptr, clock_ms());
    q.listener = nullptr;
}

void reader_main() {
    LineQueue& q = queue();
    QueuedLine line;
    for (;;) {
        const LineRead got = read_raw_line(line.text);
        line.arrival_ms = clock_ms();
        const std::lock_guard<std::mutex> lock(q.mutex);
        if (got != LineRead::LINE) {
            end_of_input(q);
            q.running = false;
            q.changed.notify_all();
            return;
        }
        if (q.listener == nullptr || hear(q, line)) q.lines.push_back(line);
        q.changed.notify_all();
    }
}

bool read_from_queue() {
    LineQueue& q = queue();
    std::unique_lock<std::mutex> lock(q.mutex);
    q.changed.wait(lock, [&q] { return !q.lines.empty() || q.ended; });
    if (q.lines.empty()) return false;
    const char* text = q.lines.front().text;
    std::memcpy(input_line, text, std::strlen(text) + 1);
    line_arrival_ms = q.lines.front().arrival_ms;
    q.lines.pop_front();
    return true;
}

// The reader has ended (it no longer runs): join it and hand the input back
// to read_line.
void join_reader(LineQueue& q) {
    if (q.thread.joinable()) q.thread.join();
    clear_input_wake();
    reader_in_use = false;
    q.lines.clear();
    q.ended = false;
    q.listener = nullptr;
}

}  // namespace

void set_line_limit(int characters) {
    line_limit.store(std::clamp(characters, 0, LONG_LINE_SIZE - 1), std::memory_order_relaxed);
}

void set_input_stream(std::FILE* stream) {
    LineQueue& q = queue();
    {
        const std::lock_guard<std::mutex> lock(q.mutex);
        if (q.running) return;  // the reader keeps its stream
    }
    join_reader(q);
    set_input_file(stream);
    input_closed = false;
}

void finish_input() {
    if (!reader_in_use) {
        while (read_raw_line(input_line) == LineRead::LINE) {
        }
        input_line[0] = '\0';
        return;
    }
    LineQueue& q = queue();
    {
        std::unique_lock<std::mutex> lock(q.mutex);
        q.changed.wait(lock, [&q] { return !q.running; });
    }
    join_reader(q);
}

bool input_ended() {
    return input_closed;
}

bool read_line() {
    if (input_closed) {
        input_line[0] = '\0';
        return false;
    }
    bool got;
    if (reader_in_use) {
        got = read_from_queue();
    } else {
        got = read_raw_line(input_line) == LineRead::LINE;
        line_arrival_ms = clock_ms();
    }
    if (!got) {
        input_closed = true;
        input_line[0] = '\0';
    }
    return got;
}

bool start_input_reader() {
    LineQueue& q = queue();
    {
        const std::lock_guard<std::mutex> lock(q.mutex);
        if (q.running) return true;
    }
    join_reader(q);  // one that has met the end of an earlier stream
    // Without a way to wake it the reader could never be joined.
    if (!prepare_input_wake()) return false;
    q.running = true;
    if (!start_thread(q.thread, reader_main)) {
        q.running = false;
        return false;
    }
    reader_in_use = true;
    return true;
}

void stop_input_reader() {
    LineQueue& q = queue();
    if (!q.thread.joinable()) return;
    wake_input();
    join_reader(q);
}

bool input_reader_started() {
    return reader_in_use;
}

bool listen(Listener listener) {
    if (!reader_in_use) return false;
    LineQueue& q = queue();
    const std::lock_guard<std::mutex> lock(q.mutex);
    q.listener = listener;
    // Lines that came before the search are heard first, in their order.
    for (auto it = q.lines.begin(); it != q.lines.end() && q.listener != nullptr;) {
        if (hear(q, *it))
            ++it;
        else
            it = q.lines.erase(it);
    }
    if (q.listener != nullptr && q.ended) end_of_input(q);
    return true;
}

void stop_listening() {
    LineQueue& q = queue();
    const std::lock_guard<std::mutex> lock(q.mutex);
    q.listener = nullptr;
}

void wait_until_heard() {
    LineQueue& q = queue();
    std::unique_lock<std::mutex> lock(q.mutex);
    q.changed.wait(lock, [&q] { return q.listener == nullptr; });
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

bool parse_whole_int(const char* text, int& value) {
    int read = 0;
    if (!parse_int(text, read)) return false;
    while (*text == ' ' || *text == '\t') ++text;
    if (*text != '\0') return false;
    value = read;
    return true;
}

bool parse_seconds(const char*& cursor, std::int64_t& ms) {
    const char* p = cursor;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool whole_part = is_digit(*p);
    constexpr std::int64_t CAP = 1LL << 40;  // seconds: far beyond any clock, far from overflow
    std::int64_t seconds = 0;
    for (; is_digit(*p); ++p)
        if (seconds < CAP) seconds = seconds * 10 + (*p - '0');
    std::int64_t thousandths = 0;
    const bool fraction = *p == '.' && is_digit(p[1]);
    if (fraction) {
        ++p;
        for (std::int64_t scale = 100; is_digit(*p); ++p, scale /= 10)
            thousandths += (*p - '0') * scale;
    }
    if (!whole_part && !fraction) return false;
    const std::int64_t value = seconds * 1000 + thousandths;
    ms = negative ? -value : value;
    cursor = p;
    return true;
}
