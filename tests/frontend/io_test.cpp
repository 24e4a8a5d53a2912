// The line reader and the little parsers every command goes through.
#include "frontend/io.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

// Feeds text to read_line for the life of the object.
class InputFrom {
  public:
    explicit InputFrom(const std::string& text) {
        stream_ = std::tmpfile();
        if (stream_ == nullptr) {
            ADD_FAILURE() << "no temporary file";
            return;
        }
        std::fwrite(text.data(), 1, text.size(), stream_);
        std::rewind(stream_);
        set_input_stream(stream_);
    }
    ~InputFrom() {
        set_input_stream(nullptr);
        if (stream_ != nullptr) std::fclose(stream_);
    }
    InputFrom(const InputFrom&) = delete;
    InputFrom& operator=(const InputFrom&) = delete;

  private:
    std::FILE* stream_ = nullptr;
};

std::string next_line() {
    return read_line() ? std::string(input_line) : std::string("<end>");
}

TEST(ReadLine, SplitsLinesAndDropsCarriageReturns) {
    InputFrom in("new\r\n\ngo\nusermove\r\r\n");
    EXPECT_EQ(next_line(), "new");
    EXPECT_EQ(next_line(), "");
    EXPECT_EQ(next_line(), "go");
    EXPECT_EQ(next_line(), "usermove\r");  // only the one before the newline
    EXPECT_EQ(next_line(), "<end>");
}

TEST(ReadLine, LongLinesKeepTheirFirst127CharactersAndLoseTheRest) {
    const std::string exact(127, 'a');
    const std::string longer = std::string(127, 'b') + "quit" + std::string(3000, 'c');
    InputFrom in(exact + "\n" + longer + "\n" + std::string(127, 'd') + "\r\nping 1\n");
    EXPECT_EQ(next_line(), exact);
    EXPECT_EQ(next_line(), std::string(127, 'b'));
    EXPECT_EQ(next_line(), std::string(127, 'd'));
    EXPECT_EQ(next_line(), "ping 1");
    EXPECT_EQ(next_line(), "<end>");
}

TEST(ReadLine, EndOfInputIsFinal) {
    {
        InputFrom in("quit");  // no newline at the end
        EXPECT_EQ(next_line(), "quit");
        EXPECT_FALSE(input_ended());
        EXPECT_EQ(next_line(), "<end>");
        EXPECT_TRUE(input_ended());
        EXPECT_EQ(next_line(), "<end>");
        EXPECT_STREQ(input_line, "");
    }
    InputFrom empty("");
    EXPECT_FALSE(input_ended());  // a new stream starts afresh
    EXPECT_EQ(next_line(), "<end>");
}

TEST(Parsing, IntegersAreReadLikePercentDAndClamped) {
    struct Case {
        const char* text;
        bool found;
        int value;
        int consumed;
    } const cases[] = {
        {"42", true, 42, 2},
        {"  -7 9", true, -7, 4},
        {"+5x", true, 5, 2},
        {"0:30", true, 0, 1},
        {"0.5", true, 0, 1},
        {"", false, 99, 0},
        {"-", false, 99, 0},
        {"abc", false, 99, 0},
        {"99999999999", true, INT_MAX, 11},
        {"-99999999999999999999", true, INT_MIN, 21},
    };
    for (const Case& c : cases) {
        const char* cursor = c.text;
        int value = 99;
        EXPECT_EQ(parse_int(cursor, value), c.found) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(cursor - c.text, c.consumed) << c.text;
    }
}

TEST(Parsing, ArgumentsAtFixedOffsetsOfShortLines) {
    EXPECT_STREQ(text_at("ping 7", 5), "7");
    EXPECT_STREQ(text_at("ping", 5), "");
    EXPECT_STREQ(text_at("", 9), "");
    EXPECT_TRUE(starts_with("quitting", "quit"));
    EXPECT_FALSE(starts_with("qui", "quit"));
    EXPECT_TRUE(starts_with("anything", ""));
}

}  // namespace
