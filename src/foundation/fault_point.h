#pragma once
// Named points of the file replacements (builds, swaps, installs) where a test can make the
// process die or stop, to prove that the next run finds its way back from there.
//
// Only in builds with assertions (the test builds): the environment variable QM_FAULT_AT names
// the point at which the process ends at once with _exit(kFaultExitCode), as a kill would leave
// it; QM_STOP_AT names the point at which it stops itself (SIGSTOP) until a test lets it go on.
// Release builds compile the points away.

inline constexpr int kFaultExitCode = 86;

#ifdef NDEBUG
inline void FaultPoint(const char*) {}
#else
void FaultPoint(const char* Name);
#endif
