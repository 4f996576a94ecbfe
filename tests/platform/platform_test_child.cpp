// A child process for the tests that need a process of their own: its
// standard input and output, or its environment, belong to the test.
//
//   platform_test_child box <ok|yes_no|yes_no_cancel> <text-kind> <result-file>
//       shows one message box (title "確認"; text-kind "two-lines",
//       "ends-with-break" or "empty") and writes "<answer>|<rest>" to the
//       result file: the answer of the box, then everything the box left
//       unread on standard input.
//   platform_test_child acp <result-file>
//       writes the ANSI code page the platform finds for its environment.
//   platform_test_child decode <hex-bytes> <result-file>
//       decodes the bytes in the system code page (CP_ACP) and writes the
//       text in UTF-8.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "message_box.h"
#include "platform.h"
#include "text_convert.h"

namespace {

WideString text_of_kind(const std::string& kind) {
    if (kind == "ends-with-break") return u"一行目\n";
    if (kind == "empty") return u"";
    return u"一行目\n二行目";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "acp" && argc == 3) {
        std::ofstream(argv[2]) << platform::ansi_code_page();
        return 0;
    }
    if (mode == "decode" && argc == 4) {
        const std::string hex = argv[2];
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        WideString text(bytes.size() + 1, u'\0');
        const int units =
            platform::multibyte_to_wide(0, 0, bytes.c_str(), -1, text.data(), static_cast<int>(text.size()));
        text.resize(units > 0 ? static_cast<std::size_t>(units - 1) : 0);
        std::ofstream(argv[3], std::ios::binary) << utf8_from_wide(text);
        return 0;
    }
    if (mode == "box" && argc == 5) {
        const std::string kind = argv[2];
        const WideString text = text_of_kind(argv[3]);
        std::string answer;
        if (kind == "ok") {
            show_message(text, u"確認");
            answer = "ok";
        } else if (kind == "yes_no") {
            answer = ask_yes_no(text, u"確認") ? "yes" : "no";
        } else if (kind == "yes_no_cancel") {
            answer = std::to_string(ask_yes_no_cancel(text, u"確認"));
        } else {
            return 2;
        }
        const std::string rest((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        std::ofstream(argv[4], std::ios::binary) << answer << "|" << rest;
        return 0;
    }
    std::cerr << "usage: platform_test_child box KIND TEXT FILE | acp FILE | decode HEX FILE\n";
    return 2;
}
