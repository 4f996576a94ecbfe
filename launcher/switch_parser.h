// The command line: switches fill the options record and the job's own
// decision fields; every other argument becomes an argument entry.
#pragma once

#include <vector>

#include "launch_job.h"

// Walks arguments[1..]; the first is the program itself. Switches start with
// "/" or "-" and are applied at once, unknown ones dropped silently; paths go
// to add_argument in command-line order. On POSIX an argument that names an
// existing file, or starts with "/" and is no known switch, is a path, and
// "--" ends the switches. The component system is initialised
// around the walk so that shortcuts can be resolved.
void parse_arguments(LaunchJob& job, const std::vector<WideString>& arguments);

// For each argument, whether parse_arguments takes it as a switch (the
// first, the program, is not one).
std::vector<bool> switch_arguments(const LaunchJob& job, const std::vector<WideString>& arguments);

// The option bits the launcher adds on its own once mode, format and the
// path lists are final: the 0xFF separator for LZH, and the default name
// encoding of a new archive.
void apply_name_encoding_defaults(LaunchJob& job);
