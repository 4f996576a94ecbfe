// Near-optimal parsing for the BEST Deflate level.
//
// The input is cut into segments of at most SEGMENT bytes, and each segment
// becomes one block. For a segment:
//   1. Every position is entered into hash chains (four-byte hashes over
//      the segment and the 32 KiB before it) and into a table of the latest
//      position of each three-byte hash. The latest position that shares
//      three bytes gives the first match, then the chain is walked for
//      longer ones: each candidate that is longer than all nearer ones is
//      kept, so the list holds, for every length up to the longest, the
//      nearest distance that reaches it. After a match of
//      SKIP_LENGTH or more the positions it covers are entered but not
//      searched: a long match is almost always taken, and long runs would
//      otherwise cost a search per byte.
//   2. A first parse takes the longest match everywhere; its symbol counts
//      give a first Huffman code, whose lengths are the bit costs of the
//      symbols.
//   3. Repeatedly, the cheapest parse under those costs is found by dynamic
//      programming over the positions (every literal and every length of
//      every kept match is an edge), and its own counts give the costs of
//      the next round. A symbol that the parse does not use costs as much
//      as a long code.
//   4. The last parse goes to the block writer, which builds the block's
//      codes from exactly those counts, and the block ends there.
// Matches end within their segment, so that every segment is parsed alone.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "deflate_level_parse.h"
#include "deflate_tables.h"
#include "match_bytes.h"

namespace {

constexpr int WINDOW = 32768;
// At most as many bytes as the block writer buffers entries, so that it
// never cuts a segment's block by itself.
constexpr int SEGMENT = DeflateBlockEnc::BUFFER_ENTRIES - 2;
constexpr int SHORTEST = 3;
constexpr int LONGEST = 258;
constexpr int MAX_CHAIN = 256;
constexpr int SKIP_LENGTH = 128;
constexpr int ROUNDS = 4;
constexpr int HASH4_BITS = 16;
constexpr int HASH3_BITS = 15;
constexpr int LOAD_TAIL = 8;
constexpr int BUFFER = WINDOW + SEGMENT;
// The cost of a symbol the current code lacks, in bits.
constexpr int UNUSED_COST = 13;
constexpr int LITERAL_SYMBOLS = 286;
constexpr int DISTANCE_SYMBOLS = 30;

struct Match {
    std::uint16_t length;
    std::uint16_t distance;
};

// One step of a parse: a literal (length 1) or a match.
struct Step {
    std::uint16_t length;
    std::uint16_t distance;
};

class BestParser {
public:
    BestParser()
        : buffer_(BUFFER + LOAD_TAIL, 0), head4_(std::size_t{1} << HASH4_BITS, -1),
          head3_(std::size_t{1} << HASH3_BITS, -1), chain_(BUFFER, -1), match_start_(SEGMENT + 1), cost_(SEGMENT + 1),
          step_(SEGMENT + 1), length_symbol_(LONGEST + 1), length_extra_(LONGEST + 1) {
        const LengthCodeTable& lengths = LengthCodeTable::of(DeflateVariant::DEFLATE);
        for (int length = SHORTEST; length <= LONGEST; ++length) {
            const DeflateCodeRow row = lengths.row(length);
            length_symbol_[static_cast<std::size_t>(length)] = static_cast<std::uint16_t>(row.code);
            length_extra_[static_cast<std::size_t>(length)] = static_cast<std::uint8_t>(row.extra_bits);
        }
        const DistanceCodeTable& distances = DistanceCodeTable::of(DeflateVariant::DEFLATE);
        for (int code = 0; code < DISTANCE_SYMBOLS; ++code) {
            distance_extra_[static_cast<std::size_t>(code)] = distances.code(code).extra_bits;
        }
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

    void find_matches(int start, int end);
    void greedy_parse(int n);
    void cheapest_parse(int n);
    void count_parse();
    void set_costs();
    void emit(DeflateBlockEnc& writer);
    void slide(int delta);

    std::vector<std::uint8_t> buffer_;
    int start_ = 0;                    // where the segment being parsed begins in buffer_
    std::vector<std::int32_t> head4_;  // by four-byte hash: latest position, or -1
    std::vector<std::int32_t> head3_;  // by three-byte hash: latest position, or -1
    std::vector<std::int32_t> chain_;  // by position: the one before on its four-byte chain
    // The matches of segment position i are matches_[match_start_[i] ..
    // match_start_[i + 1]), lengths increasing.
    std::vector<Match> matches_;
    std::vector<std::uint32_t> match_start_;
    std::vector<std::uint32_t> cost_;
    std::vector<Step> step_;
    std::vector<Step> parse_;  // the chosen steps, in order
    std::vector<std::uint16_t> length_symbol_;
    std::vector<std::uint8_t> length_extra_;
    std::array<int, DISTANCE_SYMBOLS> distance_extra_{};
    std::array<std::int32_t, LITERAL_SYMBOLS> literal_counts_{};
    std::array<std::int32_t, DISTANCE_SYMBOLS> distance_counts_{};
    std::array<std::uint32_t, LITERAL_SYMBOLS> literal_cost_{};
    std::array<std::uint32_t, DISTANCE_SYMBOLS> distance_cost_{};
    // The full cost of a match of each length (code and extra bits).
    std::array<std::uint32_t, LONGEST + 1> length_cost_{};
};

void BestParser::find_matches(int start, int end) {
    const std::uint8_t* const buffer = buffer_.data();
    matches_.clear();
    int skip_until = start;
    for (int p = start; p < end; ++p) {
        match_start_[static_cast<std::size_t>(p - start)] = static_cast<std::uint32_t>(matches_.size());
        const int limit = std::min(LONGEST, end - p);
        if (limit < SHORTEST) continue;
        const std::uint8_t* const here = buffer + p;
        const std::uint32_t h4 = coding::hash4(here, HASH4_BITS);
        std::int32_t candidate = head4_[h4];
        chain_[static_cast<std::size_t>(p)] = candidate;
        head4_[h4] = p;
        std::int32_t& slot3 = head3_[coding::hash3(here, HASH3_BITS)];
        const std::int32_t candidate3 = slot3;
        slot3 = p;
        if (p < skip_until) continue;

        const int low = std::max(p - WINDOW, 0);
        int best = SHORTEST - 1;
        // The latest position that shares three bytes is the nearest match
        // of every length it reaches; the four-byte chain holds no nearer one.
        if (candidate3 >= low) {
            const std::uint8_t* const there = buffer + candidate3;
            if (there[0] == here[0] && there[1] == here[1] && there[2] == here[2]) {
                best = coding::match_length(here, there, limit);
                matches_.push_back({static_cast<std::uint16_t>(best), static_cast<std::uint16_t>(p - candidate3)});
            }
        }
        if (best < limit && limit > SHORTEST) {
            // Only a longer match counts: it must agree on the four bytes
            // ending at index best, and on the first four.
            const std::uint32_t head_bytes = coding::load32(here);
            int tail = std::max(best - 3, 0);
            std::uint32_t tail_bytes = coding::load32(here + tail);
            for (int left = MAX_CHAIN; candidate >= low && left > 0;
                 candidate = chain_[static_cast<std::size_t>(candidate)], --left) {
                const std::uint8_t* const there = buffer + candidate;
                if (coding::load32(there + tail) != tail_bytes || coding::load32(there) != head_bytes) continue;
                const int length = 4 + coding::match_length(here + 4, there + 4, limit - 4);
                if (length > best) {
                    best = length;
                    matches_.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(p - candidate)});
                    if (length == limit) break;
                    tail = best - 3;
                    tail_bytes = coding::load32(here + tail);
                }
            }
        }
        if (best >= SKIP_LENGTH) skip_until = p + best;
    }
    match_start_[static_cast<std::size_t>(end - start)] = static_cast<std::uint32_t>(matches_.size());
}

