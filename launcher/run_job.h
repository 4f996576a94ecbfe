// The launcher's run: usage check, classification, and the call of the
// codec library export(s) that the job needs.
#pragma once

#include <optional>
#include <vector>

#include "launch_job.h"

// The whole process: the platform's command line and the launcher's own
// directory. Always 0, the exit code of the program.
int run_job();

// The same with given arguments (the first is the program) and, when
// library_directory is set, libraries taken from there instead of the
// launcher's directory.
int run_job(const std::vector<WideString>& arguments,
            const std::optional<WideString>& library_directory = std::nullopt);

// Loads the library (or both) that the classified job needs from directory
// (which ends with a separator), calls the export(s) and unloads them. A
// library that cannot be loaded, or lacks its export, stops the job with
// the load-failure box before anything is called.
void dispatch(LaunchJob& job, const WideString& library_directory);

// Directory of the running launcher with its trailing separator; empty when
// it cannot be found or does not fit a path buffer.
WideString launcher_directory();
