// LengthCodeTable, DistanceCodeTable: the length and distance codes of
// Deflate (RFC 1951, 3.2.5), in both directions.
//
// Deflate64 (ZIP method 9) is the same format with a 64 KiB history and
// three changes to these tables only: length code 285 stands for 3 to
// 65538 with 16 extra bits instead of 258 alone, and the distance codes 30
// and 31, unused in Deflate, stand for 32769 to 65536 with 14 extra bits.
// Both tables take the variant; the encoder builds the Deflate ones.
//
// A match length of 3 to 258 is sent as a length code (literal/length
// symbol 257 to 285) followed by extra bits; a distance of 1 to 32768 as a
// distance code (0 to 29) followed by extra bits. The decoder goes from code
// to base and extra-bit count; the encoder goes from a length or distance
// to code, extra-bit count and extra value through the lookups, which are
// computed from the same base table so that the two directions agree.
//
// FixedDeflateCode holds the decoders of the fixed Huffman code, built once.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "coding_set.h"

enum class DeflateVariant { DEFLATE, DEFLATE64 };

// One code of either table: the count of extra bits that follow it and the
// smallest value it stands for (a length, or a distance minus 1).
struct DeflateCode {
    std::int32_t extra_bits;
    std::int32_t base;
};

// One lookup row for the encoder: the code that carries a value, its extra
// bit count and the extra value to send.
struct DeflateCodeRow {
    std::int32_t code;
    std::int32_t extra_bits;
    std::int32_t extra_value;
};

class LengthCodeTable {
public:
    static constexpr int FIRST_CODE = 257;
    static constexpr int LAST_CODE = 285;
    static constexpr int MIN_LENGTH = 3;
    // The longest match of each variant: 258, or 3 + 65535 with code 285's
    // 16 extra bits.
    static constexpr int MAX_LENGTH = 258;
    static constexpr int MAX_LENGTH_64 = 3 + 0xFFFF;

    // Builds the codes and the lookup; throws "program error" if the lookup
    // does not come out with one row per length 3 to 258.
    explicit LengthCodeTable(DeflateVariant variant = DeflateVariant::DEFLATE);
    // The table of a variant, built once per program: decoders start one
    // per member, and small members would otherwise spend much of their
    // time building it.
    static const LengthCodeTable& of(DeflateVariant variant);

    // The code for literal/length symbol 257 to 285.
    const DeflateCode& code(int symbol) const { return codes_[static_cast<std::size_t>(symbol - FIRST_CODE)]; }
    // Code, extra bits and extra value of a length from 3 to max_length();
    // any other length throws "out of range.". Inline: the block writers
    // ask for every match.
    DeflateCodeRow row(int length) const {
        if (length < MIN_LENGTH || length > max_length_) throw "out of range.";
        // Deflate64 sends what code 284 cannot reach with the long-match code.
        if (length > MAX_LENGTH) return {LAST_CODE, 16, length - MIN_LENGTH};
        return lookup_[static_cast<std::size_t>(length - MIN_LENGTH)];
    }
    int max_length() const { return max_length_; }

private:
    std::array<DeflateCode, LAST_CODE - FIRST_CODE + 1> codes_;
    std::vector<DeflateCodeRow> lookup_;  // index = length - 3, up to 258
    int max_length_;
};

class DistanceCodeTable {
public:
    // Distance codes and the farthest distance of each variant.
    static constexpr int CODE_COUNT = 30;
    static constexpr int MAX_DISTANCE = 32768;
    static constexpr int CODE_COUNT_64 = 32;
    static constexpr int MAX_DISTANCE_64 = 65536;

    // Builds the codes and both lookups; throws "program error" if the
    // first lookup does not come out with one row per distance 1 to 256.
    explicit DistanceCodeTable(DeflateVariant variant = DeflateVariant::DEFLATE);
    // The table of a variant, built once per program.
    static const DistanceCodeTable& of(DeflateVariant variant);

    // The code for distance symbol 0 to code_count() - 1; base is the
    // distance minus 1.
    const DeflateCode& code(int symbol) const { return codes_[static_cast<std::size_t>(symbol)]; }
    // Code, extra bits and extra value of a distance from 1 to
    // max_distance(); any other distance throws "out of range.".
    DeflateCodeRow row(int distance) const {
        if (distance < 1 || distance > max_distance_) throw "out of range.";
        if (distance <= 256) return near_[static_cast<std::size_t>(distance - 1)];
        DeflateCodeRow row = far_[static_cast<std::size_t>((distance - 1) / 128 - 2)];
        row.extra_value = distance - 1 - codes_[static_cast<std::size_t>(row.code)].base;
        return row;
    }
    int code_count() const { return code_count_; }
    int max_distance() const { return max_distance_; }

private:
    std::array<DeflateCode, CODE_COUNT_64> codes_{};
    int code_count_;
    int max_distance_;
    // Distances 1 to 256 (codes 0 to 15), indexed by distance - 1.
    std::vector<DeflateCodeRow> near_;
    // Distances 257 to max_distance() (codes 16 up), indexed by (distance - 1) / 128
    // - 2: every code from 16 on covers a whole number of 128-wide steps.
    // Their extra value is not kept: row() takes it from the distance.
    std::vector<DeflateCodeRow> far_;
};

// The fixed code of block type 1: literal/length lengths 8 (0-143), 9
// (144-255), 7 (256-279), 8 (280-287); distance lengths 5 for all 32 codes.
// Codes 286, 287, 30 and 31 are part of the code, so that reading one is
// reported instead of decoding as a neighbour. Its decoders are built on
// first use and shared from then on: a fixed block can copy them instead
// of building its own.
class FixedDeflateCode {
public:
    static constexpr int LITERAL_CODES = 288;
    static constexpr int DISTANCE_CODES = 32;

    static const coding::ZipCoding::HuffDec& literal_decoder();
    static const coding::ZipCoding::HuffDec& distance_decoder();
};
