// box_probe FILE: lists the message boxes open on the desktop into FILE, for
// the Wine scenario driver: an X window title says which box is up, but only
// Windows itself can read the text and the buttons inside it. The list goes
// to a file, not to standard output, because a Wine process may start
// servers that inherit its output and keep a pipe open long after it ended.
// One block per box, in UTF-8:
//   box <title>
//   text <static text>
//   button <button text>
// Line breaks inside a text are written as \n, backslashes as \\.
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string utf8_escaped(const std::wstring& text) {
    std::wstring escaped;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            escaped += L"\\\\";
        } else if (c == L'\n') {
            escaped += L"\\n";
        } else if (c != L'\r') {
            escaped += c;
        }
    }
    if (escaped.empty()) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

// The window belongs to another process: WM_GETTEXT is marshalled across,
// with a time-out so that a hung box cannot hang the probe.
std::wstring window_text(HWND window) {
    std::vector<wchar_t> buffer(4096, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                            SMTO_ABORTIFHUNG, 2000, &copied) == 0) {
        return std::wstring();
    }
    return std::wstring(buffer.data(), copied);
}

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::string output;

BOOL CALLBACK visit_child(HWND child, LPARAM) {
    const std::wstring kind = class_of(child);
    const std::wstring text = window_text(child);
    if (lstrcmpiW(kind.c_str(), L"Static") == 0 && !text.empty()) {
        output += "text " + utf8_escaped(text) + "\n";
    } else if (lstrcmpiW(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
        output += "button " + utf8_escaped(text) + "\n";
    }
    return TRUE;
}

BOOL CALLBACK visit_top_level(HWND window, LPARAM) {
    if (class_of(window) == L"#32770" && IsWindowVisible(window)) {
        output += "box " + utf8_escaped(window_text(window)) + "\n";
        EnumChildWindows(window, visit_child, 0);
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    EnumWindows(visit_top_level, 0);
    const HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, output.data(), static_cast<DWORD>(output.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == output.size() ? 0 : 1;
}
