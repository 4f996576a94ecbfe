// The -pm2- decoder (see pm2_dec.h for the format).
#include "pm2_dec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "lzh_dec_window.h"
#include "recent_bytes.h"
#include "truncated_fill.h"

namespace lzh {

namespace {

constexpr std::int32_t RING = 8192;
constexpr int COMMAND_SYMBOLS = 29;
constexpr int LITERAL_SYMBOLS = 8;
constexpr int SHORT_MATCHES = 15;  // command symbols 8-22
constexpr int SHORT_MATCH_OFFSET = 2;
constexpr int SHORT_POSITION_SYMBOL = 0;  // of the match symbols: 6 bits
constexpr int LONGEST_MATCH_SYMBOL = 20;  // of the match symbols: v = 0
constexpr int SHORT_POSITION_BITS = 6;

struct Range {
    int base;
    int bits;
};
constexpr Range LITERAL_RANGES[LITERAL_SYMBOLS] = {{0, 3},  {8, 3},  {16, 4},  {32, 5},
                                                   {64, 5}, {96, 5}, {128, 6}, {192, 6}};
constexpr Range LONG_MATCH_RANGES[] = {{17, 3}, {25, 3}, {33, 5}, {65, 6}, {129, 7}, {256, 0}};

// Byte counts at which the tables change, and what changes.
constexpr std::int64_t FIRST_MARKS[] = {1024, 2048, 4096};
constexpr std::int64_t LATER_MARK_STEP = 4096;

struct EndOfData {};

class Pm2Decoder {
public:
    Pm2Decoder(BitInStream& input, FileDecOutStream& out) : input_(input), out_(out), window_(RING, RING_FILL) {}

    void run() {
        bits(1);  // unused
        read_command_table();
        read_position_table(5);
        for (;;) {
            const int symbol = commands_->decode(input_);
            if (symbol < 0) throw EndOfData{};
            if (symbol < LITERAL_SYMBOLS) {
                const Range r = LITERAL_RANGES[symbol];
                if (emit(recent_.at(r.base + bits(r.bits)))) return;
                continue;
            }
            const int match = symbol - LITERAL_SYMBOLS;
            int length = match + SHORT_MATCH_OFFSET;
            if (match >= SHORT_MATCHES) {
                const Range r = LONG_MATCH_RANGES[match - SHORT_MATCHES];
                length = r.base + bits(r.bits);
            }
            const int distance = position_value(match) + 1;
            for (int k = 0; k < length; ++k) {
                if (emit(window_.history().back(distance))) return;
            }
        }
    }

private:
    int bits(int n) {
        const int value = input_.n_bit_get(n);
        if (value < 0) throw EndOfData{};
        return value;
    }

    int position_value(int match) {
        if (match == SHORT_POSITION_SYMBOL) return bits(SHORT_POSITION_BITS);
        if (match == LONGEST_MATCH_SYMBOL) return 0;
        if (!positions_) throw "Pm2Decoder: position table is empty.";
        const int k = positions_->decode(input_);
        if (k < 0) throw EndOfData{};
        if (k == 0) return bits(SHORT_POSITION_BITS);
        return (1 << (k + 5)) + bits(k + 5);
    }

    // Puts a byte out; true when the entry is done. The byte that reaches a
    // mark brings the next tables in.
    bool emit(std::uint8_t byte) {
        if (window_.emit(out_, byte)) return true;
        recent_.use(byte);
        if (++produced_ == next_mark_) change_tables();
        return false;
    }

    void change_tables() {
        if (mark_index_ < 2) {
            read_position_table(6 + mark_index_);
        } else if (mark_index_ == 2) {
            if (bits(1) == 1) read_command_table();
            read_position_table(8);
        } else if (bits(1) == 1) {
            read_command_table();
            read_position_table(8);
        }
        ++mark_index_;
        next_mark_ = mark_index_ < 3 ? FIRST_MARKS[mark_index_] : next_mark_ + LATER_MARK_STEP;
    }

    void read_command_table() {
        const int count = bits(5);
        const int least = bits(3);
        uses_positions_ = count >= 10 && !(count == COMMAND_SYMBOLS && least == 0);
        if (count > COMMAND_SYMBOLS || (least == 0 && count == 0)) {
            throw "Pm2Decoder: command count is out of range.";
        }
        std::vector<int> lengths(COMMAND_SYMBOLS, 0);
        SingleCode single = SingleCode::ONE_BIT;
        if (least == 0) {
            lengths[static_cast<std::size_t>(count - 1)] = 1;
            single = SingleCode::ZERO_BITS;
        } else {
            const int width = bits(3);
            for (int s = 0; s < count; ++s) {
                const int field = bits(width);
                lengths[static_cast<std::size_t>(s)] = field == 0 ? 0 : least + field - 1;
            }
        }
        commands_.reset();
        commands_.emplace(BLenTable(lengths), single);
    }

    void read_position_table(int symbols) {
        if (!uses_positions_) return;
        std::vector<int> lengths(static_cast<std::size_t>(symbols), 0);
        for (int& length : lengths) length = bits(3);
        positions_.reset();
        // No used symbol: matches that need a position value are corrupt
        // data, thrown when one comes.
        if (std::count(lengths.begin(), lengths.end(), 0) == symbols) return;
        positions_.emplace(BLenTable(lengths), SingleCode::ZERO_BITS);
    }

    BitInStream& input_;
    FileDecOutStream& out_;
    LzhDecWindow window_;
    RecentBytes recent_;
    std::optional<HuffDec> commands_;
    std::optional<HuffDec> positions_;
    bool uses_positions_ = false;
    std::int64_t produced_ = 0;
    int mark_index_ = 0;
    std::int64_t next_mark_ = FIRST_MARKS[0];
};

}  // namespace

void decode_pm2(BitInStream& input, FileDecOutStream& out) {
    if (out.count >= out.expected_size) return;  // no data to read
    try {
        Pm2Decoder(input, out).run();
    } catch (const EndOfData&) {
        fill_truncated_entry(out);
    }
}

}  // namespace lzh
