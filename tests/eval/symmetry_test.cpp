// Colour symmetry over positions from random games: the board mirrored rank
// for rank with the colours and the side to move swapped must evaluate the
// same, in every phase, on a cache miss and on a hit; and the static exchange
// of every capture must equal its mirror image's and leave the board alone.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "eval/eval_test_support.h"

namespace {

using Evaluator = int (*)();
constexpr Evaluator EVALUATORS[3] = {evaluate_opening, evaluate_middlegame, evaluate_endgame};

struct Measured {
    int miss[3];       // each evaluator on empty caches
    int hit[3];        // the same again, through the pawn cache
    int pawn_part[3];  // what each one stored, White's view
    int through_cache;
    std::vector<Move> captures;
    std::vector<int> exchanges;
};

int phase_of(int material) {
    return material > OPENING_LIMIT ? 0 : material > ENDGAME_LIMIT ? 1 : 2;
}

// Captures of the side to move; the ones a search would test.
std::vector<Move> captures_here() {
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = generate_moves(list);
    std::vector<Move> captures;
    for (int i = 0; i < count; ++i)
        if (move_captured(list[i].move) != EMPTY || move_is_ep(list[i].move))
            captures.push_back(list[i].move);
    return captures;
}

Measured measure(bool mirrored_moves, const std::vector<Move>& original_captures) {
    Measured m{};
    for (int e = 0; e < 3; ++e) {
        m.miss[e] = fresh(EVALUATORS[e]);
        EXPECT_TRUE(pawn_cache_probe(m.pawn_part[e]));
        m.hit[e] = EVALUATORS[e]();
    }
    forget_current_position();
    m.through_cache = evaluate();
    EXPECT_EQ(evaluate(), m.through_cache);  // now from the evaluation cache

    m.captures = mirrored_moves ? original_captures : captures_here();
    for (Move& capture : m.captures) {
        if (mirrored_moves) capture = mirror_move(capture);
        int board_before[BOARD_SIZE];
        std::memcpy(board_before, position.board, sizeof board_before);
        m.exchanges.push_back(static_exchange(capture));
        EXPECT_EQ(std::memcmp(board_before, position.board, sizeof board_before), 0);
    }
    return m;
}

Position saved_game;  // the game position while its mirror image is examined

TEST(ColourSymmetry, RandomGamesInEveryPhase) {
    ensure_tables();
    clear_eval_caches();
    std::mt19937 random(20240611u);
    int samples_per_phase[3] = {0, 0, 0};
    int captures_compared = 0;

    for (int game = 0; game < 120; ++game) {
        init_position();
        for (int ply = 0; ply < 200; ++ply) {
            const std::string fen = board_fen(false);
            const Measured original = measure(false, {});
            const int phase = phase_of(position.state.piece_material);
            ++samples_per_phase[phase];

            saved_game = position;
            const std::string mirror = board_fen(true);
            ASSERT_TRUE(set_position_from_fen(mirror.c_str())) << mirror;
            const Measured image = measure(true, original.captures);
            position = saved_game;

            for (int e = 0; e < 3; ++e) {
                ASSERT_EQ(original.miss[e], original.hit[e]) << "phase " << e << " " << fen;
                ASSERT_EQ(image.miss[e], original.miss[e]) << "phase " << e << " " << fen;
                ASSERT_EQ(image.hit[e], original.hit[e]) << "phase " << e << " " << fen;
                ASSERT_EQ(image.pawn_part[e], -original.pawn_part[e])
                    << "phase " << e << " " << fen;
            }
            ASSERT_EQ(original.through_cache, original.miss[phase]) << fen;
            ASSERT_EQ(image.through_cache, original.through_cache) << fen;
            ASSERT_EQ(image.exchanges, original.exchanges) << fen;
            captures_compared += static_cast<int>(original.exchanges.size());

            // Next move: legal, and a capture more often than not, so that
            // the games reach the middlegame and the endgame.
            MoveEntry list[MOVE_LIST_CAPACITY];
            const int count = legal_moves(list);
            if (count == 0 || insufficient_material()) break;
            std::vector<Move> captures;
            for (int i = 0; i < count; ++i)
                if (move_captured(list[i].move) != EMPTY) captures.push_back(list[i].move);
            Move next = list[random() % static_cast<unsigned>(count)].move;
            if (!captures.empty() && random() % 2 != 0)
                next = captures[random() % static_cast<unsigned>(captures.size())];
            make_move(next);
        }
    }
    init_position();

    // Enough of each phase to mean something (the games are fixed by the seed).
    EXPECT_GE(samples_per_phase[0], 1000);
    EXPECT_GE(samples_per_phase[1], 1000);
    EXPECT_GE(samples_per_phase[2], 1000);
    EXPECT_GE(captures_compared, 5000);
}

}  // namespace
