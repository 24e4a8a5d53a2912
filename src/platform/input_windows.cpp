// platform/input.h on Windows (the build for Windows takes this file in place
// of input.cpp). The input is read with ReadFile from its handle, and each
// read waits first until it cannot block past a wake: a console is waited for
// beside the wake event until a key is pressed (the console then gives the
// line once Enter ends it, echoing it as it is typed); an anonymous pipe, the
// input a graphical interface gives, cannot be waited for, so it is looked at
// with PeekNamedPipe between short waits on the wake event. Files and devices
// are read at once. A stream without a handle is read with getc.
#include <io.h>
#include <windows.h>

#include <atomic>

#include "platform/input.h"

namespace {

constexpr int BUFFER_SIZE = 4096;
constexpr DWORD PIPE_POLL_MS =
    1;  // a wait between two looks at an empty pipe (the timer rounds it up)

enum class InputKind { CONSOLE, PIPE, OTHER };

// The kind of the handle, which decides how a read waits.
InputKind kind_of(HANDLE handle) {
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) return InputKind::CONSOLE;
    return GetFileType(handle) == FILE_TYPE_PIPE ? InputKind::PIPE : InputKind::OTHER;
}

// Reader thread only (one at a time), except woken and wake_event.
std::FILE* input_file = nullptr;                       // nullptr: standard input
HANDLE input_handle = GetStdHandle(STD_INPUT_HANDLE);  // nullptr: input_file is read with getc
InputKind input_kind = kind_of(input_handle);          // how input_handle is waited for
char buffer[BUFFER_SIZE];                              // bytes read, not yet taken
int taken = 0, filled = 0;                             // buffer[taken .. filled) is still to come
std::atomic<bool> woken{false};                        // wake_input was called (any thread)
HANDLE wake_event = nullptr;  // set by wake_input (manual reset); made once

// Waits at a console until a key is pressed or the reader is woken; false
// when woken. Other console events (focus, mouse, released keys) are dropped.
bool wait_for_console() {
    const HANDLE handles[2] = {wake_event, input_handle};
    for (;;) {
        const DWORD r =
            WaitForMultipleObjects(wake_event != nullptr ? 2 : 1,
                                   wake_event != nullptr ? handles : handles + 1, FALSE, INFINITE);
        if (woken.load()) return false;
        if (r == WAIT_FAILED) return true;  // ReadFile tells what there is
        INPUT_RECORD records[16];
        DWORD count = 0;
        if (!PeekConsoleInputW(input_handle, records, 16, &count)) return true;
        for (DWORD i = 0; i < count; ++i)
            if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown)
                return true;
        if (count > 0) ReadConsoleInputW(input_handle, records, count, &count);
    }
}

// Waits until a pipe holds bytes or has ended, or the reader is woken; false when woken.
bool wait_for_pipe() {
    for (;;) {
        if (woken.load()) return false;
        DWORD available = 0;
        if (!PeekNamedPipe(input_handle, nullptr, 0, nullptr, &available, nullptr) || available > 0)
            return true;  // ReadFile tells what there is
        if (wake_event != nullptr)
            WaitForSingleObject(wake_event, PIPE_POLL_MS);
        else
            Sleep(PIPE_POLL_MS);
    }
}

// Waits until a read of input_handle cannot block past a wake; false when woken.
bool wait_for_input() {
    switch (input_kind) {
        case InputKind::CONSOLE:
            return wait_for_console();
        case InputKind::PIPE:
            return wait_for_pipe();
        case InputKind::OTHER:
            break;
    }
    return !woken.load();
}

int refill() {
    for (;;) {
        if (!wait_for_input()) return INPUT_WOKEN;
        DWORD n = 0;
        if (ReadFile(input_handle, buffer, sizeof buffer, &n, nullptr)) {
            if (n == 0) return INPUT_END;  // a pipe's or file's end; Ctrl+Z at a console
            taken = 0;
            filled = static_cast<int>(n);
            return static_cast<unsigned char>(buffer[taken++]);
        }
        if (GetLastError() != ERROR_OPERATION_ABORTED) return INPUT_END;  // a broken pipe too
    }
}

}  // namespace

void set_input_file(std::FILE* stream) {
    input_file = stream;
    if (stream == nullptr) {
        input_handle = GetStdHandle(STD_INPUT_HANDLE);
    } else {
        const int fd = _fileno(stream);
        const intptr_t os_handle = fd >= 0 ? _get_osfhandle(fd) : -1;
        input_handle = os_handle == -1 ? nullptr : reinterpret_cast<HANDLE>(os_handle);
    }
    input_kind = kind_of(input_handle);
    taken = filled = 0;
}

int next_input_char() {
    if (taken < filled) return static_cast<unsigned char>(buffer[taken++]);
    if (woken.load()) return INPUT_WOKEN;
    if (input_handle == nullptr || input_handle == INVALID_HANDLE_VALUE) {
        if (input_file == nullptr) return INPUT_END;  // a process without standard input
        const int c = std::getc(input_file);
        return c == EOF ? INPUT_END : c;
    }
    return refill();
}

bool prepare_input_wake() {
    static const bool made = (wake_event = CreateEventW(nullptr, TRUE, FALSE, nullptr)) != nullptr;
    return made;
}

void wake_input() {
    woken.store(true);
    if (wake_event != nullptr) SetEvent(wake_event);
}

void clear_input_wake() {
    woken.store(false);
    if (wake_event != nullptr) ResetEvent(wake_event);
}
