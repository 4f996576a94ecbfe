// Proves the ZIP creation driver on real files, in process: how each kind
// of entry is stored (an empty file stored with CRC 0, a file that Deflate
// makes exactly as long stored and one it makes a byte shorter deflated,
// directories), that the central records repeat the local headers and
// point at them, that a source which cannot be opened is left out of a
// still valid archive, that sizes and counts beyond the 32- and 16-bit
// fields get ZIP64 records, and that a source that changes between its
// two readings and a failed write each give an error line and never an
// archive whose headers disagree with its data.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "address_space_limit.h"
#include "byte_corpus.h"
#include "deflate_enc.h"
#include "header_bytes.h"
#include "shell_command.h"
#include "zip_central_dir.h"
#include "zip_create.h"
#include "zip_create_support.h"
#include "zip_extra_field.h"

namespace {

using namespace ziptest;
using platform::BoxAnswer;

// The length of the Deflate form our encoder gives bytes.
std::size_t deflated_length(const ByteString& bytes, const fs::path& scratch_file) {
    write_file(scratch_file, bytes);
    std::FILE* file = platform::open_file(wide_of(scratch_file), "rb");
    std::vector<std::uint8_t> data;
    {
        coding::ZipCoding::BitOutStream bits(data);
        DeflateBlockEnc blocks(bits, DeflateBlockEnc::BUFFER_ENTRIES);
        DeflateEnc encoder;
        encoder.compress(file, blocks);
        blocks.finish();
        bits.flush();
    }
    std::fclose(file);
    return data.size();
}

// Random bytes followed by zeros, with as many zeros as make the Deflate
// form exactly `shorter` bytes shorter than the input: each zero adds a
// byte to the input and rarely one to its Deflate form.
ByteString deflates_shorter_by(std::size_t shorter, const fs::path& scratch_file) {
    for (unsigned seed = 1; seed < 20; ++seed) {
        std::srand(seed);
        ByteString bytes;
        for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>(std::rand() >> 4));
        for (int zeros = 0; zeros < 1000; ++zeros, bytes.push_back('\0')) {
            if (deflated_length(bytes, scratch_file) + shorter == bytes.size()) return bytes;
        }
    }
    ADD_FAILURE() << "no input found";
    return {};
}

const Record* find(const Layout& layout, const std::string& name) {
    for (const Record& record : layout.records) {
        if (record.name == name) return &record;
    }
    ADD_FAILURE() << name << " not stored";
    return nullptr;
}

// The job state a driver sees inside ZIPEncode; flags add to OPT_UTF8.
void create_job(std::uint32_t flags = 0) {
    test_common::reset_job_state();
    job_state().create_mode = true;
    // The job keeps a pointer to the record for its whole length.
    static ArchiveOptions options;
    options = default_options(OPT_UTF8 | flags);
    setup_job(&options);
}

ByteString text_of(int lines) {
    ByteString text;
    for (int i = 0; i < lines; ++i) text += "line " + std::to_string(i % 7) + " of the text\n";
    return text;
}

