// BitInStream: hands out the bits of an input file, and whole bytes at byte
// boundaries of the file.
//
// One reader serves a whole archive: headers are read with byte_get, the
// compressed data of an entry with bit_get, n_bit_get and future_bits, and
// the next header starts at the byte boundary after the entry's last code.
//
// The file is read in large blocks and moved into a 64-bit accumulator up
// to eight bytes at a time for speed, but outward the stream behaves
// as if it took one byte from the file whenever it needed the next bit: the
// values returned, the end of data and the byte boundaries are those of the
// file. Because of the read-ahead, nobody else may read from the file while
// the stream is in use.
//
// End of data is the return value -1, never an exception. A value of 32
// one-bits is also -1; no caller reads more than 16 bits at once.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "bit_order.h"
#include "read_block.h"

namespace coding {

template <BitOrder Order>
class BitInStream {
public:
    static constexpr std::size_t DEFAULT_BLOCK_SIZE = 65536;

    // source: opened by the caller in binary mode, not owned; null reads as
    // an empty file. block_size: bytes per read from the file (tests use
    // tiny blocks to cross block boundaries often). size: the bytes left in
    // the file from where it stands, when the caller knows them (the size
    // it found when it opened it): the stream reads no further, and makes
    // no read to learn that the file has ended. 0 or less: not known, read
    // until a read delivers nothing (a pipe or a device reports a size of
    // 0 whatever it holds; an empty file costs one read more).
    explicit BitInStream(std::FILE* source, std::size_t block_size = DEFAULT_BLOCK_SIZE, std::int64_t size = -1)
        : source_(source), block_(block_for(block_size, size)), unread_(size > 0 ? size : -1) {}

    BitInStream(const BitInStream&) = delete;
    BitInStream& operator=(const BitInStream&) = delete;

    // The next bit (0 or 1), or -1 at end of data.
    int bit_get() {
        if (held_ == 0 && !top_up(1)) return -1;
        return static_cast<int>(take(1));
    }

    // The next n bits (0 <= n <= 32) as an unsigned value in the library's
    // order, or -1 at end of data. When the data ends inside the field, the
    // bits that were there are consumed all the same.
    int n_bit_get(int n) {
        if (n < 0 || n > 32) throw "n_bit_get: out of range.";
        if (n == 0) return 0;
        if (held_ < n && !top_up(n)) {
            held_ = 0;
            bits_ = 0;
            return -1;
        }
        return static_cast<int>(take(n));
    }

    // Consumes the next n bits (0 <= n <= 32) as n_bit_get does, without
    // assembling their value; false at end of data.
    bool n_bit_skip(int n) {
        if (n >= 0 && n <= 32 && n <= held_) {
            take(n);
            return true;
        }
        if (n < 0 || n > 32) throw "n_bit_skip: out of range.";
        if (!top_up(n)) {
            held_ = 0;
            bits_ = 0;
            return false;
        }
        take(n);
        return true;
    }

    // The next n bits (0 <= n <= 32) without consuming them, in the order of
    // n_bit_get. Bits beyond the end of the data read as 0: only truncated or
    // corrupt data makes a decoder consume them, and then n_bit_get reports
    // the end.
    int future_bits(int n) {
        if (n < 0 || n > 32) throw "future_bits: out of range.";
        if (n == 0) return 0;
        if (held_ < n) top_up(n);
        return static_cast<int>(peek(n));
    }

    // Skips to the next byte boundary and returns the next whole byte of the
    // file (0 to 255), or -1 at end of data.
    int byte_get() {
        // Bits enter the accumulator a byte at a time, so the bits left of
        // the current byte are the held count modulo 8.
        if (const int partial = held_ % 8; partial != 0) take(partial);
        if (held_ < 8 && !top_up(8)) return -1;
        // In both orders the 8 bits assemble back into the file's byte.
        return static_cast<int>(take(8));
    }

