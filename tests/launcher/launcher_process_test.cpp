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

#include <fstream>

#include "launch_scenarios.h"
#include "launcher_process.h"
#include "recording_log.h"
#include "scenario_workspace.h"
#include "shell_command.h"
#include "text_convert.h"

namespace {

namespace fs = std::filesystem;

using test_common::quoted;

struct ProcessResult {
    int status = -1;
    std::vector<ObservedBox> boxes;
    bool output_parsed = true;
    std::string output;
    std::string errors;
};

platform::BoxKind kind_of(const std::string& buttons) {
    return buttons == "(OK)"        ? platform::BoxKind::ok
           : buttons == "(Yes/No)?" ? platform::BoxKind::yes_no
                                    : platform::BoxKind::yes_no_cancel;
}

// Starts the copy of the program (or the given path to it) in the work
// directory with the given arguments, the recording log and report mode in
// its environment and the answer lines on standard input.
ProcessResult run_launcher(const ScenarioWorkspace& workspace, const std::vector<std::string>& arguments,
                           const std::string& answer_lines, const std::string& report_mode,
                           const std::string& environment = "", const fs::path& program = {}) {
    const test_common::LauncherRun run = test_common::run_launcher(
        {.program = program.empty() ? workspace.program : program,
         .directory = workspace.work,
         .arguments = arguments,
         .answers = answer_lines,
         .environment = "LC_ALL=C.UTF-8 LANG=C.UTF-8 TSUCHI_RECORD_LOG=" + quoted(workspace.log) +
                        " TSUCHI_RECORD_REPORT=" + quoted(report_mode) + " " + environment,
         .files = workspace.root});
    ProcessResult result{run.status, {}, run.output_parsed, run.output, run.errors};
    for (const test_common::LauncherBox& box : run.boxes) {
        result.boxes.push_back({kind_of(box.buttons), wide_from_utf8(box.title), wide_from_utf8(box.text)});
    }
    return result;
}

std::string answer_lines_of(const Scenario& scenario) {
    std::string lines;
    for (const ExpectedBox& box : scenario.boxes) {
        if (box.answer != 'o') {  // an OK box reads no answer
            lines += std::string(1, box.answer) + "\n";
        }
    }
    return lines;
}

void expect_clean_exit(const ProcessResult& result) {
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_TRUE(result.output_parsed) << result.output;
}

class ProcessScenario : public testing::TestWithParam<Scenario> {};

TEST_P(ProcessScenario, ShowsTheBoxesAndMakesTheCalls) {
    const Scenario& scenario = GetParam();
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result =
        run_launcher(workspace, scenario.arguments, answer_lines_of(scenario), scenario.report_mode);
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

INSTANTIATE_TEST_SUITE_P(Launcher, ProcessScenario, testing::ValuesIn(launch_scenarios()),
                         [](const testing::TestParamInfo<Scenario>& info) { return scenario_test_name(info.param); });

TEST(LauncherProcess, WithoutArgumentsShowsOnlyTheUsageBox) {
    const Scenario scenario{
        "usage", {}, {}, {{platform::BoxKind::ok, "使い方！", "ファイルを、引数に、与える。", 'o'}}, {}};
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result = run_launcher(workspace, {}, "", "");
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

// %NAME% references are expanded before the argument is classified.
TEST(LauncherProcess, ExpandsEnvironmentReferences) {
    const Scenario scenario{"expansion",
                            {"sub/a.zip"},
                            {"%TSUCHI_SAMPLE_DIR%/a.zip"},
                            {},
                            {{"ZIPDecode", {"sub/a.zip"}, std::nullopt, "", {}}}};
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result = run_launcher(workspace, scenario.arguments, "", "", "TSUCHI_SAMPLE_DIR=sub");
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

// A question left without an answer counts as closed: the job stops.
TEST(LauncherProcess, EndOfInputStopsAtTheQuestion) {
    const Scenario scenario{
        "no answers",
        {"a.txt"},
        {"a.txt"},
        {{platform::BoxKind::yes_no_cancel, "作業確認!?", "LZH 形式で圧縮？、[いいえ]なら ZIP", 'c'}},
        {}};
    const ScenarioWorkspace workspace(scenario, true);
    const ProcessResult result = run_launcher(workspace, scenario.arguments, "", "");
    expect_clean_exit(result);
    check_outcome(scenario, workspace, result.boxes);
}

// File names on Linux are bytes; one that is not UTF-8 must neither crash
// the launcher nor stop the other arguments from being handled.
TEST(LauncherProcess, SurvivesFileNamesThatAreNotUtf8) {
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

// The libraries lie beside the program's file: started by a link to it from
// another directory, or by a relative path, the launcher still finds them
// there and not beside the link.
TEST(LauncherProcess, FindsItsLibrariesWhateverPathStartedIt) {
    const Scenario scenario{"started by a link",
                            {"a.zip"},
                            {"a.zip"},
                            {},
                            {{"ZIPDecode", {"a.zip"}, std::nullopt, "", {}}}};
    const ScenarioWorkspace workspace(scenario, true);
    fs::create_symlink(workspace.program, workspace.work / "linked-tsuchi");
    for (const fs::path& program : {fs::path(workspace.work / "linked-tsuchi"),
                                    fs::relative(workspace.program, workspace.work)}) {
        fs::remove(workspace.log);
        const ProcessResult result = run_launcher(workspace, scenario.arguments, "", "", "", program);
        expect_clean_exit(result);
        check_outcome(scenario, workspace, result.boxes);
    }
}

}  // namespace
