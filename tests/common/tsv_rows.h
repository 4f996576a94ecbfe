// The rows of a tab-separated text (fixture manifests, the peers' lists):
// one a line, its fields split at every tab; empty lines and "#" lines are
// left out.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace test_common {

inline std::vector<std::vector<std::string>> tsv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
            fields.push_back(line.substr(start, tab - start));
        }
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}

}  // namespace test_common
