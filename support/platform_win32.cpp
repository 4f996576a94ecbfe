// Platform layer, Win32 implementation: the Windows and C runtime services
// the system uses, called directly. wchar_t is 16 bits here, so wide text
// crosses as it is (char16_t reinterpreted as wchar_t).
#include "platform.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/utime.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide characters are 16 bits");

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
const wchar_t* wide(const WideString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
wchar_t* wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

WideString from_wide(const wchar_t* text) {
    return text != nullptr ? WideString(reinterpret_cast<const char16_t*>(text)) : WideString();
}

// A platform result of `length` units in a buffer of PATH_BUFFER_LENGTH:
// the services answer 0 on failure and the needed size when the buffer was
// too small. Only a result that fitted is taken.
bool take_path_result(const char16_t* buffer, DWORD length, WideString& out) {
    if (length == 0 || length >= static_cast<DWORD>(PATH_BUFFER_LENGTH)) return false;
    out.assign(buffer, length);
    return true;
}

// Win32 wide-string arguments end at the first NUL: a path that is empty
// up to there names nothing.
bool usable_path(const WideString& path) { return !path.empty() && path[0] != u'\0'; }

BoxHandler& box_handler() {
    static BoxHandler handler;
    return handler;
}

int ansi_override = 0;

// Code pages that accept no conversion flags at all, or only the
// invalid-characters flag (UTF-8 and GB18030). The system's callers pass
// the same flags whatever the code page; these code pages would refuse the
// whole conversion with ERROR_INVALID_FLAGS.
bool flags_restricted(int code_page) {
    return code_page == 42 || code_page == 65000 || code_page == 65001 || code_page == 54936 ||
           (code_page >= 50220 && code_page <= 50229) || (code_page >= 57002 && code_page <= 57011);
}
unsigned accepted_flags(int code_page, unsigned flags, unsigned invalid_flag) {
    if (!flags_restricted(code_page)) return flags;
    return (code_page == 65001 || code_page == 54936) ? (flags & invalid_flag) : 0;
}

constexpr std::size_t CONVERSION_FAILED = static_cast<std::size_t>(-1);

// The test override of the ANSI code page also stands for CP_ACP and
// CP_THREAD_ACP in conversions; without it they go to Windows unchanged.
int effective_code_page(int code_page) {
    return (ansi_override != 0 && (code_page == CP_ACP || code_page == CP_THREAD_ACP)) ? ansi_override : code_page;
}

}  // namespace

// ======================================================================
// Process and modules
// ======================================================================

std::vector<WideString> command_line_arguments() {
    std::vector<WideString> arguments;
    int count = 0;
    LPWSTR* vector = CommandLineToArgvW(GetCommandLineW(), &count);
    if (vector == nullptr) return arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(from_wide(vector[i]));
    LocalFree(vector);
    return arguments;
}

WideString module_file_name(bool in_module) {
    HMODULE module = nullptr;
    if (in_module &&
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&module_file_name), &module)) {
        return WideString();
    }
    char16_t buffer[PATH_BUFFER_LENGTH];
    const DWORD length = GetModuleFileNameW(module, wide(buffer), PATH_BUFFER_LENGTH);
    WideString name;
    // A result that filled the buffer was cut off.
    if (!take_path_result(buffer, length, name)) return WideString();
    return name;
}

LibraryHandle load_library(const WideString& full_path) {
    if (!usable_path(full_path)) return nullptr;
    return static_cast<LibraryHandle>(LoadLibraryW(wide(full_path)));
}

