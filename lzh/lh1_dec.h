// The -lh1- decoder (LHarc 1.x): LZSS over a 4 KiB ring of spaces, with an
// adaptive Huffman code for literals and match lengths and a fixed code
// for the high bits of the match position.
//
// Symbols 0-255 are literal bytes, 256-313 matches of symbol - 253 bytes
// (3 to 60). The symbol code is a Huffman tree that starts with every
// symbol at count 1 and is updated after each symbol (AdaptiveHuffman).
// A match is followed by its position value v (distance - 1, 0 to 4095):
// the high 6 bits of v in a fixed canonical code of 3 to 8 bits (value 0
// has 3 bits, values 1-3 four, 4-11 five, 12-23 six, 24-47 seven, 48-63
// eight) and then the low 6 bits as they are. Bits are read most
// significant first.
//
// The end of the data fills the rest of the entry (see truncated_fill.h).
#pragma once

#include <array>
#include <cstdint>

#include "lzh_coding.h"

namespace lzh {

// The adaptive code of -lh1-. The tree keeps its nodes ordered by count
// (the sibling property): node k has a count no higher than node k + 1, the
// two children of an inner node are neighbours, and the root is the last
// node. After a symbol is read, the counts on its path are raised one by
// one from the leaf up; a node whose count would pass its right-hand
// neighbours first swaps places with the last of the nodes of its old
// count, so the order holds. When the root's count reaches 0x8000, every
// leaf count is halved (rounded up) and the tree is built again.
class AdaptiveHuffman {
public:
    static constexpr int SYMBOLS = 314;

    AdaptiveHuffman();

    // The next symbol, or -1 at the end of the data.
    int decode(BitInStream& input);

private:
    static constexpr int NODES = 2 * SYMBOLS - 1;
    static constexpr int ROOT = NODES - 1;
    static constexpr std::uint32_t REBUILD_AT = 0x8000;

    void update(int symbol);
    void rebuild();
    // Links parent_ to child_ for every node.
    void link_parents();

    // count_[NODES] is a sentinel above every count.
    std::array<std::uint32_t, NODES + 1> count_{};
    // child_[k]: for an inner node, the first of its two children (the
    // second is child_[k] + 1); for a leaf, NODES + its symbol.
    std::array<int, NODES> child_{};
    // parent_[k] for nodes, parent_[NODES + s] for the leaf of symbol s.
    std::array<int, NODES + SYMBOLS> parent_{};
};

void decode_lh1(BitInStream& input, FileDecOutStream& out);

}  // namespace lzh