void BestParser::greedy_parse(int n) {
    parse_.clear();
    for (int i = 0; i < n;) {
        const std::uint32_t first = match_start_[static_cast<std::size_t>(i)];
        const std::uint32_t last = match_start_[static_cast<std::size_t>(i) + 1];
        if (first != last) {
            const Match m = matches_[last - 1];
            parse_.push_back({m.length, m.distance});
            i += m.length;
        } else {
            parse_.push_back({1, 0});
            ++i;
        }
    }
}

void BestParser::cheapest_parse(int n) {
    constexpr std::uint32_t UNREACHED = std::numeric_limits<std::uint32_t>::max();
    std::fill(cost_.begin(), cost_.begin() + n + 1, UNREACHED);
    cost_[0] = 0;
    const std::uint8_t* const segment = buffer_.data() + start_;
    for (int i = 0; i < n; ++i) {
        const std::uint32_t here = cost_[static_cast<std::size_t>(i)];
        const std::uint32_t literal = here + literal_cost_[segment[i]];
        if (literal < cost_[static_cast<std::size_t>(i) + 1]) {
            cost_[static_cast<std::size_t>(i) + 1] = literal;
            step_[static_cast<std::size_t>(i) + 1] = {1, 0};
        }
        int length = SHORTEST;
        const std::uint32_t last = match_start_[static_cast<std::size_t>(i) + 1];
        for (std::uint32_t k = match_start_[static_cast<std::size_t>(i)]; k < last; ++k) {
            const Match m = matches_[k];
            const int code = distance_code(m.distance);
            const std::uint32_t base = here + distance_cost_[static_cast<std::size_t>(code)] +
                                       static_cast<std::uint32_t>(distance_extra_[static_cast<std::size_t>(code)]);
            for (; length <= m.length; ++length) {
                const std::uint32_t total = base + length_cost_[static_cast<std::size_t>(length)];
                std::uint32_t& target = cost_[static_cast<std::size_t>(i + length)];
                if (total < target) {
                    target = total;
                    step_[static_cast<std::size_t>(i + length)] = {static_cast<std::uint16_t>(length), m.distance};
                }
            }
        }
    }
    // Back from the end, then in order.
    parse_.clear();
    for (int i = n; i > 0;) {
        const Step s = step_[static_cast<std::size_t>(i)];
        parse_.push_back(s);
        i -= s.length;
    }
    std::reverse(parse_.begin(), parse_.end());
}

