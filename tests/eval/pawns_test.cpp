// Pawn structure and king shelter on boards set up for each rule.
#include "eval/pawns.h"

#include <gtest/gtest.h>

#include "eval/eval_tables.h"
#include "eval/eval_test_support.h"

namespace {

PawnSummary summary_of(const std::string& placement) {
    set_fen_for_eval(placement + " w - - 0 1");
    PawnSummary pawns;
    clear_pawn_summary(pawns);
    for (const int sq : squares_a1_h8) {
        if (position.board[sq] == W_PAWN) add_pawn<WHITE>(pawns, sq);
        if (position.board[sq] == B_PAWN) add_pawn<BLACK>(pawns, sq);
    }
    return pawns;
}

int opening_structure(const std::string& placement) {
    return pawn_structure(summary_of(placement), passed_bonus_opening);
}
int later_structure(const std::string& placement) {
    return pawn_structure(summary_of(placement), passed_bonus_middlegame_endgame);
}

TEST(PawnSummary, FilesRanksAndRearmostPawns) {
    const PawnSummary p = summary_of("4k3/3p4/3p4/8/8/3P4/3P4/4K3");
    EXPECT_EQ(p.white_on_file[4], 2);
    EXPECT_EQ(p.white_rearmost[4], 2);
    EXPECT_EQ(p.black_on_file[4], 2);
    EXPECT_EQ(p.black_rearmost[4], 7);
    EXPECT_EQ(p.white_rearmost[5], 8);  // empty files keep their start values
    EXPECT_EQ(p.black_rearmost[5], 1);
    ASSERT_EQ(p.white_count, 2);
    EXPECT_EQ(p.white_file[0], 4);  // d2 first: squares are visited from a1
    EXPECT_EQ(p.white_rank[0], 2);
    EXPECT_EQ(p.white_rank[1], 3);
    ASSERT_EQ(p.black_count, 2);
    EXPECT_EQ(p.black_rank[0], 6);
}

TEST(PawnStructure, StartPositionScoresNothing) {
    const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";
    EXPECT_EQ(opening_structure(start), 0);
    EXPECT_EQ(later_structure(start), 0);
}

TEST(PawnStructure, LoneIsolatedPassedPawn) {
    EXPECT_EQ(opening_structure("4k3/8/8/4P3/8/8/8/4K3"), 20);
    EXPECT_EQ(later_structure("4k3/8/8/4P3/8/8/8/4K3"), 20);
    EXPECT_EQ(opening_structure("4k3/8/8/8/4p3/8/8/4K3"), -20);  // e4 is Black's fifth rank
}

TEST(PawnStructure, BackwardAndPassedWithANeighbour) {
    // d4 is behind e5 (backward) and passed; e5 is passed.
    EXPECT_EQ(opening_structure("4k3/8/8/4P3/3P4/8/8/4K3"), -10 + 30 + 40);
    EXPECT_EQ(later_structure("4k3/8/8/4P3/3P4/8/8/4K3"), -10 + 36 + 49);
    // Black's mirror image: e3 passed (its sixth rank), d6 backward and passed.
    EXPECT_EQ(opening_structure("4k3/8/3p4/8/8/4p3/8/4K3"), 10 - 20 - 50);
    EXPECT_EQ(later_structure("4k3/8/3p4/8/8/4p3/8/4K3"), 10 - 23 - 62);
}

TEST(PawnStructure, EachDoubledPawnIsCharged) {
    // Black pawns on d7 and e7 close both files, so only the doubling counts.
    EXPECT_EQ(opening_structure("4k3/3pp3/8/8/8/4P3/3PP3/4K3"), -20);
    // Doubled and isolated on a closed file: 2 x (20 + 4); a7 closed isolated +4.
    EXPECT_EQ(opening_structure("4k3/p7/8/8/8/P7/P7/4K3"), -48 + 4);
    // Three on a closed file with a neighbour: 10 each.
    EXPECT_EQ(opening_structure("4k3/1ppp4/8/8/2P5/2P5/1PP5/4K3"), -30);
}

TEST(PawnStructure, EnemyPawnOnTheFileEvenBehind) {
    // e5 with a neighbour on d4 but a black pawn behind it on e3: not passed,
    // no backward test; d4 is passed (e3 is not ahead of it) but backward.
    // The black e3 pawn is isolated on a file with white pawns: closed, +10.
    EXPECT_EQ(opening_structure("4k3/8/8/4P3/3P4/4p3/8/4K3"), (-10 + 30) + 10);
}

TEST(PawnStructure, IsolatedOpenAndClosed) {
    // b4 alone; a black pawn on c6 stands ahead on the adjacent file: open.
    // c6 is isolated too, and b4 stands ahead of it: open for Black as well.
    EXPECT_EQ(opening_structure("4k3/8/2p5/8/1P6/8/8/4K3"), -12 + 14);
    // White a2 against black a7: both closed, the edge file costs 4 each.
    EXPECT_EQ(opening_structure("4k3/p7/8/8/8/8/P7/4K3"), -4 + 4);
}

TEST(PawnStructure, BlackPawnLevelWithWhiteStillLetsItPass) {
    // Black c4 level with white d4 is not ahead of it: d4 (neighbour e3)
    // is passed; c4 is passed too, as d4 does not stand below it.
    const int score = opening_structure("4k3/8/8/8/2pP4/4P3/8/4K3");
    // d4: no backward (e3 is behind), passed_bonus[4] 30. e3: backward? e3 < d4
    // and < f (8): yes -10; passed (rank 3) +20. c4: isolated, passed on its
    // fifth rank: -20.
    EXPECT_EQ(score, 30 - 10 + 20 - 20);
}

int white_shelter(const std::string& placement) {
    const PawnSummary pawns = summary_of(placement);
    return king_shelter_penalty<WHITE>(pawns, position.state.king_square[WHITE]);
}
int black_shelter(const std::string& placement) {
    const PawnSummary pawns = summary_of(placement);
    return king_shelter_penalty<BLACK>(pawns, position.state.king_square[BLACK]);
}

TEST(KingShelter, StartPositionIsSheltered) {
    const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";
    EXPECT_EQ(white_shelter(start), 0);
    EXPECT_EQ(black_shelter(start), 0);
}

TEST(KingShelter, CastledKingFiles) {
    EXPECT_EQ(white_shelter("4k3/8/8/8/8/8/5PPP/6K1"), 0);
    EXPECT_EQ(white_shelter("4k3/8/8/8/6P1/8/5P1P/6K1"), 20);  // g4: distance 3
    EXPECT_EQ(white_shelter("4k3/8/8/8/8/8/5P1P/6K1"), 50);    // no g-pawn, main file
    EXPECT_EQ(white_shelter("4k3/8/8/8/8/8/6PP/6K1"), 15);     // no f-pawn, outer file
    EXPECT_EQ(white_shelter("4k3/8/8/8/8/5P2/6PP/6K1"), 5);    // f3: outer, distance 2
    EXPECT_EQ(white_shelter("4k3/8/8/8/5P2/8/6PP/6K1"), 10);   // f4: outer distance 3
    EXPECT_EQ(black_shelter("6k1/5ppp/8/8/8/8/8/4K3"), 0);
    EXPECT_EQ(black_shelter("6k1/5p1p/8/6p1/8/8/8/4K3"), 20);
    EXPECT_EQ(black_shelter("6k1/5p1p/8/8/8/8/8/4K3"), 50);
    EXPECT_EQ(black_shelter("6k1/6pp/8/8/8/8/8/4K3"), 15);
}

TEST(KingShelter, FilesByKingFile) {
    // No pawns at all: 50 per main file, 15 for the outer file.
    const struct {
        const char* placement;
        int penalty;
    } bare[] = {
        {"4k3/8/8/8/8/8/8/K7", 100},  {"4k3/8/8/8/8/8/8/1K6", 115}, {"4k3/8/8/8/8/8/8/2K5", 115},
        {"4k3/8/8/8/8/8/8/3K4", 150}, {"4k3/8/8/8/8/8/8/4K3", 150}, {"4k3/8/8/8/8/8/8/5K2", 115},
        {"4k3/8/8/8/8/8/8/6K1", 115}, {"4k3/8/8/8/8/8/8/7K", 100},
    };
    for (const auto& c : bare) EXPECT_EQ(white_shelter(c.placement), c.penalty) << c.placement;
    // Queen side: king b1 shelters on a, b (main) and c (outer).
    EXPECT_EQ(white_shelter("4k3/8/8/8/8/8/PP6/1K6"), 15);
    EXPECT_EQ(white_shelter("4k3/8/8/8/8/8/1PP5/1K6"), 50);
}

TEST(KingShelter, PawnsBehindTheKing) {
    EXPECT_EQ(white_shelter("4k3/8/8/8/4K3/8/3PPP2/8"), 120);
    EXPECT_EQ(black_shelter("8/3ppp2/8/4k3/8/8/8/4K3"), 120);
    // Only the rearmost pawn counts: g2 behind the king on g3 outweighs g4.
    EXPECT_EQ(white_shelter("4k3/8/8/8/5PPP/6K1/6P1/8"), 40);
}

}  // namespace
