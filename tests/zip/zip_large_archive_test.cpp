// Archives past the 16- and 32-bit fields of the format, read through the
// member source into a sink that only counts, so that nothing of their
// size reaches the disk: 70000 entries (found through a ZIP64 end record)
// and a Deflate64 member of more than 4 GiB whose sizes sit in ZIP64
// blocks. make_large_archives.py makes them at build time.
#include <gtest/gtest.h>

#include <cstdio>

#include "zip_extract.h"
#include "zip_test_support.h"

namespace {

using namespace ziptest;

fs::path large_data(const std::string& name) {
    return host_path(TSUCHI_BINARY_DIR) / "tests" / "zip-large-data" / name;
}

#if defined(_WIN32)
constexpr const char* NULL_DEVICE = "NUL";
#else
constexpr const char* NULL_DEVICE = "/dev/null";
#endif

struct File {
    explicit File(const fs::path& path, const char* mode) : handle(std::fopen(path.string().c_str(), mode)) {}
    ~File() {
        if (handle != nullptr) std::fclose(handle);
    }
    std::FILE* handle;
};

class ZipLargeArchives : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(large_data("done"))) GTEST_SKIP() << "no large archives: make_large_archives.py did not run";
    }
};

TEST_F(ZipLargeArchives, SeventyThousandEntries) {
    File archive(large_data("many.zip"), "rb");
    ASSERT_NE(archive.handle, nullptr);
    ZipMemberSource source(archive.handle);
    ZipMember member;
    int count = 0;
    while (source.next(member)) {
        ASSERT_EQ(member.refusal, u"") << count;
        char name[16];
        std::snprintf(name, sizeof name, "d/%05d", count);
        ASSERT_EQ(member.name_parts.at(0).bytes, ByteString(name));
        ++count;
    }
    EXPECT_EQ(count, 70000);
}

TEST_F(ZipLargeArchives, MemberPastFourGiB) {
    const auto rows = read_tsv(large_data("big.tsv"));
    ASSERT_EQ(rows.size(), 1u);
    const std::int64_t size = std::stoll(rows[0][0]);
    const auto crc = static_cast<std::uint32_t>(std::stoul(rows[0][1], nullptr, 16));
    ASSERT_GT(size, std::int64_t{1} << 32);

    File archive(large_data("big-deflate64.zip"), "rb");
    File sink(NULL_DEVICE, "wb");
    ASSERT_NE(archive.handle, nullptr);
    ASSERT_NE(sink.handle, nullptr);
    ZipMemberSource source(archive.handle);
    ZipMember member;
    ASSERT_TRUE(source.next(member));
    EXPECT_EQ(member.refusal, u"");
    EXPECT_EQ(member.size, size);
    EXPECT_EQ(member.crc, crc);
    ZipFileDecOutStream out(sink.handle, member.size);
    source.decode(zip_decoder_for(member.method), out);
    EXPECT_EQ(out.count, size);
    EXPECT_EQ(out.crc.stored_value(), crc);
    EXPECT_FALSE(source.next(member));
}

}  // namespace
