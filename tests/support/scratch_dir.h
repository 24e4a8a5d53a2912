// The fixture for tests that read and write files in the working directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

// Runs each test in a fresh empty working directory, and afterwards goes back
// to the old one and removes the scratch directory with everything in it.
// Derived fixtures call SetUp first and TearDown last.
class ScratchDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path here = fs::current_path(error);
        ASSERT_FALSE(error) << error.message();
        const fs::path temp = fs::temp_directory_path(error);
        ASSERT_FALSE(error) << error.message();
        std::random_device entropy;
        for (int tries = 0; tries < 100 && dir_.empty(); ++tries) {
            const fs::path candidate = temp / ("qv_test_" + std::to_string(entropy()));
            if (fs::create_directory(candidate, error)) dir_ = candidate.string();
        }
        ASSERT_FALSE(dir_.empty()) << "no scratch directory in " << temp;
        fs::current_path(dir_, error);
        ASSERT_FALSE(error) << error.message();
        old_dir_ = here.string();
    }
    void TearDown() override {
        if (in_scratch_dir()) {
            std::error_code error;
            std::filesystem::current_path(old_dir_, error);
            EXPECT_FALSE(error) << error.message();
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
