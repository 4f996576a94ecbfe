// The real launcher program, run as a process on Linux: each scenario's
// files in a work directory, a copy of tsuchi with the recording libraries
// in a directory of its own, the answers on standard input. The boxes are
// read back from standard output, where the terminal form of a box is
//   [title]
//   text lines
//   (OK) | (Yes/No)? | (Yes/No/Cancel)?
// and the calls from the recording log. Also proves what needs a real
// process: the usage box, environment references in arguments, answers
// running out, a file name that is not UTF-8, and the exit code 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "launch_scenarios.h"
#include "recording_log.h"
#include "scenario_workspace.h"
#include "text_convert.h"

namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string quoted(const fs::path& path)
{
    return quoted(path.string());
}

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

struct ProcessResult {
    int status = -1;
    std::vector<ObservedBox> boxes;
    bool output_parsed = true;
    std::string output;
    std::string errors;
};

// Splits the program's standard output into boxes; output_parsed is false
// when anything else was printed.
void parse_boxes(ProcessResult& result)
{
    std::istringstream lines(result.output);
    std::string line;
    bool in_box = false;
    std::string title;
    std::string text;
    while (std::getline(lines, line)) {
        if (!in_box) {
            if (line.size() < 2 || line.front() != '[' || line.back() != ']') {
                result.output_parsed = false;
                return;
            }
            title = line.substr(1, line.size() - 2);
            text.clear();
            in_box = true;
            continue;
        }
        platform::BoxKind kind;
        if (line == "(OK)") {
            kind = platform::BoxKind::ok;
        } else if (line == "(Yes/No)?") {
            kind = platform::BoxKind::yes_no;
        } else if (line == "(Yes/No/Cancel)?") {
            kind = platform::BoxKind::yes_no_cancel;
        } else {
            text += (text.empty() ? "" : "\n") + line;
            continue;
        }
        result.boxes.push_back({kind, wide_from_utf8(title), wide_from_utf8(text)});
        in_box = false;
    }
    result.output_parsed = result.output_parsed && !in_box;
}

// Starts the program in the work directory with the given arguments, the
// recording log and report mode in its environment and the answer lines on
// standard input. The locale is fixed so that the code page the launcher
// derives from it is not Japanese.
ProcessResult run_launcher(const ScenarioWorkspace& workspace, const std::vector<std::string>& arguments,
                           const std::string& answer_lines, const std::string& report_mode,
                           const std::string& environment = "")
{
    const fs::path answers = workspace.root / "answers.txt";
    const fs::path output = workspace.root / "stdout.txt";
    const fs::path errors = workspace.root / "stderr.txt";
    std::ofstream(answers, std::ios::binary) << answer_lines;
    std::string command = "cd " + quoted(workspace.work) + " && LC_ALL=C.UTF-8 LANG=C.UTF-8 TSUCHI_RECORD_LOG=" +
                          quoted(workspace.log) + " TSUCHI_RECORD_REPORT=" + quoted(report_mode) + " " +
                          environment + " " + quoted(workspace.program);
    for (const std::string& argument : arguments) {
        command += " " + quoted(argument);
    }
    command += " <" + quoted(answers) + " >" + quoted(output) + " 2>" + quoted(errors);
    ProcessResult result;
    // 0 only when the program exited by itself with code 0.
    result.status = std::system(command.c_str());
    result.output = read_file(output);
    result.errors = read_file(errors);
    parse_boxes(result);
    return result;
}

std::string answer_lines_of(const Scenario& scenario)
{
    std::string lines;
    for (const ExpectedBox& box : scenario.boxes) {
        if (box.answer != 'o') {  // an OK box reads no answer
            lines += std::string(1, box.answer) + "\n";
        }
    }
    return lines;
}

void expect_clean_exit(const ProcessResult& result)
{
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_TRUE(result.output_parsed) << result.output;
}

class ProcessScenario : public testing::TestWithParam<Scenario> {};

TEST_P(ProcessScenario, ShowsTheBoxesAndMakesTheCalls)
{
    const Scenario& scenario = GetParam();
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result =
        run_launcher(workspace, scenario.arguments, answer_lines_of(scenario), scenario.report_mode);
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

INSTANTIATE_TEST_SUITE_P(Launcher, ProcessScenario, testing::ValuesIn(launch_scenarios()),
                         [](const testing::TestParamInfo<Scenario>& info) {
                             return scenario_test_name(info.param);
                         });

TEST(LauncherProcess, WithoutArgumentsShowsOnlyTheUsageBox)
{
    const Scenario scenario{"usage", {}, {}, {{platform::BoxKind::ok, "使い方！", "ファイルを、引数に、与える。", 'o'}}, {}};
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result = run_launcher(workspace, {}, "", "");
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

// %NAME% references are expanded before the argument is classified.
TEST(LauncherProcess, ExpandsEnvironmentReferences)
{
    const Scenario scenario{"expansion", {"sub/a.zip"}, {"%TSUCHI_SAMPLE_DIR%/a.zip"}, {},
                            {{"ZIPDecode", {"sub/a.zip"}, std::nullopt, "", {}}}};
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result = run_launcher(workspace, scenario.arguments, "", "", "TSUCHI_SAMPLE_DIR=sub");
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

// A question left without an answer counts as closed: the job stops.
TEST(LauncherProcess, EndOfInputStopsAtTheQuestion)
{
    const Scenario scenario{"no answers", {"a.txt"}, {"a.txt"},
                            {{platform::BoxKind::yes_no_cancel, "作業確認!?", "LZH 形式で圧縮？、[いいえ]なら ZIP", 'c'}},
                            {}};
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result = run_launcher(workspace, scenario.arguments, "", "");
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

// File names on Linux are bytes; one that is not UTF-8 must neither crash
// the launcher nor stop the other arguments from being handled.
TEST(LauncherProcess, SurvivesFileNamesThatAreNotUtf8)
{
    const Scenario scenario{"not utf-8", {"a.zip"}, {}, {}, {}};
    const ScenarioWorkspace workspace(scenario, true);
    const std::string bad_zip = "caf\xE9.zip";
    const std::string bad_plain = "\xFF\xFE\x80.txt";
    std::ofstream(workspace.work / bad_zip) << "x";
    std::ofstream(workspace.work / bad_plain) << "x";
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {bad_zip, "a.zip"}, {"/x", bad_plain, bad_zip, "a.zip"}, {"/cnf", bad_plain, "a.zip"}}) {
        fs::remove(workspace.log);
        const ProcessResult result = run_launcher(workspace, arguments, "y\ny\ny\ny\n", "");
        EXPECT_EQ(result.status, 0) << result.errors;
        EXPECT_TRUE(result.output_parsed) << result.output;
        // Whatever became of the odd names, a.zip went to the ZIP library.
        bool zip_seen = false;
        for (const CallRecord& record : read_call_records(workspace.log)) {
            for (const std::string& path : record.paths) {
                zip_seen = zip_seen || utf8_from_wide(workspace.full("a.zip")) == path;
            }
        }
        EXPECT_TRUE(zip_seen) << result.output;
    }
}

}  // namespace
