// Message boxes as dialog windows on a Linux desktop.
//
// A program started from a file manager or a desktop launcher has no
// terminal: its prompts would go nowhere and its questions would read the
// end of input. There each box becomes a window of a dialog program, with
// the box's title, text and buttons. The program is chosen when a box is
// shown, never linked: zenity (GTK) when it is on PATH, else kdialog (KDE).
//
//   box            zenity                                  kdialog
//   OK             --info, exit 0                          --msgbox
//   Yes/No         --question: OK button はい, exit 0;     --yesno: 0 Yes, 1 No
//                  Cancel button いいえ, exit 1
//   Yes/No/Cancel  as Yes/No, but いいえ is an extra       --yesnocancel: 0 Yes,
//                  button (exit 1, its label on standard   1 No, 2 Cancel
//                  output) and キャンセル the Cancel
//                  button, so that Escape and closing the
//                  window answer Cancel
//
// The labels carry the keys of the Japanese Windows buttons, "はい(Y)" and
// "いいえ(N)", as mnemonics. Texts are shown as they are (no markup).
#include "platform_posix_dialogs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace platform {
namespace {

constexpr char YES_LABEL[] = "はい";
constexpr char NO_LABEL[] = "いいえ";
constexpr char CANCEL_LABEL[] = "キャンセル";
constexpr char OK_LABEL[] = "OK";

bool non_empty(const char* value) { return value != nullptr && value[0] != '\0'; }

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Whether a desktop session is reachable. A local X display (":N", ":N.S",
// "unix:N") has its socket in /tmp/.X11-unix, and a Wayland display its
// socket in XDG_RUNTIME_DIR; a remote X display is taken on trust. A stale
// DISPLAY would otherwise make every dialog fail, and a failed dialog
// cannot be told from one answered No.
bool display_present() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (non_empty(wayland)) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (wayland[0] == '/' ? exists(wayland) : non_empty(runtime) && exists(std::string(runtime) + "/" + wayland)) {
            return true;
        }
    }
    const char* x = std::getenv("DISPLAY");
    if (!non_empty(x)) return false;
    std::string display = x;
    if (display.rfind("unix:", 0) == 0) display.erase(0, 4);
    if (display[0] != ':') return true;
    const std::string number = display.substr(1, display.find('.') - 1);
    return !number.empty() && exists("/tmp/.X11-unix/X" + number);
}

// Full path of a program on PATH; empty when there is none.
std::string find_program(const char* name) {
    const char* path = std::getenv("PATH");
    if (!non_empty(path)) return std::string();
    const std::string directories = path;
    std::size_t start = 0;
    while (start <= directories.size()) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos) end = directories.size();
        const std::string directory = end > start ? directories.substr(start, end - start) : ".";
        const std::string candidate = directory + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

struct Outcome {
    int exit_code = -1;  // -1: the program did not run or did not exit normally
    std::string output;  // its standard output
};

// Runs the program with standard input empty and error output discarded,
// and collects its standard output.
Outcome run(const std::string& program, const std::vector<std::string>& arguments) {
    Outcome outcome;
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return outcome;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (spawned == 0) {
        char buffer[256];
        ssize_t n;
        while ((n = read(pipe_ends[0], buffer, sizeof buffer)) != 0) {
            if (n > 0) {
                outcome.output.append(buffer, static_cast<std::size_t>(n));
            } else if (errno != EINTR) {
                break;
            }
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
    }
    close(pipe_ends[0]);
    return outcome;
}

bool zenity_box(const std::string& zenity, const std::string& text, const std::string& title, BoxKind kind,
                BoxAnswer& answer) {
    std::vector<std::string> arguments = {"--title=" + title, "--text=" + text, "--no-markup"};
    const std::string yes = std::string("--ok-label=") + YES_LABEL + "(_Y)";
    const std::string no = std::string(NO_LABEL) + "(_N)";
    switch (kind) {
    case BoxKind::ok: arguments.insert(arguments.begin(), {"--info", std::string("--ok-label=") + OK_LABEL}); break;
    case BoxKind::yes_no: arguments.insert(arguments.begin(), {"--question", yes, "--cancel-label=" + no}); break;
    case BoxKind::yes_no_cancel:
        arguments.insert(arguments.begin(),
                         {"--question", yes, "--extra-button=" + no, std::string("--cancel-label=") + CANCEL_LABEL});
        break;
    }
    const Outcome outcome = run(zenity, arguments);
    if (outcome.exit_code != 0 && outcome.exit_code != 1) return false;
    if (kind == BoxKind::ok) {
        answer = BoxAnswer::ok;
    } else if (outcome.exit_code == 0) {
        answer = BoxAnswer::yes;
    } else if (kind == BoxKind::yes_no || outcome.output.rfind(no, 0) == 0) {
        answer = BoxAnswer::no;
    } else {
        answer = BoxAnswer::cancel;
    }
    return true;
}

bool kdialog_box(const std::string& kdialog, const std::string& text, const std::string& title, BoxKind kind,
                 BoxAnswer& answer) {
    std::vector<std::string> arguments = {"--title", title};
    switch (kind) {
    case BoxKind::ok: arguments.insert(arguments.end(), {"--msgbox", text, "--ok-label", OK_LABEL}); break;
    case BoxKind::yes_no:
    case BoxKind::yes_no_cancel:
        arguments.insert(arguments.end(),
                         {kind == BoxKind::yes_no ? "--yesno" : "--yesnocancel", text, "--yes-label",
                          std::string(YES_LABEL) + "(&Y)", "--no-label", std::string(NO_LABEL) + "(&N)"});
        if (kind == BoxKind::yes_no_cancel) arguments.insert(arguments.end(), {"--cancel-label", CANCEL_LABEL});
        break;
    }
    const Outcome outcome = run(kdialog, arguments);
    if (outcome.exit_code < 0 || outcome.exit_code > 2) return false;
    if (kind == BoxKind::ok) {
        answer = BoxAnswer::ok;
    } else {
        answer = outcome.exit_code == 0                              ? BoxAnswer::yes
                 : outcome.exit_code == 1 || kind == BoxKind::yes_no ? BoxAnswer::no
                                                                     : BoxAnswer::cancel;
    }
    return true;
}

}  // namespace

bool dialog_window_box(const std::string& text, const std::string& title, BoxKind kind, BoxAnswer& answer) {
    // Without a display named in the environment there is nothing to ask
    // the terminal (a look at standard input) or the file system about.
    if (!non_empty(std::getenv("WAYLAND_DISPLAY")) && !non_empty(std::getenv("DISPLAY"))) return false;
    if (isatty(STDIN_FILENO) || !display_present()) return false;
    const std::string zenity = find_program("zenity");
    if (!zenity.empty()) return zenity_box(zenity, text, title, kind, answer);
    const std::string kdialog = find_program("kdialog");
    if (!kdialog.empty()) return kdialog_box(kdialog, text, title, kind, answer);
    return false;
}

}  // namespace platform
