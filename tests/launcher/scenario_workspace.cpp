// Scenario directories and the comparison of observed against expected.
#include "scenario_workspace.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "recording_log.h"
#include "text_convert.h"

namespace fs = std::filesystem;

namespace {

// The recording libraries and the program copy lie in tests/launcher-recording
// of the build, beside tests/bin where the test programs run from. Found
// from the test program's own path, which also holds under Wine, where the
// build's Unix path would not name the directory.
fs::path recording_directory() {
    const fs::path program = path_from_utf8(utf8_from_wide(platform::module_file_name()));
    return program.parent_path().parent_path() / "launcher-recording";
}

#if defined(_WIN32)
const char* const PROGRAM_FILE = "tsuchi.exe";
#else
const char* const PROGRAM_FILE = "tsuchi";
#endif

std::string utf8_of(const WideString& text) { return utf8_from_wide(text); }

const char* kind_name(platform::BoxKind kind) {
    switch (kind) {
    case platform::BoxKind::ok: return "OK";
    case platform::BoxKind::yes_no: return "Yes/No";
    case platform::BoxKind::yes_no_cancel: return "Yes/No/Cancel";
    }
    return "?";
}

void copy_library(const std::string& file, const std::string& as, const fs::path& launcher) {
    fs::copy_file(recording_directory() / file, launcher / as);
}

}  // namespace

std::string lzh_library_file() {
#if defined(_WIN32)
    return "kanna.dll";
#else
    return "kanna.so";
#endif
}

std::string zip_library_file() {
#if defined(_WIN32)
    return "nomi.dll";
#else
    return "nomi.so";
#endif
}

fs::path path_from_utf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

WideString wide_from_path(const fs::path& path) {
    const std::u8string text = path.u8string();
    return wide_from_utf8(ByteString(text.begin(), text.end()));
}

ScenarioWorkspace::ScenarioWorkspace(const Scenario& scenario, bool with_program) {
    std::random_device random;
    root = fs::temp_directory_path() / ("tsuchi-launcher-" + std::to_string(random()) + std::to_string(random()));
    work = root / "work";
    launcher = root / "launcher";
    program = launcher / PROGRAM_FILE;
    log = root / "calls.log";
    fs::create_directories(work);
    fs::create_directories(launcher);
    for (const std::string& file : scenario.files) {
        const fs::path path = work / path_from_utf8(file);
        if (!file.empty() && file.back() == '/') {
            fs::create_directories(path);
        } else {
            fs::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary) << "content of " << file << "\n";
        }
    }
    const bool kanna = scenario.libraries == Libraries::both || scenario.libraries == Libraries::kanna_only;
    const bool nomi = scenario.libraries != Libraries::none && scenario.libraries != Libraries::kanna_only;
    if (kanna) {
        copy_library(lzh_library_file(), lzh_library_file(), launcher);
    }
    if (nomi) {
        copy_library(zip_library_file(), zip_library_file(), launcher);
    }
    if (scenario.libraries == Libraries::kanna_without_exports) {
        copy_library(zip_library_file(), lzh_library_file(), launcher);
    }
    if (with_program) {
        fs::copy_file(recording_directory() / PROGRAM_FILE, program);
    }
}

ScenarioWorkspace::~ScenarioWorkspace() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

WideString ScenarioWorkspace::work_full() const {
    WideString full_path;
    platform::full_path(wide_from_path(work), full_path);
    return full_path;
}

WideString ScenarioWorkspace::full(const std::string& relative) const {
    if (relative.empty()) {
        return work_full();
    }
    WideString full_path;
    platform::full_path(work_full() + u"/" + wide_from_utf8(relative), full_path);
    return full_path;
}

WideString ScenarioWorkspace::library_directory() const {
    WideString directory;
    platform::full_path(wide_from_path(launcher), directory);
#if defined(_WIN32)
    return directory + u"\\";
#else
    return directory + u"/";
#endif
}

WideString ScenarioWorkspace::expand(const std::string& text) const {
    const std::string open = "{full:";
    std::string out;
    std::size_t at = 0;
    while (true) {
        const std::size_t start = text.find(open, at);
        if (start == std::string::npos) {
            out += text.substr(at);
            break;
        }
        const std::size_t end = text.find('}', start);
        out += text.substr(at, start - at);
        out += utf8_of(full(text.substr(start + open.size(), end - start - open.size())));
        at = end + 1;
    }
    return wide_from_utf8(out);
}

