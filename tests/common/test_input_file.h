// Bytes in a file of the test's working directory, open for reading (the
// codecs read a std::FILE*). The name comes from the test area, the
// running test and a tag, so that test programs running side by side never
// share one; the file goes with the object.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace test_common {

class TestInputFile {
public:
    TestInputFile(const std::vector<std::uint8_t>& bytes, const std::string& area, const std::string& tag) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = area + "_" + (info ? info->test_suite_name() : "env") + "_" + (info ? info->name() : "all") + "_" +
                tag + ".bin";
        for (char& c : path_) {
            if (c == '/' || c == '\\') c = '_';
        }
        std::FILE* out = std::fopen(path_.c_str(), "wb");
        if (out == nullptr) throw std::runtime_error("cannot create " + path_);
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        file_ = std::fopen(path_.c_str(), "rb");
        if (file_ == nullptr) throw std::runtime_error("cannot open " + path_);
    }
    ~TestInputFile() {
        if (file_ != nullptr) std::fclose(file_);
        std::remove(path_.c_str());
    }
    TestInputFile(const TestInputFile&) = delete;
    TestInputFile& operator=(const TestInputFile&) = delete;

    std::FILE* get() const { return file_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

}  // namespace test_common
