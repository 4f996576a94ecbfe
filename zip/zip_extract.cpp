// ZIP extraction (see zip_extract.h).
#include "zip_extract.h"

#include <algorithm>
#include <cstring>

#include "copy_bytes.h"
#include "platform.h"
#include "stored_name.h"
#include "text_convert.h"
#include "zip_data_descriptor.h"
#include "zip_decode_ahead.h"
#include "zip_entry.h"
#include "zip_extra_field.h"

namespace {

// A stored entry is its bytes as they are. One cut short by the end of the
// archive is an error like a cut Deflate stream: the file keeps the bytes
// that were there, and no made-up bytes are added.
// A failed write is not the data's fault: the driver reports it.
void copy_stored(ZipBitInStream& input, ZipFileDecOutStream& out) {
    const std::int64_t size = std::max<std::int64_t>(out.expected_size, 0);
    if (coding::copy_bytes(input, out, size) < size && !out.write_failed()) throw "It finished on the way.";
}

template <DeflateVariant VARIANT>
void decode_deflate(ZipBitInStream& input, ZipFileDecOutStream& out) {
    DeflateDec decoder(input, VARIANT);
    DecWindow window;
    window.decode_entry(decoder, out);
}

struct Method {
    std::int32_t id;
    ZipMemberDecoder decode;
};

constexpr Method METHODS[] = {
    {ZIP_METHOD_STORED, copy_stored},
    {ZIP_METHOD_DEFLATE, decode_deflate<DeflateVariant::DEFLATE>},
    {ZIP_METHOD_DEFLATE64, decode_deflate<DeflateVariant::DEFLATE64>},
};

// Methods that are not read, by the names the error line gives them.
struct MethodName {
    std::int32_t id;
    const char16_t* name;
};

constexpr MethodName METHOD_NAMES[] = {
    {1, u"Shrink"},     {6, u"Implode"}, {12, u"BZIP2"}, {14, u"LZMA"},    {19, u"LZ77"},
    {93, u"Zstandard"}, {95, u"XZ"},     {96, u"JPEG"},  {97, u"WavPack"}, {98, u"PPMd"},
};

std::string_view view_of(const ByteString& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The name part of a stored name: UTF-8 when the archive marks it so, or
// when the bytes are UTF-8 beyond ASCII and no code page was asked for.
NamePart name_part_of(const ByteString& stored_name, std::uint32_t flags) {
    const std::uint32_t hint =
        (flags & ZIP_FLAG_UTF8) != 0 ? std::uint32_t{HINT_UTF8} : std::uint32_t{HINT_UTF8_LIKELY};
    return {stored_name, hint, 0, false, u""};
}

}  // namespace

ZipMemberDecoder zip_decoder_for(std::int32_t method) {
    for (const Method& m : METHODS) {
        if (method == m.id) return m.decode;
    }
    return nullptr;
}

WideString ZipArchive::method_text(std::int32_t method) {
    for (const MethodName& m : METHOD_NAMES) {
        if (method == m.id) return int_to_wide(method) + u" (" + m.name + u")";
    }
    return int_to_wide(method);
}

ZipMember zip_member_of(const ZipHeaderReader& header) {
    ZipMember member;
    // A header cut before the end of its name has none.
    if (header.has_name) {
        member.name_parts.push_back(name_part_of(header.stored_name, header.flags));
    }
    member.method = header.method;
    member.size = header.uncompressed_size;
    member.crc = header.crc;
    member.local_time = header.time;
    return member;
}

ZipMemberSource::ZipMemberSource(std::FILE* archive, std::int64_t size) : file_(archive) {
    try {
        const std::uint64_t archive_length = size > 0 ? static_cast<std::uint64_t>(size) : platform::file_length(file_);
        directory_ = zip_directory_read(
            archive_length, [this](std::uint64_t offset, std::size_t length) { return read_at(offset, length); });
        overlapping_ = overlapping_members(*directory_);
        ahead_ = std::make_unique<ZipDecodeAhead>(file_);
    } catch (const char*) {
        directory_.reset();
        opening_line_ = u"セントラルディレクトリが壊れている >>ローカルヘッダから展開\n";
        input_at(0);
    }
}

ZipMemberSource::~ZipMemberSource() = default;

ByteString ZipMemberSource::read_at(std::uint64_t offset, std::size_t length) {
    ByteString bytes(length, 0);
    // The member stream reads on from where the file stands: it is put
    // back there.
    const std::uint64_t stream_at = platform::file_position(file_);
    if (!platform::seek_file(file_, offset)) return {};
    bytes.resize(std::fread(bytes.data(), 1, length, file_));
    if (input_ != nullptr) platform::seek_file(file_, stream_at);
    return bytes;
}

void ZipMemberSource::input_at(std::uint64_t offset) {
    // Members usually follow each other: the next header is often in the
    // block the stream holds already.
    if (input_ != nullptr && offset >= input_origin_ &&
        input_->move_within_block(static_cast<std::int64_t>(offset - input_origin_))) {
        return;
    }
    input_.reset();
    platform::seek_file(file_, offset);
    input_ = std::make_unique<ZipBitInStream>(file_);
    input_origin_ = offset;
}

bool ZipMemberSource::next(ZipMember& member) {
    member = ZipMember{};
    after_data_problem_.clear();
    return directory_ ? next_listed(member) : next_local(member);
}

bool ZipMemberSource::next_local(ZipMember& member) {
    header_.read(*input_);
    if (header_.signature != ZIP_LOCAL_SIGNATURE) return false;
    member = zip_member_of(header_);
    return zip_decoder_for(member.method) != nullptr;
}

bool ZipMemberSource::next_listed(ZipMember& member) {
    if (index_ >= directory_->records.size()) return false;
    const std::size_t index = index_++;
    const ZipCentralRecord& record = directory_->records[index];
    record_ = &record;
    ahead_->feed(*directory_, overlapping_, index_);

    const std::optional<ByteString> unicode = unicode_path_name(view_of(record.extra), view_of(record.name));
    member.name_parts.push_back(unicode ? NamePart{*unicode, HINT_UTF8, 0, false, u""}
                                        : name_part_of(record.name, record.flags));
    member.method = record.method;
    member.size = static_cast<std::int64_t>(record.uncompressed_size);
    member.crc = record.crc;
    member.local_time = dos_time_of(record.dos_stamp);
    // Unix writers mark a symbolic link by the file type in the high half
    // of the external attributes; its data is the target's text.
    if (record.host() == ZIP_HOST_UNIX && ((record.external_attributes >> 16) & 0170000) == 0120000) {
        member.link = true;
        member.link_target_in_data = true;
    }

    if ((record.flags & (ZIP_FLAG_ENCRYPTED | ZIP_FLAG_STRONG_ENCRYPTION)) != 0 || record.method == ZIP_METHOD_AES) {
        member.refusal = record.method == ZIP_METHOD_AES ? u"暗号化(AES)されたファイルは展開できない >>スキップ！"
                                                         : u"暗号化されたファイルは展開できない >>スキップ！";
        return true;
    }
    if (overlapping_[index]) {
        member.refusal = u"他のファイルとデータが重なっている >>スキップ！";
        return true;
    }
    member.refusal = local_header_check(record);
    // The central time wins; a local block serves where the central one has none.
    std::optional<std::int64_t> exact = extra_modification_time(view_of(record.extra));
    if (!exact && member.refusal.empty()) exact = extra_modification_time(view_of(header_.extra));
    if (exact) member.exact_time = *exact;
    return true;
}

WideString ZipMemberSource::local_header_check(const ZipCentralRecord& record) {
    input_at(record.local_offset);
    try {
        header_.read(*input_);
    } catch (const char*) {
        header_ = ZipHeaderReader{};
    }
    if (header_.signature != ZIP_LOCAL_SIGNATURE || !header_.has_name)
        return u"ローカルヘッダが見つからない >>スキップ！";
    Zip64Fields sizes;
    sizes.compressed_size = static_cast<std::uint64_t>(header_.compressed_size);
    sizes.uncompressed_size = static_cast<std::uint64_t>(header_.uncompressed_size);
    try {
        local_zip64_ = zip64_fields_apply(view_of(header_.extra), sizes, true);
    } catch (const char*) {
        return u"ローカルヘッダとセントラルディレクトリが不一致 >>スキップ！";
    }
    // Behind a data descriptor the local sizes are zeros (or the truth).
    const bool sizes_differ =
        (record.flags & ZIP_FLAG_DATA_DESCRIPTOR) == 0 &&
        (sizes.compressed_size != record.compressed_size || sizes.uncompressed_size != record.uncompressed_size);
    if (header_.stored_name != record.name || header_.method != record.method || sizes_differ) {
        return u"ローカルヘッダとセントラルディレクトリが不一致 >>スキップ！";
    }
    // The data follows the header in the stream just read.
    data_offset_ = input_origin_ + static_cast<std::uint64_t>(input_->byte_position());
    return u"";
}

void ZipMemberSource::skip() {
    if (directory_) return;
    for (std::int64_t i = 0; i < header_.compressed_size; ++i) {
        if (input_->byte_get() < 0) return;
    }
}

void ZipMemberSource::decode(ZipMemberDecoder decoder, ZipFileDecOutStream& out) {
    std::unique_ptr<AheadMember> ahead = ahead_ != nullptr ? ahead_->take(index_ - 1) : nullptr;
    if (ahead != nullptr && ahead->data_offset == data_offset_ && ahead->decoder == decoder) {
        out.put(ahead->bytes.data(), ahead->bytes.size());
    } else {
        decoder(*input_, out);
    }
    if (!directory_ || (record_->flags & ZIP_FLAG_DATA_DESCRIPTOR) == 0) return;
    const ByteString bytes = read_at(data_offset_ + record_->compressed_size, ZIP_DESCRIPTOR_MAX_LENGTH);
    try {
        const ZipDataDescriptor descriptor = data_descriptor_read(view_of(bytes), *record_, local_zip64_);
        if (data_descriptor_agrees(descriptor, *record_)) return;
    } catch (const char*) {
    }
    after_data_problem_ = u"データディスクリプタがセントラルディレクトリと不一致";
}

void decode_archive(StagedFile& output, const WideString& archive_path) {
    extract_archive<ZipArchive>(output, archive_path);
}