TEST(ZipCreate, EachKindOfEntryIsStoredAsItShouldBe) {
    ScratchDirectory scratch;
    const Tree tree = {{"src/empty", ""},
                       {"src/text.txt", text_of(200)},
                       {"src/equal.bin", deflates_shorter_by(0, scratch / "probe")},
                       {"src/shorter.bin", deflates_shorter_by(1, scratch / "probe")},
                       {"src/日本/", ""},
                       {"src/sub/deeper/", ""}};
    write_tree(scratch.root(), tree);
    const EncodeRun run = zip_encode({scratch / "src"}, scratch / "out.zip");
    EXPECT_EQ(run.errors, u"");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, u"終了");

    const Layout layout = layout_of(read_file(scratch / "out.zip"));
    expect_sound(layout);
    ASSERT_EQ(layout.records.size(), tree.size());
    const struct {
        std::string name;
        std::uint32_t method, version;
        std::int64_t compressed;  // -1: smaller than the file, not fixed here
    } rows[] = {
        {"src/empty", ZIP_METHOD_STORED, 20, 0},
        {"src/text.txt", ZIP_METHOD_DEFLATE, 20, -1},
        {"src/equal.bin", ZIP_METHOD_STORED, 20, static_cast<std::int64_t>(tree.at("src/equal.bin").size())},
        {"src/shorter.bin", ZIP_METHOD_DEFLATE, 20, static_cast<std::int64_t>(tree.at("src/shorter.bin").size()) - 1},
        {"src/日本/", ZIP_METHOD_STORED, 10, 0},
        {"src/sub/deeper/", ZIP_METHOD_STORED, 10, 0},
    };
    for (const auto& row : rows) {
        const Record* record = find(layout, row.name);
        if (record == nullptr) continue;
        const ByteString& content = tree.at(row.name);
        EXPECT_EQ(record->method, row.method) << row.name;
        EXPECT_EQ(record->version, row.version) << row.name;
        // Bit 11 only where the name is not plain ASCII.
        EXPECT_EQ(record->flags, row.name.find("日本") != std::string::npos ? ZIP_FLAG_UTF8 : 0u) << row.name;
        EXPECT_EQ(record->uncompressed, content.size()) << row.name;
        EXPECT_EQ(record->crc, crc32_of(content)) << row.name;
        if (row.compressed >= 0) {
            EXPECT_EQ(record->compressed, row.compressed) << row.name;
        }
    }
    EXPECT_EQ(find(layout, "src/empty")->crc, 0u);

    // Our own reader gives the tree back.
    fs::create_directory(scratch / "back");
    ASSERT_TRUE(platform::set_current_directory(wide_of(scratch / "back")));
    EXPECT_EQ(zip_decode({scratch / "out.zip"}).errors, u"");
    EXPECT_EQ(tree_difference(read_tree(scratch / "back"), tree), "");
}

TEST(ZipCreate, SourceThatCannotBeOpenedIsLeftOut) {
    ScratchDirectory scratch;
    write_tree(scratch.root(), {{"a.txt", text_of(50)}, {"b.txt", "b"}, {"c.txt", "c"}});
    create_job();
    SourceList<ZipEntry> list{ZipEntry(u"a.txt"), ZipEntry(u"b.txt"), ZipEntry(u"c.txt")};
    fs::remove(scratch / "b.txt");
    InputFile input;
    encode_archive(input, list, wide_of(scratch / "out.zip"));
    EXPECT_EQ(job_state().error_text, u"b.txt >> open 失敗。\n");
    const Layout layout = layout_of(read_file(scratch / "out.zip"));
    expect_sound(layout);
    ASSERT_EQ(layout.records.size(), 2u);
    EXPECT_EQ(layout.records[0].name, "a.txt");
    EXPECT_EQ(layout.records[1].name, "c.txt");
}

// Sources dropped from two folders, the second of which is gone when the
// driver gets there: its file is not open, and the same name in the first
// folder is not stored in its place.
TEST(ZipCreate, SourceInAFolderThatIsGoneIsNotReadElsewhere) {
    ScratchDirectory scratch;
    write_tree(scratch.root(), {{"x/a.txt", "x"}, {"y/a.txt", "y"}, {"y/b.txt", "y"}});
    create_job();
    const WideString paths[] = {wide_of(scratch / "x/a.txt"), wide_of(scratch / "y/a.txt"),
                                wide_of(scratch / "y/b.txt")};
    const char16_t* pointers[] = {paths[0].c_str(), paths[1].c_str(), paths[2].c_str()};
    SourceList<ZipEntry> list;
    WideString archive = wide_of(scratch / "out.zip");
    build_file_list<ZipEntry>(3, pointers, list, archive);
    ASSERT_EQ(list.size(), 3u);
    fs::remove_all(scratch / "y");
    InputFile input;
    encode_archive(input, list, archive);
    EXPECT_EQ(job_state().error_text, u"a.txt >> open 失敗。\nb.txt >> open 失敗。\n");
    const Layout layout = layout_of(read_file(scratch / "out.zip"));
    expect_sound(layout);
    ASSERT_EQ(layout.records.size(), 1u);
    EXPECT_EQ(layout.records[0].data, "x");
}

