// Member names to output paths (see member_path.h).
#include "member_path.h"

#include <algorithm>

#include "job_state.h"
#include "stored_name.h"

namespace {

bool is_separator(char16_t c) { return c == u'/' || c == u'\\'; }

void split_name(MemberPath& path) {
    WideString& name = path.name;
    WideString& directory = path.directory;
    const std::size_t last = name.rfind(u'/');
    if (last == WideString::npos || last == 0) {
        if (!directory.empty() && !is_separator(directory.back())) directory.push_back(u'/');
        return;
    }
    std::replace(directory.begin(), directory.end(), u'\\', u'/');
    if (!directory.empty() && directory.back() != u'/') directory.push_back(u'/');
    directory += name.substr(0, last + 1);
    name.erase(0, last + 1);
}

}  // namespace

MemberPath decode_member_path(const std::vector<NamePart>& parts, bool split) {
    JobState& job = job_state();
    MemberPath path;
    for (const NamePart& part : parts) {
        if (job.report_on) job.report_text += part.label;
        decode_stored_name(part.bytes, part.directory ? path.directory : path.name, part.hint, part.code_page);
    }
    if (split) split_name(path);
    return path;
}

bool is_safe_output_path(const WideString& path) {
    if (path.empty() || is_separator(path.front())) return false;
    if (path.find(u':') != WideString::npos) return false;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !is_separator(path[i])) continue;
        bool dots_only = i > begin;
        bool has_dot = false;
        for (std::size_t k = begin; k < i; ++k) {
            if (path[k] == u'.') {
                has_dot = true;
            } else if (path[k] != u' ') {
                dots_only = false;
            }
        }
        if (dots_only && has_dot) return false;
        begin = i + 1;
    }
    return true;
}

WideString output_directory_of(const WideString& path) {
    const auto last = std::find_if(path.rbegin(), path.rend(), is_separator);
    if (last == path.rend()) return WideString();
    return path.substr(0, static_cast<std::size_t>(path.rend() - last));
}

bool ends_with_separator(const WideString& path) { return !path.empty() && is_separator(path.back()); }
