#include "deflate_enc.h"

#include <algorithm>
#include <cstring>

#include "deflate_enc_constants.h"
#include "deflate_level_parse.h"
#include "match_bytes.h"

using namespace deflate_enc;

namespace {

// Bytes past the buffer's end that the eight-byte loads may touch: a match
// is measured at most up to position + 256 <= 65536, and a load there
// reads seven more bytes. Their contents never count (see coding::match_length).
constexpr std::size_t LOAD_TAIL = 8;

// Buckets of each hash chain. Collisions cost time, never matches: every
// search walks its whole chain within the window, and the positions that
// share the bytes hashed stand on it in the same order whatever the number
// of buckets. So a file that fits the buffer gets fewer, in proportion to
// its size, and emptying them costs no more than the file.
constexpr int HASH_BITS = 16;
constexpr int FEWEST_HASH_BITS = 10;
constexpr std::size_t HASH_SIZE = std::size_t{1} << HASH_BITS;

}  // namespace

DeflateEnc::DeflateEnc(DeflateLevel level)
    : level_(level), buffer_(BUFFER_SIZE + LOAD_TAIL), chain4_(coding::zeroed_table<std::int32_t>(BUFFER_SIZE)),
      head4_(coding::zeroed_table<std::int32_t>(HASH_SIZE)), chain3_(coding::zeroed_table<std::int32_t>(BUFFER_SIZE)),
      head3_(coding::zeroed_table<std::int32_t>(HASH_SIZE)) {}

std::int32_t DeflateEnc::block_entries() const {
    // A literal is one entry, a match of at least three bytes two.
    return level_ == DeflateLevel::BEST ? BEST_BLOCK_BYTES + 4 : DeflateBlockEnc::BUFFER_ENTRIES;
}

void DeflateEnc::compress(std::FILE* source, DeflateBlockEnc& writer, std::int64_t byte_limit) {
    crc = coding::CrcTable32();
    if (level_ != DeflateLevel::DEFAULT) {
        DeflateSource input(source, byte_limit, crc);
        if (level_ == DeflateLevel::LAZY) {
            deflate_parse_lazy(input, writer);
        } else {
            deflate_parse_best(input, writer);
        }
        bytes_read_ = input.bytes_read();
        read_failed_ = input.read_failed();
        over_limit_ = input.over_limit();
        return;
    }
    // The chains need no emptying: a walk starts at a head and follows
    // only positions entered since the heads were emptied.
    position_ = 0;
    DeflateSource input(source, byte_limit, crc);
    end_ = input.fill(buffer_.data(), BUFFER_SIZE);
    hash_bits_ = coding::hash_bits_for(end_, end_ < BUFFER_SIZE, FEWEST_HASH_BITS, HASH_BITS);
    std::fill_n(head4_.get(), std::size_t{1} << hash_bits_, -1);
    std::fill_n(head3_.get(), std::size_t{1} << hash_bits_, -1);
    // The last hashes and wide loads read a few bytes past the data; they
    // never count, and are zeros rather than the previous file's.
    std::fill_n(buffer_.data() + end_, LOAD_TAIL, std::uint8_t{0});

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
    // Near the end of the data the hashes take in bytes beyond it; that only
    // affects chains that no later search with room for a match walks.
    const std::uint32_t h4 = coding::hash4(here, hash_bits_);
    std::int32_t candidate4 = head4_[h4];
    chain4_[static_cast<std::size_t>(p)] = candidate4;
    head4_[h4] = p;
    const std::uint32_t h3 = coding::hash3(here, hash_bits_);
    std::int32_t candidate3 = head3_[h3];
    chain3_[static_cast<std::size_t>(p)] = candidate3;
    head3_[h3] = p;

    const int limit = std::min(LONGEST_MATCH, end_ - p);
    if (limit < SHORTEST_MATCH) return {0, 0};
    const int low = std::max(p - WINDOW, 0);

    // The longest match of 4 bytes or more; only a strictly longer match
    // replaces the best, so a candidate can win only if it also matches
    // the byte at index best.
    if (limit > SHORTEST_MATCH) {
        int best = SHORTEST_MATCH;
        int best_candidate = -1;
        for (; candidate4 >= low; candidate4 = chain4_[static_cast<std::size_t>(candidate4)]) {
            const std::uint8_t* there = buffer + candidate4;
            if (there[best] != here[best]) continue;
            const int length = coding::match_length(here, there, limit);
            if (length > best) {
                best = length;
                best_candidate = candidate4;
                if (length == limit) break;  // no candidate can be longer
            }
        }
        if (best_candidate >= 0) return {best, p - best_candidate};
    }

    // No candidate shares 4 bytes (or there is room for 3 only): every
    // candidate that shares 3 gives the same length, and the nearest wins.
    for (; candidate3 >= low; candidate3 = chain3_[static_cast<std::size_t>(candidate3)]) {
        const std::uint8_t* there = buffer + candidate3;
        if (there[0] == here[0] && there[1] == here[1] && there[2] == here[2]) {
            return {SHORTEST_MATCH, p - candidate3};
        }
    }
    return {0, 0};
}

void DeflateEnc::slide(DeflateSource& input) {
    std::uint8_t* buffer = buffer_.data();
    std::memmove(buffer, buffer + SLIDE_DISTANCE, BUFFER_SIZE - SLIDE_DISTANCE);
    // Chain entries from 32768 up keep their old values: they are rewritten
    // when their positions are entered again, and no chain leads to them
    // before that.
    auto moved = [](std::int32_t entry) { return entry >= SLIDE_DISTANCE ? entry - SLIDE_DISTANCE : -1; };
    for (std::int32_t* chain : {chain4_.get(), chain3_.get()}) {
        for (std::int32_t i = 0; i < BUFFER_SIZE - SLIDE_DISTANCE; ++i) chain[i] = moved(chain[i + SLIDE_DISTANCE]);
    }
    for (std::int32_t* head : {head4_.get(), head3_.get()}) {
        std::for_each(head, head + (std::size_t{1} << hash_bits_),
                      [&moved](std::int32_t& entry) { entry = moved(entry); });
    }
    position_ -= SLIDE_DISTANCE;
    end_ = std::max(end_ - SLIDE_DISTANCE, 0);
    end_ += input.fill(buffer + end_, BUFFER_SIZE - end_);
}
