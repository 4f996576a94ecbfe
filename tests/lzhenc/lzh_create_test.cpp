// Proves LZH creation through LZHEncode and the creation driver, in-process
// with scripted message boxes: each kind of source becomes its entry
// (-lh5- when it shrinks, -lh0- with its bytes, empty files, -lhd- with
// /EMPD), sizes, CRCs and times (daylight saving included) match the
// sources, no header length is a multiple of 256, and directories are
// converted once; every option set round-trips Japanese names through
// LZHDecode; change directories are followed; a source that vanishes or
// changes between the two reads, or does not fit the size fields, is left
// out with an error line; write errors on the archive name it; the archive
// is never stored in itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include "address_space_limit.h"
#include "archive_exports.h"
#include "archive_files.h"
#include "archive_options.h"
#include "export_run.h"
#include "lh5_enc.h"
#include "lzh_create.h"
#include "lzhenc_support.h"
#include "message_box.h"
#include "source_list.h"

namespace {

using namespace lzhenc_test;
using platform::BoxAnswer;

// July and January, far from the changes of daylight saving.
constexpr std::int64_t SUMMER = 1626345296;  // 2021-07-15 12:34:56 in Berlin
constexpr std::int64_t WINTER = 1611142496;  // 2021-01-20 12:34:56 in Berlin

using JobRun = test_common::ExportRun;

class LzhCreate : public LzhJobTest {
protected:
    fs::path src() const { return scratch.root() / "src"; }
    WideString source(const std::string& relative) const { return Scratch::wide(at(src(), relative)); }
    WideString archive_in(const std::string& name) const { return Scratch::wide(scratch.root() / "in" / name); }

    JobRun create(const std::vector<WideString>& paths, std::uint32_t flags, const WideString* archive = nullptr,
                  std::vector<BoxAnswer> answers = {}, std::int32_t code_page = 0) {
        reset_job_state();
        options.flags = flags;
        options.code_page = code_page;
        return test_common::run_encode(LZHEncode, paths, archive != nullptr ? archive->c_str() : nullptr, options,
                                       std::move(answers), test_common::Unasked::allowed);
    }

    // A creation job set up, and the walked list of the paths.
    SourceList<lzh::LZHEntry> walked(const std::vector<WideString>& paths, WideString& archive) {
        reset_job_state();
        job_state().create_mode = true;
        EXPECT_TRUE(setup_job(&options));
        std::vector<const char16_t*> argv;
        for (const WideString& p : paths) argv.push_back(p.c_str());
        SourceList<lzh::LZHEntry> list;
        build_file_list<lzh::LZHEntry>(static_cast<std::int32_t>(argv.size()), argv.data(), list, archive);
        return list;
    }

    // The driver alone, with a hook before every open of a source.
    WideString drive(const std::vector<WideString>& paths, WideString archive,
                     std::function<void(const WideString&)> before_open) {
        SourceList<lzh::LZHEntry> list = walked(paths, archive);
        InputFile input;
        input.before_open = std::move(before_open);
        lzh::encode(input, list, archive);
        return job_state().error_text;
    }

