// Reading the log that the recording libraries write: one record per export
// call, "key=value" lines ending with "end".
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct CallRecord {
    std::string export_name;
    std::vector<std::string> paths;
    bool has_archive_line = false;  // an Encode export was called
    bool archive_null = false;
    std::string archive;
    std::map<std::string, std::string> fields;  // every other key
};

// The records in call order; none when the file does not exist.
std::vector<CallRecord> read_call_records(const std::filesystem::path& log);
