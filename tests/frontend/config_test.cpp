// The configuration file, read from a scratch working directory.
#include "frontend/config.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>

#include "book/book.h"
#include "frontend/timeman.h"
#include "search/internal.h"
#include "support/scratch_dir.h"

namespace {

constexpr std::uint32_t MB = 1048576 / sizeof(TtEntry);  // entries per megabyte

class ConfigFile : public ScratchDirTest {
  protected:
    void SetUp() override {
        saved_count_ = tt_entry_count;
        ScratchDirTest::SetUp();
        book_settings = BookSettings{};
    }
    void TearDown() override {
        tt_entry_count = saved_count_;
        book_settings = BookSettings{};
        ScratchDirTest::TearDown();
    }
    // The size the file gives, starting from the default.
    std::uint64_t size_from(const std::string& contents) {
        std::ofstream("Quorvanite.cfg", std::ios::binary) << contents;
        tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
        read_config();
        return tt_entry_count;
    }

  private:
    std::uint64_t saved_count_ = 0;
};

TEST_F(ConfigFile, MissingFileKeepsTheDefault) {
    tt_entry_count = 1234;
    read_config();
    EXPECT_EQ(tt_entry_count, 1234u);
}

TEST_F(ConfigFile, ValueIsRoundedDownToAPowerOfTwoFrom32To1024Megabytes) {
    struct Case {
        const char* value;
        std::uint32_t megabytes;
    } const cases[] = {
        {"0", 32},           {"-5", 32},      {"abc", 32},    {"", 32},
        {"63", 32},          {"64", 64},      {"100", 64},    {"127", 64},
        {"128", 128},        {"300", 256},    {"511", 256},   {"512", 512},
        {"1023", 512},       {"1024", 1024},  {"5000", 1024}, {"99999999999999", 1024},
        {" \n 256 \n", 256}, {"+200mb", 128},
    };
    for (const Case& c : cases)
        EXPECT_EQ(size_from(std::string("<quorvanite><hash>") + c.value + "</hash></quorvanite>"),
                  c.megabytes * MB)
            << '"' << c.value << '"';
}

TEST_F(ConfigFile, ThreadsFromOneToTheMost) {
    struct Case {
        const char* value;
        int threads;
    } const cases[] = {{"2", 2},  {" 3 ", 3}, {"1", 1},    {"0", 1},
                       {"-4", 1}, {"abc", 1}, {"300", 256}};
    for (const Case& c : cases) {
        std::ofstream("Quorvanite.cfg", std::ios::binary)
            << "<quorvanite><threads>" << c.value << "</threads></quorvanite>";
        read_config();
        EXPECT_EQ(search_threads(), c.threads) << '"' << c.value << '"';
    }
    set_search_threads(1);
}

TEST_F(ConfigFile, OnlyTheExactTagsInsideTheElementCount) {
    // Text and unknown tags around the elements are skipped.
    EXPECT_EQ(size_from("<?xml version=\"1.0\"?>\nnotes <quorvanite>\n <!-- size -->\n"
                        "  <other>9</other> <hash>256</hash>\n</quorvanite>\n"),
              256 * MB);
    EXPECT_EQ(size_from("<hash>256</hash><quorvanite></quorvanite>"), 32 * MB);
    EXPECT_EQ(size_from("<quorvanite></quorvanite><hash>256</hash>"), 32 * MB);
    EXPECT_EQ(size_from("<QUORVANITE><hash>256</hash></QUORVANITE>"), 32 * MB);
    EXPECT_EQ(size_from("<quorvanite><Hash>256</Hash></quorvanite>"), 32 * MB);
    EXPECT_EQ(size_from("<quorvanite ><hash>256</hash></quorvanite>"), 32 * MB);
    // The last hash element read wins.
    EXPECT_EQ(size_from("<quorvanite><hash>64</hash><hash>512</hash></quorvanite>"), 512 * MB);
}

TEST_F(ConfigFile, MalformedElementsEndTheReading) {
    // A wrong closing tag stops at once: the later element is not seen.
    EXPECT_EQ(size_from("<quorvanite><hash>64</hush><hash>512</hash></quorvanite>"), 32 * MB);
    EXPECT_EQ(size_from("<quorvanite><hash>64</hash><hash>512"), 64 * MB);
    EXPECT_EQ(size_from("<quorvanite><hash>256"), 32 * MB);
    EXPECT_EQ(size_from("<quorvanite><hash"), 32 * MB);
    EXPECT_EQ(size_from(""), 32 * MB);
    // Texts of 128 characters or more end the reading without overrunning.
    const std::string long_value(127, ' ');
    EXPECT_EQ(size_from("<quorvanite><hash>" + long_value + "256</hash></quorvanite>"), 32 * MB);
    EXPECT_EQ(size_from("<quorvanite><hash>" + std::string(120, ' ') + "256</hash></quorvanite>"),
              256 * MB);
    const std::string long_tag(200, 'x');
    EXPECT_EQ(size_from("<quorvanite><" + long_tag + "><hash>256</hash></quorvanite>"), 32 * MB);
    EXPECT_EQ(size_from(std::string(100000, '<')), 32 * MB);
}

// The book elements: a Polyglot book's path and a switch for every book.
TEST_F(ConfigFile, BookElementsNameAPolyglotBookAndTurnBooksOff) {
    auto settings_from = [this](const std::string& inside) {
        book_settings = BookSettings{};
        size_from("<quorvanite>" + inside + "</quorvanite>");
        return book_settings;
    };
    EXPECT_EQ(settings_from("<book>/usr/share/games/gnuchess/book.bin</book>").polyglot_path,
              "/usr/share/games/gnuchess/book.bin");
    // White space and line breaks around the path go; inside it they stay.
    EXPECT_EQ(settings_from("<book>\n  my books/b.bin \r\n</book>").polyglot_path,
              "my books/b.bin");
    const std::string long_path = "/" + std::string(300, 'p') + ".bin";
    EXPECT_EQ(settings_from("<book>" + long_path + "</book>").polyglot_path, long_path);
    EXPECT_EQ(settings_from("<book>a.bin</book><book>b.bin</book>").polyglot_path, "b.bin");
    EXPECT_TRUE(settings_from("").enabled);
    EXPECT_FALSE(settings_from("<ownbook>false</ownbook>").enabled);
    EXPECT_FALSE(settings_from("<ownbook> off </ownbook>").enabled);
    EXPECT_TRUE(settings_from("<ownbook>false</ownbook><ownbook>true</ownbook>").enabled);
    EXPECT_TRUE(settings_from("<ownbook>on</ownbook>").enabled);
    EXPECT_TRUE(settings_from("<ownbook>no idea</ownbook>").enabled);
    // The elements mix with the hash element in any order.
    EXPECT_EQ(size_from("<quorvanite><book>x.bin</book><hash>256</hash>"
                        "<ownbook>false</ownbook></quorvanite>"),
              256 * MB);
    EXPECT_EQ(book_settings.polyglot_path, "x.bin");
    EXPECT_FALSE(book_settings.enabled);
}

TEST_F(ConfigFile, MalformedBookElementsEndTheReadingLikeHash) {
    // A wrong closing tag stops at once; elements outside the root are not read.
    EXPECT_EQ(size_from("<quorvanite><book>a.bin</hash><hash>512</hash></quorvanite>"), 32 * MB);
    EXPECT_EQ(book_settings.polyglot_path, "");
    EXPECT_EQ(size_from("<book>a.bin</book><quorvanite><hash>64</hash></quorvanite>"), 64 * MB);
    EXPECT_EQ(book_settings.polyglot_path, "");
    EXPECT_EQ(size_from("<quorvanite><Book>a.bin</Book><ownbook>false</ownbook>"), 32 * MB);
    EXPECT_EQ(book_settings.polyglot_path, "");
    EXPECT_FALSE(book_settings.enabled);
    // A path of 4096 characters or more ends the reading without overrunning.
    book_settings = BookSettings{};
    EXPECT_EQ(size_from("<quorvanite><book>" + std::string(5000, 'p') +
                        "</book><hash>64</hash></quorvanite>"),
              32 * MB);
    EXPECT_EQ(book_settings.polyglot_path, "");
    // An on/off value of 128 characters or more does too.
    EXPECT_EQ(size_from("<quorvanite><ownbook>" + std::string(130, ' ') +
                        "false</ownbook><hash>64</hash></quorvanite>"),
              32 * MB);
    EXPECT_TRUE(book_settings.enabled);
}

// The tablebase elements: folders, the probe depth (held to 1..100) and the fifty-move rule.
TEST_F(ConfigFile, TablebaseElementsSetTheFoldersAndTheProbing) {
    const struct {
        const char* inside;
        const char* path;
        int depth;
        bool rule;
    } cases[] = {
        {"", "", 1, true},
        {"<syzygy> /a:/b c </syzygy>", "/a:/b c", 1, true},
        {"<syzygyprobedepth>6</syzygyprobedepth><syzygy50moverule>false</syzygy50moverule>", "", 6,
         false},
        {"<syzygyprobedepth>0</syzygyprobedepth><syzygy50moverule>off</syzygy50moverule>", "", 1,
         false},
        {"<syzygyprobedepth>500</syzygyprobedepth><syzygy50moverule>no</syzygy50moverule>", "", 100,
         true},
        {"<syzygyprobedepth>deep</syzygyprobedepth>", "", 1, true},
    };
    for (const auto& c : cases) {
        configured_syzygy_path.clear();
        syzygy_probe_depth = 1;
        syzygy_fifty_move_rule = true;
        size_from(std::string("<quorvanite>") + c.inside + "</quorvanite>");
        EXPECT_EQ(configured_syzygy_path, c.path) << c.inside;
        EXPECT_EQ(syzygy_probe_depth, c.depth) << c.inside;
        EXPECT_EQ(syzygy_fifty_move_rule, c.rule) << c.inside;
    }
    configured_syzygy_path.clear();
    syzygy_probe_depth = 1;
    syzygy_fifty_move_rule = true;
}

TEST_F(ConfigFile, MoveOverheadInMillisecondsFromNoneTo5000) {
    const struct {
        const char* value;
        int ms;
    } cases[] = {{"250", 250}, {" 40 ", 40}, {"-5", 0}, {"9000", 5000}, {"abc", 0}};
    for (const auto& c : cases) {
        move_overhead_ms = 100;
        size_from(std::string("<quorvanite><moveoverhead>") + c.value +
                  "</moveoverhead></quorvanite>");
        EXPECT_EQ(move_overhead_ms, c.ms) << '"' << c.value << '"';
    }
    move_overhead_ms = 0;
}

}  // namespace
