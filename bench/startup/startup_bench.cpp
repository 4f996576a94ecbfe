// startup_bench [--rounds N] [--dir D] -- COMMAND... [-- COMMAND...]...
// (each COMMAND's program given by its path)
//
// Times whole processes, for the cost of starting one on a small archive:
// each round runs every command once, each in a fresh empty folder D (its
// current folder; standard input, output and error on /dev/null), waits for
// it and takes its wall time and the processor time and page faults the
// kernel reports for it. The commands take turns in a rotating order, so
// that none always runs right after the same other one (a process that
// leaves the caches cold slows the next). Prints for each command the
// median wall time with its quartiles, the mean user and system time and the
// median count of minor page faults. The exit code is 1 when a command
// fails.
//
// Medians of a few hundred rounds settle to about 1% on a quiet machine;
// only figures of one run are comparable.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Figures {
    std::vector<double> wall_us;
    std::vector<double> faults;
    double user_us = 0;
    double system_us = 0;
};

double microseconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e6 + static_cast<double>(time.tv_usec);
}

// The value below which a share q of the sorted values lies.
double quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

// Runs command in a fresh empty dir; false when it cannot be run or fails.
bool run_once(const std::vector<char*>& command, const std::filesystem::path& dir, Figures& figures) {
    std::error_code error;
    std::filesystem::remove_all(dir, error);
    if (!std::filesystem::create_directories(dir, error)) return false;
    // posix_spawn (a vfork underneath) costs the same whatever this
    // program's size, where a fork would copy its page tables first.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, command[0], &actions, nullptr, command.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    figures.wall_us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    figures.faults.push_back(static_cast<double>(usage.ru_minflt));
    figures.user_us += microseconds(usage.ru_utime);
    figures.system_us += microseconds(usage.ru_stime);
    return true;
}

int usage_error() {
    std::fprintf(stderr, "usage: startup_bench [--rounds N] [--dir D] -- COMMAND... [-- COMMAND...]...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 300;
    std::filesystem::path dir = "/dev/shm/startup-bench";
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else {
            return usage_error();
        }
    }
    // Each "--" starts a command: its program by path (posix_spawn does not
    // search PATH) and its arguments, ended by a null for the spawn.
    std::vector<std::vector<char*>> commands;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            commands.emplace_back();
        } else {
            commands.back().push_back(argv[i]);
        }
    }
    for (auto& command : commands) {
        if (command.empty()) return usage_error();
        command.push_back(nullptr);
    }
    if (commands.empty() || rounds < 1) return usage_error();

    std::vector<Figures> figures(commands.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < commands.size(); ++k) {
            const std::size_t c = (static_cast<std::size_t>(round) + k) % commands.size();
            if (!run_once(commands[c], dir, figures[c])) {
                std::fprintf(stderr, "startup_bench: %s failed\n", commands[c][0]);
                return 1;
            }
        }
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);

    std::printf("%-40s %10s %10s %10s %10s %10s %8s\n", "command", "wall us", "p25", "p75", "user us", "sys us",
                "faults");
    for (std::size_t c = 0; c < commands.size(); ++c) {
        std::string name;
        for (char* const* word = commands[c].data(); *word != nullptr; ++word) {
            name += (name.empty() ? "" : " ") + std::filesystem::path(*word).filename().string();
        }
        const Figures& f = figures[c];
        std::printf("%-40s %10.0f %10.0f %10.0f %10.0f %10.0f %8.0f\n", name.substr(0, 40).c_str(),
                    quantile(f.wall_us, 0.5), quantile(f.wall_us, 0.25), quantile(f.wall_us, 0.75), f.user_us / rounds,
                    f.system_us / rounds, quantile(f.faults, 0.5));
    }
    return 0;
}
