// Output places below the current directory (see output_place.h).
#include "output_place.h"

#include <utility>

#include "path_text.h"

namespace {

SharedDirectory shared(platform::DirectoryHandle directory) {
    if (directory == nullptr) return SharedDirectory();
    return SharedDirectory(directory, platform::close_directory);
}

}  // namespace

PlaceResult OutputPlace::enter(const WideString& path, bool make_directories, DirectoryTrail* trail) {
    release();
    name_.clear();
    refused_part_.clear();
    if (path.find(u'\0') != WideString::npos || path.find(u':') != WideString::npos ||
        (!path.empty() && is_path_separator(path.front()))) {
        refused_part_ = path;
        return PlaceResult::error;
    }
    if (trail != nullptr && trail->start_ == nullptr) trail->start_ = shared(platform::open_directory(u"."));
    directory_ = trail != nullptr ? trail->start_ : shared(platform::open_directory(u"."));
    if (directory_ == nullptr) return PlaceResult::error;

    // Each component but the last is a directory to enter; the last is the
    // name, unless the path ends in a separator. depth counts the
    // directories entered; while they are the trail's, none is opened.
    std::size_t depth = 0;
    bool on_trail = trail != nullptr;
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
        if (on_trail && depth < trail->levels_.size() && trail->levels_[depth].name == component) {
            directory_ = trail->levels_[depth++].directory;
            continue;
        }
        if (on_trail) {
            // The path leaves the trail here: what is deeper belongs to
            // another folder.
            trail->levels_.resize(depth);
            on_trail = depth < DirectoryTrail::MAX_DEPTH;
        }
        platform::DirectoryHandle entered = nullptr;
        const platform::EnterResult result =
            platform::enter_directory(directory_.get(), component, make_directories, entered);
        if (result != platform::EnterResult::ok) {
            refused_part_ = path.substr(0, end);
            release();
            switch (result) {
            case platform::EnterResult::link: return PlaceResult::link;
            case platform::EnterResult::not_directory: return PlaceResult::not_directory;
            default: return PlaceResult::error;
            }
        }
        directory_ = shared(entered);
        if (on_trail) {
            trail->levels_.push_back({component, directory_});
            ++depth;
            on_trail = depth < DirectoryTrail::MAX_DEPTH;
        }
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
    directory_ = shared(platform::open_directory(parent.empty() ? WideString(u".") : parent));
    if (directory_ == nullptr) return PlaceResult::error;
    name_ = name;
    refused_part_.clear();
    return PlaceResult::ok;
}

platform::NodeKind OutputPlace::kind() const {
    if (directory_ == nullptr) return platform::NodeKind::error;
    if (name_.empty()) return platform::NodeKind::directory;
    return platform::node_kind_at(directory_.get(), name_);
}

WideString place_error_line(const WideString& path, PlaceResult result, const WideString& refused_part) {
    switch (result) {
    case PlaceResult::ok: return WideString();
    case PlaceResult::link: return path + u" >> リンク " + refused_part + u" を経由するので出力しない。\n";
    case PlaceResult::not_directory: return path + u" >> " + refused_part + u" がフォルダでないので出力しない。\n";
    default: return path + u" >> フォルダ " + refused_part + u" を開けないので出力しない。\n";
    }
}