    TimeZone berlin{"CET-1CEST,M3.5.0,M10.5.0/3"};
    Scratch scratch{"lzhc"};
};

std::map<std::string, Entry> by_path(const Walk& walk) {
    std::map<std::string, Entry> entries;
    for (const Entry& e : walk.entries) entries[e.stored_path()] = e;
    return entries;
}

std::string lh5_of(const fs::path& file) {
    std::vector<std::uint8_t> data;
    std::FILE* f = platform::open_file(Scratch::wide(file), "rb");
    lzh::lh5_compress(f, data);
    std::fclose(f);
    return std::string(data.begin(), data.end());
}

TEST_F(LzhCreate, EachSourceBecomesItsEntry) {
    // The long name makes the header 256 bytes: 37 + the name + "tree/".
    const std::string long_name(214, 'n');
    const Tree tree = {
        {"tree/empty.txt", "", SUMMER},
        {"tree/random.bin", random_bytes(3000), WINTER},
        {"tree/text.txt", text_of(20000), SUMMER},
        {"tree/docs/a.txt", "alpha", WINTER},
        {"tree/docs/b.txt", "beta", SUMMER},
        {"tree/docs/e/"},
        {"tree/" + long_name, "long", SUMMER},
    };
    write_tree(src(), tree);
    struct Case {
        const char* what;
        std::uint32_t flags;
        bool directory_entry;
    };
    for (const Case& c : {Case{"with /EMPD", OPT_EMPTY_DIRS | OPT_REPORT, true}, Case{"without", OPT_REPORT, false}}) {
        SCOPED_TRACE(c.what);
        fs::remove(scratch.dest() / "tree.lzh");
        const JobRun run = create({source("tree")}, c.flags);
        EXPECT_EQ(run.errors, u"");
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_EQ(run.boxes.back().title, u"終了");
        const Walk walk = walk_archive(read_binary(scratch.dest() / "tree.lzh"));
        EXPECT_TRUE(walk.ended);
        const std::map<std::string, Entry> entries = by_path(walk);
        EXPECT_EQ(entries.size(), tree.size() - (c.directory_entry ? 0 : 1));
        for (const Node& n : tree) {
            const auto it = entries.find(n.path);
            if (is_dir(n.path)) {
                ASSERT_EQ(it != entries.end(), c.directory_entry);
                if (it == entries.end()) continue;
                EXPECT_EQ(it->second.method, "-lhd-");
                EXPECT_EQ(it->second.compressed + it->second.original, 0u);
                continue;
            }
            ASSERT_NE(it, entries.end()) << n.path;
            const Entry& e = it->second;
            const bool shrinks = n.path == "tree/text.txt";
            EXPECT_EQ(e.method, shrinks ? "-lh5-" : "-lh0-") << n.path;
            EXPECT_EQ(e.original, n.data.size()) << n.path;
            EXPECT_EQ(e.compressed, e.data.size()) << n.path;
            EXPECT_EQ(e.crc, crc16(n.data)) << n.path;
            EXPECT_EQ(e.time, static_cast<std::uint32_t>(n.mtime)) << n.path;
            EXPECT_NE(e.header_length % 256, 0u) << n.path;
            if (shrinks) {
                EXPECT_LT(e.compressed, e.original);
                EXPECT_TRUE(e.data == lh5_of(at(src(), n.path)));
            } else {
                EXPECT_TRUE(e.data == n.data) << n.path;
            }
        }
        EXPECT_EQ(entries.at("tree/" + long_name).header_length, 257u);
        // The two files of docs share the directory's stored forms.
        EXPECT_NE(run.report.find(u"└(dir,既出) tree/docs/\n"), WideString::npos) << utf8(run.report);
    }

    // One empty file: its header and the end mark, nothing else.
    create({source("tree/empty.txt")}, 0);
    const std::string archive = read_binary(scratch.dest() / "empty.txt.lzh");
    const Walk walk = walk_archive(archive);
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_EQ(walk.entries[0].method, "-lh0-");
    EXPECT_EQ(walk.entries[0].compressed + walk.entries[0].original + walk.entries[0].crc, 0u);
    EXPECT_EQ(archive.size(), walk.entries[0].header_length + 1);
}

TEST_F(LzhCreate, EveryOptionSetRoundTripsThroughLZHDecode) {
    const Tree tree = {
        {"日本語/表.txt", text_of(3000, 3), SUMMER},
        {"日本語/深い/ソ.txt", "deep", WINTER},
        {"日本語/a.txt", "ascii name", SUMMER},
        {"docs/a.txt", text_of(500, 4), WINTER},
        {"random.bin", random_bytes(700), SUMMER},
        {"empty.txt", "", WINTER},
        {"空/"},
    };
    write_tree(src() / "src", tree);
    struct Case {
        const char* what;
        std::uint32_t create_flags;
        std::uint32_t extract_flags;
        std::int32_t code_page;
        int ansi_code_page;
    };
    constexpr std::uint32_t DEFAULTS = OPT_UNICODE_HEADER | OPT_CODEPAGE_HEADER;
    const Case cases[] = {
        {"defaults", DEFAULTS, 0, 0, 1252},
        {"defaults on a Japanese system", DEFAULTS | OPT_FF_SEPARATOR, OPT_FF_SEPARATOR, 0, 932},
        {"/CP:932", OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, OPT_CODEPAGE_SET | OPT_FF_SEPARATOR, 932, 1252},
        {"/8", OPT_UTF8 | OPT_FF_SEPARATOR, OPT_UTF8 | OPT_FF_SEPARATOR, 0, 1252},
        // UTF-16 names go to the Unicode records, which need no option to
        // be read.
        {"/2", OPT_UTF16 | OPT_FF_SEPARATOR, 0, 0, 1252},
        {"/8 /bom", OPT_UTF8 | OPT_BOM | OPT_FF_SEPARATOR, OPT_UTF8 | OPT_BOM | OPT_FF_SEPARATOR, 0, 1252},
        {"/2 /bom", OPT_UTF16 | OPT_BOM | OPT_FF_SEPARATOR, OPT_UTF16 | OPT_BOM | OPT_FF_SEPARATOR, 0, 1252},
        {"/2 /BE", OPT_UTF16 | OPT_BIG_ENDIAN | OPT_FF_SEPARATOR, 0, 0, 1252},
    };
    const WideString archive = archive_in("src.lzh");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::set_ansi_code_page_override(c.ansi_code_page);
        fs::remove(fs::path(archive));
        const JobRun made = create({source("src")}, c.create_flags | OPT_EMPTY_DIRS, &archive, {}, c.code_page);
        EXPECT_EQ(made.errors, u"") << utf8(made.errors);

        scratch.fresh_dest();
        reset_job_state();
        options.flags = c.extract_flags;
        ScriptedMessageBoxes script;
        const char16_t* argv[] = {archive.c_str()};
        LZHDecode(1, argv, &options);
        EXPECT_EQ(job_state().error_text, u"") << utf8(job_state().error_text);
        expect_same_tree(tree, read_tree(scratch.dest()), "src/", c.what);
    }
}

