// Shortcut files: the target path is taken from a shortcut's link info
// (local base path and common path suffix, in the ANSI code page or in
// UTF-16), an item-ID list in front of it is skipped, and anything that is
// not a readable shortcut gives no target instead of a crash. The files are
// built here field by field. On Windows a shortcut made by the shell itself
// is resolved too.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ansi_code_page.h"
#include "file_system.h"
#include "platform.h"
#include "test_files.h"

#ifdef _WIN32
#include "win32_shell_link_maker.h"
#endif

namespace {

using test_files::ScratchDirectory;

void put_u16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put_u32(std::string& out, std::uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}
void put_utf16z(std::string& out, const WideString& text) {
    for (char16_t c : text) put_u16(out, c);
    put_u16(out, 0);
}

// The parts of a shortcut file that decide its target.
struct ShellLinkSpec {
    std::string id_list;  // item IDs; empty: no HasLinkTargetIDList
    bool has_link_info = true;
    bool force_no_link_info = false;
    std::string local_base_path;     // ANSI bytes, without the terminator
    std::string common_path_suffix;  // ANSI bytes
    WideString unicode_base_path;    // non-empty: Unicode offsets are present
    WideString unicode_suffix;
};

std::string build_shell_link(const ShellLinkSpec& spec) {
    std::string file;
    // ShellLinkHeader, 76 bytes.
    put_u32(file, 0x4C);  // HeaderSize
    // LinkCLSID 00021401-0000-0000-C000-000000000046, in its stored order.
    file += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    std::uint32_t flags = 0x80;               // IsUnicode (the string data would be UTF-16)
    if (!spec.id_list.empty()) flags |= 0x1;  // HasLinkTargetIDList
    if (spec.has_link_info) flags |= 0x2;     // HasLinkInfo
    if (spec.force_no_link_info) flags |= 0x100;
    put_u32(file, flags);           // LinkFlags
    put_u32(file, 0x20);            // FileAttributes: archive
    file += std::string(24, '\0');  // creation, access and write times
    put_u32(file, 0);               // FileSize
    put_u32(file, 0);               // IconIndex
    put_u32(file, 1);               // ShowCommand: SW_SHOWNORMAL
    put_u16(file, 0);               // HotKey
    file += std::string(10, '\0');  // Reserved1..3
    EXPECT_EQ(file.size(), 76u);

    if (!spec.id_list.empty()) {
        put_u16(file, static_cast<std::uint32_t>(spec.id_list.size()));  // IDListSize
        file += spec.id_list;
    }

    if (spec.has_link_info) {
        const bool unicode = !spec.unicode_base_path.empty();
        const std::uint32_t header_size = unicode ? 0x24 : 0x1C;
        // VolumeID: size, drive type (3 fixed), serial, label offset, label "".
        std::string volume;
        put_u32(volume, 0x11);
        put_u32(volume, 3);
        put_u32(volume, 0x12345678);
        put_u32(volume, 0x10);
        volume.push_back('\0');

        const std::uint32_t volume_offset = header_size;
        const std::uint32_t base_offset = volume_offset + static_cast<std::uint32_t>(volume.size());
        const std::uint32_t suffix_offset = base_offset + static_cast<std::uint32_t>(spec.local_base_path.size()) + 1;
        const std::uint32_t unicode_base_offset =
            suffix_offset + static_cast<std::uint32_t>(spec.common_path_suffix.size()) + 1;
        const std::uint32_t unicode_suffix_offset =
            unicode_base_offset + 2 * static_cast<std::uint32_t>(spec.unicode_base_path.size() + 1);

        std::string body;
        body += volume;
        body += spec.local_base_path + '\0';
        body += spec.common_path_suffix + '\0';
        if (unicode) {
            put_utf16z(body, spec.unicode_base_path);
            put_utf16z(body, spec.unicode_suffix);
        }

        std::string info;
        put_u32(info, header_size + static_cast<std::uint32_t>(body.size()));  // LinkInfoSize
        put_u32(info, header_size);                                            // LinkInfoHeaderSize
        put_u32(info, 0x1);            // LinkInfoFlags: VolumeIDAndLocalBasePath
        put_u32(info, volume_offset);  // VolumeIDOffset
        put_u32(info, base_offset);    // LocalBasePathOffset
        put_u32(info, 0);              // CommonNetworkRelativeLinkOffset
        put_u32(info, suffix_offset);  // CommonPathSuffixOffset
        if (unicode) {
            put_u32(info, unicode_base_offset);    // LocalBasePathOffsetUnicode
            put_u32(info, unicode_suffix_offset);  // CommonPathSuffixOffsetUnicode
        }
        file += info + body;
    }
    put_u32(file, 0);  // TerminalBlock of the (empty) extra data
    return file;
}

WideString resolve(const test_files::fs::path& link) { return platform::resolve_shell_link(link.u16string()); }

#ifndef _WIN32

// An item-ID list with one opaque item and its terminating zero size.
std::string sample_id_list() {
    std::string list;
    put_u16(list, 6);
    list += "\x1F\x50\x33\x44";
    put_u16(list, 0);
    return list;
}

TEST(ShellLinkFile, TakesTheLocalBasePathAndSuffixFromTheLinkInfo) {
    ScratchDirectory scratch;
    const struct {
        const char* name;
        int ansi_code_page;
        ShellLinkSpec spec;
        WideString expected;
    } cases[] = {
        {"ansi",
         1252,
         {{}, true, false, "C:\\Users\\Public\\caf\xE9.txt", "", u"", u""},
         u"C:\\Users\\Public\\café.txt"},
        {"japanese ansi",
         932,
         {{}, true, false, "C:\\\x95\x5C\\\x93\xFA\x96\x7B.txt", "", u"", u""},
         u"C:\\表\\日本.txt"},
        {"suffix", 1252, {{}, true, false, "C:\\Data\\", "notes\\a.txt", u"", u""}, u"C:\\Data\\notes\\a.txt"},
        {"id list skipped", 1252, {sample_id_list(), true, false, "D:\\x.lzh", "", u"", u""}, u"D:\\x.lzh"},
        {"unicode preferred",
         1252,
         {{}, true, false, "C:\\?.txt", "", u"C:\\Пример\\文書.txt", u""},
         u"C:\\Пример\\文書.txt"},
        {"unicode suffix", 1252, {{}, true, false, "C:\\?", "?", u"C:\\共有\\", u"文書.txt"}, u"C:\\共有\\文書.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_common::AnsiCodePage code_page(c.ansi_code_page);
        const auto link = scratch / (std::string(c.name) + ".lnk");
        test_files::write_bytes(link, build_shell_link(c.spec));
        EXPECT_EQ(resolve(link), c.expected);
    }
}

TEST(ShellLinkFile, GivesNoTargetForWhatItCannotRead) {
    ScratchDirectory scratch;
    ShellLinkSpec good;
    good.local_base_path = "C:\\target.txt";
    const std::string valid = build_shell_link(good);

    ShellLinkSpec no_info = good;
    no_info.has_link_info = false;
    ShellLinkSpec forced = good;
    forced.force_no_link_info = true;
    std::string wrong_clsid = valid;
    wrong_clsid[4] = '\x02';
    std::string id_list_too_long =
        build_shell_link(ShellLinkSpec{sample_id_list(), true, false, "C:\\t", "", u"", u""});
    id_list_too_long[76] = '\xFF';  // IDListSize far past the end
    id_list_too_long[77] = '\x7F';
    std::string base_offset_out = valid;
    base_offset_out[76 + 16] = '\xF0';  // LocalBasePathOffset beyond the block
    std::string no_terminator = valid.substr(0, valid.size() - 4);
    no_terminator.back() = 'x';  // the suffix loses its NUL
    // LinkInfoSize claims more than the file holds.
    std::string info_size_too_big = valid;
    info_size_too_big[76 + 1] = '\x40';

    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"text", "not a shortcut\n"},
        {"no link info", build_shell_link(no_info)},
        {"forced no link info", build_shell_link(forced)},
        {"wrong class id", wrong_clsid},
        {"id list too long", id_list_too_long},
        {"base offset out of range", base_offset_out},
        {"info size too big", info_size_too_big},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto link = scratch / "bad.lnk";
        test_files::write_bytes(link, c.bytes);
        EXPECT_EQ(resolve(link), u"");
    }
    EXPECT_EQ(resolve(scratch / "missing.lnk"), u"");
    EXPECT_EQ(resolve(scratch.path()), u"");  // a directory

