// Classification of the arguments and the user's confirmations: decides
// whether the job creates or extracts and in which format, builds the path
// lists for the libraries and prepares the destination directory.
#pragma once

#include <vector>

#include "launch_job.h"

// Builds the entry of one non-switch argument and files it: existing paths
// join entries, the first missing .lzh/.zip path names the new archive.
void add_argument(LaunchJob& job, const WideString& text);

// Parses the arguments, asks what must be asked and leaves the job ready for
// dispatch, or with cancelled set when the user or the input stopped it.
void classify_job(LaunchJob& job, const std::vector<WideString>& arguments);
