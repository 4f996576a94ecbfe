// HuffDec: reads one symbol of a canonical Huffman code from a BitInStream.
//
// The code is given by its lengths (BLenTable). Each symbol's code is keyed
// left-aligned in a field of width bits (width = the longest length), so
// the keys sort in code order and a code owns the key range it prefixes.
// A symbol is found from the next width bits of the input (looked ahead,
// not consumed) and then exactly its code's bits are consumed.
//
// Incomplete codes are accepted. Bits that no code prefixes (only corrupt
// data has them) decode as the code with the next higher key, or the last
// code when there is none; every result is a symbol of the table.
//
// Two decoding paths give the same results: decode_by_search, an ordered
// search over the keys for every symbol, and decode, which looks the first
// FAST_BITS bits up in a main table and, where those bits do not settle the
// symbol, the next bits in a subtable of that row: one or two lookups for
// every code. The first is the reference for the second.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bit_in_stream.h"
#include "bit_order.h"
#include "bit_pattern_table.h"
#include "blen_table.h"

namespace coding {

template <BitOrder Order>
class HuffDec {
public:
    // Bits resolved by the main table; 2^FAST_BITS rows are built per
    // decoder, and a subtable for each row that they do not settle.
    static constexpr int FAST_BITS = 10;

    // single: how a table with exactly one used symbol is decoded (see
    // SingleCode). Throws the BitPatternTable texts for bad lengths and
    // "HuffDec: program error." for a table without any code.
    HuffDec(const BLenTable& table, SingleCode single) {
        // The canonical code straight into entries, with BitPatternTable's
        // checks and texts: the codes are placed by length, in symbol order
        // within each length, which is key order. A key is the code
        // left-aligned in top bits.
        const std::vector<std::int8_t>& lengths = table.lengths;
        const int top = table.max_length;
        CanonicalStarts starts = canonical_starts(table);
        std::array<std::int64_t, MAX_CODE_LENGTH + 1>& next_key = starts.start;
        std::array<std::size_t, MAX_CODE_LENGTH + 1> place{};
        std::size_t used = 0;
        for (int i = 1; i <= top; ++i) {
            place[static_cast<std::size_t>(i)] = used;
            used += static_cast<std::size_t>(starts.count[static_cast<std::size_t>(i)]);
        }
        width_ = top;
        if (width_ == 0 || lengths.size() > 0x10000) throw "HuffDec: program error.";
        entries_.resize(used);
        if (entries_.empty()) throw "HuffDec: program error.";
        for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
            const int length = lengths[symbol];
            if (length == 0) continue;
            std::int64_t& next = next_key[static_cast<std::size_t>(length)];
            entries_[place[static_cast<std::size_t>(length)]++] = {static_cast<std::int32_t>(next), length,
                                                                   static_cast<std::int32_t>(symbol)};
            next += std::int64_t{1} << (top - length);
        }

        if (single == SingleCode::ZERO_BITS && entries_.size() == 1) {
            zero_bit_symbol_ = entries_.front().symbol;
            // For Held: both rows of a one-bit main table give the symbol
            // and consume nothing, so its loop needs no test of its own.
            fast_bits_ = 1;
            fast_.assign(2, leaf(0, zero_bit_symbol_));
            return;
        }
        build_fast_table();
    }

    // The next symbol, or -1 when the input ends inside its code.
    int decode(BitInStream<Order>& input) const {
        if (zero_bit_symbol_ >= 0) return zero_bit_symbol_;
        const Fast fast =
            lookup(fast_.data(), width_, fast_bits_, static_cast<std::uint32_t>(input.future_bits(width_)));
        return consume(input, fast.length, fast.value);
    }

    // A row of the main table or of a subtable: a symbol and its code
    // length, or (main table only) where the row's subtable starts and how
    // many further bits index it.
    struct Fast {
        std::uint8_t length;
        std::uint8_t sub_bits;  // 0: value is the symbol
        std::uint16_t value;
    };

    // decode for a decode loop whose cursor (BitInStream::Cursor) holds at
    // least width() bits: no checks, no end of data. A loop copies it once
    // into a local, so that the tables' place and sizes stay in registers
    // rather than being read again after every byte the loop writes.
    class Held {
    public:
        template <class Cursor>
        int decode(Cursor& input) const {
            Fast fast = table_[input.peek_after(0, fast_bits_)];
            if (fast.sub_bits != 0) {
                fast = table_[static_cast<std::size_t>(fast.value) + input.peek_after(fast_bits_, fast.sub_bits)];
            }
            input.skip_held(fast.length);
            return fast.value;
        }

    private:
        friend class HuffDec;
        Held(const Fast* table, int fast_bits) : table_(table), fast_bits_(fast_bits) {}
        const Fast* table_;
        int fast_bits_;
    };
    Held held() const { return Held(fast_.data(), fast_bits_); }
    template <class Cursor>
    int decode_held(Cursor& input) const {
        return held().decode(input);
    }

