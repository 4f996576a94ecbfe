// Proves the MacBinary check of MacLHA's members on headers built field by
// field: a header of the member gives the fork to extract, and each field
// that must be zero or must repeat the member's header turns it down.
#include "macbinary.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>

namespace {

using Header = std::array<std::uint8_t, lzh::MACBINARY_HEADER_SIZE>;

constexpr std::int64_t MTIME = 1626352496;  // 2021-07-15 12:34:56 UTC
constexpr std::int64_t MAC_EPOCH_OFFSET = 2082844800;
constexpr std::int64_t HOUR = 3600;

void be32(Header& h, std::size_t at, std::int64_t value) {
    for (int i = 0; i < 4; ++i) h[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// name, type TEXT, creator ttxt, Finder flags, fork lengths, creation and
// modification time in the local time of a writer offset from UTC.
Header header(const std::string& name, std::int64_t data_fork, std::int64_t resource_fork, std::int64_t offset) {
    Header h{};
    h[1] = static_cast<std::uint8_t>(name.size());
    std::memcpy(h.data() + 2, name.data(), name.size());
    std::memcpy(h.data() + 0x41, "TEXTttxt", 8);
    h[0x49] = 0x21;
    be32(h, 0x53, data_fork);
    be32(h, 0x57, resource_fork);
    be32(h, 0x5B, 12345);
    be32(h, 0x5F, MTIME + offset + MAC_EPOCH_OFFSET);
    return h;
}

TEST(MacBinary, AHeaderOfTheMemberGivesItsForkAndAnyFieldOutOfPlaceKeepsTheData) {
    const lzh::MacMember member{"doc.txt", 512, MTIME};  // 128 + 300 + 50 rounds up to 512
    const struct {
        const char* what;
        std::function<void(Header&)> change;
        std::int64_t fork;
    } cases[] = {
        {"a header of the member", [](Header&) {}, 300},
        {"resource fork only",
         [](Header& h) {
             be32(h, 0x53, 0);
             be32(h, 0x57, 384);
         },
         384},
        {"14 hours ahead", [](Header& h) { be32(h, 0x5F, MTIME + 14 * HOUR + MAC_EPOCH_OFFSET); }, 300},
        {"14 hours behind", [](Header& h) { be32(h, 0x5F, MTIME - 14 * HOUR + MAC_EPOCH_OFFSET); }, 300},
        {"more than 14 hours", [](Header& h) { be32(h, 0x5F, MTIME + 14 * HOUR + 1 + MAC_EPOCH_OFFSET); }, -1},
        {"before 1970", [](Header& h) { be32(h, 0x5F, 1000); }, -1},
        {"old version number", [](Header& h) { h[0x00] = 1; }, -1},
        {"reserved 0x4A", [](Header& h) { h[0x4A] = 1; }, -1},
        {"reserved 0x52", [](Header& h) { h[0x52] = 1; }, -1},
        {"comment length", [](Header& h) { h[0x63] = 1; }, -1},
        {"a MacBinary II CRC", [](Header& h) { h[0x7C] = 0x12; }, -1},
        {"another name", [](Header& h) { h[0x02] = 'D'; }, -1},
        {"a byte after the name", [](Header& h) { h[0x09] = 'x'; }, -1},
        {"a name past its field", [](Header& h) { h[0x01] = 64; }, -1},
        {"forks past the member", [](Header& h) { be32(h, 0x57, 200); }, -1},
        {"forks short of it", [](Header& h) { be32(h, 0x53, 100); }, -1},
    };
    for (const auto& c : cases) {
        Header h = header("doc.txt", 300, 50, 9 * HOUR);
        c.change(h);
        EXPECT_EQ(lzh::macbinary_fork_size(h.data(), member), c.fork) << c.what;
    }
    // A MacBinary file archived as such: the header names the file without
    // ".bin".
    EXPECT_EQ(lzh::macbinary_fork_size(header("doc", 300, 50, 0).data(), {"doc.bin", 512, MTIME}), -1);
}

}  // namespace