    // The bit state as a decode loop keeps it in local variables (so in
    // registers, where the bytes the loop writes cannot alias it): the bits
    // held and the unread bytes of the current block. Nothing is checked.
    //
    // Most significant first, the cursor keeps the held bits at the top of
    // its word (the next one at bit 63), so that looking bits up is one
    // shift by a fixed amount and consuming them one shift the other way.
    // In both orders the bits past the held ones are zero or the file's
    // next bits already, which a later load puts there again.
    class Cursor {
    public:
        // Tops the held bits up to at least 56 with one word when more
        // than 56 are held already or eight bytes of the block are left;
        // false (nothing changed) near the end of a block or of the file,
        // where the caller goes back to the stream's checked calls. The
        // whole word goes in next to the held bits and the bytes that fit
        // completely are counted: no branch on how many (56 held take none).
        bool refill() {
            if (held_ > 56) return true;
            if (end_ - next_ < 8) return false;
            if constexpr (Order == BitOrder::LSB_FIRST) {
                bits_ |= load_word(next_) << held_;
            } else {
                bits_ |= load_word(next_) >> held_;
            }
            next_ += (63 - held_) >> 3;
            held_ |= 56;
            return true;
        }
        int held() const { return held_; }
        // The next n bits (1 <= n <= held()), as future_bits gives them.
        std::uint32_t peek_held(int n) const { return peek_after(0, n); }
        // The n bits (1 <= n <= 32) after the next skip bits, skip + n <=
        // held(); the index of a table lookup.
        std::uint32_t peek_after(int skip, int n) const {
            if constexpr (Order == BitOrder::MSB_FIRST) {
                return static_cast<std::uint32_t>((bits_ << skip) >> (64 - n));
            } else {
                return static_cast<std::uint32_t>((bits_ >> skip) & ((std::uint64_t{1} << n) - 1));
            }
        }
        // Consumes the next n bits (0 <= n <= 32, n <= held()) and returns
        // their value as n_bit_get would.
        std::uint32_t take_held(int n) {
            if constexpr (Order == BitOrder::MSB_FIRST) {
                // Two shifts, so that 0 bits give 0 without a test.
                const auto value = static_cast<std::uint32_t>((bits_ >> 1) >> (63 - n));
                bits_ <<= n;
                held_ -= n;
                return value;
            } else {
                return take_of(bits_, held_, n);
            }
        }
        // Consumes the next n bits (0 <= n <= held()) without their value.
        void skip_held(int n) {
            if constexpr (Order == BitOrder::LSB_FIRST) {
                bits_ >>= n;
            } else {
                bits_ <<= n;
            }
            held_ -= n;
        }

    private:
        friend class BitInStream;
        Cursor(std::uint64_t bits, int held, const std::uint8_t* next, const std::uint8_t* end)
            : bits_(bits), held_(held), next_(next), end_(end) {}
        std::uint64_t bits_;
        int held_;
        const std::uint8_t* next_;
        const std::uint8_t* end_;
    };

    // A cursor at the stream's place; the stream must not be used until
    // resume() takes the cursor's place back.
    Cursor cursor() const {
        std::uint64_t bits = bits_;
        if constexpr (Order == BitOrder::MSB_FIRST) bits = held_ == 0 ? 0 : bits_ << (64 - held_);
        return Cursor(bits, held_, block_.data() + next_, block_.data() + filled_);
    }
    void resume(const Cursor& cursor) {
        const auto next = static_cast<std::size_t>(cursor.next_ - block_.data());
        loaded_ += static_cast<std::int64_t>(next - next_);
        next_ = next;
        bits_ = cursor.bits_;
        held_ = cursor.held_;
        if constexpr (Order == BitOrder::MSB_FIRST) bits_ = held_ == 0 ? 0 : bits_ >> (64 - held_);
    }

