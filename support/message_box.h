// The three message-box forms through which the whole system talks to the
// user. No owner window; the questions carry the question icon.
#pragma once

#include "text_types.h"

void show_message(const WideString& text, const WideString& title);
bool ask_yes_no(const WideString& text, const WideString& title);
// 1 Yes, -2 No, 0 Cancel or a closed box.
int ask_yes_no_cancel(const WideString& text, const WideString& title);
