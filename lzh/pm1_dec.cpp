// The -pm1- decoder (see pm1_dec.h for the format).
#include "pm1_dec.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "lzh_dec_window.h"
#include "recent_bytes.h"
#include "truncated_fill.h"

namespace lzh {

namespace {

constexpr std::int32_t RING = 16384;
constexpr int LONGEST_RUN = 216;

// The data ended and what the zero bits then say makes no sense.
struct EndOfData {};

struct Range {
    int base;
    int bits;
};
constexpr Range LITERAL_RANGES[] = {{0, 4}, {16, 4}, {32, 5}, {64, 6}, {128, 6}, {192, 6}};

// The literal class trees, in the order of the stream's 5-bit number:
// "(x y)" is a node whose 0 branch is x and 1 branch is y; a to f are the
// classes 0 to 5; an empty string is no tree (every literal is class 0,
// no bits). Tree 17 holds d and e twice and no a or b.
constexpr std::string_view LITERAL_CLASS_TREES[32] = {
    "((((ab)c)d)(ef))",
    "(((ab)(cf))(de))",
    "(((ab)c)(d(ef)))",
    "((a(bc))(d(ef)))",
    "((a(bd))(c(ef)))",
    "((a(b(ef)))(cd))",
    "((ab)((cd)(ef)))",
    "((ab)((c(ef))d))",
    "((ab)(c(d(ef))))",
    "(a(((bf)c)(de)))",
    "(a(((b(ef))c)d))",
    "(a(((bc)d)(ef)))",
    "(a((b(cf))(de)))",
    "(a((bc)(d(ef))))",
    "(a((b(d(ef)))c))",
    "(a(b((cd)(ef))))",
    "(a(b(c(d(ef)))))",
    "(((de)c)(de))",
    "((a(be))(cd))",
    "((ab)(c(de)))",
    "(a(((be)c)d))",
    "(a((bc)(de)))",
    "(a((b(de))c))",
    "(a(b(c(de))))",
    "(((ab)c)d)",
    "((a(bd))c)",
    "((ab)(cd))",
    "(a((bd)c))",
    "(a(b(cd)))",
    "(a(bc))",
    "(ab)",
    "",
};

// A class tree as nodes: child[n][bit] is a class (>= 0) or ~node.
class ClassTree {
public:
    explicit ClassTree(std::string_view text) {
        if (!text.empty()) parse(text);
    }
    template <class BitSource>
    int decode(BitSource& bits) const {
        if (nodes_.empty()) return 0;
        int next = ~0;
        while (next < 0) next = nodes_[static_cast<std::size_t>(~next)][static_cast<std::size_t>(bits(1))];
        return next;
    }

private:
    // Parses one node or leaf at text[at] and returns its value.
    int parse(std::string_view text, std::size_t at = 0, std::size_t* end = nullptr) {
        if (text[at] != '(') {
            if (end) *end = at + 1;
            return text[at] - 'a';
        }
        const auto node = static_cast<int>(nodes_.size());
        nodes_.push_back({0, 0});
        std::size_t after = 0;
        const int zero = parse(text, at + 1, &after);
        const int one = parse(text, after, &after);
        nodes_[static_cast<std::size_t>(node)] = {zero, one};
        if (end) *end = after + 1;  // the ')'
        return ~node;
    }
    std::vector<std::array<int, 2>> nodes_;
};

class Pm1Decoder {
public:
    Pm1Decoder(BitInStream& input, FileDecOutStream& out) : input_(input), out_(out), window_(RING, RING_FILL) {}

    void run() {
        const ClassTree classes(LITERAL_CLASS_TREES[bits(5)]);
        auto bit_source = [this](int n) { return bits(n); };
        for (;;) {
            if (bits(1) == 0) {
                if (match()) return;
                continue;
            }
            const int run = run_length();
            for (int k = 0; k < run; ++k) {
                const Range r = LITERAL_RANGES[classes.decode(bit_source)];
                if (emit(recent_.at(r.base + bits(r.bits)))) return;
            }
            if (run != LONGEST_RUN && match()) return;
        }
    }

