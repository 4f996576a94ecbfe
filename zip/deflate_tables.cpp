#include "deflate_tables.h"

// ---- lengths -------------------------------------------------------------

// Codes 257 to 264 stand for the lengths 3 to 10 by themselves; from 265
// on, each group of four codes has one extra bit more than the group before
// (1 to 5), and each code covers 2^extra lengths. Code 285 is the exception:
// length 258 alone, with no extra bits, although 284 could also express it;
// in Deflate64 it is the long-match code, 3 plus a 16-bit extra value.
LengthCodeTable::LengthCodeTable(DeflateVariant variant)
    : max_length_(variant == DeflateVariant::DEFLATE64 ? MAX_LENGTH_64 : MAX_LENGTH) {
    std::int32_t base = MIN_LENGTH;
    for (int symbol = FIRST_CODE; symbol < LAST_CODE; ++symbol) {
        const std::int32_t extra = symbol < 265 ? 0 : (symbol - 261) / 4;
        codes_[static_cast<std::size_t>(symbol - FIRST_CODE)] = {extra, base};
        for (std::int32_t value = 0; value < (std::int32_t{1} << extra); ++value) {
            lookup_.push_back({symbol, extra, value});
        }
        base += std::int32_t{1} << extra;
    }
    if (lookup_.size() != MAX_LENGTH - MIN_LENGTH + 1) throw "program error";
    if (variant == DeflateVariant::DEFLATE64) {
        codes_[LAST_CODE - FIRST_CODE] = {16, MIN_LENGTH};
    } else {
        codes_[LAST_CODE - FIRST_CODE] = {0, MAX_LENGTH};
        lookup_.back() = {LAST_CODE, 0, 0};
    }
}

const LengthCodeTable& LengthCodeTable::of(DeflateVariant variant) {
    static const LengthCodeTable deflate(DeflateVariant::DEFLATE);
    static const LengthCodeTable deflate64(DeflateVariant::DEFLATE64);
    return variant == DeflateVariant::DEFLATE64 ? deflate64 : deflate;
}

// ---- distances -----------------------------------------------------------

// Codes 0 to 3 stand for the distances 1 to 4; from code 4 on, each pair of
// codes has one extra bit more than the pair before (1 to 13, and 14 for
// Deflate64's codes 30 and 31).
DistanceCodeTable::DistanceCodeTable(DeflateVariant variant)
    : code_count_(variant == DeflateVariant::DEFLATE64 ? CODE_COUNT_64 : CODE_COUNT),
      max_distance_(variant == DeflateVariant::DEFLATE64 ? MAX_DISTANCE_64 : MAX_DISTANCE) {
    std::int32_t base = 0;  // distance - 1
    for (int symbol = 0; symbol < code_count_; ++symbol) {
        const std::int32_t extra = symbol < 4 ? 0 : symbol / 2 - 1;
        codes_[static_cast<std::size_t>(symbol)] = {extra, base};
        if (symbol < 16) {
            for (std::int32_t value = 0; value < (std::int32_t{1} << extra); ++value) {
                near_.push_back({symbol, extra, value});
            }
        } else {
            for (std::int32_t step = 0; step < (std::int32_t{1} << (extra - 7)); ++step) {
                far_.push_back({symbol, extra, 0});
            }
        }
        base += std::int32_t{1} << extra;
    }
    if (near_.size() != 256) throw "program error";
}

const DistanceCodeTable& DistanceCodeTable::of(DeflateVariant variant) {
    static const DistanceCodeTable deflate(DeflateVariant::DEFLATE);
    static const DistanceCodeTable deflate64(DeflateVariant::DEFLATE64);
    return variant == DeflateVariant::DEFLATE64 ? deflate64 : deflate;
}

// ---- the fixed code --------------------------------------------------------

const coding::ZipCoding::HuffDec& FixedDeflateCode::literal_decoder() {
    static const coding::ZipCoding::HuffDec decoder = [] {
        std::array<int, LITERAL_CODES> lengths{};
        for (int symbol = 0; symbol < LITERAL_CODES; ++symbol) {
            lengths[static_cast<std::size_t>(symbol)] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
        }
        return coding::ZipCoding::HuffDec(coding::BLenTable(lengths), coding::SingleCode::ONE_BIT);
    }();
    return decoder;
}

const coding::ZipCoding::HuffDec& FixedDeflateCode::distance_decoder() {
    static const coding::ZipCoding::HuffDec decoder = [] {
        std::array<int, DISTANCE_CODES> lengths{};
        lengths.fill(5);
        return coding::ZipCoding::HuffDec(coding::BLenTable(lengths), coding::SingleCode::ONE_BIT);
    }();
    return decoder;
}
