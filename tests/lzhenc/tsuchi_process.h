// The processes of the Linux creation tests: the real tsuchi
// (TSUCHI_PROGRAM, with the real kanna beside it) and the peers, run
// through the shell.
#pragma once

#include <string>
#include <vector>

#include "launcher_process.h"
#include "lzh_test_support.h"
#include "shell_command.h"

namespace lzhenc_test {

using test_common::installed;
using test_common::quoted;
using test_common::run_logged;
using TsuchiRun = test_common::LauncherRun;

// Runs tsuchi in directory with the arguments, the answer lines on its
// standard input and environment settings in front (LC_ALL, TZ, ...).
inline TsuchiRun run_tsuchi(const lzh_test::fs::path& directory, const std::vector<std::string>& arguments,
                            const std::string& answers = "",
                            const std::string& environment = "LC_ALL=C.UTF-8 TZ=Europe/Berlin") {
    return test_common::run_launcher({.program = TSUCHI_PROGRAM,
                                      .directory = directory,
                                      .arguments = arguments,
                                      .answers = answers,
                                      .environment = environment});
}

}  // namespace lzhenc_test