// However far files are compressed ahead on the second thread, the archive
// and the error lines are those of a driver that does every file itself, at
// every level: files of every kind on both sides of the limits, two dropped
// folders (a queue stops where the directory changes) and files gone before
// their turn.
TEST(ZipCreate, CompressingAheadKeepsTheArchive) {
    ScratchDirectory scratch;
    Tree tree;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "x/f" + std::to_string(i);
        if (i % 7 == 0) {
            tree[name] = "";
        } else if (i % 5 == 0) {  // does not shrink: stored, read again
            const auto noise = corpus::random_bytes(1500 + i, static_cast<std::uint64_t>(i));
            tree[name] = ByteString(noise.begin(), noise.end());
        } else {  // some above the tight limits' largest file
            tree[name] = text_of(i * i * 2);
        }
    }
    tree["x/sub/deep.txt"] = text_of(70);
    tree["x/sub/empty/"] = "";
    tree["y/a.txt"] = text_of(30);
    tree["y/b.txt"] = text_of(31);
    write_tree(scratch.root(), tree);
    const WideString paths[] = {wide_of(scratch / "x"), wide_of(scratch / "y")};
    const char16_t* pointers[] = {paths[0].c_str(), paths[1].c_str()};
    SourceList<ZipEntry> list;
    WideString archive = wide_of(scratch / "out.zip");
    create_job();
    build_file_list<ZipEntry>(2, pointers, list, archive);
    ASSERT_EQ(list.size(), 44u);
    fs::remove(scratch / "x/f3");
    fs::remove(scratch / "y/a.txt");

    const AheadLimits none{0, 0, 0};
    const AheadLimits rows[] = {{}, {4000, 2000, 2}, {std::uint64_t{1} << 20, 1 << 20, 1}, {1 << 20, 1 << 20, 100}};
    for (const std::uint32_t level : {0u, std::uint32_t{OPT_DEFLATE_LAZY}, std::uint32_t{OPT_DEFLATE_BEST}}) {
        create_job(level);
        SourceList<ZipEntry> copy = list;
        InputFile input;
        encode_archive(input, copy, archive, none);
        const ByteString want = read_file(scratch / "out.zip");
        const WideString want_errors = job_state().error_text;
        EXPECT_EQ(want_errors, u"x/f3 >> open 失敗。\ny/a.txt >> open 失敗。\n");
        expect_sound(layout_of(want));
        for (const AheadLimits& limits : rows) {
            create_job(level);
            copy = list;
            encode_archive(input, copy, archive, limits);
            EXPECT_TRUE(read_file(scratch / "out.zip") == want) << level << " " << limits.bytes << " " << limits.files;
            EXPECT_EQ(job_state().error_text, want_errors);
        }
    }
}

// A file larger than the memory the job may take beside what the process
// holds: its data goes to the archive as the encoder makes it.
TEST(ZipCreate, LargeFilesAreWrittenInBoundedMemory) {
    ScratchDirectory scratch;
    write_tree(scratch.root(), {{"src/zeros", ""}, {"src/text.txt", text_of(100)}});
    constexpr std::uint64_t SIZE = std::uint64_t{128} << 20;
    fs::resize_file(scratch / "src/zeros", SIZE);
    EncodeRun run;
    {
        const test_common::AddressSpaceLimit limit(std::uint64_t{64} << 20);
        if (!limit.active()) GTEST_SKIP() << "no address space limit here";
        run = zip_encode({scratch / "src"}, scratch / "out.zip");
    }
    EXPECT_EQ(run.errors, u"");
    const Layout layout = layout_of(read_file(scratch / "out.zip"));
    expect_sound(layout);
    const Record* zeros = find(layout, "src/zeros");
    ASSERT_NE(zeros, nullptr);
    EXPECT_EQ(zeros->method, ZIP_METHOD_DEFLATE);
    EXPECT_EQ(zeros->uncompressed, SIZE);
}

// The peers' archive tests (Linux): unzip, 7z, bsdtar and Python's
// testzip() pass the archive, and Python counts its entries.
void expect_peers_pass(const fs::path& archive, std::size_t entries) {
#if defined(_WIN32)
    (void)archive;
    (void)entries;
#else
    const std::string a = test_common::quoted(archive);
    const std::string py = "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                           "sys.exit(z.testzip() is not None or len(z.infolist()) != int(sys.argv[2]))\" ";
    for (const std::string& command :
         {"unzip -tqq " + a, "7z t " + a, "bsdtar -tf " + a, py + a + " " + std::to_string(entries)}) {
        EXPECT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    }
#endif
}

// The central directory as the reader finds it.
ZipDirectory directory_of(const ByteString& bytes) {
    return zip_directory_read(bytes.size(), [&](std::uint64_t offset, std::size_t length) {
        return bytes.substr(static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes.size())), length);
    });
}

