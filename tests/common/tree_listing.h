// The paths below a directory as text, to compare what a job wrote with
// what a test expects.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace test_common {

// Every path below root, relative, "/"-separated UTF-8, a directory with a
// trailing "/"; the report files a job writes ("..._report...") left out
// when asked.
inline std::set<std::string> paths_below(const std::filesystem::path& root, bool without_reports = false) {
    std::set<std::string> names;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::u8string bytes = std::filesystem::relative(item.path(), root).generic_u8string();
        std::string name(bytes.begin(), bytes.end());
        if (without_reports && name.find("_report") != std::string::npos) continue;
        names.insert(item.is_directory() ? name + "/" : name);
    }
    return names;
}

}  // namespace test_common
