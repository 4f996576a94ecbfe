// The system code page a test runs under, restored when it ends, so that
// names in a code page read the same on every host (a Western Wine prefix
// reports 1252, a Linux UTF-8 locale 65001).
#pragma once

#include "platform.h"

namespace test_common {

class AnsiCodePage {
public:
    explicit AnsiCodePage(int code_page) { platform::set_ansi_code_page_override(code_page); }
    ~AnsiCodePage() { platform::set_ansi_code_page_override(0); }
    AnsiCodePage(const AnsiCodePage&) = delete;
    AnsiCodePage& operator=(const AnsiCodePage&) = delete;
};

}  // namespace test_common
