#include "lh7_enc.h"

#include <utility>

#include "lazy_match_finder.h"
#include "lh5_source_input.h"

namespace lzh {

namespace {

// A block may hold up to 65535 symbols; longer blocks than -lh5-'s carry
// their three code descriptions less often.
constexpr int BLOCK_CAPACITY = 32768;

coding::LazyMatchParams params_for(int dictionary_bits) {
    return {
        .window = 1 << dictionary_bits,
        .longest = 256,
        .max_chain = 96,
        .nice_length = 128,
        .lazy_length = 32,
        .good_length = 8,
        .far_three = 4096,
    };
}

struct LzhSink {
    LH5BlockEnc& blocks;
    void literal(int byte) { blocks.literal_put(byte); }
    void match(int length, int distance) { blocks.match_len_put(length + LH5BlockEnc::LENGTH_OFFSET, distance - 1); }
};

}  // namespace

LH5Result lh7_compress(std::FILE* source, std::vector<std::uint8_t>& sink, int dictionary_bits,
                       coding::ByteDrain drain) {
    coding::CrcTable16 crc;
    LH5SourceInput input(source, crc);
    LzhBitOutStream bits(sink, std::move(drain));
    {
        LH5BlockEnc blocks(bits, BLOCK_CAPACITY, dictionary_bits);
        coding::LazyMatchFinder finder(params_for(dictionary_bits));
        LzhSink out{blocks};
        finder.run([&input](std::uint8_t* destination, std::size_t room) { return input.read(destination, room); },
                   out);
        blocks.finish();
    }
    bits.flush();
    return {input.bytes_read(), input.read_error(), crc.value};
}

}  // namespace lzh
