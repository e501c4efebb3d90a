#pragma once

#include <atomic>

#include <termios.h>

namespace vaultpack {

// Ctrl-C for a run of vaultpack-cli. The first SIGINT sets the cancel flag that
// the jobs poll and interrupts a blocking terminal read (the handler does not
// restart system calls); the second ends the process at once with the
// cancelled status, after putting back terminal settings that a password
// prompt changed and removing the registered temporary files. SIGTERM and
// SIGHUP end it the same way at once, with the status 128 + the signal.
void InstallInterruptHandler();

// The cancel flag, set by the first Ctrl-C.
const std::atomic<bool>& InterruptFlag();

// A descriptor that becomes readable at the first Ctrl-C, so that a wait for
// input can include it and miss no interrupt; -1 before the handler is installed.
int InterruptWakeDescriptor();

// While a prompt has switched echo off: the settings to put back on `fd`
// should the process end on a second Ctrl-C. Forget them once restored.
void RememberTerminalSettings(int fd, const termios& settings);
void ForgetTerminalSettings();

}  // namespace vaultpack
