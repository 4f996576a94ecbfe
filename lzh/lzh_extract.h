// LZH extraction: the member source that walks an archive's entries, the
// method table and the traits with which the extraction driver
// (extract_driver.h) serves the LZH library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive_files.h"
#include "extract_driver.h"
#include "extract_member.h"
#include "lzh_coding.h"
#include "lzh_head_dec.h"
#include "lzh_methods.h"
#include "macbinary.h"
#include "text_types.h"

namespace lzh {

using Member = ExtractMember<std::string>;
// The decoder of a method ("-lh5-"); null for a method this library does
// not read. "-lhd-" (a directory) reads as stored data.
MemberDecoder decoder_for(const std::string& method);

// A name's stored forms in the order they are decoded, with the report
// label of each: the level-0/1 name field, the Unicode records as found,
// then (once the header is whole) the 0x01 and 0x02 records where no
// Unicode record replaced them, in the record's code page when it has one.
std::vector<NamePart> name_parts(const LZHHeadDec& head);

// The entries of one archive, front to back.
class MemberSource {
public:
    using Member = lzh::Member;
    // The archive may follow a program stub (a self-extracting file): it
    // is searched for in the first ARCHIVE_SEARCH bytes and read from
    // there. Throws when the file starts with neither a header, nor the
    // end mark, nor a stub with an archive behind it.
    // size: the archive file's size, when known (0 or less otherwise).
    explicit MemberSource(std::FILE* archive, std::int64_t size = -1);

    bool next(Member& member);
    void skip();
    // An empty entry reads nothing, whatever its method. Whatever of the
    // entry's data the decoder left unread (padding, or all of it) is
    // skipped, so that the next header is read where the compressed size
    // puts it.
    void decode(MemberDecoder decoder, FileDecOutStream& out);

    static constexpr long ARCHIVE_SEARCH = 64 * 1024;

private:
    // The reader's blocks hold the whole search: every place a header may
    // start and the 21 bytes a strict look at it needs.
    static constexpr std::size_t READ_BLOCK = static_cast<std::size_t>(ARCHIVE_SEARCH) + 21;

    void find_archive_start();
    void skip_bytes(std::int64_t count);

    BitInStream reader_;
    // The data of the last member ran past the end of the file: whatever
    // it was to be followed by is lost, and the next call says so.
    bool data_cut_ = false;
    bool any_member_ = false;
    LZHHeadDec head_;
    std::int64_t data_start_ = 0;
    // A member of MacLHA's that may begin with a MacBinary header.
    bool mac_candidate_ = false;
    MacMember mac_member_;
};

struct Archive {
    using Source = MemberSource;
    using Coding = coding::LzhCoding;
    static MemberDecoder decoder_for(const std::string& method) { return lzh::decoder_for(method); }
    static WideString method_text(const std::string& method);
    static constexpr ExtractRules RULES{.split_name = true};
};

// Extracts the archive at archive_path into the current directory through
// output (opened and closed per entry).
void decode(StagedFile& output, const WideString& archive_path);

}  // namespace lzh
