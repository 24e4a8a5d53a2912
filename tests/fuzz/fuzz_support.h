// What every fuzz target shares: a fault is a crash the fuzzer reports, and
// the position's invariants are checked after every step.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/board.h"

namespace fuzz {

[[noreturn]] inline void fault(const char* what) {
    std::fprintf(stderr, "fuzz fault: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) fault(what);
}

inline void check_position(const char* where) {
    check(position_is_ok(), where);
}

// The input as text: at most max_length bytes, cut at the first NUL.
inline std::string text_of(const unsigned char* data, std::size_t size, std::size_t max_length) {
    std::string text(reinterpret_cast<const char*>(data), size < max_length ? size : max_length);
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

}  // namespace fuzz
