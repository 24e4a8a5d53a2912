// The built engine spoken to in UCI, with the checks every UCI interface relies on.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "protocol/engine_process.h"
#include "protocol/referee.h"

namespace qv_test {

// The only lines a UCI interface expects once "uci" has been answered.
inline bool is_uci_line(const std::string& l) {
    for (const char* word : {"id ", "option ", "uciok", "readyok", "info ", "bestmove "})
        if (starts_with(l, word)) return true;
    return false;
}

// The fields of an "info depth ..." line; depth < 0 when the line is none.
struct Info {
    int depth = -1;
    int seldepth = -1;
    bool mate = false;
    int score = 0;  // centipawns, or moves to mate (negative: mated)
    long long nodes = -1, nps = -1, time = -1;
    std::vector<std::string> pv;
};

inline Info parse_info(const std::string& line) {
    Info info;
    if (!starts_with(line, "info depth ")) return info;
    std::istringstream in(line.substr(5));
    std::string word;
    while (in >> word) {
        if (word == "depth") in >> info.depth;
        if (word == "seldepth") in >> info.seldepth;
        if (word == "nodes") in >> info.nodes;
        if (word == "nps") in >> info.nps;
        if (word == "time") in >> info.time;
        if (word == "score") {
            std::string kind;
            in >> kind >> info.score;
            info.mate = kind == "mate";
        }
        if (word == "pv")
            while (in >> word) info.pv.push_back(word);
    }
    return info;
}

// "bestmove M [ponder P]": the two moves ("" when absent).
struct BestMove {
    std::string move, ponder;
};
inline BestMove parse_best_move(const std::string& line) {
    BestMove b;
    std::istringstream in(line);
    std::string word;
    in >> word >> b.move;
    if (in >> word && word == "ponder") in >> b.ponder;
    return b;
}

// An engine in a fresh directory without books, switched to UCI and past its handshake.
struct UciSession {
    EngineDir dir;
    EngineProcess engine;
    std::vector<std::string> handshake;  // the lines up to and including "uciok"
    explicit UciSession(Limits limits = {}) : engine(dir.path(), limits) {
        engine.read_through("Quorvanite>");
        engine.send("uci");
        engine.read_through("UCI protocol selected\n");
        handshake = engine.lines_until_prefix("uciok");
    }
    // Round trip: every line sent before has been handled when readyok is back.
    std::vector<std::string> sync(int timeout_ms = WAIT_MS) {
        engine.send("isready");
        return checked(engine.lines_until_prefix("readyok", timeout_ms));
    }
    // Lines through the next bestmove.
    std::vector<std::string> until_best_move(int timeout_ms = WAIT_MS) {
        return checked(engine.lines_until_prefix("bestmove ", timeout_ms));
    }
    static std::vector<std::string> checked(std::vector<std::string> lines) {
        for (const auto& l : lines) EXPECT_TRUE(is_uci_line(l)) << "not a UCI line: " << l;
        return lines;
    }
};

// Every variation of the info lines, and the best move with its ponder move,
// is legal in the referee's position (which it leaves as it was).
inline void expect_legal_output(const std::vector<std::string>& lines, Referee& referee) {
    for (const auto& l : lines) {
        const Info info = parse_info(l);
        if (info.depth < 0) continue;
        int played = 0;
        for (const auto& m : info.pv) {
            if (!referee.play(m)) {
                ADD_FAILURE() << "illegal move " << m << " in " << l;
                break;
            }
            ++played;
        }
        while (played-- > 0) unmake_move();
    }
    ASSERT_FALSE(lines.empty());
    const BestMove best = parse_best_move(lines.back());
    ASSERT_TRUE(referee.play(best.move)) << lines.back();
    if (!best.ponder.empty()) {
        EXPECT_TRUE(referee.is_legal(best.ponder)) << lines.back();
    }
    unmake_move();
}

}  // namespace qv_test
