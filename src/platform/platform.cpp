#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {
const auto process_start = std::chrono::steady_clock::now();
std::atomic<ClockSource> clock_source{nullptr};
std::atomic<CalendarSource> calendar_source{nullptr};
// Never destroyed: a background thread may still print while the process ends.
std::mutex& output_mutex() {
    static std::mutex* const mutex = new std::mutex;
    return *mutex;
}
}  // namespace

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

std::string executable_directory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path()) return {};
    return exe.parent_path().string();
}

void print_line(const char* format, ...) {
    const std::lock_guard<std::mutex> lock(output_mutex());
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

bool start_background_thread(void (*entry)()) {
    try {
        std::thread(entry).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
