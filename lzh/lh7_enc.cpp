#include "lh7_enc.h"

#include <utility>

#include "lazy_match_finder.h"
#include "lh5_source_input.h"

namespace lzh {

namespace {

// A block may hold up to 65535 symbols; longer blocks than -lh5-'s carry
// their three code descriptions less often.
constexpr int BLOCK_CAPACITY = 32768;

// The middle setting with this method's window and longest match; shorter
// chains than Deflate's, as the larger window finds long matches anyway.
coding::LazyMatchParams params_for(int dictionary_bits) {
    coding::LazyMatchParams params = coding::MIDDLE_LAZY_PARAMS;
    params.window = 1 << dictionary_bits;
    params.longest = 256;
    params.search.max_chain = 96;
    return params;
}

}  // namespace

LH5Result lh7_compress(std::FILE* source, std::vector<std::uint8_t>& sink, int dictionary_bits,
                       coding::ByteDrain drain) {
    coding::CrcTable16 crc;
    LH5SourceInput input(source, crc);
    LzhBitOutStream bits(sink, std::move(drain));
    {
        LH5BlockEnc blocks(bits, BLOCK_CAPACITY, dictionary_bits);
        coding::LazyMatchFinder& finder = coding::LazyMatchFinder::reused(params_for(dictionary_bits));
        coding::BlockWriterSink<LH5BlockEnc, LH5BlockEnc::LENGTH_OFFSET> out{blocks};
        finder.run([&input](std::uint8_t* destination, std::size_t room) { return input.read(destination, room); },
                   out);
        blocks.finish();
    }
    bits.flush();
    return {input.bytes_read(), input.read_error(), crc.value};
}

}  // namespace lzh
