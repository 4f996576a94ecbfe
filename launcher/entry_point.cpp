// The program's entry point. On Windows the launcher is a windowed program
// without a window of its own (linked with -mwindows -municode), so the
// start-up code calls wWinMain; everything it is given is read again from
// the platform by run_job. The declaration below is all the start-up code
// needs: the name, C linkage and the calling convention.
#include "run_job.h"

#if defined(_WIN32)
struct HINSTANCE__;
extern "C" int __stdcall wWinMain(HINSTANCE__* /*instance*/, HINSTANCE__* /*previous*/, wchar_t* /*command_line*/,
                                  int /*show*/) {
    return run_job();
}
#else
int main() { return run_job(); }
#endif
