// Speed of the engine's hot functions on a fixed corpus of positions:
// generation, make/unmake, attack tests, evaluation (cold and warm caches),
// static exchange, the table probe, move picking, and a short search. It
// reports and never fails; the node counts of the search are the test suite's
// business.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "search/internal.h"

namespace {

// Openings, middlegames with both kings castled, tactical positions full of
// captures and promotions, and endgames.
const char* const CORPUS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "3r1r1k/1b4pp/ppn1p3/4Pp1R/Pn5P/3P4/4QP2/1qB1NKR1 w - - 0 1",
    "2r3k1/pp3ppp/2n1b3/3pP3/3P4/2PB1N2/P4PPP/R5K1 b - - 0 20",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "4k3/1P4P1/8/2pP4/8/8/1p4p1/4K3 w - c6 0 1",
};
constexpr int CORPUS_SIZE = sizeof CORPUS / sizeof CORPUS[0];

void ensure_tables() {
    if (tt_table != nullptr) return;
    tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
    eval_cache_count = EVAL_CACHE_COUNT;
    pawn_cache_count = PAWN_CACHE_COUNT;
    if (!allocate_tables()) std::abort();
}

void set_up(int n) {
    if (!set_position_from_fen(CORPUS[n])) std::abort();
}

// Runs body once per corpus position per iteration, with the position set up
// outside the timing. body returns how many calls of the measured function it
// made: the items of the report.
template <class Body>
void over_corpus(benchmark::State& state, Body body) {
    ensure_tables();
    std::int64_t calls = 0;
    for (auto _ : state) {
        for (int n = 0; n < CORPUS_SIZE; ++n) {
            state.PauseTiming();
            set_up(n);
            state.ResumeTiming();
            calls += body();
        }
    }
    state.SetItemsProcessed(calls);
}

// The bodies below run many times per set-up, so that setting up and the
// timer's own pauses do not dominate.
constexpr int REPEATS = 64;

void BM_GenerateMoves(benchmark::State& state) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    over_corpus(state, [&] {
        for (int r = 0; r < REPEATS; ++r) benchmark::DoNotOptimize(generate_moves(list));
        return REPEATS;
    });
}

void BM_GenerateCaptures(benchmark::State& state) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    over_corpus(state, [&] {
        for (int r = 0; r < REPEATS; ++r) benchmark::DoNotOptimize(generate_captures(list));
        return REPEATS;
    });
}

// Every pseudo-legal move made and taken back (items: pairs).
void BM_MakeUnmake(benchmark::State& state) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    over_corpus(state, [&] {
        const int count = generate_moves(list);
        for (int r = 0; r < REPEATS / 8; ++r)
            for (int i = 0; i < count; ++i) {
                make_move(list[i].move);
                unmake_move();
            }
        benchmark::ClobberMemory();
        return REPEATS / 8 * count;
    });
}

// The same with the legality test between, as every node does.
void BM_MakeLegalUnmake(benchmark::State& state) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    over_corpus(state, [&] {
        const int count = generate_moves(list);
        int legal = 0;
        for (int r = 0; r < REPEATS / 8; ++r)
            for (int i = 0; i < count; ++i) {
                make_move(list[i].move);
                legal += last_move_legal(move_castle_kind(list[i].move)) ? 1 : 0;
                unmake_move();
            }
        benchmark::DoNotOptimize(legal);
        return REPEATS / 8 * count;
    });
}

// Both colours' attacks on every square (items: single tests).
void BM_AttackTests(benchmark::State& state) {
    over_corpus(state, [&] {
        int hits = 0;
        for (int r = 0; r < REPEATS / 16; ++r)
            for (const int sq : squares_a1_h8)
                hits += (attacked_by_white(sq) ? 1 : 0) + (attacked_by_black(sq) ? 2 : 0);
        benchmark::DoNotOptimize(hits);
        return REPEATS / 16 * 64 * 2;
    });
}

void forget_evaluation() {
    eval_state->eval_cache[static_cast<std::uint32_t>(position.state.key) & eval_cache_mask] =
        EvalCacheEntry{};
}
void forget_pawn_part() {
    eval_state->pawn_cache[position.state.pawn_key & pawn_cache_mask] = PawnCacheEntry{};
}
void forget_pawn_terms() {
    eval_state->pawn_terms[position.state.pawn_key & (PAWN_TERMS_COUNT - 1)] = PawnTermsEntry{};
}

// Nothing cached: the whole evaluation, pawn structure and shelter included.
void BM_EvaluateCold(benchmark::State& state) {
    over_corpus(state, [&] {
        for (int r = 0; r < REPEATS; ++r) {
            forget_evaluation();
            forget_pawn_part();
            forget_pawn_terms();
            benchmark::DoNotOptimize(evaluate());
        }
        return REPEATS;
    });
}

