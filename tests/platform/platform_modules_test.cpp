// Modules and the command line: a library beside the program loads by full
// path, its export is found by its narrow name, it knows its own file name
// (and the program its own), and missing libraries or exports give null.
#include <gtest/gtest.h>

#include "platform.h"

namespace {

#ifdef _WIN32
const char16_t* const PROBE_MODULE = u"platform_probe_module.dll";
#else
const char16_t* const PROBE_MODULE = u"platform_probe_module.so";
#endif

WideString directory_of(const WideString& file) {
    const std::size_t at = file.find_last_of(u"/\\");
    return at == WideString::npos ? WideString() : file.substr(0, at + 1);
}

TEST(PlatformModules, LoadsALibraryBesideTheProgramAndCallsItsExport) {
    const WideString program = platform::module_file_name();
    ASSERT_FALSE(program.empty());
    EXPECT_NE(program.find(u"platform_modules_test"), WideString::npos);
    // Linked into the program, "the module of this code" is the program.
    EXPECT_EQ(platform::module_file_name(true), program);

    const WideString library_path = directory_of(program) + PROBE_MODULE;
    platform::LibraryHandle library = platform::load_library(library_path);
    ASSERT_NE(library, nullptr);
    using Probe = int (*)(char16_t*, int);
    const auto probe = reinterpret_cast<Probe>(platform::find_export(library, "probe_module_file_name"));
    ASSERT_NE(probe, nullptr);
    char16_t buffer[PATH_BUFFER_LENGTH];
    ASSERT_GT(probe(buffer, PATH_BUFFER_LENGTH), 0);
    EXPECT_EQ(WideString(buffer), library_path);
    EXPECT_EQ(platform::find_export(library, "no_such_export"), nullptr);
    platform::free_library(library);
}

TEST(PlatformModules, MissingLibrariesGiveNull) {
    const WideString directory = directory_of(platform::module_file_name());
    EXPECT_EQ(platform::load_library(directory + u"no_such_library.dll"), nullptr);
    EXPECT_EQ(platform::load_library(u""), nullptr);
    EXPECT_EQ(platform::find_export(nullptr, "probe_module_file_name"), nullptr);
    platform::free_library(nullptr);
}

TEST(PlatformCommandLine, StartsWithTheProgram) {
    const std::vector<WideString> arguments = platform::command_line_arguments();
    ASSERT_FALSE(arguments.empty());
    EXPECT_NE(arguments[0].find(u"platform_modules_test"), WideString::npos);
}

}  // namespace
