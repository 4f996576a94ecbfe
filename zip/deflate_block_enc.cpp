#include "deflate_block_enc.h"

#include <algorithm>
#include <array>
#include <span>

#include "deflate_tables.h"

namespace {

using HuffEnc = coding::ZipCoding::HuffEnc;

// ---- code lengths ----------------------------------------------------------

constexpr int LITERAL_LENGTH_LIMIT = 15;
constexpr int CODE_LENGTH_LIMIT = 7;
constexpr int END_OF_BLOCK = 256;

// The order in which the lengths of the code-length code are sent: the
// symbols most blocks use come first, so that the trailing zeros can be
// left out.
constexpr std::array<int, 19> CODE_LENGTH_ORDER = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// One symbol of the code-length alphabet and the value of its extra bits:
// 0 to 15 a length; 16 repeats the previous length 3 to 6 times (2 extra
// bits); 17 gives 3 to 10 zeros (3 extra bits), 18 gives 11 to 138 zeros
// (7 extra bits).
struct LengthSymbol {
    std::uint8_t symbol;
    std::uint8_t extra;
};

constexpr int code_length_extra_bits(int symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }

// Run-length codes one list of code lengths. Runs stay within the list, so
// the decoder, which reads the two lists as separate sequences, never sees
// a repeat that crosses from one into the other.
void run_length_code(std::span<const std::int8_t> lengths, std::vector<LengthSymbol>& out) {
    std::size_t i = 0;
    while (i < lengths.size()) {
        const int c = lengths[i];
        std::size_t end = i + 1;
        while (end < lengths.size() && lengths[end] == c) ++end;
        int n = static_cast<int>(end - i);
        i = end;
        if (c != 0) {
            out.push_back({static_cast<std::uint8_t>(c), 0});
            for (int r = n - 1; r > 0;) {
                if (r > 2) {
                    out.push_back({16, static_cast<std::uint8_t>(std::min(r, 6) - 3)});
                    r -= 6;
                } else {
                    for (; r > 0; --r) out.push_back({static_cast<std::uint8_t>(c), 0});
                }
            }
        } else {
            while (n > 0) {
                if (n <= 2) {
                    for (; n > 0; --n) out.push_back({0, 0});
                } else if (n > 10) {
                    out.push_back({18, static_cast<std::uint8_t>(std::min(n, 138) - 11)});
                    n -= 138;
                } else {
                    out.push_back({17, static_cast<std::uint8_t>(n - 3)});
                    n -= 10;
                }
            }
        }
    }
}

// A run of bits to send, bit 0 first, at most 28 of them.
struct Field {
    std::uint32_t bits = 0;
    int count = 0;
};

// Gathers fields in a 64-bit word and hands them to the bit stream 32 bits
// at a time; the stream sees the same bits as with one call per field.
// Fields are at most 28 bits (a 15-bit code and 13 extra bits).
class FieldWriter {
public:
    explicit FieldWriter(DeflateBlockEnc::BitOutStream& output) : output_(output) {}
    void put(std::uint32_t value, int n) {
        pending_ |= std::uint64_t{value} << held_;
        held_ += n;
        if (held_ >= 32) {
            output_.n_bit_put(static_cast<std::uint32_t>(pending_), 32);
            pending_ >>= 32;
            held_ -= 32;
        }
    }
    void put(Field field) { put(field.bits, field.count); }
    template <class Code>
    void code(const Code& code, int symbol) {
        const auto index = static_cast<std::size_t>(symbol);
        put(static_cast<std::uint32_t>(code.patterns.patterns[index]), code.blen.lengths[index]);
    }
    void flush() {
        output_.n_bit_put(static_cast<std::uint32_t>(pending_), held_);
        pending_ = 0;
        held_ = 0;
    }

private:
    DeflateBlockEnc::BitOutStream& output_;
    std::uint64_t pending_ = 0;
    int held_ = 0;  // below 32 between calls
};

// A code given by its lengths: the fixed Huffman code of Deflate
// (RFC 1951, 3.2.6). Literals 0-143 have 8 bits, 144-255 9, symbols
// 256-279 7, 280-287 8; the 30 distance codes 5 bits each.
struct FixedCode {
    explicit FixedCode(std::span<const int> lengths) : blen(lengths), patterns(blen) {}
    coding::BLenTable blen;
    coding::ZipCoding::BitPatternTable patterns;
};

const FixedCode& fixed_literal_code() {
    static const FixedCode code = [] {
        std::array<int, 288> lengths{};
        for (int s = 0; s < 288; ++s)
            lengths[static_cast<std::size_t>(s)] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        return FixedCode(lengths);
    }();
    return code;
}

const FixedCode& fixed_distance_code() {
    static const FixedCode code = [] {
        std::array<int, 30> lengths{};
        lengths.fill(5);
        return FixedCode(lengths);
    }();
    return code;
}

template <class Code>
int length_of(const Code& code, int symbol) {
    const auto& lengths = code.blen.lengths;
    return static_cast<std::size_t>(symbol) < lengths.size() ? lengths[static_cast<std::size_t>(symbol)] : 0;
}

// The code of symbol as a field; a symbol without a code gives an empty one.
template <class Code>
Field code_field(const Code& code, int symbol) {
    const int length = length_of(code, symbol);
    if (length == 0) return {};
    return {static_cast<std::uint32_t>(code.patterns.patterns[static_cast<std::size_t>(symbol)]), length};
}

}  // namespace

