// The fixture for tests that read and write files in the working directory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

// Runs each test in a fresh empty working directory, and afterwards goes back
// to the old one and removes the scratch directory with everything in it.
// Derived fixtures call SetUp first and TearDown last.
class ScratchDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        char pattern[] = "/tmp/qv_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(chdir(pattern), 0);
        old_dir_ = here;
    }
    void TearDown() override {
        if (in_scratch_dir()) {
            EXPECT_EQ(chdir(old_dir_.c_str()), 0);
        }
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
        old_dir_.clear();
        dir_.clear();
    }
    // False when SetUp failed before it could enter the scratch directory.
    bool in_scratch_dir() const { return !old_dir_.empty(); }
    const std::string& dir() const { return dir_; }
    static void write(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }

  private:
    std::string old_dir_, dir_;
};
