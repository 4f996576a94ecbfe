#include "lh5_enc.h"

#include <utility>

#include "lh5_match_finder_fast.h"
#include "lh5_match_finder_reference.h"
#include "lh5_source_input.h"

namespace lzh {

void LH5Enc::compress(std::FILE* source, LH5BlockEnc& output) {
    crc = coding::CrcTable16();
    LH5SourceInput input(source, crc);
    if (finder_ == LH5MatchFinder::REFERENCE) {
        LH5MatchFinderReference().run(input, output);
    } else {
        LH5MatchFinderFast::reused().run(input, output);
    }
    bytes_read_ = input.bytes_read();
    read_error_ = input.read_error();
}

LH5Result lh5_compress(std::FILE* source, std::vector<std::uint8_t>& sink, LH5MatchFinder finder,
                       coding::ByteDrain drain) {
    LzhBitOutStream bits(sink, std::move(drain));
    LH5Enc encoder(finder);
    {
        LH5BlockEnc blocks(bits);
        encoder.compress(source, blocks);
        blocks.finish();
    }
    bits.flush();
    return {encoder.bytes_read(), encoder.read_error(), encoder.crc.value};
}

}  // namespace lzh
