// Small aids shared by the platform tests: a scratch directory that is
// removed afterwards, and whole-file reads and writes. Standard library
// only, so that the tests build for both platform layers.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "text_types.h"

namespace test_files {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory; removed with
// everything in it when the object goes.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("tsuchi-test-" + std::to_string(random()) + std::to_string(attempt));
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
        }
    }
    ~ScratchDirectory() {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }
    // The directory as the system's wide text, with native separators.
    WideString wide() const { return path_.u16string(); }
    WideString wide(const fs::path& name) const { return (path_ / name).u16string(); }

private:
    fs::path path_;
};

inline std::string read_bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The names in a directory, sorted, joined by spaces: what a test expects
// to find there and nothing else.
inline std::string listing(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        names.push_back(entry.path().filename().generic_string());
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

// Restores the current directory when the test is done with it.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(fs::current_path()) {}
    ~CurrentDirectoryGuard() {
        std::error_code error;
        fs::current_path(saved_, error);
    }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    fs::path saved_;
};

}  // namespace test_files
