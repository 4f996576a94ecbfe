// The constants of the Deflate match finder, shared by its two forms.
#pragma once

#include <cstdint>

namespace deflate_enc {

// The buffer holds the current stretch of the source; positions index it.
inline constexpr std::int32_t BUFFER_SIZE = 65536;
// Once the position reaches this point, fewer than one longest match is
// left before the buffer's end: the buffer slides.
inline constexpr std::int32_t SLIDE_POINT = BUFFER_SIZE - 256;
// How far the buffer slides: its upper half moves down to the lower half.
// Right after a slide 32512 bytes of history are left behind the position;
// the window fills up again as the position moves on.
inline constexpr std::int32_t SLIDE_DISTANCE = 32768;
// The largest distance Deflate can express.
inline constexpr std::int32_t WINDOW = 32768;
// Matches shorter than this are sent as literals.
inline constexpr std::int32_t SHORTEST_MATCH = 3;
// The longest match the finder produces. Deflate allows 258; stopping at
// 256 keeps every match inside the buffer up to the slide point.
inline constexpr std::int32_t LONGEST_MATCH = 256;
// Keys are two bytes: first byte times 256 plus the second.
inline constexpr std::int32_t KEY_COUNT = 65536;

static_assert(SLIDE_POINT + LONGEST_MATCH == BUFFER_SIZE);
static_assert(SLIDE_DISTANCE == BUFFER_SIZE / 2 && SLIDE_DISTANCE == WINDOW);

}  // namespace deflate_enc
