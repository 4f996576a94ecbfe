// The real launcher run as a process (Linux): its current directory, its
// arguments, settings in its environment and the answers to its questions
// on standard input, one line each ("y", "n", "c"). Its boxes come back
// from standard output in their terminal form:
//   [title]
//   text lines
//   (OK) | (Yes/No)? | (Yes/No/Cancel)?
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test_common {

struct LauncherBox {
    std::string title;
    std::string text;     // the lines joined with "\n"
    std::string buttons;  // "(OK)", "(Yes/No)?" or "(Yes/No/Cancel)?"
};

struct LauncherCall {
    std::filesystem::path program;    // the tsuchi to run
    std::filesystem::path directory;  // its current directory
    std::vector<std::string> arguments = {};
    std::string answers = {};
    // Put in front of the command. The locale is fixed so that the code
    // page the launcher derives from it is not Japanese.
    std::string environment = "LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC";
    // Where the answers and the output are kept; the parent of directory
    // when empty.
    std::filesystem::path files = {};
};

struct LauncherRun {
    int status = -1;  // 0 only when the program exited by itself with code 0
    std::vector<LauncherBox> boxes;
    bool output_parsed = true;  // false when standard output held anything but boxes
    std::string output;         // standard output
    std::string errors;         // standard error
};

LauncherRun run_launcher(const LauncherCall& call);

}  // namespace test_common
