// The one job state of a codec library.
//
// A library runs one job per export call, and its caller loads it, calls one
// export and unloads it, so a single process-wide record is enough. The
// export frame fills it from the caller's options record (job_setup.h); the
// drivers and the stored-name conversion read the derived fields from it
// and append their lines to the three job texts. Header readers and
// writers never see it: they get and give plain records.
#pragma once

#include <cstdint>

#include "archive_options.h"
#include "platform.h"
#include "text_types.h"

// Which runtime-library locale the job set up for the byte conversions of
// stored names.
enum : std::uint8_t {
    LOCALE_NONE = 0,     // nothing set: code pages are used
    LOCALE_OBJECT = 1,   // a private locale object (OPT_LOCALE_OBJECT)
    LOCALE_PROCESS = 2,  // the process's character-type locale was set
};

struct JobState {
    // The caller's record, kept for the whole job. Null before setup_job.
    ArchiveOptions* options = nullptr;
    bool extract_mode = false;
    bool create_mode = false;
    bool report_on = false;

    WideString start_directory;  // current directory when the job was set up
    WideString first_source;     // extraction: the first archive path
    WideString archive_path;     // creation: the archive being written

    // The job's texts: the first line(s) of every final message, the report
    // body (written only while report_on), and the error lines.
    WideString header_text;
    WideString report_text;
    WideString error_text;

    std::uint8_t locale_mode = LOCALE_NONE;
    platform::LocaleHandle locale_object = nullptr;
    // The character-type locale the process had before setup_job set its
    // own (LOCALE_PROCESS); restore_locale puts it back.
    WideString previous_locale;

    // What a 0xFF separator byte becomes when a stored name is decoded.
    char separator_byte = '/';
    // Longest decoded stored name kept whole, in 16-bit units.
    std::uint32_t name_length_limit = 1024;

    // Creation only: how names and directories are stored (LZH headers).
    bool empd = false;
    bool cp_header = false;
    bool cp_header_with_unicode = false;
    bool cp_header_4byte = true;
    std::int32_t ansi_code_page = 0;
};

// The library's job state; the same object for the frame, the drivers and
// the name conversion during a job.
JobState& job_state();
