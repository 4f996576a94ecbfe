// ZIP extraction: the member source that walks an archive front to back
// through its local headers, the method table and the traits with which
// the extraction driver (extract_driver.h) serves the ZIP library.
//
// The first record that is not a local header (the central directory, the
// end record) ends the walk, and so does an entry whose method is neither
// stored nor Deflate. Damaged data is a thrown text that ends the archive
// (the job frame reports it with the archive's path).
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive_files.h"
#include "dec_window.h"
#include "deflate_dec.h"
#include "extract_member.h"
#include "text_types.h"
#include "zip_head_dec.h"

using ZipMember = ExtractMember<std::int32_t>;
using ZipMemberDecoder = void (*)(ZipBitInStream& input, ZipFileDecOutStream& out);

// The decoder of a compression method; null for a method not read.
ZipMemberDecoder zip_decoder_for(std::int32_t method);

// The member a local header describes.
ZipMember zip_member_of(const ZipHeaderReader& header);

class ZipMemberSource {
public:
    explicit ZipMemberSource(std::FILE* archive) : input_(archive) {}

    bool next(ZipMember& member);
    // Drops the entry's compressed data. The end of the archive ends it
    // early: every further byte would be missing too.
    void skip();
    // The decoder consumes exactly the entry's data.
    void decode(ZipMemberDecoder decoder, ZipFileDecOutStream& out) { decoder(input_, out); }

private:
    ZipBitInStream input_;
    ZipHeaderReader header_;
};

struct ZipArchive {
    using Source = ZipMemberSource;
    using Member = ZipMember;
    using Decoder = ZipMemberDecoder;
    using FileDecOutStream = ZipFileDecOutStream;
    static Decoder decoder_for(std::int32_t method) { return zip_decoder_for(method); }
    static WideString method_text(std::int32_t method);

    static constexpr bool SPLIT_NAME = false;
    static constexpr bool UNSUPPORTED_METHOD_ENDS_ARCHIVE = true;
    // Names ending in a separator are directory entries; their data, if a
    // tool wrote any, is dropped so that the next header is found.
    static constexpr bool TRAILING_SEPARATOR_IS_DIRECTORY = true;
    static constexpr bool WRITE_FAILURE_ENDS_ARCHIVE = true;
    static constexpr const char* WRITE_FAILURE_TEXT = "decode_archive: the output file could not be written.";
    static constexpr const char16_t* NAME_FAILED_LINE = u"Zip内ファイル名の取得に失敗 >>スキップ\n";
    static constexpr const char16_t* OVERWRITE_QUESTION =
        u"\n既に存在するが上書きする？ [いいえ]で スキップ、[キャンセル]で 中止。";
    static constexpr const char16_t* SKIP_REPORT_LINE = u"   >> スキップ\n";
};

// Extracts the archive at archive_path into the current directory through
// output (opened and closed per entry).
void decode_archive(OutputFile& output, const WideString& archive_path);
