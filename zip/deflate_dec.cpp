#include "deflate_dec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace {

constexpr const char* FINISHED_EARLY = "It finished on the way.";
constexpr const char* BAD_BLOCK_TYPE = "Outside of the support range.(illegal data.)";

// The order in which a dynamic block lists the code lengths of the
// code-length alphabet: the ones most often used first, so that HCLEN can
// cut off the rarely used tail.
constexpr std::array<int, 19> CODE_LENGTH_ORDER = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
// Code-length symbols 0 to 15 are lengths; 16 repeats the previous length 3
// to 6 times (2 extra bits), 17 gives 3 to 10 zeros (3 bits), 18 gives 11 to
// 138 zeros (7 bits).
constexpr int REPEAT_PREVIOUS = 16;
constexpr int REPEAT_ZERO_SHORT = 17;
// Code-length codes are sent as 3-bit lengths.
constexpr int CODE_LENGTH_LIMIT = 7;

coding::BLenTable table_of(std::span<const int> lengths) { return coding::BLenTable(lengths); }

// Whether a set of code lengths fills the whole code space: the codes of
// length n take 2^-n of it each. A literal/length code that leaves room
// unused is refused, as bits in that room decode to no symbol; the one
// exception is a single code of one bit (a block that holds only its
// end code, as encoders write for an empty last block). Distance codes may
// be incomplete: RFC 1951 allows a single distance code, and a block
// without matches needs none. Over-full codes fail when the decoder is
// built.
bool literal_code_complete(std::span<const int> lengths) {
    constexpr std::int64_t FULL = std::int64_t{1} << 15;
    std::int64_t used = 0;
    int count = 0;
    for (const int length : lengths) {
        if (length <= 0) continue;
        used += FULL >> length;
        ++count;
    }
    return used >= FULL || (count == 1 && used == FULL / 2);
}

}  // namespace

DeflateDec::DeflateDec(ZipBitInStream& input, DeflateVariant variant)
    : length_table_(LengthCodeTable::of(variant)), distance_table_(DistanceCodeTable::of(variant)), input_(input) {
    block_header_get();
}

int DeflateDec::bits_get(int n) {
    const int value = input_.n_bit_get(n);
    if (value < 0) throw FINISHED_EARLY;
    return value;
}

// ---- block headers -------------------------------------------------------

// Every block starts with BFINAL (1 bit) and BTYPE (2 bits).
void DeflateDec::block_header_get() {
    final_ = input_.bit_get();
    type_ = input_.n_bit_get(2);
    if (final_ < 0 || type_ < 0) throw BAD_BLOCK_TYPE;
    switch (type_) {
    case 0: stored_header_get(); break;
    case 1: fixed_tables_make(); break;
    case 2: dynamic_tables_get(); break;
    default: throw BAD_BLOCK_TYPE;
    }
}

// A stored block: the rest of the current byte is skipped, then
//   +0  LEN   2 bytes, little-endian: bytes of data that follow
//   +2  NLEN  2 bytes: the one's complement of LEN
//   +4  LEN bytes of data
void DeflateDec::stored_header_get() {
    std::array<int, 4> bytes{};
    for (int& byte : bytes) {
        byte = input_.byte_get();
        if (byte < 0) throw FINISHED_EARLY;
    }
    if ((~bytes[2] & 0xFF) != bytes[0] || (~bytes[3] & 0xFF) != bytes[1]) throw "illegal data.";
    stored_left_ = bytes[0] | (bytes[1] << 8);
}

// The fixed code (see FixedDeflateCode).
void DeflateDec::fixed_tables_make() {
    literal_decoder_ = &FixedDeflateCode::literal_decoder();
    distance_decoder_ = &FixedDeflateCode::distance_decoder();
}

