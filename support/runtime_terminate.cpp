// The handler an uncaught exception ends in, for the images that carry their
// own copy of the C++ runtime (the Linux launcher and codec libraries).
//
// The runtime's default handler names the exception's type, and to do so it
// links the runtime's whole C++ name demangler into each image. Its tables
// are about 3 KB of pointers that the loader relocates at every start, on a
// page of its own in each image: one more page copied per image for every
// run, however small, only to spell a type name in a crash no user should
// see. This handler writes what the exception says (the text of a
// std::exception, or of a thrown C string, which is how the codecs report
// a damaged archive internally) and aborts as the default one does.
// Defining it here keeps the runtime's own, and the demangler, out of the
// link.
#include <cstdlib>
#include <cstring>
#include <exception>

#include <unistd.h>

namespace {

void write_error(const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, left);
        if (n <= 0) return;
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

void say(const char* what) {
    write_error("terminate: ");
    write_error(what);
    write_error("\n");
}

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    static bool terminating = false;
    if (!terminating) {
        terminating = true;
        if (const std::exception_ptr exception = std::current_exception()) {
            try {
                std::rethrow_exception(exception);
            } catch (const std::exception& error) {
                say(error.what());
            } catch (const char* text) {
                say(text != nullptr ? text : "(null)");
            } catch (...) {
                say("exception");
            }
        }
    }
    std::abort();
}

}  // namespace __gnu_cxx
