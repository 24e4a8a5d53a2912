// Pawn structure and king shelter: the parts of the evaluation that depend
// only on pawns and kings, computed on a pawn-cache miss.
#pragma once

constexpr int MAX_PAWNS_PER_SIDE = 8;

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

inline void add_white_pawn(PawnSummary& pawns, int square) {
    const int file = pawn_file(square), rank = pawn_rank(square);
    if (pawns.white_count < MAX_PAWNS_PER_SIDE) {
        pawns.white_file[pawns.white_count] = file;
        pawns.white_rank[pawns.white_count] = rank;
        ++pawns.white_count;
    }
    ++pawns.white_on_file[file];
    if (rank < pawns.white_rearmost[file]) pawns.white_rearmost[file] = rank;
}

inline void add_black_pawn(PawnSummary& pawns, int square) {
    const int file = pawn_file(square), rank = pawn_rank(square);
    if (pawns.black_count < MAX_PAWNS_PER_SIDE) {
        pawns.black_file[pawns.black_count] = file;
        pawns.black_rank[pawns.black_count] = rank;
        ++pawns.black_count;
    }
    ++pawns.black_on_file[file];
    if (rank > pawns.black_rearmost[file]) pawns.black_rearmost[file] = rank;
}

// Doubled, isolated, backward and passed pawns, White's view.
int pawn_structure(const PawnSummary& pawns, const int (&passed_bonus)[8]);

// Shelter penalties, each from its own king's side (positive = worse).
int white_shelter_penalty(const PawnSummary& pawns, int king_square);
int black_shelter_penalty(const PawnSummary& pawns, int king_square);
