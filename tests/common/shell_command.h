// Shell commands of the tests that run programs as processes (Linux): a
// word quoted for the shell, whether a tool is installed, and a command run
// with its output kept in a file.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace test_common {

// The text as one shell word: in single quotes, each quote in it closed,
// escaped and opened again.
inline std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string quoted(const std::filesystem::path& path) { return quoted(path.string()); }

inline std::string quoted(const char* text) { return quoted(std::string(text)); }

inline bool installed(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command with standard input empty and its output in log;
// the exit status, and the output in text.
inline int run_logged(const std::string& command, const std::filesystem::path& log, std::string& text) {
    const int status = std::system(("(" + command + ") </dev/null >" + quoted(log) + " 2>&1").c_str());
    std::ifstream in(log, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status;
}

}  // namespace test_common
