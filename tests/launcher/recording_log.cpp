// Parser of the recording libraries' log.
#include "recording_log.h"

#include <fstream>

std::vector<CallRecord> read_call_records(const std::filesystem::path& log) {
    std::vector<CallRecord> records;
    std::ifstream in(log, std::ios::binary);
    CallRecord current;
    std::string line;
    while (std::getline(in, line)) {
        if (line == "end") {
            records.push_back(std::move(current));
            current = CallRecord();
            continue;
        }
        if (line == "archive_null") {
            current.has_archive_line = true;
            current.archive_null = true;
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
        if (key == "export") {
            current.export_name = value;
        } else if (key == "path") {
            current.paths.push_back(value);
        } else if (key == "archive") {
            current.has_archive_line = true;
            current.archive = value;
        } else {
            current.fields[key] = value;
        }
    }
    return records;
}
