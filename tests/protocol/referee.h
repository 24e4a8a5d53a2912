// The test's own board, from the engine's library, to judge the moves it prints.
#pragma once

#include <string>
#include <vector>

#include "board/board.h"
#include "protocol/engine_process.h"

namespace qv_test {

class Referee {
  public:
    Referee() { init_position(); }
    bool setboard(const std::string& fen) { return set_position_from_fen(fen.c_str()); }
    // Plays the move when it is legal here.
    bool play(const std::string& text) {
        const Move m = parse_move_text(text.c_str());
        if (m == 0) return false;
        make_move(m);
        return true;
    }
    bool is_legal(const std::string& text) const { return parse_move_text(text.c_str()) != 0; }
    int legal_count() const {
        MoveEntry list[MOVE_LIST_CAPACITY];
        return filter_legal(generate_moves(list), list);
    }
};

// The argument of the last "move " line of lines, or "" when there is none.
inline std::string engine_move_in(const std::vector<std::string>& lines) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (starts_with(*it, "move ")) return it->substr(5);
    return {};
}

inline int count_prefix(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const auto& l : lines) n += starts_with(l, prefix) ? 1 : 0;
    return n;
}

}  // namespace qv_test
