#include "lazy_match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace coding {

namespace {

constexpr int HASH_BITS = 16;
// Bytes past the buffer's end that the eight-byte comparisons and the
// three-byte hashes of the last positions may read.
constexpr std::size_t LOAD_TAIL = 8;

std::uint32_t hash3(const std::uint8_t* bytes) {
    const std::uint32_t key = bytes[0] | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16;
    return (key * 0x9E3779B1u) >> (32 - HASH_BITS);
}

// The length of the common prefix of here and there, at most limit; reads
// up to seven bytes beyond limit without counting them.
int match_length(const std::uint8_t* here, const std::uint8_t* there, int limit) {
    if constexpr (std::endian::native == std::endian::little) {
        for (int length = 0; length < limit; length += 8) {
            std::uint64_t a;
            std::uint64_t b;
            std::memcpy(&a, here + length, 8);
            std::memcpy(&b, there + length, 8);
            // In a little-endian load the first byte is the lowest.
            if (const std::uint64_t diff = a ^ b; diff != 0) {
                return std::min(length + std::countr_zero(diff) / 8, limit);
            }
        }
        return limit;
    } else {
        int length = 0;
        while (length < limit && here[length] == there[length]) ++length;
        return length;
    }
}

}  // namespace

LazyMatchFinder::LazyMatchFinder(const LazyMatchParams& params)
    : params_(params), buffer_size_(4 * params.window), chain_mask_(2 * params.window - 1),
      buffer_(static_cast<std::size_t>(buffer_size_) + LOAD_TAIL, 0), head_(std::size_t{1} << HASH_BITS, -1),
      chain_(static_cast<std::size_t>(2 * params.window), -1) {}

void LazyMatchFinder::reset() {
    std::fill(buffer_.begin(), buffer_.end(), 0);
    std::fill(head_.begin(), head_.end(), -1);
    std::fill(chain_.begin(), chain_.end(), -1);
    end_ = 0;
    ended_ = false;
}

std::int32_t LazyMatchFinder::slide(std::int32_t p) {
    // A multiple of the chain period, so that every position keeps its slot.
    const std::int32_t delta = std::max(p - params_.window, 0) & ~chain_mask_;
    if (delta == 0) return 0;
    std::memmove(buffer_.data(), buffer_.data() + delta, static_cast<std::size_t>(end_ - delta));
    end_ -= delta;
    const auto move_down = [delta](std::int32_t& entry) { entry = entry < delta ? -1 : entry - delta; };
    std::for_each(head_.begin(), head_.end(), move_down);
    std::for_each(chain_.begin(), chain_.end(), move_down);
    return delta;
}

void LazyMatchFinder::insert(std::int32_t p) {
    const std::uint32_t hash = hash3(buffer_.data() + p);
    chain_[static_cast<std::size_t>(p & chain_mask_)] = head_[hash];
    head_[hash] = p;
}

LazyMatchFinder::Match LazyMatchFinder::insert_and_search(std::int32_t p, int at_least) {
    const int limit = std::min(params_.longest, end_ - p);
    if (limit < SHORTEST) return {};
    const std::uint8_t* const buffer = buffer_.data();
    const std::uint8_t* const here = buffer + p;
    const std::uint32_t hash = hash3(here);
    std::int32_t candidate = head_[hash];
    chain_[static_cast<std::size_t>(p & chain_mask_)] = candidate;
    head_[hash] = p;

    const std::int32_t low = std::max(p - params_.window, 0);
    int chain_left = at_least >= params_.good_length ? params_.max_chain / 4 : params_.max_chain;
    int best = std::max(at_least, SHORTEST - 1);
    if (best >= limit) return {};
    Match found;
    for (; candidate >= low && chain_left > 0;
         candidate = chain_[static_cast<std::size_t>(candidate & chain_mask_)], --chain_left) {
        const std::uint8_t* const there = buffer + candidate;
        // Only a longer match counts: it must agree at the byte past the best.
        if (there[best] != here[best] || there[0] != here[0]) continue;
        const int length = match_length(here, there, limit);
        if (length > best) {
            best = length;
            found = {length, p - candidate};
            if (length >= params_.nice_length || length == limit) break;
        }
    }
    return found;
}

}  // namespace coding
