// Expected-output files for the engine's signature: the thinking lines and
// node counts of fixed searches, with the time fields masked.
//
// After a change that moves node counts on purpose, rewrite the files with
//   QV_UPDATE_GOLDEN=1 ctest --preset release -R Signature
// and say in the commit why the counts changed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace golden {

inline bool is_number_start(char c) {
    return (c >= '0' && c <= '9') || c == '-';
}

// One line with its time masked: the third field of a thinking line, the
// fourth number of an iteration line, the figures of the timing lines.
inline std::string mask_line(const std::string& line) {
    int depth = 0, sel = 0, score = 0, cs = 0;
    unsigned nodes = 0;
    char rest = 0;
    if (std::sscanf(line.c_str(), "->(%d/%d %d %d %u)%c", &depth, &sel, &score, &cs, &nodes,
                    &rest) == 5) {
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "->(%d/%d %d T %u)", depth, sel, score, nodes);
        return buffer;
    }
    if (line.rfind("Seconds spent: ", 0) == 0) return "Seconds spent: T";
    if (line.rfind("CPU speed: ", 0) == 0) return "CPU speed: T";
    if (!line.empty() && is_number_start(line[0])) {
        // "depth score time nodes moves ...", ending with a blank
        std::string out;
        std::size_t start = 0;
        for (int field = 0; start <= line.size(); ++field) {
            std::size_t end = line.find(' ', start);
            if (end == std::string::npos) end = line.size();
            out += field == 2 ? std::string("T") : line.substr(start, end - start);
            if (end == line.size()) break;
            out += ' ';
            start = end + 1;
        }
        return out;
    }
    return line;
}

inline std::string mask(const std::string& text) {
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);) out += mask_line(line) + "\n";
    return out;
}

inline std::string path_of(const std::string& name) {
    return std::string(QV_SOURCE_DIR) + "/tests/golden/" + name;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first differing line of two texts, for a readable failure.
inline std::string first_difference(const std::string& expected, const std::string& actual) {
    std::istringstream e(expected), a(actual);
    std::string le, la;
    for (int n = 1;; ++n) {
        const bool more_e = static_cast<bool>(std::getline(e, le));
        const bool more_a = static_cast<bool>(std::getline(a, la));
        if (!more_e && !more_a) return "no difference";
        if (!more_e || !more_a || le != la)
            return "line " + std::to_string(n) + ":\n  expected: " + (more_e ? le : "<end>") +
                   "\n  actual:   " + (more_a ? la : "<end>");
    }
}

// Compares actual with the named file; with QV_UPDATE_GOLDEN=1 rewrites it.
inline void expect_matches(const std::string& name, const std::string& actual) {
    const std::string path = path_of(name);
    const char* update = std::getenv("QV_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    const std::string expected = read_file(path);
    ASSERT_FALSE(expected.empty()) << "missing " << path;
    if (expected != actual) {
        // Into the build directory, never the source tree.
        const std::string saved = std::string(QV_BUILD_DIR) + "/golden_actual_" + name;
        std::ofstream(saved, std::ios::binary) << actual;
        ADD_FAILURE() << "output differs from " << path << " at "
                      << first_difference(expected, actual) << "\n(the whole output is in " << saved
                      << ")";
    }
}

}  // namespace golden
