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
#include "extract_driver.h"
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
    using Member = ZipMember;
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
    using Coding = coding::ZipCoding;
    static ZipMemberDecoder decoder_for(std::int32_t method) { return zip_decoder_for(method); }
    static WideString method_text(std::int32_t method);
    // Names ending in a separator are directory entries; their data, if a
    // tool wrote any, is dropped so that the next header is found.
    static constexpr ExtractRules RULES{
        .unsupported_method_ends_archive = true,
        .trailing_separator_is_directory = true,
        .write_failure_text = "decode_archive: the output file could not be written.",
        .name_failed_line = u"Zip内ファイル名の取得に失敗 >>スキップ\n",
        .overwrite_question = u"\n既に存在するが上書きする？ [いいえ]で スキップ、[キャンセル]で 中止。",
        .skip_report_line = u"   >> スキップ\n",
    };
};

// Extracts the archive at archive_path into the current directory through
// output (opened and closed per entry).
void decode_archive(StagedFile& output, const WideString& archive_path);
