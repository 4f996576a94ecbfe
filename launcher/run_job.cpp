// Dispatch to the codec libraries. The launcher links against neither: it
// loads the one the job needs from its own directory by full path, looks up
// one export by its narrow name, calls it once and unloads it. Extracting a
// mix of LZH and ZIP archives loads both and runs the LZH library first.
#include "run_job.h"

#include "archive_exports.h"
#include "classify_job.h"
#include "message_box.h"
#include "path_text.h"
#include "platform.h"

namespace {

#if defined(_WIN32)
constexpr char16_t LZH_LIBRARY[] = u"kanna.dll";
constexpr char16_t ZIP_LIBRARY[] = u"nomi.dll";
#else
constexpr char16_t LZH_LIBRARY[] = u"kanna.so";
constexpr char16_t ZIP_LIBRARY[] = u"nomi.so";
#endif

void show_load_failure() { show_message(u"DLLのロードに失敗。", u"エラー"); }

// A library returns null, or a report text that it owns until it is
// unloaded; an empty one is not worth a box.
void show_report(const char16_t* text) {
    if (text != nullptr && text[0] != 0) {
        show_message(WideString(text), u"報告");
    }
}

// Unloads on every way out of a dispatch.
class LoadedLibrary {
public:
    LoadedLibrary(const WideString& directory, const char16_t* name) : handle_(load(directory, name)) {}
    ~LoadedLibrary() {
        if (handle_ != nullptr) {
            platform::free_library(handle_);
        }
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }

    template <typename Function>
    Function find(const char* name) const {
        return handle_ != nullptr ? reinterpret_cast<Function>(platform::find_export(handle_, name)) : nullptr;
    }

private:
    // The library path must fit a path buffer. An empty directory would make
    // the platform search its library path for a file of that name, which
    // is never the library beside the launcher, so it counts as a failure.
    static platform::LibraryHandle load(const WideString& directory, const char16_t* name) {
        char16_t path[PATH_BUFFER_LENGTH] = {};
        if (directory.empty() || !append_bounded(path, directory.c_str(), PATH_BUFFER_LENGTH) ||
            !append_bounded(path, name, PATH_BUFFER_LENGTH)) {
            return nullptr;
        }
        return platform::load_library(WideString(path));
    }

    platform::LibraryHandle handle_;
};

// The arrays the exports receive: no array at all for an empty list.
const char16_t* const* array_of(const std::vector<const char16_t*>& paths) {
    return paths.empty() ? nullptr : paths.data();
}

void call_encode(LaunchJob& job, const WideString& directory, const char16_t* library_name, const char* export_name) {
    LoadedLibrary library(directory, library_name);
    const auto encode = library.find<EncodeExport>(export_name);
    if (encode == nullptr) {
        show_load_failure();
        return;
    }
    const char16_t* archive = job.new_archive_name.empty() ? nullptr : job.new_archive_name.c_str();
    show_report(encode(job.path_count(), array_of(job.paths), archive, &job.options));
}

void call_decode(LaunchJob& job, const WideString& directory, const char16_t* library_name, const char* export_name) {
    LoadedLibrary library(directory, library_name);
    const auto decode = library.find<DecodeExport>(export_name);
    if (decode == nullptr) {
        show_load_failure();
        return;
    }
    show_report(decode(job.path_count(), array_of(job.paths), &job.options));
}

// Both libraries are loaded and both exports found before either runs, so a
// missing one stops the job before anything was extracted.
void call_both_decodes(LaunchJob& job, const WideString& directory) {
    LoadedLibrary lzh_library(directory, LZH_LIBRARY);
    if (!lzh_library.loaded()) {
        show_load_failure();
        return;
    }
    LoadedLibrary zip_library(directory, ZIP_LIBRARY);
    const auto lzh_decode = lzh_library.find<DecodeExport>("LZHDecode");
    const auto zip_decode = zip_library.find<DecodeExport>("ZIPDecode");
    if (lzh_decode == nullptr || zip_decode == nullptr) {
        show_load_failure();
        return;
    }
    show_report(lzh_decode(job.lzh_count(), array_of(job.lzh_paths), &job.options));
    show_report(zip_decode(job.zip_count(), array_of(job.zip_paths), &job.options));
}

}  // namespace

WideString launcher_directory() {
    // The module name goes through a path buffer like every path the
    // platform hands out; one that does not fit leaves no directory.
    char16_t buffer[PATH_BUFFER_LENGTH] = {};
    const WideString module = platform::module_file_name();
    if (module.empty() || !append_bounded(buffer, module.c_str(), PATH_BUFFER_LENGTH)) {
        return WideString();
    }
    // Cuts the launcher's own name and keeps the separator before it.
    if (!cut_file_name(buffer, false)) {
        return WideString();
    }
    return WideString(buffer);
}

void dispatch(LaunchJob& job, const WideString& library_directory) {
    if (job.mode == MODE_CREATE) {
        if (job.format == ARCHIVE_LZH) {
            call_encode(job, library_directory, LZH_LIBRARY, "LZHEncode");
        } else {
            call_encode(job, library_directory, ZIP_LIBRARY, "ZIPEncode");
        }
    } else if (job.format == ARCHIVE_LZH) {
        call_decode(job, library_directory, LZH_LIBRARY, "LZHDecode");
    } else if (job.format == ARCHIVE_ZIP) {
        call_decode(job, library_directory, ZIP_LIBRARY, "ZIPDecode");
    } else {
        // Mixed kinds without a format switch, or archives no library reads
        // (both lists are empty then and each library says so itself).
        call_both_decodes(job, library_directory);
    }
}

int run_job(const std::vector<WideString>& arguments, const std::optional<WideString>& library_directory) {
    if (arguments.size() <= 1) {
        show_message(u"ファイルを、引数に、与える。", u"使い方！");
        return 0;
    }
    ArchiveOptions defaults;
    init_archive_options(defaults);
    // On the heap: the record is large and locale_name_ref points into it.
    auto job = std::make_unique<LaunchJob>(defaults);
    classify_job(*job, arguments);
    if (job->cancelled) {
        return 0;
    }
    dispatch(*job, library_directory ? *library_directory : launcher_directory());
    return 0;
}

int run_job() { return run_job(platform::command_line_arguments()); }
