// Near-optimal parsing for the BEST Deflate level.
//
// The input is parsed in segments of at most SEGMENT bytes; a segment ends
// in one or more blocks. For a segment:
//   1. Every position is entered into a binary tree of the earlier
//      positions within the window that share its four-byte hash, ordered
//      by the bytes that follow them. One descent from the root finds the
//      longest matches (each node on the way shares at least as many bytes
//      with the position as the shorter of the two nearest nodes on either
//      side), and each match longer than the ones before is kept. The
//      position then becomes the root, the nodes met on the way split into
//      its two subtrees. A table of the latest position of each three-byte
//      hash gives the nearest match of three bytes. Matches may run past
//      the segment's end into the bytes read ahead; the parse cuts them.
//      After a match of SKIP_LENGTH or more the positions it covers are
//      entered but not searched: a long match is almost always taken.
//   2. A first parse takes the longest match everywhere; its symbol counts
//      give Huffman code lengths, the bit costs of the symbols. In a
//      segment of FIRST_MIN bytes or more, a cheaper parse under those
//      costs is found by dynamic programming over the positions with only
//      literals and each kept match at its full length as edges: cheap, and
//      close enough to the final parse for cutting the segment into blocks.
//   3. The segment's parse is cut into chunks of about CHUNK bytes, and
//      the neighbours whose merging saves the most bits are merged while
//      any merge saves, so that a block ends where the data changes: first
//      by an entropy estimate (cheap enough for thousands of chunks), then
//      with the exact cost of the pieces left (each priced with its own
//      codes and the description of them).
//   4. Each block is parsed again with the costs of its own piece of that
//      parse, now with every length of every kept match as an edge, and
//      that parse goes to the block writer, which builds the block's codes
//      from exactly its counts.
//
// The parser is kept per thread and reused across files: tree and hash
// entries are absolute positions that keep growing from file to file (a
// new file starts a window beyond the last one), so that no table is
// cleared for a file, and entries older than the window are simply out of
// reach.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "deflate_level_parse.h"
#include "deflate_tables.h"
#include "match_bytes.h"
#include "n_log2_n.h"

namespace {

// The tree is a ring of WINDOW nodes, so its farthest match is one less;
// the three-byte table reaches the whole window.
constexpr int WINDOW = 32768;
constexpr std::uint32_t MAX_DISTANCE = WINDOW - 1;
constexpr int SEGMENT = BEST_BLOCK_BYTES;
constexpr int SHORTEST = 3;
constexpr int LONGEST = 258;
// A descent stops at a match this long, or after DEPTH nodes: deeper
// descents find little more and cost a cache miss per node.
constexpr int NICE = 258;
constexpr int DEPTH = 32;
constexpr int SKIP_LENGTH = 128;
constexpr int FIRST_ROUNDS = 1;
constexpr int BLOCK_ROUNDS = 1;
constexpr int FIRST_MIN = 16384;
// The matches kept per position, the longest always: a bound on memory
// that real data rarely reaches.
constexpr int MAX_MATCHES = 12;
constexpr int CHUNK = 1024;
constexpr int HEADER_BASE = 80;
constexpr int HEADER_PER_SYMBOL = 4;
constexpr int HASH4_BITS = 16;
constexpr int HASH3_BITS = 16;
constexpr int LOAD_TAIL = 8;
// History, the segment, and the bytes read ahead so that the tree always
// sees LONGEST bytes after a position (except at the end of the input).
constexpr int BUFFER = WINDOW + SEGMENT + LONGEST;
// Positions are rebased (or, at a file's start, the tables cleared) before
// they reach this: far from overflow, and so often that every input of a
// megabyte, and every few dozen files, takes those paths; each costs about
// as much as clearing the tables once.
constexpr std::uint32_t POSITION_LIMIT = std::uint32_t{1} << 20;
// The cost of a symbol the current code lacks, in bits.
constexpr int UNUSED_COST = 13;
constexpr int LITERAL_SYMBOLS = 286;
constexpr int DISTANCE_SYMBOLS = 30;
constexpr int END_OF_BLOCK = 256;

struct Match {
    std::uint16_t length;
    std::uint16_t distance;
};

// One step of a parse: a literal (length 1) or a match.
struct Step {
    std::uint16_t length;
    std::uint16_t distance;
};

struct Counts {
    std::array<std::int32_t, LITERAL_SYMBOLS> literal{};
    std::array<std::int32_t, DISTANCE_SYMBOLS> distance{};

