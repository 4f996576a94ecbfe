// The switch rules and the automatic option bits: every switch, its
// spellings and the ones that must be ignored (wrong length, full-width
// letters, values too long or not numeric), the later-wins and accumulate
// rules, and which bits apply_name_encoding_defaults adds for each kind of
// job and system code page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"
#include "platform.h"
#if !defined(_WIN32)
#include <unistd.h>
#endif
#include "switch_parser.h"
#include "text_convert.h"

namespace {

// The job state the switches decide; unmentioned fields keep their default.
struct SwitchResult {
    std::uint32_t flags = 0;
    std::int32_t code_page = 0;
    std::u16string locale_name;
    std::int32_t dialog_limit = 1000;
    int mode = MODE_UNDECIDED;
    int format = ARCHIVE_NONE;
    std::u16string destination;
    bool no_auto_ff = false;
    bool confirm_arguments = false;
};

// A job that starts from the default options and is given "tsuchi
// <switches>".
std::unique_ptr<LaunchJob> parse_switches(const std::vector<std::u16string>& switches) {
    ArchiveOptions defaults;
    init_archive_options(defaults);
    auto job = std::make_unique<LaunchJob>(defaults);
    std::vector<WideString> arguments = {u"tsuchi"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    parse_arguments(*job, arguments);
    return job;
}

struct SwitchCase {
    std::vector<std::u16string> switches;
    SwitchResult expected;
};

SwitchResult with_flags(std::uint32_t flags) {
    SwitchResult result;
    result.flags = flags;
    return result;
}

SwitchResult with_mode(int mode, std::u16string destination = u"") {
    SwitchResult result;
    result.mode = mode;
    result.destination = std::move(destination);
    return result;
}

SwitchResult with_format(int format) {
    SwitchResult result;
    result.format = format;
    return result;
}

SwitchResult with_code_page(std::int32_t code_page, bool set) {
    SwitchResult result;
    result.code_page = code_page;
    result.flags = set ? std::uint32_t{OPT_CODEPAGE_SET} : 0u;
    return result;
}

SwitchResult with_locale(std::u16string name) {
    SwitchResult result;
    result.locale_name = std::move(name);
    return result;
}

SwitchResult with_dialog_limit(std::int32_t limit) {
    SwitchResult result;
    result.dialog_limit = limit;
    return result;
}

const SwitchResult NOTHING;

std::string describe(const std::vector<std::u16string>& switches) {
    std::string text;
    for (const auto& s : switches) {
        text += utf8_from_wide(s) + " ";
    }
    return text;
}

std::vector<SwitchCase> switch_cases() {
    SwitchResult no_auto_ff;
    no_auto_ff.no_auto_ff = true;
    SwitchResult confirm;
    confirm.confirm_arguments = true;
    SwitchResult create_with_destination = with_mode(MODE_CREATE, u"out");
    const std::u16string name_127(127, u'j');
    const std::u16string name_128(128, u'j');
    return {
        // One character.
        {{u"/2"}, with_flags(OPT_UTF16)}, {{u"/8"}, with_flags(OPT_UTF8)}, {{u"/C"}, with_mode(MODE_CREATE)},
            {{u"/c"}, with_mode(MODE_CREATE)}, {{u"/P"}, with_mode(MODE_CREATE)}, {{u"-p"}, with_mode(MODE_CREATE)},
            {{u"/D"}, with_mode(MODE_EXTRACT)}, {{u"/d"}, with_mode(MODE_EXTRACT)}, {{u"/U"}, with_mode(MODE_EXTRACT)},
            {{u"/u"}, with_mode(MODE_EXTRACT)}, {{u"/x"}, with_mode(MODE_EXTRACT)}, {{u"-X"}, with_mode(MODE_EXTRACT)},
            {{u"/L"}, with_format(ARCHIVE_LZH)}, {{u"-l"}, with_format(ARCHIVE_LZH)},
            {{u"/Z"}, with_format(ARCHIVE_ZIP)}, {{u"/z"}, with_format(ARCHIVE_ZIP)}, {{u"/q"}, NOTHING},
            {{u"-"}, NOTHING}, {{u"/1"}, NOTHING},
#if defined(_WIN32)
            {{u"/"}, NOTHING},  // on POSIX the root directory
#endif
            {{u"/Ｌ"}, NOTHING},  // full-width L
            // Two characters.
            {{u"/BE"}, with_flags(OPT_BIG_ENDIAN)}, {{u"/be"}, with_flags(OPT_BIG_ENDIAN)},
            {{u"/16"}, with_flags(OPT_UTF16)}, {{u"/FF"}, with_flags(OPT_FF_SEPARATOR)},
            {{u"-ff"}, with_flags(OPT_FF_SEPARATOR)}, {{u"/11"}, with_flags(OPT_STD_CONVERTERS)},
            {{u"/44"}, with_flags(OPT_UNICODE_HEADER)}, {{u"/xx"}, NOTHING}, {{u"/lz"}, NOTHING},
            // Three characters.
            {{u"/lzh"}, with_format(ARCHIVE_LZH)}, {{u"/LZH"}, with_format(ARCHIVE_LZH)},
            {{u"/Lzh"}, with_format(ARCHIVE_LZH)}, {{u"-zip"}, with_format(ARCHIVE_ZIP)},
            {{u"/ZIP"}, with_format(ARCHIVE_ZIP)}, {{u"/LCT"}, with_flags(OPT_LOCALE_OBJECT)},
            {{u"/lct"}, with_flags(OPT_LOCALE_OBJECT)}, {{u"/bom"}, with_flags(OPT_BOM)},
            {{u"/BOM"}, with_flags(OPT_BOM)}, {{u"/XFF"}, no_auto_ff}, {{u"/xff"}, no_auto_ff},
            {{u"/rpt"}, with_flags(OPT_REPORT)}, {{u"/cnf"}, confirm}, {{u"-CNF"}, confirm},
            {{u"/ｌｚｈ"}, NOTHING},  // full-width letters are not folded
            {{u"/zipx"}, NOTHING}, {{u"/D:a"}, NOTHING}, {{u"/CP:"}, NOTHING},
            // Destination.
            {{u"/D:ab"}, with_mode(MODE_EXTRACT, u"ab")}, {{u"/d:C:\\out"}, with_mode(MODE_EXTRACT, u"C:\\out")},
            {{u"/X:Out Dir"}, with_mode(MODE_EXTRACT, u"Out Dir")}, {{u"-x:ab"}, with_mode(MODE_EXTRACT, u"ab")},
            {{u"/D:one", u"/X:two"}, with_mode(MODE_EXTRACT, u"two")}, {{u"/D:out", u"/c"}, create_with_destination},
            {{u"/D:"}, NOTHING}, {{u"/Dir:x"}, NOTHING},
            // Code page.
            {{u"/CP:8"}, with_code_page(65001, true)}, {{u"/CP:-8"}, with_code_page(65001, true)},
            {{u"/CP:0"}, with_code_page(0, true)}, {{u"/CP:000"}, with_code_page(0, true)},
            {{u"/CP:932x"}, with_code_page(932, true)}, {{u"/cp:1252"}, with_code_page(1252, true)},
            {{u"/CP: 437"}, with_code_page(437, true)}, {{u"/CP:+850"}, with_code_page(850, true)},
            {{u"/CP:abc"}, with_code_page(0, false)}, {{u"/CP:-0"}, with_code_page(0, false)},
            {{u"/CP:99999999999"}, with_code_page(2147483647, true)},
            {{u"/CP:-99999999999"}, with_code_page(-2147483647 - 1, true)},
            {{u"/CP:932", u"/CP:abc"}, with_code_page(0, true)},  // value replaced, bit kept
            {{u"/CP:8", u"/CP:437"}, with_code_page(437, true)},
            // Locale name.
            {{u"/LC:ja"}, with_locale(u"ja")}, {{u"/lc:Japanese_Japan.932"}, with_locale(u"Japanese_Japan.932")},
            {{u"/LC:" + name_127}, with_locale(name_127)}, {{u"/LC:" + name_128}, NOTHING},
            {{u"/LC:first", u"/LC:" + name_128}, with_locale(u"first")},
            {{u"/LC:first", u"/LC:second"}, with_locale(u"second")},
            // Dialog limit.
            {{u"/dlg:20"}, with_dialog_limit(20)}, {{u"/DLG:-5"}, with_dialog_limit(-5)}, {{u"/dlg:0"}, NOTHING},
            {{u"/dlg:abc"}, NOTHING}, {{u"/dlg:"}, NOTHING}, {{u"/dlg:20", u"/dlg:0"}, with_dialog_limit(20)},
            // Long flag names.
            {{u"/CPH46"}, with_flags(OPT_CODEPAGE_HEADER)}, {{u"/cph46"}, with_flags(OPT_CODEPAGE_HEADER)},
            {{u"/CPHX4B"}, with_flags(OPT_CODEPAGE_HEADER_SHORT)}, {{u"/EMPD"}, with_flags(OPT_EMPTY_DIRS)},
            {{u"-empd"}, with_flags(OPT_EMPTY_DIRS)}, {{u"/EMPDX"}, NOTHING}, {{u"/CPH4"}, NOTHING},
            // Compression on request.
            {{u"/lh7"}, with_flags(OPT_LZH_LH7)}, {{u"-LH6"}, with_flags(OPT_LZH_LH6)},
            {{u"/lazy"}, with_flags(OPT_DEFLATE_LAZY)}, {{u"-BEST"}, with_flags(OPT_DEFLATE_BEST)},
            {{u"/lh5"}, NOTHING}, {{u"/lazy9"}, NOTHING}, {{u"/bes"}, NOTHING},
            // Later switches win; bits accumulate.
            {{u"/C", u"/X"}, with_mode(MODE_EXTRACT)}, {{u"/x", u"/p"}, with_mode(MODE_CREATE)},
            {{u"/zip", u"/L"}, with_format(ARCHIVE_LZH)}, {{u"/l", u"/zip"}, with_format(ARCHIVE_ZIP)},
            {{u"/8", u"/2", u"/BE", u"/bom"}, with_flags(OPT_UTF8 | OPT_UTF16 | OPT_BIG_ENDIAN | OPT_BOM)},
    };
}

void PrintTo(const SwitchCase& row, std::ostream* out) { *out << describe(row.switches); }

class SwitchRule : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchRule, SetsExactlyItsFields) {
    const SwitchCase& row = GetParam();
    SCOPED_TRACE(describe(row.switches));
    const std::unique_ptr<LaunchJob> parsed = parse_switches(row.switches);
    LaunchJob& job = *parsed;

