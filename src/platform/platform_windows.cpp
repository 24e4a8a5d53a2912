// platform/platform.h on Windows (the build for Windows takes this file in
// place of platform.cpp, beside common.cpp): the executable's folder, the
// silencing of a library's output and the table memory done the Windows way.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "platform/output_lock.h"
#include "platform/platform.h"

namespace {
// Standard output in binary mode, set before main: lines end in "\n" as on
// Linux (consoles and interfaces read both), not in the runtime's "\r\n".
[[maybe_unused]] const bool binary_output = _setmode(_fileno(stdout), _O_BINARY) != -1;
}  // namespace

// The folder in the system's code page, the one the runtime's fopen takes;
// empty when a character of the path has no place in that code page.
std::string executable_directory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    path.resize(slash);
    if (path.empty()) return {};
    BOOL lossy = FALSE;
    const int wide_length = static_cast<int>(path.size());
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), wide_length,
                                          nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy) return {};
    std::string folder(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), wide_length, folder.data(),
                        bytes, nullptr, &lossy);
    return folder;
}

namespace {

// Puts the saved copy of the runtime's descriptor back in place of fd and closes it.
void restore(int fd, int saved) {
    if (saved < 0) return;
    _dup2(saved, fd);
    _close(saved);
}

}  // namespace

// The runtime's descriptors 1 and 2 sent to the NUL device (_dup2 also points
// the process's standard handles there while it lasts).
void run_silenced(const std::function<void()>& action) {
    const std::lock_guard<std::mutex> lock(output_mutex());
    std::fflush(stdout);
    std::fflush(stderr);
    const int nowhere = _open("NUL", _O_WRONLY | _O_NOINHERIT);
    const int saved_out = nowhere >= 0 ? _dup(1) : -1;
    const int saved_err = nowhere >= 0 ? _dup(2) : -1;
    if (saved_out >= 0 && saved_err >= 0) {
        _dup2(nowhere, 1);
        _dup2(nowhere, 2);
    }
    action();
    // What the action left in the buffers goes where it went: nowhere.
    std::fflush(stdout);
    std::fflush(stderr);
    restore(1, saved_out);
    restore(2, saved_err);
    if (nowhere >= 0) _close(nowhere);
}

namespace {

// The size of a large page when this process may lock pages in memory (the
// account holds "Lock pages in memory", SeLockMemoryPrivilege, and it could
// be switched on); 0 otherwise. Asked once.
std::size_t large_page_bytes() {
    static const std::size_t bytes = [] {
        const std::size_t size = GetLargePageMinimum();
        if (size == 0) return std::size_t{0};
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
            return std::size_t{0};
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        bool enabled = false;
        if (LookupPrivilegeValueW(nullptr, L"SeLockMemoryPrivilege",
                                  &privileges.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
            enabled = GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
        CloseHandle(token);
        return enabled ? size : std::size_t{0};
    }();
    return bytes;
}

}  // namespace

// Large pages are locked in memory and come zero-filled; ordinary pages are
// touched whole at once (see the header). Either way the memory starts on a
// boundary of 64 KB at least.
void* allocate_table(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    const std::size_t large = large_page_bytes();
    if (large != 0 && bytes >= large) {
        const std::size_t rounded = (bytes + large - 1) / large * large;
        void* table = VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES,
                                   PAGE_READWRITE);
        if (table != nullptr) return table;
    }
    void* table = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (table == nullptr) return nullptr;
    std::memset(table, 0, bytes);
    return table;
}

void free_table(void* table, std::size_t) {
    if (table != nullptr) VirtualFree(table, 0, MEM_RELEASE);
}
