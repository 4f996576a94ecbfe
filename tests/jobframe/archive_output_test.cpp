// Proves the archive output of the creation drivers: a header completed in
// place after its data, data past a member's limit counted but not
// written, a member taken back and what lay past the end cut off at
// close, and a failed step that stops everything after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "archive_output.h"
#include "scratch_directory.h"

namespace {

using test_common::ScratchDirectory;

std::vector<std::uint8_t> bytes_of(const std::string& text) { return {text.begin(), text.end()}; }

std::string read_back(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

WideString wide_of(const std::filesystem::path& path) {
    const std::u16string text = path.u16string();
    return WideString(text.begin(), text.end());
}

TEST(ArchiveOutput, MembersAreCompletedTakenBackAndCutOff) {
    ScratchDirectory scratch("archive_output");
    const std::filesystem::path path = scratch / "out";
    {
        ArchiveOutput output(wide_of(path));
        ASSERT_TRUE(output.is_open());
        // A member whose data outgrows its limit: what is past it is only
        // counted, and the header is completed afterwards.
        output.write(bytes_of("[h1]"));
        MemberData data(output, 5);
        std::vector<std::uint8_t> sink = bytes_of("abc");
        data.take(sink);
        EXPECT_TRUE(sink.empty());
        EXPECT_TRUE(data.complete());
        sink = bytes_of("defgh");
        data.take(sink);
        EXPECT_EQ(data.length(), 8u);
        EXPECT_FALSE(data.complete());
        EXPECT_EQ(output.position(), 9u);
        output.patch(1, "H1", 2);
        EXPECT_EQ(output.position(), 9u);
        // A second member, then taken back in part and in whole: the next
        // write goes where it began.
        output.write(bytes_of("[h2]0123456789"));
        output.rewind(13);
        output.write(bytes_of("xy"));
        output.rewind(9);
        output.write(bytes_of("!"));
        EXPECT_FALSE(output.failed());
        EXPECT_TRUE(output.close());
        EXPECT_TRUE(output.close());
    }
    EXPECT_EQ(read_back(path), "[H1]abcde!");
}

// Members longer than the buffer stream through it: their headers are
// rewritten in the file, and one taken back after it streamed is cut off
// at the close; short ones are completed in the buffer.
TEST(ArchiveOutput, LongMembersStreamThroughTheBuffer) {
    ScratchDirectory scratch("archive_output");
    const std::filesystem::path path = scratch / "out";
    const std::size_t long_size = ArchiveOutput::BUFFER_SIZE + 100;
    const auto write_long = [long_size](ArchiveOutput& output, char fill) {
        const std::vector<std::uint8_t> piece(1000, static_cast<std::uint8_t>(fill));
        for (std::size_t done = 0; done < long_size; done += piece.size()) {
            output.write(piece.data(), std::min(piece.size(), long_size - done));
        }
    };
    {
        ArchiveOutput output(wide_of(path));
        output.write(bytes_of("[h1]"));
        write_long(output, 'a');
        output.patch(1, "H1", 2);
        const std::uint64_t second = output.position();
        output.write(bytes_of("[h2]"));
        write_long(output, 'b');
        output.rewind(second);
        output.write(bytes_of("[h3]z"));
        output.patch(second + 1, "H3", 2);
        EXPECT_EQ(output.position(), second + 5);
        EXPECT_TRUE(output.close());
    }
    EXPECT_EQ(read_back(path), "[H1]" + std::string(long_size, 'a') + "[H3]z");
}

TEST(ArchiveOutput, TheFirstFailureStopsEveryLaterStep) {
    ScratchDirectory scratch("archive_output");
    const std::filesystem::path path = scratch / "out";
    struct Row {
        const char* what;
        void (*step)(ArchiveOutput&);
    };
    // A write that the stream refuses shows at the latest when the member
    // is completed (its patch hands the member's bytes over) or closed.
    const Row rows[] = {
        {"a patch past the end", [](ArchiveOutput& o) { o.patch(2, "zz", 2); }},
        {"a write on a stream that takes no bytes", nullptr},
        {"a member completed on a stream that takes no bytes", [](ArchiveOutput& o) { o.patch(0, "A", 1); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::ofstream(path, std::ios::binary) << "x";
        const bool writable = row.step != nullptr && std::string(row.what).find("no bytes") == std::string::npos;
        std::FILE* stream = std::fopen(path.string().c_str(), writable ? "r+b" : "rb");
        ASSERT_NE(stream, nullptr);
        {
            ArchiveOutput output(stream);
            output.write(bytes_of("ab"));
            if (row.step != nullptr) row.step(output);
            output.write(bytes_of("cd"));
            EXPECT_EQ(output.failed(), row.step != nullptr);
            EXPECT_FALSE(output.close());
            EXPECT_TRUE(output.failed());
        }
        std::fclose(stream);
        // Nothing after the failure reached the file, nor was it cut.
        EXPECT_EQ(read_back(path), writable ? "ab" : "x");
    }
}

}  // namespace