    // The same as decode, by an ordered search for every symbol.
    int decode_by_search(BitInStream<Order>& input) const {
        if (zero_bit_symbol_ >= 0) return zero_bit_symbol_;
        const Entry& entry = search(key_of(static_cast<std::uint32_t>(input.future_bits(width_))));
        return consume(input, entry.length, entry.symbol);
    }

    // Bits looked ahead per symbol: the longest code length.
    int width() const { return width_; }

private:
    struct Entry {
        std::int32_t key;     // code left-aligned in width_ bits
        std::int32_t length;  // 1 to width_
        std::int32_t symbol;
    };
    // The row for width looked-ahead bits: the main table's, or the one of
    // its subtable.
    static Fast lookup(const Fast* table, int width, int fast_bits, std::uint32_t peek) {
        const std::uint32_t row =
            Order == BitOrder::MSB_FIRST ? peek >> (width - fast_bits) : peek & low_mask(fast_bits);
        Fast fast = table[row];
        if (fast.sub_bits != 0) {
            // The bits after the row's, in the order read.
            const std::uint32_t next =
                Order == BitOrder::MSB_FIRST ? peek >> (width - fast_bits - fast.sub_bits) : peek >> fast_bits;
            fast = table[static_cast<std::size_t>(fast.value) + (next & low_mask(fast.sub_bits))];
        }
        return fast;
    }

    // The looked-ahead bits as a key: the first bit read is the top bit.
    std::uint32_t key_of(std::uint32_t peek) const {
        return Order == BitOrder::MSB_FIRST ? peek : reverse_bits(peek, width_);
    }

    static int consume(BitInStream<Order>& input, int length, int symbol) {
        // Codes are at most 16 bits, so a failure can only mean the end of
        // data.
        return input.n_bit_skip(length) ? symbol : -1;
    }

    // The entry for a key: the code that prefixes it; in a gap of an
    // incomplete code the next code up, past the last code the last one.
    const Entry& search(std::uint32_t key) const {
        const auto found = std::lower_bound(entries_.begin(), entries_.end(), static_cast<std::int32_t>(key),
                                            [](const Entry& entry, std::int32_t k) { return entry.key < k; });
        if (found == entries_.end()) return entries_.back();
        if (found != entries_.begin()) {
            const Entry& before = *(found - 1);
            const int shift = width_ - before.length;
            if ((before.key >> shift) == static_cast<std::int32_t>(key >> shift)) return before;
        }
        return *found;
    }

    // By the search above, the keys fall into consecutive ranges, one per
    // entry in key order: entry i owns the keys from the end of entry i-1's
    // code range (the gap before its own code included) to the end of its
    // own range; the last entry owns everything up to 2^width_. A row of the
    // main table covers the keys that begin with its FAST_BITS bits; when
    // one entry owns them all, the row holds that entry. Otherwise the
    // ranges that end inside the row end on multiples of 2^(width_ - L) for
    // their code lengths L, so with sub_bits = the largest such L minus
    // FAST_BITS every slot of the row's subtable lies in one range.
    void build_fast_table() {
        fast_bits_ = std::min(width_, FAST_BITS);
        std::int64_t space = 0;
        for (const Entry& entry : entries_) space += std::int64_t{1} << (width_ - entry.length);
        if (space == std::int64_t{1} << width_) {
            build_complete();
            return;
        }
        const int row_shift = width_ - fast_bits_;
        const std::size_t rows = std::size_t{1} << fast_bits_;
        fast_.assign(rows, Fast{});
        std::size_t owner = 0;
        for (std::uint32_t prefix = 0; prefix < rows; ++prefix) {
            const std::int64_t first = std::int64_t{prefix} << row_shift;
            const std::int64_t end = first + (std::int64_t{1} << row_shift);
            while (range_end(owner) <= first) ++owner;
            const std::size_t row = index_of(prefix, fast_bits_);
            if (range_end(owner) >= end) {
                fast_[row] = leaf(entries_[owner].length, entries_[owner].symbol);
                continue;
            }
            int longest = 0;
            for (std::size_t i = owner; range_end(i) < end; ++i) longest = std::max(longest, entries_[i].length);
            const int sub_bits = longest - fast_bits_;
            const int slot_shift = row_shift - sub_bits;
            fast_[row] = link(sub_bits, fast_.size());
            const std::size_t base = fast_.size();
            fast_.resize(base + (std::size_t{1} << sub_bits));
            for (std::uint32_t slot = 0; slot < (std::uint32_t{1} << sub_bits); ++slot) {
                const std::int64_t slot_first = first + (std::int64_t{slot} << slot_shift);
                while (range_end(owner) <= slot_first) ++owner;
                fast_[base + index_of(slot, sub_bits)] = leaf(entries_[owner].length, entries_[owner].symbol);
            }
        }
    }

