// lh5_enc_bench [FILE...]
//
// Compresses each input with the plain (reference) and the fast -lh5- match
// search, checks that the two give the same bytes and that the data decodes
// back to the input, and prints the throughput of each form and the
// compression ratio. Without arguments it uses a built-in corpus of
// generated data (text-like, random, runs, a small alphabet, long periods).
// The exit code is 1 when a check fails.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "lh5_enc.h"
#include "lh5_reference_decoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Input {
    std::string name;
    Bytes bytes;
};

Bytes text_like(std::size_t size, std::uint32_t seed) {
    static const char* const words[] = {"the",      "archive", "of",     "and",     "a",       "to",      "block",
                                        "is",       "in",      "header", "length",  "code",    "for",     "with",
                                        "bytes",    "match",   "table",  "symbol",  "each",    "data",    "window",
                                        "distance", "from",    "that",   "literal", "encoder", "decoder", "stream"};
    std::mt19937 rng(seed);
    std::geometric_distribution<int> pick(0.12);
    Bytes out;
    while (out.size() < size) {
        for (const char* c = words[static_cast<std::size_t>(pick(rng)) % std::size(words)]; *c; ++c) {
            out.push_back(static_cast<std::uint8_t>(*c));
        }
        out.push_back(rng() % 11 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

Bytes random_bytes(std::size_t size, std::uint32_t seed, int alphabet) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng() % static_cast<unsigned>(alphabet));
    return out;
}

Bytes runs(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size) out.insert(out.end(), 1 + rng() % 64, static_cast<std::uint8_t>(rng()));
    out.resize(size);
    return out;
}

Bytes periodic(std::size_t size, std::size_t period, std::uint32_t seed) {
    const Bytes block = random_bytes(period, seed, 256);
    Bytes out;
    while (out.size() < size) out.insert(out.end(), block.begin(), block.end());
    out.resize(size);
    return out;
}

std::vector<Input> built_in_corpus() {
    const std::size_t MB = 1 << 20;
    return {
        {"text 8 MiB", text_like(8 * MB, 1)},
        {"random 4 MiB", random_bytes(4 * MB, 2, 256)},
        {"runs 8 MiB", runs(8 * MB, 3)},
        {"4 letters 4 MiB", random_bytes(4 * MB, 4, 4)},
        {"period 8000 8 MiB", periodic(8 * MB, 8000, 5)},
        {"zeros 16 MiB", Bytes(16 * MB, 0)},
    };
}

struct Run {
    Bytes data;
    lzh::LH5Result result;
    double seconds = 0;
};

Run compress(const std::string& path, lzh::LH5MatchFinder finder) {
    Run run;
    std::FILE* source = std::fopen(path.c_str(), "rb");
    if (source == nullptr) return run;
    const auto start = std::chrono::steady_clock::now();
    run.result = lzh::lh5_compress(source, run.data, finder);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fclose(source);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Input> inputs;
    std::vector<std::string> paths;
    const std::string scratch = "lh5_enc_bench.tmp";
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            std::ifstream in(argv[i], std::ios::binary);
            if (!in) {
                std::cerr << "cannot read " << argv[i] << '\n';
                return 2;
            }
            inputs.push_back({argv[i], Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
        }
    } else {
        inputs = built_in_corpus();
    }

    bool ok = true;
    double total_in = 0, total_out = 0, total_plain = 0, total_fast = 0;
    const auto row = [](const std::string& name, double in, double out, double plain_mbs, double fast_mbs) {
        std::cout << std::left << std::setw(20) << name << std::right << std::fixed << std::setprecision(0)
                  << std::setw(12) << in << std::setw(12) << out << std::setprecision(2) << std::setw(8)
                  << 100.0 * out / in << '%' << std::setprecision(1) << std::setw(12) << plain_mbs << std::setw(12)
                  << fast_mbs;
    };
    std::cout << std::left << std::setw(20) << "input" << std::right << std::setw(12) << "bytes" << std::setw(12)
              << "lh5 bytes" << std::setw(9) << "ratio" << std::setw(12) << "plain MB/s" << std::setw(12) << "fast MB/s"
              << '\n';
    for (const Input& input : inputs) {
        {
            std::ofstream out(scratch, std::ios::binary);
            out.write(reinterpret_cast<const char*>(input.bytes.data()),
                      static_cast<std::streamsize>(input.bytes.size()));
        }
        const Run plain = compress(scratch, lzh::LH5MatchFinder::REFERENCE);
        const Run fast = compress(scratch, lzh::LH5MatchFinder::FAST);
        const bool same = plain.data == fast.data && plain.result.crc == fast.result.crc &&
                          fast.result.bytes_read == static_cast<std::int64_t>(input.bytes.size());
        bool round_trip = false;
        try {
            round_trip = lh5_test::decode(fast.data, input.bytes.size()).bytes == input.bytes;
        } catch (const lh5_test::DecodeError& e) {
            std::cerr << input.name << ": " << e.what() << '\n';
        }
        const double in = static_cast<double>(input.bytes.size());
        const double out = static_cast<double>(fast.data.size());
        row(input.name, in, out, in / 1e6 / plain.seconds, in / 1e6 / fast.seconds);
        std::cout << (same ? "" : "  DIFFERENT") << (round_trip ? "" : "  NO ROUND TRIP") << '\n';
        ok = ok && same && round_trip;
        total_in += in;
        total_out += out;
        total_plain += plain.seconds;
        total_fast += fast.seconds;
    }
    std::remove(scratch.c_str());
    row("total", total_in, total_out, total_in / 1e6 / total_plain, total_in / 1e6 / total_fast);
    std::cout << '\n' << (ok ? "both forms agree and decode back" : "CHECK FAILED") << '\n';
    return ok ? 0 : 1;
}
