// Pawn structure and king shelter: the parts of the evaluation that depend
// only on pawns and kings, computed on a pawn-cache miss.
#pragma once

#include "board/board.h"

constexpr int MAX_PAWNS_PER_SIDE = 8;  // entries of each pawn list

// Per-file summary and pawn lists, filled during the square visit. Files are
// 1..8 with empty neighbours 0 and 9; ranks are 1..8 from White's side.
struct PawnSummary {
    int white_rearmost[10];  // lowest white pawn rank on the file, 8 when none
    int black_rearmost[10];  // highest black pawn rank on the file, 1 when none
    int white_on_file[10];
    int black_on_file[10];
    int white_file[MAX_PAWNS_PER_SIDE], white_rank[MAX_PAWNS_PER_SIDE];
    int black_file[MAX_PAWNS_PER_SIDE], black_rank[MAX_PAWNS_PER_SIDE];
    int white_count, black_count;
};

inline int pawn_file(int square) {
    return square % 10;
}
inline int pawn_rank(int square) {
    return square / 10 - 1;
}

// Inline: the summary is filled pawn by pawn on every pawn-cache miss.
inline void clear_pawn_summary(PawnSummary& pawns) {
    for (int file = 0; file < 10; ++file) {
        pawns.white_rearmost[file] = 8;
        pawns.black_rearmost[file] = 1;
        pawns.white_on_file[file] = 0;
        pawns.black_on_file[file] = 0;
    }
    pawns.white_count = 0;
    pawns.black_count = 0;
}

// One colour's half of the summary, and which way its pawns advance.
template <int Side>
struct PawnSide;
template <>
struct PawnSide<WHITE> {
    static constexpr auto rearmost = &PawnSummary::white_rearmost;
    static constexpr auto on_file = &PawnSummary::white_on_file;
    static constexpr auto file = &PawnSummary::white_file;
    static constexpr auto rank = &PawnSummary::white_rank;
    static constexpr auto count = &PawnSummary::white_count;
    // Rank a is nearer White's first rank than rank b.
    static constexpr bool behind(int a, int b) { return a < b; }
    // Ranks from rank a forwards to rank b.
    static constexpr int ahead(int a, int b) { return b - a; }
    static constexpr int relative_rank(int r) { return r; }
};
template <>
struct PawnSide<BLACK> {
    static constexpr auto rearmost = &PawnSummary::black_rearmost;
    static constexpr auto on_file = &PawnSummary::black_on_file;
    static constexpr auto file = &PawnSummary::black_file;
    static constexpr auto rank = &PawnSummary::black_rank;
    static constexpr auto count = &PawnSummary::black_count;
    static constexpr bool behind(int a, int b) { return a > b; }
    static constexpr int ahead(int a, int b) { return a - b; }
    static constexpr int relative_rank(int r) { return 9 - r; }
};

// Appends a pawn of Side to its list and counts it on its file; its rank
// becomes the file's rearmost when no own pawn there stands further back.
template <int Side>
inline void add_pawn(PawnSummary& pawns, int square) {
    using Own = PawnSide<Side>;
    const int file = pawn_file(square), rank = pawn_rank(square);
    int& count = pawns.*Own::count;
    if (count < MAX_PAWNS_PER_SIDE) {
        (pawns.*Own::file)[count] = file;
        (pawns.*Own::rank)[count] = rank;
        ++count;
    }
    ++(pawns.*Own::on_file)[file];
    int& rearmost = (pawns.*Own::rearmost)[file];
    if (Own::behind(rank, rearmost)) rearmost = rank;
}

// Doubled, isolated, backward and passed pawns, White's view.
int pawn_structure(const PawnSummary& pawns, const int (&passed_bonus)[8]);

// Shelter penalty of Side's king, from that side (positive = worse).
template <int Side>
int king_shelter_penalty(const PawnSummary& pawns, int king_square);
