// deflate_enc_bench [--out DIR] [--repeat N] [FILE...]
//
// Compresses each input with the reference and the fast Deflate encoder as
// the creation driver does (from a file, into memory), checks that the two
// give the same bytes and CRC, and prints the throughput of each form (the
// best of N runs, 3 by default, since the machine may be shared) and the
// compressed size. Without files it uses a built-in corpus of generated
// data and the repository's sources. With --out, each input and its stream
// are written to DIR as NAME.raw and NAME.deflate, for deflate_enc_bench.py
// to compare with zlib. The exit code is 1 when the forms disagree.
//
// One line per input in the form
//     item NAME SIZE COMPRESSED REFERENCE_SECONDS FAST_SECONDS
// follows the table, for scripts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "byte_corpus.h"
#include "coding_set.h"
#include "deflate_block_enc.h"
#include "deflate_enc.h"
#include "deflate_enc_reference.h"

#ifndef TSUCHI_SOURCE_DIR
#define TSUCHI_SOURCE_DIR "."
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Input {
    std::string name;
    Bytes bytes;
};

struct Run {
    Bytes stream;
    std::uint32_t crc32 = 0;
    double seconds = 0;
};

template <class Encoder>
Run run_once(const std::string& path, std::size_t size) {
    Run run;
    std::FILE* source = std::fopen(path.c_str(), "rb");
    if (source == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return run;
    }
    const auto start = std::chrono::steady_clock::now();
    run.stream.reserve(size);
    {
        coding::ZipCoding::BitOutStream bits(run.stream);
        DeflateBlockEnc blocks(bits, DeflateBlockEnc::BUFFER_ENTRIES);
        Encoder encoder;
        encoder.compress(source, blocks);
        blocks.finish();
        bits.flush();
        run.crc32 = ~encoder.crc.value;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fclose(source);
    return run;
}

template <class Encoder>
Run run_encoder(const std::string& path, std::size_t size, int repeat) {
    Run best = run_once<Encoder>(path, size);
    for (int i = 1; i < repeat; ++i) {
        Run next = run_once<Encoder>(path, size);
        if (next.stream != best.stream || next.crc32 != best.crc32) {
            std::printf("%s: two runs of one form DIFFER\n", path.c_str());
            best.crc32 = ~best.crc32;  // makes the forms disagree
        }
        best.seconds = std::min(best.seconds, next.seconds);
    }
    return best;
}

void write_file(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<Input> builtin_corpus() {
    using namespace corpus;
    std::vector<Input> inputs;
    inputs.push_back({"text", text_bytes(4 << 20, 1)});
    inputs.push_back({"sources", repository_sources(TSUCHI_SOURCE_DIR, {"coding", "support", "jobframe", "lzh", "zip",
                                                                        "launcher", "tests"})});
    inputs.push_back({"random", random_bytes(2 << 20, 2)});
    inputs.push_back({"runs", run_bytes(4 << 20, 1000, 3)});
    inputs.push_back({"skewed_4", skewed_bytes(2 << 20, 4, 4)});
    inputs.push_back({"zeros", Bytes(4 << 20, 0)});
    inputs.push_back({"pairs", pair_sequence(1 << 20)});
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path out_dir;
    int repeat = 3;
    std::vector<Input> inputs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out_dir = argv[++i];
            continue;
        }
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        inputs.push_back({std::filesystem::path(argv[i]).filename().string(),
                          Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
    }
    if (inputs.empty()) inputs = builtin_corpus();
    const std::filesystem::path work = out_dir.empty() ? std::filesystem::temp_directory_path() : out_dir;
    std::filesystem::create_directories(work);

    bool agree = true;
    std::vector<std::string> lines;
    std::printf("%-12s %10s %10s %7s %12s %12s %8s\n", "input", "bytes", "deflate", "ratio", "reference", "fast",
                "speedup");
    double total_in = 0, total_out = 0, total_reference = 0, total_fast = 0;
    for (const Input& input : inputs) {
        const std::filesystem::path raw = work / (input.name + ".raw");
        write_file(raw, input.bytes);
        const Run reference = run_encoder<DeflateEncReference>(raw.string(), input.bytes.size(), repeat);
        const Run fast = run_encoder<DeflateEnc>(raw.string(), input.bytes.size(), repeat);
        if (reference.stream != fast.stream || reference.crc32 != fast.crc32) {
            std::printf("%s: the reference and the fast form DIFFER\n", input.name.c_str());
            agree = false;
        }
        if (out_dir.empty()) {
            std::filesystem::remove(raw);
        } else {
            write_file(work / (input.name + ".deflate"), fast.stream);
        }
        const double mb = static_cast<double>(input.bytes.size()) / 1e6;
        std::printf("%-12s %10zu %10zu %6.2f%% %7.1f MB/s %7.1f MB/s %7.1fx\n", input.name.c_str(), input.bytes.size(),
                    fast.stream.size(),
                    100.0 * static_cast<double>(fast.stream.size()) /
                        static_cast<double>(std::max<std::size_t>(input.bytes.size(), 1)),
                    mb / reference.seconds, mb / fast.seconds, reference.seconds / fast.seconds);
        total_in += static_cast<double>(input.bytes.size());
        total_out += static_cast<double>(fast.stream.size());
        total_reference += reference.seconds;
        total_fast += fast.seconds;
        char line[512];
        std::snprintf(line, sizeof line, "item %s %zu %zu %.6f %.6f", input.name.c_str(), input.bytes.size(),
                      fast.stream.size(), reference.seconds, fast.seconds);
        lines.push_back(line);
    }
    std::printf("%-12s %10.0f %10.0f %6.2f%% %7.1f MB/s %7.1f MB/s %7.1fx\n", "all", total_in, total_out,
                100.0 * total_out / std::max(total_in, 1.0), total_in / 1e6 / total_reference,
                total_in / 1e6 / total_fast, total_reference / total_fast);
    std::printf("forms %s\n", agree ? "agree" : "DIFFER");
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    return agree ? 0 : 1;
}
