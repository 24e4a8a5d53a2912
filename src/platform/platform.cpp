#include "platform/platform.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <new>
#include <system_error>
#include <thread>

namespace {
const auto process_start = std::chrono::steady_clock::now();
}

std::int64_t clock_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 process_start)
        .count();
}

std::int64_t calendar_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

void print_line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

InputThread::~InputThread() { join(); }

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
