// The launcher scenarios run in-process, on Linux and under Wine against the
// Win32 layer: run_job with each scenario's arguments, every box answered
// through the message-box handler, the recording libraries loaded from the
// scenario's own launcher directory. Proves classification, the questions
// and their answers, the destination handling and the dispatch to the
// exports; also the usage box and that a report box is shown before the
// next library runs.
#include <gtest/gtest.h>

#include "launch_scenarios.h"
#include "platform.h"
#include "recording_log.h"
#include "run_job.h"
#include "scenario_workspace.h"
#include "text_convert.h"

namespace {

using RecordingConfigure = void (*)(const char* log_path, const char* report_mode);

platform::BoxAnswer answer_for(char answer) {
    switch (answer) {
    case 'y': return platform::BoxAnswer::yes;
    case 'n': return platform::BoxAnswer::no;
    case 'c': return platform::BoxAnswer::cancel;
    case 'o': return platform::BoxAnswer::ok;
    default: return platform::BoxAnswer::closed;
    }
}

// Runs one launch inside this process. While it runs, the recording
// libraries stay loaded by the test too, which is how they learn where to
// log: the launcher's own load then finds the same, configured instance.
class InProcessLaunch {
public:
    InProcessLaunch(const ScenarioWorkspace& workspace, const std::string& report_mode) : workspace_(workspace) {
        for (const std::string& file : {lzh_library_file(), zip_library_file()}) {
            const auto library = platform::load_library(wide_from_path(workspace.launcher / file));
            if (library == nullptr) {
                continue;
            }
            held_.push_back(library);
            const auto configure =
                reinterpret_cast<RecordingConfigure>(platform::find_export(library, "recording_configure"));
            const std::u8string log = workspace.log.u8string();
            configure(reinterpret_cast<const char*>(log.c_str()), report_mode.c_str());
        }
        platform::current_directory(start_directory_);
    }

    ~InProcessLaunch() {
        // Back out of the work directory before it is removed.
        platform::set_current_directory(start_directory_);
        platform::set_message_box_handler(nullptr);
        for (const auto library : held_) {
            platform::free_library(library);
        }
    }