void* find_export(LibraryHandle library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void free_library(LibraryHandle library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

// ======================================================================
// Paths and the current directory
// ======================================================================

bool full_path(const WideString& path, WideString& out) {
    if (!usable_path(path)) return false;
    char16_t buffer[PATH_BUFFER_LENGTH];
    const DWORD length = GetFullPathNameW(wide(path), PATH_BUFFER_LENGTH, wide(buffer), nullptr);
    return take_path_result(buffer, length, out);
}

bool current_directory(WideString& out) {
    char16_t buffer[PATH_BUFFER_LENGTH];
    const DWORD length = GetCurrentDirectoryW(PATH_BUFFER_LENGTH, wide(buffer));
    return take_path_result(buffer, length, out);
}

bool set_current_directory(const WideString& path) {
    return usable_path(path) && SetCurrentDirectoryW(wide(path)) != 0;
}

bool expand_environment(const WideString& text, WideString& out) {
    char16_t buffer[PATH_BUFFER_LENGTH];
    // The count includes the terminator.
    const DWORD length = ExpandEnvironmentStringsW(wide(text), wide(buffer), PATH_BUFFER_LENGTH);
    if (length == 0 || length > static_cast<DWORD>(PATH_BUFFER_LENGTH)) return false;
    out.assign(buffer, length - 1);
    return true;
}

// ======================================================================
// File system
// ======================================================================

StatResult file_status(const WideString& path, FileStatus& status) {
    const WideString text = path.substr(0, path.find(u'\0'));
    // Wildcards and a bare drive name are refused here, whatever the
    // runtime library would make of them.
    if (text.empty() || text.find_first_of(u"?*") != WideString::npos) return StatResult::not_found;
    if (text.size() == 2 && text[1] == u':' &&
        ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'))) {
        return StatResult::not_found;
    }
    struct _stat64 st;
    if (_wstat64(wide(text), &st) != 0) return errno == ENOENT ? StatResult::not_found : StatResult::error;
    status.is_directory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    status.is_regular = (st.st_mode & _S_IFMT) == _S_IFREG;
    status.size = st.st_size;
    status.modification_time = st.st_mtime;
    return StatResult::ok;
}

bool make_directory(const WideString& path) { return usable_path(path) && _wmkdir(wide(path)) == 0; }

bool remove_file(const WideString& path) { return usable_path(path) && _wremove(wide(path)) == 0; }

bool set_file_time(const WideString& path, std::int64_t modification_time) {
    if (!usable_path(path)) return false;
    struct __utimbuf64 times;
    times.actime = modification_time;
    times.modtime = modification_time;
    return _wutime64(wide(path), &times) == 0;
}

std::FILE* open_file(const WideString& path, const char* mode, std::int64_t* size) {
    if (!usable_path(path) || mode == nullptr) return nullptr;
    wchar_t wide_mode[16];
    std::size_t i = 0;
    for (; mode[i] != '\0' && i + 1 < sizeof wide_mode / sizeof wide_mode[0]; ++i) {
        wide_mode[i] = static_cast<unsigned char>(mode[i]);
    }
    wide_mode[i] = L'\0';
    // Shared for reading and writing, so that the user can look at a
    // report while it is open.
    std::FILE* file = _wfsopen(wide(path), wide_mode, _SH_DENYNO);
    if (file != nullptr && size != nullptr) {
        struct _stat64 st;
        if (_fstat64(_fileno(file), &st) != 0) {
            std::fclose(file);
            return nullptr;
        }
        *size = static_cast<std::int64_t>(st.st_size);
    }
    return file;
}

bool seek_file(std::FILE* file, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

// The second thread's reads and memory streams are not used on Windows:
// the callers read through the stream instead.
std::size_t read_file_at(std::FILE*, std::uint64_t, void*, std::size_t) { return 0; }
std::FILE* open_memory(void*, std::size_t, const char*) { return nullptr; }
bool has_positioned_reads_and_memory_streams() { return false; }

std::uint64_t file_position(std::FILE* file) {
    const __int64 position = _ftelli64(file);
    return position > 0 ? static_cast<std::uint64_t>(position) : 0;
}

std::uint64_t file_length(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return 0;
    const __int64 length = _ftelli64(file);
    return length > 0 ? static_cast<std::uint64_t>(length) : 0;
}

bool truncate_file(std::FILE* file, std::uint64_t length) {
    if (length > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return std::fflush(file) == 0 && _chsize_s(_fileno(file), static_cast<__int64>(length)) == 0;
}

bool list_directory(const WideString& path, std::vector<DirectoryItem>& items) {
    if (!usable_path(path)) return false;
    WideString pattern = path.substr(0, path.find(u'\0'));
    if (pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
    pattern += u'*';
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(wide(pattern), &data);
    if (find == INVALID_HANDLE_VALUE) {
        // A drive root holds no "." and ".." and may hold nothing at all.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        if (std::wcscmp(data.cFileName, L".") == 0 || std::wcscmp(data.cFileName, L"..") == 0) continue;
        DirectoryItem item;
        item.name = from_wide(data.cFileName);
        item.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        items.push_back(std::move(item));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

// ======================================================================
// Files below a directory, links not followed
// ======================================================================
//
// An open directory is its checked absolute path with a trailing "\",
// held in a heap cell. Windows offers no lookup relative to an open
// directory through these services, so every function looks at the
// attributes of the name right before it uses it: a reparse point (a
// symbolic link, a junction, a mount point) is a link and is never
// entered or written through. The directories on the way were checked
// when they were entered; a link that replaces one of them afterwards is
// not seen. The files are created and renamed with the flags that act on
// a reparse point itself.

namespace {

const WideString& path_of(DirectoryHandle directory) { return *static_cast<WideString*>(directory); }

// The full path of name inside directory, or empty when name is not one
// component.
WideString child_path(DirectoryHandle directory, const WideString& name) {
    if (directory == nullptr || name.empty() || name == u"." || name == u"..") return WideString();
    if (name.find_first_of(u"/\\:*?") != WideString::npos || name.find(u'\0') != WideString::npos) {
        return WideString();
    }
    return path_of(directory) + name;
}

NodeKind kind_of_path(const WideString& path) {
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? NodeKind::missing : NodeKind::error;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return NodeKind::link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NodeKind::directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return NodeKind::other;
    return NodeKind::file;
}

DirectoryHandle handle_of(const WideString& path) {
    WideString held = path;
    if (held.back() != u'\\' && held.back() != u'/') held.push_back(u'\\');
    return new WideString(std::move(held));
}

}  // namespace

DirectoryHandle open_directory(const WideString& path) {
    WideString absolute;
    if (!full_path(path, absolute)) return nullptr;
    const DWORD attributes = GetFileAttributesW(wide(absolute));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return nullptr;
    return handle_of(absolute);
}

void close_directory(DirectoryHandle directory) { delete static_cast<WideString*>(directory); }

NodeKind node_kind_at(DirectoryHandle directory, const WideString& name) {
    const WideString path = child_path(directory, name);
    return path.empty() ? NodeKind::error : kind_of_path(path);
}

EnterResult enter_directory(DirectoryHandle directory, const WideString& name, bool create, DirectoryHandle& entered) {
    entered = nullptr;
    const WideString path = child_path(directory, name);
    if (path.empty()) return EnterResult::error;
    NodeKind kind = kind_of_path(path);
    if (kind == NodeKind::missing && create) {
        // Somebody else may make it in between; what stands there then is
        // looked at like any other name.
        if (!CreateDirectoryW(wide(path), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return EnterResult::error;
        }
        kind = kind_of_path(path);
    }
    switch (kind) {
    case NodeKind::directory: entered = handle_of(path); return EnterResult::ok;
    case NodeKind::link: return EnterResult::link;
    case NodeKind::file:
    case NodeKind::other: return EnterResult::not_directory;
    default: return EnterResult::error;
    }
}

std::FILE* create_new_file_at(DirectoryHandle directory, const WideString& name) {
    const WideString path = child_path(directory, name);
    if (path.empty()) return nullptr;
    // CREATE_NEW fails on any name that stands, a dangling link included;
    // FILE_FLAG_OPEN_REPARSE_POINT keeps even that from being resolved.
    const HANDLE handle =
        CreateFileW(wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_WRONLY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(wide(path));
        return nullptr;
    }
    std::FILE* file = _wfdopen(fd, L"wb");
    if (file == nullptr) {
        _close(fd);
        DeleteFileW(wide(path));
    }
    return file;
}

// Windows has no file without a name that can be given one later (a file
// opened to be deleted on close cannot be renamed into place): the named
// temporary file serves.
std::FILE* create_unnamed_file_at(DirectoryHandle) { return nullptr; }

bool close_and_link_at(DirectoryHandle, std::FILE* file, const WideString&, bool, const WideString&) {
    if (file != nullptr) std::fclose(file);
    return false;
}

// Files carry no POSIX permission bits to take over.
bool take_permissions_at(DirectoryHandle, const WideString&, std::FILE*) { return true; }

bool rename_at(DirectoryHandle directory, const WideString& from, const WideString& to, bool replace) {
    const WideString source = child_path(directory, from), target = child_path(directory, to);
    if (source.empty() || target.empty()) return false;
    if (kind_of_path(source) != NodeKind::file) return false;
    if (!replace) return MoveFileExW(wide(source), wide(target), 0) != 0;
    // A rename with MOVEFILE_REPLACE_EXISTING replaces the directory entry
    // at the target: a file, or a link to a file, itself. It refuses a
    // directory entry, which a link to a directory (or a junction) is:
    // such a link is removed first (RemoveDirectoryW removes the link, not
    // the directory it points at). A real directory stays and fails.
    const DWORD attributes = GetFileAttributesW(wide(target));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (!RemoveDirectoryW(wide(target))) return false;
    }
    return MoveFileExW(wide(source), wide(target), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool remove_at(DirectoryHandle directory, const WideString& name) {
    const WideString path = child_path(directory, name);
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    // A link to a directory is removed as a directory entry; DeleteFileW
    // removes a file link itself.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && RemoveDirectoryW(wide(path)) != 0;
    }
    return DeleteFileW(wide(path)) != 0;
}

namespace {

bool set_handle_time(HANDLE handle, std::int64_t modification_time) {
    // Seconds since 1970 to 100-nanosecond intervals since 1601.
    const std::int64_t ticks = (modification_time + 11644473600LL) * 10000000LL;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
    return SetFileTime(handle, nullptr, &time, &time) != 0;
}

}  // namespace

bool set_file_time_at(DirectoryHandle directory, const WideString& name, std::int64_t modification_time) {
    const WideString path = child_path(directory, name);
    if (path.empty() || kind_of_path(path) != NodeKind::file) return false;
    const HANDLE handle =
        CreateFileW(wide(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = set_handle_time(handle, modification_time);
    CloseHandle(handle);
    return ok;
}

bool set_open_file_time(std::FILE* file, std::int64_t modification_time) {
    if (file == nullptr || std::fflush(file) != 0) return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && set_handle_time(handle, modification_time);
}

// ======================================================================
// Local time
// ======================================================================

bool to_local_time(std::int64_t utc_seconds, LocalTime& out) {
    const __time64_t t = utc_seconds;
    struct tm tm;
    if (_localtime64_s(&tm, &t) != 0) return false;
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
    const __time64_t t = _mktime64(&tm);
    if (t == -1) return false;
    utc_seconds = t;
    return true;
}

// ======================================================================
// Code pages
// ======================================================================

void set_ansi_code_page_override(int code_page) { ansi_override = code_page; }

int ansi_code_page() { return ansi_override != 0 ? ansi_override : static_cast<int>(GetACP()); }

bool system_names_use_ff_separator() { return ansi_code_page() == 932; }

bool code_page_available(int code_page) {
    CPINFO info;
    return GetCPInfo(static_cast<UINT>(effective_code_page(code_page)), &info) != 0;
}

int wide_to_multibyte(int code_page, unsigned flags, const char16_t* source, int source_length, char* destination,
                      int capacity) {
    if (source == nullptr) return 0;
    code_page = effective_code_page(code_page);
    return WideCharToMultiByte(static_cast<UINT>(code_page), accepted_flags(code_page, flags, WC_ERR_INVALID_CHARS),
                               wide(source), source_length, destination, capacity, nullptr, nullptr);
}

int multibyte_to_wide(int code_page, unsigned flags, const char* source, int source_length, char16_t* destination,
                      int capacity) {
    if (source == nullptr) return 0;
    code_page = effective_code_page(code_page);
    return MultiByteToWideChar(static_cast<UINT>(code_page), accepted_flags(code_page, flags, MB_ERR_INVALID_CHARS),
                               source, source_length, wide(destination), capacity);
}

// ======================================================================
// Runtime-library locale
// ======================================================================

WideString set_ctype_locale(const WideString& name, bool& ok) {
    const WideString previous = from_wide(_wsetlocale(LC_CTYPE, nullptr));
    ok = _wsetlocale(LC_CTYPE, wide(name)) != nullptr;
    return ok ? previous : WideString();
}

void restore_ctype_locale(const WideString& previous) {
    if (!previous.empty()) _wsetlocale(LC_CTYPE, wide(previous));
}

LocaleHandle create_ctype_locale(const WideString& name) {
    // Locale names are ASCII; the runtime library takes them narrow.
    std::string narrow;
    for (char16_t c : name) {
        if (c == 0) break;
        narrow.push_back(static_cast<char>(c & 0xFF));
    }
    return static_cast<LocaleHandle>(_create_locale(LC_CTYPE, narrow.c_str()));
}

void free_ctype_locale(LocaleHandle locale) {
    if (locale != nullptr) _free_locale(static_cast<_locale_t>(locale));
}

std::size_t locale_wide_to_bytes(LocaleHandle locale, const char16_t* source, char* destination, std::size_t capacity) {
    if (source == nullptr) return CONVERSION_FAILED;
    const auto loc = static_cast<_locale_t>(locale);
    const std::size_t result = loc != nullptr ? _wcstombs_l(destination, wide(source), capacity, loc)
                                              : std::wcstombs(destination, wide(source), capacity);
    if (result != CONVERSION_FAILED || destination == nullptr) return result;

    // The runtime library leaves no defined content behind a failure: redo
    // the conversion one character at a time to keep the prefix that did
    // convert.
    std::size_t written = 0;
    char bytes[MB_LEN_MAX];
    for (const char16_t* p = source; *p != 0; ++p) {
        int n = -1;
        if (loc != nullptr) {
            n = _wctomb_l(bytes, static_cast<wchar_t>(*p), loc);
        } else {
            n = std::wctomb(bytes, static_cast<wchar_t>(*p));
        }
        if (n < 0 || written + static_cast<std::size_t>(n) > capacity) break;
        std::memcpy(destination + written, bytes, static_cast<std::size_t>(n));
        written += static_cast<std::size_t>(n);
    }
    if (written < capacity) destination[written] = '\0';
    return CONVERSION_FAILED;
}

std::size_t locale_bytes_to_wide(LocaleHandle locale, const char* source, char16_t* destination, std::size_t capacity) {
    if (source == nullptr) return CONVERSION_FAILED;
    const auto loc = static_cast<_locale_t>(locale);
    const std::size_t result = loc != nullptr ? _mbstowcs_l(wide(destination), source, capacity, loc)
                                              : std::mbstowcs(wide(destination), source, capacity);
    if (result != CONVERSION_FAILED || destination == nullptr) return result;

    std::size_t written = 0;
    const std::size_t length = std::strlen(source);
    std::size_t at = 0;
    while (at < length && written < capacity) {
        wchar_t c;
        // One character is at most two bytes in the code pages of the
        // runtime library's locales.
        int n = -1;
        for (int size = 1; size <= 2 && at + static_cast<std::size_t>(size) <= length && n < 0; ++size) {
            n = loc != nullptr ? _mbtowc_l(&c, source + at, static_cast<std::size_t>(size), loc)
                               : std::mbtowc(&c, source + at, static_cast<std::size_t>(size));
        }
        if (n <= 0) break;
        destination[written++] = static_cast<char16_t>(c);
        at += static_cast<std::size_t>(n);
    }
    if (written < capacity) destination[written] = u'\0';
    return CONVERSION_FAILED;
}

int random_number() { return std::rand(); }
void seed_random(unsigned seed) { std::srand(seed); }
std::int64_t current_time_seconds() { return _time64(nullptr); }

// ======================================================================
// User interface
// ======================================================================

BoxAnswer message_box(const WideString& text, const WideString& title, BoxKind kind) {
    if (box_handler()) return box_handler()(text, title, kind);
    UINT style = MB_OK;
    if (kind == BoxKind::yes_no) style = MB_YESNO | MB_ICONQUESTION;
    if (kind == BoxKind::yes_no_cancel) style = MB_YESNOCANCEL | MB_ICONQUESTION;
    switch (MessageBoxW(nullptr, wide(text), wide(title), style)) {
    case IDOK: return BoxAnswer::ok;
    case IDYES: return BoxAnswer::yes;
    case IDNO: return BoxAnswer::no;
    case IDCANCEL: return BoxAnswer::cancel;
    default: return BoxAnswer::closed;
    }
}

void set_message_box_handler(BoxHandler handler) { box_handler() = std::move(handler); }

// ======================================================================
// Component system
// ======================================================================

void com_initialize() { CoInitialize(nullptr); }
void com_uninitialize() { CoUninitialize(); }

WideString resolve_shell_link(const WideString& link_path) {
    if (!usable_path(link_path)) return WideString();
    char16_t buffer[PATH_BUFFER_LENGTH];
    buffer[0] = u'\0';
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    // Each step runs only when the one before succeeded.
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) hr = file->Load(wide(link_path), STGM_READ);
    if (SUCCEEDED(hr)) hr = link->Resolve(nullptr, SLR_NO_UI | SLR_ANY_MATCH);
    if (SUCCEEDED(hr)) hr = link->GetPath(wide(buffer), PATH_BUFFER_LENGTH, nullptr, SLGP_UNCPRIORITY);
    if (file != nullptr) file->Release();
    if (link != nullptr) link->Release();
    // The answer is whatever the buffer holds: nothing when a step failed.
    buffer[PATH_BUFFER_LENGTH - 1] = u'\0';
    return WideString(buffer);
}

}  // namespace platform