// A file of 4 GiB and more is stored with ZIP64 blocks holding its size,
// version 45 in both headers; the entries around it stay as they were. The
// peers test the archive and our reader gives the file back. The file is
// sparse zeros: it costs no disk and deflates to a few MB, and the file
// read back is removed at once.
TEST(ZipCreate, FilesOf4GiBAndMoreGetZip64Blocks) {
#if defined(_WIN32)
    GTEST_SKIP() << "under Wine the 4 GiB are real writes; the writer is the same code on both systems";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "deflating and inflating 4 GiB under the address sanitizer takes many minutes";
#endif
    ScratchDirectory scratch;
    write_tree(scratch.root(), {{"src/a", "small"}, {"src/huge", ""}, {"src/z", "small"}});
    // Just past the line, and not a multiple of 4 GiB: a size cut to 32
    // bits would be 64 KiB.
    const std::uint64_t huge = (std::uint64_t{1} << 32) + (1 << 16);
    fs::resize_file(scratch / "src/huge", huge);
    const EncodeRun run = zip_encode({scratch / "src"}, scratch / "out.zip");
    EXPECT_EQ(run.errors, u"");
    const ByteString bytes = read_file(scratch / "out.zip");

    // The central directory through the reader's own code.
    const ZipDirectory directory = directory_of(bytes);
    ASSERT_EQ(directory.records.size(), 3u);
    EXPECT_FALSE(directory.zip64);
    const auto big = std::find_if(directory.records.begin(), directory.records.end(),
                                  [](const ZipCentralRecord& r) { return r.name == "src/huge"; });
    ASSERT_NE(big, directory.records.end());
    const ZipCentralRecord& record = *big;
    EXPECT_TRUE(record.zip64);
    EXPECT_EQ(record.version_needed, 45);
    EXPECT_EQ(record.uncompressed_size, huge);
    EXPECT_LT(record.compressed_size, huge / 100);
    for (const ZipCentralRecord& other : directory.records) {
        if (&other == &record) continue;
        EXPECT_FALSE(other.zip64) << other.name;
        EXPECT_NE(other.version_needed, 45) << other.name;
    }
    // The local header: both sizes in its ZIP64 block.
    const coding::LeBytes local(bytes, "short");
    EXPECT_EQ(local.u16(record.local_offset + 4), 45u);
    EXPECT_EQ(local.u32(record.local_offset + 18), ZIP64_MARK_32);
    EXPECT_EQ(local.u32(record.local_offset + 22), ZIP64_MARK_32);
    Zip64Fields fields{ZIP64_MARK_32, ZIP64_MARK_32, 0, 0};
    EXPECT_TRUE(zip64_fields_apply(local.part(record.local_offset + 30 + 8, local.u16(record.local_offset + 28)),
                                   fields, true));
    EXPECT_EQ(fields.uncompressed_size, record.uncompressed_size);
    EXPECT_EQ(fields.compressed_size, record.compressed_size);
    expect_peers_pass(scratch / "out.zip", 3);

    // Our reader checks the size and the CRC of what it writes.
    fs::create_directory(scratch / "back");
    ASSERT_TRUE(platform::set_current_directory(wide_of(scratch / "back")));
    EXPECT_EQ(zip_decode({scratch / "out.zip"}).errors, u"");
    EXPECT_EQ(fs::file_size(scratch / "back/src/huge"), huge);
    fs::remove(scratch / "back/src/huge");
    EXPECT_EQ(read_file(scratch / "back/src/z"), "small");
}

// 70000 entries: the end record holds the mark 0xFFFF and a ZIP64 end
// record the count; the entries themselves need no ZIP64.
TEST(ZipCreate, MoreThan65535EntriesGetAZip64EndRecord) {
#ifdef _WIN32
    // Under Wine, making 70000 files takes longer than the whole suite may;
    // the writer is the same code on both systems.
    GTEST_SKIP() << "70000 files are made and archived on Linux only";
#endif
    ScratchDirectory scratch;
    constexpr std::size_t COUNT = 70000;
    fs::create_directory(scratch / "src");
    for (std::size_t i = 0; i < COUNT; ++i) write_file(scratch / "src" / std::to_string(i), "");
    const EncodeRun run = zip_encode({scratch / "src"}, scratch / "out.zip");
    EXPECT_EQ(run.errors, u"");
    const ByteString bytes = read_file(scratch / "out.zip");
    const coding::LeBytes end(bytes, "short");
    ASSERT_GT(bytes.size(), 98u);
    EXPECT_EQ(end.u32(bytes.size() - 22), ZIP_END_SIGNATURE);
    EXPECT_EQ(end.u16(bytes.size() - 22 + 8), 0xFFFFu);
    EXPECT_EQ(end.u32(bytes.size() - 22 - 20), ZIP64_LOCATOR_SIGNATURE);

    const ZipDirectory directory = directory_of(bytes);
    EXPECT_TRUE(directory.zip64);
    ASSERT_EQ(directory.records.size(), COUNT);
    EXPECT_EQ(std::count_if(directory.records.begin(), directory.records.end(),
                            [](const ZipCentralRecord& r) { return r.zip64 || r.version_needed == 45; }),
              0);
    expect_peers_pass(scratch / "out.zip", COUNT);
}