    // Boxes are answered in order from answers; one more than expected is
    // closed, which every question takes as a stop.
    std::vector<ObservedBox> run(const std::vector<std::string>& arguments, const std::vector<char>& answers,
                                 const std::function<void()>& on_box = {}) {
        std::vector<ObservedBox> boxes;
        platform::set_message_box_handler([&](const WideString& text, const WideString& title, platform::BoxKind kind) {
            if (on_box) {
                on_box();
            }
            const std::size_t index = boxes.size();
            boxes.push_back({kind, title, text});
            return index < answers.size() ? answer_for(answers[index]) : platform::BoxAnswer::closed;
        });
        std::vector<WideString> command_line = {u"tsuchi"};
        for (const std::string& argument : arguments) {
            command_line.push_back(wide_from_utf8(argument));
        }
        platform::set_current_directory(workspace_.work_full());
        EXPECT_EQ(run_job(command_line, workspace_.library_directory()), 0);
        platform::set_current_directory(start_directory_);
        return boxes;
    }

private:
    const ScenarioWorkspace& workspace_;
    std::vector<platform::LibraryHandle> held_;
    WideString start_directory_;
};

std::vector<char> answers_of(const Scenario& scenario) {
    std::vector<char> answers;
    for (const ExpectedBox& box : scenario.boxes) {
        answers.push_back(box.answer);
    }
    return answers;
}

class InProcessScenario : public testing::TestWithParam<Scenario> {
protected:
    // The automatic 0xFF separator follows the system's code page; the
    // scenarios are written for a system that is not Japanese.
    void SetUp() override { platform::set_ansi_code_page_override(1252); }
    void TearDown() override { platform::set_ansi_code_page_override(0); }
};

TEST_P(InProcessScenario, ShowsTheBoxesAndMakesTheCalls) {
    const Scenario& scenario = GetParam();
    const ScenarioWorkspace workspace(scenario, false);
    std::vector<ObservedBox> boxes;
    {
        InProcessLaunch launch(workspace, scenario.report_mode);
        boxes = launch.run(scenario.arguments, answers_of(scenario));
    }
    check_outcome(scenario, workspace, boxes);
}

INSTANTIATE_TEST_SUITE_P(Launcher, InProcessScenario, testing::ValuesIn(launch_scenarios()),
                         [](const testing::TestParamInfo<Scenario>& info) { return scenario_test_name(info.param); });

// Shortcuts: a lower-case .lnk is replaced by its target before it is
// classified; an upper-case one, one that cannot be read, and one named as
// the destination are ordinary files.
struct ShortcutCase {
    Scenario scenario;
    std::string shortcut;
    std::string target;  // relative; empty for a broken shortcut
};

const ExpectedBox FORMAT_QUESTION{platform::BoxKind::yes_no_cancel, "作業確認!?", "LZH 形式で圧縮？、[いいえ]なら ZIP",
                                  'y'};

std::vector<ShortcutCase> shortcut_cases() {
    return {
        {{"shortcut to a folder is that folder",
          {"docs/", "docs/a.txt"},
          {"x.lnk"},
          {FORMAT_QUESTION},
          {{"LZHEncode", {"docs"}, std::nullopt, "", {}}}},
         "x.lnk",
         "docs"},
        {{"shortcut to an archive extracts it",
          {"a.zip"},
          {"x.lnk"},
          {},
          {{"ZIPDecode", {"a.zip"}, std::nullopt, "", {}}}},
         "x.lnk",
         "a.zip"},
        {{"upper-case LNK is a plain file",
          {"docs/"},
          {"X.LNK"},
          {FORMAT_QUESTION},
          {{"LZHEncode", {"X.LNK"}, std::nullopt, "", {}}}},
         "X.LNK",
         "docs"},
        {{"unreadable shortcut stays itself",
          {},
          {"bad.lnk"},
          {FORMAT_QUESTION},
          {{"LZHEncode", {"bad.lnk"}, std::nullopt, "", {}}}},
         "bad.lnk",
         ""},
        {{"shortcut as destination is a file",
          {"a.lzh", "out/"},
          {"/D:out.lnk", "a.lzh"},
          {{platform::BoxKind::ok, "中止!", "指定の展開先ディレクトリ:\n  {full:out.lnk}\n    は、ファイル！", 'o'}},
          {}},
         "out.lnk",
         "out"},
    };
}

class InProcessShortcut : public testing::TestWithParam<ShortcutCase> {};

void PrintTo(const ShortcutCase& row, std::ostream* out) { *out << row.scenario.name; }

TEST_P(InProcessShortcut, IsResolvedOnlyWhereItShouldBe) {
    const ShortcutCase& row = GetParam();
    const ScenarioWorkspace workspace(row.scenario, false);
    workspace.make_shortcut(row.shortcut, row.target);
    std::vector<ObservedBox> boxes;
    {
        InProcessLaunch launch(workspace, "");
        boxes = launch.run(row.scenario.arguments, answers_of(row.scenario));
    }
    check_outcome(row.scenario, workspace, boxes);
}

INSTANTIATE_TEST_SUITE_P(Launcher, InProcessShortcut, testing::ValuesIn(shortcut_cases()),
                         [](const testing::TestParamInfo<ShortcutCase>& info) {
                             return scenario_test_name(info.param.scenario);
                         });

TEST(InProcessLauncher, WithoutArgumentsShowsOnlyTheUsageBox) {
    const Scenario scenario{
        "usage", {}, {}, {{platform::BoxKind::ok, "使い方！", "ファイルを、引数に、与える。", 'o'}}, {}};
    const ScenarioWorkspace workspace(scenario, false);
    std::vector<ObservedBox> boxes;
    {
        InProcessLaunch launch(workspace, "");
        boxes = launch.run({}, {'o'});
    }
    check_outcome(scenario, workspace, boxes);
}

// The library path is built in a path buffer: a launcher directory that
// leaves no room for the library name, or none at all, is a load failure,
// not an overflow and not a search of the system's library path.
TEST(InProcessLauncher, LibraryDirectoryWithoutRoomIsALoadFailure) {
    const Scenario scenario{
        "no room", {"a.zip"}, {"a.zip"}, {{platform::BoxKind::ok, "エラー", "DLLのロードに失敗。", 'o'}}, {}};
    const ScenarioWorkspace workspace(scenario, false);
    std::vector<WideString> directories = {WideString()};
#if !defined(_WIN32)
    // A real directory whose path, with its separator, takes 1018 of the
    // 1024 units: "nomi.so" no longer fits, although the platform could
    // load the library from there.
    std::filesystem::path deep = workspace.root;
    while (wide_from_path(deep).size() < 1017) {
        const std::size_t room = 1017 - wide_from_path(deep).size() - 1;
        deep /= std::string(room < 200 ? room : 200, 'd');
    }
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(workspace.launcher / zip_library_file(), deep / zip_library_file());
    directories.push_back(wide_from_path(deep) + u"/");
    ASSERT_EQ(directories.back().size(), 1018u);
#endif
    for (const WideString& directory : directories) {
        ArchiveOptions defaults;
        init_archive_options(defaults);
        LaunchJob job(defaults);
        job.mode = MODE_EXTRACT;
        job.format = ARCHIVE_ZIP;
        std::vector<ObservedBox> boxes;
        {
            InProcessLaunch launch(workspace, "");
            platform::set_message_box_handler(
                [&](const WideString& text, const WideString& title, platform::BoxKind kind) {
                    boxes.push_back({kind, title, text});
                    return platform::BoxAnswer::ok;
                });
            dispatch(job, directory);
        }
        check_outcome(scenario, workspace, boxes);
    }
}

// The LZH library finishes, including its report box, before the ZIP
// library is called.
TEST(InProcessLauncher, ReportOfTheFirstLibraryComesBeforeTheSecondCall) {
    Scenario scenario{"order", {"a.lzh", "b.zip"}, {"a.lzh", "b.zip"}, {}, {}};
    const ScenarioWorkspace workspace(scenario, false);
    std::vector<std::size_t> calls_at_box;
    {
        InProcessLaunch launch(workspace, "text");
        launch.run(scenario.arguments, {'o', 'o'},
                   [&] { calls_at_box.push_back(read_call_records(workspace.log).size()); });
    }
    EXPECT_EQ(calls_at_box, (std::vector<std::size_t>{1, 2}));
}

}  // namespace
