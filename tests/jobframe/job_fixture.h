// Helpers shared by the job-frame tests: a fresh job state per test, message
// boxes answered from a script and recorded, a scratch directory that is the
// current directory while a test runs, and byte strings written as numbers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "archive_options.h"
#include "export_run.h"
#include "job_setup.h"
#include "job_state.h"
#include "message_box.h"
#include "platform.h"
#include "scratch_directory.h"
#include "test_options.h"
#include "text_types.h"

// Tests that run against both builds of the frame (kanna's and nomi's) name
// their suites with this, so that the two programs' tests differ in CTest.
#if JOBFRAME_STD_CONVERTERS
#define LIBRARY_SUITE(name) name##Kanna
#else
#define LIBRARY_SUITE(name) name##Nomi
#endif

namespace jobframe_test {

inline ByteString bytes_of(std::initializer_list<int> values) {
    ByteString b;
    for (int v : values) {
        b.push_back(static_cast<char>(v));
    }
    return b;
}

inline WideString number(int value) {
    const std::string digits = std::to_string(value);
    return WideString(digits.begin(), digits.end());
}

using test_common::reset_job_state;

// A test that starts and ends with a fresh job state and, while it runs,
// the ANSI code page `AnsiCodePage` (0: the system's own).
template <int AnsiCodePage = 0>
class FreshJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_job_state();
        platform::set_ansi_code_page_override(AnsiCodePage);
    }
    void TearDown() override {
        reset_job_state();
        platform::set_ansi_code_page_override(0);
    }
};

// Stands for a file stream the frame opens: counts how many of one kind
// exist and how many were made since reset().
template <class Kind>
struct CountedStream {
    static inline int alive = 0;
    static inline int made = 0;
    bool open = false;
    CountedStream() {
        ++alive;
        ++made;
    }
    ~CountedStream() { --alive; }
    CountedStream(const CountedStream&) = delete;
    CountedStream& operator=(const CountedStream&) = delete;
    static void reset() {
        alive = 0;
        made = 0;
    }
};

// Every box of a test recorded; a question would be answered as a closed
// box, which no test relies on by accident.
using BoxRecorder = ScriptedMessageBoxes;

// A new empty directory under the system's temporary directory, made the
// current directory; the previous one is current again afterwards.
class ScratchDirectory : public test_common::CurrentScratchDirectory {
public:
    ScratchDirectory() : CurrentScratchDirectory("jobframe") {}

    WideString path() const { return root().generic_u16string(); }
    std::filesystem::path file(const WideString& relative) const { return root() / std::filesystem::path(relative); }

    void make_file(const WideString& relative, const std::string& content = "x") const {
        std::ofstream out(file(relative), std::ios::binary);
        out << content;
    }
    bool is_directory(const WideString& relative) const { return std::filesystem::is_directory(file(relative)); }
    bool exists(const WideString& relative) const { return std::filesystem::exists(file(relative)); }
    std::string read(const WideString& relative) const {
        std::ifstream in(file(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

using test_common::make_options;

}  // namespace jobframe_test
