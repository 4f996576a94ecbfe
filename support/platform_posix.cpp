// Platform layer, POSIX implementation: the Windows services the system
// uses, provided on Linux.
//
// - Paths are UTF-8 on disk. Every "\" becomes "/" on the way to the file
//   system. A name that is not valid UTF-8 does not get lost: each byte that
//   cannot be decoded becomes the lone surrogate U+DC80..U+DCFF and turns
//   back into the same byte on the way out, so such a file can still be
//   listed, examined and opened. The system's own UTF-8 encoder writes
//   those units as "?" (a lone surrogate), which is how the name appears in
//   an archive.
// - Absolute paths are formed lexically against the current directory, as
//   GetFullPathNameW does: "." and ".." are resolved, links are not followed.
// - The system code page of a UTF-8 locale is 65001; bytes decoded in it
//   that are not UTF-8 are read as Shift-JIS or the language's code page
//   (system_decoding_code_page).
// - Code pages are converted through iconv, with the replacements of the
//   Win32 conversions: a character the code page cannot hold becomes "?"
//   (there is no best-fit mapping: "é" is "?" in code page 932, not "e");
//   undecodable bytes become U+FFFD (UTF-8), U+30FB (932) or "?", and make
//   the conversion fail under CONVERT_ERR_INVALID.
// - Message boxes are dialog windows when the program runs on a desktop
//   without a terminal (platform_posix_dialogs.cpp), else prompts on the
//   terminal (standard output and input).
#include "platform.h"
#include "platform_posix_dialogs.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <link.h>
#include <locale.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

namespace platform {
namespace {

// ======================================================================
// UTF-8 at the file-system boundary
// ======================================================================

constexpr char16_t ESCAPE_BASE = 0xDC00;  // undecodable byte b becomes U+DC00 + b

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Wide text to UTF-8, up to the first NUL (as a Win32 wide-string argument
// ends there). Escaped bytes go back as they came; any other lone surrogate
// becomes U+FFFD. With to_slash every "\" becomes "/".
std::string to_utf8(const WideString& text, bool to_slash) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A run of plain ASCII (most of nearly every path) goes in at once.
        std::size_t end = i;
        while (end < text.size() && text[end] != 0 && text[end] < 0x80 && !(to_slash && text[end] == u'\\')) ++end;
        if (end > i) {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            for (std::size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char>(text[k]);
            i = end - 1;
            continue;
        }
        const char16_t u = text[i];
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            append_utf8(out, cp);
            ++i;
        } else if (u >= ESCAPE_BASE + 0x80 && u <= ESCAPE_BASE + 0xFF) {
            out.push_back(static_cast<char>(u - ESCAPE_BASE));
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            append_utf8(out, 0xFFFD);
        } else if (to_slash && u == u'\\') {
            out.push_back('/');
        } else {
            append_utf8(out, u);
        }
    }
    return out;
}

std::string path_bytes(const WideString& path) { return to_utf8(path, true); }

// Strict UTF-8 to wide text: over-long forms, surrogates and code points
// above U+10FFFF are not decoded; each byte of such a sequence is escaped.
WideString from_utf8(const char* bytes, std::size_t length) {
    WideString out;
    out.reserve(length);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    while (i < length) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            // A run of plain ASCII goes in at once.
            std::size_t end = i + 1;
            while (end < length && s[end] < 0x80) ++end;
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            for (std::size_t k = i; k < end; ++k) out[at + (k - i)] = s[k];
            i = end;
            continue;
        }
        std::size_t need = 0;
        char32_t cp = 0, minimum = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1, cp = b & 0x1F, minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2, cp = b & 0x0F, minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3, cp = b & 0x07, minimum = 0x10000;
        }
        bool valid = need != 0 && i + need < length;
        for (std::size_t k = 1; valid && k <= need; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                valid = false;
            } else {
                cp = (cp << 6) | (s[i + k] & 0x3F);
            }
        }
        if (valid && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (!valid) {
            out.push_back(static_cast<char16_t>(ESCAPE_BASE + b));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += need + 1;
    }
    return out;
}

WideString from_utf8(const std::string& bytes) { return from_utf8(bytes.data(), bytes.size()); }

bool fits_path_buffer(const WideString& text) {
    return text.size() + 1 <= static_cast<std::size_t>(PATH_BUFFER_LENGTH);
}

// ======================================================================
// Code pages through iconv
// ======================================================================

// Code pages that name no particular character set.
constexpr int CP_ACP = 0, CP_OEMCP = 1, CP_MACCP = 2, CP_THREAD_ACP = 3;
constexpr int CP_UTF8 = 65001;

// The OEM code page that goes with an ANSI code page (the DOS code page of
// the same language); the East Asian ones are their own OEM code pages.
int oem_code_page_for(int ansi) {
    switch (ansi) {
    case 1250: return 852;
    case 1251: return 866;
    case 1253: return 737;
    case 1254: return 857;
    case 1255: return 862;
    case 1256: return 720;
    case 1257: return 775;
    case 1252: return 850;
    default: return ansi;
    }
}

int resolve_code_page(int code_page) {
    switch (code_page) {
    case CP_ACP:
    case CP_THREAD_ACP: return ansi_code_page();
    case CP_OEMCP: return oem_code_page_for(ansi_code_page());
    case CP_MACCP: return 10000;
    default: return code_page;
    }
}

// iconv's name for a Windows code page; empty for none.
std::string iconv_name(int code_page) {
    switch (code_page) {
    case CP_UTF8: return "UTF-8";
    case 65000: return "UTF-7";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932:
    case 51932: return "EUC-JP";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 50220:
    case 50221:
    case 50222: return "ISO-2022-JP";
    case 10000: return "MACINTOSH";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    // UTF-16 is the wide form itself: WideCharToMultiByte refuses it.
    case 1200:
    case 1201: return std::string();
    default: break;
    }
    if (code_page >= 28591 && code_page <= 28599) return "ISO-8859-" + std::to_string(code_page - 28590);
    if (code_page <= 0) return std::string();
    return "CP" + std::to_string(code_page);
}

