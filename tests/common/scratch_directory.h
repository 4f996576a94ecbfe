// A scratch directory for a test: fresh under the system's temporary
// directory and removed with everything in it when the object goes; and
// the current directory changed for as long as an object lives. Standard
// library only (beside GoogleTest), so that every test area can use it on
// both platforms.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace test_common {

class ScratchDirectory {
public:
    // Test programs run in parallel: the first "<tag>_test_<serial>" that
    // can be created is ours.
    explicit ScratchDirectory(const std::string& tag = "tsuchi") {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int serial = 0;; ++serial) {
            root_ = base / (tag + "_test_" + std::to_string(serial));
            std::error_code error;
            if (std::filesystem::create_directory(root_, error)) break;
        }
    }
    ~ScratchDirectory() {
        std::error_code error;
        std::filesystem::remove_all(root_, error);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // A path below the root; text is taken as UTF-8 on every platform.
    std::filesystem::path operator/(const std::string& relative) const {
        return root_ / std::filesystem::path(std::u8string(relative.begin(), relative.end()));
    }
    std::filesystem::path operator/(const char* relative) const { return *this / std::string(relative); }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return root_ / relative; }

private:
    std::filesystem::path root_;
};

// Makes a directory current; the previous one is current again when the
// object goes.
class CurrentDirectory {
public:
    CurrentDirectory() : previous_(std::filesystem::current_path()) {}
    explicit CurrentDirectory(const std::filesystem::path& directory) : CurrentDirectory() {
        std::error_code error;
        std::filesystem::current_path(directory, error);
        entered_ = !error;
    }
    ~CurrentDirectory() {
        std::error_code error;
        std::filesystem::current_path(previous_, error);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

    bool entered() const { return entered_; }

private:
    std::filesystem::path previous_;
    bool entered_ = false;
};

// A scratch directory that is the current directory while it lives (or
// its subdirectory current, made first).
class CurrentScratchDirectory : public ScratchDirectory {
public:
    explicit CurrentScratchDirectory(const std::string& tag, const std::string& current = "")
        : ScratchDirectory(tag), current_(made(*this / current)) {
        EXPECT_TRUE(current_.entered()) << root();
    }

private:
    static const std::filesystem::path& made(const std::filesystem::path& directory) {
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        return directory;
    }
    CurrentDirectory current_;  // after the directory: left before it is removed
};

}  // namespace test_common