DeflateBlockEnc::DeflateBlockEnc(BitOutStream& output, std::int32_t buffer_entries)
    : output_(output), limit_(buffer_entries - 2) {
    if (buffer_entries < 3) throw "DeflateBlockEnc: out of range.";
    entries_.reserve(static_cast<std::size_t>(buffer_entries));
}

// Every SPLIT_CHECK_ENTRIES entries the counts since the last check are
// compared with those of the block so far. Their difference is the sum
// over kinds of |fresh share - seen share|, scaled by both totals to stay
// in integers; it runs from 0 (the same mix) to 2 (nothing in common). The
// block ends when that exceeds about 0.4, less the longer the block has
// grown (long blocks gain less from one code), and not before it covers
// MIN_SPLIT_BYTES, since a new code's description costs some 60 bytes.
void DeflateBlockEnc::check_for_block_end() {
    constexpr std::int32_t MIN_SPLIT_BYTES = 10000;
    if (seen_total_ > 0 && block_bytes_ >= MIN_SPLIT_BYTES) {
        std::int64_t difference = 0;
        for (std::size_t kind = 0; kind < KINDS; ++kind) {
            const std::int64_t fresh = std::int64_t{fresh_[kind]} * seen_total_;
            const std::int64_t seen = std::int64_t{seen_[kind]} * fresh_total_;
            difference += fresh > seen ? fresh - seen : seen - fresh;
        }
        const std::int64_t scale = std::int64_t{fresh_total_} * seen_total_;
        difference += std::int64_t{block_bytes_ / 4096} * seen_total_;
        if (difference * 512 >= scale * 200) {
            write_block(0);
            return;
        }
    }
    for (std::size_t kind = 0; kind < KINDS; ++kind) {
        seen_[kind] += fresh_[kind];
        fresh_[kind] = 0;
    }
    seen_total_ += fresh_total_;
    fresh_total_ = 0;
}

void DeflateBlockEnc::clear_block() {
    entries_.clear();
    literal_counts_.fill(0);
    distance_counts_.fill(0);
    seen_.fill(0);
    fresh_.fill(0);
    seen_total_ = 0;
    fresh_total_ = 0;
    block_bytes_ = 0;
}

void DeflateBlockEnc::end_block() {
    if (finished_) throw "DeflateBlockEnc: program error.";
    if (!entries_.empty()) write_block(0);
}

void DeflateBlockEnc::finish() {
    if (finished_) throw "DeflateBlockEnc: program error.";
    finished_ = true;
    write_block(1);
}