// The wide side of every conversion: 16-bit units, little-endian bytes.
constexpr const char* WIDE_CHARSET = "UTF-16LE";

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : cd_(to.empty() || from.empty() ? reinterpret_cast<iconv_t>(-1) : iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

enum class Step { done, invalid, incomplete, failed };

// Converts as much of [in, in + in_left) as iconv can, appending to out.
Step convert_chunk(iconv_t cd, const char*& in, std::size_t& in_left, std::string& out) {
    char buffer[256];
    while (true) {
        char* out_ptr = buffer;
        std::size_t out_left = sizeof buffer;
        char* in_ptr = const_cast<char*>(in);
        const std::size_t r = in == nullptr ? iconv(cd, nullptr, nullptr, &out_ptr, &out_left)
                                            : iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        const int error = errno;
        if (in != nullptr) in = in_ptr;
        out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
        if (r != static_cast<std::size_t>(-1)) return Step::done;
        if (error == E2BIG) continue;
        if (error == EILSEQ) return Step::invalid;
        if (error == EINVAL) return Step::incomplete;
        return Step::failed;
    }
}

std::string units_to_bytes(const char16_t* units, std::size_t count) {
    std::string bytes;
    bytes.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<char>(units[i] & 0xFF));
        bytes.push_back(static_cast<char>(units[i] >> 8));
    }
    return bytes;
}

// Lengths as the Win32 conversions take them: -1 means up to and including
// the terminator; 0 and anything below -1 are invalid.
template <typename T>
bool source_extent(const T* source, int source_length, std::size_t& count) {
    if (source == nullptr || source_length == 0 || source_length < -1) return false;
    if (source_length == -1) {
        count = std::char_traits<T>::length(source) + 1;
    } else {
        count = static_cast<std::size_t>(source_length);
    }
    return true;
}

bool is_single_byte_windows_code_page(int code_page) {
    return (code_page >= 1250 && code_page <= 1258) || code_page == 874;
}

bool is_lead_byte(int code_page, unsigned char byte) {
    if (code_page == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    if (code_page == 936 || code_page == 949 || code_page == 950) return byte >= 0x81 && byte <= 0xFE;
    return false;
}

// Length of the longest start of a UTF-8 sequence at s that could still
// have become a valid character: such a start is replaced as one unit.
std::size_t utf8_maximal_subpart(const unsigned char* s, std::size_t length) {
    const unsigned char lead = s[0];
    std::size_t need = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF)
        need = 1;
    else if (lead >= 0xE0 && lead <= 0xEF)
        need = 2, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4)
        need = 3, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    std::size_t taken = 1;
    for (std::size_t k = 1; k <= need && k < length; ++k) {
        const unsigned char c = s[k];
        if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) break;
        ++taken;
    }
    return taken;
}

// Whether iconv's table for a single-byte code page leaves a byte undefined.
bool is_hole(int code_page, unsigned char byte) {
    Converter cd(WIDE_CHARSET, iconv_name(code_page));
    if (!cd.ok()) return false;
    const char single[1] = {static_cast<char>(byte)};
    const char* in = single;
    std::size_t in_left = 1;
    std::string out;
    return convert_chunk(cd.get(), in, in_left, out) == Step::invalid;
}

// What MultiByteToWideChar makes of bytes its table does not decode.
struct Undecodable {
    char16_t unit;         // what stands for them
    std::size_t consumed;  // how many bytes it stands for
    bool is_character;     // a real mapping: also accepted under MB_ERR_INVALID_CHARS
};

Undecodable undecodable(int code_page, const unsigned char* s, std::size_t length) {
    const unsigned char byte = s[0];
    if (code_page == CP_UTF8) return {0xFFFD, utf8_maximal_subpart(s, length), false};
    if (is_single_byte_windows_code_page(code_page)) {
        // The Windows tables give the holes in 0x80..0x9F the C1 control
        // of the same value; the other holes are a replacement.
        if (byte >= 0x80 && byte <= 0x9F) return {byte, 1, true};
        return {u'?', 1, false};
    }
    if (code_page == 932) {
        // Single bytes that code page 932 leaves undefined go to the
        // private use area; a bad double-byte pair is the default
        // character U+30FB.
        if (byte == 0xA0) return {0xF8F0, 1, false};
        if (byte >= 0xFD) return {static_cast<char16_t>(0xF8F1 + (byte - 0xFD)), 1, false};
    }
    const char16_t default_char = code_page == 932 ? 0x30FB : u'?';
    // A lead byte takes the byte after it along, unless that ends the text.
    if (is_lead_byte(code_page, byte) && length >= 2 && s[1] != 0) return {default_char, 2, false};
    return {default_char, 1, false};
}

// ======================================================================
// Terminal message boxes
// ======================================================================

BoxHandler& box_handler() {
    static BoxHandler handler;
    return handler;
}

// A box is written whole, straight to the descriptor: through the stream
// its first text would cost a status query of standard output (and a
// terminal query when that is a device) only to size a buffer that is
// flushed at once. Whatever the stream still holds goes first.
void write_stdout(const std::string& text) {
    std::fflush(stdout);
    const char* at = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = write(STDOUT_FILENO, at, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        at += written;
        left -= static_cast<std::size_t>(written);
    }
}

// One line of standard input, keeping only its non-blank characters in
// ASCII lower case; false at end of input before any character. A line
// too long to be an answer is marked by overflow.
bool read_answer_line(std::string& answer, bool& overflow) {
    answer.clear();
    overflow = false;
    bool any = false;
    int c;
    while ((c = std::fgetc(stdin)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') continue;
        if (answer.size() >= 16) {
            overflow = true;
            continue;
        }
        answer.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c));
    }
    return any;
}

BoxAnswer terminal_box(const WideString& text, const WideString& title, BoxKind kind) {
    std::string prompt = "[";  // appended, not "[" + text: GCC 12 warns (-Wrestrict) wrongly
    prompt += to_utf8(title, false);
    prompt += "]\n";
    const std::string body = to_utf8(text, false);
    prompt += body;
    if (body.empty() || body.back() != '\n') prompt += "\n";
    if (kind == BoxKind::ok) {
        write_stdout(prompt + "(OK)\n");
        return BoxAnswer::ok;
    }
    const std::string buttons = kind == BoxKind::yes_no ? "(Yes/No)?\n" : "(Yes/No/Cancel)?\n";
    write_stdout(prompt);
    while (true) {
        write_stdout(buttons);
        std::string answer;
        bool overflow;
        if (!read_answer_line(answer, overflow)) {
            return kind == BoxKind::yes_no ? BoxAnswer::no : BoxAnswer::closed;
        }
        if (overflow) continue;
        if (answer == "y" || answer == "yes") return BoxAnswer::yes;
        if (answer == "n" || answer == "no") return BoxAnswer::no;
        if (kind == BoxKind::yes_no_cancel && (answer == "c" || answer == "cancel")) return BoxAnswer::cancel;
    }
}

