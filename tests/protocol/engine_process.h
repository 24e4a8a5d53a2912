// The built engine as a child process on pipes, with every wait bounded.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QV_UNDER_SANITIZER 1
#endif
#endif
#ifndef QV_UNDER_SANITIZER
#define QV_UNDER_SANITIZER 0
#endif

namespace qv_test {

// Sanitizer builds run many times slower; waits grow with them.
constexpr int SLOWDOWN = QV_UNDER_SANITIZER ? 8 : 1;
constexpr int WAIT_MS = 15000 * SLOWDOWN;

// A fresh empty directory, removed with everything in it at the end.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/qv_test_XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made != nullptr) path_ = made;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ + "/" + name, std::ios::binary);
        out << bytes;
    }

  private:
    std::string path_;
};

// The configuration the protocol tests run under unless they say otherwise: no
// book, so that a move asked for in the opening is searched (the default books
// beside the executable would otherwise answer it).
inline const std::string BOOKS_OFF_CONFIG = "<quorvanite><ownbook>false</ownbook></quorvanite>\n";

// The search threads of the engines the tests start: the environment variable
// QV_TEST_ENGINE_THREADS when it is set (CI runs the protocol tests once more
// with 2 under ThreadSanitizer), else 1. Tests that pin output of a single
// thread skip under more (QV_SKIP_UNLESS_ONE_THREAD).
inline int test_engine_threads() {
    const char* value = std::getenv("QV_TEST_ENGINE_THREADS");
    return value != nullptr && std::atoi(value) > 1 ? std::atoi(value) : 1;
}
#define QV_SKIP_UNLESS_ONE_THREAD()                                                         \
    do {                                                                                    \
        if (qv_test::test_engine_threads() > 1) GTEST_SKIP() << "pins one thread's output"; \
    } while (false)

// A fresh working directory for the engine, configured with BOOKS_OFF_CONFIG
// and the threads of test_engine_threads.
class EngineDir : public TempDir {
  public:
    EngineDir() {
        const int threads = test_engine_threads();
        write("Quorvanite.cfg", threads == 1
                                    ? BOOKS_OFF_CONFIG
                                    : "<quorvanite><ownbook>false</ownbook><threads>" +
                                          std::to_string(threads) + "</threads></quorvanite>\n");
    }
};

// The engine the tests start: the program QV_TEST_ENGINE names when it is set
// (CI points it at the Windows build), else the engine of this build; run by
// the program QV_TEST_ENGINE_EMULATOR names when that is set (such as
// cmake/wine-run.sh, which runs it under Wine).
inline std::string test_engine_path() {
    const char* path = std::getenv("QV_TEST_ENGINE");
    return path != nullptr && *path != '\0' ? path : QV_ENGINE_PATH;
}
inline std::string test_engine_emulator() {
    const char* emulator = std::getenv("QV_TEST_ENGINE_EMULATOR");
    return emulator != nullptr ? emulator : "";
}

struct Limits {
    rlim_t address_space = 0;  // bytes; 0: unchanged
    rlim_t stack = 0;          // bytes; 0: unchanged (also the default size of new threads)
};