void BestParser::count_parse() {
    literal_counts_.fill(0);
    distance_counts_.fill(0);
    literal_counts_[256] = 1;  // the end-of-block code
    const std::uint8_t* const segment = buffer_.data() + start_;
    int i = 0;
    for (const Step s : parse_) {
        if (s.length == 1) {
            ++literal_counts_[segment[i]];
        } else {
            ++literal_counts_[length_symbol_[s.length]];
            ++distance_counts_[static_cast<std::size_t>(distance_code(s.distance))];
        }
        i += s.length;
    }
}

// Bit costs from the counts of the last parse: the lengths of the codes the
// block writer would build from them.
void BestParser::set_costs() {
    const coding::BLenTable literal = coding::build_code_lengths(literal_counts_, 15, coding::SingleCode::ONE_BIT);
    const coding::BLenTable distance = coding::build_code_lengths(distance_counts_, 15, coding::SingleCode::ONE_BIT);
    const auto cost_of = [](const coding::BLenTable& table, int symbol) -> std::uint32_t {
        const int length = static_cast<std::size_t>(symbol) < table.lengths.size()
                               ? table.lengths[static_cast<std::size_t>(symbol)]
                               : 0;
        return static_cast<std::uint32_t>(length > 0 ? length : UNUSED_COST);
    };
    for (int symbol = 0; symbol < LITERAL_SYMBOLS; ++symbol) {
        literal_cost_[static_cast<std::size_t>(symbol)] = cost_of(literal, symbol);
    }
    for (int symbol = 0; symbol < DISTANCE_SYMBOLS; ++symbol) {
        distance_cost_[static_cast<std::size_t>(symbol)] = cost_of(distance, symbol);
    }
    for (int length = SHORTEST; length <= LONGEST; ++length) {
        length_cost_[static_cast<std::size_t>(length)] =
            literal_cost_[length_symbol_[static_cast<std::size_t>(length)]] +
            length_extra_[static_cast<std::size_t>(length)];
    }
}

void BestParser::emit(DeflateBlockEnc& writer) {
    const std::uint8_t* const segment = buffer_.data() + start_;
    int i = 0;
    for (const Step s : parse_) {
        if (s.length == 1) {
            writer.literal_put(segment[i]);
        } else {
            writer.match_len_put(257 + s.length, s.distance - 1);
        }
        i += s.length;
    }
}

// Moves the buffer down by delta bytes; positions that fall out are gone.
void BestParser::slide(int delta) {
    std::memmove(buffer_.data(), buffer_.data() + delta, static_cast<std::size_t>(BUFFER - delta));
    const auto moved = [delta](std::int32_t entry) { return entry < delta ? -1 : entry - delta; };
    for (std::int32_t& entry : head4_) entry = moved(entry);
    for (std::int32_t& entry : head3_) entry = moved(entry);
    for (int i = 0; i + delta < BUFFER; ++i) {
        chain_[static_cast<std::size_t>(i)] = moved(chain_[static_cast<std::size_t>(i + delta)]);
    }
}

void BestParser::run(DeflateSource& input, DeflateBlockEnc& writer) {
    writer.allow_fixed_blocks();
    start_ = 0;
    int end = input.fill(buffer_.data(), SEGMENT);
    while (end > start_) {
        const int n = end - start_;
        find_matches(start_, end);
        greedy_parse(n);
        for (int round = 0; round < ROUNDS; ++round) {
            count_parse();
            set_costs();
            cheapest_parse(n);
        }
        emit(writer);
        // The next segment follows a full window of history.
        if (end - WINDOW > 0) {
            const int delta = end - WINDOW;
            slide(delta);
            end -= delta;
        }
        start_ = end;
        const int got = input.fill(buffer_.data() + end, SEGMENT);
        end += got;
        // The last segment's block is the final one, which the caller's
        // finish writes; every other segment ends its block here.
        if (got > 0) writer.end_block();
    }
}

}  // namespace

void deflate_parse_best(DeflateSource& input, DeflateBlockEnc& writer) {
    BestParser parser;
    parser.run(input, writer);
}
