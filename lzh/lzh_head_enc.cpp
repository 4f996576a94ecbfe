// Writing level-2 LZH headers (see lzh_head_enc.h for the byte layout).
#include "lzh_head_enc.h"

#include "header_bytes.h"
#include "lzh_coding.h"
#include "lzh_head_dec.h"
#include "stored_name.h"
#include "text_convert.h"

namespace lzh {

namespace {

constexpr const char* TOO_LONG = "LZHHeadEnc: header is too long.";

// A record's size field counts its type byte and the next size field.
constexpr std::size_t RECORD_OVERHEAD = 3;

}  // namespace

void LZHHeadEnc::put(std::size_t offset, std::uint32_t value, int n) {
    coding::int_put(bytes, offset, value, static_cast<std::size_t>(n));
}

std::size_t LZHHeadEnc::add_record(int type, const ByteString& data) {
    const std::size_t size = data.size() + RECORD_OVERHEAD;
    if (bytes.size() + size > head_enc::MAX_LENGTH) throw TOO_LONG;
    put(bytes.size() - 2, static_cast<std::uint32_t>(size), 2);
    bytes.push_back(static_cast<std::uint8_t>(type));
    const std::size_t data_offset = bytes.size();
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(0);
    bytes.push_back(0);
    return data_offset;
}

LZHHeadEnc::LZHHeadEnc(LZHEntry& entry, const HeadEncOptions& options) {
    WideString* const report = options.report;

    // ---- the fixed fields ----
    bytes.assign(head::LEVEL2_BASE_SIZE, 0);
    data_fields_put(entry);
    bytes[head::ATTRIBUTE] = head_enc::ATTRIBUTE_ARCHIVE;
    bytes[head::LEVEL] = 2;
    // The entry holds local wall-clock time; the C library decides whether
    // daylight saving applied to it.
    std::int64_t seconds = 0;
    if (!from_date_record(entry.time, seconds)) seconds = 0;
    put(head::TIME, static_cast<std::uint32_t>(seconds), 4);
    bytes[head::LEVEL2_OS] = entry.os_id;

    // ---- the name records ----
    // The UTF-16LE records go after the code-page record: a reader may take
    // that record for every name record, the ones already read included, and
    // then read the UTF-16LE names in the code page (libarchive does).
    ByteString unicode_name;
    ByteString unicode_directory;
    bool code_page_record = false;
    bool own_code_page = false;  // the code page came from this entry's conversions
    // The code page the record names: the one the conversions used.
    std::int32_t code_page = 0;
    const auto take_code_page = [&](const EncodedName& encoded) {
        if ((encoded.flags & NAME_CODEPAGE_HEADER) == 0) return false;
        code_page = encoded.code_page;
        return true;
    };
    if (!entry.name.empty()) {
        ByteString unicode;
        const EncodedName encoded = encode_stored_name(entry.name, unicode, ENCODE_UNICODE_RECORD);
        if (encoded.flags & NAME_UNICODE_HEADER) {
            ByteString narrow;
            if (report) *report += u"└↑(H44)/(H1)";
            if (options.code_page_beside_unicode) {
                if (take_code_page(encode_stored_name(entry.name, narrow, ENCODE_UNICODE_RECORD | ENCODE_NO_UNICODE))) {
                    code_page_record = own_code_page = true;
                }
            } else {
                narrow = ascii_fallback_name(unicode);
            }
            add_record(EXT_NAME, narrow);
            unicode_name = unicode;
        } else {
            if (take_code_page(encoded)) code_page_record = own_code_page = true;
            add_record(EXT_NAME, unicode);
        }
    }

    // ---- the directory records, converted once per directory ----
    if (!entry.directory.empty()) {
        if (!entry.parent) entry.parent = std::make_shared<DirectoryNode>(entry.directory);
        DirectoryNode& node = *entry.parent;
        if (!node.converted) {
            if (report) *report += entry.name.empty() ? u"(dir) " : u"└(dir) ";
            ByteString converted;
            EncodedName encoded = encode_stored_name(node.path, converted, ENCODE_DIRECTORY | ENCODE_UNICODE_RECORD);
            if (encoded.flags & NAME_UNICODE_HEADER) {
                node.unicode_form = converted;
                if (options.code_page_beside_unicode) {
                    if (report) *report += u"└↑(H45)/(H2) ";
                    encoded = encode_stored_name(node.path, node.narrow_form,
                                                 ENCODE_DIRECTORY | ENCODE_UNICODE_RECORD | ENCODE_NO_UNICODE);
                } else {
                    node.narrow_form = ascii_fallback_name(node.unicode_form);
                }
            } else {
                node.narrow_form = converted;
            }
            if (take_code_page(encoded)) {
                node.code_page = code_page;
                if (!code_page_record) own_code_page = true;
            }
            node.converted = true;
        } else if (report) {
            if (!entry.name.empty()) *report += u"└";
            *report += u"(dir,既出) " + node.path + u"\n";
        }
        add_record(EXT_DIRECTORY, node.narrow_form);
        unicode_directory = node.unicode_form;
        if (node.code_page != 0 && !code_page_record) {
            code_page_record = true;
            code_page = node.code_page;
        }
    }

    // ---- the code page, the header CRC and the length ----
    if (code_page_record) {
        const int width = options.code_page_4byte ? 4 : 2;
        ByteString value;
        for (int i = 0; i < width; ++i) {
            value.push_back(static_cast<char>(static_cast<std::uint32_t>(code_page) >> (8 * i)));
        }
        add_record(EXT_CODE_PAGE, value);
        if (report && own_code_page) {
            *report += u"└H46(cp): " + int_to_wide(code_page) + u"\n";
        }
    }
    if (!unicode_name.empty()) add_record(EXT_UNICODE_NAME, unicode_name);
    if (!unicode_directory.empty()) add_record(EXT_UNICODE_DIRECTORY, unicode_directory);
    // The CRC record is the last one: with its two CRC bytes, its type and
    // the final size field the header grows by 5. A length that would be a
    // multiple of 256 gets a third data byte, 0, in this record.
    const std::size_t crc_size = (bytes.size() + 5) % 256 == 0 ? 3 : 2;
    crc_offset_ = add_record(EXT_HEADER_CRC, ByteString(crc_size, '\0'));
    put(head::LEVEL2_LENGTH, static_cast<std::uint32_t>(bytes.size()), 2);
    header_crc_put();
}

void LZHHeadEnc::data_fields_put(const LZHEntry& entry) {
    for (std::size_t i = 0; i < head::METHOD_SIZE; ++i) {
        bytes[head::METHOD + i] = i < entry.method.size() ? static_cast<std::uint8_t>(entry.method[i]) : 0;
    }
    put(head::COMPRESSED_SIZE, static_cast<std::uint32_t>(entry.compressed_size), 4);
    put(head::ORIGINAL_SIZE, static_cast<std::uint32_t>(entry.original_size), 4);
    put(head::LEVEL2_CRC, entry.data_crc, 2);
}

void LZHHeadEnc::header_crc_put() {
    put(crc_offset_, 0, 2);
    CrcTable16 crc;
    crc.update(bytes.data(), bytes.size());
    put(crc_offset_, crc.value, 2);
}

void LZHHeadEnc::update(const LZHEntry& entry) {
    data_fields_put(entry);
    header_crc_put();
}

}  // namespace lzh
