// The time manager: the clock commands as interfaces write them, and the hard
// limit that keeps every move inside its "st" and the clock inside its time.
#include "frontend/timeman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "search/internal.h"

namespace {

class TimeManager : public ::testing::Test {
  protected:
    void TearDown() override {
        clear_time_control();
        budget_half_moves = 0;
        hard_deadline_ms.store(NO_DEADLINE);
    }
};

struct Clock {
    int moves, left_cs, increment_cs;
};

Clock level(const char* text) {
    set_level(text);
    EXPECT_TRUE(clock_control) << text;
    EXPECT_EQ(move_time_ms, NO_MOVE_TIME) << text;
    return {moves_per_control, time_left_cs.load(), increment_cs};
}

bool operator==(const Clock& a, const Clock& b) {
    return a.moves == b.moves && a.left_cs == b.left_cs && a.increment_cs == b.increment_cs;
}
std::ostream& operator<<(std::ostream& out, const Clock& c) {
    return out << c.moves << " moves, " << c.left_cs << " cs + " << c.increment_cs << " cs";
}

TEST_F(TimeManager, LevelReadsMinutesSecondsAndFractions) {
    EXPECT_EQ(level("40 5 0"), (Clock{40, 30000, 0}));
    EXPECT_EQ(level("0 0:30 0.5"), (Clock{0, 3000, 50}));  // python-chess, xboard, cutechess
    EXPECT_EQ(level("40 1:30 0"), (Clock{40, 9000, 0}));
    EXPECT_EQ(level("0 2 0.5"), (Clock{0, 12000, 50}));
    EXPECT_EQ(level("0 1 1"), (Clock{0, 6000, 100}));
    EXPECT_EQ(level("0 1:00 1"), (Clock{0, 6000, 100}));  // the increment is kept
    EXPECT_EQ(level("0 0:05 .25"), (Clock{0, 500, 25}));
    EXPECT_EQ(level("0 0.5 0"), (Clock{0, 3000, 0}));  // half a minute
    EXPECT_EQ(level("  60   10:00   12 "), (Clock{60, 60000, 1200}));
}

TEST_F(TimeManager, MalformedLevelsKeepASaneClock) {
    EXPECT_EQ(level(""), (Clock{0, 0, 0}));
    EXPECT_EQ(level("40"), (Clock{40, 0, 0}));
    EXPECT_EQ(level("40 x 5"), (Clock{40, 0, 0}));
    EXPECT_EQ(level("x 5 0"), (Clock{0, 0, 0}));
    EXPECT_EQ(level("-3 -5 -1"), (Clock{0, 0, 0}));
    EXPECT_EQ(level("0 1: 2"), (Clock{0, 6000, 200}));  // a colon without seconds
    EXPECT_EQ(level("99999999 99999999999 99999999999"), (Clock{10000, 259200000, 259200000}));
    EXPECT_EQ(time_budget.load(), 0);
    EXPECT_EQ(max_depth, 32);
}

TEST_F(TimeManager, SearchTimeInSecondsWithFractions) {
    struct Case {
        const char* text;
        int budget_cs;
        std::int64_t move_ms, limit_ms;
    } const cases[] = {
        // 50 ms and a twentieth of the time are kept for the output and the interface
        {"1", 100, 1000, 900},
        {"0.5", 50, 500, 425},
        {"2.25", 225, 2250, 2250 - 50 - 112},
        {"30", 3000, 30000, 30000 - 50 - 250},
        {"0.05", 5, 50, 25},  // too short for the margin: half of it
        {"0", 0, 0, 0},
        {"-3", 0, 0, 0},
        {"99999999999", UNLIMITED_TIME_BUDGET, UNLIMITED_TIME_BUDGET * 10LL,
         UNLIMITED_TIME_BUDGET * 10LL - 300},
    };
    for (const Case& c : cases) {
        set_search_time(c.text);
        EXPECT_FALSE(clock_control) << c.text;
        EXPECT_EQ(time_budget.load(), c.budget_cs) << c.text;
        EXPECT_EQ(move_time_ms, c.move_ms) << c.text;
        EXPECT_EQ(hard_move_limit_ms(), c.limit_ms) << c.text;
    }
    // No number: no time limit at all, as after "new".
    for (const char* text : {"", "soon"}) {
        set_search_time(text);
        EXPECT_EQ(time_budget.load(), 259200000) << text;
        EXPECT_EQ(hard_move_limit_ms(), NO_DEADLINE) << text;
    }
}

TEST_F(TimeManager, DepthAndNewGameHaveNoDeadline) {
    set_search_time("1");
    set_search_depth("6");
    EXPECT_EQ(max_depth, 6);
    EXPECT_EQ(hard_move_limit_ms(), NO_DEADLINE);
    set_level("40 5 0");
    clear_time_control();
    EXPECT_FALSE(clock_control);
    EXPECT_EQ(hard_move_limit_ms(), NO_DEADLINE);
    plan_move_time(1000);
    EXPECT_EQ(hard_deadline_ms.load(), NO_DEADLINE);
}

TEST_F(TimeManager, DeadlineCountsFromTheStartOfTheEnginesClock) {
    set_search_time("1");
    plan_move_time(123456);
    EXPECT_EQ(hard_deadline_ms.load(), 123456 + 900);
    EXPECT_EQ(time_budget.load(), 100);  // the soft rules keep their st budget
}

// The limit under a level control, with the budget the driver computes first.
std::int64_t level_limit(const char* text, int left_cs, int half_moves = 0) {
    set_level(text);
    time_left_cs.store(left_cs);
    budget_half_moves = half_moves;
    plan_move_time(0);
    return hard_deadline_ms.load();
}

TEST_F(TimeManager, NoMoveSpendsMoreThanAQuarterOfTheClock) {
    // One minute plus 30 s a move: the budget is capped at a quarter (15 s), and
    // three budgets are no longer allowed (the move once took 23 s of 60).
    EXPECT_EQ(level_limit("0 1 30", 6000), 15000);
    EXPECT_EQ(time_budget.load(), 1500);
    // The last move before a control may use the most, still a quarter (of the
    // clock less the 10 ms kept for it).
    EXPECT_EQ(level_limit("40 5 0", 30000, 78), (300000 - 10) / 4);
}

TEST_F(TimeManager, ManyMovesToGoLeaveLess) {
    // 40 to go: three budgets, not a quarter of 90 s; 10 ms a move kept back.
    EXPECT_EQ(level_limit("40 1:30 0", 9000), 3 * ((90000 - 40 * 10) / 40));
    // 10 to go: a quarter, not three budgets of 9 s.
    EXPECT_EQ(level_limit("40 1:30 0", 9000, 60), (90000 - 10 * 10) / 4);
    // An increment pays for the moves: nothing is kept back.
    EXPECT_EQ(level_limit("0 0:30 0.5", 3000), 3 * (750 + 375));
    EXPECT_EQ(level_limit("0 1 1", 6000), 3 * (1500 + 750));
}

TEST_F(TimeManager, AShortClockIsNeverOverspent) {
    // 2 s left, no increment: a short move, and never the last of the time.
    EXPECT_EQ(level_limit("0 0:02 0", 200), 3 * ((2000 - 40 * 10) / 40));
    EXPECT_EQ(level_limit("0 0:02 0", 40), 0);  // all kept for the moves to come
    for (int left_cs = 0; left_cs <= 400; ++left_cs) {
        const std::int64_t limit = level_limit("0 0:02 0", left_cs);
        EXPECT_GE(limit, 0) << left_cs;
        EXPECT_LE(limit, left_cs * 10 / 4) << left_cs;
        EXPECT_LE(limit, std::max<std::int64_t>(0, left_cs * 10 - MOVE_OVERHEAD_MS)) << left_cs;
    }
    // A clock already run out (the interface's "time" may be negative): move at once.
    EXPECT_EQ(level_limit("0 1 0", -500), 0);
}

TEST_F(TimeManager, TwoSecondsLastAWholeGame) {
    // Every move spends all its hard limit and 5 ms more on the way: the clock
    // still lasts a hundred moves.
    std::int64_t left_ms = 2000;
    int moves = 0;
    set_level("0 0:02 0");
    for (; moves < 100 && left_ms > 0; ++moves) {
        time_left_cs.store(static_cast<int>(left_ms / 10));
        const std::int64_t limit = hard_move_limit_ms();
        left_ms -= limit + 5;
    }
    EXPECT_EQ(moves, 100) << "clock ran out, " << left_ms << " ms";
}

}  // namespace

