// Proves what an uncaught exception ends with in an image that carries its
// own C++ runtime: a line on stderr with what the exception says, then an
// abort (the runtime's own handler would have linked its demangler).
#include <gtest/gtest.h>

#include <csignal>
#include <exception>
#include <stdexcept>

namespace {

// Terminates with the exception current, as an uncaught one does.
template <typename Thrown>
void terminate_while_handling(Thrown thrown) {
    try {
        throw thrown;
    } catch (...) {
        std::terminate();
    }
}

TEST(RuntimeTerminate, WritesWhatTheExceptionSaysAndAborts) {
    EXPECT_EXIT(terminate_while_handling(std::runtime_error("archive gone")), testing::KilledBySignal(SIGABRT),
                "^terminate: archive gone\n$");
    EXPECT_EXIT(terminate_while_handling("LZH: no end mark."), testing::KilledBySignal(SIGABRT),
                "^terminate: LZH: no end mark\\.\n$");
    EXPECT_EXIT(terminate_while_handling(42), testing::KilledBySignal(SIGABRT), "^terminate: exception\n$");
    // Without an exception there is nothing to say.
    EXPECT_EXIT(std::terminate(), testing::KilledBySignal(SIGABRT), "^$");
}

}  // namespace
