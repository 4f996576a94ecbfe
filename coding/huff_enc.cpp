#include "huff_enc.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace coding {

namespace {

struct TreeNode {
    std::int64_t frequency;
    std::int32_t symbol;  // -1 for inner nodes
    std::int32_t left;    // child indices, -1 for leaves
    std::int32_t right;
    std::int32_t depth;
};

// Moves Kraft weight off the deepest level until the code fits the limit.
// count[i] is the number of leaves at depth i, leaves deeper than the limit
// counted at the limit; excess is by how many 2^-limit units the clamped
// lengths over-subscribe the code. One step turns a leaf at depth j into two
// at depth j + 1 (no change in weight) and drops one leaf at the limit (one
// unit less), so the number of leaves stays and each step removes one unit.
// The split is looked for from depth limit - 3 down. That order fixes the
// lengths, and so the compressed bytes, that the encoders produce; any
// order gives a valid code. The two depths just above the limit are tried
// only when it finds nothing, which needs a limit below 7 or far more
// symbols than 2^(limit - 2), so never for the limits the formats use.
void fit_to_limit(std::array<std::int64_t, MAX_CODE_LENGTH + 1>& count, int limit, std::int64_t excess) {
    for (; excess > 0; --excess) {
        int split = -1;
        for (int j = limit - 3; j >= 0 && split < 0; --j) {
            if (count[j] > 0) split = j;
        }
        for (int j = limit - 1; j > limit - 3 && j >= 1 && split < 0; --j) {
            if (count[j] > 0) split = j;
        }
        if (split < 0) return;  // cannot happen while 2^limit >= leaves
        --count[split];
        --count[limit];
        count[split + 1] += 2;
    }
}

}  // namespace

BLenTable build_code_lengths(std::span<const std::int32_t> frequencies, int limit, SingleCode single) {
    if (limit < 1 || limit > MAX_CODE_LENGTH) throw "HuffEnc: out of range.";

    // Leaves in increasing symbol order take the indices 0, 1, 2, ...
    std::size_t leaves = 0;
    for (const std::int32_t frequency : frequencies) leaves += frequency > 0 ? 1 : 0;
    std::vector<TreeNode> nodes;
    nodes.reserve(leaves > 0 ? 2 * leaves - 1 : 0);
    for (std::size_t symbol = 0; symbol < frequencies.size(); ++symbol) {
        if (frequencies[symbol] > 0) {
            nodes.push_back({frequencies[symbol], static_cast<std::int32_t>(symbol), -1, -1, 0});
        }
    }

    BLenTable result;
    result.max_length = static_cast<std::int8_t>(limit);
    result.used = 1;
    if (leaves == 0) {
        result.lengths.assign(1, 1);
        return result;
    }
    if (leaves == 1) {
        const std::size_t symbol = static_cast<std::size_t>(nodes[0].symbol);
        result.lengths.assign(single == SingleCode::ZERO_BITS ? symbol + 1 : frequencies.size(), 0);
        result.lengths[symbol] = 1;
        return result;
    }
    if (leaves > (std::size_t{1} << limit)) throw "HuffEnc: too many symbols for the length limit.";

    // Huffman tree: repeatedly join the two lightest nodes, the first taken
    // becoming the left child. Ties go to the lower index, so leaves come
    // before later inner nodes and lower symbols before higher ones; the
    // pairs are unique, which makes the order of removal fully determined.
    // Two queues give that order without a heap: the leaves sorted by
    // (frequency, index), and the inner nodes as they are made, which are
    // already in that order (each is no lighter than the one before).
    using Key = std::pair<std::int64_t, std::int32_t>;  // (frequency, node index)
    // The leaves sorted as one key each: frequency (below 2^31) above the
    // index (below 2^32).
    std::vector<std::uint64_t> leaf_order(leaves);
    for (std::size_t i = 0; i < leaves; ++i) leaf_order[i] = static_cast<std::uint64_t>(nodes[i].frequency) << 32 | i;
    std::sort(leaf_order.begin(), leaf_order.end());
    std::size_t next_leaf = 0;
    std::size_t next_inner = leaves;
    const auto lightest = [&]() -> Key {
        const bool leaf_left = next_leaf < leaves;
        const bool inner_left = next_inner < nodes.size();
        Key leaf{0, -1};
        if (leaf_left) {
            const auto index = static_cast<std::int32_t>(leaf_order[next_leaf] & 0xFFFFFFFFu);
            leaf = {nodes[static_cast<std::size_t>(index)].frequency, index};
        }
        if (inner_left) {
            const Key inner{nodes[next_inner].frequency, static_cast<std::int32_t>(next_inner)};
            if (!leaf_left || inner < leaf) {
                ++next_inner;
                return inner;
            }
        }
        ++next_leaf;
        return leaf;
    };
    while ((leaves - next_leaf) + (nodes.size() - next_inner) >= 2) {
        const Key left = lightest();
        const Key right = lightest();
        nodes.push_back({left.first + right.first, -1, left.second, right.second, 0});
    }

    // Children have lower indices than their parents, so walking down from
    // the root (the last node) assigns every depth before it is used.
    for (std::size_t i = nodes.size(); i-- > leaves;) {
        nodes[static_cast<std::size_t>(nodes[i].left)].depth = nodes[i].depth + 1;
        nodes[static_cast<std::size_t>(nodes[i].right)].depth = nodes[i].depth + 1;
    }

    std::array<std::int64_t, MAX_CODE_LENGTH + 1> count{};
    for (std::size_t i = 0; i < leaves; ++i) ++count[std::min(nodes[i].depth, limit)];
    std::int64_t excess = -(std::int64_t{1} << limit);
    for (int i = 1; i <= limit; ++i) excess += count[i] << (limit - i);

    std::vector<int> length_of_leaf(leaves);
    if (excess > 0) {
        fit_to_limit(count, limit, excess);
        // Hand the lengths out again, longest first, to the leaves in the
        // order they were merged: the least frequent symbols were merged
        // first and so keep the longest codes.
        std::vector<std::int32_t> merged;
        merged.reserve(leaves);
        for (std::size_t i = leaves; i < nodes.size(); ++i) {
            if (static_cast<std::size_t>(nodes[i].left) < leaves) merged.push_back(nodes[i].left);
            if (static_cast<std::size_t>(nodes[i].right) < leaves) merged.push_back(nodes[i].right);
        }
        std::size_t next = 0;
        for (int length = limit; length >= 1; --length) {
            for (std::int64_t k = 0; k < count[length]; ++k) {
                length_of_leaf[static_cast<std::size_t>(merged[next++])] = length;
            }
        }
    } else {
        for (std::size_t i = 0; i < leaves; ++i) length_of_leaf[i] = nodes[i].depth;
    }

    result.lengths.assign(frequencies.size(), 0);
    for (std::size_t i = 0; i < leaves; ++i) {
        const auto symbol = static_cast<std::size_t>(nodes[i].symbol);
        result.lengths[symbol] = static_cast<std::int8_t>(length_of_leaf[i]);
    }
    result.used = static_cast<std::int32_t>(leaves);
    return result;
}

}  // namespace coding
