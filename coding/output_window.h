// OutputWindow: the history of an LZ77 decoder laid out flat, with the
// entry's output collected behind it and handed to the FileDecOutStream in
// large blocks.
//
// The buffer holds, in order: the history a match may reach back into
// (before the first byte: the method's starting contents), the bytes
// decoded since the last flush, and room for the longest match plus a word
// of slack. A match source is always the write position minus its
// distance, with no wrapping; when the area fills up, the pending bytes go
// to the output stream in one run (one write, one CRC pass) and the last
// history bytes move down to the front.
//
// Decoders write through two paths. The fast one (fast(), cursor(),
// copy_match()) checks nothing per byte: it may run only while fast() says
// that the longest match still fits both the area and the entry's size. The
// careful one (put(), copy_cut()) checks before every symbol and cuts a
// match at the entry's size, so it can run up to the last byte. Both give
// the bytes of a byte-by-byte ring copy: a source that overlaps the bytes
// being written repeats them.
//
// Pending bytes are flushed by flush() and by the destructor, so a decoder
// that throws leaves the file holding everything decoded before the error.
//
// The history's starting contents are written when something first reads
// them: a match that reaches before the entry's first byte, or a slide
// that keeps some of them. Most entries never do either, and a small entry
// of a method with a large dictionary (64 KiB for -lh7-) would otherwise
// write, and fault in, every page of it for a few hundred bytes of output.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace coding {

template <class Out>
class OutputWindow {
public:
    // The largest stretch decoded between two flushes.
    static constexpr std::size_t AREA = std::size_t{1} << 18;
    // Slack after the longest match for the word-wide copies' overrun.
    static constexpr std::size_t SLACK = 16;

    // history: the farthest a match may reach back; fill: the bytes that
    // lie before the first one. longest_match: the longest single copy.
    // An entry that fits the area never slides, so a decoder whose matches
    // cannot reach before the first byte may pass history 0 for it (see
    // history_needed).
    OutputWindow(Out& out, std::size_t history, std::uint8_t fill, std::size_t longest_match)
        : out_(out), history_(history), longest_(longest_match), area_(area_for(out.expected_size, longest_match)),
          buffer_(new std::uint8_t[history + area_ + longest_match + SLACK]), pos_(history), flushed_(history),
          origin_(static_cast<std::int64_t>(history)), fill_(fill), history_filled_(history == 0) {
        limit_update();
    }

    OutputWindow(const OutputWindow&) = delete;
    OutputWindow& operator=(const OutputWindow&) = delete;
    ~OutputWindow() { flush(); }

    // The history a decoder with the given farthest distance needs when
    // its matches never reach before the entry's first byte: none when the
    // whole entry fits the area.
    static std::size_t history_needed(std::int64_t expected_size, std::size_t longest_match, std::size_t farthest) {
        return expected_size >= 0 && static_cast<std::size_t>(expected_size) <= area_for(expected_size, longest_match)
                   ? 0
                   : farthest;
    }

    // Whether one more symbol, however long its match, may take the fast
    // path. When it may not, the area is emptied if that helps; a false
    // answer then means the entry's end is near: use the careful path.
    bool fast() {
        if (pos_ + longest_ <= limit_) return true;
        if (!slide_helps_) return false;
        slide();
        return pos_ + longest_ <= limit_;
    }

    // The fast path keeps the write position in a local variable (where
    // the bytes it writes cannot alias it): after fast() said yes, cursor()
    // is where the next byte goes and cursor_limit() the last place from
    // which one more symbol, however long its match, may be written;
    // advance() takes the position back. Matches go through copy_match.
    std::uint8_t* cursor() { return buffer_.get() + pos_; }
    const std::uint8_t* cursor_limit() const { return buffer_.get() + (limit_ - longest_); }
    void advance(const std::uint8_t* to) { pos_ = static_cast<std::size_t>(to - buffer_.get()); }

    // For the fast path past its limit: takes the position back, asks
    // fast() and gives the new position and limit. fast() may move the
    // bytes (and so the write position) even when it says no, so out is
    // renewed either way; on false the careful path goes on from it.
    bool renew(std::uint8_t*& out, const std::uint8_t*& limit) {
        advance(out);
        const bool go_on = fast();
        out = cursor();
        limit = cursor_limit();
        return go_on;
    }

    // For the fast path: the address below which the history still waits
    // for its starting contents (0 once it has them). A match whose source
    // lies below it calls fill_history() first; the value is read again
    // after fill_history() and renew(), as a slide fills the history too.
    std::uintptr_t unfilled_below() const {
        return history_filled_ ? 0 : reinterpret_cast<std::uintptr_t>(buffer_.get() + history_);
    }
    void fill_history() {
        std::memset(buffer_.get(), fill_, history_);
        history_filled_ = true;
    }

    // Bytes produced since the start of the entry up to a place of the
    // fast path.
    std::int64_t produced_at(const std::uint8_t* at) const { return (at - buffer_.get()) - origin_; }

