// The one place that knows about the operating system: the clock, output,
// threads and table memory (the input: platform/input.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// Storage of which every thread has its own copy, zero-filled when the thread
// starts. GNU __thread rather than thread_local: these variables need no
// construction, and a thread_local used in another file is reached through a
// call that checks for one; __thread is a plain %fs-relative access. Local
// exec: every such variable lives in the executable itself (the engine, the
// tests, the tools link the code statically), so its offset is fixed at link
// time. (GCC 12 may otherwise test the flags of the add that computes such an
// address, an add the linker turns into a lea that sets none.)
#define QV_THREAD_LOCAL __thread __attribute__((tls_model("local-exec")))

// Marks a function whose arguments follow a printf format, for the compiler's
// checks. MinGW's "printf" is the Microsoft runtime's (no %zu); the engine's
// printf there is MinGW's own, of GNU's kind.
#if defined(__MINGW32__)
#define QV_PRINTF_FORMAT(format_index, first_arg) \
    __attribute__((format(gnu_printf, format_index, first_arg)))
#else
#define QV_PRINTF_FORMAT(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#endif

// Wall time from a monotonic clock, in milliseconds since the process started.
std::int64_t clock_ms();

// Tests put a clock of their own in place to check the time limits exactly;
// nullptr restores the real one.
using ClockSource = std::int64_t (*)();
void set_clock_source(ClockSource source);

// Calendar time in whole seconds (seeds the book's random draw).
std::int64_t calendar_seconds();

// Tests put a calendar of their own in place to check the book's draws;
// nullptr restores the real one.
using CalendarSource = std::int64_t (*)();
void set_calendar_source(CalendarSource source);

// The directory that holds the running executable (no trailing slash); empty
// when the system cannot tell.
std::string executable_directory();

// Formatted output to standard output, flushed at once: every message of the
// engine goes through here (interfaces read it through a pipe). Calls from
// different threads never mix within one call: a line printed in one call
// stays whole.
void print_line(const char* format, ...) QV_PRINTF_FORMAT(1, 2);

// Tests and fuzz targets that run a driver in the process take its output
// through a sink of their own: each message whole, under print_line's lock.
// nullptr restores standard output.
using OutputSink = void (*)(const char* text, std::size_t length);
void set_output_sink(OutputSink sink);

// Runs action with the process's standard output and standard error sent
// nowhere, for a library that writes there on its own: what it writes is
// dropped, and engine lines printed meanwhile from other threads wait until it
// is done (action itself must not print). When the streams cannot be sent
// away, action runs all the same.
void run_silenced(const std::function<void()>& action);

// Starts thread running entry, to be joined by its owner before the program
// ends; false (thread left empty) when no thread could be created.
bool start_thread(std::thread& thread, void (*entry)());

// Zero-filled memory for a large table, aligned to a cache line at least and,
// where the system offers it, backed by huge pages so that random probes miss
// the address translation less often. Returns at once: the system supplies
// each page, zeroed, at its first touch (a caller that wants them all in place
// touches one word of every 4 KB). nullptr when the memory is not there.
void* allocate_table(std::size_t bytes);
void free_table(void* table, std::size_t bytes);  // what allocate_table gave; nullptr is ignored