    void add(const Counts& other) {
        for (int s = 0; s < LITERAL_SYMBOLS; ++s) literal[s] += other.literal[s];
        for (int s = 0; s < DISTANCE_SYMBOLS; ++s) distance[s] += other.distance[s];
    }
};

// Code lengths as the block writer builds them: at most 15 bits, a single
// symbol gets one bit.
coding::BLenTable code_lengths(std::span<const std::int32_t> counts) {
    return coding::build_code_lengths(counts, 15, coding::SingleCode::ONE_BIT);
}

int length_at(const coding::BLenTable& table, int symbol) {
    return static_cast<std::size_t>(symbol) < table.lengths.size() ? table.lengths[static_cast<std::size_t>(symbol)]
                                                                   : 0;
}

class BestParser {
public:
    BestParser()
        : buffer_(BUFFER + LOAD_TAIL, 0), head4_(std::size_t{1} << HASH4_BITS, 0),
          head3_(std::size_t{1} << HASH3_BITS, 0), child_(2 * WINDOW, 0), match_start_(SEGMENT + 1), cost_(SEGMENT + 1),
          step_(SEGMENT + 1), length_symbol_(LONGEST + 1), length_extra_(LONGEST + 1) {
        const LengthCodeTable& lengths = LengthCodeTable::of(DeflateVariant::DEFLATE);
        for (int length = SHORTEST; length <= LONGEST; ++length) {
            const DeflateCodeRow row = lengths.row(length);
            length_symbol_[static_cast<std::size_t>(length)] = static_cast<std::uint16_t>(row.code);
            length_extra_[static_cast<std::size_t>(length)] = static_cast<std::uint8_t>(row.extra_bits);
        }
        for (int code = 0; code < LITERAL_SYMBOLS; ++code) symbol_extra_[static_cast<std::size_t>(code)] = 0;
        for (int length = SHORTEST; length <= LONGEST; ++length) {
            symbol_extra_[length_symbol_[static_cast<std::size_t>(length)]] =
                length_extra_[static_cast<std::size_t>(length)];
        }
        const DistanceCodeTable& distances = DistanceCodeTable::of(DeflateVariant::DEFLATE);
        for (int code = 0; code < DISTANCE_SYMBOLS; ++code) {
            distance_extra_[static_cast<std::size_t>(code)] = distances.code(code).extra_bits;
        }
    }

    static BestParser& reused() {
        thread_local std::unique_ptr<BestParser> parser;
        if (parser == nullptr) parser = std::make_unique<BestParser>();
        return *parser;
    }

    void run(DeflateSource& input, DeflateBlockEnc& writer);

private:
    static int distance_code(int distance) {
        // Codes 0-3 are the distances 1-4; above, each pair of codes
        // doubles the range: code 2k + 2 + (top bit below the highest).
        const unsigned d = static_cast<unsigned>(distance - 1);
        if (d < 4) return static_cast<int>(d);
        const int high = std::bit_width(d) - 1;
        return 2 * high + static_cast<int>((d >> (high - 1)) & 1);
    }

    template <bool RECORD>
    int tree_step(int p, int limit, int best, Match* found = nullptr, int* count = nullptr);
    void find_matches(int start, int end, int data_end);
    void greedy_parse(int n);
    void cheapest_parse(int from, int to, bool sparse = false);
    void count_steps(const std::vector<Step>& steps, std::size_t first, std::size_t last, int position,
                     Counts& counts) const;
    void set_costs(const Counts& counts);
    std::int64_t block_bits(const Counts& counts) const;
    static std::int64_t estimate_bits(const Counts& counts);
    void split_blocks(int n, std::vector<int>& bounds, std::vector<int>& positions);
    void emit(DeflateBlockEnc& writer, int position);
    void rebase();

