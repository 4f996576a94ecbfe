// Differential check against lhasa: every peer-made and generated archive
// of the method, header-level and name fixtures extracts, through
// LZHDecode and through "lhasa x", to the same file contents. lhasa writes
// the stored name bytes as they are (and splits Shift-JIS names at a trail
// byte 0x5C), so names and folders are compared by the other tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive_exports.h"
#include "archive_options.h"
#include "lzh_test_support.h"
#include "message_box.h"
#include "shell_command.h"

namespace {

using namespace lzh_test;

// Sorted contents of the files below root.
std::vector<std::string> contents_below(const fs::path& root) {
    std::vector<std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (!item.is_directory()) files.push_back(read_binary(item.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

class LzhLhasaDiff : public LzhJobTest {
protected:
    TimeZone utc{"UTC0"};
    Scratch scratch{"lzhdiff"};
};

TEST_F(LzhLhasaDiff, TsuchiAndLhasaExtractTheSameBytes) {
    if (!test_common::installed("lhasa")) GTEST_SKIP() << "lhasa is not installed; the differential check is skipped";
    std::vector<std::string> archives;
    for (const char* method : {"", "-lh6", "-lh7"}) {
        for (const char* level : {"-l0", "-l1", "-l2"}) {
            archives.push_back(std::string("jlha/jp") + method + level + ".lzh");
            archives.push_back(std::string("jlha/tree") + method + level + ".lzh");
        }
    }
    for (const char* method : {"lh1", "lz4", "lz5", "lzs", "pm0", "pm1", "pm2"}) {
        archives.push_back(std::string("generated/methods-") + method + ".lzh");
    }
    for (const char* name :
         {"l3-cp932", "l2-os9", "l0-amiga-comment", "l1-cp932-ff", "l2-cp932-unicode", "l2-macbinary"}) {
        archives.push_back(std::string("generated/") + name + ".lzh");
    }
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        reset_job_state();
        scratch.fresh_dest();
        init_archive_options(options);
        options.flags = OPT_CODEPAGE_SET;
        options.code_page = 932;
        const WideString path = scratch.fixture(archive);
        const char16_t* paths[] = {path.c_str()};
        {
            ScriptedMessageBoxes script(std::vector<platform::BoxAnswer>{});
            EXPECT_EQ(LZHDecode(1, paths, &options), nullptr);
        }
        EXPECT_EQ(job_state().error_text, u"") << utf8(job_state().error_text);

        const fs::path lhasa_dir = scratch.root() / "lhasa";
        fs::remove_all(lhasa_dir);
        fs::create_directory(lhasa_dir);
        std::string log;
        EXPECT_EQ(test_common::run_logged("cd " + test_common::quoted(lhasa_dir) + " && lhasa xq " +
                                              test_common::quoted(fs::path(path)),
                                          scratch.root() / "lhasa.log", log),
                  0)
            << log;
        const std::vector<std::string> ours = contents_below(scratch.dest());
        EXPECT_FALSE(ours.empty());
        EXPECT_TRUE(ours == contents_below(lhasa_dir));
    }
}

}  // namespace