// Block layout (RFC 1951, 3.2.7), fields least significant bit first, codes
// first bit first:
//   BFINAL 1 bit | BTYPE 2 bits (2) | HLIT 5 | HDIST 5 | HCLEN 4
//   | (HCLEN + 4) x 3 bits: code-length code lengths in CODE_LENGTH_ORDER
//   | literal/length lengths, then distance lengths, run-length coded
//   | the data | end-of-block code
void DeflateBlockEnc::write_block(int final_flag) {
    // The length and distance codes (RFC 1951, 3.2.5) with their lookups
    // from a length or distance to code and extra bits.
    const LengthCodeTable& length_table = LengthCodeTable::of(DeflateVariant::DEFLATE);
    const DistanceCodeTable& distance_table = DistanceCodeTable::of(DeflateVariant::DEFLATE);

    // Symbol counts, with the end-of-block code counted once; each list
    // ends at its highest counted symbol (the distance list is empty in a
    // block without matches).
    if (too_long_) throw "out of range.";
    std::array<std::int32_t, 286>& literal_counts = literal_counts_;
    const std::array<std::int32_t, 30>& distance_counts = distance_counts_;
    literal_counts[END_OF_BLOCK] = 1;
    int literal_top = static_cast<int>(literal_counts.size()) - 1;
    while (literal_counts[static_cast<std::size_t>(literal_top)] == 0) --literal_top;
    int distance_top = static_cast<int>(distance_counts.size()) - 1;
    while (distance_top >= 0 && distance_counts[static_cast<std::size_t>(distance_top)] == 0) --distance_top;

    const HuffEnc literal_code(std::span(literal_counts.data(), static_cast<std::size_t>(literal_top) + 1),
                               LITERAL_LENGTH_LIMIT, coding::SingleCode::ONE_BIT);
    const HuffEnc distance_code(std::span(distance_counts.data(), static_cast<std::size_t>(distance_top + 1)),
                                LITERAL_LENGTH_LIMIT, coding::SingleCode::ONE_BIT);
    const auto& literal_lengths = literal_code.blen.lengths;
    const auto& distance_lengths = distance_code.blen.lengths;

    std::vector<LengthSymbol> symbols;
    symbols.reserve(literal_lengths.size() + distance_lengths.size());
    run_length_code(literal_lengths, symbols);
    run_length_code(distance_lengths, symbols);

    std::array<std::int32_t, 19> symbol_counts{};
    int symbol_top = 0;
    for (const LengthSymbol& s : symbols) {
        ++symbol_counts[s.symbol];
        symbol_top = std::max<int>(symbol_top, s.symbol);
    }
    const HuffEnc length_code(std::span(symbol_counts.data(), static_cast<std::size_t>(symbol_top) + 1),
                              CODE_LENGTH_LIMIT, coding::SingleCode::ONE_BIT);

    // The code-length code lengths are sent up to the last non-zero one in
    // CODE_LENGTH_ORDER, at least four of them.
    int sent = 18;
    while (sent > 3 && length_of(length_code, CODE_LENGTH_ORDER[static_cast<std::size_t>(sent)]) == 0) {
        --sent;
    }
    const int sent_count = sent + 1;

    FieldWriter out(output_);
    if (fixed_allowed_) {
        // The bits each form spends on its header and codes; the extra bits
        // of lengths and distances are the same in both.
        const FixedCode& fixed_literal = fixed_literal_code();
        const FixedCode& fixed_distance = fixed_distance_code();
        std::int64_t dynamic_bits = 14 + 3 * std::int64_t{sent_count};
        for (const LengthSymbol& s : symbols) {
            dynamic_bits += length_of(length_code, s.symbol) + code_length_extra_bits(s.symbol);
        }
        std::int64_t fixed_bits = 0;
        for (int symbol = 0; symbol <= literal_top; ++symbol) {
            const std::int64_t count = literal_counts[static_cast<std::size_t>(symbol)];
            dynamic_bits += count * length_of(literal_code, symbol);
            fixed_bits += count * length_of(fixed_literal, symbol);
        }
        for (int symbol = 0; symbol <= distance_top; ++symbol) {
            const std::int64_t count = distance_counts[static_cast<std::size_t>(symbol)];
            dynamic_bits += count * length_of(distance_code, symbol);
            fixed_bits += count * length_of(fixed_distance, symbol);
        }
        if (fixed_bits < dynamic_bits) {
            out.put(static_cast<std::uint32_t>(final_flag), 1);
            out.put(1, 2);
            write_data(out, length_table, distance_table, fixed_literal, fixed_distance);
            clear_block();
            ++blocks_;
            return;
        }
    }

    // Every code written below belongs to a counted symbol and so has a
    // length of at least 1.
    out.put(static_cast<std::uint32_t>(final_flag), 1);
    out.put(2, 2);
    out.put(static_cast<std::uint32_t>(literal_lengths.size() - 257), 5);
    out.put(static_cast<std::uint32_t>(distance_lengths.size() - 1), 5);
    out.put(static_cast<std::uint32_t>(sent_count - 4), 4);
    for (int k = 0; k < sent_count; ++k) {
        out.put(static_cast<std::uint32_t>(length_of(length_code, CODE_LENGTH_ORDER[static_cast<std::size_t>(k)])), 3);
    }
    for (const LengthSymbol& s : symbols) {
        out.code(length_code, s.symbol);
        out.put(s.extra, code_length_extra_bits(s.symbol));
    }

    write_data(out, length_table, distance_table, literal_code, distance_code);
    clear_block();
    ++blocks_;
}

