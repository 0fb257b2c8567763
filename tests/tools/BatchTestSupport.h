// Helpers shared by the batch tool's tests: a scratch folder per test and whole-file
// reading.
#pragma once

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace batchtest {

// A fresh folder named after the running test, removed when the test ends.
class ScratchDir {
public:
    ScratchDir() {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("glebix-batch-") + info->test_suite_name() + "-" + info->name() + "-" +
                           std::to_string(::getpid());
        for (char &c : name)
            if (c == '/') c = '_';
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

}  // namespace batchtest