    const SwitchResult& expected = row.expected;
    EXPECT_EQ(job.options.flags, expected.flags);
    EXPECT_EQ(job.options.code_page, expected.code_page);
    EXPECT_EQ(utf8_from_wide(job.options.locale_name), utf8_from_wide(expected.locale_name));
    EXPECT_EQ(job.options.locale_name_ref, expected.locale_name.empty() ? nullptr : job.options.locale_name);
    EXPECT_EQ(job.options.dialog_limit, expected.dialog_limit);
    EXPECT_EQ(job.options.separator_char, 0x5C);
    EXPECT_EQ(job.options.max_name_length, 1024u);
    EXPECT_EQ(job.mode, expected.mode);
    EXPECT_EQ(job.format, expected.format);
    EXPECT_EQ(utf8_from_wide(job.destination), utf8_from_wide(expected.destination));
    EXPECT_EQ(job.no_auto_ff, expected.no_auto_ff);
    EXPECT_EQ(job.confirm_arguments, expected.confirm_arguments);
    EXPECT_TRUE(job.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(Launcher, SwitchRule, testing::ValuesIn(switch_cases()));

#if !defined(_WIN32)
// ---- switches and paths on POSIX ----------------------------------------------

namespace fs = std::filesystem;

// A fresh empty folder made the current directory for one test.
class InScratchFolder : public testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        folder_ = fs::temp_directory_path() / ("tsuchi-switch-paths-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::current_path(folder_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }
    std::unique_ptr<LaunchJob> parse(const std::vector<std::u16string>& args) { return parse_switches(args); }
    fs::path previous_, folder_;
};

// Every switch of the tables, spelled with "-" so that a file of the same
// name can lie in the current directory: missing, it is the switch; there,
// it is a path and changes nothing else.
TEST_F(InScratchFolder, EverySwitchYieldsToAnExistingFileOfItsName) {
    int tried = 0;
    for (const SwitchCase& row : switch_cases()) {
        if (row.switches.size() != 1 || row.switches[0].find_first_of(u"/\\", 1) != std::u16string::npos) {
            continue;
        }
        const std::u16string spelled = u"-" + row.switches[0].substr(1);
        SCOPED_TRACE(utf8_from_wide(spelled));
        const auto as_switch = parse({spelled});
        EXPECT_TRUE(as_switch->entries.empty());
        const fs::path file = folder_ / fs::path(utf8_from_wide(spelled));
        std::ofstream(file) << "x";
        const auto as_path = parse({spelled});
        ASSERT_EQ(as_path->entries.size(), 1u);
        EXPECT_EQ(as_path->entries[0]->path_kind, PATH_FILE);
        EXPECT_EQ(utf8_from_wide(as_path->entries[0]->full_path), file.string());
        EXPECT_EQ(as_path->options.flags, 0u);
        EXPECT_EQ(as_path->mode, MODE_UNDECIDED);
        EXPECT_EQ(as_path->format, ARCHIVE_NONE);
        EXPECT_TRUE(as_path->destination.empty());
        fs::remove(file);
        ++tried;
    }
    EXPECT_GT(tried, 60);
}

// Arguments that start with "/": a switch of the tables stays one unless
// something of that name exists; anything else is an absolute path, and
// after "--" everything is.
TEST_F(InScratchFolder, SlashArgumentsAreSwitchesOnlyWhenTheTablesKnowThem) {
    const std::u16string folder = wide_from_utf8(folder_.string());
    const std::u16string new_zip = folder + u"/new.zip";
    std::ofstream(folder_ / "docs.txt") << "x";

    auto job = parse({folder + u"/docs.txt", u"/zip", u"/D:/tmp/out", u"/cp:932", new_zip, u"/C"});
    ASSERT_EQ(job->entries.size(), 1u);
    EXPECT_EQ(job->entries[0]->full_path, folder + u"/docs.txt");
    EXPECT_EQ(job->new_archive_name, new_zip);
    EXPECT_EQ(job->format, ARCHIVE_ZIP);
    EXPECT_EQ(job->mode, MODE_CREATE);
    EXPECT_EQ(job->destination, u"/tmp/out");
    EXPECT_EQ(job->options.code_page, 932);

    // Not in the tables: paths (missing ones without an archive name are
    // dropped, as every missing path is).
    job = parse({u"/q", u"/zipx", u"/D:", folder + u"/other.lzh"});
    EXPECT_EQ(job->format, ARCHIVE_NONE);
    EXPECT_EQ(job->new_archive_name, folder + u"/other.lzh");

    // The root exists: a path, not an ignored switch.
    job = parse({u"/"});
    ASSERT_EQ(job->entries.size(), 1u);
    EXPECT_EQ(job->entries[0]->path_kind, PATH_DIRECTORY);

    // After "--" nothing is a switch; "--" itself is no path.
    std::ofstream(folder_ / "-x") << "x";
    job = parse({u"-l", u"--", u"/zip", u"-x", u"--"});
    EXPECT_EQ(job->format, ARCHIVE_LZH);
    EXPECT_EQ(job->mode, MODE_UNDECIDED);
    ASSERT_EQ(job->entries.size(), 1u);
    EXPECT_EQ(job->entries[0]->full_path, folder + u"/-x");

    // The argument confirmation lays out the command line the same way.
    const std::vector<bool> expected = {false, false, true, true, true, false, false};
    EXPECT_EQ(switch_arguments(*job, {u"tsuchi", folder + u"/new.zip", u"/zip", u"-l", u"--", u"/zip", u"-x"}),
              expected);
}
#endif

// ---- automatic bits ----------------------------------------------------------

struct DefaultsCase {
    const char* name;
    int mode;
    int format;
    std::vector<std::u16string> switches;  // the encoding choices of the job
    int ansi_code_page;
    std::uint32_t added;  // bits apply_name_encoding_defaults must add
};

constexpr std::uint32_t LZH_HEADERS = OPT_UNICODE_HEADER | OPT_CODEPAGE_HEADER;

const DefaultsCase DEFAULTS_CASES[] = {
    {"ZIP creation gets UTF-8 names", MODE_CREATE, ARCHIVE_ZIP, {}, 932, OPT_UTF8},
    {"ZIP creation with a code page", MODE_CREATE, ARCHIVE_ZIP, {u"/CP:932"}, 932, 0},
    {"ZIP creation with code page 0", MODE_CREATE, ARCHIVE_ZIP, {u"/CP:0"}, 1252, 0},
    {"ZIP creation with a locale", MODE_CREATE, ARCHIVE_ZIP, {u"/LC:C"}, 1252, 0},
    {"ZIP creation with UTF-16", MODE_CREATE, ARCHIVE_ZIP, {u"/2"}, 1252, 0},
    {"LZH creation, Japanese system", MODE_CREATE, ARCHIVE_LZH, {}, 932, LZH_HEADERS | OPT_FF_SEPARATOR},
    {"LZH creation, Japanese system, XFF", MODE_CREATE, ARCHIVE_LZH, {u"/XFF"}, 932, LZH_HEADERS},
    {"LZH creation, other system", MODE_CREATE, ARCHIVE_LZH, {}, 1252, LZH_HEADERS},
    {"LZH creation with Unicode records asked", MODE_CREATE, ARCHIVE_LZH, {u"/44"}, 932, 0},
    {"LZH creation with code-page record asked", MODE_CREATE, ARCHIVE_LZH, {u"/CPH46"}, 932, OPT_FF_SEPARATOR},
    {"LZH creation with UTF-8", MODE_CREATE, ARCHIVE_LZH, {u"/8"}, 1252, OPT_FF_SEPARATOR},
    {"LZH creation with UTF-16, XFF", MODE_CREATE, ARCHIVE_LZH, {u"/16", u"/XFF"}, 932, 0},
    {"LZH creation with a Western code page", MODE_CREATE, ARCHIVE_LZH, {u"/CP:1252"}, 932, 0},
    {"LZH creation with code page 932", MODE_CREATE, ARCHIVE_LZH, {u"/CP:932"}, 1252, OPT_FF_SEPARATOR},
    {"LZH creation with a Japanese locale",
     MODE_CREATE,
     ARCHIVE_LZH,
     {u"/LC:Japanese_Japan.932"},
     1252,
     OPT_FF_SEPARATOR},
    {"LZH creation with another locale", MODE_CREATE, ARCHIVE_LZH, {u"/LC:English"}, 932, 0},
    {"LZH creation with FF already", MODE_CREATE, ARCHIVE_LZH, {u"/FF"}, 1252, LZH_HEADERS},
    {"LZH extraction, Japanese system", MODE_EXTRACT, ARCHIVE_LZH, {}, 932, OPT_FF_SEPARATOR},
    {"LZH extraction, other system", MODE_EXTRACT, ARCHIVE_LZH, {}, 1252, 0},
    {"LZH extraction, XFF", MODE_EXTRACT, ARCHIVE_LZH, {u"/XFF"}, 932, 0},
    {"LZH extraction preferring Unicode records", MODE_EXTRACT, ARCHIVE_LZH, {u"/44"}, 932, 0},
    {"LZH extraction with code page 65001", MODE_EXTRACT, ARCHIVE_LZH, {u"/CP:8"}, 932, 0},
    {"extraction with both libraries, Japanese system", MODE_EXTRACT, ARCHIVE_NONE, {}, 932, OPT_FF_SEPARATOR},
    {"ZIP extraction, Japanese system", MODE_EXTRACT, ARCHIVE_ZIP, {}, 932, 0},
    {"other archives, Japanese system", MODE_EXTRACT, ARCHIVE_OTHER, {}, 932, 0},
#if !defined(_WIN32)
    // A UTF-8 Linux system writes 0xFF between folders and reads it there.
    {"LZH creation, UTF-8 system", MODE_CREATE, ARCHIVE_LZH, {}, 65001, LZH_HEADERS | OPT_FF_SEPARATOR},
    {"LZH extraction, UTF-8 system", MODE_EXTRACT, ARCHIVE_LZH, {}, 65001, OPT_FF_SEPARATOR},
#endif
};

void PrintTo(const DefaultsCase& row, std::ostream* out) { *out << row.name; }

class NameEncodingDefaults : public testing::TestWithParam<DefaultsCase> {
protected:
    void TearDown() override { platform::set_ansi_code_page_override(0); }
};

TEST_P(NameEncodingDefaults, AddsTheBitsForTheJob) {
    const DefaultsCase& row = GetParam();
    SCOPED_TRACE(row.name);
    platform::set_ansi_code_page_override(row.ansi_code_page);
    const std::unique_ptr<LaunchJob> parsed = parse_switches(row.switches);
    LaunchJob& job = *parsed;
    job.mode = row.mode;
    job.format = row.format;
    const std::uint32_t before = job.options.flags;

    apply_name_encoding_defaults(job);
    EXPECT_EQ(job.options.flags & ~before, row.added);
    EXPECT_EQ(job.options.flags & before, before);  // nothing is cleared
}

INSTANTIATE_TEST_SUITE_P(Launcher, NameEncodingDefaults, testing::ValuesIn(DEFAULTS_CASES));

}  // namespace
