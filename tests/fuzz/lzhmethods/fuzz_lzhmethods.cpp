// libFuzzer target: one member's data through the decoder of its method.
// The input is the five-character method id, the original size in 3 bytes
// (little-endian, so at most 16 MiB) and then the packed data. Thrown
// texts (corrupt tables) are the decoders' answers, not findings; the
// sanitizers' reports, hangs and an output longer than the original size
// are.
// Seed corpus: corpus/, one member of every method, made by make_corpus.py.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "lzh_methods.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t PREFIX = 8;
    if (size < PREFIX) return 0;
    const lzh::LzhMethod* method = lzh::find_lzh_method(std::string_view(reinterpret_cast<const char*>(data), 5));
    if (method == nullptr) return 0;
    const std::int64_t original = data[5] | data[6] << 8 | data[7] << 16;

    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    if (in == nullptr || out == nullptr) std::abort();
    std::fwrite(data + PREFIX, 1, size - PREFIX, in);
    std::rewind(in);
    {
        lzh::BitInStream reader(in);
        lzh::FileDecOutStream stream(out, original);
        try {
            method->decode(reader, stream);
        } catch (const char*) {
        }
        if (stream.count > original) std::abort();
    }
    std::fclose(in);
    std::fclose(out);
    return 0;
}