    // Reads up to size whole bytes of the file into destination, from the
    // next byte boundary on, as byte_get would one by one; returns how
    // many there were (fewer only at the end of the data).
    std::size_t bytes_get(std::uint8_t* destination, std::size_t size) {
        if (const int partial = held_ % 8; partial != 0) take(partial);
        std::size_t got = 0;
        while (got < size && held_ >= 8) destination[got++] = static_cast<std::uint8_t>(take(8));
        // Nothing is held now; bits of the bytes copied below that a
        // refill looked ahead at must not stay behind.
        if (got < size) bits_ = 0;
        while (got < size) {
            if (next_ == filled_ && !read_block()) break;
            const std::size_t run = std::min(size - got, filled_ - next_);
            std::memcpy(destination + got, block_.data() + next_, run);
            next_ += run;
            loaded_ += static_cast<std::int64_t>(run);
            got += run;
        }
        return got;
    }

    // Bytes of the file consumed so far, a byte counting as consumed once
    // any of its bits has been handed out: the offset of the byte that the
    // next byte_get returns. The LZH driver measures with it how much of an
    // entry's data the decoder has read.
    std::int64_t byte_position() const { return loaded_ - held_ / 8; }

    // The first block of the file, read now, before anything is taken from
    // the stream (afterwards: whatever of the current block is left unread,
    // without the bytes held). Nothing is consumed: a reader looks at the
    // start of a file (a signature, a header after leading bytes) without a
    // read of its own, then goes on from the start or moves into the block
    // (move_within_block).
    std::span<const std::uint8_t> block_ahead() {
        if (next_ == filled_ && held_ == 0) read_block();
        return {block_.data() + next_, filled_ - next_};
    }

    // Moves to the byte at position (as byte_position counts) when the
    // block read last holds it, as if the stream had been opened there:
    // no bits held, the next byte_get returns that byte. False, nothing
    // changed, when the block does not hold it; the caller reads the file
    // again from there. Saves a reader of members scattered over a file
    // from reading the same block again for every member.
    bool move_within_block(std::int64_t position) {
        const std::int64_t block_start = loaded_ - static_cast<std::int64_t>(next_);
        if (position < block_start || position >= block_start + static_cast<std::int64_t>(filled_)) return false;
        next_ = static_cast<std::size_t>(position - block_start);
        loaded_ = position;
        bits_ = 0;
        held_ = 0;
        return true;
    }

private:
    // Most significant first: the held bits are the low held_ bits of bits_,
    // the next one at bit held_ - 1. Least significant first: the next one is
    // bit 0, and the bits from held_ up are zero or, after a Cursor's
    // refill, the next bits of the file already (ORing them in again when
    // their byte is loaded changes nothing).
    std::uint32_t take(int n) { return take_of(bits_, held_, n); }
    std::uint32_t peek(int n) const { return peek_of(bits_, held_, n); }

    static std::uint32_t take_of(std::uint64_t& bits, int& held, int n) {
        // n <= 32: the mask is formed in 64 bits, without a test for 32.
        const std::uint64_t mask = (std::uint64_t{1} << n) - 1;
        std::uint32_t value;
        if constexpr (Order == BitOrder::MSB_FIRST) {
            value = static_cast<std::uint32_t>((bits >> (held - n)) & mask);
        } else {
            value = static_cast<std::uint32_t>(bits & mask);
            bits >>= n;
        }
        held -= n;
        return value;
    }

    static std::uint32_t peek_of(std::uint64_t bits, int held, int n) {
        if constexpr (Order == BitOrder::MSB_FIRST) {
            const std::uint64_t aligned = held >= n ? bits >> (held - n) : bits << (n - held);
            return static_cast<std::uint32_t>(aligned) & low_mask(n);
        } else {
            return static_cast<std::uint32_t>(bits) & low_mask(n);
        }
    }

