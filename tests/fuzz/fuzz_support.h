// What every fuzz target shares: a fault is a crash the fuzzer reports, and
// the position's invariants are checked after every step.
#pragma once

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "board/board.h"
#include "book/book.h"
#include "frontend/config.h"
#include "frontend/io.h"
#include "frontend/session.h"
#include "frontend/timeman.h"
#include "frontend/uci.h"
#include "frontend/xboard.h"
#include "platform/platform.h"
#include "search/internal.h"

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

// The text with every line that holds word (lower case; found in any case)
// blanked out, its newline kept.
inline std::string without_lines_containing(std::string text, const char* word) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::size_t found = lower.find(word, at);
        if (found != std::string::npos && found < end) text.replace(at, end - at, end - at, ' ');
        at = end + 1;
    }
    return text;
}

// The input as it is, NUL bytes included, at most max_length bytes.
inline std::string bytes_of(const unsigned char* data, std::size_t size, std::size_t max_length) {
    return std::string(reinterpret_cast<const char*>(data), size < max_length ? size : max_length);
}

inline bool same_board_and_state(const Position& a, const Position& b) {
    return std::memcmp(a.board, b.board, sizeof a.board) == 0 &&
           std::memcmp(&a.state, &b.state, sizeof a.state) == 0 && a.game_ply == b.game_ply;
}

// Small tables: the fuzzed searches are short, and "new" clears them often.
inline void allocate_small_tables() {
    eval_cache_count = EVAL_CACHE_COUNT;
    pawn_cache_count = PAWN_CACHE_COUNT;
    tt_entry_count = 1024;
    if (!allocate_tables()) fault("no memory for the tables");
}

// Every legal move made and taken back with the position checked after each,
// its text read back, and perft 2 against the moves made one by one.
inline void check_every_move() {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = filter_legal(generate_moves(list), list);
    static Position before;
    before = position;
    for (int i = 0; i < count; ++i) {
        const Move m = list[i].move;
        move_to_text(m);
        check(parse_move_text(move_text) == m, "move text does not name its move");
        make_move(m);
        check_position("after make_move");
        check(last_move_legal(move_castle_kind(m)), "a listed legal move is illegal");
        unmake_move();
        check_position("after unmake_move");
        check(same_board_and_state(position, before), "unmake did not restore");
    }
    std::uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        make_move(list[i].move);
        leaves += perft(0);
        unmake_move();
    }
    check(leaves == perft(1), "perft disagrees with the moves made one by one");
}

// The output of the engine goes nowhere (or to a sink of the target's own).
inline void discard_output(const char*, std::size_t) {}

// The input lines come from the fuzzer's bytes for as long as this lives.
class InputFromBytes {
  public:
    explicit InputFromBytes(const std::string& text) : text_(text.empty() ? "\n" : text) {
        stream_ = fmemopen(text_.data(), text_.size(), "r");
        if (stream_ == nullptr) fault("fmemopen failed");
        set_input_stream(stream_);
    }
    ~InputFromBytes() {
        finish_input();  // the reader thread, if one ran, has met the end
        set_input_stream(nullptr);
        std::fclose(stream_);
    }
    InputFromBytes(const InputFromBytes&) = delete;
    InputFromBytes& operator=(const InputFromBytes&) = delete;

  private:
    std::string text_;
    std::FILE* stream_;
};

// The scratch directory of this process; empty before enter_scratch_directory.
inline std::string& scratch_directory() {
    static std::string dir;
    return dir;
}

// A fuzzer that ends normally leaves no scratch directory behind (after a
// crash it stays, with the files of the input that did it).
inline void remove_scratch_directory() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_directory(), ignored);
}

// A fresh working directory of the target's own, for the files the engine
// opens by name.
inline void enter_scratch_directory(const char* name) {
    std::string dir = std::string("/tmp/qv_fuzz_") + name + "_XXXXXX";
    if (mkdtemp(dir.data()) == nullptr || chdir(dir.c_str()) != 0) fault("no scratch directory");
    scratch_directory() = dir;
    std::atexit(remove_scratch_directory);
}

// Writes bytes to a file of the working directory.
inline void write_file(const char* path, const unsigned char* data, std::size_t size) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) fault("cannot write a scratch file");
    if (size > 0 && std::fwrite(data, 1, size, file) != size) fault("short write");
    std::fclose(file);
}

}  // namespace fuzz
