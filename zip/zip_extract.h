// ZIP extraction: the member source, the method table and the traits with
// which the extraction driver (extract_driver.h) serves the ZIP library.
//
// The members are those of the central directory, in its order, as every
// common extractor reads them: the source reads the directory from the end
// of the archive first, then seeks to each member's local header, checks
// it against the central record and hands out the member with the central
// record's sizes, CRC and names. Local entries the directory does not list
// are never looked at. A member the source will not extract (its local
// header disagrees, its data overlaps another member's, it is encrypted)
// carries a refusal, which becomes its error line.
//
// An archive whose central directory cannot be read is walked front to
// back through its local headers instead, after an error line that says
// so; that walk ends at the first record that is not a local header and at
// an entry whose method is not read. Damaged data is a thrown text that
// ends the archive (the job frame reports it with the archive's path).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "archive_files.h"
#include "dec_window.h"
#include "deflate_dec.h"
#include "extract_driver.h"
#include "extract_member.h"
#include "text_types.h"
#include "zip_central_dir.h"
#include "zip_head_dec.h"

using ZipMember = ExtractMember<std::int32_t>;
using ZipMemberDecoder = void (*)(ZipBitInStream& input, ZipFileDecOutStream& out);

// The decoder of a compression method; null for a method not read.
ZipMemberDecoder zip_decoder_for(std::int32_t method);

// The member a local header describes.
ZipMember zip_member_of(const ZipHeaderReader& header);

// The compression methods by name, for the error line of a method not read.
enum : std::int32_t { ZIP_METHOD_DEFLATE64 = 9, ZIP_METHOD_AES = 99 };

class ZipDecodeAhead;

class ZipMemberSource {
public:
    using Member = ZipMember;
    // Reads the central directory at once; when it is not usable, walks
    // local headers and opening_line() says so.
    // size: the archive file's size, when known (0 or less: it is found by
    // a seek to the end).
    explicit ZipMemberSource(std::FILE* archive, std::int64_t size = -1);
    ~ZipMemberSource();
    ZipMemberSource(const ZipMemberSource&) = delete;
    ZipMemberSource& operator=(const ZipMemberSource&) = delete;
    // The error line on how the archive is read; empty when read as usual.
    const WideString& opening_line() const { return opening_line_; }

    bool next(ZipMember& member);
    // Drops the entry's compressed data (local walk only: a listed member
    // is found by seeking). The end of the archive ends it early.
    void skip();
    // The decoder consumes exactly the entry's data; a listed member's data
    // descriptor is then read and compared with the central record.
    void decode(ZipMemberDecoder decoder, ZipFileDecOutStream& out);
    // What was wrong after the member's data (its data descriptor); empty
    // when nothing was.
    const WideString& after_data_problem() const { return after_data_problem_; }

private:
    bool next_listed(ZipMember& member);
    bool next_local(ZipMember& member);
    // Why the member of record cannot be extracted from its local header;
    // empty when it can, the input then at its data.
    WideString local_header_check(const ZipCentralRecord& record);
    ByteString read_at(std::uint64_t offset, std::size_t length);
    void input_at(std::uint64_t offset);

    std::FILE* file_;
    std::unique_ptr<ZipBitInStream> input_;
    // The file offset where input_ started reading.
    std::uint64_t input_origin_ = 0;
    ZipHeaderReader header_;
    std::optional<ZipDirectory> directory_;
    std::vector<bool> overlapping_;
    std::size_t index_ = 0;
    const ZipCentralRecord* record_ = nullptr;  // the listed member handed out last
    std::uint64_t data_offset_ = 0;
    bool local_zip64_ = false;
    WideString after_data_problem_;
    WideString opening_line_;
    // Members decoded ahead on a second thread (zip_decode_ahead.h), for an
    // archive read through its central directory; declared last, so that
    // it stops before the directory goes.
    std::unique_ptr<ZipDecodeAhead> ahead_;
};

struct ZipArchive {
    using Source = ZipMemberSource;
    using Coding = coding::ZipCoding;
    static ZipMemberDecoder decoder_for(std::int32_t method) { return zip_decoder_for(method); }
    static WideString method_text(std::int32_t method);
    // Names ending in a separator are directory entries; their data, if a
    // tool wrote any, is dropped so that the next header is found.
    static constexpr ExtractRules RULES{
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
