// Staged files on a real destination, unnamed and named: the data reaches
// its name only when it is whole; a failed write, an abandoned file, a
// destroyed object, a killed process and a full disk leave the old file as
// it was and no temporary file behind; a link at the name is replaced
// itself, never written through; a replaced file's permissions stay; and
// report files are written the same way.
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "file_system.h"
#include "link_destination.h"
#include "staged_file.h"

#ifndef _WIN32
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = test_files::fs;
using test_files::LinkDestination;
using test_files::listing;
using test_files::read_bytes;

bool write_text(StagedFile& file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file.file()) == text.size();
}

// Every case with each way of staging: the file without a name where the
// system has them, and the named temporary file every system has.
template <class Case, std::size_t N>
std::vector<std::pair<Case, Staging>> with_both_stagings(const Case (&cases)[N]) {
    std::vector<std::pair<Case, Staging>> out;
    for (const Staging staging : {Staging::unnamed_where_possible, Staging::named}) {
        for (const Case& c : cases) out.emplace_back(c, staging);
    }
    return out;
}

std::string staging_name(Staging staging) {
    return staging == Staging::named ? " (named temporary file)" : " (unnamed where possible)";
}

// How the write ends, and what must stand at the name afterwards.
enum class Ending { commit, commit_after_failure, abandon, destroy };

TEST(StagedFile, OnlyAWholeFileReachesItsName) {
    const struct Case {
        std::string what;
        bool old_file;
        Ending ending;
        bool committed;
    } cases[] = {
        {"new file, committed", false, Ending::commit, true},
        {"old file, committed", true, Ending::commit, true},
        {"old file, a write failed", true, Ending::commit_after_failure, false},
        {"old file, abandoned", true, Ending::abandon, false},
        {"old file, object destroyed uncommitted", true, Ending::destroy, false},
        {"new file, abandoned", false, Ending::abandon, false},
    };
    for (const auto& [c, staging] : with_both_stagings(cases)) {
        SCOPED_TRACE(c.what + staging_name(staging));
        test_files::ScratchDirectory scratch;
        test_files::CurrentDirectoryGuard guard;
        ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
        if (c.old_file) test_files::write_bytes(scratch / "m.txt", "old");
        {
            StagedFile file;
            ASSERT_TRUE(file.open(u"m.txt", staging));
            ASSERT_TRUE(write_text(file, "new data"));
            // Nothing has reached the name yet; a named temporary file is
            // beside it, an unnamed one nowhere.
            EXPECT_EQ(c.old_file ? read_bytes(scratch / "m.txt") : "", c.old_file ? "old" : "");
            EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()),
                      (c.old_file ? 1 : 0) + (file.unnamed() ? 0 : 1));
            switch (c.ending) {
            case Ending::commit: EXPECT_TRUE(file.commit()); break;
            case Ending::commit_after_failure:
                file.mark_failed();
                EXPECT_FALSE(file.commit());
                break;
            case Ending::abandon: file.abandon(); break;
            case Ending::destroy: break;
            }
            EXPECT_EQ(file.is_open(), c.ending == Ending::destroy);
        }
        const std::string expected = c.committed ? "new data" : (c.old_file ? "old" : "");
        EXPECT_EQ(listing(scratch.path()), expected.empty() ? "" : "m.txt");
        if (!expected.empty()) {
            EXPECT_EQ(read_bytes(scratch / "m.txt"), expected);
        }
    }
}

