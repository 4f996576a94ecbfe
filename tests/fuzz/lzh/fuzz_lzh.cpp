// libFuzzer target: the bytes are one LZH archive, extracted through
// LZHDecode into a scratch directory with every question answered (Yes and
// No in turn) and reporting on. Besides the sanitizers' findings, anything
// created outside the destination directory is a finding: the run aborts.
// Seed corpus: corpus/, copies of small checked-in fixtures, and from
// make_corpus.py an archive of every method the library reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "archive_exports.h"
#include "archive_options.h"
#include "job_setup.h"
#include "job_state.h"
#include "platform.h"

namespace {

namespace fs = std::filesystem;

struct Workspace {
    Workspace() {
        platform::current_directory(start);
        root = fs::temp_directory_path() / ("fuzz_lzh_" + std::to_string(std::random_device{}()));
        fs::remove_all(root);
        fs::create_directories(root / "dest");
        archive = (root / "in.lzh").generic_u16string();
        platform::set_ansi_code_page_override(1252);
        int turn = 0;
        platform::set_message_box_handler([turn](const WideString&, const WideString&, platform::BoxKind kind) mutable {
            if (kind == platform::BoxKind::ok) return platform::BoxAnswer::ok;
            return ++turn % 2 == 1 ? platform::BoxAnswer::yes : platform::BoxAnswer::no;
        });
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    WideString start;  // the fuzzer reads its corpus relative to it
    fs::path root;
    WideString archive;
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Workspace& w = workspace();
    {
        std::ofstream out(w.root / "in.lzh", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const fs::path dest = w.root / "dest";
    platform::set_current_directory(dest.generic_u16string());

    restore_locale();
    job_state() = JobState{};
    ArchiveOptions options;
    init_archive_options(options);
    options.flags = OPT_REPORT | OPT_FF_SEPARATOR | OPT_CODEPAGE_SET;
    options.code_page = 932;
    const char16_t* paths[] = {w.archive.c_str()};
    LZHDecode(1, paths, &options);

    platform::set_current_directory(w.start);
    for (const auto& item : fs::directory_iterator(w.root)) {
        const std::string name = item.path().filename().string();
        if (name != "dest" && name != "in.lzh") std::abort();  // written outside the destination
    }
    fs::remove_all(dest);
    fs::create_directory(dest);
    return 0;
}