// ======================================================================
// Shell-link files
// ======================================================================
//
// A shortcut file (.lnk) starts with a 76-byte header:
//
//   offset size  field
//   0      4     HeaderSize            0x0000004C
//   4      16    LinkCLSID             00021401-0000-0000-C000-000000000046
//   20     4     LinkFlags             bit 0 HasLinkTargetIDList, bit 1 HasLinkInfo,
//                                      bit 8 ForceNoLinkInfo
//   24     4     FileAttributes
//   28     24    creation, access and write times
//   52     4     FileSize
//   56     4     IconIndex
//   60     4     ShowCommand
//   64     2     HotKey
//   66     10    reserved
//
// When HasLinkTargetIDList is set, a 2-byte IDListSize and that many bytes
// of item IDs follow. Then, when HasLinkInfo is set, the LinkInfo block:
//
//   offset size  field (offsets relative to the block's start)
//   0      4     LinkInfoSize           whole block
//   4      4     LinkInfoHeaderSize     0x1C, or >= 0x24 with the Unicode offsets
//   8      4     LinkInfoFlags          bit 0 VolumeIDAndLocalBasePath
//   12     4     VolumeIDOffset
//   16     4     LocalBasePathOffset    NUL-terminated string, ANSI code page
//   20     4     CommonNetworkRelativeLinkOffset
//   24     4     CommonPathSuffixOffset NUL-terminated string, ANSI code page
//   28     4     LocalBasePathOffsetUnicode     (header size >= 0x24) UTF-16LE
//   32     4     CommonPathSuffixOffsetUnicode  (header size >= 0x24) UTF-16LE
//
// The target is the local base path followed by the common path suffix.

constexpr std::uint32_t LNK_HEADER_SIZE = 0x4C;
constexpr unsigned char LNK_CLSID[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t LNK_HAS_ID_LIST = 0x1;
constexpr std::uint32_t LNK_HAS_LINK_INFO = 0x2;
constexpr std::uint32_t LNK_FORCE_NO_LINK_INFO = 0x100;
constexpr std::uint32_t LINK_INFO_HAS_LOCAL_PATH = 0x1;
constexpr std::uint32_t LINK_INFO_UNICODE_HEADER = 0x24;
// Shortcut files are a few kilobytes; anything much larger is not one.
constexpr long LNK_MAX_FILE_SIZE = 1 << 20;

struct ByteView {
    const unsigned char* data;
    std::size_t size;

    bool u16(std::size_t at, std::uint32_t& v) const {
        if (at > size || size - at < 2) return false;
        v = data[at] | (data[at + 1] << 8);
        return true;
    }
    bool u32(std::size_t at, std::uint32_t& v) const {
        if (at > size || size - at < 4) return false;
        v = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (std::uint32_t(data[at + 3]) << 24);
        return true;
    }
    // NUL-terminated byte string at `at`; false when it runs off the end.
    bool cstr(std::size_t at, std::string& out) const {
        if (at >= size) return false;
        const void* end = std::memchr(data + at, 0, size - at);
        if (end == nullptr) return false;
        out.assign(reinterpret_cast<const char*>(data + at), static_cast<const unsigned char*>(end) - (data + at));
        return true;
    }
    // NUL-terminated UTF-16LE string at `at`.
    bool wstr(std::size_t at, WideString& out) const {
        out.clear();
        for (std::size_t i = at; i + 1 < size; i += 2) {
            const char16_t u = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
            if (u == 0) return true;
            out.push_back(u);
        }
        return false;
    }
};

bool read_small_file(const WideString& path, std::string& content) {
    std::FILE* f = open_file(path, "rb");
    if (f == nullptr) return false;
    char buffer[4096];
    std::size_t n;
    bool ok = true;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        content.append(buffer, n);
        if (content.size() > static_cast<std::size_t>(LNK_MAX_FILE_SIZE)) {
            ok = false;
            break;
        }
    }
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    return ok;
}

WideString ansi_to_wide(const std::string& bytes) {
    if (bytes.empty()) return WideString();
    const int n = multibyte_to_wide(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return WideString();
    WideString out(static_cast<std::size_t>(n), u'\0');
    if (multibyte_to_wide(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n) != n) {
        return WideString();
    }
    return out;
}

WideString link_target(const ByteView& file) {
    std::uint32_t header_size, flags;
    if (!file.u32(0, header_size) || header_size != LNK_HEADER_SIZE || file.size < LNK_HEADER_SIZE) return {};
    if (std::memcmp(file.data + 4, LNK_CLSID, sizeof LNK_CLSID) != 0) return {};
    if (!file.u32(20, flags)) return {};
    if ((flags & LNK_HAS_LINK_INFO) == 0 || (flags & LNK_FORCE_NO_LINK_INFO) != 0) return {};

    std::size_t at = LNK_HEADER_SIZE;
    if (flags & LNK_HAS_ID_LIST) {
        std::uint32_t id_list_size;
        if (!file.u16(at, id_list_size)) return {};
        at += 2 + id_list_size;
    }

    std::uint32_t info_size, info_header_size, info_flags, base_offset, suffix_offset;
    if (!file.u32(at, info_size) || !file.u32(at + 4, info_header_size) || !file.u32(at + 8, info_flags) ||
        !file.u32(at + 16, base_offset) || !file.u32(at + 24, suffix_offset)) {
        return {};
    }
    if (info_size > file.size - at || info_header_size < 0x1C || info_header_size > info_size) return {};
    if ((info_flags & LINK_INFO_HAS_LOCAL_PATH) == 0) return {};
    const ByteView info{file.data + at, info_size};

    WideString base, suffix;
    std::uint32_t base_unicode = 0, suffix_unicode = 0;
    if (info_header_size >= LINK_INFO_UNICODE_HEADER) {
        if (!info.u32(28, base_unicode) || !info.u32(32, suffix_unicode)) return {};
    }
    if (base_unicode != 0) {
        if (!info.wstr(base_unicode, base)) return {};
    } else {
        std::string bytes;
        if (!info.cstr(base_offset, bytes)) return {};
        base = ansi_to_wide(bytes);
    }
    if (suffix_unicode != 0) {
        if (!info.wstr(suffix_unicode, suffix)) return {};
    } else if (suffix_offset != 0) {
        std::string bytes;
        if (!info.cstr(suffix_offset, bytes)) return {};
        suffix = ansi_to_wide(bytes);
    }
    if (base.empty()) return {};
    return base + suffix;
}

int ansi_override = 0;

// The locale name in force, from the environment in the C library's order
// of precedence.
const char* locale_environment() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return "C";
}