namespace {

// A clock given with the move (UCI's go) is budgeted exactly as the same level would be.
TEST_F(TimeManager, ClockWithTheMoveFollowsTheLevelRules) {
    struct Case {
        const char* level;
        int left_cs, half_moves;
        std::int64_t left_ms, increment_ms;
        int moves_to_go;
    } const cases[] = {
        {"0 1 0", 6000, 0, 60000, 0, 0},          // sudden death
        {"0 0:30 0.5", 2500, 17, 25000, 500, 0},  // with an increment
        {"40 5 0", 12000, 30, 120000, 0, 25},     // 25 moves to the control
        {"10 1 0", 500, 18, 5000, 0, 1},          // the last move before it
        {"0 0:03 0.02", 7, 40, 70, 20, 0},        // almost out of time
    };
    for (const Case& c : cases) {
        const std::int64_t by_level = level_limit(c.level, c.left_cs, c.half_moves);
        const int level_budget = time_budget.load();
        clear_time_control();
        set_move_clock(c.left_ms, c.increment_ms, c.moves_to_go);
        EXPECT_TRUE(clock_control) << c.level;
        plan_move_time(0);
        EXPECT_EQ(hard_deadline_ms.load(), by_level) << c.level;
        EXPECT_EQ(time_budget.load(), level_budget) << c.level;
        EXPECT_EQ(max_depth, DEFAULT_MAX_DEPTH) << c.level;
    }
}

TEST_F(TimeManager, MoveTimeBesideAClockTheTighterHolds) {
    clear_time_control();
    set_move_time(1000);
    EXPECT_EQ(hard_move_limit_ms(), 900);  // as "st 1"
    EXPECT_EQ(time_budget.load(), 100);
    // A clock of 2 s for the rest of the game: three budgets (120 ms) are tighter.
    clear_time_control();
    set_move_clock(2000, 0, 0);
    set_move_time(1000);
    plan_move_time(0);
    EXPECT_EQ(hard_deadline_ms.load(), 120);
    EXPECT_EQ(time_budget.load(), 200 / 40);
    // A clock of 10 minutes: the second per move holds, budget and limit alike.
    clear_time_control();
    set_move_clock(600000, 0, 0);
    set_move_time(1000);
    plan_move_time(0);
    EXPECT_EQ(hard_deadline_ms.load(), 900);
    EXPECT_EQ(time_budget.load(), 100);
    // Clocks the interface has let run out still give a move at once, never a negative limit.
    clear_time_control();
    set_move_clock(-300, -50, -4);
    EXPECT_EQ(time_left_cs.load(), 0);
    EXPECT_EQ(increment_cs, 0);
    EXPECT_EQ(moves_per_control, 0);
    EXPECT_EQ(hard_move_limit_ms(), 0);
}

// The Move Overhead comes off the clock before the budget and the hard limit
// are planned: a move is planned as on a clock that much shorter.
TEST_F(TimeManager, MoveOverheadPlansAsOnAShorterClock) {
    const struct {
        std::int64_t clock_ms, increment_ms, moves_to_go;
        int overhead_ms;
    } cases[] = {
        {60000, 0, 0, 500}, {60000, 1000, 0, 1000}, {10000, 0, 40, 300}, {3000, 100, 0, 5000}};
    for (const auto& c : cases) {
        const auto plan = [&c](std::int64_t clock_ms, int overhead_ms) {
            move_overhead_ms = overhead_ms;
            MoveLimits limits;
            limits.clock_ms = clock_ms;
            limits.increment_ms = c.increment_ms;
            limits.moves_to_go = c.moves_to_go;
            set_move_limits(limits);
            plan_move_time(0);
            return std::make_pair(time_budget.load(), hard_deadline_ms.load());
        };
        const auto with_overhead = plan(c.clock_ms, c.overhead_ms);
        EXPECT_EQ(with_overhead, plan(std::max<std::int64_t>(c.clock_ms - c.overhead_ms, 0), 0))
            << c.clock_ms << " ms, overhead " << c.overhead_ms;
        EXPECT_LT(with_overhead, plan(c.clock_ms, 0)) << c.clock_ms << " ms";
    }
    move_overhead_ms = 0;
}

}  // namespace
