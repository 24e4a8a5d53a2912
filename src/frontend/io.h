// Input: lines from the interface, one reader thread that hears them during a
// search, and the parsing helpers every driver uses.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

constexpr int INPUT_LINE_SIZE = 128;  // lines are cut to INPUT_LINE_SIZE - 1 characters ...
constexpr int LONG_LINE_SIZE =
    8192;  // ... unless a protocol asks for long lines (UCI's "position")
extern char input_line[LONG_LINE_SIZE];  // the one input buffer
// The longest line kept, in characters (at most LONG_LINE_SIZE - 1); the rest
// of a longer line is discarded. Set before the reader thread starts.
void set_line_limit(int characters);
extern std::int64_t line_arrival_ms;  // clock_ms() when the line in input_line arrived
// Reads one line into input_line (newline and a carriage return before it
// dropped, at most the line limit kept, the rest of a longer line discarded).
// False at end of input. Once the reader thread runs, the line comes from it.
bool read_line();
// True once read_line has met the end of input (it then keeps returning false).
bool input_ended();
// Lines come from stream instead of standard input (nullptr: standard input
// again); also forgets an earlier end of input, and joins a reader thread that
// has ended. For tests; not while a reader thread runs.
void set_input_stream(std::FILE* stream);
// Drops what is left of a stream of finite length, up to its end, and waits
// for the reader thread to meet that end, so that the stream may be closed.
// For drivers run in the process on a stream of the caller's (tests, fuzzing).
void finish_input();

// While a protocol is spoken, one reader thread reads every line as it comes
// and keeps it for read_line, so that a search can hear the interface. During
// a search the driver installs a listener, which hears each line first, in
// the order the lines came (lines already waiting included), on the reader
// thread, and says what becomes of it:
enum class Heard {
    HELD,          // it waits for read_line; listening goes on
    HANDLED,       // the listener has dealt with it; it is dropped; listening goes on
    ENDS_HELD,     // it waits for read_line, and listening ends (the search is to stop)
    ENDS_HANDLED,  // dealt with and dropped, and listening ends
};
// line is nullptr at the end of input (listening then ends whatever it returns);
// arrival_ms is clock_ms() when the line was read.
using Listener = Heard (*)(const char* line, std::int64_t arrival_ms);
// Starts the reader thread (once); false when no thread could be started: read_line
// then reads for itself and nothing can be heard during a search.
bool start_input_reader();
// Wakes the reader thread wherever it waits for input and joins it; lines not
// yet taken are dropped, and read_line reads for itself again. The end of the
// program calls it; a reader of a stream without a descriptor reads to its end.
void stop_input_reader();
bool input_reader_started();  // read_line takes its lines from the reader thread
// Installs the listener; false (nothing installed) without a reader thread.
bool listen(Listener listener);
void stop_listening();    // the driver ends listening itself
void wait_until_heard();  // until a line (or the end of input) has ended listening

// Commands are recognised by their leading characters.
bool starts_with(const char* text, const char* prefix);
// The text from character offset on; the empty end of text when it is shorter.
const char* text_at(const char* text, int offset);
// Reads a decimal integer the way "%d" does (spaces, sign, digits), clamped to
// the int range, and moves cursor past it. False, cursor and value untouched,
// when no number stands there.
bool parse_int(const char*& cursor, int& value);
// A whole argument as parse_int reads it: false as well when anything but
// blanks follows the number ("2.5", "3x"), which is refused, not cut short.
bool parse_whole_int(const char* text, int& value);
// Reads seconds with an optional fraction ("30", "0.5", ".25") as
// milliseconds; false, cursor and value untouched, when no number stands there.
bool parse_seconds(const char*& cursor, std::int64_t& ms);
