// Proves the central directory reader, the data descriptor reader and the
// extra fields on the archives of every peer (Info-ZIP streamed, forced
// descriptors, ZIP64, self-extracting; Python streamed and ZIP64; 7-Zip at
// three levels and Deflate64; bsdtar; jar): every member is found with the
// name, size and CRC of the payload, its local header where the directory
// says, its descriptor agreeing with it; times come from the extra fields
// in any time zone; the damaged and hostile archives are refused or
// flagged; and archives beyond the 16- and 32-bit fields (more than 65535
// entries, offsets past 4 GiB) are read through their ZIP64 records.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "header_bytes.h"
#include "zip_central_dir.h"
#include "zip_data_descriptor.h"
#include "zip_extra_field.h"
#include "zip_test_support.h"

namespace {

using namespace ziptest;

ZipReadAt reader_of(const ByteString& archive, std::uint64_t base = 0) {
    return [&archive, base](std::uint64_t offset, std::size_t length) {
        if (offset < base || offset - base >= archive.size()) return ByteString();
        return archive.substr(static_cast<std::size_t>(offset - base), length);
    };
}
ZipDirectory directory_of(const ByteString& archive) { return zip_directory_read(archive.size(), reader_of(archive)); }

std::string thrown_by(const std::function<void()>& run) {
    try {
        run();
    } catch (const char* text) {
        return text;
    }
    return "";
}

std::uint64_t data_offset_of(const ByteString& archive, const ZipCentralRecord& record) {
    const coding::LeBytes local(archive, "local header beyond the archive");
    const auto at = static_cast<std::size_t>(record.local_offset);
    EXPECT_EQ(local.u32(at), ZIP_LOCAL_SIGNATURE);
    EXPECT_EQ(local.part(at + 30, local.u16(at + 26)), record.name);
    return record.local_offset + 30 + local.u16(at + 26) + local.u16(at + 28);
}

// ---- peer archives ----------------------------------------------------------

TEST(ZipCentralDir, PeerArchivesListThePayload) {
    struct Case {
        const char* file;
        std::size_t members;
        bool zip64;
        std::uint64_t prefix;
        std::uint64_t first_offset;
        std::size_t descriptor_length;  // of the members with flag bit 3
    };
    const Case cases[] = {
        {"zip-infozip/tree.zip", 17, false, 0, 0, 0},
        {"zip-infozip/fd.zip", 3, false, 0, 0, 16},
        {"zip-infozip/pipe.zip", 3, false, 0, 0, 16},
        {"zip-infozip/fz.zip", 3, true, 0, 0, 0},
        {"zip-infozip/stdin-pipe.zip", 1, false, 0, 0, 24},
        {"zip-infozip/sfx.zip", 2, false, 1050, 1050, 0},
        {"zip-infozip/sfx-adjusted.zip", 2, false, 0, 1050, 0},
        {"zip-infozip/berlin.zip", 2, false, 0, 0, 0},
        {"zip-python/tree-deflated.zip", 17, false, 0, 0, 0},
        {"zip-python/streamed.zip", 3, false, 0, 0, 16},
        {"zip-python/zip64.zip", 3, false, 0, 0, 0},
        {"zip-python/streamed-zip64.zip", 3, false, 0, 0, 24},
        {"zip-7z/tree.zip", 17, false, 0, 0, 0},
        {"zip-7z/mx1.zip", 11, false, 0, 0, 0},
        {"zip-7z/mx9.zip", 11, false, 0, 0, 0},
        {"zip-7z/deflate64.zip", 4, false, 0, 0, 0},
        {"zip-7z/berlin.zip", 2, false, 0, 0, 0},
        {"zip-bsdtar/tree.zip", 17, false, 0, 0, 16},
        {"zip-bsdtar/tree-stored.zip", 11, false, 0, 0, 16},
        {"zip-bsdtar/berlin.zip", 2, false, 0, 0, 16},
        {"zip-jar/small.jar", 3, false, 0, 0, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ByteString archive = read_file(source_path(std::string("tests/fixtures/") + c.file));
        const ZipDirectory directory = directory_of(archive);
        ASSERT_EQ(directory.records.size(), c.members);
        EXPECT_EQ(directory.zip64, c.zip64);
        EXPECT_EQ(directory.prefix, c.prefix);
        EXPECT_EQ(directory.records.front().local_offset, c.first_offset);
        for (const ZipCentralRecord& record : directory.records) {
            SCOPED_TRACE(record.name);
            // stdin-pipe.zip holds alpha.txt under the name "-".
            const auto found = tree_manifest().find(record.name == "-" ? "alpha.txt" : record.name);
            ASSERT_NE(found, tree_manifest().end());
            EXPECT_EQ(record.uncompressed_size, found->second.size);
            EXPECT_EQ(record.crc, found->second.crc);
            const std::uint64_t data = data_offset_of(archive, record);
            if (record.flags & ZIP_FLAG_DATA_DESCRIPTOR) {
                ASSERT_NE(c.descriptor_length, 0u);
                const ByteString bytes =
                    archive.substr(static_cast<std::size_t>(data + record.compressed_size), ZIP_DESCRIPTOR_MAX_LENGTH);
                const ZipDataDescriptor descriptor = data_descriptor_read(bytes, record, c.descriptor_length == 24);
                EXPECT_TRUE(data_descriptor_agrees(descriptor, record));
                EXPECT_EQ(descriptor.length, c.descriptor_length);
            }
        }
        for (const bool overlap : overlapping_members(directory)) EXPECT_FALSE(overlap);
    }
}

// The modification time in UTC from 0x5455 (Info-ZIP, bsdtar) or 0x000A
// (7-Zip) whatever the zone the DOS stamps were written in; 7-Zip's summer
// stamp is an hour off, the extra field is not.
TEST(ZipCentralDir, TimesComeFromTheExtraFieldInAnyZone) {
    struct Case {
        const char* file;
        const char* name;
        DateRecord dos;
    };
    const Case cases[] = {
        {"zip-infozip/berlin.zip", "alpha.txt", {2021, 7, 15, 14, 34, 56}},
        {"zip-infozip/berlin.zip", "empty.txt", {2020, 1, 20, 9, 9, 10}},
        {"zip-bsdtar/berlin.zip", "alpha.txt", {2021, 7, 15, 14, 34, 56}},
        {"zip-bsdtar/berlin.zip", "empty.txt", {2020, 1, 20, 9, 9, 10}},
        {"zip-7z/berlin.zip", "alpha.txt", {2021, 7, 15, 13, 34, 56}},
        {"zip-7z/berlin.zip", "empty.txt", {2020, 1, 20, 9, 9, 10}},
        {"zip-infozip/tree.zip", "alpha.txt", {2021, 7, 15, 12, 34, 56}},
        {"zip-7z/tree.zip", "empty.txt", {2020, 1, 20, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.name);
        const ZipDirectory directory = directory_of(read_file(source_path(std::string("tests/fixtures/") + c.file)));
        const auto record = std::find_if(directory.records.begin(), directory.records.end(),
                                         [&](const ZipCentralRecord& r) { return r.name == c.name; });
        ASSERT_NE(record, directory.records.end());
        EXPECT_EQ(extra_modification_time(record->extra), tree_manifest().at(c.name).mtime);
        EXPECT_EQ(record->dos_stamp, dos_stamp_of(c.dos));
    }
    // Python writes no extra field: the DOS stamp is all there is.
    const ZipDirectory python = directory_of(read_file(source_path("tests/fixtures/zip-python/tree-deflated.zip")));
    EXPECT_EQ(extra_modification_time(python.records.front().extra), std::nullopt);
}

TEST(ZipCentralDir, NamesAsStored) {
    const ByteString decomposed = "\xE3\x82\xAB\xE3\x82\x99\xE3\x82\xA4\xE3\x83\x88\xE3\x82\x99.txt";
    for (const char* file : {"zip-infozip/nfd.zip", "zip-python/nfd.zip"}) {
        const ZipDirectory directory = directory_of(read_file(source_path(std::string("tests/fixtures/") + file)));
        EXPECT_EQ(directory.records.at(0).name, decomposed) << file;
    }
    // UTF-8 without bit 11.
    const ZipDirectory utf8 = directory_of(read_file(source_path("tests/fixtures/zip-infozip/jp-utf8.zip")));
    EXPECT_EQ(utf8.records.at(0).flags & ZIP_FLAG_UTF8, 0u);
    EXPECT_EQ(utf8.records.at(0).name, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt");
    // A Unicode Path block is taken only while its CRC matches the name.
    const ByteString sjis = "\x93\xFA\x96\x7B\x8C\xEA.txt";
    const ZipDirectory fresh = directory_of(read_file(source_path("tests/fixtures/hostile/zip-unicode-path.zip")));
    EXPECT_EQ(fresh.records.at(0).name, sjis);
    EXPECT_EQ(unicode_path_name(fresh.records.at(0).extra, sjis), utf8.records.at(0).name);
    const ZipDirectory stale =
        directory_of(read_file(source_path("tests/fixtures/hostile/zip-unicode-path-stale.zip")));
    EXPECT_EQ(unicode_path_name(stale.records.at(0).extra, sjis), std::nullopt);
}

// ---- damaged and hostile archives ---------------------------------------------

TEST(ZipCentralDir, DamagedAndHostileArchives) {
    const auto fixture = [](const char* name) {
        return read_file(source_path(std::string("tests/fixtures/hostile/") + name));
    };
    EXPECT_EQ(thrown_by([&] { directory_of(fixture("zip-cd-cut.zip")); }),
              "ZipCentralDir: end of central directory record is not found.");
    EXPECT_EQ(thrown_by([&] { directory_of(fixture("zip-no-central.zip")); }),
              "ZipCentralDir: end of central directory record is not found.");
    EXPECT_EQ(thrown_by([&] { directory_of(fixture("zip-cd-outside.zip")); }),
              "ZipCentralDir: central directory lies outside the archive.");
    EXPECT_TRUE(directory_of(fixture("zip-end-record-only.zip")).records.empty());

    const ZipDirectory unlisted = directory_of(fixture("zip-unlisted-local.zip"));
    ASSERT_EQ(unlisted.records.size(), 2u);
    EXPECT_EQ(unlisted.records[0].name, "first.txt");
    EXPECT_EQ(unlisted.records[1].name, "second.txt");
    EXPECT_EQ(overlapping_members(unlisted), (std::vector<bool>{false, false}));

    EXPECT_EQ(overlapping_members(directory_of(fixture("zip-overlap.zip"))), (std::vector<bool>{true, true, true}));
    // A member whose data runs into the central directory.
    ZipDirectory into_directory = directory_of(fixture("zip-unlisted-local.zip"));
    into_directory.records[1].compressed_size += 1;
    EXPECT_EQ(overlapping_members(into_directory), (std::vector<bool>{false, true}));
}

// The end record is found behind a comment, also one that holds the end
// record's signature; counts, record signatures and lengths are checked.
TEST(ZipCentralDir, EndRecordAndDirectoryFaults) {
    const ByteString plain = zip_of({Member("a.txt", "alpha"), Member("b.txt", "beta")});
    ByteString commented = plain;
    const ByteString comment = "PK\x05\x06 inside a comment";
    commented[commented.size() - 2] = static_cast<char>(comment.size());
    commented += comment;
    const ZipDirectory found = directory_of(commented);
    EXPECT_EQ(found.comment, comment);
    EXPECT_EQ(found.records.size(), 2u);

    const std::size_t end = plain.size() - 22;
    const std::size_t directory = static_cast<std::size_t>(coding::LeBytes(plain, "").u32(end + 16));
    const auto altered = [&](std::size_t at, char value, std::size_t also = 0) {
        ByteString bytes = plain;
        bytes[at] = value;
        if (also != 0) bytes[also] = value;
        return bytes;
    };
    EXPECT_EQ(thrown_by([&] { directory_of(altered(end + 8, 3, end + 10)); }),
              "ZipCentralDir: the number of entries does not match the end record.");
    EXPECT_EQ(thrown_by([&] { directory_of(altered(directory, 'X')); }),
              "ZipCentralDir: central directory record is illegal.");
    EXPECT_EQ(thrown_by([&] { directory_of(altered(directory + 28, 100)); }),
              "ZipCentralDir: central directory is cut short.");
    EXPECT_EQ(thrown_by([&] { directory_of(altered(end + 4, 1)); }),
              "ZipCentralDir: archive split over several disks is out of support range.");
}

// A ZIP64 archive of 70000 members whose directory lies past 4 GiB, built
// as records only: the reader takes the count, sizes and offsets from the
// ZIP64 end record and blocks, and the prefix stays 0.
TEST(ZipCentralDir, Zip64BeyondTheThirtyTwoBitFields) {
    constexpr std::uint64_t BASE = std::uint64_t{5} << 30;  // where the directory begins
    constexpr std::size_t COUNT = 70000;
    ByteString bytes;
    const auto put = [&bytes](std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0));
    };
    for (std::size_t i = 0; i < COUNT; ++i) {
        const std::uint64_t offset = std::uint64_t{i} * 70000;  // past 4 GiB from member 61357 on
        put(ZIP_CENTRAL_SIGNATURE, 4), put(45, 2), put(45, 2), put(0, 2), put(0, 2), put(0, 4), put(i, 4);
        put(ZIP64_MARK_32, 4), put(ZIP64_MARK_32, 4), put(5, 2), put(4 + 24, 2), put(0, 2);
        put(0, 2), put(0, 2), put(0, 4), put(ZIP64_MARK_32, 4);
        bytes += std::string("m") + static_cast<char>('0' + i % 10) + "abc";
        put(ZIP_EXTRA_ZIP64, 2), put(24, 2), put(std::uint64_t{5} << 32, 8), put(60000, 8), put(offset, 8);
    }
    const std::uint64_t directory_size = bytes.size();
    put(ZIP64_END_SIGNATURE, 4), put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4);
    put(COUNT, 8), put(COUNT, 8), put(directory_size, 8), put(BASE, 8);
    put(ZIP64_LOCATOR_SIGNATURE, 4), put(0, 4), put(BASE + directory_size, 8), put(1, 4);
    put(ZIP_END_SIGNATURE, 4), put(0, 2), put(0, 2), put(0xFFFF, 2), put(0xFFFF, 2);
    put(ZIP64_MARK_32, 4), put(ZIP64_MARK_32, 4), put(0, 2);

    const ZipDirectory directory = zip_directory_read(BASE + bytes.size(), reader_of(bytes, BASE));
    EXPECT_TRUE(directory.zip64);
    EXPECT_EQ(directory.prefix, 0u);
    EXPECT_EQ(directory.directory_offset, BASE);
    ASSERT_EQ(directory.records.size(), COUNT);
    const ZipCentralRecord& last = directory.records.back();
    EXPECT_EQ(last.uncompressed_size, std::uint64_t{5} << 32);
    EXPECT_EQ(last.compressed_size, 60000u);
    EXPECT_EQ(last.local_offset, std::uint64_t{COUNT - 1} * 70000);
    EXPECT_EQ(last.crc, COUNT - 1);
    EXPECT_TRUE(last.zip64);
    // 60000 bytes of data from offsets 70000 apart: no overlap.
    const std::vector<bool> overlaps = overlapping_members(directory);
    EXPECT_EQ(std::count(overlaps.begin(), overlaps.end(), true), 0);
}

// ---- data descriptors and extra fields -------------------------------------------

TEST(ZipCentralDir, DataDescriptorLayouts) {
    ZipCentralRecord record;
    record.crc = ZIP_DESCRIPTOR_SIGNATURE;  // a CRC that looks like the signature
    record.compressed_size = 0x1234;
    record.uncompressed_size = 0x5678;
    const auto bytes_of = [](std::initializer_list<std::pair<std::uint64_t, int>> fields) {
        ByteString bytes;
        for (const auto& [value, width] : fields) {
            for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0));
        }
        return bytes + "PK\x03\x04 next header";
    };
    const std::uint32_t SIG = ZIP_DESCRIPTOR_SIGNATURE;
    const struct {
        const char* what;
        ByteString bytes;
        bool zip64;
        std::size_t length;
    } cases[] = {
        {"signature, 32-bit", bytes_of({{SIG, 4}, {SIG, 4}, {0x1234, 4}, {0x5678, 4}}), false, 16},
        {"no signature, 32-bit", bytes_of({{SIG, 4}, {0x1234, 4}, {0x5678, 4}}), false, 12},
        {"signature, 64-bit", bytes_of({{SIG, 4}, {SIG, 4}, {0x1234, 8}, {0x5678, 8}}), true, 24},
        {"no signature, 64-bit", bytes_of({{SIG, 4}, {0x1234, 8}, {0x5678, 8}}), true, 20},
        {"64-bit where 32 were expected", bytes_of({{SIG, 4}, {SIG, 4}, {0x1234, 8}, {0x5678, 8}}), false, 24},
    };
    for (const auto& c : cases) {
        const ZipDataDescriptor descriptor = data_descriptor_read(c.bytes, record, c.zip64);
        EXPECT_TRUE(data_descriptor_agrees(descriptor, record)) << c.what;
        EXPECT_EQ(descriptor.length, c.length) << c.what;
    }
    // Disagreement is for the caller to report; too few bytes are thrown.
    ZipCentralRecord other = record;
    other.crc = 1;
    const ZipDataDescriptor mismatch = data_descriptor_read(cases[0].bytes, other, false);
    EXPECT_FALSE(data_descriptor_agrees(mismatch, other));
    EXPECT_EQ(mismatch.length, 16u);
    EXPECT_EQ(thrown_by([&] { data_descriptor_read(ByteString("PK\x07\x08\x01\x02", 6), record, false); }),
              "data_descriptor_read: data descriptor is cut short.");
}

