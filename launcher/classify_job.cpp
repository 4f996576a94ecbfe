// Classification of a dropped set of paths. The launcher has no window, so
// every doubt is settled with a message box: when the arguments mix archives
// and other files the user says whether to extract or to create, and an
// extraction that would skip some arguments is confirmed first.
#include "classify_job.h"

#include "argument_entry.h"
#include "file_system.h"
#include "message_box.h"
#include "platform.h"
#include "switch_parser.h"

namespace {

// Titles and texts of the launcher's boxes.
constexpr char16_t TITLE_CONFIRM_WORK[] = u"作業確認!?";
constexpr char16_t TITLE_CONFIRM_EXTRACT[] = u"圧縮 - 作業確認!?";
constexpr char16_t TITLE_USAGE_ERROR[] = u"使い方のエラー";
constexpr char16_t TITLE_STOPPED[] = u"中止!";

// Step results: false means the job stops here.
using Step = bool;

bool stop(LaunchJob& job) {
    job.cancelled = true;
    return false;
}

// The argument confirmation box shows the command line back, one path a
// line, with each switch after a space on the line it belongs to.
Step confirm_arguments(LaunchJob& job, const std::vector<WideString>& arguments) {
    WideString text;
    const std::vector<bool> switches = switch_arguments(job, arguments);
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1) {
            text += switches[i] ? u" " : u"\n";
        }
        text += arguments[i];
    }
    text += u"\n  続行するか？、 [いいえ]で 中止。";
    return ask_yes_no(text, u"引数の確認!?") || stop(job);
}

// Creation or extraction. An undecided job with no archive among its
// arguments creates; one made only of archives extracts; anything in
// between is the user's call.
Step decide_mode(LaunchJob& job, bool& extract_confirmed) {
    const int entry_count = static_cast<int>(job.entries.size());
    if (job.mode == MODE_UNDECIDED) {
        if (job.archive_arg_count == 0) {
            job.mode = MODE_CREATE;
            if (job.format == ARCHIVE_NONE && job.default_format != ARCHIVE_NONE) {
                job.format = job.default_format;
            }
            return true;
        }
        int answer = 0;
        if (!job.other_archive_exts.empty()) {
            answer = ask_yes_no_cancel(u"対象外の圧縮ファイル " + job.other_archive_exts +
                                           u"を含んでいるが、\n解凍(展開)として続行？  --- 圧縮なら [NO] を。",
                                       TITLE_CONFIRM_WORK);
        } else if (entry_count > job.archive_arg_count) {
            answer = ask_yes_no_cancel(u"圧縮ファイルを解凍(展開)するのか？", TITLE_CONFIRM_WORK);
        } else {
            job.mode = MODE_EXTRACT;
            return true;
        }
        if (answer == 0) {
            return stop(job);
        }
        // Choosing creation here keeps the format as the switches left it.
        job.mode = answer == 1 ? MODE_EXTRACT : MODE_CREATE;
        extract_confirmed = answer == 1;
        return true;
    }
    if (job.mode == MODE_CREATE && job.archive_arg_count > 0) {
        return ask_yes_no(u"拡張子が、圧縮ファイルであるものを含んでいるが、「 圧縮 」するのか？\n"
                          u"  [いいえ] で、中止(キャンセル)。",
                          TITLE_CONFIRM_WORK) ||
               stop(job);
    }
    return true;
}

Step prepare_creation(LaunchJob& job) {
    if (job.format == ARCHIVE_NONE) {
        const int answer = ask_yes_no_cancel(u"LZH 形式で圧縮？、[いいえ]なら ZIP", TITLE_CONFIRM_WORK);
        if (answer == 0) {
            return stop(job);
        }
        job.format = answer == 1 ? ARCHIVE_LZH : ARCHIVE_ZIP;
    }
    // Files, directories and other objects alike: the library walks them.
    for (const auto& entry : job.entries) {
        job.paths.push_back(entry->full_path.c_str());
    }
    return true;
}

