// The narrow layer between the system and its operating system.
//
// Everything the system takes from Windows goes through these functions. Two
// implementations exist: platform_win32.cpp calls the Win32 and C runtime
// services directly; platform_posix.cpp provides the same behaviour on Linux
// (UTF-8 paths, iconv code pages, dlopen, terminal message boxes). No other
// source file includes windows.h or POSIX headers.
//
// All wide text is 16-bit units. Paths may use "/" or "\" as separators; the
// POSIX layer turns every "\" into "/" before a path reaches the file system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "text_types.h"

namespace platform {

// ---- process and modules ------------------------------------------------

// The process command line split into wide arguments; the first one is the
// program itself.
std::vector<WideString> command_line_arguments();

// Full file name of the running executable (the launcher), or of the module
// that contains this code when in_module is true (a codec library).
WideString module_file_name(bool in_module = false);

// Opaque handle of a loaded library; null when loading failed.
using LibraryHandle = void*;
LibraryHandle load_library(const WideString& full_path);
void* find_export(LibraryHandle library, const char* name);
void free_library(LibraryHandle library);

// ---- paths and the current directory ------------------------------------

// Absolute form of a path, formed lexically against the current directory
// ("." and ".." resolved, no links followed). False when it cannot be
// formed or would not fit PATH_BUFFER_LENGTH.
bool full_path(const WideString& path, WideString& out);

// The current directory; false when it cannot be read.
bool current_directory(WideString& out);
bool set_current_directory(const WideString& path);

// %NAME% references replaced from the environment; unknown names stay as
// typed. False when the result would not fit PATH_BUFFER_LENGTH.
bool expand_environment(const WideString& text, WideString& out);

// ---- file system ---------------------------------------------------------

enum class StatResult { ok, not_found, error };

struct FileStatus {
    bool is_directory = false;
    bool is_regular = false;
    std::int64_t size = 0;
    std::int64_t modification_time = 0;  // seconds since 1970, UTC
};

// The runtime library's file-status query. A path holding "?" or "*", and a
// bare drive name (letter and colon), count as not found.
StatResult file_status(const WideString& path, FileStatus& status);

bool make_directory(const WideString& path);
bool remove_file(const WideString& path);
bool set_file_time(const WideString& path, std::int64_t modification_time);

// Opens a file with a C stdio mode ("rb", "wb", ...). Null on failure.
// With size, also stores the size of the file opened, asked of the open
// file (the same answer as a look at its name, without a second lookup).
std::FILE* open_file(const WideString& path, const char* mode, std::int64_t* size = nullptr);

// Moves an open stream to offset bytes from the start of its file, with
// 64-bit offsets on every build (archives grow past 4 GiB). False on
// failure.
bool seek_file(std::FILE* file, std::uint64_t offset);
// Where an open stream stands, with 64-bit offsets; 0 when it cannot be
// told.
std::uint64_t file_position(std::FILE* file);
// The length of the file of an open stream, which is left at its end; 0
// when it cannot be found.
std::uint64_t file_length(std::FILE* file);
// Cuts the file of an open stream, flushed first, to length bytes; the
// stream's position is not moved. False on failure.
bool truncate_file(std::FILE* file, std::uint64_t length);

// Reads up to size bytes at offset of the file of an open stream without
// moving the stream or its file position, so another thread may do it while
// the stream is in use. The bytes read; 0 also where the system has no such
// read (Windows builds: callers then read through the stream).
std::size_t read_file_at(std::FILE* file, std::uint64_t offset, void* buffer, std::size_t size);
// A stream over size bytes in memory (size above 0; not copied), opened
// with mode ("rb" or "wb"; a write past the end fails). Null where the
// system has no such streams (Windows builds).
std::FILE* open_memory(void* bytes, std::size_t size, const char* mode);
// Whether this system has both: false on Windows builds.
bool has_positioned_reads_and_memory_streams();

struct DirectoryItem {
    WideString name;
    bool is_directory = false;
};
// The names in a directory ("." and ".." left out), in the platform's order.
bool list_directory(const WideString& path, std::vector<DirectoryItem>& items);

// ---- files below a directory, links not followed ---------------------------
//
// An extraction writes only below its destination, and never through a
// symbolic link that it did not make: such a link may point anywhere, and
// an archive member named like it would land there. These functions look
// up, make, replace and remove single names inside an open directory and
// never follow a link on the way (on Windows a link is any reparse point:
// symbolic links and junctions). On POSIX an open directory is a
// descriptor, so that every name is resolved against the directory that
// was checked; on Windows it is the checked absolute path, and every
// function checks the name's attributes again before it uses it.
//
// A name is one path component: not empty, no "/" or "\", not "." or
// "..", and on Windows no ":" (which would name a stream or a drive).
// Anything else is refused as an error.

// What stands at a name; error when its status cannot be read or the
// name is not one component.
enum class NodeKind { missing, file, directory, link, other, error };

// Opaque handle of an open directory; null when none.
using DirectoryHandle = void*;

// Opens a directory by path. Links on the way are followed: this is the
// destination the user chose.
DirectoryHandle open_directory(const WideString& path);
void close_directory(DirectoryHandle directory);

// What stands at name inside directory, the name itself not followed: a
// link is `link` whether or not its target exists.
NodeKind node_kind_at(DirectoryHandle directory, const WideString& name);

enum class EnterResult { ok, link, not_directory, error };
// Opens the directory name inside directory without following a link;
// with create, a missing one is made first. `link` when the name is a
// link, `not_directory` when it is a file or anything else.
EnterResult enter_directory(DirectoryHandle directory, const WideString& name, bool create, DirectoryHandle& entered);

// Creates name inside directory for binary writing. Exclusive: fails when
// anything, a link included, stands at the name already. Null on failure.
std::FILE* create_new_file_at(DirectoryHandle directory, const WideString& name);

// Creates a file without a name inside directory for binary writing
// (Linux's O_TMPFILE): until close_and_link_at gives it one it is in no
// directory, and a crash or a kill leaves nothing behind. Null where the
// system or the file system has no such files (Windows, tmpfs of older
// kernels, some network file systems); a named file must serve then.
std::FILE* create_unnamed_file_at(DirectoryHandle directory);

// Closes file, made by create_unnamed_file_at in directory, and gives it
// name there. With replace, whatever stands at name is replaced (a file,
// or a link itself, never the link's target; not a directory): the file
// is linked under spare_name, a free name, and renamed from it. Without
// replace, the call fails when name is taken. False when the close or the
// link failed: the file is gone and what stood at name is untouched.
bool close_and_link_at(DirectoryHandle directory, std::FILE* file, const WideString& name, bool replace,
                       const WideString& spare_name);

// Gives file the permission bits (read, write, execute for owner, group
// and others) of the regular file name inside directory, the name not
// followed: a file that replaces another keeps its permissions, as writing
// over it would have kept them. Nothing to do (true) when name is no
// regular file, and on Windows, where files carry no such bits. False when
// the bits could not be set.
bool take_permissions_at(DirectoryHandle directory, const WideString& name, std::FILE* file);

// Renames from to to inside directory. With replace, whatever stands at
// to is replaced: a file, or a link itself (never the link's target); a
// directory is not. Without it the call fails when to is taken.
bool rename_at(DirectoryHandle directory, const WideString& from, const WideString& to, bool replace);

// Removes the file or link name inside directory (never a link's target).
bool remove_at(DirectoryHandle directory, const WideString& name);

// Sets the access and modification time of the file name inside
// directory; false when the name is a link.
bool set_file_time_at(DirectoryHandle directory, const WideString& name, std::int64_t modification_time);

// Sets the access and modification time of an open file; its buffered
// bytes are written first. A byte written after it would set the
// modification time again.
bool set_open_file_time(std::FILE* file, std::int64_t modification_time);

// ---- local time ------------------------------------------------------------

struct LocalTime {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
bool to_local_time(std::int64_t utc_seconds, LocalTime& out);
// Local wall-clock time to seconds since 1970; daylight saving is left for
// the runtime library to decide (tm_isdst = -1).
bool from_local_time(const LocalTime& local, std::int64_t& utc_seconds);

// ---- code pages ------------------------------------------------------------

// The system's ANSI code page (GetACP). On Linux it is derived from the
// locale environment (ansi_code_page_for_locale), or from the override below.
int ansi_code_page();
// Test hook: a non-zero value replaces the detected ANSI code page.
void set_ansi_code_page_override(int code_page);
// The system code page of a POSIX locale name: 65001 (UTF-8) for a locale
// with the UTF-8 codeset ("ja_JP.UTF-8", "C.UTF-8", "en_US.utf8") and for
// the bare "C" and "POSIX"; for a legacy codeset, the language's code page.
int ansi_code_page_for_locale(const char* locale_name);
// The ANSI code page Windows uses for the language of a POSIX locale name
// such as "ja_JP.UTF-8" or "sr_RS@latin": 932 for Japanese, 936/950 for
// Chinese, 949 Korean, 1251 Cyrillic languages, ...; 1252 for anything else,
// "C" and "POSIX" included. The codeset part of the name is ignored.
int language_code_page_for_locale(const char* locale_name);
// Whether names of this system's LZH archives separate directories with
// byte 0xFF by default: on a Japanese system (code page 932), and on Linux
// also under UTF-8, where byte 0xFF never occurs in a name.
bool system_names_use_ff_separator();

// Whether conversions with this code page are available (GetCPInfo).
bool code_page_available(int code_page);

constexpr unsigned CONVERT_PRECOMPOSED = 0x1;    // MB_PRECOMPOSED
constexpr unsigned CONVERT_ERR_INVALID = 0x8;    // MB_ERR_INVALID_CHARS
constexpr unsigned CONVERT_NO_BEST_FIT = 0x400;  // WC_NO_BEST_FIT_CHARS

// WideCharToMultiByte: converts source_length units (-1: up to and
// including the terminator) into at most capacity bytes; capacity 0 only
// measures. Returns the bytes written (or needed), 0 on failure.
// Characters with no mapping become "?".
int wide_to_multibyte(int code_page, unsigned flags, const char16_t* source, int source_length, char* destination,
                      int capacity);
// MultiByteToWideChar, same conventions in the other direction.
int multibyte_to_wide(int code_page, unsigned flags, const char* source, int source_length, char16_t* destination,
                      int capacity);

// ---- runtime-library locale -------------------------------------------------

// Sets the character-type category of the process locale from a wide name;
// an empty name selects the user's default. Returns the previous name, or
// an empty string when setting failed (then ok is false).
WideString set_ctype_locale(const WideString& name, bool& ok);
// Restores a name returned by set_ctype_locale.
void restore_ctype_locale(const WideString& previous);

// A private locale object for the character-type conversions.
using LocaleHandle = void*;
LocaleHandle create_ctype_locale(const WideString& name);
void free_ctype_locale(LocaleHandle locale);

// wcstombs / mbstowcs with the given locale object or, when null, the
// process locale. destination null measures. Result as the C library gives
// it: the count (terminator not counted), or (size_t)-1 on an unconvertible
// character. After a failure the destination holds what was converted
// before the failing character, terminated when capacity leaves room.
std::size_t locale_wide_to_bytes(LocaleHandle locale, const char16_t* source, char* destination, std::size_t capacity);
std::size_t locale_bytes_to_wide(LocaleHandle locale, const char* source, char16_t* destination, std::size_t capacity);

// The runtime library's pseudo-random numbers (0 to 32767).
int random_number();
void seed_random(unsigned seed);
std::int64_t current_time_seconds();

// ---- user interface ----------------------------------------------------------

enum class BoxKind { ok, yes_no, yes_no_cancel };
enum class BoxAnswer { ok, yes, no, cancel, closed };

// A message box without an owner window (question icon for the two
// question forms). On Linux a prompt on standard output, answered on
// standard input.
BoxAnswer message_box(const WideString& text, const WideString& title, BoxKind kind);

// In-process tests answer boxes from a script and record them. When a
// handler is installed, message_box calls it instead of the platform.
using BoxHandler = std::function<BoxAnswer(const WideString& text, const WideString& title, BoxKind kind)>;
void set_message_box_handler(BoxHandler handler);

// ---- component system (launcher only) -----------------------------------------

void com_initialize();
void com_uninitialize();

// Target path of a shortcut file; empty when it cannot be read.
WideString resolve_shell_link(const WideString& link_path);

}  // namespace platform
