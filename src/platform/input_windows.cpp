// platform/input.h on Windows (the build for Windows takes this file in place
// of input.cpp). A read of a console or a pipe (the input a graphical
// interface gives) blocks, and no wait on a pipe can be woken (an anonymous
// pipe cannot be waited for, and Wine's pipes cannot be peeked at), so standard
// input is read by a pump thread of this file's own, started at the first
// read: it hands each block of bytes over under a lock, and the readers wait
// on that lock, which wake_input also takes. The pump is never joined: it may
// be blocked in ReadFile when the program ends, and the process ends it then
// (it touches nothing but its own state, which is never destroyed). Other
// streams (files) are read at once, and a stream without a handle with getc.
#include <io.h>
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "platform/input.h"

namespace {

constexpr int BUFFER_SIZE = 4096;

// Reader thread only (one at a time).
std::FILE* input_file = nullptr;  // nullptr: standard input
HANDLE input_handle = nullptr;    // input_file's handle; nullptr: read with getc
char buffer[BUFFER_SIZE];         // bytes taken from the stream, not yet returned
int taken = 0, filled = 0;        // buffer[taken .. filled) is still to come

// Shared by the pump, the reader and wake_input, under mutex.
struct Pump {
    std::mutex mutex;
    std::condition_variable changed;
    std::string bytes;     // read from standard input, not yet taken (at most BUFFER_SIZE)
    bool ended = false;    // standard input has ended (or failed)
    bool woken = false;    // wake_input was called, until clear_input_wake
    bool started = false;  // the pump thread runs (reader thread only)
};
Pump& pump() {
    static Pump* const p = new Pump;  // never destroyed: the pump may outlive main
    return *p;
}

void pump_main() {
    Pump& p = pump();
    const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    char chunk[BUFFER_SIZE];
    for (;;) {
        DWORD n = 0;
        // n == 0 on success: a pipe's end, or Ctrl+Z at a console.
        const bool got = ReadFile(handle, chunk, sizeof chunk, &n, nullptr) && n > 0;
        std::unique_lock<std::mutex> lock(p.mutex);
        if (!got) {
            p.ended = true;
            p.changed.notify_all();
            return;
        }
        p.bytes.append(chunk, n);
        p.changed.notify_all();
        p.changed.wait(lock, [&p] { return p.bytes.empty(); });
    }
}

// The next block of standard input into buffer, from the pump (started here
// the first time); the first byte, INPUT_END or INPUT_WOKEN.
int refill_from_pump() {
    Pump& p = pump();
    std::unique_lock<std::mutex> lock(p.mutex);
    if (!p.started) {
        try {
            std::thread(pump_main).detach();
            p.started = true;
        } catch (const std::system_error&) {
            return INPUT_END;  // no thread: no input that could be waited for
        }
    }
    p.changed.wait(lock, [&p] { return p.woken || !p.bytes.empty() || p.ended; });
    if (p.woken) return INPUT_WOKEN;
    if (p.bytes.empty()) return INPUT_END;
    filled = static_cast<int>(p.bytes.copy(buffer, sizeof buffer));
    p.bytes.erase(0, static_cast<std::size_t>(filled));
    taken = 0;
    p.changed.notify_all();
    return static_cast<unsigned char>(buffer[taken++]);
}

int refill_from_file() {
    DWORD n = 0;
    if (!ReadFile(input_handle, buffer, sizeof buffer, &n, nullptr) || n == 0) return INPUT_END;
    taken = 0;
    filled = static_cast<int>(n);
    return static_cast<unsigned char>(buffer[taken++]);
}

bool is_woken() {
    Pump& p = pump();
    const std::lock_guard<std::mutex> lock(p.mutex);
    return p.woken;
}

}  // namespace

void set_input_file(std::FILE* stream) {
    input_file = stream;
    input_handle = nullptr;
    if (stream != nullptr) {
        const int fd = _fileno(stream);
        const intptr_t os_handle = fd >= 0 ? _get_osfhandle(fd) : -1;
        if (os_handle != -1) input_handle = reinterpret_cast<HANDLE>(os_handle);
    }
    taken = filled = 0;
}

int next_input_char() {
    if (taken < filled) return static_cast<unsigned char>(buffer[taken++]);
    if (input_file == nullptr) return refill_from_pump();
    if (is_woken()) return INPUT_WOKEN;
    if (input_handle != nullptr) return refill_from_file();
    const int c = std::getc(input_file);
    return c == EOF ? INPUT_END : c;
}

bool prepare_input_wake() {
    return true;  // the pump's lock is all a wake needs
}

void wake_input() {
    Pump& p = pump();
    const std::lock_guard<std::mutex> lock(p.mutex);
    p.woken = true;
    p.changed.notify_all();
}

void clear_input_wake() {
    Pump& p = pump();
    const std::lock_guard<std::mutex> lock(p.mutex);
    p.woken = false;
}
