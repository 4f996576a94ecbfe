// Processes of the Linux creation tests: the real tsuchi (TSUCHI_PROGRAM,
// with the real kanna beside it) and the peers, run through the shell with
// their output in a file. tsuchi's boxes come back from its standard
// output in their terminal form:
//   [title]
//   text lines
//   (OK) | (Yes/No)? | (Yes/No/Cancel)?
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "lzh_test_support.h"

namespace lzhenc_test {

inline std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline bool installed(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command with standard input empty and its output in log;
// the exit status, and the output in text.
inline int run_logged(const std::string& command, const lzh_test::fs::path& log, std::string& text) {
    const int status =
        std::system(("(" + command + ") </dev/null >" + quoted(log.string()) + " 2>&1").c_str());
    text = lzh_test::read_binary(log);
    return status;
}

struct Box {
    std::string title;
    std::string text;
    std::string buttons;
};

struct TsuchiRun {
    int status = -1;
    std::vector<Box> boxes;
    std::string output;
};

inline std::vector<Box> parse_boxes(const std::string& output) {
    std::vector<Box> boxes;
    std::istringstream lines(output);
    std::string line;
    Box box;
    bool open = false;
    while (std::getline(lines, line)) {
        if (!open && line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            box = Box{line.substr(1, line.size() - 2), "", ""};
            open = true;
        } else if (open && (line == "(OK)" || line == "(Yes/No)?" || line == "(Yes/No/Cancel)?")) {
            box.buttons = line;
            boxes.push_back(box);
            open = false;
        } else if (open) {
            box.text += (box.text.empty() ? "" : "\n") + line;
        }
    }
    return boxes;
}

// Runs tsuchi in directory with the arguments, the answer lines on its
// standard input and environment settings in front (LC_ALL, TZ, ...).
inline TsuchiRun run_tsuchi(const lzh_test::fs::path& directory, const std::vector<std::string>& arguments,
                            const std::string& answers = "",
                            const std::string& environment = "LC_ALL=C.UTF-8 TZ=Europe/Berlin") {
    const lzh_test::fs::path input = directory.parent_path() / "answers.txt";
    const lzh_test::fs::path output = directory.parent_path() / "tsuchi-output.txt";
    std::ofstream(input, std::ios::binary) << answers;
    std::string command = "cd " + quoted(directory.string()) + " && " + environment + " " + quoted(TSUCHI_PROGRAM);
    for (const std::string& a : arguments) command += " " + quoted(a);
    command += " <" + quoted(input.string()) + " >" + quoted(output.string()) + " 2>&1";
    TsuchiRun run;
    run.status = std::system(command.c_str());
    run.output = lzh_test::read_binary(output);
    run.boxes = parse_boxes(run.output);
    return run;
}

}  // namespace lzhenc_test
