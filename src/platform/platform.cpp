#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

namespace {
const auto process_start = std::chrono::steady_clock::now();
std::atomic<ClockSource> clock_source{nullptr};
std::atomic<CalendarSource> calendar_source{nullptr};
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
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

InputThread::~InputThread() {
    join();
}

bool InputThread::start(void (*entry)()) {
    join();
    try {
        handle_ = new std::thread(entry);
    } catch (const std::system_error&) {
        handle_ = nullptr;
    } catch (const std::bad_alloc&) {
        handle_ = nullptr;
    }
    return handle_ != nullptr;
}

void InputThread::join() {
    if (handle_ == nullptr) return;
    auto* t = static_cast<std::thread*>(handle_);
    if (t->joinable()) t->join();
    delete t;
    handle_ = nullptr;
}
