#include "lh5_match_finder_fast.h"

#include <algorithm>
#include <cstring>

#include "match_bytes.h"

namespace lzh {

namespace {

constexpr int MIN_MATCH = 3;
constexpr int MAX_MATCH = 256;
constexpr int MAX_DISTANCE = 8192;
constexpr int CHAIN_MASK = LH5MatchFinderFast::CHAIN_SIZE - 1;
constexpr int WORD = 8;

static_assert(LH5MatchFinderFast::BUFFER_SIZE >= 2 * LH5MatchFinderFast::CHAIN_SIZE + MAX_DISTANCE + MAX_MATCH,
              "a slide must move the buffer by at least one chain period");
static_assert(LH5MatchFinderFast::CHAIN_SIZE >= MAX_DISTANCE, "a walk must not meet a reused chain slot");

// Where the reference's buffer begins, in source bytes, when it searches at
// source position at: it slides by 8192 whenever its position reaches 16128,
// that is at 16128, 24320, 32512, ... After the k-th slide the buffer
// begins at 8192 k, so for the 256 positions from each slide point on less
// than 8192 bytes of history are left (7936 right at the slide point).
constexpr std::int64_t SLIDE_AT = 16128;
constexpr std::int64_t SLIDE = 8192;

inline std::int64_t reference_history_start(std::int64_t at) {
    if (at < SLIDE_AT) return 0;
    const std::int64_t slides = (at - SLIDE_AT) / SLIDE + 1;
    return slides * SLIDE;
}

}  // namespace

// The chains start zeroed (a slide moves every slot, also the ones no
// position has used yet); the heads are emptied before they are read.
LH5MatchFinderFast::LH5MatchFinderFast()
    : buffer_(BUFFER_SIZE + WORD), head_(coding::zeroed_table<std::int32_t>(std::size_t{1} << HASH_BITS)),
      chain_(coding::zeroed_table<std::int32_t>(CHAIN_SIZE)) {}

LH5MatchFinderFast& LH5MatchFinderFast::reused() {
    thread_local std::unique_ptr<LH5MatchFinderFast> finder;
    if (finder == nullptr) finder = std::make_unique<LH5MatchFinderFast>();
    return *finder;
}

void LH5MatchFinderFast::run(LH5SourceInput& input, LH5BlockEnc& output) {
    end_ = 0;
    position_ = 0;
    base_ = 0;
    fill(input);
    hash_bits_ = coding::hash_bits_for(end_, input.ended(), FEWEST_HASH_BITS, HASH_BITS);
    std::fill_n(head_.get(), std::size_t{1} << hash_bits_, -1);

    std::uint8_t* const buffer = buffer_.data();
    std::int32_t* const head = head_.get();
    std::int32_t* const chain = chain_.get();
    const int hash_bits = hash_bits_;
    while (position_ < end_) {
        // A fill stops only at the end of the buffer or of the source, so
        // while the source goes on, a short look-ahead means a full buffer.
        if (end_ - position_ < MAX_MATCH && !input.ended()) {
            slide();
            fill(input);
        }

        const std::int32_t p = position_;
        const int ahead = end_ - p;
        int best = MIN_MATCH - 1;
        int distance = 0;
        if (ahead >= MIN_MATCH) {
            const std::uint8_t* const current = buffer + p;
            const std::uint32_t hash = coding::hash3(current, hash_bits);
            const int longest = std::min(MAX_MATCH, ahead);
            const auto low = static_cast<std::int32_t>(std::max(
                {std::int64_t{p} - MAX_DISTANCE, reference_history_start(base_ + p) - base_, std::int64_t{0}}));
            for (std::int32_t g = head[hash]; g >= low; g = chain[g & CHAIN_MASK]) {
                const std::uint8_t* const candidate = buffer + g;
                // Only a longer match counts; it must agree one byte on.
                if (candidate[best] != current[best]) continue;
                const int length = coding::match_length(candidate, current, longest);
                if (length > best) {
                    best = length;
                    distance = p - g;
                    if (length == longest) break;
                }
            }
            chain[p & CHAIN_MASK] = head[hash];
            head[hash] = p;
        }

        if (best >= MIN_MATCH) {
            output.match_len_put(best + LH5BlockEnc::LENGTH_OFFSET, distance - 1);
            position_ += best;
        } else {
            output.literal_put(buffer[p]);
            ++position_;
        }
    }
}

void LH5MatchFinderFast::fill(LH5SourceInput& input) {
    end_ += static_cast<std::int32_t>(input.read(buffer_.data() + end_, static_cast<std::size_t>(BUFFER_SIZE - end_)));
    std::fill_n(buffer_.data() + end_, WORD, std::uint8_t{0});
}

void LH5MatchFinderFast::slide() {
    // Keep the 8192 bytes of reach behind the position; move by a multiple
    // of the chain period so that every position keeps its chain slot.
    const std::int32_t delta = std::max(position_ - MAX_DISTANCE, 0) & ~CHAIN_MASK;
    std::memmove(buffer_.data(), buffer_.data() + delta, static_cast<std::size_t>(end_ - delta));
    end_ -= delta;
    position_ -= delta;
    base_ += delta;
    const auto move_down = [delta](std::int32_t& entry) { entry = entry < delta ? -1 : entry - delta; };
    std::for_each(head_.get(), head_.get() + (std::size_t{1} << hash_bits_), move_down);
    std::for_each(chain_.get(), chain_.get() + CHAIN_SIZE, move_down);
}

}  // namespace lzh
