// Fuzz target of ZIP extraction: the bytes are one archive, extracted by the
// export ZIPDecode into a fresh scratch directory with every question
// answered (Yes, No and Cancel in turn, the same for every run of the same
// input) and reporting on, so that the name conversion and the report file
// run as well. Before that, the same bytes go through the central
// directory reader, the overlap check, the extra fields and the data
// descriptor reader of every member. Crashes, sanitizer reports, leaks and
// hangs are the findings; every damage must end in a thrown text or an
// error line.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive_exports.h"
#include "job_setup.h"
#include "job_state.h"
#include "platform.h"
#include "zip_central_dir.h"
#include "zip_data_descriptor.h"
#include "zip_extra_field.h"

namespace {

namespace fs = std::filesystem;

int answer_serial = 0;

struct Workspace {
    fs::path root;
    fs::path archive;
    fs::path destination;
    WideString archive_wide;
    WideString home;

    Workspace() {
        root = fs::temp_directory_path() / ("fuzz_zip_" + std::to_string(platform::current_time_seconds()) + "_" +
                                            std::to_string(platform::random_number()));
        fs::create_directories(root);
        archive = root / "input.zip";
        destination = root / "out";
        archive_wide = archive.generic_u16string();
        platform::current_directory(home);
        platform::set_message_box_handler([](const WideString&, const WideString&, platform::BoxKind kind) {
            if (kind == platform::BoxKind::ok) return platform::BoxAnswer::ok;
            static constexpr platform::BoxAnswer CYCLE[] = {platform::BoxAnswer::yes, platform::BoxAnswer::no,
                                                            platform::BoxAnswer::cancel};
            return CYCLE[answer_serial++ % 3];
        });
    }
    ~Workspace() {
        platform::set_current_directory(home);
        std::error_code error;
        fs::remove_all(root, error);
    }
};

// The directory readers on the bytes, the way the extraction reads them.
void read_directory(const std::string& bytes) {
    try {
        const ZipDirectory directory = zip_directory_read(bytes.size(), [&](std::uint64_t offset, std::size_t length) {
            return offset < bytes.size() ? bytes.substr(static_cast<std::size_t>(offset), length) : std::string();
        });
        static_cast<void>(overlapping_members(directory));
        for (const ZipCentralRecord& record : directory.records) {
            static_cast<void>(extra_modification_time(record.extra));
            static_cast<void>(unicode_path_name(record.extra, record.name));
            const std::uint64_t after = record.local_offset + 30 + record.name.size() + record.compressed_size;
            if (after < bytes.size()) {
                try {
                    static_cast<void>(data_descriptor_read(
                        std::string_view(bytes).substr(static_cast<std::size_t>(after), ZIP_DESCRIPTOR_MAX_LENGTH),
                        record, record.zip64));
                } catch (const char*) {
                }
            }
        }
    } catch (const char*) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Workspace workspace;
    read_directory(std::string(reinterpret_cast<const char*>(data), size));
    {
        std::ofstream out(workspace.archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::error_code error;
    fs::remove_all(workspace.destination, error);
    fs::create_directories(workspace.destination);
    platform::set_current_directory(workspace.destination.generic_u16string());

    // A freshly loaded library: the job state as it starts.
    restore_locale();
    job_state() = JobState{};
    answer_serial = 0;
    ArchiveOptions options;
    init_archive_options(options);
    options.flags = OPT_REPORT;
    const char16_t* paths[] = {workspace.archive_wide.c_str()};
    ZIPDecode(1, paths, &options);

    platform::set_current_directory(workspace.home);
    fs::remove_all(workspace.destination, error);
    return 0;
}