class EngineProcess {
  public:
    explicit EngineProcess(const std::string& working_dir, Limits limits = {}) {
        signal(SIGPIPE, SIG_IGN);  // writing to an engine that has ended must not kill the test
        const std::string engine = test_engine_path(), emulator = test_engine_emulator();
        int to_child[2], from_child[2];
        if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to_child[0], 0);
            dup2(from_child[1], 1);
            close(to_child[0]);
            close(to_child[1]);
            close(from_child[0]);
            close(from_child[1]);
            if (chdir(working_dir.c_str()) != 0) _exit(126);
            if (limits.stack != 0) {
                const rlimit r{limits.stack, limits.stack};
                setrlimit(RLIMIT_STACK, &r);
            }
            if (limits.address_space != 0) {
                const rlimit r{limits.address_space, limits.address_space};
                setrlimit(RLIMIT_AS, &r);
            }
            if (emulator.empty())
                execl(engine.c_str(), engine.c_str(), static_cast<char*>(nullptr));
            else
                execlp(emulator.c_str(), emulator.c_str(), engine.c_str(),
                       static_cast<char*>(nullptr));
            _exit(127);
        }
        close(to_child[0]);
        close(from_child[1]);
        to_fd_ = to_child[1];
        from_fd_ = from_child[0];
    }

    ~EngineProcess() {
        close_input();
        if (from_fd_ >= 0) close(from_fd_);
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    void send_raw(const std::string& text) {
        if (to_fd_ < 0) return;
        const char* p = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            const ssize_t n = write(to_fd_, p, left);
            if (n <= 0) return;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    void send(const std::string& line) { send_raw(line + "\n"); }

    void close_input() {
        if (to_fd_ >= 0) close(to_fd_);
        to_fd_ = -1;
    }

    // Waits until text appears in the unread output; returns everything up to
    // and including it, and consumes that. Empty string (and a test failure
    // when required) on time-out or end of output.
    std::string read_through(const std::string& text, int timeout_ms = WAIT_MS,
                             bool required = true) {
        const auto deadline = now_ms() + timeout_ms;
        for (;;) {
            const std::size_t at = buffer_.find(text);
            if (at != std::string::npos) {
                std::string head = buffer_.substr(0, at + text.size());
                buffer_.erase(0, at + text.size());
                return head;
            }
            if (!fill(deadline)) {
                if (required)
                    ADD_FAILURE() << "no \"" << text << "\" within " << timeout_ms
                                  << " ms; unread output:\n"
                                  << buffer_;
                return {};
            }
        }
    }

    // The next whole line (without its newline); false on time-out or end.
    bool read_line(std::string& line, int timeout_ms = WAIT_MS) {
        const auto deadline = now_ms() + timeout_ms;
        for (;;) {
            const std::size_t at = buffer_.find('\n');
            if (at != std::string::npos) {
                line = buffer_.substr(0, at);
                buffer_.erase(0, at + 1);
                return true;
            }
            if (!fill(deadline)) return false;
        }
    }

    // Lines up to and including the first that satisfies done; fails the test
    // on time-out. The last element is the line found.
    std::vector<std::string> lines_until(const std::function<bool(const std::string&)>& done,
                                         int timeout_ms = WAIT_MS) {
        std::vector<std::string> lines;
        const auto deadline = now_ms() + timeout_ms;
        std::string line;
        for (;;) {
            const long long left = deadline - now_ms();
            if (left <= 0 || !read_line(line, static_cast<int>(left))) {
                std::string seen;
                for (const auto& l : lines) seen += l + "\n";
                ADD_FAILURE() << "expected line not seen within " << timeout_ms << " ms; lines:\n"
                              << seen << "unread: " << buffer_;
                return lines;
            }
            lines.push_back(line);
            if (done(line)) return lines;
        }
    }
    std::vector<std::string> lines_until_prefix(const std::string& prefix,
                                                int timeout_ms = WAIT_MS) {
        return lines_until([&](const std::string& l) { return l.rfind(prefix, 0) == 0; },
                           timeout_ms);
    }

    // Collects all output that arrives within quiet_ms (for "nothing happens").
    std::string output_for(int quiet_ms) {
        const auto deadline = now_ms() + quiet_ms;
        while (fill(deadline)) {
        }
        std::string all = buffer_;
        buffer_.clear();
        return all;
    }

    // Returns the output once none has come for quiet_ms (or max_ms have passed).
    std::string output_until_quiet(int quiet_ms, int max_ms = WAIT_MS) {
        const auto deadline = now_ms() + max_ms;
        for (;;) {
            const long long quiet_end = std::min(deadline, now_ms() + quiet_ms);
            if (!fill(quiet_end)) break;
        }
        std::string all = buffer_;
        buffer_.clear();
        return all;
    }

    // Waits for the process to end; its exit status, or -1 on time-out or a signal.
    int wait_exit(int timeout_ms = WAIT_MS) {
        const auto deadline = now_ms() + timeout_ms;
        for (;;) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (r < 0 || now_ms() >= deadline) return -1;
            usleep(5000);
        }
    }

    // Everything still unread, after the process has ended (drains the pipe).
    std::string rest_of_output() {
        while (fill(now_ms() + 2000)) {
        }
        std::string all = buffer_;
        buffer_.clear();
        return all;
    }

  private:
    static long long now_ms() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Reads what is available before the deadline; false on time-out or end of output.
    bool fill(long long deadline) {
        if (from_fd_ < 0) return false;
        const long long left = deadline - now_ms();
        if (left <= 0) return false;
        pollfd p{from_fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        char chunk[4096];
        const ssize_t n = read(from_fd_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int to_fd_ = -1;
    int from_fd_ = -1;
    bool exited_ = false;
    std::string buffer_;
};

inline bool starts_with(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

inline bool is_result_line(const std::string& l) {
    return starts_with(l, "1-0") || starts_with(l, "0-1") || starts_with(l, "1/2-1/2");
}

// An engine in a fresh directory without books, past its start-up and
// switched to xboard.
struct XboardSession {
    EngineDir dir;
    EngineProcess engine;
    explicit XboardSession(Limits limits = {}) : engine(dir.path(), limits) {
        engine.read_through("Quorvanite>");
        engine.send("xboard");
        engine.read_through("WinBoard protocol selected\n");
    }
    // Round trip: every line sent before has been handled when the pong is back.
    std::vector<std::string> sync(int n, int timeout_ms = WAIT_MS) {
        engine.send("ping " + std::to_string(n));
        return engine.lines_until_prefix("pong " + std::to_string(n), timeout_ms);
    }
};

}  // namespace qv_test