// A dynamic block:
//   HLIT   5 bits: literal/length lengths - 257 (257 to 286; 287 and 288
//          would give codes to the symbols that are never valid data)
//   HDIST  5 bits: distance lengths - 1 (1 to 30; Deflate64 1 to 32)
//   HCLEN  4 bits: code-length code lengths - 4 (4 to 19)
//   HCLEN x 3 bits: code-length code lengths, in CODE_LENGTH_ORDER
//   HLIT + HDIST code lengths, coded with the code-length code
// The HLIT + HDIST lengths are one sequence: a repeat may run from the last
// literal/length lengths into the first distance lengths (zopfli writes
// such repeats), so they are read as one and split afterwards.
void DeflateDec::dynamic_tables_get() {
    const int literal_count = bits_get(5) + 257;
    const int distance_count = bits_get(5) + 1;
    const int code_length_count = bits_get(4) + 4;
    if (literal_count > DECLARED_LITERAL_CODES) throw "DeflateDec: HLIT is above 286 codes.(illegal data.)";
    if (distance_count > distance_table_.code_count()) throw "DeflateDec: HDIST is above 30 codes.(illegal data.)";

    std::array<int, CODE_LENGTH_ORDER.size()> code_length_lengths{};
    for (int i = 0; i < code_length_count; ++i) {
        code_length_lengths[static_cast<std::size_t>(CODE_LENGTH_ORDER[static_cast<std::size_t>(i)])] = bits_get(3);
    }
    const ZipHuffDec code_length_decoder(coding::BLenTable(code_length_lengths, CODE_LENGTH_LIMIT),
                                         coding::SingleCode::ONE_BIT);

    const std::size_t total = static_cast<std::size_t>(literal_count + distance_count);
    std::vector<int> lengths;
    lengths.reserve(total);
    while (lengths.size() < total) {
        const int symbol = code_length_decoder.decode(input_);
        if (symbol < 0) throw FINISHED_EARLY;
        if (symbol < REPEAT_PREVIOUS) {
            lengths.push_back(symbol);
            continue;
        }
        int value = 0;
        std::size_t repeat;
        if (symbol == REPEAT_PREVIOUS) {
            if (lengths.empty()) throw "DeflateDec: a code length repeat with no length before it.(illegal data.)";
            value = lengths.back();
            repeat = 3 + static_cast<std::size_t>(bits_get(2));
        } else if (symbol == REPEAT_ZERO_SHORT) {
            repeat = 3 + static_cast<std::size_t>(bits_get(3));
        } else {
            repeat = 11 + static_cast<std::size_t>(bits_get(7));
        }
        if (lengths.size() + repeat > total) throw "DeflateDec: code lengths run past HLIT + HDIST.(illegal data.)";
        lengths.insert(lengths.end(), repeat, value);
    }

    const std::span<const int> all(lengths);
    const std::span<const int> literal = all.first(static_cast<std::size_t>(literal_count));
    if (!literal_code_complete(literal)) throw "DeflateDec: the literal/length code is incomplete.(illegal data.)";
    literal_decoder_ = &literal_dynamic_.emplace(table_of(literal), coding::SingleCode::ONE_BIT);
    const std::span<const int> distance = all.subspan(static_cast<std::size_t>(literal_count));
    bool any_distance = false;
    for (const int length : distance) any_distance = any_distance || length != 0;
    distance_decoder_ = nullptr;
    if (any_distance) distance_decoder_ = &distance_dynamic_.emplace(table_of(distance), coding::SingleCode::ONE_BIT);
}

// ---- symbols -------------------------------------------------------------

bool DeflateDec::block_end() {
    literal_decoder_ = nullptr;
    distance_decoder_ = nullptr;
    literal_dynamic_.reset();
    distance_dynamic_.reset();
    if (final_ == 1) {
        final_ = -1;
        return false;
    }
    block_header_get();
    return true;
}

int DeflateDec::symbol_get() {
    while (final_ != -1) {
        if (type_ == 0) {
            if (stored_left_ > 0) {
                --stored_left_;
                const int byte = input_.byte_get();
                if (byte < 0) throw FINISHED_EARLY;
                return byte;
            }
        } else {
            const int symbol = literal_decoder_->decode(input_);
            if (symbol < 0) throw FINISHED_EARLY;
            if (symbol < END_OF_BLOCK) return symbol;
            if (symbol > END_OF_BLOCK) {
                if (symbol > LengthCodeTable::LAST_CODE) throw "out of range.";
                const DeflateCode& code = length_table_.code(symbol);
                return MATCH_BASE + code.base + bits_get(code.extra_bits);
            }
        }
        if (!block_end()) return -1;
    }
    return -1;
}

