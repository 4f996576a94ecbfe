// A destination with links planted in it, for the tests of output places,
// staged files and report files: the scratch directory holds dest (made
// the current directory) and outside, and dest holds
//
//   link      -> ../outside           a link to a directory outside
//   dangling  -> ../outside/nothing   a link whose target is missing
//   filelink  -> ../outside/target.txt
//   file.txt  a plain file ("old")
//   sub/deep  -> ../../outside        a link one directory down
//
// Nothing a test does may change outside; unchanged() says whether it is
// still just target.txt holding "target".
//
// Links are made with the platform's own call. Wine 8 answers that call
// with success and makes nothing, but it shows the links to directories
// of the Linux file system below it as reparse points; there the links are
// made by Linux's ln, started from inside Wine (Wine starts Linux
// programs, though it does not wait for them, so the link is waited for).
// Wine shows a link to a file as a plain file and a dangling link not at
// all, so the cases of those two do not run there; seen() tells.
#pragma once

#include <gtest/gtest.h>

#include <iostream>

#include "platform.h"
#include "test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace test_files {

#ifdef _WIN32
inline bool is_link(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The Linux path of a Windows path, from Wine's own export; empty when
// not under Wine.
inline std::wstring unix_path_of(const fs::path& path) {
    using Convert = char* (*)(const wchar_t*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto convert =
        kernel != nullptr
            ? reinterpret_cast<Convert>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
            : nullptr;
    if (convert == nullptr) return std::wstring();
    char* unix_path = convert(path.c_str());
    if (unix_path == nullptr) return std::wstring();
    // Wine's paths are UTF-8; the scratch paths are ASCII.
    const std::string bytes(unix_path);
    HeapFree(GetProcessHeap(), 0, unix_path);
    return std::wstring(bytes.begin(), bytes.end());
}

inline bool under_wine() { return !unix_path_of(fs::current_path()).empty(); }

inline bool make_link_with_linux_ln(const fs::path& target, const fs::path& link) {
    const wchar_t* ln = L"Z:\\bin\\ln";
    const std::wstring unix_link = unix_path_of(link);
    if (unix_link.empty() || GetFileAttributesW(ln) == INVALID_FILE_ATTRIBUTES) return false;
    std::wstring command = L"ln -s \"" + target.generic_wstring() + L"\" \"" + unix_link + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(ln, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int wait = 0; wait < 500 && !is_link(link); ++wait) Sleep(10);
    return is_link(link);
}
#else
inline bool is_link(const fs::path& path) { return fs::is_symlink(fs::symlink_status(path)); }
inline bool under_wine() { return false; }
#endif

// Makes a symbolic link at link to target (a relative target is taken
// from the link's directory). False where no link can be made. Under Wine
// Linux's ln makes it, unless by_ln is false.
inline bool make_link(const fs::path& target, const fs::path& link, bool to_directory, bool by_ln = true) {
    std::error_code error;
    if (to_directory) {
        fs::create_directory_symlink(target, link, error);
    } else {
        fs::create_symlink(target, link, error);
    }
    if (!error && is_link(link)) return true;
#ifdef _WIN32
    return by_ln && make_link_with_linux_ln(target, link);
#else
    (void)by_ln;
    return false;
#endif
}

class LinkDestination {
public:
    LinkDestination() {
        fs::create_directory(scratch_ / "dest");
        fs::create_directory(scratch_ / "outside");
        fs::create_directory(scratch_ / "dest" / "sub");
        write_bytes(scratch_ / "outside" / "target.txt", "target");
        write_bytes(scratch_ / "dest" / "file.txt", "old");
        const fs::path dest = scratch_ / "dest";
        links_made_ =
            make_link("../outside", dest / "link", true) && make_link("../../outside", dest / "sub" / "deep", true);
        // Neither is made by ln under Wine, which would not show them: made
        // that way they would only appear some time during the test.
        make_link("../outside/target.txt", dest / "filelink", false, false);
        make_link("../outside/nothing", dest / "dangling", false, false);
        platform::set_current_directory(scratch_.wide(u"dest"));
    }

    // Whether the links could be made; a test without them says so and
    // stops.
    bool links_made() const { return links_made_; }
    ~LinkDestination() {
        // The links go first, so that removing the scratch directory does
        // not walk through them.
        std::error_code error;
        for (const char* name : {"link", "sub/deep", "filelink", "dangling"}) fs::remove(dest() / name, error);
    }
    LinkDestination(const LinkDestination&) = delete;
    LinkDestination& operator=(const LinkDestination&) = delete;

    // Whether a case on path can run: false when its first component is
    // the file link or the dangling link and that is not seen as a link
    // here. Says so on the test's output.
    bool seen(const WideString& path) const {
        for (const char16_t* name : {u"filelink", u"dangling"}) {
            if (path.starts_with(name) && !is_link(dest() / fs::path(WideString(name)))) {
                std::cout << "[ links ] no " << fs::path(WideString(name)).string()
                          << " link can be seen here: that case did not run" << std::endl;
                return false;
            }
        }
        return true;
    }
    fs::path dest() const { return scratch_ / "dest"; }
    fs::path outside() const { return scratch_ / "outside"; }
    bool unchanged() const {
        return listing(outside()) == "target.txt" && read_bytes(outside() / "target.txt") == "target";
    }

private:
    // The guard goes last, so that the destination is no longer current
    // when it is removed (Windows refuses to remove a current directory).
    ScratchDirectory scratch_;
    CurrentDirectoryGuard guard_;
    bool links_made_ = false;
};

// Stops a test on a platform that cannot make the links, saying so.
#define REQUIRE_LINKS(destination)                                                                                     \
    if (!(destination).links_made()) {                                                                                 \
        GTEST_SKIP() << "no symbolic links can be made here; the link cases did not run";                              \
    }

}  // namespace test_files
