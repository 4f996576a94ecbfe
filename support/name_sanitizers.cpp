// The two sanitizers that make a decoded stored name safe to create below
// the extraction directory.
#include "text_convert.h"

char16_t replacement_char = u'_';

namespace {

bool is_separator(char16_t unit) { return unit == u'/' || unit == u'\\'; }

}  // namespace

// A separator is dangerous where it starts a segment (an absolute path, or
// the second of "//", which Windows reads as a UNC prefix) and where it ends
// a segment of dots only ("../", "./"), which would climb out of the
// destination. Replacing exactly those separators keeps every ordinary
// "dir/name" intact.
int neutralize_leading_separators(WideString& name) {
    int replaced = 0;
    bool at_segment_start = true;
    for (char16_t& unit : name) {
        if (at_segment_start) {
            if (unit == u'.') continue;  // dots keep the segment "still only dots"
            if (is_separator(unit)) {
                unit = replacement_char;
                ++replaced;
            }
            at_segment_start = false;
        } else if (is_separator(unit)) {
            at_segment_start = true;
        }
    }
    return replaced;
}

// Characters that Windows refuses in file names, control characters and the
// C1 range. Slash and backslash stay: the name may carry its directories.
int replace_invalid_name_chars(WideString& name) {
    int replaced = 0;
    for (char16_t& unit : name) {
        bool invalid = unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
        switch (unit) {
        case u'"':
        case u'*':
        case u':':
        case u'<':
        case u'>':
        case u'?':
        case u'|': invalid = true; break;
        default: break;
        }
        if (invalid) {
            unit = replacement_char;
            ++replaced;
        }
    }
    return replaced;
}
