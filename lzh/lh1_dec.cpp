// The -lh1- decoder (see lh1_dec.h for the format).
#include "lh1_dec.h"

#include <algorithm>
#include <vector>

#include "lzh_dec_window.h"
#include "truncated_fill.h"

namespace lzh {

namespace {

constexpr std::int32_t RING = 4096;
constexpr int FIRST_MATCH_SYMBOL = 256;
constexpr int MATCH_LENGTH_OFFSET = 253;  // match length = symbol - 253
constexpr int LOW_POSITION_BITS = 6;

// Lengths of the fixed code of the high 6 position bits.
std::vector<int> high_position_lengths() {
    std::vector<int> lengths;
    const std::pair<int, int> runs[] = {{1, 3}, {3, 4}, {8, 5}, {12, 6}, {24, 7}, {16, 8}};
    for (const auto& [count, length] : runs) lengths.insert(lengths.end(), static_cast<std::size_t>(count), length);
    return lengths;
}

}  // namespace

AdaptiveHuffman::AdaptiveHuffman() {
    for (int s = 0; s < SYMBOLS; ++s) {
        count_[static_cast<std::size_t>(s)] = 1;
        child_[static_cast<std::size_t>(s)] = NODES + s;
    }
    // Inner nodes join neighbours pairwise, lowest first.
    for (int first = 0, node = SYMBOLS; node < NODES; first += 2, ++node) {
        count_[static_cast<std::size_t>(node)] =
            count_[static_cast<std::size_t>(first)] + count_[static_cast<std::size_t>(first + 1)];
        child_[static_cast<std::size_t>(node)] = first;
    }
    count_[NODES] = 0xFFFF;
    link_parents();
}

void AdaptiveHuffman::link_parents() {
    for (int k = 0; k < NODES; ++k) {
        const int c = child_[static_cast<std::size_t>(k)];
        parent_[static_cast<std::size_t>(c)] = k;
        if (c < NODES) parent_[static_cast<std::size_t>(c + 1)] = k;
    }
    parent_[ROOT] = 0;
}

int AdaptiveHuffman::decode(BitInStream& input) {
    int node = child_[ROOT];
    while (node < NODES) {
        const int bit = input.bit_get();
        if (bit < 0) return -1;
        node = child_[static_cast<std::size_t>(node + bit)];
    }
    const int symbol = node - NODES;
    update(symbol);
    return symbol;
}

void AdaptiveHuffman::rebuild() {
    // The leaves, in node order, with halved counts.
    int leaves = 0;
    for (int k = 0; k < NODES; ++k) {
        if (child_[static_cast<std::size_t>(k)] >= NODES) {
            count_[static_cast<std::size_t>(leaves)] = (count_[static_cast<std::size_t>(k)] + 1) / 2;
            child_[static_cast<std::size_t>(leaves)] = child_[static_cast<std::size_t>(k)];
            ++leaves;
        }
    }
    // Each new inner node joins the next two nodes and goes in after the
    // last node whose count does not exceed its own.
    for (int first = 0, node = SYMBOLS; node < NODES; first += 2, ++node) {
        const std::uint32_t sum = count_[static_cast<std::size_t>(first)] + count_[static_cast<std::size_t>(first + 1)];
        int place = node;
        while (sum < count_[static_cast<std::size_t>(place - 1)]) --place;
        std::copy_backward(count_.begin() + place, count_.begin() + node, count_.begin() + node + 1);
        std::copy_backward(child_.begin() + place, child_.begin() + node, child_.begin() + node + 1);
        count_[static_cast<std::size_t>(place)] = sum;
        child_[static_cast<std::size_t>(place)] = first;
    }
    link_parents();
}

void AdaptiveHuffman::update(int symbol) {
    if (count_[ROOT] == REBUILD_AT) rebuild();
    int node = parent_[static_cast<std::size_t>(NODES + symbol)];
    do {
        const std::uint32_t count = ++count_[static_cast<std::size_t>(node)];
        if (count > count_[static_cast<std::size_t>(node + 1)]) {
            // Swap with the last node of the old count.
            int other = node + 1;
            while (count > count_[static_cast<std::size_t>(other + 1)]) ++other;
            count_[static_cast<std::size_t>(node)] = count_[static_cast<std::size_t>(other)];
            count_[static_cast<std::size_t>(other)] = count;

            const int mine = child_[static_cast<std::size_t>(node)];
            const int theirs = child_[static_cast<std::size_t>(other)];
            parent_[static_cast<std::size_t>(mine)] = other;
            if (mine < NODES) parent_[static_cast<std::size_t>(mine + 1)] = other;
            parent_[static_cast<std::size_t>(theirs)] = node;
            if (theirs < NODES) parent_[static_cast<std::size_t>(theirs + 1)] = node;
            child_[static_cast<std::size_t>(other)] = mine;
            child_[static_cast<std::size_t>(node)] = theirs;
            node = other;
        }
        node = parent_[static_cast<std::size_t>(node)];
    } while (node != 0);
}

void decode_lh1(BitInStream& input, FileDecOutStream& out) {
    if (out.count >= out.expected_size) return;  // no data to read
    AdaptiveHuffman symbols;
    const HuffDec high_position(BLenTable(high_position_lengths()), SingleCode::ONE_BIT);
    LzhDecWindow window(RING, RING_FILL);
    for (;;) {
        const int c = symbols.decode(input);
        if (c < 0) break;
        if (c < FIRST_MATCH_SYMBOL) {
            if (window.emit(out, static_cast<std::uint8_t>(c))) return;
            continue;
        }
        const int high = high_position.decode(input);
        const int low = high < 0 ? -1 : input.n_bit_get(LOW_POSITION_BITS);
        if (low < 0) break;
        const int value = (high << LOW_POSITION_BITS) | low;
        if (window.copy_back(out, value + 1, c - MATCH_LENGTH_OFFSET)) return;
    }
    fill_truncated_entry(out);
}

}  // namespace lzh
