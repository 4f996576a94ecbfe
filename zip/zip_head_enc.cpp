#include "zip_head_enc.h"

#include "date_record.h"
#include "header_bytes.h"
#include "stored_name.h"
#include "zip_central_dir.h"
#include "zip_extra_field.h"

namespace {

// Version made by: ZIP 2.0 on Unix (host 3). Readers take the names of an
// MS-DOS archive (host 0) for code page 437 even when bit 11 says UTF-8;
// for a Unix host they trust bit 11, and they read the external
// attributes as a Unix mode in the high half.
constexpr std::uint32_t VERSION_MADE_BY = std::uint32_t{ZIP_HOST_UNIX} << 8 | 20;
constexpr std::uint32_t ZIP64_VERSION_MADE_BY = std::uint32_t{ZIP_HOST_UNIX} << 8 | ZIP_VERSION_ZIP64;

// External attributes on a Unix host, as Unix archivers write them: the
// mode (regular file 0100644, directory 040755) in the high 16 bits, the
// MS-DOS attributes in the low byte (0x10: directory).
constexpr std::uint32_t FILE_ATTRIBUTES = 0100644u << 16;
constexpr std::uint32_t DIRECTORY_ATTRIBUTES = 040755u << 16 | 0x10;

// The ZIP64 end record is 56 bytes; its size field counts the bytes after
// its first 12.
constexpr std::uint32_t ZIP64_END_LENGTH = 56;

void int_put(ByteString& out, std::uint32_t value, std::size_t width) {
    coding::int_put(out, out.size(), value, width);
}

void int64_put(ByteString& out, std::uint64_t value) {
    int_put(out, static_cast<std::uint32_t>(value), 4);
    int_put(out, static_cast<std::uint32_t>(value >> 32), 4);
}

// A value that does not fit its 32-bit field goes to the ZIP64 block, and
// the field holds the mark. A value equal to the mark goes there too: a
// reader would take the field for the mark.
bool over32(std::uint64_t value) { return value >= ZIP64_MARK_32; }
std::uint32_t field32(std::uint64_t value) { return over32(value) ? ZIP64_MARK_32 : static_cast<std::uint32_t>(value); }

// The stored name is made once, when the first header of the entry is
// built; the central header then repeats it and its flag.
void stored_name_make(ZipEntry& entry) {
    if (!entry.stored_name.empty()) return;
    const EncodedName encoded = encode_stored_name(entry.path, entry.stored_name, 0);
    entry.name_flags = (encoded.flags & NAME_UTF8) != 0 ? ZIP_FLAG_UTF8 : 0;
}

// The ZIP64 extra block of one header from the values that go there, in
// the fixed order uncompressed size, compressed size, local header offset;
// empty when there are none.
ByteString zip64_block(std::initializer_list<std::pair<bool, std::uint64_t>> values) {
    ByteString data;
    for (const auto& [present, value] : values) {
        if (present) int64_put(data, value);
    }
    if (data.empty()) return data;
    ByteString block;
    int_put(block, ZIP_EXTRA_ZIP64, 2);
    int_put(block, static_cast<std::uint32_t>(data.size()), 2);
    return block + data;
}

// The fields that both headers share, from version needed to the extra
// field length (local +4 to +30, central +6 to +32). zip64 is the header's
// ZIP64 block, written in front of the entry's own extra bytes.
void common_fields_put(const ZipEntry& entry, std::uint32_t compressed, std::uint32_t uncompressed,
                       const ByteString& zip64, ByteString& out) {
    int_put(out, static_cast<std::uint32_t>(entry.version_needed), 2);
    int_put(out, entry.flags | entry.name_flags, 2);
    int_put(out, static_cast<std::uint32_t>(entry.method), 2);
    int_put(out, dos_stamp_of(entry.time), 4);
    int_put(out, entry.crc, 4);
    int_put(out, compressed, 4);
    int_put(out, uncompressed, 4);
    int_put(out, static_cast<std::uint32_t>(entry.stored_name.size()), 2);
    int_put(out, static_cast<std::uint32_t>(zip64.size() + entry.extra.size()), 2);
}

std::uint64_t compressed_of(const ZipEntry& entry) { return static_cast<std::uint64_t>(entry.compressed_size); }
std::uint64_t uncompressed_of(const ZipEntry& entry) { return static_cast<std::uint64_t>(entry.uncompressed_size); }

}  // namespace

