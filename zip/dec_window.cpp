#include "dec_window.h"

namespace {

constexpr const char* FINISHED_EARLY = "It finished on the way.";

}  // namespace

void DecWindow::decode_entry(DeflateDec& decoder, ZipFileDecOutStream& out) {
    const auto longest = static_cast<std::size_t>(decoder.longest_match());
    Window window(
        out, Window::history_needed(out.expected_size, longest, static_cast<std::size_t>(decoder.farthest_distance())),
        0, longest);
    bool complete = false;
    if (out.expected_size <= 0) {
        const int first = decoder.symbol_get();
        if (first == -1) return;
        // Data where the header promised none: it is judged like any other
        // entry that reaches its size (and fails below if more follows).
        complete = symbol_put(first, decoder, window);
    }
    while (!complete) {
        if (decoder.stored_pending()) {
            // A stored block's bytes go straight into the window, as many
            // at once as the block, the area and the entry allow.
            bool cut = false;
            window.take(SIZE_MAX,
                        [&](std::uint8_t* to, std::size_t size) { return decoder.stored_get(to, size, cut); });
            if (cut) throw FINISHED_EARLY;
            complete = window.left() <= 0;
            continue;
        }
        decoder.fast_run(window);
        // The fast path may have ended right at the entry's size.
        if (window.left() <= 0) break;
        const int symbol = decoder.symbol_get();
        if (symbol == -1) throw FINISHED_EARLY;
        complete = symbol_put(symbol, decoder, window);
    }
    // The entry has its size; the stream must end exactly here, which
    // consumes the end code of the final block.
    window.flush();
    if (decoder.symbol_get() != -1) throw FINISHED_EARLY;
}

void DecWindow::distance_check(int distance, const Window& window) {
    if (distance < 1 || distance > window.produced()) {
        throw "decode_entry: a match reaches back before the entry's first byte.(illegal data.)";
    }
}

bool DecWindow::symbol_put(int symbol, DeflateDec& decoder, Window& window) {
    if (symbol < DeflateDec::END_OF_BLOCK) return window.put(static_cast<std::uint8_t>(symbol));
    const int distance = decoder.distance_get() + 1;
    distance_check(distance, window);
    return window.copy_cut(static_cast<std::size_t>(distance),
                           static_cast<std::size_t>(symbol - DeflateDec::MATCH_BASE));
}