std::size_t DeflateDec::stored_get(std::uint8_t* destination, std::size_t size, bool& cut) {
    const std::size_t wanted = std::min(size, static_cast<std::size_t>(std::max(stored_left_, 0)));
    const std::size_t got = input_.bytes_get(destination, wanted);
    stored_left_ -= static_cast<std::int32_t>(got);
    cut = got < wanted;
    return got;
}

void DeflateDec::fast_run(Window& window) {
    if (type_ == 0 || final_ == -1 || !window.fast()) return;
    // A distance code of up to 15 bits and up to 14 extra bits (Deflate64),
    // after a literal/length code of up to 15 bits and its extra bits.
    constexpr int LONGEST_DISTANCE_FIELD = 15 + 14;
    const ZipHuffDec::Held literals = literal_decoder_->held();
    // A block without distance codes leaves its matches to the careful
    // path, which refuses them: no distance symbol counts as valid then.
    const bool has_distances = distance_decoder_ != nullptr;
    const ZipHuffDec::Held distances = (has_distances ? distance_decoder_ : literal_decoder_)->held();
    const int distance_code_count = has_distances ? distance_table_.code_count() : 0;
    // The code tables in locals too, indexed by the symbols as decoded.
    const DeflateCode* const length_codes = &length_table_.code(LengthCodeTable::FIRST_CODE);
    const DeflateCode* const distance_codes = &distance_table_.code(0);
    auto bits = input_.cursor();
    std::uint8_t* out = window.cursor();
    const std::uint8_t* limit = window.cursor_limit();
    // Where the entry's first byte lies (or would lie) in the window, as a
    // number: a match may reach back that far and no farther.
    const auto address = [](const std::uint8_t* at) {
        return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(at));
    };
    std::int64_t first = address(out) - window.produced_at(out);
    for (;;) {
        if (out > limit) {
            if (!window.renew(out, limit)) break;
            first = address(out) - window.produced_at(out);
        }
        if (!bits.refill()) break;
        auto symbol_start = bits;
        int symbol = literals.decode(bits);
        if (symbol < END_OF_BLOCK) {
            *out++ = static_cast<std::uint8_t>(symbol);
            // A second symbol from the same refill (41 bits are left): a
            // literal still fits the window's slack, a match only from
            // where the loop may start one.
            symbol_start = bits;
            symbol = literals.decode(bits);
            if (symbol < END_OF_BLOCK) {
                *out++ = static_cast<std::uint8_t>(symbol);
                continue;
            }
            if (out > limit) {
                bits = symbol_start;
                continue;
            }
        }
        // The end of the block and the codes beyond the length codes.
        if (static_cast<unsigned>(symbol - LengthCodeTable::FIRST_CODE) >
            static_cast<unsigned>(LengthCodeTable::LAST_CODE - LengthCodeTable::FIRST_CODE)) {
            bits = symbol_start;
            break;
        }
        const DeflateCode& length_code = length_codes[symbol - LengthCodeTable::FIRST_CODE];
        const std::size_t length = static_cast<std::size_t>(length_code.base) + bits.take_held(length_code.extra_bits);
        if (bits.held() < LONGEST_DISTANCE_FIELD && !bits.refill()) {
            bits = symbol_start;
            break;
        }
        const int distance_symbol = distances.decode(bits);
        if (distance_symbol >= distance_code_count) {
            bits = symbol_start;
            break;
        }
        const DeflateCode& distance_code = distance_codes[distance_symbol];
        const std::size_t distance =
            static_cast<std::size_t>(distance_code.base) + bits.take_held(distance_code.extra_bits) + 1;
        if (address(out) - static_cast<std::int64_t>(distance) < first) {
            bits = symbol_start;
            break;
        }
        Window::copy_match(out, distance, length);
        out += length;
    }
    window.advance(out);
    input_.resume(bits);
}

int DeflateDec::distance_get() {
    if (final_ == -1) return -1;
    if (!distance_decoder_) throw "distance_get: a match in a block without distance codes.(illegal data.)";
    const int symbol = distance_decoder_->decode(input_);
    if (symbol < 0) throw FINISHED_EARLY;
    if (symbol >= distance_table_.code_count()) throw "out of range.";
    const DeflateCode& code = distance_table_.code(symbol);
    return code.base + bits_get(code.extra_bits);
}
