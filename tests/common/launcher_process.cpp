#include "launcher_process.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "shell_command.h"

namespace test_common {

namespace {

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool is_buttons_line(const std::string& line) {
    return line == "(OK)" || line == "(Yes/No)?" || line == "(Yes/No/Cancel)?";
}

// Splits standard output into boxes; parsed is false when it holds
// anything else.
void parse_boxes(const std::string& output, std::vector<LauncherBox>& boxes, bool& parsed) {
    parsed = true;
    std::istringstream lines(output);
    std::string line;
    LauncherBox box;
    bool open = false;
    while (std::getline(lines, line)) {
        if (open && is_buttons_line(line)) {
            box.buttons = line;
            boxes.push_back(box);
            open = false;
        } else if (open) {
            box.text += (box.text.empty() ? "" : "\n") + line;
        } else if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            box = LauncherBox{line.substr(1, line.size() - 2), "", ""};
            open = true;
        } else {
            parsed = false;
        }
    }
    parsed = parsed && !open;
}

}  // namespace

LauncherRun run_launcher(const LauncherCall& call) {
    const std::filesystem::path files = call.files.empty() ? call.directory.parent_path() : call.files;
    const std::filesystem::path answers = files / "answers.txt";
    const std::filesystem::path output = files / "stdout.txt";
    const std::filesystem::path errors = files / "stderr.txt";
    std::ofstream(answers, std::ios::binary) << call.answers;
    std::string command = "cd " + quoted(call.directory) + " && " + call.environment + " " + quoted(call.program);
    for (const std::string& argument : call.arguments) command += " " + quoted(argument);
    command += " <" + quoted(answers) + " >" + quoted(output) + " 2>" + quoted(errors);
    LauncherRun run;
    run.status = std::system(command.c_str());
    run.output = read_file(output);
    run.errors = read_file(errors);
    parse_boxes(run.output, run.boxes, run.output_parsed);
    return run;
}

}  // namespace test_common