bool has_lead_byte(int code_page, const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (is_lead_byte(code_page, static_cast<unsigned char>(bytes[i]))) return true;
    }
    return false;
}

// The code page that decodes bytes handed over as "the system code page"
// when that is UTF-8. Names in archives carry no mark of their code page
// (LZH archives without a code-page record, ZIP archives without the UTF-8
// bit), and on a Linux system they come from everywhere: UTF-8 from Linux
// and newer tools, Shift-JIS from Japanese Windows and jlha, a Western code
// page from Western Windows. Bytes that are valid UTF-8 are UTF-8. Else,
// for a Japanese or Western language (and C), bytes that are valid
// Shift-JIS are code page 932 when they hold a double-byte character
// (Western text seldom forms such pairs without breaking one somewhere),
// or under a Japanese locale also when they are single bytes only (so
// half-width katakana are Japanese there and Latin-1 letters elsewhere);
// everything else is code page 1252, which decodes every byte. Other
// languages read their own code page.
int system_decoding_code_page(const char* source, std::size_t count) {
    const int language = language_code_page_for_locale(locale_environment());
    const int length = count > static_cast<std::size_t>(INT_MAX) ? -1 : static_cast<int>(count);
    if (length < 0 || multibyte_to_wide(CP_UTF8, CONVERT_ERR_INVALID, source, length, nullptr, 0) > 0) {
        return CP_UTF8;
    }
    if (language != 932 && language != 1252) return language;
    if ((language == 932 || has_lead_byte(932, source, count)) &&
        multibyte_to_wide(932, CONVERT_ERR_INVALID, source, length, nullptr, 0) > 0) {
        return 932;
    }
    return 1252;
}

}  // namespace

// ======================================================================
// Process and modules
// ======================================================================

namespace {

// glibc hands the program's arguments to the initialisers in .init_array as
// it does to main: kept here, they spare reading /proc/self/cmdline at
// every start. Elsewhere the entry is not called and the file is read.
int program_argument_count = 0;
char** program_arguments = nullptr;

void keep_program_arguments(int count, char** arguments, char**) {
    program_argument_count = count;
    program_arguments = arguments;
}

#if defined(__GLIBC__)
[[gnu::section(".init_array"), gnu::used]] void (*const keep_program_arguments_entry)(int, char**, char**) =
    keep_program_arguments;
#endif

}  // namespace

std::vector<WideString> command_line_arguments() {
    std::vector<WideString> arguments;
    if (program_arguments != nullptr) {
        for (int i = 0; i < program_argument_count && program_arguments[i] != nullptr; ++i) {
            arguments.push_back(from_utf8(program_arguments[i], std::strlen(program_arguments[i])));
        }
        return arguments;
    }
    std::FILE* f = std::fopen("/proc/self/cmdline", "rb");
    if (f == nullptr) return arguments;
    std::string content;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
    std::fclose(f);
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\0', start);
        if (end == std::string::npos) end = content.size();
        arguments.push_back(from_utf8(content.data() + start, end - start));
        start = end + 1;
    }
    return arguments;
}

namespace {
// An address inside this module, for dladdr.
void module_anchor() {}
}  // namespace

