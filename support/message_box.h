// The three message-box forms through which the whole system talks to the
// user. No owner window; the questions carry the question icon.
#pragma once

#include <deque>
#include <vector>

#include "platform.h"
#include "text_types.h"

// The text and the title may be given as wide strings or as NUL-terminated
// wide strings (null counts as empty).
void show_message(const WideString& text, const WideString& title);
bool ask_yes_no(const WideString& text, const WideString& title);
// 1 Yes, -2 No, 0 Cancel or a closed box.
int ask_yes_no_cancel(const WideString& text, const WideString& title);
void show_message(const char16_t* text, const char16_t* title);
bool ask_yes_no(const char16_t* text, const char16_t* title);
int ask_yes_no_cancel(const char16_t* text, const char16_t* title);

// ---- scripted answers: in-process tests only ----------------------------

struct RecordedBox {
    WideString text;
    WideString title;
    platform::BoxKind kind;
    platform::BoxAnswer answer;
};

// While an object of this class lives, no box reaches the user: every box
// is recorded, and each question (Yes/No or Yes/No/Cancel) takes the next
// answer of the script. OK boxes take no answer from it. A question beyond
// the end of the script is answered as a closed box. Production code never
// creates one.
class ScriptedMessageBoxes {
public:
    explicit ScriptedMessageBoxes(std::vector<platform::BoxAnswer> answers = {});
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    void add_answer(platform::BoxAnswer answer);
    const std::vector<RecordedBox>& boxes() const { return boxes_; }
    // Forgets the boxes recorded so far.
    void clear_boxes() { boxes_.clear(); }
    // Answers of the script that no question has taken yet.
    std::size_t answers_left() const { return answers_.size(); }

private:
    std::deque<platform::BoxAnswer> answers_;
    std::vector<RecordedBox> boxes_;
};
