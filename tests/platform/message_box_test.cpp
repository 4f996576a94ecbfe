// Message boxes: the three forms map the platform's answers to their
// results, the scripted answers of in-process tests record every box, and
// on Linux the terminal prompt has its exact form (title line, text, one
// button line per question asked, flushed before reading) and reads its
// answers as described: y/yes, n/no, c/cancel with case and blanks ignored,
// anything else asks again, end of input answers No or a closed box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "message_box.h"
#include "test_files.h"

namespace {

using platform::BoxAnswer;
using platform::BoxKind;

TEST(MessageBoxScript, AnswersQuestionsInOrderAndRecordsEveryBox) {
    ScriptedMessageBoxes script(
        {BoxAnswer::yes, BoxAnswer::no, BoxAnswer::yes, BoxAnswer::no, BoxAnswer::cancel, BoxAnswer::closed});
    show_message(u"情報", u"終了");
    EXPECT_TRUE(ask_yes_no(u"続行？", u"確認"));
    EXPECT_FALSE(ask_yes_no(WideString(u"続行？"), WideString(u"確認")));
    EXPECT_EQ(ask_yes_no_cancel(u"上書き？", u"確認"), 1);
    EXPECT_EQ(ask_yes_no_cancel(u"上書き？", u"確認"), -2);
    EXPECT_EQ(ask_yes_no_cancel(u"上書き？", u"確認"), 0);
    EXPECT_EQ(ask_yes_no_cancel(u"上書き？", u"確認"), 0);
    EXPECT_EQ(script.answers_left(), 0u);
    // Beyond the script a question is a closed box.
    EXPECT_FALSE(ask_yes_no(u"もう一度？", u"確認"));
    show_message(static_cast<const char16_t*>(nullptr), nullptr);

    const auto& boxes = script.boxes();
    ASSERT_EQ(boxes.size(), 9u);
    EXPECT_EQ(boxes[0].text, u"情報");
    EXPECT_EQ(boxes[0].title, u"終了");
    EXPECT_EQ(boxes[0].kind, BoxKind::ok);
    EXPECT_EQ(boxes[0].answer, BoxAnswer::ok);
    EXPECT_EQ(boxes[1].kind, BoxKind::yes_no);
    EXPECT_EQ(boxes[3].kind, BoxKind::yes_no_cancel);
    EXPECT_EQ(boxes[7].answer, BoxAnswer::closed);
    EXPECT_EQ(boxes[8].text, u"");
}

#ifndef _WIN32

struct TerminalCase {
    const char* kind;
    const char* text_kind;
    std::string input;
    std::string expected_output;
    std::string expected_result;  // answer "|" unread input
};

const std::string HEADER = "[確認]\n一行目\n二行目\n";
const std::string YES_NO = "(Yes/No)?\n";
const std::string YES_NO_CANCEL = "(Yes/No/Cancel)?\n";

TEST(TerminalMessageBox, WritesTheExactPromptAndReadsOneLinePerQuestion) {
    const TerminalCase cases[] = {
        // OK boxes read nothing.
        {"ok", "two-lines", "yes\n", HEADER + "(OK)\n", "ok|yes\n"},
        {"ok", "ends-with-break", "", "[確認]\n一行目\n(OK)\n", "ok|"},
        {"ok", "empty", "", "[確認]\n\n(OK)\n", "ok|"},
        // Yes/No.
        {"yes_no", "two-lines", "yes\nrest\n", HEADER + YES_NO, "yes|rest\n"},
        {"yes_no", "two-lines", "  Y \r\n", HEADER + YES_NO, "yes|"},
        {"yes_no", "two-lines", "NO\n", HEADER + YES_NO, "no|"},
        {"yes_no", "two-lines", "maybe\ncancel\nn\n", HEADER + YES_NO + YES_NO + YES_NO, "no|"},
        {"yes_no", "two-lines", "", HEADER + YES_NO, "no|"},
        {"yes_no", "two-lines", "what\n", HEADER + YES_NO + YES_NO, "no|"},
        {"yes_no", "two-lines", "yes", HEADER + YES_NO, "yes|"},  // last line without a break
        {"yes_no", "two-lines", std::string(100, 'y') + "\ny\n", HEADER + YES_NO + YES_NO, "yes|"},
        // Yes/No/Cancel.
        {"yes_no_cancel", "two-lines", "y\n", HEADER + YES_NO_CANCEL, "1|"},
        {"yes_no_cancel", "two-lines", "no\n", HEADER + YES_NO_CANCEL, "-2|"},
        {"yes_no_cancel", "two-lines", "C a N c E l\n", HEADER + YES_NO_CANCEL, "0|"},
        {"yes_no_cancel", "two-lines", "x\n\nyes\n", HEADER + YES_NO_CANCEL + YES_NO_CANCEL + YES_NO_CANCEL, "1|"},
        {"yes_no_cancel", "two-lines", "", HEADER + YES_NO_CANCEL, "0|"},
        {"yes_no_cancel", "two-lines", std::string("\xFF\xFE\n", 3) + "n\n", HEADER + YES_NO_CANCEL + YES_NO_CANCEL,
         "-2|"},
    };
    test_files::ScratchDirectory scratch;
    int index = 0;
    for (const TerminalCase& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " input " + testing::PrintToString(c.input));
        const auto in = scratch / ("in" + std::to_string(index));
        const auto out = scratch / ("out" + std::to_string(index));
        const auto result = scratch / ("result" + std::to_string(index));
        ++index;
        test_files::write_bytes(in, c.input);
        const std::string command = std::string("'") + PLATFORM_TEST_CHILD + "' box " + c.kind + " " + c.text_kind +
                                    " '" + result.string() + "' < '" + in.string() + "' > '" + out.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(test_files::read_bytes(out), c.expected_output);
        EXPECT_EQ(test_files::read_bytes(result), c.expected_result);
    }
}

#endif

}  // namespace