    // Output past the end of the data, for the limit on it.
    std::int64_t produced_after_end() const { return end_at_ < 0 ? 0 : produced_ - end_at_; }

private:
    // Bits past the end of the data read as 0.
    int bits(int n) {
        int value = 0;
        for (int k = 0; k < n; ++k) {
            int bit = input_.bit_get();
            if (bit < 0) {
                bit = 0;
                if (end_at_ < 0) end_at_ = produced_;
            }
            value = value << 1 | bit;
        }
        return value;
    }

    // A bit that counts only once `after` bytes are out; before, fallback.
    int bit_after(std::int64_t after, int fallback) { return produced_ >= after ? bits(1) : fallback; }

    int run_length() {
        int v = bits(2);
        if (v < 3) return v + 1;
        v = bits(3);
        if (v < 7) return v + 4;
        v = bits(4);
        if (v < 14) return v + 11;
        return v == 14 ? bits(6) + 25 : bits(7) + 89;
    }

    int match_length() {
        int v = bits(2);
        if (v < 3) return v + 3;
        v = bits(3);
        if (v < 5) return v + 6;
        if (v == 5) return bits(2) + 11;
        if (v == 6) return bits(3) + 15;
        v = bits(6);
        if (v < 62) return v + 23;
        return v == 62 ? bits(5) + 85 : bits(7) + 117;
    }

    int match_kind() {
        if (bits(1) == 0) {
            if (bit_after(576, 0) == 1) return 4;
            return bit_after(64, 0);
        }
        if (bit_after(64, 1) == 0) return 3;
        return bit_after(2624, 1) == 1 ? 2 : 5;
    }

    // The position range of a kind at the present output size.
    Range position_range(int kind) const {
        struct Step {
            std::int64_t below;
            int bits;
        };
        static constexpr Step KIND3[] = {{320, 8}};
        static constexpr Step KIND4[] = {{832, 8}, {1088, 9}, {1600, 10}};
        static constexpr Step KIND5[] = {{2880, 8}, {3136, 9}, {3648, 10}, {4672, 11}, {6720, 12}};
        static constexpr Range FULL[] = {{0, 6}, {64, 8}, {0, 6}, {64, 9}, {576, 11}, {2624, 13}};
        Range r = FULL[kind];
        const auto narrow = [&](const auto& steps) {
            for (const Step& s : steps) {
                if (produced_ < s.below) return s.bits;
            }
            return r.bits;
        };
        if (kind == 3) r.bits = narrow(KIND3);
        if (kind == 4) r.bits = narrow(KIND4);
        if (kind == 5) r.bits = narrow(KIND5);
        return r;
    }

    // Reads and copies one match; true when the entry is done.
    bool match() {
        const int kind = match_kind();
        const int length = kind < 2 ? 2 : match_length();
        const Range r = position_range(kind);
        const int value = r.base + bits(r.bits);
        if (value >= produced_) {
            if (end_at_ >= 0) throw EndOfData{};
            throw "Pm1Decoder: a match reaches back before the member's first byte.";
        }
        for (int k = 0; k < length; ++k) {
            if (emit(window_.history().back(value + 1))) return true;
        }
        return false;
    }

    bool emit(std::uint8_t byte) {
        if (window_.emit(out_, byte)) return true;
        recent_.use(byte);
        ++produced_;
        return produced_after_end() > TRUNCATED_FILL_LIMIT;
    }

    BitInStream& input_;
    FileDecOutStream& out_;
    LzhDecWindow window_;
    RecentBytes recent_;
    std::int64_t produced_ = 0;
    std::int64_t end_at_ = -1;  // output size when the data ended
};

}  // namespace

void decode_pm1(BitInStream& input, FileDecOutStream& out) {
    if (out.count >= out.expected_size) return;  // no data to read
    Pm1Decoder decoder(input, out);
    try {
        decoder.run();
        if (decoder.produced_after_end() == 0) return;
    } catch (const EndOfData&) {
    }
    fill_truncated_entry(out);
}

}  // namespace lzh