// The pawn part not cached, its terms known (the same pawns and kings were
// seen with other pieces): the common pawn-cache miss in the capture search.
void BM_EvaluatePawnTermsKnown(benchmark::State& state) {
    over_corpus(state, [&] {
        for (int r = 0; r < REPEATS; ++r) {
            forget_evaluation();
            forget_pawn_part();
            benchmark::DoNotOptimize(evaluate());
        }
        return REPEATS;
    });
}

// The pawn part cached, the position not: the common case in the search.
void BM_EvaluatePawnsCached(benchmark::State& state) {
    over_corpus(state, [&] {
        for (int r = 0; r < REPEATS; ++r) {
            forget_evaluation();
            benchmark::DoNotOptimize(evaluate());
        }
        return REPEATS;
    });
}

// The whole score cached.
void BM_EvaluateWarm(benchmark::State& state) {
    over_corpus(state, [&] {
        for (int r = 0; r < REPEATS; ++r) benchmark::DoNotOptimize(evaluate());
        return REPEATS;
    });
}

// Every capture of the capture generator.
void BM_StaticExchange(benchmark::State& state) {
    MoveEntry list[MOVE_LIST_CAPACITY];
    over_corpus(state, [&] {
        const int count = generate_captures(list);
        int sum = 0;
        for (int r = 0; r < REPEATS / 4; ++r)
            for (int i = 0; i < count; ++i) sum += static_exchange(list[i].move);
        benchmark::DoNotOptimize(sum);
        return REPEATS / 4 * count;
    });
}

// Rescores the full list and picks every move in turn, as a node that
// searches them all does (items: picks).
void BM_PickNextMove(benchmark::State& state) {
    MoveEntry generated[MOVE_LIST_CAPACITY], list[MOVE_LIST_CAPACITY];
    over_corpus(state, [&] {
        const int count = generate_moves(generated);
        for (int r = 0; r < REPEATS / 8; ++r) {
            std::memcpy(list, generated, sizeof(MoveEntry) * static_cast<std::size_t>(count));
            score_moves(count, generated[count / 2].move, list);
            for (int i = 0; i < count; ++i) pick_next_move(i, count, list);
        }
        benchmark::ClobberMemory();
        return REPEATS / 8 * count;
    });
}

// Probes of keys spread over the whole 32 MB table, half of them stored.
void BM_TableProbe(benchmark::State& state) {
    ensure_tables();
    tt_clear_all();
    constexpr int KEYS = 1 << 16;
    std::vector<std::uint64_t> keys(KEYS);
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t& k : keys) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        k = x;
    }
    const std::uint64_t kept = position.state.key;
    for (int i = 0; i < KEYS; i += 2) {
        position.state.key = keys[i];
        tt_store(i % 200 - 100, i % 12, BOUND_EXACT + i % 3, static_cast<Move>(i));
    }
    std::int64_t done = 0;
    for (auto _ : state) {
        int found = 0;
        for (const std::uint64_t k : keys) {
            position.state.key = k;
            int score = 0;
            Move move = 0;
            found += tt_probe(-50, 50, 4, score, move) ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
        done += KEYS;
    }
    position.state.key = kept;
    state.SetItemsProcessed(done);
}

// A fixed-depth search of every corpus position from empty tables (the
// argument is the depth), with its speed in nodes per second.
void BM_Search(benchmark::State& state) {
    ensure_tables();
    SearchLimits limits;
    limits.depth = static_cast<int>(state.range(0));
    const auto quiet = [](const SearchInfo&) {};
    const auto no_lines = [](const SearchInfo*, int) {};
    const SearchReport report = {quiet, quiet, quiet, no_lines, quiet, quiet, no_lines};
    std::int64_t nodes = 0;
    for (auto _ : state) {
        for (int n = 0; n < CORPUS_SIZE; ++n) {
            state.PauseTiming();
            set_up(n);
            tt_clear_all();
            clear_search_signals();
            state.ResumeTiming();
            const RootMoves result = search(limits, report);
            nodes += static_cast<std::int64_t>(result.nodes.moves + result.nodes.captures);
        }
    }
    state.counters["nodes/s"] =
        benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_GenerateMoves);
BENCHMARK(BM_GenerateCaptures);
BENCHMARK(BM_MakeUnmake);
BENCHMARK(BM_MakeLegalUnmake);
BENCHMARK(BM_AttackTests);
BENCHMARK(BM_EvaluateCold);
BENCHMARK(BM_EvaluatePawnTermsKnown);
BENCHMARK(BM_EvaluatePawnsCached);
BENCHMARK(BM_EvaluateWarm);
BENCHMARK(BM_StaticExchange);
BENCHMARK(BM_PickNextMove);
BENCHMARK(BM_TableProbe);
BENCHMARK(BM_Search)->Arg(6)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
