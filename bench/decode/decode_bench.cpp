// decode_bench [--repeat N] [FILE...]
//
// For each input: makes a Deflate stream with zlib (level 6) and an -lh5-
// stream with our encoder, decodes each with our decoder from a file into
// a file as extraction does, and checks that the bytes, the count and the
// CRC come back. Prints the best of N runs (3 by default; the machine may
// be shared) in MB/s of decoded data, beside zlib's inflate of the same
// Deflate stream in memory. Then the CRC engines over the whole corpus:
// CRC-32 and CRC-16 byte by byte, in runs by the tables alone and in runs
// as update() takes them, beside zlib's crc32. Times
// are processor time. Without
// files it uses a built-in corpus. The exit code is 1 when a round trip
// fails.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "byte_corpus.h"
#include "coding_set.h"
#include "dec_window.h"
#include "deflate_dec.h"
#include "lh5_dec.h"
#include "lh5_enc.h"

#ifndef TSUCHI_SOURCE_DIR
#define TSUCHI_SOURCE_DIR "."
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

struct Input {
    std::string name;
    Bytes bytes;
};

// Processor time rather than wall-clock time: on a shared machine it moves
// far less with the load of others.
double best_seconds(int repeat, const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < repeat; ++i) {
        const std::clock_t start = std::clock();
        run();
        best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return best;
}