// The data. Fields go out least significant bit first, so a match's extra
// bits simply follow its code: each length goes out as one field of code
// and extra bits, and so does each distance.
template <class Writer, class Code, class DistanceCode>
void DeflateBlockEnc::write_data(Writer& out, const LengthCodeTable& length_table,
                                 const DistanceCodeTable& distance_table, const Code& literal_code,
                                 const DistanceCode& distance_code) {
    std::array<Field, END_OF_BLOCK + 1> literal_fields;
    for (int symbol = 0; symbol <= END_OF_BLOCK; ++symbol) {
        literal_fields[static_cast<std::size_t>(symbol)] = code_field(literal_code, symbol);
    }
    // By length - 3; lengths whose code the block does not use stay empty
    // and are never looked up.
    std::array<Field, 256> length_fields{};
    for (int length = 3; length <= 258; ++length) {
        const DeflateCodeRow row = length_table.row(length);
        if (length_of(literal_code, row.code) == 0) continue;
        Field field = code_field(literal_code, row.code);
        field.bits |= static_cast<std::uint32_t>(row.extra_value) << field.count;
        field.count += row.extra_bits;
        length_fields[static_cast<std::size_t>(length - 3)] = field;
    }
    // By distance code: its code, and where its extra bits begin.
    struct DistanceField {
        Field code;
        int extra_bits = 0;
        std::int32_t base = 0;  // the smallest distance less 1 of the code
    };
    std::array<DistanceField, DistanceCodeTable::CODE_COUNT> distance_fields{};
    for (int symbol = 0; symbol < DistanceCodeTable::CODE_COUNT; ++symbol) {
        const DeflateCode& code = distance_table.code(symbol);
        distance_fields[static_cast<std::size_t>(symbol)] = {code_field(distance_code, symbol), code.extra_bits,
                                                             code.base};
    }

    const std::uint16_t* const entries = entries_.data();
    const std::size_t size = entries_.size();
    for (std::size_t i = 0; i < size; ++i) {
        const int entry = entries[i];
        if (entry < 256) {
            out.put(literal_fields[static_cast<std::size_t>(entry)]);
            continue;
        }
        out.put(length_fields[static_cast<std::size_t>(entry - 260)]);
        const int distance_minus_1 = entries[++i];
        const DistanceField& d = distance_fields[static_cast<std::size_t>(distance_code_of(distance_minus_1))];
        out.put(d.code.bits | static_cast<std::uint32_t>(distance_minus_1 - d.base) << d.code.count,
                d.code.count + d.extra_bits);
    }
    out.put(literal_fields[END_OF_BLOCK]);
    out.flush();
}
