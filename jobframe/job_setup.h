// Job setup of the exports: the argument check, the copy of the caller's
// options into the job state, the locale and code-page checks, and the
// restoring of the locale at the end of the job.
#pragma once

#include <cstdint>

#include "archive_options.h"
#include "text_types.h"

// False (after the usage box "引数が無い。") when there is nothing to work
// on: no paths, or a count that is not positive.
bool check_arguments(std::int32_t count, const char16_t* const* paths);

// Copies what the job needs from the caller's record into job_state(), sets
// up the locale and checks the code page. False when the job must stop; the
// reason has been shown already and the locale is as before. A null record
// stands for the defaults.
bool setup_job(ArchiveOptions* options);

// Undoes setup_job's locale: frees the locale object or gives the process
// back the character-type locale it had before.
void restore_locale();

// Path argument i as a wide string; a null entry is an empty path.
WideString path_argument(const char16_t* const* paths, std::int32_t i);
