// Proves the ZIP records: the writers put every field at its offset (the
// bytes are compared with the layout written out by hand), the reader takes
// them back, bit 11 and the options decide how a name is decoded, the three
// record kinds are told apart and anything else is refused, a record cut by
// the end of the input keeps its defaults and the field guards throw.
#include <gtest/gtest.h>

#include "header_bytes.h"
#include "member_path.h"
#include "zip_central_dir.h"
#include "zip_extra_field.h"
#include "zip_extract.h"
#include "zip_head_dec.h"
#include "zip_head_enc.h"
#include "zip_test_support.h"

namespace {

using namespace ziptest;

ByteString bytes(std::initializer_list<int> values) {
    ByteString out;
    for (const int v : values) out.push_back(static_cast<char>(v));
    return out;
}

// A record read as the member source reads it, with the name of a local
// header decoded as the extraction driver decodes it.
struct ReadHeader : ZipHeaderReader {
    void read(ZipBitInStream& input) {
        ZipHeaderReader::read(input);
        name = signature == ZIP_LOCAL_SIGNATURE ? decode_member_path(zip_member_of(*this).name_parts, false).name
                                                : WideString();
    }
    WideString name;
};

class ZipHeadTest : public ::testing::Test {
protected:
    void SetUp() override { fresh_job(&options); }
    void TearDown() override { restore_locale(); }

    // Reads records from bytes, as the extraction walk does.
    std::vector<ReadHeader> read_all(const ByteString& archive, std::size_t count, std::size_t skip_bits = 0) {
        const fs::path path = scratch / "records.bin";
        write_file(path, archive);
        std::FILE* file = platform::open_file(wide_of(path), "rb");
        EXPECT_NE(file, nullptr);
        std::vector<ReadHeader> records;
        {
            ZipBitInStream input(file);
            if (skip_bits > 0) input.n_bit_get(static_cast<int>(skip_bits));
            for (std::size_t i = 0; i < count; ++i) {
                records.emplace_back();
                records.back().read(input);
            }
        }
        std::fclose(file);
        return records;
    }
    ReadHeader read_one(const ByteString& archive) { return read_all(archive, 1).front(); }