    // With at most 56 bits held and eight bytes at from: loads the whole
    // bytes that fit from one word and returns how many (1 to 8).
    static int word_into(const std::uint8_t* from, std::uint64_t& bits, int& held) {
        const int bytes = (64 - held) / 8;
        const std::uint64_t word = load_word(from);
        if (bytes == 8) {
            bits = word;
        } else if constexpr (Order == BitOrder::MSB_FIRST) {
            bits = (bits << (8 * bytes)) | (word >> (64 - 8 * bytes));
        } else {
            bits |= (word & ((std::uint64_t{1} << (8 * bytes)) - 1)) << held;
        }
        held += 8 * bytes;
        return bytes;
    }

    // Loads whole bytes until at least 57 bits are held or the file ends;
    // true when at least need bits are held. Where eight bytes of the
    // block are left, the bytes that fit are taken from one word at once.
    bool top_up(int need) {
        if (held_ <= 56 && filled_ - next_ >= 8) {
            const int bytes = word_into(block_.data() + next_, bits_, held_);
            next_ += static_cast<std::size_t>(bytes);
            loaded_ += bytes;
        }
        while (held_ <= 56) {
            if (next_ == filled_ && !read_block()) break;
            const std::uint64_t byte = block_[next_++];
            if constexpr (Order == BitOrder::MSB_FIRST) {
                bits_ = (bits_ << 8) | byte;
            } else {
                bits_ |= byte << held_;
            }
            held_ += 8;
            ++loaded_;
        }
        return held_ >= need;
    }

    // Eight bytes as one word whose first byte is the first to be read: the
    // top byte most significant first, the low byte least significant first.
    // Callers load a word only where eight bytes are left; GCC at -O3 cannot
    // see that through an inlined short block and warns of bounds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    static std::uint64_t load_word(const std::uint8_t* p) {
        std::uint64_t word = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // One load: the first byte is the low byte already.
            std::memcpy(&word, p, 8);
            if constexpr (Order == BitOrder::MSB_FIRST) word = __builtin_bswap64(word);
            return word;
        }
        for (int k = 0; k < 8; ++k) {
            if constexpr (Order == BitOrder::MSB_FIRST) {
                word = (word << 8) | p[k];
            } else {
                word |= std::uint64_t{p[k]} << (8 * k);
            }
        }
        return word;
    }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

    // A file known to be smaller than a block gets a block of its size: a
    // small archive's reader then takes no more memory than the archive.
    static std::size_t block_for(std::size_t block_size, std::int64_t size) {
        if (size > 0 && static_cast<std::uint64_t>(size) < block_size) block_size = static_cast<std::size_t>(size);
        return block_size > 0 ? block_size : 1;
    }

    bool read_block() {
        if (ended_ || unread_ == 0 || source_ == nullptr) {
            ended_ = true;
            return false;
        }
        std::size_t want = block_.size();
        if (unread_ > 0 && static_cast<std::uint64_t>(unread_) < want) want = static_cast<std::size_t>(unread_);
        filled_ = std::fread(block_.data(), 1, want, source_);
        next_ = 0;
        if (unread_ > 0) unread_ -= static_cast<std::int64_t>(filled_);
        // fread keeps reading until it has what it was asked for (from a
        // pipe too), so it delivers less only at the end of the file or
        // after an error. At the end nothing is left to read, so the next
        // read, which would deliver nothing, is not made. After an error it
        // is (the stream ends only when a read delivers nothing). The
        // stream never restarts after its end.
        if (filled_ == 0) ended_ = true;
        if (filled_ < want && std::feof(source_)) unread_ = 0;
        return filled_ > 0;
    }

    std::FILE* source_;
    ReadBlock block_;
    std::size_t next_ = 0;    // next unread byte of block_
    std::size_t filled_ = 0;  // valid bytes in block_
    bool ended_ = false;
    std::int64_t unread_;  // bytes of the file not read yet (0 once a read met its end); -1: not known
    std::uint64_t bits_ = 0;
    int held_ = 0;             // bits held in bits_, 0 to 64
    std::int64_t loaded_ = 0;  // bytes moved from block_ into bits_
};

}  // namespace coding
