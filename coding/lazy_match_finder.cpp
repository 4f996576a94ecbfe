#include "lazy_match_finder.h"

#include <algorithm>
#include <cstring>

#include "match_bytes.h"

namespace coding {

namespace {

// The most buckets of the four-byte chains; the three-byte table has half
// as many. A file that fits the buffer gets fewer, in proportion to its
// size, so that clearing them does not cost more than the file.
constexpr int HASH4_BITS = 16;
constexpr int FEWEST_HASH4_BITS = 10;
// Bytes past the buffer's end that the eight-byte comparisons and the
// four-byte hashes of the last positions may read.
constexpr std::size_t LOAD_TAIL = 8;

// A hint that *address is read soon; the bucket tables are far larger than
// the first-level cache, and a bucket is a miss more often than not.
inline void prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

}  // namespace

LazyMatchFinder::LazyMatchFinder(const LazyMatchParams& params)
    : params_(params), buffer_size_(4 * params.window), chain_mask_(2 * params.window - 1),
      buffer_(new std::uint8_t[static_cast<std::size_t>(buffer_size_) + LOAD_TAIL]),
      head4_(new std::int32_t[std::size_t{1} << HASH4_BITS]),
      head3_(new std::int32_t[std::size_t{1} << (HASH4_BITS - 1)]),
      chain_(new std::int32_t[static_cast<std::size_t>(2 * params.window)]) {}

LazyMatchFinder& LazyMatchFinder::reused(const LazyMatchParams& params) {
    thread_local std::unique_ptr<LazyMatchFinder> finder;
    if (finder == nullptr || !(finder->params_ == params)) finder = std::make_unique<LazyMatchFinder>(params);
    return *finder;
}

void LazyMatchFinder::reset() {
    // The chains need no clearing: a walk only follows the slots of
    // positions already entered. The few bytes past the input's end are
    // read by the last hashes and wide loads and never counted; they are
    // zeros (here and in end_input) so that nothing reads memory that was
    // never written.
    std::fill_n(buffer_.get() + buffer_size_, LOAD_TAIL, std::uint8_t{0});
    end_ = 0;
    ended_ = false;
}

void LazyMatchFinder::clear_heads() {
    hash4_bits_ = coding::hash_bits_for(end_, ended_, FEWEST_HASH4_BITS, HASH4_BITS);
    std::fill_n(head4_.get(), std::size_t{1} << hash4_bits_, -1);
    std::fill_n(head3_.get(), std::size_t{1} << (hash4_bits_ - 1), -1);
}

void LazyMatchFinder::end_input() {
    ended_ = true;
    std::fill_n(buffer_.get() + end_, LOAD_TAIL, std::uint8_t{0});
}

std::int32_t LazyMatchFinder::slide(std::int32_t p) {
    // A multiple of the chain period, so that every position keeps its slot.
    const std::int32_t delta = std::max(p - params_.window, 0) & ~chain_mask_;
    if (delta == 0) return 0;
    std::memmove(buffer_.get(), buffer_.get() + delta, static_cast<std::size_t>(end_ - delta));
    end_ -= delta;
    const auto move_down = [delta](std::int32_t& entry) { entry = entry < delta ? -1 : entry - delta; };
    std::for_each(head4_.get(), head4_.get() + (std::size_t{1} << hash4_bits_), move_down);
    std::for_each(head3_.get(), head3_.get() + (std::size_t{1} << (hash4_bits_ - 1)), move_down);
    // Slots of positions not yet entered hold garbage that no walk reads.
    std::for_each(chain_.get(), chain_.get() + chain_mask_ + 1, move_down);
    return delta;
}

void LazyMatchFinder::insert(std::int32_t p) {
    const std::uint8_t* const here = buffer_.get() + p;
    const std::uint32_t key = key4(here);
    const std::uint32_t h4 = hash_key(key, hash4_bits_);
    prefetch(&head4_[hash4(here + 1, hash4_bits_)]);
    chain_[static_cast<std::size_t>(p & chain_mask_)] = head4_[h4];
    head4_[h4] = p;
    head3_[hash_key(key & 0xFFFFFF, hash4_bits_ - 1)] = p;
}

LazyMatchFinder::Match LazyMatchFinder::insert_and_search(std::int32_t p, int at_least) {
    const int limit = std::min(params_.longest, end_ - p);
    const std::uint8_t* const buffer = buffer_.get();
    const std::uint8_t* const here = buffer + p;
    const std::uint32_t key = key4(here);
    const std::uint32_t h4 = hash_key(key, hash4_bits_);
    // The next position's bucket is needed next, whether it is searched or
    // only entered: its cache line is fetched while this chain is walked.
    prefetch(&head4_[hash4(here + 1, hash4_bits_)]);
    std::int32_t candidate = head4_[h4];
    chain_[static_cast<std::size_t>(p & chain_mask_)] = candidate;
    head4_[h4] = p;
    std::int32_t& slot3 = head3_[hash_key(key & 0xFFFFFF, hash4_bits_ - 1)];
    const std::int32_t candidate3 = slot3;
    slot3 = p;

    int best = std::max(at_least, SHORTEST - 1);
    if (best >= limit) return {};
    Match found;
    const std::int32_t low = std::max(p - params_.window, 0);
    if (limit > SHORTEST) {
        int chain_left = at_least >= params_.good_length ? search_.max_chain / 4 : search_.max_chain;
        const std::uint32_t head_bytes = load32(here);
        // The four bytes ending at index best (or the first four while no
        // match is in hand).
        int tail = std::max(best - 3, 0);
        std::uint32_t tail_bytes = load32(here + tail);
        for (; candidate >= low && chain_left > 0;
             candidate = chain_[static_cast<std::size_t>(candidate & chain_mask_)], --chain_left) {
            const std::uint8_t* const there = buffer + candidate;
            if (load32(there + tail) != tail_bytes || load32(there) != head_bytes) continue;
            const int length = 4 + match_length(here + 4, there + 4, limit - 4);
            if (length > best) {
                best = length;
                found = {length, p - candidate};
                if (length >= search_.nice_length || length == limit) return found;
                tail = best - 3;
                tail_bytes = load32(here + tail);
            }
        }
        if (found.length != 0) return found;
    }
    // No four-byte match: the nearest three-byte one, if near enough.
    if (best < SHORTEST && candidate3 >= std::max(low, p - params_.far_three)) {
        const std::uint8_t* const there = buffer + candidate3;
        if (there[0] == here[0] && there[1] == here[1] && there[2] == here[2]) return {SHORTEST, p - candidate3};
    }
    return found;
}

}  // namespace coding
