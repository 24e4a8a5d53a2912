#include "platform/input.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

constexpr int BUFFER_SIZE = 4096;

// Reader thread only (one at a time), except woken and wake_pipe.
std::FILE* input_file = nullptr;  // nullptr: standard input
int input_fd = STDIN_FILENO;      // read with read(2); -1: input_file is read with getc
char buffer[BUFFER_SIZE];         // bytes read from input_fd, not yet taken
int taken = 0, filled = 0;        // buffer[taken .. filled) is still to come
std::atomic<bool> woken{false};   // wake_input was called (any thread)
int wake_pipe[2] = {-1, -1};      // a byte written to [1] ends a wait on [0]; made once

// Waits until input_fd has something to tell (bytes, the end, an error) or
// the reader is woken; false when woken.
bool wait_for_input() {
    for (;;) {
        pollfd fds[2] = {{input_fd, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
        const int r = poll(fds, wake_pipe[0] >= 0 ? 2 : 1, -1);
        if (woken.load()) return false;
        if (r > 0 || errno != EINTR) return true;  // read tells what there is
    }
}

int refill() {
    for (;;) {
        if (!wait_for_input()) return INPUT_WOKEN;
        const ssize_t n = read(input_fd, buffer, sizeof buffer);
        if (n > 0) {
            taken = 0;
            filled = static_cast<int>(n);
            return static_cast<unsigned char>(buffer[taken++]);
        }
        if (n == 0) return INPUT_END;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return INPUT_END;
    }
}

}  // namespace

void set_input_file(std::FILE* stream) {
    input_file = stream;
    input_fd = stream == nullptr ? STDIN_FILENO : fileno(stream);
    taken = filled = 0;
}

int next_input_char() {
    if (taken < filled) return static_cast<unsigned char>(buffer[taken++]);
    if (woken.load()) return INPUT_WOKEN;
    if (input_fd < 0) {
        const int c = std::getc(input_file);
        return c == EOF ? INPUT_END : c;
    }
    return refill();
}

bool prepare_input_wake() {
    static const bool made = pipe(wake_pipe) == 0;
    return made;
}

void wake_input() {
    woken.store(true);
    if (wake_pipe[1] >= 0) {
        const char byte = 1;
        // A full pipe already wakes the reader.
        [[maybe_unused]] const ssize_t written = write(wake_pipe[1], &byte, 1);
    }
}

void clear_input_wake() {
    woken.store(false);
    if (wake_pipe[0] < 0) return;
    // Drop the wake bytes without waiting: the pipe is read only when it has some.
    pollfd fd = {wake_pipe[0], POLLIN, 0};
    char bytes[64];
    while (poll(&fd, 1, 0) > 0 && read(wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
}
