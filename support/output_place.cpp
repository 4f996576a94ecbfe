// Output places below the current directory (see output_place.h).
#include "output_place.h"

#include <utility>

#include "path_text.h"

OutputPlace::OutputPlace(OutputPlace&& other) noexcept
    : directory_(std::exchange(other.directory_, nullptr)), name_(std::move(other.name_)),
      refused_part_(std::move(other.refused_part_)) {}

OutputPlace& OutputPlace::operator=(OutputPlace&& other) noexcept {
    if (this != &other) {
        release();
        directory_ = std::exchange(other.directory_, nullptr);
        name_ = std::move(other.name_);
        refused_part_ = std::move(other.refused_part_);
    }
    return *this;
}

void OutputPlace::release() {
    platform::close_directory(directory_);
    directory_ = nullptr;
}

PlaceResult OutputPlace::enter(const WideString& path, bool make_directories) {
    release();
    name_.clear();
    refused_part_.clear();
    if (path.find(u'\0') != WideString::npos || path.find(u':') != WideString::npos ||
        (!path.empty() && is_path_separator(path.front()))) {
        refused_part_ = path;
        return PlaceResult::error;
    }
    directory_ = platform::open_directory(u".");
    if (directory_ == nullptr) return PlaceResult::error;

    // Each component but the last is a directory to enter; the last is the
    // name, unless the path ends in a separator.
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = begin;
        while (end < path.size() && !is_path_separator(path[end])) ++end;
        const WideString component = path.substr(begin, end - begin);
        const bool last = end == path.size();
        begin = end + 1;
        if (last) {
            if (component == u"..") break;
            if (component != u".") name_ = component;
            return PlaceResult::ok;
        }
        if (component.empty() || component == u".") continue;
        if (component == u"..") break;
        platform::DirectoryHandle entered = nullptr;
        const platform::EnterResult result =
            platform::enter_directory(directory_, component, make_directories, entered);
        if (result != platform::EnterResult::ok) {
            refused_part_ = path.substr(0, end);
            release();
            switch (result) {
            case platform::EnterResult::link: return PlaceResult::link;
            case platform::EnterResult::not_directory: return PlaceResult::not_directory;
            default: return PlaceResult::error;
            }
        }
        platform::close_directory(directory_);
        directory_ = entered;
    }
    // A ".." component.
    refused_part_ = path;
    release();
    return PlaceResult::error;
}

PlaceResult OutputPlace::open_parent(const WideString& path) {
    release();
    name_.clear();
    refused_part_ = path;
    std::size_t cut = path.size();
    while (cut > 0 && !is_path_separator(path[cut - 1])) --cut;
    const WideString name = path.substr(cut);
    if (name.empty() || name == u"." || name == u".." || name.find(u'\0') != WideString::npos) {
        return PlaceResult::error;
    }
    // "name" is in the current directory; a root ("/", "C:\") keeps its
    // separator, any other directory loses it.
    WideString parent = path.substr(0, cut);
    if (parent.size() > 1 && parent[parent.size() - 2] != u':') parent.pop_back();
    directory_ = platform::open_directory(parent.empty() ? WideString(u".") : parent);
    if (directory_ == nullptr) return PlaceResult::error;
    name_ = name;
    refused_part_.clear();
    return PlaceResult::ok;
}

platform::NodeKind OutputPlace::kind() const {
    if (directory_ == nullptr) return platform::NodeKind::error;
    if (name_.empty()) return platform::NodeKind::directory;
    return platform::node_kind_at(directory_, name_);
}

WideString place_error_line(const WideString& path, PlaceResult result, const WideString& refused_part) {
    switch (result) {
    case PlaceResult::ok: return WideString();
    case PlaceResult::link: return path + u" >> リンク " + refused_part + u" を経由するので出力しない。\n";
    case PlaceResult::not_directory: return path + u" >> " + refused_part + u" がフォルダでないので出力しない。\n";
    default: return path + u" >> フォルダ " + refused_part + u" を開けないので出力しない。\n";
    }
}