#if !defined(_WIN32)
// How many times this process has path open (either thread).
int openings_of(const fs::path& path) {
    int count = 0;
    for (const auto& item : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(item.path(), error) == path) ++count;
    }
    return count;
}

// A named pipe stands in for a file that changes between the Deflate pass
// and the second reading of a stored entry: each opening reads what the
// writer sends that time. Same bytes are stored; other bytes, or more, are
// refused with a line and leave no entry behind.
TEST(ZipCreate, SourceThatChangesBeforeItsStoredCopyIsLeftOut) {
    const struct {
        ByteString first, second;
        bool stored;
    } rows[] = {{"xyz", "xyz", true}, {"xyz", "xyw", false}, {"xyz", "xyzw", false}, {"xyz", "", false}};
    for (const auto& row : rows) {
        ScratchDirectory scratch;
        ASSERT_EQ(std::system(("mkfifo " + (scratch / "pipe").string()).c_str()), 0);
        std::atomic<int> opened{0};
        std::thread writer([&] {
            const fs::path pipe = scratch / "pipe";
            for (const ByteString& bytes : {row.first, row.second}) {
                std::ofstream out(pipe, std::ios::binary);  // waits for a reader
                ++opened;
                // Each reading sees only its own bytes: they go once the
                // reader's end is there, and the next opening waits until
                // it is closed again.
                while (openings_of(pipe) < 2) std::this_thread::yield();
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                out.close();
                while (openings_of(pipe) > 0) std::this_thread::yield();
            }
        });
        create_job();
        SourceList<ZipEntry> list{ZipEntry(u"pipe")};
        InputFile input;
        encode_archive(input, list, wide_of(scratch / "out.zip"));
        // A driver that did not read twice leaves the writer waiting.
        if (opened < 2) read_file(scratch / "pipe");
        writer.join();

        const Layout layout = layout_of(read_file(scratch / "out.zip"));
        expect_sound(layout);
        EXPECT_EQ(layout.records.size(), row.stored ? 1u : 0u) << row.second;
        const WideString line = u"pipe >> 読み込み中に変化したので格納しない。\n";
        EXPECT_EQ(job_state().error_text, row.stored ? u"" : line);
    }
}
#endif

// The archive path decides how the job ends: a full device fails the
// writes, and a path below a file cannot be opened at all. Either way the
// line that says so reaches the user: the job's error lines go to the
// error report, which the final box names.
TEST(ZipCreate, ArchiveThatCannotBeWrittenIsReported) {
    ScratchDirectory scratch;
    write_tree(scratch.root(), {{"a.txt", text_of(3000)}, {"file", ""}});
    struct Row {
        fs::path archive;
        std::vector<BoxAnswer> answers;
        WideString error;
    };
    std::vector<Row> rows = {{scratch / "file" / "x.zip", {}, u"エラー: \nencode: file is not open.\n"}};
#if !defined(_WIN32)
    rows.push_back({"/dev/full", {BoxAnswer::yes}, u"/dev/full >> 書き込み失敗。\n"});
#endif
    for (const Row& row : rows) {
        const EncodeRun run = zip_encode({scratch / "a.txt"}, row.archive, default_options(OPT_UTF8), row.answers);
        EXPECT_EQ(run.errors, row.error);
        ASSERT_FALSE(run.boxes.empty());
        const std::string report = row.archive.filename().string() + "_enc_err_report.txt";
        EXPECT_NE(run.boxes.back().text.find(wide_of(utf8_path(report))), WideString::npos) << row.archive;
        EXPECT_NE(read_file(scratch / report).find(utf8_of(row.error)), std::string::npos) << row.archive;
    }
}

}  // namespace