TEST(StagedFile, ALinkAtTheNameIsReplacedItselfNeverItsTarget) {
    const struct Case {
        const char16_t* name;
        bool replace;
        bool committed;
    } cases[] = {
        {u"filelink", true, true},
        {u"dangling", true, true},
        {u"link", true, true},
        {u"file.txt", true, true},
        // Without replacing, anything at the name, a dangling link too, is
        // taken.
        {u"dangling", false, false},
        {u"file.txt", false, false},
        {u"fresh.txt", false, true},
    };
    for (const auto& [c, staging] : with_both_stagings(cases)) {
        SCOPED_TRACE(testing::PrintToString(WideString(c.name)) + staging_name(staging));
        LinkDestination destination;
        REQUIRE_LINKS(destination);
        if (!destination.seen(c.name)) continue;
        const std::string before = listing(destination.dest());
        // Wine 8 removes no link to a directory (it takes the call for one
        // on the directory): there the commit fails, and that is all.
        const bool committed = c.committed && !(test_files::under_wine() && WideString(c.name) == u"link");
        if (committed != c.committed) {
            std::cout << "[ links ] Wine cannot replace a link to a directory: the commit must fail" << std::endl;
        }
        StagedFile file;
        ASSERT_TRUE(file.open(c.name, staging));
        ASSERT_TRUE(write_text(file, "member"));
        // The time given before the commit is the file's when it has its
        // name, and never reaches what a link at the name points to.
        file.set_time_at_commit(900000000);
        EXPECT_EQ(file.commit(c.replace), committed);
        const fs::path at = destination.dest() / fs::path(c.name);
        if (committed) {
            EXPECT_FALSE(test_files::is_link(at));
            EXPECT_EQ(read_bytes(at), "member");
            platform::FileStatus status;
            ASSERT_EQ(platform::file_status(c.name, status), platform::StatResult::ok);
            EXPECT_EQ(status.modification_time, 900000000);
            EXPECT_TRUE(file.set_file_time(1000000000));
        } else {
            EXPECT_EQ(listing(destination.dest()), before);
        }
        EXPECT_TRUE(destination.unchanged());
    }
}

TEST(StagedFile, APathThroughALinkIsRefused) {
    LinkDestination destination;
    REQUIRE_LINKS(destination);
    const std::string before = listing(destination.dest());
    StagedFile file;
    EXPECT_FALSE(file.open(u"link/x.txt"));
    EXPECT_EQ(file.place_result(), PlaceResult::link);
    EXPECT_EQ(file.place().refused_part(), u"link");
    EXPECT_FALSE(file.open(u"file.txt/x.txt"));
    EXPECT_EQ(file.place_result(), PlaceResult::not_directory);
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(listing(destination.dest()), before);
    EXPECT_TRUE(destination.unchanged());
}

// Report files: a link named like the report is a taken name, and a report
// is never written through one.
TEST(StagedFile, ReportFilesAreNeverWrittenThroughALink) {
    LinkDestination destination;
    REQUIRE_LINKS(destination);
    for (const char16_t* name : {u"dangling", u"filelink", u"link"}) {
        if (!destination.seen(name)) continue;
        SCOPED_TRACE(testing::PrintToString(WideString(name)));
        EXPECT_TRUE(path_taken(name));
        EXPECT_FALSE(write_report_file(u"report", name, true));
        EXPECT_TRUE(test_files::is_link(destination.dest() / fs::path(WideString(name))));
    }
    EXPECT_FALSE(path_taken(u"report.txt"));
    if (destination.seen(u"filelink")) {
        EXPECT_TRUE(write_report_file(u"report", u"filelink", false));
        EXPECT_EQ(read_bytes(destination.dest() / "filelink"), "report");
    }
    EXPECT_TRUE(destination.unchanged());
}

