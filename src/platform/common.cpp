// The platform layer's parts that are the same on every system: the clock, the
// calendar, the output and the threads (platform.cpp and platform_windows.cpp
// hold the rest).
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "platform/output_lock.h"
#include "platform/platform.h"

namespace {
const auto process_start = std::chrono::steady_clock::now();
std::atomic<ClockSource> clock_source{nullptr};
std::atomic<CalendarSource> calendar_source{nullptr};
OutputSink output_sink = nullptr;  // guarded by output_mutex()
}  // namespace

// Never destroyed: a background thread may still print while the process ends.
std::mutex& output_mutex() {
    static std::mutex* const mutex = new std::mutex;
    return *mutex;
}

void set_clock_source(ClockSource source) {
    clock_source.store(source);
}

std::int64_t clock_ms() {
    if (const ClockSource source = clock_source.load(std::memory_order_relaxed)) return source();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 process_start)
        .count();
}

void set_calendar_source(CalendarSource source) {
    calendar_source.store(source);
}

std::int64_t calendar_seconds() {
    if (const CalendarSource source = calendar_source.load(std::memory_order_relaxed))
        return source();
    return static_cast<std::int64_t>(std::time(nullptr));
}

void set_output_sink(OutputSink sink) {
    const std::lock_guard<std::mutex> lock(output_mutex());
    output_sink = sink;
}

void print_line(const char* format, ...) {
    const std::lock_guard<std::mutex> lock(output_mutex());
    va_list args;
    va_start(args, format);
    if (output_sink == nullptr) {
        std::vfprintf(stdout, format, args);
        std::fflush(stdout);
    } else {
        va_list again;
        va_copy(again, args);
        char text[1024];
        const int length = std::vsnprintf(text, sizeof text, format, args);
        if (length >= static_cast<int>(sizeof text)) {
            std::string longer(static_cast<std::size_t>(length) + 1, '\0');
            std::vsnprintf(longer.data(), longer.size(), format, again);
            output_sink(longer.data(), static_cast<std::size_t>(length));
        } else if (length > 0) {
            output_sink(text, static_cast<std::size_t>(length));
        }
        va_end(again);
    }
    va_end(args);
}

bool start_thread(std::thread& thread, void (*entry)()) {
    try {
        thread = std::thread(entry);
        return true;
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
