// The three message-box forms, and the scripted answers of in-process tests.
#include "message_box.h"

namespace {

WideString text_of(const char16_t* text) { return text != nullptr ? WideString(text) : WideString(); }

}  // namespace

void show_message(const WideString& text, const WideString& title) {
    platform::message_box(text, title, platform::BoxKind::ok);
}

bool ask_yes_no(const WideString& text, const WideString& title) {
    return platform::message_box(text, title, platform::BoxKind::yes_no) == platform::BoxAnswer::yes;
}

int ask_yes_no_cancel(const WideString& text, const WideString& title) {
    switch (platform::message_box(text, title, platform::BoxKind::yes_no_cancel)) {
    case platform::BoxAnswer::yes: return 1;
    case platform::BoxAnswer::no: return -2;
    default: return 0;  // Cancel, or a box closed otherwise
    }
}

void show_message(const char16_t* text, const char16_t* title) { show_message(text_of(text), text_of(title)); }

bool ask_yes_no(const char16_t* text, const char16_t* title) { return ask_yes_no(text_of(text), text_of(title)); }

int ask_yes_no_cancel(const char16_t* text, const char16_t* title) {
    return ask_yes_no_cancel(text_of(text), text_of(title));
}

ScriptedMessageBoxes::ScriptedMessageBoxes(std::vector<platform::BoxAnswer> answers)
    : answers_(answers.begin(), answers.end()) {
    platform::set_message_box_handler([this](const WideString& text, const WideString& title, platform::BoxKind kind) {
        platform::BoxAnswer answer = platform::BoxAnswer::ok;
        if (kind != platform::BoxKind::ok) {
            answer = platform::BoxAnswer::closed;
            if (!answers_.empty()) {
                answer = answers_.front();
                answers_.pop_front();
            }
        }
        boxes_.push_back(RecordedBox{text, title, kind, answer});
        return answer;
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() { platform::set_message_box_handler(nullptr); }

void ScriptedMessageBoxes::add_answer(platform::BoxAnswer answer) { answers_.push_back(answer); }
