// Small aids shared by the platform tests: a scratch directory that is
// removed afterwards, and whole-file reads and writes. Standard library
// only, so that the tests build for both platform layers.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scratch_directory.h"
#include "text_types.h"

namespace test_files {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory; removed with
// everything in it when the object goes.
class ScratchDirectory : public test_common::ScratchDirectory {
public:
    ScratchDirectory() : test_common::ScratchDirectory("platform") {}

    const fs::path& path() const { return root(); }
    // The directory as the system's wide text, with native separators.
    WideString wide() const { return root().u16string(); }
    WideString wide(const fs::path& name) const { return (root() / name).u16string(); }
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
using CurrentDirectoryGuard = test_common::CurrentDirectory;

}  // namespace test_files
