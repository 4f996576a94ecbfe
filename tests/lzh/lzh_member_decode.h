// Helpers of the LZH decoder tests: bit fields, one member's data decoded
// by a row of the method table, and the members of a whole archive taken
// apart without the library's header reader (so that the decoders are
// tested on their own, from bytes the test finds itself).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "lzh_methods.h"
#include "lzh_test_support.h"

namespace lzh_test {

// Bits written field by field, most significant first: (value, width)
// pairs.
inline std::string bit_fields(std::initializer_list<std::pair<std::uint32_t, int>> fields) {
    std::vector<std::uint8_t> sink;
    {
        lzh::BitOutStream out(sink);
        for (const auto& [value, width] : fields) out.n_bit_put(value, width);
    }
    return std::string(sink.begin(), sink.end());
}

struct Decoded {
    std::string output;
    std::int64_t consumed = 0;  // bytes of the data the decoder read
    std::uint16_t crc = 0;
    std::string error;  // the text thrown, when not thrown on
};

// Decodes data as one member of expected_size bytes (files in a scratch
// directory, as the driver uses them), read in blocks of block_size bytes
// (small ones cross often). A text the decoder throws is thrown on once
// the files are closed, or with keep_error kept in the result beside what
// was written before it.
inline Decoded decode_member(lzh::MemberDecoder decoder, const std::string& data, std::int64_t expected_size,
                             std::size_t block_size = 7, bool keep_error = false) {
    Scratch scratch("memberdec");
    const WideString in_path = scratch.archive("data.bin", data);
    std::FILE* in = platform::open_file(in_path, "rb");
    std::FILE* out = platform::open_file(u"out.bin", "wb");
    Decoded result;
    const char* thrown = nullptr;
    {
        lzh::BitInStream reader(in, block_size);
        lzh::FileDecOutStream stream(out, expected_size);
        try {
            decoder(reader, stream);
        } catch (const char* text) {
            thrown = text;
        }
        result.consumed = reader.byte_position();
        result.crc = stream.crc.value;
    }
    std::fclose(in);
    std::fclose(out);
    if (thrown != nullptr && !keep_error) throw thrown;
    if (thrown != nullptr) result.error = thrown;
    result.output = scratch.read(u"out.bin");
    return result;
}

struct RawMember {
    std::string method;
    std::string path;  // with '/' separators; directories end in '/'
    std::string data;  // the packed bytes
    std::int64_t original_size = 0;
    std::uint16_t crc = 0;
};

// The members of an archive of header levels 0, 1 and 2. Level 0 keeps
// the path in its name field; levels 1 and 2 put the name and directory
// into 0x01 and 0x02 records (the directory with 0xFF separators). At
// level 1 the compressed size counts the records too.
inline std::vector<RawMember> raw_members(const std::string& archive) {
    const auto u = [&](std::size_t at, int n) {
        std::uint32_t v = 0;
        for (int k = n - 1; k >= 0; --k)
            v = v << 8 | static_cast<unsigned char>(archive.at(at + static_cast<std::size_t>(k)));
        return v;
    };
    std::vector<RawMember> members;
    std::size_t at = 0;
    while (at < archive.size() && archive[at] != 0) {
        RawMember m;
        m.method = archive.substr(at + 2, 5);
        const std::uint32_t packed = u(at + 7, 4);
        m.original_size = u(at + 11, 4);
        const int level = static_cast<unsigned char>(archive.at(at + 20));
        std::string name;
        std::string directory;
        std::size_t records = 0;  // offset of the first record's size field
        std::size_t data = 0;
        if (level == 2) {
            m.crc = static_cast<std::uint16_t>(u(at + 21, 2));
            records = at + 24;
            data = at + u(at, 2);
        } else {
            const std::size_t n = static_cast<unsigned char>(archive.at(at + 21));
            name = archive.substr(at + 22, n);
            m.crc = static_cast<std::uint16_t>(u(at + 22 + n, 2));
            data = at + 2 + static_cast<unsigned char>(archive[at]);
            if (level == 1) records = data - 2;
        }
        std::size_t record_bytes = 0;
        for (std::size_t size = records ? u(records, 2) : 0, r = records + 2; size != 0;
             r += size, size = u(r - 2, 2)) {
            const std::string body = archive.substr(r + 1, size - 3);
            if (archive.at(r) == 1) name = body;
            if (archive.at(r) == 2) directory = body;
            record_bytes += size;
            if (level == 1) data = r + size;
        }
        if (level == 2) record_bytes = 0;  // already before data
        for (char& c : directory) c = (c == '\xFF') ? '/' : c;
        for (char& c : name) c = (c == '\\') ? '/' : c;
        m.path = directory + name;
        m.data = archive.substr(data, packed - record_bytes);
        at = data + m.data.size();
        members.push_back(m);
    }
    return members;
}

}  // namespace lzh_test