    std::vector<std::uint8_t> buffer_;
    // Entries of 0 are no position: every position is farther from it
    // than the window.
    std::uint32_t base_ = WINDOW + 1;       // the absolute position of buffer_[0]
    std::uint32_t next_file_ = WINDOW + 1;  // where the next file starts
    bool clean_ = true;                     // no file was left midway
    int start_ = 0;                         // where the segment being parsed begins in buffer_
    // Absolute positions; one farther back than MAX_DISTANCE is no entry.
    std::vector<std::uint32_t> head4_;  // by four-byte hash: the tree's root
    std::vector<std::uint32_t> head3_;  // by three-byte hash: latest position
    std::vector<std::uint32_t> child_;  // by position in the ring: smaller, larger subtree
    // The matches of segment position i are matches_[match_start_[i] ..
    // match_start_[i + 1]), lengths increasing.
    std::vector<Match> matches_;
    std::vector<std::uint32_t> match_start_;
    std::vector<std::uint32_t> cost_;
    // The last step of the cheapest way to each position: length, and
    // distance << 16.
    std::vector<std::uint32_t> step_;
    std::vector<Step> parse_;  // the chosen steps, in order
    std::vector<Step> segment_parse_;
    std::vector<int> bounds_;
    std::vector<int> positions_;
    std::vector<std::uint16_t> length_symbol_;
    std::vector<std::uint8_t> length_extra_;
    std::array<int, LITERAL_SYMBOLS> symbol_extra_{};
    std::array<int, DISTANCE_SYMBOLS> distance_extra_{};
    std::array<std::uint32_t, LITERAL_SYMBOLS> literal_cost_{};
    // The cost of each distance code with its extra bits.
    std::array<std::uint32_t, DISTANCE_SYMBOLS> distance_cost_{};
    // The full cost of a match of each length (code and extra bits).
    std::array<std::uint32_t, LONGEST + 1> length_cost_{};
};

// Enters buffer position p into its tree and returns the longest match
// found, at least best; with RECORD, each match longer than best is
// appended to found[0, *count), which holds up to MAX_MATCHES. The
// descent keeps everything in locals: it is the hottest loop of this
// level, and a store into a member vector there would make the compiler
// reload the tables after every match. limit: the bytes
// after p that may be compared. The tree is ordered by the first
// min(NICE, limit) bytes; limit only shrinks at the end of the input,
// which keeps every shorter ordering valid.
template <bool RECORD>
int BestParser::tree_step(int p, int limit, int best, Match* found, int* count) {
    constexpr std::uint32_t RING = WINDOW - 1;
    const std::uint8_t* const buffer = buffer_.data();
    std::uint32_t* const child = child_.data();
    const std::uint32_t base = base_;
    const std::uint8_t* const here = buffer + p;
    const std::uint32_t current = base + static_cast<std::uint32_t>(p);
    const int nice = std::min(NICE, limit);
    std::uint32_t& root = head4_[coding::hash4(here, HASH4_BITS)];
    std::uint32_t node = root;
    root = current;
    int kept = 0;
    if constexpr (RECORD) kept = *count;
    std::uint32_t* smaller = &child[2 * (current & RING)];
    std::uint32_t* larger = smaller + 1;
    int smaller_length = 0;
    int larger_length = 0;
    for (int depth = DEPTH;; --depth) {
        if (current - node > MAX_DISTANCE || depth == 0) {
            *smaller = 0;
            *larger = 0;
            break;
        }
        const std::uint8_t* const there = buffer + (node - base);
        int length = std::min(smaller_length, larger_length);
        const coding::PrefixOrder order = coding::match_length_and_order(here + length, there + length, nice - length);
        length += order.length;
        if (length > best) {
            best = length;
            if constexpr (RECORD) {
                // Past MAX_MATCHES a longer match replaces the last one, so
                // that the lists stay within bounds whatever the data.
                const Match match{static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(current - node)};
                found[kept < MAX_MATCHES ? kept++ : MAX_MATCHES - 1] = match;
            }
        }
        std::uint32_t* const links = &child[2 * (node & RING)];
        if (length >= nice) {
            // The node is replaced by the position, which shares all the
            // bytes the tree orders by.
            *smaller = links[0];
            *larger = links[1];
            break;
        }
        if (order.there_smaller) {
            *smaller = node;
            smaller = &links[1];
            node = *smaller;
            smaller_length = length;
        } else {
            *larger = node;
            larger = &links[0];
            node = *larger;
            larger_length = length;
        }
    }
    if constexpr (RECORD) *count = kept;
    return best;
}

void BestParser::find_matches(int start, int end, int data_end) {
    const std::uint8_t* const buffer = buffer_.data();
    matches_.clear();
    int skip_until = start;
    for (int p = start; p < end; ++p) {
        match_start_[static_cast<std::size_t>(p - start)] = static_cast<std::uint32_t>(matches_.size());
        const int limit = std::min(LONGEST, data_end - p);
        if (limit < 4) continue;
        const std::uint8_t* const here = buffer + p;
        const std::uint32_t current = base_ + static_cast<std::uint32_t>(p);
        std::uint32_t& slot3 = head3_[coding::hash3(here, HASH3_BITS)];
        const std::uint32_t candidate3 = slot3;
        slot3 = current;
        if (p < skip_until) {
            tree_step<false>(p, limit, LONGEST);
            continue;
        }
        int best = SHORTEST - 1;
        std::array<Match, MAX_MATCHES> found;
        int count = 0;
        // The latest position that shares three bytes is the nearest match
        // of every length it reaches.
        if (current - candidate3 <= WINDOW) {
            const std::uint8_t* const there = buffer + (candidate3 - base_);
            if (there[0] == here[0] && there[1] == here[1] && there[2] == here[2]) {
                best = coding::match_length(here, there, limit);
                found[0] = {static_cast<std::uint16_t>(best), static_cast<std::uint16_t>(current - candidate3)};
                count = 1;
            }
        }
        best = tree_step<true>(p, limit, best, found.data(), &count);
        matches_.insert(matches_.end(), found.begin(), found.begin() + count);
        if (best >= SKIP_LENGTH) skip_until = p + best;
    }
    match_start_[static_cast<std::size_t>(end - start)] = static_cast<std::uint32_t>(matches_.size());
}

void BestParser::greedy_parse(int n) {
    parse_.clear();
    for (int i = 0; i < n;) {
        const std::uint32_t first = match_start_[static_cast<std::size_t>(i)];
        const std::uint32_t last = match_start_[static_cast<std::size_t>(i) + 1];
        const int length = first != last ? std::min<int>(matches_[last - 1].length, n - i) : 1;
        if (length >= SHORTEST) {
            parse_.push_back({static_cast<std::uint16_t>(length), matches_[last - 1].distance});
            i += length;
        } else {
            parse_.push_back({1, 0});
            ++i;
        }
    }
}

// The cheapest parse of segment positions [from, to) under the current
// costs replaces parse_; matches are cut at to. sparse: each match only at
// its full length.
void BestParser::cheapest_parse(int from, int to, bool sparse) {
    constexpr std::uint32_t UNREACHED = std::numeric_limits<std::uint32_t>::max();
    std::fill(cost_.begin() + from + 1, cost_.begin() + to + 1, UNREACHED);
    cost_[static_cast<std::size_t>(from)] = 0;
    const std::uint8_t* const segment = buffer_.data() + start_;
    for (int i = from; i < to; ++i) {
        const std::uint32_t here = cost_[static_cast<std::size_t>(i)];
        const std::uint32_t literal = here + literal_cost_[segment[i]];
        if (literal < cost_[static_cast<std::size_t>(i) + 1]) {
            cost_[static_cast<std::size_t>(i) + 1] = literal;
            step_[static_cast<std::size_t>(i) + 1] = 1;
        }
        const int limit = to - i;
        int length = SHORTEST;
        const std::uint32_t last = match_start_[static_cast<std::size_t>(i) + 1];
        if (sparse) {
            for (std::uint32_t k = match_start_[static_cast<std::size_t>(i)]; k < last; ++k) {
                const Match m = matches_[k];
                const int top = std::min<int>(m.length, limit);
                if (top < SHORTEST) break;
                const std::uint32_t total = here + distance_cost_[static_cast<std::size_t>(distance_code(m.distance))] +
                                            length_cost_[static_cast<std::size_t>(top)];
                std::uint32_t& target = cost_[static_cast<std::size_t>(i + top)];
                if (total < target) {
                    target = total;
                    step_[static_cast<std::size_t>(i + top)] =
                        std::uint32_t{m.distance} << 16 | static_cast<std::uint32_t>(top);
                }
                if (top == limit) break;
            }
            continue;
        }
        for (std::uint32_t k = match_start_[static_cast<std::size_t>(i)]; k < last && length <= limit; ++k) {
            const Match m = matches_[k];
            const int code = distance_code(m.distance);
            const std::uint32_t base = here + distance_cost_[static_cast<std::size_t>(code)];
            const int top = std::min<int>(m.length, limit);
            // Branch-free, so that the compiler relaxes several lengths at
            // once.
            std::uint32_t* const cost = cost_.data() + i;
            std::uint32_t* const step = step_.data() + i;
            const std::uint32_t tag = std::uint32_t{m.distance} << 16;
            if (sparse) length = std::max(length, top);
            for (int l = length; l <= top; ++l) {
                const std::uint32_t total = base + length_cost_[static_cast<std::size_t>(l)];
                const bool better = total < cost[l];
                cost[l] = better ? total : cost[l];
                step[l] = better ? (tag | static_cast<std::uint32_t>(l)) : step[l];
            }
            length = std::max(length, top + 1);
        }
    }
    // Back from the end, then in order.
    parse_.clear();
    for (int i = to; i > from;) {
        const std::uint32_t packed = step_[static_cast<std::size_t>(i)];
        const Step s{static_cast<std::uint16_t>(packed & 0xFFFF), static_cast<std::uint16_t>(packed >> 16)};
        parse_.push_back(s);
        i -= s.length;
    }
    std::reverse(parse_.begin(), parse_.end());
}

// Adds the symbols of steps[first, last), which begins at segment
// position position, to counts.
void BestParser::count_steps(const std::vector<Step>& steps, std::size_t first, std::size_t last, int position,
                             Counts& counts) const {
    const std::uint8_t* const segment = buffer_.data() + start_;
    for (std::size_t k = first; k < last; ++k) {
        const Step s = steps[k];
        if (s.length == 1) {
            ++counts.literal[segment[position]];
        } else {
            ++counts.literal[length_symbol_[s.length]];
            ++counts.distance[static_cast<std::size_t>(distance_code(s.distance))];
        }
        position += s.length;
    }
}

// Bit costs from the counts of a parse: the lengths of the codes the block
// writer would build from them.
void BestParser::set_costs(const Counts& counts) {
    Counts with_end = counts;
    with_end.literal[END_OF_BLOCK] = 1;
    const coding::BLenTable literal = code_lengths(with_end.literal);
    const coding::BLenTable distance = code_lengths(with_end.distance);
    const auto cost_of = [](const coding::BLenTable& table, int symbol) -> std::uint32_t {
        const int length = length_at(table, symbol);
        return static_cast<std::uint32_t>(length > 0 ? length : UNUSED_COST);
    };
    for (int symbol = 0; symbol < LITERAL_SYMBOLS; ++symbol) {
        literal_cost_[static_cast<std::size_t>(symbol)] = cost_of(literal, symbol);
    }
    for (int symbol = 0; symbol < DISTANCE_SYMBOLS; ++symbol) {
        distance_cost_[static_cast<std::size_t>(symbol)] =
            cost_of(distance, symbol) + static_cast<std::uint32_t>(distance_extra_[static_cast<std::size_t>(symbol)]);
    }
    for (int length = SHORTEST; length <= LONGEST; ++length) {
        length_cost_[static_cast<std::size_t>(length)] =
            literal_cost_[length_symbol_[static_cast<std::size_t>(length)]] +
            length_extra_[static_cast<std::size_t>(length)];
    }
}

// About the bits of a block holding these symbols: their entropy, and a
// description of the code that grows with the symbols used. Cheap enough
// to price every pair of neighbouring chunks.
std::int64_t BestParser::estimate_bits(const Counts& counts) {
    static const std::vector<float> n_log_n = [] {
        std::vector<float> table(std::size_t{1} << 16);
        for (std::size_t n = 1; n < table.size(); ++n)
            table[n] = static_cast<float>(deflate_enc::n_log2_n(static_cast<std::uint32_t>(n)));
        return table;
    }();
    const auto term = [](std::int32_t n) {
        return static_cast<std::size_t>(n) < n_log_n.size() ? double{n_log_n[static_cast<std::size_t>(n)]}
                                                            : deflate_enc::n_log2_n(static_cast<std::uint32_t>(n));
    };
    int used = 0;
    // The entropy of one alphabet's counts: N log N - sum of n log n.
    const auto alphabet_bits = [&term, &used](const auto& alphabet) {
        std::int64_t total = 0;
        double sum = 0;
        for (const std::int32_t n : alphabet) {
            if (n == 0) continue;
            total += n;
            sum += term(n);
            ++used;
        }
        return term(static_cast<std::int32_t>(std::min<std::int64_t>(total, INT32_MAX))) - sum;
    };
    const double bits = alphabet_bits(counts.literal) + alphabet_bits(counts.distance);
    return static_cast<std::int64_t>(bits) + HEADER_BASE + HEADER_PER_SYMBOL * used;
}

// The bits of a block holding these symbols (plus its end code), as a
// dynamic block with its codes' description or as a fixed-code block,
// whichever the writer would choose.
std::int64_t BestParser::block_bits(const Counts& counts) const {
    Counts c = counts;
    c.literal[END_OF_BLOCK] = 1;
    const coding::BLenTable literal = code_lengths(c.literal);
    const coding::BLenTable distance = code_lengths(c.distance);
    std::int64_t dynamic = 0;
    std::int64_t fixed = 3;
    std::int64_t extra = 0;
    int literal_top = END_OF_BLOCK;
    for (int s = 0; s < LITERAL_SYMBOLS; ++s) {
        const std::int64_t n = c.literal[static_cast<std::size_t>(s)];
        if (n == 0) continue;
        literal_top = s;
        dynamic += n * length_at(literal, s);
        fixed += n * (s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8);
        extra += n * symbol_extra_[static_cast<std::size_t>(s)];
    }
    int distance_top = 0;
    for (int s = 0; s < DISTANCE_SYMBOLS; ++s) {
        const std::int64_t n = c.distance[static_cast<std::size_t>(s)];
        if (n == 0) continue;
        distance_top = s;
        dynamic += n * length_at(distance, s);
        fixed += n * 5;
        extra += n * distance_extra_[static_cast<std::size_t>(s)];
    }
    // The code lengths, run-length coded: 16 repeats the previous length
    // 3-6 times (2 extra bits), 17 and 18 give 3-10 and 11-138 zeros (3
    // and 7 extra bits).
    std::array<std::int8_t, LITERAL_SYMBOLS + DISTANCE_SYMBOLS> lengths{};
    int count = 0;
    for (int s = 0; s <= literal_top; ++s)
        lengths[static_cast<std::size_t>(count++)] = static_cast<std::int8_t>(length_at(literal, s));
    for (int s = 0; s <= distance_top; ++s) {
        lengths[static_cast<std::size_t>(count++)] =
            static_cast<std::int8_t>(distance_top == 0 && c.distance[0] == 0 ? 1 : length_at(distance, s));
    }
    std::array<std::int32_t, 19> symbols{};
    std::int64_t header = 14;
    for (int i = 0; i < count;) {
        const int value = lengths[static_cast<std::size_t>(i)];
        int run = 1;
        while (i + run < count && lengths[static_cast<std::size_t>(i + run)] == value) ++run;
        i += run;
        if (value == 0) {
            for (; run >= 11; run -= std::min(run, 138)) ++symbols[18], header += 7;
            if (run >= 3) ++symbols[17], header += 3, run = 0;
            symbols[0] += run;
        } else {
            ++symbols[static_cast<std::size_t>(value)];
            --run;
            for (; run >= 3; run -= std::min(run, 6)) ++symbols[16], header += 2;
            symbols[static_cast<std::size_t>(value)] += run;
        }
    }
    const coding::BLenTable length_code = coding::build_code_lengths(symbols, 7, coding::SingleCode::ONE_BIT);
    int sent = 4;
    constexpr std::array<int, 19> ORDER = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (int k = 0; k < 19; ++k) {
        if (length_at(length_code, ORDER[static_cast<std::size_t>(k)]) != 0) sent = std::max(sent, k + 1);
        header += std::int64_t{symbols[static_cast<std::size_t>(k)]} * length_at(length_code, k);
    }
    header += 3 * sent;
    return std::min(dynamic + header, fixed) + extra;
}

// Cuts the segment's parse (positions [0, n)) into blocks: block b is
// parse_[bounds[b], bounds[b + 1]), from segment position positions[b] to
// positions[b + 1].
void BestParser::split_blocks(int n, std::vector<int>& bounds, std::vector<int>& positions) {
    bounds.assign(1, 0);
    positions.assign(1, 0);
    std::vector<Counts> pieces;
    {
        Counts counts;
        int position = 0;
        std::size_t first = 0;
        for (std::size_t k = 0; k < parse_.size(); ++k) {
            position += parse_[k].length;
            if (position >= static_cast<int>(pieces.size() + 1) * CHUNK && n - position >= CHUNK / 2) {
                Counts piece;
                count_steps(parse_, first, k + 1, positions.back(), piece);
                pieces.push_back(piece);
                first = k + 1;
                bounds.push_back(static_cast<int>(first));
                positions.push_back(position);
            }
        }
        count_steps(parse_, first, parse_.size(), positions.back(), counts);
        pieces.push_back(counts);
        bounds.push_back(static_cast<int>(parse_.size()));
        positions.push_back(n);
    }
    // Merges the neighbours that save the most, while any pair saves:
    // first by estimates, then by the exact cost of the blocks left.
    const auto merge = [&](auto price) {
        std::vector<std::int64_t> bits;
        for (const Counts& piece : pieces) bits.push_back(price(piece));
        const auto merged_saving = [&](std::size_t i) {
            Counts both = pieces[i];
            both.add(pieces[i + 1]);
            return bits[i] + bits[i + 1] - price(both);
        };
        std::vector<std::int64_t> saving;
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i) saving.push_back(merged_saving(i));
        while (!saving.empty()) {
            const std::size_t i =
                static_cast<std::size_t>(std::max_element(saving.begin(), saving.end()) - saving.begin());
            if (saving[i] < 0) break;
            bits[i] = bits[i] + bits[i + 1] - saving[i];
            pieces[i].add(pieces[i + 1]);
            const auto next = static_cast<std::ptrdiff_t>(i) + 1;
            pieces.erase(pieces.begin() + next);
            bits.erase(bits.begin() + next);
            bounds.erase(bounds.begin() + next);
            positions.erase(positions.begin() + next);
            saving.erase(saving.begin() + next - 1);
            if (i > 0) saving[i - 1] = merged_saving(i - 1);
            if (i < saving.size()) saving[i] = merged_saving(i);
        }
    };
    merge([](const Counts& c) { return estimate_bits(c); });
    merge([this](const Counts& c) { return block_bits(c); });
}

