#pragma once
// The start-up benchmark's probe.  With QUILLMAR_STARTUP_PROBE naming a file, the program
// appends a line to it when its main window has first been put on the screen and painted
// ("window"), and another once the deferred start-up has also finished ("ready"), each with
// the monotonic clock in nanoseconds and the resident and peak resident memory in kB:
//   window <ns> <VmRSS kB> <VmHWM kB>
// and then closes the window, so that one run of the program is one measurement.
class QMainWindow;

// Installs the probe when the environment asks for it (nothing otherwise).
void InstallStartupProbe(QMainWindow* window);
