// Caps the address space of the test process at what it holds now plus a
// headroom, for as long as the object lives (Linux): an allocation past it
// fails as it would on a machine short of memory. Not active under the
// address sanitizer, whose shadow memory is address space too, nor on
// Windows.
#pragma once

#include <cstdint>
#include <fstream>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace test_common {

class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(std::uint64_t headroom) {
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
        std::uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        if (pages == 0 || getrlimit(RLIMIT_AS, &saved_) != 0) return;
        rlimit cap = saved_;
        cap.rlim_cur = static_cast<rlim_t>(pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + headroom);
        if (saved_.rlim_max != RLIM_INFINITY && cap.rlim_cur > saved_.rlim_max) return;
        active_ = setrlimit(RLIMIT_AS, &cap) == 0;
#else
        (void)headroom;
#endif
    }
    ~AddressSpaceLimit() {
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
        if (active_) setrlimit(RLIMIT_AS, &saved_);
#endif
    }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

    bool active() const { return active_; }

private:
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
    rlimit saved_{};
#endif
    bool active_ = false;
};

}  // namespace test_common