void write_file(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes zlib_deflate(const Bytes& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool zlib_inflate(const Bytes& stream, Bytes& out) {
    if (out.empty()) return true;  // zlib wants room for at least one byte
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return result == Z_STREAM_END && z.total_out == out.size();
}

std::uint32_t zlib_crc(const Bytes& data) {
    return static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

struct Decoded {
    std::int64_t count = 0;
    std::uint32_t crc = 0;
    std::string error;
};

// Decodes the stream in file `in` into file `out` with Decoder and Window
// of one library, the way the extraction drivers do.
template <class Coding, class Body>
Decoded decode_file(const fs::path& in, const fs::path& out, std::size_t size, Body body) {
    Decoded decoded;
    std::FILE* input = std::fopen(in.string().c_str(), "rb");
    std::FILE* output = std::fopen(out.string().c_str(), "wb");
    try {
        typename Coding::BitInStream bits(input);
        typename Coding::FileDecOutStream sink(output, static_cast<std::int64_t>(size));
        body(bits, sink);
        decoded.count = sink.count;
        decoded.crc = sink.crc.value;
    } catch (const char* text) {
        decoded.error = text;
    }
    if (input != nullptr) std::fclose(input);
    if (output != nullptr) std::fclose(output);
    return decoded;
}

Decoded deflate_decode(const fs::path& in, const fs::path& out, std::size_t size) {
    return decode_file<coding::ZipCoding>(in, out, size, [](ZipBitInStream& bits, ZipFileDecOutStream& sink) {
        DeflateDec decoder(bits);
        DecWindow window;
        window.decode_entry(decoder, sink);
    });
}

Decoded lh5_decode(const fs::path& in, const fs::path& out, std::size_t size) {
    return decode_file<coding::LzhCoding>(in, out, size, [](lzh::BitInStream& bits, lzh::FileDecOutStream& sink) {
        if (sink.expected_size == 0) return;
        lzh::LH5Dec decoder(bits);
        lzh::LH5DecWindow window;
        window.decode_entry(decoder, sink);
    });
}

std::vector<Input> builtin_corpus() {
    using namespace corpus;
    std::vector<Input> inputs;
    inputs.push_back({"text", text_bytes(8 << 20, 1)});
    inputs.push_back({"sources", repository_sources(TSUCHI_SOURCE_DIR, {"coding", "support", "jobframe", "lzh", "zip",
                                                                        "launcher", "tests"})});
    inputs.push_back({"random", random_bytes(4 << 20, 2)});
    inputs.push_back({"runs", run_bytes(8 << 20, 1000, 3)});
    inputs.push_back({"skewed_4", skewed_bytes(4 << 20, 4, 4)});
    inputs.push_back({"zeros", Bytes(8 << 20, 0)});
    return inputs;
}

double mbs(std::size_t bytes, double seconds) { return static_cast<double>(bytes) / 1e6 / seconds; }

}  // namespace

int main(int argc, char** argv) {
    int repeat = 3;
    std::vector<Input> inputs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        if (!fs::is_regular_file(argv[i])) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        inputs.push_back({fs::path(argv[i]).filename().string(), read_file(argv[i])});
    }
    if (inputs.empty()) inputs = builtin_corpus();
    const fs::path work = fs::temp_directory_path() / ("decode_bench." + std::to_string(std::random_device()()));
    fs::create_directories(work);
    const fs::path stream_path = work / "stream";
    const fs::path raw_path = work / "raw";
    const fs::path out_path = work / "out";

    bool ok = true;
    const auto check = [&](const char* what, const Input& input, const Decoded& decoded, std::uint32_t crc) {
        if (decoded.error.empty() && decoded.count == static_cast<std::int64_t>(input.bytes.size()) &&
            decoded.crc == crc && read_file(out_path) == input.bytes) {
            return;
        }
        std::printf("%s %s: round trip FAILED %s\n", input.name.c_str(), what, decoded.error.c_str());
        ok = false;
    };

    std::printf("%-12s %10s %12s %12s %12s %12s\n", "input", "bytes", "inflate", "zlib", "lh5 decode", "lh5 bytes");
    std::size_t total = 0;
    double total_inflate = 0, total_zlib = 0, total_lh5 = 0;
    for (const Input& input : inputs) {
        const std::size_t size = input.bytes.size();
        total += size;

        const Bytes stream = zlib_deflate(input.bytes);
        write_file(stream_path, stream);
        check("inflate", input, deflate_decode(stream_path, out_path, size), ~zlib_crc(input.bytes));
        const double ours = best_seconds(repeat, [&] { deflate_decode(stream_path, out_path, size); });
        Bytes inflated(size);
        if (!zlib_inflate(stream, inflated) || inflated != input.bytes) {
            std::printf("%s: zlib's inflate FAILED\n", input.name.c_str());
            ok = false;
        }
        const double zlib = best_seconds(repeat, [&] { zlib_inflate(stream, inflated); });

        write_file(raw_path, input.bytes);
        Bytes lh5;
        std::uint16_t crc16 = 0;
        if (std::FILE* raw = std::fopen(raw_path.string().c_str(), "rb")) {
            crc16 = lzh::lh5_compress(raw, lh5).crc;
            std::fclose(raw);
        }
        write_file(stream_path, lh5);
        check("lh5", input, lh5_decode(stream_path, out_path, size), crc16);
        const double lh5_seconds = best_seconds(repeat, [&] { lh5_decode(stream_path, out_path, size); });

        total_inflate += ours;
        total_zlib += zlib;
        total_lh5 += lh5_seconds;
        std::printf("%-12s %10zu %7.1f MB/s %7.1f MB/s %7.1f MB/s %12zu\n", input.name.c_str(), size, mbs(size, ours),
                    mbs(size, zlib), mbs(size, lh5_seconds), lh5.size());
    }
    std::printf("%-12s %10zu %7.1f MB/s %7.1f MB/s %7.1f MB/s\n", "all", total, mbs(total, total_inflate),
                mbs(total, total_zlib), mbs(total, total_lh5));

    // The CRC engines over the whole corpus, as one run of bytes.
    Bytes all;
    for (const Input& input : inputs) all.insert(all.end(), input.bytes.begin(), input.bytes.end());
    // Each CRC three ways: byte by byte, in one run by the tables alone, and
    // in one run as update() does it (carry-less multiplication where the
    // processor has it).
    struct CrcRow {
        double bytes, tables, runs;
        bool agree;
        std::uint32_t stored;  // the check value as archives store it
    };
    const auto crc_row = [&](auto crc) {
        using Crc = decltype(crc);
        using Register = decltype(crc.value);
        Register bytes = 0, tables = 0, runs = 0;
        CrcRow row{};
        row.bytes = best_seconds(repeat, [&] {
            Crc c;
            for (const std::uint8_t b : all) c.update(b);
            bytes = c.value;
        });
        row.tables = best_seconds(repeat, [&] { tables = Crc::sliced(Crc::INITIAL, all.data(), all.size()); });
        row.runs = best_seconds(repeat, [&] { runs = Crc().update(all.data(), all.size()); });
        row.agree = bytes == tables && bytes == runs;
        row.stored = Crc(runs).stored_value();
        return row;
    };
    const CrcRow crc32 = crc_row(coding::CrcTable32());
    const CrcRow crc16 = crc_row(coding::CrcTable16());
    std::uint32_t crc32_zlib = 0;
    const double t_zlib = best_seconds(repeat, [&] { crc32_zlib = zlib_crc(all); });
    const char* runs_by = coding::crc_fold_available() ? "carry-less" : "tables";
    std::printf("crc32 bytes %7.1f MB/s  tables %7.1f MB/s  runs (%s) %7.1f MB/s  zlib %7.1f MB/s\n",
                mbs(all.size(), crc32.bytes), mbs(all.size(), crc32.tables), runs_by, mbs(all.size(), crc32.runs),
                mbs(all.size(), t_zlib));
    std::printf("crc16 bytes %7.1f MB/s  tables %7.1f MB/s  runs (%s) %7.1f MB/s\n", mbs(all.size(), crc16.bytes),
                mbs(all.size(), crc16.tables), runs_by, mbs(all.size(), crc16.runs));
    if (!crc32.agree || !crc16.agree || crc32.stored != crc32_zlib) {
        std::printf("crc: the forms DIFFER\n");
        ok = false;
    }

    fs::remove_all(work);
    std::printf("round trips %s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