// A shortcut file as the shell writes it, reduced to what names a local
// target:
//   offset 0   header (76 bytes): size 0x4C, the shell-link class id,
//              flags 0x2 (HasLinkInfo), the rest 0
//   offset 76  LinkInfo: size, header size 0x1C, flags 0x1 (volume id and
//              local base path), VolumeIDOffset 0x1C, LocalBasePathOffset,
//              no network part, CommonPathSuffixOffset
//              then the VolumeID (17 bytes: size, drive type 3 fixed,
//              serial 0, label offset 0x10, empty label), the base path in
//              the ANSI code page with its NUL, and an empty suffix.
void ScenarioWorkspace::make_shortcut(const std::string& name, const std::string& target_relative) const {
    std::string bytes;
    auto u32 = [&bytes](std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    if (target_relative.empty()) {
        bytes = "not a shortcut at all";
    } else {
        const std::string target = utf8_of(full(target_relative));  // ASCII in the tests
        u32(0x4C);
        const unsigned char class_id[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
        bytes.append(reinterpret_cast<const char*>(class_id), sizeof class_id);
        u32(0x2);
        bytes.append(76 - bytes.size(), '\0');
        const std::uint32_t volume_size = 17;
        const std::uint32_t base_offset = 0x1C + volume_size;
        const std::uint32_t suffix_offset = base_offset + static_cast<std::uint32_t>(target.size()) + 1;
        u32(suffix_offset + 1);  // LinkInfoSize
        u32(0x1C);
        u32(0x1);
        u32(0x1C);
        u32(base_offset);
        u32(0);
        u32(suffix_offset);
        u32(volume_size);
        u32(3);
        u32(0);
        u32(0x10);
        bytes += '\0';
        bytes += target;
        bytes += '\0';
        bytes += '\0';
    }
    std::ofstream(work / path_from_utf8(name), std::ios::binary) << bytes;
}

void check_outcome(const Scenario& scenario, const ScenarioWorkspace& workspace,
                   const std::vector<ObservedBox>& boxes) {
    SCOPED_TRACE(scenario.name);
    EXPECT_EQ(boxes.size(), scenario.boxes.size()) << "number of boxes";
    for (std::size_t i = 0; i < boxes.size() && i < scenario.boxes.size(); ++i) {
        const ExpectedBox& expected = scenario.boxes[i];
        SCOPED_TRACE("box " + std::to_string(i + 1) + " [" + expected.title + "]");
        EXPECT_STREQ(kind_name(boxes[i].kind), kind_name(expected.kind));
        EXPECT_EQ(utf8_of(boxes[i].title), expected.title);
        EXPECT_EQ(utf8_of(boxes[i].text), utf8_of(workspace.expand(expected.text)));
    }
    for (std::size_t i = scenario.boxes.size(); i < boxes.size(); ++i) {
        ADD_FAILURE() << "unexpected box [" << utf8_of(boxes[i].title) << "] " << utf8_of(boxes[i].text);
    }

    const std::vector<CallRecord> records = read_call_records(workspace.log);
    ASSERT_EQ(records.size(), scenario.calls.size()) << "number of library calls";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ExpectedCall& expected = scenario.calls[i];
        const CallRecord& record = records[i];
        SCOPED_TRACE("call " + std::to_string(i + 1) + " " + expected.export_name);
        EXPECT_EQ(record.export_name, expected.export_name);
        EXPECT_EQ(record.fields.at("count"), std::to_string(expected.paths.size()));
        // An empty list is handed over as no array at all.
        EXPECT_EQ(record.fields.at("paths_array"), expected.paths.empty() ? "null" : "set");
        std::vector<std::string> expected_paths;
        for (const std::string& path : expected.paths) {
            expected_paths.push_back(utf8_of(workspace.full(path)));
        }
        EXPECT_EQ(record.paths, expected_paths);
        const bool encode = expected.export_name.find("Encode") != std::string::npos;
        EXPECT_EQ(record.has_archive_line, encode);
        if (encode) {
            EXPECT_EQ(record.archive_null, !expected.archive.has_value());
            if (expected.archive) {
                EXPECT_EQ(record.archive, utf8_of(workspace.full(*expected.archive)));
            }
        }
        EXPECT_EQ(record.fields.at("cwd"), utf8_of(workspace.full(expected.cwd)));
        for (const auto& [key, value] : expected.fields) {
            ASSERT_TRUE(record.fields.count(key)) << key;
            EXPECT_EQ(record.fields.at(key), value) << key;
        }
    }
}
