#include "zip_head_enc.h"

#include "date_record.h"
#include "header_bytes.h"
#include "job_state.h"
#include "stored_name.h"

namespace {

constexpr std::uint32_t VERSION_MADE_BY = 20;

void int_put(ByteString& out, std::uint32_t value, std::size_t width) {
    coding::int_put(out, out.size(), value, width);
}

// The stored name is made once, when the first header of the entry is
// built; the central header then repeats it and its flag.
void stored_name_make(ZipEntry& entry) {
    if (!entry.stored_name.empty()) return;
    const EncodedName encoded = encode_stored_name(entry.path, entry.stored_name, 0);
    entry.name_flags = (encoded.flags & NAME_UTF8) != 0 ? ZIP_FLAG_UTF8 : 0;
}

// The fields that both headers share, from version needed to the extra
// field length (local +4 to +30, central +6 to +32).
void common_fields_put(const ZipEntry& entry, ByteString& out) {
    int_put(out, static_cast<std::uint32_t>(entry.version_needed), 2);
    int_put(out, entry.flags | entry.name_flags, 2);
    int_put(out, static_cast<std::uint32_t>(entry.method), 2);
    int_put(out, dos_stamp_of(entry.time), 4);
    int_put(out, entry.crc, 4);
    int_put(out, static_cast<std::uint32_t>(entry.compressed_size), 4);
    int_put(out, static_cast<std::uint32_t>(entry.uncompressed_size), 4);
    int_put(out, static_cast<std::uint32_t>(entry.stored_name.size()), 2);
    int_put(out, static_cast<std::uint32_t>(entry.extra.size()), 2);
}

}  // namespace

void local_header_put(ZipEntry& entry, ByteString& out) {
    if (entry.signature != ZIP_LOCAL_SIGNATURE) throw "program error.";
    stored_name_make(entry);
    int_put(out, ZIP_LOCAL_SIGNATURE, 4);
    common_fields_put(entry, out);
    out += entry.stored_name;
    out += entry.extra;
}

void central_header_put(ZipEntry& entry, std::uint32_t local_offset, ByteString& out) {
    if (entry.signature != ZIP_CENTRAL_SIGNATURE) throw "program error.";
    stored_name_make(entry);
    int_put(out, ZIP_CENTRAL_SIGNATURE, 4);
    int_put(out, VERSION_MADE_BY, 2);
    common_fields_put(entry, out);
    int_put(out, 0, 2);  // file comment length
    int_put(out, 0, 2);  // disk number start
    int_put(out, 0, 2);  // internal file attributes
    int_put(out, 0, 4);  // external file attributes
    int_put(out, local_offset, 4);
    out += entry.stored_name;
    out += entry.extra;
}

void end_record_put(std::uint32_t record_count, std::uint32_t directory_size,
                    std::uint32_t directory_offset, ByteString& out) {
    int_put(out, ZIP_END_SIGNATURE, 4);
    int_put(out, 0, 2);  // number of this disk
    int_put(out, 0, 2);  // disk where the central directory starts
    int_put(out, record_count & 0xFFFF, 2);
    int_put(out, record_count & 0xFFFF, 2);
    int_put(out, directory_size, 4);
    int_put(out, directory_offset, 4);
    int_put(out, 0, 2);  // comment length
}