Step prepare_extraction(LaunchJob& job, bool extract_confirmed) {
    // Only regular files can be archives to read.
    int removed = 0;
    for (const auto& entry : job.entries) {
        if (entry->path_kind != PATH_FILE) {
            entry->set_aside();
            ++removed;
        }
    }
    const int remaining = static_cast<int>(job.entries.size()) - removed;
    if (remaining == 0) {
        show_message(u"引数中にファイルなし。中止。", TITLE_USAGE_ERROR);
        return stop(job);
    }
    if (removed > 0 && !ask_yes_no(u"幾つかはファイルではない ので除いたが、続行？", TITLE_CONFIRM_WORK)) {
        return stop(job);
    }
    if (!extract_confirmed) {
        if (remaining > job.archive_arg_count &&
            !ask_yes_no(u"圧縮ファイルでない拡張子のファイルなども含むが、続行？", TITLE_CONFIRM_EXTRACT)) {
            return stop(job);
        }
        if (!job.other_archive_exts.empty() &&
            !ask_yes_no(u"対象外の圧縮ファイル拡張子のファイルを含むが、続行？", TITLE_CONFIRM_EXTRACT)) {
            return stop(job);
        }
    }

    // Files of one kind decide the format, even over a format switch. Mixed
    // kinds keep the switch, or without one go to both libraries.
    int common_kind = ARCHIVE_NONE;
    bool first = true;
    for (const auto& entry : job.entries) {
        if (entry->path_kind != PATH_FILE) {
            continue;
        }
        if (first) {
            common_kind = entry->archive_kind;
            first = false;
        } else if (entry->archive_kind != common_kind) {
            common_kind = ARCHIVE_NONE;
            break;
        }
    }
    if (common_kind != ARCHIVE_NONE) {
        job.format = common_kind;
    }

    // One list for a single library, or the LZH and ZIP lists for both;
    // files of other kinds go to neither library then.
    for (const auto& entry : job.entries) {
        if (entry->path_kind != PATH_FILE) {
            continue;
        }
        if (job.format != ARCHIVE_NONE) {
            job.paths.push_back(entry->full_path.c_str());
        } else if (entry->archive_kind == ARCHIVE_LZH) {
            job.lzh_paths.push_back(entry->full_path.c_str());
        } else if (entry->archive_kind == ARCHIVE_ZIP) {
            job.zip_paths.push_back(entry->full_path.c_str());
        }
    }
    return true;
}

// The destination becomes the current directory: the libraries extract into
// it and create relative archive names in it. A missing one is created with
// its parents once the user agrees; a file there stops the job.
Step prepare_destination(LaunchJob& job) {
    // Built like an argument but without shortcut resolution: the component
    // system is no longer initialised, so a shortcut here is just a file.
    const ArgumentEntry entry = build_argument_entry(job.destination, false);
    if (entry.full_path.empty()) {
        // A destination that cannot be made absolute (too long for a path
        // buffer, for one) cannot be created either.
        show_message(u"指定された展開先ディレクトリ: \n  " + job.destination + u"\n    の作成に失敗した。",
                     TITLE_STOPPED);
        return stop(job);
    }
    job.destination = entry.full_path;
    if (entry.path_kind == PATH_FILE) {
        show_message(u"指定の展開先ディレクトリ:\n  " + job.destination + u"\n    は、ファイル！", TITLE_STOPPED);
        return stop(job);
    }
    if (entry.path_kind == PATH_MISSING) {
        if (!ask_yes_no(u"新しいディレクトリ: " + job.destination + u"\n  を作成し、展開先とする？", u"実行の確認!?")) {
            return stop(job);
        }
        if (!make_directories(job.destination)) {
            show_message(u"指定された展開先ディレクトリ: \n  " + job.destination + u"\n    の作成に失敗した。",
                         TITLE_STOPPED);
            return stop(job);
        }
    }
    platform::set_current_directory(job.destination);
    return true;
}

}  // namespace

void add_argument(LaunchJob& job, const WideString& text) {
    auto entry = std::make_unique<ArgumentEntry>(build_argument_entry(text, true));
    if (entry->path_kind != PATH_MISSING) {
        if (entry->archive_kind != ARCHIVE_NONE) {
            ++job.archive_arg_count;
            if (entry->archive_kind == ARCHIVE_OTHER) {
                job.other_archive_exts += entry->extension + u", ";
            }
        }
        job.entries.push_back(std::move(entry));
        return;
    }
    // The first missing .lzh or .zip path names the archive to create and
    // its format; every other missing path is dropped without a word.
    if (!entry->full_path.empty() && job.new_archive_name.empty() &&
        (entry->archive_kind == ARCHIVE_LZH || entry->archive_kind == ARCHIVE_ZIP)) {
        job.new_archive_name = entry->full_path;
        job.default_format = entry->archive_kind;
    }
}

void classify_job(LaunchJob& job, const std::vector<WideString>& arguments) {
    parse_arguments(job, arguments);
    if (job.confirm_arguments && !confirm_arguments(job, arguments)) {
        return;
    }
    if (job.entries.empty()) {
        show_message(u"存在するファイルまたはディレクトリの指定がない。", TITLE_USAGE_ERROR);
        stop(job);
        return;
    }
    bool extract_confirmed = false;
    if (!decide_mode(job, extract_confirmed)) {
        return;
    }
    const Step prepared = job.mode == MODE_CREATE ? prepare_creation(job) : prepare_extraction(job, extract_confirmed);
    if (!prepared) {
        return;
    }
    apply_name_encoding_defaults(job);
    if (!job.destination.empty()) {
        prepare_destination(job);
    }
}
