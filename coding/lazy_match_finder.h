// LazyMatchFinder: LZ77 parsing with lazy matching, shared by the Deflate
// and the -lh6-/-lh7- encoders, which differ only in window, longest match
// and how hard to search (LazyMatchParams).
//
// Every position is entered into hash chains keyed on its next four bytes,
// and into a table that holds, for a hash of its next three bytes, only the
// latest position. At each position the four-byte chain is searched for the
// longest earlier match within the window, visiting at most max_chain
// candidates and stopping at nice_length; when it has none, the latest
// position of the three-byte table gives a three-byte match. A match is not
// taken at once: the next position is searched too, and when it yields a
// longer match, the first byte goes out as a literal and the longer match
// becomes the one in hand. A match of lazy_length or more is taken without
// that look.
//
// A 3-byte match far away costs more bits than its three literals in both
// formats (the distance's extra bits alone are over 10), so such a match
// farther than far_three is not used. That is also why the nearest
// three-byte candidate is the only one worth a look.
//
// A candidate is rejected by two four-byte compares before its match is
// measured: one ending at the byte past the best length so far (only a
// longer match counts) and one at the start.
//
// The buffer holds four windows; chains are indexed by position modulo two
// windows, so a walk that stays inside the window never meets a slot that a
// newer position has reused. The buffer slides by two windows at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace coding {

// How hard one input is searched.
struct LazySearch {
    int max_chain;    // candidates visited per search
    int nice_length;  // a match this long ends the search
    int lazy_length;  // a match this long is taken without looking one byte on

    bool operator==(const LazySearch&) const = default;
};

struct LazyMatchParams {
    int window;   // largest distance; a power of two, 4096 to 65536
    int longest;  // longest match, at most 258
    LazySearch search;
    int good_length;  // with a match this long in hand, a quarter of the chain is visited
    int far_three;    // a 3-byte match farther than this is not used
    // A whole input of at most small_input bytes (0: none) is searched as
    // small_search says instead: in a small file the longer search finds
    // little that the block's own code does not already make cheap, and
    // per byte it costs as much as in a large one.
    int small_input = 0;
    LazySearch small_search{};

    bool operator==(const LazyMatchParams&) const = default;
};

// Bounded chains with lazy matching, the usual middle setting for a 32 KiB
// window: deeper chains buy a fraction of a percent for much more time.
// Formats with other windows or lengths start from it.
constexpr LazyMatchParams MIDDLE_LAZY_PARAMS = {
    .window = 32768,
    .longest = 258,
    .search = {.max_chain = 128, .nice_length = 128, .lazy_length = 32},
    .good_length = 8,
    .far_three = 4096,
};

// The parse handed to a block writer whose match symbols are the length
// plus LengthOffset and whose distances are stored less one, as both the
// Deflate and the LZH block writers take them.
template <class BlockWriter, int LengthOffset>
struct BlockWriterSink {
    BlockWriter& writer;
    void literal(int byte) { writer.literal_put(byte); }
    void match(int length, int distance) { writer.match_len_put(length + LengthOffset, distance - 1); }
};

class LazyMatchFinder {
public:
    static constexpr int SHORTEST = 3;

    explicit LazyMatchFinder(const LazyMatchParams& params);

    LazyMatchFinder(const LazyMatchFinder&) = delete;
    LazyMatchFinder& operator=(const LazyMatchFinder&) = delete;

    // A finder for params kept from one call to the next in this thread:
    // its buffers run to a megabyte, and memory given back to the system
    // after every file costs the page faults of touching it again for the
    // next one.
    static LazyMatchFinder& reused(const LazyMatchParams& params);

    // Parses the whole input. read(destination, room) stores up to room
    // bytes and returns how many; fewer only when the input has ended.
    // sink.literal(byte) and sink.match(length, distance) receive the parse
    // in order.
    template <class Read, class Sink>
    void run(Read&& read, Sink& sink);

private:
    struct Match {
        int length = 0;
        int distance = 0;
    };

    template <class Read>
    void top_up(Read& read);
    void reset();
    // Chooses the number of hash buckets once the first buffer is read, and
    // empties them.
    void clear_heads();
    void end_input();
    // Moves the buffer down, keeping a window behind p; returns by how much.
    std::int32_t slide(std::int32_t p);
    // Enters p into the chains and returns the best match longer than
    // at_least (0 length when there is none).
    Match insert_and_search(std::int32_t p, int at_least);
    void insert(std::int32_t p);

    LazyMatchParams params_;
    LazySearch search_{};  // how the current input is searched (see small_input)
    std::int32_t buffer_size_;
    std::int32_t chain_mask_;
    // Left uninitialised where no byte is read before it is written: most
    // files are small, and a run touches only what its file needs.
    std::unique_ptr<std::uint8_t[]> buffer_;  // buffer_size_ bytes and a tail for wide loads
    std::unique_ptr<std::int32_t[]> head4_;   // by four-byte hash: latest position, or -1
    std::unique_ptr<std::int32_t[]> head3_;   // by three-byte hash: latest position, or -1
    std::unique_ptr<std::int32_t[]> chain_;   // by position modulo two windows: the one before
    int hash4_bits_ = 0;                      // buckets of head4_ (half as many in head3_)
    std::int32_t end_ = 0;                    // valid bytes in buffer_
    bool ended_ = false;                      // the input has no more bytes
};

template <class Read>
void LazyMatchFinder::top_up(Read& read) {
    while (!ended_ && end_ < buffer_size_) {
        const std::size_t room = static_cast<std::size_t>(buffer_size_ - end_);
        const std::size_t got = read(buffer_.get() + end_, room);
        end_ += static_cast<std::int32_t>(got);
        if (got < room) end_input();
    }
}

template <class Read, class Sink>
void LazyMatchFinder::run(Read&& read, Sink& sink) {
    reset();
    top_up(read);
    clear_heads();
    search_ = ended_ && end_ <= params_.small_input ? params_.small_search : params_.search;
    // Bytes that must lie ahead of a search while the input goes on: a
    // longest match and the two further bytes its last position hashes.
    const std::int32_t look_ahead = params_.longest + SHORTEST;
    std::int32_t p = 0;
    Match held;              // the match found at p - 1, waiting for the look at p
    bool byte_held = false;  // whether the byte at p - 1 is still to be sent
    while (p < end_) {
        if (end_ - p < look_ahead && !ended_) {
            p -= slide(p);
            top_up(read);
        }
        Match found;
        if (held.length < search_.lazy_length) {
            found = insert_and_search(p, held.length);
        } else {
            insert(p);
        }
        if (found.length == SHORTEST && found.distance > params_.far_three) found = Match{};

        if (held.length >= SHORTEST && found.length <= held.length) {
            // The match found one byte back stands: it covers p - 1 on.
            sink.match(held.length, held.distance);
            const std::int32_t match_end = p - 1 + held.length;
            for (std::int32_t q = p + 1; q < match_end; ++q) insert(q);
            p = match_end;
            held = Match{};
            byte_held = false;
            continue;
        }
        if (byte_held) sink.literal(buffer_[static_cast<std::size_t>(p) - 1]);
        held = found;
        byte_held = true;
        ++p;
    }
    if (byte_held) sink.literal(buffer_[static_cast<std::size_t>(p) - 1]);
}

}  // namespace coding
