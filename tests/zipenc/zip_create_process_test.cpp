// Proves ZIP creation through the real tsuchi and nomi.so on Linux, run as
// a process in a work directory with the answers on standard input and the
// boxes read back from standard output: a folder dropped with /zip, a drop
// answered No to the format question, out.zip named on the command line
// (no format question), and an existing archive kept on No and replaced on
// Yes to "上書き確認!?". Every archive written extracts through ZIPDecode
// to the dropped folder.
#include <gtest/gtest.h>

#include "launcher_process.h"
#include "zip_create_support.h"

namespace {

using namespace ziptest;

std::string final_box(const fs::path& archive) { return "[終了]\n保存名: " + archive.string() + "\n(OK)\n"; }
std::string overwrite_question(const fs::path& archive) {
    return "[上書き確認!?]\n保存名: " + archive.string() +
           "\n既に同名ファイルが存在するが、続行(上書き)するか？ \n(Yes/No)?\n";
}
const std::string FORMAT_QUESTION = "[作業確認!?]\nLZH 形式で圧縮？、[いいえ]なら ZIP\n(Yes/No/Cancel)?\n";

TEST(ZipCreateProcess, TsuchiWritesTheArchiveItIsAskedFor) {
    const Tree docs = {
        {"docs/a.txt", "hello, hello, hello\n"}, {"docs/sub/b.txt", "b\n"}, {"docs/空/", ""}, {"docs/日本.txt", ""}};
    const struct {
        std::vector<std::string> arguments;
        std::string answers;
        std::string archive;
        bool existing;      // an older docs.zip is there before
        bool written;       // the archive holds docs afterwards
        std::string boxes;  // in order: F final box, Q format question, O overwrite question
    } rows[] = {
        {{"/zip", "docs"}, "", "docs.zip", false, true, "F"},
        {{"docs"}, "n\n", "docs.zip", false, true, "QF"},
        {{"docs", "out.zip"}, "", "out.zip", false, true, "F"},
        {{"/zip", "docs"}, "n\n", "docs.zip", true, false, "O"},
        {{"/zip", "docs"}, "y\n", "docs.zip", true, true, "OF"},
    };
    for (const auto& row : rows) {
        ScratchDirectory work;
        write_tree(work.root(), docs);
        const fs::path archive = work / row.archive;
        if (row.existing) write_file(archive, "older");

        const test_common::LauncherRun run =
            test_common::run_launcher({.program = host_path(TSUCHI_BINARY_DIR) / "bin" / "tsuchi",
                                       .directory = work.root(),
                                       .arguments = row.arguments,
                                       .answers = row.answers,
                                       .files = work.root()});
        ASSERT_EQ(run.status, 0);

        std::string boxes;
        for (const char kind : row.boxes) {
            boxes += kind == 'F' ? final_box(archive) : kind == 'Q' ? FORMAT_QUESTION : overwrite_question(archive);
        }
        EXPECT_EQ(run.output, boxes) << row.answers;
        if (!row.written) {
            EXPECT_EQ(read_file(archive), "older");
            continue;
        }
        expect_sound(layout_of(read_file(archive)));
        fs::create_directory(work / "back");
        ASSERT_TRUE(platform::set_current_directory(wide_of(work / "back")));
        EXPECT_EQ(zip_decode({archive}).errors, u"");
        EXPECT_EQ(tree_difference(read_tree(work / "back"), docs), "") << row.archive;
    }
}

}  // namespace
