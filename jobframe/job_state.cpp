// The library's single job state (see job_state.h).
#include "job_state.h"

JobState& job_state() {
    static JobState state;
    return state;
}