void BestParser::emit(DeflateBlockEnc& writer, int position) {
    const std::uint8_t* const segment = buffer_.data() + start_;
    for (const Step s : parse_) {
        if (s.length == 1) {
            writer.literal_put(segment[position]);
        } else {
            writer.match_len_put(257 + s.length, s.distance - 1);
        }
        position += s.length;
    }
}

// Moves every absolute position down by a multiple of the ring's size, so
// that each node keeps its slot; entries that would go below 1 are out of
// reach anyway and become 0. base_ stays above the window.
void BestParser::rebase() {
    const std::uint32_t delta = (base_ - WINDOW - 1) & ~static_cast<std::uint32_t>(WINDOW - 1);
    const auto moved = [delta](std::uint32_t& entry) { entry = entry > delta ? entry - delta : 0; };
    for (std::uint32_t& entry : head4_) moved(entry);
    for (std::uint32_t& entry : head3_) moved(entry);
    for (std::uint32_t& entry : child_) moved(entry);
    base_ -= delta;
}

void BestParser::run(DeflateSource& input, DeflateBlockEnc& writer) {
    writer.allow_fixed_blocks();
    // A new file starts a window beyond everything entered before. A file
    // that ended in an exception (its output failed, memory ran out) left
    // entries past next_file_, which the next file would meet as its own:
    // the tables are cleared then.
    if (!clean_ || next_file_ >= POSITION_LIMIT) {
        std::fill(head4_.begin(), head4_.end(), 0);
        std::fill(head3_.begin(), head3_.end(), 0);
        std::fill(child_.begin(), child_.end(), 0);
        next_file_ = WINDOW + 1;
    }
    base_ = next_file_;
    start_ = 0;
    clean_ = false;
    int data_end = input.fill(buffer_.data(), SEGMENT + LONGEST);
    while (data_end > start_) {
        const int end = std::min(start_ + SEGMENT, data_end);
        const int n = end - start_;
        find_matches(start_, end, data_end);
        greedy_parse(n);
        for (int round = 0; round < (n >= FIRST_MIN ? FIRST_ROUNDS : 0); ++round) {
            Counts counts;
            count_steps(parse_, 0, parse_.size(), 0, counts);
            set_costs(counts);
            cheapest_parse(0, n, true);
        }
        split_blocks(n, bounds_, positions_);
        segment_parse_.swap(parse_);
        for (std::size_t b = 0; b + 1 < bounds_.size(); ++b) {
            const int from = positions_[b];
            const int to = positions_[b + 1];
            // Each round prices the block by the counts of its last parse,
            // the first by its piece of the segment's parse.
            Counts counts;
            count_steps(segment_parse_, static_cast<std::size_t>(bounds_[b]), static_cast<std::size_t>(bounds_[b + 1]),
                        from, counts);
            for (int round = 0; round < BLOCK_ROUNDS; ++round) {
                set_costs(counts);
                cheapest_parse(from, to);
                counts = Counts{};
                count_steps(parse_, 0, parse_.size(), from, counts);
            }
            emit(writer, from);
            if (b + 2 < bounds_.size()) writer.end_block();
        }
        // The next segment follows a full window of history.
        int keep_from = end - WINDOW;
        if (keep_from > 0) {
            std::memmove(buffer_.data(), buffer_.data() + keep_from, static_cast<std::size_t>(data_end - keep_from));
            base_ += static_cast<std::uint32_t>(keep_from);
            data_end -= keep_from;
            start_ = WINDOW;
        } else {
            start_ = end;
        }
        if (base_ >= POSITION_LIMIT) rebase();
        const int got = input.fill(buffer_.data() + data_end, BUFFER - data_end);
        data_end += got;
        // The last segment's last block is the final one, which the
        // caller's finish writes; every other segment ends its block here.
        if (data_end > start_) writer.end_block();
    }
    next_file_ = base_ + static_cast<std::uint32_t>(data_end) + WINDOW + 1;
    clean_ = true;
}

}  // namespace

void deflate_parse_best(DeflateSource& input, DeflateBlockEnc& writer) { BestParser::reused().run(input, writer); }