    // Writes length bytes at to from distance back (1 to the history size,
    // or to what was produced when there is no history). Up to 15 bytes
    // past the match may be overwritten (the slack): they lie beyond the
    // write position and are written again before they count.
    static void copy_match(std::uint8_t* to, std::size_t distance, std::size_t length) {
        const std::uint8_t* from = to - distance;
        std::uint8_t* const end = to + length;
        if (distance == 1) {
            std::memset(to, *from, length);
            return;
        }
        if (distance < 8) {
            // Repeating the first distance bytes (one short copy that does
            // not overlap, then one of twice the size) leaves a gap of a
            // multiple of the distance and at least eight between source and
            // target: the bytes the words below copy are the pattern again.
            while (to - from < 8) {
                const auto gap = static_cast<std::size_t>(to - from);
                for (std::size_t k = 0; k < gap; ++k) to[k] = from[k];
                to += gap;
                if (to >= end) return;
            }
        }
        // Each word's source ends at least eight bytes behind its target,
        // so it has been written already, also by the word just before.
        do {
            std::memcpy(to, from, 8);
            std::memcpy(to + 8, from + 8, 8);
            to += 16;
            from += 16;
        } while (to < end);
    }

    // Careful path: one byte; true when the entry is complete (the byte is
    // kept also then).
    bool put(std::uint8_t byte) {
        if (pos_ >= history_ + area_) slide();
        buffer_[pos_++] = byte;
        return left() <= 0;
    }

    // Careful path: a match cut at the entry's size (at least one byte is
    // written); true when the entry is complete.
    bool copy_cut(std::size_t distance, std::size_t length) {
        if (pos_ >= history_ + area_) slide();
        if (!history_filled_ && pos_ < history_ + distance) fill_history();
        const std::int64_t left_now = left();
        const auto size = static_cast<std::size_t>(
            left_now <= 0 ? 1 : std::min<std::int64_t>(left_now, static_cast<std::int64_t>(length)));
        copy_match(buffer_.get() + pos_, distance, size);
        pos_ += size;
        return left() <= 0;
    }

    // Careful path: up to size bytes taken by read(destination, size),
    // which returns how many it gave; cut at the entry's size (at least one
    // byte is asked for). Returns how many arrived.
    template <class Read>
    std::size_t take(std::size_t size, Read&& read) {
        if (pos_ >= history_ + area_) slide();
        const std::int64_t left_now = left();
        std::size_t room = history_ + area_ - pos_;
        if (left_now > 0)
            room = static_cast<std::size_t>(std::min<std::int64_t>(left_now, static_cast<std::int64_t>(room)));
        else
            room = 1;
        const std::size_t got = read(buffer_.get() + pos_, std::min(size, room));
        pos_ += got;
        return got;
    }

    // Bytes still missing to the entry's size (0 or less when complete).
    std::int64_t left() const { return out_.expected_size - out_.count - static_cast<std::int64_t>(pos_ - flushed_); }

    // Bytes produced since the start of the entry.
    std::int64_t produced() const { return static_cast<std::int64_t>(pos_) - origin_; }

    // Hands the pending bytes to the output stream.
    void flush() {
        if (pos_ > flushed_) out_.put(buffer_.get() + flushed_, pos_ - flushed_);
        flushed_ = pos_;
    }

private:
    static std::size_t area_for(std::int64_t expected_size, std::size_t longest_match) {
        // A small entry gets a small buffer: no large allocation per file.
        const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(expected_size, 1, AREA));
        return std::max(wanted, longest_match);
    }

    // Flushes, then keeps only the history in front of the write position.
    void slide() {
        flush();
        const std::size_t shift = pos_ - history_;
        // The bytes kept are the last history_ before the write position:
        // some of the starting contents among them unless the entry has
        // produced that many.
        if (!history_filled_ && shift < history_) fill_history();
        history_filled_ = true;
        std::memmove(buffer_.get(), buffer_.get() + shift, history_);
        pos_ = history_;
        flushed_ = history_;
        origin_ -= static_cast<std::int64_t>(shift);
        limit_update();
    }

    // The fast path ends where the entry is complete or, when the entry
    // goes on beyond the area, where the area ends (and a slide helps).
    void limit_update() {
        const std::int64_t to_end = std::max<std::int64_t>(left(), 0);
        const std::size_t area_end = history_ + area_;
        slide_helps_ = to_end > static_cast<std::int64_t>(area_end - pos_);
        limit_ = slide_helps_ ? area_end : pos_ + static_cast<std::size_t>(to_end);
    }

    Out& out_;
    std::size_t history_;
    std::size_t longest_;
    std::size_t area_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t pos_;      // next byte to write
    std::size_t flushed_;  // first byte not yet handed to out_
    std::size_t limit_ = 0;
    bool slide_helps_ = false;
    std::int64_t origin_;  // where the entry's first byte is (or would be)
    std::uint8_t fill_;
    bool history_filled_;  // the history holds its starting contents or real bytes
};

}  // namespace coding
