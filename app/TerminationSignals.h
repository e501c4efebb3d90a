#pragma once

#include <atomic>

#include <termios.h>

namespace vaultpack {

// How both programs end when a signal asks them to: SIGTERM, SIGHUP and
// SIGINT end the process at once with the status 128 + the signal, after
// putting back terminal settings that a password prompt changed and removing
// the registered temporary and partial files (running jobs end with the
// process, and nothing more is created once the removal has begun). The
// desktop program installs this as it is; the command-line tool lets the
// first SIGINT only cancel (InstallTerminationHandlersWithCancellingInterrupt).
void InstallTerminationHandlers();

// As InstallTerminationHandlers, except for SIGINT: the first one sets the
// cancel flag that the jobs poll, prints `notice` (static text) on stderr and
// interrupts a blocking terminal read (the handler does not restart system
// calls); the second ends the process at once with `secondInterruptStatus`.
void InstallTerminationHandlersWithCancellingInterrupt(const char* notice, int secondInterruptStatus);

// Ends the process at once, the way a termination signal does, with `status`.
// Async-signal-safe.
[[noreturn]] void EndProgramNow(int status);

// The cancel flag, set by the first Ctrl-C.
const std::atomic<bool>& InterruptFlag();

// A descriptor that becomes readable at the first Ctrl-C, so that a wait for
// input can include it and miss no interrupt; -1 before the handler is installed.
int InterruptWakeDescriptor();

// While a prompt has switched echo off: the settings to put back on `fd`
// should the process end abruptly. Forget them once restored.
void RememberTerminalSettings(int fd, const termios& settings);
void ForgetTerminalSettings();

}  // namespace vaultpack
