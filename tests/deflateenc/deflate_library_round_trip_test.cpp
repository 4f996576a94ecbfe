// Proves that the library's own Deflate decoder (DeflateDec and DecWindow,
// as ZIP extraction runs them) reads every stream of our encoder back to
// its input with the same CRC-32, over a varied corpus, and consumes
// exactly the stream: a marker byte after it (where the next local header
// would start) and the next entry's stream follow in the same file and read
// correctly. Built only once the decoder is part of the library.
#include <gtest/gtest.h>

#include <string>

#include "byte_corpus.h"
#include "coding_set.h"
#include "dec_window.h"
#include "deflate_dec.h"
#include "deflate_test_support.h"

namespace {

struct Decoded {
    Bytes bytes;
    std::uint32_t crc32 = 0;
};

// Decodes one entry of size expected from the archive stream into a file
// and reads the file back.
Decoded decode_entry(coding::ZipCoding::BitInStream& archive, std::size_t expected, const char* tag) {
    const SourceFile output_file(Bytes{}, tag);  // names and removes the file
    std::FILE* output = std::fopen(output_file.path().c_str(), "wb");
    if (output == nullptr) throw std::runtime_error("cannot create " + output_file.path());
    Decoded decoded;
    {
        coding::ZipCoding::FileDecOutStream out(output, static_cast<std::int64_t>(expected));
        DeflateDec decoder(archive);
        DecWindow window;
        try {
            window.decode_entry(decoder, out);
        } catch (const char* text) {
            std::fclose(output);
            throw std::runtime_error(text);
        }
        decoded.crc32 = ~out.crc.value;
    }
    std::fclose(output);
    std::FILE* in = std::fopen(output_file.path().c_str(), "rb");
    for (int c; in != nullptr && (c = std::fgetc(in)) != EOF;) {
        decoded.bytes.push_back(static_cast<std::uint8_t>(c));
    }
    if (in != nullptr) std::fclose(in);
    return decoded;
}

TEST(DeflateLibraryRoundTrip, TheLibraryDecoderReadsOurStreams) {
    using namespace corpus;
    const std::vector<std::pair<std::string, Bytes>> items = {
        {"one_byte", random_bytes(1, 1)},
        {"text", text_bytes(300000, 1)},
        {"text_65280", text_bytes(65280, 2)},
        {"text_65537", text_bytes(65537, 3)},
        {"random", random_bytes(100000, 4)},
        {"runs", run_bytes(200000, 1000, 5)},
        {"skewed", skewed_bytes(100000, 3, 6)},
        {"pairs", pair_sequence(140000)},
        {"sources", repository_sources(TSUCHI_SOURCE_DIR, {"coding", "zip"})},
    };
    const Bytes next_entry = text_bytes(5000, 99);
    const Encoded next = encode_with<DeflateEnc>(next_entry);
    for (const auto& [name, input] : items) {
        const Encoded encoded = encode_with<DeflateEnc>(input);
        // Two entries' data as in an archive, with one byte standing for the
        // header between them.
        constexpr int MARKER = 0xA5;
        Bytes archive_bytes = encoded.bytes;
        archive_bytes.push_back(MARKER);
        archive_bytes.insert(archive_bytes.end(), next.bytes.begin(), next.bytes.end());
        const SourceFile archive_file(archive_bytes, "archive");
        coding::ZipCoding::BitInStream archive(archive_file.get());
        try {
            const Decoded first = decode_entry(archive, input.size(), "first");
            EXPECT_TRUE(first.bytes == input) << name;
            EXPECT_EQ(first.crc32, encoded.crc32) << name;
            ASSERT_EQ(archive.byte_get(), MARKER) << name << ": the stream was not consumed exactly";
            const Decoded second = decode_entry(archive, next_entry.size(), "second");
            EXPECT_TRUE(second.bytes == next_entry) << name << ": the next entry";
            EXPECT_EQ(archive.byte_get(), -1) << name << ": data left after the next entry";
        } catch (const std::exception& e) {
            ADD_FAILURE() << name << ": " << e.what();
        }
    }
}

}  // namespace