    // The same table for a complete code, which has no gaps: every code
    // owns exactly the keys it prefixes. So a code of at most FAST_BITS
    // bits fills a run of rows in key order, which read first bit first is
    // every 2^length-th row; a longer code does the same in the subtable of
    // its row, which is as wide as the row's longest code needs. That code
    // is the row's last, and its sibling, the code before it, is as long,
    // so the width is the one the general build finds. Rows and slots are
    // written once each rather than searched for one by one.
    void build_complete() {
        const int row_shift = width_ - fast_bits_;
        const std::size_t rows = std::size_t{1} << fast_bits_;
        std::size_t first_long = 0;
        while (first_long < entries_.size() && entries_[first_long].length <= fast_bits_) ++first_long;
        // The subtables' sizes first, so the table is allocated once.
        std::size_t size = rows;
        for (std::size_t i = first_long; i < entries_.size();) {
            const std::size_t j = row_group_end(i, row_shift);
            size += std::size_t{1} << (entries_[j - 1].length - fast_bits_);
            i = j;
        }
        fast_.assign(size, Fast{});
        for (std::size_t i = 0; i < first_long; ++i) {
            const Entry& entry = entries_[i];
            fill(0, static_cast<std::uint32_t>(entry.key) >> row_shift, fast_bits_, entry.length, entry);
        }
        std::size_t base = rows;
        for (std::size_t i = first_long; i < entries_.size();) {
            const std::size_t j = row_group_end(i, row_shift);
            const int longest = entries_[j - 1].length;
            const int sub_bits = longest - fast_bits_;
            const auto prefix = static_cast<std::uint32_t>(entries_[i].key) >> row_shift;
            fast_[index_of(prefix, fast_bits_)] = link(sub_bits, base);
            for (std::size_t k = i; k < j; ++k) {
                const std::uint32_t slot =
                    (static_cast<std::uint32_t>(entries_[k].key) >> (width_ - longest)) & low_mask(sub_bits);
                fill(base, slot, sub_bits, entries_[k].length - fast_bits_, entries_[k]);
            }
            base += std::size_t{1} << sub_bits;
            i = j;
        }
    }

    // One past the last entry from i on whose key has the same row prefix.
    std::size_t row_group_end(std::size_t i, int row_shift) const {
        const std::int32_t prefix = entries_[i].key >> row_shift;
        std::size_t j = i + 1;
        while (j < entries_.size() && (entries_[j].key >> row_shift) == prefix) ++j;
        return j;
    }

    // Puts entry into the 2^(bits - length) places of a table of 2^bits
    // rows at base that begin, in key order, with the first `length` of the
    // bits of first (its code's part in this table, left-aligned).
    void fill(std::size_t base, std::uint32_t first, int bits, int length, const Entry& entry) {
        const Fast value = leaf(entry.length, entry.symbol);
        const std::size_t count = std::size_t{1} << (bits - length);
        if constexpr (Order == BitOrder::MSB_FIRST) {
            std::fill_n(fast_.begin() + static_cast<std::ptrdiff_t>(base + first), count, value);
        } else {
            const std::size_t step = std::size_t{1} << length;
            const std::size_t end = base + (std::size_t{1} << bits);
            for (std::size_t row = base + reverse_bits(first >> (bits - length), length); row < end; row += step) {
                fast_[row] = value;
            }
        }
    }

    // Rows: a symbol with its code length, or where a subtable starts.
    // Four bytes each, so that a main table stays in few cache lines.
    // Symbols are below 2^16, and so is the table: at most 2^10 rows and a
    // subtable of at most 2^6 slots for each code longer than 10 bits.
    static Fast leaf(int length, int symbol) {
        return Fast{static_cast<std::uint8_t>(length), 0, static_cast<std::uint16_t>(symbol)};
    }
    static Fast link(int sub_bits, std::size_t base) {
        if (base > 0xFFFF) throw "HuffDec: program error.";
        return Fast{0, static_cast<std::uint8_t>(sub_bits), static_cast<std::uint16_t>(base)};
    }

    // Where n bits taken in key order (first bit read on top) are looked up
    // by the bits as read.
    static std::size_t index_of(std::uint32_t key_bits, int n) {
        return Order == BitOrder::MSB_FIRST ? key_bits : reverse_bits(key_bits, n);
    }

    // One past the last key owned by entry i.
    std::int64_t range_end(std::size_t i) const {
        if (i + 1 == entries_.size()) return std::int64_t{1} << width_;
        return std::int64_t{entries_[i].key} + (std::int64_t{1} << (width_ - entries_[i].length));
    }

    std::vector<Entry> entries_;  // in key order
    int width_ = 0;
    int fast_bits_ = 0;
    // The main table, indexed by the first fast_bits_ bits as read, then
    // the subtables.
    std::vector<Fast> fast_;
    int zero_bit_symbol_ = -1;  // the symbol of a zero-bit single-symbol code
};

}  // namespace coding