TEST_F(LzhCreate, ChangeDirectoriesAreFollowed) {
    write_tree(src(),
               {{"A/a.txt", "in A"}, {"A/c.txt", "in A too"}, {"A/e/"}, {"A/f.txt", "beside e"}, {"B/b.txt", "in B"}});
    struct Case {
        const char* what;
        std::vector<std::string> paths;
        std::uint32_t flags;
        std::map<std::string, std::string> stored;  // stored path, data ("/" ends a directory)
    };
    const Case cases[] = {
        {"files of two folders, and back",
         {"A/a.txt", "B/b.txt", "A/c.txt"},
         0,
         {{"a.txt", "in A"}, {"b.txt", "in B"}, {"c.txt", "in A too"}}},
        {"an empty folder, then a file beside it", {"A/e", "A/f.txt"}, 0, {{"f.txt", "beside e"}}},
        {"the same with /EMPD", {"A/e", "A/f.txt"}, OPT_EMPTY_DIRS, {{"e/", ""}, {"f.txt", "beside e"}}},
    };
    const WideString archive = archive_in("cd.lzh");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<WideString> paths;
        for (const std::string& p : c.paths) paths.push_back(source(p));
        fs::remove(fs::path(archive));
        EXPECT_EQ(create(paths, c.flags, &archive).errors, u"");
        std::map<std::string, std::string> stored;
        for (const Entry& e : walk_archive(read_binary(fs::path(archive))).entries) stored[e.stored_path()] = e.data;
        EXPECT_EQ(stored, c.stored);
    }
}

TEST_F(LzhCreate, ASourceThatVanishesOrChangesIsLeftOut) {
    // Longer than a piece of the coder's output, so that its data reaches
    // the archive in several.
    constexpr std::size_t SIZE = 70000;
    const std::string random = random_bytes(SIZE);
    struct Case {
        const char* what;
        int at_open;                                  // 1: before the compression, 2: before the copy
        std::function<void(const fs::path&)> change;  // done to t/random.bin
        WideString error;
    };
    const auto append = [](const fs::path& p) { std::ofstream(p, std::ios::binary | std::ios::app) << "+"; };
    const Case cases[] = {
        {"removed before it is read", 1, [](const fs::path& p) { fs::remove(p); }, u"random.bin >> open 失敗。\n"},
        {"removed before the copy", 2, [](const fs::path& p) { fs::remove(p); }, u"random.bin >> open 失敗。\n"},
        {"grown before the copy", 2, append, u"random.bin >> 読み込み中に変化、スキップ！\n"},
        {"cut before the copy", 2, [](const fs::path& p) { fs::resize_file(p, SIZE / 2); },
         u"random.bin >> 読み込み中に変化、スキップ！\n"},
        {"one byte changed before the copy", 2,
         [&](const fs::path& p) { std::ofstream(p, std::ios::binary) << random.substr(0, SIZE - 1) + "?"; },
         u"random.bin >> 読み込み中に変化、スキップ！\n"},
        // Read twice the same: the entry is what was read, not what was listed.
        {"grown before it is read", 1, append, u""},
    };
    const WideString archive = archive_in("t.lzh");
    // The changing file dropped first and last: an entry taken back is
    // written over by the next one, or cut off behind the end mark.
    const std::vector<std::string> orders[] = {{"keep.txt", "random.bin"}, {"random.bin", "keep.txt"}};
    for (const auto& order : orders) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", " + order.front() + " first");
            write_tree(src(), {{"t/keep.txt", text_of(4000)}, {"t/random.bin", random}});
            int opens = 0;
            const WideString errors =
                drive({source("t/" + order[0]), source("t/" + order[1])}, archive, [&](const WideString& path) {
                    if (path.ends_with(u"random.bin") && ++opens == c.at_open) c.change(at(src(), "t/random.bin"));
                });
            EXPECT_EQ(errors, c.error) << utf8(errors);
            const Walk walk = walk_archive(read_binary(fs::path(archive)));
            EXPECT_TRUE(walk.ended);
            const std::map<std::string, Entry> entries = by_path(walk);
            EXPECT_EQ(entries.count("keep.txt"), 1u);
            const auto it = entries.find("random.bin");
            ASSERT_EQ(it != entries.end(), c.error.empty());
            if (it != entries.end()) {
                EXPECT_TRUE(it->second.data == random + "+");
                EXPECT_EQ(it->second.original, SIZE + 1);
                EXPECT_EQ(it->second.crc, crc16(random + "+"));
            }
        }
    }
}

