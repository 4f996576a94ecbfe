#include "zip_central_dir.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "header_bytes.h"
#include "zip_entry.h"
#include "zip_extra_field.h"

namespace {

constexpr const char* END_NOT_FOUND = "ZipCentralDir: end of central directory record is not found.";
constexpr const char* CUT_SHORT = "ZipCentralDir: central directory is cut short.";
constexpr const char* BAD_RECORD = "ZipCentralDir: central directory record is illegal.";
constexpr const char* ZIP64_NOT_FOUND = "ZipCentralDir: ZIP64 end record is not found.";
constexpr const char* OUTSIDE = "ZipCentralDir: central directory lies outside the archive.";
constexpr const char* COUNT_MISMATCH = "ZipCentralDir: the number of entries does not match the end record.";
constexpr const char* SPLIT = "ZipCentralDir: archive split over several disks is out of support range.";

constexpr std::size_t END_LENGTH = 22;
constexpr std::size_t CENTRAL_LENGTH = 46;
constexpr std::size_t LOCAL_LENGTH = 30;
constexpr std::size_t DESCRIPTOR_MIN_LENGTH = 12;

// ZIP64 end of central directory locator, right before the end record:
//   +0   4  signature 50 4B 06 07
//   +4   4  disk holding the ZIP64 end record
//   +8   8  offset of the ZIP64 end record
//   +16  4  number of disks
constexpr std::size_t LOCATOR_LENGTH = 20;

// ZIP64 end of central directory record:
//   +0   4  signature 50 4B 06 06
//   +4   8  size of the rest of the record (44 + extensible data)
//   +12  2  version made by
//   +14  2  version needed
//   +16  4  number of this disk
//   +20  4  disk where the central directory starts
//   +24  8  records on this disk
//   +32  8  records in total
//   +40  8  central directory size
//   +48  8  central directory offset
constexpr std::size_t ZIP64_END_LENGTH = 56;

std::uint64_t saturated_add(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

bool signature_at(std::string_view bytes, std::size_t offset, std::uint32_t signature) {
    return offset + 4 <= bytes.size() && coding::LeBytes(bytes, "").u32(offset) == signature;
}

// Where the ZIP64 end record stands: normally right before the locator
// (the offset in the locator is then shifted by a prefix like every other
// offset); else where the locator says, for a record with extensible data
// in an archive without a prefix.
ZipEndRecord zip64_end_read(const ZipEndRecord& end, std::uint64_t stated, const ZipReadAt& read_at) {
    std::vector<std::uint64_t> candidates;
    if (end.position >= LOCATOR_LENGTH + ZIP64_END_LENGTH) {
        candidates.push_back(end.position - LOCATOR_LENGTH - ZIP64_END_LENGTH);
    }
    candidates.push_back(stated);
    for (const std::uint64_t position : candidates) {
        const ByteString bytes = read_at(position, ZIP64_END_LENGTH);
        if (!signature_at(bytes, 0, ZIP64_END_SIGNATURE) || bytes.size() < ZIP64_END_LENGTH) continue;
        const coding::LeBytes record(bytes, ZIP64_NOT_FOUND);
        ZipEndRecord zip64;
        zip64.position = position;
        zip64.disk = record.u32(16);
        zip64.directory_disk = record.u32(20);
        zip64.disk_records = record.u64(24);
        zip64.records = record.u64(32);
        zip64.directory_size = record.u64(40);
        zip64.directory_offset = record.u64(48);
        return zip64;
    }
    throw ZIP64_NOT_FOUND;
}

}  // namespace

ZipEndRecord end_record_find(std::string_view tail, std::uint64_t tail_offset) {
    if (tail.size() < END_LENGTH) throw END_NOT_FOUND;
    const coding::LeBytes bytes(tail, END_NOT_FOUND);
    for (std::size_t at = tail.size() - END_LENGTH + 1; at-- > 0;) {
        if (bytes.u32(at) != ZIP_END_SIGNATURE) continue;
        const std::size_t comment_length = bytes.u16(at + 20);
        // A comment that would run past the end means these four bytes
        // are part of something else (a comment that holds "PK\5\6").
        if (comment_length > tail.size() - at - END_LENGTH) continue;
        ZipEndRecord end;
        end.position = tail_offset + at;
        end.disk = bytes.u16(at + 4);
        end.directory_disk = bytes.u16(at + 6);
        end.disk_records = bytes.u16(at + 8);
        end.records = bytes.u16(at + 10);
        end.directory_size = bytes.u32(at + 12);
        end.directory_offset = bytes.u32(at + 16);
        end.comment = ByteString(bytes.part(at + END_LENGTH, comment_length));
        return end;
    }
    throw END_NOT_FOUND;
}

std::vector<ZipCentralRecord> central_records_parse(std::string_view bytes, std::uint64_t prefix) {
    std::vector<ZipCentralRecord> records;
    const coding::LeBytes field(bytes, CUT_SHORT);
    for (std::size_t at = 0; at < bytes.size();) {
        if (field.u32(at) != ZIP_CENTRAL_SIGNATURE) throw BAD_RECORD;
        ZipCentralRecord record;
        record.version_made_by = field.u16(at + 4);
        record.version_needed = field.u16(at + 6);
        record.flags = field.u16(at + 8);
        record.method = field.u16(at + 10);
        record.dos_stamp = field.u32(at + 12);
        record.crc = field.u32(at + 16);
        const std::size_t name_length = field.u16(at + 28);
        const std::size_t extra_length = field.u16(at + 30);
        const std::size_t comment_length = field.u16(at + 32);
        record.internal_attributes = field.u16(at + 36);
        record.external_attributes = field.u32(at + 38);
        std::size_t next = at + CENTRAL_LENGTH;
        record.name = ByteString(field.part(next, name_length));
        next += name_length;
        record.extra = ByteString(field.part(next, extra_length));
        next += extra_length;
        record.comment = ByteString(field.part(next, comment_length));
        next += comment_length;

        Zip64Fields fields;
        fields.compressed_size = field.u32(at + 20);
        fields.uncompressed_size = field.u32(at + 24);
        fields.disk_start = field.u16(at + 34);
        fields.local_offset = field.u32(at + 42);
        record.zip64 = zip64_fields_apply(record.extra, fields, false);
        record.compressed_size = fields.compressed_size;
        record.uncompressed_size = fields.uncompressed_size;
        record.disk_start = fields.disk_start;
        record.local_offset = fields.local_offset + prefix;
        records.push_back(std::move(record));
        at = next;
    }
    return records;
}

ZipDirectory zip_directory_read(std::uint64_t archive_size, const ZipReadAt& read_at) {
    const std::uint64_t tail_length = std::min<std::uint64_t>(archive_size, ZIP_END_SEARCH_LENGTH);
    const std::uint64_t tail_offset = archive_size - tail_length;
    const ByteString tail = read_at(tail_offset, static_cast<std::size_t>(tail_length));
    ZipEndRecord end = end_record_find(tail, tail_offset);

    ZipDirectory directory;
    directory.comment = end.comment;
    // Where the directory should end: at the ZIP64 end record if there is
    // one, else at the end record.
    std::uint64_t directory_end = end.position;
    const std::size_t end_in_tail = static_cast<std::size_t>(end.position - tail_offset);
    if (end_in_tail >= LOCATOR_LENGTH && signature_at(tail, end_in_tail - LOCATOR_LENGTH, ZIP64_LOCATOR_SIGNATURE)) {
        const coding::LeBytes locator(std::string_view(tail).substr(end_in_tail - LOCATOR_LENGTH), ZIP64_NOT_FOUND);
        end = zip64_end_read(end, locator.u64(8), read_at);
        directory_end = end.position;
        directory.zip64 = true;
    }
    // The directory must lie on the disk this file is; the disk numbers
    // themselves vary between writers of single-file archives.
    if (end.disk != end.directory_disk) throw SPLIT;

    if (end.directory_size > directory_end || end.directory_offset > directory_end - end.directory_size) throw OUTSIDE;
    directory.prefix = directory_end - end.directory_size - end.directory_offset;
    directory.directory_size = end.directory_size;
    if (directory.directory_size > std::numeric_limits<std::size_t>::max() / 2) throw OUTSIDE;
    const auto size = static_cast<std::size_t>(directory.directory_size);
    // Where the prefix does not lead to a directory, the offsets may have
    // been adjusted for it after all (something else stands between the
    // directory and the end record): take them as stored.
    ByteString bytes = read_at(end.directory_offset + directory.prefix, size);
    if (directory.prefix != 0 && size != 0 && !signature_at(bytes, 0, ZIP_CENTRAL_SIGNATURE)) {
        ByteString stored = read_at(end.directory_offset, size);
        if (signature_at(stored, 0, ZIP_CENTRAL_SIGNATURE)) {
            directory.prefix = 0;
            bytes = std::move(stored);
        }
    }
    if (bytes.size() < size) throw CUT_SHORT;
    directory.directory_offset = end.directory_offset + directory.prefix;
    directory.records = central_records_parse(bytes, directory.prefix);
    // Writers without ZIP64 that store more than 65535 entries keep the
    // low 16 bits of the count; the directory's size is what counts then.
    const std::uint64_t found = directory.records.size();
    const bool counts_agree = directory.zip64 ? found == end.records : (found & 0xFFFF) == end.records;
    if (!counts_agree) throw COUNT_MISMATCH;
    return directory;
}

std::vector<bool> overlapping_members(const ZipDirectory& directory) {
    struct Extent {
        std::uint64_t begin;
        std::uint64_t end;
        std::size_t index;
    };
    const std::size_t count = directory.records.size();
    std::vector<Extent> extents;
    extents.reserve(count + 1);
    for (std::size_t i = 0; i < count; ++i) {
        const ZipCentralRecord& record = directory.records[i];
        std::uint64_t length = LOCAL_LENGTH + record.name.size();
        if (record.flags & ZIP_FLAG_DATA_DESCRIPTOR) length += DESCRIPTOR_MIN_LENGTH;
        // Values near 2^64 come only from hostile records; they reach the end.
        const std::uint64_t end = saturated_add(saturated_add(record.local_offset, length), record.compressed_size);
        extents.push_back({record.local_offset, end, i});
    }
    // The central directory, as one more extent no member may reach into.
    extents.push_back({directory.directory_offset, directory.directory_offset + directory.directory_size, count});
    std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.index < b.index;
    });

    // Sweep in order of the first byte: an extent overlaps an earlier one
    // exactly when it begins before the farthest end so far, and then also
    // overlaps the extent that reaches that far.
    std::vector<bool> overlapping(count + 1, false);
    std::uint64_t farthest = 0;
    std::size_t farthest_index = count + 1;
    for (const Extent& extent : extents) {
        if (farthest_index <= count && extent.begin < farthest) {
            overlapping[extent.index] = true;
            overlapping[farthest_index] = true;
        }
        if (farthest_index > count || extent.end > farthest) {
            farthest = extent.end;
            farthest_index = extent.index;
        }
    }
    overlapping.pop_back();
    return overlapping;
}