bool zip64_entry(const ZipEntry& entry, std::uint64_t local_offset) {
    return over32(compressed_of(entry)) || over32(uncompressed_of(entry)) || over32(local_offset);
}

void local_header_put(ZipEntry& entry, ByteString& out) {
    if (entry.signature != ZIP_LOCAL_SIGNATURE) throw "program error.";
    stored_name_make(entry);
    // The local header has no room for a size of its own in the ZIP64
    // block: either both sizes are there or neither.
    const bool zip64 = over32(compressed_of(entry)) || over32(uncompressed_of(entry));
    const ByteString block = zip64_block({{zip64, uncompressed_of(entry)}, {zip64, compressed_of(entry)}});
    int_put(out, ZIP_LOCAL_SIGNATURE, 4);
    common_fields_put(entry, zip64 ? ZIP64_MARK_32 : field32(compressed_of(entry)),
                      zip64 ? ZIP64_MARK_32 : field32(uncompressed_of(entry)), block, out);
    out += entry.stored_name;
    out += block;
    out += entry.extra;
}

void central_header_put(ZipEntry& entry, std::uint64_t local_offset, ByteString& out) {
    if (entry.signature != ZIP_CENTRAL_SIGNATURE) throw "program error.";
    stored_name_make(entry);
    const ByteString block = zip64_block({{over32(uncompressed_of(entry)), uncompressed_of(entry)},
                                          {over32(compressed_of(entry)), compressed_of(entry)},
                                          {over32(local_offset), local_offset}});
    const bool directory = !entry.stored_name.empty() && entry.stored_name.back() == '/';
    int_put(out, ZIP_CENTRAL_SIGNATURE, 4);
    int_put(out, VERSION_MADE_BY, 2);
    common_fields_put(entry, field32(compressed_of(entry)), field32(uncompressed_of(entry)), block, out);
    int_put(out, 0, 2);  // file comment length
    int_put(out, 0, 2);  // disk number start
    int_put(out, 0, 2);  // internal file attributes
    int_put(out, directory ? DIRECTORY_ATTRIBUTES : FILE_ATTRIBUTES, 4);
    int_put(out, field32(local_offset), 4);
    out += entry.stored_name;
    out += block;
    out += entry.extra;
}

void end_record_put(std::uint64_t record_count, std::uint64_t directory_size, std::uint64_t directory_offset,
                    ByteString& out) {
    const bool zip64 = record_count >= ZIP64_MARK_16 || over32(directory_size) || over32(directory_offset);
    if (zip64) {
        // ZIP64 end record, right after the central directory.
        int_put(out, ZIP64_END_SIGNATURE, 4);
        int64_put(out, ZIP64_END_LENGTH - 12);
        int_put(out, ZIP64_VERSION_MADE_BY, 2);
        int_put(out, ZIP_VERSION_ZIP64, 2);  // version needed to extract
        int_put(out, 0, 4);                  // number of this disk
        int_put(out, 0, 4);                  // disk where the central directory starts
        int64_put(out, record_count);        // records on this disk
        int64_put(out, record_count);        // records in total
        int64_put(out, directory_size);
        int64_put(out, directory_offset);
        // Its locator.
        int_put(out, ZIP64_LOCATOR_SIGNATURE, 4);
        int_put(out, 0, 4);  // disk of the ZIP64 end record
        int64_put(out, directory_offset + directory_size);
        int_put(out, 1, 4);  // number of disks
    }
    const std::uint32_t count =
        record_count >= ZIP64_MARK_16 ? ZIP64_MARK_16 : static_cast<std::uint32_t>(record_count);
    int_put(out, ZIP_END_SIGNATURE, 4);
    int_put(out, 0, 2);  // number of this disk
    int_put(out, 0, 2);  // disk where the central directory starts
    int_put(out, count, 2);
    int_put(out, count, 2);
    int_put(out, field32(directory_size), 4);
    int_put(out, field32(directory_offset), 4);
    int_put(out, 0, 2);  // comment length
}