#if !defined(_WIN32)
TEST_F(LzhCreate, ASourceBeyondTheSizeFieldsIsLeftOut) {
    // A sparse file of 4 GiB: its size does not fit the 32-bit fields.
    write_tree(src(), {{"big/a.txt", "a"}, {"big/huge.bin", ""}});
    fs::resize_file(at(src(), "big/huge.bin"), std::uintmax_t{1} << 32);
    const WideString archive = archive_in("big.lzh");
    EXPECT_EQ(create({source("big")}, 0, &archive).errors, u"huge.bin >> 大き過ぎ、スキップ！\n");
    const Walk walk = walk_archive(read_binary(fs::path(archive)));
    EXPECT_TRUE(walk.ended);
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_EQ(walk.entries[0].stored_path(), "big/a.txt");
}
#endif

// A file larger than the memory the job may take beside what the process
// holds: its data goes to the archive as the encoder makes it.
TEST_F(LzhCreate, ALargeFileIsWrittenInBoundedMemory) {
    write_tree(src(), {{"big/a.txt", "a"}, {"big/zeros", ""}});
    constexpr std::uint64_t SIZE = std::uint64_t{128} << 20;
    fs::resize_file(at(src(), "big/zeros"), SIZE);
    const WideString archive = archive_in("big.lzh");
    JobRun run;
    {
        const test_common::AddressSpaceLimit limit(std::uint64_t{64} << 20);
        if (!limit.active()) GTEST_SKIP() << "no address space limit here";
        run = create({source("big")}, 0, &archive);
    }
    EXPECT_EQ(run.errors, u"");
    const Walk walk = walk_archive(read_binary(fs::path(archive)));
    EXPECT_TRUE(walk.ended);
    const std::map<std::string, Entry> entries = by_path(walk);
    ASSERT_EQ(entries.count("big/zeros"), 1u);
    EXPECT_EQ(entries.at("big/zeros").method, "-lh5-");
    EXPECT_EQ(entries.at("big/zeros").original, SIZE);
}

TEST_F(LzhCreate, WriteErrorsNameTheArchive) {
    write_tree(src(), {{"w/a.txt", text_of(3000)}, {"w/b.bin", random_bytes(3000)}});
    // A stream that takes no bytes.
    const WideString read_only = archive_in("read-only.lzh");
    std::ofstream(fs::path(read_only)) << "x";
    const WideString dropped = source("w");
    WideString name = read_only;
    SourceList<lzh::LZHEntry> list = walked({dropped}, name);
    std::FILE* stream = platform::open_file(read_only, "rb");
    InputFile input;
    EXPECT_FALSE(lzh::write_archive(input, list, stream, read_only));
    std::fclose(stream);
    // The driver leaves the current directory where the records took it.
    platform::set_current_directory(scratch.dest_wide());
    EXPECT_EQ(job_state().error_text, u"エラー: " + read_only + u"\n  encode: file write failed.\n");

#if !defined(_WIN32)
    // A device that is always full, named as the archive: the existing name
    // is confirmed, and the final box names the error report.
    const WideString full = u"/dev/full";
    const JobRun run = create({dropped}, 0, &full, {BoxAnswer::yes});
    EXPECT_EQ(run.errors, u"エラー: /dev/full\n  encode: file write failed.\n");
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].title, u"上書き確認!?");
    EXPECT_EQ(run.boxes[1].title, u"終了");
    EXPECT_EQ(run.boxes[1].text, u"保存名: /dev/full\nレポート: full_enc_err_report.txt");
    const std::string report = read_binary(scratch.dest() / "full_enc_err_report.txt");
    EXPECT_NE(report.find("encode: file write failed."), std::string::npos) << report;
#endif
}

TEST_F(LzhCreate, TheArchiveIsNeverStoredInItself) {
    write_tree(src(), {{"box/a.txt", "a"}, {"box/box.lzh", "an old archive"}});
    const WideString archive = source("box/box.lzh");
    const JobRun run = create({source("box")}, 0, &archive, {BoxAnswer::yes});
    EXPECT_EQ(run.errors, u"box.lzh >>スキップ！\n");
    const Walk walk = walk_archive(read_binary(fs::path(archive)));
    EXPECT_TRUE(walk.ended);
    ASSERT_EQ(walk.entries.size(), 1u);
    EXPECT_EQ(walk.entries[0].stored_path(), "box/a.txt");
}

}  // namespace
