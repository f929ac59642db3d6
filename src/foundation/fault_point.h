#pragma once
// Named points of the file replacements (builds, swaps, installs) where a test can make the
// process die or stop, to prove that the next run finds its way back from there.
//
// Only in builds configured with the option QM_FAULT_SEAM (the test builds turn it on; it is
// off by default outside sanitizer builds, so that no build made for users carries it,
// whatever its build type): the environment variable QM_FAULT_AT names the point at which
// the process ends at once with _exit(kFaultExitCode), as a kill would leave it; QM_STOP_AT
// names the point at which it stops itself (SIGSTOP) until a test lets it go on. Elsewhere
// the points do nothing.

inline constexpr int kFaultExitCode = 86;

void FaultPoint(const char* Name);

// Whether this build carries the fault points (tests that need them skip where it does not).
bool FaultSeamBuilt();