TEST(ZipCentralDir, ExtraFieldValues) {
    const auto block = [](std::uint16_t id, const ByteString& data) {
        ByteString bytes{static_cast<char>(id & 0xFF), static_cast<char>(id >> 8), static_cast<char>(data.size()), 0};
        return bytes + data;
    };
    const auto le = [](std::uint64_t value, int width) {
        ByteString bytes;
        for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0));
        return bytes;
    };
    // Only the marked fields are in the block, in their fixed order.
    const ByteString central = block(0x7875, "uid") + block(ZIP_EXTRA_ZIP64, le(7, 8) + le(3, 4));
    Zip64Fields fields{10, 20, ZIP64_MARK_32, ZIP64_MARK_16};
    EXPECT_TRUE(zip64_fields_apply(central, fields, false));
    EXPECT_EQ(fields.uncompressed_size, 10u);
    EXPECT_EQ(fields.compressed_size, 20u);
    EXPECT_EQ(fields.local_offset, 7u);
    EXPECT_EQ(fields.disk_start, 3u);
    // A local block holds both sizes even when one is marked.
    Zip64Fields local{10, ZIP64_MARK_32, 0, 0};
    EXPECT_TRUE(zip64_fields_apply(block(ZIP_EXTRA_ZIP64, le(11, 8) + le(22, 8)), local, true));
    EXPECT_EQ(local.uncompressed_size, 10u);
    EXPECT_EQ(local.compressed_size, 22u);
    Zip64Fields wanting{ZIP64_MARK_32, ZIP64_MARK_32, 0, 0};
    EXPECT_EQ(thrown_by([&] { zip64_fields_apply(block(ZIP_EXTRA_ZIP64, le(1, 8)), wanting, false); }),
              "zip64_fields_apply: ZIP64 extra field is too short.");
    EXPECT_FALSE(zip64_fields_apply(block(0x7875, "uid") + "\0\0", wanting, false));

    // NTFS: 100 ns steps since 1601; 0x5455: a flags byte, then signed
    // seconds since 1970 (built by appending: GCC 12 warns falsely of an
    // overlap on "literal" + string at -O3).
    const auto timestamp = [&](char flags, const ByteString& seconds) {
        ByteString data(1, flags);
        data += seconds;
        return block(ZIP_EXTRA_TIMESTAMP, data);
    };
    const ByteString ntfs =
        block(ZIP_EXTRA_NTFS, le(0, 4) + le(1, 2) + le(24, 2) +
                                  le((11644473600ULL + 1626352496ULL) * 10000000ULL + 9999999, 8) + le(0, 16));
    EXPECT_EQ(extra_modification_time(ntfs), 1626352496);
    EXPECT_EQ(extra_modification_time(timestamp('\x01', le(0xFFFFFFFF, 4))), -1);
    EXPECT_EQ(extra_modification_time(timestamp('\x06', le(5, 4))), std::nullopt);
    // NTFS before 0x5455 when both are there; a block cut short is ignored.
    EXPECT_EQ(extra_modification_time(timestamp('\x01', le(7, 4)) + ntfs), 1626352496);
    EXPECT_EQ(extra_modification_time(ntfs.substr(0, ntfs.size() - 1)), std::nullopt);
    EXPECT_EQ(extra_modification_time(block(ZIP_EXTRA_NTFS, le(0, 4) + le(1, 2) + le(24, 2) + le(0, 24))),
              std::nullopt);
}

}  // namespace