#ifndef _WIN32
// A process killed while it writes: with a file without a name nothing of
// it stays; the old file is as it was.
TEST(StagedFile, AKilledWriterLeavesNothingBehind) {
    test_files::ScratchDirectory scratch;
    test_files::CurrentDirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    test_files::write_bytes(scratch / "m.txt", "old");
    {
        StagedFile probe;
        ASSERT_TRUE(probe.open(u"m.txt"));
        if (!probe.unnamed()) GTEST_SKIP() << "no files without a name here: a crash leaves the temporary file";
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StagedFile file;
        if (file.open(u"m.txt")) {
            write_text(file, std::string(200000, 'x'));
            std::fflush(file.file());
        }
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(listing(scratch.path()), "m.txt");
    EXPECT_EQ(read_bytes(scratch / "m.txt"), "old");
}

// A file that replaces a file takes its permission bits; a new file, and
// one that replaces a link, get the ordinary ones, and a link's target
// keeps its own.
TEST(StagedFile, AReplacingFileKeepsThePermissionsOfTheOldOne) {
    const mode_t saved_mask = umask(022);
    const struct Case {
        const char* what;
        int old_mode;  // -1: none; a link to a file of that mode when link
        bool link;
        mode_t expected;
    } cases[] = {
        {"private file", 0600, false, 0600}, {"executable", 0755, false, 0755},
        {"read-only", 0444, false, 0444},    {"group-writable", 0664, false, 0664},
        {"no old file", -1, false, 0644},    {"a link to a private file", 0600, true, 0644},
    };
    for (const auto& [c, staging] : with_both_stagings(cases)) {
        SCOPED_TRACE(c.what + staging_name(staging));
        test_files::ScratchDirectory scratch;
        test_files::CurrentDirectoryGuard guard;
        ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
        const fs::path at = scratch / "m.txt";
        const fs::path target = scratch / "target.txt";
        if (c.old_mode >= 0) {
            test_files::write_bytes(c.link ? target : at, "old");
            ASSERT_EQ(chmod((c.link ? target : at).c_str(), static_cast<mode_t>(c.old_mode)), 0);
            if (c.link) fs::create_symlink("target.txt", at);
        }
        StagedFile file;
        ASSERT_TRUE(file.open(u"m.txt", staging));
        ASSERT_TRUE(write_text(file, "new"));
        ASSERT_TRUE(file.commit(true));
        struct stat st {};
        ASSERT_EQ(lstat(at.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, c.expected);
        EXPECT_EQ(read_bytes(at), "new");
        if (c.link) {
            ASSERT_EQ(stat(target.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, static_cast<mode_t>(c.old_mode));
            EXPECT_EQ(read_bytes(target), "old");
        }
    }
    umask(saved_mask);
}
#endif

// ---- a full disk -------------------------------------------------------------
//
// A member larger than the free space: the write fails somewhere on the
// way (in a write or at the final flush), the commit says so, the old file
// stays and no temporary file is left. Where a small file system can be
// mounted (as root on Linux) the disk is really full; elsewhere the
// failure is injected: a file-size limit on Linux, a failure the writer
// reports on Windows. The test prints which one ran.

#ifndef _WIN32
// A 64 KiB tmpfs mounted over a scratch directory for the object's life;
// mounted() is false where mounting is not allowed.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const fs::path& at) : at_(at) {
        mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) umount(at_.c_str());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool mounted() const { return mounted_; }

private:
    fs::path at_;
    bool mounted_ = false;
};

// A file-size limit for the process while the object lives: a write past it
// fails with EFBIG instead of raising SIGXFSZ, as a full disk fails.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit saved_ {};
    void (*previous_handler_)(int) = SIG_DFL;
};
#endif

TEST(StagedFile, AFullDiskLeavesTheOldFileAndNoTemporaryFile) {
    test_files::ScratchDirectory scratch;
    test_files::CurrentDirectoryGuard guard;
    const fs::path disk = scratch / "disk";
    fs::create_directory(disk);
#ifndef _WIN32
    SmallFileSystem small(disk);
    std::optional<FileSizeLimit> limit;
    if (small.mounted()) {
        std::cout << "[ full disk ] a 64 KiB tmpfs" << std::endl;
    } else {
        limit.emplace(64 * 1024);
        std::cout << "[ full disk ] mounting is not allowed here: a file-size limit of 64 KiB injects the failure"
                  << std::endl;
    }
#else
    std::cout << "[ full disk ] no small file system on Windows: the writer reports the failure" << std::endl;
#endif
    test_files::write_bytes(disk / "m.txt", "old");
    ASSERT_TRUE(platform::set_current_directory(disk.u16string()));
    {
        StagedFile file;
        ASSERT_TRUE(file.open(u"m.txt"));
        // Either the write or the commit meets the failure; the commit
        // never succeeds.
        write_text(file, std::string(256 * 1024, 'x'));
#ifdef _WIN32
        file.mark_failed();
#endif
        EXPECT_FALSE(file.commit());
    }
    ASSERT_TRUE(platform::set_current_directory(scratch.wide()));
    EXPECT_EQ(listing(disk), "m.txt");
    EXPECT_EQ(read_bytes(disk / "m.txt"), "old");
}

}  // namespace
