#include "platform/platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/output_lock.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

std::string executable_directory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path()) return {};
    return exe.parent_path().string();
}

namespace {

// A copy of descriptor fd, kept out of programs the process may start; -1 on failure.
int saved_copy(int fd) {
    return fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// Puts the saved copy back in place of fd and closes it.
void restore(int fd, int saved) {
    if (saved < 0) return;
    dup2(saved, fd);
    close(saved);
}

}  // namespace

void run_silenced(const std::function<void()>& action) {
    const std::lock_guard<std::mutex> lock(output_mutex());
    std::fflush(stdout);
    std::fflush(stderr);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int saved_out = nowhere >= 0 ? saved_copy(STDOUT_FILENO) : -1;
    const int saved_err = nowhere >= 0 ? saved_copy(STDERR_FILENO) : -1;
    if (saved_out >= 0 && saved_err >= 0) {
        dup2(nowhere, STDOUT_FILENO);
        dup2(nowhere, STDERR_FILENO);
    }
    action();
    // What the action left in the buffers goes where it went: nowhere.
    std::fflush(stdout);
    std::fflush(stderr);
    restore(STDOUT_FILENO, saved_out);
    restore(STDERR_FILENO, saved_err);
    if (nowhere >= 0) close(nowhere);
}

#if defined(__linux__)
namespace {
constexpr std::size_t HUGE_PAGE_BYTES = std::size_t{2} << 20;
}

// Anonymous memory comes zero-filled, each page at its first touch (see the
// header). The mapping is cut to start on a huge-page boundary so that the
// system can back it with huge pages.
void* allocate_table(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    const std::size_t length = bytes + HUGE_PAGE_BYTES;
    void* mapped =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + HUGE_PAGE_BYTES - 1) & ~(HUGE_PAGE_BYTES - 1);
    const std::uintptr_t end = start + length;
    const std::uintptr_t table_end = aligned + bytes;
    const std::uintptr_t page = 4096;
    const std::uintptr_t kept_end = (table_end + page - 1) & ~(page - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    if (end > kept_end) munmap(reinterpret_cast<void*>(kept_end), end - kept_end);
    if (bytes >= HUGE_PAGE_BYTES) madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void free_table(void* table, std::size_t bytes) {
    if (table != nullptr) munmap(table, bytes);
}

#else
void* allocate_table(std::size_t bytes) {
    return std::calloc(bytes, 1);
}

void free_table(void* table, std::size_t) {
    std::free(table);
}

#endif
