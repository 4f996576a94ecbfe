// The job's texts and its end: the settings line that opens a report, the
// routing of collected errors to a report file or a message box, the report
// file's name and the final message.
#pragma once

#include "text_types.h"

// Starts the job's texts: header_text := header, report and error text
// empty; with reporting on, the report opens with a line naming the name
// encoding in use.
void start_report(const WideString& header);

// Records a narrow text thrown while archive_path was extracted as an error
// line of the job. A null text counts as empty.
void append_archive_error(const WideString& archive_path, const char* message);

// Records a narrow text thrown by the creation driver as an error line of
// the job; the header above the lines names the archive. A null text counts
// as empty.
void append_creation_error(const char* message);

// Ends the job: writes the report file when reporting is on or errors fit
// the dialog limit, and shows the final box ("終了" or "エラー").
void finish_job();

// Name of the report file, relative to the current directory:
// <first archive>_dec or <new archive>_enc, then _err with errors, _report
// and .txt. With avoid_existing, "_1" to "_9" are tried before ".txt" when
// the name is taken; empty when all ten are.
WideString report_file_name(bool has_errors, bool avoid_existing);
