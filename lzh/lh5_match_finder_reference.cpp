#include "lh5_match_finder_reference.h"

#include <algorithm>
#include <cstring>

namespace lzh {

namespace {

constexpr int MIN_MATCH = 3;
constexpr int MAX_MATCH = 256;
constexpr int MAX_DISTANCE = 8192;

}  // namespace

LH5MatchFinderReference::LH5MatchFinderReference()
    : buffer_(BUFFER_SIZE, 0), chain_(BUFFER_SIZE, -1), head_(KEYS, -1) {}

void LH5MatchFinderReference::run(LH5SourceInput& input, LH5BlockEnc& output) {
    std::fill(chain_.begin(), chain_.end(), -1);
    std::fill(head_.begin(), head_.end(), -1);
    end_ = 0;
    position_ = 0;
    fill(input);
    while (position_ < end_) {
        const Match match = find_longest_match(position_);
        if (match.length >= MIN_MATCH) {
            output.match_len_put(match.length + LH5BlockEnc::LENGTH_OFFSET, match.distance - 1);
            for (int k = 0; k < match.length; ++k) advance(input);
        } else {
            output.literal_put(buffer_[static_cast<std::size_t>(position_)]);
            advance(input);
        }
    }
}

void LH5MatchFinderReference::fill(LH5SourceInput& input) {
    while (end_ < BUFFER_SIZE) {
        const int c = input.byte_get();
        if (c < 0) return;
        buffer_[static_cast<std::size_t>(end_++)] = static_cast<std::uint8_t>(c);
    }
}

LH5MatchFinderReference::Match LH5MatchFinderReference::find_longest_match(int p) {
    // The position never reaches SLIDE_AT, so p + 1 lies in the buffer. At
    // the last byte of the source it is a stale byte, which is harmless: no
    // match can start there, and nothing comes after it.
    const auto at = [this](int i) { return buffer_[static_cast<std::size_t>(i)]; };
    const int key = at(p) * 256 + at(p + 1);
    Match best{0, 0};
    std::int32_t g = head_[static_cast<std::size_t>(key)];
    if (g != -1) {
        const int low = std::max(p - MAX_DISTANCE, 0);
        while (g != -1 && g >= low) {
            // The first two bytes match through the key.
            int i = 2;
            while (i < MAX_MATCH && p + i < end_ && at(p + i) == at(g + i)) ++i;
            // Strictly longer only: of equal lengths the nearer one stays.
            if (i > best.length) best = {i, p - g};
            g = chain_[static_cast<std::size_t>(g)];
        }
    }
    chain_[static_cast<std::size_t>(p)] = head_[static_cast<std::size_t>(key)];
    head_[static_cast<std::size_t>(key)] = p;
    return best;
}

void LH5MatchFinderReference::advance(LH5SourceInput& input) {
    if (++position_ < SLIDE_AT) return;

    // Slide by 8192: the upper half moves down, every position with it.
    position_ -= SLIDE;
    std::memmove(buffer_.data(), buffer_.data() + SLIDE, BUFFER_SIZE - SLIDE);
    for (int i = 0; i < SLIDE; ++i) {
        const std::int32_t moved = chain_[static_cast<std::size_t>(i + SLIDE)] - SLIDE;
        chain_[static_cast<std::size_t>(i)] = moved < 0 ? -1 : moved;
    }
    // Entries from 8192 up keep their old values: those positions lie ahead
    // and are rewritten when they are entered.
    for (auto& h : head_) h = h - SLIDE < 0 ? -1 : h - SLIDE;
    end_ = std::max(end_ - SLIDE, 0);
    fill(input);
}

}  // namespace lzh
