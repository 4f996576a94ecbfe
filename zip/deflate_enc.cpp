#include "deflate_enc.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "deflate_enc_constants.h"

using namespace deflate_enc;

namespace {

// Bytes past the buffer's end that the eight-byte loads may touch: a match
// is measured at most up to position + 256 <= 65536, and a load there
// reads seven more bytes. Their contents never count (see match_length).
constexpr std::size_t LOAD_TAIL = 8;

std::uint64_t load64(const std::uint8_t* bytes) {
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// The length of the common prefix of here and there, from 2 (the key's two
// bytes are equal) up to at most limit (3 to 256). Bytes beyond limit may
// be read but never make the result longer.
int match_length(const std::uint8_t* here, const std::uint8_t* there, int limit) {
    int length = 2;
    if constexpr (std::endian::native == std::endian::little) {
        while (length < limit) {
            const std::uint64_t diff = load64(here + length) ^ load64(there + length);
            if (diff != 0) {
                // In a little-endian load the first byte is the lowest, so
                // the lowest set bit marks the first byte that differs.
                length += std::countr_zero(diff) / 8;
                return std::min(length, limit);
            }
            length += 8;
        }
        return limit;
    } else {
        while (length < limit && here[length] == there[length]) ++length;
        return length;
    }
}

}  // namespace

DeflateEnc::DeflateEnc()
    : buffer_(BUFFER_SIZE + LOAD_TAIL, 0), chain_(BUFFER_SIZE, -1), head_(KEY_COUNT, -1) {}

void DeflateEnc::compress(std::FILE* source, DeflateBlockEnc& writer, std::int64_t byte_limit) {
    crc = coding::CrcTable32();
    std::fill(buffer_.begin(), buffer_.end(), 0);
    std::fill(chain_.begin(), chain_.end(), -1);
    std::fill(head_.begin(), head_.end(), -1);
    position_ = 0;

    DeflateSource input(source, byte_limit, crc);
    end_ = input.fill(buffer_.data(), BUFFER_SIZE);

    while (position_ < end_) {
        const Match match = find_match(position_);
        if (match.length >= SHORTEST_MATCH) {
            writer.match_len_put(257 + match.length, match.distance - 1);
            position_ += match.length;
        } else {
            writer.literal_put(buffer_[static_cast<std::size_t>(position_)]);
            ++position_;
        }
        // A match starts below the slide point and is at most 256 long, so
        // it ends at or below 65536; the one slide it may cross comes after
        // its last byte, as it would byte by byte.
        if (position_ >= SLIDE_POINT) slide(input);
    }

    bytes_read_ = input.bytes_read();
    read_failed_ = input.read_failed();
    over_limit_ = input.over_limit();
}

DeflateEnc::Match DeflateEnc::find_match(int p) {
    const std::uint8_t* buffer = buffer_.data();
    const std::uint8_t* here = buffer + p;
    // At the last byte the second key byte lies beyond the data; that only
    // affects the chains, which nobody searches after the last byte.
    const int key = here[0] << 8 | here[1];
    std::int32_t candidate = head_[static_cast<std::size_t>(key)];
    chain_[static_cast<std::size_t>(p)] = candidate;
    head_[static_cast<std::size_t>(key)] = p;

    const int limit = std::min(LONGEST_MATCH, end_ - p);
    if (limit < SHORTEST_MATCH) return {0, 0};
    const int low = std::max(p - WINDOW, 0);

    // Every candidate matches at least the key's two bytes, and only a
    // strictly longer match replaces the best, so best starts at 2; a later
    // candidate can win only if it also matches the byte at index best.
    int best = 2;
    int best_candidate = -1;
    while (candidate >= low) {
        const std::uint8_t* there = buffer + candidate;
        if (there[best] == here[best]) {
            const int length = match_length(here, there, limit);
            if (length > best) {
                best = length;
                best_candidate = candidate;
                if (length == limit) break;  // no candidate can be longer
            }
        }
        candidate = chain_[static_cast<std::size_t>(candidate)];
    }
    if (best_candidate < 0) return {0, 0};
    return {best, p - best_candidate};
}

void DeflateEnc::slide(DeflateSource& input) {
    std::uint8_t* buffer = buffer_.data();
    std::memmove(buffer, buffer + SLIDE_DISTANCE, BUFFER_SIZE - SLIDE_DISTANCE);
    // Chain entries from 32768 up keep their old values: they are rewritten
    // when their positions are entered again, and no chain leads to them
    // before that.
    auto moved = [](std::int32_t entry) { return entry >= SLIDE_DISTANCE ? entry - SLIDE_DISTANCE : -1; };
    for (std::int32_t i = 0; i < BUFFER_SIZE - SLIDE_DISTANCE; ++i) {
        chain_[static_cast<std::size_t>(i)] = moved(chain_[static_cast<std::size_t>(i + SLIDE_DISTANCE)]);
    }
    for (std::int32_t& entry : head_) entry = moved(entry);
    position_ -= SLIDE_DISTANCE;
    end_ = std::max(end_ - SLIDE_DISTANCE, 0);
    end_ += input.fill(buffer + end_, BUFFER_SIZE - end_);
}