    // Every cut-off copy of a valid shortcut gives either nothing or the
    // right target, never a crash or a stray read.
    for (std::size_t length = 0; length < valid.size(); ++length) {
        const auto link = scratch / "cut.lnk";
        test_files::write_bytes(link, valid.substr(0, length));
        const WideString target = resolve(link);
        EXPECT_TRUE(target.empty() || target == u"C:\\target.txt") << length;
    }
}

#endif

TEST(ShellLink, TheSupportFormFitsTheTargetIntoTheBufferOrGivesNothing) {
    ScratchDirectory scratch;
    const auto target = scratch / "target.txt";
    test_files::write_bytes(target, "x");
    const WideString target_path = target.u16string();
    const auto link = scratch / "shortcut.lnk";
#ifdef _WIN32
    ASSERT_TRUE(win32_make_shell_link(link.u16string(), target_path));
#else
    ShellLinkSpec spec;
    spec.local_base_path = target.string();
    test_files::write_bytes(link, build_shell_link(spec));
#endif
    // The caller initialises the component system, as the launcher does
    // around argument parsing.
    platform::com_initialize();
    char16_t buffer[PATH_BUFFER_LENGTH];
    const int length = resolve_shell_link(link.u16string(), buffer, PATH_BUFFER_LENGTH);
    EXPECT_EQ(length, static_cast<int>(target_path.size()));
    EXPECT_EQ(WideString(buffer), target_path);

    // A buffer too short for the target is left empty rather than holding a
    // cut path.
    char16_t small[8] = {u'x', u'x'};
    EXPECT_EQ(resolve_shell_link(link.u16string(), small, 8), 0);
    EXPECT_EQ(small[0], u'\0');

    EXPECT_EQ(resolve_shell_link(scratch.wide(u"missing.lnk"), buffer, PATH_BUFFER_LENGTH), 0);
    EXPECT_EQ(buffer[0], u'\0');
    platform::com_uninitialize();
}

#ifdef _WIN32
TEST(ShellLink, TheShellReadsTheHandBuiltShortcutAlike) {
    // The same field-by-field file as the POSIX layer reads, given to the
    // shell's own shortcut object.
    ScratchDirectory scratch;
    const auto target = scratch / "target.txt";
    test_files::write_bytes(target, "x");
    ShellLinkSpec spec;
    spec.local_base_path = target.string();
    const auto link = scratch / "hand.lnk";
    test_files::write_bytes(link, build_shell_link(spec));
    platform::com_initialize();
    EXPECT_EQ(resolve(link), target.u16string());
    platform::com_uninitialize();
}
#endif

}  // namespace