WideString module_file_name(bool in_module) {
    if (in_module) {
        // A shared library is named by its link map as it was loaded (by
        // full path); the program itself has an empty name there and is
        // found below.
        Dl_info info;
        struct link_map* map = nullptr;
        if (dladdr1(reinterpret_cast<void*>(&module_anchor), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) !=
                0 &&
            map != nullptr && map->l_name != nullptr && map->l_name[0] == '/') {
            const WideString name = from_utf8(std::string(map->l_name));
            return fits_path_buffer(name) ? name : WideString();
        }
    }
    // The path the program was started by, as the kernel hands it to the
    // loader, names the program's own file when it is absolute and not a
    // link (the libraries lie beside a link's target); that spares the
    // lookup in /proc, the dearest system call of a small job.
    if (const char* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
        started != nullptr && started[0] == '/') {
        struct stat st;
        if (lstat(started, &st) == 0 && S_ISREG(st.st_mode)) {
            const WideString name = from_utf8(started, std::strlen(started));
            return fits_path_buffer(name) ? name : WideString();
        }
    }
    char buffer[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return WideString();
    const WideString name = from_utf8(buffer, static_cast<std::size_t>(n));
    return fits_path_buffer(name) ? name : WideString();
}

LibraryHandle load_library(const WideString& full_path) {
    const std::string bytes = path_bytes(full_path);
    // dlopen(NULL) would answer the program itself.
    if (bytes.empty()) return nullptr;
    // A job opens a codec library once and the process ends soon after it
    // returns. Functions are bound when first called: a codec library
    // imports about a hundred from the C library, and a job on a small
    // archive calls some forty of them. The library also stays mapped after
    // free_library: unloading runs its finalisers and unmaps it, which the
    // process exit right after the job does anyway. Both together take about
    // a tenth of a millisecond off every run on a small archive.
    return dlopen(bytes.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
}

void* find_export(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return dlsym(library, name);
}

void free_library(LibraryHandle library) {
    if (library != nullptr) dlclose(library);
}

// ======================================================================
// Paths and the current directory
// ======================================================================

bool current_directory(WideString& out) {
    char buffer[PATH_MAX + 1];
    if (getcwd(buffer, sizeof buffer) == nullptr) return false;
    WideString directory = from_utf8(std::string(buffer));
    if (!fits_path_buffer(directory)) return false;
    out = std::move(directory);
    return true;
}

bool set_current_directory(const WideString& path) {
    const std::string bytes = path_bytes(path);
    return !bytes.empty() && chdir(bytes.c_str()) == 0;
}

bool full_path(const WideString& path, WideString& out) {
    WideString text = path.substr(0, path.find(u'\0'));
    if (text.empty()) return false;
    for (char16_t& c : text) {
        if (c == u'\\') c = u'/';
    }
    if (text[0] != u'/') {
        WideString directory;
        if (!current_directory(directory)) return false;
        text = directory + u"/" + text;
    }

    // Segments on a stack: "." and empty ones are dropped, ".." removes the
    // one before it (and stays at the root).
    std::vector<WideString> segments;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u'/', start);
        if (end == WideString::npos) end = text.size();
        const WideString segment = text.substr(start, end - start);
        if (segment == u"..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != u".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }

    WideString result;
    for (const WideString& segment : segments) {
        result += u'/';
        result += segment;
    }
    // A trailing separator stays, as GetFullPathNameW keeps it.
    if (result.empty() || text.back() == u'/') result += u'/';
    if (!fits_path_buffer(result)) return false;
    out = std::move(result);
    return true;
}

bool expand_environment(const WideString& text, WideString& out) {
    // As ExpandEnvironmentStringsW: a name between two "%" that is set in
    // the environment is replaced by its value; otherwise the reference
    // stays as typed, both "%" included, and the scan goes on after it.
    WideString result;
    std::size_t i = 0;
    const std::size_t end = text.find(u'\0');
    const WideString source = text.substr(0, end);
    while (i < source.size()) {
        if (source[i] != u'%') {
            result += source[i++];
            continue;
        }
        const std::size_t close = source.find(u'%', i + 1);
        if (close == WideString::npos) {
            result.append(source, i, WideString::npos);
            break;
        }
        const WideString name = source.substr(i + 1, close - i - 1);
        const char* value = name.empty() ? nullptr : std::getenv(to_utf8(name, false).c_str());
        if (value != nullptr) {
            result += from_utf8(std::string(value));
        } else {
            result.append(source, i, close + 1 - i);
        }
        i = close + 1;
        if (result.size() > static_cast<std::size_t>(PATH_BUFFER_LENGTH)) return false;
    }
    if (!fits_path_buffer(result)) return false;
    out = std::move(result);
    return true;
}

// ======================================================================
// File system
// ======================================================================

StatResult file_status(const WideString& path, FileStatus& status) {
    const WideString text = path.substr(0, path.find(u'\0'));
    if (text.empty() || text.find_first_of(u"?*") != WideString::npos) return StatResult::not_found;
    if (text.size() == 2 && text[1] == u':' &&
        ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'))) {
        return StatResult::not_found;
    }
    struct stat st;
    if (stat(path_bytes(text).c_str(), &st) != 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? StatResult::not_found : StatResult::error;
    }
    status.is_directory = S_ISDIR(st.st_mode);
    status.is_regular = S_ISREG(st.st_mode);
    status.size = static_cast<std::int64_t>(st.st_size);
    status.modification_time = static_cast<std::int64_t>(st.st_mtime);
    return StatResult::ok;
}

bool make_directory(const WideString& path) {
    const std::string bytes = path_bytes(path);
    return !bytes.empty() && mkdir(bytes.c_str(), 0777) == 0;
}

bool remove_file(const WideString& path) {
    const std::string bytes = path_bytes(path);
    return !bytes.empty() && unlink(bytes.c_str()) == 0;
}

bool set_file_time(const WideString& path, std::int64_t modification_time) {
    const std::string bytes = path_bytes(path);
    if (bytes.empty()) return false;
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(modification_time);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(AT_FDCWD, bytes.c_str(), times, 0) == 0;
}

std::FILE* open_file(const WideString& path, const char* mode, std::int64_t* size) {
    const std::string bytes = path_bytes(path);
    if (bytes.empty() || mode == nullptr) return nullptr;
    std::FILE* file = std::fopen(bytes.c_str(), mode);
    // A directory opens for reading here, but not on Windows: refuse it
    // alike, so that no caller reads a directory as an empty file.
    struct stat st;
    if (file != nullptr && (fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    if (file != nullptr && size != nullptr) *size = static_cast<std::int64_t>(st.st_size);
    return file;
}

bool seek_file(std::FILE* file, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t file_position(std::FILE* file) {
    const off_t position = ftello(file);
    return position > 0 ? static_cast<std::uint64_t>(position) : 0;
}

std::uint64_t file_length(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return 0;
    const off_t length = ftello(file);
    return length > 0 ? static_cast<std::uint64_t>(length) : 0;
}

std::size_t read_file_at(std::FILE* file, std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
    auto* bytes = static_cast<char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = pread(fileno(file), bytes + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

std::FILE* open_memory(void* bytes, std::size_t size, const char* mode) {
    if (size == 0) return nullptr;
    return fmemopen(bytes, size, mode);
}

bool has_positioned_reads_and_memory_streams() { return true; }

bool truncate_file(std::FILE* file, std::uint64_t length) {
    if (length > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return std::fflush(file) == 0 && ftruncate(fileno(file), static_cast<off_t>(length)) == 0;
}

bool list_directory(const WideString& path, std::vector<DirectoryItem>& items) {
    const std::string bytes = path_bytes(path);
    if (bytes.empty()) return false;
    DIR* dir = opendir(bytes.c_str());
    if (dir == nullptr) return false;
    while (const struct dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        DirectoryItem item;
        item.name = from_utf8(std::string(entry->d_name));
        if (entry->d_type == DT_DIR) {
            item.is_directory = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // Like the file-status query, a link counts as what it points at.
            struct stat st;
            item.is_directory = fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        items.push_back(std::move(item));
    }
    closedir(dir);
    return true;
}

// ======================================================================
// Files below a directory, links not followed
// ======================================================================
//
// An open directory is a descriptor (held in a heap cell, as the handle is
// opaque). Every name is resolved against it with the *at calls, and
// O_NOFOLLOW or AT_SYMLINK_NOFOLLOW keeps the last component from being
// followed; O_DIRECTORY refuses anything but a directory.

namespace {

int descriptor_of(DirectoryHandle directory) { return directory != nullptr ? *static_cast<int*>(directory) : -1; }

DirectoryHandle handle_of(int descriptor) { return new int(descriptor); }

// The name as one component on disk, or empty when it is not one. A "\"
// is a separator to the rest of the system, so it is refused here too.
std::string component_bytes(const WideString& name) {
    const std::string bytes = to_utf8(name, false);
    if (bytes.empty() || bytes == "." || bytes == "..") return std::string();
    if (bytes.find_first_of("/\\") != std::string::npos || name.find(u'\0') != WideString::npos) return std::string();
    return bytes;
}

NodeKind kind_of_mode(mode_t mode) {
    if (S_ISLNK(mode)) return NodeKind::link;
    if (S_ISREG(mode)) return NodeKind::file;
    if (S_ISDIR(mode)) return NodeKind::directory;
    return NodeKind::other;
}

}  // namespace

DirectoryHandle open_directory(const WideString& path) {
    const std::string bytes = path_bytes(path);
    if (bytes.empty()) return nullptr;
    const int fd = open(bytes.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? nullptr : handle_of(fd);
}

void close_directory(DirectoryHandle directory) {
    if (directory == nullptr) return;
    close(descriptor_of(directory));
    delete static_cast<int*>(directory);
}

NodeKind node_kind_at(DirectoryHandle directory, const WideString& name) {
    const std::string bytes = component_bytes(name);
    if (directory == nullptr || bytes.empty()) return NodeKind::error;
    struct stat st;
    if (fstatat(descriptor_of(directory), bytes.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? NodeKind::missing : NodeKind::error;
    }
    return kind_of_mode(st.st_mode);
}

EnterResult enter_directory(DirectoryHandle directory, const WideString& name, bool create, DirectoryHandle& entered) {
    entered = nullptr;
    const std::string bytes = component_bytes(name);
    if (directory == nullptr || bytes.empty()) return EnterResult::error;
    const int parent = descriptor_of(directory);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = openat(parent, bytes.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            entered = handle_of(fd);
            return EnterResult::ok;
        }
        const int error = errno;
        if (error == ENOENT && create && attempt == 0) {
            // Somebody else may make it in between: EEXIST is looked at
            // again like any name that stands there.
            if (mkdirat(parent, bytes.c_str(), 0777) != 0 && errno != EEXIST) return EnterResult::error;
            continue;
        }
        if (error == ENOENT) return EnterResult::error;
        // ELOOP (a link under O_NOFOLLOW) and ENOTDIR tell the two refusals
        // apart only on some systems; the name's own status does it always.
        switch (node_kind_at(directory, name)) {
        case NodeKind::link: return EnterResult::link;
        case NodeKind::file:
        case NodeKind::other: return EnterResult::not_directory;
        default: return EnterResult::error;
        }
    }
    return EnterResult::error;
}

std::FILE* create_new_file_at(DirectoryHandle directory, const WideString& name) {
    const std::string bytes = component_bytes(name);
    if (directory == nullptr || bytes.empty()) return nullptr;
    const int fd =
        openat(descriptor_of(directory), bytes.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        unlinkat(descriptor_of(directory), bytes.c_str(), 0);
    }
    return file;
}

namespace {

// Whether an unnamed file's descriptor names it in a link by itself
// (AT_EMPTY_PATH: a privilege on older kernels, the opener's own right on
// newer ones); otherwise its entry in /proc does, a longer way through the
// kernel. Asked with the first unnamed file, learnt again from a link
// refused for that reason.
bool link_by_descriptor = true;

// Links the open unnamed file fd at target inside directory fd; exclusive.
bool link_descriptor(int fd, int directory, const std::string& target) {
    if (link_by_descriptor) {
        if (linkat(fd, "", directory, target.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno == EEXIST) return false;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL) return false;
        link_by_descriptor = false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), directory, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

std::FILE* create_unnamed_file_at(DirectoryHandle directory) {
#ifdef O_TMPFILE
    if (directory == nullptr) return nullptr;
    // A kernel without O_TMPFILE takes the flag for O_DIRECTORY and fails
    // (EISDIR), as does a file system without it (EOPNOTSUPP): both mean
    // "not here".
    const int fd = openat(descriptor_of(directory), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    // Where the file can be named neither way (no right to link the
    // descriptor, and no /proc in a chroot or a container) a named file
    // from the start is better than data that cannot be linked at the end.
    // Neither changes while the program runs: asked of the first file.
    static const bool can_be_linked = [fd, directory] {
        // Every directory holds ".": a link there fails with EEXIST, and
        // creates nothing, once the descriptor itself may be linked; without
        // the right the descriptor is not found (ENOENT).
        link_by_descriptor = linkat(fd, "", descriptor_of(directory), ".", AT_EMPTY_PATH) != 0 && errno == EEXIST;
        return link_by_descriptor || access(("/proc/self/fd/" + std::to_string(fd)).c_str(), F_OK) == 0;
    }();
    std::FILE* file = can_be_linked ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) close(fd);
    return file;
#else
    (void)directory;
    return nullptr;
#endif
}

bool close_and_link_at(DirectoryHandle directory, std::FILE* file, const WideString& name, bool replace,
                       const WideString& spare_name) {
    if (file == nullptr) return false;
    const std::string target = component_bytes(name), spare = component_bytes(spare_name);
    // The descriptor outlives the stream, so that an error of the close is
    // seen before the file has a name.
    const int fd = dup(fileno(file));
    const bool closed = std::fclose(file) == 0;
    if (fd < 0) return false;
    bool linked = false;
    if (closed && directory != nullptr && !target.empty()) {
        const int at = descriptor_of(directory);
        linked = link_descriptor(fd, at, target);
        if (!linked && errno == EEXIST && replace && !spare.empty() && link_descriptor(fd, at, spare)) {
            // rename replaces the entry at the target, a link included, and
            // never follows it.
            linked = renameat(at, spare.c_str(), at, target.c_str()) == 0;
            if (!linked) unlinkat(at, spare.c_str(), 0);
        }
    }
    close(fd);
    return linked;
}

bool take_permissions_at(DirectoryHandle directory, const WideString& name, std::FILE* file) {
    const std::string bytes = component_bytes(name);
    if (directory == nullptr || bytes.empty() || file == nullptr) return false;
    struct stat st;
    if (fstatat(descriptor_of(directory), bytes.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return true;
    }
    return fchmod(fileno(file), st.st_mode & 0777) == 0;
}

bool rename_at(DirectoryHandle directory, const WideString& from, const WideString& to, bool replace) {
    const std::string source = component_bytes(from), target = component_bytes(to);
    if (directory == nullptr || source.empty() || target.empty()) return false;
    const int fd = descriptor_of(directory);
    // rename replaces the entry at the target, a link included, and never
    // follows it.
    if (replace) return renameat(fd, source.c_str(), fd, target.c_str()) == 0;
    // Without replacing: an exclusive rename, which fails when the target
    // is taken (by anything, a dangling link included). File systems that
    // lack it get a second name for the file, which fails alike, and the
    // first name goes.
    if (renameat2(fd, source.c_str(), fd, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (linkat(fd, source.c_str(), fd, target.c_str(), 0) != 0) return false;
    unlinkat(fd, source.c_str(), 0);
    return true;
}

bool remove_at(DirectoryHandle directory, const WideString& name) {
    const std::string bytes = component_bytes(name);
    return directory != nullptr && !bytes.empty() && unlinkat(descriptor_of(directory), bytes.c_str(), 0) == 0;
}

bool set_file_time_at(DirectoryHandle directory, const WideString& name, std::int64_t modification_time) {
    const std::string bytes = component_bytes(name);
    if (directory == nullptr || bytes.empty()) return false;
    if (node_kind_at(directory, name) == NodeKind::link) return false;
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(modification_time);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(descriptor_of(directory), bytes.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool set_open_file_time(std::FILE* file, std::int64_t modification_time) {
    if (file == nullptr || std::fflush(file) != 0) return false;
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(modification_time);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return futimens(fileno(file), times) == 0;
}

// ======================================================================
// Local time
// ======================================================================

bool to_local_time(std::int64_t utc_seconds, LocalTime& out) {
    const time_t t = static_cast<time_t>(utc_seconds);
    struct tm tm;
    if (localtime_r(&t, &tm) == nullptr) return false;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return true;
}

bool from_local_time(const LocalTime& local, std::int64_t& utc_seconds) {
    struct tm tm {};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1)) return false;
    utc_seconds = static_cast<std::int64_t>(t);
    return true;
}

// ======================================================================
// Code pages
// ======================================================================

void set_ansi_code_page_override(int code_page) { ansi_override = code_page; }

int ansi_code_page() {
    if (ansi_override != 0) return ansi_override;
    return ansi_code_page_for_locale(locale_environment());
}

bool system_names_use_ff_separator() {
    const int code_page = ansi_code_page();
    return code_page == 932 || code_page == CP_UTF8;
}

bool code_page_available(int code_page) {
    const std::string name = iconv_name(resolve_code_page(code_page));
    if (name.empty()) return false;
    Converter to_wide(WIDE_CHARSET, name);
    Converter from_wide(name, WIDE_CHARSET);
    return to_wide.ok() && from_wide.ok();
}

int wide_to_multibyte(int code_page, unsigned /*flags*/, const char16_t* source, int source_length, char* destination,
                      int capacity) {
    std::size_t count;
    if (!source_extent(source, source_length, count) || capacity < 0) return 0;
    const int resolved = resolve_code_page(code_page);
    Converter cd(iconv_name(resolved), WIDE_CHARSET);
    if (!cd.ok()) return 0;

    // WideCharToMultiByte without a default character: what the code page
    // cannot hold becomes "?" (U+FFFD for UTF-8, which can hold everything
    // but a lone surrogate). The replacement goes through the converter so
    // that stateful encodings stay in step.
    const std::string replacement = units_to_bytes(resolved == CP_UTF8 ? u"\uFFFD" : u"?", 1);
    const std::string input = units_to_bytes(source, count);
    const char* in = input.data();
    std::size_t in_left = input.size();
    std::string output;
    while (true) {
        const Step step = convert_chunk(cd.get(), in, in_left, output);
        if (step == Step::done) break;
        if (step == Step::failed) return 0;
        // A C1 control goes to the byte of the same value where the code
        // page has a hole there, as the Windows tables decode it.
        if (in_left >= 2 && is_single_byte_windows_code_page(resolved) && in[1] == 0 &&
            static_cast<unsigned char>(in[0]) >= 0x80 && static_cast<unsigned char>(in[0]) <= 0x9F &&
            is_hole(resolved, static_cast<unsigned char>(in[0]))) {
            output.push_back(in[0]);
            in += 2;
            in_left -= 2;
            if (in_left == 0) break;
            continue;
        }
        // An unconvertible unit (or a lone high surrogate at the end): skip
        // one unit, or a whole surrogate pair, and put the replacement.
        std::size_t skip = 2;
        if (in_left >= 4) {
            const unsigned u = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
            const unsigned v = static_cast<unsigned char>(in[2]) | (static_cast<unsigned char>(in[3]) << 8);
            if (u >= 0xD800 && u <= 0xDBFF && v >= 0xDC00 && v <= 0xDFFF) skip = 4;
        }
        skip = skip < in_left ? skip : in_left;
        in += skip;
        in_left -= skip;
        const char* r = replacement.data();
        std::size_t r_left = replacement.size();
        if (convert_chunk(cd.get(), r, r_left, output) != Step::done) return 0;
        if (in_left == 0) break;
    }
    const char* flush = nullptr;
    std::size_t none = 0;
    if (convert_chunk(cd.get(), flush, none, output) != Step::done) return 0;

    if (output.size() > static_cast<std::size_t>(INT_MAX)) return 0;
    const int needed = static_cast<int>(output.size());
    if (capacity == 0) return needed;
    if (destination == nullptr || needed > capacity) return 0;  // ERROR_INSUFFICIENT_BUFFER
    std::memcpy(destination, output.data(), output.size());
    return needed;
}

int multibyte_to_wide(int code_page, unsigned flags, const char* source, int source_length, char16_t* destination,
                      int capacity) {
    std::size_t count;
    if (!source_extent(source, source_length, count) || capacity < 0) return 0;
    int resolved = resolve_code_page(code_page);
    if (resolved == CP_UTF8 && code_page != CP_UTF8 && ansi_override == 0) {
        resolved = system_decoding_code_page(source, count);
    }
    Converter cd(WIDE_CHARSET, iconv_name(resolved));
    if (!cd.ok()) return 0;

    const bool strict = (flags & CONVERT_ERR_INVALID) != 0;
    const char* in = source;
    std::size_t in_left = count;
    std::string output;  // UTF-16LE bytes
    while (true) {
        const Step step = convert_chunk(cd.get(), in, in_left, output);
        if (step == Step::done) break;
        if (step == Step::failed) return 0;
        const Undecodable bad = undecodable(resolved, reinterpret_cast<const unsigned char*>(in), in_left);
        if (strict && !bad.is_character) return 0;
        output.push_back(static_cast<char>(bad.unit & 0xFF));
        output.push_back(static_cast<char>(bad.unit >> 8));
        if (step == Step::incomplete) break;  // a sequence cut off by the end
        in += bad.consumed;
        in_left -= bad.consumed;
        if (in_left == 0) break;
    }

    const std::size_t units = output.size() / 2;
    if (units > static_cast<std::size_t>(INT_MAX)) return 0;
    const int needed = static_cast<int>(units);
    if (capacity == 0) return needed;
    if (destination == nullptr || needed > capacity) return 0;
    for (std::size_t i = 0; i < units; ++i) {
        destination[i] = static_cast<char16_t>(static_cast<unsigned char>(output[2 * i]) |
                                               (static_cast<unsigned char>(output[2 * i + 1]) << 8));
    }
    return needed;
}

// ======================================================================
// Runtime-library locale
// ======================================================================

WideString set_ctype_locale(const WideString& name, bool& ok) {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const WideString previous = current != nullptr ? from_utf8(std::string(current)) : WideString();
    ok = std::setlocale(LC_CTYPE, to_utf8(name, false).c_str()) != nullptr;
    return ok ? previous : WideString();
}

void restore_ctype_locale(const WideString& previous) {
    if (!previous.empty()) std::setlocale(LC_CTYPE, to_utf8(previous, false).c_str());
}

LocaleHandle create_ctype_locale(const WideString& name) {
    const locale_t locale = newlocale(LC_CTYPE_MASK, to_utf8(name, false).c_str(), static_cast<locale_t>(0));
    return locale == static_cast<locale_t>(0) ? nullptr : static_cast<LocaleHandle>(locale);
}

void free_ctype_locale(LocaleHandle locale) {
    if (locale != nullptr) freelocale(static_cast<locale_t>(locale));
}

namespace {

// Makes a private locale object the calling thread's locale for the
// lifetime of the guard; null leaves the process locale in force.
class ThreadLocaleGuard {
public:
    explicit ThreadLocaleGuard(LocaleHandle locale)
        : previous_(locale != nullptr ? uselocale(static_cast<locale_t>(locale)) : static_cast<locale_t>(0)) {}
    ~ThreadLocaleGuard() {
        if (previous_ != static_cast<locale_t>(0)) uselocale(previous_);
    }
    ThreadLocaleGuard(const ThreadLocaleGuard&) = delete;
    ThreadLocaleGuard& operator=(const ThreadLocaleGuard&) = delete;

private:
    locale_t previous_;
};

constexpr std::size_t CONVERSION_FAILED = static_cast<std::size_t>(-1);

}  // namespace

// wchar_t is 32-bit here: surrogate pairs are combined into one character
// on the way in and split again on the way out, so the counts are in the
// 16-bit units the callers use.
std::size_t locale_wide_to_bytes(LocaleHandle locale, const char16_t* source, char* destination, std::size_t capacity) {
    if (source == nullptr) return CONVERSION_FAILED;
    ThreadLocaleGuard guard(locale);
    std::mbstate_t state{};
    std::size_t written = 0;
    char bytes[MB_LEN_MAX];
    for (std::size_t i = 0; source[i] != 0; ++i) {
        char32_t c = source[i];
        if (c >= 0xD800 && c <= 0xDBFF && source[i + 1] >= 0xDC00 && source[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (source[i + 1] - 0xDC00);
            ++i;
        }
        const std::size_t n = std::wcrtomb(bytes, static_cast<wchar_t>(c), &state);
        if (n == CONVERSION_FAILED) {
            if (destination != nullptr && written < capacity) destination[written] = '\0';
            return CONVERSION_FAILED;
        }
        if (destination != nullptr) {
            if (written + n > capacity) return written;
            std::memcpy(destination + written, bytes, n);
        }
        written += n;
    }
    if (destination != nullptr && written < capacity) destination[written] = '\0';
    return written;
}

std::size_t locale_bytes_to_wide(LocaleHandle locale, const char* source, char16_t* destination, std::size_t capacity) {
    if (source == nullptr) return CONVERSION_FAILED;
    ThreadLocaleGuard guard(locale);
    std::mbstate_t state{};
    const std::size_t length = std::strlen(source);
    std::size_t at = 0, written = 0;
    while (at < length) {
        wchar_t c;
        const std::size_t n = std::mbrtowc(&c, source + at, length - at, &state);
        if (n == CONVERSION_FAILED || n == static_cast<std::size_t>(-2)) {
            if (destination != nullptr && written < capacity) destination[written] = u'\0';
            return CONVERSION_FAILED;
        }
        at += n;
        const char32_t cp = static_cast<char32_t>(c);
        const std::size_t units = cp >= 0x10000 ? 2 : 1;
        if (destination != nullptr) {
            if (written + units > capacity) return written;
            if (units == 2) {
                destination[written] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                destination[written + 1] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                destination[written] = static_cast<char16_t>(cp);
            }
        }
        written += units;
    }
    if (destination != nullptr && written < capacity) destination[written] = u'\0';
    return written;
}

int random_number() { return std::rand() % 32768; }
void seed_random(unsigned seed) { std::srand(seed); }
std::int64_t current_time_seconds() { return static_cast<std::int64_t>(time(nullptr)); }

// ======================================================================
// User interface
// ======================================================================

BoxAnswer message_box(const WideString& text, const WideString& title, BoxKind kind) {
    if (box_handler()) return box_handler()(text, title, kind);
    BoxAnswer answer;
    if (dialog_window_box(to_utf8(text, false), to_utf8(title, false), kind, answer)) return answer;
    return terminal_box(text, title, kind);
}

void set_message_box_handler(BoxHandler handler) { box_handler() = std::move(handler); }

// ======================================================================
// Component system
// ======================================================================

void com_initialize() {}
void com_uninitialize() {}

WideString resolve_shell_link(const WideString& link_path) {
    std::string content;
    if (!read_small_file(link_path, content)) return WideString();
    const WideString target =
        link_target(ByteView{reinterpret_cast<const unsigned char*>(content.data()), content.size()});
    return fits_path_buffer(target) ? target : WideString();
}

}  // namespace platform