    ScratchDirectory scratch;
    ArchiveOptions options = [] {
        ArchiveOptions o;
        init_archive_options(o);
        return o;
    }();
};

ZipEntry sample_entry() {
    ZipEntry entry;
    entry.method = ZIP_METHOD_DEFLATE;
    entry.version_needed = 20;
    entry.compressed_size = 0x1234;
    entry.uncompressed_size = 0x56789A;
    entry.crc = 0xCAFEF00D;
    entry.time = DateRecord{2021, 7, 15, 12, 34, 57};  // the second stored as 56
    entry.path = u"d/a.txt";
    return entry;
}

// ---- writers -----------------------------------------------------------

TEST_F(ZipHeadTest, WritersPutEveryFieldAtItsOffset) {
    ZipEntry entry = sample_entry();
    ByteString local;
    local_header_put(entry, local);
    // 2021-07-15 12:34:56: date (41 << 9) | (7 << 5) | 15 = 0x52EF,
    // time (12 << 11) | (34 << 5) | 28 = 0x645C.
    const ByteString fixed_local =
        bytes({0x50, 0x4B, 0x03, 0x04, 20,   0, 0, 0,    8,    0,    0x5C, 0x64, 0xEF, 0x52, 0x0D,
               0xF0, 0xFE, 0xCA, 0x34, 0x12, 0, 0, 0x9A, 0x78, 0x56, 0,    7,    0,    0,    0});
    EXPECT_EQ(local, fixed_local + "d/a.txt");
    EXPECT_EQ(entry.stored_name, "d/a.txt");

    entry.signature = ZIP_CENTRAL_SIGNATURE;
    ByteString central;
    central_header_put(entry, 0x01020304, central);
    // Made by 2.0 on Unix; external attributes: mode 0100644 in the high half.
    const ByteString fixed_central = bytes({0x50, 0x4B, 0x01, 0x02, 20, 3}) + fixed_local.substr(4, 26) +
                                     bytes({0, 0, 0, 0, 0, 0, 0, 0, 0xA4, 0x81, 0x04, 0x03, 0x02, 0x01});
    EXPECT_EQ(central, fixed_central + "d/a.txt");

    ByteString end;
    end_record_put(0xFFFE, 0x55, 0x66778899, end);
    EXPECT_EQ(end, bytes({0x50, 0x4B, 0x05, 0x06, 0, 0,    0,    0,    0xFE, 0xFF, 0xFE,
                          0xFF, 0x55, 0,    0,    0, 0x99, 0x88, 0x77, 0x66, 0,    0}));
}

// A directory is mode 040755 with the MS-DOS directory bit.
TEST_F(ZipHeadTest, DirectoriesHaveDirectoryAttributes) {
    ZipEntry entry = sample_entry();
    entry.path = u"d/";
    entry.signature = ZIP_CENTRAL_SIGNATURE;
    ByteString central;
    central_header_put(entry, 0, central);
    EXPECT_EQ(coding::LeBytes(central, "short").u32(38), 040755u << 16 | 0x10);
}

// Each value that does not fit its field (or equals the mark) is in the
// ZIP64 block and its field holds the mark; the local header carries both
// sizes or neither. The reader's own ZIP64 code takes the values back.
TEST_F(ZipHeadTest, ValuesBeyond32BitsGoToTheZip64Block) {
    const struct {
        std::int64_t compressed, uncompressed;
        std::uint64_t offset;
        bool local_block;
        std::size_t central_block;  // bytes of ZIP64 data in the central header
    } cases[] = {
        {0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFE, false, 0},
        {0x1234, 0xFFFFFFFF, 0, true, 8},
        {0x1234, std::int64_t{5} << 30, 0x123456789, true, 16},
        {std::int64_t{5} << 30, std::int64_t{5} << 30, 0xFFFFFFFF, true, 24},
        {0x1234, 0x5678, std::uint64_t{1} << 32, false, 8},
    };
    for (const auto& c : cases) {
        ZipEntry entry = sample_entry();
        entry.compressed_size = c.compressed;
        entry.uncompressed_size = c.uncompressed;
        const bool zip64 = zip64_entry(entry, c.offset);
        EXPECT_EQ(zip64, c.local_block || c.central_block != 0);
        ByteString local;
        local_header_put(entry, local);
        entry.signature = ZIP_CENTRAL_SIGNATURE;
        ByteString central;
        central_header_put(entry, c.offset, central);

        const coding::LeBytes l(local, "short"), r(central, "short");
        EXPECT_EQ(l.u16(28), c.local_block ? 20u : 0u) << c.uncompressed;
        EXPECT_EQ(r.u16(30), c.central_block == 0 ? 0u : 4 + c.central_block) << c.uncompressed;
        Zip64Fields from_local{l.u32(22), l.u32(18), 0, 0};
        zip64_fields_apply(l.part(30 + 7, l.u16(28)), from_local, true);
        EXPECT_EQ(from_local.uncompressed_size, static_cast<std::uint64_t>(c.uncompressed));
        EXPECT_EQ(from_local.compressed_size, static_cast<std::uint64_t>(c.compressed));
        Zip64Fields from_central{r.u32(24), r.u32(20), r.u32(42), 0};
        zip64_fields_apply(r.part(46 + 7, r.u16(30)), from_central, false);
        EXPECT_EQ(from_central.uncompressed_size, static_cast<std::uint64_t>(c.uncompressed));
        EXPECT_EQ(from_central.compressed_size, static_cast<std::uint64_t>(c.compressed));
        EXPECT_EQ(from_central.local_offset, c.offset);
    }
}

// Past 0xFFFE records or 32-bit size or offset, a ZIP64 end record and
// its locator (pointing at it, right after the directory) come first, and
// the end record's fields that do not fit hold their marks.
TEST_F(ZipHeadTest, EndRecordsBeyondTheirFieldsGetZip64Records) {
    ByteString end;
    end_record_put(70000, 0x55, 0x123456789, end);
    ASSERT_EQ(end.size(), 56u + 20 + 22);
    const coding::LeBytes e(end, "short");
    EXPECT_EQ(e.u32(0), ZIP64_END_SIGNATURE);
    EXPECT_EQ(e.u64(4), 44u);
    EXPECT_EQ(e.u16(14), 45u);
    EXPECT_EQ(e.u64(24), 70000u);
    EXPECT_EQ(e.u64(32), 70000u);
    EXPECT_EQ(e.u64(40), 0x55u);
    EXPECT_EQ(e.u64(48), 0x123456789u);
    EXPECT_EQ(e.u32(56), ZIP64_LOCATOR_SIGNATURE);
    EXPECT_EQ(e.u64(64), 0x123456789u + 0x55);
    EXPECT_EQ(e.u32(72), 1u);
    EXPECT_EQ(e.part(76, 22), bytes({0x50, 0x4B, 0x05, 0x06, 0, 0,    0,    0,    0xFF, 0xFF, 0xFF,
                                     0xFF, 0x55, 0,    0,    0, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0}));
    end.clear();
    end_record_put(0xFFFF, 0x55, 0x66, end);
    EXPECT_EQ(end.size(), 56u + 20 + 22);
}

TEST_F(ZipHeadTest, WritersRefuseARecordOfTheOtherKind) {
    ZipEntry entry = sample_entry();
    ByteString out;
    entry.signature = ZIP_CENTRAL_SIGNATURE;
    EXPECT_THROW(local_header_put(entry, out), const char*);
    entry.signature = ZIP_LOCAL_SIGNATURE;
    try {
        central_header_put(entry, 0, out);
        FAIL() << "no throw";
    } catch (const char* message) {
        EXPECT_STREQ(message, "program error.");
    }
    EXPECT_TRUE(out.empty());
}

// A name the options store as UTF-8 gets bit 11, in both headers, and the
// reader decodes it back because of that bit alone.
TEST_F(ZipHeadTest, Utf8NamesCarryBit11BothWays) {
    options.flags = OPT_UTF8;
    ZipEntry entry = sample_entry();
    entry.path = u"表/日本語.txt";
    ByteString archive;
    local_header_put(entry, archive);
    EXPECT_EQ(entry.stored_name, "\xE8\xA1\xA8/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt");
    EXPECT_EQ(static_cast<std::uint8_t>(archive[7]), 0x08);  // flags high byte
    entry.signature = ZIP_CENTRAL_SIGNATURE;
    ByteString central;
    central_header_put(entry, 0, central);
    EXPECT_EQ(static_cast<std::uint8_t>(central[9]), 0x08);

    options.flags = 0;
    const ReadHeader header = read_one(archive);
    EXPECT_EQ(header.flags, ZIP_FLAG_UTF8);
    EXPECT_EQ(header.name, u"表/日本語.txt");
}

// ---- reader ------------------------------------------------------------

TEST_F(ZipHeadTest, ReaderTakesTheLocalHeaderFields) {
    ZipEntry entry = sample_entry();
    entry.flags = 0x0006;
    ByteString archive;
    local_header_put(entry, archive);
    archive += "EXTRA";  // beyond the header: not read
    const ReadHeader header = read_one(archive);
    EXPECT_EQ(header.signature, ZIP_LOCAL_SIGNATURE);
    EXPECT_EQ(header.version_needed, 20);
    EXPECT_EQ(header.flags, 0x0006u);
    EXPECT_EQ(header.method, ZIP_METHOD_DEFLATE);
    EXPECT_EQ(header.crc, 0xCAFEF00Du);
    EXPECT_EQ(header.compressed_size, 0x1234);
    EXPECT_EQ(header.uncompressed_size, 0x56789A);
    EXPECT_EQ(header.time.year, 2021);
    EXPECT_EQ(header.time.month, 7);
    EXPECT_EQ(header.time.day, 15);
    EXPECT_EQ(header.time.hour, 12);
    EXPECT_EQ(header.time.minute, 34);
    EXPECT_EQ(header.time.second, 56);
    EXPECT_EQ(header.name, u"d/a.txt");
    EXPECT_EQ(header.raw.bytes.size(), 37u);
}

// Sizes are the unsigned 32-bit fields: 4 GiB - 2 is not -2 (4 GiB - 1
// would be the ZIP64 mark).
TEST_F(ZipHeadTest, SizesAreUnsigned) {
    Member member("big", "");
    member.compressed_size = 0xFFFFFFFE;
    member.uncompressed_size = 0x80000000;
    const ReadHeader header = read_one(zip_of({member}, false));
    EXPECT_EQ(header.compressed_size, 0xFFFFFFFELL);
    EXPECT_EQ(header.uncompressed_size, 0x80000000LL);
}

// Names without bit 11 follow the options: a code page, or UTF-8 by choice.
TEST_F(ZipHeadTest, NamesWithoutBit11FollowTheOptions) {
    const ByteString cp932 = "\x83\x5C\x81\x5B\x83\x58/\x95\x5C.txt";  // ソース/表.txt
    options.flags = OPT_CODEPAGE_SET;
    options.code_page = 932;
    fresh_job(&options);
    EXPECT_EQ(read_one(zip_of({Member(cp932, "x")}, false)).name, u"ソース/表.txt");

    options.flags = OPT_UTF8;
    options.code_page = 0;
    fresh_job(&options);
    EXPECT_EQ(read_one(zip_of({Member("\xE8\xA1\xA8.txt", "x")}, false)).name, u"表.txt");
}

TEST_F(ZipHeadTest, RecordKindsAreToldApart) {
    ByteString archive = zip_of({Member("a.txt", "hello", ZIP_METHOD_STORED)});
    // local header, its 5 bytes, central header, end record, then a byte
    // that shows where the reading stopped.
    archive += "Z";
    const fs::path path = scratch / "kinds.zip";
    write_file(path, archive);
    std::FILE* file = platform::open_file(wide_of(path), "rb");
    ASSERT_NE(file, nullptr);
    {
        ZipBitInStream input(file);
        ReadHeader header;
        header.read(input);
        EXPECT_EQ(header.signature, ZIP_LOCAL_SIGNATURE);
        for (int i = 0; i < 5; ++i) input.byte_get();
        header.read(input);
        EXPECT_EQ(header.signature, ZIP_CENTRAL_SIGNATURE);
        EXPECT_EQ(header.raw.bytes.size(), 46u + 5u);
        EXPECT_TRUE(header.name.empty());
        header.read(input);
        EXPECT_EQ(header.signature, ZIP_END_SIGNATURE);
        EXPECT_EQ(header.raw.bytes.size(), 22u);
        EXPECT_EQ(input.byte_get(), 'Z');
        header.read(input);
        EXPECT_EQ(header.signature, -1);
    }
    std::fclose(file);
}

TEST_F(ZipHeadTest, UnknownSignaturesAreRefused) {
    const std::vector<std::pair<const char*, ByteString>> cases = {
        {"a self-extracting program", ByteString("MZ\x90\x00\x03\x00\x00\x00", 8)},
        {"a data descriptor", bytes({0x50, 0x4B, 0x07, 0x08, 0, 0, 0, 0})},
        {"a near miss", bytes({0x50, 0x4B, 0x03, 0x05, 0, 0, 0, 0})},
    };
    for (const auto& [what, archive] : cases) {
        try {
            read_one(archive);
            ADD_FAILURE() << what << ": no throw";
        } catch (const char* message) {
            EXPECT_STREQ(message, "Outside of the support range.") << what;
        }
    }
}

// A header cut by the end of the input keeps the defaults of what it lacks.
TEST_F(ZipHeadTest, CutRecordsKeepTheirDefaults) {
    const ByteString archive = zip_of({Member("good.txt", "x")}, false);

    EXPECT_EQ(read_one("").signature, -1);
    EXPECT_EQ(read_one(archive.substr(0, 3)).signature, -1);

    const ReadHeader fixed_cut = read_one(archive.substr(0, 20));
    EXPECT_EQ(fixed_cut.signature, ZIP_LOCAL_SIGNATURE);
    EXPECT_EQ(fixed_cut.method, 0);
    EXPECT_EQ(fixed_cut.compressed_size, -1);
    EXPECT_EQ(fixed_cut.time.year, 1900);
    EXPECT_TRUE(fixed_cut.name.empty());

    const ReadHeader name_cut = read_one(archive.substr(0, 33));
    EXPECT_EQ(name_cut.method, ZIP_METHOD_DEFLATE);
    EXPECT_EQ(name_cut.uncompressed_size, 1);
    EXPECT_TRUE(name_cut.name.empty());
}

// After Deflate data the next header starts at the next byte boundary.
TEST_F(ZipHeadTest, HeadersStartAtAByteBoundary) {
    const ByteString archive = ByteString(1, '\x07') + zip_of({Member("n.txt", "x")}, false);
    const std::vector<ReadHeader> records = read_all(archive, 1, 3);
    EXPECT_EQ(records.front().signature, ZIP_LOCAL_SIGNATURE);
    EXPECT_EQ(records.front().name, u"n.txt");
}

TEST_F(ZipHeadTest, FieldGuardsThrow) {
    ZipHeaderReader header;
    header.raw.bytes = bytes({1, 2, 3, 4, 5});
    EXPECT_EQ(header.int_get(1, 4), 0x05040302u);
    EXPECT_EQ(header.str_get(3, 2), bytes({4, 5}));
    EXPECT_EQ(header.str_get(5, 0), "");
    const auto text_of = [](auto call) -> std::string {
        try {
            call();
        } catch (const char* message) {
            return message;
        }
        return "";
    };
    EXPECT_EQ(text_of([&] { header.int_get(2, 4); }), "int_get: header format is illegal.");
    EXPECT_EQ(text_of([&] { header.int_get(6, 1); }), "int_get: header format is illegal.");
    EXPECT_EQ(text_of([&] { header.str_get(4, 2); }), "str_get: header format is illegal.");
    EXPECT_EQ(text_of([&] { header.str_get(static_cast<std::size_t>(-1), 2); }), "str_get: header format is illegal.");
}

}  // namespace
