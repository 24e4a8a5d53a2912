// The reader thread and the listeners that hear lines during a search, fed
// through a pipe as an interface feeds the engine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "frontend/io.h"
#include "platform/platform.h"

namespace {

// What the test listener heard; written on the reader thread, read after
// wait_until_heard (which orders the two).
std::vector<std::string> heard;
std::atomic<int> heard_count{0};

// "drop..." is handled, "end" ends listening with the line kept, "stop" ends
// it with the line dropped, anything else is held.
Heard test_listener(const char* line, std::int64_t) {
    heard.push_back(line == nullptr ? "<end>" : line);
    heard_count.fetch_add(1);
    if (line == nullptr) return Heard::ENDS_HELD;
    const std::string text = line;
    if (text.rfind("drop", 0) == 0) return Heard::HANDLED;
    if (text == "end") return Heard::ENDS_HELD;
    if (text == "stop") return Heard::ENDS_HANDLED;
    return Heard::HELD;
}

class Reader : public ::testing::Test {
  protected:
    void SetUp() override {
        heard.clear();
        heard_count = 0;
        ASSERT_EQ(pipe(fds_), 0);
        stream_ = fdopen(fds_[0], "r");
        ASSERT_NE(stream_, nullptr);
        set_input_stream(stream_);
        ASSERT_TRUE(start_input_reader());
        EXPECT_TRUE(input_reader_started());
    }
    void TearDown() override {
        stop_listening();
        close_writer();
        while (read_line()) {
        }  // to the end: the reader thread has then finished
        set_input_stream(nullptr);
        EXPECT_FALSE(input_reader_started());
        if (stream_ != nullptr) std::fclose(stream_);
    }
    void send(const std::string& text) {
        ASSERT_EQ(write(fds_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void close_writer() {
        if (fds_[1] >= 0) close(fds_[1]);
        fds_[1] = -1;
    }
    static std::string next() { return read_line() ? std::string(input_line) : "<end>"; }
    // Until the listener has heard n lines (bounded).
    static void await_heard(int n) {
        for (int i = 0; i < 5000 && heard_count.load() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(heard_count.load(), n);
    }

  private:
    int fds_[2] = {-1, -1};
    std::FILE* stream_ = nullptr;
};

TEST_F(Reader, LinesComeInTheirOrderWithTheLineReadersRules) {
    send("new\r\n\ngo\n" + std::string(200, 'x') + "\nlast");
    close_writer();
    EXPECT_EQ(next(), "new");
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next(), "go");
    EXPECT_EQ(next(), std::string(127, 'x'));
    EXPECT_EQ(next(), "last");
    EXPECT_FALSE(input_ended());
    EXPECT_EQ(next(), "<end>");
    EXPECT_TRUE(input_ended());
    EXPECT_EQ(next(), "<end>");
}

TEST_F(Reader, ArrivalTimeComesWithTheLine) {
    line_arrival_ms = -1;
    const std::int64_t before = clock_ms();
    send("ping 1\n");
    EXPECT_EQ(next(), "ping 1");
    EXPECT_GE(line_arrival_ms, before);
    EXPECT_LE(line_arrival_ms, clock_ms());
}

TEST_F(Reader, WaitingLinesAreHeardFirstAndInOrder) {
    send("hold 1\ndrop 1\nhold 2\nend\nhold 3\n");
    ASSERT_TRUE(listen(test_listener));
    wait_until_heard();
    // After the line that ended listening nothing more is heard.
    EXPECT_EQ(heard, (std::vector<std::string>{"hold 1", "drop 1", "hold 2", "end"}));
    for (const char* want : {"hold 1", "hold 2", "end", "hold 3"}) EXPECT_EQ(next(), want);
}

TEST_F(Reader, LinesArrivingDuringTheSearchAreHeardAsTheyCome) {
    ASSERT_TRUE(listen(test_listener));
    send("drop a\n");
    await_heard(1);
    send("hold b\n");
    send("stop\nafter\n");
    wait_until_heard();
    EXPECT_EQ(heard, (std::vector<std::string>{"drop a", "hold b", "stop"}));
    EXPECT_EQ(next(), "hold b");  // "stop" was handled and dropped
    EXPECT_EQ(next(), "after");
}

TEST_F(Reader, TheDriverEndsListeningItself) {
    ASSERT_TRUE(listen(test_listener));
    send("hold\n");
    await_heard(1);
    stop_listening();
    send("drop me\n");
    EXPECT_EQ(next(), "hold");
    EXPECT_EQ(next(), "drop me");  // no longer heard, so not dropped
    EXPECT_EQ(heard_count.load(), 1);
}

TEST_F(Reader, EndOfInputIsHeardAndEndsListening) {
    ASSERT_TRUE(listen(test_listener));
    send("hold\n");
    close_writer();
    wait_until_heard();
    EXPECT_EQ(heard, (std::vector<std::string>{"hold", "<end>"}));
    EXPECT_EQ(next(), "hold");
    EXPECT_EQ(next(), "<end>");
}

TEST_F(Reader, ListeningAfterTheEndHearsWhatIsLeftAndTheEnd) {
    send("hold\n");
    close_writer();
    // Most likely the reader has met the end by now; either way the outcome is the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(listen(test_listener));
    wait_until_heard();
    EXPECT_EQ(heard, (std::vector<std::string>{"hold", "<end>"}));
    EXPECT_EQ(next(), "hold");
    EXPECT_EQ(next(), "<end>");
}

TEST_F(Reader, StopWakesTheReaderWaitingForInputAndJoinsIt) {
    stop_input_reader();  // nothing has come: the reader waits for input
    EXPECT_FALSE(input_reader_started());
    send("after\n");
    EXPECT_EQ(next(), "after");  // read_line reads for itself again
}

TEST(ReaderAbsent, WithoutTheThreadNothingIsHeard) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs("a\n", file);
    std::rewind(file);
    set_input_stream(file);
    EXPECT_FALSE(input_reader_started());
    EXPECT_FALSE(listen(test_listener));
    ASSERT_TRUE(read_line());
    EXPECT_STREQ(input_line, "a");
    set_input_stream(nullptr);
    std::fclose(file);
}

}  // namespace
