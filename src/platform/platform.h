// The one place that knows about the operating system: the clock and threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Wall time from a monotonic clock, in milliseconds since the process started.
std::int64_t clock_ms();

// Tests put a clock of their own in place to check the time limits exactly;
// nullptr restores the real one.
using ClockSource = std::int64_t (*)();
void set_clock_source(ClockSource source);

// Calendar time in whole seconds (seeds the book's random draw).
std::int64_t calendar_seconds();

// Formatted output to standard output, flushed at once: every message of the
// engine goes through here (interfaces read it through a pipe).
void print_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Zero-filled memory for a large table, aligned to a cache line at least and,
// where the system offers it, backed by huge pages so that random probes miss
// the address translation less often. nullptr when the memory is not there.
void* allocate_table(std::size_t bytes);
void free_table(void* table, std::size_t bytes);  // what allocate_table gave; nullptr is ignored

// A thread that is started once and joined once.
class InputThread {
  public:
    InputThread() = default;
    InputThread(const InputThread&) = delete;
    InputThread& operator=(const InputThread&) = delete;
    ~InputThread();
    bool start(void (*entry)());  // false when the thread could not be created
    void join();                  // waits without time-out; no-op if not started
    bool running() const { return handle_ != nullptr; }

  private:
    void* handle_ = nullptr;
};
