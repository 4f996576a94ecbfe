#include "unicode_names.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

constexpr char16_t VOICED_MARK = 0x3099;
constexpr char16_t SEMI_VOICED_MARK = 0x309A;

// The kana that take the voiced mark and their composed forms: the next
// code point for most of them, a place of its own for the rest (ゔ, ヴ and
// the voiced ワ ヰ ヱ ヲ came into Unicode later).
struct Composition {
    char16_t base;
    char16_t composed;
};
constexpr std::array<Composition, 48> VOICED = {{
    {0x304B, 0x304C}, {0x304D, 0x304E}, {0x304F, 0x3050}, {0x3051, 0x3052}, {0x3053, 0x3054},  // か行
    {0x3055, 0x3056}, {0x3057, 0x3058}, {0x3059, 0x305A}, {0x305B, 0x305C}, {0x305D, 0x305E},  // さ行
    {0x305F, 0x3060}, {0x3061, 0x3062}, {0x3064, 0x3065}, {0x3066, 0x3067}, {0x3068, 0x3069},  // た行
    {0x306F, 0x3070}, {0x3072, 0x3073}, {0x3075, 0x3076}, {0x3078, 0x3079}, {0x307B, 0x307C},  // は行
    {0x3046, 0x3094}, {0x309D, 0x309E},                                                        // う ゝ
    {0x30AB, 0x30AC}, {0x30AD, 0x30AE}, {0x30AF, 0x30B0}, {0x30B1, 0x30B2}, {0x30B3, 0x30B4},  // カ行
    {0x30B5, 0x30B6}, {0x30B7, 0x30B8}, {0x30B9, 0x30BA}, {0x30BB, 0x30BC}, {0x30BD, 0x30BE},  // サ行
    {0x30BF, 0x30C0}, {0x30C1, 0x30C2}, {0x30C4, 0x30C5}, {0x30C6, 0x30C7}, {0x30C8, 0x30C9},  // タ行
    {0x30CF, 0x30D0}, {0x30D2, 0x30D3}, {0x30D5, 0x30D6}, {0x30D8, 0x30D9}, {0x30DB, 0x30DC},  // ハ行
    {0x30A6, 0x30F4}, {0x30EF, 0x30F7}, {0x30F0, 0x30F8}, {0x30F1, 0x30F9}, {0x30F2, 0x30FA},  // ウ ワ ヰ ヱ ヲ
    {0x30FD, 0x30FE},                                                                          // ヽ
}};
// The semi-voiced mark goes only on the は and ハ rows; the composed form
// is two code points on.
constexpr std::array<char16_t, 10> SEMI_VOICED_BASES = {0x306F, 0x3072, 0x3075, 0x3078, 0x307B,
                                                        0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB};

// The composed form of base + mark, or 0 when there is none.
char16_t composed_of(char16_t base, char16_t mark) {
    if (mark == VOICED_MARK) {
        const auto found =
            std::find_if(VOICED.begin(), VOICED.end(), [base](const Composition& c) { return c.base == base; });
        return found == VOICED.end() ? 0 : found->composed;
    }
    if (std::find(SEMI_VOICED_BASES.begin(), SEMI_VOICED_BASES.end(), base) != SEMI_VOICED_BASES.end()) {
        return static_cast<char16_t>(base + 2);
    }
    return 0;
}

}  // namespace

// UTF-8 forms: 0xxxxxxx; 110xxxxx 10xxxxxx (from U+0080); 1110xxxx and two
// continuation bytes (from U+0800, not U+D800 to U+DFFF); 11110xxx and
// three (U+10000 to U+10FFFF).
bool is_utf8_beyond_ascii(const ByteString& bytes) {
    bool beyond_ascii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t count;
        std::uint32_t code;
        std::uint32_t lowest;
        if ((lead & 0xE0) == 0xC0) {
            count = 1, code = lead & 0x1Fu, lowest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            count = 2, code = lead & 0x0Fu, lowest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            count = 3, code = lead & 0x07u, lowest = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i <= count) return false;
        for (std::size_t k = 1; k <= count; ++k) {
            const auto next = static_cast<std::uint8_t>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        beyond_ascii = true;
        i += count + 1;
    }
    return beyond_ascii;
}

bool is_utf16le_name(const ByteString& bytes) {
    if (bytes.empty() || bytes.size() % 2 != 0) return false;
    bool pending_high = false;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto unit = static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                     (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (unit == 0 || low != pending_high) return false;
        pending_high = high;
    }
    return !pending_high;
}

WideString compose_kana_marks(const WideString& text) {
    WideString result;
    result.reserve(text.size());
    for (const char16_t c : text) {
        if ((c == VOICED_MARK || c == SEMI_VOICED_MARK) && !result.empty()) {
            if (const char16_t composed = composed_of(result.back(), c)) {
                result.back() = composed;
                continue;
            }
        }
        result.push_back(c);
    }
    return result;
}
