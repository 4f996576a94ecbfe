// A destination with links planted in it, for the tests of output places,
// staged files and report files: the scratch directory holds dest (made
// the current directory) and outside, and dest holds
//
//   link      -> ../outside           a link to a directory outside
//   dangling  -> ../outside/nothing   a link whose target is missing
//   filelink  -> ../outside/target.txt
//   file.txt  a plain file ("old")
//   sub/deep  -> ../../outside        a link one directory down
//
// Nothing a test does may change outside; unchanged() says whether it is
// still just target.txt holding "target".
#pragma once

#include <gtest/gtest.h>

#include "platform.h"
#include "test_files.h"

namespace test_files {

class LinkDestination {
public:
    LinkDestination() {
        fs::create_directory(scratch_ / "dest");
        fs::create_directory(scratch_ / "outside");
        fs::create_directory(scratch_ / "dest" / "sub");
        write_bytes(scratch_ / "outside" / "target.txt", "target");
        write_bytes(scratch_ / "dest" / "file.txt", "old");
        const fs::path dest = scratch_ / "dest";
        links_made_ = make_link("../outside", dest / "link", true) &&
                      make_link("../outside/nothing", dest / "dangling", false) &&
                      make_link("../outside/target.txt", dest / "filelink", false) &&
                      make_link("../../outside", dest / "sub" / "deep", true);
        platform::set_current_directory(scratch_.wide(u"dest"));
    }

    // Whether the links could be made; a test without them says so and
    // stops.
    bool links_made() const { return links_made_; }
    fs::path dest() const { return scratch_ / "dest"; }
    fs::path outside() const { return scratch_ / "outside"; }
    bool unchanged() const {
        return listing(outside()) == "target.txt" && read_bytes(outside() / "target.txt") == "target";
    }

private:
    // The guard goes first, so that the destination is no longer current
    // when it is removed (Windows refuses to remove a current directory).
    ScratchDirectory scratch_;
    CurrentDirectoryGuard guard_;
    bool links_made_ = false;
};

// Stops a test on a platform that cannot make the links, saying so.
#define REQUIRE_LINKS(destination)                                                      \
    if (!(destination).links_made()) {                                                  \
        GTEST_SKIP() << "no symbolic links can be made here; the link cases did not run"; \
    }

}  // namespace test_files
