// Proves that the fast encoder form writes the same bytes as the reference
// form over a varied corpus: random, skewed and text-like data, runs, data
// without any repeated pair, the repository's own sources, sizes around the
// slide point (65280), the buffer size (65536) and the second slide
// (98048), and inputs of many blocks. Every stream also reads back to its
// input (the tests' parser) and inflates with zlib.
#include <gtest/gtest.h>

#include <string>

#include "byte_corpus.h"
#include "deflate_test_support.h"

namespace {

struct Item {
    std::string name;
    Bytes data;
};

std::vector<Item> corpus_items() {
    using namespace corpus;
    std::vector<Item> items;
    for (std::size_t size : {0, 1, 2, 3, 4, 5, 100})
        items.push_back({"random_" + std::to_string(size), random_bytes(size, size)});
    for (std::size_t size : {65279, 65280, 65281, 65535, 65536, 65537, 200000}) {
        items.push_back({"random_" + std::to_string(size), random_bytes(size, size)});
    }
    for (std::size_t size : {65279, 65280, 65281, 65535, 65536, 65537, 98047, 98048, 98049, 131072}) {
        items.push_back({"text_" + std::to_string(size), text_bytes(size, size)});
    }
    items.push_back({"text_many_blocks", text_bytes(400000, 1)});
    items.push_back({"skewed_2", skewed_bytes(100000, 2, 2)});
    items.push_back({"skewed_4", skewed_bytes(150000, 4, 4)});
    items.push_back({"skewed_16", skewed_bytes(150000, 16, 16)});
    items.push_back({"runs_short", run_bytes(100000, 20, 5)});
    items.push_back({"runs_long", run_bytes(300000, 1000, 6)});
    items.push_back({"runs_one_byte", Bytes(150000, 0)});
    items.push_back({"pairs", pair_sequence()});
    items.push_back({"pairs_repeated", pair_sequence(140000)});
    items.push_back({"sources", repository_sources(TSUCHI_SOURCE_DIR, {"coding", "support", "jobframe", "zip"})});

    // Everything at once: matches that reach from one kind into the next.
    Bytes mixed;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        for (const Bytes& part : {text_bytes(20000, seed), random_bytes(7000, seed), run_bytes(9000, 300, seed),
                                  skewed_bytes(5000, 3, seed)}) {
            mixed.insert(mixed.end(), part.begin(), part.end());
        }
    }
    items.push_back({"mixed", mixed});
    return items;
}

TEST(DeflateDifferential, FastAndReferenceFormsAgree) {
    std::size_t total = 0;
    for (const Item& item : corpus_items()) {
        const Encoded encoded = encode_checked(item.name, item.data);
        total += item.data.size();
        // Only data without repeats may grow, by at most the block
        // descriptions and a bit per literal.
        if (item.data.size() > 1000 && item.name.rfind("random", 0) != 0 && item.name.rfind("pairs", 0) != 0) {
            EXPECT_LT(encoded.bytes.size(), item.data.size()) << item.name;
        }
    }
    EXPECT_GT(total, 3'000'000u);
}

TEST(DeflateDifferential, SmallBlocksAgree) {
    // A small entry buffer puts block boundaries everywhere; both forms
    // must still agree.
    for (std::int32_t entries : {3, 4, 5, 17, 1000}) {
        const Bytes input = corpus::text_bytes(30000, static_cast<std::uint64_t>(entries));
        encode_checked("small_blocks_" + std::to_string(entries), input, nullptr, entries);
    }
}

TEST(DeflateDifferential, AnEncoderCanBeReused) {
    // compress starts from a clean state: the second file's stream does not
    // depend on the first, also when the first left its chains and all its
    // buckets filled and the second, small, uses fewer buckets.
    const Bytes first = corpus::text_bytes(90000, 11);
    for (const std::size_t second_size : {70000u, 3000u})
        for (int form = 0; form < 2; ++form) {
            const Bytes second = corpus::text_bytes(second_size, 12);
            const Encoded fresh = encode_with<DeflateEnc>(second);
            SourceFile a(first, "a");
            SourceFile b(second, "b");
            Bytes out;
            std::uint32_t crc = 0;
            {
                coding::ZipCoding::BitOutStream bits_a(out);
                DeflateBlockEnc blocks_a(bits_a, DeflateBlockEnc::BUFFER_ENTRIES);
                DeflateEnc fast;
                DeflateEncReference reference;
                if (form == 0) {
                    fast.compress(a.get(), blocks_a);
                } else {
                    reference.compress(a.get(), blocks_a);
                }
                blocks_a.finish();
                bits_a.flush();
                out.clear();
                coding::ZipCoding::BitOutStream bits_b(out);
                DeflateBlockEnc blocks_b(bits_b, DeflateBlockEnc::BUFFER_ENTRIES);
                if (form == 0) {
                    fast.compress(b.get(), blocks_b);
                    crc = ~fast.crc.value;
                } else {
                    reference.compress(b.get(), blocks_b);
                    crc = ~reference.crc.value;
                }
                blocks_b.finish();
                bits_b.flush();
            }
            EXPECT_TRUE(out == fresh.bytes) << "form " << form << ", second file of " << second_size;
            EXPECT_EQ(crc, fresh.crc32) << "form " << form << ", second file of " << second_size;
        }
}

}  // namespace
