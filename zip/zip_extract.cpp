// ZIP extraction (see zip_extract.h).
#include "zip_extract.h"

#include "stored_name.h"
#include "text_convert.h"
#include "zip_entry.h"

namespace {

// A stored entry is its bytes as they are. One cut short by the end of the
// archive is an error like a cut Deflate stream: the file keeps the bytes
// that were there, and no made-up bytes are added.
void copy_stored(ZipBitInStream& input, ZipFileDecOutStream& out) {
    for (std::int64_t i = 0; i < out.expected_size; ++i) {
        const int byte = input.byte_get();
        if (byte < 0) throw "It finished on the way.";
        out.put(static_cast<std::uint8_t>(byte));
    }
}

void decode_deflate(ZipBitInStream& input, ZipFileDecOutStream& out) {
    DeflateDec decoder(input);
    DecWindow window;
    window.decode_entry(decoder, out);
}

struct Method {
    std::int32_t id;
    ZipMemberDecoder decode;
};

constexpr Method METHODS[] = {
    {ZIP_METHOD_STORED, copy_stored},
    {ZIP_METHOD_DEFLATE, decode_deflate},
};

}  // namespace

ZipMemberDecoder zip_decoder_for(std::int32_t method) {
    for (const Method& m : METHODS) {
        if (method == m.id) return m.decode;
    }
    return nullptr;
}

WideString ZipArchive::method_text(std::int32_t method) {
    return int_to_wide(method);
}

ZipMember zip_member_of(const ZipHeaderReader& header) {
    ZipMember member;
    // A header cut before the end of its name has none.
    if (header.has_name) {
        member.name_parts.push_back(
            {header.stored_name, (header.flags & ZIP_FLAG_UTF8) != 0 ? std::uint32_t{HINT_UTF8} : 0u, 0, false, u""});
    }
    member.method = header.method;
    member.size = header.uncompressed_size;
    member.crc = header.crc;
    member.local_time = header.time;
    return member;
}

bool ZipMemberSource::next(ZipMember& member) {
    member = ZipMember{};
    header_.read(input_);
    if (header_.signature != ZIP_LOCAL_SIGNATURE) return false;
    member = zip_member_of(header_);
    return true;
}

void ZipMemberSource::skip() {
    for (std::int64_t i = 0; i < header_.compressed_size; ++i) {
        if (input_.byte_get() < 0) return;
    }
}

void decode_archive(StagedFile& output, const WideString& archive_path) {
    extract_archive<ZipArchive>(output, archive_path);
}
